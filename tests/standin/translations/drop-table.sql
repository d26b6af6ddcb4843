-- Oracle
drop table emp cascade constraints
-- SQLite
DROP TABLE EMP
