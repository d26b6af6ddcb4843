-- Oracle
select * from emp where deptno = 10
-- SQLite
SELECT * FROM EMP WHERE DEPTNO = 10
