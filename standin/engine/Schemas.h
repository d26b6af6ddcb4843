#pragma once

// The other schemas of an alias as seen from one session. Every configured user of the alias is
// a schema with its own SQLite file; a session's connection has its own user's file as `main`
// and every other user's file attached under the user's name, so that "OWNER.OBJECT" in the
// translated text reads and changes the other schema's object, and the dictionary can list all
// schemas with their owners.

#include "engine/Config.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace qdsi::engine {

// One schema of a connection: the SQLite database name that reaches it ("main" or the
// attached name) and the owner it belongs to.
struct SchemaRef {
    std::string database;
    std::string owner;
};

// Attaches the schema files of the alias's other users (creating them, with the sample schema
// on a demo alias, when they do not exist yet), in name order and as many as SQLite allows.
// Returns the number attached. Throws OraError.
int attachSchemas(sqlite3 *db, const AliasEntry &alias, const std::string &user);

// Temporary views ALL_SOURCE and ALL_ERRORS over the stored code of every schema of the
// connection. Returns an SQLite code.
int installSchemaViews(sqlite3 *db, const std::string &user);

// The connection's schemas, its own (`main`, owned by `user`) first, then the attached ones in
// the order they were attached.
std::vector<SchemaRef> connectionSchemas(sqlite3 *db, const std::string &user);

// The database name of `owner`'s schema on the connection; empty when it is not reachable.
std::string schemaDatabase(sqlite3 *db, const std::string &user, const std::string &owner);

// `name` in double quotes, inner quotes doubled.
std::string quoteSqlName(const std::string &name);

} // namespace qdsi::engine
