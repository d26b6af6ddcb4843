#pragma once

// The server's data-dictionary views (ALL_TABLES, ALL_TAB_COLUMNS, ALL_CONSTRAINTS, ...) as
// read-only virtual tables of a connection, computed from the schema's catalogue when a
// statement reads them. The translation names them QDSI_DICT_<VIEW> (sql::dictionaryTable);
// every ALL_, USER_ and DBA_ form is installed, each with the columns the server declares, so
// describe reports the server's types and sizes.

#include "sql/Dialect.h"

#include <sqlite3.h>

#include <string>
#include <utility>

namespace qdsi::engine {

// Creates the temporary virtual tables on a connection. `user` is the connection's schema
// (the owner of everything in its file). Returns an SQLite code.
int installDictionary(sqlite3 *db, const std::string &user);

// The object a name stands for when it is a synonym and no object of the schema: the user's
// private synonym first, else a public one, followed through chains of the user's synonyms.
// {owner, object}; an empty object when the name is no synonym. A name that is neither an
// object of the own schema nor a synonym but an object of another attached schema gives
// {"main", name}, so that the statement names the own schema and fails as on the server.
std::pair<std::string, std::string> synonymTarget(
    sqlite3 *db, const std::string &user, const std::string &name);

// The description of a table's (or dictionary view's) column from its declared type; false
// when the table has no such column. With an empty column: whether the table exists.
bool columnDescription(
    sqlite3 *db, const std::string &table, const std::string &column, sql::ColumnDescription &d);

} // namespace qdsi::engine
