// The dialect the dictionary statements lean on, through the client: hierarchical queries in
// depth-first order with LEVEL, old-style outer joins, synonyms, the session's own schema as
// a qualifier, and the sizes the server describes for computed columns.
#include "DictionaryTestSupport.h"

#include <gtest/gtest.h>

using namespace qd::test::standin;

namespace {

class DictionaryDialect : public DictionarySchema {
protected:
    void SetUp() override
    {
        DictionarySchema::SetUp();
        exec("create table staff (id number(4) primary key, name varchar2(12), boss number(4))");
        // Inserted out of tree order, so that depth-first order is not insertion order.
        for (const char *row : { "(1, 'ROOT', null)", "(2, 'A', 1)", "(3, 'B', 1)", "(4, 'A1', 2)",
                 "(5, 'B1', 3)", "(6, 'A2', 2)", "(7, 'A1X', 4)", "(8, 'OTHER', null)" })
            exec(std::string("insert into staff values ") + row);
        exec("commit");
    }
};

} // namespace

TEST_F(DictionaryDialect, ConnectByGivesRowsDepthFirstWithLevel)
{
    EXPECT_EQ(rows("select level, name from staff start with boss is null "
                   "connect by prior id = boss"),
        (Rows { { "1", "ROOT" }, { "2", "A" }, { "3", "A1" }, { "4", "A1X" }, { "3", "A2" },
            { "2", "B" }, { "3", "B1" }, { "1", "OTHER" } }));
    // CONNECT BY before START WITH, an alias, PRIOR on the right, LEVEL in the condition, and
    // a WHERE that drops rows after the tree is built (A1X stays, under its dropped parent).
    EXPECT_EQ(rows("select s.name, level from staff s where s.name <> 'A1' "
                   "connect by s.boss = prior s.id and level <= 3 start with s.id = :root",
                  { { ":root", "2" } }),
        (Rows { { "A", "1" }, { "A1X", "3" }, { "A2", "2" } }));
    // The user's order comes first; the tree order breaks ties.
    EXPECT_EQ(rows("select level, name from staff start with id = 1 connect by prior id = boss "
                   "order by level desc"),
        (Rows { { "4", "A1X" }, { "3", "A1" }, { "3", "A2" }, { "3", "B1" }, { "2", "A" },
            { "2", "B" }, { "1", "ROOT" } }));
    // A cycle ends the branch instead of running forever.
    exec("update staff set boss = 7 where id = 1");
    EXPECT_EQ(rows("select count(*) from staff start with id = 1 connect by prior id = boss"),
        (Rows { { "7" } }));
    std::string text;
    EXPECT_EQ(failure("select name from staff start with id = 1", &text), 1788) << text;
    EXPECT_EQ(failure("select level from staff", &text), 3001) << text;
}

TEST_F(DictionaryDialect, OldStyleOuterJoins)
{
    exec("create table dept (deptno number(2) primary key, dname varchar2(10))");
    exec("create table emp (empno number(4) primary key, deptno number(2), job varchar2(9))");
    exec("insert into dept values (10, 'SALES')");
    exec("insert into dept values (20, 'EMPTY')");
    exec("insert into emp values (1, 10, 'CLERK')");
    exec("insert into emp values (2, 10, 'BOSS')");
    EXPECT_EQ(rows("select d.dname, e.empno from dept d, emp e where d.deptno = e.deptno(+) "
                   "order by d.deptno, e.empno"),
        (Rows { { "SALES", "1" }, { "SALES", "2" }, { "EMPTY", "<null>" } }));
    // Every condition on the optional table moves into the join, so a department without
    // clerks still shows up.
    EXPECT_EQ(rows("select d.dname, e.empno from emp e, dept d where e.deptno(+) = d.deptno "
                   "and e.job(+) = 'CLERK' order by d.deptno"),
        (Rows { { "SALES", "1" }, { "EMPTY", "<null>" } }));
    std::string text;
    EXPECT_EQ(failure("select 1 from dept d, emp e, staff s where d.deptno = e.deptno(+) "
                      "and s.id(+) = e.empno(+)",
                  &text),
        1468)
        << text;
    EXPECT_EQ(failure("select 1 from dept d join emp e on d.deptno = e.deptno(+)", &text), 3001)
        << text;
}

TEST_F(DictionaryDialect, SynonymsResolvePrivateBeforePublicAndFollowChains)
{
    exec("create public synonym people for fix.staff");
    EXPECT_EQ(rows("select name from people where id = 8"), (Rows { { "OTHER" } }));
    // A chain: a private synonym naming a public one.
    exec("create synonym crew for people");
    EXPECT_EQ(rows("select crew.name from crew where crew.id = 1"), (Rows { { "ROOT" } }));
    // A private synonym of the same name hides the public one.
    exec("create table other (name varchar2(5))");
    exec("insert into other values ('MINE')");
    exec("create synonym people for other");
    EXPECT_EQ(rows("select name from people"), (Rows { { "MINE" } }));
    exec("drop synonym people");
    EXPECT_EQ(rows("select count(*) from people"), (Rows { { "8" } }));
    EXPECT_EQ(rows("select owner, synonym_name, table_owner, table_name from all_synonyms "
                   "order by owner, synonym_name"),
        (Rows { { "FIX", "CREW", "FIX", "PEOPLE" }, { "PUBLIC", "PEOPLE", "FIX", "STAFF" } }));
    EXPECT_EQ(rows("select table_name from user_synonyms"), (Rows { { "PEOPLE" } }));
    // The own schema's name qualifies its objects.
    EXPECT_EQ(rows("select count(*) from fix.staff"), (Rows { { "8" } }));
}

TEST_F(DictionaryDialect, ComputedColumnsAreDescribedWithTheServersSizes)
{
    const auto d = describe("select substr(name, 1, 5), lpad(name, 20), rpad(name, 3), "
                            "upper(name), lower(name), initcap(name), rtrim(name), "
                            "decode(id, 1, name, 'xxxxxxxxxxxxxxxxxxx'), name || name, "
                            "id + 1, count(*) over () from staff");
    ASSERT_EQ(d.size(), 11u);
    const int sizes[] = { 5, 20, 3, 12, 12, 12, 12, 19, 24 };
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(d[i].type, 1) << d[i].name;
        EXPECT_EQ(d[i].size, sizes[i]) << d[i].name;
    }
    for (int i = 9; i < 11; ++i) {
        EXPECT_EQ(d[i].type, 2) << d[i].name;
        EXPECT_EQ(d[i].precision, 0) << d[i].name;
        EXPECT_EQ(d[i].scale, -127) << d[i].name;
    }
}

TEST_F(DictionarySchema, SampleSchemaShowsSynonymCheckAndMaterializedView)
{
    Connection scott;
    ASSERT_EQ(scott.logon("SCOTT", "tiger", "DICTDEMO"), SUCCESS) << scott.errorText();
    active = &scott;
    // The public synonym names SCOTT's own EMP.
    EXPECT_EQ(rows("select count(*) from staff"), (Rows { { "8" } }));
    EXPECT_EQ(rows("select owner, table_owner, table_name from all_synonyms "
                   "where synonym_name = 'STAFF'"),
        (Rows { { "PUBLIC", "SCOTT", "EMP" } }));
    EXPECT_EQ(rows("select name, table_name from all_snapshots where owner = 'SCOTT'"),
        (Rows { { "DEPT_SUMMARY", "DEPT_SUMMARY" } }));
    EXPECT_EQ(rows("select search_condition from user_constraints "
                   "where constraint_name = 'CK_SALGRADE_RANGE'"),
        (Rows { { "LOSAL <= HISAL" } }));
    std::string text;
    EXPECT_EQ(failure("insert into salgrade values (9, 5, 1)", &text), 2290);
    EXPECT_EQ(text, "ORA-02290: check constraint (SCOTT.CK_SALGRADE_RANGE) violated");
}
