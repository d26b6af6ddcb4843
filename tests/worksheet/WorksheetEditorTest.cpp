// The worksheet's script editor: a SQL editor with its gutter, keywords and editing commands.
#include "WorksheetTestSupport.h"

#include "editor/CodeGutter.h"
#include "editor/FindDialog.h"
#include "editor/SQLEditor.h"
#include "platform/ProgramDirectory.h"
#include "worksheet/EditorPane.h"

#include <QAction>
#include <QFile>
#include <QTest>

using namespace qd;
using qd::test::WorksheetTest;

TEST_F(WorksheetTest, TheScriptEditorIsASQLEditorWithItsGutter)
{
    TSQLForm *form = open(QString(), QStringLiteral("select 1\nfrom dual;"));
    EditorPane *pane = form->Editor();
    ASSERT_NE(pane->sqlEditor(), nullptr);
    EXPECT_EQ(pane->control(), pane->sqlEditor());
    TCodeGutter *gutter = pane->gutter();
    ASSERT_NE(gutter, nullptr);
    EXPECT_EQ(gutter->objectName(), QStringLiteral("CodeGutter1"));
    EXPECT_EQ(gutter->CodeMemo(), pane->sqlEditor());
    EXPECT_TRUE(gutter->isVisible());
    EXPECT_LT(gutter->geometry().right(), pane->sqlEditor()->geometry().left());
    // The text output is a plain file editor without a gutter.
    EXPECT_EQ(form->TextOutput()->sqlEditor(), nullptr);
    EXPECT_EQ(form->TextOutput()->gutter(), nullptr);
}

TEST_F(WorksheetTest, AWorksheetOnItsOwnColoursTheKeywordsOfTheShippedLists)
{
    QFile list(ProgramDirectory::filePath(QStringLiteral("SQLKeywords.txt")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("SELECT\nFROM\n");
    list.close();
    TSQLForm *form = open(QString(), QStringLiteral("select 1 from dual;"));
    TSQLEditor *editor = form->Editor()->sqlEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_GE(editor->SQLHighlighter().Keywords().IndexOf(QStringLiteral("SELECT")), 0);
    EXPECT_GE(editor->SQLHighlighter().Keywords().IndexOf(QStringLiteral("FROM")), 0);
    QFile::remove(list.fileName());
}

TEST_F(WorksheetTest, BookmarkKeysWorkInTheScriptEditor)
{
    TSQLForm *form = open(QString(), QStringLiteral("one\ntwo\nthree\nfour"));
    form->activateWindow();
    QWidget *editor = form->Editor()->control();
    editor->setFocus();
    form->Editor()->setCaret(2, 1);
    QTest::keyClick(editor, Qt::Key_4, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->Editor()->gutter()->BookmarkLine(4), 2);
    form->Editor()->setCaret(0, 0);
    QTest::keyClick(editor, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(form->Editor()->caretLine(), 2);
    EXPECT_EQ(form->Editor()->text(), QStringLiteral("one\ntwo\nthree\nfour"));
}

TEST_F(WorksheetTest, TheFindReplaceGotoAndCommentKeysReachTheEditor)
{
    TSQLForm *form = open(QString(), QStringLiteral("select 1\nfrom dual;\nselect 2"));
    form->activateWindow();
    TSQLEditor *editor = form->Editor()->sqlEditor();
    editor->setFocus();
    QApplication::processEvents();

    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(editor->FindDialog()->isVisible());
    editor->CloseFind();
    QTest::keyClick(editor, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(editor->ReplaceDialog()->isVisible());
    editor->CloseReplace();

    editor->Dialogs.InputQuery = [](QWidget *, const QString &, const QString &, QString &value) {
        value = QStringLiteral(" bot ");
        return true;
    };
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(form->Editor()->caretLine(), 2);

    form->Editor()->selectInLine(0, 0, 3);
    QTest::keyClick(editor, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(form->Editor()->line(0), QStringLiteral("--select 1"));
    QTest::keyClick(editor, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(form->Editor()->line(0), QStringLiteral("select 1"));

    // The editor's own messages reach the worksheet's message boxes.
    editor->FindDialog()->SetFindText(QStringLiteral("nowhere"));
    editor->FindNext(editor->FindDialog());
    EXPECT_EQ(messages.last(), QStringLiteral("Text not found."));
}
