#pragma once

#include <QByteArray>

#include <functional>

namespace qd {

class OracleClientLibrary;
class OraclePlatform;

// Start-up and shut-down of the Oracle access layer's process-wide state. Start-up runs
// when the first session is created; shut-down runs when the application object goes away
// (or when called), logs off every session that is still connected and unloads the client
// library last, so no connection outlives the library it was made with.
class OracleUnit {
public:
    // Runs the start-up unless the layer is already started: the warnings list is loaded
    // only while a debugger is attached to the process, so that an ordinary run raises every
    // server error as an error.
    static void Startup();
    // The start-up with what it reads given: the platform whose user registry holds the
    // warnings list and whether a debugger is attached. Always runs.
    static void Startup(const OraclePlatform &platform, bool debuggerAttached);
    // Logs off every session, frees the shared client environment, unloads the process's
    // client library, empties the warnings list and calls the finalisation hook. Does nothing
    // unless the layer is started; a session created afterwards starts it again.
    static void Shutdown();
    static bool Started();

    // Whether a development debugger is attached (on Linux: a tracer in /proc/self/status).
    static bool DebuggerAttached();
    // Whether the text of a /proc/<pid>/status file names a tracer (TracerPid not 0).
    static bool TracerAttached(const QByteArray &statusText);

    // Called at the end of every shut-down when set; nothing in the program sets it.
    static void SetFinalizationHook(std::function<void()> hook);
};

} // namespace qd
