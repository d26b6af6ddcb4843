#include "engine/PlsqlSessionHost.h"

#include "engine/BindBuffers.h"
#include "engine/OraErrors.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "engine/StoredCode.h"
#include "engine/Triggers.h"
#include "sql/HexText.h"
#include "sql/Lexer.h"
#include "sql/NumberFormat.h"

#include <algorithm>
#include <cctype>
#include <deque>

namespace qdsi::engine {

using plsql::NamedValue;
using plsql::SqlResult;
using plsql::Value;

namespace {

const NamedValue *findBind(const std::vector<NamedValue> &binds, const std::string &name)
{
    for (const NamedValue &b : binds)
        if (b.name == name)
            return &b;
    return nullptr;
}

void bindValue(sqlite3_stmt *st, int index, const Value &v)
{
    switch (v.kind) {
    case Value::Kind::Integer:
        sqlite3_bind_int64(st, index, v.integer);
        break;
    case Value::Kind::Real:
        sqlite3_bind_double(st, index, v.real);
        break;
    case Value::Kind::Text:
    case Value::Kind::Date:
        sqlite3_bind_text(
            st, index, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
        break;
    case Value::Kind::Boolean:
        sqlite3_bind_int64(st, index, v.boolean ? 1 : 0);
        break;
    case Value::Kind::Null:
        sqlite3_bind_null(st, index);
        break;
    default:
        throw oraFail(932, "-");
    }
}

// The value of a column of the current row as the interpreter computes with it.
Value columnValue(sqlite3_stmt *st, int c, bool isDate)
{
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER:
        return Value::fromInteger(sqlite3_column_int64(st, c));
    case SQLITE_FLOAT:
        return Value::fromReal(sqlite3_column_double(st, c));
    case SQLITE_BLOB:
        // A long NUMBER kept as a BLOB of its text: the interpreter computes in doubles.
        if (sql::isExactNumber(sqlite3_column_value(st, c)))
            return Value::fromReal(sqlite3_column_double(st, c));
        return Value::fromText(sql::hexText(
            sqlite3_column_blob(st, c), static_cast<size_t>(sqlite3_column_bytes(st, c))));
    case SQLITE_TEXT: {
        std::string text(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
            static_cast<size_t>(sqlite3_column_bytes(st, c)));
        if (isDate && !text.empty())
            return Value::fromDate(std::move(text));
        return Value::fromText(std::move(text));
    }
    default:
        return Value::null();
    }
}

} // namespace

PlsqlSessionHost::PlsqlSessionHost(Session &session)
    : m_session(session)
{
}

PlsqlSessionHost::~PlsqlSessionHost() = default;

SqlResult PlsqlSessionHost::executeSql(
    const std::string &oracleSql, const std::vector<NamedValue> &binds)
{
    sql::Translation t = sql::translate(oracleSql, m_session.context());
    // A row trigger may not read or change the table whose change fired it.
    for (const std::string &table : t.tables)
        if (t.targetOwner.empty() && m_session.triggers().isMutating(sql::upperCase(table)))
            throw oraFail(4091, m_session.user() + "." + sql::upperCase(table));
    if (t.kind == sql::StatementKind::Select)
        return runQuery(t, binds);
    Statement statement;
    statement.prepare(oracleSql, m_session, std::move(t));
    BindBuffers buffers;
    for (const NamedValue &b : binds)
        buffers.add(statement, b);
    statement.execute(m_session, buffers.values(), {}, 1, 0, false, false);
    SqlResult result;
    result.rowCount = statement.rowCount();
    return result;
}

SqlResult PlsqlSessionHost::runQuery(
    const sql::Translation &t, const std::vector<NamedValue> &binds)
{
    // The rows are read at once: the translation has left out a FOR UPDATE clause.
    const std::string &text = t.sqlite;
    sqlite3_stmt *st = nullptr;
    const int prepared = sqlite3_prepare_v2(
        m_session.db(), text.c_str(), static_cast<int>(text.size()), &st, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(st, &sqlite3_finalize);
    if (prepared != SQLITE_OK)
        throw m_session.sqliteError(prepared);
    if (!st)
        throw oraFail(900);
    for (const sql::Placeholder &p : t.placeholders) {
        const NamedValue *b = findBind(binds, p.name);
        if (!b)
            throw oraFail(1008);
        bindValue(st, p.sqliteIndex, b->value);
    }
    const std::vector<sql::ColumnDescription> columns = sql::describe(st, t);
    SqlResult result;
    for (const sql::ColumnDescription &c : columns)
        result.columns.push_back(sql::upperCase(c.name));
    const int count = sqlite3_column_count(st);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<Value> row;
        row.reserve(static_cast<size_t>(count));
        for (int c = 0; c < count; ++c)
            row.push_back(columnValue(
                st, c, static_cast<size_t>(c) < columns.size() && columns[c].dataType == 12));
        result.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        throw m_session.sqliteError(rc);
    result.rowCount = static_cast<int64_t>(result.rows.size());
    return result;
}

void PlsqlSessionHost::commit()
{
    m_session.commit();
}

void PlsqlSessionHost::rollback()
{
    m_session.rollback();
}

std::string PlsqlSessionHost::currentUser()
{
    return m_session.user();
}

std::shared_ptr<const plsql::StoredUnit> PlsqlSessionHost::loadUnit(
    const std::string &owner, const std::string &name, plsql::UnitType type)
{
    // A session sees only its own schema, as for tables.
    if (owner != m_session.user())
        return nullptr;
    const auto key = std::make_tuple(owner, name, static_cast<int>(type));
    const std::optional<int64_t> version = storedUnitVersion(m_session, owner, name, type);
    if (!version) {
        m_units.erase(key);
        return nullptr;
    }
    const auto known = m_units.find(key);
    if (known != m_units.end() && known->second->version == *version)
        return known->second;
    std::shared_ptr<const plsql::StoredUnit> unit = readStoredUnit(m_session, owner, name, type);
    if (unit)
        m_units[key] = unit;
    else
        m_units.erase(key);
    return unit;
}

void PlsqlSessionHost::storeUnit(const plsql::StoredUnit &unit)
{
    if (unit.owner != m_session.user())
        throw oraFail(1031);
    writeStoredUnit(m_session, unit);
    m_units.erase(std::make_tuple(unit.owner, unit.name, static_cast<int>(unit.type)));
}

bool PlsqlSessionHost::dropUnit(
    const std::string &owner, const std::string &name, plsql::UnitType type)
{
    if (owner != m_session.user())
        return false;
    m_units.erase(std::make_tuple(owner, name, static_cast<int>(type)));
    return deleteStoredUnit(m_session, owner, name, type);
}

bool PlsqlSessionHost::breakRequested()
{
    return m_session.broken();
}

} // namespace qdsi::engine
