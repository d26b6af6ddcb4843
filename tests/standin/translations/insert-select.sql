-- Oracle
insert into emp (empno, ename, deptno) select empno + 1000, ename, deptno from emp where deptno = 10
-- SQLite
INSERT INTO EMP (EMPNO, ENAME, DEPTNO) SELECT QD_ADD(EMPNO, 1000) AS "EMPNO+1000", ENAME AS "ENAME", DEPTNO AS "DEPTNO" FROM EMP WHERE DEPTNO = 10
