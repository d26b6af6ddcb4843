#pragma once

// TABLE(subquery) in a FROM clause: the elements of the collection the subquery returns, one
// row each. A collection of an object type gives one column per attribute (named after it), a
// collection of scalars one column COLUMN_VALUE. Every collection type gets its own
// table-valued function (an eponymous SQLite virtual table) whose hidden argument is the
// collection's stored text; QD_ONE_COLLECTION passes the subquery's single value to it.

#include "engine/ObjectTypes.h"

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

namespace qdsi::engine {

class Session;

// The name of the function listing the elements of the collection the SQLite subquery
// returns, made known to the session's connection on first use. Throws OraError 22905 when the
// subquery's value is no collection, 913 when it has more than one column.
std::string collectionRowsFunction(Session &session, const std::string &subquery);

// The function listing the elements of a collection of that type.
std::string collectionRowsFunction(
    Session &session, const std::shared_ptr<const ObjectType> &collection);

// The collection type a column of that declared SQLite type holds; null for any other type.
std::shared_ptr<const ObjectType> collectionTypeOf(Session &session, const char *declaredType);

// The columns of the element rows: their names (quoted) and the declaration "name type, ...".
std::vector<std::string> elementColumnNames(const ObjectType &collection);
std::string elementColumnsDeclaration(const ObjectType &collection);

// The element that a row of those columns holds (columns from `first` on). Throws OraError
// for a value the element cannot hold.
ObjectValue elementOfRow(const ObjectType &collection, sqlite3_stmt *row, int first);

} // namespace qdsi::engine
