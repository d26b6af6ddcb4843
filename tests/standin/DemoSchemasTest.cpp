// The sample schemas of the built-in configuration as the program's dictionary statements see
// them: DEMO with its package, trigger, check constraint, materialized view and public synonym,
// and the second schema HR, which reaches DEMO's objects by DEMO.NAME and a private synonym.
#include "DictionaryTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace qd::test::standin;

namespace {

class DemoSchemas : public DictionarySchema {
protected:
    void SetUp() override
    {
        unsetenv("QD_STANDIN_CONFIG"); // the built-in configuration
        ASSERT_EQ(db.logon("HR", "HR"), SUCCESS) << db.errorText();
    }
};

const Binds demoPackage = { { ":obj_owner", "demo" }, { ":pack_name", "emp_api" } };

// The dataset's block that finds the owner and table behind a name, as the program sends it.
const char *const splitBlock = "begin\n  begin\n"
    "    select user, table_name into :table_owner, :table_name\n"
    "      from sys.user_tables where table_name = :name;\n"
    "  exception when no_data_found then\n    begin\n"
    "      select user, view_name into :table_owner, :table_name\n"
    "        from sys.user_views where view_name = :name;\n"
    "    exception when no_data_found then\n      begin\n"
    "        select table_owner, table_name into :table_owner, :table_name\n"
    "          from sys.user_synonyms where synonym_name = :name;\n"
    "      exception when no_data_found then\n        begin\n"
    "          select table_owner, table_name into :table_owner, :table_name\n"
    "            from sys.all_synonyms where owner = 'PUBLIC' and synonym_name = :name;\n"
    "        exception when no_data_found then\n"
    "          :table_owner := null; :table_name := null;\n"
    "        end;\n      end;\n    end;\n  end;\nend;";

// Runs the block for `name`; "owner.table", "." for nulls.
std::string splitTableName(Connection &connection, const std::string &name)
{
    Cursor c(connection, splitBlock);
    char owner[64] = {}, table[64] = {};
    std::string input = name;
    sb2 ownerNull = 0, tableNull = 0;
    void *b1 = nullptr, *b2 = nullptr, *b3 = nullptr;
    api().BindByName(c.stmt, &b1, c.err, reinterpret_cast<const text *>(":table_owner"), -1,
        owner, sizeof owner, SQLT_STR, &ownerNull, nullptr, nullptr, 0, nullptr, DEFAULT);
    api().BindByName(c.stmt, &b2, c.err, reinterpret_cast<const text *>(":table_name"), -1, table,
        sizeof table, SQLT_STR, &tableNull, nullptr, nullptr, 0, nullptr, DEFAULT);
    api().BindByName(c.stmt, &b3, c.err, reinterpret_cast<const text *>(":name"), -1,
        input.data(), static_cast<sb4>(input.size() + 1), SQLT_STR, nullptr, nullptr, nullptr, 0,
        nullptr, DEFAULT);
    const sword status = c.execute(1);
    EXPECT_EQ(status, SUCCESS) << c.errorText();
    return std::string(ownerNull == -1 ? "" : owner) + "." + (tableNull == -1 ? "" : table);
}

} // namespace

TEST_F(DemoSchemas, SecondSchemaReadsTheFirstByOwnerAndSynonym)
{
    EXPECT_EQ(rows("select count(*) from demo.emp"), rows("select count(*) from employees"));
    EXPECT_EQ(rows("select ename from employees where empno = 101"), (Rows { { "HALVORSEN" } }));
    EXPECT_EQ(rows("select job_id from jobs order by job_id"),
        (Rows { { "ANALYST" }, { "CLERK" }, { "DIRECTOR" } }));
    EXPECT_EQ(rows("select username from all_users where username in ('DEMO', 'HR') "
                   "order by username"),
        (Rows { { "DEMO" }, { "HR" } }));
    EXPECT_EQ(rows("select owner, synonym_name, table_owner, table_name from all_synonyms "
                   "order by owner, synonym_name"),
        (Rows { { "HR", "EMPLOYEES", "DEMO", "EMP" }, { "PUBLIC", "STAFF", "DEMO", "EMP" } }));
    // The public synonym made in DEMO serves HR as well.
    EXPECT_EQ(rows("select count(*) from staff"), rows("select count(*) from demo.emp"));
    std::string text;
    EXPECT_EQ(failure("insert into jobs values ('X', 'Inverted', 9000, 100)", &text), 2290);
    EXPECT_EQ(text, "ORA-02290: check constraint (HR.CK_JOBS_SALARY) violated");
}

TEST_F(DemoSchemas, DictionaryListsTheSampleObjectsOfEveryKind)
{
    EXPECT_EQ(rows("select object_name, object_type, status from all_objects "
                   "where owner = 'DEMO' and object_type in ('PACKAGE', 'PACKAGE BODY', "
                   "'TRIGGER', 'MATERIALIZED VIEW', 'SEQUENCE', 'VIEW') "
                   "order by object_type, object_name"),
        (Rows { { "DEPT_SUMMARY", "MATERIALIZED VIEW", "VALID" }, { "EMP_API", "PACKAGE", "VALID" },
            { "EMP_API", "PACKAGE BODY", "VALID" }, { "EMP_SEQ", "SEQUENCE", "VALID" },
            { "EMP_BIU", "TRIGGER", "VALID" }, { "EMP_DEPT", "VIEW", "VALID" } }));
    EXPECT_EQ(rows("select distinct owner from all_objects where object_type IN ('TABLE', "
                   "'VIEW', 'MATERIALIZED VIEW', 'PACKAGE', 'PROCEDURE', 'FUNCTION', 'TRIGGER', "
                   "'TYPE', 'SEQUENCE') order by owner"),
        (Rows { { "DEMO" }, { "HR" }, { "SYS" } }));
    EXPECT_EQ(rows("select c.constraint_name, c.search_condition, initCap(c.status)\r\n"
                   "  from all_constraints c\r\n"
                   "  where c.owner = upper(:table_owner)\r\n"
                   "    and c.table_name = upper(:table_name)\r\n"
                   "    and c.constraint_type = 'C'\r\n"
                   "    and c.constraint_name not like 'SYS_C%'\r\n"
                   "  order by c.status",
                  { { ":table_owner", "demo" }, { ":table_name", "salgrade" } }),
        (Rows { { "CK_SALGRADE_RANGE", "LOSAL <= HISAL", "Enabled" } }));
    EXPECT_EQ(rows("select query as \"Text\"\r\n  from all_snapshots v\r\n"
                   "  where v.owner = upper(:obj_owner)\r\n    and v.name = upper(:obj_name)",
                  { { ":obj_owner", "demo" }, { ":obj_name", "dept_summary" } }),
        (Rows { { "select deptno, count(*) headcount, sum(sal) total_sal from emp group by "
                  "deptno" } }));
}

TEST_F(DemoSchemas, PackageArgumentsSourceAndTriggerOfTheSample)
{
    // The package describer's statement: every procedure and function of the package.
    EXPECT_EQ(rows("select overload, position, argument_name, in_out, data_type, object_name\r\n"
                   "  from all_arguments\r\n"
                   "  where owner = upper(:obj_owner)\r\n"
                   "    and package_name = upper(:pack_name)\r\n"
                   "  order by object_name, overload, sequence, position, data_level",
                  demoPackage),
        (Rows { { "<null>", "0", "<null>", "OUT", "NUMBER", "HEADCOUNT" },
            { "<null>", "1", "P_DEPTNO", "IN", "NUMBER", "HEADCOUNT" },
            { "<null>", "1", "P_EMPNO", "IN", "NUMBER", "RAISE_SALARY" },
            { "<null>", "2", "P_PERCENT", "IN", "NUMBER", "RAISE_SALARY" } }));
    const Rows source = rows("select rtrim(text) as \"Text\"\r\n  from all_source s\r\n"
                             "  where s.owner = upper(:obj_owner)\r\n"
                             "    and s.name = upper(:obj_name)\r\n"
                             "    and s.type = upper(:source_type)\r\n  order by line",
        { { ":obj_owner", "demo" }, { ":obj_name", "emp_api" }, { ":source_type", "package" } });
    EXPECT_EQ(source,
        (Rows { { "package emp_api is\n" },
            { "  procedure raise_salary(p_empno in number, p_percent in number);\n" },
            { "  function headcount(p_deptno in number) return number;\n" },
            { "end emp_api;\n" } }));
    EXPECT_EQ(rows("select trigger_name, trigger_type, triggering_event,\r\n"
                   "    '\"'||table_owner||'\".\"'||table_name||'\"' as base_table, status\r\n"
                   "  from all_triggers\r\n  where owner = upper(:obj_owner)\r\n"
                   "    and trigger_name = upper(:obj_name)",
                  { { ":obj_owner", "demo" }, { ":obj_name", "emp_biu" } }),
        (Rows {
            { "EMP_BIU", "BEFORE EACH ROW", "INSERT OR UPDATE", "\"DEMO\".\"EMP\"", "ENABLED" } }));
    // The package runs for its owner.
    Connection demo;
    ASSERT_EQ(demo.logon("DEMO", "DEMO"), SUCCESS) << demo.errorText();
    active = &demo;
    exec("declare n number; m number; begin n := emp_api.headcount(20); "
         "select count(*) into m from emp where deptno = 20; "
         "if n <> m then raise_application_error(-20001, 'headcount ' || n); end if; end;");
    exec("rollback");
    active = &db;
    demo.logoff();
}

TEST_F(DemoSchemas, NavigatorListsAndTableNameResolution)
{
    const Binds demo = { { ":obj_owner", "DEMO" } };
    EXPECT_EQ(rows("select object_name from all_objects where owner = :obj_owner and "
                   "object_type = 'PACKAGE' order by object_name",
                  demo),
        (Rows { { "EMP_API" } }));
    EXPECT_EQ(rows("select object_name from all_objects where owner = :obj_owner and "
                   "object_type = 'TRIGGER' order by object_name",
                  demo),
        (Rows { { "EMP_BIU" } }));
    EXPECT_EQ(rows("select name from all_snapshots where owner = :obj_owner order by name", demo),
        (Rows { { "DEPT_SUMMARY" } }));
    EXPECT_EQ(rows("select column_name \r\n  from all_tab_columns tc,\r\n       all_snapshots s\r\n"
                   "  where upper(rtrim(s.name)) = upper(rtrim(:obj_name)) \r\n"
                   "    and upper(rtrim(s.owner)) = upper(rtrim(:obj_owner)) \r\n"
                   "    and s.table_name = tc.table_name \r\n"
                   "    and s.owner = tc.owner \r\n  order by column_id",
                  { { ":obj_owner", "demo" }, { ":obj_name", "dept_summary" } }),
        (Rows { { "DEPTNO" }, { "HEADCOUNT" }, { "TOTAL_SAL" } }));
    EXPECT_EQ(rows("select distinct object_name \r\n  from all_arguments\r\n"
                   "  where owner = upper(:obj_owner)\r\n"
                   "    and package_name = upper(:obj_name)\r\n"
                   "  order by object_name",
                  { { ":obj_owner", "demo" }, { ":obj_name", "emp_api" } }),
        (Rows { { "HEADCOUNT" }, { "RAISE_SALARY" } }));
    // A table, the private synonym, the public synonym, and no such name.
    EXPECT_EQ(splitTableName(db, "JOBS"), "HR.JOBS");
    EXPECT_EQ(splitTableName(db, "EMPLOYEES"), "DEMO.EMP");
    EXPECT_EQ(splitTableName(db, "STAFF"), "DEMO.EMP");
    EXPECT_EQ(splitTableName(db, "NONE"), ".");
}
