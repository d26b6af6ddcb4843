-- Oracle
update emp set sal = sal + 100 where empno = :id returning sal into :new_sal
-- SQLite
UPDATE EMP SET SAL = QD_ADD(SAL, 100) WHERE EMPNO = ?1 RETURNING SAL
