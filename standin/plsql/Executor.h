#pragma once

// Runs a parsed PL/SQL block for Interpreter: declarations, statements, cursors and SQL through
// the host, calls of local, stored and server-package routines, and expressions. One executor
// serves one client call; what outlives the call (package state) lives in the session's
// SessionState. Errors travel as PlsqlError.

#include "plsql/Ast.h"
#include "plsql/Interpreter.h"
#include "plsql/PlsqlError.h"
#include "plsql/PlsqlHost.h"
#include "plsql/Runtime.h"
#include "plsql/ServerPackages.h"
#include "plsql/SessionState.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qdsi::plsql {

constexpr int maxCallDepth = 100;

// Oracle numbers of the predefined exceptions (NO_DATA_FOUND, ...).
const std::map<std::string, int> &predefinedExceptions();

// "ORA-nnnnn: text".
std::string oraText(int code, const std::string &text);

// A compile-time kind of error found while running: the server would have refused the block.
PlsqlError semanticError(int line, int column, const std::string &pls);

// Byte offset of a 1-based line and column in a text.
int offsetOf(std::string_view text, int line, int column);

// "A.B.C" of a dotted name.
std::string joinPath(const Path &p);

class Executor {
public:
    Executor(PlsqlHost &host, int64_t budget, std::vector<Bind> *binds);
    void runAnonymous(const ParsedUnit &unit);

private:
    // ---------------------------------------------------------- bookkeeping

    Frame &frame() { return *frames_.back(); }

    void tick();
    static void noteFrame(PlsqlError &e, const Frame &f);

    // ---------------------------------------------------------- types

    RType resolveType(const TypeSpec &t, const std::shared_ptr<Scope> &scope);
    Value initialValue(const RType &t);

    // Converts a value for storage in a variable of type t (implicit conversion, length and
    // precision checks).
    Value coerce(const RType &t, const Value &v);
    static Value toDate(const Value &v);

    // ---------------------------------------------------------- declarations

    std::string exceptionIdentity(const Decl &d) { return "E" + std::to_string(uintptr_t(&d)); }

    void declare(const std::vector<Decl> &decls, const std::shared_ptr<Scope> &scope);
    static bool sameShape(const Subprogram &a, const Subprogram &b);

    // ---------------------------------------------------------- lookup

    Variable *findVariable(const std::string &name, const std::shared_ptr<Scope> &scope);

    // A variable named by a path: "v", "pkg.v", "owner.pkg.v" (no record fields).
    Variable *findVariablePath(const Path &p, const std::shared_ptr<Scope> &scope);

    // Resolves the leading part of a path to a variable; "used" tells how many parts it took.
    Variable *resolveVariable(const Path &p, const std::shared_ptr<Scope> &scope, size_t &used);
    Value *field(Value &v, const std::string &name, const Expr *at);
    Cursor *findCursor(const Path &p, const std::shared_ptr<Scope> &scope);
    const std::string *findException(const Path &p, const std::shared_ptr<Scope> &scope);
    int codeOfException(const std::string &id, Scope *from);

    // ---------------------------------------------------------- stored units

    std::shared_ptr<const ParsedUnit> parsedUnit(const StoredUnit &u);
    void requireValid(const StoredUnit &u);

    // The package "name" of "owner" (default: the current schema), instantiated for this
    // session on first use. Null when there is no such package. A package whose stored
    // source changed since it was instantiated starts afresh.
    PackageInstance *findPackage(
        const std::string &name, bool mustExist, const std::string &ownerIn = {});
    std::string currentUser();

    // ---------------------------------------------------------- blocks and statements

    Flow runBlock(const Block &block, const std::shared_ptr<Scope> &parent);
    bool handles(const Handler &h, const PlsqlError &e, const std::shared_ptr<Scope> &scope);
    Flow runStatements(const StmtList &list, const std::shared_ptr<Scope> &scope);
    Flow run(const Stmt &s, const std::shared_ptr<Scope> &scope);
    [[noreturn]] void raise(const Stmt &s, const std::shared_ptr<Scope> &scope);
    bool isTrue(const Value &v);

    // Whether a loop ends on the EXIT or CONTINUE it just saw (unlabelled, or its own label).
    bool mine(const Stmt &loop);
    Flow runLoop(const Stmt &s, const std::shared_ptr<Scope> &scope);

    // ---------------------------------------------------------- cursors and SQL

    Cursor *cursorOf(const Path &p, const Stmt &s, const std::shared_ptr<Scope> &scope);
    Value rowRecord(const Cursor &c, size_t row);
    void openDeclared(Cursor &c, const std::vector<Arg> &args, const std::shared_ptr<Scope> &scope);
    void openWith(Cursor &c, const SqlText &sql, const std::shared_ptr<Scope> &scope);
    void openCursor(const Stmt &s, const std::shared_ptr<Scope> &scope);

    // The query's text and bind values are taken now; the engine runs it on the client's
    // statement handle once the block has finished.
    void openCursorVariable(const Stmt &s, const std::shared_ptr<Scope> &scope);
    void fetch(const Stmt &s, const std::shared_ptr<Scope> &scope);
    void intoTargets(const std::vector<ExprPtr> &into, const std::vector<std::string> &columns,
        const std::vector<Value> &row, const std::shared_ptr<Scope> &scope, const Stmt &s);
    void runSql(const Stmt &s, const std::shared_ptr<Scope> &scope);
    void executeImmediate(const Stmt &s, const std::shared_ptr<Scope> &scope);

    // Server errors of SQL run from PL/SQL become PL/SQL exceptions that handlers can catch.
    template <typename F> void serverCall(F f);
    SqlResult executeSql(const std::string &text, const std::vector<NamedValue> &binds);

    // Rebuilds an embedded statement with every PL/SQL name and client bind replaced by a
    // bind ":QDPn" carrying its current value. A name that is no PL/SQL variable (a column,
    // a table, a function) stays as it is.
    std::string buildSql(
        const SqlText &sql, const std::shared_ptr<Scope> &scope, std::vector<NamedValue> &binds);

    // ---------------------------------------------------------- binds

    Bind *findBind(const std::string &name);
    Value bindValue(const std::string &name);
    void assignBind(const std::string &name, const Value &v, const Expr &at);

    // ---------------------------------------------------------- assignment

    void assign(const Expr &target, const Value &v, const std::shared_ptr<Scope> &scope);

    // ---------------------------------------------------------- calls

    // Matches actual arguments to formal parameters (positional first, then named). given[i]
    // receives the expression for parameter i or stays null.
    template <typename NameOf>
    void bindArguments(size_t count, NameOf nameOf, const std::vector<Arg> &args,
        std::vector<const Expr *> &given, const std::string &routine);
    PlsqlError wrongArguments(const std::string &routine);
    bool acceptsArguments(const Subprogram &sub, const std::vector<Arg> &args);
    struct Callee {
        std::shared_ptr<Subprogram> sub;
        std::shared_ptr<Scope> scope; // where the body's names resolve
        std::string unit; // frame name for ORA-06512
        const Builtin *builtin = nullptr;
        std::string builtinName;
    };

    // Finds the routine a path names; "found" stays false when nothing by that name exists.
    bool findRoutine(const Path &p, const std::vector<Arg> &args,
        const std::shared_ptr<Scope> &scope, Callee &callee);
    std::shared_ptr<Scope> findOwner(const std::shared_ptr<Scope> &from, Scope *target);
    std::shared_ptr<Subprogram> implementation(PackageInstance &pkg, const Subprogram &decl);
    bool standalone(const std::string &owner, const std::string &name, Callee &callee);

    // Calls a routine; outArgs receive OUT values. Returns the function result.
    Value call(const Expr &e, const std::shared_ptr<Scope> &scope, bool wantResult);
    static bool isAssignable(const Expr &e);
    Value callBuiltin(const Expr &e, const Builtin &b, const std::string &name,
        const std::shared_ptr<Scope> &scope, bool wantResult);
    void callStatement(const Expr &e, const std::shared_ptr<Scope> &scope);

    // ---------------------------------------------------------- expressions

    Value evaluate(const Expr &e, const std::shared_ptr<Scope> &scope);
    static bool like(const std::string &s, const std::string &p, char esc);
    Value attribute(const Expr &e, const std::shared_ptr<Scope> &scope);
    Value evaluateName(const Expr &e, const std::shared_ptr<Scope> &scope);

    // sqlerrm(n): the server's message for an error number, as clients use it to word codes.
    static Value sqlerrmOf(const Value &code);

    // getclobval() and getstringval() of an XMLTYPE variable: its document.
    Value objectMethod(const Variable &v, const Expr &e);
    Value evaluateCall(const Expr &e, const std::shared_ptr<Scope> &scope);
    [[noreturn]] void raiseApplicationError(const Expr &e, const std::shared_ptr<Scope> &scope);

    // A function of the SQL dialect, computed by the host.
    Value sqlFunction(const Expr &e, const std::string &name, const std::vector<Value> &args);
    static Value notOp(const Value &v);
    static Value andOp(const Value &a, const Value &b);
    static Value orOp(const Value &a, const Value &b);
    Value compareOp(const std::string &op, const Value &a, const Value &b, const Expr &e);
    Value evaluateBinary(const Expr &e, const std::shared_ptr<Scope> &scope);
    PlsqlHost &host_;
    SessionState &session_;
    int64_t budget_ = 0;
    int64_t steps_ = 0;
    std::vector<Bind> *binds_ = nullptr;
    std::vector<Frame *> frames_;
    std::string user_;
    int64_t sqlRowCount_ = 0;
    int sqlFound_ = -1; // -1 before the first implicit cursor
    std::vector<std::shared_ptr<const ParsedUnit>> keep_;
};

// Matches actual arguments to formal parameters (positional first, then named). given[i]
// receives the expression for parameter i or stays null.
template <typename NameOf>
void Executor::bindArguments(size_t count, NameOf nameOf, const std::vector<Arg> &args,
    std::vector<const Expr *> &given, const std::string &routine)
{
    size_t position = 0;
    bool named = false;
    for (const Arg &a : args) {
        if (a.name.empty()) {
            if (named || position >= count)
                throw wrongArguments(routine);
            given[position++] = a.value.get();
            continue;
        }
        named = true;
        bool found = false;
        for (size_t i = 0; i < count; ++i)
            if (nameOf(i) == a.name) {
                if (given[i])
                    throw wrongArguments(routine);
                given[i] = a.value.get();
                found = true;
            }
        if (!found)
            throw wrongArguments(routine);
    }
}

} // namespace qdsi::plsql
