select * from all_users where username = :schema|
/|
select to_char(to_date('10-1-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-2-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-3-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-4-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-5-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-6-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-7-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-8-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-9-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-10-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-11-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
union all|
select to_char(to_date('10-12-1999 10:10:10', 'dd-mm-yyyy hh24:mi:ss')) from dual|
/|
select table_owner, table_name, db_link|
  from all_synonyms|
  where synonym_name = :syn|
    and owner = :schema|
  order by decode(owner, 'PUBLIC', 1, 0) asc|
/|
select * from all_users where username = :schema|
/|
select table_owner, table_name, db_link|
  from all_synonyms|
  where synonym_name = :syn|
    and owner in ('PUBLIC', :schema)|
  order by decode(owner, 'PUBLIC', 1, 0) asc|
/|
select table_owner, table_name, db_link|
  from all_synonyms|
  where synonym_name = :syn|
    and owner = :schema|
  order by decode(owner, 'PUBLIC', 1, 0) asc|
/|
select tc.column_name as "Column Name",|
substr(data_type||' '|
   ||decode(tc.data_type,'DATE'    ,null|
                        ,'LONG'    ,null|
                        ,'LONG RAW',null|
                        ,'BLOB'    ,null|
                        ,'CLOB'    ,null|
                        ,'RAW'     ,decode(tc.data_length,null,null,'('||data_length||')')|
                        ,'CHAR'    ,decode(tc.data_length,null,null,'('||data_length||')')|
                        ,'VARCHAR' ,decode(tc.data_length,null,null,'('||data_length||')')|
                        ,'VARCHAR2',decode(tc.data_length,null,null,'('||data_length||')')|
                        ,'NUMBER'  ,decode(tc.data_precision,null,'   '|
                                         ,'('||tc.data_precision||decode(tc.data_scale,null,null,','||tc.data_scale)||')')|
                        ,'FLOAT'  ,decode(tc.data_precision,null,'   '|
                                         ,'('||tc.data_precision||decode(tc.data_scale,null,null,','||tc.data_scale)||')')|
                        ), 1, 30) as "Data Type",|
       rpad(decode(tc.nullable,'Y',' ','Y'), 9) as "Not Null?"|
  from all_tab_columns tc|
  where tc.owner = :obj_owner|
    and tc.table_name = :obj_name|
  order by tc.column_id|
/|
select column_name "Column Name",|
substr(data_type||' '|
   ||decode(tc.data_type,'DATE'    ,null|
                        ,'LONG'    ,null|
                        ,'LONG RAW',null|
                        ,'BLOB'    ,null|
                        ,'CLOB'    ,null|
                        ,'RAW'     ,decode(tc.data_length,null,null,'('||data_length||')')|
                        ,'CHAR'    ,decode(tc.data_length,null,null,'('||data_length||')')|
                        ,'VARCHAR' ,decode(tc.data_length,null,null,'('||data_length||')')|
                        ,'VARCHAR2',decode(tc.data_length,null,null,'('||data_length||')')|
                        ,'NUMBER'  ,decode(tc.data_precision,null,'   '|
                                         ,'('||tc.data_precision||decode(tc.data_scale,null,null,','||tc.data_scale)||')')|
                        ,'FLOAT'  ,decode(tc.data_precision,null,'   '|
                                         ,'('||tc.data_precision||decode(tc.data_scale,null,null,','||tc.data_scale)||')')|
                        ), 1, 30) as "Data Type",|
       rpad(decode(tc.nullable,'Y',' ','Y'), 9) as "Not Null?"|
  from all_tab_columns tc,|
       all_snapshots s|
  where rtrim(s.name) = rtrim(:obj_name)|
    and rtrim(s.owner) = rtrim(:obj_owner)|
    and s.table_name = tc.table_name|
    and s.owner = tc.owner|
  order by column_id|
/|
