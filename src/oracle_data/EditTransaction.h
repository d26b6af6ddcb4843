#pragma once

#include <QString>

namespace qd {

class TOracleQuery;
class TOracleSession;

// Messages of a lock, check or post that met another user's work. They pass through the
// dataset's TranslateMessage and are raised as database errors.
QString RecordLockedMessage(); // "Record is locked by another user"
QString RecordChangedMessage(); // "Record has been changed by another user"
QString RecordDeletedMessage(); // "Record has been deleted by another user"

// The text a failed lock reports: a row held by another session (ORA-00054) is "Record is
// locked by another user"; other errors keep their own message.
QString LockErrorMessage(int errorCode, const QString &errorMessage);

// How a dataset's applied change ends on the server: the lock savepoint that a failed lock or
// post rolls back to, and the commit or rollback that follows an applied change.
struct EditTransaction {
    // CachedUpdates is set, or a provider update cycle keeps the change log.
    bool cachedUpdatesInEffect = false;
    bool commitOnPost = true;

    // Sets "savepoint ZEB__LOCKPOINT" through the query unless cached updates are in effect or
    // the session commits every statement; whether it was set.
    bool SetLockPoint(TOracleQuery &query) const;
    // Rolls back to the lock point when one could be set; otherwise, with commitOnPost, the
    // whole transaction.
    void RollbackToLockPoint(TOracleQuery &query) const;
    // With commitOnPost, without cached updates and outside a transaction-service transaction,
    // the session commits; unless force, not in AutoCommit mode (nothing to commit there).
    void Commit(TOracleSession &session, bool force = false) const;
    // Under the same conditions (AutoCommit aside) the session rolls back.
    void Rollback(TOracleSession &session) const;

private:
    bool lockPointPossible(const TOracleSession &session) const;
};

} // namespace qd
