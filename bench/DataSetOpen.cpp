// Opens a dataset over a five-column select (1,000,000 rows, or the count given as the first
// argument) and goes to Last, next to the plain TOracleQuery loop over the same rows (Next and
// the FieldAs... accessors, ReadBuffer 100) in the same process, and prints the time ratio, the
// time per row, and the bytes the record store holds per record against the raw value bytes (4
// per integer, 8 per float or date, the UTF-8 bytes of a text). Run it with 100000 and 3000000
// to see that the time per row stays flat.
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

int rowCount = bench::benchRowCount;
constexpr int arraySize = bench::benchArraySize;
const char *const selectText = bench::benchSelectText;

std::unique_ptr<TOracleSession> session;
double heldBytesPerRecord = 0;

// The raw bytes of the values per record, counted once, outside the timed loops.
double rawBytesPerRecord()
{
    TOracleQuery query;
    query.SetSession(session.get());
    query.SetReadBuffer(arraySize);
    query.SQL().SetText(QString::fromLatin1(selectText));
    query.Execute();
    qint64 rows = 0;
    qint64 bytes = 0;
    while (!query.Eof()) {
        bytes += 4 + 8 + query.FieldAsString(2).toUtf8().size() + 8 + 4;
        ++rows;
        query.Next();
    }
    return rows ? static_cast<double>(bytes) / static_cast<double>(rows) : 0;
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
        qsizetype chars = 0;
        while (!query.Eof()) {
            sum += query.FieldAsInteger(0);
            total += query.FieldAsFloat(1);
            chars += query.FieldAsString(2).size();
            total += query.FieldAsDate(3);
            sum += query.FieldAsInteger(4);
            ++rows;
            query.Next();
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(chars);
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
        state.PauseTiming();
        heldBytesPerRecord = static_cast<double>(ds.RecordStore()->BytesHeld()) / rowCount;
        ds.Close();
        state.ResumeTiming();
    }
}


} // namespace

BENCHMARK(QueryLoop)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(DataSetLast)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    bench::InitializeInterleaved(argc, argv, 7);
    rowCount = bench::RowCountArgument(argc, argv, bench::benchRowCount);
    const bench::TempHome home("/tmp/qd-dataset-bench-XXXXXX");
    session = bench::LogOnWithBenchRows(rowCount);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("dataset open + Last / query loop", "DataSetLast", "QueryLoop", 1.3);
    const double dataSetSeconds = reporter.Median("DataSetLast");
    const double querySeconds = reporter.Median("QueryLoop");
    std::printf("%d rows: dataset open + Last %.1f ns per row, query loop %.1f ns per row\n",
        rowCount, dataSetSeconds * 1e9 / rowCount, querySeconds * 1e9 / rowCount);
    const double raw = rawBytesPerRecord();
    if (heldBytesPerRecord > 0 && raw > 0) {
        std::printf("raw value bytes per record: %.1f\n", raw);
        bench::PrintAim("bytes held per record (aim 1.5 x raw + 48)", heldBytesPerRecord,
            1.5 * raw + 48);
    }
    session->LogOff();
    session.reset();
    return 0;
}
