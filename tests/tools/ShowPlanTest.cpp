// The explain-plan window: what it shows for a statement, a plan and a cost.

#include "editor/CodeMemo.h"
#include "editor/CodeMemoViews.h"
#include "tools/ShowPlan.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

using namespace qd;

TEST(ShowPlanTest, ShowsTheStatementThePlanAndTheCost)
{
    QPointer<TShowPlan> window = new TShowPlan(nullptr, { QStringLiteral("select *"), QStringLiteral("  from emp") },
        { QStringLiteral(" Order Execution Plan"), QStringLiteral(" ----- --------------") },
        QStringLiteral("3"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Explain Plan - [cost: 3]"));
    EXPECT_EQ(window->CostLabel()->text(), QStringLiteral("Cost:  3"));
    EXPECT_EQ(window->SQLMemo()->Lines().Count(), 2);
    EXPECT_EQ(window->PlanMemo()->Lines().Get(1), QStringLiteral(" ----- --------------"));
    EXPECT_TRUE(window->SQLMemo()->ReadOnly());
    EXPECT_TRUE(window->PlanMemo()->ReadOnly());
    EXPECT_EQ(window->HelpKeyword(), QStringLiteral("explain_plan_output_window"));
    // Closing frees it.
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(ShowPlanTest, AnEmptyCostIsUnavailableAndWindowsStandAlone)
{
    auto *first = new TShowPlan(nullptr, {}, {}, QString());
    auto *second = new TShowPlan(nullptr, {}, {}, QStringLiteral("7"));
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Explain Plan - [cost: unavailable]"));
    EXPECT_EQ(first->CostLabel()->text(), QStringLiteral("Cost:  unavailable"));
    EXPECT_EQ(second->windowTitle(), QStringLiteral("Explain Plan - [cost: 7]"));
    delete first;
    EXPECT_TRUE(second->isVisible());
    delete second;
}
