#include "oci/Handles.h"

#include "engine/OraErrors.h"

#include <shared_mutex>
#include <unordered_set>

namespace qdsi::oci {

EnvHandle::~EnvHandle()
{
    // Freeing the environment frees whatever was allocated from it and is still alive.
    std::set<Handle *> left;
    {
        std::lock_guard lock(mutex);
        left.swap(children);
    }
    for (Handle *h : left)
        delete h;
}

SessionHandle::~SessionHandle() = default;

namespace {

struct Registry {
    std::shared_mutex mutex;
    std::unordered_set<const void *> live;
};

// Made while the library is loaded, before any entry point can be called, and freed by the
// library's finalizer. That runs when the client unloads the library, and at the end of the
// process only after the client's static objects are gone, so a client that frees its handles
// while it shuts down still finds the registry. Once it is freed, nothing counts as a handle.
Registry *liveRegistry = new Registry;

[[gnu::destructor]] void freeRegistry()
{
    delete liveRegistry;
    liveRegistry = nullptr;
}

} // namespace

void registerHandle(const Handle *handle)
{
    if (Registry *r = liveRegistry) {
        std::unique_lock lock(r->mutex);
        r->live.insert(handle);
    }
}

void unregisterHandle(const Handle *handle)
{
    if (Registry *r = liveRegistry) {
        std::unique_lock lock(r->mutex);
        r->live.erase(handle);
    }
}

bool isHandle(const void *pointer, ub4 type)
{
    Registry *r = liveRegistry;
    if (!pointer || !r)
        return false;
    std::shared_lock lock(r->mutex);
    // Handles are registered by their Handle base, which is where the client's pointers point.
    if (!r->live.count(pointer))
        return false;
    return static_cast<const Handle *>(pointer)->type == type;
}

sword fail(OCIError *errhp, const sql::OraError &error)
{
    if (auto *err = handleOf<ErrorHandle>(errhp, OCI_HTYPE_ERROR)) {
        std::lock_guard lock(err->mutex);
        err->code = error.code;
        err->text = error.text;
    }
    return OCI_ERROR;
}

sword fail(OCIError *errhp, int code)
{
    return fail(errhp, engine::oraFail(code));
}

sword note(OCIError *errhp, int code, sword status)
{
    fail(errhp, engine::oraFail(code));
    return status;
}

void clearError(OCIError *errhp)
{
    if (auto *err = handleOf<ErrorHandle>(errhp, OCI_HTYPE_ERROR)) {
        std::lock_guard lock(err->mutex);
        err->code = 0;
        err->text.clear();
    }
}

} // namespace qdsi::oci
