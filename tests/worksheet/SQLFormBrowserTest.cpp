// The worksheet and its browser pane: the navigator follows the window's connection, the file
// tree takes the settings' folder lists, and a modified workspace is offered for saving before
// the window closes.

#include "BrowserPaneTestSupport.h"
#include "WorksheetTestSupport.h"

#include "browsers/DBNavTreeView.h"
#include "browsers/FrameSQLBrowser.h"
#include "browsers/QDWorkspaceTreeView.h"
#include "browsers/SQLTreeBrowser.h"
#include "oracle/OracleQuery.h"
#include "shell/Settings.h"
#include "worksheet/EditorPane.h"
#include "worksheet/SQLBrowserFrame.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QToolButton>

namespace qd::test {
namespace {

class WorksheetBrowserTest : public WithBrowserPane<WorksheetTest> {};

TEST_F(WorksheetBrowserTest, NavigatorAutoConnectFollowsTheConnectionState)
{
    struct Case {
        const char *database;
        bool connected;
    };
    for (const Case &c : { Case { "", false }, Case { "DEMO", true } }) {
        SCOPED_TRACE(c.database);
        TSQLForm *form = open(QLatin1String(c.database));
        TFrameSQLBrowser *frame = frameOf(form);
        ASSERT_NE(frame, nullptr);
        DBNavTreeInterface &navigator = frame->DBNavTreeView1();
        EXPECT_EQ(navigator.AutoConnect(), c.connected);
        // Each state sets the flag whatever it was before.
        navigator.SetAutoConnect(!c.connected);
        if (c.connected)
            form->SetConnectedState(false);
        else
            form->SetUnconnectedState(false);
        EXPECT_EQ(navigator.AutoConnect(), c.connected);
        form->SetUnconnectedState(false);
        EXPECT_FALSE(navigator.AutoConnect());
        form->SetConnectedState(false);
        EXPECT_TRUE(navigator.AutoConnect());
    }
}

TEST_F(WorksheetBrowserTest, WithoutARegisteredPaneTheWorksheetStillWorks)
{
    SetSQLBrowserFrameFactory({});
    TSQLForm *form = open();
    EXPECT_EQ(form->FrameSQLBrowser1(), nullptr);
    form->SetUnconnectedState(false);
    form->InitOptions();
    form->Action(QStringLiteral("OpenWorkspace1"))->trigger();
    EXPECT_EQ(form->StatusPanels()->PanelText(4), QStringLiteral("The workspace is not available yet."));
    answers = { mrNo };
    EXPECT_TRUE(form->close());
}

TEST_F(WorksheetBrowserTest, SettingsFolderListsReachTheFileTree)
{
    TSQLForm *form = open(QString());
    TFrameSQLBrowser *frame = frameOf(form);
    ASSERT_NE(frame, nullptr);
    // Made at creation: the file tree's three roots and the workspace's five categories.
    EXPECT_EQ(frame->FileTree()->topLevelItemCount(), 3);
    EXPECT_EQ(frame->WorkspaceTree()->topLevelItemCount(), 5);

    form->Settings().FindSetting(QStringLiteral("SQLDir"))->SetValue(QStringLiteral(" /srv/sql;/home/me/sql "));
    form->Settings().FindSetting(QStringLiteral("TemplateDir"))->SetValue(QStringLiteral("/srv/templates"));
    form->Settings().FindSetting(QStringLiteral("WizardDir"))->SetValue(QStringLiteral("/srv/wizards;"));
    form->InitOptions();
    SQLTreeBrowserInterface &files = frame->SQLTreeBrowser();
    EXPECT_EQ(files.SQLDir(), QStringLiteral("/srv/sql;/home/me/sql"));
    EXPECT_EQ(files.TemplateDir(), QStringLiteral("/srv/templates"));
    EXPECT_EQ(files.WizardDir(), QStringLiteral("/srv/wizards;"));
    EXPECT_EQ(frame->FileTree()->SQLDirs(),
        (QStringList { QStringLiteral("/srv/sql"), QStringLiteral("/home/me/sql") }));
    EXPECT_EQ(frame->FileTree()->WizardDirs().size(), 2);

    // Re-reading (as the directory watcher asks) keeps the roots, once each.
    form->InitSQLTreeBrowser(true);
    EXPECT_EQ(frame->FileTree()->topLevelItemCount(), 3);
}

TEST_F(WorksheetBrowserTest, PaneSessionLogsOnAndOffWithTheWorksheet)
{
    TSQLForm *form = open();
    TFrameSQLBrowser *frame = frameOf(form);
    ASSERT_NE(frame, nullptr);
    TOracleSession &session = frame->OracleSession();
    EXPECT_TRUE(session.ThreadSafe());
    EXPECT_NE(&session, form->Session());
    // The navigator's read logs the pane's session on, on its own thread, with the window's
    // logon.
    ASSERT_TRUE(waitFor([&] { return frame->NavigatorTree()->RunningReads() == 0; }));
    ASSERT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonUsername(), QStringLiteral("DEMO"));
    EXPECT_EQ(session.LogonDatabase(), QStringLiteral("DEMO"));
    EXPECT_EQ(serverUser(session), QStringLiteral("DEMO"));
    EXPECT_TRUE(frame->NavigatorTree()->isEnabled());

    // Closing logs it off with the window's own session (the window itself goes later).
    answers = { mrNo };
    ASSERT_TRUE(form->close());
    EXPECT_FALSE(session.Connected());
}

TEST_F(WorksheetBrowserTest, UnconnectedWorksheetLeavesThePaneSessionOff)
{
    TSQLForm *form = open(QString());
    TFrameSQLBrowser *frame = frameOf(form);
    ASSERT_NE(frame, nullptr);
    // Nothing asks the navigator to read, and it would not log on by itself.
    frame->NavigatorTree()->ReadDatabase();
    ASSERT_TRUE(waitFor([&] { return frame->NavigatorTree()->RunningReads() == 0; }));
    EXPECT_FALSE(frame->OracleSession().Connected());
}

TEST_F(WorksheetBrowserTest, ModifiedWorkspaceIsOfferedForSavingBeforeClosing)
{
    struct Case {
        const char *name;
        int answer;
        bool closes;
        const char *status;
    };
    for (const Case &c : {
             Case { "cancel keeps the window", mrCancel, false, "" },
             // Workspace files cannot be written yet: the save fails and the window stays.
             Case { "yes cannot save yet", mrYes, false, "Workspace files are not available yet." },
             Case { "no discards the workspace", mrNo, true, "" },
         }) {
        SCOPED_TRACE(c.name);
        questions.clear();
        TSQLForm *form = open(QString());
        QPointer<TSQLForm> guard(form);
        TFrameSQLBrowser *frame = frameOf(form);
        ASSERT_NE(frame, nullptr);
        frame->QDWorkspaceTreeView().AddFile(QStringLiteral("/srv/sql/report.sql"));
        ASSERT_TRUE(frame->QDWorkspaceTreeView().Modified());
        answers = { c.answer };
        EXPECT_EQ(form->close(), c.closes);
        EXPECT_EQ(questions, QStringList { QStringLiteral("Save the current workspace?") });
        if (!c.closes) {
            EXPECT_TRUE(form->isVisible());
            EXPECT_TRUE(frame->QDWorkspaceTreeView().Modified());
            EXPECT_EQ(frame->WorkspaceTree()->CategoryNode(TQDWorkspaceTreeView::catSQL)->childCount(), 1);
            EXPECT_EQ(form->StatusPanels()->PanelText(4), QLatin1String(c.status));
            answers = { mrNo };
            EXPECT_TRUE(form->close());
        }
        ASSERT_TRUE(waitFor([&] { return guard.isNull(); }, 5000));
    }
}

TEST_F(WorksheetBrowserTest, UnmodifiedWorkspaceClosesWithoutAQuestion)
{
    TSQLForm *form = open(QString());
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(WorksheetBrowserTest, WorkspaceEventsReachTheWindowAndThePane)
{
    TSQLForm *form = open(QString());
    TFrameSQLBrowser *frame = frameOf(form);
    ASSERT_NE(frame, nullptr);
    QAction *save = form->Action(QStringLiteral("SaveWorkspace1"));
    QAction *saveAs = form->Action(QStringLiteral("SaveWorkspaceAs1"));
    QAction *close = form->Action(QStringLiteral("CloseWorkspace1"));
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(saveAs->isEnabled());
    EXPECT_FALSE(close->isEnabled());
    EXPECT_FALSE(frame->SaveFileButton()->isEnabled());

    // A change: the pane's save button and the window's save and close commands.
    frame->QDWorkspaceTreeView().AddFile(QStringLiteral("/srv/notes/readme.TXT"));
    EXPECT_TRUE(frame->SaveFileButton()->isEnabled());
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(close->isEnabled());
    EXPECT_EQ(frame->WorkspaceTree()->CategoryNode(TQDWorkspaceTreeView::catOtherFiles)->childCount(), 1);

    // Saving is not possible yet: the window says so and nothing changes.
    save->trigger();
    EXPECT_EQ(form->StatusPanels()->PanelText(4), QStringLiteral("Workspace files are not available yet."));
    EXPECT_TRUE(frame->QDWorkspaceTreeView().Modified());

    // Close Workspace, declining to save: emptied, and the commands go off again.
    answers = { mrNo };
    close->trigger();
    EXPECT_EQ(questions, QStringList { QStringLiteral("Save the current workspace?") });
    EXPECT_FALSE(frame->QDWorkspaceTreeView().Modified());
    EXPECT_EQ(frame->WorkspaceTree()->CategoryNode(TQDWorkspaceTreeView::catOtherFiles)->childCount(), 0);
    EXPECT_EQ(frame->WorkspaceFileLabel()->text(), QStringLiteral("No Workspace File Open"));
    EXPECT_FALSE(frame->SaveFileButton()->isEnabled());
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(close->isEnabled());
    EXPECT_EQ(frame->WorkspaceTree()->topLevelItemCount(), 5);
}

TEST_F(WorksheetBrowserTest, FilesDroppedOnTheWorkspaceJoinIt)
{
    TSQLForm *form = open(QString(), QStringLiteral("select 1 from dual"));
    TFrameSQLBrowser *frame = frameOf(form);
    ASSERT_NE(frame, nullptr);
    QWidget *target = frame->WorkspaceDropTarget();
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(QStringLiteral("/srv/sql/a.sql")),
        QUrl::fromLocalFile(QStringLiteral("/srv/notes/b.txt")) });
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    TQDWorkspaceTreeView *tree = frame->WorkspaceTree();
    ASSERT_EQ(tree->CategoryNode(TQDWorkspaceTreeView::catSQL)->childCount(), 1);
    EXPECT_EQ(tree->CategoryNode(TQDWorkspaceTreeView::catSQL)->child(0)->text(0),
        QStringLiteral("/srv/sql/a.sql"));
    ASSERT_EQ(tree->CategoryNode(TQDWorkspaceTreeView::catOtherFiles)->childCount(), 1);
    EXPECT_TRUE(tree->Modified());
    // The editor keeps its text.
    EXPECT_EQ(form->Editor()->text(), QStringLiteral("select 1 from dual"));
}

TEST_F(WorksheetBrowserTest, WorkspaceFileGoesToTheWorkspaceNotTheEditor)
{
    TSQLForm *form = open(QString(), QStringLiteral("select 1 from dual"));
    form->OpenEditorFile(QStringLiteral("/srv/project/Main.QdK"), true);
    EXPECT_EQ(form->Editor()->text(), QStringLiteral("select 1 from dual"));
    EXPECT_TRUE(form->WorksheetFileName().isEmpty());
    EXPECT_EQ(form->StatusPanels()->PanelText(4), QStringLiteral("Workspace files are not available yet."));
}

} // namespace
} // namespace qd::test
