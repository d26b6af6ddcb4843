// A single query goes to the grid dataset; two queries, or a query and a command, to text.
#include "RunnerTestSupport.h"

using namespace qd;
using namespace qd::test;

using ScriptRunGrid = RunnerFixture;

TEST_F(ScriptRunGrid, OneQueryOpensTheGridDataSet)
{
    const QStringList out = run(QStringLiteral("select ename from emp order by empno;"));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(host.attaches, 1);
    ASSERT_TRUE(dataSet->Active());
    EXPECT_EQ(dataSet->Fields().Count(), 1);
    EXPECT_TRUE(host.calls.contains(QStringLiteral("ShowGrid")));
    EXPECT_TRUE(host.calls.contains(QStringLiteral("FinishGrid")));
    EXPECT_FALSE(host.calls.contains(QStringLiteral("ShowText")));
    EXPECT_TRUE(dataSet->SQL().Text().contains(QStringLiteral("from emp")));
}

TEST_F(ScriptRunGrid, TwoQueriesOrAQueryAndACommandGoToText)
{
    struct Case {
        const char *text;
    };
    for (const Case c : { Case { "select 1 a from dual;\nselect 2 b from dual;" },
             Case { "prompt x\nselect 1 a from dual;" } }) {
        SCOPED_TRACE(c.text);
        host = RecordingHost();
        const QStringList out = run(QString::fromLatin1(c.text));
        EXPECT_EQ(host.attaches, 0);
        EXPECT_TRUE(host.calls.contains(QStringLiteral("ShowText")));
        EXPECT_TRUE(out.contains(QStringLiteral("Query returned 1 row.")));
    }
}

TEST_F(ScriptRunGrid, AGridQueryErrorGoesToTheErrorListOnly)
{
    const QStringList out = run(QStringLiteral("select nosuchcol\n  from emp;"));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(host.attaches, 0);
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors[0].Text.startsWith(QStringLiteral("1:8 - ")))
        << host.errors[0].Text.toStdString();
    EXPECT_FALSE(host.calls.contains(QStringLiteral("ShowRunError")));
    EXPECT_EQ(host.statuses.last(), QStringLiteral("Errors occurred"));
}

TEST_F(ScriptRunGrid, TheRunClosesAnOpenGridDataSetAndForgetsItsVariables)
{
    dataSet->SQL().SetText(QStringLiteral("select * from dept where deptno = :d"));
    dataSet->DeclareVariable(QStringLiteral("d"), SQLT_INT);
    dataSet->SetVariable(QStringLiteral("d"), Variant(qint64(10)));
    dataSet->Open();
    ASSERT_TRUE(dataSet->Active());
    run(QStringLiteral("prompt x\nprompt y"));
    EXPECT_FALSE(dataSet->Active());
    EXPECT_EQ(dataSet->SQL().Count(), 0);
}
