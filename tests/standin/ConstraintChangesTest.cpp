// ALTER TABLE's constraint clauses: ADD, DROP, ENABLE and DISABLE keep the rows (row ids
// handed out before still find them), the indexes and the other constraints' names; a disabled
// constraint is not enforced and shows DISABLED; enabling or adding checks the rows already there.
#include "DictionaryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace qd::test::standin;

namespace {

class ConstraintChanges : public DictionarySchema {
protected:
    void SetUp() override
    {
        DictionarySchema::SetUp();
        exec("create table dept (deptno number(2) constraint pk_dept primary key, "
             "dname varchar2(14))");
        exec("create table emp (empno number(4) primary key, ename varchar2(10) not null, "
             "sal number(7,2), hired date, deptno number(2))");
        exec("create index emp_ename_ix on emp (ename)");
        exec("insert into dept values (10, 'SALES')");
        exec("insert into emp values (1, 'KING', 5000, to_date('2020-01-02', 'YYYY-MM-DD'), 10)");
        exec("insert into emp values (2, 'CLARK', 2450, null, 10)");
        exec("commit");
    }

    // name → status of the table's constraints.
    Rows constraints(const std::string &table)
    {
        return rows("select constraint_name, constraint_type, status from user_constraints "
                    "where table_name = :t order by constraint_type, constraint_name",
            { { ":t", table } });
    }

    int fails(const std::string &sql, const std::string &expected)
    {
        std::string text;
        const int code = failure(sql, &text);
        EXPECT_EQ(text, expected) << sql;
        return code;
    }
};

} // namespace

TEST_F(ConstraintChanges, AddDisableEnableDropACheck)
{
    const Rows before = constraints("EMP");
    const Rows rowids = rows("select rowid, empno from emp order by empno");
    exec("alter table emp add constraint ck_emp_sal check (sal > 0)");
    // The unnamed key and NOT NULL keep their generated names; the rows keep their row ids.
    Rows expected = before;
    expected.insert(expected.begin(), { "CK_EMP_SAL", "C", "ENABLED" });
    std::sort(expected.begin(), expected.end(),
        [](const auto &a, const auto &b) { return std::tie(a[1], a[0]) < std::tie(b[1], b[0]); });
    EXPECT_EQ(constraints("EMP"), expected);
    // A row id handed out before the rebuild still finds its row.
    for (const auto &row : rowids)
        EXPECT_EQ(rows("select empno from emp where rowid = :r", { { ":r", row[0] } }),
            (Rows { { row[1] } }));
    EXPECT_EQ(rows("select search_condition from user_constraints "
                   "where constraint_name = 'CK_EMP_SAL'"),
        (Rows { { "sal > 0" } }));
    EXPECT_EQ(fails("insert into emp (empno, ename, sal) values (3, 'LOW', -1)",
                  "ORA-02290: check constraint (FIX.CK_EMP_SAL) violated"),
        2290);

    exec("alter table emp disable constraint ck_emp_sal");
    EXPECT_EQ(rows("select status, validated from user_constraints "
                   "where constraint_name = 'CK_EMP_SAL'"),
        (Rows { { "DISABLED", "NOT VALIDATED" } }));
    exec("insert into emp (empno, ename, sal) values (3, 'LOW', -1)");
    exec("commit");
    // The rows already there are checked when it is enabled again.
    EXPECT_EQ(fails("alter table emp enable constraint ck_emp_sal",
                  "ORA-02293: cannot validate (FIX.CK_EMP_SAL) - check constraint violated"),
        2293);
    EXPECT_EQ(rows("select status from user_constraints where constraint_name = 'CK_EMP_SAL'"),
        (Rows { { "DISABLED" } }));
    exec("delete from emp where empno = 3");
    exec("alter table emp modify constraint ck_emp_sal enable");
    EXPECT_EQ(rows("select status from user_constraints where constraint_name = 'CK_EMP_SAL'"),
        (Rows { { "ENABLED" } }));
    EXPECT_EQ(failure("insert into emp (empno, ename, sal) values (3, 'LOW', -1)"), 2290);

    exec("alter table emp drop constraint ck_emp_sal");
    EXPECT_EQ(constraints("EMP"), before);
    exec("insert into emp (empno, ename, sal) values (3, 'LOW', -1)");
    EXPECT_EQ(fails("alter table emp drop constraint ck_emp_sal",
                  "ORA-02443: Cannot drop constraint  - nonexistent constraint"),
        2443);
    EXPECT_EQ(fails("alter table emp disable constraint nothing",
                  "ORA-02431: cannot disable constraint (FIX.NOTHING) - no such constraint"),
        2431);
    // The index, the date conversion and the view of the dictionary survive the rebuilds.
    EXPECT_EQ(rows("select index_name from user_indexes where table_name = 'EMP' "
                   "and index_name = 'EMP_ENAME_IX'"),
        (Rows { { "EMP_ENAME_IX" } }));
    exec("alter session set nls_date_format = 'YYYY-MM-DD'");
    exec("update emp set hired = '2021-05-06' where empno = 2");
    EXPECT_EQ(rows("select to_char(hired, 'DD.MM.YYYY') from emp where empno = 2"),
        (Rows { { "06.05.2021" } }));
}

TEST_F(ConstraintChanges, KeysAndForeignKeysAreValidatedAndGuarded)
{
    struct Case {
        const char *sql;
        int code;
        std::string text;
    } cases[] = {
        // A second primary key, a name already in use, a unique key over duplicates.
        { "alter table emp add constraint pk_two primary key (ename)", 2260,
            "ORA-02260: table can have only one primary key" },
        { "alter table emp add constraint pk_dept unique (ename)", 2264,
            "ORA-02264: name already used by an existing constraint" },
        { "alter table dept drop primary key", 0, "" },
        { "alter table dept add constraint pk_dept primary key (deptno)", 0, "" },
    };
    for (const Case &c : cases) {
        std::string text;
        EXPECT_EQ(failure(c.sql, &text), c.code) << c.sql;
        EXPECT_EQ(text, c.text) << c.sql;
    }
    exec("insert into emp (empno, ename, deptno) values (3, 'KING', 99)");
    exec("commit");
    EXPECT_EQ(fails("alter table emp add constraint uk_emp_ename unique (ename)",
                  "ORA-02299: cannot validate (FIX.UK_EMP_ENAME) - duplicate keys found"),
        2299);
    EXPECT_EQ(fails("alter table emp add constraint fk_emp_dept foreign key (deptno) "
                    "references dept (deptno)",
                  "ORA-02298: cannot validate (FIX.FK_EMP_DEPT) - parent keys not found"),
        2298);
    // Added disabled, it is kept without checking; enabling it checks.
    exec("alter table emp add constraint fk_emp_dept foreign key (deptno) references dept "
         "disable");
    EXPECT_EQ(rows("select status, r_constraint_name from user_constraints "
                   "where constraint_name = 'FK_EMP_DEPT'"),
        (Rows { { "DISABLED", "PK_DEPT" } }));
    EXPECT_EQ(failure("alter table emp enable constraint fk_emp_dept"), 2298);
    exec("update emp set deptno = 10 where empno = 3");
    exec("commit");
    exec("alter table emp enable constraint fk_emp_dept");
    EXPECT_EQ(fails("insert into emp (empno, ename, deptno) values (4, 'LOST', 50)",
                  "ORA-02291: integrity constraint (FIX.FK_EMP_DEPT) violated - parent key not "
                  "found"),
        2291);
    // The referenced key is guarded; CASCADE disables or drops the foreign key with it.
    EXPECT_EQ(fails("alter table dept drop constraint pk_dept",
                  "ORA-02273: this unique/primary key is referenced by some foreign keys"),
        2273);
    EXPECT_EQ(fails("alter table dept disable constraint pk_dept",
                  "ORA-02297: cannot disable constraint (FIX.PK_DEPT) - dependencies exist"),
        2297);
    exec("alter table dept disable constraint pk_dept cascade");
    EXPECT_EQ(rows("select constraint_name, status from user_constraints "
                   "where constraint_name in ('PK_DEPT', 'FK_EMP_DEPT') order by 1"),
        (Rows { { "FK_EMP_DEPT", "DISABLED" }, { "PK_DEPT", "DISABLED" } }));
    exec("insert into dept values (10, 'TWICE')");
    exec("insert into emp (empno, ename, deptno) values (5, 'FREE', 77)");
    exec("commit");
    EXPECT_EQ(fails("alter table dept enable constraint pk_dept",
                  "ORA-02437: cannot validate (FIX.PK_DEPT) - primary key violated"),
        2437);
    exec("delete from dept where dname = 'TWICE'");
    exec("alter table dept enable constraint pk_dept");
    EXPECT_EQ(failure("insert into dept values (10, 'AGAIN')"), 1);
    exec("alter table dept drop constraint pk_dept cascade");
    EXPECT_TRUE(rows("select constraint_name from user_constraints "
                     "where constraint_name in ('PK_DEPT', 'FK_EMP_DEPT')")
                    .empty());
    // An unnamed key added later gets a generated name that its violation names.
    exec("alter table dept add unique (dname)");
    const std::string name = rows("select constraint_name from user_constraints "
                                  "where table_name = 'DEPT' and constraint_type = 'U'")
                                 .at(0)
                                 .at(0);
    EXPECT_EQ(name.rfind("SYS_C", 0), 0u) << name;
    EXPECT_EQ(rows("select generated from user_constraints where constraint_name = :n",
                  { { ":n", name } }),
        (Rows { { "GENERATED NAME" } }));
    EXPECT_EQ(fails("insert into dept values (20, 'SALES')",
                  "ORA-00001: unique constraint (FIX." + name + ") violated"),
        1);
}
