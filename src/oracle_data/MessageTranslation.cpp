#include "MessageTranslation.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace qd {

QString ConstraintNameFromMessage(int errorCode, const QString &message)
{
    if (errorCode != OraCode::UniqueViolated && errorCode != OraCode::CheckViolated
        && errorCode != OraCode::ParentKeyNotFound && errorCode != OraCode::ChildRecordFound)
        return QString();
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = message.indexOf(u'(', from);
        if (open < 0)
            return QString();
        const qsizetype close = message.indexOf(u')', open + 1);
        if (close < 0)
            return QString();
        const QString inner = message.mid(open + 1, close - open - 1);
        const qsizetype dot = inner.indexOf(u'.');
        if (dot >= 0)
            return inner.mid(dot + 1);
        from = close + 1;
    }
}

QString TranslateMessage(TOracleSession *session, bool useMessageTable, QChar action, int errorCode,
    const QString &errorMessage, const TTranslateMessageHook &hook)
{
    QString msg = errorMessage;
    if (errorCode >= 20000 && errorCode <= 20999) {
        // The stack lines of the raising code mean nothing to the user; the line break before
        // them goes too.
        const qsizetype stack = msg.indexOf(QLatin1String("ORA-06512"));
        if (stack >= 0)
            msg.truncate(stack > 0 ? stack - 1 : 0);
    }
    const QString constraint = ConstraintNameFromMessage(errorCode, errorMessage);
    if (useMessageTable && session && !session->MessageTable().isEmpty() && !constraint.isEmpty()) {
        const QChar filter = errorCode == OraCode::ParentKeyNotFound ? u'C'
            : errorCode == OraCode::ChildRecordFound                 ? u'P'
                                                                     : u'*';
        TOracleQuery query;
        query.setObjectName(QStringLiteral("MessageQuery"));
        query.SetSession(session);
        query.SQL().Add(QStringLiteral("select actions, parent_child, error_message from ")
            + session->MessageTable());
        query.SQL().Add(QStringLiteral("where constraint_name = :constraint_name"));
        query.SQL().Add(QStringLiteral("order by actions"));
        query.DeclareVariable(QStringLiteral("constraint_name"), SQLT_STR);
        query.SetVariable(QStringLiteral("constraint_name"), constraint);
        query.Execute();
        bool taken = false;
        QString text;
        while (!query.Eof()) {
            const QString actions = query.FieldAsString(0).toUpper();
            const QString parentChild = query.FieldAsString(1).toUpper();
            if (parentChild == QLatin1String("*") || parentChild == QString(filter)) {
                // A row for this very action wins over a "*" row, whatever their order.
                if (actions.contains(action)) {
                    text = query.FieldAsString(2);
                    taken = true;
                } else if (actions == QLatin1String("*") && !taken) {
                    text = query.FieldAsString(2);
                    taken = true;
                }
            }
            query.Next();
        }
        if (taken)
            msg = text;
    }
    if (hook)
        hook(errorCode, constraint, action, msg);
    return msg;
}

} // namespace qd
