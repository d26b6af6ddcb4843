// The parts of a statement that hand out LOB locators (from a select, from RETURNING ... INTO)
// and keep LONG values for reading in parts.
#include "engine/Lobs.h"
#include "engine/OraErrors.h"
#include "engine/Statement.h"

#include <algorithm>

namespace qdsi::engine {

namespace {

std::string bytesOf(sqlite3_value *v)
{
    if (sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT)
        return sql::numberToText(v);
    const void *p = sqlite3_value_blob(v);
    return std::string(
        p ? static_cast<const char *>(p) : "", static_cast<size_t>(sqlite3_value_bytes(v)));
}

std::string unquoted(std::string name)
{
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    return name;
}

} // namespace

int Statement::storeSelectedLob(Session &session, size_t column, sqlite3_value *value,
    const ClientBuffer &buffer, size_t row, bool fromSqlite)
{
    LobRef ref;
    ref.kind = buffer.type;
    const bool isNull = sqlite3_value_type(value) == SQLITE_NULL;
    if (ref.kind == BufferType::Bfile) {
        if (!isNull)
            setBfileValue(ref, bytesOf(value), session.alias().bfileDirectory);
        return storeLobOutput(ref, isNull, buffer, row);
    }
    const int index = static_cast<int>(column) + m_hiddenColumns;
    const char *table = fromSqlite ? sqlite3_column_table_name(m_stmt, index) : nullptr;
    const char *origin = fromSqlite ? sqlite3_column_origin_name(m_stmt, index) : nullptr;
    const char *locked
        = fromSqlite && m_hiddenColumns == 1 ? sqlite3_column_table_name(m_stmt, 0) : nullptr;
    if (table && origin && locked && std::string(table) == locked) {
        // A row locked by FOR UPDATE: the locator reads and writes the row itself.
        ref.hasRow = true;
        ref.writable = true;
        ref.database = session.databasePath();
        ref.table = table;
        ref.column = origin;
        ref.rowid = sqlite3_column_int64(m_stmt, 0);
    } else {
        // Any other select gives a consistent read of the value; writing needs a lock.
        ref.snapshot = isNull ? std::string() : bytesOf(value);
    }
    return storeLobOutput(ref, isNull, buffer, row);
}

int Statement::storeReturnedLob(
    Session &session, const std::string &table, int column, const ClientBuffer &buffer, size_t row)
{
    LobRef ref;
    ref.kind = buffer.type;
    if (column >= sqlite3_column_count(m_stmt))
        return 0;
    sqlite3_value *value = sqlite3_column_value(m_stmt, column);
    const bool isNull = sqlite3_value_type(value) == SQLITE_NULL;
    if (ref.kind == BufferType::Bfile) {
        if (!isNull)
            setBfileValue(ref, bytesOf(value), session.alias().bfileDirectory);
        return storeLobOutput(ref, isNull, buffer, row);
    }
    if (m_lobRowidColumn >= 0 && m_lobRowidColumn < sqlite3_column_count(m_stmt)) {
        // The change holds its row until the transaction ends, so the locator may write it.
        ref.hasRow = true;
        ref.writable = true;
        ref.database = session.databasePath();
        ref.table = table;
        ref.column = unquoted(sqlite3_column_name(m_stmt, column));
        ref.rowid = sqlite3_column_int64(m_stmt, m_lobRowidColumn);
    } else {
        ref.snapshot = isNull ? std::string() : bytesOf(value);
    }
    return storeLobOutput(ref, isNull, buffer, row);
}

bool Statement::returnsLob(const std::vector<BoundValue> &binds, const std::vector<int> &targets)
{
    return std::any_of(binds.begin(), binds.end(), [&](const BoundValue &b) {
        return isLob(b.buffer.type)
            && std::find(targets.begin(), targets.end(), b.sqliteIndex) != targets.end();
    });
}

void Statement::keepLongs(const std::vector<sqlite3_value *> *kept)
{
    m_lastLongs.assign(m_columns.size(), std::nullopt);
    for (size_t c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].dataType != 8 && m_columns[c].dataType != 24)
            continue;
        sqlite3_value *v = kept
            ? (*kept)[c]
            : sqlite3_column_value(m_stmt, static_cast<int>(c) + m_hiddenColumns);
        if (sqlite3_value_type(v) != SQLITE_NULL)
            m_lastLongs[c] = bytesOf(v);
    }
}

const std::string *Statement::lastLongValue(size_t column) const
{
    if (column >= m_lastLongs.size() || !m_lastLongs[column])
        return nullptr;
    return &*m_lastLongs[column];
}

} // namespace qdsi::engine
