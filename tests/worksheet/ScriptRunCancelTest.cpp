// Cancelling a run: during a long server call, a long query, between the rows of a text query,
// while server output or compile errors are read, and a window that goes away while its run
// waits for it.
#include "RunnerTestSupport.h"

#include <QElapsedTimer>
#include <QThread>

using namespace qd;
using namespace qd::test;

namespace {

class ScriptRunCancel : public RunnerFixture {
protected:
    // Serves the runner's calls until pred holds; false after timeoutMs.
    bool serveUntil(const std::function<bool()> &pred, int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!pred() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return pred();
    }

    // Waits until the session is inside a server call.
    bool waitForCall()
    {
        const StandinHooks &hooks = StandinHooks::get();
        void *svc = hooks.ServiceOf(*session);
        return serveUntil([&] { return hooks.callInProgress(svc) != 0; });
    }

    // The run continues on the same session: a next run works.
    void expectSessionUsable()
    {
        host = RecordingHost();
        withGrid = false;
        const QStringList out = run(QStringLiteral("select 'alive' a from dual;"));
        EXPECT_TRUE(out.join(u'\n').contains(QStringLiteral("alive")));
        EXPECT_TRUE(host.errors.isEmpty());
    }
};

} // namespace

TEST_F(ScriptRunCancel, CancelDuringALongCallEndsTheRunAndKeepsTheSession)
{
    start(QStringLiteral("prompt before\n"
                         "begin dbms_lock.sleep(60); end;\n"
                         "/\n"
                         "prompt never"));
    ASSERT_TRUE(serveUntil([&] { return host.output.contains(QStringLiteral("before")); }));
    ASSERT_TRUE(waitForCall());
    QElapsedTimer timer;
    timer.start();
    runner->Cancel();
    // Far below the minute the call would take.
    ASSERT_TRUE(waitForEnd(10000));
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(host.output.contains(QStringLiteral("before")));
    EXPECT_FALSE(host.output.contains(QStringLiteral("never")));
    const int terminated = host.output.indexOf(QStringLiteral("User terminated script."));
    ASSERT_GE(terminated, 0);
    EXPECT_EQ(host.output.value(terminated + 1, QStringLiteral("<none>")), QString());
    // The broken call is reported like any other server error.
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors[0].Text.contains(QStringLiteral("ORA-01013")));
    expectSessionUsable();
}

TEST_F(ScriptRunCancel, CancelBetweenRowsOfATextQueryStopsItWithoutARowCount)
{
    CreateFreshTable(*session, QStringLiteral("rt_slow"), QStringLiteral("n number"));
    RunSql(*session,
        QStringLiteral("begin for i in 1 .. 200 loop insert into rt_slow values (i); end loop; "
                       "commit; end;"));
    QLibrary standin(standinLibraryPath());
    auto setRowDelay
        = reinterpret_cast<int (*)(void *, int)>(standin.resolve("qdsi_set_row_delay"));
    ASSERT_NE(setRowDelay, nullptr);
    void *svc = StandinHooks::get().ServiceOf(*session);
    setRowDelay(svc, 50);
    settings.SpoolLineBreak = 1;
    withGrid = false;
    start(QStringLiteral("select n from rt_slow order by n;\nprompt never"));
    ASSERT_TRUE(serveUntil([&] { return host.output.size() >= 4; }));
    runner->Cancel();
    ASSERT_TRUE(waitForEnd(20000));
    setRowDelay(svc, 0);
    EXPECT_FALSE(host.output.contains(QStringLiteral("never")));
    EXPECT_FALSE(host.output.join(u'\n').contains(QStringLiteral("Query returned")));
    EXPECT_TRUE(host.output.contains(QStringLiteral("User terminated script.")));
    // Either the fetch was broken in the server or the loop stopped between rows.
    const bool stoppedBetweenRows
        = host.output.contains(QStringLiteral("User canceled query before all rows returned."));
    const bool brokenInServer = !host.errors.isEmpty()
        && host.errors[0].Text.contains(QStringLiteral("ORA-01013"));
    EXPECT_TRUE(stoppedBetweenRows || brokenInServer) << host.output.join(u'\n').toStdString();
    expectSessionUsable();
    RunSqlIgnoringErrors(*session, QStringLiteral("drop table rt_slow"));
}

TEST_F(ScriptRunCancel, AStopThatBreaksNoCallEndsATextQueryAtTheNextRow)
{
    // A break sent while the worker formats rows between two fetches finds no call to
    // interrupt: the stop flag alone must end the query, at the next row, not after its last.
    CreateFreshTable(*session, QStringLiteral("rt_flag"), QStringLiteral("n number"));
    RunSql(*session,
        QStringLiteral("begin for i in 1 .. 400 loop insert into rt_flag values (i); end loop; "
                       "commit; end;"));
    QLibrary standin(standinLibraryPath());
    auto setRowDelay
        = reinterpret_cast<int (*)(void *, int)>(standin.resolve("qdsi_set_row_delay"));
    ASSERT_NE(setRowDelay, nullptr);
    void *svc = StandinHooks::get().ServiceOf(*session);
    // 400 rows of 10 ms: four seconds for the whole query, a quarter of one per fetch.
    setRowDelay(svc, 10);
    settings.SpoolLineBreak = 1;
    withGrid = false;
    start(QStringLiteral("select n from rt_flag order by n;\nprompt never"));
    ASSERT_TRUE(serveUntil([&] { return host.output.size() >= 4; }));
    QElapsedTimer timer;
    timer.start();
    runner->requestInterruption(); // the stop flag, without a break
    ASSERT_TRUE(waitForEnd(20000));
    const qint64 elapsed = timer.elapsed();
    setRowDelay(svc, 0);
    EXPECT_LT(elapsed, 1500) << "the query ran on after the stop";
    const QString text = host.output.join(u'\n');
    EXPECT_TRUE(host.output.contains(QStringLiteral("User canceled query before all rows returned.")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Query returned")));
    EXPECT_FALSE(text.contains(QStringLiteral("400")));
    EXPECT_TRUE(host.output.contains(QStringLiteral("User terminated script.")));
    EXPECT_FALSE(host.output.contains(QStringLiteral("never")));
    // Nothing was broken in the server: no error, and the session runs the next statement.
    EXPECT_TRUE(host.errors.isEmpty());
    expectSessionUsable();
    RunSqlIgnoringErrors(*session, QStringLiteral("drop table rt_flag"));
}

TEST_F(ScriptRunCancel, AWindowThatGoesAwayIsCalledNoMore)
{
    // The run asks for a value; the window closes instead of answering.
    host.answers.clear();
    start(QStringLiteral("prompt one\nbegin dbms_lock.sleep(60); end;\n/\nprompt &never"));
    ASSERT_TRUE(serveUntil([&] { return host.output.contains(QStringLiteral("one")); }));
    ASSERT_TRUE(waitForCall());
    const int callsBefore = int(host.calls.size());
    QPointer<TQueryThread> gone = runner;
    runner->DetachHost();
    runner->Cancel();
    ASSERT_TRUE(gone->wait(10000));
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(int(host.calls.size()), callsBefore);
    EXPECT_TRUE(host.prompts.isEmpty());
    EXPECT_FALSE(host.finished);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(ScriptRunCancel, CancelDuringALongQueryReturnsWithinASecondAndTheSessionGoesOn)
{
    const StandinHooks &hooks = StandinHooks::get();
    void *svc = hooks.ServiceOf(*session);
    withGrid = false;
    // The query's fetch waits in the server until it is broken.
    ASSERT_EQ(hooks.blockNextFetch(svc), 0);
    start(QStringLiteral("prompt before\n"
                         "select 'row' r from dual;\n"
                         "prompt never"));
    ASSERT_TRUE(serveUntil([&] { return host.output.contains(QStringLiteral("before")); }));
    ASSERT_TRUE(waitForCall());
    // The query's execute is over in a moment; a call still running later is its fetch (a
    // break between the two would find no call to end).
    QElapsedTimer settle;
    settle.start();
    serveUntil([&] { return settle.elapsed() >= 300; });
    ASSERT_NE(hooks.callInProgress(svc), 0);
    QElapsedTimer timer;
    timer.start();
    runner->Cancel();
    ASSERT_TRUE(waitForEnd(10000));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(host.output.contains(QStringLiteral("never")));
    EXPECT_TRUE(host.output.contains(QStringLiteral("User terminated script.")));
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors[0].Text.contains(QStringLiteral("ORA-01013")));
    expectSessionUsable();
}

TEST_F(ScriptRunCancel, AStopEndsALongServerOutputReadAtTheLineInHand)
{
    settings.DBMSOutputBuffer = 1000000;
    withGrid = false;
    start(
        QStringLiteral("begin\n"
                       "  for i in 1 .. 20000 loop dbms_output.put_line('line ' || i); end loop;\n"
                       "end;\n"
                       "/\n"
                       "prompt never"));
    // The worker waits for the window before its first statement: the stop comes first.
    runner->requestInterruption();
    ASSERT_TRUE(waitForEnd(30000));
    QStringList serverLines;
    for (const QString &line : std::as_const(host.output))
        if (line.startsWith(QStringLiteral("line ")))
            serverLines << line;
    // The first line, instead of all 20,000.
    EXPECT_EQ(serverLines, QStringList({ QStringLiteral("line 1") }));
    EXPECT_TRUE(host.output.contains(QStringLiteral("PL/SQL block completed successfully.")));
    EXPECT_TRUE(host.output.contains(QStringLiteral("User terminated script.")));
    EXPECT_FALSE(host.output.contains(QStringLiteral("never")));
    EXPECT_TRUE(host.errors.isEmpty());
}

TEST_F(ScriptRunCancel, AStopEndsTheCompileErrorListingAtTheNextRow)
{
    withGrid = false;
    // A body that defines none of the header's six procedures has six errors.
    const QString header = QStringLiteral("create or replace package rt_stopped is\n"
                                          "  procedure p1; procedure p2; procedure p3;\n"
                                          "  procedure p4; procedure p5; procedure p6;\n"
                                          "end;\n"
                                          "/\n");
    const QString body = QStringLiteral("create or replace package body rt_stopped is\n"
                                        "  procedure other is begin null; end;\n"
                                        "end;\n"
                                        "/\n");
    auto listed = [&] {
        int n = 0;
        for (const QString &line : std::as_const(host.output))
            n += line.startsWith(QStringLiteral("Line ")) ? 1 : 0;
        return n;
    };

    // Without a stop: six errors in the list and in the SHOW ERRORS text.
    run(header + body + QStringLiteral("show errors\n"));
    ASSERT_EQ(host.errors.size(), 6) << host.errorTexts().join(u'\n').toStdString();
    ASSERT_EQ(listed(), 6);
    const TScriptRunState kept = host.state;

    // SHOW ERRORS stopped: the heading and the first error only.
    host = RecordingHost();
    host.state = kept;
    start(QStringLiteral("show errors"));
    runner->requestInterruption();
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(host.output.contains(QStringLiteral("Errors for PACKAGE BODY RT_STOPPED:")));
    EXPECT_EQ(listed(), 1);
    EXPECT_TRUE(host.output.contains(QStringLiteral("User terminated script.")));

    // The listing of a CREATE stopped: one error in the list.
    host = RecordingHost();
    start(body);
    runner->requestInterruption();
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(host.output.contains(
        QStringLiteral("Warning: Package body created with compilation errors.")));
    EXPECT_EQ(host.errors.size(), 1) << host.errorTexts().join(u'\n').toStdString();
    EXPECT_TRUE(host.output.contains(QStringLiteral("User terminated script.")));
    RunSqlIgnoringErrors(*session, QStringLiteral("drop package rt_stopped"));
}
