#include "WorksheetTestSupport.h"

#include "classlib/DataSetModel.h"
#include "classlib/IniFile.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleDataSet.h"
#include "platform/ProgramDirectory.h"
#include "worksheet/EditorPane.h"
#include "worksheet/ErrorPane.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QMimeData>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <iostream>

using namespace qd;
using qd::test::WorksheetTest;

namespace {

QString gridText(TSQLForm *form, int row, int column)
{
    return form->GridModel()->index(row, column).data().toString();
}

} // namespace

// ---- Creation and states --------------------------------------------------------------------

TEST_F(WorksheetTest, UnconnectedWorksheetHasNoOutputPaneAndNoRunCommands)
{
    TSQLForm *form = open(QString(), QStringLiteral("select * from emp"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SQL Editor"));
    EXPECT_EQ(form->StatusPanels()->PanelText(0), QStringLiteral("Not Connected"));
    EXPECT_EQ(form->OutputPanel()->height(), 0);
    EXPECT_FALSE(form->ConnectedState());
    EXPECT_FALSE(form->Session()->Connected());
    for (const char *name : { "Execute1", "ExecuteAtCursor1", "ExecuteAllAfterCursor1", "Commit1",
             "Rollback1", "Grid1", "DuplicateSession1" })
        EXPECT_FALSE(form->Action(QLatin1String(name))->isEnabled()) << name;
    for (const char *name : { "btnExec", "btnExecOne", "btnExecRest", "btnCommit", "btnRollback" })
        EXPECT_FALSE(form->Button(QLatin1String(name))->isEnabled()) << name;
    EXPECT_EQ(form->Button(QStringLiteral("btnConnect"))->toolTip(),
        QStringLiteral("Connect to database"));
    EXPECT_EQ(form->Action(QStringLiteral("Connect1"))->text(), QStringLiteral("Connect to Database"));
    EXPECT_EQ(form->Editor()->text(), QStringLiteral("select * from emp"));
    // Running without a session is refused with the Part's words.
    form->RunSQL(0, 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(), QStringLiteral("You are not connected to a database."));
}

TEST_F(WorksheetTest, ConnectedWorksheetShowsItsLogon)
{
    TSQLForm *form = open();
    ASSERT_TRUE(form->Session()->Connected());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("  SQL - [demo@demo]"));
    EXPECT_EQ(form->StatusPanels()->PanelText(0), QStringLiteral("demo@demo"));
    EXPECT_TRUE(form->Session()->ThreadSafe());
    EXPECT_TRUE(form->Session()->RollbackOnDisconnect());
    EXPECT_TRUE(form->DataSet()->ReadOnly());
    EXPECT_FALSE(form->DataSet()->QueryAllRecords());
    EXPECT_FALSE(form->ServerVersionText().isEmpty());
    EXPECT_GT(form->OutputPanel()->height(), 100);
    EXPECT_TRUE(form->Action(QStringLiteral("Execute1"))->isEnabled());
    EXPECT_FALSE(form->Action(QStringLiteral("Grid1"))->isEnabled());
    EXPECT_EQ(form->Action(QStringLiteral("Connect1"))->text(), QStringLiteral("Change Connection"));
}

TEST_F(WorksheetTest, FailedLogonLeavesNoWindow)
{
    EXPECT_ANY_THROW(TSQLForm::CreateWorksheet(nullptr,
        TLogonValues { QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("wrong"), QString() },
        QString(), false));
}

TEST_F(WorksheetTest, LongDatabaseAndPasswordReachTheServerWhole)
{
    // An alias of 40 characters and a password of 70: neither may be cut on the way.
    const QString alias = QStringLiteral("A_VERY_LONG_NETWORK_ALIAS_OF_FORTY_CHAR");
    const QString password = QString(70, u'p');
    ASSERT_GT(alias.size(), 30);
    const QString config = QDir(qd::test::programDirectory()).filePath(QStringLiteral("standin.ini"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[alias %1]\ndemo = yes\ndefault = yes\n[user DEMO@%1]\npassword = %2\n")
                   .arg(alias, password)
                   .toUtf8());
    file.close();
    qputenv("QD_STANDIN_CONFIG", config.toLocal8Bit());
    TSQLForm *form = open(alias, QString(), QStringLiteral("DEMO"), password);
    qunsetenv("QD_STANDIN_CONFIG");
    ASSERT_TRUE(form->Session()->Connected());
    EXPECT_EQ(form->Database(), alias);
    EXPECT_EQ(form->Password(), password);
    EXPECT_EQ(form->Session()->LogonDatabase(), alias);
}

// ---- Runs -----------------------------------------------------------------------------------

TEST_F(WorksheetTest, F5RunsOnlyTheStatementAtTheCaret)
{
    TSQLForm *form = open(QStringLiteral("DEMO"),
        QStringLiteral("select 1 as n from dual;\nselect 2 as n from dual;\nselect 3 as n from dual;"));
    form->activateWindow();
    form->Editor()->setFocus();
    form->Editor()->setCaret(1, 3);
    QTest::keyClick(form->Editor()->control(), Qt::Key_F5);
    ASSERT_TRUE(form->Running() || form->GridModel()->rowCount() > 0);
    ASSERT_TRUE(waitForRun(form));
    // One query: the grid, with the second statement's row only.
    EXPECT_EQ(form->OutputPages()->currentIndex(), 0);
    ASSERT_EQ(form->GridModel()->rowCount(), 1);
    EXPECT_EQ(gridText(form, 0, 0), QStringLiteral("2"));
    EXPECT_TRUE(form->Action(QStringLiteral("Grid1"))->isEnabled());
    EXPECT_EQ(form->StatusPanels()->PanelText(2), QStringLiteral("1/1"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

TEST_F(WorksheetTest, ResultsAppearInTheGridAndAsText)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("select ename from emp order by ename"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    EXPECT_EQ(form->OutputPages()->currentIndex(), 0);
    EXPECT_EQ(form->GridModel()->rowCount(), 8);
    EXPECT_EQ(form->GridModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
        QStringLiteral("ENAME"));
    // The editor is itself again after the run.
    EXPECT_FALSE(form->Editor()->isReadOnly());
    EXPECT_NE(form->Editor()->color(), QColor(255, 255, 0));
    EXPECT_FALSE(form->windowTitle().startsWith(u'*'));

    // Two queries go to the text page.
    form->Editor()->setText(QStringLiteral("select dname from dept order by deptno;\nselect count(*) from emp;"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    EXPECT_EQ(form->OutputPages()->currentIndex(), 1);
    const QString text = form->TextOutput()->text();
    EXPECT_TRUE(text.contains(QStringLiteral("FINANCE"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("DNAME"))) << text.toStdString();
    EXPECT_FALSE(form->Action(QStringLiteral("Grid1"))->isEnabled());
}

TEST_F(WorksheetTest, RunStateAndControlsDuringARun)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("begin dbms_lock.sleep(30); end;"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(form->Running());
    ASSERT_TRUE(waitFor([form] { return form->Editor()->isReadOnly(); }));
    EXPECT_EQ(form->Editor()->color(), QColor(255, 255, 0));
    EXPECT_TRUE(form->windowTitle().startsWith(u'*'));
    EXPECT_FALSE(form->Action(QStringLiteral("Execute1"))->isEnabled());
    EXPECT_FALSE(form->Button(QStringLiteral("btnCommit"))->isEnabled());
    EXPECT_TRUE(form->Action(QStringLiteral("Cancel1"))->isEnabled());
    EXPECT_TRUE(form->Button(QStringLiteral("btnCancel"))->isEnabled());

    // A second run, a commit and a rollback are refused with their messages and do not queue.
    form->RunSQL(0, 0);
    form->CommitWork();
    form->RollbackWork();
    EXPECT_EQ(messages,
        QStringList({ QStringLiteral("A query is already running."),
            QStringLiteral("Cannot commit while a statement is running."),
            QStringLiteral("Cannot rollback while a statement is running.") }));

    // Cancel ends the call; the window is usable again.
    form->CancelRun();
    ASSERT_TRUE(waitForRun(form, 5000));
    EXPECT_FALSE(form->Editor()->isReadOnly());
    EXPECT_TRUE(form->Action(QStringLiteral("Execute1"))->isEnabled());
    EXPECT_FALSE(form->Action(QStringLiteral("Cancel1"))->isEnabled());
    EXPECT_FALSE(form->windowTitle().startsWith(u'*'));
    form->Editor()->setText(QStringLiteral("select 'again' from dual"));
    messages.clear();
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    ASSERT_EQ(form->GridModel()->rowCount(), 1);
    EXPECT_EQ(gridText(form, 0, 0), QStringLiteral("again"));
}

TEST_F(WorksheetTest, CommitIsAOneStatementRunWithItsMessage)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("update dept set loc = loc"));
    form->CommitWork();
    ASSERT_TRUE(waitForRun(form));
    EXPECT_TRUE(messages.contains(QStringLiteral("Commit was successful."))) << messages.join(u'|').toStdString();
    form->RollbackWork();
    ASSERT_TRUE(waitForRun(form));
    EXPECT_TRUE(messages.contains(QStringLiteral("Rollback was successful.")));
}

TEST_F(WorksheetTest, ErrorIsListedAndGotoErrorSelectsItsLine)
{
    // The error sits on the third editor line, in the statement's second line.
    TSQLForm *form = open(QStringLiteral("DEMO"),
        QStringLiteral("select 1 from dual;\nselect *\n  from no_such_table;\nselect 2 from dual;"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    ErrorPane *pane = form->ErrorMessagesPane();
    ASSERT_EQ(pane->Count(), 1);
    EXPECT_TRUE(pane->ItemText(0).startsWith(QStringLiteral("3:8 - "))) << pane->ItemText(0).toStdString();
    EXPECT_TRUE(pane->ItemText(0).contains(QStringLiteral("ORA-00942")));
    EXPECT_EQ(pane->ItemPosition(0), 3 * 65536 + 8);
    EXPECT_FALSE(pane->isHidden());
    EXPECT_TRUE(form->Action(QStringLiteral("ErrorMessages1"))->isChecked());
    EXPECT_EQ(form->StatusPanels()->PanelText(4), QStringLiteral("Errors occurred"));

    form->Editor()->setCaret(0, 0);
    pane->SetCurrentIndex(0);
    form->GotoError();
    EXPECT_EQ(form->Editor()->caretLine(), 2);
    EXPECT_EQ(form->Editor()->caretColumn(), 7);
}

TEST_F(WorksheetTest, GotoErrorDecodesPackedPositions)
{
    QStringList text;
    for (int i = 0; i < 20; ++i)
        text.append(QStringLiteral("line %1 with some text").arg(i + 1));
    TSQLForm *form = open(QString(), text.join(u'\n'));
    ErrorPane *pane = form->ErrorMessagesPane();
    pane->SetErrors({ { QStringLiteral("12:5 - boom"), 12, 5 },
        { QStringLiteral("no position"), 0, 3 } });
    EXPECT_EQ(pane->ItemPosition(0), 12 * 65536 + 5);
    pane->SetCurrentIndex(0);
    form->GotoError();
    EXPECT_EQ(form->Editor()->caretLine(), 11);
    EXPECT_EQ(form->Editor()->caretColumn(), 4);
    // An item without a position leaves the caret alone.
    pane->SetCurrentIndex(1);
    form->GotoError();
    EXPECT_EQ(form->Editor()->caretLine(), 11);
    EXPECT_EQ(form->Editor()->caretColumn(), 4);
}

TEST_F(WorksheetTest, VariablesLiveFromRunToRun)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("define who = HALVORSEN"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    EXPECT_TRUE(form->RunState().SubstitutionVariables.Exists(QStringLiteral("WHO")));
    form->Editor()->setText(QStringLiteral("select job from emp where ename = '&who'"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    ASSERT_EQ(form->GridModel()->rowCount(), 1);
    EXPECT_EQ(gridText(form, 0, 0), QStringLiteral("DIRECTOR"));
}

// ---- Closing --------------------------------------------------------------------------------

TEST_F(WorksheetTest, ClosingDuringALongRunWaitsForTheRunner)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("begin dbms_lock.sleep(60); end;"));
    QPointer<TSQLForm> guard(form);
    form->Editor()->setCaret(0, 0);
    form->Editor()->insertText(QStringLiteral("-- edited\n"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitFor([form] { return form->Editor()->isReadOnly(); }));
    QPointer<TQueryThread> thread(form->QueryThread());
    ASSERT_TRUE(thread);
    // Refusing to cancel keeps the window and the run.
    answers = { mrNo };
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->Running());
    // Agreeing cancels, declines saving the text and closes.
    answers = { mrYes, mrNo };
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions.value(0), QStringLiteral("Cancel the current query?"));
    EXPECT_EQ(questions.value(1), QStringLiteral("Cancel the current query?"));
    EXPECT_TRUE(questions.value(2).startsWith(QStringLiteral("File Untitled has been modified.")));
    EXPECT_TRUE(!thread || thread->isFinished());
    ASSERT_TRUE(waitFor([&] { return guard.isNull(); }, 5000));
}

TEST_F(WorksheetTest, DeletingDuringARunIsSafe)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("begin dbms_lock.sleep(60); end;"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitFor([form] { return form->Editor()->isReadOnly(); }));
    QPointer<TQueryThread> thread(form->QueryThread());
    delete form;
    EXPECT_TRUE(!thread || thread->isFinished());
    QApplication::processEvents();
}

// ---- Dock layout ----------------------------------------------------------------------------

TEST_F(WorksheetTest, DockLayoutSurvivesAReopen)
{
    const QRect floating(150, 120, 420, 160);
    {
        TSQLForm *form = open(QString());
        ErrorPane *pane = form->ErrorMessagesPane();
        EXPECT_FALSE(pane->isHidden()); // the default: docked at the bottom, visible
        EXPECT_EQ(form->dockWidgetArea(pane), Qt::BottomDockWidgetArea);
        pane->setFloating(true);
        pane->setGeometry(floating);
        QApplication::processEvents();
        answers = { mrNo };
        form->close();
        QApplication::processEvents();
    }
    const TIniFile ini(ProgramDirectory::filePath(QStringLiteral("SQLForm.ini")));
    EXPECT_FALSE(ini.ReadBool(QStringLiteral("ErrorMessages"), QStringLiteral("Docked"), true));
    EXPECT_FALSE(ini.ReadString(QStringLiteral("DockSites"), QStringLiteral("BottomData"), QString()).isEmpty());
    {
        TSQLForm *form = open(QString());
        ErrorPane *pane = form->ErrorMessagesPane();
        EXPECT_TRUE(pane->isFloating());
        EXPECT_EQ(pane->geometry(), floating);
        // Hidden through the View menu, docked again: both survive the next reopen.
        pane->setFloating(false);
        form->Action(QStringLiteral("ErrorMessages1"))->trigger();
        EXPECT_TRUE(pane->isHidden());
        form->close();
        QApplication::processEvents();
    }
    TSQLForm *form = open(QString());
    EXPECT_TRUE(form->ErrorMessagesPane()->isHidden());
    EXPECT_FALSE(form->ErrorMessagesPane()->isFloating());
    EXPECT_FALSE(form->Action(QStringLiteral("ErrorMessages1"))->isChecked());
    // A run with errors shows the hidden pane again.
    form->ErrorMessagesPane()->hide();
}

// ---- Files ----------------------------------------------------------------------------------

TEST_F(WorksheetTest, DroppingOneFileOpensItInTheEditor)
{
    const QString path = QDir(qd::test::programDirectory()).filePath(QStringLiteral("drop.sql"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("select * from dept;\r\n");
    file.close();
    TSQLForm *form = open(QString());
    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(path) });
    QWidget *target = form->Editor()->dropTarget();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_EQ(form->Editor()->text(), QStringLiteral("select * from dept;\n"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("SQL Editor - [") + QFileInfo(path).absoluteFilePath() + u']');
    EXPECT_TRUE(form->Action(QStringLiteral("CloseFile1"))->isEnabled());
    EXPECT_FALSE(form->Action(QStringLiteral("SaveFile1"))->isEnabled());
}

// ---- A large result ------------------------------------------------------------------------

TEST_F(WorksheetTest, GridScrollsThroughAMillionRowsWhileTheyAreFetched)
{
    {
        auto session = qd::test::LogOnDemo();
        qd::test::CreateFreshTable(*session, QStringLiteral("ten"), QStringLiteral("n number"));
        for (int i = 0; i < 10; ++i)
            qd::test::RunSql(*session, QStringLiteral("insert into ten values (%1)").arg(i));
        qd::test::CreateFreshTable(*session, QStringLiteral("million"), QStringLiteral("id number"));
        qd::test::RunSql(*session,
            QStringLiteral("insert into million select rownum from ten a, ten b, ten c, ten d, "
                           "ten e, ten f"));
        qd::test::RunSql(*session, QStringLiteral("commit"));
        qd::test::LogOffQuietly(session);
    }
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("select id from million"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form, 60000));
    ASSERT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    DataSetModel *model = form->GridModel();
    QTableView *grid = form->Grid();
    // Only the first rows are there: the rest are fetched as the grid scrolls.
    ASSERT_GT(model->rowCount(), 0);
    EXPECT_LT(model->rowCount(), 10000);
    EXPECT_TRUE(model->canFetchMore({}));
    EXPECT_EQ(gridText(form, 0, 0), QStringLiteral("1"));
    bool sawMiddle = false;
    int steps = 0;
    while (model->canFetchMore({}) && steps < 100000) {
        grid->scrollToBottom();
        QApplication::processEvents();
        ++steps;
        if (!sawMiddle && model->rowCount() > 500000) {
            // Half way: the grid shows the newest rows while the rest are still to come.
            sawMiddle = true;
            EXPECT_TRUE(model->canFetchMore({}));
            const int last = grid->rowAt(grid->viewport()->height() - 1);
            EXPECT_GT(last, 490000);
            EXPECT_EQ(gridText(form, last, 0), QString::number(last + 1));
        }
    }
    EXPECT_TRUE(sawMiddle);
    ASSERT_EQ(model->rowCount(), 1000000);
    EXPECT_EQ(gridText(form, 999999, 0), QStringLiteral("1000000"));
    grid->setCurrentIndex(model->index(999999, 0));
    EXPECT_EQ(form->StatusPanels()->PanelText(2), QStringLiteral("1000000/1000000"));
}
