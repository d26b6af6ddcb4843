#pragma once

// A session stand-in for the text, error and buffer tests: plain fields behind the session
// interface, and a record of the call-lock and server calls made through it.

#include "oracle/OracleSessionInterface.h"

#include <QString>

namespace qd::test {

class FakeOracleSession : public OracleSessionInterface {
public:
    const OracleEntryPoints &entryPoints() const override { return oci; }
    const OracleCapabilities &capabilities() const override { return caps; }
    bool Connected() const override { return connected; }
    bool OCI8Mode() const override { return oci8Mode; }
    Lda_Def *logonDataArea() override { return oci8Mode ? nullptr : &lda; }
    OCIEnv *environmentHandle() override { return env; }
    OCIError *errorHandle() override { return error; }
    void enterCallLock() override { ++enters; }
    void leaveCallLock() override { ++leaves; }
    bool ConvertCRLF() const override { return convertCRLF; }
    bool ZeroDateIsNull() const override { return zeroDateIsNull; }
    int maxBindStringSize() const override { return maxBindString; }
    int MonitorId() override { return monitorId; }
    QString serverErrorText(int errorCode) override
    {
        ++serverTextCalls;
        return QStringLiteral("ORA-%1: from the server").arg(errorCode, 5, 10, QLatin1Char('0'));
    }

    OracleEntryPoints oci;
    OracleCapabilities caps;
    bool connected = true;
    bool oci8Mode = true;
    Lda_Def lda {};
    OCIEnv *env = nullptr;
    OCIError *error = nullptr;
    int enters = 0;
    int leaves = 0;
    bool convertCRLF = true;
    bool zeroDateIsNull = true;
    int maxBindString = 4000;
    int monitorId = 7;
    int serverTextCalls = 0;
};

} // namespace qd::test
