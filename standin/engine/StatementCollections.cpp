// A change through TABLE(subquery): run on the elements of the collection, then written back.
#include "engine/CollectionChanges.h"
#include "engine/OraErrors.h"
#include "engine/Statement.h"

namespace qdsi::engine {

void Statement::runCollectionChange(Session &session, const sql::Translation &t,
    const std::vector<BoundValue> &binds, uint32_t iterations, uint32_t rowOffset,
    bool describeOnly)
{
    for (const sql::Placeholder &p : t.returningInto)
        m_outTargets.push_back(p.sqliteIndex);
    m_lobRowidColumn = -1;
    m_hiddenColumns = 0;
    if (describeOnly)
        return;
    if (iterations == 0)
        throw oraFail(24333);
    if (returnsLob(binds, m_outTargets))
        throw oraFail(3001); // an element's LOB is not handed out as a locator
    session.beginChange();
    for (uint32_t row = rowOffset; row < iterations; ++row) {
        const auto bind = [&](sqlite3_stmt *statement) {
            const int count = sqlite3_bind_parameter_count(statement);
            for (const BoundValue &b : binds)
                if (b.sqliteIndex > 0 && b.sqliteIndex <= count)
                    bindInput(statement, b.sqliteIndex, b.buffer, row);
        };
        CollectionElements elements(session, t.collection, bind);
        if (t.kind == sql::StatementKind::Insert)
            elements.reserveNewIdentities();
        // Prepared once the elements' table exists.
        prepareSqlite(session, t.sqlite);
        stepChange(session, t, binds, row, t.collection.tableName);
        sqlite3_reset(m_stmt);
        if (t.kind == sql::StatementKind::Insert)
            m_lastRowid = session.context().rowidText(
                sql::collectionElementsTable, sqlite3_last_insert_rowid(session.db()));
        elements.writeBack();
    }
}

} // namespace qdsi::engine
