#pragma once

#include "EditStatement.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qd {

class TOracleQuery;

// A dataset whose updating table is the collection of one master row,
// "table(select m.lines from cd_order m where m.no = :no)", writes its elements through that
// expression. Before an element is inserted the master row's collection must exist: a null
// collection has no elements to add to, so it is made empty first.

// The parts of the inner select of a collection updating table, as written.
struct CollectionUpdatingTable {
    // TABLE(...) or THE(...) around "select ... from ... where ...", FROM before WHERE.
    bool valid = false;
    QString selectText; // between SELECT and FROM: the collection column, e.g. "m.lines"
    QString fromText; // between FROM and WHERE: the master table, e.g. "cd_order m"
    QString whereText; // after WHERE, without the closing parenthesis: the master row
    // The collection column's "."-separated path in the master table, upper-cased, without
    // the master table's alias: "LINES", "ADDRESS.PHONES".
    QString path;
};

// Splits updatingTable (the resolved updating table text); not valid when it is no collection
// expression over a select with FROM and WHERE. SELECT, FROM and WHERE count only outside
// literals, quoted names and nested parentheses.
CollectionUpdatingTable AnalyseCollectionTable(const QString &updatingTable);

// A collection column of the master row and the expression that makes it empty.
struct CollectionColumn {
    QString column; // as the inner select writes it: "m.lines"
    QString constructor; // "DEMO.CD_LINES()"
};

// The expression of an empty collection of the described type "OWNER.TYPE": "OWNER.TYPE()",
// or "TYPE()" when the type has no owner or belongs to user, where the bare name finds it.
QString EmptyCollectionConstructor(const QString &typeName, const QString &user);

// Describes the collection column on query (cleared first): its collection type gives the
// column's constructor (the session's user is asked for when the type has an owner), the element's
// attributes their names (COLUMN_VALUE for elements that are no objects). A column that is no
// collection adds no column.
void DescribeCollectionTable(TOracleQuery &query, const CollectionUpdatingTable &table,
    QList<CollectionColumn> &columns, QStringList &attributes);

// The anonymous block that gives the master row an empty collection where the column is still
// null; the dataset's variables that the block uses are passed on. Nothing to send without a
// valid table or without columns.
EditStatement BuildEmptyCollectionBlock(const CollectionUpdatingTable &table,
    const QList<CollectionColumn> &columns, const QList<EditBindVariable> &dataSetVariables);

} // namespace qd
