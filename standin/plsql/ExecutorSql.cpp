// Cursors and SQL: opening and fetching cursors, SELECT INTO, DML and EXECUTE IMMEDIATE through
// the host, the SQL text sent for a statement, and the client's bind variables.
#include "plsql/Executor.h"

#include "plsql/CompileError.h"
#include "sql/Dialect.h"

#include <algorithm>

namespace qdsi::plsql {

Cursor *Executor::cursorOf(const Path &p, const Stmt &s, const std::shared_ptr<Scope> &scope)
{
    Cursor *c = findCursor(p, scope);
    if (!c)
        throw semanticError(
            s.line, s.column, "PLS-00201: identifier '" + joinPath(p) + "' must be declared");
    return c;
}

Value Executor::rowRecord(const Cursor &c, size_t row)
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

void Executor::openDeclared(
    Cursor &c, const std::vector<Arg> &args, const std::shared_ptr<Scope> &scope)
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
                "PLS-00306: wrong number or types of arguments in call to '" + c.decl->name + "'");
        ps->vars[params[i].name] = var;
    }
    openWith(c, c.decl->sql, ps);
}

void Executor::openWith(Cursor &c, const SqlText &sql, const std::shared_ptr<Scope> &scope)
{
    std::vector<NamedValue> binds;
    const std::string text = buildSql(sql, scope, binds);
    c.result = executeSql(text, binds);
    c.open = true;
    c.next = 0;
    c.lastFetch = -1;
}

void Executor::openCursor(const Stmt &s, const std::shared_ptr<Scope> &scope)
{
    Cursor *c = cursorOf(s.cursor, s, scope);
    if (c->open)
        throw plsqlError(6511);
    openDeclared(*c, s.cursorArgs, scope);
}

void Executor::openCursorVariable(const Stmt &s, const std::shared_ptr<Scope> &scope)
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

void Executor::fetch(const Stmt &s, const std::shared_ptr<Scope> &scope)
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

void Executor::intoTargets(const std::vector<ExprPtr> &into,
    const std::vector<std::string> &columns, const std::vector<Value> &row,
    const std::shared_ptr<Scope> &scope, const Stmt &s)
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
                const std::string name = i < columns.size() ? columns[i] : std::to_string(i + 1);
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

void Executor::runSql(const Stmt &s, const std::shared_ptr<Scope> &scope)
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

void Executor::executeImmediate(const Stmt &s, const std::shared_ptr<Scope> &scope)
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

template <typename F> void Executor::serverCall(F f)
{
    try {
        f();
    } catch (const sql::OraError &e) {
        throw PlsqlError(e.code, e.text);
    }
}

SqlResult Executor::executeSql(const std::string &text, const std::vector<NamedValue> &binds)
{
    SqlResult r;
    serverCall([&] { r = host_.executeSql(text, binds); });
    return r;
}

std::string Executor::buildSql(
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

Bind *Executor::findBind(const std::string &name)
{
    if (!binds_)
        return nullptr;
    for (Bind &b : *binds_)
        if (b.name == name)
            return &b;
    return nullptr;
}

Value Executor::bindValue(const std::string &name)
{
    Bind *b = findBind(name);
    if (!b) {
        PlsqlError e = plsqlError(1008, "not all variables bound");
        e.fatal = true;
        throw e;
    }
    return b->value;
}

void Executor::assignBind(const std::string &name, const Value &v, const Expr &at)
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

} // namespace qdsi::plsql
