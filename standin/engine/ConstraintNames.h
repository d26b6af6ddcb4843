#pragma once

// Names the constraint behind a SQLite UNIQUE failure the way the server would: the name given
// in the table's DDL ("constraint pk_dept primary key"), the name of a unique index, or a
// generated SYS_C name when the DDL gave none.

#include <sqlite3.h>

#include <string>

namespace qdsi::engine {

// `detail` is SQLite's "TABLE.COL1, TABLE.COL2" from "UNIQUE constraint failed: ...".
std::string uniqueConstraintName(sqlite3 *db, const std::string &detail);

} // namespace qdsi::engine
