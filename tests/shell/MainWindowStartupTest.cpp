#include "MainWindowFixture.h"

#include "classlib/IniFile.h"
#include "oracle/QStringPrinter.h"
#include "shell/AccountList.h"
#include "shell/MRUList.h"

#include <QMenu>
#include <QMenuBar>

using namespace qd;
using namespace qd::test;

namespace {

using MainWindowStartup = MainWindowTest;

TEST_F(MainWindowStartup, MissingFilesGiveDefaults)
{
    start();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(main().windowTitle(), QStringLiteral("Quarlo Desk"));
    EXPECT_TRUE(main().windowState().testFlag(Qt::WindowMaximized));
    // Settings at their defaults: the recent lists keep ten entries.
    EXPECT_EQ(main().RecentFiles().MaxCount(), 10);
    EXPECT_EQ(main().RecentLogons().MaxCount(), 10);
    EXPECT_EQ(main().Settings().FindSetting(QStringLiteral("SaveSQLHistory"))->Value().toBool(), true);
    EXPECT_TRUE(main().SQLKeywords().isEmpty());
    EXPECT_EQ(main().AccountFileName(), QDir(programDirectory()).filePath(QStringLiteral("QuarloDeskAccounts.dat")));
    // The logon dialog: sorted by database, at its designed size.
    EXPECT_TRUE(control<QRadioButton>("rbByInstance")->isChecked());
    EXPECT_GT(logon().height(), 100);
    // The database box lists the network aliases, the default domain stripped.
    EXPECT_EQ(main().AliasList(), (QStringList { QStringLiteral("DEMO"), QStringLiteral("sales.world") }));
    // The menus that are disabled in the design are enabled once started; security stays off.
    for (const char *name : { "File1", "Edit1", "Options1", "Wizard1", "Tools1", "Window1", "Help1" })
        EXPECT_TRUE(main().Menu(QLatin1String(name))->isEnabled()) << name;
    EXPECT_FALSE(main().MainAction(QStringLiteral("LockQuarloDesk1"))->isEnabled());
    EXPECT_FALSE(main().MainAction(QStringLiteral("ShutOffSecuredFeatures1"))->isEnabled());
    EXPECT_FALSE(main().SecurityActive());
    EXPECT_EQ(main().MainAction(QStringLiteral("Redo1"))->shortcut(),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
}

TEST_F(MainWindowStartup, SettingsAndListsAreRead)
{
    writeFile(QStringLiteral("QuarloDesk.Ini"), "[General]\nMRUListKeep=3\nLogonMRUListKeep=0\n");
    writeFile(QStringLiteral("SQLKeywords.txt"), "SELECT\r\nFROM\r\n");
    writeFile(QStringLiteral("hints.txt"), "FIRST_ROWS\n");
    {
        TMRUList files;
        files.SetFileName(TMRUList::recentFilesFileName());
        for (const char *name : { "a.sql", "b.sql", "c.sql", "d.sql" })
            files.Add(0, QLatin1String(name), QLatin1String(name), {}, {}, {}, {}, {}, false);
        files.SaveToFile();
    }
    start();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(main().RecentFiles().MaxCount(), 3);
    ASSERT_EQ(main().RecentFiles().Count(), 3);
    EXPECT_EQ(main().RecentFiles().Items(0).Path, QStringLiteral("a.sql"));
    EXPECT_EQ(main().RecentLogons().MaxCount(), 0);
    EXPECT_EQ(main().SQLKeywords(), (QStringList { QStringLiteral("SELECT"), QStringLiteral("FROM") }));
    EXPECT_TRUE(main().PLSQLKeywords().isEmpty());
    EXPECT_EQ(main().Hints(), QStringList { QStringLiteral("FIRST_ROWS") });
}

// A step that fails is reported and the steps after it still run.
TEST_F(MainWindowStartup, EachStepIsGuardedOnItsOwn)
{
    writeFile(QStringLiteral("MRU.dat"), QByteArray(100, 'x')); // not a whole record
    {
        TMRUList logons;
        logons.SetFileName(TMRUList::recentLogonsFileName());
        logons.Add(2, QStringLiteral("SQL-DEMO@DEMO"), QStringLiteral("SQL"), {}, {},
            QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("NORMAL"), true);
        logons.SaveToFile();
    }
    ASSERT_TRUE(QDir(programDirectory()).mkdir(QStringLiteral("SQLKeywords.txt"))); // unreadable
    writeFile(QStringLiteral("PLSQLKeywords.txt"), "BEGIN\nEND\n");
    {
        TIniFile state(TMDIMainForm::formStateFileName());
        state.WriteInteger(QStringLiteral("TMDIMainForm"), QStringLiteral("Width"), 640);
        state.WriteInteger(QStringLiteral("TMDIMainForm"), QStringLiteral("Height"), 480);
        state.WriteString(QStringLiteral("TMDIMainForm"), QStringLiteral("WindowState"), QStringLiteral("wsNormal"));
    }
    start();
    ASSERT_EQ(messages.size(), 2) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("MRU.dat"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[1].contains(QStringLiteral("SQLKeywords.txt"))) << messages[1].toStdString();
    EXPECT_EQ(main().RecentFiles().Count(), 0);
    EXPECT_EQ(main().RecentLogons().Count(), 1);
    EXPECT_TRUE(main().SQLKeywords().isEmpty());
    EXPECT_EQ(main().PLSQLKeywords(), (QStringList { QStringLiteral("BEGIN"), QStringLiteral("END") }));
    EXPECT_FALSE(main().windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(main().size(), QSize(640, 480));
    // The damaged file is not overwritten by the empty list at the end of the run.
    program.reset();
    EXPECT_EQ(QFileInfo(QDir(programDirectory()).filePath(QStringLiteral("MRU.dat"))).size(), 100);
}

TEST_F(MainWindowStartup, ClientOptionsAreNoFilesToOpen)
{
    EXPECT_EQ(QuarloDeskProgram::FileArguments({ QStringLiteral("OCIDLL=/x/libclntsh.so"),
                  QStringLiteral("oraclehome=Home1"), QStringLiteral("/tmp/a=b.sql"),
                  QStringLiteral("script.sql") }),
        (QStringList { QStringLiteral("/tmp/a=b.sql"), QStringLiteral("script.sql") }));
}

// The command-line file opens by its type once the window is first shown: a wizard file in
// the wizard editor, not in a worksheet.
TEST_F(MainWindowStartup, CommandLineFileOpensByTypeWhenShown)
{
    windowFactories().WizardEditor = [this](QWidget *, const QString &file) {
        requests.append({ QStringLiteral("Wizard"), {}, file });
        return new QWidget;
    };
    start({ QStringLiteral("OCIDLL=/nowhere/lib.so"), QStringLiteral("/tmp/new.qdz") });
    EXPECT_EQ(main().FileToOpen(), QStringLiteral("/tmp/new.qdz"));
    EXPECT_TRUE(requests.isEmpty());
    main().show();
    QTRY_COMPARE(requests.size(), 1);
    EXPECT_EQ(requests[0].kind, QStringLiteral("Wizard"));
    EXPECT_EQ(requests[0].file, QStringLiteral("/tmp/new.qdz"));
    EXPECT_TRUE(main().FileToOpen().isEmpty());
    EXPECT_EQ(children().size(), 1);
    EXPECT_EQ(main().RecentFiles().Items(0).Path, QStringLiteral("/tmp/new.qdz"));
}

// Shut-down saves the placement and writes the recent lists; child windows are closed first
// and log their sessions off.
TEST_F(MainWindowStartup, ClosesCleanly)
{
    start();
    main().show();
    main().OpenOrActivateFile(QStringLiteral("/tmp/x.sql"), {}, {}, {});
    ASSERT_EQ(children().size(), 1);
    TLogonValues demo { QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("DEMO"), {} };
    main().AddMdiChild(windowFactories().Worksheet(&main(), demo, {}, false));
    ASSERT_EQ(worksheets.size(), 2);
    ASSERT_TRUE(worksheets[1]->session.Connected());

    // A child that refuses keeps the program open.
    worksheets[0]->refuseClose = true;
    EXPECT_FALSE(main().close());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(children().size(), 1);
    EXPECT_TRUE(worksheets[1].isNull()); // closed and deleted: its session logged off with it

    worksheets[0]->refuseClose = false;
    EXPECT_TRUE(main().close());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(children().isEmpty());
    EXPECT_TRUE(worksheets[0].isNull());
    program.reset();

    TMRUList files;
    files.SetFileName(TMRUList::recentFilesFileName());
    files.LoadFromFile();
    ASSERT_EQ(files.Count(), 1);
    EXPECT_EQ(files.Items(0).Path, QStringLiteral("/tmp/x.sql"));
    TIniFile state(TMDIMainForm::formStateFileName());
    EXPECT_EQ(state.ReadString(QStringLiteral("TMDIMainForm"), QStringLiteral("WindowState"), {}),
        QStringLiteral("wsMaximized"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

} // namespace
