#include "oracle_data/OracleCompress.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

// Throughput of the BLOB coder on a 10 MB text value, next to zlib's on the same bytes. The
// stored format is fixed, so this is for information: how much a compressed BLOB column
// costs per fetched or posted megabyte compared with a general-purpose coder.

namespace {

const QByteArray &textValue()
{
    static const QByteArray value = [] {
        static const char *const words[] = { "select ", "ename, ", "sal, ", "deptno ", "from ",
            "emp ", "where ", "sal > ", "1000 ", "and ", "job = 'CLERK' ", "order by ", "1;\n",
            "-- monthly report\n", "update ", "set ", "comm = comm * 1.1 ", "commit;\n" };
        QByteArray out;
        std::uint32_t x = 12345;
        while (out.size() < 10 * 1024 * 1024) {
            x = (x * 1103515245u + 12345u) & 0x7FFFFFFFu;
            out.append(words[(x >> 16) % (sizeof(words) / sizeof(words[0]))]);
            if ((x & 0x3F) == 0) // a number now and then, as real text has
                out.append(QByteArray::number(x % 100000)).append(' ');
        }
        out.truncate(10 * 1024 * 1024);
        return out;
    }();
    return value;
}

QByteArray lzhCompressed()
{
    QByteArray out;
    qd::LzhCompress(textValue(), out);
    return out;
}

QByteArray zlibCompressed()
{
    const QByteArray &in = textValue();
    uLongf size = compressBound(uLong(in.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(out.data()), &size,
            reinterpret_cast<const Bytef *>(in.constData()), uLong(in.size()),
            Z_DEFAULT_COMPRESSION)
        != Z_OK)
        throw std::runtime_error("zlib compress failed");
    out.truncate(qsizetype(size));
    return out;
}

// Seconds per run of each coder, for the summary against zlib printed at the end.
double lzhCompressSeconds = 0, zlibCompressSeconds = 0;
double lzhDecompressSeconds = 0, zlibDecompressSeconds = 0;

class Stopwatch {
public:
    explicit Stopwatch(double &perRun)
        : m_perRun(perRun)
    {
    }
    ~Stopwatch()
    {
        if (m_runs > 0)
            m_perRun = std::chrono::duration<double>(m_total).count() / double(m_runs);
    }
    void add(std::chrono::steady_clock::duration d)
    {
        m_total += d;
        ++m_runs;
    }

private:
    double &m_perRun;
    std::chrono::steady_clock::duration m_total {};
    std::int64_t m_runs = 0;
};

void report(benchmark::State &state, qsizetype compressedSize)
{
    state.SetBytesProcessed(std::int64_t(state.iterations()) * textValue().size());
    state.counters["ratio"] = double(compressedSize) / double(textValue().size());
}

void BM_LzhCompress(benchmark::State &state)
{
    qsizetype size = 0;
    Stopwatch watch(lzhCompressSeconds);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QByteArray out;
        qd::LzhCompress(textValue(), out);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
        watch.add(std::chrono::steady_clock::now() - start);
    }
    report(state, size);
}

void BM_ZlibCompress(benchmark::State &state)
{
    qsizetype size = 0;
    Stopwatch watch(zlibCompressSeconds);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const QByteArray out = zlibCompressed();
        size = out.size();
        benchmark::DoNotOptimize(out.data());
        watch.add(std::chrono::steady_clock::now() - start);
    }
    report(state, size);
}

void BM_LzhDecompress(benchmark::State &state)
{
    const QByteArray packed = lzhCompressed();
    Stopwatch watch(lzhDecompressSeconds);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QByteArray out;
        qd::LzhDecompress(packed, out);
        if (out != textValue())
            state.SkipWithError("round trip differs");
        benchmark::DoNotOptimize(out.data());
        watch.add(std::chrono::steady_clock::now() - start);
    }
    report(state, packed.size());
}

void BM_ZlibDecompress(benchmark::State &state)
{
    const QByteArray packed = zlibCompressed();
    Stopwatch watch(zlibDecompressSeconds);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QByteArray out(textValue().size(), Qt::Uninitialized);
        uLongf size = uLongf(out.size());
        if (uncompress(reinterpret_cast<Bytef *>(out.data()), &size,
                reinterpret_cast<const Bytef *>(packed.constData()), uLong(packed.size()))
            != Z_OK)
            state.SkipWithError("zlib uncompress failed");
        benchmark::DoNotOptimize(out.data());
        watch.add(std::chrono::steady_clock::now() - start);
    }
    report(state, packed.size());
}

} // namespace

BENCHMARK(BM_LzhCompress)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibCompress)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LzhDecompress)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibDecompress)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (lzhCompressSeconds > 0 && zlibCompressSeconds > 0)
        std::printf("compression:   BLOB coder takes %.2fx the time of zlib\n",
            lzhCompressSeconds / zlibCompressSeconds);
    if (lzhDecompressSeconds > 0 && zlibDecompressSeconds > 0)
        std::printf("decompression: BLOB coder takes %.2fx the time of zlib\n",
            lzhDecompressSeconds / zlibDecompressSeconds);
    return 0;
}
