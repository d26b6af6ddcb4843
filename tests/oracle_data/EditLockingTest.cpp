#include "oracle_data/EditLocking.h"
#include "EditBackTestSupport.h"
#include "oracle_data/EditStatement.h"
#include "oracle_data/EditTransaction.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

RecordServerAction act(bool lock, bool check, bool refresh = false, bool allFields = false)
{
    return RecordServerAction { lock, check, refresh, allFields };
}

TEST(EditLocking, EveryModeAtEditStartPostAndDelete)
{
    const RecordServerAction none;
    struct {
        TLockingModeOptions mode;
        RecordServerAction editStart, postEdit, deleteImmediate, deleteCached;
    } const table[] = {
        { lmLockImmediate, act(true, true), none, act(true, true), act(true, true) },
        { lmCheckImmediate, act(false, true), act(true, true), act(true, true), act(false, true) },
        { lmLockDelayed, none, act(true, true), act(true, true), none },
        { lmNone, none, none, none, none },
    };
    for (const auto &row : table) {
        SCOPED_TRACE(static_cast<int>(row.mode));
        EXPECT_EQ(EditStartAction(row.mode, 0, false), row.editStart);
        EXPECT_EQ(PostEditAction(row.mode, false), row.postEdit);
        EXPECT_EQ(PostEditAction(row.mode, true), none); // an insert only sets the savepoint
        EXPECT_EQ(DeleteAction(row.mode, false, false), row.deleteImmediate);
        EXPECT_EQ(DeleteAction(row.mode, true, false), row.deleteCached);
        // A record with a change-log entry is neither locked nor checked again.
        EXPECT_EQ(EditStartAction(row.mode, roBeforeEdit, true), none);
        EXPECT_EQ(DeleteAction(row.mode, true, true), none);
        EXPECT_EQ(DeleteAction(row.mode, false, true), row.deleteImmediate);
    }
}

TEST(EditLocking, RefreshOptions)
{
    // Re-reading before an edit replaces the check in every mode; the lock stays.
    EXPECT_EQ(EditStartAction(lmLockImmediate, roBeforeEdit, false), act(true, false, true));
    EXPECT_EQ(
        EditStartAction(lmNone, roBeforeEdit | roAllFields, false), act(false, false, true, true));
    EXPECT_EQ(EditStartAction(lmLockDelayed, roAllFields, false), RecordServerAction {});

    EXPECT_EQ(RefreshAfterPostAction(false, roAfterUpdate, false, false), act(false, false, true));
    EXPECT_EQ(RefreshAfterPostAction(false, roAfterInsert | roAllFields, true, true),
        RecordServerAction {});
    EXPECT_EQ(RefreshAfterPostAction(true, roAfterInsert | roAllFields, false, false),
        act(false, false, true, true));
    // The server completes the new row: read it back even without roAfterInsert.
    EXPECT_EQ(RefreshAfterPostAction(true, 0, true, false), act(false, false, true));
    EXPECT_EQ(RefreshAfterPostAction(true, 0, false, true), act(false, false, true));
    EXPECT_EQ(RefreshAfterPostAction(true, roAfterUpdate, false, false), RecordServerAction {});
}

TEST(EditLocking, LockImmediateEndsItsTransactionWithoutAChange)
{
    EXPECT_TRUE(CommitAfterSkippedPost(lmLockImmediate, false));
    EXPECT_FALSE(CommitAfterSkippedPost(lmLockImmediate, true));
    EXPECT_FALSE(CommitAfterSkippedPost(lmCheckImmediate, false));
    EXPECT_TRUE(RollbackOnCancel(lmLockImmediate, false, false));
    EXPECT_FALSE(RollbackOnCancel(lmLockImmediate, false, true));
    EXPECT_FALSE(RollbackOnCancel(lmLockImmediate, true, false));
    EXPECT_FALSE(RollbackOnCancel(lmNone, false, false));
}

TEST(EditTransactionMessages, LockErrorsReadAsRecordLocked)
{
    EXPECT_EQ(LockErrorMessage(54, QStringLiteral("ORA-00054: resource busy")),
        QStringLiteral("Record is locked by another user"));
    EXPECT_EQ(
        LockErrorMessage(942, QStringLiteral("ORA-00942: x")), QStringLiteral("ORA-00942: x"));
    EXPECT_EQ(RecordChangedMessage(), QStringLiteral("Record has been changed by another user"));
    EXPECT_EQ(RecordDeletedMessage(), QStringLiteral("Record has been deleted by another user"));
}

class EditTransactionOnServer : public test::StandinSessionFixture {
protected:
    void SetUp() override
    {
        StandinSessionFixture::SetUp();
        runIgnoringErrors(QStringLiteral("drop table EB_TX"));
        run(QStringLiteral("create table EB_TX (id number(6) primary key, name varchar2(20))"));
        run(QStringLiteral("insert into EB_TX values (1, 'one')"));
        session->Commit();
        dml.SetSession(session.get());
    }
    int rows() { return scalar(QStringLiteral("select count(*) from EB_TX")).toInt(); }
    int rowsElsewhere()
    {
        if (!other)
            other = newSession();
        return scalar(QStringLiteral("select count(*) from EB_TX"), other.get()).toInt();
    }

    TOracleQuery dml;
};

TEST_F(EditTransactionOnServer, LockPointUndoesOnlyWhatFollowedIt)
{
    ASSERT_TRUE(test::StandinHooks::get().complete());
    EditTransaction tx;
    run(QStringLiteral("insert into EB_TX values (2, 'kept')"));
    clearTrace();
    EXPECT_TRUE(tx.SetLockPoint(dml));
    run(QStringLiteral("insert into EB_TX values (3, 'undone')"));
    tx.RollbackToLockPoint(dml);
    EXPECT_EQ(rows(), 2);
    QStringList texts;
    for (const QString &t : trace())
        texts.append(t.trimmed());
    EXPECT_EQ(texts,
        (QStringList { QStringLiteral("savepoint ZEB__LOCKPOINT"),
            QStringLiteral("insert into EB_TX values (3, 'undone')"),
            QStringLiteral("rollback to savepoint ZEB__LOCKPOINT"),
            QStringLiteral("select count(*) from EB_TX") }));
    tx.Commit(*session);
    EXPECT_EQ(rowsElsewhere(), 2);
}

TEST_F(EditTransactionOnServer, CachedUpdatesAndCommitOnPostKeepTheTransactionOpen)
{
    EditTransaction cached;
    cached.cachedUpdatesInEffect = true;
    EXPECT_FALSE(cached.SetLockPoint(dml));
    run(QStringLiteral("insert into EB_TX values (2, 'pending')"));
    cached.Commit(*session, true);
    cached.Rollback(*session);
    EditTransaction manual;
    manual.commitOnPost = false;
    manual.Commit(*session, true);
    manual.Rollback(*session);
    EXPECT_EQ(rows(), 2); // neither committed nor rolled back
    EXPECT_EQ(rowsElsewhere(), 1);

    EditTransaction tx;
    tx.Rollback(*session);
    EXPECT_EQ(rows(), 1);
}

TEST_F(EditTransactionOnServer, AutoCommitHasNoLockPointAndCommitsOnlyWhenForced)
{
    EditTransaction tx;
    session->SetAutoCommit(true);
    EXPECT_FALSE(tx.SetLockPoint(dml));
    session->SetAutoCommit(false);
    run(QStringLiteral("insert into EB_TX values (2, 'two')"));
    session->SetAutoCommit(true);
    // Without a lock point the rollback of a failed step is the whole transaction's.
    tx.RollbackToLockPoint(dml);
    session->SetAutoCommit(false);
    EXPECT_EQ(rows(), 1);
}

} // namespace
} // namespace qd
