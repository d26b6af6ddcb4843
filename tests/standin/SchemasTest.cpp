// Users of one alias are schemas that see each other: OWNER.OBJECT names in queries and
// changes, the dictionary's ALL_ views with every schema and the right owner (USER_ views the
// own one), ALL_USERS, and synonyms, private before public and in chains, also as the target of
// a change.
#include "DictionaryTestSupport.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace qd::test::standin;

namespace {

class Schemas : public DictionarySchema {
protected:
    void SetUp() override
    {
        // Two users of one alias, no sample schema: FIX owns the tables, USR reads them.
        const std::string dir = qd::test::programDirectory().toStdString();
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string path = dir + "/" + test + ".schemas.conf";
        std::ofstream out(path);
        out << "[alias SCH]\ndirectory = schemas-" << test
            << "\n[user FIX@SCH]\npassword = fix\n[user USR@SCH]\npassword = usr\n";
        out.close();
        setenv("QD_STANDIN_CONFIG", path.c_str(), 1);
        ASSERT_EQ(db.logon("FIX", "fix", "SCH"), SUCCESS) << db.errorText();
        exec("create table dept (deptno number(2) constraint pk_dept primary key, "
             "dname varchar2(14) not null)");
        exec("create table emp (empno number(4) constraint pk_emp primary key, "
             "ename varchar2(10), deptno number(2) constraint fk_emp_dept references dept)");
        exec("create view emp_v as select empno, ename from emp");
        exec("insert into dept values (10, 'SALES')");
        exec("insert into emp values (1, 'KING', 10)");
        exec("commit");
        ASSERT_EQ(user.logon("USR", "usr", "SCH"), SUCCESS) << user.errorText();
        active = &user;
    }

    void TearDown() override
    {
        user.logoff();
        DictionarySchema::TearDown();
    }

    Connection user;
};

} // namespace

TEST_F(Schemas, OwnerQualifiedNamesReadAndChangeAnotherSchema)
{
    exec("create table emp (empno number(4) primary key, note varchar2(10))");
    exec("insert into emp values (7, 'MINE')");
    // The own EMP and FIX's EMP are different tables.
    EXPECT_EQ(rows("select empno from emp"), (Rows { { "7" } }));
    EXPECT_EQ(rows("select e.ename, d.dname from fix.emp e, fix.dept d "
                   "where e.deptno = d.deptno"),
        (Rows { { "KING", "SALES" } }));
    EXPECT_EQ(rows("select ename from FIX.EMP_V"), (Rows { { "KING" } }));
    EXPECT_EQ(rows("select empno from usr.emp"), (Rows { { "7" } }));
    exec("commit");
    exec("insert into fix.emp (empno, ename, deptno) values (2, 'CLARK', 10)");
    exec("update fix.emp set ename = 'ADAMS' where empno = 2");
    exec("commit");
    active = &db;
    EXPECT_EQ(rows("select ename from emp order by empno"), (Rows { { "KING" }, { "ADAMS" } }));
    active = &user;
    exec("delete from fix.emp where empno = 2");
    exec("commit");
    active = &db;
    EXPECT_EQ(rows("select count(*) from emp"), (Rows { { "1" } }));
    active = &user;
    std::string text;
    EXPECT_EQ(failure("select * from fix.missing", &text), 942) << text;
    // Both sessions change their own schemas at the same time: neither waits for the other.
    exec("insert into emp values (8, 'OURS')");
    active = &db;
    exec("insert into dept values (20, 'RESEARCH')");
    exec("commit");
    active = &user;
    exec("commit");
    EXPECT_EQ(rows("select count(*) from emp"), (Rows { { "2" } }));
}

TEST_F(Schemas, DictionaryShowsEverySchemaWithItsOwner)
{
    exec("create table notes (id number)");
    EXPECT_EQ(rows("select username from all_users order by username"),
        (Rows { { "FIX" }, { "SYS" }, { "SYSTEM" }, { "USR" } }));
    EXPECT_EQ(rows("select owner, table_name from all_tables order by owner, table_name"),
        (Rows { { "FIX", "DEPT" }, { "FIX", "EMP" }, { "USR", "NOTES" } }));
    EXPECT_EQ(rows("select table_name from user_tables"), (Rows { { "NOTES" } }));
    EXPECT_EQ(rows("select owner, object_name, object_type from all_objects "
                   "where object_type in ('TABLE', 'VIEW') order by 1, 2"),
        (Rows { { "FIX", "DEPT", "TABLE" }, { "FIX", "EMP", "TABLE" }, { "FIX", "EMP_V", "VIEW" },
            { "USR", "NOTES", "TABLE" } }));
    // The program's own statements for another schema's table.
    const Binds fixEmp = { { ":owner", "FIX" }, { ":table_name", "EMP" } };
    EXPECT_EQ(rows("select constraint_name from all_constraints\r\n"
                   "where owner = :owner and table_name = :table_name\r\n"
                   "and constraint_type in ('P', 'U')\r\n"
                   "order by constraint_type",
                  fixEmp),
        (Rows { { "PK_EMP" } }));
    EXPECT_EQ(rows("select fk.constraint_name, pk.owner, pk.table_name, pk.constraint_name\r\n"
                   "  from all_constraints fk,\r\n       all_constraints pk\r\n"
                   "  where fk.owner = upper(:owner)\r\n"
                   "    and fk.table_name = upper(:table_name)\r\n"
                   "    and fk.constraint_type = 'R'\r\n"
                   "    and fk.r_owner = pk.owner\r\n"
                   "    and fk.r_constraint_name = pk.constraint_name",
                  fixEmp),
        (Rows { { "FK_EMP_DEPT", "FIX", "DEPT", "PK_DEPT" } }));
    EXPECT_EQ(rows("select column_name from all_tab_columns where owner = :owner "
                   "and table_name = :table_name order by column_id",
                  fixEmp),
        (Rows { { "EMPNO" }, { "ENAME" }, { "DEPTNO" } }));
    EXPECT_TRUE(rows("select * from user_constraints where table_name = 'EMP'").empty());
    // The owner's own view of it is the same.
    active = &db;
    EXPECT_EQ(rows("select owner, table_name from all_tables where owner = 'USR'"),
        (Rows { { "USR", "NOTES" } }));
    EXPECT_EQ(
        rows("select table_name from user_tables order by 1"), (Rows { { "DEPT" }, { "EMP" } }));
}

TEST_F(Schemas, SynonymsResolvePrivateFirstInChainsAndAsChangeTargets)
{
    // A private synonym for FIX's table, and a chain: A (private) → B (public) → FIX.DEPT.
    exec("create synonym staff for fix.emp");
    exec("create synonym a for b");
    exec("create public synonym b for fix.dept");
    EXPECT_EQ(rows("select ename from staff"), (Rows { { "KING" } }));
    EXPECT_EQ(rows("select staff.ename, a.dname from staff, a where staff.deptno = a.deptno"),
        (Rows { { "KING", "SALES" } }));
    // Changes and locks through a synonym reach its object.
    exec("insert into staff (empno, ename, deptno) values (3, 'BLAKE', 10)");
    exec("update staff set ename = 'WARD' where empno = 3");
    EXPECT_EQ(rows("select ename from fix.emp where empno = 3"), (Rows { { "WARD" } }));
    EXPECT_EQ(rows("select ename from staff where empno = 3 for update"), (Rows { { "WARD" } }));
    exec("delete from staff where empno = 3");
    exec("insert into a values (30, 'VIA CHAIN')");
    exec("commit");
    active = &db;
    EXPECT_EQ(rows("select dname from dept where deptno = 30"), (Rows { { "VIA CHAIN" } }));
    EXPECT_EQ(rows("select count(*) from emp"), (Rows { { "1" } }));
    // The public synonym serves every user; FIX's own objects come before it.
    EXPECT_EQ(rows("select count(*) from b"), (Rows { { "2" } }));
    exec("create table b (x number)");
    EXPECT_EQ(rows("select count(*) from b"), (Rows { { "0" } }));
    active = &user;
    // The program's resolution statement: the private synonym comes first.
    exec("create synonym b for fix.emp");
    EXPECT_EQ(rows("select table_owner, table_name, db_link\r\n  from all_synonyms\r\n"
                   "  where synonym_name = :syn\r\n"
                   "    and owner in ('PUBLIC', :schema)\r\n"
                   "  order by decode(owner, 'PUBLIC', 1, 0) asc",
                  { { ":syn", "B" }, { ":schema", "USR" } }),
        (Rows { { "FIX", "EMP", "<null>" }, { "FIX", "DEPT", "<null>" } }));
    EXPECT_EQ(rows("select count(*) from b"), (Rows { { "1" } }));
    EXPECT_EQ(rows("select owner, synonym_name from all_synonyms order by 1, 2"),
        (Rows { { "PUBLIC", "B" }, { "USR", "A" }, { "USR", "B" }, { "USR", "STAFF" } }));
    // A synonym loop ends: the name stays unresolved.
    exec("create synonym loop1 for loop2");
    exec("create synonym loop2 for loop1");
    std::string text;
    EXPECT_EQ(failure("select * from loop1", &text), 942) << text;
    // Grants are accepted.
    EXPECT_EQ(failure("grant select on staff to fix"), 0);
}

TEST_F(Schemas, ViolationsInAnotherSchemaNameItsOwner)
{
    exec("create synonym staff for fix.emp");
    struct Case {
        const char *sql;
        int code;
        const char *text;
    } cases[] = {
        { "insert into fix.emp values (1, 'TWIN', 10)", 1,
            "ORA-00001: unique constraint (FIX.PK_EMP) violated" },
        { "insert into staff values (1, 'TWIN', 10)", 1,
            "ORA-00001: unique constraint (FIX.PK_EMP) violated" },
        { "insert into fix.emp values (5, 'LOST', 99)", 2291,
            "ORA-02291: integrity constraint (FIX.FK_EMP_DEPT) violated - parent key not found" },
        { "delete from fix.dept", 2292,
            "ORA-02292: integrity constraint (FIX.FK_EMP_DEPT) violated - child record found" },
        { "insert into fix.dept (deptno) values (50)", 1400,
            "ORA-01400: cannot insert NULL into (\"FIX\".\"DEPT\".\"DNAME\")" },
    };
    for (const Case &c : cases) {
        std::string text;
        EXPECT_EQ(failure(c.sql, &text), c.code) << c.sql;
        EXPECT_EQ(text, c.text) << c.sql;
    }
    exec("rollback");
    // The owner's own name qualifies its objects in changes too.
    active = &db;
    exec("insert into fix.dept values (60, 'OWN')");
    exec("update fix.dept set dname = 'MINE' where deptno = 60");
    EXPECT_EQ(rows("select dname from dept where deptno = 60"), (Rows { { "MINE" } }));
    exec("delete from fix.dept where deptno = 60");
    exec("commit");
}

TEST_F(Schemas, MoreUsersThanSqliteAttachesStillLogOn)
{
    const std::string path = qd::test::programDirectory().toStdString() + "/many.schemas.conf";
    std::ofstream out(path);
    out << "[alias MANY]\ndirectory = schemas-many\n";
    for (int i = 1; i <= 14; ++i)
        out << "[user U" << (i < 10 ? "0" : "") << i << "@MANY]\npassword = p\n";
    out.close();
    setenv("QD_STANDIN_CONFIG", path.c_str(), 1);
    Connection many;
    ASSERT_EQ(many.logon("U01", "p", "MANY"), SUCCESS) << many.errorText();
    active = &many;
    exec("create table t (x number)");
    EXPECT_EQ(rows("select username from all_users where username in ('U01', 'U02') "
                   "order by username"),
        (Rows { { "U01" }, { "U02" } }));
    EXPECT_EQ(rows("select owner, table_name from all_tables"), (Rows { { "U01", "T" } }));
    active = &user;
    many.logoff();
}

TEST_F(Schemas, StoredCodeInErrorIsListedForItsOwnerAndOthers)
{
    active = &db;
    EXPECT_EQ(failure("create or replace procedure broken is\n  x number;\nbegin\n  x := ;\nend;"),
        24344);
    // The worksheet's SHOW ERRORS statement.
    const Rows errors = rows("select line, position, text from user_errors "
                             "where upper(rtrim(name)) = upper(rtrim(:name)) "
                             "and upper(rtrim(type)) = upper(rtrim(:type)) order by sequence",
        { { ":name", "broken" }, { ":type", "procedure" } });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0][0], "4");
    EXPECT_EQ(errors[0][1], "8");
    EXPECT_EQ(errors[0][2].rfind("PLS-00103: Encountered the symbol \";\"", 0), 0u) << errors[0][2];
    EXPECT_EQ(rows("select object_type, status from user_objects where object_name = 'BROKEN'"),
        (Rows { { "PROCEDURE", "INVALID" } }));
    // Another user sees it with its owner.
    active = &user;
    EXPECT_EQ(rows("select owner, object_type, status from all_objects "
                   "where object_name = 'BROKEN'"),
        (Rows { { "FIX", "PROCEDURE", "INVALID" } }));
    EXPECT_EQ(
        rows("select owner, name, line from all_errors"), (Rows { { "FIX", "BROKEN", "4" } }));
    EXPECT_EQ(rows("select owner, line, text from all_source where name = 'BROKEN' order by line"),
        (Rows { { "FIX", "1", "procedure broken is\n" }, { "FIX", "2", "  x number;\n" },
            { "FIX", "3", "begin\n" }, { "FIX", "4", "  x := ;\n" }, { "FIX", "5", "end;\n" } }));
    EXPECT_TRUE(rows("select * from user_errors").empty());
}

TEST_F(Schemas, RowLocksOfAnotherSchemaMeetItsOwnersSessions)
{
    exec("create synonym staff for fix.emp");
    EXPECT_EQ(
        rows("select ename from staff where empno = 1 for update nowait"), (Rows { { "KING" } }));
    active = &db;
    std::string text;
    EXPECT_EQ(failure("select ename from emp where empno = 1 for update nowait", &text), 54)
        << text;
    active = &user;
    exec("commit");
    active = &db;
    EXPECT_EQ(
        rows("select ename from emp where empno = 1 for update nowait"), (Rows { { "KING" } }));
    active = &user;
    EXPECT_EQ(failure("select ename from fix.emp where empno = 1 for update nowait", &text), 54)
        << text;
    active = &db;
    exec("rollback");
}
