// Data sources, data links and the master data link.
#include "DataSetFixture.h"

#include "classlib/DataLink.h"

namespace qd::test {
namespace {

TEST(DataSource, FollowsTheDataSetsStateAndData)
{
    auto ds = makePeople(3, false);
    TDataSource source;
    QStringList log;
    source.OnStateChange
        = [&](TDataSource *s) { log << QStringLiteral("state %1").arg(s->State()); };
    source.OnDataChange = [&](TDataSource *, TField *f) {
        log << (f ? "data " + f->FieldName() : QStringLiteral("data"));
    };
    source.OnUpdateData = [&](TDataSource *) { log << "update"; };
    source.SetDataSet(ds.get());
    EXPECT_EQ(source.State(), dsInactive);
    ds->Open();
    EXPECT_EQ(source.State(), dsBrowse);
    EXPECT_TRUE(source.Edit()) << "AutoEdit puts the dataset in edit state";
    EXPECT_EQ(ds->State(), dsEdit);
    ds->FieldByName("ID")->SetAsInteger(8);
    ds->Post();
    EXPECT_EQ(log,
        QStringList(
            { "state 1", "data", "state 2", "data", "data ID", "update", "state 1", "data" }));

    source.SetAutoEdit(false);
    EXPECT_FALSE(source.Edit());
    EXPECT_EQ(ds->State(), dsBrowse);

    log.clear();
    source.SetDataSet(nullptr);
    EXPECT_EQ(source.State(), dsInactive);
    ds->Next();
    EXPECT_EQ(log, QStringList({ "state 0" }));
}

TEST(DataSource, DestroyingEitherSideDetachesTheOther)
{
    auto ds = makePeople(2);
    auto source = std::make_unique<TDataSource>();
    TDataLink link;
    source->SetDataSet(ds.get());
    link.SetDataSource(source.get());
    EXPECT_TRUE(link.Active());
    source.reset();
    EXPECT_EQ(link.DataSource(), nullptr);
    EXPECT_FALSE(link.Active());
    ds->Next(); // no dangling source

    TDataSource second;
    second.SetDataSet(ds.get());
    ds->Close();
    ds.reset();
    EXPECT_EQ(second.DataSet(), nullptr);
    EXPECT_EQ(second.State(), dsInactive);
}

TEST(DataSource, ReadOnlyLinksDoNotEdit)
{
    auto ds = makePeople(2);
    TDataSource source;
    source.SetDataSet(ds.get());
    TDataLink link;
    link.SetDataSource(&source);
    link.SetReadOnly(true);
    EXPECT_FALSE(link.Edit());
    EXPECT_EQ(ds->State(), dsBrowse);
    link.SetReadOnly(false);
    EXPECT_TRUE(link.Edit());
    EXPECT_TRUE(link.Editing());
    ds->Cancel();
    EXPECT_FALSE(link.Editing());
}

// Detail orders follow the master person through a master data link.
TEST(MasterDataLink, TellsTheDetailWhenTheMastersLinkFieldsChange)
{
    auto master = makePeople(3);
    TDataSource masterSource;
    masterSource.SetDataSet(master.get());
    auto detail = makePeople(1);
    TMasterDataLink link(detail.get());
    QStringList log;
    link.OnMasterChange = [&](TMasterDataLink *l) {
        log << QStringLiteral("change %1").arg(l->Fields().at(0)->AsInteger());
    };
    link.OnMasterDisable = [&](TMasterDataLink *) { log << "disable"; };
    link.SetFieldNames("ID");
    link.SetDataSource(&masterSource);
    ASSERT_EQ(link.Fields().size(), 1u);
    EXPECT_EQ(link.DetailDataSet(), detail.get());
    master->Next();
    master->Edit();
    master->FieldByName("NAME")->SetAsString("other field");
    master->FieldByName("ID")->SetAsInteger(20);
    master->Post();
    master->Close();
    // Field names set before the link is active: the detail hears "disable" at once.
    EXPECT_EQ(log,
        QStringList({ "disable", "change 1", "change 2", "change 2", "change 20", "change 20",
            "disable" }));

    // The master's scroll first settles an edit of the detail.
    master->Open();
    detail->Edit();
    detail->FieldByName("NAME")->SetAsString("detail edit");
    master->Next();
    EXPECT_EQ(detail->State(), dsBrowse);
    EXPECT_EQ(detail->FieldByName("NAME")->AsString(), "detail edit");
    EXPECT_THROW(link.SetFieldNames("NOPE"), EDatabaseError);
    EXPECT_TRUE(link.Fields().empty());
    master->Close();
}

} // namespace
} // namespace qd::test
