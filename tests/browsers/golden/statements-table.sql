select table_owner, table_name, db_link|
  from all_synonyms|
  where synonym_name = :syn|
    and owner in ('PUBLIC', :schema)|
  order by decode(owner, 'PUBLIC', 1, 0) asc|
/|
select object_type from all_objects where owner = :schema and object_name = :obj|
/|
select substr(lpad(pc.position, 11), 1, 11) as "Primary Key",|
       substr(tc.column_name, 1, 32) as "Column Name",|
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
       (select c.constraint_type, c.owner, c.table_name, c.constraint_name, cc.column_name, cc.position|
          from all_constraints c,|
               all_cons_columns cc|
          where c.owner = :obj_owner|
            and c.table_name = :obj_name|
            and c.owner = cc.owner|
            and c.table_name = cc.table_name|
            and c.constraint_name = cc.constraint_name|
            and c.constraint_type = 'P'|
       ) pc|
  where tc.owner = :obj_owner|
    and tc.table_name = :obj_name|
    and tc.owner = pc.owner(+)|
    and tc.table_name = pc.table_name(+)|
    and tc.column_name = pc.column_name(+)|
  order by tc.column_id|
/|
select fk.constraint_name, pk.owner, pk.table_name, pk.constraint_name, Initcap(fk.status), lower(pk.status)|
  from all_constraints fk,|
       all_constraints pk|
  where fk.owner = :table_owner|
    and fk.table_name = :table_name|
    and fk.constraint_type = 'R'|
    and fk.r_owner = pk.owner|
    and fk.r_constraint_name = pk.constraint_name|
  order by fk.status|
/|
select cc.column_name from all_cons_columns cc where cc.owner = :con_owner and cc.constraint_name = :con_name|
/|
select cc.column_name from all_cons_columns cc where cc.owner = :con_owner and cc.constraint_name = :con_name|
/|
select c.constraint_name, c.search_condition, initCap(c.status)|
  from all_constraints c|
  where c.owner = :table_owner|
    and c.table_name = :table_name|
    and c.constraint_type = 'C'|
  order by c.status|
/|
select owner, index_name, lower(uniqueness), InitCap(i.status)|
  from all_indexes i|
  where i.table_owner = :table_owner|
    and i.table_name = :table_name|
  order by i.status|
/|
select c.column_name|
  from all_ind_columns c|
  where c.index_owner = rtrim(:ind_owner)|
    and c.index_name = rtrim(:ind_name)|
  order by c.column_position|
/|
select c.column_name|
  from all_ind_columns c|
  where c.index_owner = rtrim(:ind_owner)|
    and c.index_name = rtrim(:ind_name)|
  order by c.column_position|
/|
select decode(pc.position, NULL, NULL, 'PK '||to_char(pc.position)) as "Primary Key",|
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
       rpad(decode(tc.nullable,'Y',' ','NOT NULL '), 9) as "Not Null?"|
  from all_tab_columns tc,|
       (select c.constraint_type, c.owner, c.table_name, c.constraint_name, cc.column_name, cc.position|
          from all_constraints c,|
               all_cons_columns cc|
          where c.owner = :obj_owner|
            and c.table_name = :obj_name|
            and c.owner = cc.owner|
            and c.table_name = cc.table_name|
            and c.constraint_name = cc.constraint_name|
            and c.constraint_type = 'P'|
       ) pc|
  where tc.owner = :obj_owner|
    and tc.table_name = :obj_name|
    and tc.column_name = :sub_obj_name|
    and tc.owner = pc.owner(+)|
    and tc.table_name = pc.table_name(+)|
    and tc.column_name = pc.column_name(+)|
  order by tc.column_id|
/|
