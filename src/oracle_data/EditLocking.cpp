#include "EditLocking.h"

namespace qd {

RecordServerAction EditStartAction(
    TLockingModeOptions mode, TRefreshOptions refresh, bool hasChangeLogEntry)
{
    RecordServerAction action;
    const bool beforeEdit = (refresh & roBeforeEdit) != 0;
    if (hasChangeLogEntry || (mode != lmLockImmediate && mode != lmCheckImmediate && !beforeEdit))
        return action;
    action.lock = mode == lmLockImmediate;
    action.check = mode == lmLockImmediate || mode == lmCheckImmediate;
    if (beforeEdit) {
        // The re-read brings the server's values, so there is nothing left to compare.
        action.refresh = true;
        action.allFields = (refresh & roAllFields) != 0;
        action.check = false;
    }
    return action;
}

RecordServerAction PostEditAction(TLockingModeOptions mode, bool inserting)
{
    RecordServerAction action;
    if (!inserting && (mode == lmCheckImmediate || mode == lmLockDelayed)) {
        action.lock = true;
        action.check = true;
    }
    return action;
}

RecordServerAction DeleteAction(
    TLockingModeOptions mode, bool cachedUpdates, bool hasChangeLogEntry)
{
    RecordServerAction action;
    if (!cachedUpdates) {
        action.lock = action.check = mode != lmNone;
        return action;
    }
    if (hasChangeLogEntry)
        return action;
    action.lock = mode == lmLockImmediate;
    action.check = mode == lmLockImmediate || mode == lmCheckImmediate;
    return action;
}

RecordServerAction RefreshAfterPostAction(
    bool inserting, TRefreshOptions refresh, bool serverSequence, bool anyDefaultExpression)
{
    RecordServerAction action;
    action.refresh = inserting
        ? ((refresh & roAfterInsert) != 0 || serverSequence || anyDefaultExpression)
        : (refresh & roAfterUpdate) != 0;
    action.allFields = action.refresh && (refresh & roAllFields) != 0;
    return action;
}

bool CommitAfterSkippedPost(TLockingModeOptions mode, bool cachedUpdates)
{
    return mode == lmLockImmediate && !cachedUpdates;
}

bool RollbackOnCancel(TLockingModeOptions mode, bool cachedUpdates, bool inserting)
{
    return mode == lmLockImmediate && !cachedUpdates && !inserting;
}

} // namespace qd
