-- Oracle
select round(sal / 3, 2), mod(empno, 7), substr(ename, 2, 3), instr(ename, 'A'), upper(lower(job)) from emp
-- SQLite
SELECT ROUND(QD_DIV(SAL, 3), 2) AS "ROUND(SAL/3,2)", MOD(EMPNO, 7) AS "MOD(EMPNO,7)", SUBSTR(ENAME, 2, 3) AS "SUBSTR(ENAME,2,3)", INSTR(ENAME, 'A') AS "INSTR(ENAME,'A')", UPPER(LOWER(JOB)) AS "UPPER(LOWER(JOB))" FROM EMP
