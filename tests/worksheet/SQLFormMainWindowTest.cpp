// The worksheet inside a main window: settings from the main store, the SQL history, the logon
// dialog of Connect, recent files and files dropped several at a time, and the browser pane's
// navigator following the window's logon.
#include "BrowserPaneTestSupport.h"
#include "WorksheetTestSupport.h"

#include "browsers/DBNavTreeView.h"
#include "browsers/FrameSQLBrowser.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "shell/AccountList.h"
#include "shell/MRUList.h"
#include "shell/MainSettings.h"
#include "shell/SettingFont.h"
#include "shell/Settings.h"
#include "worksheet/EditorPane.h"
#include "worksheet/SQLBrowserFrame.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFile>
#include <QMimeData>
#include <QTableView>
#include <QUrl>

#include <functional>

using namespace qd;

namespace {

// A main window that records what the worksheet asks of it.
class RecordingMainWindow : public MainWindowInterface {
public:
    RecordingMainWindow() { declareMainSettings(settings); }

    QWidget *MainWidget() override { return nullptr; }
    void AddMdiChild(QWidget *window) override { children.append(window); }
    void CloseActiveChild() override {}
    TSettings &Settings() override { return settings; }
    TAccountList &AccountList() override { return accounts; }
    QString AccountFileName() const override { return QString(); }
    TMRUList &RecentFiles() override { return recentFiles; }
    TMRUList &RecentLogons() override { return recentLogons; }
    const QStringList &SQLKeywords() const override { return empty; }
    const QStringList &PLSQLKeywords() const override { return empty; }
    const QStringList &Hints() const override { return empty; }
    const QStringList &AliasList() const override { return empty; }
    bool SecurityActive() const override { return false; }
    bool ClosingAfterLock() const override { return closingAfterLock; }
    void AddSQLHistory(const QString &user, const QString &instance, const QString &text) override
    {
        history.append(user + u'@' + instance + u':' + text);
    }
    void OpenOrActivateFile(const QString &fileName, const QString &userName,
        const QString &database, const QString &) override
    {
        opened.append(fileName + u'|' + userName + u'@' + database);
    }
    void OpenRecentLogon(const TMRUItem &) override {}
    bool ExecuteLogon(TLogonValues &logon) override
    {
        ++logonDialogs;
        if (!logonAnswer)
            return false;
        logon = *logonAnswer;
        return true;
    }
    QAction *MainAction(const QString &) const override { return nullptr; }
    int EditSettings(TSettings &store, const QString &section, bool save) override
    {
        editedPages.append(section);
        savedEdits += save;
        if (editSettings)
            editSettings(store);
        return editResult;
    }

    TSettings settings;
    TAccountList accounts;
    TMRUList recentFiles;
    TMRUList recentLogons;
    QStringList empty;
    bool closingAfterLock = false;
    QStringList history;
    QStringList opened;
    QList<QWidget *> children;
    int logonDialogs = 0;
    std::optional<TLogonValues> logonAnswer;
    QStringList editedPages;
    std::function<void(TSettings &)> editSettings;
    int editResult = 2;
    int savedEdits = 0;
};

class WorksheetInMainWindow : public qd::test::WorksheetTest {
protected:
    void SetUp() override
    {
        WorksheetTest::SetUp();
        setMainWindow(&main);
    }
    void TearDown() override
    {
        WorksheetTest::TearDown();
        for (QWidget *child : main.children)
            delete child;
        setMainWindow(nullptr);
    }
    RecordingMainWindow main;
};

} // namespace

TEST_F(WorksheetInMainWindow, HistoryRecordsARunOnlyAfterTheTextChanged)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("select 1 from dual"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    ASSERT_EQ(main.history, QStringList({ QStringLiteral("DEMO@DEMO:select 1 from dual") }));
    form->Editor()->setCaret(0, 8);
    form->Editor()->insertText(QStringLiteral("2"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    EXPECT_EQ(main.history.size(), 2);
    EXPECT_EQ(main.history.last(), QStringLiteral("DEMO@DEMO:select 12 from dual"));
    // Commit is not a run of the editor's text.
    form->CommitWork();
    ASSERT_TRUE(waitForRun(form));
    EXPECT_EQ(main.history.size(), 2);
}

TEST_F(WorksheetInMainWindow, SettingsComeFromTheMainStore)
{
    main.settings.FindSetting(QStringLiteral("ContinueOnError"))->SetValue(Variant(true));
    TSQLForm *form = open(QStringLiteral("DEMO"),
        QStringLiteral("select 1 from no_such_table;\nselect 2 from dual;\nselect 3 from dual;"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    // The first error ends the run: nothing of the later statements reached the output.
    EXPECT_FALSE(form->TextOutput()->text().contains(QStringLiteral("Query returned")))
        << form->TextOutput()->text().toStdString();
}

// Format > Fonts opens the settings editor on the window's own fonts; the window takes the new
// fonts only when the editor was left with OK.
TEST_F(WorksheetInMainWindow, FontsCommandAppliesTheEditedFontsOnOk)
{
    TSQLForm *form = open(QString());
    auto *grid = form->findChild<QTableView *>();
    auto *fonts = form->findChild<QAction *>(QStringLiteral("Fonts1"));
    ASSERT_TRUE(grid && fonts);
    const int before = grid->font().pointSize();
    const int wanted = before == 21 ? 22 : 21;
    main.editSettings = [wanted](TSettings &settings) {
        SettingFont font;
        font.name = QStringLiteral("DejaVu Sans");
        font.size = wanted;
        settings.FindSetting(QStringLiteral("SQLGridOutCell"))
            ->SetValue(Variant(FontToSettingString(font)));
    };
    fonts->trigger(); // left with Cancel
    EXPECT_EQ(main.editedPages, QStringList { QStringLiteral("Fonts") });
    EXPECT_EQ(grid->font().pointSize(), before);
    main.editResult = 1;
    fonts->trigger();
    EXPECT_EQ(grid->font().pointSize(), wanted);
    // The window's own settings changed, not the program's, and nothing was written.
    EXPECT_EQ(main.savedEdits, 0);
    EXPECT_NE(main.settings.FindSetting(QStringLiteral("SQLGridOutCell"))->GetFont().size, wanted);
}

TEST_F(WorksheetInMainWindow, ConnectLogsOnWithTheDialogsValues)
{
    TSQLForm *form = open(QString());
    main.logonAnswer.reset();
    form->ConnectCommand();
    EXPECT_EQ(main.logonDialogs, 1);
    EXPECT_FALSE(form->Session()->Connected());

    main.logonAnswer = TLogonValues { QStringLiteral("DEMO"), QStringLiteral("HR"),
        QStringLiteral("HR"), QString() };
    form->ConnectCommand();
    ASSERT_TRUE(form->Session()->Connected());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("  SQL - [hr@demo]"));
    EXPECT_EQ(form->StatusPanels()->PanelText(0), QStringLiteral("hr@demo"));
    EXPECT_TRUE(form->Action(QStringLiteral("Execute1"))->isEnabled());
    EXPECT_TRUE(form->TextOutput()->text().contains(QStringLiteral("Connected To HR@DEMO")));

    // A refused logon leaves the window unconnected with its logon emptied.
    main.logonAnswer = TLogonValues { QStringLiteral("DEMO"), QStringLiteral("HR"),
        QStringLiteral("wrong"), QString() };
    form->ConnectCommand();
    EXPECT_FALSE(form->Session()->Connected());
    EXPECT_TRUE(form->Username().isEmpty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SQL Editor"));
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.last().startsWith(QStringLiteral("Not Connected: \r\n")));
    EXPECT_TRUE(form->TextOutput()->text().contains(QStringLiteral("Warning, Not Connected:")));
}

TEST_F(WorksheetInMainWindow, DroppingSeveralFilesOpensEachThroughTheMainWindow)
{
    QList<QUrl> urls;
    for (const char *name : { "a.sql", "b.sql", "c.sql" }) {
        const QString path = QDir(qd::test::programDirectory()).filePath(QLatin1String(name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("select 1 from dual;\n");
        urls.append(QUrl::fromLocalFile(path));
    }
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("-- keep me"));
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->Editor()->dropTarget(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->Editor()->dropTarget(), &drop);
    ASSERT_EQ(main.opened.size(), 3);
    EXPECT_TRUE(main.opened.first().endsWith(QStringLiteral("a.sql|DEMO@DEMO")));
    EXPECT_EQ(form->Editor()->text(), QStringLiteral("-- keep me"));
}

TEST_F(WorksheetInMainWindow, OpenedFileJoinsTheRecentList)
{
    const QString path = QDir(qd::test::programDirectory()).filePath(QStringLiteral("recent.sql"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("select 1 from dual;\n");
    file.close();
    TSQLForm *form = open(QStringLiteral("DEMO"));
    form->OpenEditorFile(path, false);
    ASSERT_EQ(main.recentFiles.Count(), 1);
    EXPECT_EQ(main.recentFiles.Items(0).Path, QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(form->WorksheetFileName(), QFileInfo(path).absoluteFilePath());
}

TEST_F(WorksheetInMainWindow, ClosingAfterTheScreenLockAsksNothing)
{
    TSQLForm *form = open(QStringLiteral("DEMO"));
    form->Editor()->insertText(QStringLiteral("select 1 from dual"));
    main.closingAfterLock = true;
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(WorksheetInMainWindow, DuplicateSessionCopiesTheLogonAndText)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("select * from dept"));
    // By default the new window starts empty.
    form->DuplicateSession();
    ASSERT_EQ(main.children.size(), 1);
    auto *empty = dynamic_cast<TSQLForm *>(main.children.first());
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->Editor()->text().isEmpty());
    main.settings.FindSetting(QStringLiteral("CopyEditorOnDuplicate"))->SetValue(Variant(true));
    form->Settings().Assign(main.settings);
    form->DuplicateSession();
    ASSERT_EQ(main.children.size(), 2);
    auto *copy = dynamic_cast<TSQLForm *>(main.children.last());
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->Session()->Connected());
    EXPECT_EQ(copy->Editor()->text(), QStringLiteral("select * from dept"));
    EXPECT_NE(copy->Session(), form->Session());
}

// ---- The browser pane's navigator follows the window's logon ----------------------------------

namespace {

class PaneInMainWindow : public qd::test::WithBrowserPane<WorksheetInMainWindow> {};

// A navigator whose logon fails (the server refuses one more session, say).
class RefusingNavigator : public DBNavTreeInterface {
public:
    bool AutoConnect() const override { return autoConnect; }
    void SetAutoConnect(bool value) override { autoConnect = value; }
    void Connect(const QString &, const QString &, const QString &, const QString &) override
    {
        throw EOracleError(QStringLiteral("ORA-00018: maximum number of sessions exceeded"), 18);
    }
    void Disconnect() override {}
    void ReadDatabase() override {}
    bool autoConnect = false;
};

class PaneWithRefusingNavigator : public TFrameSQLBrowser {
public:
    using TFrameSQLBrowser::TFrameSQLBrowser;
    DBNavTreeInterface &DBNavTreeView1() override { return navigator; }
    RefusingNavigator navigator;
};

} // namespace

TEST_F(PaneInMainWindow, ConnectMovesThePaneSessionToTheNewLogon)
{
    TSQLForm *form = open(QString());
    TFrameSQLBrowser *frame = frameOf(form);
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->OracleSession().Connected());

    main.logonAnswer = TLogonValues { QStringLiteral("DEMO"), QStringLiteral("HR"),
        QStringLiteral("HR"), QString() };
    form->ConnectCommand();
    ASSERT_TRUE(form->Session()->Connected());
    ASSERT_TRUE(frame->OracleSession().Connected());
    EXPECT_EQ(serverUser(frame->OracleSession()), QStringLiteral("HR"));
    EXPECT_TRUE(frame->DBNavTreeView1().AutoConnect());
    ASSERT_TRUE(waitFor([&] { return frame->NavigatorTree()->RunningReads() == 0; }));

    // A refused logon: the navigator let go of the old logon first, and stays off.
    main.logonAnswer = TLogonValues { QStringLiteral("DEMO"), QStringLiteral("HR"),
        QStringLiteral("wrong"), QString() };
    form->ConnectCommand();
    EXPECT_FALSE(form->Session()->Connected());
    EXPECT_FALSE(frame->OracleSession().Connected());
    EXPECT_FALSE(frame->DBNavTreeView1().AutoConnect());
}

TEST_F(PaneInMainWindow, ScriptConnectMovesTheNavigatorAtTheRunsEnd)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("connect hr/hr@demo"));
    TFrameSQLBrowser *frame = frameOf(form);
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(waitFor([&] { return frame->NavigatorTree()->RunningReads() == 0; }));
    EXPECT_EQ(frame->OracleSession().LogonUsername(), QStringLiteral("DEMO"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    ASSERT_EQ(form->Session()->LogonUsername().toUpper(), QStringLiteral("HR"));
    EXPECT_EQ(frame->OracleSession().LogonUsername(), form->Session()->LogonUsername());
    ASSERT_TRUE(frame->OracleSession().Connected());
    EXPECT_EQ(serverUser(frame->OracleSession()), QStringLiteral("HR"));
}

// The navigator's own logon failing after the window's succeeded is the navigator's error: the
// window, whose session is logged on, stays connected with its logon.
TEST_F(PaneInMainWindow, NavigatorLogonFailureLeavesTheWindowConnected)
{
    PaneWithRefusingNavigator *pane = nullptr;
    SetSQLBrowserFrameFactory([&pane](QWidget *parent) {
        pane = new PaneWithRefusingNavigator(parent);
        return pane;
    });
    TSQLForm *form = open(QString());
    ASSERT_NE(pane, nullptr);
    main.logonAnswer = TLogonValues { QStringLiteral("DEMO"), QStringLiteral("HR"),
        QStringLiteral("HR"), QString() };
    form->ConnectCommand();
    EXPECT_TRUE(form->Session()->Connected());
    EXPECT_EQ(form->Username(), QStringLiteral("HR"));
    EXPECT_TRUE(form->ConnectedState());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("  SQL - [hr@demo]"));
    EXPECT_TRUE(form->TextOutput()->text().contains(QStringLiteral("Connected To HR@DEMO")));
    EXPECT_TRUE(pane->navigator.AutoConnect());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QStringLiteral("ORA-00018")));
}
