// The file editor's commands: go to line, find, replace, line prefixes and column-block typing.
#include "CodeEditorTestSupport.h"

#include "editor/FindDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace qd;
using qd::test::CodeEditorFixture;

namespace {

class CodeEditorCommands : public CodeEditorFixture {
protected:
    void load(const QString &text)
    {
        editor.SetTextBuf(text);
        editor.ClearUndo();
        editor.SetModified(false);
        editor.SetSelStart(0);
    }
    qint64 caretLine() { return editor.GetCaretLine(); }
    qint64 caretColumn() { return editor.GetCaretColumn(); }
    QString selected() { return editor.CodeDocument::GetSelText(); }
};

const QString FiveLines = QStringLiteral("one\r\ntwo two\r\nthree\r\nfour\r\nfive");

} // namespace

TEST_F(CodeEditorCommands, GotoLineReadsLinesColumnsTopAndBottom)
{
    load(FiveLines);
    struct Case {
        const char *answer;
        qint64 line;
        qint64 column;
    };
    const Case cases[] = {
        { " bot ", 4, 0 },
        { "3", 2, 0 },
        { "\t2:5 ", 1, 4 },
        { "top", 0, 0 },
        { "BOTTOM", 4, 0 },
        { "99", 4, 0 }, // past the end: the last line
        { "2:99", 1, 7 }, // past the line's end: its end
    };
    for (const Case &c : cases) {
        editor.SetSelStart(editor.ParagraphStart(2) + 1);
        inputs = { QString::fromLatin1(c.answer) };
        editor.GotoLine();
        EXPECT_EQ(caretLine(), c.line) << c.answer;
        EXPECT_EQ(caretColumn(), c.column) << c.answer;
    }
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(prompts.first(), QStringLiteral("Enter Line, Line:Col, TOP, or BOTTOM"));
}

TEST_F(CodeEditorCommands, GotoLineRefusesWhatIsNotAPosition)
{
    load(FiveLines);
    for (const char *answer : { "12:", ":3", "x", "1.5", "-2", "2:b" }) {
        editor.SetSelStart(editor.ParagraphStart(3));
        messages.clear();
        inputs = { QString::fromLatin1(answer) };
        editor.GotoLine();
        ASSERT_EQ(messages.size(), 1) << answer;
        EXPECT_EQ(messages[0],
            QString::fromLatin1(answer).toUpper()
                + QStringLiteral(
                    " is not a valid position.  You must enter numbers, TOP, or BOTTOM."));
        EXPECT_EQ(caretLine(), 3) << answer;
    }
    // Cancel does nothing.
    messages.clear();
    editor.GotoLine();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(caretLine(), 3);
}

TEST_F(CodeEditorCommands, FindNextFollowsTheDialogsChoicesAndDoesNotWrap)
{
    load(QStringLiteral("Select a\r\nselect b\r\nreselect c"));
    TFindDialog *find = editor.FindDialog();
    find->SetFindText(QStringLiteral("select"));
    find->SetOptions(frDown);
    EXPECT_TRUE(editor.FindNext(find));
    EXPECT_EQ(editor.SelStartNav().Position(), 0);
    EXPECT_TRUE(editor.FindNext(find));
    EXPECT_EQ(editor.SelStartNav().Position(), editor.ParagraphStart(1));
    EXPECT_TRUE(editor.FindNext(find));
    EXPECT_EQ(editor.SelStartNav().Position(), editor.ParagraphStart(2) + 2);
    EXPECT_FALSE(editor.FindNext(find));
    EXPECT_EQ(messages, QStringList { QStringLiteral("Text not found.") });

    // Whole words and case, searching up from the end.
    editor.SetSelStart(editor.TextLength());
    find->SetOptions(frWholeWord | frMatchCase);
    EXPECT_TRUE(editor.FindNext(find));
    EXPECT_EQ(editor.SelStartNav().Position(), editor.ParagraphStart(1));
    EXPECT_FALSE(editor.FindNext(find));
}

TEST_F(CodeEditorCommands, ReplaceTakesTheSelectionOnlyWhenItIsTheSearchedText)
{
    load(QStringLiteral("alpha beta alpha"));
    TReplaceDialog *replace = editor.ReplaceDialog();
    replace->SetFindText(QStringLiteral("ALPHA"));
    replace->SetReplaceText(QStringLiteral("gamma"));
    // "beta" is selected: it is left alone and the next match is replaced instead.
    editor.SetSelStart(6);
    editor.SetSelLength(4);
    replace->Replace();
    EXPECT_EQ(editor.Text(), QStringLiteral("alpha beta gamma"));
    EXPECT_TRUE(messages.isEmpty());
    // A selection that is the searched text (without match case) is replaced as it stands.
    editor.SetSelStart(0);
    editor.SetSelLength(5);
    replace->Replace();
    EXPECT_EQ(editor.Text(), QStringLiteral("gamma beta gamma"));
    // Match case refuses the selection "alpha" and finds nothing else.
    load(QStringLiteral("alpha"));
    editor.SelectAll();
    replace->SetOptions(frDown | frHideUpDown | frMatchCase);
    replace->Replace();
    EXPECT_EQ(editor.Text(), QStringLiteral("alpha"));
    EXPECT_EQ(messages, QStringList { QStringLiteral("Text not found.") });
}

TEST_F(CodeEditorCommands, ReplaceAllReplacesEveryMatchAfterTheCaretAsUndoableEdits)
{
    load(QStringLiteral("x := a + a;\r\ny := aa + a;"));
    TReplaceDialog *replace = editor.ReplaceDialog();
    replace->SetFindText(QStringLiteral("a"));
    replace->SetReplaceText(QStringLiteral("ab"));
    replace->SetOptions(frDown | frHideUpDown | frWholeWord);
    replace->ReplaceAll();
    EXPECT_EQ(editor.Text(), QStringLiteral("x := ab + ab;\r\ny := aa + ab;"));
    EXPECT_EQ(messages, QStringList { QStringLiteral("Text replaced.") });
    editor.Undo();
    EXPECT_EQ(editor.Text(), QStringLiteral("x := ab + ab;\r\ny := aa + a;"));
}

TEST_F(CodeEditorCommands, TheFindAndReplaceDialogsAnswerTheirKeys)
{
    load(QStringLiteral("one two one"));
    editor.show();
    editor.ShowFind();
    TFindDialog *find = editor.FindDialog();
    ASSERT_TRUE(find->isVisible());
    EXPECT_FALSE(editor.HideSelection()); // the selection shows while the dialog is up
    auto *text = find->findChild<QLineEdit *>(QStringLiteral("FindText"));
    ASSERT_NE(text, nullptr);
    text->setText(QStringLiteral("one"));
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(editor.SelStartNav().Position(), 0);
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(editor.SelStartNav().Position(), 8);
    QTest::keyClick(text, Qt::Key_Escape);
    EXPECT_FALSE(find->isVisible());
    EXPECT_TRUE(editor.HideSelection());

    // The replace dialog starts with the selected text.
    editor.SetSelStart(4);
    editor.SetSelLength(3);
    editor.ShowReplace();
    TReplaceDialog *replace = editor.ReplaceDialog();
    EXPECT_EQ(replace->FindText(), QStringLiteral("two"));
    replace->findChild<QLineEdit *>(QStringLiteral("ReplaceText"))->setText(QStringLiteral("2"));
    replace->findChild<QPushButton *>(QStringLiteral("ReplaceAll"))->click();
    EXPECT_EQ(editor.Text(), QStringLiteral("one 2 one"));
    editor.CloseReplace();
    EXPECT_FALSE(replace->isVisible());
}

TEST_F(CodeEditorCommands, LinePrefixesGoOnAndComeOffWholeLinesInOneEdit)
{
    load(QStringLiteral("select 1\r\n  from dual\r\n--done\r\nlast"));
    // From inside the first line to the start of the third: lines one and two.
    editor.SetSelStart(3);
    editor.SetSelLength(editor.ParagraphStart(2) - 3);
    editor.AddLinePrefix(QStringLiteral("--"));
    EXPECT_EQ(editor.Text(), QStringLiteral("--select 1\r\n--  from dual\r\n--done\r\nlast"));
    EXPECT_EQ(selected(), QStringLiteral("--select 1\r\n--  from dual"));
    editor.Undo();
    EXPECT_EQ(editor.Text(), QStringLiteral("select 1\r\n  from dual\r\n--done\r\nlast"));

    // Only a prefix at the very first character comes off.
    load(QStringLiteral("--a\r\n  --b\r\n--c"));
    editor.SelectAll();
    editor.RemoveLinePrefix(QStringLiteral("--"));
    EXPECT_EQ(editor.Text(), QStringLiteral("a\r\n  --b\r\nc"));

    // Without a selection, the caret's line.
    load(QStringLiteral("a\r\nb"));
    editor.SetSelStart(4);
    editor.AddLinePrefix(QStringLiteral("--"));
    EXPECT_EQ(editor.Text(), QStringLiteral("a\r\n--b"));
}

TEST_F(CodeEditorCommands, TypingInAColumnBlockTypesOnEveryLine)
{
    load(QStringLiteral("abc\r\ndef\r\nghi"));
    editor.show();
    editor.setFocus();
    editor.SetColumnSelection(1, 0, 1, 2);
    QTest::keyClick(&editor, Qt::Key_X);
    EXPECT_EQ(editor.Text(), QStringLiteral("axbc\r\ndxef\r\ngxhi"));
    EXPECT_TRUE(editor.ColumnSelection());
    QTest::keyClick(&editor, Qt::Key_Y);
    EXPECT_EQ(editor.Text(), QStringLiteral("axybc\r\ndxyef\r\ngxyhi"));
    QTest::keyClick(&editor, Qt::Key_Backspace);
    EXPECT_EQ(editor.Text(), QStringLiteral("axbc\r\ndxef\r\ngxhi"));
    EXPECT_EQ(editor.BlockColumn1(), 2);
}

TEST_F(CodeEditorCommands, MoveCaretToPointTakesTheLineAndColumnUnderIt)
{
    load(FiveLines);
    const int lh = editor.LineHeightPx();
    editor.MoveCaretToPoint(editor.LeftMargin() + editor.CharWidth() * 2 + 1, lh * 2 + lh / 2);
    EXPECT_EQ(caretLine(), 2);
    EXPECT_EQ(caretColumn(), 2);
}
