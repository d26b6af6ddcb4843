-- Oracle
alter table emp add (email varchar2(40))
-- SQLite
ALTER TABLE EMP ADD COLUMN EMAIL VARCHAR2(40)
