// The editor's print preview: a highlighted script laid out on a page with header, footer, line
// numbers and the margins shown.
#include "Scene.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoPrinter.h"
#include "editor/PrintPreview.h"
#include "editor/SQLHighlighting.h"

#include <QComboBox>
#include <QPushButton>

QD_SCREENSHOT_SCENE(printPreview, "print-preview", QSize(760, 620))
{
    // The form owns what it shows: the printer, the (hidden) editor and its highlighting.
    auto *printer = new qd::TCodeMemoPrinter;
    auto *form = new qd::TFrmCMPrintPreview(printer);
    printer->setParent(form);
    auto *memo = new qd::TCodeMemo(form);
    memo->hide();
    auto *sql = new qd::TSQLHighlighting;
    QObject::connect(memo, &QObject::destroyed, [sql] { delete sql; });
    sql->AddKeywords(qd::BuiltInSQLKeywords());
    sql->AttachTo(*memo);
    memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    memo->SetTextBuf(QStringLiteral(
        "-- Salaries by department\r\n"
        "select d.dname, count(*) as employees,\r\n"
        "       round(avg(e.sal), 2) as average_salary\r\n"
        "  from emp e join dept d on d.deptno = e.deptno\r\n"
        " where e.hiredate >= to_date('1981-01-01', 'YYYY-MM-DD')\r\n"
        "   and e.sal > 1500.50\r\n"
        " group by d.dname order by 3 desc;\r\n"
        "\r\n"
        "/* Raise the salaries of department 10 by five per cent, and report how many rows the "
        "update touched so that the run can be checked against the payroll. */\r\n"
        "begin\r\n"
        "  update emp set sal = sal * 1.05 where deptno = 10;\r\n"
        "  dbms_output.put_line(sql%rowcount || ' rows updated');\r\n"
        "  commit;\r\n"
        "end;\r\n"
        "/\r\n"));
    printer->SetMemoToPrint(memo);
    printer->SetHeader(QStringLiteral("salaries.sql - page {p}"));
    printer->SetHeaderAlign(qd::haCenter);
    printer->SetFooter(QStringLiteral("Quarlo Desk"));
    printer->SetFooterAlign(qd::haRight);
    printer->SetLineNumbers(true);
    printer->SetLineSpacing(-1.2);
    form->setWindowTitle(QStringLiteral("Print Preview - salaries.sql"));
    return { form, [form] {
                auto *zoom = form->findChild<QComboBox *>(QStringLiteral("cbZoom"));
                auto *margins = form->findChild<QPushButton *>(QStringLiteral("btnMargins"));
                if (zoom->currentText() != QStringLiteral("75%"))
                    zoom->setCurrentIndex(zoom->findText(QStringLiteral("75%")));
                if (!margins->isChecked())
                    margins->click();
                return true;
            } };
}
