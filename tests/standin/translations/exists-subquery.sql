-- Oracle
select dname from dept d where exists (select 1 from emp e where e.deptno = d.deptno)
-- SQLite
SELECT DNAME AS "DNAME" FROM DEPT AS "D" WHERE EXISTS (SELECT 1 AS "1" FROM EMP AS "E" WHERE E.DEPTNO = D.DEPTNO)
