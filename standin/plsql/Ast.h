#pragma once

// The parsed form of PL/SQL source that the interpreter walks.

#include "plsql/Lexer.h"
#include "plsql/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace qdsi::plsql {

struct Expr;
struct Stmt;
struct Block;
struct Subprogram;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;
using StmtList = std::vector<StmtPtr>;
using Path = std::vector<std::string>;

struct Arg {
    std::string name; // named notation "name => value"; empty for positional
    ExprPtr value;
};

// A SQL statement or query embedded in PL/SQL: its tokens, each with the text that separated it
// from the one before, so that the statement can be rebuilt with PL/SQL names turned into binds.
struct SqlText {
    std::vector<Token> tokens;
    std::vector<std::string> gaps;
    std::vector<std::string> raw; // each token as written
};

struct Expr {
    enum class Kind {
        Literal,
        Name,
        Bind,
        Call,
        Unary,
        Binary,
        IsNull,
        Like,
        Between,
        In,
        Attribute,
        Case
    };
    Kind kind = Kind::Literal;
    int line = 0;
    int column = 0;
    int height = 1; // operator chains ("a + b + c ...") grow the tree without parser recursion
    Value literal;
    Path path; // Name, Call, Attribute (the cursor), Bind (the bind name)
    std::vector<Arg> args; // Call
    std::string op; // Unary/Binary operator, Attribute name (FOUND, ROWCOUNT, ...)
    bool negated = false; // IS NOT NULL, NOT LIKE, NOT BETWEEN, NOT IN
    std::vector<ExprPtr> operands;
    std::vector<std::pair<ExprPtr, ExprPtr>> whens; // Case; operands[0] is the selector, if any
    ExprPtr elseValue;
};

struct TypeSpec {
    Path name; // e.g. {"VARCHAR2"}, {"EMP", "ENAME"} for %type
    int length = -1; // VARCHAR2(n), NUMBER(p)
    int scale = -1; // NUMBER(p, s)
    bool anchored = false; // %type
    bool rowtype = false; // %rowtype
    int line = 0;
    int column = 0;
};

struct Param {
    enum class Mode { In, Out, InOut };
    std::string name;
    Mode mode = Mode::In;
    TypeSpec type;
    ExprPtr defaultValue;
};

struct Decl {
    enum class Kind {
        Variable,
        Exception,
        Cursor,
        Subprogram,
        RecordType,
        TableType,
        ExceptionInit
    };
    Kind kind = Kind::Variable;
    int line = 0;
    int column = 0;
    std::string name;
    TypeSpec type; // Variable; TableType element
    bool constant = false;
    bool notNull = false;
    ExprPtr init;
    std::vector<Param> params; // Cursor
    SqlText sql; // Cursor (may be empty in a package spec: "cursor c return ...")
    std::shared_ptr<Subprogram> subprogram;
    std::vector<std::pair<std::string, TypeSpec>> fields; // RecordType
    int errorCode = 0; // ExceptionInit
};

struct Handler {
    std::vector<Path> names; // empty with others
    bool others = false;
    StmtList body;
};

struct Block {
    int line = 0;
    std::vector<Decl> decls;
    StmtList body;
    std::vector<Handler> handlers;
};

struct Subprogram {
    std::string name;
    bool isFunction = false;
    std::vector<Param> params;
    TypeSpec returnType;
    std::shared_ptr<Block> body; // null for a declaration in a package spec
    int line = 0;
};

struct Stmt {
    enum class Kind {
        Null,
        Assign,
        If,
        Loop,
        Exit,
        Continue,
        Return,
        Call,
        Sql,
        Open,
        OpenFor, // "open :bind for <query>": a cursor variable the client bound
        Fetch,
        Close,
        Raise,
        Block,
        ExecuteImmediate
    };
    enum class LoopKind { Basic, While, ForRange, ForCursor };
    enum class SqlKind { Query, Dml, Commit, Rollback, Other };
    Kind kind = Kind::Null;
    int line = 0;
    int column = 0;
    ExprPtr target; // Assign
    ExprPtr value; // Assign, Return, Call, Exit/Continue condition, ExecuteImmediate text
    std::vector<std::pair<ExprPtr, StmtList>> branches; // If
    StmtList elseBody; // If
    LoopKind loopKind = LoopKind::Basic;
    std::string label;
    std::string loopVar;
    bool reverse = false;
    ExprPtr low, high; // ForRange bounds; While uses low as the condition
    StmtList body;
    Path cursor; // ForCursor, Open, Fetch, Close; OpenFor: the bind name
    std::vector<Arg> cursorArgs;
    SqlText sql; // Sql; ForCursor over an inline query; OpenFor
    SqlKind sqlKind = SqlKind::Other;
    std::vector<ExprPtr> into; // Sql (select into), Fetch, ExecuteImmediate
    std::vector<ExprPtr> usingArgs; // ExecuteImmediate
    Path exception; // Raise; empty re-raises
    std::shared_ptr<Block> block;
};

// One unit of source: an anonymous block or the stored unit of a CREATE statement.
struct ParsedUnit {
    enum class Kind {
        Anonymous,
        Procedure,
        Function,
        PackageSpec,
        PackageBody,
        Trigger,
        Type,
        TypeBody
    };
    Kind kind = Kind::Anonymous;
    std::string owner; // empty when not given
    std::string name;
    std::shared_ptr<Block> block; // anonymous block, trigger body, package initialisation
    std::shared_ptr<Subprogram> subprogram; // procedure, function
    std::vector<Decl> decls; // package spec or body
};

} // namespace qdsi::plsql
