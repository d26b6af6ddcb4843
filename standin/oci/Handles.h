#pragma once

// The handles and descriptors behind the opaque pointers of the C interface. Every live one is
// listed in a process-wide registry, so that a wrong, foreign or freed pointer is refused as an
// invalid handle without reading the memory behind it.

#include "engine/Config.h"
#include "engine/ObjectTypes.h"
#include "engine/Session.h"
#include "engine/Statement.h"
#include "oci/BufferValues.h"
#include "oci/OciTypes.h"
#include "sql/Dialect.h"

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qdsi::oci {

// A client's text argument: NUL-terminated when its length is negative.
inline std::string textOf(const text *p, sb4 length)
{
    if (!p)
        return {};
    const char *s = reinterpret_cast<const char *>(p);
    return length < 0 ? std::string(s) : std::string(s, static_cast<size_t>(length));
}

struct EnvHandle;
struct Handle;

// The registry of live handles: every handle enters it when made and leaves it when destroyed.
void registerHandle(const Handle *handle);
void unregisterHandle(const Handle *handle);

struct Handle {
    ub4 type;
    EnvHandle *env = nullptr;
    std::vector<char> userMemory; // the extra memory a caller may ask for at allocation

    explicit Handle(ub4 handleType)
        : type(handleType)
    {
        registerHandle(this);
    }
    // A copy is a handle of its own; assigning a value keeps the target's identity.
    Handle(const Handle &other)
        : type(other.type)
        , env(other.env)
        , userMemory(other.userMemory)
    {
        registerHandle(this);
    }
    Handle &operator=(const Handle &) = default;
    virtual ~Handle() { unregisterHandle(this); }
};

struct EnvHandle : Handle {
    EnvHandle()
        : Handle(OCI_HTYPE_ENV)
    {
    }
    ~EnvHandle() override;
    std::mutex mutex;
    std::set<Handle *> children;
};

struct ErrorHandle : Handle {
    ErrorHandle()
        : Handle(OCI_HTYPE_ERROR)
    {
    }
    std::mutex mutex;
    int code = 0;
    std::string text;
};

struct ServerHandle : Handle {
    ServerHandle()
        : Handle(OCI_HTYPE_SERVER)
    {
    }
    std::shared_ptr<engine::Config> config;
    const engine::AliasEntry *alias = nullptr;
};

struct SvcCtxHandle;

struct SessionHandle : Handle {
    SessionHandle()
        : Handle(OCI_HTYPE_SESSION)
    {
    }
    ~SessionHandle() override;
    std::string userName;
    std::string password;
    std::unique_ptr<engine::Session> session;
};

struct SvcCtxHandle : Handle {
    SvcCtxHandle()
        : Handle(OCI_HTYPE_SVCCTX)
    {
    }
    ServerHandle *server = nullptr;
    SessionHandle *session = nullptr;
    // Calls on one service context run one at a time; OCIBreak does not take this lock.
    std::recursive_mutex callLock;
    ub4 statementCacheSize = 0;
};

struct StmtHandle;

struct BindHandle : Handle {
    BindHandle()
        : Handle(OCI_HTYPE_BIND)
    {
    }
    StmtHandle *statement = nullptr;
    engine::BoundValue value { 0, {} };
    engine::ClientExtras extras; // value.buffer.extras points here
};

struct DefineHandle : Handle {
    DefineHandle()
        : Handle(OCI_HTYPE_DEFINE)
    {
    }
    StmtHandle *statement = nullptr;
    ub4 position = 0;
    engine::ClientBuffer buffer;
    engine::ClientExtras extras; // buffer.extras points here
};

struct ParamDescriptor : Handle {
    ParamDescriptor()
        : Handle(OCI_DTYPE_PARAM)
    {
    }
    sql::ColumnDescription column;
    // Object describe (ObjectCache.h): what the parameter shows, the type it names (a described
    // type, an object or REF column's or attribute's type) and the parameters it hands out.
    enum Level { lvColumn, lvType, lvAttributeList, lvAttribute } level = lvColumn;
    std::shared_ptr<const engine::ObjectType> objectType;
    std::vector<std::unique_ptr<ParamDescriptor>> children;
    std::unique_ptr<Handle> typeRef; // the REF_TDO handed out
};

struct RowidDescriptor : Handle {
    RowidDescriptor()
        : Handle(OCI_DTYPE_ROWID)
    {
    }
    std::string text;
};

// Handles and descriptors the stand-in accepts but does not use yet (transaction, describe,
// LOB and date-time descriptors, session pools).
struct PlainHandle : Handle {
    explicit PlainHandle(ub4 handleType)
        : Handle(handleType)
    {
    }
};

struct StmtHandle : Handle {
    StmtHandle()
        : Handle(OCI_HTYPE_STMT)
    {
    }
    engine::Statement statement;
    std::vector<std::unique_ptr<BindHandle>> binds;
    std::vector<std::unique_ptr<DefineHandle>> defines;
    std::vector<std::unique_ptr<ParamDescriptor>> params;
    SvcCtxHandle *service = nullptr; // of the last execute; fetches run on it
    ub4 prefetchRows = 1;
    ub4 prefetchMemory = 0;
};

// Whether a pointer is a live handle of the given type. Only the registry is asked until the
// pointer is known to be a handle, so a pointer to something else is never read.
bool isHandle(const void *pointer, ub4 type);

// The handle behind a pointer when it is live and of the given type, else nullptr.
template <class T> T *handleOf(const void *pointer, ub4 type)
{
    if (!isHandle(pointer, type))
        return nullptr;
    return static_cast<T *>(static_cast<Handle *>(const_cast<void *>(pointer)));
}

// Records an error on an error handle (nothing when there is none) and returns OCI_ERROR.
sword fail(OCIError *errhp, const sql::OraError &error);
sword fail(OCIError *errhp, int code);
// Records a warning or end-of-data record and returns the given status.
sword note(OCIError *errhp, int code, sword status);
void clearError(OCIError *errhp);

// Runs a call body, turning exceptions into ORA errors on the error handle.
template <class F> sword guarded(OCIError *errhp, F &&body)
{
    try {
        clearError(errhp);
        return body();
    } catch (const sql::OraError &e) {
        return fail(errhp, e);
    } catch (const std::exception &e) {
        return fail(errhp,
            sql::oraError(600, std::string("internal error code, arguments: [") + e.what() + "]"));
    } catch (...) {
        return fail(errhp, 600);
    }
}

} // namespace qdsi::oci
