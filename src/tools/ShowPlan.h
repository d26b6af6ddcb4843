#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QSplitter;

namespace qd {

class TCodeMemo;
class TSQLHighlighting;

// The explain-plan window: a statement above its execution plan and cost. It only shows what
// it is given; each window stands on its own and frees itself when closed.
class TShowPlan : public QWidget {
    Q_OBJECT
public:
    // An empty cost reads "unavailable". The window is shown (as an MDI child when the program
    // has a main window).
    TShowPlan(QWidget *owner, const QStringList &sql, const QStringList &plan, QString cost);
    ~TShowPlan() override;

    TCodeMemo *SQLMemo() const { return m_memSQL; }
    TCodeMemo *PlanMemo() const { return m_memPlan; }
    QLabel *CostLabel() const { return m_lblCost; }
    QString HelpKeyword() const { return QStringLiteral("explain_plan_output_window"); }

private:
    void FormCreate();

    TCodeMemo *m_memSQL = nullptr;
    QSplitter *m_splitter = nullptr;
    QWidget *m_pnlOutput = nullptr;
    QLabel *m_lblCost = nullptr;
    TCodeMemo *m_memPlan = nullptr;
    std::unique_ptr<TSQLHighlighting> m_highlighting;
};

// Registers the window with the program's window factories.
void InstallShowPlanWindow();

} // namespace qd
