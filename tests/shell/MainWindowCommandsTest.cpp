#include "MainWindowFixture.h"

#include "oracle/QStringPrinter.h"
#include "shell/AccountList.h"
#include "classlib/IniFile.h"
#include "shell/EditCommands.h"
#include "shell/MainSettings.h"
#include "shell/MRUList.h"

#include <QClipboard>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStandardItemModel>
#include <QTableView>

using namespace qd;
using namespace qd::test;

namespace {

using MainWindowCommands = MainWindowTest;

const QString Ora = QStringLiteral("ORA");

// Opening a file: the same name activates the worksheet that holds it and reloads it; a name
// that differs in letter case is another file.
TEST_F(MainWindowCommands, OpenOrActivateFile)
{
    start();
    main().show();
    const QString file = QStringLiteral("/tmp/Report.sql");
    main().OpenOrActivateFile(file, {}, {}, {});
    main().OpenOrActivateFile(QStringLiteral("/tmp/other.sql"), {}, {}, {});
    ASSERT_EQ(worksheets.size(), 2);
    EXPECT_EQ(requests[0].file, file);
    EXPECT_TRUE(requests[0].logon.Database.isEmpty());

    main().OpenOrActivateFile(file, QStringLiteral("DEMO"), QStringLiteral("DEMO"), {});
    EXPECT_EQ(worksheets.size(), 2);
    EXPECT_EQ(worksheets[0]->reopened, (QList<std::pair<QString, bool>> { { file, true } }));
    EXPECT_EQ(main().MdiArea()->activeSubWindow()->widget(), worksheets[0].data());
    // The recent entry moved to the top with the logon it was opened with.
    EXPECT_EQ(main().RecentFiles().Count(), 2);
    EXPECT_EQ(main().RecentFiles().Items(0).Path, file);
    EXPECT_EQ(main().RecentFiles().Items(0).Text3, QStringLiteral("DEMO"));

    main().OpenOrActivateFile(QStringLiteral("/tmp/report.sql"), {}, {}, {});
    EXPECT_EQ(worksheets.size(), 3);
}

// A file of each type opens in its window; with a saved logon the window logs on with it.
TEST_F(MainWindowCommands, FileOfEachTypeOpensInItsWindow)
{
    start();
    windowFactories().WizardEditor = [this](QWidget *, const QString &file) {
        requests.append({ QStringLiteral("Wizard"), {}, file });
        return new QWidget;
    };
    windowFactories().Tuning = [this](QWidget *, const TLogonValues &logon, const QStringList *statements,
                                   const QString &project, bool flag) {
        EXPECT_EQ(statements, nullptr);
        EXPECT_FALSE(flag);
        requests.append({ QStringLiteral("PTune"), logon, project });
        return new QWidget;
    };
    main().AccountList().AddAccount(Ora, QStringLiteral("DEMO"), QStringLiteral("DEMO"),
        QStringLiteral("DEMO"), QStringLiteral("D"));

    struct Case {
        const char *file;
        const char *window;
        bool logsOn;
    };
    const Case cases[] = {
        { "/tmp/a.sql", "SQL", true },
        { "/tmp/b.TEM", "SQL", true },
        { "/tmp/c.qdk", "SQL", true },
        { "/tmp/noextension", "SQL", true },
        { "/tmp/d.QDZ", "Wizard", false },
        { "/tmp/e.ptp", "PTune", true },
    };
    for (const Case &c : cases) {
        requests.clear();
        main().OpenOrActivateFile(QLatin1String(c.file), QStringLiteral("demo"), QStringLiteral("demo"), {});
        ASSERT_EQ(requests.size(), 1) << c.file;
        EXPECT_EQ(requests[0].kind, QLatin1String(c.window)) << c.file;
        EXPECT_EQ(requests[0].file, QLatin1String(c.file));
        if (c.logsOn) {
            // The saved password and mode; the database as the entry gave it.
            EXPECT_EQ(requests[0].logon.Password, QStringLiteral("DEMO")) << c.file;
            EXPECT_EQ(requests[0].logon.Mode, QStringLiteral("SYSDBA"));
            EXPECT_EQ(requests[0].logon.Database, QStringLiteral("demo"));
        }
    }
    EXPECT_EQ(children().size(), 6);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(MainWindowCommands, WithoutSavedLogonFilesOpenUnconnected)
{
    start();
    main().OpenOrActivateFile(QStringLiteral("/tmp/a.sql"), QStringLiteral("DEMO"), QStringLiteral("DEMO"), {});
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].logon.Database.isEmpty());
    EXPECT_TRUE(requests[0].logon.Username.isEmpty());

    // A tuning project asks for the logon, carrying the project file.
    windowFactories().Tuning = [this](QWidget *, const TLogonValues &logon, const QStringList *,
                                   const QString &project, bool) {
        requests.append({ QStringLiteral("PTune"), logon, project });
        return new QWidget;
    };
    requests.clear();
    whileLogonShown([&] { main().OpenOrActivateFile(QStringLiteral("/tmp/p.PTP"), {}, {}, {}); }, [&] {
        EXPECT_EQ(logon().windowTitle(), QStringLiteral("Logon to Rizer Edorr"));
        control<QLineEdit>("edt_username")->setText(QStringLiteral("HR"));
        control<QLineEdit>("edt_password")->setText(QStringLiteral("HR"));
        control<QComboBox>("cb_instance")->setEditText(QStringLiteral("DEMO"));
        control<QPushButton>("btn_newLogon")->click();
    });
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].kind, QStringLiteral("PTune"));
    EXPECT_EQ(requests[0].file, QStringLiteral("/tmp/p.PTP"));
    EXPECT_EQ(requests[0].logon.Username, QStringLiteral("HR"));

    // A window that is not there fails with a message that says so.
    windowFactories().WizardEditor = nullptr;
    EXPECT_THROW(main().OpenOrActivateFile(QStringLiteral("/tmp/w.qdz"), {}, {}, {}), Exception);
}

// A wizard or tuning file never looks for a worksheet that holds the name.
TEST_F(MainWindowCommands, WizardFileIgnoresWorksheets)
{
    start();
    windowFactories().WizardEditor = [this](QWidget *, const QString &file) {
        requests.append({ QStringLiteral("Wizard"), {}, file });
        return new QWidget;
    };
    const QString file = QStringLiteral("/tmp/w.qdz");
    main().AddMdiChild(windowFactories().Worksheet(&main(), {}, file, true));
    requests.clear();
    main().OpenOrActivateFile(file, {}, {}, {});
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].kind, QStringLiteral("Wizard"));
    EXPECT_TRUE(worksheets[0]->reopened.isEmpty());
}

TEST_F(MainWindowCommands, RecentLogon)
{
    start();
    TMRUItem item;
    item.Kind = 2;
    item.Path = QStringLiteral("SQL");
    item.Text3 = QStringLiteral("DEMO");
    item.LongText = QStringLiteral("DEMO");
    item.Code = QStringLiteral("NORMAL");

    // No saved password: the dialog comes up prefilled, the password empty.
    whileLogonShown([&] { main().OpenRecentLogon(item); }, [&] {
        EXPECT_EQ(control<QLineEdit>("edt_username")->text(), QStringLiteral("DEMO"));
        EXPECT_TRUE(control<QLineEdit>("edt_password")->text().isEmpty());
        EXPECT_EQ(control<QComboBox>("cb_instance")->currentText(), QStringLiteral("DEMO"));
        EXPECT_EQ(logon().focusWidget(), control<QLineEdit>("edt_password"));
        logon().reject();
    });
    EXPECT_TRUE(requests.isEmpty());

    // A saved password logs on at once, with the entry's own mode.
    main().AccountList().AddAccount(Ora, QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("D"));
    main().OpenRecentLogon(item);
    EXPECT_FALSE(logon().isVisible());
    ASSERT_EQ(worksheets.size(), 1);
    EXPECT_TRUE(worksheets[0]->session.Connected());
    EXPECT_EQ(worksheets[0]->logon.Mode, QStringLiteral("NORMAL"));
    EXPECT_EQ(main().RecentLogons().Items(0).Caption, QStringLiteral("SQL-DEMO@DEMO"));
}

TEST_F(MainWindowCommands, FileMenuListsRecentFilesAndLogons)
{
    start();
    main().RecentFiles().Add(0, QStringLiteral("/tmp/one.sql"), QStringLiteral("/tmp/one.sql"), {}, {}, {}, {}, {}, true);
    main().RecentLogons().Add(2, QStringLiteral("SQL-DEMO@DEMO"), QStringLiteral("SQL"), {}, {},
        QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("NORMAL"), true);
    main().File1Click();
    QMenu *reopen = main().Menu(QStringLiteral("Reopen1"));
    ASSERT_EQ(reopen->actions().size(), 1);
    EXPECT_TRUE(reopen->actions()[0]->text().contains(QStringLiteral("one.sql")));
    QMenu *newMenu = main().Menu(QStringLiteral("New1"));
    const QList<QAction *> items = newMenu->actions();
    const qsizetype separator = items.indexOf(main().MainAction(QStringLiteral("NewSeparator1")));
    ASSERT_EQ(items.size(), separator + 2);
    EXPECT_TRUE(items.last()->text().contains(QStringLiteral("SQL-DEMO@DEMO")));
    // Rebuilding does not add the entries twice.
    main().File1Click();
    EXPECT_EQ(newMenu->actions().size(), items.size());

    reopen->actions()[0]->trigger();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].file, QStringLiteral("/tmp/one.sql"));
}

TEST_F(MainWindowCommands, OpenDialog)
{
    start();
    const QString file = QDir(programDirectory()).filePath(QStringLiteral("pick.sql"));
    writeFile(QStringLiteral("pick.sql"), "select 1 from dual;\n");
    main().OpenDialog1()->setOption(QFileDialog::DontUseNativeDialog);
    QTimer::singleShot(0, [&] {
        main().OpenDialog1()->selectFile(file);
        QMetaObject::invokeMethod(main().OpenDialog1(), "accept");
    });
    main().MainAction(QStringLiteral("Open2"))->trigger();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].file, file);
}

TEST_F(MainWindowCommands, EditCommandsReachTheFocusedControl)
{
    start();
    main().show();
    QApplication::setActiveWindow(&main());
    main().AddMdiChild(windowFactories().Worksheet(&main(), {}, QStringLiteral("select * from dual"), false));
    QPlainTextEdit *editor = worksheets[0]->editor;
    editor->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), editor);

    QAction *undo = main().MainAction(QStringLiteral("Undo1"));
    QAction *redo = main().MainAction(QStringLiteral("Redo1"));
    QAction *selectAll = main().MainAction(QStringLiteral("SelectAll1"));
    main().Edit1Click();
    EXPECT_TRUE(selectAll->isEnabled());
    EXPECT_FALSE(undo->isEnabled()); // nothing typed yet

    selectAll->trigger();
    EXPECT_EQ(editor->textCursor().selectedText(), QStringLiteral("select * from dual"));
    main().MainAction(QStringLiteral("Cut1"))->trigger();
    EXPECT_TRUE(editor->toPlainText().isEmpty());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("select * from dual"));
    main().Edit1Click();
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
    undo->trigger();
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("select * from dual"));
    EXPECT_TRUE(editor->document()->isRedoAvailable());
    EXPECT_EQ(QApplication::focusWidget(), editor);
    main().Edit1Click();
    EXPECT_TRUE(redo->isEnabled());
    redo->trigger();
    EXPECT_TRUE(editor->toPlainText().isEmpty());
    main().MainAction(QStringLiteral("Paste1"))->trigger();
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("select * from dual"));

    // A grid gets the copy as the standard key: its current cell's text.
    auto *grid = new QTableView(worksheets[0]);
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("cell text")));
    grid->setModel(&model);
    grid->setCurrentIndex(model.index(0, 0));
    grid->show();
    grid->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), grid);
    main().MainAction(QStringLiteral("Copy1"))->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("cell text"));
    main().Edit1Click();
    EXPECT_FALSE(selectAll->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
    delete grid;
}

TEST(EditCommands, TargetsAndSelectAll)
{
    QLineEdit box(QStringLiteral("abc"));
    QPlainTextEdit readOnlyOutput(QStringLiteral("output line"));
    readOnlyOutput.setReadOnly(true);
    QTableView grid;
    EXPECT_EQ(EditTargetKindOf(nullptr), EditTargetKind::None);
    EXPECT_EQ(EditTargetKindOf(&box), EditTargetKind::EditBox);
    EXPECT_EQ(EditTargetKindOf(&readOnlyOutput), EditTargetKind::Editor);
    EXPECT_EQ(EditTargetKindOf(&grid), EditTargetKind::None);

    RunEditCommand(EditCommand::SelectAll, &box);
    EXPECT_EQ(box.selectedText(), QStringLiteral("abc"));
    // The read-only text output selects all too.
    RunEditCommand(EditCommand::SelectAll, &readOnlyOutput);
    EXPECT_EQ(readOnlyOutput.textCursor().selectedText(), QStringLiteral("output line"));
    RunEditCommand(EditCommand::SelectAll, nullptr); // nothing to act on, nothing happens

    QAction undo, redo, selectAll;
    undo.setEnabled(false);
    UpdateEditActions(&box, &undo, &redo, &selectAll);
    EXPECT_TRUE(undo.isEnabled());
    EXPECT_TRUE(selectAll.isEnabled());
    UpdateEditActions(nullptr, &undo, &redo, &selectAll);
    EXPECT_FALSE(selectAll.isEnabled());
    EXPECT_FALSE(redo.isEnabled());
    EXPECT_TRUE(undo.isEnabled()); // left as it was
}

TEST_F(MainWindowCommands, WindowsNotYetAvailableSaySo)
{
    start();
    const std::pair<const char *, const char *> commands[] = {
        { "DBNavigator1", "The DB Navigator window is not available yet." },
        { "PowerTune1", "The Rizer Edor window is not available yet." },
        { "ViewSQLHistory1", "The SQL History window is not available yet." },
        { "New2", "The Wizard editor window is not available yet." },
        { "FTP1", "The FTP Client window is not available yet." },
    };
    for (const auto &[name, text] : commands) {
        messages.clear();
        main().MainAction(QLatin1String(name))->trigger();
        EXPECT_EQ(messages, QStringList { QLatin1String(text) }) << name;
    }
    EXPECT_TRUE(children().isEmpty());
    EXPECT_FALSE(logon().isVisible());
}

TEST_F(MainWindowCommands, FtpWindowKeepsItsLocalDirectory)
{
    start();
    std::function<void(const QString &)> callback;
    windowFactories().FTPClient = [&](QWidget *, const QString &dir, TAccountList *accounts,
                                      const QString &file, std::function<void(const QString &)> onChange) {
        EXPECT_EQ(dir, QString());
        EXPECT_EQ(accounts, &main().AccountList());
        EXPECT_EQ(file, main().AccountFileName());
        callback = onChange;
        return new QWidget;
    };
    main().MainAction(QStringLiteral("FTP1"))->trigger();
    ASSERT_TRUE(callback);
    callback(QStringLiteral("/tmp/ftp-here"));
    TIniFile ini(mainSettingsFileName());
    EXPECT_EQ(ini.ReadString(QStringLiteral("Hidden"), QStringLiteral("LastFTPLocalDir"), {}),
        QStringLiteral("/tmp/ftp-here"));
}

// While a child window is active, its own actions take the shortcuts it shares with the main
// window, so a key is never ambiguous.
TEST_F(MainWindowCommands, ActiveChildTakesSharedShortcuts)
{
    start();
    main().show();
    auto *child = new QWidget;
    auto *copy = new QAction(child);
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    child->addAction(copy);
    main().AddMdiChild(child);
    QAction *mainCopy = main().MainAction(QStringLiteral("Copy1"));
    EXPECT_TRUE(mainCopy->shortcut().isEmpty());
    EXPECT_EQ(main().MainAction(QStringLiteral("Paste1"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    main().MdiArea()->closeAllSubWindows();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    main().MdiArea()->setActiveSubWindow(nullptr);
    EXPECT_EQ(mainCopy->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
}

// The current child's menus stand in the main window's menu bar: a menu of the same title takes
// the main menu's place, the others follow it; another child or none brings the main menus back.
TEST_F(MainWindowCommands, CurrentChildMenusStandInTheMainMenuBar)
{
    start();
    main().show();
    auto titles = [this] {
        QStringList shown;
        for (QAction *menu : main().menuBar()->actions())
            if (menu->isVisible())
                shown.append(menu->text().remove(u'&'));
        return shown;
    };
    const QStringList mainMenus = titles();
    ASSERT_EQ(mainMenus.first(), QStringLiteral("File"));

    auto *worksheet = new QMainWindow;
    for (const char *title : { "&File", "&Edit", "&View", "&SQL" })
        worksheet->menuBar()->addMenu(QLatin1String(title));
    main().AddMdiChild(worksheet);
    QStringList merged = titles();
    EXPECT_EQ(merged.mid(0, 4), (QStringList { "File", "Edit", "View", "SQL" }));
    EXPECT_EQ(merged.mid(4), mainMenus.mid(2)) << merged.join(u' ').toStdString();
    EXPECT_EQ(merged.count(QStringLiteral("File")), 1);
    EXPECT_FALSE(worksheet->menuBar()->isVisible());
    // The merged File menu is the child's own.
    EXPECT_EQ(main().menuBar()->actions().first()->menu(), worksheet->menuBar()->actions().first()->menu());

    // A child without menus shows the main window's; back to the worksheet, its menus again.
    auto *plain = new QWidget;
    main().AddMdiChild(plain);
    EXPECT_EQ(titles(), mainMenus);
    main().MdiArea()->setActiveSubWindow(main().MdiArea()->subWindowList().first());
    EXPECT_EQ(titles(), merged);

    // Closing the worksheet while it is current gives the main window its menus back.
    main().MdiArea()->activeSubWindow()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    main().MdiArea()->closeAllSubWindows();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(titles(), mainMenus);
}

TEST_F(MainWindowCommands, TileAndCascade)
{
    start();
    main().setWindowState(Qt::WindowNoState);
    main().resize(900, 700);
    main().show();
    for (int i = 0; i < 3; ++i)
        main().AddMdiChild(windowFactories().Worksheet(&main(), {}, {}, false));
    const QRect area = main().MdiArea()->viewport()->rect();
    main().MainAction(QStringLiteral("TileVertically1"))->trigger();
    for (QMdiSubWindow *window : children())
        EXPECT_EQ(window->height(), area.height());
    EXPECT_EQ(children()[0]->x(), 0);
    EXPECT_GT(children()[1]->x(), 0);
    main().MainAction(QStringLiteral("TileHorizontally1"))->trigger();
    for (QMdiSubWindow *window : children())
        EXPECT_EQ(window->width(), area.width());
    EXPECT_GT(children()[2]->y(), children()[1]->y());
    main().MainAction(QStringLiteral("Cascade1"))->trigger();
    EXPECT_LT(children()[0]->pos().x(), children()[2]->pos().x());

    // The Window menu lists the children, the active one checked.
    QMenu *window = main().Menu(QStringLiteral("Window1"));
    emit window->aboutToShow();
    const QList<QAction *> actions = window->actions();
    ASSERT_GE(actions.size(), 3);
    EXPECT_TRUE(actions.last()->text().startsWith(QStringLiteral("&3 ")));
}

} // namespace
