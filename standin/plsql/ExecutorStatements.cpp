// Blocks, exception handlers, statements and loops, and assignment to variables, fields,
// collection elements and binds.
#include "plsql/Executor.h"

namespace qdsi::plsql {

Flow Executor::runBlock(const Block &block, const std::shared_ptr<Scope> &parent)
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

bool Executor::handles(const Handler &h, const PlsqlError &e, const std::shared_ptr<Scope> &scope)
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
            throw semanticError(
                frame().line, 1, "PLS-00201: identifier '" + joinPath(name) + "' must be declared");
        if (e.userException == *id)
            return true;
        const int code = codeOfException(*id, scope.get());
        if (code != 0 && e.userException.empty() && e.code == code)
            return true;
    }
    return false;
}

Flow Executor::runStatements(const StmtList &list, const std::shared_ptr<Scope> &scope)
{
    for (const StmtPtr &s : list) {
        Flow f = run(*s, scope);
        if (f != Flow::Normal)
            return f;
    }
    return Flow::Normal;
}

Flow Executor::run(const Stmt &s, const std::shared_ptr<Scope> &scope)
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

void Executor::raise(const Stmt &s, const std::shared_ptr<Scope> &scope)
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
    throw semanticError(
        s.line, s.column, "PLS-00201: identifier '" + joinPath(s.exception) + "' must be declared");
}

bool Executor::isTrue(const Value &v)
{
    if (v.isNull())
        return false;
    if (v.kind != Value::Kind::Boolean)
        throw semanticError(frame().line, 1, "PLS-00382: expression is of wrong type");
    return v.boolean;
}

bool Executor::mine(const Stmt &loop)
{
    if (frame().flowLabel.empty() || frame().flowLabel == loop.label) {
        frame().flowLabel.clear();
        return true;
    }
    return false;
}

Flow Executor::runLoop(const Stmt &s, const std::shared_ptr<Scope> &scope)
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
        for (int64_t i = s.reverse ? b : a; s.reverse ? i >= a : i <= b; s.reverse ? --i : ++i) {
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

void Executor::assign(const Expr &target, const Value &v, const std::shared_ptr<Scope> &scope)
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

} // namespace qdsi::plsql
