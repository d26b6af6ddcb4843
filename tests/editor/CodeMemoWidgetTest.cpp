// The editor widget under the offscreen platform: what it draws, its caret and scroll bars.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoViews.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace qd;

namespace {

constexpr TColor White = 0xFFFFFF;
constexpr TColor Blue = 0xFF0000; // 0x00BBGGRR
constexpr TColor Green = 0x00FF00;

struct Widget : public ::testing::Test {
    TCodeMemo memo;
    Widget()
    {
        memo.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        memo.SetColor(White);
        memo.SetSelBackColor(Blue);
        memo.SetSelTextColor(Green);
        memo.resize(300, 200);
    }
    QImage render() { return memo.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void focus()
    {
        memo.show();
        QApplication::setActiveWindow(&memo);
        memo.activateWindow();
        memo.setFocus();
        QApplication::processEvents();
    }
    static int count(const QImage &img, const QRect &r, QRgb colour)
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                    ++n;
        return n;
    }
    // Pixels neither white nor the given colours: ink of some kind.
    static int ink(const QImage &img, const QRect &r)
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                    ++n;
        return n;
    }
    QString lines(int n)
    {
        QString text;
        for (int i = 0; i < n; ++i)
            text += QStringLiteral("select %1 from dual;\r\n").arg(i);
        return text;
    }
};

} // namespace

TEST_F(Widget, StartsWithTheDefaults)
{
    EXPECT_TRUE(memo.WordWrap());
    EXPECT_TRUE(memo.HideSelection());
    EXPECT_EQ(memo.ScrollBars(), ssVertical);
    EXPECT_EQ(memo.CaretWidth(), 1);
    EXPECT_EQ(memo.MouseWheelFactor(), -1);
    EXPECT_EQ(memo.UndoMaxLevel(), 256);
    EXPECT_EQ(memo.UndoMaxSpace(), 65536);
    EXPECT_EQ(memo.HighlightColor(), 255);
    EXPECT_EQ(memo.RightLinePen().Color, 8421504);
    EXPECT_EQ(memo.RightLinePen().Style, Qt::DotLine);
    EXPECT_EQ(memo.EndOfTextMark().Color, 255);
    EXPECT_EQ(memo.Options(),
        TCodeMemoOptions(cmoWrapCaret | cmoInsertKeyActive | cmoWideOverwriteCaret | cmoAutoScrollBars));
    EXPECT_EQ(memo.ClientWidth(), memo.viewport()->width());
    EXPECT_EQ(memo.CharWidth(), QFontMetrics(memo.font()).horizontalAdvance(u' '));
}

TEST_F(Widget, AnEmptyMemoDrawsTheEndOfTextAndRightMarginLines)
{
    memo.SetRightLinePos(10);
    const QImage img = render();
    const int lh = memo.LineHeightPx();
    const int x = 8 + 10 * memo.CharWidth();
    // The end-of-text line right below the single line, across the width.
    EXPECT_GT(count(img, QRect(0, lh, img.width(), 1), qRgb(255, 0, 0)), img.width() - 4);
    EXPECT_EQ(count(img, QRect(0, lh + 3, x - 2, 20), qRgb(255, 0, 0)), 0);
    // The dotted grey margin line from top to bottom.
    const int grey = count(img, QRect(x, 0, 1, img.height()), qRgb(128, 128, 128));
    EXPECT_GT(grey, img.height() / 4);
    EXPECT_LT(grey, img.height());
    // Elsewhere only the background.
    EXPECT_EQ(ink(img, QRect(x + 3, lh + 3, 40, 40)), 0);
    // A pen of colour -1 draws no end-of-text line.
    memo.SetEndOfTextMark(TMemoPen{ -1, 1, Qt::SolidLine });
    EXPECT_EQ(count(render(), QRect(0, lh, img.width(), 1), qRgb(255, 0, 0)), 0);
}

TEST_F(Widget, SelectionColoursOrInversion)
{
    focus();
    ASSERT_TRUE(memo.hasFocus());
    memo.SetTextBuf(QStringLiteral("aaaaaaaaaa bbbbbbbbbb"));
    memo.SetSelStart(0);
    memo.SetSelLength(10);
    const int lh = memo.LineHeightPx();
    const int x2 = memo.ColumnToX(0, 10, 0);
    const QRect selected(9, 1, x2 - 10, lh - 2);
    // Without selection colours the selection is inverted: white turns black, no blue.
    QImage img = render();
    EXPECT_GT(count(img, selected, qRgb(0, 0, 0)), selected.width() * selected.height() / 2);
    EXPECT_EQ(count(img, selected, qRgb(0, 0, 255)), 0);
    // With them: the selection colour behind, text in the selected text colour.
    memo.SetOptions(memo.Options() | cmoWindowsSelColors);
    img = render();
    EXPECT_GT(count(img, selected, qRgb(0, 0, 255)), selected.width() * selected.height() / 2);
    EXPECT_GT(count(img, selected, qRgb(0, 255, 0)), 0);
    // Unselected text stays black on white.
    const QRect rest(x2 + memo.CharWidth() + 1, 0, 5 * memo.CharWidth(), lh);
    EXPECT_EQ(count(img, rest, qRgb(0, 0, 255)), 0);
    EXPECT_GT(ink(img, rest), 0);
}

TEST_F(Widget, HideSelectionHidesItWhileUnfocused)
{
    memo.SetOptions(memo.Options() | cmoWindowsSelColors);
    memo.SetTextBuf(QStringLiteral("aaaaaaaaaa"));
    memo.SelectAll();
    ASSERT_FALSE(memo.hasFocus());
    const QRect line(9, 1, 8 * memo.CharWidth(), memo.LineHeightPx() - 2);
    EXPECT_EQ(count(render(), line, qRgb(0, 0, 255)), 0);
    memo.SetHideSelection(false);
    EXPECT_GT(count(render(), line, qRgb(0, 0, 255)), line.width());
}

TEST_F(Widget, EndOfParagraphMarkFollowsASelectionThatCrossesTheBreak)
{
    focus();
    memo.SetOptions(memo.Options() | cmoWindowsSelColors);
    memo.SetTextBuf(QStringLiteral("ab\r\ncd"));
    memo.SetSelStart(0);
    memo.SetSelLength(4);
    const int lh = memo.LineHeightPx();
    const int x = memo.ColumnToX(0, 2, 0);
    const QRect mark(x + 1, lh / 3 + 1, memo.CharWidth() / 2 - 1, lh / 3 - 2);
    EXPECT_EQ(count(render(), mark, qRgb(0, 0, 255)), mark.width() * mark.height());
    memo.SetShowEndParSelected(false);
    EXPECT_EQ(count(render(), mark, qRgb(0, 0, 255)), 0);
}

TEST_F(Widget, ZigzagUnderlineForTheAttributeBits)
{
    memo.SetTextBuf(QStringLiteral("abcdefgh"));
    const QImage plain = render();
    const auto withAttr = [&](quint8 style) {
        memo.SetTextBuf(QStringLiteral("abcdefgh"));
        TCodeNavigator nav(&memo);
        nav.SetPos(0);
        TAttrRecord rec;
        rec.SetStyle(style);
        rec.Words[2] = rec.Words[3] = -1;
        nav.InsertAttr(rec);
        memo.ReformatAll();
        memo.viewport()->update();
        return render();
    };
    const int lh = memo.LineHeightPx();
    const QRect line(0, 0, memo.ColumnToX(0, 8, 0), lh);
    const QImage zig = withAttr(StyleSets | StyleStrikeOut | StyleHighlight);
    EXPECT_GT(count(zig, line, qRgb(255, 0, 0)), line.width() / 2);
    // Strike-out alone draws no zigzag (and no red).
    const QImage strike = withAttr(StyleSets | StyleStrikeOut);
    EXPECT_EQ(count(strike, line, qRgb(255, 0, 0)), 0);
    EXPECT_NE(strike, plain);
}

TEST_F(Widget, AStyleCodeSwitchesOffWhatTheFontHasOfItself)
{
    TCodeMemo normal;
    normal.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    normal.SetColor(White);
    normal.resize(300, 200);
    normal.SetTextBuf(QStringLiteral("Hello"));

    QFont bold(QStringLiteral("DejaVu Sans Mono"), 10);
    bold.setBold(true);
    memo.setFont(bold);
    memo.SetTextBuf(QString(QChar(2)) + QStringLiteral("Hello"));
    const QRect line(0, 0, 200, memo.LineHeightPx());
    const QImage a = render().copy(line);
    const QImage b = normal.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(line);
    EXPECT_EQ(a, b);
    // Without the code the same text is bold: different pixels.
    memo.SetTextBuf(QStringLiteral("Hello"));
    EXPECT_NE(render().copy(line), b);
}

TEST_F(Widget, CaretWidthZeroFollowsTheLineHeight)
{
    memo.SetLineHeight(27);
    EXPECT_EQ(memo.LineHeightPx(), 27);
    memo.SetCaretWidth(0);
    EXPECT_EQ(memo.CaretPixelWidth(), 2);
    memo.SetCaretWidth(3);
    EXPECT_EQ(memo.CaretPixelWidth(), 3);
    // Automatic height again for 0 and below.
    memo.SetLineHeight(-3);
    EXPECT_EQ(memo.LineHeightPx(), QFontMetrics(memo.font()).height() + 1);
}

TEST_F(Widget, TheCaretIsDrawnOnlyWhileFocusedAndEditable)
{
    memo.SetTextBuf(QStringLiteral("ab"));
    memo.SetSelStart(1);
    const int x = memo.CaretX();
    ASSERT_EQ(x, memo.ColumnToX(0, 1, 0));
    EXPECT_FALSE(memo.CaretVisible());
    focus();
    EXPECT_TRUE(memo.CaretVisible());
    memo.SetDisplayOnly(true);
    EXPECT_FALSE(memo.CaretVisible());
}

TEST_F(Widget, AutomaticScrollBarsAppearAndVanish)
{
    memo.show();
    memo.SetTextBuf(lines(3));
    QApplication::processEvents();
    EXPECT_FALSE(memo.verticalScrollBar()->isVisible());
    memo.SetTextBuf(lines(200));
    QApplication::processEvents();
    EXPECT_TRUE(memo.verticalScrollBar()->isVisible());
    memo.SetTextBuf(lines(3));
    QApplication::processEvents();
    EXPECT_FALSE(memo.verticalScrollBar()->isVisible());
    // Without automatic bars the enabled bar stays.
    memo.SetOptions(memo.Options() & ~TCodeMemoOptions(cmoAutoScrollBars));
    memo.SetScrollBars(ssVertical);
    QApplication::processEvents();
    EXPECT_TRUE(memo.verticalScrollBar()->isVisible());
    EXPECT_FALSE(memo.horizontalScrollBar()->isVisible());
}

TEST_F(Widget, HorizontalScrollingOnlyWithoutWordWrap)
{
    memo.show();
    memo.SetScrollBars(ssBoth);
    memo.SetTextBuf(QString(200, QChar(u'x')));
    QApplication::processEvents();
    EXPECT_FALSE(memo.horizontalScrollBar()->isVisible());
    EXPECT_GT(memo.LineCount(), 1);
    memo.SetWordWrap(false);
    QApplication::processEvents();
    EXPECT_EQ(memo.LineCount(), 1);
    EXPECT_TRUE(memo.horizontalScrollBar()->isVisible());
    memo.horizontalScrollBar()->setValue(10);
    EXPECT_EQ(memo.HorizontalOffset(), 10 * memo.HScrollUnit());
}

TEST_F(Widget, TheScrollBarMovesTheViewAndReportsIt)
{
    memo.show();
    memo.SetWordWrap(false);
    memo.SetTextBuf(lines(100));
    QSignalSpy offset(&memo, &TCodeMemo::offsetChanged);
    int vscrolls = 0;
    memo.OnVScroll = [&](CodeMemoCore *) { ++vscrolls; };
    const int lh = memo.LineHeightPx();
    memo.verticalScrollBar()->setValue(lh * 10);
    EXPECT_EQ(memo.TopLine(), 10);
    EXPECT_EQ(offset.count(), 1);
    EXPECT_EQ(vscrolls, 1);
    // The first visible line is drawn at the top.
    memo.PageDown();
    EXPECT_GT(memo.TopLine(), 10);
    EXPECT_EQ(memo.verticalScrollBar()->value(), int(memo.VerticalOffset() / memo.VScrollUnit()));
}

TEST_F(Widget, ALongTextGetsTheScrollUnitOfItsHeight)
{
    memo.SetWordWrap(false);
    memo.SetLineHeight(16);
    memo.SetTextBuf(QString(99999 * 2, QChar(u'\n')).replace(QStringLiteral("\n\n"), QStringLiteral("\r\n")));
    ASSERT_EQ(memo.LineCount(), 100000);
    EXPECT_EQ(memo.VScrollUnit(), 49);
    memo.show();
    QApplication::processEvents();
    const QScrollBar *bar = memo.verticalScrollBar();
    EXPECT_LE(bar->maximum(), 32760);
    EXPECT_GT(bar->maximum(), 32000);
}

TEST_F(Widget, EditsAndCaretMovesAreSignalled)
{
    QSignalSpy changed(&memo, &TCodeMemo::changed);
    QSignalSpy moved(&memo, &TCodeMemo::caretMoved);
    memo.SetTextBuf(QStringLiteral("abc"));
    EXPECT_GE(changed.count(), 1);
    moved.clear();
    memo.SetSelStart(2);
    EXPECT_EQ(moved.count(), 1);
    changed.clear();
    memo.ReplaceSel(QStringLiteral("x"));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(memo.Lines().Text(), QStringLiteral("abxc"));
}

TEST_F(Widget, WordWrapFollowsTheWindowWidth)
{

    memo.SetTextBuf(QStringLiteral("select empno, ename, job, mgr, hiredate, sal, comm, deptno from emp"));
    memo.show();
    memo.resize(150, 200);
    QApplication::processEvents();
    const qint64 narrow = memo.LineCount();
    memo.resize(600, 200);
    QApplication::processEvents();
    EXPECT_LT(memo.LineCount(), narrow);
    EXPECT_GT(narrow, 2);
}

TEST_F(Widget, ASelectionAcrossAWrapShowsOnBothLines)
{
    focus();
    memo.SetOptions(memo.Options() | cmoWindowsSelColors);
    memo.SetTextBuf(QStringLiteral("aaaa bbbb cccc dddd"));
    // Ten characters a line.
    memo.SetRightMargin(memo.viewport()->width() - 8 - 10 * memo.CharWidth());
    ASSERT_EQ(memo.Lines().Get(0), QStringLiteral("aaaa bbbb "));
    memo.SetSelStart(7);
    memo.SetSelLength(5); // "bb " on line 0, "cc" on line 1
    const QImage img = render();
    const int lh = memo.LineHeightPx();
    const int cw = memo.CharWidth();
    const QRgb blue = qRgb(0, 0, 255);
    // Line 0: nothing before column 7, selected from 7 to the line's end (its blank included).
    EXPECT_EQ(count(img, QRect(8, 1, 7 * cw - 1, lh - 2), blue), 0);
    EXPECT_GT(count(img, QRect(8 + 7 * cw + 1, 1, 3 * cw - 2, lh - 2), blue), 0);
    // Line 1: the first two columns only.
    EXPECT_GT(count(img, QRect(9, lh + 1, 2 * cw - 2, lh - 2), blue), 0);
    EXPECT_EQ(count(img, QRect(8 + 2 * cw + 1, lh + 1, 5 * cw, lh - 2), blue), 0);
    // Line 2 untouched.
    EXPECT_EQ(count(img, QRect(0, 2 * lh + 1, 200, lh - 2), blue), 0);
}

TEST_F(Widget, ParagraphColoursAndHighlightCodesColourTheText)
{
    memo.SetTextBuf(QStringLiteral("plain\r\n") + QChar(3) + QStringLiteral("hi") + QChar(3));
    memo.SetHighlightColor(0x0000FF);
    memo.SetHighlightBackgnd(0x00FF00);
    memo.SetParagraphBackColor(0, 0xFF0000);
    const QImage img = render();
    const int lh = memo.LineHeightPx();
    // Paragraph 0 on blue across the whole line.
    EXPECT_GT(count(img, QRect(0, 0, img.width(), lh), qRgb(0, 0, 255)), img.width() * lh / 2);
    // The highlighted text: green behind, red letters.
    const QRect hi(8, lh, 2 * memo.CharWidth(), lh);
    EXPECT_GT(count(img, hi, qRgb(0, 255, 0)), hi.width() * hi.height() / 3);
    int reddish = 0;
    for (int y = hi.top(); y <= hi.bottom(); ++y)
        for (int x = hi.left(); x <= hi.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            reddish += qRed(p) > 120 && qGreen(p) < 160 && qBlue(p) < 60;
        }
    EXPECT_GT(reddish, 0);
}
