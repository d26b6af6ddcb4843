#include "MasterDetailSetup.h"

#include "DataSetStatementText.h"
#include "UpdatingTable.h"

#include "OracleDataSet.h"
#include "classlib/Exception.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"

#include <mutex>

namespace qd {

const QString NoForeignKeyMessage = QStringLiteral(
    "Automatic Master/Detail configuration is only\r\npossible if a foreign key constraint "
    "exists\r\nbetween the Master and Detail table.");
const QString SeveralForeignKeysMessage = QStringLiteral(
    "Automatic Master/Detail configuration is only\r\npossible if just one foreign key "
    "constraint\r\nexists between the Master and Detail table.");
const QString SetupSessionMessage = QStringLiteral(
    "Automatic Master/Detail configuration is only\r\npossible if the Session is connected.");
const QString SetupMasterSqlMessage
    = QStringLiteral("Automatic Master/Detail configuration is only\r\npossible if the Master SQL "
                     "text is set correctly.");
// "configuraion" is the message as users know it.
const QString SetupDetailSqlMessage = QStringLiteral(
    "Automatic Master/Detail configuraion is only\r\npossible if the Detail SQL text is set "
    "correctly,\r\nor if the Master dataset contains one or more collection fields.");
const QString SetupConfirmMessage
    = QStringLiteral("Modify query to add variables to WHERE clause?\r\nNOTE: This will remove "
                     "any existing WHERE clause and variables!");

namespace {

const QString lineBreak = QStringLiteral("\r\n");

// The text upper-cased, with everything inside parentheses, string literals, quoted names and
// comments blanked out, so that only the statement's own keywords can be found in it and the
// positions found apply to the text.
QString outerLevel(const QString &text)
{
    QString search = text.toUpper();
    int depth = 0;
    for (qsizetype i = 0; i < search.size(); ++i) {
        const QChar c = search[i];
        const QChar next = i + 1 < search.size() ? search[i + 1] : QChar();
        if (c == u'\'' || c == u'"') {
            qsizetype end = search.indexOf(c, i + 1);
            if (end < 0)
                end = search.size() - 1;
            for (qsizetype k = i; k <= end; ++k)
                search[k] = u'_';
            i = end;
        } else if (c == u'-' && next == u'-') {
            qsizetype end = search.indexOf(u'\n', i);
            if (end < 0)
                end = search.size();
            for (qsizetype k = i; k < end; ++k)
                search[k] = u' ';
            i = end - 1;
        } else if (c == u'/' && next == u'*') {
            qsizetype end = search.indexOf(QLatin1String("*/"), i + 2);
            end = end < 0 ? search.size() : end + 2;
            for (qsizetype k = i; k < end; ++k)
                search[k] = u' ';
            i = end - 1;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            depth = std::max(depth - 1, 0);
        } else if (depth > 0) {
            search[i] = u'_';
        }
    }
    return search;
}

QString withoutTrailingBlanks(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

QString ReplaceDetailCondition(const QString &detailSql, const QStringList &columns)
{
    QString clause = QStringLiteral("where ");
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString column = columns[i].toLower();
        if (i > 0)
            clause += QStringLiteral(" and ");
        clause += column + QStringLiteral(" = :") + column;
    }
    clause += lineBreak;

    const QString search = outerLevel(detailSql);
    const int where = FindWord(QStringLiteral("WHERE"), search);
    // A FOR UPDATE clause stays with the statement as an ORDER BY does.
    int tail = FindWord(QStringLiteral("ORDER"), search);
    if (tail == 0)
        tail = FindWord(QStringLiteral("FOR"), search);
    if (where > 0 && (tail == 0 || where < tail)) {
        const QString rest = tail > 0 ? detailSql.mid(tail - 1) : QString();
        return detailSql.left(where - 1) + clause + rest;
    }
    if (tail > 0)
        return withoutTrailingBlanks(detailSql.left(tail - 1)) + lineBreak + clause
            + detailSql.mid(tail - 1);
    return withoutTrailingBlanks(detailSql) + lineBreak + clause;
}

MasterDetailLink ForeignKeyLink(const ForeignKeyFacts &facts)
{
    MasterDetailLink link;
    link.masterFields = facts.masterColumns.join(u';');
    link.detailFields = facts.detailColumns.join(u';');
    return link;
}

MasterDetailLink ForeignKeyLink(
    const ForeignKeyFacts &facts, const QString &detailSql, const std::vector<KeyColumn> &columns)
{
    MasterDetailLink link = ForeignKeyLink(facts);
    QStringList names;
    for (const KeyColumn &column : columns) {
        names << column.name;
        link.variables.push_back({ column.name.toLower(), column.variableType });
    }
    link.sqlChanged = true;
    link.sql = ReplaceDetailCondition(detailSql, names);
    return link;
}

std::vector<CollectionChoice> CollectionChoices(const std::vector<CollectionColumnFacts> &columns)
{
    std::vector<CollectionChoice> choices;
    auto entry = [](const QString &path, const QString &owner, const QString &type) {
        return path + QStringLiteral(" (") + owner + u'.' + type + u')';
    };
    for (const CollectionColumnFacts &column : columns) {
        if (column.typeCode == QLatin1String("COLLECTION")) {
            choices.push_back({ column.columnName,
                entry(column.columnName, column.dataTypeOwner, column.dataType) });
        } else if (column.typeCode == QLatin1String("OBJECT")) {
            for (const CollectionColumnFacts::Attribute &attribute : column.collectionAttributes) {
                const QString path = column.columnName + u'.' + attribute.name;
                choices.push_back({ path, entry(path, attribute.typeOwner, attribute.typeName) });
            }
        }
    }
    return choices;
}

MasterDetailLink CollectionLink(const QString &masterTable, const QString &path, bool readOnly,
    const std::vector<KeyColumn> &keyColumns)
{
    // Without a key the subquery could return many master rows: the set-up does not apply.
    if (keyColumns.empty())
        throw Exception(QStringLiteral("The master table %1 has no key").arg(masterTable));
    MasterDetailLink link;
    QStringList lines;
    lines << (readOnly ? QStringLiteral("select t.*") : QStringLiteral("select t.*, rowid"));
    lines << QStringLiteral("from table(select m.") + path.toLower();
    lines << QStringLiteral("           from   ") + masterTable.toLower() + QStringLiteral(" m");
    QStringList masterFields;
    for (size_t i = 0; i < keyColumns.size(); ++i) {
        const QString key = keyColumns[i].name.toLower();
        link.variables.push_back({ key, keyColumns[i].variableType });
        masterFields << keyColumns[i].name;
        QString line
            = i == 0 ? QStringLiteral("           where  ") : QStringLiteral("           and    ");
        line += QStringLiteral("m.") + key + QStringLiteral(" = :") + key;
        if (i + 1 == keyColumns.size())
            line += QStringLiteral(") t");
        lines << line;
    }
    link.masterFields = masterFields.join(u';');
    link.sqlChanged = true;
    link.sql = lines.join(lineBreak);
    return link;
}

// ---- Dictionary

namespace {

void declareStrings(TOracleQuery &query, const QStringList &names)
{
    query.DeleteVariables();
    for (const QString &name : names)
        query.DeclareVariable(name, SQLT_STR);
}

QStringList readColumn(TOracleQuery &query)
{
    QStringList values;
    query.Execute();
    while (!query.Eof()) {
        values << query.FieldAsString(0);
        query.Next();
    }
    return values;
}

} // namespace

ForeignKeyFacts ReadForeignKey(TOracleSession &session, const QString &detailOwner,
    const QString &detailTable, const QString &masterOwner, const QString &masterTable)
{
    TOracleQuery query;
    query.SetSession(&session);
    query.SQL().SetText(
        QStringLiteral("select fk.constraint_name fkname, pk.constraint_name pkname\r\n"
                       "  from sys.all_constraints fk, sys.all_constraints pk\r\n"
                       " where fk.constraint_type = 'R'\r\n"
                       "   and fk.owner = :fk_owner and fk.table_name = :fk_table_name\r\n"
                       "   and pk.constraint_name = fk.r_constraint_name\r\n"
                       "   and pk.owner = :pk_owner and pk.table_name = :pk_table_name"));
    declareStrings(query,
        { QStringLiteral("fk_owner"), QStringLiteral("fk_table_name"), QStringLiteral("pk_owner"),
            QStringLiteral("pk_table_name") });
    query.SetVariable(QStringLiteral("fk_owner"), detailOwner);
    query.SetVariable(QStringLiteral("fk_table_name"), detailTable);
    query.SetVariable(QStringLiteral("pk_owner"), masterOwner);
    query.SetVariable(QStringLiteral("pk_table_name"), masterTable);
    query.Execute();
    if (query.Eof())
        throw Exception(NoForeignKeyMessage);
    ForeignKeyFacts facts;
    facts.foreignKeyName = query.FieldAsString(0);
    facts.primaryKeyName = query.FieldAsString(1);
    query.Next();
    if (!query.Eof())
        throw Exception(SeveralForeignKeysMessage);

    query.SQL().SetText(QStringLiteral("select column_name from sys.all_cons_columns\r\n"
                                       " where owner = :owner and constraint_name = "
                                       ":constraint_name\r\n"
                                       " order by position"));
    declareStrings(query, { QStringLiteral("owner"), QStringLiteral("constraint_name") });
    query.SetVariable(QStringLiteral("owner"), detailOwner);
    query.SetVariable(QStringLiteral("constraint_name"), facts.foreignKeyName);
    facts.detailColumns = readColumn(query);
    query.SetVariable(QStringLiteral("owner"), masterOwner);
    query.SetVariable(QStringLiteral("constraint_name"), facts.primaryKeyName);
    facts.masterColumns = readColumn(query);
    return facts;
}

std::vector<CollectionColumnFacts> ReadCollectionColumns(
    TOracleSession &session, const QString &owner, const QString &table)
{
    TOracleQuery query;
    query.SetSession(&session);
    query.SQL().SetText(QStringLiteral("select c.data_type_owner, c.data_type, c.column_name, "
                                       "t.typecode\r\n"
                                       "from sys.all_tab_columns c,\r\n"
                                       "     sys.all_types t\r\n"
                                       "where c.owner = :owner\r\n"
                                       "and c.table_name = :table_name\r\n"
                                       "and c.data_type is not null\r\n"
                                       "and c.data_type_owner is not null\r\n"
                                       "and c.data_type_mod is null\r\n"
                                       "and t.owner = c.data_type_owner\r\n"
                                       "and t.type_name = c.data_type\r\n"
                                       "and t.typecode in ('COLLECTION', 'OBJECT')\r\n"
                                       "order by c.column_id"));
    declareStrings(query, { QStringLiteral("owner"), QStringLiteral("table_name") });
    query.SetVariable(QStringLiteral("owner"), owner);
    query.SetVariable(QStringLiteral("table_name"), table);
    std::vector<CollectionColumnFacts> columns;
    query.Execute();
    while (!query.Eof()) {
        CollectionColumnFacts column;
        column.dataTypeOwner = query.FieldAsString(0);
        column.dataType = query.FieldAsString(1);
        column.columnName = query.FieldAsString(2);
        column.typeCode = query.FieldAsString(3);
        columns.push_back(std::move(column));
        query.Next();
    }

    // The collection attributes of each object type, as its type description lists them.
    TOracleQuery attributes;
    attributes.SetSession(&session);
    attributes.SQL().SetText(QStringLiteral("select a.attr_name, a.attr_type_owner, "
                                            "a.attr_type_name\r\n"
                                            "from sys.all_type_attrs a, sys.all_types t\r\n"
                                            "where a.owner = :owner\r\n"
                                            "and a.type_name = :type_name\r\n"
                                            "and t.owner = a.attr_type_owner\r\n"
                                            "and t.type_name = a.attr_type_name\r\n"
                                            "and t.typecode = 'COLLECTION'\r\n"
                                            "order by a.attr_no"));
    declareStrings(attributes, { QStringLiteral("owner"), QStringLiteral("type_name") });
    for (CollectionColumnFacts &column : columns) {
        if (column.typeCode != QLatin1String("OBJECT"))
            continue;
        attributes.SetVariable(QStringLiteral("owner"), column.dataTypeOwner);
        attributes.SetVariable(QStringLiteral("type_name"), column.dataType);
        attributes.Execute();
        while (!attributes.Eof()) {
            column.collectionAttributes.push_back({ attributes.FieldAsString(0),
                attributes.FieldAsString(1), attributes.FieldAsString(2) });
            attributes.Next();
        }
    }
    return columns;
}

std::vector<KeyColumn> DescribeColumns(
    TOracleSession &session, const QStringList &columns, const QString &table)
{
    TOracleQuery query;
    query.SetSession(&session);
    query.SQL().SetText(QStringLiteral("select ") + columns.join(QStringLiteral(", "))
        + QStringLiteral(" from ") + table);
    query.Describe();
    std::vector<KeyColumn> described;
    for (int i = 0; i < query.FieldCount() && i < columns.size(); ++i)
        described.push_back({ columns[i], query.FieldType(i) });
    return described;
}

// ---- Applying the set-up

namespace {

std::mutex setupUiLock;
MasterDetailSetupUi setupUi;

// Owner and table of the first table in the FROM clause of sql; both empty when there is none.
void tableOfStatement(
    TOracleSession &session, const QString &sql, QString &name, QString &owner, QString &table)
{
    owner.clear();
    table.clear();
    name = UpdatingTableNameOf(sql, QString(), false);
    if (!name.isEmpty() && !IsCollectionTable(name))
        SplitTableName(session, name, owner, table);
}

void declareAll(TOracleDataSet &detail, const std::vector<KeyColumn> &variables)
{
    for (const KeyColumn &variable : variables)
        detail.DeclareVariable(variable.name, variable.variableType);
}

} // namespace

void InstallMasterDetailSetupUi(const MasterDetailSetupUi &ui)
{
    std::lock_guard<std::mutex> lock(setupUiLock);
    setupUi = ui;
}

MasterDetailSetupUi InstalledMasterDetailSetupUi()
{
    std::lock_guard<std::mutex> lock(setupUiLock);
    return setupUi;
}

MasterDetailSetupResult ConfigureMasterDetail(TOracleDataSet &detail, const MasterDetailSetupUi &ui)
{
    TOracleDataSet *master = detail.Master();
    if (!master)
        throw Exception(QStringLiteral("%1 has no master dataset").arg(detail.Name()));
    auto refuse = [&ui](const QString &message) {
        if (ui.information)
            ui.information(message);
        return MasterDetailSetupResult { MasterDetailSetupOutcome::NotPossible, message };
    };

    TOracleSession *session = detail.Session();
    if (!session || !session->Connected())
        session = master->Session();
    if (!session || !session->Connected())
        return refuse(SetupSessionMessage);

    detail.SetMasterFields(QString());
    QString masterName;
    QString masterOwner;
    QString masterTable;
    tableOfStatement(*session, master->GetSQL(), masterName, masterOwner, masterTable);
    if (masterTable.isEmpty())
        return refuse(SetupMasterSqlMessage);

    // A collection of the master row comes first.
    TOracleQuery keyQuery;
    keyQuery.SetSession(session);
    const QStringList keys = detail.FindKeyColumns(keyQuery, masterOwner, false, masterTable);
    if (!keys.isEmpty() && ui.selectCollectionColumn) {
        const std::vector<CollectionChoice> choices
            = CollectionChoices(ReadCollectionColumns(*session, masterOwner, masterTable));
        if (!choices.empty()) {
            QStringList entries;
            for (const CollectionChoice &choice : choices)
                entries << choice.entry;
            int index = -1;
            bool readOnly = false;
            if (!ui.selectCollectionColumn(entries, index, readOnly) || index < 0
                || index >= static_cast<int>(choices.size()))
                return { MasterDetailSetupOutcome::Cancelled, QString() };
            const std::vector<KeyColumn> keyColumns = DescribeColumns(*session, keys, masterName);
            const MasterDetailLink link = CollectionLink(
                masterName, choices[static_cast<size_t>(index)].path, readOnly, keyColumns);
            detail.DeleteVariables();
            detail.SetMasterFields(QString());
            detail.SetDetailFields(QString());
            detail.SetSQLText(link.sql);
            declareAll(detail, link.variables);
            detail.SetMasterFields(link.masterFields);
            return { MasterDetailSetupOutcome::Collection, QString() };
        }
    }

    detail.SetDetailFields(QString());
    QString detailName;
    QString detailOwner;
    QString detailTable;
    tableOfStatement(*session, detail.GetSQL(), detailName, detailOwner, detailTable);
    if (detailTable.isEmpty())
        return refuse(SetupDetailSqlMessage);

    ForeignKeyFacts facts;
    try {
        facts = ReadForeignKey(*session, detailOwner, detailTable, masterOwner, masterTable);
    } catch (const EOracleError &) {
        throw;
    } catch (const Exception &e) {
        if (e.Message() != NoForeignKeyMessage && e.Message() != SeveralForeignKeysMessage)
            throw;
        return refuse(e.Message());
    }
    const bool rewrite = ScreenConfirm(SetupConfirmMessage, QStringLiteral("YN")) == mrYes;
    detail.SetDetailFields(facts.detailColumns.join(u';'));
    detail.SetMasterFields(facts.masterColumns.join(u';'));
    if (rewrite) {
        const std::vector<KeyColumn> columns
            = DescribeColumns(*session, facts.detailColumns, detailName);
        const MasterDetailLink link = ForeignKeyLink(facts, detail.GetSQL(), columns);
        detail.DeleteVariables();
        detail.SetSQLText(link.sql);
        declareAll(detail, link.variables);
    }
    return { MasterDetailSetupOutcome::ForeignKey, QString() };
}

} // namespace qd
