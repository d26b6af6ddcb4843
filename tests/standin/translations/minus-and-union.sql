-- Oracle
select deptno from dept minus select deptno from emp union select 99 from dual
-- SQLite
SELECT DEPTNO AS "DEPTNO" FROM DEPT EXCEPT SELECT DEPTNO AS "DEPTNO" FROM EMP UNION SELECT 99 AS "99" FROM (SELECT 'X' AS DUMMY) AS "DUAL"
