#include "worksheet/SubstituteVariables.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

TStringList linesOf(std::initializer_list<const char *> texts)
{
    TStringList lines;
    for (const char *t : texts)
        lines.Add(QString::fromUtf8(t));
    return lines;
}

// Answers from a table and records what was asked.
struct Asker {
    QMap<QString, QString> answers;
    QStringList asked;
    QStringList prompts;
    TSubVarAsker fn()
    {
        return [this](const QString &prompt, const QString &name) -> std::optional<QString> {
            asked << name;
            prompts << prompt;
            if (!answers.contains(name))
                return std::nullopt; // cancelled
            return answers.value(name);
        };
    }
};

} // namespace

TEST(SubstituteVariables, DefinedValuesAreUsedAndUnsetOnesAsked)
{
    TKXVars vars;
    vars.SetVar(QStringLiteral("tab"), kvkSubstitution, Variant(QStringLiteral("emp")));
    Asker asker;
    asker.answers.insert(QStringLiteral("ID"), QStringLiteral("7"));
    TStringList lines = linesOf({ "select * from &tab.x", "where id = &id or id = &id" });
    ASSERT_TRUE(SubstituteVariables(lines, vars, asker.fn()));
    EXPECT_EQ(lines[0], QStringLiteral("select * from empx"));
    EXPECT_EQ(lines[1], QStringLiteral("where id = 7 or id = 7"));
    // "&" asks every time and stores nothing.
    EXPECT_EQ(asker.asked, (QStringList { QStringLiteral("ID"), QStringLiteral("ID") }));
    EXPECT_EQ(asker.prompts.value(0), QStringLiteral("Enter a value for ID"));
    EXPECT_FALSE(vars.Exists(QStringLiteral("ID")));
}

TEST(SubstituteVariables, DoubleAmpersandAnswerIsAskedOnceAndKept)
{
    TKXVars vars;
    Asker asker;
    asker.answers.insert(QStringLiteral("N"), QStringLiteral("42"));
    TStringList lines = linesOf({ "select &&n, &n from dual" });
    ASSERT_TRUE(SubstituteVariables(lines, vars, asker.fn()));
    EXPECT_EQ(lines[0], QStringLiteral("select 42, 42 from dual"));
    EXPECT_EQ(asker.asked.size(), 1);
    EXPECT_EQ(vars.GetKind(QStringLiteral("n")), kvkSubstitution);
    EXPECT_EQ(vars.GetValue(QStringLiteral("n")).AsString(), QStringLiteral("42"));

    // The next statement reuses the kept answer without asking.
    TStringList next = linesOf({ "&&N &n" });
    ASSERT_TRUE(SubstituteVariables(next, vars, asker.fn()));
    EXPECT_EQ(next[0], QStringLiteral("42 42"));
    EXPECT_EQ(asker.asked.size(), 1);
}

// A cancelled prompt ends the statement: nothing is changed, so no "&name" reaches the server.
TEST(SubstituteVariables, CancelledPromptChangesNothing)
{
    TKXVars vars;
    Asker asker;
    asker.answers.insert(QStringLiteral("A"), QStringLiteral("1"));
    TStringList lines = linesOf({ "select &&a, &b from dual" });
    EXPECT_FALSE(SubstituteVariables(lines, vars, asker.fn()));
    EXPECT_EQ(lines[0], QStringLiteral("select &&a, &b from dual"));
    EXPECT_EQ(asker.asked, (QStringList { QStringLiteral("A"), QStringLiteral("B") }));
    EXPECT_FALSE(vars.Exists(QStringLiteral("A")));
}

TEST(SubstituteVariables, TwoHundredVariablesAndFiveThousandReferences)
{
    TKXVars vars;
    for (int i = 0; i < 100; ++i)
        vars.SetVar(QStringLiteral("d%1").arg(i), kvkSubstitution, Variant(QString::number(i)));
    TStringList lines;
    for (int line = 0; line < 100; ++line) {
        QString text;
        for (int k = 0; k < 25; ++k) {
            const int v = (line * 25 + k) % 100;
            text += QStringLiteral("&d%1+&&p%1 ").arg(v);
        }
        lines.Add(text);
    }
    Asker asker;
    for (int i = 0; i < 100; ++i)
        asker.answers.insert(
            QStringLiteral("P%1").arg(i), QStringLiteral("p") + QString::number(i));
    ASSERT_TRUE(SubstituteVariables(lines, vars, asker.fn()));
    EXPECT_EQ(asker.asked.size(), 100); // each "&&" name asked once
    EXPECT_EQ(vars.Count(), 200);
    for (int line = 0; line < 100; ++line)
        EXPECT_FALSE(lines[line].contains(u'&')) << line;
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("0+p0 1+p1 ")));
    EXPECT_EQ(vars.GetValue(QStringLiteral("P99")).AsString(), QStringLiteral("p99"));
}
