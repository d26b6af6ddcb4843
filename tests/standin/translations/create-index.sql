-- Oracle
create unique index emp_ename_ix on emp (ename)
-- SQLite
CREATE UNIQUE INDEX EMP_ENAME_IX ON EMP (ENAME)
