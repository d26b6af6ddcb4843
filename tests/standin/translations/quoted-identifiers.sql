-- Oracle
select "ENAME" as "Name" from "EMP"
-- SQLite
SELECT "ENAME" AS "Name" FROM "EMP"
