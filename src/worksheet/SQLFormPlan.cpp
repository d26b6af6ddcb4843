// The worksheet's Show Plan command: the statement at the caret explained in a plan window.
#include "worksheet/SQLForm.h"

#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "shell/MessageBoxes.h"
#include "worksheet/EditorPane.h"
#include "worksheet/ExplainPlan.h"
#include "worksheet/StatementText.h"
#include "worksheet/WorksheetSettings.h"

namespace qd {

void TSQLForm::ShowPlan()
{
    TStringList text;
    for (const QString &line : m_editor->lines())
        text.Add(line);
    TStringList statement;
    const int maxNested = WorksheetInt(*m_settings, QStringLiteral("MaxNestedScript"), 5);
    try {
        GetStatementAtCaret(text, statement, m_editor->caretLine(), maxNested);
    } catch (const std::exception &) {
        ShowCurrentException();
        return;
    }
    QStringList statements;
    for (int i = 0; i < statement.Count(); ++i)
        statements.append(statement[i]);
    ShowPlanForStatement(statements);
}

QWidget *TSQLForm::ShowPlanForStatement(const QStringList &statements)
{
    if (m_running) {
        ShowInfoMessage(QStringLiteral("Cannot show plan while a query is running."));
        return nullptr;
    }
    if (m_gridBusy) {
        // The grid thread is using the session's dataset.
        ShowInfoMessage(QStringLiteral("An operation is already being performed on the grid."));
        return nullptr;
    }
    bool found = false;
    QStringList statementLines;
    QStringList planLines;
    QString cost;
    try {
        ExplainStatementPlan(*m_session, statements,
            WorksheetString(*m_settings, QStringLiteral("ScriptPath"), QString()),
            m_runState.ScriptDir, found, statementLines, planLines, cost,
            WorksheetInt(*m_settings, QStringLiteral("MaxNestedScript"), 5));
    } catch (const std::exception &) {
        ShowCurrentException();
        return nullptr;
    }
    if (!found) {
        ShowInfoMessage(QStringLiteral("A Select, Delete, or Update statement must be selected in "
                                       "order to show the execution plan."));
        return nullptr;
    }
    const auto &factory = windowFactories().ShowPlan;
    if (!factory) {
        notAvailableYet(QStringLiteral("The explain plan window"));
        return nullptr;
    }
    return factory(this, statementLines, planLines, cost);
}

} // namespace qd
