#include "engine/ViewTarget.h"

#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <vector>

namespace qdsi::engine {

namespace {

// The first column of the first row, or nothing.
bool firstText(sqlite3 *db, const char *sql, const std::string &bind, std::string &out)
{
    sqlite3_stmt *st = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, bind.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) {
            found = true;
            const auto *text = sqlite3_column_text(st, 0);
            out = text ? reinterpret_cast<const char *>(text) : "";
        }
    }
    sqlite3_finalize(st);
    return found;
}

// The columns of a table or view, in order.
std::vector<std::string> columnsOf(sqlite3 *db, const std::string &name)
{
    std::vector<std::string> columns;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(
            db, "SELECT name FROM main.pragma_table_info(?1) ORDER BY cid", -1, &st, nullptr)
        == SQLITE_OK) {
        sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto *column = sqlite3_column_text(st, 0);
            columns.emplace_back(column ? reinterpret_cast<const char *>(column) : "");
        }
    }
    sqlite3_finalize(st);
    return columns;
}

// The view's query as the user wrote it (kept in a note of the stored text).
std::string oracleText(const std::string &stored)
{
    std::string text;
    const size_t open = stored.find("/*QD:");
    if (sql::readOracleNote(
            stored, open == std::string::npos ? stored.size() : open, stored.size(), text))
        return text;
    const size_t as = stored.find(" AS ");
    return as == std::string::npos ? stored : stored.substr(as + 4);
}

// The table of "select <columns> from [user.]table [alias]", when every column is the table's
// own under its own name; empty otherwise. `named` gets the columns the list names, in order
// (a "*" adds none).
std::string simpleBase(
    const std::vector<sql::Token> &t, const std::string &user, std::vector<std::string> &named)
{
    size_t k = 0;
    auto at = [&](size_t i) -> const sql::Token & { return t[i < t.size() ? i : t.size() - 1]; };
    if (!at(k).is("SELECT"))
        return {};
    ++k;
    if (at(k).is("DISTINCT") || at(k).is("UNIQUE"))
        return {};
    if (at(k).is("ALL"))
        ++k;
    // Select items: *, q.*, col, q.col, each optionally aliased to its own name.
    for (;;) {
        if (at(k).is("*")) {
            ++k;
        } else if (at(k).isName()) {
            std::string column = at(k).upper;
            ++k;
            if (at(k).is(".") && at(k + 1).is("*")) {
                k += 2;
            } else {
                if (at(k).is(".") && at(k + 1).isName()) {
                    column = at(k + 1).upper;
                    k += 2;
                }
                if (at(k).is("AS"))
                    ++k;
                if (at(k).isName() && !at(k).is("FROM")) {
                    if (at(k).upper != column)
                        return {};
                    ++k;
                }
                named.push_back(column);
            }
        } else {
            return {};
        }
        if (!at(k).is(","))
            break;
        ++k;
    }
    if (!at(k).is("FROM") || !at(k + 1).isName())
        return {};
    k += 1;
    std::string table = at(k).upper;
    ++k;
    if (at(k).is(".") && at(k + 1).isName()) {
        if (table != user)
            return {};
        table = at(k + 1).upper;
        k += 2;
    }
    if (at(k).isName() && !at(k).is("WHERE") && !at(k).is("GROUP") && !at(k).is("ORDER")
        && !at(k).is("CONNECT") && !at(k).is("START") && !at(k).is("UNION") && !at(k).is("MINUS")
        && !at(k).is("INTERSECT") && !at(k).is("WITH"))
        ++k; // alias
    return at(k).type == sql::TokenType::End ? table : std::string();
}

} // namespace

sql::ViewTarget viewTarget(sqlite3 *db, const std::string &user, const std::string &name)
{
    sql::ViewTarget target;
    std::string stored;
    if (!firstText(db, "SELECT sql FROM main.sqlite_master WHERE type = 'view' AND name = ?1", name,
            stored))
        return target;
    target.view = true;
    std::vector<sql::Token> tokens;
    try {
        tokens = sql::tokenize(oracleText(stored));
    } catch (...) {
        return target;
    }
    std::vector<std::string> named;
    const std::string table = simpleBase(tokens, user, named);
    std::string ignored;
    if (table.empty()
        || !firstText(db, "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = ?1",
            table, ignored))
        return target;
    // A column list of the CREATE VIEW may still rename what the query selects: every column
    // of the view must be the table's own, in the order the query names them.
    const std::vector<std::string> columns = columnsOf(db, name);
    const std::vector<std::string> tableColumns = columnsOf(db, table);
    for (const std::string &column : columns)
        if (std::find(tableColumns.begin(), tableColumns.end(), column) == tableColumns.end())
            return target;
    if (!named.empty() && named != columns)
        return target;
    target.columns = columns;
    target.table = table;
    return target;
}

} // namespace qdsi::engine
