#pragma once

// TABLE(subquery) in a FROM clause: the elements of the collection the subquery returns, one
// row each. A collection of an object type gives one column per attribute (named after it), a
// collection of scalars one column COLUMN_VALUE. Every collection type gets its own
// table-valued function (an eponymous SQLite virtual table) whose hidden argument is the
// collection's stored text; QD_ONE_COLLECTION passes the subquery's single value to it.

#include <string>

namespace qdsi::engine {

class Session;

// The name of the function listing the elements of the collection the SQLite subquery
// returns, made known to the session's connection on first use. Throws OraError 22905 when the
// subquery's value is no collection, 913 when it has more than one column.
std::string collectionRowsFunction(Session &session, const std::string &subquery);

} // namespace qdsi::engine
