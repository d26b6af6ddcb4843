#pragma once

// The server's data-dictionary views (ALL_TABLES, ALL_TAB_COLUMNS, ALL_CONSTRAINTS, ...) as
// read-only virtual tables of a connection, computed from the schema's catalogue when a
// statement reads them. The translation names them QDSI_DICT_<VIEW> (sql::dictionaryTable);
// every ALL_, USER_ and DBA_ form is installed, each with the columns the server declares, so
// describe reports the server's types and sizes.

#include <sqlite3.h>

#include <string>

namespace qdsi::engine {

// Creates the temporary virtual tables on a connection. `user` is the connection's schema
// (the owner of everything in its file). Returns an SQLite code.
int installDictionary(sqlite3 *db, const std::string &user);

} // namespace qdsi::engine
