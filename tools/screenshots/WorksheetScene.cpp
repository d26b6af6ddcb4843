// The SQL worksheet after a run: the browser pane on the left, the script with its line numbers,
// a bookmark and SQL colouring, the query's rows in the grid, the failing statement's error in
// the error pane.
#include "Scene.h"

#include "editor/CodeGutter.h"

#include "oracle/OracleClientLibrary.h"
#include "worksheet/EditorPane.h"
#include "worksheet/SQLForm.h"

#include <QTabWidget>

QD_SCREENSHOT_SCENE(worksheet, "worksheet", QSize(1100, 680))
{
    qd::SetOCIDLL(context.standinLibrary);
    const QString script = QStringLiteral(
        "-- Staff by department\n"
        "select e.empno, e.ename, e.job, e.sal, d.dname\n"
        "  from emp e, dept d\n"
        " where e.deptno = d.deptno\n"
        " order by d.dname, e.ename;\n"
        "\n"
        "recompute salaries;\n");
    qd::TSQLForm *form = qd::TSQLForm::CreateWorksheet(nullptr,
        qd::TLogonValues { QStringLiteral("DEMO"), QStringLiteral("DEMO"), QStringLiteral("DEMO"),
            QString() },
        script, false);
    form->Editor()->setCaret(1, 0);
    form->RunSQL(0, 0);
    // The run ends on the text page with the error's feedback; the picture shows the grid.
    return { form, [form] {
                if (form->Running())
                    return false;
                form->OutputPages()->setCurrentIndex(0);
                // A bookmark on the statement's WHERE line, once the lines have their width.
                if (form->Editor()->gutter()->BookmarkLine(1) < 0)
                    form->Editor()->gutter()->ToggleBookmark(3, 1);
                return true;
            } };
}
