// The main window on the desktop: help and F1, files dropped or handed over from outside,
// the watch over the script directories, and the start-up's file association offer.
#include "shell/MainWindowFixture.h"

#include "platform/DirChangeNotify.h"
#include "platform/MILAssociate.h"
#include "platform/ShellOpen.h"
#include "shell/FileDrop.h"
#include "shell/HtmlHelp.h"
#include "shell/Settings.h"

#include <QMimeData>
#include <QUrl>

using namespace qd;
using namespace qd::test;

namespace {

class RecordingShellOpen : public ShellOpen {
public:
    bool openUrl(const QUrl &url) override
    {
        urls.append(url);
        return true;
    }
    QList<QUrl> urls;
};

QString shippedHelp()
{
    return QDir::cleanPath(testsSourceDirectory() + QStringLiteral("/../data/HTML"));
}

void removeContents(const QString &directory)
{
    QDir dir(directory);
    for (const QString &entry : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString path = dir.filePath(entry);
        if (QFileInfo(path).isDir())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}

class Desktop : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ShellOpen::setCurrent(&shell);
        SetHelpDirectory(shippedHelp());
        windowFactories().WizardEditor = [this](QWidget *, const QString &file) {
            requests.append({ QStringLiteral("Wizard"), {}, file });
            return new QWidget;
        };
        // The desktop's places are the test run's own; each test starts them empty.
        removeContents(qEnvironmentVariable("XDG_DATA_HOME"));
        removeContents(qEnvironmentVariable("XDG_CONFIG_HOME"));
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        ShellOpen::setCurrent(nullptr);
        SetHelpDirectory(QString());
    }
    void showMain()
    {
        main().show();
        QTest::qWait(50); // the first showing's work runs once the window is up
    }
    QStringList openedFiles() const
    {
        QStringList files;
        for (const WindowRequest &request : requests)
            files.append(request.kind + u':' + request.file);
        return files;
    }
    // Drags urls over the main window and drops them; whether the window took the drag.
    bool drop(const QList<QUrl> &urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = main().rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&main(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&main(), &dropped);
        return dropped.isAccepted();
    }

    RecordingShellOpen shell;
};

} // namespace

TEST(Help, ShippedTopicsAreFoundAndKeywordsStayInsideTheHelpFolder)
{
    SetHelpDirectory(shippedHelp());
    for (const char *topic : { "contents", "gettingstarted", "logon_window", "index", "options_window" })
        EXPECT_FALSE(HelpTopicFile(QLatin1String(topic)).isEmpty()) << topic;
    for (const char *keyword : { "", "../HTML/contents", "contents.htm", "/etc/passwd", "no_such_topic" })
        EXPECT_TRUE(HelpTopicFile(QLatin1String(keyword)).isEmpty()) << keyword;
    SetHelpDirectory(QString());
}

TEST_F(Desktop, F1OnTheLogonDialogOpensItsTopic)
{
    start();
    showMain();
    whileLogonShown([&] { main().MainAction(QStringLiteral("SQL1"))->trigger(); }, [&] {
        QLineEdit *user = control<QLineEdit>("edt_username");
        user->setFocus();
        QTest::keyClick(user, Qt::Key_F1);
        logon().reject();
    });
    ASSERT_EQ(shell.urls.size(), 1);
    EXPECT_TRUE(shell.urls[0].isLocalFile());
    EXPECT_TRUE(shell.urls[0].toLocalFile().endsWith(QStringLiteral("/HTML/logon_window.htm")))
        << shell.urls[0].toString().toStdString();
    EXPECT_EQ(shell.urls[0].toLocalFile(), QDir(shippedHelp()).filePath(QStringLiteral("logon_window.htm")));

    // On the main window itself: its own topic.
    QTest::keyClick(&main(), Qt::Key_F1);
    ASSERT_EQ(shell.urls.size(), 2);
    EXPECT_TRUE(shell.urls[1].toLocalFile().endsWith(QStringLiteral("/HTML/index.htm")));
}

TEST_F(Desktop, WithoutHelpNothingOpensAndNothingComplains)
{
    QTemporaryDir empty;
    SetHelpDirectory(empty.path());
    start();
    showMain();
    whileLogonShown([&] { main().MainAction(QStringLiteral("SQL1"))->trigger(); }, [&] {
        QTest::keyClick(control<QLineEdit>("edt_username"), Qt::Key_F1);
        logon().reject();
    });
    main().MainAction(QStringLiteral("Contents1"))->trigger();
    SetHelpDirectory(QDir(empty.path()).filePath(QStringLiteral("HTML")));
    main().MainAction(QStringLiteral("GettingStarted1"))->trigger();
    EXPECT_TRUE(shell.urls.isEmpty());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(Desktop, HelpMenuOpensContentsAndGettingStarted)
{
    start();
    main().MainAction(QStringLiteral("Contents1"))->trigger();
    main().MainAction(QStringLiteral("GettingStarted1"))->trigger();
    ASSERT_EQ(shell.urls.size(), 2);
    EXPECT_EQ(shell.urls[0].toLocalFile(), QDir(shippedHelp()).filePath(QStringLiteral("contents.htm")));
    EXPECT_EQ(shell.urls[1].toLocalFile(), QDir(shippedHelp()).filePath(QStringLiteral("gettingstarted.htm")));
}

TEST_F(Desktop, ThreeDroppedFilesOpenInDropOrderByType)
{
    start();
    showMain();
    EXPECT_TRUE(drop({ QUrl::fromLocalFile(QStringLiteral("/tmp/c.sql")),
        QUrl::fromLocalFile(QStringLiteral("/tmp/a.qdz")),
        QUrl(QStringLiteral("https://example.org/page.sql")),
        QUrl::fromLocalFile(QStringLiteral("/tmp/b.sql")) }));
    EXPECT_EQ(openedFiles(),
        (QStringList { QStringLiteral("SQL:/tmp/c.sql"), QStringLiteral("Wizard:/tmp/a.qdz"),
            QStringLiteral("SQL:/tmp/b.sql") }));
    EXPECT_EQ(main().MainWindowFileDrop()->Files().size(), 3);

    // Only web addresses: no files, so the window does not take the drag.
    requests.clear();
    EXPECT_FALSE(drop({ QUrl(QStringLiteral("https://example.org/x.sql")) }));
    EXPECT_TRUE(requests.isEmpty());
}

TEST_F(Desktop, FilesFromOutsideWaitForTheWindowThenEachOpensOnItsOwn)
{
    start({ QStringLiteral("/tmp/first.qdz"), QStringLiteral("/tmp/second.sql") });
    main().OpenFilesFromOutside({ QStringLiteral("/tmp/handed.sql") });
    EXPECT_TRUE(requests.isEmpty());
    EXPECT_EQ(main().FilesToOpen().size(), 3);
    showMain();
    QTRY_COMPARE(requests.size(), 3);
    EXPECT_EQ(openedFiles(),
        (QStringList { QStringLiteral("Wizard:/tmp/first.qdz"), QStringLiteral("SQL:/tmp/second.sql"),
            QStringLiteral("SQL:/tmp/handed.sql") }));
    EXPECT_TRUE(main().FilesToOpen().isEmpty());

    // One that fails is reported; the others still open.
    windowFactories().WizardEditor = [](QWidget *, const QString &) -> QWidget * {
        throw Exception(QStringLiteral("Cannot read the wizard file."));
    };
    requests.clear();
    main().OpenFilesFromOutside({ QStringLiteral("/tmp/bad.qdz"), QStringLiteral("/tmp/good.sql") });
    EXPECT_EQ(openedFiles(), QStringList { QStringLiteral("SQL:/tmp/good.sql") });
    EXPECT_TRUE(messages.contains(QStringLiteral("Cannot read the wizard file."))) << messages.join(u'\n').toStdString();

    // Nothing handed over: nothing opens.
    requests.clear();
    main().OpenFilesFromOutside({});
    EXPECT_TRUE(requests.isEmpty());
}

TEST_F(Desktop, AChangeInAWatchedDirectoryRefreshesTheWorksheetsFileTrees)
{
    QTemporaryDir scripts;
    QTemporaryDir templates;
    writeFile(QStringLiteral("QuarloDesk.Ini"),
        QStringLiteral("[SQL]\nSQLDir=%1\nTemplateDir=%2\n").arg(scripts.path(), templates.path()).toUtf8());
    start();
    ASSERT_NE(main().DirectoryWatcher(), nullptr);
    EXPECT_EQ(main().DirectoryWatcher()->Directories(), (QStringList { scripts.path(), templates.path() }));
    showMain();
    main().OpenOrActivateFile(QStringLiteral("/tmp/one.sql"), {}, {}, {});
    main().OpenOrActivateFile(QStringLiteral("/tmp/two.sql"), {}, {}, {});
    ASSERT_EQ(worksheets.size(), 2);
    QTest::qWait(300);
    QDir().mkpath(QDir(templates.path()).filePath(QStringLiteral("sub")));
    QFile made(QDir(templates.path()).filePath(QStringLiteral("sub/new.tem")));
    ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    made.close();
    QTRY_VERIFY(worksheets[0]->treeRefreshes > 0 && worksheets[1]->treeRefreshes > 0);

    // The window going away stops the watcher.
    QPointer<TDirWaitThread> watcher = main().DirectoryWatcher();
    program.reset();
    EXPECT_TRUE(watcher.isNull());
}

TEST_F(Desktop, NoDirectoriesNoWatching)
{
    start();
    ASSERT_NE(main().DirectoryWatcher(), nullptr);
    EXPECT_TRUE(main().DirectoryWatcher()->wait(2000));
}

TEST_F(Desktop, StartUpRegistersTheProgramAndOffersWhatIsNotAssociated)
{
    QList<QStringList> offers;
    windowFactories().FileAssociate = [&](QWidget *, TMILAssociate &, TSettings &,
                                          const QStringList &extensions, const QStringList &) {
        offers.append(extensions);
        return int(QDialog::Rejected);
    };
    start();
    const QString entry = QDir(qEnvironmentVariable("XDG_DATA_HOME")).filePath(QStringLiteral("applications/quarlodesk.desktop"));
    ASSERT_TRUE(QFileInfo::exists(entry));
    EXPECT_TRUE(main().Settings().FindSetting(QStringLiteral("AppShellRegistered"))->Value().toBool());
    EXPECT_EQ(main().MILAssociate1().PathToApp(), QCoreApplication::applicationFilePath());
    ASSERT_EQ(offers.size(), 1);
    EXPECT_EQ(offers[0], (QStringList { QStringLiteral("SQL"), QStringLiteral("QDK"), QStringLiteral("TEM"),
                             QStringLiteral("QDZ"), QStringLiteral("PTP") }));

    // Two types associated: the offer leaves them out.
    main().MILAssociate1().Associate(QStringLiteral("QDK"), QStringLiteral("Quarlo Desk Workspace file"));
    main().MILAssociate1().Associate(QStringLiteral("SQL"), QStringLiteral("SQL file"));
    program.reset();
    start();
    ASSERT_EQ(offers.size(), 2);
    EXPECT_EQ(offers[1], (QStringList { QStringLiteral("TEM"), QStringLiteral("QDZ"), QStringLiteral("PTP") }));

    // All associated: no offer.
    for (const char *extension : { "TEM", "QDZ", "PTP" })
        main().MILAssociate1().Associate(QLatin1String(extension), QStringLiteral("file"));
    program.reset();
    start();
    EXPECT_EQ(offers.size(), 2);

    // The offer turned off: none either, whatever is associated.
    removeContents(qEnvironmentVariable("XDG_CONFIG_HOME"));
    main().Settings().FindSetting(QStringLiteral("CheckAssociation"))->SetValue(false);
    main().Settings().SaveSettings();
    program.reset();
    start();
    EXPECT_EQ(offers.size(), 2);
}

TEST_F(Desktop, WithoutTheProgramsDialogTheDesktopIsLeftAlone)
{
    start();
    EXPECT_TRUE(QDir(qEnvironmentVariable("XDG_DATA_HOME")).isEmpty());
    EXPECT_FALSE(main().Settings().FindSetting(QStringLiteral("AppShellRegistered"))->Value().toBool());
}
