// When a range closes, the look in force before its start key comes back after its stop key.
#include "HighlightTestSupport.h"

#include "editor/ExtHighlighter.h"
#include "editor/NumberHighlighter.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <vector>

namespace qd {
namespace {

using test::labelAt;

// Equal but for the offset and the two key-length bytes.
bool sameLook(const TAttrRecord &a, const TAttrRecord &b)
{
    for (int w = 1; w < 15; ++w) {
        const quint32 mask = w == 13 ? 0x0000FFFFu : 0xFFFFFFFFu;
        if ((quint32(a.Words[w]) & mask) != (quint32(b.Words[w]) & mask))
            return false;
    }
    return true;
}

// Walks every record of the text in order, keeping a stack of the records in force before each
// open level; a record that closes a range must give back exactly the record in force before the
// range opened. Returns a description of the first record that does not, empty when all do.
QString firstWrongRestore(const CodeDocument &doc)
{
    const TParagraphsList &pars = doc.Paragraphs();
    std::vector<TAttrRecord> before;
    TAttrRecord prev = *pars.At(0)->StartAttr;
    for (qint64 k = 0; k < pars.Count(); ++k) {
        const TParagraph *p = pars.At(k);
        if (!hl::SameState(*p->StartAttr, prev))
            return QStringLiteral("paragraph %1 starts in another state").arg(k);
        for (qint32 i = 0; i < p->AttrCount; ++i) {
            const TAttrRecord &r = p->Attrs[i];
            const int lr = hl::Level(r);
            const int lp = hl::Level(prev);
            const QString where = QStringLiteral("paragraph %1 offset %2").arg(k).arg(r.Offset());
            if (lr > lp) {
                if (lr != lp + 1)
                    return where + QStringLiteral(": more than one level opens");
                before.push_back(prev);
            } else if (lr < lp) {
                // A keyword or number mark may end where a range closes: its level goes too.
                // It may also have replaced a record that began where it begins (its own
                // restore puts that record's look back); ranges are what this is about.
                for (int level = lp; level > lr; --level) {
                    if (before.empty())
                        return where + QStringLiteral(": more levels close than opened");
                    const bool range = hl::IsRangeEntry(hl::Entry(prev, level));
                    if (range && level != lr + 1)
                        return where + QStringLiteral(": more than one range closes at once");
                    if (range && !sameLook(before.back(), r))
                        return where
                            + QStringLiteral(": the look before the range is not restored");
                    before.pop_back();
                }
            }
            prev = r;
        }
    }
    return QString();
}

class RangeRestore : public ::testing::Test {
protected:
    RangeRestore()
    {
        // "{ }" nests at any level; "( )" nests in plain text and in "{ }"; "'" strings; "--" to
        // the line's end; "<<" ">>" continued up to ";" by a second "<<" item.
        TExtStartStopList &keys = h.StartStopKeys();
        keys.AddExt(QStringLiteral("{"), QStringLiteral("}"), 0, 0, 1, 0, 32767, 0, -1, 1, false);
        keys.AddExt(QStringLiteral("("), QStringLiteral(")"), 0, ksBold, 2, 0, 30, 0, 5, 2, false);
        keys.AddExt(QStringLiteral("'"), QStringLiteral("'"), 0, 0, 3, 0, 20, 0, -1, 3, false);
        keys.AddExt(QStringLiteral("--"), QString(), 0, 0, 4, 0, 20, 0, -1, 4, true);
        keys.AddExt(QStringLiteral("<<"), QStringLiteral(">>"), 0, 0, 5, 0, 20, 0, -1, 5, false);
        keys.AddExt(QStringLiteral("<<"), QStringLiteral(";"), 0, 0, 6, 0, 20, 0, -1, 6, false);
        h.Keywords().AddKeyword(QStringLiteral("IF"), koWholeWords, 0, 0, 0, 32767, 0, -1, 7);
        h.SetSeparators(QStringLiteral(" ;{}()'<>-!"));
        numbers.Foreground = 8;
        numbers.SetSeparators(QStringLiteral(" ;{}()'<>-!"));
        h.SetSubHighlighter(&numbers);
        doc.Host.SetSeparators(QStringLiteral(" ;{}()'<>-!"));
        doc.Host.StartStopKeys().Add(
            QStringLiteral("<!"), QStringLiteral("!>"), 0, 0, 9, 0, -1, 9, false);
        doc.Host.SetHighlighter(&h);
    }
    void load(const QString &text)
    {
        test::setText(doc, text);
        doc.Host.Rehighlight();
        doc.Host.HighlightAll();
        doc.Check();
    }
    test::HighlightedDocument doc;
    TExtHighlighter h;
    TNumberHighlighter numbers;
};

TEST_F(RangeRestore, ClosingANestedRangeGivesBackTheEnclosingRangesLook)
{
    // The editor's own pair comes first, so the highlighter's items count from R1.
    load(QStringLiteral("{ a { b\rc } d 1 } e\r( f { g } h ) i"));
    EXPECT_EQ(labelAt(doc, 2), QStringLiteral("R1/#000001"));
    EXPECT_EQ(labelAt(doc, 6), QStringLiteral("R1.R1/#000001"));
    const qint64 second = doc.ParagraphStart(1);
    EXPECT_EQ(labelAt(doc, second + 3), QStringLiteral("R1/#000001")); // after the inner "}"
    EXPECT_EQ(labelAt(doc, second + 4), QStringLiteral("R1/#000001"));
    EXPECT_EQ(labelAt(doc, second + 6), QStringLiteral("R1/#000001")); // no number in context 1
    EXPECT_EQ(labelAt(doc, second + 10), QString());
    const qint64 third = doc.ParagraphStart(2);
    EXPECT_EQ(labelAt(doc, third + 6), QStringLiteral("R2.R1/#000001"));
    // "h" is back in "( )": bold, background 5, context 2, as before "{" opened.
    const TAttrRecord look = *hl::AttrAt(doc.Paragraphs().At(2), 10);
    EXPECT_EQ(labelAt(doc, third + 10), QStringLiteral("R2/#000002"));
    EXPECT_EQ(hl::Flags(look) & 0x0F, ksBold);
    EXPECT_EQ(look.BackColor(), 5);
    EXPECT_EQ(look.Context(), 2);
    EXPECT_EQ(labelAt(doc, third + 14), QString());
    EXPECT_EQ(firstWrongRestore(doc), QString());
}

TEST_F(RangeRestore, TheFirstStartKeyOpensWhetherTheEditorsOwnOrTheHighlighters)
{
    load(QStringLiteral("a { k } b <! m !> c\r<! n !> { o } p"));
    const QString text = doc.Text();
    const auto at = [&](const char16_t *needle) {
        return labelAt(doc, text.indexOf(QString::fromUtf16(needle)));
    };
    EXPECT_EQ(at(u"k"), QStringLiteral("R1/#000001"));
    EXPECT_EQ(at(u"m"), QStringLiteral("R0/#000009"));
    EXPECT_EQ(at(u" c"), QString());
    EXPECT_EQ(at(u"n"), QStringLiteral("R0/#000009"));
    EXPECT_EQ(at(u"o"), QStringLiteral("R1/#000001"));
    EXPECT_EQ(at(u" p"), QString());
}

TEST_F(RangeRestore, AHighlighterWithoutAnEditorHostRestoresTheEnclosingLevelToo)
{
    // The hooks driven directly over a bare text model, as a caller without an editor may.
    CodeDocument bare;
    test::setText(bare, QStringLiteral("{ a { b } c } d"));
    TCodeNavigator nav(&bare);
    TCodeNavigator end(&bare);
    end.SetPos(bare.TextLength());
    for (int steps = 0; steps < 20; ++steps) {
        const TAttrRecord cur = *hl::AttrAt(bare.Paragraphs().At(0), nav.ParOffset());
        bool found = hl::InRange(cur) && h.FindStopKey(nav, end, 0);
        if (!found)
            found = h.FindStartKey(nav, end, 0);
        if (!found)
            break;
        end.SetPos(bare.TextLength());
    }
    EXPECT_EQ(labelAt(bare, 6), QStringLiteral("R0.R0/#000001"));
    EXPECT_EQ(labelAt(bare, 10), QStringLiteral("R0/#000001")); // "c"
    EXPECT_EQ(labelAt(bare, 14), QString()); // "d"
    EXPECT_EQ(firstWrongRestore(bare), QString());
}

// The nesting set-up over a text with every way a level is left (see golden/highlight/README.md).
TEST_F(RangeRestore, GoldenLooksAfterNestedRangesClose)
{
    load(QStringLiteral("if { if ( x ) { 'a ( b' if } 12 } 12 if\r"
                        "( a { b\r"
                        "c } d 'e' f ) g -- h { i } j\r"
                        "<< k >> l ; m 5\r"
                        "<! n { o } !> p\r"
                        "{ { { if } } } 7"));
    test::expectGolden(QStringLiteral("nesting_restore.txt"), test::attributeRuns(doc));
    EXPECT_EQ(firstWrongRestore(doc), QString());
}

TEST_F(RangeRestore, RandomTextsRestoreEveryLevelTheyClose)
{
    const QStringList pieces = { QStringLiteral("{"), QStringLiteral("}"), QStringLiteral("("),
        QStringLiteral(")"), QStringLiteral("'"), QStringLiteral("--"), QStringLiteral("<<"),
        QStringLiteral(">>"), QStringLiteral(";"), QStringLiteral("<!"), QStringLiteral("!>"),
        QStringLiteral("if"), QStringLiteral("12"), QStringLiteral(" "), QStringLiteral(" "),
        QStringLiteral("x"), QStringLiteral("\r") };
    QRandomGenerator random(20261211);
    int closings = 0;
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int n = 10 + int(random.bounded(60));
        for (int i = 0; i < n; ++i)
            text += pieces[int(random.bounded(qint32(pieces.size())))];
        load(text);
        const QString wrong = firstWrongRestore(doc);
        ASSERT_EQ(wrong, QString()) << text.toStdString();
        for (qint64 k = 0; k < doc.ParagraphCount(); ++k) {
            const TParagraph *p = doc.Paragraphs().At(k);
            for (qint32 i = 0; i < p->AttrCount; ++i)
                closings += hl::CloseLength(p->Attrs[i]) > 0;
        }
    }
    EXPECT_GT(closings, 500); // the texts did close many ranges
}

} // namespace
} // namespace qd
