// The SQL editor with its gutter: line numbers, two bookmarks, SQL colouring from the shipped
// keyword lists.
#include "Scene.h"

#include "editor/CodeGutter.h"
#include "editor/SQLEditor.h"
#include "shell/ProgramFiles.h"

#include <QHBoxLayout>

QD_SCREENSHOT_SCENE(sqlEditor, "sql-editor-gutter", QSize(640, 360))
{
    auto *frame = new QWidget;
    auto *layout = new QHBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *gutter = new qd::TCodeGutter;
    auto *editor = new qd::TSQLEditor;
    layout->addWidget(gutter);
    layout->addWidget(editor);
    for (const char *list : { "SQLKeywords.txt", "PLSQLKeywords.txt" })
        editor->AddKeywords(qd::ReadListFile(qd::FindProgramFile(QString::fromLatin1(list))));
    editor->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    gutter->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
    gutter->SetCodeMemo(editor);
    editor->SetWordWrap(false);
    editor->SetScrollBars(qd::ssBoth);
    editor->SetTextBuf(QStringLiteral(
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
        "  update emp set sal = nvl(sal, 0) * 1.05 where deptno = 10;\r\n"
        "  dbms_output.put_line(sql%rowcount || ' rows updated');\r\n"
        "  commit;\r\n"
        "exception\r\n"
        "  when others then\r\n"
        "    rollback;\r\n"
        "    raise;\r\n"
        "end;\r\n"
        "/\r\n"));
    editor->SetModified(false);
    gutter->ToggleBookmark(1, 1);
    gutter->ToggleBookmark(10, 2);
    editor->SetCaretLine(11);
    editor->SetCaretColumn(2);
    return { frame };
}
