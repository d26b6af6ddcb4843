-- Oracle
select ename from emp where deptno = :dept and (sal > :floor or comm > :floor)
-- SQLite
SELECT ENAME AS "ENAME" FROM EMP WHERE (DEPTNO = ?1) AND ((CAST(SAL AS NUMERIC) > CAST(?2 AS NUMERIC) OR CAST(COMM AS NUMERIC) > CAST(?2 AS NUMERIC)))
