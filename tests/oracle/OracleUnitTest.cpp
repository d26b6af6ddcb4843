// Start-up and shut-down of the Oracle access layer against the stand-in.

#include "OracleSessionTestSupport.h"
#include "QStringPrinter.h"

#include "oracle/OraclePackage.h"
#include "oracle/OracleUnit.h"
#include "platform/OraclePlatform.h"

#include <QMap>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;
using namespace qd::test;

namespace {

// A user registry holding a warnings list.
class WarningsRegistry : public OraclePlatform {
public:
    QMap<QString, QString> values;

    ClientLibraryLayout layout() const override { return {}; }
    QString readRegistryString(
        RegistryRoot root, const QString &key, const QString &valueName) const override
    {
        if (root != RegistryRoot::CurrentUser
            || key != QLatin1String("SOFTWARE\\Velloran\\ZEB\\Warnings"))
            return QString();
        return values.value(valueName);
    }
    QStringList listRegistrySubKeys(RegistryRoot, const QString &) const override { return {}; }
    QString environmentValue(const QString &) const override { return {}; }
    QStringList commandLineParameters() const override { return {}; }
    bool fileExists(const QString &) const override { return false; }
    QStringList listFiles(const QString &, const QString &) const override { return {}; }
    QStringList readTextLines(const QString &) const override { return {}; }
};

TEST(OracleUnit, ATracerInTheStatusFileMeansADebugger)
{
    const struct {
        const char *status;
        bool attached;
    } cases[] = {
        { "Name:\ttest\nState:\tR (running)\nTracerPid:\t0\nUid:\t1000\n", false },
        { "Name:\ttest\nTracerPid:\t4711\nUid:\t1000\n", true },
        { "TracerPid:   12\n", true },
        { "Name:\ttest\n", false }, // no such line
        { "TracerPid:\tnot a number\n", false },
        { "", false },
    };
    for (const auto &c : cases)
        EXPECT_EQ(OracleUnit::TracerAttached(QByteArray(c.status)), c.attached) << c.status;
}

TEST(OracleUnit, TheWarningsListIsLoadedOnlyUnderADebugger)
{
    UseSessionStandin();
    WarningsRegistry registry;
    registry.values = { { "1", "942" } };
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.LogOn();
    auto codeAndKind = [&] {
        try {
            session.ExecSQL(QStringLiteral("select * from no_such_table"));
        } catch (const EOracleWarning &e) {
            return std::make_pair(e.ErrorCode(), QStringLiteral("warning"));
        } catch (const EOracleError &e) {
            return std::make_pair(e.ErrorCode(), QStringLiteral("error"));
        }
        return std::make_pair(0, QString());
    };

    OracleWarnings::SetWarnings({});
    OracleUnit::Startup(registry, false);
    EXPECT_TRUE(OracleWarnings::IsEmpty());
    EXPECT_EQ(codeAndKind(), std::make_pair(942, QStringLiteral("error")));

    OracleUnit::Startup(registry, true);
    EXPECT_EQ(OracleWarnings::Warnings(), QList<int>({ 942 }));
    EXPECT_EQ(codeAndKind(), std::make_pair(942, QStringLiteral("warning")));
    EXPECT_TRUE(OracleUnit::Started());

    // Shut-down empties the list again.
    OracleUnit::Shutdown();
    EXPECT_TRUE(OracleWarnings::IsEmpty());
}

TEST(OracleUnit, ShutDownLogsOffEverySessionAndUnloadsTheLibraryLast)
{
    UseSessionStandin();
    std::vector<std::unique_ptr<TOracleSession>> sessions;
    for (const bool olderCalls : { false, true, false }) {
        auto s = std::make_unique<TOracleSession>();
        s->Preferences().SetUseOCI7(olderCalls);
        SetLogon(*s, QStringLiteral("scott"), QStringLiteral("tiger"));
        sessions.push_back(std::move(s));
    }
    sessions[0]->LogOn();
    sessions[1]->LogOn();
    // sessions[2] stays disconnected; a package on a connected one keeps its session.
    TOraclePackage package;
    package.SetSession(sessions[0].get());
    int hookCalls = 0;
    bool loadedInHook = true;
    OracleUnit::SetFinalizationHook([&] {
        ++hookCalls;
        loadedInHook = OracleClientLibrary::instance().ClientLibraryLoaded();
    });
    ASSERT_TRUE(OracleUnit::Started());
    ASSERT_NE(TOracleSessionPoolBase::DefaultPool(), nullptr);

    OracleUnit::Shutdown();
    for (const auto &s : sessions)
        EXPECT_FALSE(s->Connected());
    EXPECT_EQ(TOracleSessionPoolBase::DefaultPool(), nullptr);
    EXPECT_FALSE(OracleClientLibrary::instance().ClientLibraryLoaded());
    EXPECT_EQ(hookCalls, 1);
    EXPECT_FALSE(loadedInHook);
    EXPECT_FALSE(OracleUnit::Started());
    EXPECT_EQ(package.Session(), sessions[0].get());

    // A second shut-down has nothing left to do.
    OracleUnit::Shutdown();
    EXPECT_EQ(hookCalls, 1);
    OracleUnit::SetFinalizationHook(nullptr);

    // The layer starts again with the next session, loading the library on its logon.
    TOracleSession again;
    EXPECT_TRUE(OracleUnit::Started());
    EXPECT_NE(TOracleSessionPoolBase::DefaultPool(), nullptr);
    SetLogon(again, QStringLiteral("scott"), QStringLiteral("tiger"));
    again.LogOn();
    EXPECT_TRUE(OracleClientLibrary::instance().ClientLibraryLoaded());
    sessions[0]->LogOn();
    sessions[0]->ExecSQL(QStringLiteral("select 'x' from dual"));
    EXPECT_EQ(sessions[0]->InternalRow().value(0), QStringLiteral("x"));
}

} // namespace
