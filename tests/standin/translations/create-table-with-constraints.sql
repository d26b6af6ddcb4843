-- Oracle
create table bonus (empno number(4) not null references emp, amount number(7,2) default 0 check (amount >= 0), granted date, note varchar2(30), constraint pk_bonus primary key (empno, granted))
-- SQLite
CREATE TABLE BONUS (EMPNO NUMBER(4) NOT NULL REFERENCES EMP, AMOUNT NUMBER(7,2) DEFAULT (0) /*QD:0*/ CHECK (AMOUNT >= 0) /*QD:amount >= 0*/, GRANTED DATE TEXT NOT NULL, NOTE VARCHAR2(30), CONSTRAINT PK_BONUS PRIMARY KEY (EMPNO, GRANTED))
