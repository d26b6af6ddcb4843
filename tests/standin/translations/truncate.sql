-- Oracle
truncate table emp
-- SQLite
DELETE FROM EMP
