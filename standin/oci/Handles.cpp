#include "oci/Handles.h"

#include "engine/OraErrors.h"

#include <cstring>
#include <utility>

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

bool isHandle(const void *pointer, ub4 type)
{
    if (!pointer)
        return false;
    static const auto offsets = [] {
        PlainHandle probe(0);
        const auto *base = reinterpret_cast<const char *>(static_cast<Handle *>(&probe));
        return std::pair(reinterpret_cast<const char *>(&probe.marker) - base,
                         reinterpret_cast<const char *>(&probe.type) - base);
    }();
    uint32_t marker = 0;
    ub4 actualType = 0;
    std::memcpy(&marker, static_cast<const char *>(pointer) + offsets.first, sizeof marker);
    std::memcpy(&actualType, static_cast<const char *>(pointer) + offsets.second, sizeof actualType);
    return marker == Handle::liveMarker && actualType == type;
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
