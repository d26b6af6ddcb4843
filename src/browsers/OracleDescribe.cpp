#include "browsers/OracleDescribe.h"

#include "oracle/LogonString.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace qd {

namespace {

// Runs query and tells whether it returned a row.
bool hasRow(TOracleQuery &query)
{
    query.Execute();
    const bool found = !query.Eof();
    query.Close();
    return found;
}

} // namespace

std::unique_ptr<TOracleQuery> NewDictionaryQuery(TOracleSession &session, const QString &sql)
{
    auto query = std::make_unique<TOracleQuery>();
    query->SetSession(&session);
    query->SetStringFieldsOnly(true);
    query->SetReadBuffer(25);
    query->SQL().SetText(sql);
    return query;
}

void SetStringVariable(TOracleQuery &query, const QString &name, const QString &value)
{
    query.DeclareVariable(name, SQLT_STR);
    query.SetVariable(name, value);
}

// ---- Names ---------------------------------------------------------------------------------

void SplitObjectName(const QString &name, TStringList &parts, QChar separator)
{
    parts.Clear();
    const qsizetype n = name.size();
    qsizetype p = 0;
    while (p < n) {
        if (name.at(p) == u'"') {
            ++p;
            // The part ends at a closing quote that a separator follows or that ends the name.
            qsizetype end = p;
            while (end < n
                && !(name.at(end) == u'"' && (end + 1 == n || name.at(end + 1) == separator)))
                ++end;
            parts.Add(name.mid(p, end - p));
            p = end + 1;
            if (p < n && name.at(p) == separator)
                ++p;
        } else {
            qsizetype end = name.indexOf(separator, p);
            if (end < 0)
                end = n;
            parts.Add(name.mid(p, end - p).toUpper());
            p = end + 1;
        }
    }
}

QString CurrentSchema(const TOracleSession &session)
{
    QString user = session.LogonUsername();
    QString mode;
    SplitConnectMode(user, mode);
    user = user.trimmed();
    if (user.size() >= 2 && user.startsWith(u'"') && user.endsWith(u'"'))
        return user.mid(1, user.size() - 2);
    return user.toUpper();
}

void ResolveSynonym(TOracleSession &session, bool includePublic, const QString &synonymName,
    const QString &schema, QString &tableOwner, QString &tableName, QString &dbLink)
{
    QStringList text { QStringLiteral("select table_owner, table_name, db_link"),
        QStringLiteral("  from all_synonyms"), QStringLiteral("  where synonym_name = :syn") };
    text << (includePublic ? QStringLiteral("    and owner in ('PUBLIC', :schema)")
                           : QStringLiteral("    and owner = :schema"));
    text << QStringLiteral("  order by decode(owner, 'PUBLIC', 1, 0) asc");
    const auto query = NewDictionaryQuery(session, text.join(QStringLiteral("\r\n")));
    SetStringVariable(*query, QStringLiteral("syn"), synonymName);
    SetStringVariable(*query, QStringLiteral("schema"), schema);
    query->Execute();
    if (!query->Eof()) {
        tableOwner = query->FieldAsString(0);
        tableName = query->FieldAsString(1);
        dbLink = query->FieldAsString(2);
    }
    query->Close();
}

bool UserExists(TOracleSession &session, const QString &schema)
{
    const auto query = NewDictionaryQuery(
        session, QStringLiteral("select * from all_users where username = :schema"));
    SetStringVariable(*query, QStringLiteral("schema"), schema);
    return hasRow(*query);
}

void ResolveObjectName(TOracleSession &session, const QString &name, QString &owner,
    QString &objectName, QString &subName, QString &dbLink)
{
    TStringList parts;
    SplitObjectName(name, parts, u'.');
    const QString schema = CurrentSchema(session);
    if (parts.Count() == 0) {
        owner.clear();
        objectName.clear();
        subName.clear();
        dbLink.clear();
    } else if (parts.Count() == 1) {
        ResolveSynonym(session, true, parts[0], schema, owner, objectName, dbLink);
        subName.clear();
        if (objectName.isEmpty()) {
            owner = schema;
            objectName = parts[0];
            dbLink.clear();
        }
    } else if (parts.Count() == 2 && UserExists(session, parts[0])) {
        ResolveSynonym(session, false, parts[1], schema, owner, objectName, dbLink);
        if (objectName.isEmpty()) {
            objectName = parts[1];
            dbLink.clear();
        }
        owner = parts[0];
        subName.clear();
    } else if (parts.Count() == 2) {
        // The first part names an object of the own schema, the second its column, attribute
        // or packaged procedure.
        ResolveSynonym(session, true, parts[0], schema, owner, objectName, dbLink);
        if (objectName.isEmpty()) {
            owner = schema;
            objectName = parts[0];
            dbLink.clear();
        }
        subName = parts[1];
    } else {
        ResolveSynonym(session, false, parts[1], schema, owner, objectName, dbLink);
        owner = parts[0];
        subName = parts[2];
        if (objectName.isEmpty()) {
            objectName = parts[1];
            dbLink.clear();
        }
    }
}

quint8 GetObjectKind(TOracleSession &session, const QString &owner, const QString &name)
{
    const auto query = NewDictionaryQuery(session,
        QStringLiteral(
            "select object_type from all_objects where owner = :schema and object_name = :obj"));
    SetStringVariable(*query, QStringLiteral("schema"), owner);
    SetStringVariable(*query, QStringLiteral("obj"), name);
    query->Execute();
    if (query->Eof()) {
        query->Close();
        return DescribeUnknown;
    }
    // A package or type and its body share the name, and so do a materialized view and its
    // table; the rows come in no order, so neither the body nor the table may decide.
    QString type;
    bool decided = false, materialized = false;
    while (!query->Eof()) {
        const QString rowType = query->FieldAsString(0);
        materialized = materialized || rowType == QLatin1String("MATERIALIZED VIEW")
            || rowType == QLatin1String("SNAPSHOT");
        if (!decided) {
            type = rowType;
            decided = !rowType.endsWith(QLatin1String(" BODY"));
        }
        query->Next();
    }
    query->Close();
    if (materialized)
        return ooMView;
    static const std::pair<const char *, quint8> kinds[]
        = { { "TABLE", ooTable }, { "TABLE PARTITION", ooTable }, { "VIEW", ooView },
              { "SNAPSHOT", ooMView }, { "MATERIALIZED VIEW", ooMView }, { "PACKAGE", ooPackage },
              { "PROCEDURE", ooProcedure }, { "FUNCTION", ooFunction }, { "TRIGGER", ooTrigger },
              { "TYPE", ooType }, { "SEQUENCE", ooSequence } };
    for (const auto &[text, kind] : kinds)
        if (type == QLatin1String(text))
            return kind;
    return DescribeUnsupported;
}

// ---- Entry points --------------------------------------------------------------------------

quint8 GetObjectDescription(TOracleSession &session, const QString &name, bool queryOnly,
    bool withPrimaryKey, TStringList &lines, bool &isQuery, QString &owner, QString &objectName,
    QString &subName, QString &dbLink)
{
    ResolveObjectName(session, name, owner, objectName, subName, dbLink);
    isQuery = false;
    const quint8 kind = GetObjectKind(session, owner, objectName);
    switch (kind) {
    case ooTable:
    case ooView:
    case ooMView:
        if (queryOnly) {
            lines.SetText(kind == ooTable ? TableColumnsQuery(withPrimaryKey)
                    : kind == ooView      ? ViewColumnsQuery()
                                          : MViewColumnsQuery());
            isQuery = true;
        } else if (kind == ooTable) {
            DescribeTableColumns(session, owner, objectName, lines);
        } else if (kind == ooView) {
            DescribeViewColumns(session, owner, objectName, lines);
        } else {
            DescribeMViewColumns(session, owner, objectName, lines);
        }
        break;
    case DescribeUnsupported:
        lines.Add(QStringLiteral("Unsupported object ") + name);
        break;
    case DescribeUnknown:
        lines.Add(QStringLiteral("Unknown object ") + name);
        break;
    default:
        break;
    }
    return kind;
}

void GetObjectHint(TOracleSession &session, const QString &owner, const QString &name,
    const QString &subName, quint8 kind, quint8 subKind, QString &hint)
{
    QString result;
    if ((kind == ooTable || kind == ooView || kind == ooMView) && subKind == osoColumn)
        GetColumnHint(session, owner, name, subName, result);
    hint = result;
}

// ---- Shared routines -----------------------------------------------------------------------

void QueryToLines(TOracleQuery &query, bool withHeader, TStringList &lines)
{
    try {
        query.Execute();
        const int n = query.FieldCount();
        QList<int> widths;
        for (int i = 0; i < n; ++i)
            widths.append(qMax(0, query.FieldSize(i)));
        auto cell = [](const QString &text, int width) {
            return u' ' + text.leftJustified(width, u' ', true);
        };
        if (withHeader) {
            QString header, underline;
            for (int i = 0; i < n; ++i) {
                header += cell(query.FieldName(i), widths[i]);
                underline += u' ' + QString(widths[i], u'-');
            }
            lines.Add(header);
            lines.Add(underline);
        }
        while (!query.Eof()) {
            QString line;
            for (int i = 0; i < n; ++i)
                line += cell(query.FieldAsString(i), widths[i]);
            lines.Add(line);
            query.Next();
        }
        query.Close();
    } catch (...) {
        query.Close();
        throw;
    }
}

void FetchColumnLists(TOracleSession &session, const QString &owner, const QString &objectName,
    const TStringList &sql, TStringList &names, TStringList &notNulls, TStringList &types)
{
    const auto query = NewDictionaryQuery(session, sql.Text());
    SetStringVariable(*query, QStringLiteral("obj_name"), objectName);
    SetStringVariable(*query, QStringLiteral("obj_owner"), owner);
    query->Execute();
    const bool plain = query->FieldCount() == 3;
    while (!query->Eof()) {
        if (plain) {
            names.Add(query->FieldAsString(0));
            types.Add(query->FieldAsString(1));
            notNulls.Add(query->FieldAsString(2));
        } else {
            const bool key = !query->FieldAsString(0).trimmed().isEmpty();
            names.AddInteger(query->FieldAsString(1), key ? 1 : 0);
            types.Add(query->FieldAsString(2));
            notNulls.Add(query->FieldAsString(3));
        }
        query->Next();
    }
    query->Close();
}

} // namespace qd
