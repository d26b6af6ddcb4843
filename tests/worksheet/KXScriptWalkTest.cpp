#include "ScriptTestSupport.h"

#include "oracle/QStringPrinter.h"
#include "worksheet/KXException.h"
#include "worksheet/ScriptFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

const QString fourStatements = QStringLiteral("select 1 from dual;\n"
                                              "select 2\n"
                                              "from dual;\n"
                                              "\n"
                                              "select 3 from dual;");

std::vector<int> firstLines(const std::vector<SplitStatement> &statements)
{
    std::vector<int> lines;
    for (const SplitStatement &s : statements)
        lines.push_back(s.firstLine);
    return lines;
}

TEST(KXScriptMode, StatementAtTheCaret)
{
    EXPECT_EQ(firstLines(splitText(fourStatements, kpmAtCaret, 0)), std::vector<int>({ 0 }));
    EXPECT_EQ(firstLines(splitText(fourStatements, kpmAtCaret, 1)), std::vector<int>({ 1 }));
    EXPECT_EQ(firstLines(splitText(fourStatements, kpmAtCaret, 2)), std::vector<int>({ 1 }));
    // A blank line between statements belongs to none of them.
    EXPECT_EQ(firstLines(splitText(fourStatements, kpmAtCaret, 3)), std::vector<int>());
    EXPECT_EQ(firstLines(splitText(fourStatements, kpmAtCaret, 4)), std::vector<int>({ 4 }));
}

TEST(KXScriptMode, FromTheCaretOn)
{
    EXPECT_EQ(firstLines(splitText(fourStatements, kpmFromCaret, 2)), std::vector<int>({ 1, 4 }));
    EXPECT_EQ(firstLines(splitText(fourStatements, kpmFromCaret, 3)), std::vector<int>({ 4 }));
    EXPECT_EQ(
        firstLines(splitText(fourStatements, kpmFromCaret, 0)), std::vector<int>({ 0, 1, 4 }));
}

TEST(KXScriptCounts, CountsRealCommandAndQueryStatements)
{
    struct Case {
        const char *script;
        int statements, commands, queries;
    };
    const Case cases[] = {
        { "", 0, 0, 0 },
        { "-- only\nrem comments\n/* here */", 0, 0, 0 },
        { "select 1 from dual;", 1, 0, 1 },
        { "desc emp\nselect 1 from dual;", 2, 0, 2 },
        { "set serveroutput on\ndefine x = 1\nselect 1 from dual;", 3, 0, 1 },
        { "prompt hi\nselect 1 from dual;", 2, 1, 1 },
        { "insert into t values (1);\nbegin null; end;\n/\n/", 3, 3, 0 },
    };
    for (const Case &c : cases) {
        TKXScript script;
        TStringList lines = toStringList(QString::fromUtf8(c.script));
        script.Parse(lines, kpmAll, 0, 5);
        EXPECT_EQ(script.StatementCount(), c.statements) << c.script;
        EXPECT_EQ(script.CommandCount(), c.commands) << c.script;
        EXPECT_EQ(script.QueryCount(), c.queries) << c.script;
        script.Clear();
    }
}

TEST(KXScriptWalk, EofAndRecordsAfterParse)
{
    TKXScript script;
    EXPECT_TRUE(script.Eof());
    TStringList lines
        = toStringList(QStringLiteral("select 1 from dual;\naccept x\nselect 2 from dual;"));
    script.Parse(lines, kpmAll, 0, 5);
    script.First();
    ASSERT_FALSE(script.Eof());
    EXPECT_EQ(script.Current(), script.Head());
    EXPECT_EQ(script.CurrentStatement().Level, 1);
    EXPECT_FALSE(script.CurrentStatement().Nested);
    script.Next();
    // The words of a command stop where the command ends.
    EXPECT_EQ(toQStringList(script.CurrentStatement().Words()), QStringList({ "ACCEPT", "X" }));
    script.Next();
    EXPECT_EQ(toQStringList(script.CurrentStatement().Words()),
        QStringList({ "SELECT", "2", "FROM", "DUAL" }));
    script.Next();
    EXPECT_TRUE(script.Eof());
    EXPECT_EQ(script.Current(), nullptr);
    script.Clear();
    EXPECT_EQ(script.Head(), nullptr);
    EXPECT_EQ(script.StatementCount(), 0);
    script.First();
    EXPECT_TRUE(script.Eof());
}

// Nested scripts, in a directory of their own.
class KXScriptNested : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.path() + QLatin1Char('/');
        // "@name" is looked for in the working directory and on the script path.
        m_scriptPath = m_dir.path();
    }

    QString path(const QString &name) const { return m_root + name; }
    void file(const QString &name, const QString &text) const { writeFile(path(name), text); }

    std::vector<SplitStatement> run(
        const QString &text, int maxNested = 5, TKXScript *keep = nullptr)
    {
        TKXScript local;
        TKXScript &script = keep ? *keep : local;
        script.SetCurrentDir(m_root);
        script.SetScriptPath(m_scriptPath);
        TStringList lines = toStringList(text);
        script.Parse(lines, kpmAll, 0, maxNested);
        return walk(script);
    }

    QTemporaryDir m_dir;
    QString m_root;
    QString m_scriptPath;
};

TEST_F(KXScriptNested, ScriptOnThePathIsReadBehindItsCall)
{
    file(QStringLiteral("lib/sub.SQL"), QStringLiteral("select 2 from dual;\nprompt done"));
    m_scriptPath = QStringLiteral("/nonexistent;") + path(QStringLiteral("lib"));
    TKXScript script;
    const auto statements
        = run(QStringLiteral("select 1 from dual;\n  @sub\nselect 3 from dual;"), 5, &script);
    ASSERT_EQ(statements.size(), 5u);
    EXPECT_EQ(statements[1], (SplitStatement { skRunScript, { "sub" }, 1, 0 }));
    // Statements of the nested script carry the line of the call that led to them.
    EXPECT_EQ(statements[2], (SplitStatement { skSelect, { "select 2 from dual" }, 1, 0 }));
    EXPECT_EQ(statements[3], (SplitStatement { skPrompt, { " done" }, 1, 0 }));
    EXPECT_EQ(statements[4], (SplitStatement { skSelect, { "select 3 from dual" }, 2, 0 }));
    EXPECT_EQ(script.StatementCount(), 4);
    EXPECT_EQ(script.QueryCount(), 3);
    EXPECT_EQ(script.CurrentDir(), path(QStringLiteral("lib/")));

    const TKXStatement *call = script.Head()->Next;
    EXPECT_TRUE(call->Loaded);
    EXPECT_TRUE(call->Next->Nested);
    EXPECT_EQ(call->Next->Level, 2);
    script.Clear();
}

TEST_F(KXScriptNested, NamesAsGivenThenWithUpperAndLowerExtension)
{
    file(QStringLiteral("plain"), QStringLiteral("select 'plain' from dual;"));
    file(QStringLiteral("lower.sql"), QStringLiteral("select 'lower' from dual;"));
    file(QStringLiteral("given.txt"), QStringLiteral("select 'given' from dual;"));
    const auto statements = run(QStringLiteral("@plain\n@lower\nstart \"given.txt\""));
    ASSERT_EQ(statements.size(), 6u);
    EXPECT_EQ(statements[1].lines, QStringList({ "select 'plain' from dual" }));
    EXPECT_EQ(statements[3].lines, QStringList({ "select 'lower' from dual" }));
    EXPECT_EQ(statements[4].kind, skStartScript);
    EXPECT_EQ(statements[5].lines, QStringList({ "select 'given' from dual" }));
}

TEST_F(KXScriptNested, RelativeCallReadsFromTheDirectoryOfItsOwnScript)
{
    // one.sql moves the current directory into sub/ by an absolute call; the "@@two" that
    // follows in the top-level script still means the two.sql beside that script.
    file(QStringLiteral("one.sql"), QStringLiteral("@") + path(QStringLiteral("sub/inner.sql")));
    file(QStringLiteral("sub/inner.sql"), QStringLiteral("select 'inner' from dual;"));
    file(QStringLiteral("two.sql"), QStringLiteral("select 'top two' from dual;"));
    file(QStringLiteral("sub/two.sql"), QStringLiteral("select 'wrong two' from dual;"));
    file(QStringLiteral("sub/deeper/three.sql"), QStringLiteral("select 'three' from dual;"));
    file(QStringLiteral("sub/rel.sql"), QStringLiteral("@@deeper\\three"));
    const auto statements = run(QStringLiteral("@@one\n@@two\n@@sub/rel"));
    QStringList texts;
    for (const SplitStatement &s : statements)
        texts << s.lines.join(u'|');
    EXPECT_EQ(texts,
        QStringList({ "one", path(QStringLiteral("sub/inner.sql")), "select 'inner' from dual",
            "two", "select 'top two' from dual", "sub/rel", "deeper\\three",
            "select 'three' from dual" }));
}

TEST_F(KXScriptNested, MissingScriptIsAnError)
{
    try {
        run(QStringLiteral("select 1 from dual;\n@nosuch"));
        FAIL() << "no error";
    } catch (const EKXException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Could not find file nosuch.SQL."));
    }
    try {
        run(QStringLiteral("@@gone.sql"));
        FAIL() << "no error";
    } catch (const EKXException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Could not find file %1.").arg(path("gone.sql")));
    }
}

TEST_F(KXScriptNested, NestingLimit)
{
    // Levels 2 to 5 can run with a limit of 5; an "@" in the script of level 5 fails.
    file(QStringLiteral("a1.sql"), QStringLiteral("@@a2"));
    file(QStringLiteral("a2.sql"), QStringLiteral("@@a3"));
    file(QStringLiteral("a3.sql"), QStringLiteral("@@a4"));
    file(QStringLiteral("a4.sql"), QStringLiteral("select 'deepest' from dual;"));
    const auto statements = run(QStringLiteral("@a1"));
    ASSERT_EQ(statements.size(), 5u);
    EXPECT_EQ(statements[4].lines, QStringList({ "select 'deepest' from dual" }));

    file(QStringLiteral("a4.sql"), QStringLiteral("@@a5"));
    file(QStringLiteral("a5.sql"), QStringLiteral("select 'too deep' from dual;"));
    try {
        run(QStringLiteral("@a1"));
        FAIL() << "no error";
    } catch (const EKXException &e) {
        EXPECT_EQ(
            e.Message(), QStringLiteral("Maximum level of nested scripts (5) has been exceeded"));
    }
}

TEST_F(KXScriptNested, ScriptCallingItselfStopsAtTheLimit)
{
    file(QStringLiteral("self.sql"), QStringLiteral("prompt again\n@@self"));
    try {
        run(QStringLiteral("@self"), 3);
        FAIL() << "no error";
    } catch (const EKXException &e) {
        EXPECT_EQ(
            e.Message(), QStringLiteral("Maximum level of nested scripts (3) has been exceeded"));
    }
}

TEST_F(KXScriptNested, OversizedScriptIsRefused)
{
    QFile big(path(QStringLiteral("big.sql")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(MaxScriptFileSize + 1)); // sparse: no time spent writing
    big.close();
    try {
        run(QStringLiteral("@big"));
        FAIL() << "no error";
    } catch (const EKXException &e) {
        EXPECT_EQ(e.Message(),
            QStringLiteral("Script file \"%1\" is larger than 64 MB.")
                .arg(path(QStringLiteral("big.sql"))));
    }
}

TEST_F(KXScriptNested, EmptyScriptStaysUnloaded)
{
    file(QStringLiteral("empty.sql"), QStringLiteral("-- nothing to run\n"));
    TKXScript script;
    const auto statements = run(QStringLiteral("@empty\nselect 1 from dual;"), 5, &script);
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_FALSE(script.Head()->Loaded);
    script.Clear();
}

TEST_F(KXScriptNested, ParseReadsAheadUntilTheRunIsText)
{
    // A single query at the top shows a grid unless the nested script adds more.
    file(QStringLiteral("more.sql"), QStringLiteral("select 2 from dual;\nprompt x"));
    TKXScript script;
    script.SetCurrentDir(m_root);
    script.SetScriptPath(m_scriptPath);
    TStringList lines = toStringList(QStringLiteral("select 1 from dual;\n@more"));
    script.Parse(lines, kpmAll, 0, 5);
    EXPECT_EQ(script.QueryCount(), 2);
    EXPECT_EQ(script.CommandCount(), 1);
    script.Clear();
}

} // namespace
