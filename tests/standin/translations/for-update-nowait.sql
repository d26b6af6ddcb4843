-- Oracle
select ename from emp where empno = :id for update nowait
-- SQLite
SELECT ENAME AS "ENAME" FROM EMP WHERE EMPNO = ?1
