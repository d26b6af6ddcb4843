#pragma once

// Parses PL/SQL source into the tree the interpreter walks. Syntax errors throw CompileError
// with the line and column of the offending token, worded as the server words them.

#include "plsql/Ast.h"
#include "plsql/PlsqlHost.h"

#include <string_view>

namespace qdsi::plsql {

// An anonymous block: "[declare ...] begin ... end;".
ParsedUnit parseAnonymousBlock(std::string_view source);

// The source of a stored unit as the dictionary keeps it, starting with its kind word
// ("procedure p is ...", "package body k as ...").
ParsedUnit parseStoredUnit(std::string_view source);

// The head of "create [or replace] <kind> [owner.]name ...". sourceOffset is where the stored
// source starts (the kind word). Throws CompileError when the text is no such statement.
struct CreateHeader {
    UnitType type = UnitType::Procedure;
    std::string owner; // empty when not given
    std::string name;
    size_t sourceOffset = 0;
};
bool isCreateOfStoredCode(std::string_view text);
CreateHeader parseCreateHeader(std::string_view text);

} // namespace qdsi::plsql
