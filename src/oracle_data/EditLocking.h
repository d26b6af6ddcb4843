#pragma once

namespace qd {

// When and how an edited record is locked or checked on the server (the dataset's
// LockingMode).
enum TLockingModeOptions { lmLockImmediate, lmCheckImmediate, lmLockDelayed, lmNone };

// When records are re-read from the server (the dataset's RefreshOptions, a set of these bits).
enum TRefreshOption : unsigned {
    roBeforeEdit = 1,
    roAfterInsert = 2,
    roAfterUpdate = 4,
    roAllFields = 8,
};
using TRefreshOptions = unsigned;

// What to do with one record on the server before or after a change: lock it ("for update
// nowait"), check that nobody changed it, re-read it (all fields through the dataset's own query
// with allFields). Nothing to do when all are false.
struct RecordServerAction {
    bool lock = false;
    bool check = false;
    bool refresh = false;
    bool allFields = false;

    bool Any() const { return lock || check || refresh; }
    friend bool operator==(const RecordServerAction &, const RecordServerAction &) = default;
};

// At edit start: lmLockImmediate locks and checks, lmCheckImmediate checks; roBeforeEdit re-reads
// the record in every mode and then checks nothing. A record with a change-log entry (cached
// updates) is left alone.
RecordServerAction EditStartAction(
    TLockingModeOptions mode, TRefreshOptions refresh, bool hasChangeLogEntry);

// Before an edit is posted: lmCheckImmediate and lmLockDelayed lock and check; the other modes
// (and every insert) only set the lock savepoint.
RecordServerAction PostEditAction(TLockingModeOptions mode, bool inserting);

// Before a delete: without cached updates every mode but lmNone locks and checks. With cached
// updates (no statement runs) lmLockImmediate locks and checks and lmCheckImmediate checks, unless
// the record has a change-log entry.
RecordServerAction DeleteAction(
    TLockingModeOptions mode, bool cachedUpdates, bool hasChangeLogEntry);

// After a post whose statement ran: re-read the record when the options ask for it, or after an
// insert that the server completes (a server-side sequence or a column default expression).
RecordServerAction RefreshAfterPostAction(
    bool inserting, TRefreshOptions refresh, bool serverSequence, bool anyDefaultExpression);

// A post that sent nothing still ends the transaction under lmLockImmediate (without cached
// updates), which releases the lock taken at edit start.
bool CommitAfterSkippedPost(TLockingModeOptions mode, bool cachedUpdates);

// Cancelling an edit under lmLockImmediate (without cached updates, not an insert) rolls back,
// which releases the lock.
bool RollbackOnCancel(TLockingModeOptions mode, bool cachedUpdates, bool inserting);

} // namespace qd
