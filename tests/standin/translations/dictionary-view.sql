-- Oracle
select table_name from user_tables order by table_name
-- SQLite
SELECT TABLE_NAME AS "TABLE_NAME" FROM QDSI_DICT_USER_TABLES AS "USER_TABLES" ORDER BY TABLE_NAME NULLS LAST
