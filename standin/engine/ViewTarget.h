#pragma once

// Changes through a view: which table an INSERT, UPDATE or DELETE naming a view changes.

#include "sql/Dialect.h"

#include <sqlite3.h>

#include <string>

namespace qdsi::engine {

// For a view of the connection's own schema: its table and columns when the view is a query
// over one table of that schema that shows the table's columns under their own names (select
// list of "*", "t.*" or plain column names; no DISTINCT, WHERE, GROUP BY, join or set
// operator), no table for any other view; not a view when the name is none.
sql::ViewTarget viewTarget(sqlite3 *db, const std::string &user, const std::string &name);

} // namespace qdsi::engine
