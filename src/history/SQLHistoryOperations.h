#pragma once

#include <QDate>
#include <QString>

namespace qd {

class TDbfTable;

// The box shown when the history pair cannot be opened; the fault follows it.
extern const QString SQLHistoryOpenErrorText;

// Appends a record dated today with the user name, the database and the script text, and
// returns to the record that was current. Does nothing while the table is closed.
void AddSQLHistory(TDbfTable &table, const QString &userName, const QString &instance,
    const QString &sqlText, const QDate &today);

// Deletes every record dated before today - keepDays (a record without a date too), walking
// from the first record with the table's controls detached, then packs the table. Nothing
// happens for keepDays of 0 (or less) or a closed table; the files are not rewritten when there
// is nothing to drop. Returns the number of records deleted.
int PurgeSQLHistory(TDbfTable &table, int keepDays, const QDate &today);

} // namespace qd
