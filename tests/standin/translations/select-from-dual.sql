-- Oracle
select 1, 'x' from dual
-- SQLite
SELECT 1 AS "1", 'x' AS "'X'" FROM (SELECT 'X' AS DUMMY) AS "DUAL"
