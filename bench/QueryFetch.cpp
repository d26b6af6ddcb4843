// Fetches 1,000,000 rows of 5 columns with TOracleQuery (Next and the FieldAs... accessors,
// ReadBuffer 100) and the same rows with a raw fetch loop over the same loaded client library
// and session, in the same process, and prints the ratio. The raw loop turns each value into
// what a caller uses (an int, a double, a QString, a day count), as the accessors do.
#define QD_BENCH_ORACLE_ROWS
#include "BenchSupport.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using namespace qd;

constexpr int rowCount = bench::benchRowCount;
constexpr int arraySize = bench::benchArraySize;
const char *const selectText = bench::benchSelectText;

std::unique_ptr<TOracleSession> session;

void QueryNext(benchmark::State &state)
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

void RawFetch(benchmark::State &state)
{
    const OracleEntryPoints &oci = session->entryPoints();
    OCIEnv *env = session->environmentHandle();
    void *errorHandle = nullptr;
    oci.OCIHandleAlloc(env, &errorHandle, OCI_HTYPE_ERROR, 0, nullptr);
    auto *err = static_cast<OCIError *>(errorHandle);
    qint32 ids[arraySize];
    double amounts[arraySize];
    char names[arraySize][31];
    ub1 dates[arraySize][7];
    qint32 qtys[arraySize];
    sb2 ind[5][arraySize];
    ub2 len[5][arraySize];
    for (auto _ : state) {
        void *stmtHandle = nullptr;
        oci.OCIHandleAlloc(env, &stmtHandle, OCI_HTYPE_STMT, 0, nullptr);
        auto *stmt = static_cast<OCIStmt *>(stmtHandle);
        oci.OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText *>(selectText),
            static_cast<ub4>(std::strlen(selectText)), OCI_NTV_SYNTAX, OCI_DEFAULT);
        ub4 zero = 0;
        oci.OCIAttrSet(stmt, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_ROWS, err);
        oci.OCIStmtExecute(
            session->ServiceContext(), stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        OCIDefine *d = nullptr;
        oci.OCIDefineByPos(
            stmt, &d, err, 1, ids, 4, SQLT_INT, ind[0], len[0], nullptr, OCI_DEFAULT);
        oci.OCIDefineByPos(
            stmt, &d, err, 2, amounts, 8, SQLT_FLT, ind[1], len[1], nullptr, OCI_DEFAULT);
        oci.OCIDefineByPos(
            stmt, &d, err, 3, names, 31, SQLT_STR, ind[2], len[2], nullptr, OCI_DEFAULT);
        oci.OCIDefineByPos(
            stmt, &d, err, 4, dates, 7, SQLT_DAT, ind[3], len[3], nullptr, OCI_DEFAULT);
        oci.OCIDefineByPos(
            stmt, &d, err, 5, qtys, 4, SQLT_INT, ind[4], len[4], nullptr, OCI_DEFAULT);
        qint64 rows = 0;
        qint64 sum = 0;
        double total = 0;
        qsizetype chars = 0;
        ub4 before = 0;
        for (;;) {
            const sword status
                = oci.OCIStmtFetch(stmt, err, arraySize, OCI_FETCH_NEXT, OCI_DEFAULT);
            ub4 count = 0;
            oci.OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err);
            const int got = static_cast<int>(count - before);
            before = count;
            for (int r = 0; r < got; ++r) {
                sum += ind[0][r] == -1 ? 0 : ids[r];
                total += ind[1][r] == -1 ? 0 : amounts[r];
                if (ind[2][r] != -1)
                    chars += QString::fromUtf8(
                        names[r], static_cast<qsizetype>(strnlen(names[r], 31)))
                                 .size();
                total += ind[3][r] == -1 ? 0 : DecodeOracleDate(dates[r]);
                sum += ind[4][r] == -1 ? 0 : qtys[r];
            }
            rows += got;
            if (status != OCI_SUCCESS || got < arraySize)
                break;
        }
        oci.OCIHandleFree(stmt, OCI_HTYPE_STMT);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(chars);
        if (rows != rowCount)
            state.SkipWithError("wrong row count");
    }
    oci.OCIHandleFree(err, OCI_HTYPE_ERROR);
}


} // namespace

BENCHMARK(QueryNext)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RawFetch)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    bench::InitializeInterleaved(argc, argv, 7);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const bench::TempHome home("/tmp/qd-query-bench-XXXXXX");
    session = bench::LogOnWithBenchRows();
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("query fetch / raw client-library loop", "QueryNext", "RawFetch", 1.3);
    session->LogOff();
    session.reset();
    return 0;
}
