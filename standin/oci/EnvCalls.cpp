// Environment, handle and descriptor allocation, and error retrieval.
#include "Export.h"
#include "oci/DateTimeDescriptor.h"
#include "oci/Handles.h"
#include "oci/LobLocator.h"
#include "oci/ObjectCache.h"

#include <cstring>

using namespace qdsi::oci;

namespace {

Handle *newHandle(ub4 type)
{
    switch (type) {
    case OCI_HTYPE_ERROR:
        return new ErrorHandle;
    case OCI_HTYPE_SVCCTX:
        return new SvcCtxHandle;
    case OCI_HTYPE_STMT:
        return new StmtHandle;
    case OCI_HTYPE_SERVER:
        return new ServerHandle;
    case OCI_HTYPE_SESSION:
        return new SessionHandle;
    case OCI_HTYPE_DESCRIBE:
        return newDescribeHandle();
    case OCI_HTYPE_TRANS:
    case OCI_HTYPE_SPOOL:
        return new PlainHandle(type);
    default:
        return nullptr;
    }
}

Handle *newDescriptor(ub4 type)
{
    switch (type) {
    case OCI_DTYPE_ROWID:
        return new RowidDescriptor;
    case OCI_DTYPE_PARAM:
        return new ParamDescriptor;
    case OCI_DTYPE_LOB:
    case OCI_DTYPE_FILE:
        return newLobLocator(type);
    case OCI_DTYPE_TIMESTAMP:
    case OCI_DTYPE_TIMESTAMP_TZ:
    case OCI_DTYPE_TIMESTAMP_LTZ:
        return newDateTime(type);
    case OCI_DTYPE_INTERVAL_YM:
    case OCI_DTYPE_INTERVAL_DS:
        return new PlainHandle(type);
    default:
        return nullptr;
    }
}

sword adopt(const void *parenth, void **out, Handle *h, size_t extra, void **userMemory)
{
    auto *env = handleOf<EnvHandle>(parenth, OCI_HTYPE_ENV);
    if (!env || !out || !h) {
        delete h;
        return OCI_INVALID_HANDLE;
    }
    h->env = env;
    if (extra > 0) {
        h->userMemory.assign(extra, 0);
        if (userMemory)
            *userMemory = h->userMemory.data();
    }
    {
        std::lock_guard lock(env->mutex);
        env->children.insert(h);
    }
    *out = h;
    return OCI_SUCCESS;
}

sword release(void *pointer, ub4 type)
{
    auto *h = handleOf<Handle>(pointer, type);
    if (!h || type == OCI_HTYPE_ENV)
        return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE)
        return OCI_INVALID_HANDLE; // owned by their statement
    if (type == OCI_DTYPE_PARAM && !h->env)
        return OCI_SUCCESS; // select-list parameters belong to their statement
    if (h->env) {
        std::lock_guard lock(h->env->mutex);
        h->env->children.erase(h);
    }
    delete h;
    return OCI_SUCCESS;
}

sword createEnvironment(OCIEnv **envhpp, size_t extra, void **userMemory)
{
    if (!envhpp)
        return OCI_INVALID_HANDLE;
    auto *env = new EnvHandle;
    env->env = env;
    if (extra > 0) {
        env->userMemory.assign(extra, 0);
        if (userMemory)
            *userMemory = env->userMemory.data();
    }
    *envhpp = reinterpret_cast<OCIEnv *>(static_cast<Handle *>(env));
    return OCI_SUCCESS;
}

} // namespace

QDSI_EXPORT sword OCIInitialize(ub4, void *, OCIMallocFn, OCIReallocFn, OCIFreeFn)
{
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIEnvCreate(OCIEnv **envhpp, ub4, void *, OCIMallocFn, OCIReallocFn, OCIFreeFn,
    size_t xtramem_sz, void **usrmempp)
{
    return createEnvironment(envhpp, xtramem_sz, usrmempp);
}

QDSI_EXPORT sword OCIEnvInit(OCIEnv **envhpp, ub4, size_t xtramem_sz, void **usrmempp)
{
    return createEnvironment(envhpp, xtramem_sz, usrmempp);
}

QDSI_EXPORT sword OCIHandleAlloc(
    const void *parenth, void **hndlpp, ub4 type, size_t xtramem_sz, void **usrmempp)
{
    return adopt(parenth, hndlpp, newHandle(type), xtramem_sz, usrmempp);
}

QDSI_EXPORT sword OCIHandleFree(void *hndlp, ub4 type)
{
    if (type == OCI_HTYPE_ENV) {
        auto *env = handleOf<EnvHandle>(hndlp, OCI_HTYPE_ENV);
        if (!env)
            return OCI_INVALID_HANDLE;
        delete env;
        return OCI_SUCCESS;
    }
    return release(hndlp, type);
}

QDSI_EXPORT sword OCIDescriptorAlloc(
    const void *parenth, void **descpp, ub4 type, size_t xtramem_sz, void **usrmempp)
{
    return adopt(parenth, descpp, newDescriptor(type), xtramem_sz, usrmempp);
}

QDSI_EXPORT sword OCIDescriptorFree(void *descp, ub4 type)
{
    return release(descp, type);
}

QDSI_EXPORT sword OCIErrorGet(
    void *hndlp, ub4 recordno, text *sqlstate, sb4 *errcodep, text *bufp, ub4 bufsiz, ub4 type)
{
    if (type != OCI_HTYPE_ERROR && type != OCI_HTYPE_ENV)
        return OCI_INVALID_HANDLE;
    auto *err = handleOf<ErrorHandle>(hndlp, OCI_HTYPE_ERROR);
    if (!err)
        return type == OCI_HTYPE_ENV && handleOf<EnvHandle>(hndlp, OCI_HTYPE_ENV)
            ? OCI_NO_DATA
            : OCI_INVALID_HANDLE;
    std::lock_guard lock(err->mutex);
    if (recordno != 1 || err->code == 0)
        return OCI_NO_DATA;
    if (errcodep)
        *errcodep = err->code;
    if (sqlstate)
        std::memcpy(sqlstate, "HY000", 6);
    if (bufp && bufsiz > 0) {
        const size_t n = std::min<size_t>(bufsiz - 1, err->text.size());
        std::memcpy(bufp, err->text.data(), n);
        bufp[n] = '\0';
    }
    return OCI_SUCCESS;
}
