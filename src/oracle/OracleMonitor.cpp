#include "oracle/OracleMonitor.h"

#include "oracle/OracleSessionInterface.h"

#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <limits>

namespace qd {

namespace {

QMutex &hookLock()
{
    static QMutex lock;
    return lock;
}

OracleMonitorHooks &hookStore()
{
    static OracleMonitorHooks hooks;
    return hooks;
}

std::atomic<bool> suppressed { false };

// The monitor-id counter; its own lock so that ids are handed out one at a time.
QMutex &idLock()
{
    static QMutex lock;
    return lock;
}
int lastCallId = 0;

bool ask(const std::function<bool()> &query)
{
    if (!query || suppressed.load())
        return false;
    return query();
}

} // namespace

void OracleMonitor::SetHooks(OracleMonitorHooks hooks)
{
    QMutexLocker locker(&hookLock());
    hookStore() = std::move(hooks);
}

OracleMonitorHooks OracleMonitor::Hooks()
{
    QMutexLocker locker(&hookLock());
    return hookStore();
}

void OracleMonitor::SetSuppressed(bool value)
{
    suppressed.store(value);
}

bool OracleMonitor::Suppressed()
{
    return suppressed.load();
}

bool OracleMonitor::TracingEnabled()
{
    return ask(Hooks().tracingEnabled);
}

bool OracleMonitor::ActivityEnabled()
{
    return ask(Hooks().activityEnabled);
}

int OracleMonitor::NewCallId()
{
    if (!Hooks().activityEnabled)
        return 0;
    QMutexLocker locker(&idLock());
    // Wraps back to 1 rather than overflowing in a very long run.
    lastCallId = lastCallId == std::numeric_limits<int>::max() ? 1 : lastCallId + 1;
    return lastCallId;
}

void OracleMonitor::ReportCall(bool starting, int kind, int callId, OracleSessionInterface *session,
    const VariantArray &values)
{
    const OracleMonitorHooks hooks = Hooks();
    if (!hooks.callReport)
        return;
    int sessionId = 0;
    if (starting) {
        if (session)
            sessionId = session->MonitorId();
        else if (kind != KindSession)
            return;
    } else {
        callId = -callId;
    }
    hooks.callReport(kind, sessionId, callId, values);
}

void OracleMonitor::ReportDetail(int callId, const VariantArray &values)
{
    const OracleMonitorHooks hooks = Hooks();
    if (hooks.detailReport && ask(hooks.activityEnabled))
        hooks.detailReport(callId, values);
}

void OracleMonitor::ReportError(const EOracleError &error)
{
    const OracleMonitorHooks hooks = Hooks();
    if (hooks.errorHook)
        hooks.errorHook(error);
}

} // namespace qd
