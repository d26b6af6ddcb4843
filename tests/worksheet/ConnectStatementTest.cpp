#include "worksheet/ConnectStatement.h"

#include <gtest/gtest.h>

using namespace qd;

TEST(ConnectStatement, FormsOfACommandLineClient)
{
    struct Case {
        const char *text;
        const char *user;
        const char *password;
        const char *database;
        const char *mode;
    };
    const Case cases[] = {
        { "", "", "", "", "" },
        { "demo/DEMO@DEMO", "demo", "DEMO", "DEMO", "" },
        { "demo", "demo", "", "", "" },
        { "demo/Secret", "demo", "Secret", "", "" },
        { "demo@db", "demo", "", "db", "" },
        { "demo/pw@db as sysdba", "demo", "pw", "db", "SYSDBA" },
        { "demo/pw@db AS SysOper", "demo", "pw", "db", "SYSOPER" },
        { "demo/pw as sysdba", "demo", "pw", "", "SYSDBA" },
        { "u/\"Pa ss\"@db as sysdba", "u", "Pa ss", "db", "SYSDBA" },
        { "\"Mixed User\"/\"p/w@x\"@\"my db\"", "Mixed User", "p/w@x", "my db", "" },
        { "u/\"say \"\"hi\"\"\"@db", "u", "say \"hi\"", "db", "" },
        { "  demo/DEMO@DEMO  ", "demo", "DEMO", "DEMO", "" },
        { "demo/DEMO@host:1521/orcl", "demo", "DEMO", "host:1521/orcl", "" },
        { "demo/@db", "demo", "", "db", "" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        QString user = QStringLiteral("x"), password = QStringLiteral("x"),
                database = QStringLiteral("x"), mode = QStringLiteral("x"), error;
        ASSERT_TRUE(ParseConnectStatement(
            QString::fromUtf8(c.text), user, password, database, mode, error))
            << error.toStdString();
        EXPECT_EQ(user, QString::fromUtf8(c.user));
        EXPECT_EQ(password, QString::fromUtf8(c.password));
        EXPECT_EQ(database, QString::fromUtf8(c.database));
        EXPECT_EQ(mode, QString::fromUtf8(c.mode));
        EXPECT_TRUE(error.isEmpty());
    }
}

TEST(ConnectStatement, MalformedTextAndOperatingSystemLogons)
{
    struct Case {
        const char *text;
        const char *error;
    };
    const Case cases[] = {
        { "/", "OS Logon not supported" },
        { "/@db", "OS Logon not supported" },
        { "/ as sysdba", "OS Logon not supported" },
        { "u/pw@db as", "missing SYSDBA or SYSOPER after AS" },
        { "u/pw@db as sysasm", "unknown connect mode \"SYSASM\" (SYSDBA or SYSOPER expected)" },
        { "u/pw@db extra", "unexpected text \"extra\"" },
        { "u/pw@db as sysdba now", "unexpected text \"now\"" },
        { "u/\"open@db", "missing closing quote in password" },
        { "u/pw@", "missing database name after \"@\"" },
        { "@db", "missing user name" },
        { "\"u\"x/pw", "unexpected text \"x/pw\"" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        QString user, password, database, mode, error;
        EXPECT_FALSE(ParseConnectStatement(
            QString::fromUtf8(c.text), user, password, database, mode, error));
        EXPECT_EQ(error, QString::fromUtf8(c.error));
        // Nothing half-parsed is handed back.
        EXPECT_TRUE(user.isEmpty() && password.isEmpty() && database.isEmpty() && mode.isEmpty());
    }
}
