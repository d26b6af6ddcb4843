#pragma once

// One way to make a client-library call and check its status.
//
//     QD_OCI(owner, oci, OCILobRead, service, error, ...);
//
// calls oci.OCILobRead(...) and hands the status with the name "OCILobRead" to
// owner->checkCall(status, name), which raises on a failed status through the owner's own error
// path (the class's "Invalid handle" text, its error handle, its failing object) and naming the
// call on the EOracleError (CallName); the expression yields the status. Calls whose status is
// deliberately ignored or inspected (no data, need data, success with information, break and
// reset, clean-up) are made directly and say why at the call.
//
// Internal to the Oracle layer and the datasets; no public header includes it.

#include "oracle/OracleCI.h"
#include "oracle/OracleError.h"

#include <QString>

namespace qd {

// Where a call without an object of its own reports: CheckOracleResult's path for a class name,
// error handle, session and failing object.
struct OracleCallSite {
    const OracleEntryPoints &oci;
    QString className;
    OCIError *errorHandle = nullptr;
    OracleSessionInterface *session = nullptr;
    void *failingObject = nullptr;

    sword checkCall(sword status, const char *callName) const
    {
        if (status == OCI_ERROR || status == OCI_INVALID_HANDLE) [[unlikely]]
            CheckOracleResult(
                status, className, oci, errorHandle, session, failingObject, callName);
        return status;
    }
};

// Where an older cursor call reports: any status but 0 fails, and the error is the cursor's
// return code read through the session (whose call lock the raise releases).
struct OracleCursorCallSite {
    const OracleEntryPoints &oci;
    OracleSessionInterface *session = nullptr;
    const Cda_Def &cursor;
    void *failingObject = nullptr;

    sword checkCall(sword status, const char *callName) const
    {
        if (status != 0) [[unlikely]]
            RaiseOracleError(oci, session, nullptr, cursor.rc, failingObject, callName);
        return status;
    }
};

// A handle-based status that fails its call.
constexpr bool OracleCallFailed(sword status) noexcept
{
    return status == OCI_ERROR || status == OCI_INVALID_HANDLE;
}

} // namespace qd

#define QD_OCI(owner, oci, name, ...) ((owner)->checkCall((oci).name(__VA_ARGS__), #name))
