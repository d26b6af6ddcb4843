// Opens a dataset over a 1,000,000-row, 5-column select and goes to Last, next to the plain
// TOracleQuery loop over the same rows (Next and the FieldAs... accessors, ReadBuffer 100) in
// the same process, and prints the time ratio and the bytes the record store holds per record
// against the raw value bytes (4 per integer, 8 per float or date, the UTF-8 bytes of a text).
#define QD_BENCH_ORACLE_ROWS
#include "BenchSupport.h"
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

constexpr int rowCount = bench::benchRowCount;
constexpr int arraySize = bench::benchArraySize;
const char *const selectText = bench::benchSelectText;

std::unique_ptr<TOracleSession> session;
double rawBytesPerRecord = 0;
double heldBytesPerRecord = 0;

void setUp()
{
    session = bench::LogOnWithBenchRows("/tmp/qd-dataset-bench-XXXXXX");
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


} // namespace

BENCHMARK(QueryLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DataSetLast)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    setUp();
    bench::RatioReporter reporter("DataSetLast", "QueryLoop");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.secondSeconds > 0)
        std::printf("dataset open + Last / query loop: %.2f (aim: at most 1.5)\n",
            reporter.firstSeconds / reporter.secondSeconds);
    if (rawBytesPerRecord > 0)
        std::printf("bytes held per record: %.1f; raw value bytes per record: %.1f; "
                    "aim: at most %.1f (1.5 x raw + 48)\n",
            heldBytesPerRecord, rawBytesPerRecord, 1.5 * rawBytesPerRecord + 48);
    session->LogOff();
    session.reset();
    return 0;
}
