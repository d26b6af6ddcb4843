// Prepares and executes 3,000 short queries (a row by its key with a bind, a count, a row of
// DUAL) through the stand-in's C interface, each prepared anew as a worksheet sends them, and
// the same statements prepared once and executed again; the baseline prepares and steps their
// SQLite texts with a raw SQLite connection in the same process. Prints both ratios with aims.
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

constexpr int rounds = 1000; // each runs the three statements once

struct Api {
    sword (*EnvCreate)(void **, ub4, void *, void *, void *, void *, size_t, void **);
    sword (*HandleAlloc)(const void *, void **, ub4, size_t, void **);
    sword (*AttrSet)(void *, ub4, void *, ub4, ub4, void *);
    sword (*ServerAttach)(void *, void *, const unsigned char *, sb4, ub4);
    sword (*SessionBegin)(void *, void *, void *, ub4, ub4);
    sword (*StmtPrepare)(void *, void *, const unsigned char *, ub4, ub4, ub4);
    sword (*StmtExecute)(void *, void *, void *, ub4, ub4, const void *, void *, ub4);
    sword (*BindByPos)(
        void *, void **, void *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *, ub4, ub4 *, ub4);
    sword (*DefineByPos)(void *, void **, void *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *, ub4);
};

Api api;
void *env, *err, *srv, *svc, *usr;
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
    resolve(lib, api.ServerAttach, "OCIServerAttach");
    resolve(lib, api.SessionBegin, "OCISessionBegin");
    resolve(lib, api.StmtPrepare, "OCIStmtPrepare");
    resolve(lib, api.StmtExecute, "OCIStmtExecute");
    resolve(lib, api.BindByPos, "OCIBindByPos");
    resolve(lib, api.DefineByPos, "OCIDefineByPos");
    api.EnvCreate(&env, 1, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    api.HandleAlloc(env, &err, 2, 0, nullptr);
    api.HandleAlloc(env, &srv, 8, 0, nullptr);
    api.HandleAlloc(env, &svc, 3, 0, nullptr);
    api.HandleAlloc(env, &usr, 9, 0, nullptr);
    api.ServerAttach(srv, err, reinterpret_cast<const unsigned char *>("DEMO"), 4, 0);
    api.AttrSet(svc, 3, srv, 0, 6, err);
    api.AttrSet(svc, 3, usr, 0, 7, err);
    api.AttrSet(usr, 9, const_cast<char *>("DEMO"), 4, 22, err);
    api.AttrSet(usr, 9, const_cast<char *>("DEMO"), 4, 23, err);
    if (api.SessionBegin(svc, err, usr, 1, 0) != 0) {
        std::fprintf(stderr, "logon failed\n");
        std::exit(1);
    }
    databaseFile = dir + "/standin/DEMO/DEMO.sqlite";
}

// The Oracle statements and SQLite texts of the same queries.
struct Query {
    const char *oracle;
    const char *sqlite;
    bool keyBind;
};
const Query queries[] = {
    { "select ename from emp where empno = :1", "SELECT ENAME FROM EMP WHERE EMPNO = ?1", true },
    { "select count(*) from dept", "SELECT COUNT(*) FROM DEPT", false },
    { "select dummy from dual", "SELECT 'X' AS DUMMY", false },
};

int32_t keyOf(int round)
{
    return 100 + round % 12; // the sample's employees and some numbers of no one
}

// One statement handle per query; prepared each time or once.
struct Handles {
    void *stmt[3] = {};
    char value[3][32] = {};
    int32_t key = 0;
    sb2 ind[3] = {};

    Handles()
    {
        for (void *&s : stmt)
            api.HandleAlloc(env, &s, 4, 0, nullptr);
    }

    bool prepare(int q)
    {
        const char *text = queries[q].oracle;
        if (api.StmtPrepare(stmt[q], err, reinterpret_cast<const unsigned char *>(text),
                static_cast<ub4>(std::strlen(text)), 1, 0)
            != 0)
            return false;
        void *b = nullptr, *d = nullptr;
        if (queries[q].keyBind)
            api.BindByPos(stmt[q], &b, err, 1, &key, 4, 3, nullptr, nullptr, nullptr, 0, nullptr, 0);
        api.DefineByPos(stmt[q], &d, err, 1, value[q], 32, 5, &ind[q], nullptr, nullptr, 0);
        return true;
    }

    bool execute(int q, int round)
    {
        key = keyOf(round);
        const sword status = api.StmtExecute(svc, stmt[q], err, 1, 0, nullptr, nullptr, 0);
        benchmark::DoNotOptimize(value[q][0]);
        return status == 0 || status == 100;
    }
};

void StandinPrepareExecute(benchmark::State &state)
{
    Handles h;
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round)
            for (int q = 0; q < 3; ++q)
                if (!h.prepare(q) || !h.execute(q, round))
                    state.SkipWithError("a statement failed");
    }
}

void StandinExecuteAgain(benchmark::State &state)
{
    Handles h;
    for (int q = 0; q < 3; ++q)
        h.prepare(q);
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round)
            for (int q = 0; q < 3; ++q)
                if (!h.execute(q, round))
                    state.SkipWithError("a statement failed");
    }
}

void RawSqlite(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(
        databaseFile.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    char value[32];
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            for (const Query &q : queries) {
                sqlite3_stmt *st = nullptr;
                if (sqlite3_prepare_v2(db, q.sqlite, -1, &st, nullptr) != SQLITE_OK)
                    state.SkipWithError(sqlite3_errmsg(db));
                if (q.keyBind)
                    sqlite3_bind_int(st, 1, keyOf(round));
                if (sqlite3_step(st) == SQLITE_ROW) {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
                    std::strncpy(value, text ? text : "", sizeof value - 1);
                    benchmark::DoNotOptimize(value[0]);
                }
                sqlite3_finalize(st);
            }
        }
    }
    sqlite3_close(db);
}

} // namespace

BENCHMARK(StandinPrepareExecute)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(StandinExecuteAgain)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RawSqlite)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    qd::bench::InitializeInterleaved(argc, argv, 9);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const qd::bench::TempHome home("/tmp/qdsi-bench-XXXXXX");
    setUp(home.Path());
    qd::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("stand-in prepare+execute / raw sqlite3 prepare+step",
        "StandinPrepareExecute", "RawSqlite", 8.0);
    reporter.PrintRatio("stand-in execute of prepared statements / raw sqlite3 prepare+step",
        "StandinExecuteAgain", "RawSqlite", 4.0);
    return 0;
}
