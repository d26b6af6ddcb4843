#pragma once

// What the fetch benchmarks share: a start-up that repeats every benchmark and interleaves the
// repetitions of both sides, a reporter that keeps the time of every repetition and prints each
// ratio with its aim, and (with the Oracle layer) a stand-in session over a table of five-column
// rows in a temporary home that is removed again.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace qd::bench {

// Initializes the benchmark library with `repetitions` repetitions of every benchmark, run in
// rounds that hold one repetition of each benchmark in random order, so that both sides of a
// ratio see the same state of a shared machine. Flags on the command line come later and win.
// Arguments the library does not know stay in argc/argv.
inline void InitializeInterleaved(int &argc, char **&argv, int repetitions)
{
    static std::string repetitionFlag;
    static std::vector<char *> args;
    repetitionFlag = "--benchmark_repetitions=" + std::to_string(repetitions);
    args.clear();
    args.push_back(argv[0]);
    args.push_back(repetitionFlag.data());
    args.push_back(const_cast<char *>("--benchmark_enable_random_interleaving=true"));
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    argc = count;
    argv = args.data();
}

// Keeps the time per iteration of every repetition of every benchmark, by the benchmark's own
// name (the aggregate rows the library adds after repetitions are left out).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            m_seconds[run.run_name.function_name].push_back(run.GetAdjustedRealTime() / unit);
            m_cpuSeconds[run.run_name.function_name].push_back(run.GetAdjustedCPUTime() / unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Seconds per iteration of each repetition of the named benchmark, in the order they ran.
    const std::vector<double> &Seconds(const std::string &name) const
    {
        static const std::vector<double> none;
        const auto it = m_seconds.find(name);
        return it == m_seconds.end() ? none : it->second;
    }

    // The median of Seconds(name); 0 when it did not run.
    double Median(const std::string &name) const { return median(Seconds(name)); }

    // Prints "<label>: <ratio> (aim: at most <aim>; holds|MISSED)" for the median time of
    // `measured` over the median time of `baseline`, with the lowest and highest ratio of the
    // rounds; returns whether the aim holds. Prints that the ratio is missing when a side did
    // not run (filtered out or failed).
    bool PrintRatio(
        const char *label, const std::string &measured, const std::string &baseline, double aim) const
    {
        const std::vector<double> &a = Seconds(measured);
        const std::vector<double> &b = Seconds(baseline);
        if (a.empty() || b.empty() || median(b) <= 0) {
            std::printf("%s: not measured (a side did not run)\n", label);
            return false;
        }
        const double ratio = median(a) / median(b);
        double low = 0, high = 0;
        const size_t rounds = std::min(a.size(), b.size());
        for (size_t i = 0; i < rounds; ++i) {
            const double r = a[i] / b[i];
            low = i == 0 ? r : std::min(low, r);
            high = i == 0 ? r : std::max(high, r);
        }
        const bool holds = ratio <= aim;
        std::printf("%s: %.2f (median of %zu rounds, range %.2f-%.2f; aim: at most %.2f; %s)\n",
            label, ratio, rounds, low, high, aim, holds ? "holds" : "MISSED");
        return holds;
    }

    // Prints "<label>, CPU time: <ratio>" for the median CPU time of `measured` over that of
    // `baseline`, with the lowest and highest ratio of the rounds. The CPU time is the calling
    // thread's unless the benchmarks measure the process's (MeasureProcessCPUTime).
    void PrintCpuRatio(
        const char *label, const std::string &measured, const std::string &baseline) const
    {
        const auto a = m_cpuSeconds.find(measured);
        const auto b = m_cpuSeconds.find(baseline);
        if (a == m_cpuSeconds.end() || b == m_cpuSeconds.end() || median(b->second) <= 0) {
            std::printf("%s, CPU time: not measured (a side did not run)\n", label);
            return;
        }
        double low = 0, high = 0;
        const size_t rounds = std::min(a->second.size(), b->second.size());
        for (size_t i = 0; i < rounds; ++i) {
            const double r = b->second[i] > 0 ? a->second[i] / b->second[i] : 0;
            low = i == 0 ? r : std::min(low, r);
            high = i == 0 ? r : std::max(high, r);
        }
        std::printf("%s, CPU time: %.2f (median of %zu rounds, range %.2f-%.2f)\n", label,
            median(a->second) / median(b->second), rounds, low, high);
    }

private:
    static double median(std::vector<double> values)
    {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    std::map<std::string, std::vector<double>> m_seconds;
    std::map<std::string, std::vector<double>> m_cpuSeconds;
};

// Prints "<label>: <value> (aim: at most <aim>; holds|MISSED)"; returns whether it holds.
inline bool PrintAim(const char *label, double value, double aim, const char *unit = "")
{
    const bool holds = value <= aim;
    std::printf("%s: %.1f%s (aim: at most %.1f%s; %s)\n", label, value, unit, aim, unit,
        holds ? "holds" : "MISSED");
    return holds;
}

} // namespace qd::bench

#include <cstdlib>
#include <filesystem>

namespace qd::bench {

// A fresh directory made from a mkdtemp pattern (ending in XXXXXX), set as QD_HOME, and removed
// with everything in it when this goes. Exits the process when the directory cannot be made.
class TempHome {
public:
    explicit TempHome(const char *pattern)
        : m_dir(pattern)
    {
        if (!mkdtemp(m_dir.data())) {
            std::perror(pattern);
            std::exit(1);
        }
        setenv("QD_HOME", m_dir.c_str(), 1);
        unsetenv("QD_STANDIN_CONFIG");
    }
    ~TempHome()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    const std::string &Path() const { return m_dir; }

private:
    std::string m_dir;
};

// The row count named by the first argument left after the benchmark flags, else `fallback`;
// exits with a message when it is not a number in [1000, 100000000].
inline int RowCountArgument(int argc, char **argv, int fallback)
{
    if (argc < 2)
        return fallback;
    char *end = nullptr;
    const long rows = std::strtol(argv[1], &end, 10);
    if (!end || *end || rows < 1000 || rows > 100000000) {
        std::fprintf(stderr, "%s: the row count must be a number from 1000 to 100000000, not %s\n",
            argv[0], argv[1]);
        std::exit(2);
    }
    return static_cast<int>(rows);
}

} // namespace qd::bench

#ifdef QD_BENCH_ORACLE_ROWS
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <QString>

#include <memory>

namespace qd::bench {

constexpr int benchRowCount = 1000000;
constexpr int benchArraySize = 100;
inline const char *const benchSelectText = "select id, amount, name, created, qty from bench_rows";

// Logs on to the stand-in (in the QD_HOME of a TempHome) and fills bench_rows with rowCount
// rows.
inline std::unique_ptr<TOracleSession> LogOnWithBenchRows(int rowCount = benchRowCount)
{
    SetOCIDLL(QStringLiteral(QD_STANDIN_PATH));
    auto session = std::make_unique<TOracleSession>();
    session->SetLogonUsername(QStringLiteral("DEMO"));
    session->SetLogonPassword(QStringLiteral("DEMO"));
    session->SetLogonDatabase(QStringLiteral("DEMO"));
    session->LogOn();

    TOracleQuery ddl;
    ddl.SetSession(session.get());
    ddl.SQL().SetText(QStringLiteral("create table bench_rows (id number(9), amount number(12,2), "
                                     "name varchar2(30), created date, qty number(5))"));
    ddl.Execute();

    TOracleQuery insert;
    insert.SetSession(session.get());
    insert.SQL().SetText(
        QStringLiteral("insert into bench_rows values (:id, :amount, :name, :created, :qty)"));
    insert.DeclareVariable(QStringLiteral("id"), SQLT_INT);
    insert.DeclareVariable(QStringLiteral("amount"), SQLT_FLT);
    insert.DeclareVariable(QStringLiteral("name"), SQLT_STR);
    insert.DeclareVariable(QStringLiteral("created"), SQLT_DAT);
    insert.DeclareVariable(QStringLiteral("qty"), SQLT_INT);
    constexpr int insertBatch = 10000;
    for (int start = 0; start < rowCount; start += insertBatch) {
        VariantArray ids, amounts, names, dates, qtys;
        for (int i = start; i < std::min(rowCount, start + insertBatch); ++i) {
            ids.push_back(i);
            amounts.push_back(i * 0.25);
            names.push_back(QStringLiteral("name %1").arg(i));
            dates.push_back(Variant::FromDateTime(45000.0 + i % 1000 + 0.5));
            qtys.push_back(i % 97);
        }
        insert.SetVariable(QStringLiteral("id"), Variant(ids));
        insert.SetVariable(QStringLiteral("amount"), Variant(amounts));
        insert.SetVariable(QStringLiteral("name"), Variant(names));
        insert.SetVariable(QStringLiteral("created"), Variant(dates));
        insert.SetVariable(QStringLiteral("qty"), Variant(qtys));
        insert.Execute();
    }
    session->Commit();
    return session;
}

} // namespace qd::bench
#endif
