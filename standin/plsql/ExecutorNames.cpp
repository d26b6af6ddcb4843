// Declarations and names: resolving declared types, initial values and conversions on
// assignment, declaring a block's items, and finding variables, cursors and exceptions.
#include "plsql/Executor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace qdsi::plsql {

RType Executor::resolveType(const TypeSpec &t, const std::shared_ptr<Scope> &scope)
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
        static const std::set<std::string> texts = { "VARCHAR2", "VARCHAR", "STRING", "NVARCHAR2",
            "LONG", "CLOB", "NCLOB", "RAW", "LONG RAW", "ROWID", "UROWID", "BLOB" };
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

Value Executor::initialValue(const RType &t)
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

Value Executor::coerce(const RType &t, const Value &v)
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

Value Executor::toDate(const Value &v)
{
    if (v.kind == Value::Kind::Date)
        return v;
    if (v.kind != Value::Kind::Text)
        throw valueError("character to date conversion error");
    int y, mo, d, h = 0, mi = 0, s = 0;
    char tail = 0;
    const int got
        = std::sscanf(v.text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
    if ((got != 3 && got != 6) || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59
        || s > 59)
        throw plsqlError(1861, "literal does not match format string");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return Value::fromDate(buf);
}

void Executor::declare(const std::vector<Decl> &decls, const std::shared_ptr<Scope> &scope)
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
                    "PLS-00109: unknown exception name '" + d.name + "' in PRAGMA EXCEPTION_INIT");
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

bool Executor::sameShape(const Subprogram &a, const Subprogram &b)
{
    if (a.isFunction != b.isFunction || a.params.size() != b.params.size())
        return false;
    for (size_t i = 0; i < a.params.size(); ++i)
        if (a.params[i].name != b.params[i].name)
            return false;
    return true;
}

Variable *Executor::findVariable(const std::string &name, const std::shared_ptr<Scope> &scope)
{
    for (Scope *s = scope.get(); s; s = s->parent.get()) {
        auto it = s->vars.find(name);
        if (it != s->vars.end())
            return it->second.get();
    }
    return nullptr;
}

Variable *Executor::findVariablePath(const Path &p, const std::shared_ptr<Scope> &scope)
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

Variable *Executor::resolveVariable(
    const Path &p, const std::shared_ptr<Scope> &scope, size_t &used)
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

Value *Executor::field(Value &v, const std::string &name, const Expr *at)
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

Cursor *Executor::findCursor(const Path &p, const std::shared_ptr<Scope> &scope)
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

const std::string *Executor::findException(const Path &p, const std::shared_ptr<Scope> &scope)
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

int Executor::codeOfException(const std::string &id, Scope *from)
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

} // namespace qdsi::plsql
