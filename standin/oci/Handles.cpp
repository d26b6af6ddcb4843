#include "oci/Handles.h"

#include "engine/OraErrors.h"

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
