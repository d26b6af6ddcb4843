#include "DataSetTestFixture.h"
#include "EditBackTestSupport.h"

#include "oracle_data/UpdatingTable.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

// A dataset over a view of one table: the view is resolved through the dictionary and its rows
// are written back by their key, since a view's rows carry no address.
class OracleDataSetEditView : public test::DataSetFixture {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        ASSERT_TRUE(test::StandinHooks::get().complete());
        execIgnoringErrors(QStringLiteral("drop view EDV"));
        createTable(QStringLiteral("EDVT"),
            QStringLiteral("id number(6) primary key, name varchar2(20), hidden varchar2(5)"));
        exec(QStringLiteral("insert into EDVT (id, name, hidden) values (1, 'one', 'x')"));
        exec(QStringLiteral("insert into EDVT (id, name, hidden) values (2, 'two', 'y')"));
        exec(QStringLiteral("create view EDV as select id, name from EDVT"));
        session->Commit();
    }
    void TearDown() override
    {
        execIgnoringErrors(QStringLiteral("drop view EDV"));
        DataSetFixture::TearDown();
    }
    QStringList sent() { return test::StandinHooks::get().takeTrace(session->ServiceContext()); }
};

} // namespace

TEST_F(OracleDataSetEditView, ViewOverATableIsEditedThroughItsKey)
{
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from edv order by id"));
    QString table, owner, name;
    ds.UpdatingTableName(table);
    EXPECT_EQ(table, QStringLiteral("EDV"));
    sent();
    SplitTableName(*session, table, owner, name);
    EXPECT_EQ(owner, QStringLiteral("DEMO"));
    EXPECT_EQ(name, QStringLiteral("EDV"));
    // One round trip: the dictionary block that looks among tables, views and synonyms.
    const QStringList split = sent();
    ASSERT_EQ(split.size(), 1);
    EXPECT_TRUE(split.first().contains(
        QLatin1String("      select user, view_name into :table_owner, :table_name\n"
                      "        from sys.user_views where view_name = :name;")))
        << split.first().toStdString();

    ds.SetUniqueFields(QStringLiteral("ID"));
    ds.SetLockingMode(lmNone);
    ds.Open();
    EXPECT_FALSE(ds.HasRowId());
    sent();
    ds.Edit();
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("uno"));
    ds.Post();
    EXPECT_EQ(sent(),
        QStringList({ QStringLiteral("savepoint ZEB__LOCKPOINT"),
            QStringLiteral("update EDV\nset NAME = :v%1\nwhere ID = :zeb__key1")
                .arg(test::fieldInfoIndex(ds, "NAME")) }));
    // The table behind the view took the change; what the view does not show is kept.
    EXPECT_EQ(scalar(QStringLiteral("select name || hidden from EDVT where id = 1")),
        QStringLiteral("unox"));
    EXPECT_EQ(scalar(QStringLiteral("select name from EDVT where id = 2")), QStringLiteral("two"));

    // A row removed behind the view's back is reported, not silently skipped.
    exec(QStringLiteral("delete from EDVT where id = 2"));
    session->Commit();
    ds.Next();
    ds.Edit();
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("dos"));
    EXPECT_EQ(
        messageOf([&] { ds.Post(); }), QStringLiteral("Record has been deleted by another user"));
    ds.Cancel();
}

TEST_F(OracleDataSetEditView, ViewRowsCannotBeLockedOrDeletedWithoutAnAddress)
{
    // Locks, checks and deletes address a row by ROWID, which a view's select list lacks.
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from edv order by id"));
    ds.SetUniqueFields(QStringLiteral("ID"));
    ds.SetLockingMode(lmCheckImmediate);
    ds.Open();
    EXPECT_EQ(messageOf([&] { ds.Edit(); }),
        QStringLiteral("A lock, refresh or check cannot be performed without a rowid.\r\n"
                       "Provide a rowid in the query or handle this action in the "
                       "OnApplyRecord event"));
    ds.SetLockingMode(lmNone);
    EXPECT_EQ(messageOf([&] { ds.Delete(); }),
        QStringLiteral("A delete cannot be performed without a rowid.\r\n"
                       "Provide a rowid in the query or handle this action in the "
                       "OnApplyRecord event"));
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from EDVT")), QStringLiteral("2"));
}

} // namespace qd
