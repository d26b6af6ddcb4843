// The SQL editor's highlighting over the text model: comments, strings, keywords and numbers as
// the SQL set-up colours them, after loading and after edits.
#include "HighlightTestSupport.h"

#include "editor/SQLHighlighting.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

using test::attributeRuns;
using test::labelAt;

const QString LineComment = QStringLiteral("R0/green");
const QString BlockComment = QStringLiteral("R1/green");
const QString String = QStringLiteral("R2/red");
const QString Number = QStringLiteral("N/red");

class SqlHighlight : public ::testing::Test {
protected:
    SqlHighlight()
    {
        sql.AddKeywords(BuiltInSQLKeywords());
        sql.AttachTo(doc.Host);
    }
    void load(const QString &text)
    {
        test::setText(doc, text);
        doc.Host.HighlightAll();
        doc.Check();
    }
    // The label of the first character of the first occurrence of needle.
    QString at(const QString &needle, int from = 0)
    {
        const qint64 pos = doc.Text().indexOf(needle, from);
        EXPECT_GE(pos, 0) << needle.toStdString();
        return labelAt(doc, pos);
    }
    QString keyword(const QString &word)
    {
        return QStringLiteral("K%1/blue").arg(sql.Highlighter().Keywords().IndexOf(word));
    }

    test::HighlightedDocument doc;
    TSQLHighlighting sql;
};

TEST_F(SqlHighlight, CommentsAndStringsTakeTheirRangesAndKeepKeywordsOut)
{
    load(QStringLiteral("select 'a -- b' from dual -- select\r/* where -- x */ where"));
    EXPECT_EQ(at(QStringLiteral("select")), keyword(QStringLiteral("SELECT")));
    // Two hyphens inside a string start no comment: the string goes on and FROM is a keyword.
    EXPECT_EQ(at(QStringLiteral("-- b")), String);
    EXPECT_EQ(at(QStringLiteral("from")), keyword(QStringLiteral("FROM")));
    EXPECT_EQ(at(QStringLiteral("-- select")), LineComment);
    EXPECT_EQ(at(QStringLiteral("select"), 20), LineComment);
    // The line comment ends with its line.
    EXPECT_EQ(at(QStringLiteral("/*")), BlockComment);
    EXPECT_EQ(at(QStringLiteral("-- x")), BlockComment);
    EXPECT_EQ(at(QStringLiteral("where"), 40), BlockComment);
    const qint64 last = doc.Text().lastIndexOf(QStringLiteral(" where"));
    EXPECT_EQ(labelAt(doc, last), QString());
    EXPECT_EQ(labelAt(doc, last + 1), keyword(QStringLiteral("WHERE")));
}

TEST_F(SqlHighlight, BlockCommentStartInsideLineCommentOpensNothing)
{
    load(QStringLiteral("x -- a /* b\rselect 1"));
    EXPECT_EQ(at(QStringLiteral("/*")), LineComment);
    EXPECT_EQ(at(QStringLiteral("select")), keyword(QStringLiteral("SELECT")));
    EXPECT_EQ(at(QStringLiteral("1")), Number);
}

TEST_F(SqlHighlight, KeywordsCompareUpperCasedAndStandBetweenTheHighlightersSeparators)
{
    load(QStringLiteral("SeLeCt count(*), max (x),sum;from\tdual.x x.where"));
    EXPECT_EQ(at(QStringLiteral("SeLeCt")), keyword(QStringLiteral("SELECT")));
    // "(" is not one of the SQL highlighter's separators.
    EXPECT_EQ(at(QStringLiteral("count")), QString());
    EXPECT_EQ(at(QStringLiteral("max")), keyword(QStringLiteral("MAX")));
    EXPECT_EQ(at(QStringLiteral("sum")), keyword(QStringLiteral("SUM")));
    EXPECT_EQ(at(QStringLiteral("from")), keyword(QStringLiteral("FROM")));
    EXPECT_EQ(at(QStringLiteral("where")), keyword(QStringLiteral("WHERE")));
    EXPECT_EQ(at(QStringLiteral("ount")), QString());
}

TEST_F(SqlHighlight, NumbersFollowTheNumberHighlightersTokens)
{
    struct Case {
        const char *text;
        const char *needle;
        bool coloured;
    } cases[] = {
        { "x := 12.5;", "12", true }, // a fraction gives two numbers
        { "x := 12.5;", ".", false },
        { "x := 12.5;", "5", true },
        { "x := -5;", "-", false }, // the minus sign is a separator
        { "x := -5;", "5", true },
        { "x := 12ab;", "12ab", false }, // digits then letters: one token, no number
        { "x := $1aF;", "$1aF", true }, // hexadecimal in either case
        { "x := $1G;", "$1G", false },
        { "x := $ + 1;", "$", true }, // a lone dollar sign
        { "x := '12' || 3;", "12", false }, // inside a string
        { "x := 1 -- 2", "2", false }, // inside a comment
        { "x := (7)", "7", true },
        { "x := 'a'7", "7", false }, // the token right after a string's end is skipped
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        load(QString::fromLatin1(c.text));
        const QString needle = QString::fromLatin1(c.needle);
        const qint64 pos = doc.Text().indexOf(needle, 5);
        ASSERT_GE(pos, 0);
        for (qint64 i = pos; i < pos + needle.size(); ++i) {
            if (c.coloured)
                EXPECT_EQ(labelAt(doc, i), Number) << i;
            else
                EXPECT_NE(labelAt(doc, i), Number) << i;
        }
    }
}

TEST_F(SqlHighlight, MoreThanSixteenHitsInOneParagraphAreAllMarked)
{
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("select %1 from ").arg(i);
    load(text);
    const QString runs = attributeRuns(doc);
    EXPECT_EQ(runs.count(keyword(QStringLiteral("SELECT")) + QLatin1Char(':')), 40);
    EXPECT_EQ(runs.count(keyword(QStringLiteral("FROM")) + QLatin1Char(':')), 40);
    EXPECT_EQ(runs.count(Number + QLatin1Char(':')), 40);
}

TEST_F(SqlHighlight, StringStaysOpenAcrossALineBreak)
{
    load(QStringLiteral("x := 'first\rselect second' where"));
    EXPECT_EQ(at(QStringLiteral("select")), String);
    EXPECT_EQ(at(QStringLiteral("where")), keyword(QStringLiteral("WHERE")));
}

TEST_F(SqlHighlight, OpeningABlockCommentColoursToTheEndAndClosingItRestores)
{
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << QStringLiteral("select %1 from dual;").arg(i);
    load(lines.join(QLatin1Char('\r')));
    const QString before = attributeRuns(doc);

    qint64 first = -1;
    qint64 last = -1;
    doc.Host.OnInvalidate = [&](THighlightHost *, qint64 f, qint64 l) {
        first = first < 0 ? f : qMin(first, f);
        last = qMax(last, l);
    };
    test::typeAt(doc, 0, QStringLiteral("/*"));
    doc.Check();
    EXPECT_EQ(last, 299);
    for (int i : { 0, 1, 150, 299 })
        EXPECT_EQ(labelAt(doc, doc.ParagraphStart(i) + 3), BlockComment) << i;

    test::typeAt(doc, 2, QStringLiteral("*/"));
    doc.Check();
    test::replace(doc, 0, 4, QString());
    doc.Check();
    EXPECT_EQ(attributeRuns(doc), before);
}

TEST_F(SqlHighlight, ClosingACommentEarlierStopsAtTheFirstParagraphWithItsOldState)
{
    QStringList lines;
    lines << QStringLiteral("/* opened");
    for (int i = 1; i < 10; ++i)
        lines << QStringLiteral("select %1").arg(i);
    lines << QStringLiteral("closed */ from");
    for (int i = 11; i < 200; ++i)
        lines << QStringLiteral("select %1").arg(i);
    load(lines.join(QLatin1Char('\r')));
    EXPECT_EQ(labelAt(doc, doc.ParagraphStart(5)), BlockComment);

    qint64 first = -1;
    qint64 last = -1;
    doc.Host.OnInvalidate = [&](THighlightHost *, qint64 f, qint64 l) {
        if (first < 0)
            first = f;
        last = qMax(last, l);
    };
    doc.SetSelStart(doc.ParagraphStart(2));
    doc.ReplaceSel(QStringLiteral("*/"));
    doc.Check();
    EXPECT_EQ(first, 2);
    // Paragraph 10 now ends outside a comment as it did before: paragraph 11 is left alone.
    EXPECT_EQ(last, 10);
    EXPECT_EQ(doc.Host.LastParagraph(), 10);
    EXPECT_EQ(labelAt(doc, doc.ParagraphStart(5)), keyword(QStringLiteral("SELECT")));
    EXPECT_EQ(labelAt(doc, doc.ParagraphStart(10)), QString());
    EXPECT_EQ(at(QStringLiteral("from")), keyword(QStringLiteral("FROM")));
}

TEST_F(SqlHighlight, AFlowLimitLeavesTheRestToBackgroundSlices)
{
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << QStringLiteral("select %1").arg(i);
    load(lines.join(QLatin1Char('\r')));
    doc.Host.SetFlowLimit(10);
    test::typeAt(doc, 0, QStringLiteral("/*"));
    EXPECT_EQ(labelAt(doc, doc.ParagraphStart(5)), BlockComment);
    // The pass stopped a little past the screenful; further down the old look stays for now.
    EXPECT_NE(labelAt(doc, doc.ParagraphStart(50)), BlockComment);
    int slices = 0;
    while (doc.Host.HighlightSlice(20))
        ++slices;
    EXPECT_GE(slices, 3);
    for (int i : { 50, 99 })
        EXPECT_EQ(labelAt(doc, doc.ParagraphStart(i)), BlockComment) << i;
    doc.Check();
}

TEST_F(SqlHighlight, EditsInsideALineKeepTheOtherKeywordsOfTheLine)
{
    load(QStringLiteral("select a from b where c"));
    doc.SetSelStart(7);
    doc.ReplaceSel(QStringLiteral("x"));
    EXPECT_EQ(at(QStringLiteral("select")), keyword(QStringLiteral("SELECT")));
    EXPECT_EQ(at(QStringLiteral("from")), keyword(QStringLiteral("FROM")));
    EXPECT_EQ(at(QStringLiteral("where")), keyword(QStringLiteral("WHERE")));
    // Breaking a keyword uncolours it; joining it again colours it.
    doc.SetSelStart(doc.Text().indexOf(QStringLiteral("from")) + 2);
    doc.ReplaceSel(QStringLiteral(" "));
    EXPECT_EQ(at(QStringLiteral("fr")), QString());
    test::replace(doc, doc.Text().indexOf(QStringLiteral("fr ")) + 2, doc.Text().indexOf(QStringLiteral("fr ")) + 3, QString());
    EXPECT_EQ(at(QStringLiteral("from")), keyword(QStringLiteral("FROM")));
    doc.Check();
}

} // namespace
} // namespace qd
