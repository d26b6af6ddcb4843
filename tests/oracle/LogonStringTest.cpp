#include "oracle/LogonString.h"

#include <gtest/gtest.h>

using namespace qd;

TEST(LogonString, ParsesUserPasswordDatabaseAndMode)
{
    const struct {
        const char *logon;
        const char *user, *password, *database, *mode;
        bool result;
    } cases[] = {
        { "scott/tiger@orcl as sysdba", "scott", "tiger", "orcl", "SYSDBA", true },
        { "scott/tiger@orcl AS SysOper", "scott", "tiger", "orcl", "SYSOPER", true },
        { "scott/tiger@orcl\tas\tsysdba", "scott", "tiger", "orcl", "SYSDBA", true },
        { "scott@orcl", "scott", "", "orcl", "", true },
        { "scott", "scott", "", "", "", false },
        { "scott/tiger", "scott", "tiger", "", "", true },
        { "\"a/b\"/pw@db", "\"a/b\"", "pw", "db", "", true },
        { "scott/\"p@ss/w\"@db", "scott", "\"p@ss/w\"", "db", "", true },
        { "scott/p@ss@db", "scott", "p@ss", "db", "", true },
        { "scott/a/b@db", "scott", "a/b", "db", "", true },
        { "scott/tiger@host:1521/service", "scott", "tiger", "host:1521/service", "", true },
        { "/@db", "", "", "db", "", true },
        { "sys/\"x as y\"@db as sysdba", "sys", "\"x as y\"", "db", "SYSDBA", true },
        { "Mixed/Case@Db", "Mixed", "Case", "Db", "", true },
    };
    for (const auto &c : cases) {
        QString user, password, database, mode;
        const bool result = ParseLogon(QString::fromUtf8(c.logon), user, password, database, mode);
        EXPECT_EQ(result, c.result) << c.logon;
        EXPECT_EQ(user, QString::fromUtf8(c.user)) << c.logon;
        EXPECT_EQ(password, QString::fromUtf8(c.password)) << c.logon;
        EXPECT_EQ(database, QString::fromUtf8(c.database)) << c.logon;
        EXPECT_EQ(mode, QString::fromUtf8(c.mode)) << c.logon;
    }
}

TEST(LogonString, EmptyLogonIsComposedFromTheParts)
{
    QString user = "scott/tiger", password, database = "orcl", mode = "sysdba";
    EXPECT_TRUE(ParseLogon(QString(), user, password, database, mode));
    EXPECT_EQ(user, "scott");
    EXPECT_EQ(password, "tiger");
    EXPECT_EQ(database, "orcl");
    EXPECT_EQ(mode, "SYSDBA");
}

TEST(LogonString, SplitConnectModeKeepsLetterCaseOfTheRest)
{
    QString logon = "  Scott/Tiger@Db  as   sysoper ";
    QString mode;
    SplitConnectMode(logon, mode);
    EXPECT_EQ(logon, "Scott/Tiger@Db");
    EXPECT_EQ(mode, "SYSOPER");

    logon = "scott/tiger@basis";
    SplitConnectMode(logon, mode);
    EXPECT_EQ(logon, "scott/tiger@basis");
    EXPECT_EQ(mode, "");

    // Upper-casing "ß" makes two letters; positions must still match the original.
    logon = "straße/pw@db as sysdba";
    SplitConnectMode(logon, mode);
    EXPECT_EQ(logon, "straße/pw@db");
    EXPECT_EQ(mode, "SYSDBA");
}

TEST(LogonString, ConnectAsConversions)
{
    EXPECT_EQ(ConnectAsToString(caNormal), "");
    EXPECT_EQ(ConnectAsToString(caSYSDBA), "SYSDBA");
    EXPECT_EQ(ConnectAsToString(caSYSOPER), "SYSOPER");
    EXPECT_EQ(StringToConnectAs("sysdba"), caSYSDBA);
    EXPECT_EQ(StringToConnectAs("SysOper"), caSYSOPER);
    EXPECT_EQ(StringToConnectAs("normal"), caNormal);
    EXPECT_EQ(StringToConnectAs(""), caNormal);
}

TEST(LogonString, ComposeRoundTripsThroughParse)
{
    const QString logon = ComposeLogonString("scott", "tiger", "orcl", "SYSDBA");
    EXPECT_EQ(logon, "scott/tiger@orcl as SYSDBA");
    QString u, p, d, m;
    ParseLogon(logon, u, p, d, m);
    EXPECT_EQ(QStringList({ u, p, d, m }), QStringList({ "scott", "tiger", "orcl", "SYSDBA" }));
}

TEST(LogonString, DescriptionsForMonitorsNeverHoldThePassword)
{
    EXPECT_EQ(LogonStringWithoutPassword("scott", "orcl", ""), "scott@orcl");
    EXPECT_EQ(LogonStringWithoutPassword("scott/tiger@orcl", "", "SYSDBA"), "scott@orcl as SYSDBA");
    EXPECT_FALSE(LogonStringWithoutPassword("scott/tiger", "db", "").contains("tiger"));

    const QStringList description
        = ConnectionDescription("scott/tiger@orcl", "", caSYSDBA, "1234", "/lib/libclntsh.so");
    ASSERT_EQ(description.size(), 12);
    EXPECT_EQ(description,
        QStringList({ "Username", "scott", "Password", "", "Database", "orcl", "ConnectAs",
            "SYSDBA", "AUDSID", "1234", "OCIDLL", "/lib/libclntsh.so" }));
    EXPECT_FALSE(description.join(u'\n').contains("tiger"));
}
