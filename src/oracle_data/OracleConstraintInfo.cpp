#include "OracleConstraintInfo.h"

#include "OracleTableInfo.h"
#include "classlib/Exception.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <algorithm>

namespace qd {

namespace {

const QString rowIdVariable = QStringLiteral("zeb__rowid");

bool isConditionWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')
        || u == u'_' || u == u'$' || u == u'#' || u == u'@' || u == u'.' || u == u'"'
        || (u >= 128 && u <= 255);
}

void prepare(TOracleQuery &query)
{
    query.Close();
    query.Clear();
    query.DeleteVariables();
}

void declareString(TOracleQuery &query, const QString &name, const QString &value)
{
    query.DeclareVariable(name, SQLT_STR);
    query.SetVariable(name, value);
}

// The positions inside string literals of an upper-cased condition: a column name there is
// text, not a column. Besides 'text' (with '' for a quote) there are the alternative-quoting
// literals Q'[text]' (any delimiter; brackets close with their partner); an apostrophe inside
// a double-quoted name opens nothing.
QList<bool> literalPositions(const QString &upper)
{
    QList<bool> literal(upper.size(), false);
    const qsizetype size = upper.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = upper.at(i);
        if (c == u'"') {
            const qsizetype close = upper.indexOf(u'"', i + 1);
            i = close < 0 ? size : close + 1;
            continue;
        }
        if (c != u'\'') {
            ++i;
            continue;
        }
        // Q' (or NQ') where the Q starts a word.
        const bool alternative = i > 0 && upper.at(i - 1) == u'Q' && i + 1 < size
            && (i < 2 || !isConditionWordChar(upper.at(i - 2))
                || (upper.at(i - 2) == u'N' && (i < 3 || !isConditionWordChar(upper.at(i - 3)))));
        if (alternative) {
            const QChar open = upper.at(i + 1);
            const QChar close = open == u'[' ? QChar(u']')
                : open == u'('               ? QChar(u')')
                : open == u'{'               ? QChar(u'}')
                : open == u'<'               ? QChar(u'>')
                                             : open;
            qsizetype end = i + 2;
            while (end + 1 < size && !(upper.at(end) == close && upper.at(end + 1) == u'\''))
                ++end;
            const qsizetype last = std::min(end + 1, size - 1);
            for (qsizetype k = i + 1; k < last; ++k)
                literal[k] = true;
            i = last + 1;
            continue;
        }
        // 'text': a doubled quote inside closes and reopens, which leaves it inside.
        qsizetype k = i + 1;
        while (k < size && upper.at(k) != u'\'') {
            literal[k] = true;
            ++k;
        }
        i = k + 1;
    }
    return literal;
}

// How one key column enters a lookup of the rows that match the record's key.
enum class KeyTerm {
    Value, // the record's value, as a bind variable
    Stored, // a column the record leaves out: the stored row's own value
    Null, // the record holds a null: nothing is appended
    Unknown, // a new row leaves the column out: its value is not known yet
};

KeyTerm appendKeyTerm(TOracleQuery &query, const ConstraintCheckRecord &record,
    const QString &compared, const QString &column, QString &line)
{
    if (const ConstraintCheckField *field = record.Field(column)) {
        if (!DeclareFieldVariable(field, false, query))
            return KeyTerm::Null;
        line += compared + QStringLiteral(" = :") + column;
        return KeyTerm::Value;
    }
    if (record.inserted)
        return KeyTerm::Unknown;
    line += compared + QStringLiteral(" = (select ") + column + QStringLiteral(" from ")
        + record.updatingTable + QStringLiteral(" where rowid = :") + rowIdVariable + u')';
    return KeyTerm::Stored;
}

bool bridged(const TOracleQuery &query)
{
    return query.Session() && query.Session()->ODBCBridge();
}

} // namespace

const ConstraintCheckField *ConstraintCheckRecord::Field(const QString &name) const
{
    for (const ConstraintCheckField &field : fields)
        if (field.name.compare(name, Qt::CaseInsensitive) == 0)
            return &field;
    return nullptr;
}

bool FieldIsEmpty(const ConstraintCheckField &field)
{
    if (field.value.IsNullOrEmpty())
        return true;
    return field.isString && field.value.AsString().isEmpty();
}

bool DeclareFieldVariable(const ConstraintCheckField *field, bool force, TOracleQuery &query)
{
    if (!field)
        return false;
    if (!force && FieldIsEmpty(*field))
        return false;
    query.DeclareVariable(field->name, field->type);
    query.SetVariable(field->name, FieldIsEmpty(*field) ? Variant::Null() : field->value);
    return true;
}

QString ConditionWithBindVariables(const QString &condition, const QStringList &columns)
{
    QString result = condition;
    for (const QString &column : columns) {
        if (column.isEmpty())
            continue;
        const QString name = column.toUpper();
        QString upper = result;
        for (QChar &c : upper)
            c = c.toUpper();
        const QList<bool> literal = literalPositions(upper);
        // Edits are collected left to right and applied right to left, so that positions stay
        // valid.
        struct Edit {
            qsizetype start;
            qsizetype length;
            QString text;
        };
        QList<Edit> edits;
        qsizetype from = 0;
        for (;;) {
            const qsizetype pos = upper.indexOf(name, from);
            if (pos < 0)
                break;
            const qsizetype end = pos + name.size();
            from = end;
            if (literal.at(pos))
                continue;
            const QChar before = pos > 0 ? upper.at(pos - 1) : QChar(u' ');
            const QChar after = end < upper.size() ? upper.at(end) : QChar(u' ');
            if (!isConditionWordChar(before) && !isConditionWordChar(after)) {
                edits.append({ pos, 0, QStringLiteral(":") });
            } else if (before == u'"' && after == u'"') {
                // "NAME" becomes :NAME, the bind variable of the same name.
                const bool outerBefore = pos < 2 || !isConditionWordChar(upper.at(pos - 2));
                const bool outerAfter
                    = end + 1 >= upper.size() || !isConditionWordChar(upper.at(end + 1));
                if (outerBefore && outerAfter)
                    edits.append({ pos - 1, name.size() + 2, u':' + result.mid(pos, name.size()) });
            }
        }
        for (qsizetype i = edits.size() - 1; i >= 0; --i)
            result.replace(edits.at(i).start, edits.at(i).length, edits.at(i).text);
    }
    return result;
}

TOracleConstraintInfo::TOracleConstraintInfo(TOracleTableInfo *tableInfo, QString name)
    : m_tableInfo(tableInfo)
    , m_name(std::move(name))
{
}

void TOracleConstraintInfo::LoadDetails(TOracleQuery &query)
{
    if (m_detailsLoaded)
        return;
    m_detailsLoaded = true;
    prepare(query);
    query.SQL().Add(
        QStringLiteral("select constraint_type, r_constraint_name, r_owner, search_condition"));
    query.SQL().Add(QStringLiteral("  from sys.all_constraints"));
    query.SQL().Add(QStringLiteral(" where constraint_name = :constraint_name and owner = :owner"));
    // A bridged data source cannot run the block of a check constraint: those stay inactive.
    if (bridged(query))
        query.SQL().Add(QStringLiteral("   and constraint_type != 'C'"));
    else
        query.SQL().Add(QStringLiteral("   and status = 'ENABLED'"));
    declareString(query, QStringLiteral("constraint_name"), m_name);
    declareString(query, QStringLiteral("owner"), m_tableInfo->Owner());
    query.Execute();
    if (query.Eof()) {
        query.Close();
        return;
    }
    m_active = true;
    const QString type = query.FieldAsString(0);
    const QString referencedConstraint = query.FieldAsString(1);
    const QString referencedOwner = query.FieldAsString(2);
    const QString searchCondition = query.FieldAsString(3);
    query.Close();
    switch (type.isEmpty() ? char16_t(0) : type.at(0).unicode()) {
    case u'P':
        m_kind = ckPrimary;
        break;
    case u'U':
        m_kind = ckUnique;
        break;
    case u'R':
        m_kind = ckForeign;
        break;
    case u'C':
        m_kind = ckCheck;
        break;
    default:
        m_kind = ckUnknown;
    }
    if (m_kind == ckCheck)
        m_condition = ConditionWithBindVariables(searchCondition, m_columns);
    if (m_kind == ckForeign) {
        m_referencedOwner = referencedOwner;
        prepare(query);
        query.SQL().Add(QStringLiteral("select table_name, column_name from sys.all_cons_columns"));
        query.SQL().Add(
            QStringLiteral(" where owner = :owner and constraint_name = :constraint_name"));
        query.SQL().Add(QStringLiteral(" order by position"));
        declareString(query, QStringLiteral("owner"), referencedOwner);
        declareString(query, QStringLiteral("constraint_name"), referencedConstraint);
        query.Execute();
        while (!query.Eof()) {
            m_referencedTable = query.FieldAsString(0);
            m_referencedColumns.append(query.FieldAsString(1));
            query.Next();
        }
        query.Close();
    }
}

int TOracleConstraintInfo::Evaluate(TOracleQuery &query, const ConstraintCheckRecord &record)
{
    LoadDetails(query);
    if (!m_active)
        return 0;
    prepare(query);
    int code = 0;
    switch (m_kind) {
    case ckPrimary:
    case ckUnique:
        code = evaluateKey(query, record);
        break;
    case ckForeign:
        code = evaluateForeign(query, record);
        break;
    case ckCheck:
        code = evaluateCheck(query, record);
        break;
    default:
        break;
    }
    query.Close();
    return code;
}

int TOracleConstraintInfo::evaluateKey(TOracleQuery &query, const ConstraintCheckRecord &record)
{
    const QString &table = record.updatingTable;
    query.SQL().Add(QStringLiteral("select 'x' from ") + table);
    bool rowIdNeeded = !record.inserted;
    bool allEmpty = true;
    for (int i = 0; i < m_columns.size(); ++i) {
        const QString &column = m_columns.at(i);
        QString line;
        if (i > 0)
            line = QStringLiteral("and ");
        else if (record.inserted)
            line = QStringLiteral("where ");
        else
            line = QStringLiteral("where rowid <> :zeb__rowid") + QStringLiteral("\r\n")
                + QStringLiteral("and ");
        switch (appendKeyTerm(query, record, column, column, line)) {
        case KeyTerm::Value:
            allEmpty = false;
            break;
        case KeyTerm::Null:
            line += column + QStringLiteral(" is null");
            break;
        case KeyTerm::Stored:
            rowIdNeeded = true;
            break;
        case KeyTerm::Unknown:
            return 0;
        }
        query.SQL().Add(line);
    }
    // A key that is entirely null is never a duplicate.
    if (allEmpty)
        return 0;
    if (rowIdNeeded)
        declareString(query, rowIdVariable, record.rowId);
    query.Execute();
    return query.Eof() ? 0 : 1;
}

int TOracleConstraintInfo::evaluateForeign(TOracleQuery &query, const ConstraintCheckRecord &record)
{
    query.SQL().Add(
        QStringLiteral("select 'x' from ") + m_referencedOwner + u'.' + m_referencedTable);
    bool rowIdNeeded = false;
    bool allEmpty = true;
    for (int i = 0; i < m_referencedColumns.size(); ++i) {
        if (i >= m_columns.size())
            return 0; // the dictionary's column lists disagree: nothing sound to check
        const QString &referenced = m_referencedColumns.at(i);
        const QString &column = m_columns.at(i);
        QString line = i == 0 ? QStringLiteral("where ") : QStringLiteral("and ");
        switch (appendKeyTerm(query, record, referenced, column, line)) {
        case KeyTerm::Value:
            allEmpty = false;
            break;
        case KeyTerm::Stored:
            rowIdNeeded = true;
            break;
        case KeyTerm::Null:
            // A foreign key with a null column is satisfied whatever its other columns hold, as
            // the server judges it; a parent with a null key column never exists.
        case KeyTerm::Unknown:
            return 0;
        }
        query.SQL().Add(line);
    }
    if (allEmpty)
        return 0;
    if (rowIdNeeded)
        declareString(query, rowIdVariable, record.rowId);
    query.Execute();
    return query.Eof() ? 2291 : 0;
}

int TOracleConstraintInfo::evaluateCheck(TOracleQuery &query, const ConstraintCheckRecord &record)
{
    query.SQL().Add(QStringLiteral("begin"));
    QStringList columnList;
    QStringList intoList;
    for (const QString &column : m_columns) {
        if (const ConstraintCheckField *field = record.Field(column)) {
            DeclareFieldVariable(field, true, query);
            continue;
        }
        if (record.inserted)
            return 0;
        const TOracleColumnInfo *info = m_tableInfo->FindColumn(column);
        if (!info)
            return 0;
        query.DeclareVariable(column, info->dataType);
        columnList.append(column);
        intoList.append(u':' + column);
    }
    const bool select = !columnList.isEmpty();
    if (select) {
        query.SQL().Add(QStringLiteral("  select ") + columnList.join(QStringLiteral(", "))
            + QStringLiteral(" into ") + intoList.join(QStringLiteral(", "))
            + QStringLiteral(" from ") + record.updatingTable
            + QStringLiteral(" where rowid = :zeb__rowid;"));
        declareString(query, rowIdVariable, record.rowId);
    }
    query.SQL().Add(QStringLiteral("  if not (") + m_condition + QStringLiteral(") then"));
    query.SQL().Add(QStringLiteral("    :error := 2290;"));
    query.SQL().Add(QStringLiteral("  else"));
    query.SQL().Add(QStringLiteral("    :error := 0;"));
    query.SQL().Add(QStringLiteral("  end if;"));
    if (select) {
        query.SQL().Add(QStringLiteral("exception"));
        query.SQL().Add(QStringLiteral("  when others then :error := 0;"));
    }
    query.SQL().Add(QStringLiteral("end;"));
    query.DeclareVariable(QStringLiteral("error"), SQLT_INT);
    query.Execute();
    const Variant error = query.GetVariable(QStringLiteral("error"));
    return error.IsNullOrEmpty() ? 0 : static_cast<int>(error.AsInteger());
}

QString TOracleConstraintInfo::ViolationMessage(TOracleQuery &query, int code) const
{
    TOracleSession *session = query.Session();
    if (!session)
        throw Exception(QStringLiteral("Session undefined"));
    if (session->ODBCBridge()) {
        const QString bridgeText = m_kind == ckForeign
            ? QStringLiteral("[POL-5143] integrity constraint violation")
            : QStringLiteral("[POL-3220] duplicate keys in unique/primary index");
        return session->ErrorText(BridgedViolationCode) + bridgeText;
    }
    QString msg = session->ErrorText(code);
    const qsizetype close = msg.indexOf(u')');
    const qsizetype open = msg.indexOf(u'(');
    if (open >= 0 && close > open)
        msg.replace(open + 1, close - open - 1, m_tableInfo->Owner() + u'.' + m_name);
    return msg;
}

void TOracleConstraintInfo::Check(
    TOracleQuery &query, const ConstraintCheckRecord &record, const TViolationTranslator &translate)
{
    const int code = Evaluate(query, record);
    if (code <= 0)
        return;
    const QChar action = record.inserted ? u'I' : u'U';
    QString msg = ViolationMessage(query, code);
    const int reported = bridged(query) ? BridgedViolationCode : code;
    if (translate)
        msg = translate(action, reported, msg);
    throw EDatabaseError(msg);
}

QString TOracleConstraintInfo::SingleEditableColumn(const ConstraintCheckRecord &record) const
{
    QString name;
    for (const QString &column : m_columns) {
        const ConstraintCheckField *field = record.Field(column);
        if (!field || !field->editable)
            continue;
        if (!name.isEmpty())
            return QStringLiteral("*");
        name = column;
    }
    return name;
}

} // namespace qd
