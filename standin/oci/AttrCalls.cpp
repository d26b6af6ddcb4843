// Attribute reads and writes on handles and descriptors.
#include "Export.h"
#include "engine/OraErrors.h"
#include "oci/Handles.h"
#include "oci/ObjectCache.h"

#include <cstring>

using namespace qdsi;
using namespace qdsi::oci;

namespace {

template <class T> sword put(void *attributep, ub4 *sizep, T value)
{
    if (!attributep)
        return OCI_ERROR;
    std::memcpy(attributep, &value, sizeof value);
    if (sizep)
        *sizep = sizeof value;
    return OCI_SUCCESS;
}

// Text attributes hand out a pointer to the handle's own text and its length.
sword putText(void *attributep, ub4 *sizep, const std::string &value)
{
    if (!attributep)
        return OCI_ERROR;
    *static_cast<const char **>(attributep) = value.c_str();
    if (sizep)
        *sizep = static_cast<ub4>(value.size());
    return OCI_SUCCESS;
}

sword putPointer(void *attributep, ub4 *sizep, const void *value)
{
    if (!attributep)
        return OCI_ERROR;
    *static_cast<const void **>(attributep) = value;
    if (sizep)
        *sizep = sizeof(void *);
    return OCI_SUCCESS;
}

sword statementAttribute(StmtHandle &stmt, void *attributep, ub4 *sizep, ub4 attr, OCIError *errhp)
{
    const engine::Statement &s = stmt.statement;
    switch (attr) {
    case OCI_ATTR_STMT_TYPE:
        return put<ub2>(attributep, sizep, static_cast<ub2>(s.statementType()));
    case OCI_ATTR_SQLFNCODE:
        return put<ub2>(attributep, sizep, static_cast<ub2>(s.sqlFunctionCode()));
    case OCI_ATTR_FNCODE:
        // The code of the last client call, which the stand-in does not keep: always 0.
        return put<ub2>(attributep, sizep, 0);
    case OCI_ATTR_ROW_COUNT:
        return put<ub4>(attributep, sizep, s.rowCount());
    case OCI_ATTR_ROWS_FETCHED:
        return put<ub4>(attributep, sizep, s.rowsFetched());
    case OCI_ATTR_PARAM_COUNT:
        return put<ub4>(attributep, sizep, static_cast<ub4>(s.columns().size()));
    case OCI_ATTR_PARSE_ERROR_OFFSET:
        return put<ub2>(attributep, sizep, static_cast<ub2>(s.parseErrorOffset()));
    case OCI_ATTR_PREFETCH_ROWS:
        return put<ub4>(attributep, sizep, stmt.prefetchRows);
    case OCI_ATTR_PREFETCH_MEMORY:
        return put<ub4>(attributep, sizep, stmt.prefetchMemory);
    case OCI_ATTR_ROWID: {
        auto *rowid = handleOf<RowidDescriptor>(attributep, OCI_DTYPE_ROWID);
        if (!rowid)
            return OCI_INVALID_HANDLE;
        rowid->text = s.lastRowid();
        return OCI_SUCCESS;
    }
    default:
        return fail(errhp, 24315);
    }
}

sword parameterAttribute(
    ParamDescriptor &param, void *attributep, ub4 *sizep, ub4 attr, OCIError *errhp)
{
    static const std::string empty;
    const sql::ColumnDescription &c = param.column;
    switch (attr) {
    case OCI_ATTR_DATA_SIZE:
        return put<ub2>(attributep, sizep, static_cast<ub2>(c.dataSize));
    case OCI_ATTR_DATA_TYPE:
        return put<ub2>(attributep, sizep, static_cast<ub2>(c.dataType));
    case OCI_ATTR_NAME:
        return putText(attributep, sizep, c.name);
    case OCI_ATTR_PRECISION:
        return put<sb2>(attributep, sizep, static_cast<sb2>(c.precision));
    case OCI_ATTR_SCALE:
        return put<sb1>(attributep, sizep, static_cast<sb1>(c.scale));
    case OCI_ATTR_IS_NULL:
        return put<ub1>(attributep, sizep, c.nullable ? 1 : 0);
    case OCI_ATTR_CHAR_SIZE:
        return put<ub2>(attributep, sizep,
            static_cast<ub2>(c.dataType == 1 || c.dataType == 96 ? c.dataSize : 0));
    default: {
        bool handled = false;
        const sword status = objectParamAttribute(param, attributep, sizep, attr, errhp, handled);
        return handled ? status : fail(errhp, 24315);
    }
    }
}

} // namespace

QDSI_EXPORT sword OCIAttrGet(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep,
    ub4 attrtype, OCIError *errhp)
{
    if (!attributep) {
        // Nowhere to put the value: the caller learns why from the error handle.
        if (!handleOf<Handle>(trgthndlp, trghndltyp))
            return OCI_INVALID_HANDLE;
        return fail(errhp, engine::oraFail(21560, "3"));
    }
    switch (trghndltyp) {
    case OCI_HTYPE_STMT:
        if (auto *stmt = handleOf<StmtHandle>(trgthndlp, OCI_HTYPE_STMT))
            return statementAttribute(*stmt, attributep, sizep, attrtype, errhp);
        break;
    case OCI_DTYPE_PARAM:
        if (auto *param = handleOf<ParamDescriptor>(trgthndlp, OCI_DTYPE_PARAM))
            return parameterAttribute(*param, attributep, sizep, attrtype, errhp);
        break;
    case OCI_HTYPE_DESCRIBE:
        if (auto *describe = handleOf<DescribeHandle>(trgthndlp, OCI_HTYPE_DESCRIBE)) {
            if (attrtype != OCI_ATTR_PARAM || !describe->root)
                return fail(errhp, 24315);
            return putPointer(attributep, sizep, static_cast<Handle *>(describe->root.get()));
        }
        break;
    case OCI_HTYPE_SVCCTX:
        if (auto *service = handleOf<SvcCtxHandle>(trgthndlp, OCI_HTYPE_SVCCTX)) {
            if (attrtype == OCI_ATTR_ENV)
                return putPointer(attributep, sizep, static_cast<Handle *>(service->env));
            if (attrtype == OCI_ATTR_SERVER)
                return putPointer(attributep, sizep, static_cast<Handle *>(service->server));
            if (attrtype == OCI_ATTR_SESSION)
                return putPointer(attributep, sizep, static_cast<Handle *>(service->session));
            if (attrtype == OCI_ATTR_STMTCACHESIZE)
                return put<ub4>(attributep, sizep, service->statementCacheSize);
            return fail(errhp, 24315);
        }
        break;
    case OCI_HTYPE_SESSION:
        if (auto *user = handleOf<SessionHandle>(trgthndlp, OCI_HTYPE_SESSION)) {
            if (attrtype == OCI_ATTR_USERNAME)
                return putText(attributep, sizep, user->userName);
            if (attrtype == OCI_ATTR_PASSWORD)
                return putText(attributep, sizep, user->password);
            return fail(errhp, 24315);
        }
        break;
    case OCI_HTYPE_SERVER:
    case OCI_HTYPE_ERROR:
    case OCI_HTYPE_ENV:
        if (auto *h = handleOf<Handle>(trgthndlp, trghndltyp)) {
            if (attrtype == OCI_ATTR_ENV)
                return putPointer(attributep, sizep, static_cast<Handle *>(h->env));
            return fail(errhp, 24315);
        }
        break;
    default:
        break;
    }
    return OCI_INVALID_HANDLE;
}

QDSI_EXPORT sword OCIAttrSet(
    void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype, OCIError *errhp)
{
    switch (trghndltyp) {
    case OCI_HTYPE_SVCCTX:
        if (auto *service = handleOf<SvcCtxHandle>(trgthndlp, OCI_HTYPE_SVCCTX)) {
            if (attrtype == OCI_ATTR_SERVER) {
                auto *server = handleOf<ServerHandle>(attributep, OCI_HTYPE_SERVER);
                if (!server && attributep)
                    return OCI_INVALID_HANDLE;
                service->server = server;
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_SESSION) {
                auto *user = handleOf<SessionHandle>(attributep, OCI_HTYPE_SESSION);
                if (!user && attributep)
                    return OCI_INVALID_HANDLE;
                service->session = user;
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_STMTCACHESIZE && attributep) {
                std::memcpy(&service->statementCacheSize, attributep, sizeof(ub4));
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_TRANS)
                return OCI_SUCCESS;
            return fail(errhp, 24315);
        }
        break;
    case OCI_HTYPE_SESSION:
        if (auto *user = handleOf<SessionHandle>(trgthndlp, OCI_HTYPE_SESSION)) {
            const char *p = static_cast<const char *>(attributep);
            const std::string value = p ? std::string(p, size) : std::string();
            if (attrtype == OCI_ATTR_USERNAME)
                user->userName = value;
            else if (attrtype == OCI_ATTR_PASSWORD)
                user->password = value;
            else
                return fail(errhp, 24315);
            return OCI_SUCCESS;
        }
        break;
    case OCI_HTYPE_STMT:
        if (auto *stmt = handleOf<StmtHandle>(trgthndlp, OCI_HTYPE_STMT)) {
            ub4 value = 0;
            if (attributep)
                std::memcpy(&value, attributep, sizeof value);
            if (attrtype == OCI_ATTR_PREFETCH_ROWS)
                stmt->prefetchRows = value;
            else if (attrtype == OCI_ATTR_PREFETCH_MEMORY)
                stmt->prefetchMemory = value;
            else
                return fail(errhp, 24315);
            return OCI_SUCCESS;
        }
        break;
    default:
        if (handleOf<Handle>(trgthndlp, trghndltyp))
            return fail(errhp, 24315);
        break;
    }
    return OCI_INVALID_HANDLE;
}
