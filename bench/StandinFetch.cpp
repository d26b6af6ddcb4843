// Fetches 1,000,000 rows of 5 columns through the stand-in's C interface in arrays of 100, and
// the same rows through a raw SQLite loop in the same process, and prints the ratio.
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

void setUp()
{
    char dir[] = "/tmp/qdsi-bench-XXXXXX";
    if (!mkdtemp(dir))
        std::exit(1);
    setenv("QD_HOME", dir, 1);
    unsetenv("QD_STANDIN_CONFIG");
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
    databaseFile = std::string(dir) + "/standin/DEMO/DEMO.sqlite";
    sqlite3 *db = nullptr;
    sqlite3_open(databaseFile.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    const char *fill
        = "CREATE TABLE BENCH (ID NUMBER(9), QTY NUMBER(9), NAME VARCHAR2(20), "
          "CODE VARCHAR2(20), PRICE NUMBER(10,2));"
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
          "INSERT INTO BENCH SELECT i, i % 97, 'name ' || i, 'C' || (i % 1000), i / 8.0 FROM n;";
    if (sqlite3_exec(db, fill, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    sqlite3_close(db);
}

const char *const query = "SELECT ID, QTY, NAME, CODE, PRICE FROM BENCH";

void StandinFetch(benchmark::State &state)
{
    int32_t id[arraySize], qty[arraySize];
    char name[arraySize][21], code[arraySize][21];
    double price[arraySize];
    sb2 ind[5][arraySize];
    for (auto _ : state) {
        api.StmtPrepare(stmt, err, reinterpret_cast<const unsigned char *>(query),
            static_cast<ub4>(std::strlen(query)), 1, 0);
        api.StmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, 0);
        void *d = nullptr;
        api.DefineByPos(stmt, &d, err, 1, id, 4, 3, ind[0], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 2, qty, 4, 3, ind[1], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 3, name, 21, 5, ind[2], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 4, code, 21, 5, ind[3], nullptr, nullptr, 0);
        api.DefineByPos(stmt, &d, err, 5, price, 8, 4, ind[4], nullptr, nullptr, 0);
        long rows = 0;
        for (;;) {
            const sword status = api.StmtFetch(stmt, err, arraySize, 2, 0);
            ub4 got = 0;
            api.AttrGet(stmt, 4, &got, nullptr, 197, err);
            rows += got;
            benchmark::DoNotOptimize(id[0] + qty[0] + name[0][0] + code[0][0] + price[0]);
            if (status != 0)
                break;
        }
        if (rows != rowCount)
            state.SkipWithError("wrong row count");
    }
}

void RawSqlite(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(databaseFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    int32_t id[arraySize], qty[arraySize];
    char name[arraySize][21], code[arraySize][21];
    double price[arraySize];
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, query, -1, &st, nullptr);
        long rows = 0;
        int i = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            id[i] = sqlite3_column_int(st, 0);
            qty[i] = sqlite3_column_int(st, 1);
            std::snprintf(name[i], 21, "%s", sqlite3_column_text(st, 2));
            std::snprintf(code[i], 21, "%s", sqlite3_column_text(st, 3));
            price[i] = sqlite3_column_double(st, 4);
            if (++i == arraySize) {
                benchmark::DoNotOptimize(id[0] + qty[0] + name[0][0] + code[0][0] + price[0]);
                i = 0;
            }
            ++rows;
        }
        sqlite3_finalize(st);
        if (rows != rowCount)
            state.SkipWithError("wrong row count");
    }
    sqlite3_close(db);
}

} // namespace

BENCHMARK(StandinFetch)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(RawSqlite)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    setUp();
    qd::bench::RatioReporter reporter("StandinFetch", "RawSqlite");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.secondSeconds > 0)
        std::printf("stand-in fetch / raw sqlite3 loop: %.2f (aim: at most 1.5)\n",
            reporter.firstSeconds / reporter.secondSeconds);
    return 0;
}
