// The editor control with the SQL editor's highlighting: comments, strings, keywords, numbers.
#include "Scene.h"

#include "editor/CodeMemo.h"
#include "editor/SQLHighlighting.h"

QD_SCREENSHOT_SCENE(sqlHighlight, "code-memo-sql-highlighting", QSize(640, 360))
{
    auto *memo = new qd::TCodeMemo;
    // The highlighting lives as long as the editor.
    auto *sql = new qd::TSQLHighlighting;
    QObject::connect(memo, &QObject::destroyed, [sql] { delete sql; });
    sql->AddKeywords(qd::BuiltInSQLKeywords());
    sql->AttachTo(*memo);
    memo->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    memo->SetWordWrap(false);
    memo->SetScrollBars(qd::ssBoth);
    memo->SetTextBuf(QStringLiteral(
        "-- Salaries by department\r\n"
        "select d.dname, count(*) as employees,\r\n"
        "       round(avg(e.sal), 2) as average_salary\r\n"
        "  from emp e join dept d on d.deptno = e.deptno\r\n"
        " where e.hiredate >= to_date('1981-01-01', 'YYYY-MM-DD')\r\n"
        "   and e.sal > 1500.50 -- 'not a string' here\r\n"
        " group by d.dname order by 3 desc;\r\n"
        "\r\n"
        "/* Raise the salaries of department 10\r\n"
        "   by five per cent. */\r\n"
        "begin\r\n"
        "  update emp set sal = sal * 1.05 where deptno = 10;\r\n"
        "  dbms_output.put_line(sql%rowcount || ' rows updated');\r\n"
        "  commit;\r\n"
        "end;\r\n"
        "/\r\n"));
    memo->SetSelStart(0);
    memo->SetModified(false);
    return { memo };
}
