#include "CollectionUpdatingTable.h"

#include "UpdatingTable.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSqlText.h"

namespace qd {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#';
}

// A keyword of the inner select where it counts: outside literals, quoted names and nested
// parentheses.
struct Keyword {
    QString word; // upper-cased
    qsizetype start = 0;
    qsizetype end = 0;
};

// The top-level words of text; false when its quotes or parentheses do not balance.
bool topLevelWords(const QString &text, QList<Keyword> &words)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\'' || c == u'"') {
            i = text.indexOf(c, i + 1);
            if (i < 0)
                return false;
        } else if (c == u'(') {
            const qsizetype close = ClosingParenthesis(text, i);
            if (close < 0)
                return false;
            i = close - 1;
        } else if (c == u')') {
            return false;
        } else if (isWordChar(c) && (i == 0 || !isWordChar(text.at(i - 1)))) {
            qsizetype end = i;
            while (end < text.size() && isWordChar(text.at(end)))
                ++end;
            words.append({ text.mid(i, end - i).toUpper(), i, end });
            i = end - 1;
        }
    }
    return true;
}

// The column's path without the master table's alias (or name) in front.
QString pathOf(const QString &selectText, const QString &fromText)
{
    QString path = selectText.toUpper();
    path.remove(u'"');
    path.remove(u' ');
    path.remove(u'\t');
    path.remove(u'\r');
    path.remove(u'\n');
    const QStringList from = fromText.toUpper().remove(u'"').simplified().split(u' ');
    const QString qualifier = from.last() + u'.';
    if (path.startsWith(qualifier))
        path.remove(0, qualifier.size());
    return path;
}

} // namespace

CollectionUpdatingTable AnalyseCollectionTable(const QString &updatingTable)
{
    CollectionUpdatingTable result;
    const QString text = updatingTable.trimmed();
    if (!IsCollectionTable(text))
        return result;
    const qsizetype open = text.indexOf(u'(');
    const QString word = text.left(open).trimmed().toUpper();
    if (word != QLatin1String("TABLE") && word != QLatin1String("THE"))
        return result;
    // The parenthesis that ends the text must close the one after the word.
    const QString inner = RemoveComments(text.mid(open + 1, text.size() - open - 2));
    QList<Keyword> words;
    if (!topLevelWords(inner, words) || words.isEmpty() || words.first().start != 0
        || words.first().word != QLatin1String("SELECT"))
        return result;
    const Keyword *from = nullptr;
    const Keyword *where = nullptr;
    for (const Keyword &w : words) {
        if (!from && w.word == QLatin1String("FROM"))
            from = &w;
        else if (from && w.word == QLatin1String("WHERE")) {
            where = &w;
            break;
        }
    }
    if (!from || !where)
        return result;
    result.selectText = inner.mid(words.first().end, from->start - words.first().end).trimmed();
    result.fromText = inner.mid(from->end, where->start - from->end).trimmed();
    result.whereText = inner.mid(where->end).trimmed();
    if (result.selectText.isEmpty() || result.fromText.isEmpty() || result.whereText.isEmpty())
        return result;
    result.path = pathOf(result.selectText, result.fromText);
    result.valid = true;
    return result;
}

QString EmptyCollectionConstructor(const QString &typeName, const QString &user)
{
    QString name = typeName.trimmed();
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0 && (dot == 0 || name.left(dot) == user))
        name.remove(0, dot + 1);
    return name + QStringLiteral("()");
}

void DescribeCollectionTable(TOracleQuery &query, const CollectionUpdatingTable &table,
    QList<CollectionColumn> &columns, QStringList &attributes)
{
    columns.clear();
    attributes.clear();
    if (!table.valid)
        return;
    // Only the statement's shape is asked for: no row is read and no variable is needed.
    query.Clear();
    query.DeleteVariables();
    query.SQL().SetText(
        QStringLiteral("select ") + table.selectText + QStringLiteral(" from ") + table.fromText);
    query.Describe();
    if (query.FieldCount() != 1 || query.FieldType(0) != SQLT_NTY
        || query.FieldTypeName(0).isEmpty())
        return;
    const QString typeName = query.FieldTypeName(0);
    QString user;
    if (typeName.indexOf(u'.') > 0) {
        query.Clear();
        query.SQL().SetText(QStringLiteral("select user from dual"));
        query.Execute();
        user = query.Eof() ? QString() : query.FieldAsString(0);
    }

    // The elements as the collection expression shows them: one column per attribute.
    query.Clear();
    query.SQL().SetText(QStringLiteral("select * from table(select ") + table.selectText
        + QStringLiteral(" from ") + table.fromText + QStringLiteral(")"));
    query.Describe();
    for (int i = 0; i < query.FieldCount(); ++i)
        attributes.append(query.FieldName(i));
    query.Clear();
    columns.append({ table.selectText, EmptyCollectionConstructor(typeName, user) });
}

EditStatement BuildEmptyCollectionBlock(const CollectionUpdatingTable &table,
    const QList<CollectionColumn> &columns, const QList<EditBindVariable> &dataSetVariables)
{
    EditStatement statement;
    if (!table.valid || columns.isEmpty()) {
        statement.nothingToSend = true;
        return statement;
    }
    statement.lines.append(QStringLiteral("begin"));
    for (const CollectionColumn &c : columns) {
        statement.lines.append(QStringLiteral("  update ") + table.fromText);
        statement.lines.append(
            QStringLiteral("  set ") + c.column + QStringLiteral(" = ") + c.constructor);
        statement.lines.append(QStringLiteral("  where ") + c.column + QStringLiteral(" is null"));
        statement.lines.append(QStringLiteral("  and (") + table.whereText + QStringLiteral(");"));
    }
    statement.lines.append(QStringLiteral("end;"));
    AddUsedVariables(statement, dataSetVariables);
    return statement;
}

} // namespace qd
