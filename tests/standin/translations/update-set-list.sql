-- Oracle
update emp set sal = sal * 1.1, comm = null where deptno = :d
-- SQLite
UPDATE EMP SET SAL = (SAL * 1.1), COMM = NULL WHERE DEPTNO = ?1
