#include "oracle_data/QBEStatement.h"

#include "oracle_data/DataSetStatementText.h"

namespace qd {

namespace {

const QString lineBreak = QStringLiteral("\r\n");

} // namespace

void AddQBEPredicate(QString &condition, const QBECondition &item)
{
    if (item.term.isEmpty())
        return;
    if (!condition.isEmpty())
        condition += lineBreak + QStringLiteral("and ");
    if (item.negate) {
        condition += QStringLiteral("not (") + item.column + u' ' + item.term + u')';
        if (item.term != QLatin1String("is null"))
            condition += QStringLiteral(" or ") + item.column + QStringLiteral(" is null");
    } else {
        condition += u'(' + item.column + u' ' + item.term + u')';
    }
}

QString BuildQBECondition(const std::vector<QBECondition> &items)
{
    QString condition;
    for (const QBECondition &item : items)
        AddQBEPredicate(condition, item);
    return condition;
}

QStringList MergeQBECondition(const QString &statement, const QString &condition)
{
    QString head, where, tail, keyword;
    SplitStatement(statement, head, where, tail, keyword);
    QStringList lines;
    lines.append(head);
    if (!where.isEmpty())
        lines.append(keyword + QStringLiteral(" (") + where + u')' + lineBreak
            + QStringLiteral("and") + lineBreak + u'(' + condition + u')');
    else
        lines.append(keyword + u' ' + condition);
    lines.append(tail);
    lines.append(QString::fromUtf16(QBEMarkerLine));
    return lines;
}

bool HasQBEMarker(const QStringList &lines)
{
    return !lines.isEmpty() && lines.last() == QStringView(QBEMarkerLine);
}

bool IsQBEVariableName(const QString &name)
{
    return name.startsWith(QStringView(QBEVariablePrefix), Qt::CaseSensitive);
}

bool TQBEStatement::Apply(QStringList &sql, const QString &condition,
    const std::function<QString(const QStringList &)> &statementOf)
{
    Remove(sql);
    m_saved = sql;
    m_hasSaved = true;
    if (condition.isEmpty())
        return false;
    const QString statement = statementOf ? statementOf(sql) : sql.join(lineBreak);
    sql = MergeQBECondition(statement, condition);
    m_applied = true;
    return true;
}

bool TQBEStatement::Remove(QStringList &sql)
{
    m_applied = false;
    // Lines that end with the marker but were never rewritten here (read that way from a saved
    // form, say) have nothing to go back to; keep them rather than lose the statement.
    if (!m_hasSaved || !HasQBEMarker(sql))
        return false;
    sql = m_saved;
    return true;
}

} // namespace qd
