// The worksheet's script runner against plain TOracleQuery loops on the same stand-in session,
// in the same process: a 10,000-statement INSERT script against the same statements executed
// one by one, and a 100,000-row query written as text against the plain fetch loop that reads
// every value as text. The runner works as in the window: its worker thread, calls on the GUI
// thread for output and status. Each is measured with server output on (the default setting)
// and off; the plain loops do the same work as the runner for it: with server output on they
// read it where the runner must (after each statement, and after each fetch from the server),
// as a command-line client does.
//
// Every benchmark runs in several rounds, in random order within a round, so that both sides of
// a ratio see the same state of a shared machine. The ratios are of the median times, with their
// range over the rounds, for the wall time and for the CPU time of the whole process (the
// runner's worker and GUI threads included).
#define QD_BENCH_ORACLE_ROWS
#include "BenchSupport.h"
#include "oracle/OraclePackage.h"
#include "worksheet/QueryThread.h"
#include "worksheet/ScriptHost.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QPointer>
#include <QStringList>

#include <memory>

namespace {

using namespace qd;

constexpr int insertCount = 10000;
constexpr int queryRows = 100000;

std::unique_ptr<TOracleSession> session;
QStringList insertScript;
const QString queryText = QStringLiteral("select id, amount, name, created, qty from bench_rows "
                                         "where id < %1")
                              .arg(queryRows);

// A window that keeps only the count of output lines.
class CountingHost : public TScriptHost {
public:
    TScriptRunState LoadRunState() override { return {}; }
    void SaveRunState(const TScriptRunState &) override {}
    void BeginRunUI() override {}
    void EndRunUI(const TScriptErrorList &list) override { errors = int(list.size()); }
    void FinishResult(TScriptResultPage) override {}
    void ShowResultPage(TScriptResultPage) override {}
    void ShowRunError(const QString &) override { ++errors; }
    void ShowErrorPosition(int, int) override {}
    void ShowRunStatus(const QString &) override {}
    void ShowElapsedTime(const QString &) override {}
    void ClearTextOutput() override { lines = 0; }
    void AppendTextOutput(const QStringList &added, int) override
    {
        lines += added.size();
        last = added;
    }
    void AttachGridDataSet() override {}
    bool PromptForValue(const TScriptPrompt &, QString &) override { return false; }
    bool ConnectSession(const TScriptLogon &, bool) override { return false; }
    void SyncNavigatorLogon() override {}
    void QueryThreadFinished() override { finished = true; }

    qint64 lines = 0;
    QStringList last;
    int errors = 0;
    bool finished = false;
};

// Runs lines through the runner to its end; the last output lines.
QStringList runScript(const QStringList &lines, benchmark::State &state, bool serverOutput)
{
    CountingHost host;
    TQueryThreadParams params;
    params.Lines = lines;
    params.Session = session.get();
    params.Settings.ServerOutputOn = serverOutput;
    QPointer<TQueryThread> runner = TQueryThread::StartQueryThread(host, params);
    while (!host.finished)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (host.errors)
        state.SkipWithError("the script failed");
    return host.last;
}

void resetInsertTable()
{
    TOracleQuery q;
    q.SetSession(session.get());
    q.SQL().SetText(QStringLiteral("delete from bench_inserts"));
    q.Execute();
    session->Commit();
}

void RunnerInsertScript(benchmark::State &state, bool serverOutput)
{
    for (auto _ : state) {
        state.PauseTiming();
        resetInsertTable();
        state.ResumeTiming();
        const QStringList last = runScript(insertScript, state, serverOutput);
        if (!last.contains(QStringLiteral("1 row inserted.")))
            state.SkipWithError("no feedback");
    }
}

// Reads the session's server output to its end, as the runner does: one call per line and one
// that finds none.
qsizetype readServerOutput()
{
    qsizetype chars = 0;
    TDBMS_Output &output = session->DBMS_Output();
    for (;;) {
        int status = 1;
        chars += output.Get_Line(status).size();
        if (status != 0)
            return chars;
    }
}

void setServerOutput(bool on)
{
    if (on)
        session->DBMS_Output().Enable(2000);
    else
        session->DBMS_Output().Disable();
}

void PlainInsertLoop(benchmark::State &state, bool serverOutput)
{
    for (auto _ : state) {
        state.PauseTiming();
        resetInsertTable();
        state.ResumeTiming();
        setServerOutput(serverOutput);
        TOracleQuery query;
        query.SetSession(session.get());
        qsizetype chars = 0;
        for (const QString &line : std::as_const(insertScript)) {
            query.SQL().SetText(line.left(line.size() - 1)); // without its ";"
            query.Execute();
            if (serverOutput)
                chars += readServerOutput();
        }
        benchmark::DoNotOptimize(query.RowsProcessed());
        benchmark::DoNotOptimize(chars);
    }
}

void RunnerQueryToText(benchmark::State &state, bool serverOutput)
{
    // Two statements, so that the query goes to text as in a script.
    const QStringList lines = { QStringLiteral("prompt rows"), queryText + u';' };
    for (auto _ : state) {
        const QStringList last = runScript(lines, state, serverOutput);
        if (!last.contains(QStringLiteral("Query returned %1 rows.").arg(queryRows)))
            state.SkipWithError("rows missing from the output");
    }
}

void PlainFetchLoop(benchmark::State &state, bool serverOutput)
{
    for (auto _ : state) {
        setServerOutput(serverOutput);
        TOracleQuery query;
        query.SetSession(session.get());
        query.SetReadBuffer(25);
        query.SetStringFieldsOnly(true);
        query.SQL().SetText(queryText);
        query.Execute();
        qsizetype chars = 0;
        qint64 rows = 0;
        if (serverOutput)
            chars += readServerOutput();
        while (!query.Eof()) {
            for (int i = 0; i < query.FieldCount(); ++i)
                chars += query.FieldAsString(i).size();
            ++rows;
            query.Next();
            // A fetch from the server may have brought server output.
            if (serverOutput && !query.Eof() && query.BufferIndex() == 0)
                chars += readServerOutput();
        }
        benchmark::DoNotOptimize(chars);
        if (rows != queryRows)
            state.SkipWithError("wrong row count");
    }
}

// Wall time of each run, and the CPU time of the whole process.
void configure(benchmark::internal::Benchmark *b)
{
    b->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime()->MeasureProcessCPUTime();
}

// Server output on (the default setting) or off.
BENCHMARK_CAPTURE(RunnerInsertScript, on, true)->Apply(configure);
BENCHMARK_CAPTURE(RunnerInsertScript, off, false)->Apply(configure);
BENCHMARK_CAPTURE(PlainInsertLoop, on, true)->Apply(configure);
BENCHMARK_CAPTURE(PlainInsertLoop, off, false)->Apply(configure);
BENCHMARK_CAPTURE(RunnerQueryToText, on, true)->Apply(configure);
BENCHMARK_CAPTURE(RunnerQueryToText, off, false)->Apply(configure);
BENCHMARK_CAPTURE(PlainFetchLoop, on, true)->Apply(configure);
BENCHMARK_CAPTURE(PlainFetchLoop, off, false)->Apply(configure);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bench::InitializeInterleaved(argc, argv, 7);
    const bench::TempHome home("/tmp/qd-runner-bench-XXXXXX");
    session = bench::LogOnWithBenchRows();
    {
        TOracleQuery ddl;
        ddl.SetSession(session.get());
        ddl.SQL().SetText(
            QStringLiteral("create table bench_inserts (id number(9), name varchar2(30))"));
        ddl.Execute();
    }
    for (int i = 0; i < insertCount; ++i)
        insertScript << QStringLiteral("insert into bench_inserts values (%1, 'row %1');").arg(i);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    struct Pair {
        const char *label;
        const char *runner;
        const char *plain;
        double aim;
    };
    const Pair pairs[] = {
        { "10,000-statement INSERT script, runner / plain loop, server output on",
            "RunnerInsertScript/on", "PlainInsertLoop/on", 1.2 },
        { "10,000-statement INSERT script, runner / plain loop, server output off",
            "RunnerInsertScript/off", "PlainInsertLoop/off", 1.2 },
        { "100,000-row query to text, runner / plain fetch loop, server output on",
            "RunnerQueryToText/on", "PlainFetchLoop/on", 1.5 },
        { "100,000-row query to text, runner / plain fetch loop, server output off",
            "RunnerQueryToText/off", "PlainFetchLoop/off", 1.5 },
    };
    for (const Pair &p : pairs)
        reporter.PrintRatio(p.label, p.runner, p.plain, p.aim);
    for (const Pair &p : pairs)
        reporter.PrintCpuRatio(p.label, p.runner, p.plain);
    session.reset();
    benchmark::Shutdown();
    return 0;
}
