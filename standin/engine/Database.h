#pragma once

// The database files of an alias: one SQLite file per schema (user) in the alias's directory,
// created on first use; a demo alias gets the sample schema in each new schema file.

#include "engine/Config.h"

#include <sqlite3.h>

#include <string>

namespace qdsi::engine {

// Path of the schema file of `user` in the alias's directory.
std::string schemaPath(const AliasEntry &alias, const std::string &user);

// Opens a new connection to the user's schema (WAL, foreign keys on), creating directory, file
// and sample schema as needed. Throws OraError on failure.
sqlite3 *openSchema(const AliasEntry &alias, const std::string &user);

// The sequence side table kept in every schema that has sequences.
constexpr const char *sequenceTable = "QDSI_SEQUENCES";

} // namespace qdsi::engine
