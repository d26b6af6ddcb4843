#include "EditStatement.h"

#include "DataSetStatementText.h"
#include "EditValueComparison.h"
#include "classlib/Exception.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSqlText.h"

namespace qd {

namespace {

const QString rowIdName = QString::fromLatin1(RowIdVariable);

QString valueVariable(const EditColumn &column)
{
    return QString::fromLatin1(ValueVariablePrefix) + QString::number(column.index);
}

bool isLob(int type)
{
    return type == SQLT_CLOB || type == SQLT_BLOB;
}

QString emptyLob(int type)
{
    return type == SQLT_CLOB ? QStringLiteral("empty_clob()") : QStringLiteral("empty_blob()");
}

void addVariable(QList<EditBindVariable> &variables, const QString &name, int type,
    const Variant &value, bool boundLocator = false)
{
    for (EditBindVariable &v : variables) {
        if (v.name.compare(name, Qt::CaseInsensitive) == 0) {
            v = EditBindVariable { name, type, value, boundLocator };
            return;
        }
    }
    variables.append(EditBindVariable { name, type, value, boundLocator });
}

bool hasVariable(const QList<EditBindVariable> &variables, const QString &name)
{
    for (const EditBindVariable &v : variables)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The text a null column gets: for an insert its default first, then an empty LOB when the
// session asks for one, else "null".
QString nullValueText(const EditColumn &column, const EditStatementOptions &options, bool insert)
{
    if (insert && !column.defaultText.trimmed().isEmpty())
        return column.defaultText;
    if (isLob(column.type) && options.nullLobIsEmpty && !column.noLobDefault)
        return emptyLob(column.type);
    return QStringLiteral("null");
}

struct Returning {
    QStringList columns;
    QStringList variables;
};

// The value text of a column, declaring what it binds.
QString valueText(const EditColumn &column, const EditStatementOptions &options, bool insert,
    EditStatement &statement, Returning &returning)
{
    if (IsEditValueNull(column.newValue, options.trimStringFields))
        return nullValueText(column, options, insert);
    const QString variable = valueVariable(column);
    if (column.isXml) {
        addVariable(statement.variables, variable, column.type, column.newValue);
        return QStringLiteral("sys.xmltype.createxml(:") + variable + u')';
    }
    if (isLob(column.type) && !options.temporaryLobs) {
        // The row gets an empty LOB and hands back its locator; the data follows through it.
        returning.columns.append(column.column);
        returning.variables.append(u':' + variable);
        addVariable(statement.variables, variable, column.type, Variant(), true);
        statement.lobWrites.append(EditLobWrite { column.index, variable, column.type, false });
        return emptyLob(column.type);
    }
    if (isLob(column.type)) {
        // The value travels in a temporary LOB the caller fills and binds.
        addVariable(statement.variables, variable, column.type, Variant(), true);
        statement.lobWrites.append(EditLobWrite { column.index, variable, column.type, true });
        return u':' + variable;
    }
    addVariable(statement.variables, variable, column.type, column.newValue);
    return u':' + variable;
}

void addReturning(EditStatement &statement, Returning &returning, const EditRowIdentity &row,
    const EditStatementOptions &options)
{
    if (options.oci8Mode && !row.uniqueFieldsSet) {
        returning.columns.append(QStringLiteral("rowid"));
        returning.variables.append(u':' + rowIdName);
        if (!hasVariable(statement.variables, rowIdName))
            addVariable(statement.variables, rowIdName, SQLT_STR, Variant::Null());
    }
    if (returning.columns.isEmpty())
        return;
    statement.lines.append(QStringLiteral("returning ")
        + returning.columns.join(QStringLiteral(", ")) + QStringLiteral(" into ")
        + returning.variables.join(QStringLiteral(", ")));
}

bool keyIsNull(const EditKeyField &key)
{
    if (key.value.IsNullOrEmpty())
        return true;
    return key.isString && key.value.AsString().isEmpty();
}

} // namespace

void AddUsedVariables(EditStatement &statement, const QList<EditBindVariable> &dataSetVariables)
{
    const TStringList used = FindVariables(statement.lines.join(u'\n'), false);
    for (const EditBindVariable &v : dataSetVariables) {
        QString name = v.name;
        if (name.startsWith(u':'))
            name.remove(0, 1);
        if (name.compare(rowIdName, Qt::CaseInsensitive) != 0 && used.IndexOf(name.toUpper()) >= 0)
            addVariable(statement.variables, name, v.type, v.value);
    }
}

QString SetLockPointStatement()
{
    return QStringLiteral("savepoint ") + QString::fromLatin1(LockPointName);
}

QString RollbackToLockPointStatement()
{
    return QStringLiteral("rollback to savepoint ") + QString::fromLatin1(LockPointName);
}

QString MissingRowIdMessage(const QString &action)
{
    return action + QStringLiteral(" cannot be performed without a rowid.") + QStringLiteral("\r\n")
        + QStringLiteral("Provide a rowid in the query or handle this action in the "
                         "OnApplyRecord event");
}

void EditStatement::AddLinesTo(TOracleQuery &query) const
{
    for (const QString &line : lines)
        query.SQL().Add(line);
}

void EditStatement::DeclareOn(TOracleQuery &query) const
{
    for (const EditBindVariable &v : variables) {
        query.DeclareVariable(v.name, v.type);
        if (!v.boundLocator)
            query.SetVariable(v.name, v.value);
    }
}

const EditBindVariable *EditStatement::Variable(const QString &name) const
{
    for (const EditBindVariable &v : variables)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    return nullptr;
}

QString BuildRowCondition(const EditRowIdentity &row, QList<EditBindVariable> &variables)
{
    if (!row.uniqueFieldsSet) {
        addVariable(variables, rowIdName, SQLT_STR, row.rowId);
        return QStringLiteral("where rowid = :") + rowIdName;
    }
    if (row.keys.isEmpty())
        throw EDatabaseError(QStringLiteral("No UniqueFields are present in dataset"));
    QString line = QStringLiteral("where ");
    for (int i = 0; i < row.keys.size(); ++i) {
        const EditKeyField &key = row.keys.at(i);
        if (i > 0)
            line += QStringLiteral("\r\nand ");
        if (keyIsNull(key)) {
            line += key.name + QStringLiteral(" is null");
        } else {
            const QString variable
                = QString::fromLatin1(KeyVariablePrefix) + QString::number(i + 1);
            line += key.name + QStringLiteral(" = :") + variable;
            addVariable(variables, variable, key.type, key.value);
        }
    }
    return line;
}

EditStatement BuildUpdateStatement(const QList<EditColumn> &columns, const EditRowIdentity &row,
    const EditStatementOptions &options)
{
    EditStatement statement;
    Returning returning;
    QStringList assignments;
    for (const EditColumn &column : columns) {
        if (!column.dataField
            || SameEditValue(column.type, column.newValue, column.oldValue, column.fieldSize))
            continue;
        assignments.append(column.column + QStringLiteral(" = ")
            + valueText(column, options, false, statement, returning));
    }
    if (assignments.isEmpty()) {
        statement = EditStatement();
        statement.nothingToSend = true;
        return statement;
    }
    statement.lines.append(QStringLiteral("update ") + options.updatingTable);
    statement.lines.append(QStringLiteral("set ") + assignments.join(QStringLiteral(", ")));
    statement.lines.append(BuildRowCondition(row, statement.variables));
    addReturning(statement, returning, row, options);
    return statement;
}

EditStatement BuildInsertStatement(const QList<EditColumn> &columns, const EditRowIdentity &row,
    const EditStatementOptions &options)
{
    EditStatement statement;
    bool allNull = true;
    for (const EditColumn &column : columns)
        if (column.dataField && !IsEditValueNull(column.newValue, options.trimStringFields))
            allNull = false;
    if (allNull) {
        // Sending it would store a row the user never filled in.
        statement.nothingToSend = true;
        return statement;
    }
    Returning returning;
    QStringList names;
    QStringList values;
    for (const EditColumn &column : columns) {
        if (!column.dataField)
            continue;
        if (IsEditValueNull(column.newValue, options.trimStringFields)
            && nullValueText(column, options, true) == QLatin1String("null"))
            continue; // left out, so that the server's column default applies
        names.append(column.column);
        values.append(valueText(column, options, true, statement, returning));
    }
    statement.lines.append(QStringLiteral("insert into ") + options.updatingTable);
    statement.lines.append(QStringLiteral("  (") + names.join(QStringLiteral(", ")) + u')');
    statement.lines.append(QStringLiteral("values"));
    statement.lines.append(QStringLiteral("  (") + values.join(QStringLiteral(", ")) + u')');
    addReturning(statement, returning, row, options);
    return statement;
}

EditStatement BuildDeleteStatement(const EditRowIdentity &row, const QString &updatingTable)
{
    if (row.rowId.trimmed().isEmpty())
        throw Exception(MissingRowIdMessage(QStringLiteral("A delete")));
    EditStatement statement;
    statement.lines.append(QStringLiteral("delete from ") + updatingTable);
    statement.lines.append(BuildRowCondition(row, statement.variables));
    return statement;
}

EditStatement BuildRowIdLookup(const QList<EditKeyField> &keys, const QString &updatingTable)
{
    EditStatement statement;
    statement.lines.append(
        QStringLiteral("select rowid from ") + updatingTable + QStringLiteral(" where"));
    // A key variable is named after its field, unless the updating table text (a collection
    // expression) binds a variable of that name: the key's value must not take its place.
    const TStringList tableVariables = FindVariables(updatingTable, false);
    for (int i = 0; i < keys.size(); ++i) {
        const EditKeyField &key = keys.at(i);
        QString line = (i > 0 ? QStringLiteral("and ") : QString()) + key.name;
        if (keyIsNull(key)) {
            line += QStringLiteral(" is null");
        } else {
            const QString variable = tableVariables.IndexOf(key.name.toUpper()) < 0
                ? key.name
                : QString::fromLatin1(KeyVariablePrefix) + QString::number(i + 1);
            line += QStringLiteral(" = :") + variable;
            addVariable(statement.variables, variable, key.type, key.value);
        }
        statement.lines.append(line);
    }
    return statement;
}

QString DetermineRowId(TOracleQuery &query, const QList<EditKeyField> &keys,
    const QString &updatingTable, const std::function<void(TOracleQuery &)> &declareTableVariables)
{
    if (keys.isEmpty())
        return QString();
    const EditStatement statement = BuildRowIdLookup(keys, updatingTable);
    query.Clear();
    query.DeleteVariables();
    statement.AddLinesTo(query);
    if (declareTableVariables)
        declareTableVariables(query);
    statement.DeclareOn(query);
    query.Execute();
    if (query.Eof())
        throw Exception(QStringLiteral("Error determining ROWID: no record found"));
    const QString rowId = query.FieldAsString(0);
    query.Next();
    const bool more = !query.Eof();
    query.Close();
    if (more)
        throw Exception(QStringLiteral("Error determining ROWID: more than one record found"));
    return rowId;
}

EditStatement BuildRecordSelect(const RecordSelectRequest &request)
{
    if (request.rowId.trimmed().isEmpty())
        throw Exception(MissingRowIdMessage(QStringLiteral("A lock, refresh or check")));
    EditStatement statement;
    addVariable(statement.variables, rowIdName, SQLT_STR, request.rowId);
    if (!request.allFields) {
        statement.lines.append(QStringLiteral("select * from ") + request.updatingTable
            + QStringLiteral(" where rowid = :") + rowIdName);
        if (request.lock)
            statement.lines.append(QStringLiteral("for update nowait"));
        // A collection expression may name the dataset's variables ("where m.no = :no").
        AddUsedVariables(statement, request.dataSetVariables);
        return statement;
    }

    QString text = request.sql;
    const qsizetype marker = text.indexOf(QLatin1String("/* END_REFRESH */"));
    if (marker >= 0) {
        text.truncate(marker);
        while (!text.isEmpty() && text.back().isSpace())
            text.chop(1);
    }
    QString head;
    QString where;
    QString tail;
    QString keyword;
    SplitStatement(text, head, where, tail, keyword);
    const QString rowTest = request.rowReference + QStringLiteral(".rowid = :") + rowIdName;
    statement.lines.append(head);
    if (!where.isEmpty()) {
        statement.lines.append(keyword + QStringLiteral(" (") + where + u')'
            + QStringLiteral("\r\n") + QStringLiteral("and") + QStringLiteral("\r\n") + u'('
            + rowTest + u')');
    } else {
        statement.lines.append(keyword + u' ' + rowTest);
    }
    if (request.lock) {
        if (request.firstDataField.isEmpty())
            throw Exception(request.componentName + QStringLiteral(": No data fields"));
        statement.lines.append(QStringLiteral("for update of ") + request.rowReference + u'.'
            + request.firstDataField + QStringLiteral(" nowait"));
    }
    AddUsedVariables(statement, request.dataSetVariables);
    return statement;
}

} // namespace qd
