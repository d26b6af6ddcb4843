#include "FakeOraclePlatform.h"

#include "classlib/Exception.h"
#include "common/TestSupport.h"
#include "oracle/OracleClientLibrary.h"
#include "platform/LinuxOraclePlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

#include <gtest/gtest.h>

using namespace qd;
using qd::test::FakeOraclePlatform;
using qd::test::MapEnvironment;

namespace {

QString fakeClient(const char *variant)
{
    return QStringLiteral(QD_FAKECLIENT_DIR "/libqdfake_%1.so").arg(QLatin1String(variant));
}

ClientLibraryLayout linuxLayout()
{
    MapEnvironment none;
    return LinuxOraclePlatform(none, CommandLine()).layout();
}

// A machine with the Linux layout whose command line forces the given library.
std::shared_ptr<FakeOraclePlatform> forcing(const QString &library)
{
    auto machine = std::make_shared<FakeOraclePlatform>(linuxLayout());
    machine->parameters = { QStringLiteral("OCIDLL=") + library };
    return machine;
}

// The calls a fake client library recorded (it stays loaded while this object lives).
class CallLog {
public:
    explicit CallLog(const QString &library)
    {
        EXPECT_TRUE(m_library.load(library)) << m_library.errorString().toStdString();
        reset();
    }
    QString text() const
    {
        auto log = m_library.resolve<const char *(*)()>("qdfake_call_log");
        return log ? QString::fromUtf8(log()) : QStringLiteral("<no log>");
    }
    void reset()
    {
        if (auto reset = m_library.resolve<void (*)()>("qdfake_reset_log"))
            reset();
    }

private:
    DynamicLibrary m_library;
};

QString initError(OracleClientLibrary &library)
{
    try {
        library.InitClientLibrary();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QString();
}

int boundCount(const OracleEntryPoints &e)
{
    int count = 0;
#define QD_COUNT_BOUND(name, ret, params) count += e.name != nullptr;
    QD_OCI7_ENTRY_POINTS(QD_COUNT_BOUND)
    QD_OCI7_LOG_ENTRY_POINTS(QD_COUNT_BOUND)
    QD_OCI7_INIT_ENTRY_POINTS(QD_COUNT_BOUND)
    QD_OCI8_ENTRY_POINTS(QD_COUNT_BOUND)
    QD_OCI81_ENTRY_POINTS(QD_COUNT_BOUND)
    QD_OCI9_ENTRY_POINTS(QD_COUNT_BOUND)
    QD_OCI10_ENTRY_POINTS(QD_COUNT_BOUND)
#undef QD_COUNT_BOUND
    return count;
}

} // namespace

TEST(ClientLibraryLoading, FullLibraryBindsEveryEntryPointAndSetsEveryFlag)
{
    const QString path = fakeClient("full");
    CallLog calls(path);
    OracleClientLibrary library(forcing(path));
    library.InitClientLibrary();
    ASSERT_TRUE(library.ClientLibraryLoaded());
    const OracleCapabilities &c = library.capabilities();
    EXPECT_TRUE(c.OCI7Available && c.OCI7LogAvailable && c.OCI7InitAvailable && c.OCI8Available
        && c.OCI81Available && c.OCI9Available && c.OCI10Available);
    EXPECT_FALSE(c.MtsAvailable);
    EXPECT_EQ(boundCount(library.entryPoints()), 20 + 1 + 1 + 114 + 17 + 1 + 6);
    EXPECT_NE(library.entryPoints().OCIEnvNlsCreate, nullptr);
    // A newer client needs neither of the old initialisation calls.
    EXPECT_EQ(calls.text(), QString());
    EXPECT_EQ(library.homes().DiagnosticLog(), QStringLiteral("OCIDLL forced to ") + path);
    // The bound pointers call into the library.
    EXPECT_EQ(
        library.entryPoints().OCIStmtExecute(nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr, 0),
        OCI_ERROR);
    EXPECT_EQ(calls.text(), QStringLiteral("OCIStmtExecute"));
}

TEST(ClientLibraryLoading, VariantsGiveTheirFlagsAndNullPointers)
{
    struct Case {
        const char *variant;
        OracleCapabilities flags;
        const char *initCalls; // calls made by the initialisation
        const char *environmentCall;
        std::function<void(const OracleEntryPoints &)> check;
    };
    auto flags = [](bool o7, bool log, bool init, bool o8, bool o81, bool o9, bool o10) {
        OracleCapabilities c;
        c.OCI7Available = o7;
        c.OCI7LogAvailable = log;
        c.OCI7InitAvailable = init;
        c.OCI8Available = o8;
        c.OCI81Available = o81;
        c.OCI9Available = o9;
        c.OCI10Available = o10;
        return c;
    };
    const Case cases[] = {
        { "no_oexn", flags(false, false, false, true, true, true, true), "",
            "OCIEnvNlsCreate(3,873,873)",
            [](const OracleEntryPoints &e) {
                EXPECT_NE(e.oexec, nullptr); // before the gap
                EXPECT_EQ(e.oexn, nullptr);
                EXPECT_EQ(e.ocom, nullptr); // after it: not even looked up
                EXPECT_EQ(e.olog, nullptr);
                EXPECT_EQ(e.opinit, nullptr);
            } },
        { "upto81", flags(true, true, true, true, true, false, false), "", "OCIEnvCreate(3)",
            [](const OracleEntryPoints &e) {
                EXPECT_EQ(e.OCIStmtFetch2, nullptr);
                EXPECT_EQ(e.OCISessionPoolCreate, nullptr);
                EXPECT_NE(e.OCIDateTimeAssign, nullptr);
            } },
        { "oci8_gap", flags(true, true, true, false, false, false, false), "opinit(0)", nullptr,
            [](const OracleEntryPoints &e) {
                EXPECT_NE(e.OCIStmtSetPieceInfo, nullptr);
                EXPECT_EQ(e.OCIStmtExecute, nullptr);
                EXPECT_EQ(e.OCIDefineByPos, nullptr);
                EXPECT_EQ(e.OCICacheFlush, nullptr);
                EXPECT_EQ(e.OCIEnvCreate, nullptr);
                EXPECT_EQ(e.OCIStmtFetch2, nullptr);
            } },
        { "oci80", flags(false, false, false, true, false, false, false), "OCIInitialize(3)",
            "OCIEnvInit(0)",
            [](const OracleEntryPoints &e) { EXPECT_EQ(e.OCIEnvCreate, nullptr); } },
        { "oci7only", flags(true, true, true, false, false, false, false), "opinit(0)", nullptr,
            [](const OracleEntryPoints &e) { EXPECT_EQ(e.OCIInitialize, nullptr); } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variant);
        const QString path = fakeClient(c.variant);
        CallLog calls(path);
        OracleClientLibrary library(forcing(path));
        library.InitClientLibrary();
        const OracleCapabilities &got = library.capabilities();
        EXPECT_EQ(got.OCI7Available, c.flags.OCI7Available);
        EXPECT_EQ(got.OCI7LogAvailable, c.flags.OCI7LogAvailable);
        EXPECT_EQ(got.OCI7InitAvailable, c.flags.OCI7InitAvailable);
        EXPECT_EQ(got.OCI8Available, c.flags.OCI8Available);
        EXPECT_EQ(got.OCI81Available, c.flags.OCI81Available);
        EXPECT_EQ(got.OCI9Available, c.flags.OCI9Available);
        EXPECT_EQ(got.OCI10Available, c.flags.OCI10Available);
        c.check(library.entryPoints());
        EXPECT_EQ(calls.text(), QString::fromLatin1(c.initCalls));

        calls.reset();
        if (c.environmentCall) {
            OCIEnv *env = library.GetSharedEnvironment();
            EXPECT_NE(env, nullptr);
            EXPECT_EQ(library.GetSharedEnvironment(), env); // one environment for all
            EXPECT_EQ(calls.text(), QString::fromLatin1(c.environmentCall));
            library.FreeSharedEnvironment();
            EXPECT_EQ(calls.text(),
                QString::fromLatin1(c.environmentCall) + QStringLiteral(";OCIHandleFree(env,1)"));
        } else {
            EXPECT_THROW(library.GetSharedEnvironment(), Exception);
        }
    }
}

TEST(ClientLibraryLoading, LibraryWithNeitherInterfaceCannotBeInitialised)
{
    const QString path = fakeClient("neither");
    OracleClientLibrary library(forcing(path));
    EXPECT_EQ(initError(library),
        QStringLiteral("Initialization error\r\nCould not initialize \"") + path
            + QStringLiteral("\"\r\n\r\nOCIDLL forced to ") + path);
    EXPECT_FALSE(library.ClientLibraryLoaded());
    EXPECT_FALSE(library.capabilities().OCI81Available);
    EXPECT_EQ(boundCount(library.entryPoints()), 0);
}

TEST(ClientLibraryLoading, FileThatIsNoLibraryFailsWithTheLogAndTheNextAttemptStartsAfresh)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("lib")));
    const QString clntsh = home.filePath(QStringLiteral("lib/libclntsh.so"));
    {
        QFile bogus(clntsh);
        ASSERT_TRUE(bogus.open(QIODevice::WriteOnly));
        bogus.write("not a shared library\n");
    }
    MapEnvironment environment;
    environment.setValue(QStringLiteral("ORACLE_HOME"), home.path());
    OracleClientLibrary library(std::make_shared<LinuxOraclePlatform>(environment, CommandLine()));

    const QString error = initError(library);
    const QString expectedStart = QStringLiteral("Initialization error\r\nCould not load \"")
        + clntsh
        + QStringLiteral("\"\r\n\r\nOracleHomeKey: SOFTWARE\\ORACLE\r\n"
                         "OracleHomeDir: ")
        + home.path() + QStringLiteral("\r\nFound: libclntsh.so\r\nUsing: ") + clntsh
        + QStringLiteral("\r\nLoadLibrary(") + clntsh + QStringLiteral(") returned 0\r\n");
    EXPECT_TRUE(error.startsWith(expectedStart)) << error.toStdString();
    EXPECT_FALSE(library.ClientLibraryLoaded());
    EXPECT_TRUE(library.homes().OCIDLL().isEmpty()); // chosen automatically, so forgotten

    // Mend the installation: the next attempt finds, loads and logs afresh.
    ASSERT_TRUE(QFile::remove(clntsh));
    ASSERT_TRUE(QFile::link(fakeClient("full"), clntsh));
    library.InitClientLibrary();
    EXPECT_TRUE(library.ClientLibraryLoaded());
    EXPECT_TRUE(library.OCI10Available());
    EXPECT_EQ(library.homes().OCIDLL(), clntsh);
    EXPECT_FALSE(library.homes().DiagnosticLog().contains(QStringLiteral("returned")));
}

TEST(ClientLibraryLoading, MissingFilesGiveTheirMessages)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("lib")));
    MapEnvironment environment;
    environment.setValue(QStringLiteral("ORACLE_HOME"), home.path());
    OracleClientLibrary emptyHome(
        std::make_shared<LinuxOraclePlatform>(environment, CommandLine()));
    EXPECT_TRUE(initError(emptyHome).startsWith(
        QStringLiteral("Initialization error\r\nCould not locate OCI dll\r\n\r\n")));

    const QString missing = home.filePath(QStringLiteral("nothing.so"));
    OracleClientLibrary forced(forcing(missing));
    EXPECT_TRUE(
        initError(forced).startsWith(QStringLiteral("Initialization error\r\nCould not load \"")
            + missing + QStringLiteral("\"\r\n\r\n")));

    // The Windows layout without any home.
    OracleClientLibrary bare(std::make_shared<FakeOraclePlatform>());
    EXPECT_TRUE(initError(bare).startsWith(
        QStringLiteral("Initialization error\r\nSQL*Net not properly installed\r\n\r\n")));
}

TEST(ClientLibraryLoading, OracleHomeLayoutIsFoundThroughDiscovery)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QDir dir(home.path());
    ASSERT_TRUE(dir.mkpath(QStringLiteral("lib")));
    ASSERT_TRUE(dir.mkpath(QStringLiteral("network/admin")));
    ASSERT_TRUE(
        QFile::copy(fakeClient("upto81"), home.filePath(QStringLiteral("lib/libclntsh.so.11.1"))));
    ASSERT_TRUE(
        QFile::link(fakeClient("full"), home.filePath(QStringLiteral("lib/libclntsh.so.19.1"))));
    auto write = [&](const QString &name, const QByteArray &text) {
        QFile file(home.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write(QStringLiteral("network/admin/tnsnames.ora"),
        "# demo\r\nDEMO.WORLD =\r\n  (DESCRIPTION =\r\n    (ADDRESS = (HOST = localhost))\r\n  "
        ")\r\n"
        "ifile =\r\n"
            + home.filePath(QStringLiteral("extra.ora")).toUtf8() + "\r\n");
    write(QStringLiteral("extra.ora"), "EXTRA = (x)\n");
    write(QStringLiteral("network/admin/sqlnet.ora"), "names.default_domain = WORLD\n");

    MapEnvironment environment;
    environment.setValue(QStringLiteral("ORACLE_HOME"), home.path());
    OracleClientLibrary library(std::make_shared<LinuxOraclePlatform>(environment, CommandLine()));
    // The alias list initialises the library on the way.
    EXPECT_EQ(library.GetTnsAliasList(),
        (QStringList { QStringLiteral("DEMO"), QStringLiteral("EXTRA") }));
    ASSERT_TRUE(library.ClientLibraryLoaded());
    EXPECT_EQ(library.homes().OCIDLL(), home.filePath(QStringLiteral("lib/libclntsh.so.19.1")));
    EXPECT_TRUE(library.OCI10Available());
    EXPECT_EQ(
        library.FindTnsNamesFile(), home.filePath(QStringLiteral("network/admin/tnsnames.ora")));

    // TNS_ADMIN wins over the home's network directory.
    QTemporaryDir admin;
    ASSERT_TRUE(admin.isValid());
    environment.setValue(QStringLiteral("TNS_ADMIN"), admin.path());
    OracleClientLibrary other(std::make_shared<LinuxOraclePlatform>(environment, CommandLine()));
    EXPECT_EQ(other.FindTnsNamesFile(), admin.filePath(QStringLiteral("tnsnames.ora")));
    EXPECT_TRUE(other.GetTnsAliasList().isEmpty());
}

TEST(ClientLibraryLoading, UnloadForgetsEverythingAndReloadBindsAgain)
{
    auto machine = std::make_shared<FakeOraclePlatform>(linuxLayout());
    machine->setValue(QStringLiteral("SOFTWARE\\ORACLE"), QStringLiteral("ORACLE_HOME"),
        QStringLiteral("/opt/ora"));
    machine->addFile(QStringLiteral("/opt/ora/lib/libclntsh.so"));
    // The fake machine's library path is not a real file: force the real fake instead.
    OracleClientLibrary library(machine);
    library.SetOCIDLL(fakeClient("full"));
    library.InitClientLibrary();
    library.GetSharedEnvironment();
    ASSERT_TRUE(library.ClientLibraryLoaded());

    library.UnloadClientLibrary();
    EXPECT_FALSE(library.ClientLibraryLoaded());
    EXPECT_FALSE(library.OCI7Available());
    EXPECT_FALSE(library.OCI8Available());
    EXPECT_EQ(boundCount(library.entryPoints()), 0);
    EXPECT_EQ(library.OCIDLL(), fakeClient("full")); // set by the program: kept
    EXPECT_EQ(machine->resolver.closes.load(), 1);

    library.InitClientLibrary();
    EXPECT_TRUE(library.OCI10Available());
    EXPECT_EQ(machine->resolver.opens.load(), 2);
    EXPECT_NE(library.GetSharedEnvironment(), nullptr);
}

TEST(ClientLibraryLoading, TwoThreadsInitialisingTogetherLoadOnce)
{
    auto machine = forcing(fakeClient("full"));
    machine->resolver.openDelay = std::chrono::milliseconds(100);
    OracleClientLibrary library(machine);
    std::atomic<int> ready { 0 };
    std::atomic<int> loadedAfter { 0 };
    auto work = [&] {
        ++ready;
        while (ready < 2)
            std::this_thread::yield();
        library.InitClientLibrary();
        loadedAfter += library.ClientLibraryLoaded() && library.OCI10Available();
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(machine->resolver.opens.load(), 1);
    EXPECT_EQ(loadedAfter.load(), 2);
}

TEST(ClientLibraryLoading, TransactionLibraryCannotBeLocatedOnLinux)
{
    const QString path = fakeClient("full");
    OracleClientLibrary library(forcing(path));
    try {
        library.LoadMtsLibrary();
        FAIL() << "expected an exception";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(),
            QStringLiteral("Initialization error\r\nCould not locate \"")
                + QStringLiteral(QD_FAKECLIENT_DIR "/oramts.dll\""));
    }
    EXPECT_FALSE(library.MtsLibraryLoaded());
    EXPECT_FALSE(library.MtsAvailable());
    EXPECT_TRUE(library.ClientLibraryLoaded()); // the client library itself is fine
}

TEST(ClientLibraryLoading, LibraryLockIsReentrantForItsOwner)
{
    OracleClientLibrary library(forcing(fakeClient("full")));
    OracleLockGuard guard(library.LibraryLock());
    library.InitClientLibrary(); // a session holding the lock may initialise
    EXPECT_TRUE(library.ClientLibraryLoaded());
}

TEST(ClientLibraryLoading, ProcessLibraryServesTheWholeProcess)
{
    const QString path = fakeClient("full");
    SetOCIDLL(path); // the program's choice, before the first load
    InitClientLibrary();
    EXPECT_TRUE(ClientLibraryLoaded());
    EXPECT_TRUE(OCICapabilities().OCI10Available);
    EXPECT_NE(OCI().OCIHandleAlloc, nullptr);
    OCIEnv *env = GetSharedEnvironment();
    EXPECT_NE(env, nullptr);
    EXPECT_EQ(GetSharedEnvironment(), env);
    UnloadClientLibrary();
    EXPECT_FALSE(ClientLibraryLoaded());
    EXPECT_EQ(OCI().OCIHandleAlloc, nullptr);
    EXPECT_EQ(OCIDLL(), path);
}

// The stand-in client library, loaded by path exactly as a user's client library is.
TEST(ClientLibraryLoading, StandinLibraryByPathAndThroughAnOracleHome)
{
    const QString standin = qd::test::standinLibraryPath();
    {
        DynamicLibrary probe;
        ASSERT_TRUE(probe.load(standin)) << probe.errorString().toStdString();
        ASSERT_NE(probe.resolve("OCIHandleAlloc"), nullptr);
    }
    OracleClientLibrary byPath(forcing(standin));
    byPath.InitClientLibrary();
    const OracleCapabilities &c = byPath.capabilities();
    EXPECT_TRUE(c.OCI7Available && c.OCI7LogAvailable && c.OCI7InitAvailable && c.OCI8Available
        && c.OCI81Available && c.OCI9Available && c.OCI10Available);
    EXPECT_EQ(boundCount(byPath.entryPoints()), 20 + 1 + 1 + 114 + 17 + 1 + 6);

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("lib")));
    ASSERT_TRUE(QFile::link(standin, home.filePath(QStringLiteral("lib/libclntsh.so"))));
    MapEnvironment environment;
    environment.setValue(QStringLiteral("ORACLE_HOME"), home.path());
    OracleClientLibrary throughHome(
        std::make_shared<LinuxOraclePlatform>(environment, CommandLine()));
    throughHome.InitClientLibrary();
    EXPECT_EQ(throughHome.OCIDLL(), home.filePath(QStringLiteral("lib/libclntsh.so")));
    EXPECT_TRUE(throughHome.OCI10Available());
}
