#pragma once

// Client statements that the PL/SQL interpreter runs: anonymous blocks and CALL with the
// client's bind variables, CREATE of stored code and DROP of it.

#include "engine/ClientBuffer.h"
#include "plsql/PlsqlHost.h"
#include "sql/Dialect.h"

#include <string>
#include <string_view>
#include <vector>

namespace qdsi::engine {

class Session;
struct BoundValue;

// True when the interpreter runs the statement. Stored-code DDL then gets the statement type
// and function code the server reports for its kind of unit.
bool adoptPlsqlClass(sql::Translation &t, std::string_view text);

// Runs the statement for iterations rowOffset .. iterations-1 of the binds and writes the
// assigned out binds back into the client's buffers. Returns 24344 when a CREATE stored a
// unit with compilation errors, else 0. Throws OraError.
int executePlsql(Session &session, std::string_view text, const sql::Translation &t,
    const std::vector<BoundValue> &binds, uint32_t iterations, uint32_t rowOffset);

// Opens a cursor variable after a block ran "open :c for <query>": prepares the client's
// statement handle (the value of the SQLT_RSET bind) with the query and executes it with the
// binds in the session, so that the client defines and fetches from it as from a select.
// Statement handles belong to the oci layer, which installs the opener; throws OraError.
using CursorVariableOpener = void (*)(Session &session, void *clientStatement,
    const std::string &query, const std::vector<plsql::NamedValue> &binds);
void setCursorVariableOpener(CursorVariableOpener opener);

} // namespace qdsi::engine
