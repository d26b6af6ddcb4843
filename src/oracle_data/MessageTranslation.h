#pragma once

#include <QChar>
#include <QString>

#include <functional>

namespace qd {

class TOracleSession;

// The dataset's OnTranslateMessage: may change msg.
using TTranslateMessageHook
    = std::function<void(int errorCode, const QString &constraintName, QChar action, QString &msg)>;

// The constraint an error of code 1, 2290, 2291 or 2292 names: the part after the first "." of
// the first parenthesised text that holds one ("(SCOTT.FK_DEPT)" gives FK_DEPT). Empty for other
// codes or when the message names none.
QString ConstraintNameFromMessage(int errorCode, const QString &message);

// The message the user sees for a server error met while applying a change. action is the
// letter of the change ('I', 'U', 'D', 'L', 'C', 'R'). An application error (20000..20999) loses
// its ORA-06512 stack lines. With useMessageTable and a session whose MessageTable is set, a
// constraint error takes the text the message table holds for the constraint and the action
// (the constraint name is passed as a bind variable). Last the hook, when given, may change it.
QString TranslateMessage(TOracleSession *session, bool useMessageTable, QChar action, int errorCode,
    const QString &errorMessage, const TTranslateMessageHook &hook = {});

} // namespace qd
