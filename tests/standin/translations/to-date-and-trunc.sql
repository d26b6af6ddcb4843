-- Oracle
select ename from emp where hiredate >= to_date('1981-01-01', 'YYYY-MM-DD') and trunc(hiredate) < trunc(sysdate)
-- SQLite
SELECT ENAME AS "ENAME" FROM EMP WHERE (HIREDATE >= TO_DATE('1981-01-01', 'YYYY-MM-DD')) AND (TRUNC(HIREDATE) < TRUNC(SYSDATE()))
