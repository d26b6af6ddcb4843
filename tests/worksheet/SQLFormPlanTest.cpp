// The worksheet's Show Plan command: the statement at the caret explained in a plan window.

#include "WorksheetTestSupport.h"

#include "tools/ShowPlan.h"
#include "worksheet/EditorPane.h"

#include <QAction>
#include <QLabel>

using namespace qd;
using qd::test::WorksheetTest;

TEST_F(WorksheetTest, ShowPlanExplainsTheStatementAtTheCaret)
{
    InstallShowPlanWindow();
    TSQLForm *form = open(QStringLiteral("DEMO"),
        QStringLiteral("insert into dept values (50, 'A', 'B');\n\nselect ename\n  from emp;\n"));
    form->Editor()->setCaret(3, 2);
    form->Action(QStringLiteral("ShowPlan1"))->trigger();
    auto *plan = form->findChild<TShowPlan *>();
    QPointer<TShowPlan> window = plan;
    if (!window) {
        // Without a main window the plan window is a window of its own.
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *p = qobject_cast<TShowPlan *>(w))
                window = p;
    }
    ASSERT_TRUE(window) << messages.join(u'|').toStdString();
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Explain Plan - [cost: ")));
    EXPECT_NE(window->windowTitle(), QStringLiteral("Explain Plan - [cost: unavailable]"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    delete window.data();

    // The INSERT at the caret is no statement to explain.
    form->Editor()->setCaret(0, 0);
    form->Action(QStringLiteral("ShowPlan1"))->trigger();
    EXPECT_EQ(messages, QStringList { QStringLiteral("A Select, Delete, or Update statement must be "
                                                     "selected in order to show the execution plan.") });
    // Nothing of the explain stays in the session's transaction.
    EXPECT_EQ(qd::test::ScalarText(*form->Session(),
                  QStringLiteral("select count(*) from plan_table")),
        QStringLiteral("0"));
}

TEST_F(WorksheetTest, ShowPlanIsRefusedWhileAScriptRuns)
{
    InstallShowPlanWindow();
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("begin dbms_lock.sleep(30); end;"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(form->Running());
    EXPECT_EQ(form->ShowPlanForStatement({ QStringLiteral("select * from emp") }), nullptr);
    EXPECT_EQ(messages, QStringList { QStringLiteral("Cannot show plan while a query is running.") });
    form->CancelRun();
    EXPECT_TRUE(waitForRun(form));
}
