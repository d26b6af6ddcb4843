#pragma once

// Identity columns: each has a sequence ISEQ$$_<table's object number> in QDSI_SEQUENCES and a
// row of QDSI_IDENTITY_COLS saying how the column is generated. The column's SQLite default
// calls QD_IDENTITY(table, column), which draws the next number from that sequence.

#include "sql/Dialect.h"

#include <sqlite3.h>

#include <string>
#include <utility>
#include <vector>

namespace qdsi::engine {

class Session;

// CREATE TABLE: the sequences and rows of the new table's identity columns (inside the DDL's
// savepoint, after the table exists).
void createIdentities(
    Session &session, const std::string &table, const std::vector<sql::IdentityDefinition> &ids);
// ALTER TABLE ... MODIFY col: a new generation, options, restart, or DROP IDENTITY.
void alterIdentity(Session &session, const std::string &table, const sql::IdentityDefinition &d);
// DROP TABLE: the identity rows and their sequences go with the table.
void dropIdentities(Session &session, const std::string &table);
// Whether a sequence belongs to an identity column (it cannot be dropped by itself).
bool isIdentitySequence(sqlite3 *db, const std::string &sequence);

// The table's columns with how each is generated; empty when it has no identity column.
std::vector<std::pair<std::string, sql::IdentityKind>> identityColumns(
    sqlite3 *db, const std::string &table);
// The next number for the column (ORA-01400 when it is no longer an identity column).
int64_t identityNext(Session &session, const std::string &table, const std::string &column);

} // namespace qdsi::engine
