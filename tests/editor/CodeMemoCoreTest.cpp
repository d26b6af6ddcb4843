// Formatting, views, load and save and the view arithmetic of the editor, measured with a
// fixed-width measurer (8 x 16 pixels per character).
#include "classlib/ListErrors.h"
#include "editor/CodeMemoCore.h"
#include "editor/CodeMemoViews.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

namespace {

struct Memo : public ::testing::Test {
    FixedWidthMeasurer measurer{ 8, 16 };
    CodeMemoCore memo;
    Memo() { memo.SetMeasurer(&measurer); }

    void load(const QByteArray &bytes)
    {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        memo.LoadFromStream(buffer);
    }
    QByteArray save()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        memo.SaveToStream(buffer);
        return buffer.data();
    }
    QStringList paragraphs()
    {
        QStringList out;
        for (qint64 i = 0; i < memo.ParagraphCount(); ++i)
            out << memo.GetParagraphText(i);
        return out;
    }
    // Display lines of the whole text, as the lines view gives them.
    QStringList lines()
    {
        QStringList out;
        const qint64 n = memo.Lines().Count();
        for (qint64 i = 0; i < n; ++i)
            out << memo.Lines().Get(i);
        return out;
    }
};

} // namespace

TEST_F(Memo, StartsAsOneEmptyFormattedParagraph)
{
    EXPECT_EQ(memo.ParagraphCount(), 1);
    EXPECT_EQ(memo.LineCount(), 1);
    EXPECT_EQ(memo.TextLength(), 0);
    EXPECT_EQ(memo.Lines().Count(), 0);
    EXPECT_EQ(memo.ParaStrings().Count(), 0);
    EXPECT_TRUE(memo.Paragraphs().At(0)->Formatted);
    EXPECT_FALSE(memo.Modified());
    EXPECT_TRUE(memo.WordWrap());
    EXPECT_EQ(memo.LeftMargin(), 8);
    EXPECT_EQ(memo.RightMargin(), 8);
    EXPECT_EQ(memo.UpdateMode(), umBackground);
    EXPECT_EQ(memo.Separators(), QStringLiteral("\t $%&,./:;<=>"));
    memo.Check();
}

TEST_F(Memo, LoadingSplitsAtEveryLineBreakForm)
{
    load("a\rb\nc\r\nd\n\re");
    EXPECT_EQ(paragraphs(), (QStringList{ "a", "b", "c", "d", "e" }));
    EXPECT_TRUE(memo.Modified());
    EXPECT_FALSE(memo.CanUndo());
    EXPECT_EQ(memo.GetSelStart(), 0);
    memo.Check();

    load("x\r\n\r\ny\n");
    EXPECT_EQ(paragraphs(), (QStringList{ "x", "", "y", "" }));
}

TEST_F(Memo, LoadingReplacesZeroCharactersWhenAsked)
{
    load(QByteArray("a\0b", 3));
    EXPECT_EQ(memo.GetParagraphText(0), QString(QStringLiteral("a") + QChar(0) + "b"));
    memo.SetNullReplacement(u'.');
    load(QByteArray("a\0b", 3));
    EXPECT_EQ(memo.GetParagraphText(0), QStringLiteral("a.b"));
}

TEST_F(Memo, SavingWritesTheChosenLineBreakBetweenParagraphsOnly)
{
    const struct {
        TCodeLineBreak lineBreak;
        QByteArray expected;
    } cases[] = {
        { pbCRLF, "a\r\nb\r\n" },
        { pbLFCR, "a\n\rb\n\r" },
        { pbCR, "a\rb\r" },
        { pbLF, "a\nb\n" },
    };
    for (const auto &c : cases) {
        load("a\r\nb\r\n");
        memo.SetLineBreak(c.lineBreak);
        EXPECT_EQ(save(), c.expected) << int(c.lineBreak);
    }
    load("");
    EXPECT_EQ(save(), QByteArray());
}

TEST_F(Memo, AutoLineBreakTakesTheFormFoundInTheText)
{
    memo.SetOptions(memo.Options() | cmoAutoLineBreak);
    load("a\nb\n");
    EXPECT_EQ(memo.LineBreak(), pbLF);
    EXPECT_EQ(save(), QByteArray("a\nb\n"));
    load("a\rb");
    EXPECT_EQ(memo.LineBreak(), pbCR);
}

TEST_F(Memo, FilesKeepTheirBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.sql"));
    const auto roundTrip = [&](const QByteArray &bytes) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        memo.LoadFromFile(path);
        EXPECT_FALSE(memo.Modified());
        memo.SaveToFile(path);
        QFile in(path);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        EXPECT_EQ(in.readAll(), bytes);
    };
    // As the file editors keep them: static formatting off, the line break as found.
    memo.SetStaticFormat(false);
    memo.SetOptions(memo.Options() | cmoAutoLineBreak);
    // Latin-1 (not valid UTF-8): read byte for byte, written back the same way.
    roundTrip("select 'caf\xe9' from dual;\r\n-- \xa9 2024\r\n");
    EXPECT_TRUE(memo.Latin1());
    EXPECT_EQ(memo.GetParagraphText(0), QStringLiteral("select 'caf\u00e9' from dual;"));
    // UTF-8 with a byte order mark.
    roundTrip("\xef\xbb\xbfselect '\xe2\x82\xac' from dual;\n");
    EXPECT_FALSE(memo.Latin1());
    // Control characters that would be style codes, in pairs that would cancel.
    roundTrip(QByteArray("a\x01\x01" "b\x02\x02\x03\x04\x15\x15\x04\x03" "z\r\n\t\x10" "end"));
    EXPECT_EQ(memo.GetParagraphText(0).size(), 13);
}

TEST_F(Memo, StaticFormatDropsCancellingCodePairsOnSave)
{
    load(QByteArray("a\x02\x02" "b", 4));
    EXPECT_EQ(save(), QByteArray("ab"));
}

TEST_F(Memo, Latin1TextThatGainsOtherCharactersIsSavedAsUtf8)
{
    load("caf\xe9");
    ASSERT_TRUE(memo.Latin1());
    memo.SetSelStart(memo.TextLength());
    memo.ReplaceSel(QStringLiteral("\u20ac"));
    EXPECT_EQ(save(), QByteArray("caf\xc3\xa9\xe2\x82\xac"));
}

TEST_F(Memo, LoadFromAMissingFileFailsClearly)
{
    load("keep");
    try {
        memo.LoadFromFile(QStringLiteral("/nonexistent/dir/x.sql"));
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("x.sql"))) << e.Message().toStdString();
    }
    EXPECT_EQ(memo.GetParagraphText(0), QStringLiteral("keep"));
}

TEST_F(Memo, SetTextBufOnAnEmptyMemoWithEmptyTextChangesNothing)
{
    memo.SetTextBuf(QString());
    EXPECT_FALSE(memo.Modified());
    memo.SetTextBuf(QStringLiteral("x"));
    EXPECT_TRUE(memo.Modified());
    EXPECT_EQ(memo.Lines().Text(), QStringLiteral("x"));
}

TEST_F(Memo, WordWrapBreaksBeforeAWordThatPassesTheWidth)
{
    // 8 + 8 margins, 6 characters fit.
    memo.SetClientSize(16 + 6 * 8, 100);
    memo.SetTextBuf(QStringLiteral("aaa bbb ccc dd"));
    EXPECT_EQ(lines(), (QStringList{ "aaa ", "bbb ", "ccc dd" }));
    const TLineRecord &first = memo.Paragraphs().At(0)->FirstLine;
    EXPECT_EQ(first.Width, 3 * 8);
    EXPECT_EQ(first.FullWidth, 4 * 8);
    memo.Check();

    // A word wider than a line is cut by characters.
    memo.SetTextBuf(QStringLiteral("abcdefghijk xy"));
    EXPECT_EQ(lines(), (QStringList{ "abcdef", "ghijk ", "xy" }));

    // Style codes have no width with static formatting.
    memo.SetTextBuf(QString(QStringLiteral("aaa\x02 bb\x02") + "b ccc"));
    ASSERT_EQ(memo.LineCount(), 3);
    EXPECT_EQ(memo.Paragraphs().At(0)->FurtherLines[0].StyleAtStart, StyleBold);
    EXPECT_EQ(memo.Paragraphs().At(0)->FurtherLines[1].StyleAtStart, 0);

    memo.SetWordWrap(false);
    EXPECT_EQ(memo.LineCount(), 1);
}

TEST_F(Memo, ColumnWrapCutsAtThatManyCharacterWidthsWhateverTheWindow)
{
    memo.SetClientSize(2000, 100);
    memo.SetColumnWrap(40);
    QString text;
    for (int i = 0; i < 30; ++i)
        text += QStringLiteral("word ");
    memo.SetTextBuf(text);
    const QStringList wrapped = lines();
    ASSERT_EQ(wrapped.size(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(wrapped[i].size(), 40) << wrapped[i].toStdString();
    EXPECT_EQ(memo.LineCount(), 4);
    memo.SetClientSize(100, 100);
    EXPECT_EQ(memo.LineCount(), 4);
}

TEST_F(Memo, TabsAdvanceToTheNextTabStop)
{
    memo.SetWordWrap(false);
    memo.SetTextBuf(QStringLiteral("ab\tc"));
    memo.FormatRange(0, 0);
    // 8 columns of 8 pixels; the origin is the left margin.
    EXPECT_EQ(memo.Paragraphs().At(0)->FirstLine.Width, 9 * 8);
    EXPECT_EQ(memo.ColumnToX(0, 3, 0), 8 + 64);
    EXPECT_EQ(memo.XToColumn(0, 8 + 64 + 3, 0), 3);
    EXPECT_EQ(memo.XToColumn(0, 8 + 64 + 5, 0), 4);
    EXPECT_EQ(memo.XToColumn(0, 5000, 0), 4);
}

TEST_F(Memo, LinesAndPixelRowsConvertBothWays)
{
    memo.SetClientSize(200, 100);
    memo.SetWordWrap(false);
    QString text;
    for (int i = 0; i < 50; ++i)
        text += QStringLiteral("line %1\r\n").arg(i);
    memo.SetTextBuf(text);
    memo.SetVerticalOffset(16 * 3 + 5);
    EXPECT_EQ(memo.TopLine(), 3);
    EXPECT_EQ(memo.LineToY(0), -5);
    EXPECT_EQ(memo.LineToY(2), 27);
    EXPECT_EQ(memo.YToLine(10), 0);
    EXPECT_EQ(memo.YToLine(11), 1);
    // A negative offset pushes line 0 down.
    memo.SetVerticalOffset(-7);
    EXPECT_EQ(memo.TopLine(), 0);
    EXPECT_EQ(memo.LineToY(0), 7);
    EXPECT_EQ(memo.YToLine(7), 0);
}

TEST_F(Memo, ScrollUnitsKeepBarValuesSmall)
{
    memo.SetWordWrap(false);
    QString text;
    text.reserve(300000);
    for (int i = 0; i < 99999; ++i)
        text += QStringLiteral("\r\n");
    memo.SetTextBuf(text);
    ASSERT_EQ(memo.LineCount(), 100000);
    EXPECT_EQ(memo.VScrollUnit(), 49);
    memo.SetClientSize(200, 160);
    const CodeMemoCore::ScrollRange r = memo.VScrollRange();
    EXPECT_EQ(r.Max, 100000 * 16 / 49);
    EXPECT_EQ(r.Page, (160 - 16) / 49);
}

TEST_F(Memo, SelStartIsClampedIntoTheText)
{
    memo.SetTextBuf(QStringLiteral("abc"));
    memo.SetSelStart(-5);
    EXPECT_EQ(memo.GetSelStart(), 0);
    memo.SetSelStart(99);
    EXPECT_EQ(memo.GetSelStart(), 3);
}

TEST_F(Memo, BackgroundFormattingDoesTheVisibleScreenFirst)
{
    memo.SetClientSize(16 + 10 * 8, 10 * 16);
    QString text;
    for (int i = 0; i < 2000; ++i)
        text += QStringLiteral("word word word %1\r\n").arg(i);
    int progressReports = 0;
    memo.OnProgress = [&](CodeMemoCore *) { ++progressReports; };
    memo.SetTextBuf(text);
    // The screen is formatted at once: three display lines a paragraph.
    for (qint64 i = 0; i < 4; ++i)
        EXPECT_TRUE(memo.Paragraphs().At(i)->Formatted) << i;
    EXPECT_FALSE(memo.AllFormatted());
    EXPECT_FALSE(memo.Paragraphs().At(1500)->Formatted);
    // Slices on the thread's timer finish the rest.
    for (int i = 0; i < 1000 && !memo.AllFormatted(); ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(memo.AllFormatted());
    EXPECT_EQ(memo.LineCount(), 2000 * 2 + 1);
    EXPECT_EQ(memo.Progress(), 100);
    EXPECT_GE(progressReports, 1);
    memo.Check();
}

TEST_F(Memo, TheTopLineStaysOnItsTextWhileLinesAboveAreFormatted)
{
    memo.SetUpdateMode(umOnNeed);
    memo.SetClientSize(16 + 10 * 8, 5 * 16);
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("word word word %1\r\n").arg(i);
    memo.SetTextBuf(text);
    // Line 100 before the lines above it are formatted is paragraph 100 minus the few formatted.
    memo.SetVerticalOffset(100 * 16);
    const qint64 topPos = memo.TopNav().Position();
    memo.FormatRange(0, memo.ParagraphCount() - 1);
    EXPECT_EQ(memo.TopNav().Position(), topPos);
    EXPECT_EQ(memo.VerticalOffset(), memo.TopLine() * 16);
}

TEST_F(Memo, ParagraphViewCountsAndEdits)
{
    memo.SetTextBuf(QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(memo.ParaStrings().Count(), 2);
    memo.SetTextBuf(QStringLiteral("a\r\nb"));
    EXPECT_EQ(memo.ParaStrings().Count(), 2);
    EXPECT_THROW(memo.ParaStrings().Get(5), ERangeError);

    // Deleting the last paragraph leaves an empty one behind the line break.
    memo.ParaStrings().Delete(1);
    EXPECT_EQ(paragraphs(), (QStringList{ "a", "" }));
    memo.ParaStrings().Delete(0);
    EXPECT_EQ(paragraphs(), (QStringList{ "" }));

    EXPECT_EQ(memo.ParaStrings().Add(QStringLiteral("x")), 1);
    EXPECT_EQ(paragraphs(), (QStringList{ "x", "" }));
    memo.ParaStrings().Add(QStringLiteral("y"));
    EXPECT_EQ(paragraphs(), (QStringList{ "x", "y", "" }));
    memo.ParaStrings().Insert(1, QStringLiteral("i"));
    EXPECT_EQ(paragraphs(), (QStringList{ "x", "i", "y", "" }));
    memo.ParaStrings().Put(2, QStringLiteral("Y"));
    EXPECT_EQ(paragraphs(), (QStringList{ "x", "i", "Y", "" }));
    // Edits through a view are undoable.
    memo.Undo();
    EXPECT_EQ(paragraphs(), (QStringList{ "x", "i", "y", "" }));
    memo.Check();
}

TEST_F(Memo, SettingAParagraphPastTheEndAppendsEmptyOnes)
{
    memo.SetTextBuf(QStringLiteral("a"));
    memo.SetParagraphText(3, QStringLiteral("d"));
    EXPECT_EQ(paragraphs(), (QStringList{ "a", "", "", "d" }));
}

TEST_F(Memo, LinesViewEditsDisplayLines)
{
    memo.SetClientSize(16 + 6 * 8, 100);
    memo.SetTextBuf(QStringLiteral("aaa bbb ccc\r\nz"));
    EXPECT_EQ(lines(), (QStringList{ "aaa ", "bbb ", "ccc", "z" }));
    memo.Lines().Put(1, QStringLiteral("BB "));
    EXPECT_EQ(memo.GetParagraphText(0), QStringLiteral("aaa BB ccc"));
    // "aaa BB " now fits one line.
    EXPECT_EQ(lines(), (QStringList{ "aaa BB ", "ccc", "z" }));
    memo.Lines().Delete(2);
    EXPECT_EQ(memo.ParaStrings().Count(), 1);
    memo.Lines().Delete(0);
    EXPECT_EQ(paragraphs(), (QStringList{ "ccc", "" }));
    EXPECT_EQ(memo.Lines().Get(99), QString());
}

TEST_F(Memo, StringsPropertyStreamsParagraphsInPieces)
{
    TCodeParaStrings &view = memo.ParaStrings();
    EXPECT_FALSE(view.HasStringsData());

    const QString p255(255, QChar(u'x'));
    const QString p256(256, QChar(u'y'));
    memo.SetTextBuf(p255 + "\r\n" + p256);
    const QByteArray data = view.WriteStrings();
    // List, 255 in one value, 254 + mark and 2 in two, end of list.
    QByteArray expected;
    expected += char(1);
    expected += char(6);
    expected += char(255);
    expected += p255.toLatin1();
    expected += char(6);
    expected += char(255);
    expected += QString(254, QChar(u'y')).toLatin1();
    expected += char(5);
    expected += char(6);
    expected += char(2);
    expected += "yy";
    expected += char(0);
    EXPECT_EQ(data, expected);

    memo.Clear();
    view.ReadStrings(data);
    EXPECT_EQ(paragraphs(), (QStringList{ p255, p256 }));

    // Only a line break: two empty strings, read back as one line break.
    memo.SetTextBuf(QStringLiteral("\r\n"));
    const QByteArray br = view.WriteStrings();
    EXPECT_EQ(br, QByteArray("\x01\x06\x00\x06\x00\x00", 6));
    memo.SetTextBuf(QStringLiteral("junk"));
    view.ReadStrings(br);
    EXPECT_EQ(memo.Lines().Text(), QStringLiteral("\r\n"));

    // Leading empty lines survive; text beyond Latin-1 too.
    memo.SetTextBuf(QStringLiteral("\r\n\r\nx\u20ac"));
    const QByteArray lead = view.WriteStrings();
    memo.Clear();
    view.ReadStrings(lead);
    EXPECT_EQ(memo.Lines().Text(), QStringLiteral("\r\n\r\nx\u20ac"));

    // A malformed list fails; what was read stays.
    EXPECT_THROW(view.ReadStrings(QByteArray("\x01\x06\x05" "ab", 5)), Exception);
}

TEST_F(Memo, FindTextForwardAndBackward)
{
    memo.SetTextBuf(QStringLiteral("select x from t;\r\nselect y from u;"));
    ASSERT_TRUE(memo.FindText(QStringLiteral("SELECT"), true, false, false, true));
    EXPECT_EQ(memo.GetSelStart(), 6);
    EXPECT_EQ(memo.SelLength(), -6);
    ASSERT_TRUE(memo.FindText(QStringLiteral("select"), true, true, false, false));
    EXPECT_EQ(memo.GetSelStart(), 24);
    // Backward from a match's first character does not find that match.
    memo.SetSelStart(18);
    ASSERT_TRUE(memo.FindText(QStringLiteral("select"), false, true, false, false));
    EXPECT_EQ(memo.GetSelStart(), 0);
    EXPECT_EQ(memo.SelLength(), 6);
    EXPECT_FALSE(memo.FindText(QStringLiteral("select"), false, true, false, false));
    // Whole words only.
    memo.SetTextBuf(QStringLiteral("ab abc abc.d"));
    ASSERT_TRUE(memo.FindText(QStringLiteral("abc"), true, true, true, true));
    EXPECT_EQ(memo.GetSelStart(), 6);
    memo.SetSelStart(0);
    EXPECT_FALSE(memo.FindText(QStringLiteral("b"), true, true, true, false));
}

TEST_F(Memo, ColumnSelectionReadsTheBlockAndNeedsWordWrapOff)
{
    memo.SetTextBuf(QStringLiteral("abcdef\r\nab\r\n\tx"));
    memo.SetColumnSelection(1, 0, 4, 2);
    EXPECT_FALSE(memo.ColumnSelection());
    memo.SetWordWrap(false);
    memo.SetColumnSelection(1, 0, 4, 1);
    ASSERT_TRUE(memo.ColumnSelection());
    EXPECT_EQ(memo.GetSelText(), QStringLiteral("bcd\r\nb\r\n"));
    const CodeMemoCore::ColumnRect r = memo.GetColumnSelRect();
    EXPECT_EQ(r.Left, 1);
    EXPECT_EQ(r.Right, 4);
    EXPECT_EQ(r.Top, 0);
    EXPECT_EQ(r.Bottom, 1);
    // The caret stands beyond the short line's end.
    EXPECT_EQ(memo.VirtualColumn(), 2);
}

TEST_F(Memo, WordAtCaretAndSelectWord)
{
    memo.SetTextBuf(QStringLiteral("select emp.ename from emp"));
    memo.SetSelStart(13);
    EXPECT_EQ(memo.GetWordAtCaret(), QStringLiteral("ename"));
    memo.SelectWordAt();
    EXPECT_EQ(memo.GetSelText(), QStringLiteral("ename"));
}

TEST_F(Memo, CaretLineAndColumnFollowDisplayLines)
{
    memo.SetClientSize(16 + 6 * 8, 100);
    memo.SetTextBuf(QStringLiteral("aaa bbb ccc\r\nz"));
    memo.SetCaretLine(2);
    EXPECT_EQ(memo.GetSelStart(), 8);
    EXPECT_EQ(memo.GetCaretLine(), 2);
    memo.SetCaretColumn(2);
    EXPECT_EQ(memo.GetSelStart(), 10);
    EXPECT_EQ(memo.GetCaretColumn(), 2);
    memo.SetCaretParagraph(7);
    EXPECT_EQ(memo.GetCaretParagraph(), 1);
    EXPECT_EQ(memo.GetLineText(1), QStringLiteral("bbb "));
}

TEST_F(Memo, ScrollInViewBringsTheCaretOnScreen)
{
    memo.SetClientSize(200, 5 * 16);
    memo.SetWordWrap(false);
    QString text;
    for (int i = 0; i < 100; ++i)
        text += QStringLiteral("%1\r\n").arg(i);
    memo.SetTextBuf(text + QString(100, QChar(u'w')));
    memo.SetSelStart(memo.ParagraphStart(50));
    memo.ScrollInView();
    // Pixel-exact: the caret line's bottom at the client bottom.
    EXPECT_EQ(memo.VerticalOffset(), 51 * 16 - 5 * 16);
    memo.SetSelStart(memo.ParagraphStart(10));
    memo.ScrollInView();
    EXPECT_EQ(memo.TopLine(), 10);
    // Horizontal: whole steps of five characters.
    memo.SetSelStart(memo.TextLength());
    memo.ScrollInView();
    EXPECT_GT(memo.HorizontalOffset(), 0);
    EXPECT_EQ(memo.HorizontalOffset() % 40, 0);
    EXPECT_LT(memo.CaretX(), 200);
    EXPECT_GE(memo.CaretX(), 0);
}

TEST_F(Memo, EffectiveStyleMergesCodesFontAndAttributes)
{
    // A code switches off what the font has of itself.
    EXPECT_EQ(CodeMemoCore::EffectiveStyle(StyleBold, 0, StyleBold), 0);
    EXPECT_EQ(CodeMemoCore::EffectiveStyle(StyleBold, 0, 0), StyleBold);
    // An attribute that sets a style replaces the static one.
    EXPECT_EQ(CodeMemoCore::EffectiveStyle(StyleBold, StyleSets | StyleItalic, 0), StyleItalic);
    // Strike-out with highlight is the zigzag underline.
    EXPECT_EQ(CodeMemoCore::EffectiveStyle(0, StyleSets | StyleStrikeOut | StyleHighlight, 0),
        StyleSets);
}

TEST_F(Memo, FormattedStateRoundTripsWithoutFormatting)
{
    memo.SetClientSize(16 + 6 * 8, 100);
    memo.SetTextBuf(QStringLiteral("aaa bbb ccc\r\n\r\nx\u20ac"));
    {
        TCodeNavigator nav(&memo);
        nav.SetPos(4);
        TAttrRecord rec;
        rec.SetStyle(StyleSets | StyleBold);
        rec.Words[2] = 7;
        nav.InsertAttr(rec);
    }
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    memo.SaveFormattedState(out);

    CodeMemoCore copy;
    copy.SetMeasurer(&measurer);
    QBuffer in(&out.buffer());
    in.open(QIODevice::ReadOnly);
    copy.LoadFormattedState(in);
    EXPECT_EQ(copy.GetTextRange(0, copy.TextLength()), memo.GetTextRange(0, memo.TextLength()));
    EXPECT_EQ(copy.LineCount(), 5);
    EXPECT_TRUE(copy.AllFormatted());
    const TParagraph *p = copy.Paragraphs().At(0);
    ASSERT_EQ(p->AttrCount, 1);
    EXPECT_EQ(p->Attrs[0].Offset(), 4);
    EXPECT_EQ(p->Attrs[0].BackColor(), 7);
    EXPECT_EQ(p->FurtherLines[0].StartOffset, 4);
    copy.Check();

    // A damaged image fails and leaves the text alone.
    QByteArray bad = out.buffer();
    bad[16] = 99; // the first paragraph's length
    QBuffer damaged(&bad);
    damaged.open(QIODevice::ReadOnly);
    EXPECT_THROW(copy.LoadFormattedState(damaged), Exception);
    EXPECT_EQ(copy.GetParagraphText(0), QStringLiteral("aaa bbb ccc"));
    QByteArray cut = out.buffer().left(40);
    QBuffer shortStream(&cut);
    shortStream.open(QIODevice::ReadOnly);
    EXPECT_THROW(copy.LoadFormattedState(shortStream), Exception);
}

TEST_F(Memo, FormattingForAnotherDeviceUsesItsMeasurerAndWidth)
{
    memo.SetClientSize(1000, 100);
    memo.SetTextBuf(QStringLiteral("aaa bbb ccc ddd"));
    EXPECT_EQ(memo.Lines().Count(), 1);
    FixedWidthMeasurer printer(4, 8);
    // 16 pixels of margins; 7 characters of 4 pixels in 44.
    memo.FormatForMeasurer(&printer, 16 + 7 * 4);
    EXPECT_EQ(memo.Lines().Count(), 2);
    EXPECT_EQ(memo.Lines().Get(1), QStringLiteral("ccc ddd"));
    // Back to the screen and its window.
    memo.FormatForMeasurer(nullptr, 0);
    EXPECT_EQ(memo.Lines().Count(), 1);
}

TEST_F(Memo, ClicksLandOnTheNearerCharacterBoundary)
{
    memo.SetClientSize(200, 100);
    memo.SetWordWrap(false);
    memo.SetTextBuf(QStringLiteral("abc\r\nxy"));
    EXPECT_EQ(memo.PositionFromPoint(8 + 3, 2), 0);
    EXPECT_EQ(memo.PositionFromPoint(8 + 4, 2), 1);
    EXPECT_EQ(memo.PositionFromPoint(190, 2), 3);
    EXPECT_EQ(memo.PositionFromPoint(8 + 9, 16 + 3), 5 + 1);
    EXPECT_EQ(memo.PositionFromPoint(0, 500), memo.TextLength());
}

TEST_F(Memo, JustifiedLinesSpreadTheFreeWidthOverTheirBlanks)
{
    // 11 characters a line: "aa bb cc" then "dd".
    memo.SetClientSize(16 + 11 * 8, 100);
    memo.SetTextBuf(QStringLiteral("aa bb cc ddd eeee"));
    memo.SetJustified(true);
    const TLineRecord &line = memo.Paragraphs().At(0)->FirstLine;
    ASSERT_EQ(line.EndOffset, 9);
    ASSERT_EQ(line.Spaces, 2);
    // Free width 11*8 - 8*8 = 24: 12 more pixels for each of the two blanks.
    EXPECT_EQ(memo.ColumnToX(0, 3, 0), 8 + 3 * 8 + 12);
    EXPECT_EQ(memo.ColumnToX(0, 6, 0), 8 + 6 * 8 + 24);
    // Halfway across the widened blank (20 pixels from x 24): the nearer side.
    EXPECT_EQ(memo.XToColumn(0, 8 + 16 + 9, 0), 2);
    EXPECT_EQ(memo.XToColumn(0, 8 + 16 + 11, 0), 3);
    // The last line of a paragraph is not justified.
    EXPECT_EQ(memo.ColumnToX(0, 1, 1), 8 + 8);
}

TEST_F(Memo, AlignmentMovesTheLineOrigin)
{
    memo.SetClientSize(200, 100);
    memo.SetTextBuf(QStringLiteral("abcd"));
    memo.SetAlignment(taRightJustify);
    EXPECT_EQ(memo.ColumnToX(0, 0, 0), 200 - 8 - 32);
    memo.SetAlignment(taCenter);
    EXPECT_EQ(memo.ColumnToX(0, 0, 0), 8 + (200 - 16 - 32) / 2);
}

TEST_F(Memo, ClearAttributesDropsEveryRecord)
{
    memo.SetTextBuf(QStringLiteral("abc\r\ndef"));
    TCodeNavigator nav(&memo);
    nav.SetPos(1);
    TAttrRecord rec;
    rec.SetStyle(StyleSets);
    nav.InsertAttr(rec);
    ASSERT_EQ(memo.Paragraphs().At(0)->AttrCount, 1);
    memo.ClearAttributes();
    EXPECT_EQ(memo.Paragraphs().At(0)->AttrCount, 0);
    EXPECT_FALSE(memo.Paragraphs().At(1)->KeywordsApplied);
    memo.Check();
}
