// The worksheet's grid operations: the export options dialog in both modes, the explain plan
// window, and the print preview of a grid.
#include "Scene.h"

#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleSession.h"
#include "tools/ShowPlan.h"
#include "worksheet/ExplainPlan.h"
#include "worksheet/GridExpOpt.h"
#include "worksheet/Preview.h"
#include "worksheet/PrintGrid.h"
#include "worksheet/SQLForm.h"

#include <QLineEdit>
#include <QPrinter>
#include <QTableView>

namespace {

qd::TLogonValues demoLogon()
{
    return { QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("DEMO"), QString() };
}

} // namespace

QD_SCREENSHOT_SCENE(gridExportOptions, "grid-export-options", QSize(460, 330))
{
    Q_UNUSED(context);
    auto *dialog = new qd::TGridExpOptForm;
    dialog->Prepare(0);
    dialog->findChild<QLineEdit *>(QStringLiteral("edtFileName"))->setText(QStringLiteral("/home/me/emp.csv"));
    return { dialog };
}

QD_SCREENSHOT_SCENE(plsqlExportOptions, "plsql-export-options", QSize(460, 400))
{
    Q_UNUSED(context);
    auto *dialog = new qd::TGridExpOptForm;
    dialog->Prepare(1);
    dialog->findChild<QLineEdit *>(QStringLiteral("edtFileName"))->setText(QStringLiteral("/home/me/exp_emp.sql"));
    dialog->findChild<QLineEdit *>(QStringLiteral("edtServerDir"))->setText(QStringLiteral("EXPORT_DIR"));
    dialog->findChild<QLineEdit *>(QStringLiteral("edtServerFile"))->setText(QStringLiteral("emp.txt"));
    dialog->findChild<QLineEdit *>(QStringLiteral("edtProcName"))->setText(QStringLiteral("EXP_EMP"));
    return { dialog };
}

QD_SCREENSHOT_SCENE(showPlan, "show-plan", QSize(700, 480))
{
    qd::SetOCIDLL(context.standinLibrary);
    qd::TOracleSession session;
    session.SetLogonUsername(QStringLiteral("DEMO"));
    session.SetLogonPassword(QStringLiteral("DEMO"));
    session.SetLogonDatabase(QStringLiteral("DEMO"));
    session.LogOn();
    bool found = false;
    QStringList statement, plan;
    QString cost;
    qd::ExplainStatementPlan(session,
        { QStringLiteral("select e.ename, d.dname"), QStringLiteral("  from emp e, dept d"),
            QStringLiteral(" where e.deptno = d.deptno;") },
        QString(), QString(), found, statement, plan, cost, 5);
    session.LogOff();
    return { new qd::TShowPlan(nullptr, statement, plan, cost) };
}

QD_SCREENSHOT_SCENE(gridPrintPreview, "grid-print-preview", QSize(800, 600))
{
    qd::SetOCIDLL(context.standinLibrary);
    qd::TSQLForm *form = qd::TSQLForm::CreateWorksheet(nullptr, demoLogon(),
        QStringLiteral("select empno, ename, job, mgr, hiredate, sal, deptno from emp order by empno"),
        false);
    form->resize(900, 600);
    form->RunSQL(0, 0);
    auto *holder = new QWidget;
    holder->resize(800, 600);
    auto made = std::make_shared<bool>(false);
    return { holder, [form, holder, made] {
                if (form->Running())
                    return false;
                if (!*made) {
                    *made = true;
                    QPrinter printer(QPrinter::HighResolution);
                    qd::TGridPrint print(&printer);
                    print.SetDBGrid(form->Grid());
                    print.BuildPreviewPages();
                    auto *preview = new qd::TfmPreview(print.PagesList(), print.PageSize(), holder);
                    preview->setWindowFlags(Qt::Widget);
                    // The preview at its own default size.
                    preview->move(0, 0);
                    preview->show();
                    preview->FitWidth();
                    form->deleteLater();
                }
                return true;
            } };
}
