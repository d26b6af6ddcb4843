#pragma once

#include <QString>
#include <QStringList>

namespace qd {

class TOracleQuery;
class TOracleSession;

// How the dataset finds the table its edits are written to, from its UpdatingTable property or
// from the FROM clause of its SELECT statement, and what that table's name, owner, alias and key
// are.

// The updating table: updatingTable upper-cased without double quotes when it is set, else the
// first table of the statement's FROM clause (inside an inline view when the clause starts with
// one; for TABLE(...) or THE(...) the parenthesised expression as written). Empty when the
// statement has no FROM. A cursor dataset (a PL/SQL block opening a cursor variable) has no FROM
// clause to read and raises "UpdatingTable property required for cursor dataset" when
// updatingTable is empty.
QString UpdatingTableNameOf(const QString &sql, const QString &updatingTable, bool cursorDataSet);

// Where the updating table stands in the FROM clause.
struct UpdatingTableReference {
    // The identifier that follows the table in the FROM clause, upper-cased; empty when none.
    QString alias;
    // The table as the statement writes it (owner prefix, quotes and case kept); empty when the
    // clause starts with an inline view or the statement has no FROM.
    QString written;
};

// The alias of the updating table tableName in sql (its text without the query-by-example
// condition). WHERE, ORDER, GROUP, FOR, START and CONNECT after the table are no alias.
UpdatingTableReference UpdatingTableAliasOf(const QString &sql, const QString &tableName);

// The name a statement uses to address the updating table's rows: the alias; without one the
// table as the statement writes it; else tableName. Never empty when tableName is not, so that
// "alias.rowid" and "of alias.COL" always name the table.
QString RowReference(const UpdatingTableReference &reference, const QString &tableName);

// From the "(" at open, the position just after the ")" that closes it; parentheses inside
// single or double quotes do not count. -1 when they do not balance.
qsizetype ClosingParenthesis(const QString &text, qsizetype open);

// An updating table of the form TABLE(...) or THE(...): the rows of a collection.
bool IsCollectionTable(const QString &updatingTable);

// Owner and table of an updating table. "OWNER.TABLE" is split as written (upper-cased); a bare
// name is looked up in the dictionary on the session: the user's table, view or private synonym,
// else a public synonym. Both are empty when nothing matches or name is a collection
// expression.
void SplitTableName(TOracleSession &session, const QString &name, QString &owner, QString &table);

// The columns of the table's primary key, else of its first unique key, in key order; empty when
// the table has neither. Runs on query (cleared first).
QStringList FindKeyColumns(TOracleQuery &query, const QString &owner, const QString &table);

// The key fields the dataset identifies records by: the ";"-separated uniqueFields when given,
// else the primary or unique key of the updating table. Raises the database error "Primary or
// Unique key columns must be included" when neither gives a name.
QStringList DetermineKeyFields(
    TOracleSession &session, const QString &uniqueFields, const QString &updatingTableName);

} // namespace qd
