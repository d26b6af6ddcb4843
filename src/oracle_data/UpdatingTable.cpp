#include "UpdatingTable.h"

#include "classlib/Exception.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleSqlText.h"

namespace qd {

namespace {

// Characters a table reference is made of; "(" only where inline views and collection
// expressions matter.
bool isIdentifierChar(QChar c, bool withParenthesis)
{
    const char16_t u = c.unicode();
    if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9'))
        return true;
    if (u == u'_' || u == u'$' || u == u'#' || u == u'@' || u == u'"' || u == u'.')
        return true;
    if (u == u'(')
        return withParenthesis;
    return u >= 128 && (u <= 255 || c.isLetterOrNumber());
}

// Upper-cased, one character for one, so that positions agree with the source text.
QString upperSameLength(const QString &text)
{
    QString result = text;
    for (QChar &c : result)
        c = c.toUpper();
    return result;
}

// The text upper-cased with every character outside the identifier set (with "(") blanked, and
// string literals blanked whole: a FROM inside a literal is text.
QString blanked(const QString &text)
{
    QString result = upperSameLength(text);
    bool literal = false;
    for (QChar &c : result) {
        if (c == u'\'')
            literal = !literal;
        if (literal || !isIdentifierChar(c, true))
            c = u' ';
    }
    return result;
}

qsizetype skipBlanks(const QString &text, qsizetype pos)
{
    while (pos < text.size() && text.at(pos) == u' ')
        ++pos;
    return pos;
}

// Position just after the FROM keyword of " FROM " (or " FROM(" when there is none), -1 when
// neither occurs.
qsizetype afterFrom(const QString &text)
{
    qsizetype p = text.indexOf(QLatin1String(" FROM "));
    if (p < 0)
        p = text.indexOf(QLatin1String(" FROM("));
    return p < 0 ? -1 : p + 5;
}

} // namespace

// From the "(" at open, the position just after the ")" that closes it; parentheses inside
// single or double quotes do not count. -1 when they do not balance.
qsizetype ClosingParenthesis(const QString &text, qsizetype open)
{
    int depth = 0;
    QChar quote;
    for (qsizetype i = open; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            if (--depth == 0)
                return i + 1;
        }
    }
    return -1;
}

QString UpdatingTableNameOf(const QString &sql, const QString &updatingTable, bool cursorDataSet)
{
    if (!updatingTable.trimmed().isEmpty()) {
        // A collection expression is SQL in its own right: its literals and quoted names keep
        // their case.
        if (IsCollectionTable(updatingTable))
            return updatingTable.trimmed();
        QString name = updatingTable.toUpper();
        name.remove(u'"');
        return name;
    }
    if (cursorDataSet)
        throw Exception(QStringLiteral("UpdatingTable property required for cursor dataset"));

    // A leading blank lets " FROM " match a statement that starts with its FROM clause.
    QString original = u' ' + RemoveComments(sql);
    QString text = blanked(original);
    for (;;) {
        const qsizetype from = afterFrom(text);
        if (from < 0)
            return QString();
        const qsizetype pos = skipBlanks(text, from);
        if (pos < text.size() && text.at(pos) == u'(') {
            // An inline view: the table is the one its own FROM clause names.
            original = original.mid(pos);
            text = text.mid(pos);
            // The "(" itself stands in for the blank before the inner keyword's search.
            original[0] = u' ';
            text[0] = u' ';
            continue;
        }
        qsizetype end = pos;
        while (end < text.size() && isIdentifierChar(text.at(end), false))
            ++end;
        const QString word = text.mid(pos, end - pos);
        if (word == QLatin1String("TABLE") || word == QLatin1String("THE")) {
            // The word stays part of the name: the statements write to "table(...)", and the
            // name tells a collection from a table.
            const qsizetype open = original.indexOf(u'(', end);
            const qsizetype close = open < 0 ? -1 : ClosingParenthesis(original, open);
            return close < 0 ? QString() : original.mid(pos, close - pos);
        }
        QString name = word;
        name.remove(u'"');
        return name;
    }
}

UpdatingTableReference UpdatingTableAliasOf(const QString &sql, const QString &tableName)
{
    UpdatingTableReference result;
    const QString original = u' ' + RemoveComments(sql);
    const QString upper = upperSameLength(original);
    const QString text = blanked(original);
    const qsizetype from = afterFrom(text);
    if (from < 0)
        return result;
    qsizetype pos = skipBlanks(text, from);
    qsizetype wordEnd = pos;
    while (wordEnd < text.size() && isIdentifierChar(text.at(wordEnd), false))
        ++wordEnd;
    const QString word = text.mid(pos, wordEnd - pos);
    const qsizetype open = skipBlanks(text, wordEnd);
    if (pos < text.size() && text.at(pos) == u'(') {
        const qsizetype close = upper.indexOf(u')', pos);
        pos = close < 0 ? text.size() : close + 1;
    } else if ((word == QLatin1String("TABLE") || word == QLatin1String("THE"))
        && open < text.size() && text.at(open) == u'(') {
        // A collection expression: its alias follows the parenthesis that closes it.
        const qsizetype close = ClosingParenthesis(original, open);
        if (close < 0)
            return result;
        result.written = original.mid(pos, close - pos);
        pos = close;
    } else {
        // The name token: up to a blank, tab, line break or comma (all blanked in text), so an
        // owner prefix, quotes and a database link stay part of it.
        qsizetype end = pos;
        while (end < text.size() && text.at(end) != u' ')
            ++end;
        QString written = original.mid(pos, end - pos);
        // A closing parenthesis glued to the name (a FROM inside an inline view) is not part
        // of it.
        const qsizetype paren = written.indexOf(u')');
        if (paren >= 0)
            written.truncate(paren);
        result.written = written;
        if (written.isEmpty() && !tableName.isEmpty())
            result.written = tableName;
        pos = end;
    }
    // Only white space may stand between the table and its alias: after a comma the next
    // identifier is another table of the FROM list, not an alias.
    while (pos < upper.size() && upper.at(pos).isSpace())
        ++pos;
    qsizetype end = pos;
    while (end < text.size() && isIdentifierChar(text.at(end), false))
        ++end;
    const QString alias = text.mid(pos, end - pos);
    static const QStringList notAliases
        = { QStringLiteral("WHERE"), QStringLiteral("ORDER"), QStringLiteral("GROUP"),
              QStringLiteral("FOR"), QStringLiteral("START"), QStringLiteral("CONNECT") };
    if (!notAliases.contains(alias))
        result.alias = alias;
    return result;
}

QString RowReference(const UpdatingTableReference &reference, const QString &tableName)
{
    if (!reference.alias.isEmpty())
        return reference.alias;
    if (!reference.written.isEmpty())
        return reference.written;
    return tableName;
}

bool IsCollectionTable(const QString &updatingTable)
{
    const QString t = updatingTable.trimmed().toUpper();
    return (t.startsWith(QLatin1String("TABLE")) || t.startsWith(QLatin1String("THE")))
        && t.endsWith(u')');
}

void SplitTableName(TOracleSession &session, const QString &name, QString &owner, QString &table)
{
    if (IsCollectionTable(name)) {
        // A collection expression names no table the dictionary knows: its dots are no owner.
        owner.clear();
        table.clear();
        return;
    }
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0) {
        owner = name.left(dot).toUpper();
        table = name.mid(dot + 1).toUpper();
        return;
    }
    owner.clear();
    table.clear();
    TOracleQuery query;
    query.SetSession(&session);
    query.DeclareVariable(QStringLiteral("name"), SQLT_STR);
    query.SetVariable(QStringLiteral("name"), name.toUpper());
    query.DeclareVariable(QStringLiteral("table_owner"), SQLT_STR);
    query.DeclareVariable(QStringLiteral("table_name"), SQLT_STR);
    static const char *const lines[] = {
        "begin",
        "  begin",
        "    select user, table_name into :table_owner, :table_name",
        "      from sys.user_tables where table_name = :name;",
        "  exception when no_data_found then",
        "    begin",
        "      select user, view_name into :table_owner, :table_name",
        "        from sys.user_views where view_name = :name;",
        "    exception when no_data_found then",
        "      begin",
        "        select table_owner, table_name into :table_owner, :table_name",
        "          from sys.user_synonyms where synonym_name = :name;",
        "      exception when no_data_found then",
        "        begin",
        "          select table_owner, table_name into :table_owner, :table_name",
        "            from sys.all_synonyms where owner = 'PUBLIC' and synonym_name = :name;",
        "        exception when no_data_found then",
        "          :table_owner := null; :table_name := null;",
        "        end;",
        "      end;",
        "    end;",
        "  end;",
        "end;",
    };
    for (const char *line : lines)
        query.SQL().Add(QString::fromLatin1(line));
    query.Execute();
    owner = query.GetVariable(QStringLiteral("table_owner")).AsString();
    table = query.GetVariable(QStringLiteral("table_name")).AsString();
}

QStringList FindKeyColumns(TOracleQuery &query, const QString &owner, const QString &table)
{
    QStringList columns;
    query.Clear();
    query.DeleteVariables();
    query.SQL().Add(QStringLiteral("select constraint_name from all_constraints"));
    query.SQL().Add(QStringLiteral("where owner = :owner and table_name = :table_name"));
    query.SQL().Add(QStringLiteral("and constraint_type in ('P', 'U')"));
    query.SQL().Add(QStringLiteral("order by constraint_type"));
    query.DeclareVariable(QStringLiteral("owner"), SQLT_STR);
    query.DeclareVariable(QStringLiteral("table_name"), SQLT_STR);
    query.SetVariable(QStringLiteral("owner"), owner);
    query.SetVariable(QStringLiteral("table_name"), table);
    query.Execute();
    if (query.Eof())
        return columns;
    // The primary key sorts first; of several unique keys the first one serves.
    const QString constraint = query.FieldAsString(0);
    query.Close();
    query.SQL().Clear();
    query.SQL().Add(QStringLiteral("select column_name from all_cons_columns"));
    query.SQL().Add(QStringLiteral("where owner = :owner and table_name = :table_name"));
    query.SQL().Add(QStringLiteral("and constraint_name = :constraint_name"));
    query.SQL().Add(QStringLiteral("order by position"));
    query.DeclareVariable(QStringLiteral("constraint_name"), SQLT_STR);
    query.SetVariable(QStringLiteral("constraint_name"), constraint);
    query.Execute();
    while (!query.Eof()) {
        columns.append(query.FieldAsString(0));
        query.Next();
    }
    query.Close();
    return columns;
}

QStringList DetermineKeyFields(
    TOracleSession &session, const QString &uniqueFields, const QString &updatingTableName)
{
    QStringList keys;
    if (!uniqueFields.trimmed().isEmpty()) {
        for (const QString &part : uniqueFields.split(u';')) {
            const QString name = part.trimmed();
            if (!name.isEmpty())
                keys.append(name);
        }
    } else if (!updatingTableName.isEmpty()) {
        QString owner;
        QString table;
        SplitTableName(session, updatingTableName, owner, table);
        if (!table.isEmpty()) {
            TOracleQuery query;
            query.SetSession(&session);
            keys = FindKeyColumns(query, owner, table);
        }
    }
    if (keys.isEmpty())
        throw EDatabaseError(QStringLiteral("Primary or Unique key columns must be included"));
    return keys;
}

} // namespace qd
