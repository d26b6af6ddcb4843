-- Oracle
delete emp where empno = 7369
-- SQLite
DELETE FROM EMP WHERE EMPNO = 7369
