// Threaded execution of TOracleQuery against the stand-in: the worker's events, their order
// and thread, errors, a second Execute, breaking a run and destroying the query.

#include "QStringPrinter.h"

#include "OracleSessionTestSupport.h"

#include "oracle/OracleQuery.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <functional>
#include <memory>
#include <mutex>

using namespace qd;
using namespace qd::test;

namespace {

// Pumps the event loop of this (the query's) thread until done() or the time is up.
bool pumpUntil(const std::function<bool()> &done, int milliseconds = 30000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// The events of a query, with the thread each one ran on. Handlers may run on the worker.
struct EventLog {
    mutable std::mutex mutex;
    QStringList events;
    QList<Qt::HANDLE> threads;
    int finished = 0;

    void add(const QString &event)
    {
        std::lock_guard lock(mutex);
        events << event;
        threads << QThread::currentThreadId();
        if (event == QStringLiteral("Finished"))
            ++finished;
    }
    QStringList all() const
    {
        std::lock_guard lock(mutex);
        return events;
    }
    int finishedCount() const
    {
        std::lock_guard lock(mutex);
        return finished;
    }
    Qt::HANDLE threadOf(int index) const
    {
        std::lock_guard lock(mutex);
        return threads.value(index);
    }
    void clear()
    {
        std::lock_guard lock(mutex);
        events.clear();
        threads.clear();
        finished = 0;
    }
};

class QueryThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseSessionStandin();
        SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
        session.LogOn();
        query = std::make_unique<TOracleQuery>();
        query->SetSession(&session);
        query->SetThreaded(true);
        watch(*query);
        void *module = dlopen(standinLibraryPath().toLocal8Bit().constData(), RTLD_NOW);
        ASSERT_NE(module, nullptr);
        setRowDelay = reinterpret_cast<int (*)(void *, int)>(dlsym(module, "qdsi_set_row_delay"));
        ASSERT_NE(setRowDelay, nullptr);
        ASSERT_TRUE(hooks.complete());
    }
    void TearDown() override
    {
        query.reset();
        session.LogOff();
    }

    void watch(TOracleQuery &q)
    {
        q.BeforeQuery = [this](TOracleQuery *) { log.add(QStringLiteral("BeforeQuery")); };
        q.AfterQuery = [this](TOracleQuery *) { log.add(QStringLiteral("AfterQuery")); };
        q.OnThreadExecuted = [this](TOracleQuery *) { log.add(QStringLiteral("Executed")); };
        q.OnThreadRecord = [this](TOracleQuery *sender) {
            log.add(QStringLiteral("Record ") + sender->FieldAsString(0));
        };
        q.OnThreadError = [this](TOracleQuery *, int code, const QString &message) {
            log.add(QStringLiteral("Error %1").arg(code));
            std::lock_guard lock(log.mutex);
            lastErrorMessage = message;
        };
        q.OnThreadFinished = [this](TOracleQuery *) { log.add(QStringLiteral("Finished")); };
    }
    bool waitFinished(int count = 1)
    {
        return pumpUntil([&] { return log.finishedCount() >= count; });
    }

    TOracleSession session;
    std::unique_ptr<TOracleQuery> query;
    EventLog log;
    QString lastErrorMessage;
    StandinHooks hooks;
    int (*setRowDelay)(void *, int) = nullptr;
};

const QStringList threeRowEvents = { "BeforeQuery", "Executed", "Record FINANCE",
    "Record LABORATORY", "Record LOGISTICS", "AfterQuery", "Finished" };

TEST_F(QueryThread, EventsComeInOrderOnTheThreadTheSettingNames)
{
    const Qt::HANDLE mainThread = QThread::currentThreadId();
    for (const bool synchronized : { true, false }) {
        SCOPED_TRACE(synchronized ? "synchronized" : "on the worker");
        log.clear();
        query->SetThreadSynchronized(synchronized);
        query->SetReadBuffer(2); // the rows cross an array boundary
        query->SQL().SetText(
            QStringLiteral("select dname from dept where deptno <= 30 order by deptno"));
        query->Execute();
        if (synchronized) { // a synchronised event needs this thread's event loop
            EXPECT_FALSE(log.all().contains(QStringLiteral("Executed")));
        }
        ASSERT_TRUE(waitFinished());
        EXPECT_EQ(log.all(), threeRowEvents);
        const Qt::HANDLE worker = log.threadOf(0);
        EXPECT_NE(worker, mainThread); // BeforeQuery runs inside the run, on the worker
        for (int i = 0; i < threeRowEvents.size(); ++i) {
            const bool threadEvent = i != 0 && threeRowEvents[i] != QStringLiteral("AfterQuery");
            EXPECT_EQ(log.threadOf(i), threadEvent && synchronized ? mainThread : worker)
                << threeRowEvents[i].toStdString();
        }
        EXPECT_TRUE(query->Eof());
        EXPECT_EQ(query->RowsProcessed(), 3);
    }
}

TEST_F(QueryThread, AParseErrorReportsTheErrorThenFinishesAndTheQueryRunsAgain)
{
    query->SQL().SetText(QStringLiteral("select ename frm emp"));
    query->Execute();
    ASSERT_TRUE(waitFinished());
    const QStringList events = log.all();
    ASSERT_EQ(events.size(), 4) << events.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(events[0], QStringLiteral("BeforeQuery"));
    EXPECT_EQ(events[1], QStringLiteral("AfterQuery")); // from the error path
    EXPECT_TRUE(events[2].startsWith(QStringLiteral("Error ")));
    EXPECT_NE(events[2], QStringLiteral("Error 0")); // the server's error code
    EXPECT_TRUE(lastErrorMessage.startsWith(QStringLiteral("ORA-")))
        << lastErrorMessage.toStdString();
    EXPECT_EQ(events[3], QStringLiteral("Finished"));
    const Qt::HANDLE worker = log.threadOf(0);

    log.clear();
    query->SQL().SetText(
        QStringLiteral("select dname from dept where deptno <= 30 order by deptno"));
    query->Execute();
    ASSERT_TRUE(waitFinished());
    EXPECT_EQ(log.all(), threeRowEvents);
    EXPECT_EQ(log.threadOf(0), worker); // the same worker serves every run
}

TEST_F(QueryThread, AnExceptionOfAHandlerEndsTheRunAsAnErrorWithCodeZero)
{
    query->OnThreadRecord = [this](TOracleQuery *) {
        log.add(QStringLiteral("Record"));
        throw Exception(QStringLiteral("handler gave up"));
    };
    query->SQL().SetText(QStringLiteral("select ename from emp"));
    query->Execute();
    ASSERT_TRUE(waitFinished());
    EXPECT_EQ(
        log.all(), QStringList({ "BeforeQuery", "Executed", "Record", "Error 0", "Finished" }));
    EXPECT_EQ(lastErrorMessage, QStringLiteral("handler gave up"));
}

TEST_F(QueryThread, ASecondExecuteWhileRunningRaisesAndABreakEndsTheFetch)
{
    setRowDelay(session.ServiceContext(), 200);
    query->SetReadBuffer(1); // one row per fetch: the run is inside a fetch most of the time
    query->SQL().SetText(QStringLiteral("select ename from emp order by ename"));
    query->Execute();
    for (const auto &call : std::vector<std::function<void()>> {
             [&] { query->Execute(); }, [&] { query->Describe(); } }) {
        try {
            call();
            ADD_FAILURE() << "a second call while the run lasts must raise";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Query thread is still in progress"));
        }
    }
    // Let a row or two through, then break the running fetch.
    ASSERT_TRUE(pumpUntil([&] { return log.all().size() >= 3; }));
    ASSERT_TRUE(pumpUntil([&] {
        if (hooks.callInProgress(session.ServiceContext()) == 1)
            session.BreakExecution();
        return log.finishedCount() >= 1;
    }));
    setRowDelay(session.ServiceContext(), 0);
    const QStringList events = log.all();
    EXPECT_TRUE(events.contains(QStringLiteral("Error 1013"))) << events.join('|').toStdString();
    EXPECT_EQ(events.last(), QStringLiteral("Finished"));
    EXPECT_LT(events.filter(QStringLiteral("Record ")).size(), 8); // the run did not finish

    // The session and the query are usable again.
    log.clear();
    query->SQL().SetText(
        QStringLiteral("select dname from dept where deptno <= 30 order by deptno"));
    query->Execute();
    ASSERT_TRUE(waitFinished());
    EXPECT_EQ(log.all(), threeRowEvents);
}

TEST_F(QueryThread, ABreakEndsAFetchThatWouldNeverReturn)
{
    query->SetThreadSynchronized(false);
    query->SQL().SetText(QStringLiteral("select ename from emp"));
    ASSERT_EQ(hooks.blockNextFetch(session.ServiceContext()), 0);
    query->Execute();
    ASSERT_TRUE(pumpUntil([&] {
        if (hooks.callInProgress(session.ServiceContext()) == 1)
            session.BreakExecution();
        return log.finishedCount() >= 1;
    }));
    EXPECT_EQ(log.all(), QStringList({ "BeforeQuery", "AfterQuery", "Error 1013", "Finished" }));
}

TEST_F(QueryThread, ExecuteFromTheFinishedHandlerStartsTheNextRun)
{
    for (const bool synchronized : { true, false }) {
        SCOPED_TRACE(synchronized ? "synchronized" : "on the worker");
        log.clear();
        query->SetThreadSynchronized(synchronized);
        int runs = 0;
        query->OnThreadFinished = [&](TOracleQuery *sender) {
            log.add(QStringLiteral("Finished"));
            if (++runs < 3)
                sender->Execute();
        };
        query->SQL().SetText(QStringLiteral("select ename from emp where deptno = 10"));
        query->Execute();
        ASSERT_TRUE(waitFinished(3));
        pumpUntil([] { return false; }, 100); // no fourth run follows
        EXPECT_EQ(log.all().count(QStringLiteral("Executed")), 3);
        EXPECT_EQ(log.finishedCount(), 3);
    }
}

TEST_F(QueryThread, NoExecuteIsLostWhileTheWorkerFinishes)
{
    // Every Execute the query accepts gets its run, even one that arrives in the moment
    // between the end of a run and the worker going idle.
    query->SetThreadSynchronized(false);
    query->OnThreadRecord = nullptr;
    query->SQL().SetText(QStringLiteral("select 1 from dual"));
    int accepted = 0;
    QDeadlineTimer deadline(60000);
    while (accepted < 200 && !deadline.hasExpired()) {
        try {
            query->Execute();
            ++accepted;
        } catch (const Exception &e) {
            ASSERT_EQ(e.Message(), QStringLiteral("Query thread is still in progress"));
        }
    }
    ASSERT_EQ(accepted, 200);
    EXPECT_TRUE(pumpUntil([&] { return log.finishedCount() == accepted; }))
        << log.finishedCount() << " of " << accepted << " runs finished";
}

TEST_F(QueryThread, DestroyingTheQueryFiresNothingMore)
{
    // Never run, and idle after a run: nothing fires.
    auto fresh = std::make_unique<TOracleQuery>();
    fresh->SetSession(&session);
    fresh->SetThreaded(true);
    watch(*fresh);
    fresh.reset();
    query->SQL().SetText(QStringLiteral("select ename from emp where deptno = 10"));
    query->Execute();
    ASSERT_TRUE(waitFinished());
    log.clear();
    query.reset();
    pumpUntil([] { return false; }, 100);
    EXPECT_TRUE(log.all().isEmpty()) << log.all().join('|').toStdString();

    // In the middle of a run, while the worker waits for a synchronised record event: the
    // run stops and Finished never comes.
    query = std::make_unique<TOracleQuery>();
    query->SetSession(&session);
    query->SetThreaded(true);
    query->SetReadBuffer(1);
    watch(*query);
    setRowDelay(session.ServiceContext(), 20);
    query->SQL().SetText(QStringLiteral("select ename from emp order by ename"));
    query->Execute();
    ASSERT_TRUE(pumpUntil([&] { return log.all().filter(QStringLiteral("Record ")).size() >= 1; }));
    QDeadlineTimer wait(200);
    while (!wait.hasExpired()) // the worker fetches the next row and waits for this thread
        QThread::msleep(5);
    query.reset();
    setRowDelay(session.ServiceContext(), 0);
    pumpUntil([] { return false; }, 100);
    const QStringList events = log.all();
    EXPECT_FALSE(events.contains(QStringLiteral("Finished"))) << events.join('|').toStdString();
    EXPECT_EQ(events.filter(QStringLiteral("Record ")).size(), 1);
}

} // namespace
