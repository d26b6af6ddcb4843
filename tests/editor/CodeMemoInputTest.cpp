#include "editor/CodeMemoInput.h"
#include "editor/ClipboardText.h"
#include "editor/CodeMemo.h"
#include "editor/StyleCodes.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;

namespace {

class MemoInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        memo = std::make_unique<TCodeMemo>();
        memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        memo->SetUpdateMode(umImmediate);
        memo->resize(400, 200);
        memo->show();
        QApplication::setActiveWindow(memo.get());
        memo->setFocus();
        QGuiApplication::clipboard()->clear();
    }

    void setText(const QString &text)
    {
        memo->SetTextBuf(text);
        memo->ClearUndo();
        memo->SetSelStart(0);
    }

    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(memo.get(), Qt::Key(k), mods);
    }
    void type(const QString &text) { QTest::keyClicks(memo.get(), text); }

    // Client point in the middle of the character cell before position.
    QPoint pointOf(qint64 position)
    {
        TCodeNavigator nav(memo.get());
        nav.SetPos(position);
        memo->EnsureFormattedAt(position);
        const int x = memo->ColumnToX(nav.ParIndex(), nav.Column(), nav.LineInPar());
        const int y = memo->LineToY(nav.LineIndex() - memo->TopLine()) + memo->LineHeightPx() / 2;
        return QPoint(x + 1, y);
    }
    void click(qint64 position, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, mods, pointOf(position));
    }
    void wheel(int delta)
    {
        const QPointF at(50, 50);
        QWheelEvent event(at, memo->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(memo->viewport(), &event);
    }

    QString text() const { return memo->Text(); }

    std::unique_ptr<TCodeMemo> memo;
};

} // namespace

TEST_F(MemoInput, TypingEnterBackspaceAndDelete)
{
    type(QStringLiteral("abc"));
    key(Qt::Key_Return);
    type(QStringLiteral("de"));
    EXPECT_EQ(text(), QStringLiteral("abc\r\nde"));
    EXPECT_EQ(memo->GetSelStart(), 7);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace); // joins the paragraphs
    EXPECT_EQ(text(), QStringLiteral("abc"));
    key(Qt::Key_Home);
    key(Qt::Key_Delete);
    EXPECT_EQ(text(), QStringLiteral("bc"));
    key(Qt::Key_End);
    key(Qt::Key_Delete); // nothing after the end
    EXPECT_EQ(text(), QStringLiteral("bc"));
    setText(QStringLiteral("ab\r\ncd"));
    memo->SetSelStart(2);
    key(Qt::Key_Delete); // joins with the next paragraph
    EXPECT_EQ(text(), QStringLiteral("abcd"));
    memo->Check();
}

TEST_F(MemoInput, BackspaceAtTheStartChangesNothing)
{
    setText(QStringLiteral("abc"));
    key(Qt::Key_Backspace);
    EXPECT_EQ(text(), QStringLiteral("abc"));
    EXPECT_EQ(memo->GetSelStart(), 0);
    EXPECT_FALSE(memo->CanUndo());
}

TEST_F(MemoInput, SelectionIsReplacedByTypingAndDeletedByBackspace)
{
    setText(QStringLiteral("hello world"));
    key(Qt::Key_End, Qt::ShiftModifier);
    type(QStringLiteral("X"));
    EXPECT_EQ(text(), QStringLiteral("X"));
    setText(QStringLiteral("hello world"));
    memo->SetSelStart(6);
    key(Qt::Key_End, Qt::ShiftModifier);
    key(Qt::Key_Backspace);
    EXPECT_EQ(text(), QStringLiteral("hello "));
}

TEST_F(MemoInput, UndoAndRedoKeys)
{
    type(QStringLiteral("abc"));
    key(Qt::Key_Left);
    type(QStringLiteral("X"));
    EXPECT_EQ(text(), QStringLiteral("abXc"));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("abc"));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), QString());
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(text(), QStringLiteral("abc"));
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(text(), QStringLiteral("abXc"));
}

TEST_F(MemoInput, ReadOnlyRefusesEditingKeysButNotCopyOrMoves)
{
    type(QStringLiteral("abc"));
    memo->SetReadOnly(true);
    key(Qt::Key_Z, Qt::ControlModifier);
    type(QStringLiteral("x"));
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);
    key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("abc"));
    EXPECT_TRUE(memo->CanUndo());
    key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(memo->SelLength(), 3);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("abc"));
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("abc"));
}

// Arrows, Home and End move the caret; with Shift they extend the selection from its anchor.
TEST_F(MemoInput, NavigationWithAndWithoutShift)
{
    setText(QStringLiteral("hello world\r\nab\r\nsecond line"));
    key(Qt::Key_End);
    EXPECT_EQ(memo->GetSelStart(), 11);
    key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(memo->GetSelStart(), 0);
    EXPECT_EQ(memo->SelLength(), 11);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 1);
    EXPECT_EQ(memo->SelLength(), 0);
    // Down keeps aiming at the column it started from, over a shorter line.
    memo->SetSelStart(9);
    key(Qt::Key_Down);
    EXPECT_EQ(memo->GetSelStart(), 13 + 2);
    key(Qt::Key_Down);
    EXPECT_EQ(memo->GetSelStart(), 17 + 9);
    key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(memo->GetSelStart(), 15);
    EXPECT_EQ(memo->SelLength(), 11);
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("\r\nsecond li"));
    // Right over a paragraph break is one step; Left back too.
    memo->SetSelStart(11);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 13);
    key(Qt::Key_Left);
    EXPECT_EQ(memo->GetSelStart(), 11);
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(memo->GetSelStart(), memo->TextLength());
    key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(memo->SelLength(), memo->TextLength());
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(memo->GetSelStart(), 6);
    key(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(memo->GetSelStart(), 0);
    EXPECT_EQ(memo->SelLength(), 6);
}

TEST_F(MemoInput, PageKeysMoveByAScreen)
{
    QString t;
    for (int i = 0; i < 100; ++i)
        t += QStringLiteral("line %1\r\n").arg(i);
    setText(t);
    const qint64 page = memo->VisibleLines() - 1;
    ASSERT_GT(page, 2);
    key(Qt::Key_PageDown);
    EXPECT_EQ(memo->Caret().LineIndex(), page);
    EXPECT_EQ(memo->TopLine(), page);
    key(Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(memo->Caret().LineIndex(), 2 * page);
    EXPECT_EQ(memo->SelLength(), -(memo->Caret().Position() - memo->ParagraphStart(page)));
    // With Ctrl only the caret moves; the view then follows it just enough to show it.
    key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(memo->Caret().LineIndex(), 3 * page);
    EXPECT_GE(memo->TopLine(), 2 * page);
    EXPECT_LT(memo->TopLine(), 3 * page);
    EXPECT_LE(
        memo->LineToY(3 * page - memo->TopLine()) + memo->LineHeightPx(), memo->ClientHeight());
    key(Qt::Key_PageUp);
    EXPECT_EQ(memo->Caret().LineIndex(), 2 * page);
    EXPECT_LT(memo->TopLine(), 2 * page);
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(memo->GetSelStart(), 0);
    EXPECT_EQ(memo->TopLine(), 0);
}

TEST_F(MemoInput, SelectAllCopyCutAndPasteKeys)
{
    setText(QStringLiteral("one\r\ntwo"));
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(memo->SelLength(), -8);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("one\ntwo"));
    key(Qt::Key_End, Qt::ControlModifier);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("one\r\ntwoone\r\ntwo"));
    key(Qt::Key_Home, Qt::ShiftModifier);
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("one\r\ntwoone\r\n"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("two"));
    // Paste is one undo step.
    key(Qt::Key_V, Qt::ControlModifier);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("one\r\ntwoone\r\n"));
}

TEST_F(MemoInput, OverwriteReplacesAndEnterOnTheLastLineAppends)
{
    setText(QStringLiteral("ab\r\ncd"));
    key(Qt::Key_Insert);
    ASSERT_TRUE(memo->Overwrite());
    type(QStringLiteral("X"));
    EXPECT_EQ(text(), QStringLiteral("Xb\r\ncd"));
    key(Qt::Key_Return); // to the next line's start, nothing inserted
    EXPECT_EQ(text(), QStringLiteral("Xb\r\ncd"));
    EXPECT_EQ(memo->GetSelStart(), 4);
    key(Qt::Key_Right);
    key(Qt::Key_Return); // on the last line: a break at the end of the text
    EXPECT_EQ(text(), QStringLiteral("Xb\r\ncd\r\n"));
    EXPECT_EQ(memo->GetSelStart(), 8);
    key(Qt::Key_Insert);
    EXPECT_FALSE(memo->Overwrite());
}

// Each wheel message adds delta x factor; every full 120 is one line (positive: up).
TEST_F(MemoInput, WheelWithFactorThreeScrollsOneThenTwoLines)
{
    QString t;
    for (int i = 0; i < 100; ++i)
        t += QStringLiteral("line %1\r\n").arg(i);
    setText(t);
    memo->SetMouseWheelFactor(3);
    memo->ScrollToLine(20);
    ASSERT_EQ(memo->TopLine(), 20);
    wheel(60);
    EXPECT_EQ(memo->TopLine(), 19);
    EXPECT_EQ(memo->Input().WheelAccumulator(), 60);
    wheel(60);
    EXPECT_EQ(memo->TopLine(), 17);
    EXPECT_EQ(memo->Input().WheelAccumulator(), 0);
    wheel(-120);
    EXPECT_EQ(memo->TopLine(), 20);
}

TEST_F(MemoInput, WheelFactorBelowZeroTakesTheSystemSetting)
{
    QString t;
    for (int i = 0; i < 100; ++i)
        t += QStringLiteral("line %1\r\n").arg(i);
    setText(t);
    ASSERT_EQ(memo->MouseWheelFactor(), -1);
    memo->ScrollToLine(20);
    wheel(-120);
    EXPECT_EQ(memo->MouseWheelFactor(), QApplication::wheelScrollLines());
    EXPECT_EQ(memo->TopLine(), 20 + QApplication::wheelScrollLines());
}

TEST_F(MemoInput, AutoIndentCopiesTheIndentationAbove)
{
    memo->SetOptions(memo->Options() | cmoAutoIndent);
    setText(QStringLiteral("  \tbegin\r\n"));
    memo->SetSelStart(9);
    key(Qt::Key_Return);
    type(QStringLiteral("x"));
    EXPECT_EQ(text(), QStringLiteral("  \tbegin\r\n  \tx\r\n"));
    // The empty line below takes the indentation of the nearest line that is not empty.
    key(Qt::Key_End, Qt::ControlModifier);
    key(Qt::Key_Return);
    EXPECT_EQ(text(), QStringLiteral("  \tbegin\r\n  \tx\r\n\r\n"));
    // At most up to the caret's column.
    memo->SetSelStart(1);
    key(Qt::Key_Return);
    EXPECT_EQ(memo->GetParagraphText(1), QStringLiteral("  \tbegin"));
    EXPECT_EQ(memo->GetParagraphText(0), QStringLiteral(" "));
}

TEST_F(MemoInput, BackIndentReturnsToAnEarlierIndentation)
{
    memo->SetOptions(memo->Options() | cmoBackIndent);
    setText(QStringLiteral("a\r\n  b\r\n\r\n      c"));
    memo->SetSelStart(memo->ParagraphStart(3) + 6);
    key(Qt::Key_Backspace);
    EXPECT_EQ(memo->GetParagraphText(3), QStringLiteral("  c"));
    key(Qt::Key_Backspace);
    EXPECT_EQ(memo->GetParagraphText(3), QStringLiteral("c"));
}

TEST_F(MemoInput, CtrlBWithNoSelectionPutsTheCaretBetweenTheCodes)
{
    setText(QStringLiteral("ab"));
    memo->SetSelStart(1);
    key(Qt::Key_B, Qt::ControlModifier);
    const QString bold(1, QChar(scBold));
    EXPECT_EQ(text(), QStringLiteral("a") + bold + bold + QStringLiteral("b"));
    EXPECT_EQ(memo->GetSelStart(), 2);
    type(QStringLiteral("X"));
    EXPECT_EQ(
        text(), QStringLiteral("a") + bold + QStringLiteral("X") + bold + QStringLiteral("b"));
    EXPECT_TRUE(memo->CurrentStyle() & StyleBold);
    // Ctrl+I on a selection wraps it and keeps it selected.
    key(Qt::Key_Home, Qt::ShiftModifier);
    key(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(memo->GetSelText().front(), QChar(scItalic));
    EXPECT_EQ(memo->GetSelText().back(), QChar(scItalic));
}

TEST_F(MemoInput, ClickShiftClickDragAndDoubleClick)
{
    setText(QStringLiteral("select name from emp\r\nwhere x = 1"));
    click(7);
    EXPECT_EQ(memo->GetSelStart(), 7);
    click(11, Qt::ShiftModifier);
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("name"));
    // Pressing and dragging selects from the press to the mouse.
    QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(2));
    QTest::mouseMove(memo->viewport(), pointOf(24));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(24));
    EXPECT_EQ(memo->GetSelStart(), 24);
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("lect name from emp\r\nwh"));
    // A double click selects the word.
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(14));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(14));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("from"));
    // A click below the last line goes to the end of the text.
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 180));
    EXPECT_EQ(memo->GetSelStart(), memo->TextLength());
    EXPECT_EQ(memo->SelLength(), 0);
}

TEST_F(MemoInput, LeftMarginClickSelectsTheLineWithItsBreak)
{
    setText(QStringLiteral("first\r\nsecond\r\nthird"));
    const int y = pointOf(memo->ParagraphStart(1)).y();
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(2, y));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("second\r\n"));
}

TEST_F(MemoInput, DraggingTheSelectionMovesItAsOneUndoStep)
{
    setText(QStringLiteral("alpha beta gamma"));
    memo->SetSelStart(6);
    memo->SetSelLength(5); // "beta "
    QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(8));
    EXPECT_TRUE(memo->Input().DraggingText());
    QTest::mouseMove(memo->viewport(), pointOf(16));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(16));
    EXPECT_FALSE(memo->Input().DraggingText());
    EXPECT_EQ(text(), QStringLiteral("alpha gammabeta "));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("beta "));
    memo->Undo();
    EXPECT_EQ(text(), QStringLiteral("alpha beta gamma"));
    memo->Redo();
    EXPECT_EQ(text(), QStringLiteral("alpha gammabeta "));
    memo->Check();
}

TEST_F(MemoInput, DraggingWithCtrlCopies)
{
    setText(QStringLiteral("ab cd"));
    memo->SetSelStart(0);
    memo->SetSelLength(2);
    QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(1));
    QTest::mouseMove(memo->viewport(), pointOf(5));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::ControlModifier, pointOf(5));
    EXPECT_EQ(text(), QStringLiteral("ab cdab"));
}

TEST_F(MemoInput, DropInsideTheSelectionMovesNothing)
{
    setText(QStringLiteral("alpha beta gamma"));
    memo->SetSelStart(6);
    memo->SetSelLength(4);
    bool selMoved = false;
    memo->OnSelMove = [&](CodeMemoCore *) { selMoved = true; };
    QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(7));
    ASSERT_TRUE(memo->Input().DraggingText());
    QTest::mouseMove(memo->viewport(), pointOf(9));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(9));
    EXPECT_EQ(text(), QStringLiteral("alpha beta gamma"));
    EXPECT_EQ(memo->GetSelStart(), 9);
    EXPECT_EQ(memo->SelLength(), 0);
    EXPECT_TRUE(selMoved);
    EXPECT_FALSE(memo->CanUndo());
}

TEST_F(MemoInput, DragReleasedOutsideDropsNothing)
{
    setText(QStringLiteral("alpha beta"));
    memo->SetSelStart(0);
    memo->SetSelLength(5);
    QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(2));
    QTest::mouseMove(memo->viewport(), QPoint(-50, -50));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(-50, -50));
    EXPECT_EQ(text(), QStringLiteral("alpha beta"));
    EXPECT_EQ(memo->SelLength(), 5);
}

// A column block goes to the clipboard as plain lines with the block marker; pasted back it
// fills short lines with blanks and appends the lines the text lacks.
TEST_F(MemoInput, ColumnCopyPastesPaddedAndAppended)
{
    memo->SetWordWrap(false);
    memo->SetOptions(memo->Options() | cmoBlockSelection);
    setText(QStringLiteral("abcdef\r\nghijkl\r\nx\r\nyyyyyyy"));
    memo->SetColumnSelection(1, 0, 3, 1);
    key(Qt::Key_C, Qt::ControlModifier);
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("bc\nhi\n"));
    EXPECT_TRUE(data->hasFormat(QString::fromLatin1(MemoBlockMimeType)));
    // Caret in the last paragraph at column 4: the second line has no paragraph yet.
    memo->SetSelStart(memo->ParagraphStart(3) + 4);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("abcdef\r\nghijkl\r\nx\r\nyyyybcyyy\r\n    hi"));
    // Without block selection the same clipboard pastes as a stream.
    memo->SetOptions(memo->Options() & ~TCodeMemoOptions(cmoBlockSelection));
    setText(QStringLiteral("Z"));
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("bc\r\nhi\r\nZ"));
}

TEST_F(MemoInput, AltShiftArrowsMakeAColumnBlock)
{
    memo->SetWordWrap(false);
    memo->SetOptions(memo->Options() | cmoBlockSelection);
    setText(QStringLiteral("abcdef\r\nghijkl\r\nmnopqr"));
    memo->SetSelStart(1);
    key(Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
    ASSERT_TRUE(memo->ColumnSelection());
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("bc\r\nhi\r\n"));
    key(Qt::Key_Delete);
    EXPECT_EQ(text(), QStringLiteral("adef\r\ngjkl\r\nmnopqr"));
}

// Text copied from the editor reaches other programs with Linux line breaks, and their text
// comes back as paragraphs.
TEST_F(MemoInput, ClipboardRoundTripWithAPlainTextEdit)
{
    setText(QStringLiteral("select 1\r\nfrom dual"));
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_C, Qt::ControlModifier);
    QPlainTextEdit other;
    other.paste();
    EXPECT_EQ(other.toPlainText(), QStringLiteral("select 1\nfrom dual"));
    EXPECT_FALSE(QGuiApplication::clipboard()->text().contains(u'\r'));

    other.setPlainText(QStringLiteral("a\nb\n\nc"));
    other.selectAll();
    other.copy();
    setText(QString());
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(memo->ParagraphCount(), 4);
    EXPECT_EQ(memo->GetParagraphText(1), QStringLiteral("b"));
    EXPECT_EQ(memo->GetParagraphText(3), QStringLiteral("c"));
    EXPECT_EQ(text(), QStringLiteral("a\r\nb\r\n\r\nc"));
}

TEST_F(MemoInput, DropFromAnotherProgramInsertsParagraphs)
{
    setText(QStringLiteral("0123456789"));
    QMimeData data;
    data.setText(QStringLiteral("p\nq"));
    const QPointF at = pointOf(5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(text(), QStringLiteral("01234p\r\nq56789"));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("p\r\nq"));
    memo->SetReadOnly(true);
    QDragEnterEvent refused(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo->viewport(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(MemoInput, InputMethodCommitsComposedText)
{
    setText(QStringLiteral("ab"));
    memo->SetSelStart(1);
    QInputMethodEvent preedit(QStringLiteral("e"), {});
    QApplication::sendEvent(memo.get(), &preedit);
    EXPECT_EQ(text(), QStringLiteral("ab"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u00e9"));
    QApplication::sendEvent(memo.get(), &commit);
    EXPECT_EQ(text(), QStringLiteral("a\u00e9b"));
    EXPECT_EQ(memo->GetSelStart(), 2);
}

TEST_F(MemoInput, ContextMenuItemsFollowTheState)
{
    setText(QStringLiteral("abc"));
    QMenu *menu = memo->DefaultPopupMenu();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction *a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(texts,
        (QStringList { "&Undo", "&Redo", "-", "Cu&t", "&Copy", "&Paste", "-", "&Select all" }));
    const auto item = [&](int i) { return menu->actions().at(i); };
    emit menu->aboutToShow();
    EXPECT_FALSE(item(0)->isEnabled());
    EXPECT_FALSE(item(3)->isEnabled());
    EXPECT_FALSE(item(4)->isEnabled());
    EXPECT_FALSE(item(5)->isEnabled()); // the clipboard is empty
    item(7)->trigger();
    EXPECT_EQ(memo->SelLength(), -3);
    emit menu->aboutToShow();
    EXPECT_TRUE(item(3)->isEnabled());
    EXPECT_TRUE(item(4)->isEnabled());
    item(3)->trigger();
    EXPECT_EQ(text(), QString());
    emit menu->aboutToShow();
    EXPECT_TRUE(item(0)->isEnabled());
    EXPECT_TRUE(item(5)->isEnabled());
    item(0)->trigger();
    EXPECT_EQ(text(), QStringLiteral("abc"));
    memo->SetReadOnly(true);
    memo->SelectAll();
    emit menu->aboutToShow();
    EXPECT_FALSE(item(3)->isEnabled());
    EXPECT_TRUE(item(4)->isEnabled());
    EXPECT_FALSE(item(5)->isEnabled());
}

TEST_F(MemoInput, TabGoesIntoTheTextWhileTheEditorWantsTabs)
{
    QWidget window;
    auto *host = new TCodeMemo(&window);
    auto *next = new QPlainTextEdit(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    host->setFocus();
    ASSERT_TRUE(host->hasFocus());
    QTest::keyClick(host, Qt::Key_Tab);
    EXPECT_EQ(host->Text(), QStringLiteral("\t"));
    EXPECT_TRUE(host->hasFocus());
    host->SetWantTabs(false);
    QTest::keyClick(host, Qt::Key_Tab);
    EXPECT_EQ(host->Text(), QStringLiteral("\t"));
    EXPECT_TRUE(next->hasFocus());
}

TEST_F(MemoInput, HotKeysForPageBreakTabAndWordDeletion)
{
    setText(QStringLiteral("one two three"));
    memo->SetSelStart(3);
    key(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(
        text(), QStringLiteral("one\r\n") + QChar(scPageBreak) + QStringLiteral("\r\n two three"));
    setText(QStringLiteral("one two three"));
    memo->SetSelStart(4);
    memo->SetSelLength(3);
    key(Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("one \t three"));
    setText(QStringLiteral("one two three"));
    memo->SetSelStart(8);
    key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(text(), QStringLiteral("one three"));
    key(Qt::Key_Delete, Qt::ControlModifier); // to the end of the line
    EXPECT_EQ(text(), QStringLiteral("one "));
    // Shift+Delete cuts a selection, and without one deletes the character before the caret.
    key(Qt::Key_Home, Qt::ShiftModifier);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(text(), QString());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("one "));
    type(QStringLiteral("ab"));
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(text(), QStringLiteral("a"));
}

TEST_F(MemoInput, ArrowsPassOverStyleCodesAndBackspaceTakesThemAlong)
{
    const QString b(1, QChar(scBold));
    setText(QStringLiteral("a") + b + QStringLiteral("bc") + b + QStringLiteral("d"));
    memo->SetSelStart(1);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 3); // over the code and the "b"
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 4);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 6);
    key(Qt::Key_Left);
    EXPECT_EQ(memo->GetSelStart(), 5);
    key(Qt::Key_Left);
    EXPECT_EQ(memo->GetSelStart(), 3);
    // Deleting before a bold run keeps the run bold and never gets stuck on a code.
    setText(QStringLiteral("a") + b + QStringLiteral("bc") + b + QStringLiteral("d"));
    memo->SetSelStart(3);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    EXPECT_EQ(StripStyleCodes(text()), QStringLiteral("cd"));
    TCodeNavigator at(memo.get());
    at.SetPos(text().indexOf(u'c') + 1);
    EXPECT_TRUE(at.StyleAt() & StyleBold);
    memo->SetPassOverCodes(false);
    setText(QStringLiteral("a") + b + QStringLiteral("b"));
    memo->SetSelStart(1);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 2);
    key(Qt::Key_End);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    EXPECT_EQ(text(), QString()); // the "b", then the "a" with the code after it gone with "b"
}

TEST_F(MemoInput, DisplayOnlyKeysScrollTheView)
{
    QString t;
    for (int i = 0; i < 100; ++i)
        t += QStringLiteral("line %1\r\n").arg(i);
    setText(t);
    memo->SetDisplayOnly(true);
    const qint64 visible = memo->VisibleLines();
    key(Qt::Key_PageDown);
    EXPECT_EQ(memo->TopLine(), visible - 1);
    key(Qt::Key_Down);
    EXPECT_EQ(memo->TopLine(), visible);
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    EXPECT_EQ(memo->TopLine(), visible - 2);
    key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(memo->TopLine(), 0);
    type(QStringLiteral("x"));
    key(Qt::Key_Return);
    EXPECT_EQ(text(), t);
    EXPECT_EQ(memo->GetSelStart(), 0);
}

TEST_F(MemoInput, InputIsIgnoredInsideAnUpdateBracket)
{
    setText(QStringLiteral("abc"));
    memo->BeginUpdate();
    type(QStringLiteral("x"));
    key(Qt::Key_Backspace);
    click(2);
    memo->EndUpdate();
    EXPECT_EQ(text(), QStringLiteral("abc"));
    EXPECT_EQ(memo->GetSelStart(), 0);
}

// Holding the button below the view scrolls it line by line and extends the selection.
TEST_F(MemoInput, AutoScrollWhileSelectingBelowTheView)
{
    QString t;
    for (int i = 0; i < 100; ++i)
        t += QStringLiteral("line %1\r\n").arg(i);
    setText(t);
    QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(2));
    const QPoint below(20, memo->viewport()->height() + 30);
    QTest::mouseMove(memo->viewport(), below);
    QMouseEvent move(QEvent::MouseMove, below, memo->viewport()->mapToGlobal(below), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(memo->viewport(), &move);
    EXPECT_TRUE(QTest::qWaitFor([&] { return memo->TopLine() >= 3; }, 5000));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, below);
    const qint64 top = memo->TopLine();
    // The selection reaches from the press to below what the first screen showed.
    EXPECT_EQ(memo->SelStartNav().Position(), 2);
    EXPECT_EQ(&memo->Caret(), &memo->SelEndNav());
    EXPECT_GE(memo->SelEndNav().LineIndex(), memo->VisibleLines());
    QTest::qWait(500);
    EXPECT_EQ(memo->TopLine(), top); // stopped with the release
}

TEST_F(MemoInput, RightClickShowsTheDefaultMenuUnlessSwitchedOff)
{
    setText(QStringLiteral("abc"));
    const QPoint at = pointOf(1);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, memo->viewport()->mapToGlobal(at));
    QApplication::sendEvent(memo->viewport(), &event);
    QMenu *menu = memo->DefaultPopupMenu();
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
    menu->close();
    memo->SetOptions(memo->Options() | cmoNoDefaultPopup);
    QContextMenuEvent again(QContextMenuEvent::Mouse, at, memo->viewport()->mapToGlobal(at));
    QApplication::sendEvent(memo->viewport(), &again);
    QTest::qWait(50);
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(MemoInput, AltWithALetterTypesNothing)
{
    setText(QStringLiteral("ab"));
    QTest::keyClick(memo.get(), Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(memo.get(), Qt::Key_Escape);
    EXPECT_EQ(text(), QStringLiteral("ab"));
    // Text a key produces through the keyboard layout is typed as it comes.
    QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u00e4"));
    QApplication::sendEvent(memo.get(), &umlaut);
    EXPECT_EQ(text(), QStringLiteral("\u00e4ab"));
}

// With cmoKeepColumnPos the caret may stand beyond the line's end; text typed there is padded.
TEST_F(MemoInput, VirtualColumnBeyondTheLineEnd)
{
    memo->SetWordWrap(false);
    memo->SetOptions(
        (memo->Options() | cmoKeepColumnPos | cmoPutExtraSpaces) & ~TCodeMemoOptions(cmoWrapCaret));
    setText(QStringLiteral("ab\r\nlonger line"));
    key(Qt::Key_End);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 2);
    EXPECT_EQ(memo->VirtualColumn(), 2);
    key(Qt::Key_Left);
    EXPECT_EQ(memo->VirtualColumn(), 1);
    type(QStringLiteral("x"));
    EXPECT_EQ(memo->GetParagraphText(0), QStringLiteral("ab x"));
    // Going down from beyond a short line keeps the column on a long one, and back up.
    memo->SetSelStart(memo->ParagraphStart(1) + 8);
    key(Qt::Key_Up);
    EXPECT_EQ(memo->GetSelStart(), 4);
    EXPECT_EQ(memo->VirtualColumn(), 4);
    key(Qt::Key_Down);
    EXPECT_EQ(memo->GetSelStart(), memo->ParagraphStart(1) + 8);
    EXPECT_EQ(memo->VirtualColumn(), 0);
    // With cmoWrapCaret, Right at the end goes on to the next line.
    memo->SetOptions(memo->Options() | cmoWrapCaret);
    memo->SetSelStart(4);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 6);
}

TEST_F(MemoInput, DoubleClickThenDragExtendsByWords)
{
    setText(QStringLiteral("select name from emp"));
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(9));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("name"));
    QTest::mouseMove(memo->viewport(), pointOf(18));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("name from emp"));
    QTest::mouseMove(memo->viewport(), pointOf(2));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("select name"));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(2));
    click(3);
    EXPECT_EQ(memo->SelLength(), 0);
}

// A click on text whose attribute carries a context reports the context and the attribute's range.
TEST_F(MemoInput, ClickOnAnAttributeWithAContextReportsIt)
{
    setText(QStringLiteral("select ename from emp"));
    // An attribute over "ename" that carries context 42, then the plain look again.
    TCodeNavigator nav(memo.get());
    nav.SetPos(7);
    TAttrRecord attribute;
    attribute.SetStyle(StyleSets);
    attribute.Words[2] = attribute.Words[3] = -1;
    attribute.Words[4] = 42;
    nav.InsertAttr(attribute);
    nav.SetPos(12);
    TAttrRecord plain;
    plain.Words[2] = plain.Words[3] = -1;
    nav.InsertAttr(plain);
    QList<QList<qint64>> reports;
    QObject::connect(
        memo.get(), &TCodeMemo::contextClicked, [&](int context, qint64 start, qint64 stop) {
            reports << QList<qint64> { context, start, stop };
        });
    click(9);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0], (QList<qint64> { 42, 7, 12 }));
    click(2); // plain text
    click(15);
    EXPECT_EQ(reports.size(), 1);
    QTest::mouseClick(memo->viewport(), Qt::RightButton, Qt::NoModifier, pointOf(8));
    EXPECT_EQ(reports.size(), 2);
}

TEST_F(MemoInput, HoverShowsTheCursorOfAnAttributeAndOfTheLineZone)
{
    setText(QStringLiteral("select ename from emp"));
    TCodeNavigator nav(memo.get());
    nav.SetPos(7);
    TAttrRecord link;
    link.SetStyle(StyleSets);
    link.Words[2] = link.Words[3] = -1;
    link.Words[5] = 0xFFFF & -21; // pointing hand
    nav.InsertAttr(link);
    nav.SetPos(12);
    TAttrRecord plain;
    plain.Words[2] = plain.Words[3] = -1;
    nav.InsertAttr(plain);
    QTest::mouseMove(memo->viewport(), pointOf(9));
    EXPECT_EQ(memo->viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(memo->viewport(), pointOf(3));
    EXPECT_EQ(memo->viewport()->cursor().shape(), Qt::IBeamCursor);
    QTest::mouseMove(memo->viewport(), QPoint(1, pointOf(3).y()));
    EXPECT_EQ(memo->viewport()->cursor().shape(), Qt::BitmapCursor);
}

TEST_F(MemoInput, DraggingInTheLineZoneSelectsWholeLines)
{
    setText(QStringLiteral("one\r\ntwo\r\nthree\r\nfour"));
    const int y0 = pointOf(memo->ParagraphStart(1)).y();
    const int y2 = pointOf(memo->ParagraphStart(2)).y();
    QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(2, y0));
    QTest::mouseMove(memo->viewport(), QPoint(30, y2));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, y2));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("two\r\nthree\r\n"));
}

// Ctrl+E repaints and checks that paragraphs and display lines agree; the first disagreement is
// shown in a box, its text the error's followed by the editor's version.
TEST_F(MemoInput, CtrlEShowsTheFirstDisagreementOfParagraphsAndLines)
{
    setText(QStringLiteral("one\r\ntwo"));
    const auto boxes = [this] { return memo->findChildren<QMessageBox *>(); };
    key(Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_EQ(text(), QStringLiteral("one\r\ntwo"));

    // The last paragraph one character shorter than the positions say.
    TParagraph *last = memo->Paragraphs().At(1);
    const bool formatted = last->Formatted;
    --last->Length;
    if (formatted)
        --last->FirstLine.EndOffset;
    memo->SetReadOnly(true);
    key(Qt::Key_E, Qt::ControlModifier); // a key press of a read-only editor
    EXPECT_TRUE(boxes().isEmpty());
    memo->SetReadOnly(false);
    key(Qt::Key_E, Qt::ControlModifier);
    ++last->Length;
    if (formatted)
        ++last->FirstLine.EndOffset;
    ASSERT_EQ(boxes().size(), 1);
    EXPECT_EQ(boxes().front()->text(), QStringLiteral("Error 5 in ") + memo->Version());
    delete boxes().front();
    EXPECT_EQ(text(), QStringLiteral("one\r\ntwo"));
}

// A double click selects the word under the mouse: up to separators, or with cmoLargeWordSelect
// up to blanks, tabs and line breaks; dragging after it extends by the same words.
TEST_F(MemoInput, LargeWordSelectTakesEverythingBetweenBlanks)
{
    setText(QStringLiteral("from scott.emp e, dept\r\nx"));
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(12));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("emp"));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(12));

    memo->SetOptions(memo->Options() | cmoLargeWordSelect);
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(12));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("scott.emp"));
    QTest::mouseMove(memo->viewport(), pointOf(16));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("scott.emp e,"));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(16));
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(20));
    EXPECT_EQ(memo->GetSelText(), QStringLiteral("dept")); // the line break ends it
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(20));
}

// With cmoDiscardTrailingSpaces blanks at a paragraph's end stand for a virtual column: Left and
// Right never stop among them.
TEST_F(MemoInput, DiscardTrailingSpacesKeepsLeftAndRightOutOfTrailingBlanks)
{
    // Blanks kept from before the option (the document's own switch does not reload the text).
    setText(QStringLiteral("ab \t \r\ncd"));
    memo->CodeDocument::SetOptions(memo->Options() | cmoDiscardTrailingSpaces);
    ASSERT_EQ(text(), QStringLiteral("ab \t \r\ncd"));
    memo->SetSelStart(7); // start of "cd"
    key(Qt::Key_Left);
    EXPECT_EQ(memo->GetSelStart(), 2); // before the blanks, not after them
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 7); // over the blanks and the break at once
    memo->SetSelStart(4); // inside the blanks
    key(Qt::Key_Left);
    EXPECT_EQ(memo->GetSelStart(), 2);
    memo->SetSelStart(4);
    key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(memo->GetSelStart(), 7);
    EXPECT_EQ(memo->SelLength(), -3);

    // With cmoKeepColumnPos (and no caret wrap) Right at the end goes on in the virtual column.
    memo->CodeDocument::SetOptions(
        (memo->Options() | cmoKeepColumnPos) & ~TCodeMemoOptions(cmoWrapCaret));
    memo->SetWordWrap(false);
    memo->SetSelStart(4);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 2);
    EXPECT_EQ(memo->VirtualColumn(), 1);
    key(Qt::Key_Right);
    EXPECT_EQ(memo->GetSelStart(), 2);
    EXPECT_EQ(memo->VirtualColumn(), 2);
    key(Qt::Key_Left);
    EXPECT_EQ(memo->VirtualColumn(), 1);

    // Without the option a blank is a character like any other.
    memo->CodeDocument::SetOptions(memo->Options() & ~TCodeMemoOptions(cmoDiscardTrailingSpaces | cmoKeepColumnPos));
    memo->SetSelStart(7);
    key(Qt::Key_Left);
    EXPECT_EQ(memo->GetSelStart(), 5);
}

// The published input events fire before the editor acts, and may keep it from acting.
TEST_F(MemoInput, KeyAndMouseEventsComeBeforeTheEditorActs)
{
    setText(QStringLiteral("abc\r\ndef"));
    QStringList log;
    memo->OnKeyDown = [&](TCodeMemo *sender, QKeyEvent *event, bool &handled) {
        EXPECT_EQ(sender, memo.get());
        log << QStringLiteral("down %1 at %2").arg(event->key()).arg(memo->GetSelStart());
        handled = event->key() == Qt::Key_Delete;
    };
    memo->OnKeyPress = [&](TCodeMemo *, QString &text) {
        log << QStringLiteral("press %1 at %2").arg(text).arg(memo->GetSelStart());
        if (text == QStringLiteral("q"))
            text.clear(); // swallowed
        else if (text == QStringLiteral("x"))
            text = QStringLiteral("yz"); // typed instead
    };
    memo->OnKeyUp = [&](TCodeMemo *, QKeyEvent *event) {
        log << QStringLiteral("up %1").arg(event->key());
    };
    key(Qt::Key_Right);
    key(Qt::Key_Delete); // handled by the OnKeyDown handler: nothing deleted
    type(QStringLiteral("q"));
    type(QStringLiteral("x"));
    EXPECT_EQ(text(), QStringLiteral("ayzbc\r\ndef"));
    EXPECT_EQ(log,
        QStringList({ QStringLiteral("down %1 at 0").arg(Qt::Key_Right),
            QStringLiteral("up %1").arg(Qt::Key_Right),
            QStringLiteral("down %1 at 1").arg(Qt::Key_Delete),
            QStringLiteral("up %1").arg(Qt::Key_Delete),
            QStringLiteral("down %1 at 1").arg(Qt::Key_Q), QStringLiteral("press q at 1"),
            QStringLiteral("up %1").arg(Qt::Key_Q), QStringLiteral("down %1 at 1").arg(Qt::Key_X),
            QStringLiteral("press x at 1"), QStringLiteral("up %1").arg(Qt::Key_X) }));

    // Mouse: the handler sees the caret where it was; the editor moves it afterwards.
    setText(QStringLiteral("abc\r\ndef"));
    log.clear();
    memo->OnMouseDown = [&](TCodeMemo *, QMouseEvent *event) {
        log << QStringLiteral("mouse down %1 at %2").arg(int(event->type())).arg(memo->GetSelStart());
    };
    memo->OnMouseMove = [&](TCodeMemo *, QMouseEvent *) {
        log << QStringLiteral("mouse move at %1").arg(memo->GetSelStart());
    };
    memo->OnMouseUp = [&](TCodeMemo *, QMouseEvent *) {
        log << QStringLiteral("mouse up at %1").arg(memo->GetSelStart());
    };
    memo->OnAfterMouseDown = [&](TCodeMemo *, QMouseEvent *) {
        log << QStringLiteral("after down at %1").arg(memo->GetSelStart());
    };
    memo->SetSelStart(0);
    QTest::mousePress(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(6));
    QTest::mouseMove(memo->viewport(), pointOf(7));
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(7));
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log[0], QStringLiteral("mouse down %1 at 0").arg(int(QEvent::MouseButtonPress)));
    EXPECT_EQ(log[1], QStringLiteral("after down at 6"));
    EXPECT_EQ(log[2], QStringLiteral("mouse move at 6"));
    EXPECT_EQ(log.back(), QStringLiteral("mouse up at 7"));
    log.clear();
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(1));
    const QString dblClick = QStringLiteral("mouse down %1 ").arg(int(QEvent::MouseButtonDblClick));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString &l) { return l.startsWith(dblClick); }))
        << log.join(u'|').toStdString();
    QTest::mouseRelease(memo->viewport(), Qt::LeftButton, Qt::NoModifier, pointOf(1));
}
