#pragma once

// Object tables (`create table t of type`) and REFs to their rows. An object table is a SQLite
// table with one column per attribute of its type, its definition headed by a comment naming
// the type (sql::objectTableMark). A REF to a row is the text "SCHEMA.TABLE/rowid"; REF columns
// hold that text and are declared "REF SCHEMA TYPE"; triggers QD_REFS_<table>_INSERT/_UPDATE
// refuse anything else (ORA-00932, ORA-22889 outside the scope). `ref(t)` builds the text in SQL,
// and QD_DEREF (behind `deref(r)` and `value(t)`) reads the row back as a stored object value; a
// REF whose row is gone dereferences to NULL.

#include <string>

namespace qdsi::engine {

class Session;

// "SCHEMA.TYPE" of an object type (not a collection, not XMLTYPE) of the session's schema;
// empty when there is none.
std::string objectTypeQualifiedName(Session &session, const std::string &name);
// The type of an object table of the session's schema; empty for any other table.
std::string objectTableType(Session &session, const std::string &table);
// The column list (Oracle text) holding the attributes of an object type; ORA-00902 when the
// name is no object type.
std::string objectTableColumns(Session &session, const std::string &type);
// QD_DEREF and QD_REFCHECK (the check of values written into REF columns) on the session's
// connection.
void registerObjectTableFunctions(Session &session);

} // namespace qdsi::engine
