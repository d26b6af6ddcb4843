// The editor control with a SQL script and a selection.
#include "Scene.h"

#include "editor/CodeMemo.h"

QD_SCREENSHOT_SCENE(codeMemo, "code-memo", QSize(640, 360))
{
    auto *memo = new qd::TCodeMemo;
    memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    memo->SetWordWrap(false);
    memo->SetScrollBars(qd::ssBoth);
    memo->SetRightLinePos(80);
    memo->SetOptions(memo->Options() | qd::cmoWindowsSelColors);
    memo->SetHideSelection(false);
    memo->SetTextBuf(QStringLiteral(
        "-- Salaries by department\r\n"
        "select d.dname,\r\n"
        "       count(*) as employees,\r\n"
        "       sum(e.sal) as total_salary,\r\n"
        "       round(avg(e.sal), 2) as average_salary\r\n"
        "  from emp e\r\n"
        "  join dept d on d.deptno = e.deptno\r\n"
        " where e.hiredate >= to_date('1981-01-01', 'YYYY-MM-DD')\r\n"
        " group by d.dname\r\n"
        " order by total_salary desc;\r\n"
        "\r\n"
        "begin\r\n"
        "  update emp set sal = sal * 1.05 where deptno = 10;\r\n"
        "  dbms_output.put_line(sql%rowcount || ' rows updated');\r\n"
        "  commit;\r\n"
        "end;\r\n"
        "/\r\n"));
    // The join lines selected, the caret at the selection's end.
    const qint64 from = memo->ParagraphStart(5);
    const qint64 to = memo->ParagraphStart(7);
    memo->SetSelStart(to);
    memo->SetSelLength(from - to);
    memo->SetModified(false);
    return { memo };
}
