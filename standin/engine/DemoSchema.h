#pragma once

#include <sqlite3.h>

#include <string>

namespace qdsi::engine {

// The sample's second schema: a user of this name in a demo alias gets its own small schema
// (a table with a check and a private synonym for DEMO.EMP) instead of the sample schema.
inline constexpr const char *secondSchemaName = "HR";

// Creates the sample schema (related tables with keys and a check, a view, a sequence, a
// materialized view's table, a public synonym, a package and a trigger, and some rows) in an
// empty schema file of `owner`, or the second schema for secondSchemaName. Returns the SQLite
// result code.
int createDemoSchema(sqlite3 *db, const std::string &owner);

} // namespace qdsi::engine
