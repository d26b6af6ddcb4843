#include "classlib/Exception.h"
#include "common/MapEnvironment.h"
#include "platform/CommandLine.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/LinuxOraclePlatform.h"
#include "platform/ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

namespace {

using test::MapEnvironment;

// Counts what passes through the seam and refuses one path.
class RecordingResolver : public LibraryResolver {
public:
    Handle open(const QString &path, QString *error) override
    {
        ++opens;
        if (path == QLatin1String("refused")) {
            *error = QStringLiteral("refused by the test");
            return nullptr;
        }
        return LibraryResolver::system().open(path, error);
    }
    void *symbol(Handle handle, const char *name) override
    {
        return LibraryResolver::system().symbol(handle, name);
    }
    void close(Handle handle) override
    {
        ++closes;
        LibraryResolver::system().close(handle);
    }
    int opens = 0;
    int closes = 0;
};

} // namespace

TEST(CommandLine, NameValueLookUp)
{
    const CommandLine line({ QStringLiteral("-style"), QStringLiteral("ociDLL=/opt/a.so"),
        QStringLiteral("OCIDLL=/opt/b.so"), QStringLiteral("OCIDLLX=/x"),
        QStringLiteral("ORACLEHOME="), QStringLiteral("long=") + QString(300, 'v') });
    struct Case {
        const char *name;
        QString value;
    };
    const Case cases[] = {
        { "OCIDLL", QStringLiteral("/opt/a.so") }, // the first one, names without case
        { "ocidllx", QStringLiteral("/x") }, { "ORACLEHOME", QString() },
        { "style", QString() }, // "-style" does not begin with "style="
        { "missing", QString() },
        { "long", QString(CommandLine::MaxValueLength, 'v') }, // cut at 255 characters
    };
    for (const Case &c : cases)
        EXPECT_EQ(line.value(QString::fromLatin1(c.name)), c.value) << c.name;
}

TEST(CommandLine, ProcessParametersLeaveOutTheProgram)
{
    const QStringList parameters = CommandLine::process().parameters();
    EXPECT_EQ(parameters.size(), QCoreApplication::arguments().size() - 1);
}

TEST(Environment, ProcessVariablesRoundTrip)
{
    Environment &environment = Environment::process();
    const QString name = QStringLiteral("QD_PLATFORM_TEST_VARIABLE");
    environment.setValue(name, QStringLiteral("välue"));
    EXPECT_TRUE(environment.contains(name));
    EXPECT_EQ(environment.value(name), QStringLiteral("välue"));
    environment.remove(name);
    EXPECT_FALSE(environment.contains(name));
    EXPECT_TRUE(environment.value(name).isEmpty());
}

TEST(ProgramDirectory, QdHomeIsUsedAndCreatedOnDemand)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    MapEnvironment environment;
    environment.setValue(QStringLiteral("QD_HOME"), base.filePath(QStringLiteral("a/b/")));
    environment.setValue(QStringLiteral("HOME"), base.filePath(QStringLiteral("home")));
    EXPECT_FALSE(QFileInfo::exists(base.filePath(QStringLiteral("a/b"))));
    EXPECT_EQ(ProgramDirectory::path(environment), base.filePath(QStringLiteral("a/b")));
    EXPECT_TRUE(QFileInfo(base.filePath(QStringLiteral("a/b"))).isDir());

    environment.remove(QStringLiteral("QD_HOME"));
    EXPECT_EQ(ProgramDirectory::path(environment),
        base.filePath(QStringLiteral("home/.config/QuarloDesk")));
    EXPECT_TRUE(QFileInfo(base.filePath(QStringLiteral("home/.config/QuarloDesk"))).isDir());
}

TEST(ProgramDirectory, ProcessDirectoryIsTheTestsOwn)
{
    EXPECT_EQ(ProgramDirectory::path(), QDir::cleanPath(qEnvironmentVariable("QD_HOME")));
    EXPECT_EQ(ProgramDirectory::filePath(QStringLiteral("x.ini")),
        QDir::cleanPath(qEnvironmentVariable("QD_HOME")) + QStringLiteral("/x.ini"));
}

TEST(ProgramDirectory, UncreatableDirectoryIsAnError)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    QFile blocker(base.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MapEnvironment environment;
    environment.setValue(QStringLiteral("QD_HOME"), base.filePath(QStringLiteral("file/sub")));
    EXPECT_THROW(ProgramDirectory::path(environment), Exception);
}

TEST(DynamicLibrary, LoadsResolvesAndUnloadsThroughTheSeam)
{
    RecordingResolver resolver;
    {
        DynamicLibrary library(resolver);
        ASSERT_TRUE(library.load(QStringLiteral("libm.so.6")))
            << library.errorString().toStdString();
        auto cosine = library.resolve<double (*)(double)>("cos");
        ASSERT_NE(cosine, nullptr);
        EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
        EXPECT_EQ(library.resolve("no_such_symbol_here"), nullptr);

        DynamicLibrary moved(std::move(library));
        EXPECT_FALSE(library.isLoaded());
        EXPECT_TRUE(moved.isLoaded());
        EXPECT_EQ(resolver.closes, 0);
    }
    EXPECT_EQ(resolver.opens, 1);
    EXPECT_EQ(resolver.closes, 1); // once, by the object that owned it last
}

TEST(DynamicLibrary, FailuresCarryTheReason)
{
    RecordingResolver resolver;
    DynamicLibrary library(resolver);
    EXPECT_FALSE(library.load(QStringLiteral("refused")));
    EXPECT_EQ(library.errorString(), QStringLiteral("refused by the test"));
    EXPECT_EQ(library.resolve("anything"), nullptr);

    DynamicLibrary real;
    EXPECT_FALSE(real.load(QStringLiteral("/nonexistent/libnothing.so")));
    EXPECT_TRUE(real.errorString().contains(QStringLiteral("libnothing.so")))
        << real.errorString().toStdString();
}

TEST(LinuxOraclePlatform, OracleHomeStandsInForTheRegistry)
{
    MapEnvironment environment;
    environment.setValue(QStringLiteral("ORACLE_HOME"), QStringLiteral("/opt/oracle"));
    LinuxOraclePlatform platform(environment, CommandLine({ QStringLiteral("OCIDLL=/x.so") }));
    using Root = OraclePlatform::RegistryRoot;
    EXPECT_EQ(platform.readRegistryString(Root::LocalMachine, QStringLiteral("SOFTWARE\\ORACLE"),
                  QStringLiteral("ORACLE_HOME")),
        QStringLiteral("/opt/oracle"));
    EXPECT_TRUE(platform
                    .readRegistryString(Root::LocalMachine,
                        QStringLiteral("SOFTWARE\\ORACLE\\HOME0"), QStringLiteral("ORACLE_HOME"))
                    .isEmpty());
    EXPECT_TRUE(platform
                    .readRegistryString(Root::CurrentUser, QStringLiteral("SOFTWARE\\ORACLE"),
                        QStringLiteral("ORACLE_HOME"))
                    .isEmpty());
    EXPECT_TRUE(platform.listRegistrySubKeys(Root::LocalMachine, QStringLiteral("SOFTWARE\\ORACLE"))
                    .isEmpty());
    EXPECT_EQ(platform.commandLineParameters(), QStringList { QStringLiteral("OCIDLL=/x.so") });
    EXPECT_EQ(platform.layout().primaryLibrary, QStringLiteral("libclntsh.so"));
}

TEST(LinuxOraclePlatform, FilesListsAndLines)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const char *name, const QByteArray &data) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    };
    write("libclntsh.so", "");
    write("libclntsh.so.19.1", "");
    write("libclntsh.so.12.1", "");
    write("other.so", "");
    write("crlf.ora", "one\r\ntwo\r\n\r\nfour");
    write("lf.ora", "one\ntwo\n");
    write("bom.ora", "\xEF\xBB\xBFone\r\ntwo");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("adir")));
    MapEnvironment environment;
    LinuxOraclePlatform platform(environment, CommandLine());

    QStringList versioned
        = platform.listFiles(dir.path() + QLatin1Char('/'), QStringLiteral("libclntsh.so.*"));
    versioned.sort();
    EXPECT_EQ(versioned,
        (QStringList { QStringLiteral("libclntsh.so.12.1"), QStringLiteral("libclntsh.so.19.1") }));
    EXPECT_TRUE(platform.fileExists(dir.filePath(QStringLiteral("libclntsh.so"))));
    EXPECT_FALSE(platform.fileExists(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(platform.fileExists(QString()));

    EXPECT_EQ(platform.readTextLines(dir.filePath(QStringLiteral("crlf.ora"))),
        (QStringList {
            QStringLiteral("one"), QStringLiteral("two"), QString(), QStringLiteral("four") }));
    EXPECT_EQ(platform.readTextLines(dir.filePath(QStringLiteral("lf.ora"))),
        (QStringList { QStringLiteral("one"), QStringLiteral("two") }));
    EXPECT_TRUE(platform.readTextLines(dir.filePath(QStringLiteral("missing"))).isEmpty());
    EXPECT_EQ(platform.readTextLines(dir.filePath(QStringLiteral("bom.ora"))),
        (QStringList { QStringLiteral("one"), QStringLiteral("two") }));
    EXPECT_THROW(platform.readTextLines(dir.filePath(QStringLiteral("adir"))), Exception);

    QFile huge(dir.filePath(QStringLiteral("huge.ora")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(LinuxOraclePlatform::MaxTextFileSize + 1));
    huge.close();
    EXPECT_THROW(platform.readTextLines(huge.fileName()), Exception);
}

TEST(LinuxOraclePlatform, DefaultReadsTheProcessCommandLine)
{
    LinuxOraclePlatform platform;
    QStringList expected = QCoreApplication::arguments();
    expected.removeFirst();
    EXPECT_EQ(platform.commandLineParameters(), expected);
}
