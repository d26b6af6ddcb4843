// The entry points the loader calls itself: they succeed and record their arguments.
#include "FakeClient.hh"

#include <string>

using namespace qd;

namespace {
[[maybe_unused]] int
    g_environment; // stands for the environment's memory; only its address is handed out

void record(const std::string &call)
{
    qdFakeRecord(call.c_str());
}
} // namespace

#if QD_FAKE_OCI7_INIT
QD_FAKE_EXPORT sword opinit(ub4 mode)
{
    record("opinit(" + std::to_string(mode) + ")");
    return OCI_SUCCESS;
}
#endif

#if QD_FAKE_OCI8
QD_FAKE_EXPORT sword OCIInitialize(
    ub4 mode, void *, OCIMallocCallback, OCIReallocCallback, OCIFreeCallback)
{
    record("OCIInitialize(" + std::to_string(mode) + ")");
    return OCI_SUCCESS;
}

QD_FAKE_EXPORT sword OCIEnvInit(OCIEnv **envp, ub4 mode, size_t, void **)
{
    record("OCIEnvInit(" + std::to_string(mode) + ")");
    *envp = reinterpret_cast<OCIEnv *>(&g_environment);
    return OCI_SUCCESS;
}

QD_FAKE_EXPORT sword OCIHandleFree(void *handle, ub4 type)
{
    record(std::string("OCIHandleFree(") + (handle == &g_environment ? "env" : "other") + ","
        + std::to_string(type) + ")");
    return OCI_SUCCESS;
}
#endif

#if QD_FAKE_OCI81
QD_FAKE_EXPORT sword OCIEnvCreate(OCIEnv **envp, ub4 mode, void *, OCIMallocCallback,
    OCIReallocCallback, OCIFreeCallback, size_t, void **)
{
    record("OCIEnvCreate(" + std::to_string(mode) + ")");
    *envp = reinterpret_cast<OCIEnv *>(&g_environment);
    return OCI_SUCCESS;
}
#endif

#if QD_FAKE_NLS
QD_FAKE_EXPORT sword OCIEnvNlsCreate(OCIEnv **envp, ub4 mode, void *, OCIMallocCallback,
    OCIReallocCallback, OCIFreeCallback, size_t, void **, ub2 charset, ub2 ncharset)
{
    record("OCIEnvNlsCreate(" + std::to_string(mode) + "," + std::to_string(charset) + ","
        + std::to_string(ncharset) + ")");
    *envp = reinterpret_cast<OCIEnv *>(&g_environment);
    return OCI_SUCCESS;
}
#endif
