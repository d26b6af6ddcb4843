// The editor core with the SQL set-up attached: its formatting drives the highlighting passes,
// an edit re-colours a screenful past itself at once and the rest in background slices.
#include "HighlightTestSupport.h"

#include "editor/CodeHighlighter.h"
#include "editor/CodeMemoCore.h"
#include "editor/SQLHighlighting.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

using test::labelAt;

const QString BlockComment = QStringLiteral("R1/green");

struct MemoHighlight : public ::testing::Test {
    FixedWidthMeasurer measurer { 8, 16 };
    TSQLHighlighting sql;
    CodeMemoCore memo;
    MemoHighlight()
    {
        memo.SetMeasurer(&measurer);
        sql.AddKeywords(BuiltInSQLKeywords());
        sql.AttachTo(memo);
        memo.SetClientSize(400, 10 * 16);
    }
    QString keyword(const QString &word)
    {
        return QStringLiteral("K%1/blue").arg(sql.Highlighter().Keywords().IndexOf(word));
    }
    void runBackground()
    {
        int slices = 0;
        while (memo.BackgroundStep() && ++slices < 100000) {
        }
    }
};

TEST_F(MemoHighlight, TheEditorsPropertiesAreTheHighlightingHosts)
{
    EXPECT_EQ(memo.Highlighter(), &sql.Highlighter());
    EXPECT_EQ(memo.Keywords(), &memo.Highlighting().Keywords());
    EXPECT_TRUE(memo.IsSeparator(u'('));
    EXPECT_EQ(memo.Highlighting().Separators(), QStringLiteral(" \"'()+,-./:;<=>[]{|}"));
    memo.SetApplyKeyWords(false);
    EXPECT_FALSE(memo.Highlighting().ApplyKeyWords());
    memo.SetUpperCaseType(cmuAnsi);
    EXPECT_EQ(memo.Keywords()->CaseMode(), cmuAnsi);
    EXPECT_EQ(memo.StartStopKeys()->CaseMode(), cmuAnsi);
    {
        TCodeHighlighter passing;
        memo.SetHighlighter(&passing);
        EXPECT_EQ(memo.Highlighter(), &passing);
    }
    EXPECT_EQ(memo.Highlighter(), nullptr); // a highlighter that goes away detaches itself
}

TEST_F(MemoHighlight, LoadedTextIsColouredAsItIsFormatted)
{
    memo.SetTextBuf(QStringLiteral("select 1 from dual; -- done\r\n/* a\r\nb */ 'x'"));
    memo.FormatRange(0, memo.ParagraphCount() - 1);
    EXPECT_EQ(labelAt(memo, 0), keyword(QStringLiteral("SELECT")));
    EXPECT_EQ(labelAt(memo, 7), QStringLiteral("N/red"));
    EXPECT_EQ(labelAt(memo, memo.ParagraphStart(1) + 2), BlockComment);
    EXPECT_EQ(labelAt(memo, memo.ParagraphStart(2)), BlockComment);
    EXPECT_EQ(labelAt(memo, memo.ParagraphStart(2) + 5), QStringLiteral("R2/red"));
    memo.Check();
}

TEST_F(MemoHighlight, TypingACommentStartColoursTheScreenAtOnceAndTheRestInTheBackground)
{
    QStringList lines;
    for (int i = 0; i < 3000; ++i)
        lines << QStringLiteral("select %1 from dual;").arg(i);
    memo.SetTextBuf(lines.join(QStringLiteral("\r\n")));
    runBackground();
    EXPECT_EQ(labelAt(memo, memo.ParagraphStart(2000)), keyword(QStringLiteral("SELECT")));

    memo.SetSelStart(0);
    memo.ReplaceSel(QStringLiteral("/"));
    memo.ReplaceSel(QStringLiteral("*"));
    // The screen (and a margin past it) shows the comment at once.
    for (int i : { 0, 5, 9, 100 })
        EXPECT_EQ(labelAt(memo, memo.ParagraphStart(i) + 3), BlockComment) << i;
    // Far below, the old look stays until the background gets there.
    EXPECT_EQ(labelAt(memo, memo.ParagraphStart(2000)), keyword(QStringLiteral("SELECT")));
    EXPECT_FALSE(memo.AllFormatted());
    runBackground();
    EXPECT_TRUE(memo.AllFormatted());
    for (int i : { 1000, 2000, 2999 })
        EXPECT_EQ(labelAt(memo, memo.ParagraphStart(i) + 3), BlockComment) << i;
    memo.Check();

    // Closing it again restores the keywords, the far ones through the background again.
    memo.SetSelStart(2);
    memo.ReplaceSel(QStringLiteral("*/"));
    runBackground();
    for (int i : { 1, 1000, 2999 })
        EXPECT_EQ(labelAt(memo, memo.ParagraphStart(i)), keyword(QStringLiteral("SELECT"))) << i;
    memo.Check();
}

} // namespace
} // namespace qd
