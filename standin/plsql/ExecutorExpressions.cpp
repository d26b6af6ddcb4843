// Expressions: names, attributes, built-in and SQL functions, and operators with the three-valued
// logic of SQL.
#include "plsql/Executor.h"

#include "sql/Dialect.h"

#include <cmath>

namespace qdsi::plsql {

Value Executor::evaluate(const Expr &e, const std::shared_ptr<Scope> &scope)
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

bool Executor::like(const std::string &s, const std::string &p, char esc)
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

Value Executor::attribute(const Expr &e, const std::shared_ptr<Scope> &scope)
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
        throw semanticError(
            e.line, e.column, "PLS-00201: identifier '" + joinPath(e.path) + "' must be declared");
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

Value Executor::evaluateName(const Expr &e, const std::shared_ptr<Scope> &scope)
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

Value Executor::sqlerrmOf(const Value &code)
{
    if (code.isNull())
        return Value::fromText("ORA-0000: normal, successful completion");
    const int64_t n = code.toInteger();
    if (n == 0)
        return Value::fromText("ORA-0000: normal, successful completion");
    if (n > 0)
        return Value::fromText("User-Defined Exception");
    if (n < -99999)
        return Value::fromText(
            "ORA" + std::to_string(n) + ": Message " + std::to_string(-n) + " not found");
    return Value::fromText(sql::oraError(static_cast<int>(-n)).text);
}

Value Executor::objectMethod(const Variable &v, const Expr &e)
{
    const std::string &method = e.path.back();
    if ((method != "GETCLOBVAL" && method != "GETSTRINGVAL") || !e.args.empty())
        throw semanticError(
            e.line, e.column, "PLS-00302: component '" + method + "' must be declared");
    if (v.value.isNull())
        throw plsqlError(30625, "method dispatch on NULL SELF argument is disallowed");
    return v.value;
}

Value Executor::evaluateCall(const Expr &e, const std::shared_ptr<Scope> &scope)
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

void Executor::raiseApplicationError(const Expr &e, const std::shared_ptr<Scope> &scope)
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

Value Executor::sqlFunction(const Expr &e, const std::string &name, const std::vector<Value> &args)
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

Value Executor::notOp(const Value &v)
{
    return v.isNull() ? Value() : Value::fromBoolean(!v.boolean);
}

Value Executor::andOp(const Value &a, const Value &b)
{
    if ((!a.isNull() && !a.boolean) || (!b.isNull() && !b.boolean))
        return Value::fromBoolean(false);
    if (a.isNull() || b.isNull())
        return {};
    return Value::fromBoolean(true);
}

Value Executor::orOp(const Value &a, const Value &b)
{
    if ((!a.isNull() && a.boolean) || (!b.isNull() && b.boolean))
        return Value::fromBoolean(true);
    if (a.isNull() || b.isNull())
        return {};
    return Value::fromBoolean(false);
}

Value Executor::compareOp(const std::string &op, const Value &a, const Value &b, const Expr &e)
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

Value Executor::evaluateBinary(const Expr &e, const std::shared_ptr<Scope> &scope)
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

} // namespace qdsi::plsql
