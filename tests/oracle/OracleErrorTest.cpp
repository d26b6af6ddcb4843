#include "FakeOracleSession.h"

#include "oracle/OracleError.h"
#include "oracle/OracleMonitor.h"
#include "platform/OraclePlatform.h"

#include <gtest/gtest.h>

#include <QMap>

#include <cstring>

using namespace qd;
using qd::test::FakeOracleSession;

namespace {

// What the fake client library reports and what it was asked.
struct FakeLibrary {
    QByteArray text;
    int code = 0;
    int errorGetCalls = 0;
    void *lastHandle = nullptr;
    ub4 lastRecord = 0;
    ub4 lastBufferSize = 0;
    ub4 lastType = 0;
    int messageCalls = 0;
    sb2 lastReturnCode = 0;
    Lda_Def *lastLda = nullptr;
};
FakeLibrary fake;

sword fakeErrorGet(
    void *handle, ub4 record, OraText *, sb4 *code, OraText *buffer, ub4 size, ub4 type)
{
    ++fake.errorGetCalls;
    fake.lastHandle = handle;
    fake.lastRecord = record;
    fake.lastBufferSize = size;
    fake.lastType = type;
    *code = fake.code;
    // Fills the whole buffer when the text is that long, as a library may.
    std::memcpy(buffer, fake.text.constData(), std::min<std::size_t>(fake.text.size(), size));
    return OCI_SUCCESS;
}

sword fakeMessage(Lda_Def *lda, sb2 returnCode, OraText *buffer, sword size)
{
    ++fake.messageCalls;
    fake.lastLda = lda;
    fake.lastReturnCode = returnCode;
    std::memcpy(buffer, fake.text.constData(),
        std::min<std::size_t>(fake.text.size(), static_cast<std::size_t>(size)));
    return OCI_SUCCESS;
}

OCIError *const errorHandle = reinterpret_cast<OCIError *>(0x1234);

class OracleErrorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = {};
        session.oci.OCIErrorGet = fakeErrorGet;
        session.oci.oerhms = fakeMessage;
        session.caps.OCI7Available = true;
        session.caps.OCI8Available = true;
        session.caps.OCI9Available = true;
    }
    void TearDown() override
    {
        OracleWarnings::SetWarnings({});
        OracleMonitor::SetHooks({});
        OracleMonitor::SetSuppressed(false);
    }

    // Raises through the session and returns what was caught.
    template <typename E> E raise(OracleSessionInterface *target, int returnCode = OCI_ERROR)
    {
        try {
            RaiseOracleError(session.oci, target, errorHandle, returnCode, &session);
        } catch (const E &e) {
            return e;
        }
        ADD_FAILURE() << "nothing of the expected class raised";
        return E(QString(), 0);
    }

    FakeOracleSession session;
};

} // namespace

TEST_F(OracleErrorTest, NewerModeReadsTheFirstRecordOfTheErrorHandle)
{
    fake.text = "ORA-00942: table or view does not exist\n";
    fake.code = 942;
    const EOracleError e = raise<EOracleError>(&session);
    EXPECT_EQ(e.Message(), "ORA-00942: table or view does not exist\n");
    EXPECT_EQ(e.ErrorCode(), 942);
    EXPECT_EQ(e.Session(), &session);
    EXPECT_EQ(e.FailingObject(), &session);
    EXPECT_EQ(fake.lastHandle, errorHandle);
    EXPECT_EQ(fake.lastRecord, 1u);
    EXPECT_EQ(fake.lastType, OCI_HTYPE_ERROR);
    EXPECT_EQ(fake.lastBufferSize, 4001u);
    EXPECT_EQ(fake.messageCalls, 0);
    EXPECT_EQ(session.leaves, 1); // the call lock is released
}

TEST_F(OracleErrorTest, WithoutSessionTheErrorHandleIsReadAndNoLockTouched)
{
    fake.text = "ORA-24550: signal";
    fake.code = 24550;
    const EOracleError e = raise<EOracleError>(nullptr);
    EXPECT_EQ(e.ErrorCode(), 24550);
    EXPECT_EQ(e.Session(), nullptr);
    EXPECT_EQ(session.leaves, 0);
}

TEST_F(OracleErrorTest, OlderModeAsksTheMessageCallWithTheReturnCode)
{
    session.oci8Mode = false;
    fake.text = "ORA-01403: no data found";
    const EOracleError e = raise<EOracleError>(&session, 1403);
    EXPECT_EQ(e.Message(), "ORA-01403: no data found");
    EXPECT_EQ(e.ErrorCode(), 1403);
    EXPECT_EQ(fake.messageCalls, 1);
    EXPECT_EQ(fake.lastLda, &session.lda);
    EXPECT_EQ(fake.lastReturnCode, 1403);
    EXPECT_EQ(fake.errorGetCalls, 0);
}

TEST_F(OracleErrorTest, LongTextsAreCutAt1023Characters)
{
    for (const qsizetype length : { 1022, 1023, 1024, 4000, 4001, 5000 }) {
        fake.text = QByteArray(length, 'e');
        fake.code = 1;
        const EOracleError e = raise<EOracleError>(&session);
        EXPECT_EQ(e.Message().size(), std::min<qsizetype>(length, 1023)) << length;
    }
}

TEST_F(OracleErrorTest, MissingEntryPointsGiveTheCodeInsteadOfANullCall)
{
    session.oci.OCIErrorGet = nullptr;
    const EOracleError e = raise<EOracleError>(&session, OCI_ERROR);
    EXPECT_EQ(e.Message(), "Oracle client library error -1");
    session.oci8Mode = false;
    session.oci.oerhms = nullptr;
    EXPECT_EQ(raise<EOracleError>(&session, 600).Message(), "ORA-00600");
}

TEST_F(OracleErrorTest, CodesOnTheWarningsListRaiseWarnings)
{
    fake.text = "ORA-28002: the password will expire within 7 days";
    fake.code = 28002;
    // Ordinary run: no list, no warnings.
    EXPECT_THROW(
        {
            try {
                RaiseOracleError(session, errorHandle, OCI_ERROR);
            } catch (const EOracleWarning &) {
                ADD_FAILURE() << "a warning without a list";
            }
        },
        EOracleError);

    OracleWarnings::SetWarnings({ 1, 28002 });
    const EOracleWarning w = raise<EOracleWarning>(&session);
    EXPECT_EQ(w.ErrorCode(), 28002);
    // Still an EOracleError for callers that catch those.
    EXPECT_THROW(RaiseOracleError(session, errorHandle, OCI_ERROR), EOracleError);

    fake.code = 942;
    EXPECT_THROW(
        {
            try {
                RaiseOracleError(session, errorHandle, OCI_ERROR);
            } catch (const EOracleWarning &) {
                ADD_FAILURE() << "942 is not on the list";
            }
        },
        EOracleError);
}

namespace {

class RegistryPlatform : public OraclePlatform {
public:
    QMap<QString, QString> warnings;
    mutable QStringList asked;

    ClientLibraryLayout layout() const override { return {}; }
    QString readRegistryString(
        RegistryRoot root, const QString &key, const QString &valueName) const override
    {
        asked << valueName;
        if (root != RegistryRoot::CurrentUser || key != "SOFTWARE\\Velloran\\ZEB\\Warnings")
            return QString();
        return warnings.value(valueName);
    }
    QStringList listRegistrySubKeys(RegistryRoot, const QString &) const override { return {}; }
    QString environmentValue(const QString &) const override { return {}; }
    QStringList commandLineParameters() const override { return {}; }
    bool fileExists(const QString &) const override { return false; }
    QStringList listFiles(const QString &, const QString &) const override { return {}; }
    QStringList readTextLines(const QString &) const override { return {}; }
};

} // namespace

TEST_F(OracleErrorTest, WarningsListIsReadUntilTheFirstMissingValue)
{
    RegistryPlatform platform;
    platform.warnings
        = { { "1", "942" }, { "2", "*1017" }, { "3", "abc" }, { "4", "1403" }, { "6", "54" } };
    OracleWarnings::LoadWarnings(platform);
    EXPECT_EQ(OracleWarnings::Warnings(), QList<int>({ 942, 1403 }));
    EXPECT_EQ(platform.asked, QStringList({ "1", "2", "3", "4", "5" }));

    // Loading again replaces the list; an empty key empties it.
    OracleWarnings::LoadWarnings(RegistryPlatform());
    EXPECT_TRUE(OracleWarnings::IsEmpty());
}

TEST_F(OracleErrorTest, ResultCheck)
{
    fake.text = "ORA-01017: invalid username/password";
    fake.code = 1017;
    for (sword accepted :
        { OCI_SUCCESS, OCI_SUCCESS_WITH_INFO, OCI_NO_DATA, OCI_NEED_DATA, OCI_STILL_EXECUTING })
        EXPECT_NO_THROW(
            CheckOracleResult(accepted, "TOracleQuery", session.oci, errorHandle, &session));
    EXPECT_EQ(fake.errorGetCalls, 0);
    try {
        CheckOracleResult(OCI_INVALID_HANDLE, "TOracleQuery", session.oci, errorHandle, &session);
        ADD_FAILURE() << "accepted";
    } catch (const EOracleError &) {
        ADD_FAILURE() << "an invalid handle is no Oracle error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), "TOracleQuery: Invalid handle");
    }
    try {
        CheckOracleResult(OCI_ERROR, "TOracleQuery", session.oci, errorHandle, &session);
        ADD_FAILURE() << "accepted";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 1017);
        EXPECT_EQ(e.Message(), "ORA-01017: invalid username/password");
    }
}

TEST_F(OracleErrorTest, ErrorTextForACodeComesFromTheServerWithoutTheOlderCalls)
{
    fake.text = "ORA-00001: unique constraint violated";
    EXPECT_EQ(OracleErrorText(session, 1), "ORA-00001: unique constraint violated");
    EXPECT_EQ(fake.messageCalls, 1);
    EXPECT_NE(fake.lastLda, &session.lda); // a zeroed scratch area in the newer mode
    EXPECT_EQ(session.enters, 1);
    EXPECT_EQ(session.leaves, 1);

    session.oci.oerhms = nullptr;
    EXPECT_EQ(OracleErrorText(session, 1), "ORA-00001: from the server");
    EXPECT_EQ(session.serverTextCalls, 1);
}

TEST(OracleMTSError, MessagesByCode)
{
    const struct {
        int code;
        const char *message;
    } cases[] = {
        { 0, "OraMTSSvcGet" },
        { 1001, "MTS error 1001: no MTXDM.DLL available\r\nin function OraMTSSvcGet" },
        { 1005, "MTS error 1005: can't create new dbiden\r\nin function OraMTSSvcGet" },
        { 2001, "MTS error 2001: unable to alloc a server\r\nin function OraMTSSvcGet" },
        { 3008, "MTS error 3008: alrdy attached to Oracle\r\nin function OraMTSSvcGet" },
        { 4006, "MTS error 4006: not logged on to Oracle\r\nin function OraMTSSvcGet" },
        { 5012, "MTS error 5012: connection reset by peer\r\nin function OraMTSSvcGet" },
        { 6014, "MTS error 6014: error exporting trans.\r\nin function OraMTSSvcGet" },
        { 1006, "MTS error 1006: \r\nin function OraMTSSvcGet" },
        { -5, "MTS error -5: \r\nin function OraMTSSvcGet" },
        // Far from every range: no text, and no wrap-around into one.
        { -2147483647 - 1, "MTS error -2147483648: \r\nin function OraMTSSvcGet" },
        { 2147483647, "MTS error 2147483647: \r\nin function OraMTSSvcGet" },
    };
    for (const auto &c : cases) {
        const EOracleMTSError e(c.code, "OraMTSSvcGet");
        EXPECT_EQ(e.Message(), QString::fromLatin1(c.message));
        EXPECT_EQ(e.ErrorCode(), c.code);
    }
}

TEST(OracleCapabilityCheck, MessagesBySessionState)
{
    FakeOracleSession s;
    const auto message = [](auto check, OracleSessionInterface *session) {
        try {
            check(session, QStringLiteral("A LOB Locator variable"));
        } catch (const Exception &e) {
            return e.Message();
        }
        return QString();
    };
    const auto oci8 = [](OracleSessionInterface *x, const QString &f) { CheckOCI8(x, f); };
    const auto net9 = [](OracleSessionInterface *x, const QString &f) { CheckNet9(x, f); };
    const QString f = "A LOB Locator variable";

    EXPECT_EQ(message(oci8, nullptr), f + " requires a session");
    EXPECT_EQ(message(net9, nullptr), f + " requires a session");
    s.connected = false;
    EXPECT_EQ(message(oci8, &s), f + " requires a connected session");
    s.connected = true;
    s.oci8Mode = false;
    EXPECT_EQ(message(oci8, &s), f + " requires Net8, which is not detected on this PC");
    EXPECT_EQ(message(net9, &s), f + " requires Oracle Net 9, which is not detected on this PC");
    s.caps.OCI8Available = true;
    EXPECT_EQ(message(oci8, &s), f + " requires OCI8 mode, but OCI7 mode is used.");
    s.caps.OCI9Available = true;
    EXPECT_EQ(message(net9, &s), f + " requires OCI8 mode, but OCI7 mode is used.");
    s.oci8Mode = true;
    EXPECT_EQ(message(oci8, &s), "");
    EXPECT_EQ(message(net9, &s), "");
    s.caps.OCI9Available = false;
    EXPECT_EQ(message(net9, &s), f + " requires Oracle Net 9, which is not detected on this PC");
}

TEST_F(OracleErrorTest, MonitorHooks)
{
    // Without hooks nothing is reported and no ids are handed out.
    EXPECT_EQ(OracleMonitor::NewCallId(), 0);
    EXPECT_FALSE(OracleMonitor::TracingEnabled());
    EXPECT_FALSE(OracleMonitor::ActivityEnabled());
    OracleMonitor::ReportCall(true, 2, 5, &session, {});

    struct Call {
        int kind, sessionId, callId;
        VariantArray values;
    };
    std::vector<Call> calls;
    std::vector<int> details;
    std::vector<int> errors;
    bool active = true;
    OracleMonitorHooks hooks;
    hooks.callReport = [&](int kind, int sessionId, int callId, const VariantArray &values) {
        calls.push_back({ kind, sessionId, callId, values });
    };
    hooks.detailReport = [&](int callId, const VariantArray &) { details.push_back(callId); };
    hooks.activityEnabled = [&] { return active; };
    hooks.tracingEnabled = [] { return true; };
    hooks.errorHook = [&](const EOracleError &e) { errors.push_back(e.ErrorCode()); };
    OracleMonitor::SetHooks(hooks);

    const int first = OracleMonitor::NewCallId();
    EXPECT_GT(first, 0);
    EXPECT_EQ(OracleMonitor::NewCallId(), first + 1);

    OracleMonitor::ReportCall(true, 2, 9, &session, { Variant("select 1") });
    OracleMonitor::ReportCall(false, 2, 9, &session, {});
    OracleMonitor::ReportCall(true, 2, 10, nullptr, {}); // not a session call: dropped
    OracleMonitor::ReportCall(true, OracleMonitor::KindSession, 11, nullptr, {});
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].sessionId, session.monitorId);
    EXPECT_EQ(calls[0].callId, 9);
    EXPECT_EQ(calls[0].values, VariantArray({ Variant("select 1") }));
    EXPECT_EQ(calls[1].sessionId, 0);
    EXPECT_EQ(calls[1].callId, -9);
    EXPECT_EQ(calls[2].kind, OracleMonitor::KindSession);

    OracleMonitor::ReportDetail(3, {});
    active = false;
    OracleMonitor::ReportDetail(4, {});
    EXPECT_EQ(details, std::vector<int>({ 3 }));

    active = true;
    OracleMonitor::SetSuppressed(true);
    EXPECT_FALSE(OracleMonitor::ActivityEnabled());
    EXPECT_FALSE(OracleMonitor::TracingEnabled());
    OracleMonitor::SetSuppressed(false);
    EXPECT_TRUE(OracleMonitor::TracingEnabled());

    fake.code = 54;
    fake.text = "ORA-00054: resource busy";
    EXPECT_THROW(RaiseOracleError(session, errorHandle, OCI_ERROR), EOracleError);
    EXPECT_EQ(errors, std::vector<int>({ 54 }));
}
