// The one replacement through which every change of text goes, and undo and redo over it.
#include "EditorTestSupport.h"

#include "classlib/ListErrors.h"
#include "editor/StyleCodes.h"

#include <gtest/gtest.h>

#include <random>

using namespace qd;
using namespace qd::test;

namespace {

const QString B = QString(QChar(scBold));
const QString I = QString(QChar(scItalic));

TEST(Replace, CrSplitsParagraphsAndALoneLfStaysACharacter)
{
    struct Case {
        QString text;
        qint64 paragraphs;
        qint64 length;
    };
    const Case cases[] = {
        { QStringLiteral("x\ry"), 2, 4 },
        { QStringLiteral("x\r\ny"), 2, 4 },
        { QStringLiteral("x\ny"), 1, 3 },
        { QStringLiteral("x\n\ry"), 2, 5 },
        { QStringLiteral("\r\r"), 3, 4 },
    };
    for (const Case &c : cases) {
        CodeDocument doc;
        doc.ReplaceSel(c.text);
        EXPECT_EQ(doc.ParagraphCount(), c.paragraphs) << c.text.toStdString();
        EXPECT_EQ(doc.TextLength(), c.length) << c.text.toStdString();
        EXPECT_EQ(doc.GetSelStart(), c.length);
        doc.Check();
    }
    CodeDocument doc;
    doc.ReplaceSel(QStringLiteral("x\ny"));
    EXPECT_EQ(doc.GetParagraphText(0), QStringLiteral("x\ny"));
}

TEST(Replace, NothingSelectedAndNothingToInsertChangesNothing)
{
    CodeDocument doc;
    int changes = 0;
    doc.OnChange = [&](CodeDocument *) { ++changes; };
    doc.ReplaceSel(QString());
    EXPECT_FALSE(doc.Modified());
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_EQ(changes, 0);
    doc.ReplaceSel(QStringLiteral("a"));
    EXPECT_TRUE(doc.Modified());
    EXPECT_EQ(changes, 1);
}

TEST(Replace, EventsSeeTheTextAndTheChangedRange)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("hello world"));
    doc.OnBeforeChange = [](CodeDocument *, QString &text) { text = text.toUpper(); };
    qint64 parsedFrom = -1, parsedTo = -1;
    doc.OnParse = [&](CodeDocument *, qint64 from, qint64 to) {
        parsedFrom = from;
        parsedTo = to;
    };
    replace(doc, 6, 11, QStringLiteral("there\r\nall"));
    EXPECT_EQ(doc.Text(), QStringLiteral("hello THERE\r\nALL"));
    EXPECT_EQ(parsedFrom, 6);
    EXPECT_EQ(parsedTo, 16);
}

TEST(Replace, ANulInsideALineSurvivesCopyReplaceAndUndo)
{
    CodeDocument doc;
    const QString withNul = QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("cd");
    doc.ReplaceSel(withNul + QStringLiteral("\r\nline two"));
    EXPECT_EQ(doc.GetParagraphText(0), withNul);
    EXPECT_EQ(doc.GetTextRange(1, 4), QStringLiteral("b") + QChar(u'\0') + QStringLiteral("c"));
    EXPECT_EQ(doc.CharAt(2), u'\0');

    replace(doc, 0, 7, QStringLiteral("x") + QChar(u'\0'));
    EXPECT_EQ(doc.Text(), QStringLiteral("x") + QChar(u'\0') + QStringLiteral("line two"));
    doc.Undo();
    EXPECT_EQ(doc.Text(), withNul + QStringLiteral("\r\nline two"));
    doc.Redo();
    EXPECT_EQ(doc.TextLength(), 10);
    doc.Undo();
    doc.SelectAll();
    EXPECT_EQ(doc.GetSelText(), withNul + QStringLiteral("\r\nline two"));
    doc.Check();
}

TEST(Replace, TooLongAParagraphLeavesTextAndUndoUntouched)
{
    TTextLimits limits;
    limits.MaxParagraphLength = 8;
    CodeDocument doc(limits);
    setText(doc, QStringLiteral("abcdef\r\ngh"));
    typeAt(doc, 2, QStringLiteral("x"));
    const qint64 records = doc.UndoList().Count();
    for (const QString &text : { QStringLiteral("123"), QStringLiteral("1\r\n123456789") }) {
        doc.SetSelStart(2);
        try {
            doc.ReplaceSel(text);
            FAIL() << "an over-long paragraph was accepted";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Text too long"));
        }
        EXPECT_EQ(doc.Text(), QStringLiteral("abxcdef\r\ngh"));
        EXPECT_EQ(doc.UndoList().Count(), records);
        EXPECT_EQ(doc.UpdateCount(), 0);
    }
    doc.Undo(); // undoes the typed x, not a replacement that never happened
    EXPECT_EQ(doc.Text(), QStringLiteral("abcdef\r\ngh"));
    EXPECT_FALSE(doc.CanUndo());
    doc.Check();
}

// --- undo records and merging

TEST(Undo, TypingIsOneStepAndMovingTheCaretSplitsIt)
{
    CodeDocument doc;
    typeAt(doc, 0, QStringLiteral("abc"));
    EXPECT_EQ(doc.UndoList().Count(), 1);
    doc.Undo();
    EXPECT_EQ(doc.Text(), QString());
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_TRUE(doc.CanRedo());
    doc.Redo();
    EXPECT_EQ(doc.Text(), QStringLiteral("abc"));

    CodeDocument split;
    typeAt(split, 0, QStringLiteral("ab"));
    split.SetSelStart(1); // caret moved between the keys
    split.SetSelStart(2);
    split.ReplaceSel(QStringLiteral("c"));
    EXPECT_EQ(split.UndoList().Count(), 2);
    split.Undo();
    EXPECT_EQ(split.Text(), QStringLiteral("ab"));
    split.Undo();
    EXPECT_EQ(split.Text(), QString());
}

TEST(Undo, ASelectionReplacedByTypingComesBackAndRedoTypesItAgain)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("one two three"));
    doc.SetSelStart(4);
    doc.SetSelLength(3);
    doc.ReplaceSel(QStringLiteral("2"));
    doc.ReplaceSel(QStringLiteral("!")); // typing goes on: merges
    EXPECT_EQ(doc.Text(), QStringLiteral("one 2! three"));
    EXPECT_EQ(doc.UndoList().Count(), 1);
    doc.Undo();
    EXPECT_EQ(doc.Text(), QStringLiteral("one two three"));
    doc.Redo();
    EXPECT_EQ(doc.Text(), QStringLiteral("one 2! three"));
    EXPECT_FALSE(doc.CanRedo());
}

TEST(Undo, EmptyListAndEndedRedoHistoryDoNothing)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("abc"));
    doc.Undo();
    doc.Redo();
    EXPECT_EQ(doc.Text(), QStringLiteral("abc"));
    typeAt(doc, 3, QStringLiteral("d"));
    doc.Undo();
    typeAt(doc, 0, QStringLiteral("x")); // a new edit ends the redo history
    EXPECT_FALSE(doc.CanRedo());
    doc.Redo();
    EXPECT_EQ(doc.Text(), QStringLiteral("xabc"));
}

TEST(Undo, ALimitSmallerThanADeletionLeavesNothingToUndo)
{
    CodeDocument doc;
    setText(doc, QString(300, QChar(u'z')));
    doc.SetUndoMaxSpace(100);
    typeAt(doc, 0, QStringLiteral("ab"));
    typeAt(doc, 100, QStringLiteral("c"));
    EXPECT_EQ(doc.UndoList().Count(), 2);
    replace(doc, 10, 210, QString());
    EXPECT_EQ(doc.UndoList().Count(), 0);
    EXPECT_EQ(doc.UndoList().Bytes(), 0);
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_EQ(doc.TextLength(), 103);
}

TEST(Undo, ARemovedTextNoRecordCanHoldClearsUndoInsteadOfCuttingIt)
{
    TTextLimits limits;
    limits.MaxUndoRecordSize = 13 + 10;
    CodeDocument doc(limits);
    setText(doc, QStringLiteral("0123456789abcdefghijKLMNO"));
    typeAt(doc, 0, QStringLiteral("x"));
    replace(doc, 1, 11, QString()); // ten characters: fits exactly
    EXPECT_EQ(doc.UndoList().Count(), 2);
    replace(doc, 0, 11, QString()); // eleven: no record could restore them
    EXPECT_EQ(doc.Text(), QStringLiteral("KLMNO"));
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_EQ(doc.UndoList().Count(), 0);
    doc.Undo();
    EXPECT_EQ(doc.Text(), QStringLiteral("KLMNO"));
}

TEST(Undo, MaxLevelDeletesTheOldestAndIsBounded)
{
    CodeDocument doc;
    for (int i = 0; i < 5; ++i)
        typeAt(doc, doc.TextLength(), QString::number(i));
    doc.Undo();
    EXPECT_EQ(doc.UndoList().Index(), 4);
    doc.SetUndoMaxLevel(2);
    EXPECT_EQ(doc.UndoList().Count(), 2);
    EXPECT_EQ(doc.UndoList().Index(), 2);
    EXPECT_THROW(doc.SetUndoMaxLevel(134217728), EListError);
    EXPECT_EQ(doc.UndoMaxLevel(), 2);
    doc.SetUndoMaxLevel(0);
    EXPECT_EQ(doc.UndoList().Count(), 0);
    EXPECT_EQ(doc.Text(), QStringLiteral("0123"));
}

TEST(Undo, GetAndDeleteUndoRecord)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("abcdef"));
    replace(doc, 1, 3, QStringLiteral("XYZ"));
    const TUndoRecord &record = doc.GetUndoRecord(0);
    EXPECT_EQ(record.Start, 1);
    EXPECT_EQ(record.End, 4);
    EXPECT_EQ(record.Text, QStringLiteral("bc"));
    EXPECT_EQ(doc.UndoList().Bytes(), 15);
    doc.DeleteUndoRecord(0);
    EXPECT_EQ(doc.UndoList().Index(), 0);
    EXPECT_EQ(doc.UndoList().Bytes(), 0);
    EXPECT_THROW(doc.GetUndoRecord(0), ERangeError);
}

TEST(Undo, TypingAfterUndoEndsTheRedoHistory)
{
    CodeDocument doc;
    typeAt(doc, 0, QStringLiteral("ab"));
    doc.Undo();
    typeAt(doc, 0, QStringLiteral("cd"));
    EXPECT_EQ(doc.UndoList().Count(), 1);
    doc.Undo();
    EXPECT_EQ(doc.Text(), QString());
}

// --- style codes

TEST(StyleCodes, AnOpenedStyleIsClosedAfterTheInsertedText)
{
    CodeDocument pasted;
    setText(pasted, QStringLiteral("xy"));
    pasted.SetSelStart(1);
    pasted.ReplaceSel(B + QStringLiteral("abc"));
    EXPECT_EQ(
        pasted.Text(), QStringLiteral("x") + B + QStringLiteral("abc") + B + QStringLiteral("y"));
    EXPECT_EQ(pasted.GetSelStart(), 6); // after the new text, closing code included
    pasted.Check();
}

TEST(StyleCodes, ALoneCodeLeavesTheTextAsItWasAndUndoesInOneStep)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("xy"));
    doc.SetSelStart(1);
    doc.ReplaceSel(B);
    EXPECT_EQ(doc.Text(), QStringLiteral("xy"));
    EXPECT_EQ(doc.GetSelStart(), 1);
    doc.Undo();
    EXPECT_EQ(doc.Text(), QStringLiteral("xy"));
    EXPECT_FALSE(doc.CanUndo());
    doc.Redo();
    EXPECT_EQ(doc.Text(), QStringLiteral("xy"));
    doc.Check();
}

TEST(StyleCodes, DeletingOneCodeOfAPairKeepsTheFollowingTextsStyle)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("a") + B + QStringLiteral("bc") + B + QStringLiteral("d"));
    replace(doc, 0, 2, QString()); // "a" and the opening code
    EXPECT_EQ(doc.Text(), B + QStringLiteral("bc") + B + QStringLiteral("d"));
    doc.Undo();
    EXPECT_EQ(doc.Text(), QStringLiteral("a") + B + QStringLiteral("bc") + B + QStringLiteral("d"));
}

TEST(StyleCodes, WithoutStaticFormattingCodesAreOrdinaryCharacters)
{
    CodeDocument doc;
    doc.SetStaticFormat(false);
    doc.ReplaceSel(B + B + I);
    EXPECT_EQ(doc.Text(), B + B + I);
}

TEST(StyleCodes, ReplayRestoresAdjacentCodesExactly)
{
    CodeDocument doc;
    const QString original = QStringLiteral("a") + B + B + I + QStringLiteral("b");
    doc.SetStaticFormat(false);
    setText(doc, original); // loaded with redundant codes
    doc.SetStaticFormat(true);
    replace(doc, 0, 1, QStringLiteral("z"));
    doc.Undo();
    EXPECT_EQ(doc.Text(), original);
}

TEST(StyleCodes, Routines)
{
    EXPECT_EQ(StripStyleCodes(QStringLiteral("a") + B), QStringLiteral("a"));
    EXPECT_EQ(StripStyleCodes(B), QString());
    EXPECT_EQ(StripStyleCodes(QStringLiteral("\t\x10")), QStringLiteral("\t\x10"));
    quint8 style = 0;
    EXPECT_TRUE(ToggleStyle(style, scUnderline));
    EXPECT_EQ(style, StyleUnderline);
    EXPECT_FALSE(ToggleStyle(style, u'x'));
    EXPECT_EQ(style, StyleUnderline);
    EXPECT_EQ(CharIndexOfColumn(u"ab\tc", 8, 8, true), 3);
    EXPECT_EQ(CharIndexOfColumn(QString(B + QStringLiteral("ab\tc")), 8, 8, true), 4);
    EXPECT_EQ(CharIndexOfColumn(QString(B + QStringLiteral("ab\tc")), 8, 8, false), 4);
    EXPECT_EQ(ColumnShortfall(u"ab", 5, 8, true), 3);
    EXPECT_EQ(ColumnShortfall(u"ab\tc", 8, 8, true), 0);
}

// --- options

TEST(Options, DiscardTrailingSpacesDropsBlanksBeforeABreak)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("abc  "));
    doc.SetOptions(doc.Options() | cmoDiscardTrailingSpaces);
    doc.SetSelStart(5);
    doc.ReplaceSel(QStringLiteral("\r\n"));
    EXPECT_EQ(doc.Text(), QStringLiteral("abc\r\n"));
    doc.Undo();
    EXPECT_EQ(doc.Text(), QStringLiteral("abc  "));
    doc.Redo();
    EXPECT_EQ(doc.Text(), QStringLiteral("abc\r\n"));
    // Blanks before text that goes on stay.
    typeAt(doc, 0, QStringLiteral("x \t"));
    EXPECT_EQ(doc.GetParagraphText(0), QStringLiteral("x \tabc"));
}

TEST(Options, PutExtraSpacesPadsUpToTheVirtualColumn)
{
    CodeDocument doc;
    doc.SetOptions(doc.Options() | cmoPutExtraSpaces);
    setText(doc, QStringLiteral("ab"));
    doc.SetSelStart(2);
    doc.SetVirtualColumn(3);
    doc.SetSelText(QStringLiteral("x"));
    EXPECT_EQ(doc.Text(), QStringLiteral("ab   x"));
    EXPECT_EQ(doc.VirtualColumn(), 0);
}

TEST(Replace, AColumnBlockIsCutFromEveryLineAndUndoneInOneStep)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("abcdef\r\nab\r\n\tabcdef"));
    doc.SetSelStart(0);
    doc.SetSelLength(doc.TextLength());
    doc.SetColumnBlock(true, 4, 1);
    doc.ReplaceSel(QStringLiteral("#"));
    EXPECT_EQ(doc.Text(), QStringLiteral("aef\r\na\r\n#\tabcdef"));
    EXPECT_FALSE(doc.ColumnSelection());
    doc.Undo();
    EXPECT_EQ(doc.Text(), QStringLiteral("abcdef\r\nab\r\n\tabcdef"));
    doc.Redo();
    EXPECT_EQ(doc.Text(), QStringLiteral("aef\r\na\r\n#\tabcdef"));
}

// --- selection

TEST(Selection, LengthGrowsFromTheCaretWhichStays)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("0123456789"));
    doc.SetSelStart(5);
    doc.SetSelLength(-3);
    EXPECT_EQ(doc.GetSelStart(), 5);
    EXPECT_EQ(doc.SelStartNav().Position(), 2);
    EXPECT_EQ(doc.GetSelText(), QStringLiteral("234"));
    doc.SetSelLength(100);
    EXPECT_EQ(doc.SelLength(), 5);
    EXPECT_EQ(doc.GetSelText(), QStringLiteral("56789"));
    doc.SetSelStart(-5);
    EXPECT_EQ(doc.GetSelStart(), 0);
    doc.SelectAll();
    EXPECT_EQ(doc.GetSelStart(), 10);
    EXPECT_EQ(doc.SelLength(), -10);
    doc.ClearSelection();
    EXPECT_EQ(doc.TextLength(), 0);
    doc.Check();
}

TEST(Formatting, UpdateBracketsDeferReformatting)
{
    CodeDocument doc;
    FixedWidthMeasurer measurer(7, 12);
    doc.SetMeasurer(&measurer);
    int changes = 0;
    doc.OnChange = [&](CodeDocument *) { ++changes; };
    doc.BeginUpdate();
    doc.ReplaceSel(QStringLiteral("ab\tc \r\nxyz"));
    doc.ReplaceSel(QStringLiteral("!"));
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(doc.Paragraphs().Record(0)->Formatted);
    doc.EndUpdate();
    EXPECT_EQ(changes, 1);
    const TParagraph *p = doc.Paragraphs().Record(0);
    EXPECT_TRUE(p->Formatted);
    EXPECT_EQ(p->FirstLine.Width, 7 * 8 + 7); // the tab reaches column 8, then "c"
    EXPECT_EQ(p->FirstLine.FullWidth, 7 * 8 + 14);
    EXPECT_EQ(doc.DirtyLast(), -1);
    doc.Check();
}

// Measures like FixedWidthMeasurer but does not say so, so every line is measured run by run.
class RunByRunMeasurer : public FixedWidthMeasurer {
public:
    using FixedWidthMeasurer::FixedWidthMeasurer;
    int FixedPitch() const override { return 0; }
};

TEST(Formatting, CountedWidthsAgreeWithRunByRunMeasuring)
{
    // Lines counted by characters (the fixed-pitch way) must measure as lines measured run by run:
    // runs longer than eight plain characters, blanks and tabs at either end, style codes with
    // static formatting on and off, control characters, NUL and characters above U+7FFF.
    const char16_t alphabet[] = { u'a', u'Z', u' ', u'\t', scBold, scUnderline, u'\n', 16, 0,
        0x7F, 0x8000, 0xFFFF, 0x4E2D, u'!', u'~' };
    FixedWidthMeasurer counted(7, 12);
    RunByRunMeasurer runByRun(7, 12);
    std::mt19937 rng(30);
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = int(rng() % 70);
        for (int i = 0; i < length; ++i) {
            // Long plain runs most of the time, so the eight-at-a-time counting is exercised.
            const bool plain = rng() % 4 != 0;
            text += QChar(plain ? char16_t(u'a' + rng() % 26)
                                : alphabet[rng() % (sizeof(alphabet) / sizeof(alphabet[0]))]);
        }
        for (bool staticFormat : { true, false }) {
            CodeDocument a;
            CodeDocument b;
            a.SetMeasurer(&counted);
            b.SetMeasurer(&runByRun);
            for (CodeDocument *doc : { &a, &b }) {
                doc->SetStaticFormat(staticFormat);
                doc->SetTabStops(int(1 + round % 9));
                doc->ReplaceSel(text, CodeDocument::rfNoStyleRestore | CodeDocument::rfNoCodeCleanup);
            }
            const TLineRecord &x = a.Paragraphs().Record(0)->FirstLine;
            const TLineRecord &y = b.Paragraphs().Record(0)->FirstLine;
            ASSERT_EQ(x.Width, y.Width) << round << " " << staticFormat;
            ASSERT_EQ(x.FullWidth, y.FullWidth) << round << " " << staticFormat;
            ASSERT_EQ(x.EndOffset, y.EndOffset);
        }
    }
}

} // namespace
