#pragma once

// Names the constraint behind a SQLite UNIQUE failure the way the server would: the name given
// in the table's DDL ("constraint pk_dept primary key"), the name of a unique index, or a
// generated SYS_C name when the DDL gave none.

#include <sqlite3.h>

#include <functional>
#include <string>

namespace qdsi::engine {

// `detail` is SQLite's "TABLE.COL1, TABLE.COL2" from "UNIQUE constraint failed: ...";
// `database` the SQLite name of the table's schema.
std::string uniqueConstraintName(
    sqlite3 *db, const std::string &detail, const std::string &database = "main");

// Name of a foreign key: the first one of `child` that references `parent` (either may be empty
// to mean any), taken from the DDL of the child tables; empty when none is named.
std::string foreignKeyName(sqlite3 *db, const std::string &child, const std::string &parent,
    const std::string &database = "main");

// The foreign key a failed change breaks. SQLite only says that one failed, so the change is run
// again by `rerun` with the checks put off inside a savepoint, SQLite's own check lists the rows
// that break a key, and the savepoint is rolled back. Empty names when nothing is found.
struct BrokenForeignKey {
    std::string childTable; // upper case
    std::string name;
};
BrokenForeignKey brokenForeignKey(
    sqlite3 *db, const std::function<void()> &rerun, const std::string &database = "main");

} // namespace qdsi::engine
