#include "SQLHistoryOperations.h"

#include "DbfTable.h"

#include "classlib/DateTimeUtils.h"
#include "classlib/Field.h"

namespace qd {

const QString SQLHistoryOpenErrorText = QStringLiteral(
    "Error opening the SQL History files: SQLHistory.dbf, SQLHistory.dbt\n"
    "Check security settings or re-install the application.");

void AddSQLHistory(TDbfTable &table, const QString &userName, const QString &instance,
    const QString &sqlText, const QDate &today)
{
    if (!table.Active())
        return;
    table.CheckBrowseMode();
    const TBookmark previous = table.GetBookmark();
    table.Append();
    try {
        table.FieldByName(QStringLiteral("RUNDATE"))->SetAsDateTime(QDateToDateTime(today));
        table.FieldByName(QStringLiteral("USERNAME"))->SetAsString(userName);
        table.FieldByName(QStringLiteral("INSTANCE"))->SetAsString(instance);
        table.FieldByName(QStringLiteral("SQL"))->SetAsString(sqlText);
        table.Post();
    } catch (...) {
        table.Cancel();
        throw;
    }
    if (!previous.isEmpty() && table.BookmarkValid(previous))
        table.GotoBookmark(previous);
}

int PurgeSQLHistory(TDbfTable &table, int keepDays, const QDate &today)
{
    if (keepDays <= 0 || !table.Active())
        return 0;
    const double keepFrom = QDateToDateTime(today.addDays(-keepDays));
    int deleted = 0;
    table.DisableControls();
    struct Enable {
        TDbfTable &table;
        ~Enable() { table.EnableControls(); }
    } enable { table };
    TField *runDate = table.FieldByName(QStringLiteral("RUNDATE"));
    table.First();
    while (!table.Eof()) {
        if (!runDate->IsNull() && runDate->AsDateTime() >= keepFrom) {
            table.Next();
            continue;
        }
        table.Delete();
        ++deleted;
    }
    // Deleted records left from before count as something to drop too.
    if (table.Files().recordCount() > table.Files().liveCount())
        table.PackTable();
    return deleted;
}

} // namespace qd
