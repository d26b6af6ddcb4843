// Positions that survive edits: how they resolve to paragraphs, lines and attributes, and how
// replacements move them.
#include "EditorTestSupport.h"

#include "classlib/ListErrors.h"
#include "editor/CodeNavigator.h"

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

class NavigatorTest : public ::testing::Test {
protected:
    void SetUp() override { setText(doc, QStringLiteral("abc\r\nde\r\n\r\nfghij")); }
    CodeDocument doc;
};

TEST_F(NavigatorTest, APositionInsideALineBreakBelongsToItsParagraph)
{
    TCodeNavigator nav(&doc);
    struct Case {
        qint64 pos;
        qint64 par;
        qint64 offset;
        char16_t ch;
    };
    const Case cases[] = {
        { 0, 0, 0, u'a' },
        { 3, 0, 3, 13 },
        { 4, 0, 4, 10 },
        { 5, 1, 0, u'd' },
        { 7, 1, 2, 13 },
        { 8, 1, 3, 10 },
        { 9, 2, 0, 13 },
        { 10, 2, 1, 10 },
        { 11, 3, 0, u'f' },
        { 16, 3, 5, 13 },
    };
    for (const Case &c : cases) {
        nav.SetPos(c.pos);
        nav.Invalidate();
        EXPECT_EQ(nav.ParIndex(), c.par) << c.pos;
        EXPECT_EQ(nav.ParOffset(), c.offset) << c.pos;
        EXPECT_EQ(nav.CharAt(), c.ch) << c.pos;
        EXPECT_EQ(doc.CharAt(c.pos), c.ch) << c.pos;
    }
    doc.Check();
}

TEST(Navigator, EveryPositionOfOneParagraphResolvesToIt)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("single paragraph"));
    TCodeNavigator nav(&doc);
    for (qint64 pos = 0; pos <= doc.TextLength(); ++pos) {
        nav.SetPos(pos);
        nav.Invalidate();
        ASSERT_EQ(nav.ParIndex(), 0);
        ASSERT_EQ(nav.ParOffset(), pos);
    }
}

TEST_F(NavigatorTest, ReadTextWritesBreaksAsCrLf)
{
    TCodeNavigator nav(&doc);
    nav.SetPos(3);
    EXPECT_EQ(nav.ReadText(1), QStringLiteral("\r"));
    EXPECT_EQ(nav.ReadText(4), QStringLiteral("\r\nde"));
    nav.SetPos(4);
    EXPECT_EQ(nav.ReadText(2), QStringLiteral("\nd"));
    nav.SetPos(7);
    EXPECT_EQ(nav.ReadText(100), QStringLiteral("\r\n\r\nfghij"));
    EXPECT_EQ(nav.Position(), 7); // reading does not move
    EXPECT_EQ(doc.GetTextRange(-5, 100), doc.Text());
    EXPECT_EQ(doc.GetTextRange(4, 4), QString());
}

TEST_F(NavigatorTest, SetParagraphAndSetLineGoToStarts)
{
    TCodeNavigator nav(&doc);
    nav.SetParagraph(3);
    EXPECT_EQ(nav.Position(), 11);
    EXPECT_THROW(nav.SetParagraph(4), ERangeError);
    TLineRecord *line = nav.SetLine(1);
    EXPECT_EQ(nav.Position(), 5);
    EXPECT_EQ(line->EndOffset, 2);
    nav.SetLine(99); // cut to the last line
    EXPECT_EQ(nav.ParIndex(), 3);
    EXPECT_EQ(nav.LineIndex(), 3);
}

// A paragraph wrapped into three display lines by hand: 0..4, 4..8, 8..10.
TEST(Navigator, APositionAtALineEndBelongsToTheNextLineExceptOnTheLast)
{
    CodeDocument doc;
    setText(doc, QStringLiteral("aaaabbbbcc\r\nz"));
    TLinesList lines(&doc.Paragraphs(), 0);
    lines.SetCount(3);
    const int ends[] = { 4, 8, 10 };
    for (int i = 0; i < 3; ++i) {
        lines.Line(i)->StartOffset = i * 4;
        lines.Line(i)->EndOffset = ends[i];
    }
    EXPECT_EQ(doc.LineCount(), 4);
    TCodeNavigator nav(&doc);
    const std::pair<qint64, int> cases[] = { { 0, 0 }, { 3, 0 }, { 4, 1 }, { 8, 2 }, { 10, 2 } };
    for (auto [pos, line] : cases) {
        nav.SetPos(pos);
        nav.Invalidate();
        EXPECT_EQ(nav.LineInPar(), line) << pos;
        EXPECT_EQ(nav.Column(), pos - line * 4) << pos;
    }
    nav.SetPos(12);
    EXPECT_EQ(nav.LineIndex(), 3);
    nav.SetPos(5); // backwards: the caches are dropped and recomputed
    EXPECT_EQ(nav.LineInPar(), 1);
    nav.SetPos(9); // forwards in the paragraph: the line index steps on
    EXPECT_EQ(nav.LineInPar(), 2);
    nav.SetLine(1);
    nav.SetColumn(99);
    EXPECT_EQ(nav.Position(), 8);
}

TEST(Navigator, StyleAtTogglesByTheCodesBeforeIt)
{
    CodeDocument doc;
    setText(doc,
        QStringLiteral("a\x02"
                       "b\x01"
                       "c"));
    TCodeNavigator nav(&doc);
    const std::pair<qint64, quint8> cases[] = { { 0, 0 }, { 2, StyleBold },
        { 4, StyleBold | StyleItalic }, { 5, StyleBold | StyleItalic } };
    for (auto [pos, style] : cases) {
        nav.SetPos(pos);
        EXPECT_EQ(nav.StyleAt(), style) << pos;
    }
    doc.SetStaticFormat(false);
    EXPECT_EQ(nav.StyleAt(), 0);
}

TEST_F(NavigatorTest, AttributesInsertRemoveAndWalk)
{
    TAttrRecord red;
    red.Words[3] = 255;
    TAttrRecord blue;
    blue.Words[3] = 0xFF0000;
    TCodeNavigator nav(&doc);
    nav.SetPos(1);
    EXPECT_EQ(nav.CurrentAttr(), doc.Paragraphs().Record(0)->StartAttr);
    nav.InsertAttr(red);
    EXPECT_EQ(nav.CurrentAttr()->TextColor(), 255);
    nav.SetPos(12); // "g" in the last paragraph
    nav.InsertAttr(blue);

    TCodeNavigator walker(&doc);
    walker.SetPos(0);
    ASSERT_TRUE(walker.NextAttr(doc.TextLength()));
    EXPECT_EQ(walker.Position(), 1);
    walker.SkipAttrsHere();
    ASSERT_TRUE(walker.NextAttr(doc.TextLength()));
    EXPECT_EQ(walker.Position(), 12);
    walker.SkipAttrsHere();
    EXPECT_FALSE(walker.NextAttr(doc.TextLength()));
    EXPECT_EQ(walker.Position(), 12);
    walker.SetPos(14);
    EXPECT_FALSE(walker.PrevAttr(13)); // the record at 12 lies before the limit
    ASSERT_TRUE(walker.PrevAttr(0));
    EXPECT_EQ(walker.Position(), 12);
    ASSERT_TRUE(walker.PrevAttr(0));
    EXPECT_EQ(walker.Position(), 1);

    // In force at a position: the last record not after it.
    nav.SetPos(2);
    EXPECT_EQ(nav.CurrentAttr()->TextColor(), 255);
    nav.SetPos(11);
    EXPECT_EQ(nav.CurrentAttr()->TextColor(), 0);

    nav.SetPos(2);
    nav.Invalidate();
    try {
        nav.RemoveAttr(); // no record at 2
        FAIL();
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Internal CodeMemo error"));
    }
    nav.SetPos(1);
    nav.Invalidate();
    nav.RemoveAttr();
    EXPECT_EQ(doc.Paragraphs().Record(0)->AttrCount, 0);
    doc.Check();
}

TEST_F(NavigatorTest, AFreeStandingNavigatorWalksTheTextItWasAssignedFrom)
{
    TCodeNavigator source(&doc);
    source.SetPos(12);
    TCodeNavigator scratch;
    scratch.Assign(source);
    EXPECT_EQ(scratch.ParIndex(), 3);
    EXPECT_EQ(scratch.ReadText(3), QStringLiteral("ghi"));
    EXPECT_EQ(scratch.Memo(), nullptr);
}

// --- how replacements move navigators

TEST_F(NavigatorTest, InsideADeletedRangeGoesToItsStartOrWithFollowInsertionToItsEnd)
{
    TCodeNavigator inside(&doc);
    inside.SetPos(6);
    TCodeNavigator follower(&doc);
    follower.SetPos(6);
    follower.FollowInsertion = true;
    TCodeNavigator after(&doc);
    after.SetPos(13); // "h"
    after.ParIndex();
    TCodeNavigator before(&doc);
    before.SetPos(2);
    before.ParIndex();

    replace(doc, 4, 12, QStringLiteral("XY\r\nZ")); // from inside the first break to "g"
    EXPECT_EQ(doc.Text(), QStringLiteral("abcXY\r\nZghij"));
    EXPECT_EQ(inside.Position(), 3);
    EXPECT_EQ(follower.Position(), 3 + 5);
    EXPECT_EQ(after.Position(), 9);
    EXPECT_EQ(after.CharAt(), u'h');
    EXPECT_EQ(after.ParIndex(), 1);
    EXPECT_EQ(before.CharAt(), u'c');
    doc.Check();
}

TEST_F(NavigatorTest, AfterTheRangeKeepsItsDistanceAcrossParagraphChanges)
{
    TCodeNavigator later(&doc);
    later.SetPos(15); // "j"
    later.ParIndex();
    doc.SetSelStart(1);
    doc.ReplaceSel(QStringLiteral("\r\n\r\n"));
    EXPECT_EQ(later.CharAt(), u'j');
    EXPECT_EQ(later.ParIndex(), 5);
    replace(doc, 0, 9, QString());
    EXPECT_EQ(later.CharAt(), u'j');
    EXPECT_EQ(later.ParIndex(), 2);
    doc.Check();
}

TEST(Navigator, TheDocumentFreesNavigatorsStillRegistered)
{
    bool freed = false;
    auto *doc = new CodeDocument;
    auto *nav = new TCodeNavigator(doc);
    nav->OnFree = [&](TCodeNavigator *sender) { freed = sender == nav; };
    const size_t count = doc->Navigators().size();
    {
        TCodeNavigator temporary(doc);
        EXPECT_EQ(doc->Navigators().size(), count + 1);
    }
    EXPECT_EQ(doc->Navigators().size(), count);
    delete doc;
    EXPECT_TRUE(freed);
}

} // namespace
