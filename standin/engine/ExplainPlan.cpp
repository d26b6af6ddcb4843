#include "engine/ExplainPlan.h"

#include "engine/OraErrors.h"
#include "engine/Session.h"
#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

namespace qdsi::engine {

namespace {

const char *const kCreatePlanTable
    = "CREATE TABLE IF NOT EXISTS main.PLAN_TABLE (STATEMENT_ID VARCHAR2(30), "
      "TIMESTAMP DATE, REMARKS VARCHAR2(80), OPERATION VARCHAR2(30), OPTIONS VARCHAR2(255), "
      "OBJECT_NODE VARCHAR2(128), OBJECT_OWNER VARCHAR2(30), OBJECT_NAME VARCHAR2(30), "
      "OBJECT_INSTANCE NUMBER(38), OBJECT_TYPE VARCHAR2(30), OPTIMIZER VARCHAR2(255), "
      "SEARCH_COLUMNS NUMBER, ID NUMBER(38), PARENT_ID NUMBER(38), POSITION NUMBER(38), "
      "COST NUMBER(38), CARDINALITY NUMBER(38), BYTES NUMBER(38))";

struct PlanRow {
    int id = 0;
    std::optional<int> parent;
    std::optional<int> position;
    std::string operation;
    std::string options;
    std::string objectName;
    std::string objectType;
    std::optional<int> cost;
};

bool isSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Reads the keyword at pos (case-insensitive, as a whole word) and the blanks after it.
bool keyword(std::string_view text, size_t &pos, std::string_view word)
{
    if (pos + word.size() > text.size() || sql::upperCase(text.substr(pos, word.size())) != word)
        return false;
    const size_t end = pos + word.size();
    if (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
        return false;
    pos = end;
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    return true;
}

// EXPLAIN PLAN [SET STATEMENT_ID = 'literal'] FOR: the id and where the statement begins.
size_t parseHead(std::string_view text, std::string &statementId)
{
    size_t pos = 0;
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    if (!keyword(text, pos, "EXPLAIN") || !keyword(text, pos, "PLAN"))
        throw oraFail(905, {}, int(pos));
    if (keyword(text, pos, "SET")) {
        if (!keyword(text, pos, "STATEMENT_ID"))
            throw oraFail(905, {}, int(pos));
        if (pos >= text.size() || text[pos] != '=')
            throw oraFail(905, {}, int(pos));
        ++pos;
        while (pos < text.size() && isSpace(text[pos]))
            ++pos;
        if (pos >= text.size() || text[pos] != '\'')
            throw oraFail(905, {}, int(pos));
        ++pos;
        for (;;) {
            if (pos >= text.size())
                throw oraFail(1756, {}, int(pos)); // quoted string not properly terminated
            if (text[pos] == '\'') {
                if (pos + 1 < text.size() && text[pos + 1] == '\'') {
                    statementId += '\'';
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            statementId += text[pos++];
        }
        while (pos < text.size() && isSpace(text[pos]))
            ++pos;
    }
    if (!keyword(text, pos, "FOR"))
        throw oraFail(905, {}, int(pos));
    return pos;
}

// The /*+ RULE */ hint right behind the statement's first word.
bool ruleHint(std::string_view statement)
{
    const std::string u = sql::upperCase(statement);
    const size_t hint = u.find("/*+");
    if (hint == std::string::npos)
        return false;
    const size_t end = u.find("*/", hint);
    const std::string body = u.substr(hint + 3, end == std::string::npos ? std::string::npos : end - hint - 3);
    size_t pos = 0;
    while (pos < body.size()) {
        while (pos < body.size() && !std::isalpha(static_cast<unsigned char>(body[pos])))
            ++pos;
        size_t stop = pos;
        while (stop < body.size() && (std::isalnum(static_cast<unsigned char>(body[stop])) || body[stop] == '_'))
            ++stop;
        if (body.compare(pos, stop - pos, "RULE") == 0 && stop > pos)
            return true;
        pos = stop;
    }
    return false;
}

std::vector<PlanRow> planFor(const sql::Translation &t, bool rule)
{
    std::vector<PlanRow> rows;
    const std::vector<std::string> &tables = t.tables;
    std::optional<int> cost;
    if (!rule)
        cost = 1 + 2 * int(tables.size());
    const char *root = t.kind == sql::StatementKind::Select ? "SELECT STATEMENT"
        : t.kind == sql::StatementKind::Update              ? "UPDATE STATEMENT"
                                                            : "DELETE STATEMENT";
    rows.push_back({ 0, std::nullopt, cost, root, "", "", "", cost });
    int parent = 0;
    if (t.kind != sql::StatementKind::Select) {
        rows.push_back({ 1, 0, 1, t.kind == sql::StatementKind::Update ? "UPDATE" : "DELETE", "",
            tables.empty() ? "" : tables.front(), "", std::nullopt });
        parent = 1;
    } else if (tables.size() > 1) {
        rows.push_back({ 1, 0, 1, "NESTED LOOPS", "", "", "", cost });
        parent = 1;
    }
    int position = 1;
    for (const std::string &table : tables) {
        std::optional<int> accessCost;
        if (!rule)
            accessCost = 2;
        rows.push_back({ int(rows.size()), parent, position++, "TABLE ACCESS", "FULL", table,
            "TABLE", accessCost });
    }
    return rows;
}

void bindText(sqlite3_stmt *st, int index, const std::string &value)
{
    if (value.empty())
        sqlite3_bind_null(st, index); // '' is null on the server
    else
        sqlite3_bind_text(st, index, value.c_str(), int(value.size()), SQLITE_TRANSIENT);
}

void bindNumber(sqlite3_stmt *st, int index, const std::optional<int> &value)
{
    if (value)
        sqlite3_bind_int(st, index, *value);
    else
        sqlite3_bind_null(st, index);
}

} // namespace

void ensurePlanTable(Session &session)
{
    // Checked first so that opening a session does not take the schema's write lock.
    sqlite3_stmt *st = nullptr;
    bool present = false;
    if (sqlite3_prepare_v2(session.db(),
            "SELECT 1 FROM main.sqlite_master WHERE name = 'PLAN_TABLE'", -1, &st, nullptr)
        == SQLITE_OK)
        present = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    if (!present)
        session.write(kCreatePlanTable);
}

void explainPlan(Session &session, const std::string &text)
{
    std::string statementId;
    const size_t start = parseHead(text, statementId);
    const std::string statement = text.substr(start);
    sql::Translation t;
    try {
        t = sql::translate(statement, session.context());
    } catch (sql::OraError &e) {
        e.offset += int(start);
        throw;
    }
    if (t.kind != sql::StatementKind::Select && t.kind != sql::StatementKind::Update
        && t.kind != sql::StatementKind::Delete)
        throw oraFail(905, {}, int(start));
    // The statement is parsed, not run: unknown tables and columns fail here.
    if (!t.sqlite.empty()) {
        sqlite3_stmt *check = nullptr;
        const int rc = sqlite3_prepare_v2(session.db(), t.sqlite.c_str(), -1, &check, nullptr);
        sqlite3_finalize(check);
        if (rc != SQLITE_OK)
            throw session.sqliteError(rc);
    }

    ensurePlanTable(session);
    session.beginChange();
    sqlite3_stmt *insert = nullptr;
    const char *sql
        = "INSERT INTO main.PLAN_TABLE (STATEMENT_ID, TIMESTAMP, OPERATION, OPTIONS, "
          "OBJECT_OWNER, OBJECT_NAME, OBJECT_TYPE, OPTIMIZER, ID, PARENT_ID, POSITION, COST) "
          "VALUES (?1, datetime('now', 'localtime'), ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)";
    int rc = sqlite3_prepare_v2(session.db(), sql, -1, &insert, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(insert);
        throw session.sqliteError(rc);
    }
    const bool rule = ruleHint(statement);
    for (const PlanRow &row : planFor(t, rule)) {
        sqlite3_reset(insert);
        bindText(insert, 1, statementId);
        bindText(insert, 2, row.operation);
        bindText(insert, 3, row.options);
        bindText(insert, 4, row.objectName.empty() ? std::string() : session.context().user);
        bindText(insert, 5, row.objectName);
        bindText(insert, 6, row.objectType);
        bindText(insert, 7, row.id == 0 ? (rule ? "RULE" : "ALL_ROWS") : std::string());
        sqlite3_bind_int(insert, 8, row.id);
        bindNumber(insert, 9, row.parent);
        bindNumber(insert, 10, row.position);
        bindNumber(insert, 11, row.cost);
        rc = sqlite3_step(insert);
        if (rc != SQLITE_DONE) {
            sqlite3_finalize(insert);
            throw session.sqliteError(rc);
        }
    }
    sqlite3_finalize(insert);
}

} // namespace qdsi::engine
