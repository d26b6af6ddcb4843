// Fetches 1,000,000 rows of 6 columns (two integers, two texts, a number and a DATE) through the
// stand-in's C interface in arrays of 100, and the same rows through a raw SQLite loop in the same
// process that fills the same arrays the same way (texts copied with their length, dates turned
// into the client's 7-byte form), and prints the ratio with its aim.
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using sword = int;
using ub2 = uint16_t;
using ub4 = uint32_t;
using sb2 = int16_t;
using sb4 = int32_t;

constexpr int rowCount = 1000000;
constexpr int arraySize = 100;

struct Api {
    sword (*EnvCreate)(void **, ub4, void *, void *, void *, void *, size_t, void **);
    sword (*HandleAlloc)(const void *, void **, ub4, size_t, void **);
    sword (*AttrSet)(void *, ub4, void *, ub4, ub4, void *);
    sword (*AttrGet)(const void *, ub4, void *, ub4 *, ub4, void *);
    sword (*ServerAttach)(void *, void *, const unsigned char *, sb4, ub4);
    sword (*SessionBegin)(void *, void *, void *, ub4, ub4);
    sword (*StmtPrepare)(void *, void *, const unsigned char *, ub4, ub4, ub4);
    sword (*StmtExecute)(void *, void *, void *, ub4, ub4, const void *, void *, ub4);
    sword (*StmtFetch)(void *, void *, ub4, ub2, ub4);
    sword (*DefineByPos)(void *, void **, void *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *, ub4);
};

Api api;
void *env, *err, *srv, *svc, *usr, *stmt;
std::string databaseFile;

template <class F> void resolve(void *lib, F &f, const char *name)
{
    f = reinterpret_cast<F>(dlsym(lib, name));
    if (!f) {
        std::fprintf(stderr, "missing %s\n", name);
        std::exit(1);
    }
}

void setUp(const std::string &dir)
{
    void *lib = dlopen(QD_STANDIN_PATH, RTLD_NOW);
    if (!lib) {
        std::fprintf(stderr, "%s\n", dlerror());
        std::exit(1);
    }
    resolve(lib, api.EnvCreate, "OCIEnvCreate");
    resolve(lib, api.HandleAlloc, "OCIHandleAlloc");
    resolve(lib, api.AttrSet, "OCIAttrSet");
    resolve(lib, api.AttrGet, "OCIAttrGet");
    resolve(lib, api.ServerAttach, "OCIServerAttach");
    resolve(lib, api.SessionBegin, "OCISessionBegin");
    resolve(lib, api.StmtPrepare, "OCIStmtPrepare");
    resolve(lib, api.StmtExecute, "OCIStmtExecute");
    resolve(lib, api.StmtFetch, "OCIStmtFetch");
    resolve(lib, api.DefineByPos, "OCIDefineByPos");
    api.EnvCreate(&env, 1, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    api.HandleAlloc(env, &err, 2, 0, nullptr);
    api.HandleAlloc(env, &srv, 8, 0, nullptr);
    api.HandleAlloc(env, &svc, 3, 0, nullptr);
    api.HandleAlloc(env, &usr, 9, 0, nullptr);
    api.HandleAlloc(env, &stmt, 4, 0, nullptr);
    api.ServerAttach(srv, err, reinterpret_cast<const unsigned char *>("DEMO"), 4, 0);
    api.AttrSet(svc, 3, srv, 0, 6, err);
    api.AttrSet(svc, 3, usr, 0, 7, err);
    api.AttrSet(usr, 9, const_cast<char *>("DEMO"), 4, 22, err);
    api.AttrSet(usr, 9, const_cast<char *>("DEMO"), 4, 23, err);
    if (api.SessionBegin(svc, err, usr, 1, 0) != 0) {
        std::fprintf(stderr, "logon failed\n");
        std::exit(1);
    }
    // The rows are written straight into the schema file the session uses.
    databaseFile = dir + "/standin/DEMO/DEMO.sqlite";
    sqlite3 *db = nullptr;
    sqlite3_open(databaseFile.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    const char *fill
        = "CREATE TABLE BENCH (ID NUMBER(9), QTY NUMBER(9), NAME VARCHAR2(20), "
          "CODE VARCHAR2(20), PRICE NUMBER(10,2), CREATED DATE);"
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
          "INSERT INTO BENCH SELECT i, i % 97, 'name ' || i, 'C' || (i % 1000), i / 8.0, "
          "datetime(2460000.5 + i % 3650 + (i % 86400) / 86400.0) FROM n;";
    if (sqlite3_exec(db, fill, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    sqlite3_close(db);
}

const char *const query = "SELECT ID, QTY, NAME, CODE, PRICE, CREATED FROM BENCH";

// The arrays one fetch fills, the same for both sides.
struct Rows {
    int32_t id[arraySize], qty[arraySize];
    char name[arraySize][21], code[arraySize][21];
    double price[arraySize];
    unsigned char created[arraySize][7];
    sb2 ind[6][arraySize];

    void use() const
    {
        benchmark::DoNotOptimize(
            id[0] + qty[0] + name[0][0] + code[0][0] + price[0] + created[0][3]);
    }
};

void StandinFetch(benchmark::State &state)
{
    Rows r;
    for (auto _ : state) {
        api.StmtPrepare(stmt, err, reinterpret_cast<const unsigned char *>(query),
            static_cast<ub4>(std::strlen(query)), 1, 0);
        api.StmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, 0);
        void *d = nullptr;
        api.DefineByPos(stmt, &d, err, 1, r.id, 4, 3, r.ind[0], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 2, r.qty, 4, 3, r.ind[1], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 3, r.name, 21, 5, r.ind[2], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 4, r.code, 21, 5, r.ind[3], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 5, r.price, 8, 4, r.ind[4], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 6, r.created, 7, 12, r.ind[5], nullptr, nullptr, 0);
        long rows = 0;
        for (;;) {
            const sword status = api.StmtFetch(stmt, err, arraySize, 2, 0);
            ub4 got = 0;
            api.AttrGet(stmt, 4, &got, nullptr, 197, err);
            rows += got;
            r.use();
            if (status != 0)
                break;
        }
        if (rows != rowCount)
            state.SkipWithError("wrong row count");
    }
}

// Reads the digits of text[from, from + width) into value; false when one is not a digit.
inline bool digits(const char *text, int from, int width, int &value)
{
    int v = 0;
    for (int i = from; i < from + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    value = v;
    return true;
}

// "YYYY-MM-DD HH:MM:SS" (as SQLite writes it) into the client's 7-byte DATE, checking the form
// and the ranges as a client must.
bool dateBytes(const char *text, int length, unsigned char *b)
{
    int y, mo, d, h, mi, s;
    if (length != 19 || !digits(text, 0, 4, y) || text[4] != '-' || !digits(text, 5, 2, mo)
        || text[7] != '-' || !digits(text, 8, 2, d) || text[10] != ' ' || !digits(text, 11, 2, h)
        || text[13] != ':' || !digits(text, 14, 2, mi) || text[16] != ':'
        || !digits(text, 17, 2, s))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        return false;
    b[0] = static_cast<unsigned char>(y / 100 + 100);
    b[1] = static_cast<unsigned char>(y % 100 + 100);
    b[2] = static_cast<unsigned char>(mo);
    b[3] = static_cast<unsigned char>(d);
    b[4] = static_cast<unsigned char>(h + 1);
    b[5] = static_cast<unsigned char>(mi + 1);
    b[6] = static_cast<unsigned char>(s + 1);
    return true;
}

// A text column into a zero-terminated array element: its length, a copy, the terminator and
// the indicator (-1 for NULL), as a client library does.
inline void copyText(sqlite3_stmt *st, int column, char *to, sb2 &ind)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
    if (!text) {
        ind = -1;
        return;
    }
    const auto length = std::min<size_t>(static_cast<size_t>(sqlite3_column_bytes(st, column)), 20);
    std::memcpy(to, text, length);
    to[length] = '\0';
    ind = 0;
}

inline void copyInt(sqlite3_stmt *st, int column, int32_t &to, sb2 &ind)
{
    ind = sqlite3_column_type(st, column) == SQLITE_NULL ? -1 : 0;
    to = sqlite3_column_int(st, column);
}

void RawSqlite(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    // Without the per-call mutex, as the stand-in opens its schema files.
    sqlite3_open_v2(
        databaseFile.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Rows r;
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, query, -1, &st, nullptr);
        long rows = 0;
        int i = 0;
        bool bad = false;
        while (sqlite3_step(st) == SQLITE_ROW) {
            copyInt(st, 0, r.id[i], r.ind[0][i]);
            copyInt(st, 1, r.qty[i], r.ind[1][i]);
            copyText(st, 2, r.name[i], r.ind[2][i]);
            copyText(st, 3, r.code[i], r.ind[3][i]);
            r.ind[4][i] = sqlite3_column_type(st, 4) == SQLITE_NULL ? -1 : 0;
            r.price[i] = sqlite3_column_double(st, 4);
            const auto *date = reinterpret_cast<const char *>(sqlite3_column_text(st, 5));
            r.ind[5][i] = date ? 0 : -1;
            if (date && !dateBytes(date, sqlite3_column_bytes(st, 5), r.created[i]))
                bad = true;
            if (++i == arraySize) {
                r.use();
                i = 0;
            }
            ++rows;
        }
        sqlite3_finalize(st);
        if (bad)
            state.SkipWithError("a date did not convert");
        if (rows != rowCount)
            state.SkipWithError("wrong row count");
    }
    sqlite3_close(db);
}

} // namespace

BENCHMARK(StandinFetch)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RawSqlite)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    qd::bench::InitializeInterleaved(argc, argv, 7);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const qd::bench::TempHome home("/tmp/qdsi-bench-XXXXXX");
    setUp(home.Path());
    qd::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("stand-in fetch / raw sqlite3 loop", "StandinFetch", "RawSqlite", 1.5);
    return 0;
}
