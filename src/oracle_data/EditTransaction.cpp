#include "EditTransaction.h"

#include "EditStatement.h"
#include "classlib/Exception.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace qd {

namespace {

TOracleSession &sessionOf(TOracleQuery &query)
{
    if (!query.Session())
        throw Exception(QStringLiteral("Session undefined"));
    return *query.Session();
}

void runOn(TOracleQuery &query, const QString &statement)
{
    query.Close();
    query.Clear();
    query.DeleteVariables();
    query.SQL().Add(statement);
    query.Execute();
}

} // namespace

QString RecordLockedMessage()
{
    return QStringLiteral("Record is locked by another user");
}

QString RecordChangedMessage()
{
    return QStringLiteral("Record has been changed by another user");
}

QString RecordDeletedMessage()
{
    return QStringLiteral("Record has been deleted by another user");
}

QString LockErrorMessage(int errorCode, const QString &errorMessage)
{
    return errorCode == OraCode::ResourceBusy ? RecordLockedMessage() : errorMessage;
}

bool EditTransaction::lockPointPossible(const TOracleSession &session) const
{
    return !cachedUpdatesInEffect && !session.AutoCommit();
}

bool EditTransaction::SetLockPoint(TOracleQuery &query) const
{
    if (!lockPointPossible(sessionOf(query)))
        return false;
    runOn(query, SetLockPointStatement());
    return true;
}

void EditTransaction::RollbackToLockPoint(TOracleQuery &query) const
{
    if (cachedUpdatesInEffect)
        return;
    TOracleSession &session = sessionOf(query);
    if (lockPointPossible(session))
        runOn(query, RollbackToLockPointStatement());
    else if (commitOnPost)
        session.Rollback();
}

void EditTransaction::Commit(TOracleSession &session, bool force) const
{
    if (cachedUpdatesInEffect || !commitOnPost || session.MTSEnlisted())
        return;
    if (!force && session.AutoCommit())
        return;
    session.Commit();
}

void EditTransaction::Rollback(TOracleSession &session) const
{
    if (cachedUpdatesInEffect || !commitOnPost || session.MTSEnlisted())
        return;
    session.Rollback();
}

} // namespace qd
