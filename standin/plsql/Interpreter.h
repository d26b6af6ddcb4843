#pragma once

// Runs PL/SQL for the stand-in server: anonymous blocks with the client's bind variables,
// CREATE and DROP of stored units, and calls into stored units and the server packages.
// Everything the interpreter needs from the server comes through PlsqlHost. Errors come back
// as qdsi::sql::OraError with the server's code and text (including the "ORA-06512: at ..."
// lines of an unhandled exception).
//
// Expressions are evaluated here for literals, variables, operators and the common standard
// functions; any other function of the SQL dialect is delegated to the host as
// "select f(:QDP1, ...) from dual" with the evaluated arguments as binds.

#include "plsql/PlsqlHost.h"
#include "plsql/Value.h"

#include <string>
#include <string_view>
#include <vector>

namespace qdsi::plsql {

// One client bind variable of a block. The engine maps its OCI bind onto this: the buffer's
// value (or Null for a null indicator) goes in; after the call, a bind with "assigned" set has
// its new value in "value" (Null for a null indicator) for the engine to write back. A date
// assigned to a string bind stays a Date value: the engine writes it in the session's date
// format and checks that it fits.
// A Cursor bind is a cursor variable of the client: "open :c for <query>" leaves the query and
// its bind values in "cursorSql" and "cursorBinds" (and sets "assigned") for the engine to open
// on the client's statement handle.
enum class BindType { String, Integer, Float, Date, LongString, Cursor };

struct Bind {
    std::string name; // upper case, without ":"; numeric names ("1") for positional binds
    BindType type = BindType::String;
    int maxLength = 0; // bytes the client's buffer holds for a string; 0 = no limit
    Value value;
    bool assigned = false;
    std::string cursorSql; // Cursor
    std::vector<NamedValue> cursorBinds; // Cursor
};

// Where a statement goes and what the server reports for it (OCI_ATTR_STMT_TYPE and
// OCI_ATTR_SQLFNCODE).
struct StatementClass {
    enum class Kind { NotPlsql, Block, CreateUnit, DropUnit };
    Kind kind = Kind::NotPlsql;
    int statementType = 0;
    int functionCode = 0;
};
StatementClass classifyStatement(std::string_view text);

struct CreateResult {
    bool compiledWithErrors = false; // the engine answers OCI_SUCCESS_WITH_INFO, ORA-24344
    UnitType type = UnitType::Procedure;
    std::string owner;
    std::string name;
};

class Interpreter {
public:
    explicit Interpreter(PlsqlHost &host);

    // Limits the number of statements and loop turns one call may run (0 = no limit); used by
    // the fuzz build so that arbitrary text cannot loop for ever.
    void setInstructionBudget(int64_t budget) { budget_ = budget; }

    // Runs "[declare ...] begin ... end;". Throws sql::OraError.
    void executeBlock(std::string_view text, std::vector<Bind> &binds);

    // "create [or replace] procedure|function|package [body]|trigger|type [body] ...": stores
    // the source and its compile errors. Throws sql::OraError for what is not stored at all.
    CreateResult createUnit(std::string_view text);

    // "drop procedure|function|package [body]|trigger|type [body] [owner.]name".
    void dropUnit(std::string_view text);

    // The text of ORA-24344 as the client reports it after a CREATE with errors.
    static std::string compilationWarningText();

private:
    PlsqlHost &host_;
    int64_t budget_ = 0;
};

} // namespace qdsi::plsql
