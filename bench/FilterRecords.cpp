#include "classlib/Exception.h"
#include "classlib/Variant.h"
#include "oracle_data/FilteredVectorDataSet.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>

// The cost of a client-side filter: the framework's test dataset holds 1,000,000 records and is
// walked from the first record to the last, once filtered by a three-term Filter text and once
// unfiltered. The summary prints the filtered walk's time against the unfiltered one.

namespace {

constexpr int RecordCount = 1000000;
const QString FilterText = QStringLiteral("([DEPTNO] = 20) AND ([SAL] > 1500) OR ([ENAME] = 'S*')");

qd::test::FilteredVectorDataSet &dataSet()
{
    static std::unique_ptr<qd::test::FilteredVectorDataSet> ds = [] {
        static const char *const names[] = { "SMITH", "ALLEN", "WARD", "JONES", "MARTIN", "BLAKE",
            "CLARK", "SCOTT", "KING", "TURNER", "ADAMS", "JAMES", "FORD", "MILLER" };
        auto ds = std::make_unique<qd::test::FilteredVectorDataSet>();
        ds->FieldDefs().Add(QStringLiteral("ENAME"), qd::ftString, 10);
        ds->FieldDefs().Add(QStringLiteral("SAL"), qd::ftFloat);
        ds->FieldDefs().Add(QStringLiteral("DEPTNO"), qd::ftInteger);
        std::vector<qd::VariantArray> rows;
        rows.reserve(RecordCount);
        std::uint32_t x = 12345;
        for (int i = 0; i < RecordCount; ++i) {
            x = x * 1103515245u + 12345u;
            rows.push_back({ qd::Variant(QString::fromLatin1(names[(x >> 16) % 14])),
                qd::Variant(static_cast<double>((x >> 8) % 5000)),
                qd::Variant(static_cast<int>(10 * (1 + (x >> 4) % 4))) });
        }
        ds->SetRows(std::move(rows));
        ds->SetFilter(FilterText);
        ds->Open();
        // No controls are attached; keep the walk free of their notifications all the same.
        ds->DisableControls();
        return ds;
    }();
    return *ds;
}

double filteredSeconds = 0;
double unfilteredSeconds = 0;

// Walks every record the dataset shows, as a grid or a report would.
int walk(qd::TDataSet &ds)
{
    int shown = 0;
    ds.First();
    while (!ds.Eof()) {
        ++shown;
        ds.Next();
    }
    return shown;
}

void measure(benchmark::State &state, bool filtered, double &seconds)
{
    qd::TDataSet &ds = dataSet();
    ds.SetFiltered(filtered);
    double total = 0;
    std::int64_t runs = 0;
    int shown = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        shown = walk(ds);
        benchmark::DoNotOptimize(shown);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
    }
    seconds = total / double(runs);
    state.SetItemsProcessed(state.iterations() * RecordCount);
    state.counters["shown"] = shown;
}

void BM_Unfiltered(benchmark::State &state)
{
    measure(state, false, unfilteredSeconds);
}

void BM_ThreeTermFilter(benchmark::State &state)
{
    measure(state, true, filteredSeconds);
}

BENCHMARK(BM_Unfiltered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreeTermFilter)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const qd::Exception &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return 1;
    }
    benchmark::Shutdown();
    if (unfilteredSeconds > 0 && filteredSeconds > 0)
        std::printf("\n%d records: filtered walk %.1f ms, unfiltered walk %.1f ms, ratio %.2f : 1 "
                    "(%.0f ns per record for the filter)\n",
            RecordCount, filteredSeconds * 1e3, unfilteredSeconds * 1e3,
            filteredSeconds / unfilteredSeconds,
            (filteredSeconds - unfilteredSeconds) / RecordCount * 1e9);
    return 0;
}
