-- Oracle
select ename from emp where rownum <= 3
-- SQLite
SELECT ENAME AS "ENAME" FROM EMP LIMIT 3
