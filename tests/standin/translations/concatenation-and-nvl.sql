-- Oracle
select ename || ' earns ' || nvl(comm, 0) from emp
-- SQLite
SELECT QD_CONCAT(ENAME, ' earns ', NVL(COMM, 0)) AS "ENAME||' EARNS '||NVL(COMM,0)" FROM EMP
