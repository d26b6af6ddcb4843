// The SQL history window on a history of three runs, showing the second one.
#include "Scene.h"

#include "history/DbfTable.h"
#include "history/SQLHistoryOperations.h"
#include "shell/SQLHistoryForm.h"

QD_SCREENSHOT_SCENE(sqlHistory, "sql-history", QSize(720, 420))
{
    auto *table = new qd::TDbfTable;
    table->SetFilePath(context.programDirectory);
    table->Open();
    const QDate day(2026, 12, 10);
    qd::AddSQLHistory(*table, QStringLiteral("SCOTT"), QStringLiteral("DEMO"),
        QStringLiteral("select * from emp where deptno = 10;"), day);
    qd::AddSQLHistory(*table, QStringLiteral("SCOTT"), QStringLiteral("DEMO"),
        QStringLiteral("-- Salaries by department\n"
                       "select d.dname,\n"
                       "       count(*) as employees,\n"
                       "       sum(e.sal) as total_salary\n"
                       "  from emp e\n"
                       "  join dept d on d.deptno = e.deptno\n"
                       " group by d.dname\n"
                       " order by total_salary desc;\n"),
        day);
    qd::AddSQLHistory(*table, QStringLiteral("HR"), QStringLiteral("SALES.WORLD"),
        QStringLiteral("begin\n  dbms_output.put_line('done');\nend;\n/\n"), day.addDays(1));
    table->First();
    table->Next();
    auto *window = new qd::TFrmSQLHistory(table, nullptr);
    // The table outlives the window's own clean-up, which lets go of it first.
    QObject::connect(window, &QObject::destroyed, [table] { delete table; });
    return { window };
}
