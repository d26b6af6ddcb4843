// A statement prepared once and run again keeps its translation only while what the
// translation read still holds: objects changed (and committed) by another session, a change
// of the own transaction that is rolled back, and the session's date format all make the next
// run translate again; a plain change of rows does not stop the statement from running.
#include "DictionaryTestSupport.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace qd::test::standin;

namespace {

class TranslationCache : public DictionarySchema {
protected:
    void SetUp() override
    {
        const std::string dir = qd::test::programDirectory().toStdString();
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string path = dir + "/" + test + ".cache.conf";
        std::ofstream out(path);
        out << "[alias TRC]\ndirectory = cache-" << test
            << "\n[user FIX@TRC]\npassword = fix\n[user USR@TRC]\npassword = usr\n";
        out.close();
        setenv("QD_STANDIN_CONFIG", path.c_str(), 1);
        ASSERT_EQ(db.logon("FIX", "fix", "TRC"), SUCCESS) << db.errorText();
        exec("create table dept (deptno number(2) primary key, dname varchar2(14))");
        exec("create table emp (empno number(4) primary key, ename varchar2(10))");
        exec("insert into dept values (10, 'SALES')");
        exec("insert into emp values (1, 'KING')");
        exec("insert into emp values (2, 'WARD')");
        exec("commit");
        ASSERT_EQ(user.logon("USR", "usr", "TRC"), SUCCESS) << user.errorText();
    }

    void TearDown() override
    {
        user.logoff();
        DictionarySchema::TearDown();
    }

    // Runs the prepared statement again and gives the first column of its first row; the
    // ORA code when it fails.
    static std::string runAgain(Cursor &cursor)
    {
        char value[64] = {};
        sb2 indicator = 0;
        void *define = nullptr;
        api().DefineByPos(cursor.stmt, &define, cursor.err, 1, value, sizeof value, SQLT_STR,
            &indicator, nullptr, nullptr, DEFAULT);
        const sword status = cursor.execute(1);
        if (status == NO_DATA)
            return "<no rows>";
        if (status != SUCCESS && status != SUCCESS_WITH_INFO)
            return "ORA-" + std::to_string(cursor.errorCode());
        const std::string first = indicator == -1 ? "<null>" : std::string(value);
        // Read to the end, so that the cursor holds no snapshot of the data after this.
        while (cursor.fetch(1) == SUCCESS) { }
        return first;
    }

    void execAs(Connection &connection, const std::string &sql)
    {
        active = &connection;
        exec(sql);
        active = &db;
    }

    Connection user;
};

} // namespace

TEST_F(TranslationCache, AStatementRunAgainFollowsObjectsAnotherSessionChanged)
{
    execAs(db, "create public synonym staff for fix.emp");
    execAs(db, "commit");
    Cursor count(user, "select count(*) from staff");
    Cursor name(user, "select ename from staff where rownum = 1");
    EXPECT_EQ(runAgain(count), "2");
    EXPECT_EQ(runAgain(name), "KING");
    // Rows changed between runs: the statements run on and see them.
    execAs(db, "insert into emp values (3, 'BLAKE')");
    execAs(db, "commit");
    EXPECT_EQ(runAgain(count), "3");
    // Dropping the synonym commits; making it again for another table is a change of the
    // owner's transaction, which the user's session sees once it is committed.
    execAs(db, "drop public synonym staff");
    EXPECT_EQ(runAgain(count), "ORA-942");
    execAs(db, "create public synonym staff for fix.dept");
    EXPECT_EQ(runAgain(count), "ORA-942");
    execAs(db, "commit");
    EXPECT_EQ(runAgain(count), "1");
    EXPECT_EQ(runAgain(name), "ORA-904"); // DEPT has no ENAME
}

TEST_F(TranslationCache, AStatementRunAgainForgetsWhatARollbackTookBack)
{
    execAs(user, "create synonym mine for fix.dept");
    Cursor count(user, "select count(*) from mine");
    EXPECT_EQ(runAgain(count), "1");
    EXPECT_EQ(user.rollback(), SUCCESS);
    EXPECT_EQ(runAgain(count), "ORA-942");
    // Made again and committed, the name is found again by the same statement.
    execAs(user, "create synonym mine for fix.emp");
    execAs(user, "commit");
    EXPECT_EQ(runAgain(count), "2");
    // A table of that name made by DDL in the own schema comes before the synonym.
    execAs(user, "create table mine (x number)");
    EXPECT_EQ(runAgain(count), "0");
    execAs(user, "drop table mine");
    EXPECT_EQ(runAgain(count), "2");
}

TEST_F(TranslationCache, AStatementRunAgainReadsTextWithTheSessionsNewDateFormat)
{
    execAs(user, "create table t (d date)");
    execAs(user, "insert into t values (to_date('2020-03-01', 'YYYY-MM-DD'))");
    execAs(user, "commit");
    const std::string query = "select count(*) from t where d = '01.03.2020'";
    active = &user;
    const Rows before = rows(query);
    Cursor count(user, query);
    EXPECT_EQ(runAgain(count), before.at(0).at(0));
    exec("alter session set nls_date_format = 'DD.MM.YYYY'");
    const Rows after = rows(query);
    active = &db;
    // The comparison reads the text as a date only in the new format.
    ASSERT_NE(before, after);
    EXPECT_EQ(after, (Rows { { "1" } }));
    EXPECT_EQ(runAgain(count), "1");
}

TEST_F(TranslationCache, TransactionControlAndLocksComeFromTheStatementsOwnReading)
{
    // Transaction control with the semicolon older clients send, a savepoint name that is
    // quoted, and the statement type and command code of each.
    struct Case {
        const char *sql;
        ub2 type;
        ub2 code;
    } cases[] = {
        { "commit;", 21, 54 },
        { "savepoint \"Before\"", 0, 56 },
        { "rollback work to savepoint \"Before\";", 17, 55 },
        { "rollback", 17, 55 },
    };
    for (const Case &c : cases) {
        Cursor cursor(user, c.sql);
        EXPECT_EQ(cursor.attribute2(ATTR_STMT_TYPE), c.type) << c.sql;
        EXPECT_EQ(cursor.execute(1), SUCCESS) << c.sql << " " << cursor.errorText();
        EXPECT_EQ(cursor.attribute2(ATTR_SQLFNCODE), c.code) << c.sql;
    }
    // A savepoint is known by its name as written.
    execAs(user, "savepoint \"Before\"");
    Cursor wrongCase(user, "rollback to savepoint before");
    EXPECT_EQ(wrongCase.execute(1), ERROR);
    EXPECT_EQ(wrongCase.errorCode(), 1086);
    // FOR UPDATE through a synonym of another user's table locks that table's rows, and only
    // the selected ones: the owner cannot take them too until the lock ends.
    execAs(user, "create synonym staff for fix.emp");
    execAs(user, "commit");
    Cursor lock(user, "select ename from staff s where empno = 1 for update nowait");
    EXPECT_EQ(runAgain(lock), "KING");
    Cursor other(db, "select ename from emp where empno = 2 for update nowait");
    EXPECT_EQ(runAgain(other), "WARD");
    Cursor same(db, "select ename from emp where empno = 1 for update nowait");
    EXPECT_EQ(runAgain(same), "ORA-54");
    EXPECT_EQ(user.rollback(), SUCCESS);
    EXPECT_EQ(runAgain(same), "KING");
    EXPECT_EQ(db.rollback(), SUCCESS);
}
