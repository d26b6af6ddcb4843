#include "oracle/OracleUnit.h"

#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleError.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleSessionPool.h"
#include "oracle/OracleValueHandlers.h"
#include "platform/LinuxOraclePlatform.h"

#include <QCoreApplication>
#include <QFile>

#include <mutex>

namespace qd {

namespace {

struct UnitState {
    std::recursive_mutex lock;
    bool started = false;
    bool shutdownArranged = false;
    std::function<void()> finalizationHook;
};

UnitState &state()
{
    static UnitState s;
    return s;
}

void shutdownAtExit()
{
    OracleUnit::Shutdown();
}

// The status file is small; anything past this is not the format expected.
constexpr qint64 MaxStatusSize = 64 * 1024;

} // namespace

void OracleUnit::Startup()
{
    UnitState &s = state();
    std::lock_guard guard(s.lock);
    if (s.started)
        return;
    const LinuxOraclePlatform platform;
    Startup(platform, DebuggerAttached());
}

void OracleUnit::Startup(const OraclePlatform &platform, bool debuggerAttached)
{
    UnitState &s = state();
    std::lock_guard guard(s.lock);
    if (debuggerAttached)
        OracleWarnings::LoadWarnings(platform);
    RegisterOracleValueHandlers();
    // Sessions with internal pooling and no pool of their own reserve from this one.
    if (!TOracleSessionPoolBase::DefaultPool())
        TOracleSessionPoolBase::SetDefaultPool(new TOracleSessionPool());
    s.started = true;
    // The end of the application object is the last point at which the sessions, the client
    // library and what that library keeps are all still alive. Without an application object
    // the library's own destructor unloads it.
    if (!s.shutdownArranged) {
        s.shutdownArranged = true;
        qAddPostRoutine(shutdownAtExit);
    }
}

void OracleUnit::Shutdown()
{
    UnitState &s = state();
    std::function<void()> hook;
    {
        std::lock_guard guard(s.lock);
        if (!s.started)
            return;
        TOracleSession::LogOffAllSessions();
        // The pool's entries log off before the library they were made with goes.
        delete TOracleSessionPoolBase::DefaultPool();
        TOracleSessionPoolBase::SetDefaultPool(nullptr);
        OracleClientLibrary &library = OracleClientLibrary::instance();
        try {
            library.FreeSharedEnvironment();
            library.UnloadClientLibrary();
        } catch (...) {
            // Shutting down: what cannot be released goes with the process.
        }
        OracleWarnings::SetWarnings({});
        s.started = false;
        hook = s.finalizationHook;
    }
    if (hook)
        hook();
}

bool OracleUnit::Started()
{
    UnitState &s = state();
    std::lock_guard guard(s.lock);
    return s.started;
}

bool OracleUnit::DebuggerAttached()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return TracerAttached(file.read(MaxStatusSize));
}

bool OracleUnit::TracerAttached(const QByteArray &statusText)
{
    static const QByteArray key("TracerPid:");
    for (const QByteArray &line : statusText.split('\n')) {
        if (line.startsWith(key)) {
            bool ok = false;
            const long long pid = line.mid(key.size()).trimmed().toLongLong(&ok);
            return ok && pid != 0;
        }
    }
    return false;
}

void OracleUnit::SetFinalizationHook(std::function<void()> hook)
{
    UnitState &s = state();
    std::lock_guard guard(s.lock);
    s.finalizationHook = std::move(hook);
}

} // namespace qd
