// The gutter beside an editor: bookmarks and their keys, numbers, following the editor.
#include "editor/CodeGutter.h"
#include "editor/CodeMemo.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;

namespace {

class Gutter : public ::testing::Test {
protected:
    Gutter()
    {
        auto *layout = new QHBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        gutter = new TCodeGutter;
        memo = new TCodeMemo;
        layout->addWidget(gutter);
        layout->addWidget(memo);
        memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        gutter->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 8));
        gutter->SetColor(Qt::white);
        gutter->SetCodeMemo(memo);
        window.resize(300, 240);
        window.show();
        memo->setFocus();
        QApplication::processEvents();
    }

    void load(const QString &text)
    {
        memo->SetTextBuf(text);
        memo->SetSelStart(0);
        QApplication::processEvents();
    }

    void caretToLine(qint64 line)
    {
        memo->SetCaretLine(line);
    }

    QImage render()
    {
        QApplication::processEvents();
        return gutter->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Pixels of the band of a display line (as drawn beside the editor) that are not white,
    // leaving out the gutter's two edge lines.
    int inkOnLine(const QImage &image, qint64 line)
    {
        const int lh = memo->LineHeightPx();
        const int top = memo->viewport()->mapTo(&window, QPoint(0, 0)).y()
            - gutter->mapTo(&window, QPoint(0, 0)).y() + memo->LineToY(line - memo->TopLine());
        int n = 0;
        for (int y = qMax(0, top); y < qMin(image.height(), top + lh); ++y)
            for (int x = 0; x < image.width() - 2; ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                    ++n;
        return n;
    }

    // Pixels of the bookmark icons' blue on a line.
    int iconOnLine(const QImage &image, qint64 line)
    {
        const QImage icon = TCodeGutter::BookmarkIcon(0).toImage();
        const QRgb blue = icon.pixel(1, TCodeGutter::IconSize / 2) & 0xFFFFFF;
        const int lh = memo->LineHeightPx();
        const int top = memo->viewport()->mapTo(&window, QPoint(0, 0)).y()
            - gutter->mapTo(&window, QPoint(0, 0)).y() + memo->LineToY(line - memo->TopLine());
        int n = 0;
        for (int y = qMax(0, top); y < qMin(image.height(), top + lh); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == blue)
                    ++n;
        return n;
    }

    QWidget window;
    TCodeGutter *gutter;
    TCodeMemo *memo;
};

const QString SixLines = QStringLiteral("one\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix");

} // namespace

TEST_F(Gutter, CtrlShiftDigitTwiceSetsAndRemovesThatBookmark)
{
    load(SixLines);
    caretToLine(2);
    QTest::keyClick(memo, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(gutter->BookmarkLine(3), 2);
    QTest::keyClick(memo, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(gutter->BookmarkLine(3), -1);
    EXPECT_EQ(memo->Text(), SixLines); // the keys typed nothing
}

TEST_F(Gutter, ABookmarkKeyOnALineHoldingAnotherBookmarkDoesNothing)
{
    load(SixLines);
    caretToLine(1);
    QTest::keyClick(memo, Qt::Key_5, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(gutter->BookmarkLine(5), 1);
    QTest::keyClick(memo, Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(gutter->BookmarkLine(3), -1);
    EXPECT_EQ(gutter->BookmarkLine(5), 1);
    // The same bookmark on another line moves there.
    caretToLine(4);
    QTest::keyClick(memo, Qt::Key_5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(gutter->BookmarkLine(5), 4);
}

TEST_F(Gutter, CtrlDigitGoesToASetBookmarkOnly)
{
    load(SixLines);
    caretToLine(4);
    memo->SetCaretColumn(2);
    QTest::keyClick(memo, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier);
    caretToLine(0);
    QTest::keyClick(memo, Qt::Key_3, Qt::ControlModifier); // unset: nothing
    EXPECT_EQ(memo->GetCaretLine(), 0);
    QTest::keyClick(memo, Qt::Key_7, Qt::ControlModifier);
    EXPECT_EQ(memo->GetCaretLine(), 4);
    EXPECT_EQ(memo->GetCaretColumn(), 0);
    // The shifted sign a keyboard reports for Shift+digit counts as the digit.
    caretToLine(1);
    QTest::keyClick(memo, Qt::Key_NumberSign, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(gutter->BookmarkLine(3), 1);
}

TEST_F(Gutter, BookmarkIndexesOutsideZeroToNineAreRefused)
{
    load(SixLines);
    for (int index : { -1, 10, 128, 131 })
        EXPECT_FALSE(gutter->ToggleBookmark(1, index)) << index;
    for (int i = 0; i < TCodeGutter::BookmarkCount; ++i)
        EXPECT_EQ(gutter->BookmarkLine(i), -1);
    EXPECT_FALSE(gutter->ToggleBookmark(99, 1)); // past the last line
    EXPECT_TRUE(gutter->ToggleBookmark(5, 9));
}

TEST_F(Gutter, BookmarksStayOnTheirLineWhileTextIsEdited)
{
    load(SixLines);
    ASSERT_TRUE(gutter->ToggleBookmark(3, 1)); // "four"
    memo->SetSelStart(0);
    memo->ReplaceSel(QStringLiteral("zero\r\n"));
    EXPECT_EQ(gutter->BookmarkLine(1), 4);
    // Typing in front of the bookmarked line keeps the bookmark at the line's start.
    memo->SetSelStart(memo->ParagraphStart(4));
    memo->ReplaceSel(QStringLiteral("x"));
    EXPECT_EQ(gutter->BookmarkLine(1), 4);
    EXPECT_EQ(gutter->BookmarkPosition(1), memo->ParagraphStart(4));
    memo->Undo();
    memo->Undo();
    EXPECT_EQ(gutter->BookmarkLine(1), 3);
}

TEST_F(Gutter, ABookmarkedLineShowsItsIconInsteadOfItsNumber)
{
    load(SixLines);
    const QImage before = render();
    EXPECT_GT(inkOnLine(before, 2), 0);
    EXPECT_EQ(iconOnLine(before, 2), 0);
    ASSERT_TRUE(gutter->ToggleBookmark(2, 4));
    const QImage after = render();
    EXPECT_GT(iconOnLine(after, 2), 10);
    EXPECT_EQ(iconOnLine(after, 1), 0);
    // Without line numbers only the icon remains.
    gutter->SetLineNumbers(false);
    const QImage bare = render();
    EXPECT_EQ(inkOnLine(bare, 1), 0);
    EXPECT_GT(iconOnLine(bare, 2), 10);
}

TEST_F(Gutter, ParagraphNumbersShowOnlyOnAParagraphsFirstWrappedLine)
{
    memo->SetWordWrap(true);
    load(QStringLiteral("short\r\n") + QString(200, QLatin1Char('w')).replace(QLatin1String("ww"), QLatin1String("w ")) + QStringLiteral("\r\nend"));
    memo->FormatRange(0, memo->ParagraphCount() - 1, true);
    ASSERT_GT(memo->LineCount(), 4) << "the middle paragraph wraps";
    const qint64 endLine = memo->LineCount() - 1;
    gutter->SetParagraphNumbers(true);
    const QImage numbered = render();
    EXPECT_GT(inkOnLine(numbered, 0), 0);
    EXPECT_GT(inkOnLine(numbered, 1), 0);
    EXPECT_EQ(inkOnLine(numbered, 2), 0);
    EXPECT_EQ(inkOnLine(numbered, 3), 0);
    EXPECT_GT(inkOnLine(numbered, endLine), 0);
    // Display-line numbering numbers every line.
    gutter->SetParagraphNumbers(false);
    const QImage lines = render();
    EXPECT_GT(inkOnLine(lines, 2), 0);
    EXPECT_GT(inkOnLine(lines, 3), 0);
}

TEST_F(Gutter, FollowsTheEditorsScrolling)
{
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("line %1\r\n").arg(i);
    memo->SetWordWrap(false);
    load(text);
    ASSERT_TRUE(gutter->ToggleBookmark(40, 2));
    EXPECT_EQ(iconOnLine(render(), 40), 0) << "not on screen yet";
    memo->ScrollToLine(38);
    QApplication::processEvents();
    const QImage scrolled = render();
    EXPECT_GT(iconOnLine(scrolled, 40), 10);
    EXPECT_EQ(iconOnLine(scrolled, 39), 0);
}

TEST_F(Gutter, AnEditorThatGoesAwayLeavesTheGutterEmpty)
{
    load(SixLines);
    ASSERT_TRUE(gutter->ToggleBookmark(1, 1));
    delete memo;
    EXPECT_EQ(gutter->CodeMemo(), nullptr);
    EXPECT_EQ(gutter->BookmarkLine(1), -1);
    EXPECT_FALSE(gutter->ToggleBookmark(1, 1));
    render(); // paints without an editor
}

TEST_F(Gutter, AnotherEditorDropsTheBookmarks)
{
    load(SixLines);
    ASSERT_TRUE(gutter->ToggleBookmark(1, 1));
    TCodeMemo other;
    other.SetTextBuf(SixLines);
    const size_t before = memo->Navigators().size();
    gutter->SetCodeMemo(&other);
    EXPECT_EQ(memo->Navigators().size(), before - 1);
    EXPECT_EQ(gutter->BookmarkLine(1), -1);
    QTest::keyClick(memo, Qt::Key_2, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(gutter->BookmarkLine(2), -1); // the old editor's keys no longer reach it
    gutter->SetCodeMemo(nullptr);
}

TEST_F(Gutter, LoadingAnotherTextDropsTheBookmarks)
{
    load(SixLines);
    ASSERT_TRUE(gutter->ToggleBookmark(2, 1));
    ASSERT_TRUE(gutter->ToggleBookmark(4, 2));
    const size_t navigators = memo->Navigators().size();
    load(QStringLiteral("a\r\nb\r\nc\r\nd\r\ne"));
    EXPECT_EQ(gutter->BookmarkLine(1), -1);
    EXPECT_EQ(gutter->BookmarkLine(2), -1);
    EXPECT_EQ(memo->Navigators().size(), navigators - 2);
    EXPECT_TRUE(gutter->ToggleBookmark(2, 1));
}
