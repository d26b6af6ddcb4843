-- Oracle
with rich as (select * from emp where sal > 2500) select ename from rich
-- SQLite
WITH RICH AS (SELECT * FROM EMP WHERE CAST(SAL AS NUMERIC) > CAST(2500 AS NUMERIC)) SELECT ENAME AS "ENAME" FROM RICH
