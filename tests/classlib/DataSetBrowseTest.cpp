#include "DataSetFixture.h"

#include "classlib/DataLink.h"

namespace qd::test {
namespace {

TEST(DataSetBrowse, OpenCreatesDefaultFieldsAndStandsOnTheFirstRecord)
{
    auto ds = makePeople(3);
    EXPECT_TRUE(ds->Active());
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_TRUE(ds->DefaultFields());
    ASSERT_EQ(ds->FieldCount(), 4);
    EXPECT_NE(dynamic_cast<TIntegerField *>(ds->Fields()[0]), nullptr);
    EXPECT_NE(dynamic_cast<TStringField *>(ds->Fields()[1]), nullptr);
    EXPECT_NE(dynamic_cast<TFloatField *>(ds->Fields()[2]), nullptr);
    EXPECT_NE(dynamic_cast<TMemoField *>(ds->Fields()[3]), nullptr);
    EXPECT_EQ(ds->FieldByName("name")->Size(), 20);
    EXPECT_TRUE(ds->FieldByName("NAME")->Required());
    EXPECT_EQ(ds->FieldByName("AMOUNT")->FieldNo(), 3);
    EXPECT_TRUE(ds->Bof());
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);

    ds->Close();
    EXPECT_FALSE(ds->Active());
    EXPECT_EQ(ds->FieldCount(), 0) << "default fields go with the close";
}

TEST(DataSetBrowse, WalksForwardAndBackward)
{
    auto ds = makePeople(4);
    EXPECT_EQ(namesInOrder(*ds), QStringList({ "P1", "P2", "P3", "P4" }));
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "P4") << "Eof stays on the last record";

    QStringList backwards;
    ds->Last();
    EXPECT_TRUE(ds->Eof());
    while (!ds->Bof()) {
        backwards << ds->FieldByName("NAME")->AsString();
        ds->Prior();
    }
    EXPECT_EQ(backwards, QStringList({ "P4", "P3", "P2", "P1" }));
}

TEST(DataSetBrowse, MoveByStopsAtTheEndsAndReportsTheDistanceMoved)
{
    auto ds = makePeople(5);
    EXPECT_EQ(ds->MoveBy(3), 3);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4);
    EXPECT_EQ(ds->MoveBy(10), 1);
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->MoveBy(-2), -2);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
    EXPECT_EQ(ds->MoveBy(-10), -2);
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(ds->RecNo(), 1);
}

TEST(DataSetBrowse, RecordCountAndRecNo)
{
    auto ds = makePeople(5);
    EXPECT_EQ(ds->RecordCount(), 5);
    ds->Next();
    ds->Next();
    EXPECT_EQ(ds->RecNo(), 3);
    ds->SetRecNo(5);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 5);
    ds->SetRecNo(0);
    ds->SetRecNo(6);
    EXPECT_EQ(ds->RecNo(), 5) << "numbers outside 1..count do nothing";
}

TEST(DataSetBrowse, EmptyDataSet)
{
    auto ds = makePeople(0);
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Bof());
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->RecNo(), 0);
    EXPECT_TRUE(ds->FieldByName("NAME")->IsNull());
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "");
    EXPECT_TRUE(ds->GetBookmark().isEmpty());
    try {
        ds->Delete();
        FAIL() << "delete on an empty dataset";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Cannot perform this operation on an empty dataset");
    }
}

TEST(DataSetBrowse, ClosedAndOpenDataSetsRefuseWhatNeedsTheOtherState)
{
    auto ds = makePeople(2, false);
    struct Case {
        const char *what;
        std::function<void()> run;
        const char *message;
    };
    const Case cases[] = {
        { "Next", [&] { ds->Next(); }, "Cannot perform this operation on a closed dataset" },
        { "Edit", [&] { ds->Edit(); }, "Cannot perform this operation on a closed dataset" },
        { "RecordCount", [&] { ds->RecordCount(); },
            "Cannot perform this operation on a closed dataset" },
    };
    for (const Case &c : cases) {
        try {
            c.run();
            ADD_FAILURE() << c.what << " did not raise";
        } catch (const EDatabaseError &e) {
            EXPECT_EQ(e.Message(), c.message) << c.what;
        }
    }
    ds->Open();
    try {
        ds->Fields().Add(std::make_unique<TStringField>());
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Cannot perform this operation on an open dataset");
    }
}

TEST(DataSetBrowse, FieldLookupByNameAndLists)
{
    auto ds = makePeople(1);
    ds->SetName("People");
    EXPECT_EQ(ds->FindField("nosuch"), nullptr);
    try {
        ds->FieldByName("nosuch");
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "People: Field 'nosuch' not found");
    }
    std::vector<TField *> list;
    ds->GetFieldList(list, "name; ID ;;amount");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->FieldName(), "NAME");
    EXPECT_EQ(list[1]->FieldName(), "ID");
    EXPECT_EQ(list[2]->FieldName(), "AMOUNT");
    list.clear();
    EXPECT_THROW(ds->GetFieldList(list, "ID;NOPE"), EDatabaseError);

    const Variant values = ds->FieldValues("ID;NAME");
    ASSERT_NE(values.ArrayPtr(), nullptr);
    EXPECT_EQ(values.ArrayPtr()->at(0).AsInteger(), 1);
    EXPECT_EQ(values.ArrayPtr()->at(1).AsString(), "P1");
}

// A link with a window of three records, as a grid showing three rows would have.
class WindowLink : public TDataLink {
public:
    QList<int> ids()
    {
        QList<int> result;
        const int saved = ActiveRecord();
        for (int i = 0; i < RecordCount(); ++i) {
            SetActiveRecord(i);
            result << DataSet()->FieldByName("ID")->AsInteger();
        }
        SetActiveRecord(saved);
        return result;
    }
};

TEST(DataSetBrowse, LinksSeeAWindowOfRecordsThatFollowsTheCursor)
{
    auto ds = makePeople(6);
    TDataSource source;
    source.SetDataSet(ds.get());
    WindowLink link;
    link.SetBufferCount(3);
    link.SetDataSource(&source);
    EXPECT_EQ(link.ids(), QList<int>({ 1, 2, 3 }));
    EXPECT_EQ(link.ActiveRecord(), 0);
    ds->MoveBy(2);
    EXPECT_EQ(link.ids(), QList<int>({ 1, 2, 3 }));
    EXPECT_EQ(link.ActiveRecord(), 2);
    ds->Next();
    EXPECT_EQ(link.ids(), QList<int>({ 2, 3, 4 }));
    EXPECT_EQ(link.ActiveRecord(), 2);
    ds->Last();
    EXPECT_EQ(link.ids(), QList<int>({ 4, 5, 6 }));
    ds->Prior();
    ds->Prior();
    ds->Prior();
    EXPECT_EQ(link.ids(), QList<int>({ 3, 4, 5 }));
    EXPECT_EQ(link.ActiveRecord(), 0);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3) << "reading rows leaves the cursor alone";
}

} // namespace
} // namespace qd::test
