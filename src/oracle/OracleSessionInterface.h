#pragma once

#include "oracle/OracleCI.h"

#include <QString>

namespace qd {

// What the errors, buffers and monitor helpers need from a session. The session class
// implements it; tests implement it with a few fields. Keeping it this small lets the text,
// error and buffer code sit below the session without knowing its class.
class OracleSessionInterface {
public:
    virtual ~OracleSessionInterface() = default;

    // The client library this session calls and what it offers.
    virtual const OracleEntryPoints &entryPoints() const = 0;
    virtual const OracleCapabilities &capabilities() const = 0;

    virtual bool Connected() const = 0;
    // True when the session works through handles (the newer interface), false in the mode
    // of the logon data area and the older calls.
    virtual bool OCI8Mode() const = 0;
    // The logon data area of the older mode (null in the newer mode).
    virtual Lda_Def *logonDataArea() = 0;
    // Handles of the newer mode (null in the older mode).
    virtual OCIEnv *environmentHandle() = 0;
    virtual OCIError *errorHandle() = 0;

    // The session's call lock; leaving without a matching enter does nothing.
    virtual void enterCallLock() = 0;
    virtual void leaveCallLock() = 0;

    // Preferences read by the buffers.
    virtual bool ConvertCRLF() const = 0;
    virtual bool ZeroDateIsNull() const = 0;
    // Longest string a bind may carry, in bytes.
    virtual int maxBindStringSize() const = 0;

    // The session's id for an activity monitor, taken on first use.
    virtual int MonitorId() = 0;

    // The server's message for an error code (for instance through sqlerrm), used when the
    // client library has no older message call. Raises on failure.
    virtual QString serverErrorText(int errorCode) = 0;
};

} // namespace qd
