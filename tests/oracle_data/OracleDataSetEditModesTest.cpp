#include "DataSetTestFixture.h"
#include "EditBackTestSupport.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

// Edit start, post and delete in both client modes: the row address a fetched row carries must
// find the row again in the mode it was fetched in.
class OracleDataSetEditModes : public test::DataSetFixture,
                               public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        DataSetFixture::SetUp();
        createTable(
            QStringLiteral("EDM"), QStringLiteral("id number(6) primary key, name varchar2(20)"));
        exec(QStringLiteral("insert into EDM (id, name) values (1, 'one')"));
        exec(QStringLiteral("insert into EDM (id, name) values (2, 'two')"));
        session->Commit();
        session->LogOff();
        session->Preferences().SetUseOCI7(GetParam());
        session->LogOn();
    }
};

} // namespace

TEST_P(OracleDataSetEditModes, EditStartLocksTheFetchedRowAndPostsByIt)
{
    ASSERT_EQ(session->OCI8Mode(), !GetParam());
    TOracleDataSet &ds
        = newDataSet(QStringLiteral("select EDM.rowid, EDM.* from DEMO.EDM order by id"));
    ds.SetLockingMode(lmLockImmediate);
    ds.Open();
    ds.Edit();
    EXPECT_EQ(ds.State(), dsEdit);
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("uno"));
    ds.Post();
    EXPECT_EQ(scalar(QStringLiteral("select name from EDM where id = 1")), QStringLiteral("uno"));
}

TEST_P(OracleDataSetEditModes, InsertedRowKeepsTheAddressTheServerReportsAndEditsByIt)
{
    TOracleDataSet &ds
        = newDataSet(QStringLiteral("select EDM.rowid, EDM.* from DEMO.EDM order by id"));
    ds.SetLockingMode(lmLockImmediate);
    ds.Open();
    ds.Append();
    ds.FieldByName(QStringLiteral("ID"))->SetAsInteger(3);
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("three"));
    ds.Post();
    // The handle-based calls return it through RETURNING, the older ones in the cursor area.
    EXPECT_EQ(ds.RowId(), scalar(QStringLiteral("select rowid from EDM where id = 3")));

    // Edit start locks the new row by that address; the post and a delete find it too.
    ds.Edit();
    ASSERT_EQ(ds.State(), dsEdit);
    ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("drei"));
    ds.Post();
    EXPECT_EQ(scalar(QStringLiteral("select name from EDM where id = 3")), QStringLiteral("drei"));
    ds.Delete();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from EDM")), QStringLiteral("2"));
}

// A statement that addresses no single new row reports no address (an all-zero cursor-area
// address is none), so an edit by it is refused as having no ROWID rather than sent.
TEST_P(OracleDataSetEditModes, AStatementWithoutARowReportsNoAddress)
{
    TOracleQuery q;
    q.SetSession(session.get());
    q.SQL().SetText(QStringLiteral("update EDM set name = name where id = 1"));
    q.Execute();
    EXPECT_EQ(q.RowsProcessed(), 1);
    EXPECT_EQ(q.RowId(), QString());
    if (GetParam()) {
        q.SQL().SetText(QStringLiteral("insert into EDM (id, name) values (4, 'four')"));
        q.Execute();
        EXPECT_EQ(q.RowId(), scalar(QStringLiteral("select rowid from EDM where id = 4")));
    }
    session->Rollback();
}

INSTANTIATE_TEST_SUITE_P(ClientModes, OracleDataSetEditModes, ::testing::Bool(),
    [](const ::testing::TestParamInfo<bool> &info) {
        return info.param ? std::string("OlderCalls") : std::string("HandleCalls");
    });

} // namespace qd
