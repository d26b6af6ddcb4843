#include "DataSetTestFixture.h"
#include "EditBackTestSupport.h"

#include "oracle/OracleCI.h"
#include "oracle_data/UpdatingTable.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

// Posts, deletes and edit-start locks of a dataset, as the stand-in's statement trace shows
// them.
class OracleDataSetEdit : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        ASSERT_TRUE(test::StandinHooks::get().complete());
        createTable(
            QStringLiteral("EDT"), QStringLiteral("id number(6) primary key, name varchar2(20)"));
        exec(QStringLiteral("insert into EDT (id, name) values (1, 'one')"));
        exec(QStringLiteral("insert into EDT (id, name) values (2, 'two')"));
        session->Commit();
    }
    void TearDown() override
    {
        if (other && other->Connected()) {
            other->Rollback();
            other->LogOff();
        }
        other.reset();
        DataSetFixture::TearDown();
    }

    // The statements sent since the last call, line breaks as "\n", without the
    // dataset's own select.
    QStringList sent() { return test::StandinHooks::get().takeTrace(session->ServiceContext()); }
    static std::unique_ptr<TOracleSession> otherSession() { return test::LogOnDemo(); }
    TOracleDataSet &openRowIdDataSet(
        TLockingModeOptions mode, TRefreshOptions refresh, const QString &uniqueFields = {})
    {
        TOracleDataSet &ds
            = newDataSet(QStringLiteral("select EDT.rowid, EDT.* from DEMO.EDT order by id"));
        ds.SetLockingMode(mode);
        ds.SetRefreshOptions(refresh);
        ds.SetUniqueFields(uniqueFields);
        ds.Open();
        sent();
        return ds;
    }
    QString rowIdOf(int id)
    {
        const QString rowId = scalar(QStringLiteral("select rowid from EDT where id = %1").arg(id));
        sent();
        return rowId;
    }

    std::unique_ptr<TOracleSession> other;
};

} // namespace

TEST_F(OracleDataSetEdit, EditInsertAndDeleteLockImmediatelyAndRefresh)
{
    TOracleDataSet &ds = openRowIdDataSet(
        lmLockImmediate, roBeforeEdit | roAfterInsert | roAfterUpdate, QStringLiteral("ID"));
    const QString lock
        = QStringLiteral("select * from DEMO.EDT where rowid = :zeb__rowid\nfor update nowait");
    const QString refresh = QStringLiteral("select * from DEMO.EDT where rowid = :zeb__rowid");
    const QString savepoint = QStringLiteral("savepoint ZEB__LOCKPOINT");

    ds.Edit();
    EXPECT_EQ(sent(), QStringList({ savepoint, lock }));
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("uno"));
    ds.Post();
    EXPECT_EQ(sent(),
        QStringList({ savepoint,
            QStringLiteral("update DEMO.EDT\nset NAME = :v2\nwhere ID = :zeb__key1"), refresh }));

    ds.Append();
    ds.FieldByName(QStringLiteral("ID"))->SetAsInteger(3);
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("three"));
    ds.Post();
    EXPECT_EQ(sent(),
        QStringList(
            { savepoint, QStringLiteral("insert into DEMO.EDT\n  (ID, NAME)\nvalues\n  (:v1, :v2)"),
                QStringLiteral("select rowid from DEMO.EDT where\nID = :ID"), refresh }));
    EXPECT_EQ(ds.RowId(), rowIdOf(3));
    EXPECT_EQ(ds.RecordCount(), 3);

    ds.First();
    ds.Delete();
    EXPECT_EQ(sent(),
        QStringList(
            { savepoint, lock, QStringLiteral("delete from DEMO.EDT\nwhere ID = :zeb__key1") }));
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 2);

    // CommitOnPost: another session sees every change.
    other = otherSession();
    EXPECT_EQ(
        scalar(QStringLiteral("select count(*) || ':' || min(id) || ':' || max(name) from EDT"),
            other.get()),
        QStringLiteral("2:2:two"));
    EXPECT_EQ(scalar(QStringLiteral("select name from EDT where id = 3"), other.get()),
        QStringLiteral("three"));
}

TEST_F(OracleDataSetEdit, RowIdFormInsertsReturningTheRowAddressAndDeletesByIt)
{
    TOracleDataSet &ds = openRowIdDataSet(lmCheckImmediate, 0);
    ds.Append();
    ds.FieldByName(QStringLiteral("ID"))->SetAsInteger(3);
    ds.Post();
    EXPECT_EQ(sent(),
        QStringList({ QStringLiteral("savepoint ZEB__LOCKPOINT"),
            QStringLiteral("insert into DEMO.EDT\n  (ID)\nvalues\n  (:v1)\n"
                           "returning rowid into :zeb__rowid") }));
    EXPECT_EQ(ds.RowId(), rowIdOf(3));

    ds.Delete();
    const QString lock
        = QStringLiteral("select * from DEMO.EDT where rowid = :zeb__rowid\nfor update nowait");
    EXPECT_EQ(sent(),
        QStringList({ QStringLiteral("savepoint ZEB__LOCKPOINT"), lock,
            QStringLiteral("delete from DEMO.EDT\nwhere rowid = :zeb__rowid") }));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from EDT where id = 3")), QStringLiteral("0"));

    // The update by ROWID returns the row address into the variable it is found by.
    ds.First();
    ds.SetLockingMode(lmNone);
    ds.Edit();
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("uno"));
    sent();
    ds.Post();
    const QStringList texts = sent();
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.last(),
        QStringLiteral("update DEMO.EDT\nset NAME = :v2\nwhere rowid = :zeb__rowid\n"
                       "returning rowid into :zeb__rowid"));
    EXPECT_EQ(scalar(QStringLiteral("select name from EDT where id = 1")), QStringLiteral("uno"));
    EXPECT_EQ(ds.RowId(), rowIdOf(1));
}

TEST_F(OracleDataSetEdit, RowHeldByAnotherSessionIsLocked)
{
    TOracleDataSet &ds = openRowIdDataSet(lmLockImmediate, 0);
    other = otherSession();
    TOracleQuery theirs;
    theirs.SetSession(other.get());
    theirs.SQL().SetText(QStringLiteral("select * from EDT where id = 1 for update nowait"));
    theirs.Execute();

    EXPECT_EQ(messageOf([&] { ds.Edit(); }), QStringLiteral("Record is locked by another user"));
    EXPECT_EQ(ds.State(), dsBrowse);

    // A translation hook sees the message and the lock action.
    QChar seen;
    ds.OnTranslateMessage
        = [&](TOracleDataSet *, int code, const QString &, QChar action, QString &msg) {
              seen = action;
              EXPECT_EQ(code, 54);
              msg = QStringLiteral("held: ") + msg;
          };
    EXPECT_EQ(
        messageOf([&] { ds.Edit(); }), QStringLiteral("held: Record is locked by another user"));
    EXPECT_EQ(seen, QLatin1Char('L'));

    // Once they let go, the edit locks the row.
    other->Rollback();
    ds.Edit();
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
}

TEST_F(OracleDataSetEdit, RowDeletedElsewhereFailsTheUpdate)
{
    TOracleDataSet &ds = openRowIdDataSet(lmNone, 0, QStringLiteral("ID"));
    exec(QStringLiteral("delete from EDT where id = 1"));
    session->Commit();
    ds.Edit();
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("uno"));
    EXPECT_EQ(
        messageOf([&] { ds.Post(); }), QStringLiteral("Record has been deleted by another user"));
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
}

TEST_F(OracleDataSetEdit, UnchangedEditSendsNothingButReleasesTheLock)
{
    TOracleDataSet &ds = openRowIdDataSet(lmLockImmediate, 0);
    ds.Edit();
    sent();
    ds.Post();
    EXPECT_EQ(sent(), QStringList());
    // The commit ended the edit-start lock: another session can lock the row now.
    other = otherSession();
    TOracleQuery theirs;
    theirs.SetSession(other.get());
    theirs.SQL().SetText(QStringLiteral("select * from EDT where id = 1 for update nowait"));
    EXPECT_NO_THROW(theirs.Execute());
}

TEST_F(OracleDataSetEdit, InsertWithoutAnyValueIsCancelled)
{
    createTable(QStringLiteral("EDN"), QStringLiteral("a number(4), b varchar2(10)"));
    exec(QStringLiteral("insert into EDN (a, b) values (1, 'x')"));
    session->Commit();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select rowid, t.* from EDN t"));
    ds.Open();
    sent();
    ds.Append();
    ds.FieldByName(QStringLiteral("B"))->SetAsString(QStringLiteral("   "));
    ds.Post();
    EXPECT_EQ(sent(), QStringList());
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("A"))->AsInteger(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from EDN")), QStringLiteral("1"));
}

TEST_F(OracleDataSetEdit, AliasedTableIsEditedByItsPrimaryKey)
{
    createTable(
        QStringLiteral("EDEMP"), QStringLiteral("empno number(4) primary key, ename varchar2(10)"));
    exec(QStringLiteral("insert into EDEMP (empno, ename) values (7369, 'SMITH')"));
    session->Commit();
    TOracleDataSet &ds = newDataSet(QStringLiteral("select e.* from edemp e"));
    QString table, alias;
    ds.UpdatingTableName(table);
    ds.UpdatingTableAlias(alias);
    EXPECT_EQ(table, QStringLiteral("EDEMP"));
    EXPECT_EQ(alias, QStringLiteral("E"));
    const QStringList keys = DetermineKeyFields(*session, QString(), table);
    EXPECT_EQ(keys, QStringList({ QStringLiteral("EMPNO") }));

    ds.SetUniqueFields(keys.join(QLatin1Char(';')));
    ds.SetLockingMode(lmNone);
    ds.Open();
    sent();
    ds.Edit();
    ds.FieldByName(QStringLiteral("ENAME"))->SetAsString(QStringLiteral("JONES"));
    ds.Post();
    EXPECT_EQ(sent(),
        QStringList({ QStringLiteral("savepoint ZEB__LOCKPOINT"),
            QStringLiteral("update EDEMP\nset ENAME = :v%1\nwhere EMPNO = :zeb__key1")
                .arg(test::fieldInfoIndex(ds, "ENAME")) }));
    EXPECT_EQ(scalar(QStringLiteral("select ename from edemp where empno = 7369")),
        QStringLiteral("JONES"));
}

TEST_F(OracleDataSetEdit, RowChangedElsewhereIsCheckedOrReRead)
{
    TOracleDataSet &ds = openRowIdDataSet(lmCheckImmediate, 0);
    exec(QStringLiteral("update EDT set name = 'eins' where id = 1"));
    session->Commit();
    EXPECT_EQ(
        messageOf([&] { ds.Edit(); }), QStringLiteral("Record has been changed by another user"));
    EXPECT_EQ(ds.State(), dsBrowse);

    // Re-reading before the edit takes the server's values and checks nothing.
    ds.SetRefreshOptions(roBeforeEdit);
    ds.Edit();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("eins"));
    EXPECT_EQ(
        ds.FieldByName(QStringLiteral("NAME"))->OldValue().AsString(), QStringLiteral("eins"));
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("eins"));
}

} // namespace qd
