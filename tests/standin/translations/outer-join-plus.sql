-- Oracle
select e.ename, d.dname from emp e, dept d where e.deptno = d.deptno(+)
-- SQLite
SELECT E.ENAME AS "ENAME", D.DNAME AS "DNAME" FROM EMP AS "E" LEFT JOIN DEPT AS "D" ON (E.DEPTNO = D.DEPTNO)
