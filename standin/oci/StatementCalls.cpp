// Statements: prepare, bind, define, execute, fetch and the select-list parameters.
#include "Export.h"
#include "engine/BindBuffers.h"
#include "engine/ObjectTypes.h"
#include "engine/OraErrors.h"
#include "engine/PlsqlStatement.h"
#include "oci/Handles.h"
#include "oci/ObjectCache.h"

#include <cstring>

using namespace qdsi;
using namespace qdsi::oci;
using engine::oraFail;

namespace {

void prepareText(StmtHandle &stmt, std::string text)
{
    stmt.binds.clear();
    stmt.defines.clear();
    stmt.params.clear();
    stmt.statement.prepare(std::move(text));
}

engine::Session &sessionOf(SvcCtxHandle *service)
{
    if (!service || !service->session || !service->session->session)
        throw oraFail(1012);
    return *service->session->session;
}

std::vector<engine::BoundValue> boundValues(const StmtHandle &stmt)
{
    std::vector<engine::BoundValue> values;
    values.reserve(stmt.binds.size());
    for (const auto &b : stmt.binds)
        values.push_back(b->value);
    return values;
}

std::vector<std::optional<engine::ClientBuffer>> defineBuffers(const StmtHandle &stmt)
{
    std::vector<std::optional<engine::ClientBuffer>> buffers;
    for (const auto &d : stmt.defines) {
        if (buffers.size() < d->position)
            buffers.resize(d->position);
        buffers[d->position - 1] = d->buffer;
    }
    return buffers;
}

// OCI status for rows moved into the caller's buffers.
sword rowsStatus(OCIError *errhp, const engine::FetchResult &result)
{
    if (result.exhausted)
        return note(errhp, 1403, OCI_NO_DATA);
    if (result.warning)
        return note(errhp, result.warning, OCI_SUCCESS_WITH_INFO);
    return OCI_SUCCESS;
}

// The statement OCIStmtExecute is running on this thread and its service context: a cursor
// variable the statement opens is fetched through that service.
thread_local StmtHandle *executingStatement = nullptr;
thread_local SvcCtxHandle *executingService = nullptr;

class ExecutingScope {
public:
    ExecutingScope(StmtHandle *stmt, SvcCtxHandle *service)
        : m_stmt(executingStatement)
        , m_service(executingService)
    {
        executingStatement = stmt;
        executingService = service;
    }
    ~ExecutingScope()
    {
        executingStatement = m_stmt;
        executingService = m_service;
    }
    ExecutingScope(const ExecutingScope &) = delete;
    ExecutingScope &operator=(const ExecutingScope &) = delete;

private:
    StmtHandle *m_stmt;
    SvcCtxHandle *m_service;
};

void openCursorVariable(engine::Session &session, void *client, const std::string &query,
    const std::vector<plsql::NamedValue> &binds)
{
    auto *stmt = handleOf<StmtHandle>(client, OCI_HTYPE_STMT);
    // The running statement cannot become its own cursor: preparing it would pull its text
    // away from under the call.
    if (!stmt || stmt == executingStatement || !executingService)
        throw oraFail(1001);
    prepareText(*stmt, query);
    engine::BindBuffers buffers;
    for (const plsql::NamedValue &b : binds)
        buffers.add(stmt->statement, b);
    stmt->service = executingService;
    stmt->statement.execute(session, buffers.values(), {}, 0, 0, false, false);
}

[[maybe_unused]] const bool cursorOpenerInstalled
    = (engine::setCursorVariableOpener(&openCursorVariable), true);

// A value buffer the call can use: a negative size, or a size without a buffer, would have the
// value read or written through memory the caller does not own. `argument` is the buffer's place
// among the call's arguments, as the error names it.
sword checkBuffer(OCIError *errhp, const void *valuep, sb4 value_sz, int argument)
{
    if (value_sz < 0 || (!valuep && value_sz > 0))
        return fail(errhp, oraFail(21560, std::to_string(argument)));
    return OCI_SUCCESS;
}

// Calls that run a statement want the error handle that will carry its outcome.
bool isErrorHandle(OCIError *errhp)
{
    return handleOf<ErrorHandle>(errhp, OCI_HTYPE_ERROR) != nullptr;
}

sword bindAt(StmtHandle *stmt, OCIBind **bindpp, OCIError *errhp, int index, void *valuep,
    sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 *curelep, ub4 mode)
{
    if (mode != OCI_DEFAULT)
        return fail(errhp, 3001); // data at execute time is not supported
    if (const sword refused = checkBuffer(errhp, valuep, value_sz, 5))
        return refused;
    if (index == 0)
        return fail(errhp, 1036);
    BindHandle *bind = nullptr;
    for (const auto &b : stmt->binds)
        if (b->value.sqliteIndex == index)
            bind = b.get();
    if (!bind) {
        stmt->binds.push_back(std::make_unique<BindHandle>());
        bind = stmt->binds.back().get();
        bind->statement = stmt;
        bind->env = nullptr;
    }
    bind->extras = {};
    engine::ClientBuffer buffer
        = clientBuffer(valuep, value_sz, dty, indp, alenp, rcodep, &bind->extras);
    buffer.currentElements = curelep;
    bind->value = { index, buffer };
    if (bindpp)
        *bindpp = reinterpret_cast<OCIBind *>(static_cast<Handle *>(bind));
    return OCI_SUCCESS;
}

} // namespace

QDSI_EXPORT sword OCIStmtPrepare(
    OCIStmt *stmtp, OCIError *errhp, const text *stmt, ub4 stmt_len, ub4, ub4)
{
    auto *handle = handleOf<StmtHandle>(stmtp, OCI_HTYPE_STMT);
    if (!handle)
        return OCI_INVALID_HANDLE;
    return guarded(errhp, [&] {
        prepareText(*handle, textOf(stmt, static_cast<sb4>(stmt_len)));
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIStmtPrepare2(OCISvcCtx *svchp, OCIStmt **stmthp, OCIError *errhp,
    const text *stmttext, ub4 stmt_len, const text *, ub4, ub4, ub4)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    if (!service || !stmthp)
        return OCI_INVALID_HANDLE;
    return guarded(errhp, [&] {
        auto *handle = new StmtHandle;
        handle->env = service->env;
        if (handle->env) {
            std::lock_guard lock(handle->env->mutex);
            handle->env->children.insert(handle);
        }
        handle->service = service;
        *stmthp = reinterpret_cast<OCIStmt *>(static_cast<Handle *>(handle));
        prepareText(*handle, textOf(stmttext, static_cast<sb4>(stmt_len)));
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIStmtRelease(OCIStmt *stmtp, OCIError *errhp, const text *, ub4, ub4)
{
    auto *handle = handleOf<StmtHandle>(stmtp, OCI_HTYPE_STMT);
    if (!handle)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    if (handle->env) {
        std::lock_guard lock(handle->env->mutex);
        handle->env->children.erase(handle);
    }
    delete handle;
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIBindByName(OCIStmt *stmtp, OCIBind **bindpp, OCIError *errhp,
    const text *placeholder, sb4 placeh_len, void *valuep, sb4 value_sz, ub2 dty, void *indp,
    ub2 *alenp, ub2 *rcodep, ub4, ub4 *curelep, ub4 mode)
{
    auto *stmt = handleOf<StmtHandle>(stmtp, OCI_HTYPE_STMT);
    if (!stmt)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    const int index = stmt->statement.placeholderIndex(textOf(placeholder, placeh_len));
    return bindAt(
        stmt, bindpp, errhp, index, valuep, value_sz, dty, indp, alenp, rcodep, curelep, mode);
}

QDSI_EXPORT sword OCIBindByPos(OCIStmt *stmtp, OCIBind **bindpp, OCIError *errhp, ub4 position,
    void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4, ub4 *curelep,
    ub4 mode)
{
    auto *stmt = handleOf<StmtHandle>(stmtp, OCI_HTYPE_STMT);
    if (!stmt)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    const int index = stmt->statement.placeholderIndex(position);
    return bindAt(
        stmt, bindpp, errhp, index, valuep, value_sz, dty, indp, alenp, rcodep, curelep, mode);
}

QDSI_EXPORT sword OCIBindArrayOfStruct(
    OCIBind *bindp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip)
{
    auto *bind = handleOf<BindHandle>(bindp, OCI_HTYPE_BIND);
    if (!bind)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    engine::ClientBuffer &b = bind->value.buffer;
    b.skip = pvskip;
    b.indicatorSkip = indskip;
    b.lengthSkip = alskip;
    b.codeSkip = rcskip;
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIDefineByPos(OCIStmt *stmtp, OCIDefine **defnpp, OCIError *errhp, ub4 position,
    void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep, ub4 mode)
{
    auto *stmt = handleOf<StmtHandle>(stmtp, OCI_HTYPE_STMT);
    if (!stmt)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    if (mode != OCI_DEFAULT && mode != OCI_DYNAMIC_FETCH)
        return fail(errhp, 3001);
    // A dynamic define gets its buffers from the callback later.
    if (mode == OCI_DEFAULT)
        if (const sword refused = checkBuffer(errhp, valuep, value_sz, 5))
            return refused;
    if (position < 1
        || (!stmt->statement.columns().empty() && position > stmt->statement.columns().size()))
        return fail(errhp, 1007);
    DefineHandle *define = nullptr;
    for (const auto &d : stmt->defines)
        if (d->position == position)
            define = d.get();
    if (!define) {
        stmt->defines.push_back(std::make_unique<DefineHandle>());
        define = stmt->defines.back().get();
        define->statement = stmt;
        define->position = position;
    }
    define->extras = {};
    define->buffer = clientBuffer(valuep, value_sz, dty, indp, rlenp, rcodep, &define->extras);
    if (defnpp)
        *defnpp = reinterpret_cast<OCIDefine *>(static_cast<Handle *>(define));
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIDefineArrayOfStruct(
    OCIDefine *defnp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 rlskip, ub4 rcskip)
{
    auto *define = handleOf<DefineHandle>(defnp, OCI_HTYPE_DEFINE);
    if (!define)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    engine::ClientBuffer &b = define->buffer;
    b.skip = pvskip;
    b.indicatorSkip = indskip;
    b.lengthSkip = rlskip;
    b.codeSkip = rcskip;
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters,
    ub4 rowoff, const OCISnapshot *, OCISnapshot *, ub4 mode)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    auto *stmt = handleOf<StmtHandle>(stmtp, OCI_HTYPE_STMT);
    if (!service || !stmt || !isErrorHandle(errhp))
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(service->callLock);
    return guarded(errhp, [&] {
        engine::Session &session = sessionOf(service);
        engine::Session::Call call(session, true);
        ExecutingScope executing(stmt, service);
        stmt->service = service;
        stmt->params.clear();
        const bool describeOnly = (mode & OCI_DESCRIBE_ONLY) != 0;
        auto run = [&] {
            return stmt->statement.execute(session, boundValues(*stmt), defineBuffers(*stmt),
                iters, rowoff, describeOnly, (mode & OCI_COMMIT_ON_SUCCESS) != 0);
        };
        engine::FetchResult result;
        try {
            result = run();
        } catch (const sql::OraError &e) {
            // A constructor of an object type made after the connection opened: make the
            // constructors known and run the statement again.
            if (!engine::namesObjectType(session, e))
                throw;
            engine::registerObjectConstructors(session);
            result = run();
        }
        if (stmt->statement.isSelect() && !describeOnly && iters > 0)
            return rowsStatus(errhp, result);
        if (result.warning)
            return note(errhp, result.warning, OCI_SUCCESS_WITH_INFO);
        return OCI_SUCCESS;
    });
}

namespace {

sword fetchRows(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation)
{
    auto *stmt = handleOf<StmtHandle>(stmtp, OCI_HTYPE_STMT);
    if (!stmt || !isErrorHandle(errhp))
        return OCI_INVALID_HANDLE;
    if (!stmt->service)
        return fail(errhp, 24338);
    std::lock_guard lock(stmt->service->callLock);
    return guarded(errhp, [&] {
        if (orientation != OCI_FETCH_NEXT && orientation != 0)
            throw oraFail(3001); // scrolling is accepted at execute but fetches run forward
        if (nrows == 0)
            return OCI_SUCCESS;
        engine::Session &session = sessionOf(stmt->service);
        engine::Session::Call call(session, true);
        return rowsStatus(errhp, stmt->statement.fetch(session, defineBuffers(*stmt), nrows));
    });
}

} // namespace

QDSI_EXPORT sword OCIStmtFetch(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, ub4)
{
    return fetchRows(stmtp, errhp, nrows, orientation);
}

QDSI_EXPORT sword OCIStmtFetch2(
    OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, sb4, ub4)
{
    return fetchRows(stmtp, errhp, nrows, orientation);
}

QDSI_EXPORT sword OCIParamGet(
    const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos)
{
    if (auto *list = htype == OCI_DTYPE_PARAM ? handleOf<ParamDescriptor>(hndlp, htype) : nullptr) {
        if (!parmdpp)
            return OCI_INVALID_HANDLE;
        clearError(errhp);
        return listParamGet(*list, errhp, parmdpp, pos);
    }
    auto *stmt = htype == OCI_HTYPE_STMT ? handleOf<StmtHandle>(hndlp, OCI_HTYPE_STMT) : nullptr;
    if (!stmt || !parmdpp)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    const auto &columns = stmt->statement.columns();
    if (pos < 1 || pos > columns.size())
        return fail(errhp, 24334);
    auto param = std::make_unique<ParamDescriptor>();
    param->column = columns[pos - 1];
    param->env = stmt->env;
    try {
        attachColumnType(*param, stmt->service);
    } catch (const sql::OraError &e) {
        return fail(errhp, e);
    }
    *parmdpp = static_cast<Handle *>(param.get());
    stmt->params.push_back(std::move(param));
    return OCI_SUCCESS;
}
