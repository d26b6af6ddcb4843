// File associations in temporary XDG directories.
//
// The desktop entry and the mime package are compared with the files in golden/; after a
// deliberate change regenerate them with
//   QD_UPDATE_GOLDEN=1 build/tests/test_platform --gtest_filter='Associations.*Golden*'
#include "classlib/Exception.h"
#include "common/MapEnvironment.h"
#include "common/TestSupport.h"
#include "platform/Environment.h"
#include "platform/MILAssociate.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing %1>").arg(path);
    return QString::fromUtf8(file.readAll());
}

void writeText(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

void expectGolden(const QString &name, const QString &text)
{
    const QString path = QDir(testsSourceDirectory()).filePath(QStringLiteral("platform/golden/") + name);
    if (qEnvironmentVariableIsSet("QD_UPDATE_GOLDEN"))
        writeText(path, text);
    EXPECT_EQ(text.toStdString(), readText(path).toStdString()) << name.toStdString();
}

class Associations : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        environment.setValue(QStringLiteral("HOME"), path(QStringLiteral("home")));
        environment.setValue(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        environment.setValue(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        environment.setValue(QStringLiteral("XDG_DATA_DIRS"), path(QStringLiteral("system")));
        environment.setValue(QStringLiteral("XDG_CONFIG_DIRS"), path(QStringLiteral("etc")));
        associate.SetExeName(QStringLiteral("quarlodesk"));
        associate.SetDisplayName(QStringLiteral("Quarlo Desk"));
        associate.SetAppName(QStringLiteral("QuarloDesk"));
        associate.SetPathToApp(QStringLiteral("/opt/quarlo desk/bin/quarlodesk"));
        associate.OnRunTool = [this](const QString &program, const QStringList &arguments) {
            tools.append(program + u' ' + arguments.join(u' '));
        };
    }
    QString path(const QString &relative) const { return QDir(root.path()).filePath(relative); }
    // A desktop entry of another program, in the system's data directory.
    void installOther(const QString &id, const QString &exec)
    {
        writeText(path(QStringLiteral("system/applications/") + id),
            QStringLiteral("[Desktop Entry]\nType=Application\nName=Other\nExec=%1\n").arg(exec));
    }

    QTemporaryDir root;
    MapEnvironment environment;
    TMILAssociate associate { environment };
    QStringList tools;
};

} // namespace

TEST(AssociationNames, ExtensionsAndTypes)
{
    const struct {
        const char *given;
        const char *normalized;
        const char *type;
    } cases[] = {
        { "sql", ".sql", "application/sql" },
        { ".SQL", ".SQL", "application/sql" },
        { "script.sql", ".sql", "application/sql" },
        { "TEM", ".TEM", "application/x-quarlodesk-tem" },
        { ".qdz", ".qdz", "application/x-quarlodesk-qdz" },
        { "PTP", ".PTP", "application/x-quarlodesk-ptp" },
    };
    TMILAssociate associate;
    associate.SetAppName(QStringLiteral("QuarloDesk"));
    for (const auto &c : cases) {
        EXPECT_EQ(TMILAssociate::NormalizeExtension(QLatin1String(c.given)), QLatin1String(c.normalized)) << c.given;
        EXPECT_EQ(associate.MimeType(QLatin1String(c.given)), QLatin1String(c.type)) << c.given;
    }
}

TEST(AssociationNames, ExecValueQuotesAndEscapesTheProgram)
{
    const struct {
        const char *program;
        const char *exec;
    } cases[] = {
        { "/usr/bin/quarlodesk", "\"/usr/bin/quarlodesk\" %F" },
        { "/opt/a b/qd", "\"/opt/a b/qd\" %F" },
        { "/opt/say \"hi\"/qd", "\"/opt/say \\\\\"hi\\\\\"/qd\" %F" },
        { "/opt/$HOME`x`/qd", "\"/opt/\\\\$HOME\\\\`x\\\\`/qd\" %F" },
        { "/opt/back\\slash/qd", "\"/opt/back\\\\\\\\slash/qd\" %F" },
        { "/opt/100%/qd", "\"/opt/100%%/qd\" %F" },
    };
    for (const auto &c : cases) {
        const QString exec = TMILAssociate::ExecValue(QString::fromUtf8(c.program));
        EXPECT_EQ(exec, QString::fromUtf8(c.exec)) << c.program;
    }
}

TEST_F(Associations, RegisterShellWritesTheDesktopEntryGolden)
{
    associate.RegisterShell();
    expectGolden(QStringLiteral("quarlodesk.desktop"),
        readText(path(QStringLiteral("data/applications/quarlodesk.desktop"))));
    EXPECT_EQ(tools, QStringList { QStringLiteral("update-desktop-database ") + path(QStringLiteral("data/applications")) });
}

TEST_F(Associations, AssociateWritesThePackageListsTheTypeAndMakesItTheDefaultGolden)
{
    associate.Associate(QStringLiteral("TEM"), QStringLiteral("Quarlo Desk Template file"));
    associate.Associate(QStringLiteral("sql"), QStringLiteral("SQL file"));
    expectGolden(QStringLiteral("quarlodesk-tem.xml"),
        readText(path(QStringLiteral("data/mime/packages/quarlodesk-tem.xml"))));
    expectGolden(QStringLiteral("quarlodesk-associated.desktop"),
        readText(path(QStringLiteral("data/applications/quarlodesk.desktop"))));
    // .sql keeps the desktop's own type: no package of ours.
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("data/mime/packages/quarlodesk-sql.xml"))));
    EXPECT_EQ(readText(path(QStringLiteral("config/mimeapps.list"))),
        QStringLiteral("[Default Applications]\napplication/x-quarlodesk-tem=quarlodesk.desktop;\n"
                       "application/sql=quarlodesk.desktop;\n"));
    EXPECT_EQ(tools,
        (QStringList { QStringLiteral("update-mime-database ") + path(QStringLiteral("data/mime")),
            QStringLiteral("update-desktop-database ") + path(QStringLiteral("data/applications")),
            QStringLiteral("update-desktop-database ") + path(QStringLiteral("data/applications")) }));
}

TEST_F(Associations, MimeAppsListKeepsItsOtherLines)
{
    const QString list = path(QStringLiteral("config/mimeapps.list"));
    writeText(list,
        QStringLiteral("# mine\n[Added Associations]\napplication/sql=editor.desktop;\n\n"
                       "[Default Applications]\ntext/plain=editor.desktop;\napplication/sql=other.desktop;\n"
                       "\n[Removed Associations]\nimage/png=viewer.desktop;\n"));
    associate.Associate(QStringLiteral(".sql"), QStringLiteral("SQL file"));
    associate.Associate(QStringLiteral("qdk"), QStringLiteral("Quarlo Desk Workspace file"));
    EXPECT_EQ(readText(list),
        QStringLiteral("# mine\n[Added Associations]\napplication/sql=editor.desktop;\n\n"
                       "[Default Applications]\ntext/plain=editor.desktop;\n"
                       "application/sql=quarlodesk.desktop;\n"
                       "application/x-quarlodesk-qdk=quarlodesk.desktop;\n"
                       "\n[Removed Associations]\nimage/png=viewer.desktop;\n"));
}

TEST_F(Associations, IsAssociatedFollowsTheTypesDefaultEntry)
{
    installOther(QStringLiteral("editor.desktop"), QStringLiteral("/usr/bin/editor %F"));
    installOther(QStringLiteral("renamed.desktop"), QStringLiteral("\"/opt/quarlo desk/bin/quarlodesk\" %U"));
    writeText(path(QStringLiteral("config/mimeapps.list")),
        QStringLiteral("[Default Applications]\n"
                       "application/sql=editor.desktop;\n"
                       "application/x-quarlodesk-tem=notinstalled.desktop;renamed.desktop;\n"
                       "application/x-quarlodesk-qdz=notinstalled.desktop;\n"));
    // The system's list speaks only where the user's says nothing.
    writeText(path(QStringLiteral("etc/mimeapps.list")),
        QStringLiteral("[Default Applications]\napplication/x-quarlodesk-ptp=renamed.desktop\n"
                       "application/sql=renamed.desktop\n"));
    const struct {
        const char *extension;
        bool associated;
    } cases[] = {
        { "sql", false }, // another program's default
        { "TEM", true }, // the first installed entry runs this program
        { "qdz", false }, // its entry is not installed
        { "ptp", true }, // from the system's list
        { "qdk", false }, // no default at all
    };
    for (const auto &c : cases)
        EXPECT_EQ(associate.IsAssociated(QLatin1String(c.extension)), c.associated) << c.extension;

    associate.Associate(QStringLiteral("sql"), QStringLiteral("SQL file"));
    associate.Associate(QStringLiteral("qdk"), QStringLiteral("Quarlo Desk Workspace file"));
    EXPECT_TRUE(associate.IsAssociated(QStringLiteral(".sql")));
    EXPECT_TRUE(associate.IsAssociated(QStringLiteral("QDK")));

    // Another copy of the program elsewhere is not this program.
    TMILAssociate elsewhere(environment);
    elsewhere.SetAppName(QStringLiteral("QuarloDesk"));
    elsewhere.SetPathToApp(QStringLiteral("/usr/bin/quarlodesk"));
    EXPECT_FALSE(elsewhere.IsAssociated(QStringLiteral("sql")));
}

TEST_F(Associations, TheEntryKeepsItsTypesWhenRegisteredAgain)
{
    associate.Associate(QStringLiteral("qdz"), QStringLiteral("Quarlo Desk Wizard file"));
    associate.SetPathToApp(QStringLiteral("/usr/local/bin/quarlodesk"));
    associate.RegisterShell();
    const QString entry = readText(path(QStringLiteral("data/applications/quarlodesk.desktop")));
    EXPECT_TRUE(entry.contains(QStringLiteral("\nMimeType=application/x-quarlodesk-qdz;\n"))) << entry.toStdString();
    EXPECT_TRUE(entry.contains(QStringLiteral("\nExec=\"/usr/local/bin/quarlodesk\" %F\n"))) << entry.toStdString();
    EXPECT_TRUE(associate.IsAssociated(QStringLiteral("qdz")));
}

TEST_F(Associations, DescriptionsAreEscapedInThePackage)
{
    associate.Associate(QStringLiteral("qdk"), QStringLiteral("<Workspace> & \"more\""));
    const QString package = readText(path(QStringLiteral("data/mime/packages/quarlodesk-qdk.xml")));
    EXPECT_TRUE(package.contains(QStringLiteral("<comment>&lt;Workspace&gt; &amp; &quot;more&quot;</comment>")))
        << package.toStdString();
}

TEST_F(Associations, FailuresAreReportedAndLoseNothing)
{
    const QString list = path(QStringLiteral("config/mimeapps.list"));
    // Too large to be read whole: refused rather than rewritten without its end.
    writeText(list, QStringLiteral("[Default Applications]\n") + QString(TMILAssociate::MaxConfigFileSize, u'#'));
    EXPECT_THROW(associate.Associate(QStringLiteral("sql"), QStringLiteral("SQL file")), Exception);
    EXPECT_EQ(QFileInfo(list).size(), TMILAssociate::MaxConfigFileSize + 23);

    TMILAssociate unknown(environment);
    EXPECT_THROW(unknown.RegisterShell(), Exception);
    EXPECT_FALSE(unknown.IsAssociated(QStringLiteral("sql")));
}
