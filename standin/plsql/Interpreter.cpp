#include "plsql/Interpreter.h"

#include "plsql/CompileError.h"
#include "plsql/Parser.h"
#include "plsql/PlsqlError.h"
#include "plsql/ServerPackages.h"
#include "plsql/SessionState.h"
#include "sql/Dialect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace qdsi::plsql {

// ---------------------------------------------------------------- runtime structures

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

const char *unitTypeName(UnitType type)
{
    switch (type) {
    case UnitType::Procedure:
        return "PROCEDURE";
    case UnitType::Function:
        return "FUNCTION";
    case UnitType::Package:
        return "PACKAGE";
    case UnitType::PackageBody:
        return "PACKAGE BODY";
    case UnitType::Trigger:
        return "TRIGGER";
    case UnitType::Type:
        return "TYPE";
    case UnitType::TypeBody:
        return "TYPE BODY";
    }
    return "";
}

namespace {

constexpr int maxCallDepth = 100;

const std::map<std::string, int> &predefinedExceptions()
{
    static const std::map<std::string, int> names = {
        { "NO_DATA_FOUND", 1403 },
        { "TOO_MANY_ROWS", 1422 },
        { "ZERO_DIVIDE", 1476 },
        { "VALUE_ERROR", 6502 },
        { "INVALID_NUMBER", 1722 },
        { "DUP_VAL_ON_INDEX", 1 },
        { "INVALID_CURSOR", 1001 },
        { "CURSOR_ALREADY_OPEN", 6511 },
        { "CASE_NOT_FOUND", 6592 },
        { "LOGIN_DENIED", 1017 },
        { "NOT_LOGGED_ON", 1012 },
        { "PROGRAM_ERROR", 6501 },
        { "STORAGE_ERROR", 6500 },
        { "TIMEOUT_ON_RESOURCE", 51 },
        { "ROWTYPE_MISMATCH", 6504 },
    };
    return names;
}

std::string oraText(int code, const std::string &text)
{
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", code);
    return head + text;
}

// A compile-time kind of error found while running: the server would have refused the block.
PlsqlError semanticError(int line, int column, const std::string &pls)
{
    const std::string at
        = "line " + std::to_string(line) + ", column " + std::to_string(column) + ":\n";
    PlsqlError e(
        6550, oraText(6550, at + pls) + "\n" + oraText(6550, at + "PL/SQL: Statement ignored"));
    e.fatal = true;
    e.compileTime = true;
    e.line = line;
    e.column = column;
    return e;
}

// Byte offset of a 1-based line and column in a text.
int offsetOf(std::string_view text, int line, int column)
{
    size_t pos = 0;
    for (int l = 1; l < line && pos < text.size(); ++l) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            return int(text.size());
        pos = nl + 1;
    }
    return int(std::min(text.size(), pos + size_t(std::max(column, 1) - 1)));
}

std::string joinPath(const Path &p)
{
    std::string s;
    for (const auto &part : p)
        s += (s.empty() ? "" : ".") + part;
    return s;
}

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

// ---------------------------------------------------------------- the executor

class Executor {
public:
    Executor(PlsqlHost &host, int64_t budget, std::vector<Bind> *binds)
        : host_(host)
        , session_(host.sessionState())
        , budget_(budget)
        , binds_(binds)
    {
    }

    void runAnonymous(const ParsedUnit &unit)
    {
        Frame frame;
        frames_.push_back(&frame);
        try {
            runBlock(*unit.block, nullptr);
        } catch (PlsqlError &e) {
            if (!(e.fatal && e.code == 1013))
                noteFrame(e, frame);
            frames_.pop_back();
            throw;
        }
        frames_.pop_back();
    }

private:
    // ---------------------------------------------------------- bookkeeping

    Frame &frame() { return *frames_.back(); }

    void tick()
    {
        if (host_.breakRequested()) {
            PlsqlError e = plsqlError(1013);
            e.fatal = true;
            throw e;
        }
        if (budget_ > 0 && ++steps_ > budget_) {
            PlsqlError e = plsqlError(6500, "instruction budget exhausted");
            e.fatal = true;
            throw e;
        }
    }

    static void noteFrame(PlsqlError &e, const Frame &f)
    {
        if (e.compileTime) {
            if (!e.unitKnown) {
                e.unit = f.unit;
                e.unitKnown = true;
            }
            return;
        }
        e.backtrace.push_back(f.unit.empty()
                ? "ORA-06512: at line " + std::to_string(f.line)
                : "ORA-06512: at \"" + f.unit + "\", line " + std::to_string(f.line));
    }

    // ---------------------------------------------------------- types

    RType resolveType(const TypeSpec &t, const std::shared_ptr<Scope> &scope)
    {
        RType r;
        if (t.anchored) {
            // variable%type copies the variable's type; table.column%type takes any value.
            if (Variable *v = findVariablePath(t.name, scope))
                return v->type;
            return r;
        }
        if (t.rowtype) {
            r.base = RType::Base::Record;
            return r;
        }
        if ((t.name.size() == 1 && t.name[0] == "XMLTYPE")
            || (t.name.size() == 2 && t.name[0] == "SYS" && t.name[1] == "XMLTYPE")) {
            // The one object type a block may hold: its value is the document's text.
            r.base = RType::Base::Text;
            r.objectType = "SYS.XMLTYPE";
            return r;
        }
        if (t.name.size() == 1) {
            const std::string &n = t.name[0];
            for (Scope *s = scope.get(); s; s = s->parent.get()) {
                auto it = s->types.find(n);
                if (it != s->types.end())
                    return it->second;
            }
            static const std::set<std::string> numbers = { "NUMBER", "NUMERIC", "DECIMAL", "DEC",
                "FLOAT", "REAL", "DOUBLE PRECISION", "BINARY_DOUBLE", "BINARY_FLOAT" };
            static const std::set<std::string> integers
                = { "INTEGER", "INT", "SMALLINT", "PLS_INTEGER", "BINARY_INTEGER", "NATURAL",
                      "NATURALN", "POSITIVE", "POSITIVEN", "SIGNTYPE", "SIMPLE_INTEGER" };
            static const std::set<std::string> texts
                = { "VARCHAR2", "VARCHAR", "STRING", "NVARCHAR2", "LONG", "CLOB", "NCLOB", "RAW",
                      "LONG RAW", "ROWID", "UROWID", "BLOB" };
            if (numbers.count(n)) {
                r.base = t.scale == 0 && t.length > 0 ? RType::Base::Integer : RType::Base::Number;
                r.length = t.length;
                r.scale = t.scale;
            } else if (integers.count(n)) {
                r.base = RType::Base::Integer;
            } else if (texts.count(n)) {
                r.base = RType::Base::Text;
                r.length = t.length;
            } else if (n == "CHAR" || n == "NCHAR" || n == "CHARACTER") {
                r.base = RType::Base::Char;
                r.length = t.length < 0 ? 1 : t.length;
            } else if (n == "DATE" || n == "TIMESTAMP") {
                r.base = RType::Base::Date;
            } else if (n == "BOOLEAN") {
                r.base = RType::Base::Boolean;
            } else {
                throw semanticError(
                    t.line, t.column, "PLS-00201: identifier '" + n + "' must be declared");
            }
            return r;
        }
        // dbms_output.chararr and types declared in package specs
        Path p = t.name;
        if (p.size() == 3 && p[0] == "SYS")
            p.erase(p.begin());
        if (p.size() == 2 && p[0] == "DBMS_OUTPUT" && p[1] == "CHARARR") {
            r.base = RType::Base::Table;
            r.element = std::make_shared<RType>();
            r.element->base = RType::Base::Text;
            return r;
        }
        if (p.size() == 2)
            if (PackageInstance *pkg = findPackage(p[0], false)) {
                auto it = pkg->spec->types.find(p[1]);
                if (it != pkg->spec->types.end())
                    return it->second;
            }
        throw semanticError(
            t.line, t.column, "PLS-00201: identifier '" + joinPath(t.name) + "' must be declared");
    }

    Value initialValue(const RType &t)
    {
        Value v;
        if (t.base == RType::Base::Record) {
            v.kind = Value::Kind::Record;
            v.record = std::make_shared<Record>();
            if (t.fields)
                for (const auto &[name, ft] : *t.fields)
                    v.record->emplace_back(name, initialValue(ft));
        } else if (t.base == RType::Base::Table) {
            v.kind = Value::Kind::Table;
            v.table = std::make_shared<IndexTable>();
        }
        return v;
    }

    // Converts a value for storage in a variable of type t (implicit conversion, length and
    // precision checks).
    Value coerce(const RType &t, const Value &v)
    {
        if (v.isNull() && t.base != RType::Base::Record && t.base != RType::Base::Table) {
            if (t.notNull)
                throw valueError("NULL index table key value");
            return v;
        }
        switch (t.base) {
        case RType::Base::Any:
            return copyValue(v);
        case RType::Base::Number:
        case RType::Base::Integer: {
            if (v.kind == Value::Kind::Boolean || v.kind == Value::Kind::Date
                || v.kind == Value::Kind::Record || v.kind == Value::Kind::Table)
                throw semanticError(frame().line, 1, "PLS-00382: expression is of wrong type");
            double d = v.toReal();
            if (t.base == RType::Base::Integer)
                d = std::round(d);
            else if (t.scale > 0)
                d = std::round(d * std::pow(10.0, t.scale)) / std::pow(10.0, t.scale);
            if (t.length > 0 && std::fabs(d) >= std::pow(10.0, t.length - std::max(t.scale, 0)))
                throw valueError("number precision too large");
            if (v.kind == Value::Kind::Integer && t.base == RType::Base::Integer)
                return v;
            return Value::fromReal(d);
        }
        case RType::Base::Text:
        case RType::Base::Char: {
            if (v.kind == Value::Kind::Boolean || v.kind == Value::Kind::Record
                || v.kind == Value::Kind::Table)
                throw semanticError(frame().line, 1, "PLS-00382: expression is of wrong type");
            std::string s = v.toText();
            if (t.length >= 0 && int64_t(s.size()) > t.length)
                throw valueError("character string buffer too small");
            if (t.base == RType::Base::Char && t.length > 0)
                s.resize(size_t(t.length), ' ');
            return Value::fromText(s);
        }
        case RType::Base::Date:
            return toDate(v);
        case RType::Base::Boolean:
            if (v.kind != Value::Kind::Boolean)
                throw semanticError(frame().line, 1, "PLS-00382: expression is of wrong type");
            return v;
        case RType::Base::Record: {
            if (v.kind != Value::Kind::Record)
                throw semanticError(frame().line, 1, "PLS-00382: expression is of wrong type");
            return copyValue(v);
        }
        case RType::Base::Table:
            if (v.kind != Value::Kind::Table)
                throw semanticError(frame().line, 1, "PLS-00382: expression is of wrong type");
            return copyValue(v);
        }
        return v;
    }

    static Value toDate(const Value &v)
    {
        if (v.kind == Value::Kind::Date)
            return v;
        if (v.kind != Value::Kind::Text)
            throw valueError("character to date conversion error");
        int y, mo, d, h = 0, mi = 0, s = 0;
        char tail = 0;
        const int got = std::sscanf(
            v.text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
        if ((got != 3 && got != 6) || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59
            || s > 59)
            throw plsqlError(1861, "literal does not match format string");
        char buf[64];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
        return Value::fromDate(buf);
    }

    // ---------------------------------------------------------- declarations

    std::string exceptionIdentity(const Decl &d) { return "E" + std::to_string(uintptr_t(&d)); }

    void declare(const std::vector<Decl> &decls, const std::shared_ptr<Scope> &scope)
    {
        for (const Decl &d : decls) {
            frame().line = d.line;
            switch (d.kind) {
            case Decl::Kind::Variable: {
                auto var = std::make_shared<Variable>();
                var->type = resolveType(d.type, scope);
                var->type.notNull = d.notNull;
                var->value = initialValue(var->type);
                if (d.init)
                    var->value = coerce(var->type, evaluate(*d.init, scope));
                var->constant = d.constant;
                scope->vars[d.name] = var;
                break;
            }
            case Decl::Kind::Exception:
                scope->exceptions[d.name] = exceptionIdentity(d);
                break;
            case Decl::Kind::ExceptionInit: {
                const std::string *id = findException(Path { d.name }, scope);
                if (!id)
                    throw semanticError(d.line, d.column,
                        "PLS-00109: unknown exception name '" + d.name
                            + "' in PRAGMA EXCEPTION_INIT");
                scope->exceptionCodes[*id] = d.errorCode < 0 ? -d.errorCode : d.errorCode;
                break;
            }
            case Decl::Kind::Cursor: {
                auto c = std::make_shared<Cursor>();
                c->decl = &d;
                c->scope = scope;
                // A body's "cursor c is ..." completes the header's "cursor c return ...".
                if (scope->package && d.sql.tokens.empty())
                    break;
                scope->cursors[d.name] = c;
                if (scope->package && scope->parent && scope->parent->package)
                    scope->parent->cursors.erase(d.name), scope->parent->cursors[d.name] = c;
                break;
            }
            case Decl::Kind::Subprogram: {
                auto &list = scope->subs[d.name];
                // A body replaces a forward declaration of the same shape.
                bool replaced = false;
                for (auto &s : list)
                    if (!s->body && sameShape(*s, *d.subprogram)) {
                        s = d.subprogram;
                        replaced = true;
                    }
                if (!replaced)
                    list.push_back(d.subprogram);
                break;
            }
            case Decl::Kind::RecordType: {
                RType t;
                t.base = RType::Base::Record;
                t.fields = std::make_shared<std::vector<std::pair<std::string, RType>>>();
                for (const auto &[name, ft] : d.fields)
                    t.fields->emplace_back(name, resolveType(ft, scope));
                scope->types[d.name] = t;
                break;
            }
            case Decl::Kind::TableType: {
                if (d.constant) { // subtype alias
                    scope->types[d.name] = resolveType(d.type, scope);
                    break;
                }
                RType t;
                t.base = RType::Base::Table;
                t.element = std::make_shared<RType>(resolveType(d.type, scope));
                scope->types[d.name] = t;
                break;
            }
            }
        }
    }

    static bool sameShape(const Subprogram &a, const Subprogram &b)
    {
        if (a.isFunction != b.isFunction || a.params.size() != b.params.size())
            return false;
        for (size_t i = 0; i < a.params.size(); ++i)
            if (a.params[i].name != b.params[i].name)
                return false;
        return true;
    }

    // ---------------------------------------------------------- lookup

    Variable *findVariable(const std::string &name, const std::shared_ptr<Scope> &scope)
    {
        for (Scope *s = scope.get(); s; s = s->parent.get()) {
            auto it = s->vars.find(name);
            if (it != s->vars.end())
                return it->second.get();
        }
        return nullptr;
    }

    // A variable named by a path: "v", "pkg.v", "owner.pkg.v" (no record fields).
    Variable *findVariablePath(const Path &p, const std::shared_ptr<Scope> &scope)
    {
        if (p.size() == 1)
            return findVariable(p[0], scope);
        if (p.size() == 2)
            if (PackageInstance *pkg = findPackage(p[0], false)) {
                auto it = pkg->spec->vars.find(p[1]);
                return it == pkg->spec->vars.end() ? nullptr : it->second.get();
            }
        return nullptr;
    }

    // Resolves the leading part of a path to a variable; "used" tells how many parts it took.
    Variable *resolveVariable(const Path &p, const std::shared_ptr<Scope> &scope, size_t &used)
    {
        if (Variable *v = findVariable(p[0], scope)) {
            used = 1;
            return v;
        }
        if (p.size() >= 2 && !isServerPackage(p[0])) {
            if (PackageInstance *pkg = findPackage(p[0], false)) {
                auto it = pkg->spec->vars.find(p[1]);
                if (it != pkg->spec->vars.end()) {
                    used = 2;
                    return it->second.get();
                }
            }
        }
        if (p.size() >= 3 && !isServerPackage(p[1])) {
            if (PackageInstance *pkg = findPackage(p[1], false, p[0])) {
                auto it = pkg->spec->vars.find(p[2]);
                if (it != pkg->spec->vars.end()) {
                    used = 3;
                    return it->second.get();
                }
            }
        }
        return nullptr;
    }

    Value *field(Value &v, const std::string &name, const Expr *at)
    {
        if (v.kind == Value::Kind::Record && v.record)
            for (auto &[n, f] : *v.record)
                if (n == name)
                    return &f;
        if (v.kind == Value::Kind::Record && v.record && at == nullptr) {
            v.record->emplace_back(name, Value());
            return &v.record->back().second;
        }
        throw semanticError(at ? at->line : frame().line, at ? at->column : 1,
            "PLS-00302: component '" + name + "' must be declared");
    }

    Cursor *findCursor(const Path &p, const std::shared_ptr<Scope> &scope)
    {
        if (p.size() == 1) {
            for (Scope *s = scope.get(); s; s = s->parent.get()) {
                auto it = s->cursors.find(p[0]);
                if (it != s->cursors.end())
                    return it->second.get();
            }
            return nullptr;
        }
        PackageInstance *pkg = p.size() == 2 ? findPackage(p[0], false)
            : p.size() == 3                  ? findPackage(p[1], false, p[0])
                                             : nullptr;
        if (!pkg)
            return nullptr;
        auto it = pkg->spec->cursors.find(p.back());
        return it == pkg->spec->cursors.end() ? nullptr : it->second.get();
    }

    const std::string *findException(const Path &p, const std::shared_ptr<Scope> &scope)
    {
        if (p.size() == 1) {
            for (Scope *s = scope.get(); s; s = s->parent.get()) {
                auto it = s->exceptions.find(p[0]);
                if (it != s->exceptions.end())
                    return &it->second;
            }
            return nullptr;
        }
        if (p.size() == 2)
            if (PackageInstance *pkg = findPackage(p[0], false)) {
                auto it = pkg->spec->exceptions.find(p[1]);
                if (it != pkg->spec->exceptions.end())
                    return &it->second;
            }
        return nullptr;
    }

    int codeOfException(const std::string &id, Scope *from)
    {
        for (const auto &[key, pkg] : session_.packages) {
            for (Scope *s : { pkg->spec.get(), pkg->body.get() })
                if (s) {
                    auto it = s->exceptionCodes.find(id);
                    if (it != s->exceptionCodes.end())
                        return it->second;
                }
        }
        for (Scope *s = from; s; s = s->parent.get()) {
            auto it = s->exceptionCodes.find(id);
            if (it != s->exceptionCodes.end())
                return it->second;
        }
        return 0;
    }

    // ---------------------------------------------------------- stored units

    std::shared_ptr<const ParsedUnit> parsedUnit(const StoredUnit &u)
    {
        const std::string key = std::string(unitTypeName(u.type)) + " " + u.owner + "." + u.name;
        auto it = session_.parsed.find(key);
        if (it != session_.parsed.end() && it->second.first == u.version)
            return it->second.second;
        std::string source;
        for (const auto &l : u.lines)
            source += l;
        auto parsed = std::make_shared<const ParsedUnit>(parseStoredUnit(source));
        session_.parsed[key] = { u.version, parsed };
        return parsed;
    }

    void requireValid(const StoredUnit &u)
    {
        if (!u.valid)
            throw semanticError(
                frame().line, 1, "PLS-00905: object " + u.owner + "." + u.name + " is invalid");
    }

    // The package "name" of "owner" (default: the current schema), instantiated for this
    // session on first use. Null when there is no such package. A package whose stored
    // source changed since it was instantiated starts afresh.
    PackageInstance *findPackage(
        const std::string &name, bool mustExist, const std::string &ownerIn = {})
    {
        const std::string owner = ownerIn.empty() ? currentUser() : ownerIn;
        const std::string key = owner + "." + name;
        auto spec = host_.loadUnit(owner, name, UnitType::Package);
        if (!spec) {
            if (mustExist)
                throw semanticError(
                    frame().line, 1, "PLS-00201: identifier '" + name + "' must be declared");
            return nullptr;
        }
        auto body = host_.loadUnit(owner, name, UnitType::PackageBody);
        auto it = session_.packages.find(key);
        if (it != session_.packages.end() && it->second->specVersion == spec->version
            && it->second->bodyVersion == (body ? body->version : -1))
            return it->second.get();
        requireValid(*spec);
        if (body)
            requireValid(*body);
        auto pkg = std::make_shared<PackageInstance>();
        pkg->owner = owner;
        pkg->name = name;
        pkg->specVersion = spec->version;
        pkg->bodyVersion = body ? body->version : -1;
        pkg->specUnit = parsedUnit(*spec);
        if (body)
            pkg->bodyUnit = parsedUnit(*body);
        pkg->spec = std::make_shared<Scope>();
        pkg->spec->package = pkg.get();
        pkg->body = std::make_shared<Scope>();
        pkg->body->parent = pkg->spec;
        pkg->body->package = pkg.get();
        session_.packages[key] = pkg;
        // Elaborate the header, then the body and its initialisation part, as the package's own
        // frame so that errors name it.
        Frame f;
        f.unit = key;
        frames_.push_back(&f);
        try {
            declare(pkg->specUnit->decls, pkg->spec);
            if (pkg->bodyUnit) {
                declare(pkg->bodyUnit->decls, pkg->body);
                if (pkg->bodyUnit->block)
                    runStatements(pkg->bodyUnit->block->body, pkg->body);
            }
        } catch (PlsqlError &e) {
            session_.packages.erase(key);
            noteFrame(e, f);
            frames_.pop_back();
            throw;
        }
        frames_.pop_back();
        return pkg.get();
    }

    std::string currentUser()
    {
        if (user_.empty())
            user_ = host_.currentUser();
        return user_;
    }

    // ---------------------------------------------------------- blocks and statements

    Flow runBlock(const Block &block, const std::shared_ptr<Scope> &parent)
    {
        auto scope = std::make_shared<Scope>();
        scope->parent = parent;
        try {
            declare(block.decls, scope);
            return runStatements(block.body, scope);
        } catch (PlsqlError &e) {
            if (e.fatal)
                throw;
            for (const Handler &h : block.handlers) {
                if (!handles(h, e, scope))
                    continue;
                // sqlcode, sqlerrm and "raise;" see the exception while its handler runs.
                Frame &fr = frame();
                const PlsqlError *saved = fr.handling;
                PlsqlError caught = e;
                caught.backtrace.clear();
                fr.handling = &caught;
                try {
                    Flow f = runStatements(h.body, scope);
                    fr.handling = saved;
                    return f;
                } catch (...) {
                    fr.handling = saved;
                    throw;
                }
            }
            throw;
        }
    }

    bool handles(const Handler &h, const PlsqlError &e, const std::shared_ptr<Scope> &scope)
    {
        if (h.others)
            return true;
        for (const Path &name : h.names) {
            if (name.size() == 1) {
                auto pre = predefinedExceptions().find(name[0]);
                if (pre != predefinedExceptions().end() && findException(name, scope) == nullptr) {
                    if (e.userException.empty() && e.code == pre->second)
                        return true;
                    continue;
                }
            }
            const std::string *id = findException(name, scope);
            if (!id)
                throw semanticError(frame().line, 1,
                    "PLS-00201: identifier '" + joinPath(name) + "' must be declared");
            if (e.userException == *id)
                return true;
            const int code = codeOfException(*id, scope.get());
            if (code != 0 && e.userException.empty() && e.code == code)
                return true;
        }
        return false;
    }

    Flow runStatements(const StmtList &list, const std::shared_ptr<Scope> &scope)
    {
        for (const StmtPtr &s : list) {
            Flow f = run(*s, scope);
            if (f != Flow::Normal)
                return f;
        }
        return Flow::Normal;
    }

    Flow run(const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        tick();
        frame().line = s.line;
        switch (s.kind) {
        case Stmt::Kind::Null:
            return Flow::Normal;
        case Stmt::Kind::Assign:
            assign(*s.target, evaluate(*s.value, scope), scope);
            return Flow::Normal;
        case Stmt::Kind::If:
            for (const auto &[cond, body] : s.branches)
                if (isTrue(evaluate(*cond, scope)))
                    return runStatements(body, scope);
            return runStatements(s.elseBody, scope);
        case Stmt::Kind::Loop:
            return runLoop(s, scope);
        case Stmt::Kind::Exit:
        case Stmt::Kind::Continue:
            if (s.value && !isTrue(evaluate(*s.value, scope)))
                return Flow::Normal;
            frame().flowLabel = s.label;
            return s.kind == Stmt::Kind::Exit ? Flow::Exit : Flow::Continue;
        case Stmt::Kind::Return:
            if (s.value)
                frame().result = evaluate(*s.value, scope);
            frame().returned = true;
            return Flow::Return;
        case Stmt::Kind::Call:
            callStatement(*s.value, scope);
            return Flow::Normal;
        case Stmt::Kind::Sql:
            runSql(s, scope);
            return Flow::Normal;
        case Stmt::Kind::Open:
            openCursor(s, scope);
            return Flow::Normal;
        case Stmt::Kind::OpenFor:
            openCursorVariable(s, scope);
            return Flow::Normal;
        case Stmt::Kind::Fetch:
            fetch(s, scope);
            return Flow::Normal;
        case Stmt::Kind::Close: {
            Cursor *c = cursorOf(s.cursor, s, scope);
            if (!c->open)
                throw plsqlError(1001);
            c->open = false;
            c->result = SqlResult();
            return Flow::Normal;
        }
        case Stmt::Kind::Raise:
            raise(s, scope);
        case Stmt::Kind::Block:
            return runBlock(*s.block, scope);
        case Stmt::Kind::ExecuteImmediate:
            executeImmediate(s, scope);
            return Flow::Normal;
        }
        return Flow::Normal;
    }

    [[noreturn]] void raise(const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        if (s.exception.empty()) {
            if (!frame().handling)
                throw semanticError(s.line, s.column,
                    "PLS-00367: a RAISE statement with no "
                    "exception name must be inside an "
                    "exception handler");
            PlsqlError e = *frame().handling;
            throw e;
        }
        if (const std::string *id = findException(s.exception, scope)) {
            const int code = codeOfException(*id, scope.get());
            if (code != 0)
                throw plsqlError(code);
            throw PlsqlError(1, "User-Defined Exception", *id);
        }
        if (s.exception.size() == 1) {
            auto pre = predefinedExceptions().find(s.exception[0]);
            if (pre != predefinedExceptions().end())
                throw plsqlError(pre->second);
        }
        throw semanticError(s.line, s.column,
            "PLS-00201: identifier '" + joinPath(s.exception) + "' must be declared");
    }

    bool isTrue(const Value &v)
    {
        if (v.isNull())
            return false;
        if (v.kind != Value::Kind::Boolean)
            throw semanticError(frame().line, 1, "PLS-00382: expression is of wrong type");
        return v.boolean;
    }

    // Whether a loop ends on the EXIT or CONTINUE it just saw (unlabelled, or its own label).
    bool mine(const Stmt &loop)
    {
        if (frame().flowLabel.empty() || frame().flowLabel == loop.label) {
            frame().flowLabel.clear();
            return true;
        }
        return false;
    }

    Flow runLoop(const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        auto body = [&](const std::shared_ptr<Scope> &sc) -> std::pair<bool, Flow> {
            tick();
            Flow f = runStatements(s.body, sc);
            if (f == Flow::Return)
                return { true, f };
            if (f == Flow::Exit)
                return mine(s) ? std::pair { true, Flow::Normal } : std::pair { true, f };
            if (f == Flow::Continue && !mine(s))
                return { true, f };
            return { false, Flow::Normal };
        };
        switch (s.loopKind) {
        case Stmt::LoopKind::Basic:
            while (true) {
                auto [stop, f] = body(scope);
                if (stop)
                    return f;
            }
        case Stmt::LoopKind::While:
            while (isTrue(evaluate(*s.low, scope))) {
                auto [stop, f] = body(scope);
                if (stop)
                    return f;
            }
            return Flow::Normal;
        case Stmt::LoopKind::ForRange: {
            const Value lo = evaluate(*s.low, scope), hi = evaluate(*s.high, scope);
            if (lo.isNull() || hi.isNull())
                throw valueError("NULL value in FOR loop bound");
            const int64_t a = lo.toInteger(), b = hi.toInteger();
            auto sc = std::make_shared<Scope>();
            sc->parent = scope;
            auto var = std::make_shared<Variable>();
            var->type.base = RType::Base::Integer;
            var->constant = true;
            sc->vars[s.loopVar] = var;
            for (int64_t i = s.reverse ? b : a; s.reverse ? i >= a : i <= b;
                 s.reverse ? --i : ++i) {
                var->value = Value::fromInteger(i);
                auto [stop, f] = body(sc);
                if (stop)
                    return f;
            }
            return Flow::Normal;
        }
        case Stmt::LoopKind::ForCursor: {
            Cursor inlineCursor;
            Cursor *c = &inlineCursor;
            if (s.cursor.empty()) {
                inlineCursor.scope = scope;
                openWith(inlineCursor, s.sql, scope);
            } else {
                c = cursorOf(s.cursor, s, scope);
                if (c->open)
                    throw plsqlError(6511);
                openDeclared(*c, s.cursorArgs, scope);
            }
            auto sc = std::make_shared<Scope>();
            sc->parent = scope;
            auto var = std::make_shared<Variable>();
            var->type.base = RType::Base::Record;
            sc->vars[s.loopVar] = var;
            Flow result = Flow::Normal;
            try {
                while (c->open && c->next < c->result.rows.size()) {
                    var->value = rowRecord(*c, c->next++);
                    c->lastFetch = 1;
                    auto [stop, f] = body(sc);
                    if (stop) {
                        result = f;
                        break;
                    }
                }
            } catch (...) {
                c->open = false;
                throw;
            }
            c->open = false;
            c->result = SqlResult();
            return result;
        }
        }
        return Flow::Normal;
    }

    // ---------------------------------------------------------- cursors and SQL

    Cursor *cursorOf(const Path &p, const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        Cursor *c = findCursor(p, scope);
        if (!c)
            throw semanticError(
                s.line, s.column, "PLS-00201: identifier '" + joinPath(p) + "' must be declared");
        return c;
    }

    Value rowRecord(const Cursor &c, size_t row)
    {
        Value v;
        v.kind = Value::Kind::Record;
        v.record = std::make_shared<Record>();
        const auto &cols = c.result.columns;
        const auto &values = c.result.rows[row];
        for (size_t i = 0; i < values.size(); ++i)
            v.record->emplace_back(i < cols.size() ? cols[i] : std::to_string(i + 1), values[i]);
        return v;
    }

    void openDeclared(Cursor &c, const std::vector<Arg> &args, const std::shared_ptr<Scope> &scope)
    {
        if (!c.decl || c.decl->sql.tokens.empty())
            throw plsqlError(1001);
        // Parameters are evaluated where the cursor is opened and seen where it was declared.
        const std::shared_ptr<Scope> declared = c.scope.lock();
        auto ps = std::make_shared<Scope>();
        ps->parent = declared;
        const auto &params = c.decl->params;
        std::vector<const Expr *> given(params.size(), nullptr);
        bindArguments(
            params.size(), [&](size_t i) { return params[i].name; }, args, given, c.decl->name);
        for (size_t i = 0; i < params.size(); ++i) {
            auto var = std::make_shared<Variable>();
            var->type = resolveType(params[i].type, declared);
            if (given[i])
                var->value = coerce(var->type, evaluate(*given[i], scope));
            else if (params[i].defaultValue)
                var->value = coerce(var->type, evaluate(*params[i].defaultValue, ps));
            else
                throw semanticError(frame().line, 1,
                    "PLS-00306: wrong number or types of arguments in call to '" + c.decl->name
                        + "'");
            ps->vars[params[i].name] = var;
        }
        openWith(c, c.decl->sql, ps);
    }

    void openWith(Cursor &c, const SqlText &sql, const std::shared_ptr<Scope> &scope)
    {
        std::vector<NamedValue> binds;
        const std::string text = buildSql(sql, scope, binds);
        c.result = executeSql(text, binds);
        c.open = true;
        c.next = 0;
        c.lastFetch = -1;
    }

    void openCursor(const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        Cursor *c = cursorOf(s.cursor, s, scope);
        if (c->open)
            throw plsqlError(6511);
        openDeclared(*c, s.cursorArgs, scope);
    }

    // The query's text and bind values are taken now; the engine runs it on the client's
    // statement handle once the block has finished.
    void openCursorVariable(const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        Bind *b = findBind(s.cursor[0]);
        if (!b) {
            PlsqlError e = plsqlError(1008, "not all variables bound");
            e.fatal = true;
            throw e;
        }
        if (b->type != BindType::Cursor)
            throw semanticError(s.line, s.column, "PLS-00382: expression is of wrong type");
        std::vector<NamedValue> binds;
        std::string text = buildSql(s.sql, scope, binds);
        b->cursorSql = std::move(text);
        b->cursorBinds = std::move(binds);
        b->assigned = true;
    }

    void fetch(const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        Cursor *c = cursorOf(s.cursor, s, scope);
        if (!c->open)
            throw plsqlError(1001);
        if (c->next >= c->result.rows.size()) {
            c->lastFetch = 0;
            return;
        }
        const size_t row = c->next++;
        c->lastFetch = 1;
        intoTargets(s.into, c->result.columns, c->result.rows[row], scope, s);
    }

    void intoTargets(const std::vector<ExprPtr> &into, const std::vector<std::string> &columns,
        const std::vector<Value> &row, const std::shared_ptr<Scope> &scope, const Stmt &s)
    {
        if (into.size() == 1 && row.size() >= 1) {
            size_t used = 0;
            Variable *v = into[0]->kind == Expr::Kind::Name
                ? resolveVariable(into[0]->path, scope, used)
                : nullptr;
            if (v && used == into[0]->path.size() && v->type.base == RType::Base::Record) {
                Value rec;
                rec.kind = Value::Kind::Record;
                rec.record = std::make_shared<Record>();
                for (size_t i = 0; i < row.size(); ++i) {
                    const std::string name
                        = i < columns.size() ? columns[i] : std::to_string(i + 1);
                    const RType *ft = nullptr;
                    if (v->type.fields && i < v->type.fields->size())
                        ft = &(*v->type.fields)[i].second;
                    rec.record->emplace_back(v->type.fields && i < v->type.fields->size()
                            ? (*v->type.fields)[i].first
                            : name,
                        ft ? coerce(*ft, row[i]) : row[i]);
                }
                if (v->type.fields && v->type.fields->size() != row.size())
                    throw semanticError(s.line, s.column,
                        "PLS-00394: wrong number of values in "
                        "the INTO list of a FETCH statement");
                v->value = rec;
                return;
            }
        }
        if (into.size() != row.size())
            throw semanticError(s.line, s.column,
                into.size() < row.size() ? "PLS-00913: too many values"
                                         : "PLS-00914: not enough values");
        for (size_t i = 0; i < into.size(); ++i)
            assign(*into[i], row[i], scope);
    }

    void runSql(const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        switch (s.sqlKind) {
        case Stmt::SqlKind::Commit:
            serverCall([&] { host_.commit(); });
            return;
        case Stmt::SqlKind::Rollback:
            serverCall([&] { host_.rollback(); });
            return;
        default:
            break;
        }
        std::vector<NamedValue> binds;
        const std::string text = buildSql(s.sql, scope, binds);
        SqlResult r = executeSql(text, binds);
        if (s.sqlKind == Stmt::SqlKind::Query) {
            sqlRowCount_ = int64_t(std::min<size_t>(r.rows.size(), 1));
            sqlFound_ = r.rows.empty() ? 0 : 1;
            if (r.rows.empty())
                throw plsqlError(1403);
            if (r.rows.size() > 1) {
                sqlRowCount_ = 2;
                throw plsqlError(1422);
            }
            intoTargets(s.into, r.columns, r.rows[0], scope, s);
        } else {
            sqlRowCount_ = r.rowCount;
            sqlFound_ = r.rowCount > 0 ? 1 : 0;
        }
    }

    void executeImmediate(const Stmt &s, const std::shared_ptr<Scope> &scope)
    {
        std::string text = evaluate(*s.value, scope).toText();
        while (!text.empty() && (text.back() == ';' || std::isspace((unsigned char)text.back())))
            text.pop_back();
        // Bind placeholders take the USING values in order of first appearance.
        std::vector<NamedValue> binds;
        std::vector<Token> tokens;
        try {
            tokens = tokenize(text);
        } catch (const CompileError &) {
            throw plsqlError(900, "invalid SQL statement");
        }
        // Dynamic SQL sees no PL/SQL names; its placeholders become ":QDPn" in order of first
        // appearance, each taking the next USING value.
        std::vector<std::string> seen;
        std::string rebuilt;
        size_t last = 0;
        for (const Token &t : tokens) {
            if (t.kind != Token::Kind::Bind)
                continue;
            auto it = std::find(seen.begin(), seen.end(), t.text);
            if (it == seen.end())
                it = seen.insert(seen.end(), t.text);
            rebuilt += text.substr(last, t.offset - last);
            rebuilt += ":QDP" + std::to_string(it - seen.begin() + 1);
            last = t.endOffset;
        }
        rebuilt += text.substr(last);
        text = rebuilt;
        if (seen.size() > s.usingArgs.size())
            throw plsqlError(1008, "not all variables bound");
        for (size_t i = 0; i < seen.size(); ++i)
            binds.push_back({ "QDP" + std::to_string(i + 1), evaluate(*s.usingArgs[i], scope) });
        SqlResult r = executeSql(text, binds);
        if (!s.into.empty()) {
            if (r.rows.empty())
                throw plsqlError(1403);
            if (r.rows.size() > 1)
                throw plsqlError(1422);
            intoTargets(s.into, r.columns, r.rows[0], scope, s);
        }
        sqlRowCount_ = r.rowCount;
        sqlFound_ = r.rowCount > 0 ? 1 : 0;
    }

    // Server errors of SQL run from PL/SQL become PL/SQL exceptions that handlers can catch.
    template <typename F> void serverCall(F f)
    {
        try {
            f();
        } catch (const sql::OraError &e) {
            throw PlsqlError(e.code, e.text);
        }
    }

    SqlResult executeSql(const std::string &text, const std::vector<NamedValue> &binds)
    {
        SqlResult r;
        serverCall([&] { r = host_.executeSql(text, binds); });
        return r;
    }

    // Rebuilds an embedded statement with every PL/SQL name and client bind replaced by a
    // bind ":QDPn" carrying its current value. A name that is no PL/SQL variable (a column,
    // a table, a function) stays as it is.
    std::string buildSql(
        const SqlText &sql, const std::shared_ptr<Scope> &scope, std::vector<NamedValue> &binds)
    {
        std::string out;
        const auto &tk = sql.tokens;
        auto addBind = [&](Value v) {
            if (v.kind == Value::Kind::Boolean || v.kind == Value::Kind::Record
                || v.kind == Value::Kind::Table)
                throw semanticError(frame().line, 1, "PLS-00382: expression is of wrong type");
            const std::string name = "QDP" + std::to_string(binds.size() + 1);
            binds.push_back({ name, std::move(v) });
            out += ":" + name;
        };
        for (size_t i = 0; i < tk.size(); ++i) {
            out += sql.gaps[i];
            const Token &t = tk[i];
            const bool afterDot = i > 0 && tk[i - 1].is(".");
            if ((t.kind == Token::Kind::Name || t.kind == Token::Kind::QuotedName) && !afterDot
                && !(i + 1 < tk.size() && tk[i + 1].is("("))) {
                Path p { t.text };
                for (size_t k = i + 1; k + 1 < tk.size() && tk[k].is(".")
                     && (tk[k + 1].kind == Token::Kind::Name
                         || tk[k + 1].kind == Token::Kind::QuotedName);
                     k += 2)
                    p.push_back(tk[k + 1].text);
                size_t used = 0;
                if (Variable *v = resolveVariable(p, scope, used)) {
                    Value *val = &v->value;
                    size_t parts = used;
                    while (parts < p.size() && val->kind == Value::Kind::Record) {
                        Value *f = nullptr;
                        for (auto &[n, fv] : *val->record)
                            if (n == p[parts])
                                f = &fv;
                        if (!f)
                            break;
                        val = f;
                        ++parts;
                    }
                    if (val->kind != Value::Kind::Record && val->kind != Value::Kind::Table) {
                        addBind(*val);
                        i += 2 * (parts - 1);
                        continue;
                    }
                }
            }
            switch (t.kind) {
            case Token::Kind::Bind:
                addBind(bindValue(t.text));
                break;
            case Token::Kind::String: {
                out += '\'';
                for (char c : t.text)
                    out += c == '\'' ? std::string("''") : std::string(1, c);
                out += '\'';
                break;
            }
            default:
                out += sql.raw[i];
            }
        }
        return out;
    }

    // ---------------------------------------------------------- binds

    Bind *findBind(const std::string &name)
    {
        if (!binds_)
            return nullptr;
        for (Bind &b : *binds_)
            if (b.name == name)
                return &b;
        return nullptr;
    }

    Value bindValue(const std::string &name)
    {
        Bind *b = findBind(name);
        if (!b) {
            PlsqlError e = plsqlError(1008, "not all variables bound");
            e.fatal = true;
            throw e;
        }
        return b->value;
    }

    void assignBind(const std::string &name, const Value &v, const Expr &at)
    {
        Bind *b = findBind(name);
        if (!b) {
            PlsqlError e = plsqlError(1008, "not all variables bound");
            e.fatal = true;
            throw e;
        }
        if (v.kind == Value::Kind::Boolean || v.kind == Value::Kind::Record
            || v.kind == Value::Kind::Table)
            throw semanticError(at.line, at.column, "PLS-00382: expression is of wrong type");
        Value out;
        if (!v.isNull()) {
            switch (b->type) {
            case BindType::String:
            case BindType::LongString: {
                if (v.kind == Value::Kind::Date) {
                    // The host writes dates in the session's date format and checks the room.
                    out = v;
                    break;
                }
                std::string s = v.toText();
                if (b->maxLength > 0 && int64_t(s.size()) > b->maxLength)
                    throw valueError("character string buffer too small");
                out = Value::fromText(std::move(s));
                break;
            }
            case BindType::Integer:
                out = v.kind == Value::Kind::Integer ? v : Value::fromInteger(v.toInteger());
                break;
            case BindType::Float:
                out = v.isNumber() ? v : Value::fromReal(v.toReal());
                break;
            case BindType::Date:
                out = toDate(v);
                break;
            case BindType::Cursor:
                throw semanticError(at.line, at.column, "PLS-00382: expression is of wrong type");
            }
        }
        b->value = out;
        b->assigned = true;
    }

    // ---------------------------------------------------------- assignment

    void assign(const Expr &target, const Value &v, const std::shared_ptr<Scope> &scope)
    {
        if (target.kind == Expr::Kind::Bind) {
            assignBind(target.path[0], v, target);
            return;
        }
        if (target.kind == Expr::Kind::Call && target.args.size() == 1) {
            size_t used = 0;
            Variable *var = resolveVariable(target.path, scope, used);
            if (var && used == target.path.size() && var->type.base == RType::Base::Table) {
                const Value key = evaluate(*target.args[0].value, scope);
                if (key.isNull())
                    throw valueError("NULL index table key value");
                (*var->value.table)[key.toInteger()]
                    = var->type.element ? coerce(*var->type.element, v) : v;
                return;
            }
        }
        if (target.kind != Expr::Kind::Name || !target.operands.empty())
            throw semanticError(target.line, target.column,
                "PLS-00363: expression cannot be used as an assignment target");
        size_t used = 0;
        Variable *var = resolveVariable(target.path, scope, used);
        if (!var)
            throw semanticError(target.line, target.column,
                "PLS-00201: identifier '" + joinPath(target.path) + "' must be declared");
        if (var->constant)
            throw semanticError(target.line, target.column,
                "PLS-00363: expression '" + joinPath(target.path)
                    + "' cannot be used as an assignment target");
        if (used == target.path.size()) {
            var->value = coerce(var->type, v);
            return;
        }
        // A record field: typed when the record type says so.
        Value *slot = &var->value;
        const RType *type = &var->type;
        for (size_t i = used; i < target.path.size(); ++i) {
            if (slot->kind != Value::Kind::Record)
                throw semanticError(target.line, target.column,
                    "PLS-00302: component '" + target.path[i] + "' must be declared");
            const RType *ft = nullptr;
            if (type && type->fields)
                for (const auto &[n, t] : *type->fields)
                    if (n == target.path[i])
                        ft = &t;
            slot = field(*slot, target.path[i], type && type->fields ? &target : nullptr);
            type = ft;
        }
        *slot = type ? coerce(*type, v) : copyValue(v);
    }

    // ---------------------------------------------------------- calls

    // Matches actual arguments to formal parameters (positional first, then named). given[i]
    // receives the expression for parameter i or stays null.
    template <typename NameOf>
    void bindArguments(size_t count, NameOf nameOf, const std::vector<Arg> &args,
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

    PlsqlError wrongArguments(const std::string &routine)
    {
        return semanticError(frame().line, 1,
            "PLS-00306: wrong number or types of arguments in call to '" + routine + "'");
    }

    bool acceptsArguments(const Subprogram &sub, const std::vector<Arg> &args)
    {
        std::vector<bool> taken(sub.params.size(), false);
        size_t position = 0;
        for (const Arg &a : args) {
            if (a.name.empty()) {
                if (position >= sub.params.size())
                    return false;
                taken[position++] = true;
                continue;
            }
            bool found = false;
            for (size_t i = 0; i < sub.params.size(); ++i)
                if (sub.params[i].name == a.name && !taken[i])
                    taken[i] = found = true;
            if (!found)
                return false;
        }
        for (size_t i = 0; i < sub.params.size(); ++i)
            if (!taken[i] && !sub.params[i].defaultValue)
                return false;
        return true;
    }

    struct Callee {
        std::shared_ptr<Subprogram> sub;
        std::shared_ptr<Scope> scope; // where the body's names resolve
        std::string unit; // frame name for ORA-06512
        const Builtin *builtin = nullptr;
        std::string builtinName;
    };

    // Finds the routine a path names; "found" stays false when nothing by that name exists.
    bool findRoutine(const Path &p, const std::vector<Arg> &args,
        const std::shared_ptr<Scope> &scope, Callee &callee)
    {
        auto pick = [&](const std::vector<std::shared_ptr<Subprogram>> &subs)
            -> std::shared_ptr<Subprogram> {
            for (const auto &s : subs)
                if (acceptsArguments(*s, args))
                    return s;
            if (!subs.empty())
                throw wrongArguments(subs.front()->name);
            return nullptr;
        };
        if (p.size() == 1) {
            for (Scope *s = scope.get(); s; s = s->parent.get()) {
                auto it = s->subs.find(p[0]);
                if (it == s->subs.end())
                    continue;
                callee.sub = pick(it->second);
                // Declared in a package: run in the package body's scope.
                callee.scope = s->package ? s->package->body : findOwner(scope, s);
                callee.unit
                    = s->package ? s->package->owner + "." + s->package->name : frame().unit;
                if (s->package && !callee.sub->body)
                    callee.sub = implementation(*s->package, *callee.sub);
                return true;
            }
            return standalone(currentUser(), p[0], callee);
        }
        Path q = p;
        if (q.size() == 3 && q[0] == "SYS" && isServerPackage(q[1]))
            q.erase(q.begin());
        if (q.size() == 2 && isServerPackage(q[0])) {
            callee.builtin = findServerRoutine(q[0], q[1]);
            callee.builtinName = q[1];
            return callee.builtin != nullptr;
        }
        if (q.size() == 2 || q.size() == 3) {
            const std::string owner = q.size() == 3 ? q[0] : std::string();
            const std::string &pkgName = q[q.size() - 2];
            if (PackageInstance *pkg = findPackage(pkgName, false, owner)) {
                auto it = pkg->spec->subs.find(q.back());
                if (it == pkg->spec->subs.end())
                    throw semanticError(frame().line, 1,
                        "PLS-00302: component '" + q.back() + "' must be declared");
                callee.sub = implementation(*pkg, *pick(it->second));
                callee.scope = pkg->body;
                callee.unit = pkg->owner + "." + pkg->name;
                return true;
            }
            if (q.size() == 2)
                return standalone(q[0], q[1], callee);
        }
        return false;
    }

    std::shared_ptr<Scope> findOwner(const std::shared_ptr<Scope> &from, Scope *target)
    {
        for (std::shared_ptr<Scope> s = from; s; s = s->parent)
            if (s.get() == target)
                return s;
        return from;
    }

    std::shared_ptr<Subprogram> implementation(PackageInstance &pkg, const Subprogram &decl)
    {
        if (decl.body)
            return std::const_pointer_cast<Subprogram>(
                std::shared_ptr<const Subprogram>(std::shared_ptr<const Subprogram>(), &decl));
        auto it = pkg.body ? pkg.body->subs.find(decl.name) : decltype(pkg.body->subs.end())();
        if (pkg.body && it != pkg.body->subs.end())
            for (const auto &s : it->second)
                if (s->body && sameShape(*s, decl))
                    return s;
        throw plsqlError(
            4067, "package body \"" + pkg.owner + "." + pkg.name + "\" does not exist");
    }

    bool standalone(const std::string &owner, const std::string &name, Callee &callee)
    {
        std::shared_ptr<const StoredUnit> u = host_.loadUnit(owner, name, UnitType::Procedure);
        if (!u)
            u = host_.loadUnit(owner, name, UnitType::Function);
        if (!u)
            return false;
        requireValid(*u);
        auto parsed = parsedUnit(*u);
        callee.sub = parsed->subprogram;
        callee.scope = nullptr;
        callee.unit = u->owner + "." + u->name;
        // Keep the parsed unit alive while it runs.
        keep_.push_back(parsed);
        return true;
    }

    // Calls a routine; outArgs receive OUT values. Returns the function result.
    Value call(const Expr &e, const std::shared_ptr<Scope> &scope, bool wantResult)
    {
        Callee callee;
        if (!findRoutine(e.path, e.args, scope, callee))
            throw semanticError(e.line, e.column,
                "PLS-00201: identifier '" + joinPath(e.path) + "' must be declared");
        if (callee.builtin)
            return callBuiltin(e, *callee.builtin, callee.builtinName, scope, wantResult);
        const Subprogram &sub = *callee.sub;
        if (wantResult && !sub.isFunction)
            throw semanticError(e.line, e.column,
                "PLS-00222: no function with name '" + sub.name + "' exists in this scope");
        if (!wantResult && sub.isFunction)
            throw semanticError(e.line, e.column,
                "PLS-00221: '" + sub.name + "' is not a procedure or is undefined");
        if (frames_.size() > maxCallDepth) {
            PlsqlError err = plsqlError(6500);
            err.fatal = true;
            throw err;
        }
        std::vector<const Expr *> given(sub.params.size(), nullptr);
        bindArguments(
            sub.params.size(), [&](size_t i) { return sub.params[i].name; }, e.args, given,
            sub.name);
        auto callScope = std::make_shared<Scope>();
        callScope->parent = callee.scope;
        for (size_t i = 0; i < sub.params.size(); ++i) {
            const Param &p = sub.params[i];
            auto var = std::make_shared<Variable>();
            var->type = resolveType(p.type, callee.scope ? callee.scope : callScope);
            var->value = initialValue(var->type);
            if (p.mode != Param::Mode::In && given[i] && !isAssignable(*given[i]))
                throw semanticError(given[i]->line, given[i]->column,
                    "PLS-00363: expression cannot be used as an assignment "
                    "target");
            if (!given[i] && (!p.defaultValue || p.mode != Param::Mode::In))
                throw wrongArguments(sub.name);
            if (p.mode != Param::Mode::Out) {
                if (given[i])
                    var->value = coerce(var->type, evaluate(*given[i], scope));
                else if (p.defaultValue)
                    var->value = coerce(var->type, evaluate(*p.defaultValue, callScope));
            }
            if (p.mode == Param::Mode::In)
                var->constant = true;
            callScope->vars[p.name] = var;
        }
        Frame f;
        f.unit = callee.unit;
        f.line = sub.line;
        frames_.push_back(&f);
        try {
            runBlock(*sub.body, callScope);
            if (sub.isFunction && !f.returned)
                throw plsqlError(6503);
        } catch (PlsqlError &err) {
            if (!err.fatal || err.code != 1013)
                noteFrame(err, f);
            frames_.pop_back();
            throw;
        }
        frames_.pop_back();
        // OUT and IN OUT values go back to the caller's variables.
        for (size_t i = 0; i < sub.params.size(); ++i)
            if (sub.params[i].mode != Param::Mode::In && given[i])
                assign(*given[i], callScope->vars[sub.params[i].name]->value, scope);
        if (sub.isFunction)
            return coerce(
                resolveType(sub.returnType, callee.scope ? callee.scope : callScope), f.result);
        return {};
    }

    static bool isAssignable(const Expr &e)
    {
        return e.kind == Expr::Kind::Bind || (e.kind == Expr::Kind::Name && e.operands.empty())
            || (e.kind == Expr::Kind::Call && e.args.size() == 1);
    }

    Value callBuiltin(const Expr &e, const Builtin &b, const std::string &name,
        const std::shared_ptr<Scope> &scope, bool wantResult)
    {
        if (b.anyArguments) {
            std::vector<Value> none;
            return b.run(host_, none);
        }
        if (wantResult != b.isFunction)
            throw semanticError(e.line, e.column,
                wantResult ? "PLS-00222: no function with name '" + name + "' exists in this scope"
                           : "PLS-00221: '" + name + "' is not a procedure or is undefined");
        std::vector<const Expr *> given(b.params.size(), nullptr);
        bindArguments(
            b.params.size(), [&](size_t i) { return b.params[i].name; }, e.args, given, name);
        std::vector<Value> values(b.params.size());
        for (size_t i = 0; i < b.params.size(); ++i) {
            if (b.params[i].out) {
                if (!given[i] || !isAssignable(*given[i]))
                    throw wrongArguments(name);
                if (b.params[i].inOut)
                    values[i] = evaluate(*given[i], scope);
                continue;
            }
            if (given[i])
                values[i] = evaluate(*given[i], scope);
            else if (b.params[i].optional)
                values[i] = b.params[i].defaultValue;
            else
                throw wrongArguments(name);
        }
        Value result = b.run(host_, values);
        for (size_t i = 0; i < b.params.size(); ++i)
            if (b.params[i].out)
                assign(*given[i], values[i], scope);
        return result;
    }

    void callStatement(const Expr &e, const std::shared_ptr<Scope> &scope)
    {
        if (e.kind != Expr::Kind::Call && e.kind != Expr::Kind::Name)
            throw semanticError(e.line, e.column, "PLS-00221: not a procedure or is undefined");
        if (e.kind == Expr::Kind::Name && !e.operands.empty())
            throw semanticError(e.line, e.column, "PLS-00221: not a procedure or is undefined");
        // Collection methods used as statements: t.delete
        if (e.path.size() == 2 && e.path[1] == "DELETE") {
            size_t used = 0;
            Variable *v = resolveVariable(e.path, scope, used);
            if (v && used == 1 && v->value.kind == Value::Kind::Table) {
                if (e.args.empty())
                    v->value.table->clear();
                else
                    v->value.table->erase(evaluate(*e.args[0].value, scope).toInteger());
                return;
            }
        }
        if ((e.path.size() == 1 && e.path[0] == "RAISE_APPLICATION_ERROR")
            || (e.path.size() == 2 && e.path[1] == "RAISE_APPLICATION_ERROR"
                && (e.path[0] == "DBMS_STANDARD" || e.path[0] == "STANDARD")))
            raiseApplicationError(e, scope);
        call(e, scope, false);
    }

    // ---------------------------------------------------------- expressions

    Value evaluate(const Expr &e, const std::shared_ptr<Scope> &scope)
    {
        switch (e.kind) {
        case Expr::Kind::Literal:
            return e.literal;
        case Expr::Kind::Bind:
            return bindValue(e.path[0]);
        case Expr::Kind::Name:
            return evaluateName(e, scope);
        case Expr::Kind::Call:
            return evaluateCall(e, scope);
        case Expr::Kind::Unary: {
            const Value v = evaluate(*e.operands[0], scope);
            if (e.op == "NOT")
                return v.isNull() ? Value() : Value::fromBoolean(!isTrue(v));
            if (v.isNull())
                return v;
            if (v.kind == Value::Kind::Boolean)
                throw semanticError(e.line, e.column, "PLS-00382: expression is of wrong type");
            if (e.op == "+")
                return v.isNumber() ? v : Value::fromReal(v.toReal());
            if (v.kind == Value::Kind::Integer && v.integer != INT64_MIN)
                return Value::fromInteger(-v.integer);
            return Value::fromReal(-v.toReal());
        }
        case Expr::Kind::Binary:
            return evaluateBinary(e, scope);
        case Expr::Kind::IsNull: {
            const bool isNull = evaluate(*e.operands[0], scope).isNull();
            return Value::fromBoolean(e.negated ? !isNull : isNull);
        }
        case Expr::Kind::Like: {
            const Value v = evaluate(*e.operands[0], scope), p = evaluate(*e.operands[1], scope);
            Value esc;
            if (e.operands.size() > 2)
                esc = evaluate(*e.operands[2], scope);
            if (v.isNull() || p.isNull())
                return {};
            const bool m = like(v.toText(), p.toText(), esc.isNull() ? '\0' : esc.toText()[0]);
            return Value::fromBoolean(e.negated ? !m : m);
        }
        case Expr::Kind::Between: {
            const Value v = evaluate(*e.operands[0], scope);
            const Value lo = evaluate(*e.operands[1], scope), hi = evaluate(*e.operands[2], scope);
            const Value a = compareOp(">=", v, lo, e), b = compareOp("<=", v, hi, e);
            const Value r = andOp(a, b);
            return e.negated ? notOp(r) : r;
        }
        case Expr::Kind::In: {
            const Value v = evaluate(*e.operands[0], scope);
            Value r = Value::fromBoolean(false);
            for (size_t i = 1; i < e.operands.size(); ++i)
                r = orOp(r, compareOp("=", v, evaluate(*e.operands[i], scope), e));
            return e.negated ? notOp(r) : r;
        }
        case Expr::Kind::Attribute:
            return attribute(e, scope);
        case Expr::Kind::Case: {
            Value selector;
            const bool simple = !e.operands.empty();
            if (simple)
                selector = evaluate(*e.operands[0], scope);
            for (const auto &[w, v] : e.whens) {
                const Value c = evaluate(*w, scope);
                const bool hit = simple ? isTrue(compareOp("=", selector, c, e)) : isTrue(c);
                if (hit)
                    return evaluate(*v, scope);
            }
            return e.elseValue ? evaluate(*e.elseValue, scope) : Value();
        }
        }
        return {};
    }

    static bool like(const std::string &s, const std::string &p, char esc)
    {
        // Iterative wildcard match with backtracking on the last '%'.
        size_t si = 0, pi = 0, star = std::string::npos, mark = 0;
        while (si < s.size()) {
            if (pi < p.size() && esc && p[pi] == esc && pi + 1 < p.size()) {
                if (p[pi + 1] == s[si]) {
                    pi += 2;
                    ++si;
                    continue;
                }
            } else if (pi < p.size() && (p[pi] == '_' || p[pi] == s[si]) && p[pi] != '%') {
                ++pi;
                ++si;
                continue;
            } else if (pi < p.size() && p[pi] == '%') {
                star = pi++;
                mark = si;
                continue;
            }
            if (star == std::string::npos)
                return false;
            pi = star + 1;
            si = ++mark;
        }
        while (pi < p.size() && p[pi] == '%')
            ++pi;
        return pi == p.size();
    }

    Value attribute(const Expr &e, const std::shared_ptr<Scope> &scope)
    {
        if (e.path.size() == 1 && e.path[0] == "SQL") {
            if (e.op == "ROWCOUNT")
                return sqlFound_ < 0 ? Value() : Value::fromInteger(sqlRowCount_);
            if (e.op == "ISOPEN")
                return Value::fromBoolean(false);
            if (sqlFound_ < 0)
                return {};
            return Value::fromBoolean(e.op == "FOUND" ? sqlFound_ == 1 : sqlFound_ == 0);
        }
        Cursor *c = findCursor(e.path, scope);
        if (!c)
            throw semanticError(e.line, e.column,
                "PLS-00201: identifier '" + joinPath(e.path) + "' must be declared");
        if (e.op == "ISOPEN")
            return Value::fromBoolean(c->open);
        if (!c->open)
            throw plsqlError(1001);
        if (e.op == "ROWCOUNT")
            return Value::fromInteger(int64_t(c->lastFetch < 0 ? 0 : c->next));
        if (c->lastFetch < 0)
            return {};
        return Value::fromBoolean(e.op == "FOUND" ? c->lastFetch == 1 : c->lastFetch == 0);
    }

    Value evaluateName(const Expr &e, const std::shared_ptr<Scope> &scope)
    {
        if (!e.operands.empty()) { // f(x).field
            Value base = evaluate(*e.operands[0], scope);
            return *field(base, e.path[0], &e);
        }
        size_t used = 0;
        if (Variable *v = resolveVariable(e.path, scope, used)) {
            if (!v->type.objectType.empty() && used + 1 == e.path.size())
                return objectMethod(*v, e);
            Value *val = &v->value;
            for (size_t i = used; i < e.path.size(); ++i) {
                if (val->kind == Value::Kind::Table) {
                    const std::string &m = e.path[i];
                    auto &t = *val->table;
                    if (m == "COUNT")
                        return Value::fromInteger(int64_t(t.size()));
                    if (m == "FIRST")
                        return t.empty() ? Value() : Value::fromInteger(t.begin()->first);
                    if (m == "LAST")
                        return t.empty() ? Value() : Value::fromInteger(t.rbegin()->first);
                }
                val = field(*val, e.path[i], &e);
            }
            return *val;
        }
        if (e.path.size() == 1) {
            const std::string &n = e.path[0];
            if (n == "SQLCODE") {
                const PlsqlError *h = frame().handling;
                if (!h)
                    return Value::fromInteger(0);
                if (!h->userException.empty())
                    return Value::fromInteger(1);
                return Value::fromInteger(h->code == 1403 ? 100 : -h->code);
            }
            if (n == "SQLERRM") {
                const PlsqlError *h = frame().handling;
                return Value::fromText(h ? h->message : "ORA-0000: normal, successful completion");
            }
            if (n == "USER")
                return Value::fromText(currentUser());
            if (n == "SYSDATE" || n == "SYSTIMESTAMP")
                return sqlFunction(e, "SYSDATE", {});
        }
        return evaluateCall(e, scope);
    }

    // sqlerrm(n): the server's message for an error number, as clients use it to word codes.
    static Value sqlerrmOf(const Value &code)
    {
        if (code.isNull())
            return Value::fromText("ORA-0000: normal, successful completion");
        const int64_t n = code.toInteger();
        if (n == 0)
            return Value::fromText("ORA-0000: normal, successful completion");
        if (n > 0)
            return Value::fromText("User-Defined Exception");
        if (n < -99999)
            return Value::fromText("ORA" + std::to_string(n) + ": Message " + std::to_string(-n)
                + " not found");
        return Value::fromText(sql::oraError(static_cast<int>(-n)).text);
    }

    // getclobval() and getstringval() of an XMLTYPE variable: its document.
    Value objectMethod(const Variable &v, const Expr &e)
    {
        const std::string &method = e.path.back();
        if ((method != "GETCLOBVAL" && method != "GETSTRINGVAL") || !e.args.empty())
            throw semanticError(
                e.line, e.column, "PLS-00302: component '" + method + "' must be declared");
        if (v.value.isNull())
            throw plsqlError(30625, "method dispatch on NULL SELF argument is disallowed");
        return v.value;
    }

    Value evaluateCall(const Expr &e, const std::shared_ptr<Scope> &scope)
    {
        // Element of an index-by table, or a collection method with an argument.
        size_t used = 0;
        if (Variable *v = resolveVariable(e.path, scope, used)) {
            if (!v->type.objectType.empty() && used + 1 == e.path.size())
                return objectMethod(*v, e);
            if (v->value.kind == Value::Kind::Table && e.args.size() == 1) {
                const Value key = evaluate(*e.args[0].value, scope);
                auto &t = *v->value.table;
                if (used == e.path.size()) {
                    if (key.isNull())
                        throw valueError("NULL index table key value");
                    auto it = t.find(key.toInteger());
                    if (it == t.end())
                        throw plsqlError(1403);
                    return it->second;
                }
                if (used + 1 == e.path.size() && e.path.back() == "EXISTS")
                    return Value::fromBoolean(!key.isNull() && t.count(key.toInteger()));
            }
            if (e.kind == Expr::Kind::Name)
                return evaluateName(e, scope);
        }
        if (e.path.size() == 1) {
            const std::string &n = e.path[0];
            if (n == "RAISE_APPLICATION_ERROR")
                raiseApplicationError(e, scope);
            // A routine of the block, package or schema comes first; otherwise a standard or
            // SQL function. Arguments are evaluated once, by whichever runs.
            Callee routine;
            if (!findRoutine(e.path, e.args, scope, routine)) {
                std::vector<Value> args;
                bool named = false;
                for (const Arg &a : e.args) {
                    named = named || !a.name.empty();
                    args.push_back(evaluate(*a.value, scope));
                }
                Value r;
                if (!named && standardFunction(n, args, r))
                    return r;
                if (!named && n == "SQLERRM" && args.size() == 1)
                    return sqlerrmOf(args[0]);
                if (!named && (n == "SQLCODE" || n == "SQLERRM" || n == "USER"))
                    return evaluateName(e, scope);
                if (!named && !e.args.empty())
                    return sqlFunction(e, n, args);
            }
        } else if ((e.path.size() == 2 && e.path[0] == "STANDARD")
            || (e.path.size() == 3 && e.path[0] == "SYS" && e.path[1] == "STANDARD")) {
            const std::string &n = e.path.back();
            std::vector<Value> args;
            for (const Arg &a : e.args)
                args.push_back(evaluate(*a.value, scope));
            Value r;
            if (standardFunction(n, args, r))
                return r;
            return sqlFunction(e, n, args);
        }
        return call(e, scope, true);
    }

    [[noreturn]] void raiseApplicationError(const Expr &e, const std::shared_ptr<Scope> &scope)
    {
        if (e.args.size() < 2 || e.args.size() > 3)
            throw wrongArguments("RAISE_APPLICATION_ERROR");
        const Value code = evaluate(*e.args[0].value, scope);
        const Value text = evaluate(*e.args[1].value, scope);
        const int64_t n = code.isNull() ? 0 : code.toInteger();
        if (n > -20000 || n < -20999)
            throw plsqlError(21000,
                "error number argument to raise_application_error of " + std::to_string(n)
                    + " is out of range");
        std::string message = text.toText();
        if (message.size() > 2048)
            message.resize(2048);
        throw PlsqlError(int(-n), oraText(int(-n), message));
    }

    // A function of the SQL dialect, computed by the host.
    Value sqlFunction(const Expr &e, const std::string &name, const std::vector<Value> &args)
    {
        std::string text = "select " + name;
        std::vector<NamedValue> binds;
        if (!args.empty()) {
            text += "(";
            for (size_t i = 0; i < args.size(); ++i) {
                if (args[i].kind == Value::Kind::Boolean || args[i].kind == Value::Kind::Record
                    || args[i].kind == Value::Kind::Table)
                    throw wrongArguments(name);
                const std::string b = "QDP" + std::to_string(i + 1);
                text += (i ? ", :" : ":") + b;
                binds.push_back({ b, args[i] });
            }
            text += ")";
        }
        text += " from dual";
        SqlResult r;
        try {
            r = host_.executeSql(text, binds);
        } catch (const sql::OraError &err) {
            if (err.code == 904 || err.code == 900 || err.code == 936)
                throw semanticError(
                    e.line, e.column, "PLS-00201: identifier '" + name + "' must be declared");
            throw PlsqlError(err.code, err.text);
        }
        if (r.rows.size() != 1 || r.rows[0].empty())
            throw plsqlError(1403);
        return r.rows[0][0];
    }

    static Value notOp(const Value &v)
    {
        return v.isNull() ? Value() : Value::fromBoolean(!v.boolean);
    }
    static Value andOp(const Value &a, const Value &b)
    {
        if ((!a.isNull() && !a.boolean) || (!b.isNull() && !b.boolean))
            return Value::fromBoolean(false);
        if (a.isNull() || b.isNull())
            return {};
        return Value::fromBoolean(true);
    }
    static Value orOp(const Value &a, const Value &b)
    {
        if ((!a.isNull() && a.boolean) || (!b.isNull() && b.boolean))
            return Value::fromBoolean(true);
        if (a.isNull() || b.isNull())
            return {};
        return Value::fromBoolean(false);
    }

    Value compareOp(const std::string &op, const Value &a, const Value &b, const Expr &e)
    {
        if (a.isNull() || b.isNull())
            return {};
        int c = 0;
        if (a.kind == Value::Kind::Boolean || b.kind == Value::Kind::Boolean) {
            if (a.kind != b.kind || (op != "=" && op != "<>"))
                throw semanticError(e.line, e.column,
                    "PLS-00306: wrong number or types of "
                    "arguments in call to '"
                        + op + "'");
            c = a.boolean == b.boolean ? 0 : 1;
        } else if (a.kind == Value::Kind::Record || b.kind == Value::Kind::Record
            || a.kind == Value::Kind::Table || b.kind == Value::Kind::Table) {
            throw semanticError(e.line, e.column,
                "PLS-00306: wrong number or types of "
                "arguments in call to '"
                    + op + "'");
        } else if (a.isNumber() || b.isNumber()) {
            if (a.kind == Value::Kind::Integer && b.kind == Value::Kind::Integer)
                c = a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
            else {
                const double x = a.toReal(), y = b.toReal();
                c = x < y ? -1 : x > y ? 1 : 0;
            }
        } else {
            const Value x = a.kind == Value::Kind::Date && b.kind == Value::Kind::Text ? a : a;
            const Value y = b.kind == Value::Kind::Date && a.kind == Value::Kind::Text ? b : b;
            const int r = x.text.compare(y.text);
            c = r < 0 ? -1 : r > 0 ? 1 : 0;
        }
        bool r = false;
        if (op == "=")
            r = c == 0;
        else if (op == "<>")
            r = c != 0;
        else if (op == "<")
            r = c < 0;
        else if (op == "<=")
            r = c <= 0;
        else if (op == ">")
            r = c > 0;
        else if (op == ">=")
            r = c >= 0;
        return Value::fromBoolean(r);
    }

    Value evaluateBinary(const Expr &e, const std::shared_ptr<Scope> &scope)
    {
        const std::string &op = e.op;
        if (op == "AND" || op == "OR") {
            const Value a = evaluate(*e.operands[0], scope);
            if (!a.isNull())
                isTrue(a);
            // Short-circuit as PL/SQL does.
            if (op == "AND" && !a.isNull() && !a.boolean)
                return a;
            if (op == "OR" && !a.isNull() && a.boolean)
                return a;
            const Value b = evaluate(*e.operands[1], scope);
            if (!b.isNull())
                isTrue(b);
            return op == "AND" ? andOp(a, b) : orOp(a, b);
        }
        const Value a = evaluate(*e.operands[0], scope);
        const Value b = evaluate(*e.operands[1], scope);
        if (op == "||") {
            if (a.kind == Value::Kind::Boolean || b.kind == Value::Kind::Boolean)
                throw semanticError(e.line, e.column,
                    "PLS-00306: wrong number or types of "
                    "arguments in call to '||'");
            std::string joined = a.toText() + b.toText();
            // PL/SQL strings end at 32767 bytes.
            if (joined.size() > 32767)
                throw valueError("character string buffer too small");
            return Value::fromText(std::move(joined));
        }
        if (op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=")
            return compareOp(op, a, b, e);
        for (const Value *v : { &a, &b })
            if (v->kind == Value::Kind::Boolean || v->kind == Value::Kind::Record
                || v->kind == Value::Kind::Table)
                throw semanticError(e.line, e.column,
                    "PLS-00306: wrong number or types of "
                    "arguments in call to '"
                        + op + "'");
        if (a.isNull() || b.isNull())
            return {};
        // Date arithmetic: date +/- days, date - date.
        if (a.kind == Value::Kind::Date || b.kind == Value::Kind::Date) {
            if (op == "+" && a.kind == Value::Kind::Date && b.kind != Value::Kind::Date)
                return Value::fromDate(addDays(a.text, b.toReal()));
            if (op == "+" && b.kind == Value::Kind::Date && a.kind != Value::Kind::Date)
                return Value::fromDate(addDays(b.text, a.toReal()));
            if (op == "-" && a.kind == Value::Kind::Date && b.kind == Value::Kind::Date)
                return Value::fromReal(daysBetween(a.text, b.text));
            if (op == "-" && a.kind == Value::Kind::Date)
                return Value::fromDate(addDays(a.text, -b.toReal()));
            throw semanticError(e.line, e.column,
                "PLS-00306: wrong number or types of "
                "arguments in call to '"
                    + op + "'");
        }
        if (a.kind == Value::Kind::Integer && b.kind == Value::Kind::Integer) {
            int64_t r;
            if (op == "+" && !__builtin_add_overflow(a.integer, b.integer, &r))
                return Value::fromInteger(r);
            if (op == "-" && !__builtin_sub_overflow(a.integer, b.integer, &r))
                return Value::fromInteger(r);
            if (op == "*" && !__builtin_mul_overflow(a.integer, b.integer, &r))
                return Value::fromInteger(r);
        }
        const double x = a.toReal(), y = b.toReal();
        if (op == "+")
            return Value::fromReal(x + y);
        if (op == "-")
            return Value::fromReal(x - y);
        if (op == "*")
            return Value::fromReal(x * y);
        if (op == "/") {
            if (y == 0)
                throw plsqlError(1476);
            return Value::fromReal(x / y);
        }
        if (op == "MOD")
            return y == 0 ? a : Value::fromReal(std::fmod(x, y));
        if (op == "**")
            return Value::fromReal(std::pow(x, y));
        throw semanticError(e.line, e.column, "PLS-00103: unknown operator '" + op + "'");
    }

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

sql::OraError toOraError(const PlsqlError &e, std::string_view block = {})
{
    std::string text = e.userException.empty() ? e.message : plsqlError(6510).message;
    for (const auto &line : e.backtrace)
        text += "\n" + line;
    // The client shows where in its own block a compile-time error is.
    const int offset
        = e.compileTime && e.unit.empty() && !block.empty() ? offsetOf(block, e.line, e.column) : 0;
    return sql::OraError(e.userException.empty() ? e.code : 6510, text, offset);
}

std::string trimmedSource(std::string_view text)
{
    size_t end = text.size();
    while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    // A trailing "/" line left by a script belongs to the script, not to the unit.
    if (end > 0 && text[end - 1] == '/') {
        size_t k = end - 1;
        while (k > 0 && (text[k - 1] == ' ' || text[k - 1] == '\t'))
            --k;
        if (k == 0 || text[k - 1] == '\n') {
            end = k;
            while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1])))
                --end;
        }
    }
    return std::string(text.substr(0, end));
}

std::vector<std::string> splitLines(const std::string &source)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < source.size()) {
        size_t nl = source.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(source.substr(start));
            break;
        }
        lines.push_back(source.substr(start, nl - start + 1));
        start = nl + 1;
    }
    if (lines.empty())
        lines.push_back(std::string());
    return lines;
}

// Checks a package body against its header: every subprogram the header declares must
// have a body.
void checkPackageBody(
    const ParsedUnit &spec, const ParsedUnit &body, std::vector<UnitError> &errors)
{
    for (const Decl &d : spec.decls) {
        if (d.kind != Decl::Kind::Subprogram)
            continue;
        bool found = false;
        for (const Decl &b : body.decls)
            if (b.kind == Decl::Kind::Subprogram && b.name == d.name
                && b.subprogram->params.size() == d.subprogram->params.size() && b.subprogram->body)
                found = true;
        if (!found)
            errors.push_back({ d.line, d.column,
                "PLS-00323: subprogram or cursor '" + d.name
                    + "' is declared in a package header and must be "
                      "defined in the package body" });
    }
}

} // namespace

// ---------------------------------------------------------------- public entry points

Interpreter::Interpreter(PlsqlHost &host)
    : host_(host)
{
}

void Interpreter::executeBlock(std::string_view text, std::vector<Bind> &binds)
{
    for (Bind &b : binds)
        b.assigned = false;
    ParsedUnit unit;
    try {
        unit = parseAnonymousBlock(text);
    } catch (const CompileError &e) {
        throw sql::OraError(6550,
            oraText(6550,
                "line " + std::to_string(e.line) + ", column " + std::to_string(e.column) + ":\n"
                    + e.text),
            offsetOf(text, e.line, e.column));
    } catch (const PlsqlError &e) {
        throw toOraError(e);
    }
    Executor ex(host_, budget_, &binds);
    try {
        ex.runAnonymous(unit);
    } catch (const PlsqlError &e) {
        throw toOraError(e, text);
    } catch (const CompileError &e) {
        // A stored unit that no longer parses (its source changed behind the dictionary).
        throw sql::OraError(6550,
            oraText(6550,
                "line " + std::to_string(e.line) + ", column " + std::to_string(e.column) + ":\n"
                    + e.text));
    }
}

CreateResult Interpreter::createUnit(std::string_view text)
{
    CreateHeader header;
    try {
        header = parseCreateHeader(text);
    } catch (const CompileError &) {
        throw sql::oraError(900, "invalid SQL statement");
    }
    CreateResult result;
    result.type = header.type;
    result.owner = header.owner.empty() ? host_.currentUser() : header.owner;
    result.name = header.name;
    const bool orReplace = [&] {
        auto toks = tokenize(text, 3);
        return toks.size() > 1 && toks[1].is("OR");
    }();
    if (!orReplace && host_.loadUnit(result.owner, result.name, header.type))
        throw sql::oraError(955, "name is already used by an existing object");

    StoredUnit unit;
    unit.owner = result.owner;
    unit.name = result.name;
    unit.type = header.type;
    const std::string source = trimmedSource(text.substr(header.sourceOffset));
    unit.lines = splitLines(source);
    try {
        ParsedUnit parsed = parseStoredUnit(source);
        if (header.type == UnitType::PackageBody) {
            auto spec = host_.loadUnit(unit.owner, unit.name, UnitType::Package);
            if (!spec) {
                unit.errors.push_back(
                    { 1, 14, "PLS-00201: identifier '" + unit.name + "' must be declared" });
                unit.errors.push_back({ 1, 14,
                    "PLS-00304: cannot compile body of '" + unit.name
                        + "' without its header" });
            } else if (spec->valid) {
                std::string specSource;
                for (const auto &l : spec->lines)
                    specSource += l;
                checkPackageBody(parseStoredUnit(specSource), parsed, unit.errors);
            }
        }
    } catch (const CompileError &e) {
        unit.errors.push_back({ e.line, e.column, e.text });
    } catch (const PlsqlError &e) {
        throw toOraError(e);
    }
    unit.valid = unit.errors.empty();
    result.compiledWithErrors = !unit.valid;
    host_.storeUnit(unit);
    return result;
}

void Interpreter::dropUnit(std::string_view text)
{
    std::vector<Token> t;
    try {
        t = tokenize(text, 8);
    } catch (const CompileError &) {
        throw sql::oraError(900, "invalid SQL statement");
    }
    size_t i = 0;
    auto word = [&](const char *w) {
        if (i < t.size() && t[i].is(w)) {
            ++i;
            return true;
        }
        return false;
    };
    if (!word("DROP"))
        throw sql::oraError(900, "invalid SQL statement");
    UnitType type;
    if (word("PROCEDURE"))
        type = UnitType::Procedure;
    else if (word("FUNCTION"))
        type = UnitType::Function;
    else if (word("TRIGGER"))
        type = UnitType::Trigger;
    else if (word("PACKAGE"))
        type = word("BODY") ? UnitType::PackageBody : UnitType::Package;
    else if (word("TYPE"))
        type = word("BODY") ? UnitType::TypeBody : UnitType::Type;
    else
        throw sql::oraError(950, "invalid DROP option");
    auto isName = [&](size_t k) {
        return k < t.size()
            && (t[k].kind == Token::Kind::Name || t[k].kind == Token::Kind::QuotedName);
    };
    if (!isName(i))
        throw sql::oraError(903, "invalid table name");
    std::string owner, name = t[i++].text;
    if (i < t.size() && t[i].is(".") && isName(i + 1)) {
        owner = name;
        name = t[i + 1].text;
        i += 2;
    }
    if (owner.empty())
        owner = host_.currentUser();
    if (!host_.dropUnit(owner, name, type)) {
        if (type == UnitType::Trigger)
            throw sql::oraError(4080, "trigger '" + name + "' does not exist");
        throw sql::oraError(4043, "object " + name + " does not exist");
    }
    // A package goes with its body, a type with its type body.
    if (type == UnitType::Package)
        host_.dropUnit(owner, name, UnitType::PackageBody);
    if (type == UnitType::Type)
        host_.dropUnit(owner, name, UnitType::TypeBody);
    host_.sessionState().packages.erase(owner + "." + name);
}

std::string Interpreter::compilationWarningText()
{
    return "ORA-24344: success with compilation error";
}

StatementClass classifyStatement(std::string_view text)
{
    StatementClass c;
    std::vector<Token> t;
    try {
        t = tokenize(text, 6);
    } catch (const CompileError &) {
        return c;
    }
    auto at = [&](size_t i, const char *w) { return i < t.size() && t[i].is(w); };
    if (at(0, "BEGIN") || at(0, "DECLARE")) {
        c.kind = StatementClass::Kind::Block;
        c.statementType = at(0, "BEGIN") ? 8 : 9;
        c.functionCode = 34;
        return c;
    }
    if (at(0, "CREATE") && isCreateOfStoredCode(text)) {
        const CreateHeader h = parseCreateHeader(text);
        c.kind = StatementClass::Kind::CreateUnit;
        c.statementType = 5;
        switch (h.type) {
        case UnitType::Procedure:
            c.functionCode = 24;
            break;
        case UnitType::Function:
            c.functionCode = 91;
            break;
        case UnitType::Package:
            c.functionCode = 94;
            break;
        case UnitType::PackageBody:
            c.functionCode = 97;
            break;
        case UnitType::Trigger:
            c.functionCode = 59;
            break;
        case UnitType::Type:
            c.functionCode = 77;
            break;
        case UnitType::TypeBody:
            c.functionCode = 81;
            break;
        }
        return c;
    }
    if (at(0, "DROP")) {
        static const std::map<std::string, int> codes = { { "PROCEDURE", 68 }, { "FUNCTION", 93 },
            { "PACKAGE", 95 }, { "TRIGGER", 61 }, { "TYPE", 78 } };
        if (t.size() > 1) {
            auto it = codes.find(t[1].text);
            if (it != codes.end() && t[1].kind == Token::Kind::Name) {
                c.kind = StatementClass::Kind::DropUnit;
                c.statementType = 6;
                c.functionCode = it->second;
                if (at(2, "BODY"))
                    c.functionCode = t[1].text == "PACKAGE" ? 98 : 83;
            }
        }
    }
    return c;
}

} // namespace qdsi::plsql
