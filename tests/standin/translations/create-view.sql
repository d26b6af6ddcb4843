-- Oracle
create or replace view emp_names as select empno, ename from emp
-- SQLite
CREATE VIEW EMP_NAMES  /*QD:select empno, ename from emp*/ AS SELECT EMPNO AS "EMPNO", ENAME AS "ENAME" FROM EMP
