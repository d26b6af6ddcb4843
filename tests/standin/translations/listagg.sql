-- Oracle
select deptno, listagg(ename, ',') within group (order by ename) from emp group by deptno
-- SQLite
SELECT DEPTNO AS "DEPTNO", QD_LISTAGG(ENAME, ',', ENAME, 'A') AS "LISTAGG(ENAME,',')WITHINGROUP(ORDERBYENAME)" FROM EMP GROUP BY DEPTNO
