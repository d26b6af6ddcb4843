-- Oracle
insert into emp (empno, ename) values (emp_seq.nextval, 'NEW')
-- SQLite
INSERT INTO EMP (EMPNO, ENAME) VALUES (QD_NEXTVAL('EMP_SEQ'), 'NEW')
