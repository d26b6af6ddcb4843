#include "engine/CollectionChanges.h"

#include "engine/CollectionRows.h"
#include "engine/OraErrors.h"
#include "engine/RowLocks.h"
#include "engine/Session.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qdsi::engine {

namespace {

const std::string elementsTable = std::string("temp.") + sql::collectionElementsTable;

struct FinalizeStatement {
    sqlite3_stmt *statement = nullptr;
    ~FinalizeStatement() { sqlite3_finalize(statement); }
};

std::string joined(const std::vector<std::string> &names)
{
    std::string out;
    for (const std::string &name : names)
        out += (out.empty() ? "" : ", ") + name;
    return out;
}

} // namespace

CollectionElements::CollectionElements(
    Session &session, const sql::Translation::CollectionTarget &target, const Binder &bind)
    : m_session(session), m_target(target)
{
    sqlite3 *db = session.db();
    FinalizeStatement parent;
    int rc = sqlite3_prepare_v2(db, target.parentSql.c_str(), -1, &parent.statement, nullptr);
    if (rc != SQLITE_OK)
        throw session.sqliteError(rc);
    bind(parent.statement);
    rc = sqlite3_step(parent.statement);
    if (rc == SQLITE_DONE)
        throw oraFail(22908);
    if (rc != SQLITE_ROW)
        throw session.sqliteError(rc);
    m_rowid = sqlite3_column_int64(parent.statement, 0);
    m_type = collectionTypeOf(session, sqlite3_column_decltype(parent.statement, 1));
    if (!m_type)
        throw oraFail(22905);
    if (m_type->collectionCode == tcVarray)
        throw oraFail(22906);
    const bool isNull = sqlite3_column_type(parent.statement, 1) == SQLITE_NULL;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(parent.statement, 1));
    const std::string stored = text
        ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(parent.statement, 1)))
        : std::string();
    rc = sqlite3_step(parent.statement);
    if (rc == SQLITE_ROW)
        throw oraFail(1427);
    if (rc != SQLITE_DONE)
        throw session.sqliteError(rc);
    if (isNull)
        throw oraFail(22908);
    const ObjectValue collection = decodeObjectValue(stored);
    if (collection.isNull || collection.isScalar)
        throw oraFail(22908);

    // Another session's lock on the row (a SELECT ... FOR UPDATE) holds the change back.
    RowLocks::instance().waitUntilFree({ session.lockFile({}), target.tableName, m_rowid },
        &session, [&session] { return session.broken(); });

    m_lastId = collection.lastElementId;
    for (size_t i = 0; i < collection.items.size(); ++i) {
        const int64_t id = elementRowid(collection, i);
        m_lastId = std::max(m_lastId, id);
        if (collection.items[i].isNull)
            m_nullElements.insert(id);
    }
    session.write(("DROP TABLE IF EXISTS " + elementsTable).c_str());
    session.write(("CREATE TEMP TABLE " + std::string(sql::collectionElementsTable) + " ("
        + elementColumnsDeclaration(*m_type) + ")")
                      .c_str());
    const std::string columns = joined(elementColumnNames(*m_type));
    FinalizeStatement load;
    const std::string loadSql = "INSERT INTO " + elementsTable + " (rowid, " + columns
        + ") SELECT rowid, " + columns + " FROM " + collectionRowsFunction(session, m_type)
        + "(?1)";
    rc = sqlite3_prepare_v2(db, loadSql.c_str(), -1, &load.statement, nullptr);
    if (rc != SQLITE_OK)
        throw session.sqliteError(rc);
    sqlite3_bind_text(load.statement, 1, stored.data(), static_cast<int>(stored.size()),
        SQLITE_TRANSIENT);
    rc = sqlite3_step(load.statement);
    if (rc != SQLITE_DONE)
        throw session.sqliteError(rc);
}

CollectionElements::~CollectionElements()
{
    // The elements are of no use after the change; the table goes with the next change.
    sqlite3_exec(m_session.db(), ("DELETE FROM " + elementsTable).c_str(), nullptr, nullptr,
        nullptr);
}

void CollectionElements::run(const std::string &sql, int64_t value)
{
    FinalizeStatement st;
    int rc = sqlite3_prepare_v2(m_session.db(), sql.c_str(), -1, &st.statement, nullptr);
    if (rc != SQLITE_OK)
        throw m_session.sqliteError(rc);
    if (sqlite3_bind_parameter_count(st.statement) > 0)
        sqlite3_bind_int64(st.statement, 1, value);
    rc = sqlite3_step(st.statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw m_session.sqliteError(rc);
}

void CollectionElements::reserveNewIdentities()
{
    // SQLite numbers a new row one above the largest present: a row at the highest identity
    // given so far, removed again before the write-back, keeps deleted identities unused.
    FinalizeStatement st;
    sqlite3_prepare_v2(m_session.db(), ("SELECT max(rowid) FROM " + elementsTable).c_str(), -1,
        &st.statement, nullptr);
    const int64_t largest
        = sqlite3_step(st.statement) == SQLITE_ROW ? sqlite3_column_int64(st.statement, 0) : 0;
    if (m_lastId > largest) {
        run("INSERT INTO " + elementsTable + " (rowid) VALUES (?1)", m_lastId);
        m_reserved = m_lastId;
    }
}

void CollectionElements::writeBack()
{
    if (m_reserved > 0)
        run("DELETE FROM " + elementsTable + " WHERE rowid = ?1", m_reserved);
    FinalizeStatement rows;
    const std::string readSql = "SELECT rowid, " + joined(elementColumnNames(*m_type)) + " FROM "
        + elementsTable + " ORDER BY rowid";
    int rc = sqlite3_prepare_v2(m_session.db(), readSql.c_str(), -1, &rows.statement, nullptr);
    if (rc != SQLITE_OK)
        throw m_session.sqliteError(rc);
    ObjectValue collection;
    collection.isNull = false;
    while ((rc = sqlite3_step(rows.statement)) == SQLITE_ROW) {
        const int64_t id = sqlite3_column_int64(rows.statement, 0);
        ObjectValue element = elementOfRow(*m_type, rows.statement, 1);
        // An element null as a whole shows as a row of nulls; left so, it stays null.
        if (m_nullElements.count(id) && !element.isScalar
            && std::all_of(element.items.begin(), element.items.end(),
                [](const ObjectValue &item) { return item.isNull; }))
            element = ObjectValue();
        element.elementId = id;
        m_lastId = std::max(m_lastId, id);
        collection.items.push_back(std::move(element));
    }
    if (rc != SQLITE_DONE)
        throw m_session.sqliteError(rc);
    collection.lastElementId = m_lastId;
    const std::string value = encodeObjectValue(collection);
    FinalizeStatement update;
    const std::string updateSql
        = "UPDATE " + m_target.table + " SET " + m_target.column + " = ?1 WHERE rowid = ?2";
    rc = sqlite3_prepare_v2(m_session.db(), updateSql.c_str(), -1, &update.statement, nullptr);
    if (rc != SQLITE_OK)
        throw m_session.sqliteError(rc);
    sqlite3_bind_text(update.statement, 1, value.data(), static_cast<int>(value.size()),
        SQLITE_TRANSIENT);
    sqlite3_bind_int64(update.statement, 2, m_rowid);
    rc = sqlite3_step(update.statement);
    if (rc != SQLITE_DONE)
        throw m_session.sqliteError(rc);
}

} // namespace qdsi::engine
