// Calls: matching arguments to parameters, finding the routine a name calls (local, packaged,
// stored or a server package's), and running it with its IN, OUT and IN OUT values.
#include "plsql/Executor.h"

namespace qdsi::plsql {

PlsqlError Executor::wrongArguments(const std::string &routine)
{
    return semanticError(frame().line, 1,
        "PLS-00306: wrong number or types of arguments in call to '" + routine + "'");
}

bool Executor::acceptsArguments(const Subprogram &sub, const std::vector<Arg> &args)
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

bool Executor::findRoutine(const Path &p, const std::vector<Arg> &args,
    const std::shared_ptr<Scope> &scope, Callee &callee)
{
    auto pick
        = [&](const std::vector<std::shared_ptr<Subprogram>> &subs) -> std::shared_ptr<Subprogram> {
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
            callee.unit = s->package ? s->package->owner + "." + s->package->name : frame().unit;
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
                throw semanticError(
                    frame().line, 1, "PLS-00302: component '" + q.back() + "' must be declared");
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

std::shared_ptr<Scope> Executor::findOwner(const std::shared_ptr<Scope> &from, Scope *target)
{
    for (std::shared_ptr<Scope> s = from; s; s = s->parent)
        if (s.get() == target)
            return s;
    return from;
}

std::shared_ptr<Subprogram> Executor::implementation(PackageInstance &pkg, const Subprogram &decl)
{
    if (decl.body)
        return std::const_pointer_cast<Subprogram>(
            std::shared_ptr<const Subprogram>(std::shared_ptr<const Subprogram>(), &decl));
    auto it = pkg.body ? pkg.body->subs.find(decl.name) : decltype(pkg.body->subs.end())();
    if (pkg.body && it != pkg.body->subs.end())
        for (const auto &s : it->second)
            if (s->body && sameShape(*s, decl))
                return s;
    throw plsqlError(4067, "package body \"" + pkg.owner + "." + pkg.name + "\" does not exist");
}

bool Executor::standalone(const std::string &owner, const std::string &name, Callee &callee)
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

Value Executor::call(const Expr &e, const std::shared_ptr<Scope> &scope, bool wantResult)
{
    Callee callee;
    if (!findRoutine(e.path, e.args, scope, callee))
        throw semanticError(
            e.line, e.column, "PLS-00201: identifier '" + joinPath(e.path) + "' must be declared");
    if (callee.builtin)
        return callBuiltin(e, *callee.builtin, callee.builtinName, scope, wantResult);
    const Subprogram &sub = *callee.sub;
    if (wantResult && !sub.isFunction)
        throw semanticError(e.line, e.column,
            "PLS-00222: no function with name '" + sub.name + "' exists in this scope");
    if (!wantResult && sub.isFunction)
        throw semanticError(
            e.line, e.column, "PLS-00221: '" + sub.name + "' is not a procedure or is undefined");
    if (frames_.size() > maxCallDepth) {
        PlsqlError err = plsqlError(6500);
        err.fatal = true;
        throw err;
    }
    std::vector<const Expr *> given(sub.params.size(), nullptr);
    bindArguments(
        sub.params.size(), [&](size_t i) { return sub.params[i].name; }, e.args, given, sub.name);
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

bool Executor::isAssignable(const Expr &e)
{
    return e.kind == Expr::Kind::Bind || (e.kind == Expr::Kind::Name && e.operands.empty())
        || (e.kind == Expr::Kind::Call && e.args.size() == 1);
}

Value Executor::callBuiltin(const Expr &e, const Builtin &b, const std::string &name,
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

void Executor::callStatement(const Expr &e, const std::shared_ptr<Scope> &scope)
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

} // namespace qdsi::plsql
