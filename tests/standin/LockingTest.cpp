// Sessions meeting each other: row locks of SELECT ... FOR UPDATE with and without NOWAIT,
// savepoints releasing locks, writers waiting a bounded time, and OCIBreak from another thread.
#include "StandinClient.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

using namespace qd::test::standin;

namespace {

class TwoSessions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(a.logon("DEMO", "DEMO"), SUCCESS) << a.errorText();
        ASSERT_EQ(b.logon("DEMO", "DEMO"), SUCCESS) << b.errorText();
    }
    Connection a, b;
};

} // namespace

TEST_F(TwoSessions, NowaitOnALockedRowFailsWith54)
{
    ASSERT_EQ(a.run("SELECT ENAME FROM EMP WHERE EMPNO = 101 FOR UPDATE"), SUCCESS)
        << a.errorText();
    EXPECT_EQ(b.run("SELECT ENAME FROM EMP WHERE EMPNO = 101 FOR UPDATE NOWAIT"), ERROR);
    EXPECT_EQ(b.errorText(),
        "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    // Another row is free.
    EXPECT_EQ(b.run("SELECT ENAME FROM EMP WHERE EMPNO = 102 FOR UPDATE NOWAIT"), SUCCESS)
        << b.errorText();
    ASSERT_EQ(b.rollback(), SUCCESS);
    ASSERT_EQ(a.commit(), SUCCESS);
    EXPECT_EQ(b.run("SELECT ENAME FROM EMP WHERE EMPNO = 101 FOR UPDATE NOWAIT"), SUCCESS)
        << b.errorText();
}

TEST_F(TwoSessions, WithoutNowaitTheSecondSessionWaitsForTheCommit)
{
    ASSERT_EQ(a.run("SELECT * FROM EMP WHERE DEPTNO = 20 FOR UPDATE"), SUCCESS) << a.errorText();
    auto waiting = std::async(std::launch::async,
        [&] { return b.run("SELECT ENAME FROM EMP E WHERE E.EMPNO = 103 FOR UPDATE"); });
    ASSERT_TRUE(waitForCall(b.svc));
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    ASSERT_EQ(a.commit(), SUCCESS);
    EXPECT_EQ(waiting.get(), SUCCESS) << b.errorText();
}

TEST_F(TwoSessions, BreakEndsAWaitForARowLock)
{
    ASSERT_EQ(a.run("SELECT ENAME FROM EMP WHERE EMPNO = 104 FOR UPDATE"), SUCCESS);
    auto waiting = std::async(std::launch::async,
        [&] { return b.run("SELECT ENAME FROM EMP WHERE EMPNO = 104 FOR UPDATE"); });
    ASSERT_TRUE(waitForCall(b.svc));
    EXPECT_EQ(api().Break(b.svc, b.err), SUCCESS);
    EXPECT_EQ(waiting.get(), ERROR);
    EXPECT_EQ(b.errorText(), "ORA-01013: user requested cancel of current operation");
    EXPECT_EQ(b.run("SELECT ENAME FROM EMP WHERE EMPNO = 105 FOR UPDATE NOWAIT"), SUCCESS)
        << b.errorText();
}

TEST_F(TwoSessions, ChangeOfALockedRowWaitsForTheHolder)
{
    ASSERT_EQ(a.run("SELECT ENAME FROM EMP WHERE EMPNO = 101 FOR UPDATE NOWAIT"), SUCCESS);
    // A row nobody locked changes at once.
    EXPECT_EQ(b.run("UPDATE EMP SET SAL = 1 WHERE EMPNO = 102"), SUCCESS) << b.errorText();
    auto waiting = std::async(
        std::launch::async, [&] { return b.run("UPDATE EMP SET SAL = 2 WHERE EMPNO = 101"); });
    ASSERT_TRUE(waitForCall(b.svc));
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    ASSERT_EQ(a.rollback(), SUCCESS);
    EXPECT_EQ(waiting.get(), SUCCESS) << b.errorText();
    EXPECT_EQ(b.rollback(), SUCCESS);
}

TEST_F(TwoSessions, RollbackToSavepointReleasesOnlyTheLaterLocks)
{
    ASSERT_EQ(a.run("SELECT ENAME FROM EMP WHERE EMPNO = 101 FOR UPDATE"), SUCCESS);
    ASSERT_EQ(a.run("SAVEPOINT before_second"), SUCCESS) << a.errorText();
    ASSERT_EQ(a.run("SELECT ENAME FROM EMP WHERE EMPNO = 102 FOR UPDATE"), SUCCESS);
    EXPECT_EQ(b.run("SELECT ENAME FROM EMP WHERE EMPNO = 102 FOR UPDATE NOWAIT"), ERROR);
    ASSERT_EQ(a.run("ROLLBACK TO SAVEPOINT before_second"), SUCCESS) << a.errorText();
    EXPECT_EQ(b.run("SELECT ENAME FROM EMP WHERE EMPNO = 102 FOR UPDATE NOWAIT"), SUCCESS)
        << b.errorText();
    EXPECT_EQ(b.run("SELECT ENAME FROM EMP WHERE EMPNO = 101 FOR UPDATE NOWAIT"), ERROR);
    EXPECT_EQ(b.errorCode(), 54);
    EXPECT_EQ(a.run("ROLLBACK TO never_taken"), ERROR);
    EXPECT_EQ(a.errorCode(), 1086);
}

TEST_F(TwoSessions, SavepointRollbackUndoesLaterChangesOnly)
{
    ASSERT_EQ(a.run("UPDATE DEPT SET LOC = 'ONE' WHERE DEPTNO = 10"), SUCCESS);
    ASSERT_EQ(a.run("SAVEPOINT S1"), SUCCESS);
    ASSERT_EQ(a.run("UPDATE DEPT SET LOC = 'TWO' WHERE DEPTNO = 10"), SUCCESS);
    ASSERT_EQ(a.run("ROLLBACK TO S1"), SUCCESS) << a.errorText();
    ASSERT_EQ(a.commit(), SUCCESS);
    Cursor c(b, "SELECT LOC FROM DEPT WHERE DEPTNO = 10");
    char loc[14] = {};
    ASSERT_EQ(c.execute(0), SUCCESS);
    void *def = nullptr;
    api().DefineByPos(
        c.stmt, &def, c.err, 1, loc, sizeof loc, SQLT_STR, nullptr, nullptr, nullptr, DEFAULT);
    ASSERT_EQ(c.fetch(1), SUCCESS);
    EXPECT_STREQ(loc, "ONE");
}

TEST(StandinWriters, ChangeMeetingAnUncommittedChangeFailsAfterABoundedWait)
{
    const std::string path = qd::test::programDirectory().toStdString() + "/writers.conf";
    std::ofstream(path)
        << "[alias W]\ndemo = yes\nlock_wait_ms = 150\n[user DEMO@W]\npassword = DEMO\n";
    setenv("QD_STANDIN_CONFIG", path.c_str(), 1);
    Connection a, b;
    ASSERT_EQ(a.logon("DEMO", "DEMO", "W"), SUCCESS) << a.errorText();
    ASSERT_EQ(b.logon("DEMO", "DEMO", "W"), SUCCESS) << b.errorText();
    ASSERT_EQ(a.run("UPDATE DEPT SET LOC = 'A' WHERE DEPTNO = 10"), SUCCESS);
    EXPECT_EQ(b.run("UPDATE DEPT SET LOC = 'B' WHERE DEPTNO = 20"), ERROR);
    EXPECT_EQ(b.errorCode(), 54);
    ASSERT_EQ(a.commit(), SUCCESS);
    EXPECT_EQ(b.run("UPDATE DEPT SET LOC = 'B' WHERE DEPTNO = 20"), SUCCESS) << b.errorText();
    unsetenv("QD_STANDIN_CONFIG");
}

TEST(StandinWriters, BreakEndsAWriterWaitingForTheDatabase)
{
    const std::string path = qd::test::programDirectory().toStdString() + "/slow.conf";
    std::ofstream(path)
        << "[alias W]\ndemo = yes\nlock_wait_ms = 600000\n[user DEMO@W]\npassword = DEMO\n";
    setenv("QD_STANDIN_CONFIG", path.c_str(), 1);
    Connection a, b;
    ASSERT_EQ(a.logon("DEMO", "DEMO", "W"), SUCCESS) << a.errorText();
    ASSERT_EQ(b.logon("DEMO", "DEMO", "W"), SUCCESS) << b.errorText();
    ASSERT_EQ(a.run("UPDATE DEPT SET LOC = 'A' WHERE DEPTNO = 10"), SUCCESS);
    auto waiting = std::async(
        std::launch::async, [&] { return b.run("DELETE FROM EMP WHERE EMPNO = 108"); });
    ASSERT_TRUE(waitForCall(b.svc));
    api().Break(b.svc, b.err);
    EXPECT_EQ(waiting.get(), ERROR);
    EXPECT_EQ(b.errorCode(), 1013);
    unsetenv("QD_STANDIN_CONFIG");
}

TEST(StandinBreak, BreakFromAnotherThreadEndsASlowFetchAndTheSessionGoesOn)
{
    Connection c;
    ASSERT_EQ(c.logon("DEMO", "DEMO"), SUCCESS);
    Cursor slow(c, "SELECT ENAME FROM EMP");
    ASSERT_EQ(slow.execute(0), SUCCESS);
    char name[11];
    void *def = nullptr;
    api().DefineByPos(slow.stmt, &def, slow.err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr,
        nullptr, DEFAULT);
    ASSERT_EQ(api().blockNextFetch(c.svc), 0);
    auto fetching = std::async(std::launch::async, [&] { return slow.fetch(5); });
    ASSERT_TRUE(waitForCall(c.svc));
    EXPECT_EQ(api().Break(c.svc, c.err), SUCCESS);
    EXPECT_EQ(fetching.get(), ERROR);
    EXPECT_EQ(slow.errorText(), "ORA-01013: user requested cancel of current operation");
    EXPECT_EQ(api().callInProgress(c.svc), 0);

    Cursor normal(c, "SELECT ENAME FROM EMP WHERE EMPNO = 103");
    ASSERT_EQ(normal.execute(0), SUCCESS) << normal.errorText();
    api().DefineByPos(normal.stmt, &def, normal.err, 1, name, sizeof name, SQLT_STR, nullptr,
        nullptr, nullptr, DEFAULT);
    ASSERT_EQ(normal.fetch(1), SUCCESS) << normal.errorText();
    EXPECT_STREQ(name, "MORETTI");
}

TEST(StandinBreak, BreakEndsRowsThatArriveSlowly)
{
    Connection c;
    ASSERT_EQ(c.logon("DEMO", "DEMO"), SUCCESS);
    Cursor slow(c, "SELECT ENAME FROM EMP");
    ASSERT_EQ(slow.execute(0), SUCCESS);
    char name[8][11];
    void *def = nullptr;
    api().DefineByPos(
        slow.stmt, &def, slow.err, 1, name, 11, SQLT_STR, nullptr, nullptr, nullptr, DEFAULT);
    api().setRowDelay(c.svc, 60000); // a minute per row: only a break ends it in time
    auto fetching = std::async(std::launch::async, [&] { return slow.fetch(8); });
    ASSERT_TRUE(waitForCall(c.svc));
    api().Break(c.svc, c.err);
    EXPECT_EQ(fetching.get(), ERROR);
    EXPECT_EQ(slow.errorCode(), 1013);
}

TEST(StandinBreak, BreakWithNoCallRunningDoesNothing)
{
    Connection c;
    ASSERT_EQ(c.logon("DEMO", "DEMO"), SUCCESS);
    EXPECT_EQ(api().Break(c.svc, c.err), SUCCESS);
    EXPECT_EQ(c.run("UPDATE EMP SET SAL = SAL WHERE EMPNO = 101"), SUCCESS) << c.errorText();
    EXPECT_EQ(c.commit(), SUCCESS);
}

TEST_F(TwoSessions, ChangeWhileACursorIsOpenAfterAnotherSessionCommitted)
{
    Cursor browse(a, "SELECT EMPNO FROM EMP ORDER BY EMPNO");
    ASSERT_EQ(browse.execute(0), SUCCESS);
    int32_t empno[8] = {};
    void *def = nullptr;
    api().DefineByPos(
        browse.stmt, &def, browse.err, 1, empno, 4, SQLT_INT, nullptr, nullptr, nullptr, DEFAULT);
    ASSERT_EQ(browse.fetch(2), SUCCESS);
    EXPECT_EQ(empno[1], 102);
    ASSERT_EQ(
        b.run("UPDATE DEPT SET LOC = 'ELSEWHERE' WHERE DEPTNO = 40", COMMIT_ON_SUCCESS), SUCCESS);
    // The browsing session edits a row while its cursor still has rows to give.
    EXPECT_EQ(a.run("UPDATE EMP SET SAL = SAL + 1 WHERE EMPNO = 101"), SUCCESS) << a.errorText();
    EXPECT_EQ(browse.fetch(8), NO_DATA) << browse.errorText();
    EXPECT_EQ(browse.attribute4(ATTR_ROWS_FETCHED), 6u);
    EXPECT_EQ(empno[0], 103);
    EXPECT_EQ(empno[5], 108);
    EXPECT_EQ(a.run("CREATE TABLE AFTER_BROWSE (N NUMBER)"), SUCCESS) << a.errorText();
}

TEST_F(TwoSessions, SessionsWaitingOnEachOtherGetADeadlockInsteadOfHanging)
{
    ASSERT_EQ(a.run("SELECT ENAME FROM EMP WHERE EMPNO = 101 FOR UPDATE"), SUCCESS);
    ASSERT_EQ(b.run("SELECT ENAME FROM EMP WHERE EMPNO = 102 FOR UPDATE"), SUCCESS);
    auto first = std::async(std::launch::async,
        [&] { return a.run("SELECT ENAME FROM EMP WHERE EMPNO = 102 FOR UPDATE"); });
    ASSERT_TRUE(waitForCall(a.svc));
    auto second = std::async(
        std::launch::async, [&] { return b.run("UPDATE EMP SET SAL = 0 WHERE EMPNO = 101"); });
    // Whichever closes the ring fails; the other goes on once the loser rolls back.
    for (int i = 0; i < 2000; ++i) {
        if (first.wait_for(std::chrono::milliseconds(5)) == std::future_status::ready
            || second.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready)
            break;
    }
    const bool firstLost
        = first.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
    Connection &loser = firstLost ? a : b;
    EXPECT_EQ((firstLost ? first : second).get(), ERROR);
    EXPECT_EQ(loser.errorText(), "ORA-00060: deadlock detected while waiting for resource");
    ASSERT_EQ(loser.rollback(), SUCCESS);
    auto &winner = firstLost ? second : first;
    EXPECT_EQ(winner.get(), SUCCESS) << (firstLost ? b : a).errorText();
}
