#include "ScriptTestSupport.h"

#include "oracle/QStringPrinter.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qd;
using namespace qd::test;

namespace {

// The script given whole is read with the line breaks of a string list's text: CR LF, LF or CR,
// a final break starting no further line.
TEST(KXScriptText, LineBreaksReadAsTheListReadsThem)
{
    const char *const texts[] = {
        "select 1 from dual;\r\nselect 2\r\nfrom dual;\r\n",
        "select 1 from dual;\rselect 2\rfrom dual;\r",
        "select 1 from dual;\n\rselect 2\r\n\nfrom dual;",
        "select 1 from dual;\n\n\n",
        "begin\r\n  null;\r\nend;\r\n/\r\nprompt a -\r\nb\r\n",
        "\r\n\r\nselect 1\r\n",
        "exec p(1, -\r\n2)",
    };
    for (const char *text : texts) {
        const QString script = QString::fromLatin1(text);
        EXPECT_EQ(splitWholeText(script), splitText(script)) << text;
    }
    EXPECT_EQ(splitWholeText(QString::fromLatin1(texts[0])),
        (std::vector<SplitStatement> { { skSelect, { "select 1 from dual" }, 0, 0 },
            { skSelect, { "select 2", "from dual" }, 1, 0 } }));
    EXPECT_EQ(splitWholeText(QString::fromLatin1(texts[2])),
        (std::vector<SplitStatement> { { skSelect, { "select 1 from dual" }, 0, 0 },
            { skSelect, { "select 2", "", "from dual" }, 2, 0 } }));
}

// The splitter blanks comment text in front of a statement in its own copy: the caller's text
// or lines stay as they were.
TEST(KXScriptText, CallersTextIsNotChanged)
{
    const QString original = QStringLiteral("/* a */ select 1 from dual;\n/* b */ desc t");
    QString text = original;
    text.detach();
    TKXScript script;
    script.Parse(text, kpmAll, 0, 5);
    EXPECT_EQ(walk(script),
        (std::vector<SplitStatement> {
            { skSelect, { " select 1 from dual" }, 0, 7 }, { skDescribe, { "T" }, 1, 7 } }));
    EXPECT_EQ(text, original);

    TStringList lines = toStringList(original);
    script.Parse(lines, kpmAll, 0, 5);
    EXPECT_EQ(walk(script).size(), 2u);
    EXPECT_EQ(lines[0], QStringLiteral("/* a */ select 1 from dual;"));
    EXPECT_EQ(lines[1], QStringLiteral("/* b */ desc t"));
}

// A copy of a statement keeps its text when the script that made it is gone.
TEST(KXScriptText, StatementCopyOutlivesItsScript)
{
    TKXStatement kept;
    {
        auto script = std::make_unique<TKXScript>();
        script->Parse(QStringLiteral("Select a, 'x;y' from t where b = 1;   -- done\n"
                                     "exec p(1, -\n  2)"),
            kpmAll, 0, 5);
        script->First();
        kept = script->CurrentStatement();
        script->Clear();
    }
    ASSERT_EQ(kept.LineCount(), 1);
    EXPECT_EQ(
        kept.Line(0).toString(), QStringLiteral("Select a, 'x;y' from t where b = 1   -- done"));
    EXPECT_EQ(toQStringList(kept.Words()),
        QStringList({ "SELECT", "A,", "'X;Y'", "FROM", "T", "WHERE" }));
    EXPECT_EQ(kept.Word(0), QStringLiteral("SELECT"));
}

// Statements the mode leaves out take back the text their rules prepared; those kept after
// them read their own.
TEST(KXScriptText, StatementsLeftOutDoNotShiftTheTextOfOthers)
{
    const QString text = QStringLiteral("exec a;\n"
                                        "prompt one -\n"
                                        "two\n"
                                        "define x = 'y z'\n"
                                        "exec b -\n"
                                        "(1);\n"
                                        "select 'q' from dual; -- c\n");
    EXPECT_EQ(splitWholeText(text, kpmFromCaret, 3),
        (std::vector<SplitStatement> { { skDefine, { "DEFINE", "X", "=", "y z" }, 3, 0 },
            { skExecute, { "BEGIN  b  ", "(1); END;" }, 4, 0 },
            { skSelect, { "select 'q' from dual -- c" }, 6, 0 } }));
    EXPECT_EQ(splitWholeText(text, kpmAtCaret, 5),
        (std::vector<SplitStatement> { { skExecute, { "BEGIN  b  ", "(1); END;" }, 4, 0 } }));
    EXPECT_EQ(splitWholeText(text), splitText(text));
}

} // namespace
