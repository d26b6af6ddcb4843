// Logon, logoff and connection modes of TOracleSession against the stand-in client library.

#include "OracleSessionTestSupport.h"
#include "QStringPrinter.h"

#include "platform/LinuxOraclePlatform.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;
using namespace qd::test;

namespace {

class SessionLogon : public ::testing::Test {
protected:
    void SetUp() override { UseSessionStandin(); }
};

TEST_F(SessionLogon, LogsOnAndOffWithTheHandleBasedCalls)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.LogOn();
    ASSERT_TRUE(session.Connected());
    EXPECT_TRUE(session.OCI8Mode());
    EXPECT_FALSE(session.Shared());
    EXPECT_NE(session.ServiceContext(), nullptr);
    EXPECT_TRUE(session.ServerAttached());
    EXPECT_TRUE(session.LogonWarning().isEmpty());
    const QString id = session.AUDSID();
    EXPECT_FALSE(id.isEmpty());

    session.LogOff();
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(session.ServerAttached());
    EXPECT_EQ(session.ServiceContext(), nullptr);
    EXPECT_TRUE(session.AUDSID().isEmpty()); // cache cleared, no connection to ask

    // The Connected property drives the same operations; a new logon is a new session.
    session.SetConnected(true);
    ASSERT_TRUE(session.Connected());
    EXPECT_NE(session.AUDSID(), id);
    session.SetConnected(false);
    EXPECT_FALSE(session.Connected());
}

TEST_F(SessionLogon, LogOnOnAConnectedSessionStartsAFreshConnection)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.LogOn();
    const QString first = session.AUDSID();
    session.LogOn();
    ASSERT_TRUE(session.Connected());
    EXPECT_NE(session.AUDSID(), first);
}

TEST_F(SessionLogon, AWholeLogonStringTypedAsUserNameIsSplitAtLogOn)
{
    TOracleSession session;
    session.SetLogonUsername(QStringLiteral("scott/tiger@QDS as sysdba"));
    session.LogOn();
    ASSERT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonUsername(), QStringLiteral("scott"));
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("tiger"));
    EXPECT_EQ(session.LogonDatabase(), QStringLiteral("QDS"));
    EXPECT_EQ(session.ConnectAs(), caSYSDBA);
}

TEST_F(SessionLogon, QuoteRuleOfTheLogonSetters)
{
    TOracleSession session;
    session.SetLogonPassword(QStringLiteral("pa@ss"));
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("\"pa@ss\""));
    session.SetLogonUsername(QStringLiteral("scott@QDS"));
    EXPECT_EQ(session.LogonUsername(), QStringLiteral("scott@QDS"));
    session.SetLogonUsername(QStringLiteral("odd name"));
    EXPECT_EQ(session.LogonUsername(), QStringLiteral("\"odd name\""));
    session.SetLogonDatabase(QStringLiteral("odbc:source"));
    EXPECT_TRUE(session.ODBCBridge());
    session.SetLogonDatabase(QStringLiteral("QDS"));
    EXPECT_FALSE(session.ODBCBridge());
}

// The stand-in logs SYSDBA and SYSOPER on as ordinary sessions, so each mode must connect
// and keep its setting; the external-credential path (no user, no password) is refused by
// the stand-in with ORA-01017.
TEST_F(SessionLogon, EachConnectModeLogsOn)
{
    for (TConnectAsOption mode : { caNormal, caSYSDBA, caSYSOPER }) {
        SCOPED_TRACE(ConnectAsToString(mode).toStdString());
        TOracleSession session;
        SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
        session.SetConnectAs(mode);
        session.LogOn();
        EXPECT_TRUE(session.Connected());
        EXPECT_EQ(session.ConnectAs(), mode);
        session.LogOff();
    }
}

TEST_F(SessionLogon, EmptyUserAndPasswordAskForExternalCredentials)
{
    TOracleSession session;
    session.SetLogonDatabase(QStringLiteral("QDS"));
    try {
        session.LogOn();
        FAIL() << "the stand-in refuses operating-system credentials";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 1017);
    }
    EXPECT_FALSE(session.Connected());
}

TEST_F(SessionLogon, WrongPasswordOrLockedAccountFailsAndTheSessionRecovers)
{
    const struct {
        const char *user;
        const char *password;
        int code;
    } cases[]
        = { { "scott", "wrong", 1017 }, { "nobody", "x", 1017 }, { "locked", "secret", 28000 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.user);
        TOracleSession session;
        SetLogon(session, QString::fromLatin1(c.user), QString::fromLatin1(c.password));
        try {
            session.LogOn();
            ADD_FAILURE() << "logon should fail";
        } catch (const EOracleError &e) {
            EXPECT_EQ(e.ErrorCode(), c.code);
            const QString ora = QStringLiteral("ORA-%1").arg(c.code, 5, 10, QLatin1Char('0'));
            EXPECT_TRUE(e.Message().contains(ora)) << e.Message().toStdString();
        }
        EXPECT_FALSE(session.Connected());
        // The same object logs on once the values are right.
        SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
        session.LogOn();
        EXPECT_TRUE(session.Connected());
    }
}

TEST_F(SessionLogon, PasswordWarningsAreKeptAsTheLogonMessage)
{
    const struct {
        const char *user;
        const char *code;
    } cases[] = { { "expiring", "ORA-28002" }, { "grace", "ORA-28011" } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.user);
        TOracleSession session;
        SetLogon(session, QString::fromLatin1(c.user), QStringLiteral("secret"));
        session.LogOn();
        EXPECT_TRUE(session.Connected());
        EXPECT_TRUE(session.LogonWarning().startsWith(QLatin1String(c.code)))
            << session.LogonWarning().toStdString();
        // The warning does not linger as an error of the session.
        EXPECT_EQ(session.LastErrorCode(), 0);
        EXPECT_FALSE(session.AUDSID().isEmpty());
        session.LogOff();
        // A clean logon clears it.
        SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
        session.LogOn();
        EXPECT_TRUE(session.LogonWarning().isEmpty());
    }
}

TEST_F(SessionLogon, ExpiredPasswordIsChangedWithoutASessionAndThenLogsOn)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("expired"), QStringLiteral("secret"));
    try {
        session.LogOn();
        FAIL() << "an expired password cannot log on";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 28001);
    }
    ASSERT_FALSE(session.Connected());

    session.ChangePassword(QStringLiteral("fresh"));
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("fresh"));
    EXPECT_FALSE(session.Connected()); // the change itself logs nobody on
    session.LogOn();
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(session.LogonWarning().isEmpty());

    // The old password is gone.
    TOracleSession other;
    SetLogon(other, QStringLiteral("expired"), QStringLiteral("secret"));
    EXPECT_THROW(other.LogOn(), EOracleError);
}

TEST_F(SessionLogon, ChangePasswordOnAConnectedSessionAndWithAWrongOldPassword)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("events"), QStringLiteral("secret"));
    session.LogOn();
    session.ChangePassword(QStringLiteral("second"));
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("second"));
    session.LogOff();
    session.LogOn();
    EXPECT_TRUE(session.Connected());

    // The old password is checked: a wrong one changes nothing.
    session.SetLogonPassword(QStringLiteral("wrong"));
    EXPECT_THROW(session.ChangePassword(QStringLiteral("third")), EOracleError);
    EXPECT_EQ(session.LogonPassword(), QStringLiteral("wrong"));
    session.SetLogonPassword(QStringLiteral("second"));
    session.ChangePassword(QStringLiteral("secret")); // back for other runs
}

TEST(SessionPasswordStatement, OlderCallsQuoteUserAndPassword)
{
    EXPECT_EQ(TOracleSession::PasswordChangeStatement(
                  QStringLiteral("scott"), QStringLiteral("new pass; drop")),
        QStringLiteral("alter user \"SCOTT\" identified by \"new pass; drop\""));
    EXPECT_EQ(TOracleSession::PasswordChangeStatement(
                  QStringLiteral("\"Mixed\""), QStringLiteral("\"a b\"")),
        QStringLiteral("alter user \"Mixed\" identified by \"a b\""));
    // A double quote cannot be written inside quotes: refused, not passed on.
    EXPECT_THROW(TOracleSession::PasswordChangeStatement(
                     QStringLiteral("scott"), QStringLiteral("x\" account lock")),
        Exception);
    EXPECT_THROW(
        TOracleSession::PasswordChangeStatement(QStringLiteral("sc\"ott"), QStringLiteral("x")),
        Exception);
    EXPECT_THROW(
        TOracleSession::PasswordChangeStatement(QStringLiteral("scott"), QString()), Exception);
}

// The events a window sees, in order, around successful and failed logons.
TEST_F(SessionLogon, EventsFireInOrderAlsoForAFailedLogon)
{
    TOracleSession session;
    QStringList events;
    session.BeforeLogOn = [&](TOracleSession *s) {
        EXPECT_EQ(s, &session);
        events << QStringLiteral("before");
    };
    session.AfterLogOn = [&](TOracleSession *s) {
        events << (s->Connected() ? QStringLiteral("after+") : QStringLiteral("after-"));
    };
    session.OnChange = [&](TOracleSession *s) {
        events << (s->Connected() ? QStringLiteral("change+") : QStringLiteral("change-"));
    };

    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.LogOn();
    EXPECT_EQ(events, QStringList({ "before", "after+", "change+" }));

    events.clear();
    session.LogOn(); // passes through a logoff
    EXPECT_EQ(events, QStringList({ "before", "change-", "after+", "change+" }));

    events.clear();
    session.LogOff();
    EXPECT_EQ(events, QStringList({ "change-" }));

    events.clear();
    session.SetLogonPassword(QStringLiteral("wrong"));
    try {
        session.LogOn();
        FAIL() << "wrong password";
    } catch (const EOracleError &e) {
        // The events ran before the error reached the caller.
        EXPECT_EQ(e.ErrorCode(), 1017);
        EXPECT_EQ(events, QStringList({ "before", "after-", "change-" }));
    }
    EXPECT_FALSE(session.Connected());

    // A failing event handler after a failed logon does not hide the logon's error.
    session.AfterLogOn = [](TOracleSession *) { throw Exception(QStringLiteral("handler")); };
    try {
        session.LogOn();
        FAIL() << "wrong password";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 1017);
    }
}

TEST_F(SessionLogon, StreamedConnectWaitsForTheEndOfLoading)
{
    TOracleSession session;
    QStringList events;
    session.AfterLogOn = [&](TOracleSession *) { events << QStringLiteral("after"); };
    session.OnChange = [&](TOracleSession *) { events << QStringLiteral("change"); };
    session.BeginLoading();
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.SetConnected(true);
    EXPECT_FALSE(session.Connected());
    EXPECT_TRUE(session.StreamedConnect());
    session.Loaded();
    EXPECT_TRUE(session.Connected());
    EXPECT_FALSE(session.StreamedConnect());
    EXPECT_EQ(events, QStringList({ "after", "change" })); // once each

    // A design-time connection stored in the stream is ignored at run time.
    TOracleSession designed;
    designed.BeginLoading();
    designed.SetDesignConnection(true);
    SetLogon(designed, QStringLiteral("scott"), QStringLiteral("tiger"));
    designed.SetConnected(true);
    designed.Loaded();
    EXPECT_FALSE(designed.Connected());
    EXPECT_TRUE(designed.LogonUsername().isEmpty());

    // A streamed logon that fails leaves the session disconnected, without an error.
    TOracleSession failing;
    failing.BeginLoading();
    SetLogon(failing, QStringLiteral("scott"), QStringLiteral("wrong"));
    failing.SetConnected(true);
    EXPECT_NO_THROW(failing.Loaded());
    EXPECT_FALSE(failing.Connected());
}

TEST(SessionBanner, MajorReleaseOfServerBanners)
{
    const struct {
        const char *banner;
        int major;
    } cases[] = { { Banner19, 19 }, { Banner21, 21 }, { Banner23, 23 }, { Banner7, 7 },
        { BannerHyphen, 9 }, { "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production", 8 },
        { "Oracle Database 10g Release 10.2.0.1.0 - Production", 10 },
        { "Personal Oracle7 Release 7.3.4.0.0 - Production", 7 }, { "Oracle7 Server", 7 },
        { "Some other server", 0 }, { "", 0 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.banner);
        EXPECT_EQ(TOracleSession::BannerMajorVersion(QString::fromLatin1(c.banner)), c.major);
    }
}

TEST(SessionBanner, VersionTextIsCutAtTheFirstLineBreakOrDetachedHyphen)
{
    const struct {
        const char *banner;
        const char *version;
    } cases[] = {
        { Banner19, "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 " },
        { BannerHyphen, "Oracle9i Enterprise-Edition Release 9.2.0.1.0 " },
        { "Oracle8i Release 8.1.7.0.0\r\nPL/SQL Release 8.1.7.0.0 - Production",
            "Oracle8i Release 8.1.7.0.0" },
        { "First line\nsecond - line", "First line" },
        { "-leading hyphen", "" },
        { "No remark at all", "No remark at all" },
        { "", "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.banner);
        EXPECT_EQ(TOracleSession::ShortVersionText(QString::fromLatin1(c.banner)),
            QString::fromLatin1(c.version));
    }
}

// Modern banners keep the handle-based calls (the marker test of old clients read
// "Release 21" and "Release 23" as older servers).
TEST_F(SessionLogon, ModernBannersKeepTheHandleBasedMode)
{
    for (const char *alias : { "QDS", "QDS21", "QDS23", "QDSHYPHEN" }) {
        SCOPED_TRACE(alias);
        TOracleSession session;
        SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"), QLatin1String(alias));
        session.LogOn();
        EXPECT_TRUE(session.OCI8Mode());
        EXPECT_FALSE(session.LdaFromService());
    }
}

TEST_F(SessionLogon, ServerVersionIsCutAfterTheProductName)
{
    const struct {
        const char *alias;
        const char *banner;
        const char *version;
    } cases[] = {
        { "QDS", Banner19, "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 " },
        { "QDS23", Banner23, "Oracle Database 23ai Free Release 23.0.0.0.0 " },
        // A hyphen inside a word stays; the one after a blank cuts.
        { "QDSHYPHEN", BannerHyphen, "Oracle9i Enterprise-Edition Release 9.2.0.1.0 " },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.alias);
        TOracleSession session;
        SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"), QLatin1String(c.alias));
        session.LogOn();
        session.ExecSQL(QStringLiteral("select * from v$version"));
        ASSERT_EQ(session.InternalRow().value(0), QLatin1String(c.banner));
        EXPECT_EQ(session.ServerVersion(), QString::fromLatin1(c.version));
    }
    TOracleSession offline;
    EXPECT_TRUE(offline.ServerVersion().isEmpty());
}

// An old banner drives the connection with the older calls, and the logoff converts it
// back before ending the session.
TEST_F(SessionLogon, OldBannerSwitchesTheSameConnectionToTheOlderCalls)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"), QStringLiteral("QDS7"));
    session.LogOn();
    ASSERT_TRUE(session.Connected());
    EXPECT_FALSE(session.OCI8Mode());
    EXPECT_TRUE(session.LdaFromService());
    EXPECT_NE(session.logonDataArea(), nullptr);
    EXPECT_FALSE(session.AUDSID().isEmpty());
    EXPECT_EQ(session.MaxStringChars(), 2000);
    session.LogOff();
    EXPECT_TRUE(session.OCI8Mode());
    EXPECT_FALSE(session.LdaFromService());
    EXPECT_FALSE(session.Connected());
}

TEST_F(SessionLogon, ThePreferenceForcesTheOlderCalls)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.Preferences().SetUseOCI7(true);
    session.LogOn();
    ASSERT_TRUE(session.Connected());
    EXPECT_FALSE(session.OCI8Mode());
    EXPECT_FALSE(session.LdaFromService());
    EXPECT_EQ(session.ServiceContext(), nullptr);
    EXPECT_FALSE(session.AUDSID().isEmpty());
    EXPECT_THROW(session.Preferences().SetUseOCI7(false), Exception);
    EXPECT_NO_THROW(session.GetExternalLDA());
    EXPECT_THROW(session.GetExternalSVC(), Exception);
    session.LogOff();
    EXPECT_FALSE(session.Connected());
}

TEST_F(SessionLogon, UseOCI7CannotChangeWhileConnected)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.LogOn();
    try {
        session.Preferences().SetUseOCI7(true);
        FAIL() << "changed while connected";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(),
            QStringLiteral("Cannot change UseOCI7 property when session is connected"));
    }
    EXPECT_FALSE(session.Preferences().UseOCI7());
}

// A client library without the handle-based group: the session chooses the older calls.
TEST_F(SessionLogon, AClientWithoutTheHandleBasedCallsUsesTheOlderCalls)
{
    OracleClientLibrary library(std::make_shared<LinuxOraclePlatform>());
    library.SetOCIDLL(QStringLiteral(QD_FAKECLIENT_DIR "/libqdfake_oci7only.so"));
    library.InitClientLibrary();
    ASSERT_FALSE(library.OCI8Available());
    ASSERT_TRUE(library.OCI7Available());

    TOracleSession session(nullptr, &library);
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    // The double refuses every call; without an error code that must still be a failure.
    EXPECT_THROW(session.LogOn(), Exception);
    EXPECT_FALSE(session.OCI8Mode());
    EXPECT_FALSE(session.Connected());
    EXPECT_THROW(session.SetExternalSVC(nullptr), Exception); // needs the handle calls
}

TEST_F(SessionLogon, PropertiesThatCannotChangeWhileConnected)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.LogOn();
    const struct {
        const char *message;
        std::function<void()> change;
    } cases[] = {
        { "Cannot change ThreadSafe property when connected",
            [&] { session.SetThreadSafe(true); } },
        { "Cannot change Pooling property when connected", [&] { session.SetPooling(spMTS); } },
        { "Cannot change Pool property when connected", [&] { session.SetPool(nullptr); } },
        { "Cannot change StatementCache property when connected",
            [&] { session.SetStatementCache(true); } },
        { "Cannot change MTSOptions property when connected", [&] { session.SetMTSOptions(0); } },
    };
    for (const auto &c : cases) {
        try {
            c.change();
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QLatin1String(c.message));
        }
    }
    EXPECT_FALSE(session.ThreadSafe());
    EXPECT_EQ(session.Pooling(), spNone);
    EXPECT_EQ(session.MTSOptions(), moImplicit | moUniqueServer);
}

TEST_F(SessionLogon, TransactionServerModeFailsWithoutTheEnlistmentLibrary)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.SetPooling(spMTS);
    try {
        session.LogOn();
        FAIL() << "there is no enlistment library on Linux";
    } catch (const Exception &e) {
        EXPECT_TRUE(
            e.Message().startsWith(QStringLiteral("Initialization error\r\nCould not locate")))
            << e.Message().toStdString();
    }
    EXPECT_FALSE(session.Connected());
    EXPECT_FALSE(session.MTSEnlisted());
}

// A second session on the first one's service context shares the connection; its logoff
// leaves the owner's connection intact.
TEST_F(SessionLogon, SharingAServiceContext)
{
    TOracleSession owner;
    SetLogon(owner, QStringLiteral("scott"), QStringLiteral("tiger"));
    owner.LogOn();
    EXPECT_THROW(owner.GetExternalLDA(), Exception);

    TOracleSession borrower;
    TOracleSession::ShareConnection(owner, borrower);
    ASSERT_TRUE(borrower.Connected());
    EXPECT_TRUE(borrower.Shared());
    EXPECT_TRUE(borrower.OCI8Mode());
    EXPECT_EQ(borrower.ServiceContext(), owner.ServiceContext());
    EXPECT_EQ(borrower.LogonUsername(), owner.LogonUsername());
    EXPECT_EQ(borrower.AUDSID(), owner.AUDSID());
    borrower.LogOff();
    EXPECT_FALSE(borrower.Connected());
    // The owner's handles were not freed by the borrower.
    ASSERT_TRUE(owner.Connected());
    EXPECT_FALSE(owner.AUDSID().isEmpty());
    owner.ExecSQL(QStringLiteral("select 'x' from dual"));
    EXPECT_EQ(owner.InternalRow().value(0), QStringLiteral("x"));

    // Clearing the outside connection makes the session own its connections again.
    borrower.SetExternalSVC(nullptr);
    EXPECT_FALSE(borrower.Shared());
    TOracleSession offline;
    EXPECT_THROW(offline.GetExternalSVC(), Exception);
}

TEST_F(SessionLogon, CheckConnectionFindsALostConnectionAndReconnects)
{
    StandinHooks hooks;
    ASSERT_TRUE(hooks.complete());
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    EXPECT_EQ(session.CheckConnection(false), 1);
    EXPECT_EQ(session.CheckConnection(true), 2);
    ASSERT_TRUE(session.Connected());
    EXPECT_EQ(session.CheckConnection(false), 0);

    hooks.loseConnection(session.ServiceContext());
    EXPECT_EQ(session.CheckConnection(true), 2);
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.CheckConnection(false), 0);

    hooks.loseConnection(session.ServiceContext());
    EXPECT_EQ(session.CheckConnection(false), 1);
    EXPECT_FALSE(session.Connected());
}

TEST_F(SessionLogon, TheProcessListsEverySessionAndLogsThemAllOff)
{
    auto first = std::make_unique<TOracleSession>();
    auto second = std::make_unique<TOracleSession>();
    EXPECT_TRUE(TOracleSession::AllSessions().contains(first.get()));
    EXPECT_TRUE(TOracleSession::AllSessions().contains(second.get()));
    SetLogon(*first, QStringLiteral("scott"), QStringLiteral("tiger"));
    SetLogon(*second, QStringLiteral("scott"), QStringLiteral("tiger"));
    first->LogOn();
    second->LogOn();
    TOracleSession::LogOffAllSessions();
    EXPECT_FALSE(first->Connected());
    EXPECT_FALSE(second->Connected());
    TOracleSession *gone = second.get();
    second.reset();
    EXPECT_FALSE(TOracleSession::AllSessions().contains(gone));
}

} // namespace
