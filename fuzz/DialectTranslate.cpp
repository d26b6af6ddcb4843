// Arbitrary statement text through the stand-in's SQL dialect layer: the translation either
// succeeds or raises an ORA error, and whatever it produces SQLite can at least be asked to
// prepare. Anything else (a crash, another exception, a hang) is a fault.
#include "sql/Dialect.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace qdsi::sql;
    static sqlite3 *db = [] {
        sqlite3 *d = nullptr;
        sqlite3_open(":memory:", &d);
        static SessionContext context;
        context.user = "SCOTT";
        context.nextval = [](const std::string &) -> int64_t { return 1; };
        context.currval = [](const std::string &) -> int64_t { return 1; };
        context.rowidText = [](const std::string &, int64_t n) { return std::to_string(n); };
        context.rowidNumber = [](const std::string &) -> int64_t { return 1; };
        registerFunctions(d, &context);
        // A recursive WITH can run forever: bound the work of every statement.
        sqlite3_progress_handler(
            d, 1000,
            [](void *) -> int {
                static int calls = 0;
                return ++calls % 200 == 0;
            },
            nullptr);
        sqlite3_exec(d,
            "CREATE TABLE EMP (EMPNO NUMBER(4), ENAME VARCHAR2(10), HIREDATE DATE TEXT)", nullptr,
            nullptr, nullptr);
        return d;
    }();
    const std::string text(reinterpret_cast<const char *>(data), size);
    SessionContext context;
    try {
        const Translation t = translate(text, context);
        if (!t.sqlite.empty() && t.kind == StatementKind::Select) {
            sqlite3_stmt *s = nullptr;
            if (sqlite3_prepare_v2(db, t.sqlite.c_str(), -1, &s, nullptr) == SQLITE_OK) {
                describe(s, t);
                // A few rows at most: the statement's own functions must not crash either.
                for (int i = 0; i < 3 && sqlite3_step(s) == SQLITE_ROW; ++i) { }
            }
            sqlite3_finalize(s);
        }
    } catch (const OraError &) {
    }
    tableConstraints(text);
    try {
        const size_t half = text.size() / 2;
        parseDate(text.substr(0, half), text.substr(half));
    } catch (const OraError &) {
    }
    return 0;
}
