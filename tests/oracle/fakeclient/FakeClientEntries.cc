// Generic entry points: weak, so that FakeClientCustom.cc can give a few of them a body
// that succeeds.
#include "FakeClient.hh"

#include <mutex>
#include <string>

using namespace qd;

namespace {
std::mutex g_mutex;
std::string g_log;
} // namespace

void qdFakeRecord(const char *call)
{
    std::lock_guard lock(g_mutex);
    if (!g_log.empty())
        g_log += ';';
    g_log += call;
}

// Test hooks (not entry points): the recorded calls, separated by ";".
QD_FAKE_EXPORT const char *qdfake_call_log()
{
    static thread_local std::string copy;
    std::lock_guard lock(g_mutex);
    copy = g_log;
    return copy.c_str();
}

QD_FAKE_EXPORT void qdfake_reset_log()
{
    std::lock_guard lock(g_mutex);
    g_log.clear();
}

#define QD_FAKE_DEFINE(name, ret, params)                                                          \
    QD_FAKE_EXPORT __attribute__((weak)) ret name params                                           \
    {                                                                                              \
        qdFakeRecord(#name);                                                                       \
        return qdFakeFailure<ret>();                                                               \
    }

#if QD_FAKE_OCI7
QD_OCI7_ENTRY_POINTS(QD_FAKE_DEFINE)
#endif
#if QD_FAKE_OCI7_LOG
QD_OCI7_LOG_ENTRY_POINTS(QD_FAKE_DEFINE)
#endif
#if QD_FAKE_OCI7_INIT
QD_OCI7_INIT_ENTRY_POINTS(QD_FAKE_DEFINE)
#endif
#if QD_FAKE_OCI8
QD_OCI8_ENTRY_POINTS(QD_FAKE_DEFINE)
#endif
#if QD_FAKE_OCI81
QD_OCI81_ENTRY_POINTS(QD_FAKE_DEFINE)
#endif
#if QD_FAKE_OCI9
QD_OCI9_ENTRY_POINTS(QD_FAKE_DEFINE)
#endif
#if QD_FAKE_OCI10
QD_OCI10_ENTRY_POINTS(QD_FAKE_DEFINE)
#endif
#if QD_FAKE_NLS
QD_OCI_NLS_ENTRY_POINTS(QD_FAKE_DEFINE)
#endif
