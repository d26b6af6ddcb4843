// Opens a dataset over a 1,000,000-row, 5-column select and goes to Last, next to the plain
// TOracleQuery loop over the same rows (Next and the FieldAs... accessors, ReadBuffer 100) in
// the same process, and prints the time ratio and the bytes the record store holds per record
// against the raw value bytes (4 per integer, 8 per float or date, the UTF-8 bytes of a text).
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleDataSet.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using namespace qd;

constexpr int rowCount = 1000000;
constexpr int arraySize = 100;
constexpr int insertBatch = 10000;
const char *const selectText = "select id, amount, name, created, qty from bench_rows";

std::unique_ptr<TOracleSession> session;
double dataSetSeconds = 0;
double querySeconds = 0;
double rawBytesPerRecord = 0;
double heldBytesPerRecord = 0;

void setUp()
{
    char dir[] = "/tmp/qd-dataset-bench-XXXXXX";
    if (!mkdtemp(dir))
        std::exit(1);
    setenv("QD_HOME", dir, 1);
    unsetenv("QD_STANDIN_CONFIG");
    SetOCIDLL(QStringLiteral(QD_STANDIN_PATH));
    session = std::make_unique<TOracleSession>();
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
    for (int start = 0; start < rowCount; start += insertBatch) {
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
}

void QueryLoop(benchmark::State &state)
{
    TOracleQuery query;
    query.SetSession(session.get());
    query.SetReadBuffer(arraySize);
    query.SQL().SetText(QString::fromLatin1(selectText));
    for (auto _ : state) {
        query.Execute();
        qint64 rows = 0;
        qint64 sum = 0;
        double total = 0;
        qint64 rawBytes = 0;
        while (!query.Eof()) {
            sum += query.FieldAsInteger(0);
            total += query.FieldAsFloat(1);
            rawBytes += 4 + 8 + query.FieldAsString(2).toUtf8().size() + 8 + 4;
            total += query.FieldAsDate(3);
            sum += query.FieldAsInteger(4);
            ++rows;
            query.Next();
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(total);
        rawBytesPerRecord = static_cast<double>(rawBytes) / static_cast<double>(rows);
        if (rows != rowCount)
            state.SkipWithError("wrong row count");
    }
}

void DataSetLast(benchmark::State &state)
{
    for (auto _ : state) {
        TOracleDataSet ds;
        ds.SetSession(session.get());
        ds.SetReadBuffer(arraySize);
        ds.SetQueryAllRecords(false);
        ds.SetSQLText(QString::fromLatin1(selectText));
        ds.Open();
        ds.Last();
        if (ds.RecordCount() != rowCount
            || ds.FieldByName(QStringLiteral("ID"))->AsInteger() != rowCount - 1)
            state.SkipWithError("wrong rows");
        heldBytesPerRecord = static_cast<double>(ds.RecordStore()->BytesHeld()) / rowCount;
        state.PauseTiming();
        ds.Close();
        state.ResumeTiming();
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const double seconds
                = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.benchmark_name().rfind("DataSetLast", 0) == 0)
                dataSetSeconds = seconds;
            else if (run.benchmark_name().rfind("QueryLoop", 0) == 0)
                querySeconds = seconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK(QueryLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DataSetLast)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    setUp();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (querySeconds > 0)
        std::printf("dataset open + Last / query loop: %.2f (aim: at most 1.5)\n",
            dataSetSeconds / querySeconds);
    if (rawBytesPerRecord > 0)
        std::printf("bytes held per record: %.1f; raw value bytes per record: %.1f; "
                    "aim: at most %.1f (1.5 x raw + 48)\n",
            heldBytesPerRecord, rawBytesPerRecord, 1.5 * rawBytesPerRecord + 48);
    session->LogOff();
    session.reset();
    return 0;
}
