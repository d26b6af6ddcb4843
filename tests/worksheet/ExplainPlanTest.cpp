// The explain plan routine against the stand-in: which statement is explained, the plan's text
// and cost, and that the plan table is left as it was.

#include "common/StandinSession.h"
#include "oracle/OracleError.h"
#include "worksheet/ExplainPlan.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

class ExplainPlanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session = LogOnDemo();
        hooks = &StandinHooks::get();
        ASSERT_TRUE(hooks->complete());
    }
    void TearDown() override { LogOffQuietly(session); }

    void explain(const QStringList &text)
    {
        found = false;
        statement.clear();
        plan.clear();
        cost.clear();
        ExplainStatementPlan(*session, text, QString(), QString(), found, statement, plan, cost, 5);
    }

    // Rows the routine's calls left in the plan table.
    int planRows()
    {
        return ScalarText(*session,
            QStringLiteral("select count(*) from plan_table where statement_id like 'plan%'"))
            .toInt();
    }

    std::unique_ptr<TOracleSession> session;
    const StandinHooks *hooks = nullptr;
    bool found = false;
    QStringList statement;
    QStringList plan;
    QString cost;
};

} // namespace

TEST_F(ExplainPlanTest, ABlockThenASelectExplainsTheSelect)
{
    explain({ QStringLiteral("begin"), QStringLiteral("  null;"), QStringLiteral("end;"),
        QStringLiteral("/"), QStringLiteral("select ename from emp where deptno = 10;") });
    ASSERT_TRUE(found);
    ASSERT_FALSE(statement.isEmpty());
    EXPECT_TRUE(statement.join(u' ').contains(QStringLiteral("select ename from emp")))
        << statement.join(u'|').toStdString();
    // Heading, rule, the root row and one access row.
    ASSERT_EQ(plan.size(), 4) << plan.join(u'\n').toStdString();
    EXPECT_TRUE(plan.at(0).startsWith(QStringLiteral(" Order")));
    EXPECT_TRUE(plan.at(0).contains(QStringLiteral(" Execution Plan")));
    EXPECT_TRUE(plan.at(0).contains(QStringLiteral(" Position")));
    EXPECT_TRUE(plan.at(1).startsWith(QStringLiteral(" -")));
    EXPECT_FALSE(plan.at(1).contains(QRegularExpression(QStringLiteral("[^ -]"))));
    // Columns line up: every line is as long as the heading.
    for (const QString &line : plan)
        EXPECT_EQ(line.size(), plan.at(0).size()) << line.toStdString();
    EXPECT_FALSE(cost.isEmpty());
    EXPECT_NE(cost, QStringLiteral("unavailable"));
    EXPECT_EQ(planRows(), 0);
}

TEST_F(ExplainPlanTest, EachLevelIsIndentedByTwoBlanks)
{
    explain({ QStringLiteral("select e.ename, d.dname from emp e, dept d where e.deptno = d.deptno") });
    ASSERT_TRUE(found);
    ASSERT_EQ(plan.size(), 6) << plan.join(u'\n').toStdString();
    // The plan text starts behind the order column: its heading gives the place.
    const int textColumn = int(plan.at(0).indexOf(QStringLiteral(" Execution Plan"))) + 1;
    auto planText = [&](int row) { return plan.at(row).mid(textColumn); };
    EXPECT_TRUE(planText(2).startsWith(QStringLiteral("SELECT STATEMENT"))) << planText(2).toStdString();
    EXPECT_TRUE(planText(3).startsWith(QStringLiteral("  NESTED LOOPS"))) << planText(3).toStdString();
    EXPECT_TRUE(planText(4).startsWith(QStringLiteral("    TABLE ACCESS FULL EMP TABLE")))
        << planText(4).toStdString();
    EXPECT_TRUE(planText(5).startsWith(QStringLiteral("    TABLE ACCESS FULL DEPT TABLE")))
        << planText(5).toStdString();
    EXPECT_EQ(plan.at(2).trimmed().left(1), QStringLiteral("0"));
    EXPECT_EQ(plan.at(4).trimmed().left(1), QStringLiteral("2"));
}

TEST_F(ExplainPlanTest, AnInsertAloneIsNotExplainedAndNothingIsSent)
{
    void *svc = hooks->ServiceOf(*session);
    hooks->traceClear(svc);
    explain({ QStringLiteral("insert into dept values (99, 'X', 'Y');") });
    EXPECT_FALSE(found);
    EXPECT_TRUE(statement.isEmpty());
    EXPECT_TRUE(plan.isEmpty());
    EXPECT_TRUE(hooks->takeTrace(svc).isEmpty());
}

TEST_F(ExplainPlanTest, TheRuleHintHasNoCost)
{
    explain({ QStringLiteral("select /*+ RULE */ * from dept") });
    ASSERT_TRUE(found);
    EXPECT_EQ(cost, QStringLiteral("unavailable"));
}

TEST_F(ExplainPlanTest, UpdatesAndDeletesAreExplainedWithoutChangingAnything)
{
    const QString before = ScalarText(*session, QStringLiteral("select count(*) from emp where sal > 0"));
    explain({ QStringLiteral("delete from emp;") });
    ASSERT_TRUE(found);
    EXPECT_TRUE(plan.join(u'\n').contains(QStringLiteral("DELETE STATEMENT")));
    explain({ QStringLiteral("update emp set sal = 0;") });
    ASSERT_TRUE(found);
    EXPECT_TRUE(plan.join(u'\n').contains(QStringLiteral("UPDATE STATEMENT")));
    EXPECT_EQ(ScalarText(*session, QStringLiteral("select count(*) from emp where sal > 0")), before);
    EXPECT_EQ(planRows(), 0);
}

TEST_F(ExplainPlanTest, AFailingStatementLeavesNoPlanRowsAndNoTransaction)
{
    // A change of the session's own before the call stays: only the call's work goes.
    RunSql(*session, QStringLiteral("update dept set loc = loc where deptno = 10"));
    try {
        explain({ QStringLiteral("select * from no_such_table") });
        FAIL() << "no error";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 942);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(planRows(), 0);
    RunSql(*session, QStringLiteral("rollback"));
}
