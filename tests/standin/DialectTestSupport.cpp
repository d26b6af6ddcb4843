#include "DialectTestSupport.h"

#include <cstdio>
#include <stdexcept>

namespace qdsi::sql::test {

std::string DialectDb::fakeRowid(const std::string &table, int64_t rowid)
{
    // 18 characters: a table tag and the number, as the engine's real encoding also is.
    char buf[32];
    std::snprintf(
        buf, sizeof buf, "%-5.5s%013lld", (table + "XXXXX").c_str(), static_cast<long long>(rowid));
    return buf;
}

void DialectDb::SetUp()
{
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    context.user = "SCOTT";
    context.sessionId = 4711;
    context.nextval = [this](const std::string &seq) -> int64_t {
        if (!increments.count(seq))
            throw oraError(2289);
        auto it = sequences.find(seq);
        if (it == sequences.end())
            return sequences[seq] = 1;
        return it->second += increments[seq];
    };
    context.currval = [this](const std::string &seq) -> int64_t {
        auto it = sequences.find(seq);
        if (it == sequences.end())
            throw oraError(8002, seq);
        return it->second;
    };
    context.rowidText
        = [](const std::string &table, int64_t rowid) { return fakeRowid(table, rowid); };
    context.rowidNumber = [](const std::string &text) -> int64_t {
        if (text.size() != 18)
            return -1;
        for (size_t i = 5; i < 18; ++i)
            if (text[i] < '0' || text[i] > '9')
                return -1;
        return std::stoll(text.substr(5));
    };
    registerFunctions(db, &context);
}

void DialectDb::TearDown()
{
    sqlite3_close(db);
}

namespace {

struct Statement {
    sqlite3_stmt *s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

void prepare(
    sqlite3 *db, const Translation &t, const std::vector<std::string> &binds, Statement &st)
{
    if (sqlite3_prepare_v2(db, t.sqlite.c_str(), -1, &st.s, nullptr) != SQLITE_OK) {
        const OraError e = oraErrorFromMessage(sqlite3_errmsg(db));
        if (e.code)
            throw e;
        throw std::runtime_error("SQLite rejected \"" + t.sqlite + "\": " + sqlite3_errmsg(db));
    }
    for (size_t i = 0; i < binds.size(); ++i)
        sqlite3_bind_text(st.s, static_cast<int>(i) + 1, binds[i].c_str(), -1, SQLITE_TRANSIENT);
}

std::string cell(sqlite3_stmt *s, int i)
{
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_NULL:
        return "<null>";
    case SQLITE_INTEGER:
        return numberToText(static_cast<int64_t>(sqlite3_column_int64(s, i)));
    case SQLITE_FLOAT:
        return numberToText(sqlite3_column_double(s, i));
    default:
        return reinterpret_cast<const char *>(sqlite3_column_text(s, i));
    }
}

} // namespace

Translation DialectDb::run(const std::string &sql, const std::vector<std::string> &binds)
{
    Translation t = translate(sql, context);
    if (t.sqlite.empty())
        return t;
    Statement st;
    prepare(db, t, binds, st);
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) { }
    if (rc != SQLITE_DONE) {
        const OraError e = oraErrorFromMessage(sqlite3_errmsg(db));
        if (e.code)
            throw e;
        throw std::runtime_error("SQLite failed \"" + t.sqlite + "\": " + sqlite3_errmsg(db));
    }
    for (const std::string &more : t.followUp)
        if (sqlite3_exec(db, more.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error("follow-up failed: " + more + ": " + sqlite3_errmsg(db));
    return t;
}

std::vector<std::vector<std::string>> DialectDb::rows(
    const std::string &sql, const std::vector<std::string> &binds)
{
    const Translation t = translate(sql, context);
    Statement st;
    prepare(db, t, binds, st);
    std::vector<std::vector<std::string>> out;
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(st.s); ++i)
            row.push_back(cell(st.s, i));
        out.push_back(row);
    }
    if (rc != SQLITE_DONE) {
        const OraError e = oraErrorFromMessage(sqlite3_errmsg(db));
        if (e.code)
            throw e;
        throw std::runtime_error("SQLite failed \"" + t.sqlite + "\": " + sqlite3_errmsg(db));
    }
    return out;
}

std::string DialectDb::value(const std::string &sql, const std::vector<std::string> &binds)
{
    const auto r = rows(sql, binds);
    if (r.size() != 1 || r[0].empty())
        throw std::runtime_error(
            "expected one row from " + sql + ", got " + std::to_string(r.size()));
    return r[0][0];
}

OraError DialectDb::error(const std::string &sql)
{
    try {
        const Translation t = translate(sql, context);
        if (t.kind == StatementKind::Select)
            rows(sql);
        else
            run(sql);
    } catch (const OraError &e) {
        return e;
    }
    return OraError(0, "no error");
}

std::vector<ColumnDescription> DialectDb::describeQuery(const std::string &sql)
{
    const Translation t = translate(sql, context);
    Statement st;
    prepare(db, t, {}, st);
    return describe(st.s, t);
}

} // namespace qdsi::sql::test
