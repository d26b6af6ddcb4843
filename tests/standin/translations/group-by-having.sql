-- Oracle
select deptno, count(*), max(sal) from emp group by deptno having count(*) > 1
-- SQLite
SELECT DEPTNO AS "DEPTNO", COUNT(*) AS "COUNT(*)", QD_NUMMAX(SAL) AS "MAX(SAL)" FROM EMP GROUP BY DEPTNO HAVING COUNT(*) > 1
