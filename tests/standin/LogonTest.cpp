// Logon against the default and a configured alias: passwords and their states, unknown
// aliases, password change, server banner, injected faults.
#include "StandinClient.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace qd::test::standin;

namespace {

// Points the library at a configuration file written into the test's program directory.
class ConfiguredAlias : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string dir = qd::test::programDirectory().toStdString();
        // A file per test: the library reloads its configuration when the name changes.
        m_path
            = dir + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".conf";
        std::ofstream out(m_path);
        out << "# aliases and users for the logon tests\n"
               "[alias SALES]\n"
               "directory = sales-db\n"
               "banner = Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production\n"
               "lock_wait_ms = 200\n"
               "[user SCOTT@SALES]\npassword = tiger\n"
               "[user SOON@SALES]\npassword = soon\nstate = expiring\n"
               "[user GRACE@SALES]\npassword = grace\nstate = grace\n"
               "[user OLD@SALES]\npassword = old\nstate = expired\n"
               "[user SHUT@SALES]\npassword = shut\nstate = locked\n"
               "[alias EXACT]\ncase_sensitive_passwords = yes\n"
               "[user SCOTT@EXACT]\npassword = Tiger\n";
        out.close();
        setenv("QD_STANDIN_CONFIG", m_path.c_str(), 1);
    }
    void TearDown() override { unsetenv("QD_STANDIN_CONFIG"); }

    std::string m_path;
};

} // namespace

TEST(StandinLogon, DefaultConfigurationServesTheDemoUser)
{
    Connection c;
    EXPECT_EQ(c.logon("demo", "demo"), SUCCESS) << c.errorText();
    EXPECT_EQ(c.run("SELECT ENAME FROM EMP"), SUCCESS) << c.errorText();
}

TEST(StandinLogon, EmptyAliasIsTheDefaultDatabase)
{
    Connection c;
    EXPECT_EQ(c.logon("DEMO", "DEMO", ""), SUCCESS) << c.errorText();
}

TEST(StandinLogon, WrongPasswordAndUnknownUserAreRefused)
{
    for (const auto &[user, password] :
        { std::pair { "DEMO", "wrong" }, std::pair { "NOBODY", "DEMO" }, std::pair { "", "" } }) {
        Connection c;
        EXPECT_EQ(c.logon(user, password), ERROR) << user;
        EXPECT_EQ(c.errorText(), "ORA-01017: invalid username/password; logon denied");
    }
}

TEST(StandinLogon, UnknownAliasFailsAtAttach)
{
    Connection c;
    EXPECT_EQ(c.logon("DEMO", "DEMO", "NOWHERE"), ERROR);
    EXPECT_EQ(c.errorCode(), 12154);
    EXPECT_EQ(c.errorText(), "ORA-12154: TNS:could not resolve the connect identifier specified");
}

TEST_F(ConfiguredAlias, PasswordStatesAnswerAsTheServer)
{
    struct Case {
        const char *user, *password;
        sword status;
        int code;
    };
    const Case cases[] = {
        { "scott", "tiger", SUCCESS, 0 },
        { "SOON", "soon", SUCCESS_WITH_INFO, 28002 },
        { "GRACE", "grace", SUCCESS_WITH_INFO, 28011 },
        { "OLD", "old", ERROR, 28001 },
        { "SHUT", "shut", ERROR, 28000 },
        { "SHUT", "wrong", ERROR, 1017 },
    };
    for (const Case &k : cases) {
        Connection c;
        EXPECT_EQ(c.logon(k.user, k.password, "sales"), k.status) << k.user;
        EXPECT_EQ(c.errorCode(), k.code) << k.user << ": " << c.errorText();
        if (k.status != ERROR) {
            EXPECT_EQ(c.run("CREATE TABLE T_" + std::string(k.user) + " (N NUMBER)"), SUCCESS)
                << c.errorText();
        }
    }
}

TEST_F(ConfiguredAlias, DemoAliasIsAbsentWhenNotConfigured)
{
    Connection c;
    EXPECT_EQ(c.logon("DEMO", "DEMO", "DEMO"), ERROR);
    EXPECT_EQ(c.errorCode(), 12154);
}

TEST_F(ConfiguredAlias, ServerVersionIsTheConfiguredBanner)
{
    Connection c;
    ASSERT_EQ(c.logon("SCOTT", "tiger", "SALES"), SUCCESS);
    text banner[501];
    ASSERT_EQ(api().ServerVersion(c.srv, c.err, banner, sizeof banner, HTYPE_SERVER), SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char *>(banner),
        "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production");
}

TEST_F(ConfiguredAlias, ExpiredPasswordChangedWithoutSessionLogsOn)
{
    Connection c;
    ASSERT_EQ(c.logon("OLD", "old", "SALES"), ERROR);
    ASSERT_EQ(c.errorCode(), 28001);
    const std::string user = "OLD", old = "old", fresh = "new1";
    const auto t = [](const std::string &s) { return reinterpret_cast<const text *>(s.c_str()); };
    EXPECT_EQ(api().PasswordChange(
                  c.svc, c.err, t(user), 3, t(std::string("wrong")), 5, t(fresh), 4, AUTH),
        ERROR);
    EXPECT_EQ(c.errorCode(), 1017);
    ASSERT_EQ(api().PasswordChange(c.svc, c.err, t(user), 3, t(old), 3, t(fresh), 4, AUTH), SUCCESS)
        << c.errorText();
    c.loggedOn = true;
    EXPECT_EQ(c.run("CREATE TABLE AFTER_CHANGE (N NUMBER)"), SUCCESS) << c.errorText();

    Connection again;
    EXPECT_EQ(again.logon("OLD", "new1", "SALES"), SUCCESS) << again.errorText();
    Connection stale;
    EXPECT_EQ(stale.logon("OLD", "old", "SALES"), ERROR);
    EXPECT_EQ(stale.errorCode(), 1017);
}

TEST_F(ConfiguredAlias, BrokenConfigurationGivesAClearError)
{
    setenv("QD_STANDIN_CONFIG", (m_path + ".broken").c_str(), 1);
    std::ofstream(m_path + ".broken") << "[alias X]\nnonsense line\n";
    Connection c;
    EXPECT_EQ(c.logon("A", "B", "X"), ERROR);
    EXPECT_NE(c.errorText().find("line 2"), std::string::npos) << c.errorText();
}

TEST(StandinLogon, InjectedLogonFailureHitsOnlyTheNextLogon)
{
    api().failNextLogon(28000);
    Connection first;
    EXPECT_EQ(first.logon("DEMO", "DEMO"), ERROR);
    EXPECT_EQ(first.errorText(), "ORA-28000: the account is locked");
    Connection second;
    EXPECT_EQ(second.logon("DEMO", "DEMO"), SUCCESS) << second.errorText();
}

TEST(StandinLogon, LostConnectionFailsWith3113ThenWith3114)
{
    Connection c;
    ASSERT_EQ(c.logon("DEMO", "DEMO"), SUCCESS);
    ASSERT_EQ(api().loseConnection(c.svc), 0);
    EXPECT_EQ(c.run("SELECT ENAME FROM EMP"), ERROR);
    EXPECT_EQ(c.errorText(), "ORA-03113: end-of-file on communication channel");
    EXPECT_EQ(c.commit(), ERROR);
    EXPECT_EQ(c.errorText(), "ORA-03114: not connected to ORACLE");
}

TEST(StandinLogon, StatementTraceRecordsTheTextsReceived)
{
    Connection c;
    ASSERT_EQ(c.logon("DEMO", "DEMO"), SUCCESS);
    c.run("SELECT ENAME FROM EMP");
    c.run("UPDATE EMP SET SAL = SAL WHERE EMPNO = 101");
    ASSERT_EQ(api().traceCount(c.svc), 2);
    char text[100];
    EXPECT_EQ(api().traceGet(c.svc, 0, text, sizeof text), 21);
    EXPECT_STREQ(text, "SELECT ENAME FROM EMP");
    api().traceGet(c.svc, 1, text, sizeof text);
    EXPECT_STREQ(text, "UPDATE EMP SET SAL = SAL WHERE EMPNO = 101");
    EXPECT_EQ(api().traceGet(c.svc, 2, text, sizeof text), -1);
}

// An alias may compare passwords exactly, as current servers do; others ignore their case.
TEST_F(ConfiguredAlias, CaseSensitivePasswords)
{
    const struct {
        const char *alias, *password;
        sword status;
    } cases[] = {
        { "EXACT", "Tiger", SUCCESS },
        { "EXACT", "tiger", ERROR },
        { "EXACT", "TIGER", ERROR },
        { "SALES", "TIGER", SUCCESS },
    };
    for (const auto &k : cases) {
        Connection c;
        EXPECT_EQ(c.logon("scott", k.password, k.alias), k.status) << k.alias << " " << k.password;
    }
}
