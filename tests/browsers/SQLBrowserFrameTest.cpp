// The worksheet's browser pane and its trees: the file tree's folder lists and kinds, the
// workspace's entries, modified flag and closing, the navigator's logon on its reader thread.

#include "browsers/DBNavTreeView.h"
#include "browsers/FrameSQLBrowser.h"
#include "browsers/QDWorkspaceTreeView.h"
#include "browsers/SQLTreeBrowser.h"
#include "common/ScriptedScreensTest.h"
#include "common/TestSupport.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleError.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

#include <deque>

namespace qd::test {
namespace {

// The pane's questions answered from a script, with a DEMO logon for its sessions.
class BrowserFrameTest : public ScriptedScreensTest {
protected:
    static void demoLogon(TOracleSession &session, const QString &password = QStringLiteral("DEMO"))
    {
        session.SetLogonUsername(QStringLiteral("DEMO"));
        session.SetLogonPassword(password);
        session.SetLogonDatabase(QStringLiteral("DEMO"));
    }
};

// ---- File kinds and the file tree ------------------------------------------------------------

TEST(SQLTreeBrowserTypeTest, NamesRoundTripIgnoringCase)
{
    for (TSQLTreeBrowserType type : { tbtTemplate, tbtWizard, tbtSQL }) {
        const QString name = SQLTreeBrowserTypeToStr(type);
        EXPECT_EQ(StrToSQLTreeBrowserType(name), type);
        EXPECT_EQ(StrToSQLTreeBrowserType(name.toUpper()), type);
    }
    EXPECT_EQ(SQLTreeBrowserTypeToStr(tbtTemplate), QStringLiteral("tbtTemplate"));
    EXPECT_EQ(SQLTreeBrowserTypeToStr(tbtWizard), QStringLiteral("tbtWizard"));
    EXPECT_EQ(SQLTreeBrowserTypeToStr(tbtSQL), QStringLiteral("tbtSQL"));
    try {
        StrToSQLTreeBrowserType(QStringLiteral("tbtScript"));
        FAIL() << "an unknown kind was accepted";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("SQLTree file type tbtScript not recognized."));
    }
}

TEST(SQLTreeBrowserTest, FolderListsAreTrimmedAndSplitAtSemicolons)
{
    struct Case {
        const char *text;
        QStringList folders;
        const char *joined;
    };
    const Case cases[] = {
        { "", {}, "" },
        { "   ", {}, "" },
        { " /a/sql;/b/sql ", { QStringLiteral("/a/sql"), QStringLiteral("/b/sql") }, "/a/sql;/b/sql" },
        // A trailing ";" names one more, empty, folder.
        { "/a/sql;", { QStringLiteral("/a/sql"), QString() }, "/a/sql;" },
        { "/a/sql", { QStringLiteral("/a/sql") }, "/a/sql" },
    };
    TSQLTreeBrowser tree;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        tree.SetSQLDir(QLatin1String(c.text));
        tree.SetTemplateDir(QLatin1String(c.text));
        tree.SetWizardDir(QLatin1String(c.text));
        EXPECT_EQ(tree.SQLDirs(), c.folders);
        EXPECT_EQ(tree.TemplateDirs(), c.folders);
        EXPECT_EQ(tree.WizardDirs(), c.folders);
        EXPECT_EQ(tree.SQLDir(), QLatin1String(c.joined));
        EXPECT_EQ(tree.TemplateDir(), QLatin1String(c.joined));
        EXPECT_EQ(tree.WizardDir(), QLatin1String(c.joined));
    }
}

TEST(SQLTreeBrowserTest, ReadingMakesTheThreeRootsOnce)
{
    TSQLTreeBrowser tree;
    EXPECT_EQ(tree.topLevelItemCount(), 0);
    tree.ReadSQLDir(false);
    tree.ReadTemplateDir(false);
    tree.ReadWizardDir(true);
    ASSERT_EQ(tree.topLevelItemCount(), 3);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), QStringLiteral("SQL"));
    EXPECT_EQ(tree.topLevelItem(1)->text(0), QStringLiteral("Templates"));
    EXPECT_EQ(tree.topLevelItem(2)->text(0), QStringLiteral("Wizards"));
    EXPECT_EQ(tree.RootNode(tbtTemplate), tree.topLevelItem(1));
    // A root is no file or folder.
    tree.setCurrentItem(tree.topLevelItem(0));
    EXPECT_FALSE(tree.SelectedFileInfo().has_value());
}

// ---- Workspace ---------------------------------------------------------------------------------

TEST_F(BrowserFrameTest, WorkspaceFilesGoToTheirCategoryByExtension)
{
    TQDWorkspaceTreeView tree;
    tree.InitRootNodes();
    tree.InitRootNodes();
    ASSERT_EQ(tree.topLevelItemCount(), 5);
    const QStringList captions { "SQL", "Templates", "Wizards", "Database", "Other Files" };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(tree.topLevelItem(i)->text(0), captions[i]);

    int modifyEvents = 0;
    tree.SetEvents({ {}, {}, {}, {}, [&] { ++modifyEvents; } });
    struct Case {
        const char *file;
        TQDWorkspaceTreeView::Category category;
    };
    const Case cases[] = {
        { "/w/a.sql", TQDWorkspaceTreeView::catSQL },
        { "/w/b.Sql", TQDWorkspaceTreeView::catSQL },
        { "/w/c.TEM", TQDWorkspaceTreeView::catTemplates },
        { "/w/d.qdz", TQDWorkspaceTreeView::catWizards },
        { "/w/e.txt", TQDWorkspaceTreeView::catOtherFiles },
        { "/w/noextension", TQDWorkspaceTreeView::catOtherFiles },
    };
    int added = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        QTreeWidgetItem *category = tree.CategoryNode(c.category);
        const int before = category->childCount();
        tree.AddFile(QLatin1String(c.file));
        ASSERT_EQ(category->childCount(), before + 1);
        QTreeWidgetItem *entry = category->child(before);
        EXPECT_EQ(entry->text(0), QLatin1String(c.file));
        EXPECT_EQ(entry->data(0, TQDWorkspaceTreeView::FileNameRole).toString(), QLatin1String(c.file));
        if (c.category != TQDWorkspaceTreeView::catOtherFiles) {
            EXPECT_EQ(entry->data(0, TQDWorkspaceTreeView::DirNameRole).toString(), QStringLiteral("/w/"));
        }
        EXPECT_TRUE(tree.Modified());
        EXPECT_EQ(modifyEvents, ++added);
    }
    EXPECT_EQ(tree.CategoryNode(TQDWorkspaceTreeView::catDatabase)->childCount(), 0);
}

TEST_F(BrowserFrameTest, WorkspaceRefusesAnUnknownFileKind)
{
    TQDWorkspaceTreeView tree;
    tree.InitRootNodes();
    EXPECT_THROW(tree.AddSQLTreeItem(QStringLiteral("tbtPicture"), QStringLiteral("/w/"),
                     QStringLiteral("/w/a.png")),
        Exception);
    EXPECT_FALSE(tree.Modified());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(tree.topLevelItem(i)->childCount(), 0);
    tree.AddSQLTreeItem(QStringLiteral("TBTWIZARD"), QStringLiteral("/w/"), QStringLiteral("/w/a.qdz"));
    EXPECT_EQ(tree.CategoryNode(TQDWorkspaceTreeView::catWizards)->childCount(), 1);
}

TEST_F(BrowserFrameTest, WorkspaceCloseAsksOnlyAboutAModifiedWorkspace)
{
    struct Case {
        const char *name;
        bool modify;
        bool ask;
        int answer;
        bool asked;
        bool closed;
    };
    const Case cases[] = {
        { "unmodified", false, true, mrCancel, false, true },
        { "modified, cancel", true, true, mrCancel, true, false },
        { "modified, no", true, true, mrNo, true, true },
        // With no file and no asking, the entries go without a question.
        { "modified, not asked", true, false, mrCancel, false, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        questions.clear();
        TQDWorkspaceTreeView tree;
        tree.InitRootNodes();
        int closeEvents = 0;
        tree.SetEvents({ {}, {}, {}, [&](bool success) { closeEvents += success ? 1 : 100; }, {} });
        if (c.modify)
            tree.AddFile(QStringLiteral("/w/a.sql"));
        answers = { c.answer };
        EXPECT_EQ(tree.Close(c.ask), c.closed);
        EXPECT_EQ(questions.size(), c.asked ? 1 : 0);
        if (c.asked) {
            EXPECT_EQ(questions.value(0), QStringLiteral("Save the current workspace?"));
        }
        EXPECT_EQ(closeEvents, c.closed ? 1 : 0);
        EXPECT_EQ(tree.Modified(), !c.closed);
        EXPECT_EQ(tree.CategoryNode(TQDWorkspaceTreeView::catSQL)->childCount(), c.closed || !c.modify ? 0 : 1);
        EXPECT_EQ(tree.topLevelItemCount(), 5);
    }
}

TEST_F(BrowserFrameTest, WorkspaceFilesAreRefusedWithAClearMessage)
{
    TQDWorkspaceTreeView tree;
    tree.InitRootNodes();
    tree.AddFile(QStringLiteral("/w/a.sql"));
    for (const auto &operation : std::initializer_list<std::function<void()>> {
             [&] { tree.Open(QStringLiteral("/w/project.qdk"), false); },
             [&] { tree.Save(); },
             [&] { tree.SaveAs(); },
         }) {
        try {
            operation();
            ADD_FAILURE() << "a workspace file operation claimed success";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Workspace files are not available yet."));
        }
        // Nothing is lost.
        EXPECT_TRUE(tree.Modified());
        EXPECT_EQ(tree.CategoryNode(TQDWorkspaceTreeView::catSQL)->childCount(), 1);
    }
}

// ---- Navigator ----------------------------------------------------------------------------------

TEST_F(BrowserFrameTest, NavigatorReadLogsOnOnlyWithAutoConnect)
{
    for (bool autoConnect : { false, true }) {
        SCOPED_TRACE(autoConnect);
        TOracleSession session;
        session.SetThreadSafe(true);
        demoLogon(session);
        TDBNavTreeView tree;
        tree.SetOracleSession(&session);
        tree.SetAutoConnect(autoConnect);
        tree.ReadDatabase();
        EXPECT_EQ(tree.RunningReads(), 1);
        EXPECT_FALSE(tree.isEnabled());
        ASSERT_TRUE(waitFor([&] { return tree.RunningReads() == 0; }));
        EXPECT_TRUE(tree.isEnabled());
        EXPECT_EQ(session.Connected(), autoConnect);
        // The tree shows no object kinds yet.
        EXPECT_EQ(tree.topLevelItemCount(), 0);
        tree.Disconnect();
        EXPECT_FALSE(session.Connected());
        EXPECT_TRUE(messages.isEmpty());
    }
}

TEST_F(BrowserFrameTest, NavigatorReadReportsAFailedLogon)
{
    TOracleSession session;
    session.SetThreadSafe(true);
    demoLogon(session, QStringLiteral("wrong"));
    TDBNavTreeView tree;
    tree.SetOracleSession(&session);
    tree.SetAutoConnect(true);
    tree.ReadDatabase();
    ASSERT_TRUE(waitFor([&] { return tree.RunningReads() == 0 && !messages.isEmpty(); }));
    EXPECT_FALSE(session.Connected());
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(tree.isEnabled());
}

TEST_F(BrowserFrameTest, NavigatorConnectLogsOnWithTheGivenLogon)
{
    TOracleSession session;
    session.SetThreadSafe(true);
    TDBNavTreeView tree;
    tree.SetOracleSession(&session);
    tree.Connect(QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("DEMO"),
        QStringLiteral("NORMAL"));
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.LogonUsername(), QStringLiteral("DEMO"));
    EXPECT_EQ(session.ConnectAs(), caNormal);
    // A failed logon reaches the caller and leaves the session off.
    EXPECT_THROW(tree.Connect(QStringLiteral("DEMO"), QStringLiteral("wrong"),
                     QStringLiteral("DEMO"), QString()),
        EOracleError);
    EXPECT_FALSE(session.Connected());
}

TEST_F(BrowserFrameTest, NavigatorReadAskedWhileOneRunsReadsOnceMore)
{
    TOracleSession session;
    session.SetThreadSafe(true);
    demoLogon(session);
    TDBNavTreeView tree;
    tree.SetOracleSession(&session);
    tree.SetAutoConnect(true);
    int reads = 0;
    QObject::connect(&tree, &TDBNavTreeView::readFinished, [&] { ++reads; });
    tree.ReadDatabase();
    tree.ReadDatabase();
    tree.ReadDatabase();
    // The first read ends, then one more read starts (once, however often it was asked).
    ASSERT_TRUE(waitFor([&] { return reads == 2 && tree.RunningReads() == 0; }));
    QApplication::processEvents();
    QThread::msleep(2200);
    QApplication::processEvents();
    EXPECT_EQ(reads, 2);
    EXPECT_TRUE(session.Connected());
    tree.Disconnect();
}

// ---- The pane ------------------------------------------------------------------------------------

TEST_F(BrowserFrameTest, PaneShowsItsTreesAndFollowsTheWorkspace)
{
    TFrameSQLBrowser frame;
    EXPECT_TRUE(frame.OracleSession().ThreadSafe());
    EXPECT_EQ(frame.NavigatorTree()->OracleSession(), &frame.OracleSession());
    EXPECT_EQ(frame.WorkspaceTree()->OracleSession(), &frame.OracleSession());
    EXPECT_EQ(frame.Pages()->count(), 2);
    EXPECT_EQ(frame.Pages()->tabText(0), QStringLiteral("Files"));
    EXPECT_EQ(frame.Pages()->tabText(1), QStringLiteral("Database"));
    EXPECT_EQ(frame.Pages()->currentIndex(), 0);
    EXPECT_EQ(frame.WorkspaceFileLabel()->text(), QStringLiteral("No Workspace File Open"));
    EXPECT_FALSE(frame.SaveFileButton()->isEnabled());

    frame.QDWorkspaceTreeView().InitRootNodes();
    frame.QDWorkspaceTreeView().AddFile(QStringLiteral("/w/a.sql"));
    EXPECT_TRUE(frame.SaveFileButton()->isEnabled());
    // The open button's error is shown, and the workspace stays.
    frame.OpenFileButton()->click();
    EXPECT_EQ(messages, QStringList { QStringLiteral("Workspace files are not available yet.") });
    EXPECT_TRUE(frame.QDWorkspaceTreeView().Modified());
    answers = { mrNo };
    EXPECT_TRUE(frame.QDWorkspaceTreeView().Close(true));
    EXPECT_FALSE(frame.SaveFileButton()->isEnabled());
    EXPECT_EQ(frame.WorkspaceFileLabel()->text(), QStringLiteral("No Workspace File Open"));
}

} // namespace
} // namespace qd::test
