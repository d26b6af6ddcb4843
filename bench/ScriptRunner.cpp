// The worksheet's script runner against plain TOracleQuery loops on the same stand-in session,
// in the same process: a 10,000-statement INSERT script against the same statements executed
// one by one, and a 100,000-row query written as text against the plain fetch loop that reads
// every value as text. The runner works as in the window: its worker thread, calls on the GUI
// thread for output and status. Each is measured with server output on (the default setting)
// and off; the plain loops do the same work as the runner for it: with server output on they
// read it where the runner must (after each statement, and after each fetch from the server),
// as a command-line client does.
#define QD_BENCH_ORACLE_ROWS
#include "BenchSupport.h"
#include "oracle/OraclePackage.h"
#include "worksheet/QueryThread.h"
#include "worksheet/ScriptHost.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QPointer>
#include <QStringList>

#include <cstdio>
#include <map>
#include <string>
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
QStringList runScript(const QStringList &lines, benchmark::State &state, bool serverOutput = true)
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

void RunnerInsertScript(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        resetInsertTable();
        state.ResumeTiming();
        const QStringList last = runScript(insertScript, state, state.range(0) != 0);
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

void PlainInsertLoop(benchmark::State &state)
{
    const bool serverOutput = state.range(0) != 0;
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

void RunnerQueryToText(benchmark::State &state)
{
    // Two statements, so that the query goes to text as in a script.
    const QStringList lines = { QStringLiteral("prompt rows"), queryText + u';' };
    for (auto _ : state) {
        const QStringList last = runScript(lines, state, state.range(0) != 0);
        if (!last.contains(QStringLiteral("Query returned %1 rows.").arg(queryRows)))
            state.SkipWithError("rows missing from the output");
    }
}

void PlainFetchLoop(benchmark::State &state)
{
    const bool serverOutput = state.range(0) != 0;
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

// Argument: server output on (1, the default setting) or off (0).
BENCHMARK(RunnerInsertScript)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PlainInsertLoop)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(RunnerQueryToText)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PlainFetchLoop)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

// Keeps the times of the runs by name ("RunnerInsertScript/1", ...).
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const double seconds
                = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            std::string name = run.benchmark_name();
            name = name.substr(0, name.find("/iterations"));
            times[name] = seconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double ratio(const std::string &runner, const std::string &plain) const
    {
        const auto a = times.find(runner);
        const auto b = times.find(plain);
        return a != times.end() && b != times.end() && b->second > 0 ? a->second / b->second : 0;
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const bench::TempHome home("/tmp/qd-runner-bench-XXXXXX");
    session = bench::LogOnWithBenchRows();
    {
        TOracleQuery ddl;
        ddl.SetSession(session.get());
        ddl.SQL().SetText(QStringLiteral("create table bench_inserts (id number(9), name varchar2(30))"));
        ddl.Execute();
    }
    for (int i = 0; i < insertCount; ++i)
        insertScript << QStringLiteral("insert into bench_inserts values (%1, 'row %1');").arg(i);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("10,000-statement INSERT script: runner / plain query loop: %.2f with server "
                "output, %.2f without (aim: at most 1.2)\n",
        reporter.ratio("RunnerInsertScript/1", "PlainInsertLoop/1"),
        reporter.ratio("RunnerInsertScript/0", "PlainInsertLoop/0"));
    std::printf("100,000-row query to text: runner / plain fetch loop: %.2f with server output, "
                "%.2f without (aim: at most 1.5)\n",
        reporter.ratio("RunnerQueryToText/1", "PlainFetchLoop/1"),
        reporter.ratio("RunnerQueryToText/0", "PlainFetchLoop/0"));
    session.reset();
    benchmark::Shutdown();
    return 0;
}
