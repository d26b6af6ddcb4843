-- Oracle
select e.ename, d.dname from emp e join dept d on d.deptno = e.deptno
-- SQLite
SELECT E.ENAME AS "ENAME", D.DNAME AS "DNAME" FROM EMP AS "E" JOIN DEPT AS "D" ON D.DEPTNO = E.DEPTNO
