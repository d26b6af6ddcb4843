#pragma once

#include "classlib/Exception.h"
#include "oracle/OracleCI.h"

#include <QList>
#include <QString>

namespace qd {

class OraclePlatform;
class OracleSessionInterface;

// An error the Oracle client library or server reported: its text as the library gives it
// (at most 1023 characters) and its error number. A database error, so that the datasets'
// error handlers (post, delete, edit) see server errors too.
class EOracleError : public EDatabaseError {
public:
    EOracleError(QString message, int errorCode, void *failingObject = nullptr,
        OracleSessionInterface *session = nullptr, const char *callName = "");

    int ErrorCode() const noexcept { return m_errorCode; }
    // The client-library call that failed ("OCIStmtExecute", "oexn", ...); empty when the error
    // did not come from a checked call.
    const char *CallName() const noexcept { return m_callName; }
    // The query, timestamp, pool or other object whose call failed; may be null.
    void *FailingObject() const noexcept { return m_failingObject; }
    OracleSessionInterface *Session() const noexcept { return m_session; }

private:
    int m_errorCode;
    void *m_failingObject;
    OracleSessionInterface *m_session;
    const char *m_callName;
};

// An error whose code is on the user's warnings list; still an EOracleError for callers.
class EOracleWarning : public EOracleError {
public:
    using EOracleError::EOracleError;
};

// An error of the transaction-enlistment library, with the name of the call that failed.
class EOracleMTSError : public Exception {
public:
    EOracleMTSError(int errorCode, const QString &functionName);

    int ErrorCode() const noexcept { return m_errorCode; }
    // The library's short text for a code; empty for a code it does not know.
    static QString ErrorText(int errorCode);

private:
    int m_errorCode;
};

// Size of the buffer error texts are read into, and the longest message kept.
inline constexpr int OracleErrorBufferSize = 4001;
inline constexpr int OracleErrorMaxMessage = 1023;

// The text and code of the error behind a failed call. With no session or in the newer mode
// the first record of errorHandle is read (which also yields the code); in the older mode
// the message of returnCode through the session's logon data area. When a session is given
// its call lock is released. The text is cut at OracleErrorMaxMessage characters.
struct OracleErrorInfo {
    QString message;
    int code = 0;
};
OracleErrorInfo ReadOracleError(const OracleEntryPoints &oci, OracleSessionInterface *session,
    OCIError *errorHandle, int returnCode);

// Builds the error as above and raises it: EOracleWarning when its code is on the warnings
// list, else EOracleError. The error hook of the monitor sees it first. callName must outlive
// the error (a string literal).
[[noreturn]] void RaiseOracleError(const OracleEntryPoints &oci, OracleSessionInterface *session,
    OCIError *errorHandle, int returnCode, void *failingObject = nullptr,
    const char *callName = "");
// The same through the session's own entry points.
[[noreturn]] void RaiseOracleError(OracleSessionInterface &session, OCIError *errorHandle,
    int returnCode, void *failingObject = nullptr, const char *callName = "");

// How every client call's status is checked: OCI_INVALID_HANDLE raises className +
// ": Invalid handle", OCI_ERROR raises the Oracle error read from errorHandle (the calling
// object's own), every other status is accepted. callName names the call on the error.
void CheckOracleResult(sword status, const QString &className, const OracleEntryPoints &oci,
    OCIError *errorHandle, OracleSessionInterface *session = nullptr, void *failingObject = nullptr,
    const char *callName = "");

// The server's text for an error code: through the older message call when the client
// library has it, else asked of the server through the session, never through a missing
// entry point. Runs under the session's call lock.
QString OracleErrorText(OracleSessionInterface &session, int errorCode);

// Guards for features of the newer interface. Raise feature + " requires a session",
// " requires a connected session", " requires Net8, which is not detected on this PC" or
// " requires OCI8 mode, but OCI7 mode is used."; the Net 9 check reports a missing Oracle
// Net 9 client instead of Net8.
void CheckOCI8(OracleSessionInterface *session, const QString &feature);
void CheckNet9(OracleSessionInterface *session, const QString &feature);

// The process-wide list of error codes raised as EOracleWarning. Empty in an ordinary run.
class OracleWarnings {
public:
    // Reads values "1", "2", ... of the current user's key SOFTWARE\Velloran\ZEB\Warnings
    // until the first missing or empty one; "*..." values are skipped, and values that are no
    // number are ignored. Replaces the list.
    static void LoadWarnings(const OraclePlatform &platform);
    static void SetWarnings(const QList<int> &codes);
    static QList<int> Warnings();
    static bool IsWarning(int errorCode);
    static bool IsEmpty();
};

} // namespace qd
