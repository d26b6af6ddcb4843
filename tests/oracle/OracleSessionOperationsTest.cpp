// Transactions, break, options, call lock, probes, preferences and dependents of a connected
// TOracleSession against the stand-in client library.

#include "OracleSessionTestSupport.h"
#include "QStringPrinter.h"

#include "oracle/ScreenServices.h"

#include <QObject>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace qd;
using namespace qd::test;

namespace {

class SessionOperations : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseSessionStandin();
        ASSERT_TRUE(hooks.complete());
    }
    void logOn(TOracleSession &session, const char *user = "scott", const char *password = "tiger")
    {
        SetLogon(session, QString::fromLatin1(user), QString::fromLatin1(password));
        session.LogOn();
        ASSERT_TRUE(session.Connected());
    }
    QString salaryOf(TOracleSession &session, int empno)
    {
        session.ExecSQL(QStringLiteral("select to_char(sal) from emp where empno = %1").arg(empno));
        EXPECT_EQ(session.InternalRow().size(), 1) << "no row for " << empno;
        return session.InternalRow().value(0);
    }

    StandinHooks hooks;
};

TEST_F(SessionOperations, SavepointsCommitAndRollback)
{
    TOracleSession session;
    logOn(session, "saver", "secret");
    const QString original = salaryOf(session, 102);
    ASSERT_FALSE(original.isEmpty());

    session.ExecSQL(QStringLiteral("update emp set sal = 1111 where empno = 102"));
    session.Savepoint(QStringLiteral("before_second"));
    session.ExecSQL(QStringLiteral("update emp set sal = 2222 where empno = 102"));
    EXPECT_EQ(salaryOf(session, 102), QStringLiteral("2222"));
    session.RollbackToSavepoint(QStringLiteral("before_second"));
    EXPECT_EQ(salaryOf(session, 102), QStringLiteral("1111"));
    session.Rollback();
    EXPECT_EQ(salaryOf(session, 102), original);

    // An unknown savepoint is the server's error.
    try {
        session.RollbackToSavepoint(QStringLiteral("never_taken"));
        FAIL() << "no such savepoint";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 1086);
        EXPECT_STREQ(e.CallName(), "OCIStmtExecute");
    }

    // A commit is seen by another session of the same user.
    session.ExecSQL(QStringLiteral("update emp set sal = 3333 where empno = 102"));
    session.Commit();
    TOracleSession other;
    logOn(other, "saver", "secret");
    EXPECT_EQ(salaryOf(other, 102), QStringLiteral("3333"));
    other.ExecSQL(QStringLiteral("update emp set sal = %1 where empno = 102").arg(original));
    other.Commit();
}

TEST_F(SessionOperations, RollbackOnDisconnectUndoesTheOpenTransaction)
{
    TOracleSession session;
    logOn(session, "saver", "secret");
    const QString original = salaryOf(session, 104);
    session.SetRollbackOnDisconnect(true);
    session.ExecSQL(QStringLiteral("update emp set sal = 4444 where empno = 104"));
    hooks.traceClear(session.ServiceContext());
    session.LogOff();
    session.LogOn();
    EXPECT_EQ(salaryOf(session, 104), original);
}

TEST_F(SessionOperations, CommitAndRollbackOnADisconnectedSessionDoNothing)
{
    TOracleSession session;
    EXPECT_NO_THROW(session.Commit());
    EXPECT_NO_THROW(session.Rollback());
    EXPECT_FALSE(session.Connected());
    EXPECT_THROW(session.ExecSQL(QStringLiteral("select 'x' from dual")), Exception);
}

TEST_F(SessionOperations, AutoCommitCommitsEachStatementInTheHandleMode)
{
    TOracleSession session;
    logOn(session, "saver", "secret");
    const QString original = salaryOf(session, 105);
    session.SetAutoCommit(true);
    session.ExecSQL(QStringLiteral("update emp set sal = 5555 where empno = 105"));
    session.Rollback(); // nothing left to roll back
    EXPECT_EQ(salaryOf(session, 105), QStringLiteral("5555"));
    session.ExecSQL(QStringLiteral("update emp set sal = %1 where empno = 105").arg(original));
    // The setting survives a new logon.
    session.LogOff();
    session.LogOn();
    EXPECT_TRUE(session.AutoCommit());
}

// A second thread cancels a fetch that would otherwise wait for ever; the session goes on.
TEST_F(SessionOperations, BreakFromAnotherThreadEndsTheRunningCall)
{
    TOracleSession session;
    session.SetThreadSafe(true);
    logOn(session, "breaker", "secret");
    ASSERT_EQ(hooks.blockNextFetch(session.ServiceContext()), 0);

    std::atomic<int> code { -1 };
    std::atomic<bool> finished { false };
    std::thread worker([&] {
        try {
            session.ExecSQL(QStringLiteral("select ename from emp"));
            code = 0;
        } catch (const EOracleError &e) {
            code = e.ErrorCode();
        } catch (...) {
            code = -2;
        }
        finished = true;
    });
    // The fetch waits for a break: the worker is still busy after a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(finished.load());
    EXPECT_EQ(hooks.callInProgress(session.ServiceContext()), 1);
    const bool ended = BreakUntilFinished(session, hooks, finished);
    worker.join(); // ended is false only if the stand-in ignores breaks: then this hangs
    EXPECT_TRUE(ended);
    EXPECT_EQ(code.load(), 1013);

    // The session is usable afterwards, also for another cancelled-free statement.
    EXPECT_TRUE(session.Connected());
    session.ExecSQL(QStringLiteral("select 'x' from dual"));
    EXPECT_EQ(session.InternalRow().value(0), QStringLiteral("x"));
    EXPECT_EQ(hooks.callInProgress(session.ServiceContext()), 0);
    // A break with nothing running does nothing.
    EXPECT_NO_THROW(session.BreakExecution());
    session.ExecSQL(QStringLiteral("select 'y' from dual"));
    EXPECT_EQ(session.InternalRow().value(0), QStringLiteral("y"));
}

// The call lock: in the handle-based mode query calls do not take it, and an error raised on
// one thread never opens a hold that another thread has.
TEST_F(SessionOperations, CallLockIsOnlyReleasedByItsHolder)
{
    TOracleSession session;
    session.SetThreadSafe(true);
    logOn(session, "locker", "secret");

    session.Enter(true); // a query call in the handle-based mode
    EXPECT_EQ(session.CallLock().NestingCount(), 0);
    session.Leave(true);

    std::atomic<int> stage { 0 };
    std::atomic<int> heldInWorker { 0 };
    std::thread holder([&] {
        session.Enter(false);
        stage = 1;
        while (stage != 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        heldInWorker = session.CallLock().NestingCount();
        session.Leave(false);
    });
    while (stage != 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // An error on this thread goes through the error raiser, which leaves "the" call lock.
    EXPECT_THROW(session.ExecSQL(QStringLiteral("select from nowhere at all")), EOracleError);
    session.leaveCallLock();
    session.Leave(false);
    EXPECT_FALSE(session.CallLock().HeldByCurrentThread());
    stage = 2;
    holder.join();
    EXPECT_EQ(heldInWorker.load(), 1); // the other thread's hold survived
    // Now free: this thread can take it.
    session.Enter(false);
    EXPECT_EQ(session.CallLock().NestingCount(), 1);
    session.Leave(false);
    EXPECT_EQ(session.CallLock().NestingCount(), 0);
}

TEST_F(SessionOperations, OptionsRunTheirStatementsAndAreAppliedAgainAtLogOn)
{
    TOracleSession session;
    // Set while disconnected: nothing runs until the logon.
    session.SetSQLTrace(stTrue);
    session.SetIsolationLevel(ilSerializable);
    logOn(session);
    QStringList trace = hooks.trace(session.ServiceContext());
    EXPECT_TRUE(trace.contains(QStringLiteral("alter session set sql_trace = true")))
        << trace.join(u'|').toStdString();
    EXPECT_TRUE(trace.contains(QStringLiteral("alter session set isolation_level = serializable")))
        << trace.join(u'|').toStdString();

    hooks.traceClear(session.ServiceContext());
    session.SetOptimizerGoal(ogFirstRows);
    session.SetSQLTrace(stTrue); // unchanged: nothing runs
    session.SetSQLTrace(stUnchanged); // nothing to run either
    trace = hooks.trace(session.ServiceContext());
    EXPECT_EQ(trace, QStringList({ "alter session set optimizer_mode = first_rows" }));
    EXPECT_EQ(session.SQLTrace(), stUnchanged);

    session.LogOff();
    session.LogOn();
    trace = hooks.trace(session.ServiceContext());
    EXPECT_TRUE(trace.contains(QStringLiteral("alter session set optimizer_mode = first_rows")));
    EXPECT_FALSE(trace.join(u'|').contains(QStringLiteral("sql_trace")));
}

TEST_F(SessionOperations, NumberTypeRule)
{
    TOracleSession session;
    const struct {
        const char *column;
        int precision, scale;
        int floatPrecision;
        bool asString;
        int type, size;
    } cases[] = {
        { "NUMBER(9)", 9, 0, 0, false, SQLT_INT, 4 },
        { "NUMBER(10)", 10, 0, 0, false, SQLT_FLT, 8 },
        { "NUMBER(12,2)", 12, 2, 0, false, SQLT_FLT, 8 },
        { "FLOAT", 126, -127, 0, false, SQLT_FLT, 8 },
        { "NUMBER", 0, 0, 0, false, SQLT_FLT, 8 },
        { "NUMBER(12,2) FloatPrecision 10", 12, 2, 10, false, SQLT_STR, 15 },
        { "NUMBER(12) FloatPrecision 10", 12, 0, 10, false, SQLT_STR, 14 },
        { "FLOAT FloatPrecision 10", 126, -127, 10, false, SQLT_STR, 38 + 3 + 132 },
        { "NUMBER(9) as string", 9, 0, 0, true, SQLT_STR, 11 },
        { "NUMBER(5,-2)", 5, -2, 0, false, SQLT_INT, 4 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.column);
        session.Preferences().SetFloatPrecision(c.floatPrecision);
        int size = -1, type = -1;
        session.ChooseNumberType(c.precision, c.scale, size, type, c.asString);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, c.size);
    }
    // IntegerPrecision moves the integer limit; the ODBC bridge makes it 10.
    session.Preferences().SetFloatPrecision(0);
    int size = 0, type = 0;
    session.ChooseNumberType(10, 0, size, type, false);
    EXPECT_EQ(type, SQLT_FLT);
    session.SetLogonDatabase(QStringLiteral("ODBC:somewhere"));
    session.ChooseNumberType(10, 0, size, type, false);
    EXPECT_EQ(type, SQLT_INT);
    session.Preferences().SetIntegerPrecision(4);
    session.ChooseNumberType(5, 0, size, type, false);
    EXPECT_EQ(type, SQLT_FLT);
}

TEST_F(SessionOperations, ProbesAndTheirCaches)
{
    TOracleSession session;
    EXPECT_EQ(session.DateFormatLength(), 40); // disconnected
    EXPECT_EQ(session.BytesPerChar(), 1);
    session.SetBytesPerCharacter(bc3Bytes);
    EXPECT_EQ(session.BytesPerChar(), 3);
    session.SetBytesPerCharacter(bc1Byte);

    logOn(session);
    EXPECT_EQ(session.MaxStringChars(), 4000);
    session.SetBytesPerCharacter(bc2Bytes);
    EXPECT_EQ(session.MaxStringChars(), 2000);

    // The longest date in the session's format; the probe runs once per connection.
    session.ExecSQL(QStringLiteral("alter session set nls_date_format = 'DD-MM-YYYY'"));
    EXPECT_EQ(session.DateFormatLength(), 10);
    hooks.traceClear(session.ServiceContext());
    EXPECT_EQ(session.DateFormatLength(), 10);
    EXPECT_EQ(hooks.traceCount(session.ServiceContext()), 0);
    session.ExecSQL(QStringLiteral("alter session set nls_date_format = 'DD-MM-YYYY HH24:MI:SS'"));
    EXPECT_EQ(session.DateFormatLength(), 10); // cached until logoff
    session.LogOff();
    session.LogOn();
    session.ExecSQL(QStringLiteral("alter session set nls_date_format = 'DD-MM-YYYY HH24:MI:SS'"));
    EXPECT_EQ(session.DateFormatLength(), 19);

    // Session id: asked once, cached.
    const QString id = session.AUDSID();
    EXPECT_FALSE(id.isEmpty());
    hooks.traceClear(session.ServiceContext());
    EXPECT_EQ(session.AUDSID(), id);
    EXPECT_EQ(hooks.traceCount(session.ServiceContext()), 0);

    // Message texts of the client library.
    EXPECT_TRUE(session.ErrorText(1017).contains(QStringLiteral("01017")))
        << session.ErrorText(1017).toStdString();
}

TEST_F(SessionOperations, ConnectionDescriptionNeverCarriesThePassword)
{
    TOracleSession session;
    logOn(session);
    const QStringList description = session.ConnectionDescription();
    ASSERT_EQ(description.size(), 12);
    EXPECT_EQ(description.at(0), QStringLiteral("Username"));
    EXPECT_EQ(description.at(1), QStringLiteral("scott"));
    EXPECT_EQ(description.at(3), QString());
    EXPECT_EQ(description.at(5), QStringLiteral("QDS"));
    EXPECT_FALSE(description.join(u' ').contains(QStringLiteral("tiger")));
}

// ---- Dependents -----------------------------------------------------------------------------

class RecordingDependent : public OracleSessionDependent {
public:
    RecordingDependent(Kind kind, QString name, QStringList &log)
        : m_kind(kind)
        , m_name(std::move(name))
        , m_log(log)
    {
    }
    Kind dependentKind() const override { return m_kind; }
    QString dependentName() const override { return m_name; }
    void sessionLoggingOff() override { m_log << m_name + QStringLiteral(":close"); }
    void sessionLoggedOff() override { m_log << m_name + QStringLiteral(":detached"); }
    void sessionPreferencesChanged() override
    {
        m_log << m_name + QStringLiteral(":reopen");
        if (failReopen)
            throw Exception(QStringLiteral("cannot reopen"));
    }
    void sessionDestroyed() override { m_log << m_name + QStringLiteral(":lost"); }

    bool failReopen = false;

private:
    Kind m_kind;
    QString m_name;
    QStringList &m_log;
};

TEST_F(SessionOperations, DependentsAreToldOfLogoffPreferencesAndDestruction)
{
    QStringList log;
    RecordingDependent query1(OracleSessionDependent::dkQuery, QStringLiteral("q1"), log);
    RecordingDependent query2(OracleSessionDependent::dkQuery, QStringLiteral("q2"), log);
    RecordingDependent dataset(OracleSessionDependent::dkDataSet, QStringLiteral("ds"), log);
    RecordingDependent lob(OracleSessionDependent::dkLob, QStringLiteral("lob"), log);
    auto session = std::make_unique<TOracleSession>();
    for (OracleSessionDependent *d : { static_cast<OracleSessionDependent *>(&query1),
             static_cast<OracleSessionDependent *>(&query2),
             static_cast<OracleSessionDependent *>(&dataset),
             static_cast<OracleSessionDependent *>(&lob) })
        session->AddDependent(d);
    session->AddDependent(&query1); // joining twice lists it once
    EXPECT_EQ(session->Dependents(OracleSessionDependent::dkQuery).size(), 2);

    logOn(*session);
    session->LogOff();
    // Queries last first, then the datasets; afterwards datasets may redraw detached.
    // (The logon passed through a logoff of the disconnected session too.)
    EXPECT_EQ(
        log, QStringList({ "ds:detached", "q2:close", "q1:close", "ds:close", "ds:detached" }));

    // Preference changes reach the datasets only on a designed session.
    log.clear();
    session->Preferences().SetFloatPrecision(5);
    EXPECT_TRUE(log.isEmpty());
    session->SetDesigning(true);
    QString shown;
    ScreenServices screen;
    screen.confirm = [&](const QString &message, const QString &) {
        shown = message;
        return mrOk;
    };
    InstallScreenServices(screen);
    dataset.failReopen = true;
    session->Preferences().SetMaxStringFieldSize(100);
    ResetScreenServices();
    EXPECT_EQ(log, QStringList({ "ds:reopen" }));
    EXPECT_EQ(shown, QStringLiteral("Error reactivating dataset ds:\r\ncannot reopen"));
    // Plain preferences do not reopen anything.
    log.clear();
    session->Preferences().SetTrimStringFields(false);
    EXPECT_TRUE(log.isEmpty());

    // A dependent that left is not told any more; destruction reaches the rest.
    session->RemoveDependent(&query2);
    log.clear();
    session.reset();
    log.sort();
    EXPECT_EQ(log, QStringList({ "ds:detached", "ds:lost", "lob:lost", "q1:lost" }));
}

TEST(SessionPreferencesTest, DefaultsAndAssignment)
{
    TOracleSession session;
    const TSessionPreferences &p = session.Preferences();
    EXPECT_EQ(p.FloatPrecision(), 0);
    EXPECT_EQ(p.IntegerPrecision(), 0);
    EXPECT_EQ(p.SmallIntPrecision(), -1);
    EXPECT_FALSE(p.UseOCI7());
    EXPECT_TRUE(p.ConvertCRLF());
    EXPECT_TRUE(p.TrimStringFields());
    EXPECT_EQ(p.MaxStringFieldSize(), 0);
    EXPECT_TRUE(p.ZeroDateIsNull());
    EXPECT_FALSE(p.NullLOBIsEmpty());
    EXPECT_FALSE(p.NullObjectIsEmpty());
    EXPECT_EQ(p.TemporaryLOB(), tlCache);
    EXPECT_FALSE(p.TimestampAsString());

    TOracleSession other;
    other.Preferences().SetFloatPrecision(7);
    other.Preferences().SetUseOCI7(true);
    other.Preferences().SetZeroDateIsNull(false);
    other.Preferences().SetTemporaryLOB(tlNoCache);
    other.Preferences().SetTimestampAsString(true);
    session.SetPreferences(other.Preferences());
    EXPECT_EQ(p.FloatPrecision(), 7);
    EXPECT_TRUE(p.UseOCI7());
    EXPECT_FALSE(p.ZeroDateIsNull());
    EXPECT_FALSE(session.ZeroDateIsNull()); // what the buffers read
    EXPECT_EQ(p.TemporaryLOB(), tlNoCache);
    EXPECT_TRUE(p.TimestampAsString());
}

TEST(SessionDefaults, PublishedDefaults)
{
    TOracleSession session;
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(session.RollbackOnDisconnect());
    EXPECT_FALSE(session.ThreadSafe());
    EXPECT_EQ(session.ConnectAs(), caNormal);
    EXPECT_EQ(session.Pooling(), spNone);
    EXPECT_EQ(session.Pool(), nullptr);
    EXPECT_EQ(session.MTSOptions(), moImplicit | moUniqueServer);
    EXPECT_EQ(session.NullValue(), nvUnAssigned);
    EXPECT_EQ(session.SQLTrace(), stUnchanged);
    EXPECT_EQ(session.OptimizerGoal(), ogUnchanged);
    EXPECT_EQ(session.IsolationLevel(), ilUnchanged);
    EXPECT_EQ(session.BytesPerCharacter(), bc1Byte);
    EXPECT_FALSE(session.Shared());
    EXPECT_FALSE(session.StatementCache());
    EXPECT_EQ(session.StatementCacheSize(), 20);
    EXPECT_EQ(session.Cursor(), crSQLWait);
    EXPECT_FALSE(session.AutoCommit());
}

} // namespace
