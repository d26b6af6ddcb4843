#pragma once

// What a database object is, read from the data dictionary: names as a user typed them are
// resolved through synonyms to an owner and an object, the object's kind is looked up, and
// either a column query is handed back (tables, views, materialized views) or a readable
// description is written as text lines.
//
// Everything runs on the caller's thread and session and keeps no state between calls, so the
// worksheet's DESCRIBE runs it on its script runner. Every dictionary read is a fresh query of
// its own: every column fetched as a string, 25 rows per fetch, string binds. Owner and names
// are bound exactly as resolved: unquoted parts of a typed name are upper-cased once when the
// name is split, quoted ones are kept as written.

#include "browsers/OracleObjectKinds.h"
#include "classlib/StringList.h"

#include <QChar>
#include <QString>

#include <memory>

namespace qd {

class TOracleQuery;
class TOracleSession;

// Kinds 0-9 are TQDOracleObjects; these two only come back from the description routines.
constexpr quint8 DescribeUnsupported = 10; // the object exists; its type is not described
constexpr quint8 DescribeUnknown = 11; // no object of that name

// ---- Names -------------------------------------------------------------------------------------

// Splits name at separator into parts; a part in double quotes is kept as written (without
// its quotes), any other part is upper-cased.
void SplitObjectName(const QString &name, TStringList &parts, QChar separator);

// The session's schema: its logon user name, quoted as written, else upper-cased.
QString CurrentSchema(const TOracleSession &session);

// The target of synonymName as seen from schema: a private synonym of schema wins over a
// public one (only looked at with includePublic). Outputs are left unchanged when there is none.
void ResolveSynonym(TOracleSession &session, bool includePublic, const QString &synonymName,
    const QString &schema, QString &tableOwner, QString &tableName, QString &dbLink);

bool UserExists(TOracleSession &session, const QString &schema);

// name as typed: "object", "owner.object", "object.sub", "owner.object.sub" (further parts are
// ignored). The outputs are not cleared first: callers pass empty strings.
void ResolveObjectName(TOracleSession &session, const QString &name, QString &owner,
    QString &objectName, QString &subName, QString &dbLink);

// 0-7 and 9 by the object's type, DescribeUnsupported for other types, DescribeUnknown when
// the owner has no object of that name. A body (package or type) decides only when there is
// nothing but bodies; a materialized view is one also where its table is listed first.
quint8 GetObjectKind(TOracleSession &session, const QString &owner, const QString &name);

// ---- Entry points ------------------------------------------------------------------------------

// Resolves name and finds its kind. Tables, views and materialized views: with queryOnly the
// column query is put into lines (primary-key form with withPrimaryKey) and isQuery is set;
// its binds obj_owner and obj_name take owner and objectName. Without queryOnly their column
// table is written. Unsupported and unknown names add "Unsupported object <name>" or "Unknown
// object <name>" with the name as given, without clearing lines. Stored code, triggers, types
// and sequences are not described yet: their kind comes back and lines stay as they were.
// Errors of resolution and kind lookup pass on to the caller.
quint8 GetObjectDescription(TOracleSession &session, const QString &name, bool queryOnly,
    bool withPrimaryKey, TStringList &lines, bool &isQuery, QString &owner, QString &objectName,
    QString &subName, QString &dbLink);

// The one-line hint of a navigator node (kind and sub-kind as bytes of the kind enumerations).
// Columns of tables, views and materialized views get theirs; other nodes an empty hint for
// now. hint always receives the result.
void GetObjectHint(TOracleSession &session, const QString &owner, const QString &name,
    const QString &subName, quint8 kind, quint8 subKind, QString &hint);

// ---- Shared routines ---------------------------------------------------------------------------

// A query for the dictionary on session: every column a string, 25 rows per fetch.
std::unique_ptr<TOracleQuery> NewDictionaryQuery(TOracleSession &session, const QString &sql);
// Declares name as a string variable and gives it value.
void SetStringVariable(TOracleQuery &query, const QString &name, const QString &value);

// Executes query and appends its rows as a text table: each field preceded by a blank and
// padded or cut to the field's described size; with withHeader first a line of field names and
// a line of dashes. The query is closed afterwards, also when an error passes on.
void QueryToLines(TOracleQuery &query, bool withHeader, TStringList &lines);

// Runs a column query (plain form: name, type, not-null; primary-key form: key position first)
// and appends each row's column name, not-null text and type to the three lists. In the
// primary-key form each name carries an integer flag: 1 for a column of the key, else 0.
void FetchColumnLists(TOracleSession &session, const QString &owner, const QString &objectName,
    const TStringList &sql, TStringList &names, TStringList &notNulls, TStringList &types);

// ---- Tables, views and columns -----------------------------------------------------------------

// The column statements; they bind obj_owner and obj_name (the hint also sub_obj_name).
QString TableColumnsQuery(bool withPrimaryKey);
QString ViewColumnsQuery();
QString MViewColumnsQuery();
QString ColumnHintQuery();

// Each clears lines and writes its listing; each catches its own errors and returns quietly
// with what it had written.
void DescribeTableColumns(
    TOracleSession &session, const QString &owner, const QString &table, TStringList &lines);
void DescribeViewColumns(
    TOracleSession &session, const QString &owner, const QString &view, TStringList &lines);
void DescribeMViewColumns(
    TOracleSession &session, const QString &owner, const QString &mview, TStringList &lines);
void DescribeForeignKeys(
    TOracleSession &session, const QString &owner, const QString &table, TStringList &lines);
void DescribeCheckConstraints(
    TOracleSession &session, const QString &owner, const QString &table, TStringList &lines);
void DescribeIndexes(
    TOracleSession &session, const QString &owner, const QString &table, TStringList &lines);

// "PK <n> <type> <NOT NULL >" for a key column (a blank first outside the key); hint is left
// as it was when the column is not found or an error occurs.
void GetColumnHint(TOracleSession &session, const QString &owner, const QString &table,
    const QString &column, QString &hint);

} // namespace qd
