// TOracleSession in the mode of the logon data area and the older calls.

#include "OracleSessionTestSupport.h"
#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace qd;
using namespace qd::test;

namespace {

class SessionOlderCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseSessionStandin();
        ASSERT_TRUE(hooks.complete());
    }

    // Logs on to the server whose banner is older than release 8: the connection is made
    // with handles and then driven with the older calls, so the stand-in's trace hooks still
    // reach it through the service context. True when the session runs on the older calls.
    bool logOnOld(
        TOracleSession &session, const char *user = "scott", const char *password = "tiger")
    {
        SetLogon(session, QString::fromLatin1(user), QString::fromLatin1(password),
            QStringLiteral("QDS7"));
        session.LogOn();
        EXPECT_TRUE(session.Connected());
        EXPECT_FALSE(session.OCI8Mode());
        return session.Connected() && !session.OCI8Mode();
    }

    StandinHooks hooks;
};

TEST_F(SessionOlderCalls, TransactionsAndSavepoints)
{
    TOracleSession session;
    ASSERT_TRUE(logOnOld(session));
    auto salary = [&] {
        session.ExecSQL(QStringLiteral("select to_char(sal) from emp where empno = 103"));
        return session.InternalRow().value(0);
    };
    const QString original = salary();
    ASSERT_FALSE(original.isEmpty());
    session.ExecSQL(QStringLiteral("update emp set sal = 1 where empno = 103"));
    session.Savepoint(QStringLiteral("p1"));
    session.ExecSQL(QStringLiteral("update emp set sal = 2 where empno = 103"));
    session.RollbackToSavepoint(QStringLiteral("p1"));
    EXPECT_EQ(salary(), QStringLiteral("1"));
    try {
        session.RollbackToSavepoint(QStringLiteral("never_taken"));
        ADD_FAILURE() << "no such savepoint";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 1086);
        EXPECT_STREQ(e.CallName(), "oexec");
    }
    session.Rollback();
    EXPECT_EQ(salary(), original);
    session.ExecSQL(QStringLiteral("update emp set sal = sal where empno = 103"));
    EXPECT_NO_THROW(session.Commit());
    EXPECT_EQ(session.MaxStringChars(), 2000);
}

TEST_F(SessionOlderCalls, OptimizerGoalUsesTheOlderParameterName)
{
    TOracleSession session;
    ASSERT_TRUE(logOnOld(session));
    hooks.traceClear(session.ServiceContext());
    session.SetOptimizerGoal(ogFirstRows);
    const QStringList trace = hooks.trace(session.ServiceContext());
    ASSERT_FALSE(trace.isEmpty());
    EXPECT_EQ(trace.first(), QStringLiteral("alter session set optimizer_goal = first_rows"));
}

TEST_F(SessionOlderCalls, PasswordChangeQuotesUserAndPassword)
{
    TOracleSession session;
    ASSERT_TRUE(logOnOld(session, "changer", "secret"));
    hooks.traceClear(session.ServiceContext());
    session.ChangePassword(QStringLiteral("new secret"));
    const QStringList trace = hooks.trace(session.ServiceContext());
    EXPECT_TRUE(
        trace.contains(QStringLiteral("alter user \"CHANGER\" identified by \"new secret\"")))
        << trace.join(u'|').toStdString();
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("new secret"));
}

TEST_F(SessionOlderCalls, CallLockIsTakenByQueryCallsAndReleasedByTheErrorRaiser)
{
    TOracleSession session;
    session.SetThreadSafe(true);
    ASSERT_TRUE(logOnOld(session));
    session.Enter(true);
    EXPECT_EQ(session.CallLock().NestingCount(), 1);
    session.Leave(true);
    EXPECT_EQ(session.CallLock().NestingCount(), 0);
    // A failing statement leaves no hold behind.
    EXPECT_THROW(session.ExecSQL(QStringLiteral("select from nowhere at all")), EOracleError);
    EXPECT_EQ(session.CallLock().NestingCount(), 0);

    // Another thread's hold survives this thread's leave.
    std::atomic<int> stage { 0 };
    std::thread holder([&] {
        session.Enter(true);
        stage = 1;
        while (stage != 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(session.CallLock().NestingCount(), 1);
        session.Leave(true);
    });
    while (stage != 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    session.leaveCallLock();
    EXPECT_FALSE(session.CallLock().HeldByCurrentThread());
    stage = 2;
    holder.join();
}

TEST_F(SessionOlderCalls, BreakFromAnotherThread)
{
    TOracleSession session;
    session.SetThreadSafe(true);
    ASSERT_TRUE(logOnOld(session, "oldbreak", "secret"));
    ASSERT_EQ(hooks.blockNextFetch(session.ServiceContext()), 0);
    std::atomic<int> code { -1 };
    std::atomic<bool> finished { false };
    std::thread worker([&] {
        try {
            session.ExecSQL(QStringLiteral("select ename from emp"));
            code = 0;
        } catch (const EOracleError &e) {
            code = e.ErrorCode();
        }
        finished = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(finished.load());
    // Without the call lock, which the worker holds.
    const bool ended = BreakUntilFinished(session, hooks, finished);
    worker.join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(code.load(), 1013);
    EXPECT_EQ(session.CallLock().NestingCount(), 0);
    session.ExecSQL(QStringLiteral("select 'x' from dual"));
    EXPECT_EQ(session.InternalRow().value(0), QStringLiteral("x"));
}

TEST_F(SessionOlderCalls, AutoCommitSwitchesTheConnection)
{
    TOracleSession session;
    ASSERT_TRUE(logOnOld(session));
    session.SetAutoCommit(true);
    EXPECT_TRUE(session.AutoCommit());
    session.SetAutoCommit(false);
    EXPECT_FALSE(session.AutoCommit());
}

} // namespace
