#pragma once

#include <QString>
#include <QStringList>

namespace qd {

class TOracleSession;

// Shows how the server would run one statement of a script, without running it: the first
// SELECT, UPDATE or DELETE of text (split as a run splits it, "@" files included) is explained
// into the plan table under a fresh statement id, read back as an indented tree and formatted as
// fixed-width lines. Everything done on the server is rolled back to a savepoint before the
// routine returns, whether it succeeded or not.
//
// found: whether an explainable statement was found (nothing is sent when not).
// statementLines: the chosen statement's lines. planLines: the plan text (lines are added).
// cost: the root row's "Position", "unavailable" when it is empty.
// Server errors reach the caller after the rollback; a failing rollback never hides the first
// error. Errors of the script splitter reach the caller before any server call.
void ExplainStatementPlan(TOracleSession &connection, const QStringList &text,
    const QString &scriptPath, const QString &currentDir, bool &found, QStringList &statementLines,
    QStringList &planLines, QString &cost, int maxNested);

} // namespace qd
