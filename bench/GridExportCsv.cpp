// Exports 500,000 rows of 5 columns to a CSV file through the grid export (the rows read through
// the worksheet's dataset, as the grid thread reads them) and fetches the same rows as text with
// the query loop (TOracleQuery, every field as a string), in the same process, and prints the
// ratio.
#define QD_BENCH_ORACLE_ROWS
#include "BenchSupport.h"
#include "oracle_data/OracleDataSet.h"
#include "worksheet/GridExport.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <memory>

namespace {

using namespace qd;

constexpr int exportRows = 500000;
const QString exportSelect = QString::fromLatin1(bench::benchSelectText)
    + QStringLiteral(" where id < ") + QString::number(exportRows);

std::unique_ptr<TOracleSession> session;
QString exportFile;

void ExportCsv(benchmark::State &state)
{
    for (auto _ : state) {
        TOracleDataSet dataSet;
        dataSet.SetSession(session.get());
        dataSet.SetReadOnly(true);
        dataSet.SetReadBuffer(bench::benchArraySize);
        dataSet.SQL().SetText(exportSelect);
        dataSet.Open();
        TGridExportOptions options;
        options.FileName = exportFile;
        options.Format = gefCommaSeparated;
        ExportGridToFile(dataSet, *session, options);
        // Both loops see every row: the heading and one line per row.
        state.PauseTiming();
        QFile file(exportFile);
        const qsizetype lines = file.open(QIODevice::ReadOnly) ? file.readAll().count("\r\n") : 0;
        if (lines != exportRows + 1)
            state.SkipWithError("wrong line count");
        state.ResumeTiming();
    }
}

void QueryAsText(benchmark::State &state)
{
    TOracleQuery query;
    query.SetSession(session.get());
    query.SetReadBuffer(bench::benchArraySize);
    query.SetStringFieldsOnly(true);
    query.SQL().SetText(exportSelect);
    for (auto _ : state) {
        query.Execute();
        qint64 rows = 0;
        qsizetype chars = 0;
        while (!query.Eof()) {
            for (int i = 0; i < 5; ++i)
                chars += query.FieldAsString(i).size();
            ++rows;
            query.Next();
        }
        benchmark::DoNotOptimize(chars);
        if (rows != exportRows)
            state.SkipWithError("wrong row count");
    }
}

} // namespace

BENCHMARK(ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(QueryAsText)->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const bench::TempHome home("/tmp/qd-export-bench-XXXXXX");
    session = bench::LogOnWithBenchRows();
    exportFile = QDir(qEnvironmentVariable("QD_HOME")).filePath(QStringLiteral("export.csv"));
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("grid export to CSV / query loop as text", "ExportCsv", "QueryAsText", 1.5);
    QFile::remove(exportFile);
    session->LogOff();
    session.reset();
    return 0;
}
