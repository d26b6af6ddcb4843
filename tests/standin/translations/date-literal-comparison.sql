-- Oracle
select ename from emp where hiredate > '01-JAN-81'
-- SQLite
SELECT ENAME AS "ENAME" FROM EMP WHERE HIREDATE > QD_DATEARG(HIREDATE, '01-JAN-81')
