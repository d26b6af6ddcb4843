#include "DataSetTestFixture.h"
#include "EditBackTestSupport.h"

#include "classlib/Exception.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

// A dataset with cached updates over a three-row table: what the change log keeps, what reaches
// the server (the stand-in's statement trace), and what commit, cancel, a re-query and a close
// do with the logged changes.
class OracleDataSetCachedUpdates : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        ASSERT_TRUE(test::StandinHooks::get().complete());
        createTable(
            QStringLiteral("CU"), QStringLiteral("id number(6) primary key, name varchar2(20)"));
        exec(QStringLiteral("insert into CU values (1, 'one')"));
        exec(QStringLiteral("insert into CU values (2, 'two')"));
        exec(QStringLiteral("insert into CU values (3, 'three')"));
        session->Commit();
    }
    void TearDown() override
    {
        if (dataSet && dataSet->Active()) {
            if (dataSet->State() == dsEdit || dataSet->State() == dsInsert)
                dataSet->Cancel();
            dataSet->CancelUpdates();
        }
        DataSetFixture::TearDown();
    }

    TOracleDataSet &open(bool cached = true)
    {
        TOracleDataSet &ds = newDataSet(QStringLiteral("select rowid, t.* from CU t order by id"));
        ds.SetCachedUpdates(cached);
        ds.Open();
        sentWrites();
        return ds;
    }
    // The data-changing statements sent since the last call.
    QStringList sentWrites()
    {
        QStringList result;
        for (const QString &t : test::StandinHooks::get().takeTrace(session->ServiceContext())) {
            for (const char *verb : { "insert", "update", "delete" })
                if (t.startsWith(QLatin1String(verb), Qt::CaseInsensitive))
                    result.append(t.section(u'\n', 0, 0));
        }
        return result;
    }
    // The records as "id:name", in store order.
    static QStringList rows(TOracleDataSet &ds)
    {
        QStringList result;
        ds.First();
        while (!ds.Eof()) {
            result.append(ds.FieldByName(QStringLiteral("ID"))->AsString() + u':'
                + ds.FieldByName(QStringLiteral("NAME"))->AsString());
            ds.Next();
        }
        return result;
    }
    QStringList serverRows()
    {
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(QStringLiteral("select id || ':' || name from CU order by id"));
        q.Execute();
        QStringList result;
        for (; !q.Eof(); q.Next())
            result.append(q.FieldAsString(0));
        return result;
    }
    static void setName(TOracleDataSet &ds, int id, const char *name)
    {
        ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(id), {}));
        ds.Edit();
        ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QString::fromUtf8(name));
        ds.Post();
    }
    static void insert(TOracleDataSet &ds, int id, const char *name)
    {
        ds.Append();
        ds.FieldByName(QStringLiteral("ID"))->SetAsInteger(id);
        ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QString::fromUtf8(name));
        ds.Post();
    }
    static void remove(TOracleDataSet &ds, int id)
    {
        ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(id), {}));
        ds.Delete();
    }
    const QStringList original { "1:one", "2:two", "3:three" };
};

TEST_F(OracleDataSetCachedUpdates, ChangesOfOneRecordMergeInTheLog)
{
    TOracleDataSet &ds = open();
    auto &log = ds.ChangeLog();

    insert(ds, 4, "four");
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.Items(0).action, u'I');
    EXPECT_EQ(ds.UpdateStatus(), usInserted);
    EXPECT_TRUE(ds.UpdatesPending());
    EXPECT_EQ(ds.RecordCount(), 4);
    // Insert then delete: the insert never reaches the server and leaves no entry.
    remove(ds, 4);
    EXPECT_EQ(log.Count(), 0);
    EXPECT_EQ(log.NetCount(), 0);
    EXPECT_FALSE(ds.UpdatesPending());

    // Edited twice: one update holding the latest record; the old value is the server's.
    setName(ds, 2, "deux");
    setName(ds, 2, "zwei");
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.Items(0).action, u'U');
    EXPECT_EQ(ds.UpdateStatus(), usModified);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("NAME"))->OldValue().AsString(), QStringLiteral("two"));
    // Then deleted: the update becomes a delete.
    remove(ds, 2);
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.Items(0).action, u'D');
    EXPECT_EQ(log.NetCount(), -1);

    // An edit that changes nothing is no change.
    ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(3), {}));
    ds.Edit();
    ds.Post();
    EXPECT_EQ(log.Count(), 1);
    EXPECT_EQ(ds.UpdateStatus(), usUnmodified);

    EXPECT_EQ(rows(ds), (QStringList { "1:one", "3:three" }));
    EXPECT_EQ(sentWrites(), QStringList()) << "cached changes reached the server";
    EXPECT_EQ(serverRows(), original);
}

TEST_F(OracleDataSetCachedUpdates, CancelRestoresTheStoreAndCommitKeepsIt)
{
    for (const bool commit : { false, true }) {
        SCOPED_TRACE(commit ? "commit" : "cancel");
        TOracleDataSet &ds = open();
        setName(ds, 1, "uno");
        remove(ds, 2);
        insert(ds, 5, "five");
        setName(ds, 5, "cinco");
        setName(ds, 3, "tres");
        const QStringList changed { "1:uno", "3:tres", "5:cinco" };
        ASSERT_EQ(rows(ds), changed);
        // An open edit goes with the cancel.
        ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(1), {}));
        ds.Edit();
        ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("unposted"));
        if (commit) {
            ds.Post();
            ds.CommitUpdates();
            EXPECT_EQ(rows(ds), (QStringList { "1:unposted", "3:tres", "5:cinco" }));
            EXPECT_EQ(ds.UpdateStatus(), usUnmodified);
        } else {
            ds.CancelUpdates();
            EXPECT_EQ(ds.State(), dsBrowse);
            EXPECT_EQ(rows(ds), original);
            // The restored delete is the same record again: it can be changed and cancelled.
            setName(ds, 2, "dos");
            EXPECT_EQ(ds.ChangeLog().Count(), 1);
            ds.CancelUpdates();
            EXPECT_EQ(rows(ds), original);
        }
        EXPECT_EQ(ds.ChangeLog().Count(), 0);
        EXPECT_FALSE(ds.UpdatesPending());
        EXPECT_EQ(sentWrites(), QStringList());
        EXPECT_EQ(serverRows(), original);
        ds.Close();
    }
}

TEST_F(OracleDataSetCachedUpdates, CancelBringsBackDeletedRecordsInTheirOrder)
{
    TOracleDataSet &ds = open();
    // An edited record deleted after another one was deleted.
    setName(ds, 1, "uno");
    remove(ds, 2);
    remove(ds, 1);
    ASSERT_EQ(rows(ds), QStringList { "3:three" });
    ds.CancelUpdates();
    EXPECT_EQ(rows(ds), original);

    // A new record deleted again: the records after it keep their places.
    insert(ds, 0, "zero");
    insert(ds, 4, "four");
    remove(ds, 0);
    remove(ds, 3);
    ds.CancelUpdates();
    EXPECT_EQ(rows(ds), original);
}

TEST_F(OracleDataSetCachedUpdates, ARequeryShowsTheLoggedState)
{
    TOracleDataSet &ds = open();
    setName(ds, 1, "uno");
    remove(ds, 2);
    insert(ds, 9, "nine");
    // A row changed on the server meanwhile shows the server's value.
    exec(QStringLiteral("update CU set name = 'THREE' where id = 3"));
    session->Commit();
    sentWrites();

    ds.Refresh();
    EXPECT_EQ(rows(ds), (QStringList { "1:uno", "3:THREE", "9:nine" }));
    EXPECT_EQ(ds.ChangeLog().Count(), 3);
    EXPECT_EQ(ds.RecordCount(), 3);
    // The logged records are found again under their new identity.
    ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(1), {}));
    EXPECT_EQ(ds.UpdateStatus(), usModified);
    ASSERT_TRUE(ds.Locate(QStringLiteral("ID"), Variant(9), {}));
    EXPECT_EQ(ds.UpdateStatus(), usInserted);
    setName(ds, 9, "nueve");
    EXPECT_EQ(ds.ChangeLog().Count(), 3);

    ds.CancelUpdates();
    EXPECT_EQ(rows(ds), (QStringList { "1:one", "2:two", "3:THREE" }));
    EXPECT_EQ(sentWrites(), QStringList());
}

TEST_F(OracleDataSetCachedUpdates, CancelUnderAFilterBringsBackWhatTheFilterShows)
{
    TOracleDataSet &ds = open();
    ds.SetFilter(QStringLiteral("[ID] > 1"));
    ds.SetFiltered(true);
    ASSERT_EQ(rows(ds), (QStringList { "2:two", "3:three" }));
    remove(ds, 2);
    insert(ds, 9, "nine");
    setName(ds, 3, "tres");
    EXPECT_EQ(rows(ds), (QStringList { "3:tres", "9:nine" }));
    ds.CancelUpdates();
    EXPECT_EQ(rows(ds), (QStringList { "2:two", "3:three" }));
    ds.SetFiltered(false);
    EXPECT_EQ(rows(ds), original);
}

// Under lmCheckImmediate a record is checked against the server when its edit starts and when
// it is deleted, but not once it has a logged change: the log, not the server, holds its state.
TEST_F(OracleDataSetCachedUpdates, ALoggedRecordIsNotCheckedAgainstTheServer)
{
    TOracleDataSet &ds = open();
    ASSERT_EQ(ds.LockingMode(), lmCheckImmediate);
    setName(ds, 1, "uno");
    exec(QStringLiteral("update CU set name = 'ONE' where id in (1, 2)"));
    session->Commit();
    EXPECT_EQ(messageOf([&] { setName(ds, 1, "eins"); }), QString());
    EXPECT_EQ(messageOf([&] { remove(ds, 1); }), QString());
    // A record without an entry still is.
    EXPECT_EQ(messageOf([&] { setName(ds, 2, "zwei"); }),
        QStringLiteral("Record has been changed by another user"));
    ds.Cancel();
    EXPECT_EQ(messageOf([&] { remove(ds, 2); }),
        QStringLiteral("Record has been changed by another user"));
    EXPECT_EQ(ds.ChangeLog().Count(), 1);
    EXPECT_EQ(ds.ChangeLog().Items(0).action, u'D');
}

TEST_F(OracleDataSetCachedUpdates, ACountOfQueryHitsCountsTheLoggedInsertsAndDeletes)
{
    TOracleDataSet &ds = newDataSet(QStringLiteral("select rowid, t.* from CU t order by id"));
    ds.SetCachedUpdates(true);
    ds.SetCountAllRecords(true);
    ds.SetQueryAllRecords(false);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 3);
    insert(ds, 7, "seven");
    insert(ds, 8, "eight");
    remove(ds, 1);
    EXPECT_EQ(ds.RecordCount(), 4);
    ds.CommitUpdates();
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.ChangeLog().NetCount(), 0);

    // A provider cycle's inserts and deletes reach the server and count at once; the log that
    // records them counts them no second time, neither pending nor committed; its cancel takes
    // them back.
    ds.SetCachedUpdates(false);
    ds.SetChangeLogActive(true);
    ds.SetCommitOnPost(false);
    insert(ds, 10, "ten");
    remove(ds, 10);
    insert(ds, 11, "eleven");
    EXPECT_EQ(ds.RecordCount(), 5);
    ds.CancelUpdates();
    session->Rollback();
    EXPECT_EQ(ds.RecordCount(), 4);
    ds.SetChangeLogActive(true);
    insert(ds, 12, "twelve");
    remove(ds, 2);
    remove(ds, 3);
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.CommitUpdates();
    EXPECT_EQ(ds.RecordCount(), 3);
    session->Rollback();
}

// Nothing sends cached changes to the server, so nothing may drop them unnoticed: a close (also
// the close of a reopen, a session change or switching CachedUpdates off) is refused while they
// are pending, and leaves the dataset and its log as they were.
TEST_F(OracleDataSetCachedUpdates, PendingChangesAreNeverDroppedSilently)
{
    const QString refused
        = QStringLiteral("Cached updates are pending: commit or cancel them first");
    TOracleDataSet &ds = open();
    setName(ds, 1, "uno");
    const struct {
        const char *what;
        std::function<void()> act;
    } drops[] = {
        { "close", [&] { ds.Close(); } },
        { "new SQL", [&] { ds.SetSQLText(QStringLiteral("select rowid, t.* from CU t")); } },
        { "strings only", [&] { ds.SetStringFieldsOnly(true); } },
        { "other session", [&] { ds.SetSession(nullptr); } },
        { "CachedUpdates off", [&] { ds.SetCachedUpdates(false); } },
    };
    for (const auto &d : drops) {
        SCOPED_TRACE(d.what);
        EXPECT_TRUE(messageOf(d.act).contains(refused)) << messageOf(d.act).toStdString();
        EXPECT_TRUE(ds.Active());
        EXPECT_TRUE(ds.CachedUpdates());
        EXPECT_FALSE(ds.StringFieldsOnly());
        EXPECT_TRUE(ds.GetSQL().contains(QStringLiteral("order by id")));
        EXPECT_EQ(ds.Session(), session.get());
        EXPECT_EQ(ds.ChangeLog().Count(), 1);
        EXPECT_EQ(rows(ds), (QStringList { "1:uno", "2:two", "3:three" }));
    }
    // Query-by-example would empty the store too.
    EXPECT_EQ(messageOf([&] { ds.SetQBEMode(true); }),
        QStringLiteral("QBE mode not allowed with pending updates"));

    // Committed or cancelled changes no longer hold the dataset open.
    ds.CommitUpdates();
    ds.Close();
    EXPECT_FALSE(ds.Active());
    ds.Open();
    setName(ds, 2, "dos");
    ds.CancelUpdates();
    ds.Close();
    EXPECT_FALSE(ds.Active());

    // Destruction cannot refuse: the dataset goes, with a warning, and throws nothing.
    ds.Open();
    setName(ds, 3, "tres");
    EXPECT_NO_THROW(dataSet.reset());
    EXPECT_EQ(serverRows(), original);
}

// A provider-driven update cycle sends every change at once and logs it as well: its changes are
// on the server (inside the open transaction), so a close may drop the log; cancelling the log
// restores the store while the session's rollback restores the server.
TEST_F(OracleDataSetCachedUpdates, AProviderCycleSendsChangesAtOnceAndLogsThem)
{
    TOracleDataSet &ds = open(false);
    IProviderSupport &provider = ds;
    provider.PSStartTransaction();
    EXPECT_TRUE(ds.ChangeLogActive());
    EXPECT_FALSE(ds.CommitOnPost());
    setName(ds, 1, "uno");
    remove(ds, 3);
    EXPECT_EQ(sentWrites(), (QStringList { "update CU", "delete from CU" }));
    ASSERT_EQ(ds.ChangeLog().Count(), 2);
    EXPECT_TRUE(ds.ChangeLog().Items(0).providerMark);
    EXPECT_FALSE(ds.UpdatesPending()) << "pending counts only with CachedUpdates";

    // The provider's rollback rolls the session back and cancels the log in the records.
    provider.PSEndTransaction(false);
    EXPECT_FALSE(provider.PSInTransaction());
    EXPECT_EQ(rows(ds), original);
    EXPECT_EQ(serverRows(), original);

    provider.PSStartTransaction();
    setName(ds, 2, "dos");
    provider.PSEndTransaction(true);
    EXPECT_FALSE(provider.PSInTransaction());
    EXPECT_EQ(ds.ChangeLog().Count(), 0);
    EXPECT_EQ(rows(ds), (QStringList { "1:one", "2:dos", "3:three" }));
    EXPECT_EQ(serverRows(), (QStringList { "1:one", "2:dos", "3:three" }));

    ds.SetChangeLogActive(true);
    setName(ds, 1, "eins");
    ds.Close();
    EXPECT_EQ(ds.ChangeLog().Count(), 0);
    session->Commit();
    EXPECT_EQ(serverRows(), (QStringList { "1:eins", "2:dos", "3:three" }));
}

} // namespace
} // namespace qd
