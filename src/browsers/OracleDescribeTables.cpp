// Column tables of tables, views and materialized views, the foreign keys, checks and indexes
// of a table, and the hint of one column.

#include "browsers/OracleDescribe.h"

#include "oracle/OracleQuery.h"

#include <QStringList>

namespace qd {

namespace {

// Statements are written here with line feeds and sent with CR LF between the lines.
QString sent(const char *text)
{
    QString s = QString::fromLatin1(text);
    if (s.startsWith(u'\n'))
        s.remove(0, 1);
    if (s.endsWith(u'\n'))
        s.chop(1);
    return s.replace(u'\n', QStringLiteral("\r\n"));
}

// A column's type: the data type, a blank, and the length (RAW, CHAR, VARCHAR, VARCHAR2) or the
// precision and scale (NUMBER, FLOAT; three blanks without a precision) in parentheses.
const char *const typeColumn = R"(
substr(data_type||' '
   ||decode(tc.data_type,'DATE'    ,null
                        ,'LONG'    ,null
                        ,'LONG RAW',null
                        ,'BLOB'    ,null
                        ,'CLOB'    ,null
                        ,'RAW'     ,decode(tc.data_length,null,null,'('||data_length||')')
                        ,'CHAR'    ,decode(tc.data_length,null,null,'('||data_length||')')
                        ,'VARCHAR' ,decode(tc.data_length,null,null,'('||data_length||')')
                        ,'VARCHAR2',decode(tc.data_length,null,null,'('||data_length||')')
                        ,'NUMBER'  ,decode(tc.data_precision,null,'   '
                                         ,'('||tc.data_precision||decode(tc.data_scale,null,null,','||tc.data_scale)||')')
                        ,'FLOAT'  ,decode(tc.data_precision,null,'   '
                                         ,'('||tc.data_precision||decode(tc.data_scale,null,null,','||tc.data_scale)||')')
                        ), 1, 30) as "Data Type",
)";

// The primary key's columns of the table joined to every column of it.
const char *const keyedColumnsTail = R"(
  from all_tab_columns tc,
       (select c.constraint_type, c.owner, c.table_name, c.constraint_name, cc.column_name, cc.position
          from all_constraints c,
               all_cons_columns cc
          where c.owner = :obj_owner
            and c.table_name = :obj_name
            and c.owner = cc.owner
            and c.table_name = cc.table_name
            and c.constraint_name = cc.constraint_name
            and c.constraint_type = 'P'
       ) pc
  where tc.owner = :obj_owner
    and tc.table_name = :obj_name
)";

const char *const keyedColumnsJoin = R"(
    and tc.owner = pc.owner(+)
    and tc.table_name = pc.table_name(+)
    and tc.column_name = pc.column_name(+)
  order by tc.column_id
)";

const char *const notNullColumn = R"(
       rpad(decode(tc.nullable,'Y',' ','Y'), 9) as "Not Null?"
)";

QString statement(std::initializer_list<const char *> pieces)
{
    QStringList parts;
    for (const char *piece : pieces)
        parts << sent(piece);
    return parts.join(QStringLiteral("\r\n"));
}

// A statement on session with the table's owner and name bound under the given names.
std::unique_ptr<TOracleQuery> tableQuery(TOracleSession &session, const QString &sql,
    const char *ownerVariable, const QString &owner, const char *nameVariable, const QString &name)
{
    auto query = NewDictionaryQuery(session, sql);
    SetStringVariable(*query, QLatin1String(ownerVariable), owner);
    SetStringVariable(*query, QLatin1String(nameVariable), name);
    return query;
}

void describeColumns(TOracleSession &session, const QString &sql, const QString &owner,
    const QString &name, TStringList &lines)
{
    lines.Clear();
    try {
        const auto query = tableQuery(session, sql, "obj_owner", owner, "obj_name", name);
        QueryToLines(*query, true, lines);
    } catch (const std::exception &) {
        // The lines written so far stay; describing never raises.
    }
}

// "(A, B" of a constraint's columns, in the order the dictionary returns them.
QString constraintColumns(TOracleQuery &columns, const QString &owner, const QString &name)
{
    columns.SetVariable(QStringLiteral("con_owner"), owner);
    columns.SetVariable(QStringLiteral("con_name"), name);
    columns.Execute();
    QString list;
    while (!columns.Eof()) {
        list += (list.isEmpty() ? QStringLiteral("(") : QStringLiteral(", "))
            + columns.FieldAsString(0);
        columns.Next();
    }
    columns.Close();
    return list;
}

} // namespace

QString TableColumnsQuery(bool withPrimaryKey)
{
    if (withPrimaryKey)
        return statement({ R"(
select substr(lpad(pc.position, 11), 1, 11) as "Primary Key",
       substr(tc.column_name, 1, 32) as "Column Name",
)",
            typeColumn, notNullColumn, keyedColumnsTail, keyedColumnsJoin });
    return statement({ R"(
select Substr(column_name, 1, 32) "Column Name",
)",
        typeColumn, notNullColumn, R"(
  from all_tab_columns tc
  where rtrim(owner) = rtrim(:obj_owner)
    and rtrim(table_name) = rtrim(:obj_name)
  order by column_id
)" });
}

QString ViewColumnsQuery()
{
    return statement({ R"(
select tc.column_name as "Column Name",
)",
        typeColumn, notNullColumn, R"(
  from all_tab_columns tc
  where tc.owner = :obj_owner
    and tc.table_name = :obj_name
  order by tc.column_id
)" });
}

QString MViewColumnsQuery()
{
    return statement({ R"(
select column_name "Column Name",
)",
        typeColumn, notNullColumn, R"(
  from all_tab_columns tc,
       all_snapshots s
  where rtrim(s.name) = rtrim(:obj_name)
    and rtrim(s.owner) = rtrim(:obj_owner)
    and s.table_name = tc.table_name
    and s.owner = tc.owner
  order by column_id
)" });
}

QString ColumnHintQuery()
{
    return statement({ R"(
select decode(pc.position, NULL, NULL, 'PK '||to_char(pc.position)) as "Primary Key",
)",
        typeColumn, R"(
       rpad(decode(tc.nullable,'Y',' ','NOT NULL '), 9) as "Not Null?"
)",
        keyedColumnsTail, R"(
    and tc.column_name = :sub_obj_name
)",
        keyedColumnsJoin });
}

void DescribeTableColumns(
    TOracleSession &session, const QString &owner, const QString &table, TStringList &lines)
{
    describeColumns(session, TableColumnsQuery(true), owner, table, lines);
}

void DescribeViewColumns(
    TOracleSession &session, const QString &owner, const QString &view, TStringList &lines)
{
    describeColumns(session, ViewColumnsQuery(), owner, view, lines);
}

void DescribeMViewColumns(
    TOracleSession &session, const QString &owner, const QString &mview, TStringList &lines)
{
    describeColumns(session, MViewColumnsQuery(), owner, mview, lines);
}

void DescribeForeignKeys(
    TOracleSession &session, const QString &owner, const QString &table, TStringList &lines)
{
    lines.Clear();
    try {
        const auto keys = tableQuery(session, statement({ R"(
select fk.constraint_name, pk.owner, pk.table_name, pk.constraint_name, Initcap(fk.status), lower(pk.status)
  from all_constraints fk,
       all_constraints pk
  where fk.owner = :table_owner
    and fk.table_name = :table_name
    and fk.constraint_type = 'R'
    and fk.r_owner = pk.owner
    and fk.r_constraint_name = pk.constraint_name
  order by fk.status
)" }),
            "table_owner", owner, "table_name", table);
        const auto columns = tableQuery(session,
            QStringLiteral("select cc.column_name from all_cons_columns cc where cc.owner = "
                           ":con_owner and cc.constraint_name = :con_name"),
            "con_owner", QString(), "con_name", QString());
        keys->Execute();
        bool any = false;
        while (!keys->Eof()) {
            any = true;
            const QString name = keys->FieldAsString(0);
            const QString refOwner = keys->FieldAsString(1);
            const QString refTable = keys->FieldAsString(2);
            const QString refName = keys->FieldAsString(3);
            lines.Add(QStringLiteral("  ") + keys->FieldAsString(4)
                + QStringLiteral(" Foreign Key ") + name + u' '
                + constraintColumns(*columns, owner, name) + u')');
            lines.Add(QStringLiteral("    references ") + keys->FieldAsString(5)
                + QStringLiteral(" Primary Key ") + refName);
            lines.Add(QStringLiteral("      on ") + refOwner + u'.' + refTable + u' '
                + constraintColumns(*columns, refOwner, refName) + u')');
            lines.Add(QString());
            keys->Next();
        }
        keys->Close();
        if (!any)
            lines.Add(QStringLiteral("  No Foreign Keys."));
    } catch (const std::exception &) {
    }
}

void DescribeCheckConstraints(
    TOracleSession &session, const QString &owner, const QString &table, TStringList &lines)
{
    lines.Clear();
    try {
        const auto checks = tableQuery(session, statement({ R"(
select c.constraint_name, c.search_condition, initCap(c.status)
  from all_constraints c
  where c.owner = :table_owner
    and c.table_name = :table_name
    and c.constraint_type = 'C'
  order by c.status
)" }),
            "table_owner", owner, "table_name", table);
        checks->Execute();
        bool any = false;
        while (!checks->Eof()) {
            any = true;
            lines.Add(QStringLiteral("  ") + checks->FieldAsString(2).leftJustified(8, u' ', true)
                + u' ' + checks->FieldAsString(0).leftJustified(32, u' ', true) + u' '
                + checks->FieldAsString(1));
            checks->Next();
        }
        checks->Close();
        if (!any)
            lines.Add(QStringLiteral("  No Check Constraints."));
    } catch (const std::exception &) {
    }
}

void DescribeIndexes(
    TOracleSession &session, const QString &owner, const QString &table, TStringList &lines)
{
    lines.Clear();
    try {
        // Index owner and name are bound again exactly as fetched.
        const auto indexes = tableQuery(session, statement({ R"(
select owner, index_name, lower(uniqueness), InitCap(i.status)
  from all_indexes i
  where i.table_owner = :table_owner
    and i.table_name = :table_name
  order by i.status
)" }),
            "table_owner", owner, "table_name", table);
        const auto columns = tableQuery(session, statement({ R"(
select c.column_name
  from all_ind_columns c
  where c.index_owner = rtrim(:ind_owner)
    and c.index_name = rtrim(:ind_name)
  order by c.column_position
)" }),
            "ind_owner", QString(), "ind_name", QString());
        indexes->Execute();
        bool any = false;
        while (!indexes->Eof()) {
            any = true;
            const QString indexOwner = indexes->FieldAsString(0);
            const QString indexName = indexes->FieldAsString(1);
            lines.Add(QStringLiteral("  ") + indexes->FieldAsString(3) + u' '
                + indexes->FieldAsString(2) + QStringLiteral(" index ") + indexOwner + u'.'
                + indexName + QStringLiteral(" on columns "));
            columns->SetVariable(QStringLiteral("ind_owner"), indexOwner);
            columns->SetVariable(QStringLiteral("ind_name"), indexName);
            columns->Execute();
            while (!columns->Eof()) {
                lines.Add(QStringLiteral("    ") + columns->FieldAsString(0));
                columns->Next();
            }
            columns->Close();
            lines.Add(QString());
            indexes->Next();
        }
        indexes->Close();
        if (!any)
            lines.Add(QStringLiteral("  No Indexes."));
    } catch (const std::exception &) {
    }
}

void GetColumnHint(TOracleSession &session, const QString &owner, const QString &table,
    const QString &column, QString &hint)
{
    try {
        const auto query
            = tableQuery(session, ColumnHintQuery(), "obj_owner", owner, "obj_name", table);
        SetStringVariable(*query, QStringLiteral("sub_obj_name"), column);
        query->Execute();
        if (!query->Eof())
            hint = query->FieldAsString(0) + u' ' + query->FieldAsString(1) + u' '
                + query->FieldAsString(2);
        query->Close();
    } catch (const std::exception &) {
    }
}

} // namespace qd
