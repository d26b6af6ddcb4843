-- Oracle
select ename name, sal from emp e order by sal desc
-- SQLite
SELECT ENAME AS "NAME", SAL AS "SAL" FROM EMP AS "E" ORDER BY CAST(SAL AS NUMERIC) DESC NULLS FIRST
