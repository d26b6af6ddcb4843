// The dictionary statements the program sends, as it sends them, against a small schema: each
// returns the rows a server would. The schema: DEPT and EMP with named and unnamed keys, a
// foreign key, a check, defaults, an index, a view, a sequence and a public synonym.
#include "DictionaryTestSupport.h"

#include <gtest/gtest.h>

using namespace qd::test::standin;

namespace {

class DictionaryStatements : public DictionarySchema {
protected:
    void SetUp() override
    {
        DictionarySchema::SetUp();
        exec("create table dept (deptno number(2) constraint pk_dept primary key, "
             "dname varchar2(14) not null, loc varchar2(13))");
        exec("create table emp (empno number(4) constraint pk_emp primary key, "
             "ename varchar2(10) not null, mgr number(4), "
             "sal number(7,2) default 1000 constraint ck_emp_sal check (sal > 0), comm number, "
             "hiredate date default sysdate, "
             "deptno number(2) constraint fk_emp_dept references dept (deptno), "
             "constraint uk_emp_ename unique (ename))");
        exec("create table bonus (ename varchar2(10) primary key, amount number check (amount >= 0))");
        exec("create index emp_mgr_ix on emp (mgr)");
        exec("create view emp_v as select empno, ename from emp");
        exec("create sequence emp_seq start with 10");
        exec("create public synonym staff for fix.emp");
    }

    // Runs a statement and compares all its rows.
    void expectRows(const std::string &sql, const Binds &binds, const Rows &expected)
    {
        EXPECT_EQ(rows(sql, binds), expected) << sql;
    }
};

const Binds emp = { { ":obj_owner", "fix" }, { ":obj_name", "emp" } };

// The data-type expression the column statements share, as the program sends it.
const std::string typeExpression = "substr(data_type||' '\r\n"
    "   ||decode(tc.data_type,'DATE'    ,null\r\n"
    "                        ,'LONG'    ,null\r\n"
    "                        ,'LONG RAW',null\r\n"
    "                        ,'BLOB'    ,null\r\n"
    "                        ,'CLOB'    ,null\r\n"
    "                        ,'RAW'     ,decode(tc.data_length,null,null,'('||data_length||')')\r\n"
    "                        ,'CHAR'    ,decode(tc.data_length,null,null,'('||data_length||')')\r\n"
    "                        ,'VARCHAR' ,decode(tc.data_length,null,null,'('||data_length||')')\r\n"
    "                        ,'VARCHAR2',decode(tc.data_length,null,null,'('||data_length||')')\r\n"
    "                        ,'NUMBER'  ,decode(tc.data_precision,null,'   '\r\n"
    "                                         ,'('||tc.data_precision||decode(tc.data_scale,null,null,','||tc.data_scale)||')')\r\n"
    "                        ,'FLOAT'  ,decode(tc.data_precision,null,'   '\r\n"
    "                                         ,'('||tc.data_precision||decode(tc.data_scale,null,null,','||tc.data_scale)||')')\r\n"
    "                        ), 1, 30) as \"Data Type\",\r\n";

const std::string primaryKeyTail
    = "       rpad(decode(tc.nullable,'Y',' ','Y'), 9) as \"Not Null?\"\r\n"
      "  from all_tab_columns tc,\r\n"
      "       (select c.constraint_type, c.owner, c.table_name, c.constraint_name, cc.column_name, cc.position\r\n"
      "          from all_constraints c,\r\n"
      "               all_cons_columns cc\r\n"
      "          where c.owner = upper(:obj_owner)\r\n"
      "            and c.table_name = upper(:obj_name)\r\n"
      "            and c.owner = cc.owner\r\n"
      "            and c.table_name = cc.table_name\r\n"
      "            and c.constraint_name = cc.constraint_name\r\n"
      "            and c.constraint_type = 'P'\r\n"
      "       ) pc\r\n"
      "  where tc.owner = upper(:obj_owner)\r\n"
      "    and tc.table_name = upper(:obj_name)\r\n"
      "    and tc.owner = pc.owner(+)\r\n"
      "    and tc.table_name = pc.table_name(+)\r\n"
      "    and tc.column_name = pc.column_name(+)\r\n"
      "  order by tc.column_id";

} // namespace

TEST_F(DictionaryStatements, TableColumnStatementsGiveKeyTypeAndNullability)
{
    const std::string pkForm = "select substr(lpad(pc.position, 11), 1, 11) as \"Primary Key\",\r\n"
                               "       substr(tc.column_name, 1, 32) as \"Column Name\",\r\n"
        + typeExpression + primaryKeyTail;
    expectRows(pkForm, emp,
        { { "          1", "EMPNO", "NUMBER (4,0)", "Y        " },
            { "<null>", "ENAME", "VARCHAR2 (10)", "Y        " },
            { "<null>", "MGR", "NUMBER (4,0)", "         " },
            { "<null>", "SAL", "NUMBER (7,2)", "         " },
            { "<null>", "COMM", "NUMBER    ", "         " },
            { "<null>", "HIREDATE", "DATE ", "         " },
            { "<null>", "DEPTNO", "NUMBER (2,0)", "         " } });
    // The text tables are laid out from the described sizes.
    const auto described = describe(pkForm, emp);
    ASSERT_EQ(described.size(), 4u);
    EXPECT_EQ(described[0].size, 11);
    EXPECT_EQ(described[1].size, 32);
    EXPECT_EQ(described[2].size, 30);
    EXPECT_EQ(described[3].size, 9);

    const std::string plain = "select Substr(column_name, 1, 32) \"Column Name\",\r\n" + typeExpression
        + "       rpad(decode(tc.nullable,'Y',' ','Y'), 9) as \"Not Null?\"\r\n"
          "  from all_tab_columns tc\r\n"
          "  where upper(rtrim(owner)) = upper(rtrim(:obj_owner))\r\n"
          "    and upper(rtrim(table_name)) = upper(rtrim(:obj_name))\r\n"
          "  order by column_id";
    expectRows(plain, { { ":obj_owner", "FIX" }, { ":obj_name", "dept" } },
        { { "DEPTNO", "NUMBER (2,0)", "Y        " }, { "DNAME", "VARCHAR2 (14)", "Y        " },
            { "LOC", "VARCHAR2 (13)", "         " } });

    const std::string view = "select tc.column_name as \"Column Name\",\r\n" + typeExpression
        + "       rpad(decode(tc.nullable,'Y',' ','Y'), 9) as \"Not Null?\"\r\n"
          "  from all_tab_columns tc\r\n"
          "  where tc.owner = upper(:obj_owner)\r\n"
          "    and tc.table_name = upper(:obj_name)\r\n"
          "  order by tc.column_id";
    const Binds empV = { { ":obj_owner", "fix" }, { ":obj_name", "emp_v" } };
    expectRows(view, empV,
        { { "EMPNO", "NUMBER (4,0)", "         " }, { "ENAME", "VARCHAR2 (10)", "         " } });
    // The view form shows the dictionary's own size of the column name.
    EXPECT_EQ(describe(view, empV).at(0).size, 128);

    const std::string hint = "select decode(pc.position, NULL, NULL, 'PK '||to_char(pc.position)) as \"Primary Key\",\r\n"
        + typeExpression
        + "       rpad(decode(tc.nullable,'Y',' ','NOT NULL '), 9) as \"Not Null?\"\r\n"
          "  from all_tab_columns tc,\r\n"
          "       (select c.constraint_type, c.owner, c.table_name, c.constraint_name, cc.column_name, cc.position\r\n"
          "          from all_constraints c,\r\n"
          "               all_cons_columns cc\r\n"
          "          where c.owner = upper(:obj_owner)\r\n"
          "            and c.table_name = upper(:obj_name)\r\n"
          "            and c.owner = cc.owner\r\n"
          "            and c.table_name = cc.table_name\r\n"
          "            and c.constraint_name = cc.constraint_name\r\n"
          "            and c.constraint_type = 'P'\r\n"
          "       ) pc\r\n"
          "  where tc.owner = upper(:obj_owner)\r\n"
          "    and tc.table_name = upper(:obj_name)\r\n"
          "    and tc.column_name = upper(:sub_obj_name)\r\n"
          "    and tc.owner = pc.owner(+)\r\n"
          "    and tc.table_name = pc.table_name(+)\r\n"
          "    and tc.column_name = pc.column_name(+)\r\n"
          "  order by tc.column_id";
    expectRows(hint, { { ":obj_owner", "fix" }, { ":obj_name", "emp" }, { ":sub_obj_name", "empno" } },
        { { "PK 1", "NUMBER (4,0)", "NOT NULL " } });
    expectRows(hint, { { ":obj_owner", "fix" }, { ":obj_name", "emp" }, { ":sub_obj_name", "comm" } },
        { { "<null>", "NUMBER    ", "         " } });
}

TEST_F(DictionaryStatements, KeyConstraintAndDefaultLookups)
{
    const Binds table = { { ":owner", "FIX" }, { ":table_name", "EMP" } };
    expectRows("select constraint_name from all_constraints\r\n"
               "where owner = :owner and table_name = :table_name\r\n"
               "and constraint_type in ('P', 'U')\r\n"
               "order by constraint_type",
        table, { { "PK_EMP" }, { "UK_EMP_ENAME" } });
    expectRows("select column_name from all_cons_columns\r\n"
               "where owner = :owner and table_name = :table_name\r\n"
               "and constraint_name = :constraint_name\r\n"
               "order by position",
        { { ":owner", "FIX" }, { ":table_name", "EMP" }, { ":constraint_name", "PK_EMP" } },
        { { "EMPNO" } });
    // Generated names (the NOT NULL checks) are left out by the program's own filter.
    expectRows("select constraint_name, column_name from sys.all_cons_columns\r\n"
               "where owner = :owner and table_name = :table_name\r\n"
               "and constraint_name not like 'SYS_C%'\r\n"
               "order by constraint_name, position",
        table,
        { { "CK_EMP_SAL", "SAL" }, { "FK_EMP_DEPT", "DEPTNO" }, { "PK_EMP", "EMPNO" },
            { "UK_EMP_ENAME", "ENAME" } });
    const std::string details = "select constraint_type, r_constraint_name, r_owner, search_condition\r\n"
                                "  from sys.all_constraints\r\n"
                                " where constraint_name = :constraint_name and owner = :owner\r\n"
                                "   and status = 'ENABLED'";
    expectRows(details, { { ":constraint_name", "CK_EMP_SAL" }, { ":owner", "FIX" } },
        { { "C", "<null>", "<null>", "sal > 0" } });
    expectRows(details, { { ":constraint_name", "FK_EMP_DEPT" }, { ":owner", "FIX" } },
        { { "R", "PK_DEPT", "FIX", "<null>" } });
    expectRows("select table_name, column_name from sys.all_cons_columns\r\n"
               " where owner = :owner and constraint_name = :constraint_name\r\n"
               " order by position",
        { { ":owner", "FIX" }, { ":constraint_name", "PK_DEPT" } }, { { "DEPT", "DEPTNO" } });
    expectRows("select fk.constraint_name fkname, pk.constraint_name pkname\r\n"
               "  from sys.all_constraints fk, sys.all_constraints pk\r\n"
               " where fk.constraint_type = 'R'\r\n"
               "   and fk.owner = :fk_owner and fk.table_name = :fk_table_name\r\n"
               "   and pk.constraint_name = fk.r_constraint_name\r\n"
               "   and pk.owner = :pk_owner and pk.table_name = :pk_table_name",
        { { ":fk_owner", "FIX" }, { ":fk_table_name", "EMP" }, { ":pk_owner", "FIX" },
            { ":pk_table_name", "DEPT" } },
        { { "FK_EMP_DEPT", "PK_DEPT" } });
    // Defaults come back as written.
    expectRows("select column_name, data_default from sys.all_tab_columns\r\n"
               "where owner = :owner and table_name = :table_name\r\n"
               "and data_default is not null",
        table, { { "SAL", "1000" }, { "HIREDATE", "sysdate" } });
    // No object or collection columns in this schema.
    expectRows("select c.data_type_owner, c.data_type, c.column_name, t.typecode\r\n"
               "from sys.all_tab_columns c,\r\n     sys.all_types t\r\nwhere c.owner = :owner\r\n"
               "and c.table_name = :table_name\r\nand c.data_type is not null\r\n"
               "and c.data_type_owner is not null\r\nand c.data_type_mod is null\r\n"
               "and t.owner = c.data_type_owner\r\nand t.type_name = c.data_type\r\n"
               "and t.typecode in ('COLLECTION', 'OBJECT')\r\norder by c.column_id",
        table, {});
}

TEST_F(DictionaryStatements, ForeignKeyCheckAndIndexDescriptions)
{
    const Binds table = { { ":table_owner", "FIX" }, { ":table_name", "EMP" } };
    expectRows("select fk.constraint_name, pk.owner, pk.table_name, pk.constraint_name, "
               "Initcap(fk.status), lower(pk.status)\r\n"
               "  from all_constraints fk,\r\n       all_constraints pk\r\n"
               "  where fk.owner = upper(:table_owner)\r\n"
               "    and fk.table_name = upper(:table_name)\r\n"
               "    and fk.constraint_type = 'R'\r\n"
               "    and fk.r_owner = pk.owner\r\n"
               "    and fk.r_constraint_name = pk.constraint_name\r\n"
               "  order by fk.status",
        table, { { "FK_EMP_DEPT", "FIX", "DEPT", "PK_DEPT", "Enabled", "enabled" } });
    expectRows("select cc.column_name from all_cons_columns cc where cc.owner = upper(:con_owner) "
               "and cc.constraint_name = upper(:con_name)",
        { { ":con_owner", "fix" }, { ":con_name", "fk_emp_dept" } }, { { "DEPTNO" } });
    expectRows("select c.constraint_name, c.search_condition, initCap(c.status)\r\n"
               "  from all_constraints c\r\n"
               "  where c.owner = upper(:table_owner)\r\n"
               "    and c.table_name = upper(:table_name)\r\n"
               "    and c.constraint_type = 'C'\r\n"
               "  order by c.status",
        { { ":table_owner", "fix" }, { ":table_name", "bonus" } },
        { { rows("select constraint_name from user_constraints where table_name = 'BONUS' "
                 "and constraint_type = 'C'")
                  .at(0)
                  .at(0),
            "amount >= 0", "Enabled" } });
    expectRows("select upper(owner), upper(index_name), lower(uniqueness), InitCap(i.status)\r\n"
               "  from all_indexes i\r\n"
               "  where i.table_owner = upper(:table_owner)\r\n"
               "    and i.table_name = upper(:table_name)\r\n"
               "  order by i.status, index_name",
        table,
        { { "FIX", "EMP_MGR_IX", "nonunique", "Valid" }, { "FIX", "PK_EMP", "unique", "Valid" },
            { "FIX", "UK_EMP_ENAME", "unique", "Valid" } });
    expectRows("select c.column_name\r\n  from all_ind_columns c\r\n"
               "  where c.index_owner = upper(rtrim(:ind_owner))\r\n"
               "    and c.index_name = upper(rtrim(:ind_name))\r\n"
               "  order by c.column_position",
        { { ":ind_owner", "FIX " }, { ":ind_name", "UK_EMP_ENAME" } }, { { "ENAME" } });
    // An unnamed check gets a generated name that the violation names too.
    const std::string name = rows("select constraint_name from user_constraints where "
                                  "table_name = 'BONUS' and constraint_type = 'C'")
                                 .at(0)
                                 .at(0);
    EXPECT_EQ(name.rfind("SYS_C", 0), 0u) << name;
    std::string text;
    EXPECT_EQ(failure("insert into bonus values ('X', -1)", &text), 2290);
    EXPECT_EQ(text, "ORA-02290: check constraint (FIX." + name + ") violated");
}

TEST_F(DictionaryStatements, NavigatorListsAndBuiltIns)
{
    const Binds owner = { { ":obj_owner", "FIX" } };
    expectRows("select table_name from all_tables where owner = :obj_owner order by table_name",
        owner, { { "BONUS" }, { "DEPT" }, { "EMP" } });
    expectRows("select view_name from all_views where owner = :obj_owner order by view_name", owner,
        { { "EMP_V" } });
    expectRows("select name from all_snapshots where owner = :obj_owner order by name", owner, {});
    expectRows("select object_name from all_objects where owner = :obj_owner and object_type = "
               "'SEQUENCE' order by object_name",
        owner, { { "EMP_SEQ" } });
    expectRows("select distinct owner from all_objects where object_type IN ('TABLE', 'VIEW', "
               "'MATERIALIZED VIEW', 'PACKAGE', 'PROCEDURE', 'FUNCTION', 'TRIGGER', 'TYPE', "
               "'SEQUENCE') order by owner",
        {}, { { "FIX" }, { "SYS" } });
    expectRows("select column_name \r\n  from all_tab_columns \r\n"
               "  where upper(rtrim(owner)) = upper(rtrim(:obj_owner)) \r\n"
               "    and upper(rtrim(table_name)) = upper(rtrim(:obj_name)) \r\n"
               "  order by column_id",
        { { ":obj_owner", "fix " }, { ":obj_name", "dept" } },
        { { "DEPTNO" }, { "DNAME" }, { "LOC" } });
    expectRows("select object_name \r\n  from all_arguments \r\n"
               "  where owner = 'SYS' and package_name = 'STANDARD' \r\n"
               "  group by object_name \r\n  having min(position) <> 0 ",
        {}, { { "COMMIT" }, { "SAVEPOINT" } });
    expectRows("select object_name \r\n  from all_arguments \r\n"
               "  where owner = 'SYS' and package_name = 'STANDARD' \r\n"
               "  group by object_name \r\n  having min(position) = 0 ",
        {}, { { "LENGTH" }, { "LOWER" }, { "NVL" }, { "SUBSTR" }, { "SYSDATE" }, { "UPPER" } });
    expectRows("select distinct object_name \r\n  from all_arguments\r\n"
               "  where owner = upper(:obj_owner)\r\n    and package_name = upper(:obj_name)\r\n"
               "  order by object_name",
        { { ":obj_owner", "sys" }, { ":obj_name", "standard" } },
        { { "COMMIT" }, { "LENGTH" }, { "LOWER" }, { "NVL" }, { "SAVEPOINT" }, { "SUBSTR" },
            { "SYSDATE" }, { "UPPER" } });
    expectRows("select attr_name as \"Name\" \r\n  from all_type_attrs \r\n"
               "  where owner = upper(:obj_owner) \r\n    and type_name = upper(:obj_name) \r\n"
               "  order by attr_no",
        { { ":obj_owner", "fix" }, { ":obj_name", "t" } }, {});
}

TEST_F(DictionaryStatements, NameResolutionKindAndSourceLookups)
{
    const std::string resolve = "select table_owner, table_name, db_link\r\n  from all_synonyms\r\n"
                                "  where synonym_name = :syn\r\n"
                                "    and owner in ('PUBLIC', :schema)\r\n"
                                "  order by decode(owner, 'PUBLIC', 1, 0) asc";
    expectRows(resolve, { { ":syn", "STAFF" }, { ":schema", "FIX" } },
        { { "FIX", "EMP", "<null>" } });
    // A private synonym of the same name wins over the public one.
    exec("create synonym staff for dept");
    expectRows(resolve, { { ":syn", "STAFF" }, { ":schema", "FIX" } },
        { { "FIX", "DEPT", "<null>" }, { "FIX", "EMP", "<null>" } });
    expectRows("select * from all_users where username = :schema", { { ":schema", "FIX" } },
        { { "FIX", "100", "<null>" } });
    expectRows("select * from all_users where username = :schema", { { ":schema", "NOBODY" } }, {});
    const std::string kind
        = "select object_type from all_objects where owner = :schema and object_name = :obj";
    expectRows(kind, { { ":schema", "FIX" }, { ":obj", "EMP_V" } }, { { "VIEW" } });
    expectRows(kind, { { ":schema", "FIX" }, { ":obj", "EMP_MGR_IX" } }, { { "INDEX" } });
    expectRows(kind, { { ":schema", "FIX" }, { ":obj", "NONE" } }, {});
    expectRows("select text as \"Text\"\r\n  from all_views v\r\n"
               "  where v.owner = upper(:obj_owner)\r\n    and v.view_name = upper(:obj_name)",
        { { ":obj_owner", "fix" }, { ":obj_name", "emp_v" } },
        { { "select empno, ename from emp" } });
    expectRows("select sequence_name, last_number, min_value, max_value,\r\n"
               "    increment_by, cycle_flag, order_flag, cache_size\r\n"
               "  from all_sequences\r\n  where sequence_owner = upper(:obj_owner)\r\n"
               "    and sequence_name = upper(:obj_name)",
        { { ":obj_owner", "fix" }, { ":obj_name", "emp_seq" } },
        { { "EMP_SEQ", "10", "1", "9999999999999999999999999999", "1", "N", "N", "0" } });
    // No triggers in this schema: the trigger description finds nothing, and does not fail.
    expectRows("select trigger_name, trigger_type, triggering_event,\r\n"
               "    '\"'||table_owner||'\".\"'||table_name||'\"' as base_table,\r\n"
               "    column_name, referencing_names, when_clause, status\r\n"
               "  from all_triggers\r\n  where owner = upper(:obj_owner)\r\n"
               "    and trigger_name = upper(:obj_name)",
        { { ":obj_owner", "fix" }, { ":obj_name", "trg" } }, {});
    expectRows("select 'CREATE OR REPLACE '||description||' AS' as header,\r\n    trigger_body\r\n"
               "  from all_triggers\r\n  where owner = upper(:obj_owner)\r\n"
               "    and trigger_name = upper(:obj_name)",
        { { ":obj_owner", "fix" }, { ":obj_name", "trg" } }, {});
}

TEST_F(DictionaryStatements, ArgumentsOfBuiltInsWithOverloads)
{
    const std::string arguments
        = "select overload, position, argument_name, rtrim(rpad('  ', data_level)||argument_name, 32) \"Argument Name\",\r\n"
          "       rpad(' ', data_level)||data_type||\r\n"
          "           decode(nvl(data_precision, data_length), null, null, '('||to_char(nvl(data_precision, data_length))||')') \"Data Type\",\r\n"
          "       in_out \"In/Out\",\r\n"
          "       '\"'||type_owner||'\".\"'||type_name||'\"'||decode(type_subname, null, null, '.\"'||type_subname||'\"'),\r\n"
          "       data_level\r\n"
          "  from all_arguments\r\n"
          "  where owner = upper(:obj_owner)\r\n"
          "    and object_name = upper(:obj_name)\r\n"
          "    and ((package_name = upper(:pack_name)) or (package_name is NULL))\r\n"
          "  order by overload, sequence, position, data_level";
    const Binds nvl = { { ":obj_owner", "SYS" }, { ":obj_name", "nvl" }, { ":pack_name", "standard" } };
    // rtrim(..., 32) trims the characters 3 and 2, so B2 shows as B, as on the server.
    expectRows(arguments, nvl,
        { { "1", "0", "<null>", "<null>", "VARCHAR2", "OUT", "\"\".\"\"", "0" },
            { "1", "1", "B1", "B1", "VARCHAR2", "IN", "\"\".\"\"", "0" },
            { "1", "2", "B2", "B", "VARCHAR2", "IN", "\"\".\"\"", "0" },
            { "2", "0", "<null>", "<null>", "NUMBER", "OUT", "\"\".\"\"", "0" },
            { "2", "1", "B1", "B1", "NUMBER", "IN", "\"\".\"\"", "0" },
            { "2", "2", "B2", "B", "NUMBER", "IN", "\"\".\"\"", "0" },
            { "3", "0", "<null>", "<null>", "DATE", "OUT", "\"\".\"\"", "0" },
            { "3", "1", "B1", "B1", "DATE", "IN", "\"\".\"\"", "0" },
            { "3", "2", "B2", "B", "DATE", "IN", "\"\".\"\"", "0" } });
    // A procedure without arguments: one row with neither name nor type.
    expectRows(arguments, { { ":obj_owner", "SYS" }, { ":obj_name", "commit" }, { ":pack_name", "standard" } },
        { { "<null>", "1", "<null>", "<null>", "<null>", "IN", "\"\".\"\"", "0" } });
}

TEST_F(DictionaryStatements, ViolationsNameTheirConstraintAsTheDictionaryDoes)
{
    exec("insert into dept values (10, 'SALES', null)");
    exec("insert into emp (empno, ename, deptno) values (1, 'KING', 10)");
    // The default is applied on insert, as the dictionary shows it.
    EXPECT_EQ(rows("select sal from emp where empno = 1"), (Rows { { "1000" } }));
    const std::string unnamedKey = rows("select constraint_name from user_constraints "
                                        "where table_name = 'BONUS' and constraint_type = 'P'")
                                       .at(0)
                                       .at(0);
    exec("insert into bonus values ('KING', 1)");
    struct Case {
        const char *sql;
        int code;
        std::string text;
    } cases[] = {
        { "insert into emp (empno, ename) values (1, 'OTHER')", 1,
            "ORA-00001: unique constraint (FIX.PK_EMP) violated" },
        { "insert into emp (empno, ename) values (2, 'KING')", 1,
            "ORA-00001: unique constraint (FIX.UK_EMP_ENAME) violated" },
        { "insert into bonus values ('KING', 2)", 1,
            "ORA-00001: unique constraint (FIX." + unnamedKey + ") violated" },
        { "insert into emp (empno, ename, sal) values (3, 'LOW', -5)", 2290,
            "ORA-02290: check constraint (FIX.CK_EMP_SAL) violated" },
        { "insert into emp (empno, ename, deptno) values (4, 'LOST', 99)", 2291,
            "ORA-02291: integrity constraint (FIX.FK_EMP_DEPT) violated - parent key not found" },
        { "delete from dept where deptno = 10", 2292,
            "ORA-02292: integrity constraint (FIX.FK_EMP_DEPT) violated - child record found" },
        { "insert into emp (empno) values (5)", 1400,
            "ORA-01400: cannot insert NULL into (\"FIX\".\"EMP\".\"ENAME\")" },
    };
    for (const Case &c : cases) {
        std::string text;
        EXPECT_EQ(failure(c.sql, &text), c.code) << c.sql;
        EXPECT_EQ(text, c.text) << c.sql;
    }
}
