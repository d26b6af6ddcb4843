#pragma once

// What the PL/SQL executor keeps while a block runs: variables and their types, cursors, nested
// scopes, instantiated packages, and the frames of the units being called.

#include "plsql/Ast.h"
#include "plsql/PlsqlError.h"
#include "plsql/PlsqlHost.h"
#include "plsql/Value.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qdsi::plsql {

struct RType {
    enum class Base { Any, Number, Integer, Text, Char, Date, Boolean, Record, Table };
    Base base = Base::Any;
    int length = -1;
    int scale = -1;
    bool notNull = false;
    std::shared_ptr<std::vector<std::pair<std::string, RType>>> fields; // null: fields of a row
    std::shared_ptr<RType> element;
    std::string objectType; // SYS.XMLTYPE: a Text holding the document
};

struct Variable {
    RType type;
    Value value;
    bool constant = false;
};

struct Scope;
struct PackageInstance;

struct Cursor {
    const Decl *decl = nullptr; // declared cursor; null for an inline query
    std::weak_ptr<Scope> scope; // where the query's names resolve (it owns the cursor)
    bool open = false;
    SqlResult result;
    size_t next = 0;
    int lastFetch = -1; // -1 no fetch yet, 0 nothing fetched, 1 a row
};

struct Scope {
    std::shared_ptr<Scope> parent;
    std::map<std::string, std::shared_ptr<Variable>> vars;
    std::map<std::string, std::shared_ptr<Cursor>> cursors;
    std::map<std::string, std::string> exceptions; // name -> identity
    std::map<std::string, int> exceptionCodes; // identity -> ORA code (pragma exception_init)
    std::map<std::string, RType> types;
    std::map<std::string, std::vector<std::shared_ptr<Subprogram>>> subs;
    PackageInstance *package = nullptr; // the package whose spec or body this scope is
};

struct PackageInstance {
    std::string owner, name;
    int64_t specVersion = -1, bodyVersion = -1;
    std::shared_ptr<const ParsedUnit> specUnit, bodyUnit;
    std::shared_ptr<Scope> spec, body;
};

// Control flow out of a statement list.
enum class Flow { Normal, Exit, Continue, Return };

struct Frame {
    std::string unit; // "OWNER.NAME" of a stored unit; empty for the anonymous block
    int line = 0;
    const PlsqlError *handling = nullptr; // the exception of the handler that runs
    Value result;
    bool returned = false;
    std::string flowLabel; // label of an EXIT/CONTINUE
};

} // namespace qdsi::plsql
