#include "editor/TextCommands.h"
#include "editor/ClipboardText.h"
#include "editor/StyleCodes.h"

#include "editor/EditorTestSupport.h"

#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

using namespace qd;
using qd::test::setText;

namespace {

const QString B(1, QChar(scBold));

bool defaultSeparator(char16_t c)
{
    return QStringLiteral("\t $%&,./:;<=>").contains(QChar(c));
}

} // namespace

TEST(ClipboardText, LineBreaksBothWays)
{
    struct Case {
        const char *from;
        const char *toEditor;
    };
    const Case cases[] = {
        { "a\nb", "a\r\nb" },
        { "a\r\nb", "a\r\nb" },
        { "a\rb", "a\r\nb" },
        { "a\n\nb\n", "a\r\n\r\nb\r\n" },
        { "", "" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(
            EditorTextFromClipboard(QString::fromLatin1(c.from)), QString::fromLatin1(c.toEditor))
            << c.from;
    EXPECT_EQ(
        ClipboardTextFromEditor(QStringLiteral("a\r\nb\r\n\r\nc")), QStringLiteral("a\nb\n\nc"));
    EXPECT_EQ(SplitTextLines(QStringLiteral("a\r\nb\rc\nd")), (QStringList { "a", "b", "c", "d" }));
    EXPECT_EQ(SplitTextLines(QString()), QStringList { QString() });
}

TEST(ClipboardText, BlockMarkerTravelsBesideThePlainText)
{
    std::unique_ptr<QMimeData> block(MakeClipboardData(QStringLiteral("ab\r\ncd\r\n"), true));
    EXPECT_EQ(block->text(), QStringLiteral("ab\ncd\n"));
    EXPECT_EQ(block->data(QString::fromLatin1(MemoBlockMimeType)), QByteArray(1, 2));
    const TClipboardContent read = ReadClipboardData(block.get());
    EXPECT_TRUE(read.HasText);
    EXPECT_TRUE(read.Block);
    EXPECT_EQ(read.Text, QStringLiteral("ab\r\ncd\r\n"));

    std::unique_ptr<QMimeData> plain(MakeClipboardData(QStringLiteral("x"), false));
    EXPECT_FALSE(plain->hasFormat(QString::fromLatin1(MemoBlockMimeType)));
    EXPECT_FALSE(ReadClipboardData(plain.get()).Block);

    // A marker that does not hold 2, or data without text, is no block.
    QMimeData odd;
    odd.setText(QStringLiteral("x"));
    odd.setData(QString::fromLatin1(MemoBlockMimeType), QByteArray(1, 7));
    EXPECT_FALSE(ReadClipboardData(&odd).Block);
    QMimeData empty;
    EXPECT_FALSE(ReadClipboardData(&empty).HasText);
    EXPECT_FALSE(ReadClipboardData(nullptr).HasText);
}

TEST(ToggleStyleCode, EmptySelectionLeavesTheCaretBetweenTheCodes)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("abc"));
    doc.SetSelStart(1);
    ToggleStyleCode(doc, scBold);
    EXPECT_EQ(doc.Text(), QStringLiteral("a") + B + B + QStringLiteral("bc"));
    EXPECT_EQ(doc.GetSelStart(), 2);
    EXPECT_EQ(doc.SelLength(), 0);
    doc.ReplaceSel(QStringLiteral("X"));
    EXPECT_EQ(doc.Text(), QStringLiteral("a") + B + QStringLiteral("X") + B + QStringLiteral("bc"));
    doc.Check();
}

TEST(ToggleStyleCode, SelectionIsSelectedAgainInItsDirection)
{
    for (const bool backwards : { false, true }) {
        CodeDocument doc;
        setText(doc, QStringLiteral("one two"));
        if (backwards) {
            doc.SetSelStart(7);
            doc.SetSelLength(-3);
        } else {
            doc.SetSelStart(4);
            doc.SetSelLength(3);
        }
        ToggleStyleCode(doc, scBold);
        EXPECT_EQ(doc.Text(), QStringLiteral("one ") + B + QStringLiteral("two") + B);
        EXPECT_EQ(doc.GetSelText(), B + QStringLiteral("two") + B);
        EXPECT_EQ(doc.GetSelStart(), backwards ? 9 : 4);
        EXPECT_EQ(doc.SelLength(), backwards ? -5 : 5);
        doc.Check();
    }
}

TEST(ToggleStyleCode, NothingWithoutStaticFormat)
{
    CodeDocument doc;
    doc.SetStaticFormat(false);
    setText(doc, QStringLiteral("abc"));
    doc.SetSelStart(1);
    ToggleStyleCode(doc, scBold);
    EXPECT_EQ(doc.Text(), QStringLiteral("abc"));
    EXPECT_FALSE(doc.CanUndo());
}

// A column block pastes each line at the same column of the following paragraphs: short ones
// are padded with blanks, missing ones appended; the break after the block's last line adds none.
TEST(PasteColumnAt, PadsShortLinesAndAppendsMissingOnes)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("abcdef\r\nab\r\nabcdef"));
    doc.SetSelStart(doc.ParagraphStart(1));
    PasteColumnAt(doc, 4, QStringLiteral("XY\r\nZW\r\nUV\r\n"));
    EXPECT_EQ(doc.Text(), QStringLiteral("abcdef\r\nab  XY\r\nabcdZWef\r\n    UV"));
    EXPECT_EQ(doc.ParagraphCount(), 4);
    doc.Check();
}

TEST(PasteColumnAt, TabsCountToTheirStop)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("\tx\r\nabcdefghij"));
    PasteColumnAt(doc, 8, QStringLiteral("1\n2"));
    EXPECT_EQ(doc.Text(), QStringLiteral("\t1x\r\nabcdefgh2ij"));
}

TEST(WordSteps, OverSeparatorsAndWordsWithBreaksAsOneStep)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("select a.b,  c\r\nfrom t"));
    // "select a.b,  c" is 14 characters; "from" starts at 16.
    struct Case {
        qint64 from;
        qint64 previous;
        qint64 next;
    };
    const Case cases[] = {
        { 0, 0, 7 },
        { 3, 0, 7 },
        { 7, 0, 9 },
        { 9, 7, 13 },
        { 13, 9, 16 },
        { 14, 13, 16 },
        { 16, 13, 21 },
        { 21, 16, 22 },
        { 22, 21, 22 },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(PreviousWordStart(doc, c.from, defaultSeparator), c.previous) << c.from;
        EXPECT_EQ(NextWordStart(doc, c.from, defaultSeparator), c.next) << c.from;
    }
}

// A text moved by dragging is a deletion and an insertion; the insertion marked as grouped makes
// one undo (and one redo) of both.
TEST(GroupedUndo, MoveIsOneUndoStep)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("abc def"));
    qd::test::replace(doc, 0, 4, QString()); // "def"
    doc.SetSelStart(3);
    doc.SetBreakMerge();
    doc.ReplaceSel(QStringLiteral(" abc"), CodeDocument::rfGroupUndo);
    EXPECT_EQ(doc.Text(), QStringLiteral("def abc"));
    doc.Undo();
    EXPECT_EQ(doc.Text(), QStringLiteral("abc def"));
    EXPECT_FALSE(doc.CanUndo());
    doc.Redo();
    EXPECT_EQ(doc.Text(), QStringLiteral("def abc"));
    doc.Check();
}
