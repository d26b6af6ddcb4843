#pragma once

// Oracle error numbers and texts as the server words them, and the translation of SQLite
// failures into them.

#include "sql/Dialect.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace qdsi::engine {

// The server's message for an ORA number; "%s" in it is replaced by the argument.
std::string oraText(int code, std::string_view argument = {});

// An OraError with the server's text ("ORA-00942: table or view does not exist").
sql::OraError oraFail(int code, std::string_view argument = {}, int offset = 0);

// What a failed SQLite call means to an Oracle client. `owner` names the schema for constraint
// messages; `cancelled` turns interrupts and lock waits into ORA-01013.
sql::OraError fromSqlite(sqlite3 *db, int rc, const std::string &owner, bool cancelled);

} // namespace qdsi::engine
