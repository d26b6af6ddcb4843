-- Oracle
select to_char(hiredate, 'DD.MM.YYYY'), add_months(hiredate, 1), sysdate - hiredate from emp
-- SQLite
SELECT TO_CHAR(HIREDATE, 'DD.MM.YYYY') AS "TO_CHAR(HIREDATE,'DD.MM.YYYY')", ADD_MONTHS(HIREDATE, 1) AS "ADD_MONTHS(HIREDATE,1)", QD_SUB(SYSDATE(), HIREDATE) AS "SYSDATE-HIREDATE" FROM EMP
