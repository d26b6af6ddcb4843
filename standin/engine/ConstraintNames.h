#pragma once

// Names the constraint behind a SQLite UNIQUE failure the way the server would: the name given
// in the table's DDL ("constraint pk_dept primary key"), the name of a unique index, or a
// generated SYS_C name when the DDL gave none.

#include <sqlite3.h>

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

} // namespace qdsi::engine
