#pragma once

// What the fetch benchmarks share: a reporter that keeps the time per iteration of two runs for
// the ratio printed at the end, and (with the Oracle layer) a stand-in session over a table of
// 1,000,000 five-column rows.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace qd::bench {

// Keeps the time per iteration of the runs whose names start with the two given prefixes.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter(std::string first, std::string second)
        : m_first(std::move(first))
        , m_second(std::move(second))
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const double seconds
                = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.benchmark_name().rfind(m_first, 0) == 0)
                firstSeconds = seconds;
            else if (run.benchmark_name().rfind(m_second, 0) == 0)
                secondSeconds = seconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double firstSeconds = 0;
    double secondSeconds = 0;

private:
    std::string m_first;
    std::string m_second;
};

} // namespace qd::bench

#ifdef QD_BENCH_ORACLE_ROWS
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <QString>

#include <cstdlib>
#include <memory>

namespace qd::bench {

constexpr int benchRowCount = 1000000;
constexpr int benchArraySize = 100;
inline const char *const benchSelectText = "select id, amount, name, created, qty from bench_rows";

// Logs on to the stand-in in a fresh QD_HOME made from tempPattern (ending in XXXXXX) and fills
// bench_rows with benchRowCount rows; exits the process when the directory cannot be made.
inline std::unique_ptr<TOracleSession> LogOnWithBenchRows(const char *tempPattern)
{
    std::string dir = tempPattern;
    if (!mkdtemp(dir.data()))
        std::exit(1);
    setenv("QD_HOME", dir.c_str(), 1);
    unsetenv("QD_STANDIN_CONFIG");
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
    for (int start = 0; start < benchRowCount; start += insertBatch) {
        VariantArray ids, amounts, names, dates, qtys;
        for (int i = start; i < start + insertBatch; ++i) {
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
