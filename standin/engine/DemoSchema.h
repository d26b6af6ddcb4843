#pragma once

#include <sqlite3.h>

namespace qdsi::engine {

// Creates the sample schema (two related tables with keys, a view, a sequence and some rows)
// in an empty schema file. Returns the SQLite result code.
int createDemoSchema(sqlite3 *db);

} // namespace qdsi::engine
