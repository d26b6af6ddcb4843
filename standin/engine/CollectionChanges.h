#pragma once

// INSERT, UPDATE and DELETE through TABLE(subquery): the elements of the one collection the
// subquery selects become the rows of a temporary table, the change runs on that table with
// SQLite's own evaluation of its SET, VALUES and WHERE clauses, and the rows go back into the
// collection's row as its new value.
//
// Every element keeps an identity, which its ROWID shows: an element that never had one is
// known by its position until the first change through TABLE(...) writes the identities down;
// new elements get identities above any the collection gave before, so a deleted element's
// ROWID never finds another element.

#include "engine/ObjectTypes.h"
#include "sql/Dialect.h"

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>

namespace qdsi::engine {

class Session;

class CollectionElements {
public:
    // Binds the statement's inputs to a statement over the same placeholders.
    using Binder = std::function<void(sqlite3_stmt *)>;

    // Reads the collection and fills the temporary table. Throws OraError: 22908 when the
    // subquery gives no row or a null collection, 1427 for more than one row, 22905 when the
    // column holds no collection, 22906 for a VARRAY (changed only as a whole).
    CollectionElements(
        Session &session, const sql::Translation::CollectionTarget &target, const Binder &bind);
    ~CollectionElements();
    CollectionElements(const CollectionElements &) = delete;
    CollectionElements &operator=(const CollectionElements &) = delete;

    // Before an insert: the next element SQLite numbers is above every identity given before.
    void reserveNewIdentities();
    // The table's rows as the collection's new value, written to its row.
    void writeBack();

private:
    Session &m_session;
    const sql::Translation::CollectionTarget &m_target;
    std::shared_ptr<const ObjectType> m_type;
    int64_t m_rowid = 0;  // the collection's row
    int64_t m_lastId = 0; // the highest identity given so far
    int64_t m_reserved = 0;
    std::set<int64_t> m_nullElements; // object elements that are null as a whole
};

} // namespace qdsi::engine
