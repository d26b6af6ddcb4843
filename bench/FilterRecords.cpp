#include "classlib/Variant.h"
#include "oracle_data/ColumnExpression.h"
#include "oracle_data/OracleFilter.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

// The cost of a client-side filter: 1,000,000 records of a vector-backed field source are run
// through a three-term filter, and the same records through the same loop without a filter. The
// summary prints the filtered time per record against the unfiltered one.

namespace {

constexpr int RecordCount = 1000000;
const QString FilterText = QStringLiteral("([DEPTNO] = 20) AND ([SAL] > 1500) OR ([ENAME] = 'S*')");

// Column-wise values, looked up the way a dataset's FieldByName does: by name, ignoring case.
class Records : public qd::FilterFieldSource {
public:
    Records()
    {
        static const char *const names[] = { "SMITH", "ALLEN", "WARD", "JONES", "MARTIN", "BLAKE",
            "CLARK", "SCOTT", "KING", "TURNER", "ADAMS", "JAMES", "FORD", "MILLER" };
        for (std::vector<qd::Variant> &column : m_columns)
            column.reserve(RecordCount);
        std::uint32_t x = 12345;
        for (int i = 0; i < RecordCount; ++i) {
            x = x * 1103515245u + 12345u;
            m_columns[0].push_back(qd::Variant(QString::fromLatin1(names[(x >> 16) % 14])));
            m_columns[1].push_back(qd::Variant(static_cast<double>((x >> 8) % 5000)));
            m_columns[2].push_back(qd::Variant(static_cast<int>(10 * (1 + (x >> 4) % 4))));
        }
    }

    int FieldByName(const QString &name) const override
    {
        static const QLatin1String names[]
            = { QLatin1String("ENAME"), QLatin1String("SAL"), QLatin1String("DEPTNO") };
        for (int i = 0; i < 3; ++i)
            if (name.compare(names[i], Qt::CaseInsensitive) == 0)
                return i;
        throw qd::EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    }
    qd::TExpressionKind FieldKind(int field) const override
    {
        static const qd::TExpressionKind kinds[] = { qd::TExpressionKind::String,
            qd::TExpressionKind::Float, qd::TExpressionKind::Integer };
        return kinds[field];
    }
    qd::Variant FieldValue(int field) const override { return m_columns[field][m_current]; }

    void setCurrent(int row) { m_current = row; }

private:
    std::vector<qd::Variant> m_columns[3];
    int m_current = 0;
};

Records &records()
{
    static Records value;
    return value;
}

double filteredSeconds = 0;
double unfilteredSeconds = 0;

// The loop a dataset runs to filter its held records: make each record current, ask the filter.
int runFilter(const qd::TExpression *filter)
{
    Records &source = records();
    int accepted = 0;
    for (int row = 0; row < RecordCount; ++row) {
        source.setCurrent(row);
        if (qd::FilterAccept(filter))
            ++accepted;
    }
    return accepted;
}

void measure(benchmark::State &state, const qd::TExpression *filter, double &seconds)
{
    double total = 0;
    std::int64_t runs = 0;
    int accepted = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        accepted = runFilter(filter);
        benchmark::DoNotOptimize(accepted);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
    }
    seconds = total / double(runs);
    state.SetItemsProcessed(state.iterations() * RecordCount);
    state.counters["accepted"] = accepted;
}

void BM_Unfiltered(benchmark::State &state)
{
    records();
    measure(state, nullptr, unfilteredSeconds);
}

void BM_ThreeTermFilter(benchmark::State &state)
{
    const std::unique_ptr<qd::TExpression> filter
        = qd::ParseDataSetFilter(FilterText, 0, records());
    measure(state, filter.get(), filteredSeconds);
}

BENCHMARK(BM_Unfiltered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreeTermFilter)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (unfilteredSeconds > 0 && filteredSeconds > 0)
        std::printf("\n%d records: filtered %.1f ms, unfiltered %.1f ms, ratio %.1f : 1 "
                    "(%.0f ns per record for the filter)\n",
            RecordCount, filteredSeconds * 1e3, unfilteredSeconds * 1e3,
            filteredSeconds / unfilteredSeconds,
            (filteredSeconds - unfilteredSeconds) / RecordCount * 1e9);
    return 0;
}
