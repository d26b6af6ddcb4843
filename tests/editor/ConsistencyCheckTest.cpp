// The consistency check of paragraphs and display lines (the editor's Ctrl+E).
#include "editor/ConsistencyCheck.h"
#include "classlib/Exception.h"
#include "editor/CodeMemoCore.h"

#include <gtest/gtest.h>

#include <functional>

using namespace qd;

namespace {

// "abcdefghij" wraps into three lines of four characters, the other paragraphs keep one line.
struct Wrapped {
    FixedWidthMeasurer measurer { 8, 16 };
    CodeMemoCore memo;
    qint32 saved = 0;
    Wrapped()
    {
        memo.SetMeasurer(&measurer);
        memo.SetWordWrap(true);
        memo.SetColumnWrap(4);
        memo.SetTextBuf(QStringLiteral("abcdefghij\r\nxy\r\nlast"));
        memo.FormatRange(0, memo.ParagraphCount() - 1, true);
    }
    TParagraph *par(qint64 k) { return memo.Paragraphs().At(k); }
    TLineRecord &lastLine(qint64 k)
    {
        TParagraph *p = par(k);
        return p->LineCount == 1 ? p->FirstLine : p->FurtherLines[p->LineCount - 2];
    }
    QString check()
    {
        try {
            CheckConsistency(memo.Paragraphs(), QStringLiteral("(v)"));
        } catch (const Exception &e) {
            return e.Message();
        }
        return QString();
    }
};

TEST(ConsistencyCheck, ASoundTextPasses)
{
    Wrapped w;
    ASSERT_EQ(w.par(0)->LineCount, 3);
    ASSERT_TRUE(w.memo.AllFormatted());
    EXPECT_EQ(w.check(), QString());
    // Lines of a paragraph not yet formatted are not held against it.
    w.par(1)->Formatted = false;
    w.par(1)->FirstLine.EndOffset = 1;
    EXPECT_EQ(w.check(), QString());
    w.par(1)->FirstLine.EndOffset = 2;
    w.par(1)->Formatted = true;
}

TEST(ConsistencyCheck, EveryDisagreementHasItsOwnText)
{
    // Each case breaks one thing (and puts it back afterwards, so the text can go in peace).
    struct Case {
        const char *Expected;
        std::function<void(Wrapped &, int sign)> Break;
    };
    const Case cases[] = {
        { "Error 1(v)",
            [](Wrapped &w, int s) {
                // Paragraph 0 claims two lines where the line numbering holds three.
                w.par(0)->LineCount -= s;
                qint32 &end = w.par(0)->FurtherLines[0].EndOffset;
                if (s > 0) {
                    w.saved = end;
                    end = w.par(0)->Length;
                } else {
                    end = w.saved;
                }
            } },
        { "Error 2 in (v)",
            [](Wrapped &w, int s) {
                w.par(0)->Length -= s;
                w.lastLine(0).EndOffset -= s;
            } },
        { "Error 3 in (v)", [](Wrapped &w, int s) { w.par(0)->FurtherLines[0].StartOffset += s; } },
        { "Error 4 in (v)", [](Wrapped &w, int s) { w.par(1)->FirstLine.EndOffset -= s; } },
        { "Error 5 in (v)",
            [](Wrapped &w, int s) {
                w.par(2)->Length -= s;
                w.lastLine(2).EndOffset -= s;
            } },
        { "Error 6 in (v)",
            [](Wrapped &w, int s) {
                // The last paragraph, not yet formatted, claims a line the numbering lacks.
                w.par(2)->Formatted = s < 0;
                w.par(2)->LineCount += s;
            } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Expected);
        Wrapped w;
        c.Break(w, 1);
        EXPECT_EQ(w.check(), QString::fromLatin1(c.Expected));
        c.Break(w, -1);
        EXPECT_EQ(w.check(), QString());
    }
}

} // namespace
