#include "FakeOraclePlatform.h"

#include "classlib/Exception.h"
#include "oracle/OracleHomes.h"

#include <gtest/gtest.h>

using namespace qd;
using qd::test::FakeOraclePlatform;

namespace {

const QString Root = QStringLiteral("SOFTWARE\\ORACLE");

QStringList names(const QList<OracleHomeEntry> &list)
{
    QStringList result;
    for (const OracleHomeEntry &entry : list)
        result << entry.name + QLatin1Char(':') + QString::number(entry.number);
    return result;
}

// A machine with numbered homes: HOME<n> named name with directory dir.
void addHome(FakeOraclePlatform &machine, int number, const QString &name, const QString &dir)
{
    const QString key = Root + QStringLiteral("\\HOME") + QString::number(number);
    machine.setValue(key, QStringLiteral("ORACLE_HOME_NAME"), name);
    if (!dir.isEmpty())
        machine.setValue(key, QStringLiteral("ORACLE_HOME"), dir);
}

void addKeyHome(FakeOraclePlatform &machine, const QString &name, const QString &dir)
{
    machine.setValue(Root + QStringLiteral("\\KEY_") + name, QStringLiteral("ORACLE_HOME"), dir);
}

} // namespace

TEST(OracleHomeList, KeySubkeysWithoutAllHomesAreListedWithNumberMinusOne)
{
    FakeOraclePlatform machine;
    addKeyHome(machine, QStringLiteral("OraClient10g"), QStringLiteral("C:\\ora10"));
    addKeyHome(machine, QStringLiteral("Ora81"), QStringLiteral("C:\\ora81"));
    machine.addKey(Root + QStringLiteral("\\OTHER"));
    machine.environment[QStringLiteral("PATH")] = QStringLiteral("C:\\ora81\\bin;C:\\windows");
    OracleHomes homes(machine);
    EXPECT_EQ(homes.FindOracleHomeKey(), Root + QStringLiteral("\\KEY_Ora81"));
    EXPECT_EQ(names(homes.OracleHomeList()),
        (QStringList { QStringLiteral("Ora81:-1"), QStringLiteral("OraClient10g:-1") }));
    EXPECT_EQ(homes.OracleHomeName(), QStringLiteral("Ora81"));
    EXPECT_TRUE(homes.OracleHomeNameAutoChosen());
}

TEST(OracleHomeList, HomeCounterRules)
{
    struct Case {
        const char *counter;
        QList<int> present; // HOME numbers that exist
        QStringList expected;
    };
    const Case cases[] = {
        // A counter of 0 still looks for one home.
        { "0", { 0, 1 }, { QStringLiteral("H0:0") } },
        // Gaps do not count: the search goes on until enough homes were found.
        { "2", { 0, 2, 5 }, { QStringLiteral("H0:0"), QStringLiteral("H2:2") } },
        { "1", { 3 }, { QStringLiteral("H3:3") } },
        // An empty or non-numeric counter searches no HOME keys at all.
        { "", { 0 }, {} },
        { "x", { 0 }, {} },
        // Never beyond HOME999.
        { "5", { 999, 1000 }, { QStringLiteral("H999:999") } },
    };
    for (const Case &c : cases) {
        FakeOraclePlatform machine;
        machine.setValue(Root + QStringLiteral("\\ALL_HOMES"), QStringLiteral("HOME_COUNTER"),
            QString::fromLatin1(c.counter));
        for (int n : c.present)
            addHome(machine, n, QStringLiteral("H") + QString::number(n), QStringLiteral("D"));
        OracleHomes homes(machine);
        homes.BuildOracleHomeList();
        EXPECT_EQ(names(homes.OracleHomeList()), c.expected) << "counter " << c.counter;
    }
}

TEST(OracleHomeList, SortedWithoutCaseAndFirstOfANameStays)
{
    FakeOraclePlatform machine;
    machine.setValue(
        Root + QStringLiteral("\\ALL_HOMES"), QStringLiteral("HOME_COUNTER"), QStringLiteral("2"));
    addHome(machine, 0, QStringLiteral("zeta"), QStringLiteral("C:\\z"));
    addHome(machine, 1, QStringLiteral("Ora81"), QStringLiteral("C:\\a"));
    addKeyHome(machine, QStringLiteral("ORA81"), QStringLiteral("C:\\b"));
    addKeyHome(machine, QStringLiteral("alpha"), QStringLiteral("C:\\c"));
    OracleHomes homes(machine);
    homes.BuildOracleHomeList();
    EXPECT_EQ(names(homes.OracleHomeList()),
        (QStringList {
            QStringLiteral("alpha:-1"), QStringLiteral("Ora81:1"), QStringLiteral("zeta:0") }));
}

class HomeChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine.setValue(Root + QStringLiteral("\\ALL_HOMES"), QStringLiteral("HOME_COUNTER"),
            QStringLiteral("3"));
        addHome(machine, 0, QStringLiteral("Ora81"), QStringLiteral("C:\\ora81"));
        addHome(machine, 1, QStringLiteral("Ora92"), QStringLiteral("C:\\ora92"));
        addHome(machine, 2, QStringLiteral("Ora10"), QStringLiteral("C:\\ora10"));
    }
    FakeOraclePlatform machine;
};

TEST_F(HomeChoice, EarliestBinDirectoryInPathWins)
{
    machine.environment[QStringLiteral("PATH")]
        = QStringLiteral("c:\\windows;c:\\ORA92\\BIN;C:\\ora81\\bin");
    OracleHomes homes(machine);
    EXPECT_EQ(homes.FindOracleHomeKey(), Root + QStringLiteral("\\HOME1"));
    EXPECT_EQ(homes.OracleHomeName(), QStringLiteral("Ora92"));
    EXPECT_EQ(homes.GetOracleHomeDir(), QStringLiteral("C:\\ora92"));
}

TEST_F(HomeChoice, NoHomeInPathTakesTheLastOfTheSortedList)
{
    machine.environment[QStringLiteral("PATH")] = QStringLiteral("c:\\windows");
    OracleHomes homes(machine);
    // Sorted: Ora10, Ora81, Ora92.
    EXPECT_EQ(homes.FindOracleHomeKey(), Root + QStringLiteral("\\HOME1"));
    EXPECT_EQ(homes.OracleHomeName(), QStringLiteral("Ora92"));
}

TEST_F(HomeChoice, CommandLineHomeWinsOverPath)
{
    machine.environment[QStringLiteral("PATH")] = QStringLiteral("C:\\ora92\\bin");
    machine.parameters = { QStringLiteral("oracleHome=ora81") };
    OracleHomes homes(machine);
    EXPECT_EQ(homes.FindOracleHomeKey(), Root + QStringLiteral("\\HOME0"));
    EXPECT_EQ(homes.OracleHomeName(), QStringLiteral("Ora81"));
    EXPECT_TRUE(homes.OracleHomeNameAutoChosen());
}

TEST_F(HomeChoice, PresetHomeNameIsUsedAndKept)
{
    machine.environment[QStringLiteral("PATH")] = QStringLiteral("C:\\ora92\\bin");
    OracleHomes homes(machine);
    homes.SetOracleHomeName(QStringLiteral("ORA10"));
    EXPECT_EQ(homes.FindOracleHomeKey(), Root + QStringLiteral("\\HOME2"));
    EXPECT_FALSE(homes.OracleHomeNameAutoChosen());
    homes.forgetAfterUnload();
    EXPECT_EQ(homes.OracleHomeName(), QStringLiteral("ORA10"));
    EXPECT_TRUE(homes.OracleHomeKey().isEmpty());
}

TEST_F(HomeChoice, HomeWithoutDirectoryFallsBackToTheRootKey)
{
    addHome(machine, 3, QStringLiteral("Broken"), QString());
    machine.setValue(
        Root + QStringLiteral("\\ALL_HOMES"), QStringLiteral("HOME_COUNTER"), QStringLiteral("4"));
    machine.parameters = { QStringLiteral("ORACLEHOME=broken") };
    OracleHomes homes(machine);
    EXPECT_EQ(homes.FindOracleHomeKey(), Root);
    // Cached: a second call reads nothing new.
    machine.parameters.clear();
    EXPECT_EQ(homes.FindOracleHomeKey(), Root);
}

TEST(ClientDllChoice, CandidatesOfTheHome)
{
    struct Case {
        QStringList files;
        int result;
        const char *chosen;
    };
    const Case cases[] = {
        { { QStringLiteral("oci.dll"), QStringLiteral("ora805.dll") }, OracleHomes::crChosen,
            "C:\\ora\\bin\\oci.dll" },
        { { QStringLiteral("ora73.dll"), QStringLiteral("ora805.dll") }, OracleHomes::crChosen,
            "C:\\ora\\bin\\ora805.dll" },
        { { QStringLiteral("oraNT73.dll"), QStringLiteral("ora7.dll") }, OracleHomes::crChosen,
            "C:\\ora\\bin\\oraNT73.dll" },
        // Equal versions (0.8 and 0.80): the first in directory order stays.
        { { QStringLiteral("ora8.dll"), QStringLiteral("ora80.dll") }, OracleHomes::crChosen,
            "C:\\ora\\bin\\ora8.dll" },
        { { QStringLiteral("oraclient.dll"), QStringLiteral("ora0.dll") },
            OracleHomes::crNoCandidate, "" },
        { {}, OracleHomes::crNoCandidate, "" },
    };
    for (const Case &c : cases) {
        FakeOraclePlatform machine;
        machine.setValue(Root, QStringLiteral("ORACLE_HOME"), QStringLiteral("C:\\ora"));
        for (const QString &file : c.files)
            machine.addFile(QStringLiteral("C:\\ora\\bin\\") + file);
        OracleHomes homes(machine);
        EXPECT_EQ(homes.ChooseClientDll(), c.result) << c.files.join(',').toStdString();
        EXPECT_EQ(homes.OCIDLL(), QString::fromLatin1(c.chosen));
        EXPECT_EQ(homes.ClientDllAutoChosen(), c.result == OracleHomes::crChosen);
    }
}

TEST(ClientDllChoice, DiagnosticLogRecordsTheSearch)
{
    FakeOraclePlatform machine;
    machine.setValue(Root, QStringLiteral("ORACLE_HOME"), QStringLiteral("C:\\ora"));
    machine.addFile(QStringLiteral("C:\\ora\\bin\\oci.dll"));
    machine.addFile(QStringLiteral("C:\\ora\\bin\\ora805.dll"));
    machine.addFile(QStringLiteral("C:\\ora\\bin\\oraclient.dll"));
    OracleHomes homes(machine);
    ASSERT_EQ(homes.ChooseClientDll(), OracleHomes::crChosen);
    EXPECT_EQ(homes.DiagnosticLog(),
        QStringLiteral("OracleHomeKey: SOFTWARE\\ORACLE\r\nOracleHomeDir: C:\\ora\r\n"
                       "Found: oci.dll\r\nFound: ora805.dll\r\nUsing: C:\\ora\\bin\\oci.dll"));
}

TEST(ClientDllChoice, CommandLineForcesTheLibraryWithoutAnyHomeLookUp)
{
    FakeOraclePlatform machine; // no registry at all
    machine.parameters = { QStringLiteral("other=1"), QStringLiteral("ocidll=c:\\x\\ora73.dll") };
    OracleHomes homes(machine);
    EXPECT_EQ(homes.ChooseClientDll(), OracleHomes::crChosen);
    EXPECT_EQ(homes.OCIDLL(), QStringLiteral("c:\\x\\ora73.dll"));
    EXPECT_FALSE(homes.ClientDllAutoChosen());
    EXPECT_TRUE(homes.OracleHomeKey().isEmpty());
    EXPECT_EQ(homes.DiagnosticLog(), QStringLiteral("OCIDLL forced to c:\\x\\ora73.dll"));
}

TEST(ClientDllChoice, HomeWithoutDirectoryIsNotInstalled)
{
    FakeOraclePlatform machine;
    OracleHomes homes(machine);
    EXPECT_EQ(homes.ChooseClientDll(), OracleHomes::crNoHomeDirectory);
    EXPECT_TRUE(homes.OCIDLL().isEmpty());
}

TEST(ClientDllChoice, AutoChosenLibraryIsForgottenAfterUnloadButPresetStays)
{
    FakeOraclePlatform machine;
    machine.setValue(Root, QStringLiteral("ORACLE_HOME"), QStringLiteral("C:\\ora"));
    machine.addFile(QStringLiteral("C:\\ora\\bin\\oci.dll"));
    OracleHomes homes(machine);
    ASSERT_EQ(homes.ChooseClientDll(), OracleHomes::crChosen);
    homes.forgetAfterUnload();
    EXPECT_TRUE(homes.OCIDLL().isEmpty());
    EXPECT_TRUE(homes.OracleHomeDir().isEmpty());

    homes.SetOCIDLL(QStringLiteral("D:\\mine\\oci.dll"));
    ASSERT_EQ(homes.ChooseClientDll(), OracleHomes::crChosen);
    homes.forgetAfterUnload();
    EXPECT_EQ(homes.OCIDLL(), QStringLiteral("D:\\mine\\oci.dll"));
}

TEST(ClientDllChoice, LinuxNamesRankByVersion)
{
    ClientLibraryLayout unix;
    unix.naming = ClientLibraryLayout::Naming::Linux;
    unix.separator = QLatin1Char('/');
    unix.libraryDirectory = QStringLiteral("lib");
    unix.primaryLibrary = QStringLiteral("libclntsh.so");
    unix.candidateWildcard = QStringLiteral("libclntsh.so.*");
    unix.fallbackLibrary = QStringLiteral("libclntsh.so");
    FakeOraclePlatform machine(unix);
    OracleHomes homes(machine);
    struct Case {
        const char *name;
        double version; // 0: none
    };
    const Case cases[] = { { "libclntsh.so.19.1", 19.001 }, { "libclntsh.so.12.2", 12.002 },
        { "libclntsh.so.19.10", 19.010 }, { "libclntsh.so.11", 11.0 }, { "libclntsh.so.x", 0 },
        { "libclntsh.so.", 0 }, { "libclntsh.so.1.2.3.4", 0 }, { "libclntsh.so.0", 0 },
        { "libclntsh.so.99999999999", 0 }, { "libocci.so.19.1", 0 } };
    for (const Case &c : cases) {
        const auto version = homes.candidateVersion(QString::fromLatin1(c.name));
        if (c.version == 0)
            EXPECT_FALSE(version) << c.name;
        else
            EXPECT_DOUBLE_EQ(version.value_or(-1), c.version) << c.name;
    }

    machine.setValue(Root, QStringLiteral("ORACLE_HOME"), QStringLiteral("/opt/ora"));
    machine.addFile(QStringLiteral("/opt/ora/lib/libclntsh.so.12.2"));
    machine.addFile(QStringLiteral("/opt/ora/lib/libclntsh.so.19.10"));
    machine.addFile(QStringLiteral("/opt/ora/lib/libclntsh.so.19.9"));
    EXPECT_EQ(homes.ChooseClientDll(), OracleHomes::crChosen);
    EXPECT_EQ(homes.OCIDLL(), QStringLiteral("/opt/ora/lib/libclntsh.so.19.10"));

    // Without a home the system loader searches for the plain name.
    FakeOraclePlatform bare(unix);
    OracleHomes noHome(bare);
    EXPECT_EQ(noHome.ChooseClientDll(), OracleHomes::crChosen);
    EXPECT_EQ(noHome.OCIDLL(), QStringLiteral("libclntsh.so"));
    EXPECT_TRUE(noHome.ClientDllAutoChosen());
}

TEST(TnsNamesFile, WhereTheFileIsLookedFor)
{
    struct Case {
        const char *what;
        std::function<void(FakeOraclePlatform &)> setup;
        OracleCapabilities capabilities;
        const char *expected;
    };
    const QString home = Root + QStringLiteral("\\HOME0");
    OracleCapabilities oci80;
    oci80.OCI8Available = true;
    OracleCapabilities oci81 = oci80;
    oci81.OCI81Available = true;
    const Case cases[] = {
        { "environment first",
            [&](FakeOraclePlatform &m) {
                m.environment[QStringLiteral("TNS_ADMIN")] = QStringLiteral("E:\\net\\");
                m.setValue(home, QStringLiteral("TNS_ADMIN"), QStringLiteral("F:\\x"));
            },
            oci81, "E:\\net\\tnsnames.ora" },
        { "home key value",
            [&](FakeOraclePlatform &m) {
                m.setValue(home, QStringLiteral("TNS_ADMIN"), QStringLiteral("F:\\x"));
                m.setValue(Root, QStringLiteral("TNS_ADMIN"), QStringLiteral("G:\\y"));
            },
            oci81, "F:\\x\\tnsnames.ora" },
        { "root key value",
            [&](FakeOraclePlatform &m) {
                m.setValue(Root, QStringLiteral("TNS_ADMIN"), QStringLiteral("G:\\y"));
            },
            oci81, "G:\\y\\tnsnames.ora" },
        { "NET80 with the OCI8 group",
            [&](FakeOraclePlatform &m) {
                m.setValue(home, QStringLiteral("NET80"), QStringLiteral("C:\\ora\\net80"));
                m.setValue(home, QStringLiteral("NET20"), QStringLiteral("C:\\ora\\net20"));
            },
            oci80, "C:\\ora\\net80\\Admin\\tnsnames.ora" },
        { "NET20 without it",
            [&](FakeOraclePlatform &m) {
                m.setValue(home, QStringLiteral("NET80"), QStringLiteral("C:\\ora\\net80"));
                m.setValue(home, QStringLiteral("NET20"), QStringLiteral("C:\\ora\\net20"));
            },
            OracleCapabilities(), "C:\\ora\\net20\\Admin\\tnsnames.ora" },
        { "Net80 directory of an 8.0 client", [](FakeOraclePlatform &) {}, oci80,
            "C:\\ora\\Net80\\Admin\\tnsnames.ora" },
        { "Network directory otherwise", [](FakeOraclePlatform &) {}, oci81,
            "C:\\ora\\Network\\Admin\\tnsnames.ora" },
    };
    for (const Case &c : cases) {
        FakeOraclePlatform machine;
        machine.setValue(Root + QStringLiteral("\\ALL_HOMES"), QStringLiteral("HOME_COUNTER"),
            QStringLiteral("1"));
        addHome(machine, 0, QStringLiteral("Ora"), QStringLiteral("C:\\ora"));
        c.setup(machine);
        OracleHomes homes(machine);
        int initialised = 0;
        homes.setClientInitializer([&] {
            ++initialised;
            return c.capabilities;
        });
        EXPECT_EQ(homes.FindTnsNamesFile(), QString::fromLatin1(c.expected)) << c.what;
        EXPECT_EQ(initialised, 1) << c.what;
        homes.FindTnsNamesFile(); // cached
        EXPECT_EQ(initialised, 1) << c.what;
    }
}

class AliasList : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine.environment[QStringLiteral("TNS_ADMIN")] = QStringLiteral("C:\\net");
        machine.addFile(QStringLiteral("C:\\net\\tnsnames.ora"),
            { QStringLiteral("PROD.WORLD = (DESCRIPTION = (ADDRESS = (HOST = a)))"),
                QStringLiteral("test = (DESCRIPTION=)") });
    }
    FakeOraclePlatform machine;
};

TEST_F(AliasList, WorldDomainIsCutFromAliases)
{
    machine.addFile(QStringLiteral("C:\\net\\sqlnet.ora"),
        { QStringLiteral("# comment"), QStringLiteral("  NAMES.Default_Domain = world ") });
    OracleHomes homes(machine);
    EXPECT_EQ(
        homes.GetTnsAliasList(), (QStringList { QStringLiteral("PROD"), QStringLiteral("test") }));
    EXPECT_EQ(homes.DefaultDomainValue(), QStringLiteral("world"));
}

TEST_F(AliasList, OtherDomainLeavesAliasesUnchanged)
{
    machine.addFile(QStringLiteral("C:\\net\\sqlnet.ora"),
        { QStringLiteral("names.default_domain = example.com") });
    OracleHomes homes(machine);
    EXPECT_EQ(homes.GetTnsAliasList(),
        (QStringList { QStringLiteral("PROD.WORLD"), QStringLiteral("test") }));
}

TEST_F(AliasList, MissingDomainIsReadAgainNextTime)
{
    machine.addFile(QStringLiteral("C:\\net\\sqlnet.ora"), { QStringLiteral("sqlnet.x = 1") });
    OracleHomes homes(machine);
    EXPECT_TRUE(homes.GetDefaultDomain().isEmpty());
    machine.addFile(
        QStringLiteral("C:\\net\\sqlnet.ora"), { QStringLiteral("names.default_domain=WORLD") });
    EXPECT_EQ(homes.GetDefaultDomain(), QStringLiteral("WORLD"));
    // Found once, it is kept.
    machine.addFile(QStringLiteral("C:\\net\\sqlnet.ora"), {});
    EXPECT_EQ(homes.GetDefaultDomain(), QStringLiteral("WORLD"));
}

TEST_F(AliasList, BuildPropagatesInitialisationErrorsAndGetSwallowsThem)
{
    OracleHomes homes(machine);
    homes.setClientInitializer(
        []() -> OracleCapabilities { throw Exception(QStringLiteral("Initialization error")); });
    EXPECT_THROW(homes.BuildTnsAliasList(), Exception);
    OracleHomes other(machine);
    other.setClientInitializer(
        []() -> OracleCapabilities { throw Exception(QStringLiteral("Initialization error")); });
    EXPECT_TRUE(other.GetTnsAliasList().isEmpty());
}

TEST_F(AliasList, RebuildReadsTheFileAgain)
{
    OracleHomes homes(machine);
    EXPECT_EQ(homes.GetTnsAliasList().size(), 2);
    machine.addFile(QStringLiteral("C:\\net\\tnsnames.ora"), { QStringLiteral("ONLY = ()") });
    EXPECT_EQ(homes.GetTnsAliasList().size(), 2); // built once
    homes.BuildTnsAliasList();
    EXPECT_EQ(homes.GetTnsAliasList(), QStringList { QStringLiteral("ONLY") });
}
