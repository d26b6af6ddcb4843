#pragma once

// What the PL/SQL interpreter needs from the server around it. The interpreter knows nothing
// of handles, sessions or SQLite: the engine implements this interface once per session and
// passes it to every call. All SQL the interpreter runs is Oracle text with named binds
// (":QDP1", ...) whose values come along; the host translates and executes it as it would a
// client's statement, inside the session's current transaction.

#include "plsql/Value.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qdsi::plsql {

struct NamedValue {
    std::string name; // upper case, without ":"
    Value value;
};

struct SqlResult {
    std::vector<std::string> columns; // select-list names, upper case (empty for DML)
    std::vector<std::vector<Value>> rows; // all rows of a query
    int64_t rowCount = 0; // rows fetched or rows changed
};

// A stored unit as the dictionary keeps it (user_source, user_objects, user_errors).
enum class UnitType { Procedure, Function, Package, PackageBody, Trigger, Type, TypeBody };

struct UnitError {
    int line = 0; // 1-based line of the stored source
    int position = 0; // 1-based column
    std::string text; // "PLS-00103: Encountered the symbol ..."
};

struct StoredUnit {
    std::string owner; // upper case
    std::string name; // upper case
    UnitType type = UnitType::Procedure;
    std::vector<std::string> lines; // source, one line per row, each ending in "\n" but the last
    bool valid = true;
    std::vector<UnitError> errors;
    int64_t version = 0; // changed by every store; package state of an older version is reset
};

// Dictionary type name: "PROCEDURE", "PACKAGE BODY", ...
const char *unitTypeName(UnitType type);

struct SessionState; // per-session state of the interpreter, see SessionState.h

class PlsqlHost {
public:
    virtual ~PlsqlHost() = default;

    // Runs one SQL statement (query, DML, DDL, lock, savepoint) of Oracle text with the given
    // binds; a query returns all its rows. Throws qdsi::sql::OraError for what the server
    // rejects. Never used for COMMIT/ROLLBACK, which come through commit()/rollback().
    virtual SqlResult executeSql(const std::string &oracleSql, const std::vector<NamedValue> &binds)
        = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // The current schema, upper case; unqualified unit names resolve in it.
    virtual std::string currentUser() = 0;

    // Stored units. loadUnit returns null when the unit does not exist. storeUnit replaces a
    // unit of the same owner, name and type; the host gives it a new version.
    virtual std::shared_ptr<const StoredUnit> loadUnit(
        const std::string &owner, const std::string &name, UnitType type)
        = 0;
    virtual void storeUnit(const StoredUnit &unit) = 0;
    virtual bool dropUnit(const std::string &owner, const std::string &name, UnitType type) = 0;

    // True once the client asked to break the running call (OCIBreak); the interpreter then
    // stops with ORA-01013 at the next statement, loop turn or sleep tick.
    virtual bool breakRequested() = 0;

    // The session's interpreter state: package variables and cursors, server output,
    // application info. Lives as long as the session.
    virtual SessionState &sessionState() = 0;
};

} // namespace qdsi::plsql
