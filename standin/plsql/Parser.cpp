#include "plsql/Parser.h"

#include "plsql/CompileError.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

namespace qdsi::plsql {

namespace {

// Nesting beyond this is refused rather than risking the native stack.
constexpr int maxDepth = 200;

// Words that end an expression or a statement list and can never name a variable.
const std::set<std::string> &reservedWords()
{
    static const std::set<std::string> words = {
        "BEGIN",
        "END",
        "DECLARE",
        "EXCEPTION",
        "IF",
        "THEN",
        "ELSE",
        "ELSIF",
        "LOOP",
        "WHILE",
        "FOR",
        "WHEN",
        "IS",
        "AS",
        "IN",
        "OUT",
        "AND",
        "OR",
        "NOT",
        "NULL",
        "LIKE",
        "BETWEEN",
        "SELECT",
        "FROM",
        "WHERE",
        "INTO",
        "CASE",
        "RETURN",
        "EXIT",
        "RAISE",
        "CURSOR",
        "PROCEDURE",
        "FUNCTION",
        "TYPE",
        "OTHERS",
        "USING",
        "OPEN",
        "FETCH",
        "CLOSE",
        "INSERT",
        "UPDATE",
        "DELETE",
        "COMMIT",
        "ROLLBACK",
        "REVERSE",
        "CONSTANT",
        "DEFAULT",
    };
    return words;
}

class Parser {
public:
    explicit Parser(std::string_view source, size_t maxTokens = 0)
        : source_(source)
        , tokens_(tokenize(source, maxTokens))
    {
    }

    ParsedUnit anonymous()
    {
        ParsedUnit unit;
        unit.kind = ParsedUnit::Kind::Anonymous;
        unit.block = blockStatement();
        expect(";");
        expectEnd();
        return unit;
    }

    ParsedUnit stored()
    {
        ParsedUnit unit;
        if (acceptWord("PROCEDURE") || acceptWord("FUNCTION")) {
            --pos_;
            unit.kind
                = peek().is("PROCEDURE") ? ParsedUnit::Kind::Procedure : ParsedUnit::Kind::Function;
            next();
            unit.subprogram
                = subprogramAfterKeyword(unit.kind == ParsedUnit::Kind::Function, &unit.owner);
            if (!unit.subprogram->body)
                fail(peek(), "IS AS");
            unit.name = unit.subprogram->name;
        } else if (acceptWord("PACKAGE")) {
            const bool body = acceptWord("BODY");
            unit.kind = body ? ParsedUnit::Kind::PackageBody : ParsedUnit::Kind::PackageSpec;
            qualifiedName(unit.owner, unit.name);
            while (peek().is("AUTHID") || peek().is("CURRENT_USER") || peek().is("DEFINER"))
                next();
            if (!acceptWord("IS"))
                expectWord("AS");
            unit.decls = declarations(body);
            if (body && acceptWord("BEGIN")) {
                unit.block = std::make_shared<Block>();
                unit.block->line = tokens_[pos_ - 1].line;
                unit.block->body = statements({ "END", "EXCEPTION" });
                if (acceptWord("EXCEPTION"))
                    unit.block->handlers = handlers();
            }
            expectWord("END");
            if (peek().kind == Token::Kind::Name || peek().kind == Token::Kind::QuotedName)
                next();
            expect(";");
        } else if (acceptWord("TRIGGER")) {
            unit.kind = ParsedUnit::Kind::Trigger;
            qualifiedName(unit.owner, unit.name);
            int depth = 0;
            while (peek().kind != Token::Kind::End
                && !(depth == 0 && (peek().is("DECLARE") || peek().is("BEGIN")))) {
                if (peek().is("("))
                    ++depth;
                else if (peek().is(")"))
                    --depth;
                next();
            }
            unit.block = blockStatement();
            accept(";");
        } else if (acceptWord("TYPE")) {
            const bool body = acceptWord("BODY");
            unit.kind = body ? ParsedUnit::Kind::TypeBody : ParsedUnit::Kind::Type;
            qualifiedName(unit.owner, unit.name);
            skipBalancedToEnd();
        } else {
            fail(peek(), "PROCEDURE FUNCTION PACKAGE TRIGGER TYPE");
        }
        expectEnd();
        return unit;
    }

    CreateHeader createHeader()
    {
        CreateHeader h;
        expectWord("CREATE");
        if (acceptWord("OR"))
            expectWord("REPLACE");
        while (peek().is("EDITIONABLE") || peek().is("NONEDITIONABLE"))
            next();
        h.sourceOffset = peek().offset;
        if (acceptWord("PROCEDURE"))
            h.type = UnitType::Procedure;
        else if (acceptWord("FUNCTION"))
            h.type = UnitType::Function;
        else if (acceptWord("TRIGGER"))
            h.type = UnitType::Trigger;
        else if (acceptWord("PACKAGE"))
            h.type = acceptWord("BODY") ? UnitType::PackageBody : UnitType::Package;
        else if (acceptWord("TYPE"))
            h.type = acceptWord("BODY") ? UnitType::TypeBody : UnitType::Type;
        else
            fail(peek(), "PROCEDURE FUNCTION PACKAGE TRIGGER TYPE");
        qualifiedName(h.owner, h.name);
        return h;
    }

private:
    [[noreturn]] void fail(const Token &t, const std::string &expecting)
    {
        std::string shown = t.kind == Token::Kind::End ? "end-of-file"
            : t.kind == Token::Kind::String            ? "'" + t.text + "'"
            : t.kind == Token::Kind::Bind              ? ":" + t.text
                                                       : t.text;
        // The server reports a literal by its kind when it cannot use one.
        if (t.kind == Token::Kind::String)
            shown = "string literal";
        throw CompileError(t.line, t.column,
            "PLS-00103: Encountered the symbol \"" + shown
                + "\" when expecting one of the following:\n\n   " + expecting);
    }

    const Token &peek(int ahead = 0) const
    {
        const size_t i = std::min(pos_ + ahead, tokens_.size() - 1);
        return tokens_[i];
    }
    const Token &next()
    {
        const Token &t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size())
            ++pos_;
        return t;
    }
    bool accept(std::string_view sym)
    {
        if (peek().kind == Token::Kind::Symbol && peek().text == sym) {
            next();
            return true;
        }
        return false;
    }
    bool acceptWord(std::string_view word)
    {
        if (peek().kind == Token::Kind::Name && peek().text == word) {
            next();
            return true;
        }
        return false;
    }
    void expect(std::string_view sym)
    {
        if (!accept(sym))
            fail(peek(), std::string(sym));
    }
    void expectWord(std::string_view word)
    {
        if (!acceptWord(word))
            fail(peek(), std::string(word));
    }
    void expectEnd()
    {
        // A trailing "/" line of a script may have come along.
        accept("/");
        if (peek().kind != Token::Kind::End)
            fail(peek(), "end-of-file");
    }
    std::string identifier()
    {
        const Token &t = peek();
        if (t.kind == Token::Kind::QuotedName
            || (t.kind == Token::Kind::Name && !reservedWords().count(t.text))) {
            next();
            return t.text;
        }
        fail(t, "an identifier");
    }
    void qualifiedName(std::string &owner, std::string &name)
    {
        name = identifier();
        if (accept(".")) {
            owner = name;
            name = identifier();
        }
    }
    void skipBalancedToEnd()
    {
        while (peek().kind != Token::Kind::End && !peek().is("/"))
            next();
    }
    struct DepthGuard {
        DepthGuard(Parser &p)
            : p(p)
        {
            if (++p.depth_ > maxDepth)
                throw CompileError(
                    p.peek().line, p.peek().column, "PLS-00123: program too large (Diana nodes)");
        }
        ~DepthGuard() { --p.depth_; }
        Parser &p;
    };

    // ---- types and declarations ----

    TypeSpec typeSpec()
    {
        TypeSpec t;
        t.line = peek().line;
        t.column = peek().column;
        t.name.push_back(identifierOrTypeWord());
        while (accept("."))
            t.name.push_back(identifierOrTypeWord());
        if (accept("%")) {
            if (acceptWord("TYPE"))
                t.anchored = true;
            else if (acceptWord("ROWTYPE"))
                t.rowtype = true;
            else
                fail(peek(), "TYPE ROWTYPE");
        } else if (accept("(")) {
            t.length = integerLiteral();
            if (accept(","))
                t.scale = integerLiteral(true);
            if (!acceptWord("CHAR"))
                acceptWord("BYTE");
            expect(")");
        }
        // "long raw", "double precision"
        if (t.name.size() == 1 && (t.name[0] == "LONG" || t.name[0] == "DOUBLE"))
            if (acceptWord("RAW") || acceptWord("PRECISION"))
                t.name[0] += " " + tokens_[pos_ - 1].text;
        return t;
    }
    std::string identifierOrTypeWord()
    {
        const Token &t = peek();
        if (t.kind == Token::Kind::Name || t.kind == Token::Kind::QuotedName) {
            next();
            return t.text;
        }
        fail(t, "an identifier");
    }
    int integerLiteral(bool allowNegative = false)
    {
        const bool negative = allowNegative && accept("-");
        const Token &t = peek();
        if (t.kind != Token::Kind::Number)
            fail(t, "an integer");
        next();
        const long v = std::strtol(t.text.c_str(), nullptr, 10);
        return int(negative ? -v : v);
    }

    std::vector<Param> parameters()
    {
        std::vector<Param> params;
        if (!accept("("))
            return params;
        do {
            Param p;
            p.name = identifier();
            if (acceptWord("IN")) {
                p.mode = acceptWord("OUT") ? Param::Mode::InOut : Param::Mode::In;
            } else if (acceptWord("OUT")) {
                p.mode = Param::Mode::Out;
            }
            acceptWord("NOCOPY");
            p.type = typeSpec();
            if (accept(":=") || acceptWord("DEFAULT"))
                p.defaultValue = expression();
            params.push_back(std::move(p));
        } while (accept(","));
        expect(")");
        return params;
    }

    std::shared_ptr<Subprogram> subprogramAfterKeyword(
        bool isFunction, std::string *owner = nullptr)
    {
        auto sub = std::make_shared<Subprogram>();
        sub->isFunction = isFunction;
        sub->line = peek().line;
        sub->name = identifier();
        if (owner && accept(".")) {
            *owner = sub->name;
            sub->name = identifier();
        }
        sub->params = parameters();
        if (isFunction) {
            expectWord("RETURN");
            sub->returnType = typeSpec();
            while (peek().is("DETERMINISTIC") || peek().is("PIPELINED")
                || peek().is("PARALLEL_ENABLE") || peek().is("RESULT_CACHE"))
                next();
        }
        while (peek().is("AUTHID") || peek().is("CURRENT_USER") || peek().is("DEFINER"))
            next();
        if (acceptWord("IS") || acceptWord("AS")) {
            auto block = std::make_shared<Block>();
            block->line = peek().line;
            block->decls = declarations(true);
            expectWord("BEGIN");
            block->body = statements({ "END", "EXCEPTION" });
            if (acceptWord("EXCEPTION"))
                block->handlers = handlers();
            expectWord("END");
            if (peek().kind == Token::Kind::Name || peek().kind == Token::Kind::QuotedName)
                next();
            sub->body = block;
        }
        expect(";");
        return sub;
    }

    // Declarations up to BEGIN or END. Subprogram bodies are allowed where "bodies" is set.
    std::vector<Decl> declarations(bool bodies)
    {
        std::vector<Decl> decls;
        while (true) {
            const Token &t = peek();
            if (t.kind == Token::Kind::End || t.is("BEGIN") || t.is("END"))
                return decls;
            Decl d;
            d.line = t.line;
            d.column = t.column;
            if (acceptWord("PROCEDURE") || acceptWord("FUNCTION")) {
                const bool isFunction = tokens_[pos_ - 1].text == "FUNCTION";
                d.kind = Decl::Kind::Subprogram;
                d.subprogram = subprogramAfterKeyword(isFunction);
                if (d.subprogram->body && !bodies)
                    throw CompileError(d.line, d.column,
                        "PLS-00706: subprogram bodies are not allowed in a package "
                        "header");
                d.name = d.subprogram->name;
            } else if (acceptWord("CURSOR")) {
                d.kind = Decl::Kind::Cursor;
                d.name = identifier();
                d.params = parameters();
                if (acceptWord("RETURN"))
                    typeSpec();
                if (acceptWord("IS")) {
                    if (!peek().is("SELECT") && !peek().is("WITH") && !peek().is("("))
                        fail(peek(), "SELECT WITH (");
                    d.sql = sqlUntilSemicolon(nullptr);
                }
                expect(";");
            } else if (acceptWord("TYPE") || acceptWord("SUBTYPE")) {
                const bool subtype = tokens_[pos_ - 1].text == "SUBTYPE";
                d.name = identifier();
                expectWord("IS");
                if (subtype) {
                    d.kind = Decl::Kind::TableType; // an alias: element type without a table
                    d.type = typeSpec();
                    d.constant = true; // marks the alias
                    acceptWord("NOT") ? expectWord("NULL") : void();
                } else if (acceptWord("RECORD")) {
                    d.kind = Decl::Kind::RecordType;
                    expect("(");
                    do {
                        std::string field = identifier();
                        TypeSpec ft = typeSpec();
                        if (acceptWord("NOT"))
                            expectWord("NULL");
                        if (accept(":=") || acceptWord("DEFAULT"))
                            expression();
                        d.fields.emplace_back(field, ft);
                    } while (accept(","));
                    expect(")");
                } else if (acceptWord("TABLE") || acceptWord("VARRAY")) {
                    d.kind = Decl::Kind::TableType;
                    if (tokens_[pos_ - 1].text == "VARRAY") {
                        expect("(");
                        integerLiteral();
                        expect(")");
                    }
                    expectWord("OF");
                    d.type = typeSpec();
                    if (acceptWord("NOT"))
                        expectWord("NULL");
                    if (acceptWord("INDEX")) {
                        expectWord("BY");
                        typeSpec();
                    }
                } else if (acceptWord("REF")) {
                    fail(peek(), "RECORD TABLE VARRAY");
                } else {
                    fail(peek(), "RECORD TABLE VARRAY");
                }
                expect(";");
            } else if (acceptWord("PRAGMA")) {
                const std::string what = identifierOrTypeWord();
                if (what == "EXCEPTION_INIT") {
                    d.kind = Decl::Kind::ExceptionInit;
                    expect("(");
                    d.name = identifier();
                    expect(",");
                    d.errorCode = integerLiteral(true);
                    expect(")");
                } else {
                    // restrict_references, serially_reusable, autonomous_transaction: no effect
                    // here
                    int depth = 0;
                    while (peek().kind != Token::Kind::End && !(depth == 0 && peek().is(";"))) {
                        depth += peek().is("(") ? 1 : peek().is(")") ? -1 : 0;
                        next();
                    }
                    expect(";");
                    continue;
                }
                expect(";");
            } else {
                d.name = identifier();
                if (acceptWord("EXCEPTION")) {
                    d.kind = Decl::Kind::Exception;
                } else {
                    d.kind = Decl::Kind::Variable;
                    d.constant = acceptWord("CONSTANT");
                    d.type = typeSpec();
                    if (acceptWord("NOT")) {
                        expectWord("NULL");
                        d.notNull = true;
                    }
                    if (accept(":=") || acceptWord("DEFAULT"))
                        d.init = expression();
                    else if (d.constant || d.notNull)
                        fail(peek(), ":=");
                }
                expect(";");
            }
            decls.push_back(std::move(d));
        }
    }

    // ---- statements ----

    std::shared_ptr<Block> blockStatement()
    {
        DepthGuard guard(*this);
        auto block = std::make_shared<Block>();
        block->line = peek().line;
        if (acceptWord("DECLARE"))
            block->decls = declarations(true);
        expectWord("BEGIN");
        block->body = statements({ "END", "EXCEPTION" });
        if (acceptWord("EXCEPTION"))
            block->handlers = handlers();
        expectWord("END");
        if (peek().kind == Token::Kind::Name && !reservedWords().count(peek().text))
            next();
        return block;
    }

    std::vector<Handler> handlers()
    {
        std::vector<Handler> hs;
        while (acceptWord("WHEN")) {
            Handler h;
            do {
                if (acceptWord("OTHERS")) {
                    h.others = true;
                } else {
                    Path p { identifier() };
                    while (accept("."))
                        p.push_back(identifierOrTypeWord());
                    h.names.push_back(std::move(p));
                }
            } while (acceptWord("OR"));
            expectWord("THEN");
            h.body = statements({ "END", "WHEN" });
            hs.push_back(std::move(h));
        }
        if (hs.empty())
            fail(peek(), "WHEN");
        return hs;
    }

    StmtList statements(std::initializer_list<std::string_view> enders)
    {
        StmtList list;
        while (true) {
            const Token &t = peek();
            for (auto e : enders)
                if (t.kind == Token::Kind::Name && t.text == e) {
                    if (list.empty())
                        fail(t,
                            "begin case declare exit for goto if loop null raise return "
                            "select update while");
                    return list;
                }
            if (t.kind == Token::Kind::End)
                fail(t,
                    "begin case declare end exception exit for goto if loop mod null "
                    "pragma raise return select update while");
            list.push_back(statement());
        }
    }

    StmtPtr statement()
    {
        DepthGuard guard(*this);
        auto s = std::make_unique<Stmt>();
        const Token &t = peek();
        s->line = t.line;
        s->column = t.column;
        if (accept("<<")) {
            s->label = identifier();
            expect(">>");
            auto inner = statement();
            if (inner->kind == Stmt::Kind::Loop && inner->label.empty())
                inner->label = s->label;
            return inner;
        }
        if (t.kind == Token::Kind::Name) {
            const std::string w = t.text;
            if (w == "NULL") {
                // A missing ";" is reported at the word that follows, as the server does.
                next();
                expect(";");
                s->kind = Stmt::Kind::Null;
                return s;
            }
            if (w == "BEGIN" || w == "DECLARE") {
                s->kind = Stmt::Kind::Block;
                s->block = blockStatement();
                expect(";");
                return s;
            }
            if (w == "IF") {
                next();
                s->kind = Stmt::Kind::If;
                do {
                    ExprPtr cond = expression();
                    expectWord("THEN");
                    s->branches.emplace_back(
                        std::move(cond), statements({ "ELSIF", "ELSE", "END" }));
                } while (acceptWord("ELSIF"));
                if (acceptWord("ELSE"))
                    s->elseBody = statements({ "END" });
                expectWord("END");
                expectWord("IF");
                expect(";");
                return s;
            }
            if (w == "CASE") {
                // A CASE statement runs as an IF chain; without a match it raises CASE_NOT_FOUND.
                next();
                s->kind = Stmt::Kind::If;
                ExprPtr selector;
                if (!peek().is("WHEN"))
                    selector = expression();
                while (acceptWord("WHEN")) {
                    ExprPtr cond = expression();
                    if (selector) {
                        auto eq = std::make_unique<Expr>();
                        eq->kind = Expr::Kind::Binary;
                        eq->op = "=";
                        eq->line = cond->line;
                        eq->column = cond->column;
                        eq->operands.push_back(cloneSelector(*selector));
                        eq->operands.push_back(std::move(cond));
                        cond = std::move(eq);
                    }
                    expectWord("THEN");
                    s->branches.emplace_back(
                        std::move(cond), statements({ "WHEN", "ELSE", "END" }));
                }
                if (s->branches.empty())
                    fail(peek(), "WHEN");
                if (acceptWord("ELSE")) {
                    s->elseBody = statements({ "END" });
                } else {
                    auto raise = std::make_unique<Stmt>();
                    raise->kind = Stmt::Kind::Raise;
                    raise->line = s->line;
                    raise->exception = { "CASE_NOT_FOUND" };
                    s->elseBody.push_back(std::move(raise));
                }
                expectWord("END");
                expectWord("CASE");
                expect(";");
                return s;
            }
            if (w == "LOOP" || w == "WHILE" || w == "FOR")
                return loop(std::move(s));
            if (w == "EXIT" || w == "CONTINUE") {
                next();
                s->kind = w == "EXIT" ? Stmt::Kind::Exit : Stmt::Kind::Continue;
                if (peek().kind == Token::Kind::Name && !peek().is("WHEN"))
                    s->label = identifier();
                if (acceptWord("WHEN"))
                    s->value = expression();
                expect(";");
                return s;
            }
            if (w == "RETURN") {
                next();
                s->kind = Stmt::Kind::Return;
                if (!peek().is(";"))
                    s->value = expression();
                expect(";");
                return s;
            }
            if (w == "RAISE") {
                next();
                s->kind = Stmt::Kind::Raise;
                if (!peek().is(";")) {
                    s->exception.push_back(identifier());
                    while (accept("."))
                        s->exception.push_back(identifierOrTypeWord());
                }
                expect(";");
                return s;
            }
            if (w == "OPEN" || w == "CLOSE") {
                next();
                s->kind = w == "OPEN" ? Stmt::Kind::Open : Stmt::Kind::Close;
                if (s->kind == Stmt::Kind::Open && peek().kind == Token::Kind::Bind) {
                    // A cursor variable of the client: "open :c for <query>".
                    s->kind = Stmt::Kind::OpenFor;
                    s->cursor = { next().text };
                    expectWord("FOR");
                    if (!peek().is("SELECT") && !peek().is("WITH") && !peek().is("("))
                        fail(peek(), "SELECT WITH (");
                    s->sql = sqlUntilSemicolon(nullptr);
                    expect(";");
                    return s;
                }
                s->cursor = path();
                if (s->kind == Stmt::Kind::Open && accept("("))
                    s->cursorArgs = arguments();
                if (s->kind == Stmt::Kind::Open && acceptWord("FOR"))
                    fail(tokens_[pos_ - 1], ";");
                expect(";");
                return s;
            }
            if (w == "FETCH") {
                next();
                s->kind = Stmt::Kind::Fetch;
                s->cursor = path();
                expectWord("INTO");
                do
                    s->into.push_back(target());
                while (accept(","));
                expect(";");
                return s;
            }
            if (w == "GOTO")
                throw CompileError(t.line, t.column,
                    "PLS-00999: implementation restriction (may be temporary) "
                    "GOTO is not supported");
            if (w == "EXECUTE" && peek(1).is("IMMEDIATE")) {
                next();
                next();
                s->kind = Stmt::Kind::ExecuteImmediate;
                s->value = expression();
                if (acceptWord("INTO"))
                    do
                        s->into.push_back(target());
                    while (accept(","));
                if (acceptWord("USING"))
                    do {
                        acceptWord("IN");
                        s->usingArgs.push_back(expression());
                    } while (accept(","));
                expect(";");
                return s;
            }
            if (w == "SELECT" || w == "WITH" || w == "INSERT" || w == "UPDATE" || w == "DELETE"
                || w == "MERGE" || w == "LOCK" || w == "SAVEPOINT" || w == "COMMIT"
                || w == "ROLLBACK" || w == "SET") {
                s->kind = Stmt::Kind::Sql;
                s->sqlKind = w == "SELECT" || w == "WITH"           ? Stmt::SqlKind::Query
                    : w == "COMMIT"                                 ? Stmt::SqlKind::Commit
                    : (w == "ROLLBACK" && !isRollbackToSavepoint()) ? Stmt::SqlKind::Rollback
                    : (w == "INSERT" || w == "UPDATE" || w == "DELETE" || w == "MERGE")
                    ? Stmt::SqlKind::Dml
                    : Stmt::SqlKind::Other;
                s->sql = sqlUntilSemicolon(s->sqlKind == Stmt::SqlKind::Query ? &s->into : nullptr);
                if (s->sqlKind == Stmt::SqlKind::Query && s->into.empty())
                    throw CompileError(t.line, t.column,
                        "PLS-00428: an INTO clause is expected in this SELECT "
                        "statement");
                expect(";");
                return s;
            }
        }
        if (t.kind == Token::Kind::Name || t.kind == Token::Kind::QuotedName
            || t.kind == Token::Kind::Bind) {
            if (t.kind == Token::Kind::Name && reservedWords().count(t.text))
                fail(t,
                    "begin case declare exit for goto if loop null raise return select "
                    "update while");
            ExprPtr lhs = target();
            if (accept(":=")) {
                s->kind = Stmt::Kind::Assign;
                s->target = std::move(lhs);
                s->value = expression();
            } else {
                if (lhs->kind != Expr::Kind::Name && lhs->kind != Expr::Kind::Call)
                    fail(peek(), ":=");
                s->kind = Stmt::Kind::Call;
                s->value = std::move(lhs);
            }
            if (!accept(";"))
                fail(peek(), s->kind == Stmt::Kind::Assign ? ";" : ":= . ( @ % ;");
            return s;
        }
        fail(t,
            "begin case declare exit for goto if loop null raise return select update "
            "while");
    }

    bool isRollbackToSavepoint() const
    {
        return peek(1).is("TO") || (peek(1).is("WORK") && peek(2).is("TO"));
    }

    static ExprPtr cloneSelector(const Expr &e)
    {
        // CASE selectors are re-evaluated per WHEN; only simple operands are copied.
        auto c = std::make_unique<Expr>();
        c->kind = e.kind;
        c->line = e.line;
        c->column = e.column;
        c->literal = e.literal;
        c->path = e.path;
        c->op = e.op;
        c->negated = e.negated;
        for (const auto &o : e.operands)
            c->operands.push_back(cloneSelector(*o));
        for (const auto &a : e.args)
            c->args.push_back({ a.name, cloneSelector(*a.value) });
        for (const auto &[w, v] : e.whens)
            c->whens.emplace_back(cloneSelector(*w), cloneSelector(*v));
        if (e.elseValue)
            c->elseValue = cloneSelector(*e.elseValue);
        return c;
    }

    StmtPtr loop(StmtPtr s)
    {
        s->kind = Stmt::Kind::Loop;
        if (acceptWord("WHILE")) {
            s->loopKind = Stmt::LoopKind::While;
            s->low = expression();
        } else if (acceptWord("FOR")) {
            s->loopVar = identifier();
            expectWord("IN");
            if (acceptWord("REVERSE"))
                s->reverse = true;
            if (!s->reverse && peek().is("(") && (peek(1).is("SELECT") || peek(1).is("WITH"))) {
                next();
                s->loopKind = Stmt::LoopKind::ForCursor;
                s->sql = sqlUntilClosingParen();
                expect(")");
            } else {
                // A cursor name is a path not followed by "..".
                const size_t save = pos_;
                bool isCursor = false;
                if (!s->reverse
                    && (peek().kind == Token::Kind::Name
                        || peek().kind == Token::Kind::QuotedName)) {
                    Path p = path();
                    std::vector<Arg> args;
                    if (accept("("))
                        args = arguments();
                    if (peek().is("LOOP")) {
                        isCursor = true;
                        s->loopKind = Stmt::LoopKind::ForCursor;
                        s->cursor = std::move(p);
                        s->cursorArgs = std::move(args);
                    }
                }
                if (!isCursor) {
                    pos_ = save;
                    s->loopKind = Stmt::LoopKind::ForRange;
                    s->low = expression();
                    expect("..");
                    s->high = expression();
                }
            }
        }
        expectWord("LOOP");
        s->body = statements({ "END" });
        expectWord("END");
        expectWord("LOOP");
        if (peek().kind == Token::Kind::Name && !reservedWords().count(peek().text))
            next();
        expect(";");
        return s;
    }

    Path path()
    {
        Path p { identifier() };
        while (accept("."))
            p.push_back(identifierOrTypeWord());
        return p;
    }

    // The SQL text of an embedded statement up to ";" (or ")" for an inline cursor). With
    // "into" set, a top-level INTO list of a query is taken out and parsed as targets.
    SqlText sqlUntilSemicolon(std::vector<ExprPtr> *into) { return sqlText(into, false); }
    SqlText sqlUntilClosingParen() { return sqlText(nullptr, true); }

    SqlText sqlText(std::vector<ExprPtr> *into, bool parenthesised)
    {
        SqlText sql;
        int depth = 0;
        size_t lastEnd = std::string::npos;
        while (true) {
            const Token &t = peek();
            if (t.kind == Token::Kind::End)
                fail(t, ";");
            if (depth == 0 && (parenthesised ? t.is(")") : t.is(";")))
                break;
            if (into && depth == 0 && t.is("INTO") && into->empty()) {
                next();
                do
                    into->push_back(target());
                while (accept(","));
                lastEnd = std::string::npos;
                continue;
            }
            if (t.is("("))
                ++depth;
            else if (t.is(")"))
                --depth;
            sql.gaps.push_back(lastEnd == std::string::npos
                    ? (sql.tokens.empty() ? std::string() : std::string(" "))
                    : std::string(source_.substr(lastEnd, t.offset - lastEnd)));
            sql.tokens.push_back(t);
            sql.raw.emplace_back(source_.substr(t.offset, t.endOffset - t.offset));
            lastEnd = t.endOffset;
            next();
        }
        if (sql.tokens.empty())
            fail(peek(), "SELECT");
        return sql;
    }

    // ---- expressions ----

    ExprPtr make(Expr::Kind kind, const Token &at)
    {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->line = at.line;
        e->column = at.column;
        return e;
    }

    // An assignment or INTO target, or a procedure call: a name path or bind with optional
    // arguments.
    ExprPtr target()
    {
        const Token &t = peek();
        if (t.kind == Token::Kind::Bind)
            return bindReference();
        return namedPrimary();
    }

    // ":name", or ":new.column" in a trigger (bound as "NEW.COLUMN").
    ExprPtr bindReference()
    {
        const Token &t = next();
        auto e = make(Expr::Kind::Bind, t);
        std::string name = t.text;
        while (accept("."))
            name += "." + identifierOrTypeWord();
        e->path = { name };
        return e;
    }

    ExprPtr namedPrimary()
    {
        const Token &t = peek();
        auto e = make(Expr::Kind::Name, t);
        e->path = path();
        if (accept("(")) {
            e->kind = Expr::Kind::Call;
            e->args = arguments();
            // f(x).field and t(i).field
            while (accept(".")) {
                auto field = make(Expr::Kind::Name, tokens_[pos_ - 1]);
                field->path.push_back(identifierOrTypeWord());
                field->operands.push_back(std::move(e));
                e = std::move(field);
            }
        }
        if (accept("%")) {
            auto attr = make(Expr::Kind::Attribute, t);
            attr->path = std::move(e->path);
            attr->op = identifierOrTypeWord();
            if (attr->op != "FOUND" && attr->op != "NOTFOUND" && attr->op != "ISOPEN"
                && attr->op != "ROWCOUNT")
                fail(tokens_[pos_ - 1], "FOUND NOTFOUND ISOPEN ROWCOUNT");
            return attr;
        }
        return e;
    }

    std::vector<Arg> arguments()
    {
        std::vector<Arg> args;
        if (accept(")"))
            return args;
        do {
            Arg a;
            if ((peek().kind == Token::Kind::Name || peek().kind == Token::Kind::QuotedName)
                && peek(1).is("=>")) {
                a.name = peek().text;
                next();
                next();
            }
            a.value = expression();
            args.push_back(std::move(a));
        } while (accept(","));
        expect(")");
        return args;
    }

public:
    ExprPtr expression()
    {
        DepthGuard guard(*this);
        return orExpr();
    }

private:
    ExprPtr binary(const Token &at, std::string op, ExprPtr l, ExprPtr r)
    {
        auto e = make(Expr::Kind::Binary, at);
        e->height = std::max(l->height, r->height) + 1;
        // The interpreter walks expressions recursively; keep them within the native stack.
        if (e->height > maxDepth * 4)
            throw CompileError(at.line, at.column, "PLS-00123: program too large (Diana nodes)");
        e->op = std::move(op);
        e->operands.push_back(std::move(l));
        e->operands.push_back(std::move(r));
        return e;
    }
    ExprPtr orExpr()
    {
        ExprPtr l = andExpr();
        while (peek().is("OR")) {
            const Token &t = next();
            l = binary(t, "OR", std::move(l), andExpr());
        }
        return l;
    }
    ExprPtr andExpr()
    {
        ExprPtr l = notExpr();
        while (peek().is("AND")) {
            const Token &t = next();
            l = binary(t, "AND", std::move(l), notExpr());
        }
        return l;
    }
    ExprPtr notExpr()
    {
        if (peek().is("NOT")) {
            DepthGuard guard(*this);
            const Token &t = next();
            auto e = make(Expr::Kind::Unary, t);
            e->op = "NOT";
            e->operands.push_back(notExpr());
            return e;
        }
        return comparison();
    }
    ExprPtr comparison()
    {
        ExprPtr l = additive();
        const Token &t = peek();
        static const std::set<std::string> ops
            = { "=", "<>", "!=", "~=", "^=", "<", ">", "<=", ">=" };
        if (t.kind == Token::Kind::Symbol && ops.count(t.text)) {
            next();
            std::string op = t.text == "!=" || t.text == "~=" || t.text == "^=" ? "<>" : t.text;
            return binary(t, op, std::move(l), additive());
        }
        if (t.is("IS")) {
            next();
            auto e = make(Expr::Kind::IsNull, t);
            e->negated = acceptWord("NOT");
            expectWord("NULL");
            e->operands.push_back(std::move(l));
            return e;
        }
        const bool negated
            = t.is("NOT") && (peek(1).is("LIKE") || peek(1).is("BETWEEN") || peek(1).is("IN"));
        if (negated)
            next();
        if (acceptWord("LIKE")) {
            auto e = make(Expr::Kind::Like, t);
            e->negated = negated;
            e->operands.push_back(std::move(l));
            e->operands.push_back(additive());
            if (acceptWord("ESCAPE"))
                e->operands.push_back(additive());
            return e;
        }
        if (acceptWord("BETWEEN")) {
            auto e = make(Expr::Kind::Between, t);
            e->negated = negated;
            e->operands.push_back(std::move(l));
            e->operands.push_back(additive());
            expectWord("AND");
            e->operands.push_back(additive());
            return e;
        }
        if (acceptWord("IN")) {
            auto e = make(Expr::Kind::In, t);
            e->negated = negated;
            e->operands.push_back(std::move(l));
            expect("(");
            do
                e->operands.push_back(expression());
            while (accept(","));
            expect(")");
            return e;
        }
        return l;
    }
    ExprPtr additive()
    {
        ExprPtr l = multiplicative();
        while (peek().is("+") || peek().is("-") || peek().is("||")) {
            const Token &t = next();
            l = binary(t, t.text, std::move(l), multiplicative());
        }
        return l;
    }
    ExprPtr multiplicative()
    {
        ExprPtr l = unary();
        while (peek().is("*") || peek().is("/") || peek().is("MOD")) {
            if (peek().is("MOD")
                && !(peek(1).kind != Token::Kind::Symbol || peek(1).is("(") || peek(1).is("-")))
                break;
            const Token &t = next();
            l = binary(t, t.text, std::move(l), unary());
        }
        return l;
    }
    ExprPtr unary()
    {
        if (peek().is("-") || peek().is("+")) {
            DepthGuard guard(*this);
            const Token &t = next();
            auto e = make(Expr::Kind::Unary, t);
            e->op = t.text;
            e->operands.push_back(unary());
            return e;
        }
        ExprPtr l = primary();
        if (peek().is("**")) {
            const Token &t = next();
            l = binary(t, "**", std::move(l), unary());
        }
        return l;
    }
    ExprPtr primary()
    {
        DepthGuard guard(*this);
        const Token &t = peek();
        switch (t.kind) {
        case Token::Kind::Number: {
            next();
            auto e = make(Expr::Kind::Literal, t);
            const bool whole = t.text.find_first_of(".eE") == std::string::npos;
            const double real = std::strtod(t.text.c_str(), nullptr);
            if (!std::isfinite(real) || std::fabs(real) >= 1e126)
                throw CompileError(t.line, t.column, "PLS-00569: numeric overflow or underflow");
            if (whole && t.text.size() < 19)
                e->literal = Value::fromInteger(std::strtoll(t.text.c_str(), nullptr, 10));
            else
                e->literal = Value::fromReal(real);
            return e;
        }
        case Token::Kind::String: {
            next();
            auto e = make(Expr::Kind::Literal, t);
            e->literal = Value::fromText(t.text);
            return e;
        }
        case Token::Kind::Bind:
            return bindReference();
        case Token::Kind::Symbol:
            if (accept("(")) {
                ExprPtr e = expression();
                expect(")");
                return e;
            }
            break;
        case Token::Kind::QuotedName:
            return namedPrimary();
        case Token::Kind::Name:
            if (t.text == "NULL" || t.text == "TRUE" || t.text == "FALSE") {
                next();
                auto e = make(Expr::Kind::Literal, t);
                if (t.text != "NULL")
                    e->literal = Value::fromBoolean(t.text == "TRUE");
                return e;
            }
            if (t.text == "CASE") {
                next();
                auto e = make(Expr::Kind::Case, t);
                if (!peek().is("WHEN"))
                    e->operands.push_back(expression());
                while (acceptWord("WHEN")) {
                    ExprPtr w = expression();
                    expectWord("THEN");
                    e->whens.emplace_back(std::move(w), expression());
                }
                if (e->whens.empty())
                    fail(peek(), "WHEN");
                if (acceptWord("ELSE"))
                    e->elseValue = expression();
                expectWord("END");
                return e;
            }
            if (t.text == "DATE" && peek(1).kind == Token::Kind::String) {
                next();
                const Token &lit = next();
                auto e = make(Expr::Kind::Call, t);
                e->path = { "TO_DATE" };
                auto a = make(Expr::Kind::Literal, lit);
                a->literal = Value::fromText(lit.text);
                auto f = make(Expr::Kind::Literal, lit);
                f->literal = Value::fromText("YYYY-MM-DD");
                e->args.push_back({ "", std::move(a) });
                e->args.push_back({ "", std::move(f) });
                return e;
            }
            if (t.text == "SQL" && peek(1).is("%")) {
                next();
                next();
                auto attr = make(Expr::Kind::Attribute, t);
                attr->path = { "SQL" };
                attr->op = identifierOrTypeWord();
                return attr;
            }
            if (!reservedWords().count(t.text) || t.text == "DELETE")
                return namedPrimary();
            break;
        default:
            break;
        }
        fail(t,
            "( - + case mod new not null <an identifier> <a double-quoted delimited-identifier> "
            "<a bind variable> <a number> <a single-quoted SQL string>");
    }

    std::string_view source_;
    std::vector<Token> tokens_;
    size_t pos_ = 0;
    int depth_ = 0;
};

} // namespace

ParsedUnit parseAnonymousBlock(std::string_view source)
{
    return Parser(source).anonymous();
}

ParsedUnit parseStoredUnit(std::string_view source)
{
    return Parser(source).stored();
}

CreateHeader parseCreateHeader(std::string_view text)
{
    return Parser(text, 12).createHeader();
}

bool isCreateOfStoredCode(std::string_view text)
{
    try {
        parseCreateHeader(text);
        return true;
    } catch (const CompileError &) {
        return false;
    }
}

} // namespace qdsi::plsql
