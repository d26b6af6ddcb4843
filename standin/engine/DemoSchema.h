#pragma once

#include <sqlite3.h>

#include <string>

namespace qdsi::engine {

// Creates the sample schema (related tables with keys and a check, a view, a sequence, a
// materialized view's table, a public synonym and some rows) in an empty schema file of
// `owner`. Returns the SQLite result code.
int createDemoSchema(sqlite3 *db, const std::string &owner);

} // namespace qdsi::engine
