#pragma once

// Stored PL/SQL units in side tables of the schema's SQLite file, so that they outlive the
// session and the process like the server's dictionary does:
//   QDSI_UNITS  (OWNER, NAME, TYPE, STATUS, VERSION, CREATED, LAST_DDL_TIME)
//   QDSI_SOURCE (OWNER, NAME, TYPE, LINE, TEXT)            one row per source line
//   QDSI_ERRORS (OWNER, NAME, TYPE, SEQUENCE, LINE, POSITION, TEXT)
// TYPE is the dictionary's type name ("PACKAGE BODY"), STATUS "VALID" or "INVALID", times are
// "YYYY-MM-DD HH24:MI:SS". Views USER_SOURCE, ALL_SOURCE, USER_ERRORS and ALL_ERRORS show them
// with the server's column names.

#include "plsql/PlsqlHost.h"

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>

namespace qdsi::engine {

class Session;

// Creates the side tables and views when the schema file has none yet. Throws OraError.
void ensureStoredCodeTables(Session &session);
// The same on a connection of its own to a schema file; returns an SQLite code.
int createStoredCodeTables(sqlite3 *db);

// The version of a stored unit, or nothing when it does not exist.
std::optional<int64_t> storedUnitVersion(
    Session &session, const std::string &owner, const std::string &name, plsql::UnitType type);

// The whole unit (source lines, status, errors); null when it does not exist.
std::shared_ptr<plsql::StoredUnit> readStoredUnit(
    Session &session, const std::string &owner, const std::string &name, plsql::UnitType type);

// Replaces the unit of the same owner, name and type inside the session's transaction and
// returns the version it was given. Throws OraError.
int64_t writeStoredUnit(Session &session, const plsql::StoredUnit &unit);

// Removes the unit inside the session's transaction; false when there was none.
bool deleteStoredUnit(
    Session &session, const std::string &owner, const std::string &name, plsql::UnitType type);

} // namespace qdsi::engine
