#pragma once

#include "classlib/Variant.h"

#include <functional>

namespace qd {

class EOracleError;
class OracleSessionInterface;

// Hooks through which an outside activity monitor follows the layer's calls. All unset by
// default: nothing in the program sets them, and without them every report is a no-op.
// Monitors receive what callers pass; callers never pass a password (see LogonString.h).
struct OracleMonitorHooks {
    // kind, session id (0 at the end of a call), call id (negated at the end), values.
    std::function<void(int kind, int sessionId, int callId, const VariantArray &values)> callReport;
    std::function<void(int callId, const VariantArray &values)> detailReport;
    // Whether the monitor wants descriptive texts built for it.
    std::function<bool()> tracingEnabled;
    // Whether the monitor follows activity (gates call ids and details).
    std::function<bool()> activityEnabled;
    // Receives every new EOracleError before it is raised.
    std::function<void(const EOracleError &)> errorHook;
};

class OracleMonitor {
public:
    // Kinds of reported calls.
    static constexpr int KindSession = 1;
    static constexpr int KindPackage = 4;

    static void SetHooks(OracleMonitorHooks hooks);
    static OracleMonitorHooks Hooks();
    // The process-wide suppress flag: while set both enabled queries answer false.
    static void SetSuppressed(bool suppressed);
    static bool Suppressed();

    // False without a hook or while suppressed, else the hook's answer.
    static bool TracingEnabled();
    static bool ActivityEnabled();

    // 0 without an activity hook; else the next number of a process-wide counter. Sessions,
    // queries and packages take one on first use and keep it.
    static int NewCallId();

    // At the start of a call with a session the session's own id is reported; at the start
    // of a call without one only session calls (KindSession) are reported; at the end the
    // session id is 0 and the call id is negated.
    static void ReportCall(bool starting, int kind, int callId, OracleSessionInterface *session,
        const VariantArray &values);
    // Forwarded only when a detail hook is set and the activity query answers true.
    static void ReportDetail(int callId, const VariantArray &values);
    static void ReportError(const EOracleError &error);
};

} // namespace qd
