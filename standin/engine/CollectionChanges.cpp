#include "engine/CollectionChanges.h"

#include "engine/CollectionRows.h"
#include "engine/OraErrors.h"
#include "engine/RowLocks.h"
#include "engine/Session.h"
#include "engine/SessionQuery.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qdsi::engine {

namespace {

const std::string elementsTable = std::string("temp.") + sql::collectionElementsTable;

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
    SessionQuery parent(session, target.parentSql);
    bind(parent.handle());
    if (!parent.step())
        throw oraFail(22908);
    m_rowid = parent.integerAt(0);
    m_type = collectionTypeOf(session, sqlite3_column_decltype(parent.handle(), 1));
    if (!m_type)
        throw oraFail(22905);
    if (m_type->collectionCode == tcVarray)
        throw oraFail(22906);
    const bool isNull = sqlite3_column_type(parent.handle(), 1) == SQLITE_NULL;
    const std::string stored = parent.textAt(1);
    if (parent.step())
        throw oraFail(1427);
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
    SessionQuery(session,
        "INSERT INTO " + elementsTable + " (rowid, " + columns + ") SELECT rowid, " + columns
            + " FROM " + collectionRowsFunction(session, m_type) + "(?1)")
        .text(1, stored)
        .run();
}

CollectionElements::~CollectionElements()
{
    // The elements are of no use after the change; the table goes with the next change.
    sqlite3_exec(m_session.db(), ("DELETE FROM " + elementsTable).c_str(), nullptr, nullptr,
        nullptr);
}

void CollectionElements::reserveNewIdentities()
{
    // SQLite numbers a new row one above the largest present: a row at the highest identity
    // given so far, removed again before the write-back, keeps deleted identities unused.
    SessionQuery largest(m_session, "SELECT max(rowid) FROM " + elementsTable);
    if (largest.step() && m_lastId > largest.integerAt(0)) {
        SessionQuery(m_session, "INSERT INTO " + elementsTable + " (rowid) VALUES (?1)")
            .integer(1, m_lastId)
            .run();
        m_reserved = m_lastId;
    }
}

void CollectionElements::writeBack()
{
    if (m_reserved > 0)
        SessionQuery(m_session, "DELETE FROM " + elementsTable + " WHERE rowid = ?1")
            .integer(1, m_reserved)
            .run();
    SessionQuery rows(m_session,
        "SELECT rowid, " + joined(elementColumnNames(*m_type)) + " FROM " + elementsTable
            + " ORDER BY rowid");
    ObjectValue collection;
    collection.isNull = false;
    while (rows.step()) {
        const int64_t id = rows.integerAt(0);
        ObjectValue element = elementOfRow(*m_type, rows.handle(), 1);
        // An element null as a whole shows as a row of nulls; left so, it stays null.
        if (m_nullElements.count(id) && !element.isScalar
            && std::all_of(element.items.begin(), element.items.end(),
                [](const ObjectValue &item) { return item.isNull; }))
            element = ObjectValue();
        element.elementId = id;
        m_lastId = std::max(m_lastId, id);
        collection.items.push_back(std::move(element));
    }
    collection.lastElementId = m_lastId;
    SessionQuery(m_session,
        "UPDATE " + m_target.table + " SET " + m_target.column + " = ?1 WHERE rowid = ?2")
        .text(1, encodeObjectValue(collection))
        .integer(2, m_rowid)
        .run();
}

} // namespace qdsi::engine
