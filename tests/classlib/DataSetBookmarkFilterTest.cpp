// Bookmarks, filtering, calculated and lookup fields, temporary states.
#include "DataSetFixture.h"

namespace qd::test {
namespace {

TEST(DataSetBookmarks, GoBackToAMarkedRecord)
{
    auto ds = makePeople(5);
    ds->MoveBy(3);
    const TBookmark mark = ds->GetBookmark();
    ASSERT_EQ(mark.size(), 4);
    EXPECT_TRUE(ds->BookmarkValid(mark));
    ds->First();
    ds->GotoBookmark(mark);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4);

    ds->First();
    const TBookmark first = ds->GetBookmark();
    EXPECT_EQ(ds->CompareBookmarks(first, mark), -1);
    EXPECT_EQ(ds->CompareBookmarks(mark, first), 1);
    EXPECT_EQ(ds->CompareBookmarks(mark, mark), 0);
    EXPECT_EQ(ds->CompareBookmarks({}, mark), 1);
    EXPECT_EQ(ds->CompareBookmarks(mark, {}), -1);
    EXPECT_EQ(ds->CompareBookmarks({}, {}), 0);

    TBookmark copy = mark;
    ds->FreeBookmark(copy);
    EXPECT_TRUE(copy.isEmpty());
    ds->GotoBookmark(copy);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1) << "an empty bookmark goes nowhere";
}

TEST(DataSetBookmarks, ABookmarkOfADeletedRecordIsNotFound)
{
    auto ds = makePeople(3);
    ds->Next();
    const TBookmark mark = ds->GetBookmark();
    ds->Delete();
    EXPECT_FALSE(ds->BookmarkValid(mark));
    try {
        ds->GotoBookmark(mark);
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Bookmark not found (2)");
    }
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3) << "the cursor stays";
    EXPECT_EQ(ds->State(), dsBrowse);
}

TEST(DataSetFilter, OnFilterRecordHidesRecordsWhileFiltered)
{
    auto ds = makePeople(6);
    ds->SetOnFilterRecord([](TDataSet *d, bool &accept) {
        EXPECT_EQ(d->State(), dsFilter);
        accept = d->FieldByName("ID")->AsInteger() % 2 == 0;
    });
    EXPECT_EQ(namesInOrder(*ds).size(), 6) << "not filtered yet";
    ds->Next();
    ds->SetFiltered(true);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2) << "filtering moves to the first record";
    EXPECT_EQ(namesInOrder(*ds), QStringList({ "P2", "P4", "P6" }));
    EXPECT_EQ(ds->RecordCount(), 3);
    ds->Last();
    ds->Prior();
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4);

    ds->SetOnFilterRecord(
        [](TDataSet *d, bool &accept) { accept = d->FieldByName("ID")->AsInteger() > 4; });
    EXPECT_EQ(namesInOrder(*ds), QStringList({ "P5", "P6" })) << "a new handler applies at once";
    ds->SetFiltered(false);
    EXPECT_EQ(ds->RecordCount(), 6);
}

TEST(DataSetFilter, FilterPropertiesAreStored)
{
    auto ds = makePeople(2);
    ds->SetFilter("ID > 1");
    ds->SetFilterOptions(foCaseInsensitive | foNoPartialCompare);
    EXPECT_EQ(ds->Filter(), "ID > 1");
    EXPECT_EQ(ds->FilterOptions(), unsigned(foCaseInsensitive | foNoPartialCompare));
}

TEST(DataSetCalcFields, CalculatedFieldsAreComputedForEveryRecord)
{
    auto ds = makePeople(3, false);
    ds->FieldDefs().Update();
    ds->FieldDefs().Find("ID")->CreateField(ds.get());
    ds->FieldDefs().Find("NAME")->CreateField(ds.get());
    ds->FieldDefs().Find("AMOUNT")->CreateField(ds.get());
    auto *label = ds->Fields().Create<TStringField>("LABEL");
    label->SetSize(30);
    label->SetFieldKind(fkCalculated);
    auto *doubled = ds->Fields().Create<TFloatField>("DOUBLED");
    doubled->SetFieldKind(fkCalculated);
    int calls = 0;
    ds->OnCalcFields = [&](TDataSet *d) {
        ++calls;
        EXPECT_EQ(d->State(), dsCalcFields);
        d->FieldByName("LABEL")->SetAsString(d->FieldByName("NAME")->AsString() + "!");
        d->FieldByName("DOUBLED")->SetAsFloat(d->FieldByName("AMOUNT")->AsFloat() * 2);
    };
    ds->Open();
    EXPECT_FALSE(ds->DefaultFields());
    EXPECT_EQ(ds->FindField("NOTE"), nullptr) << "persistent fields: no field for NOTE";
    EXPECT_GT(calls, 0);
    EXPECT_EQ(label->AsString(), "P1!");
    ds->Next();
    EXPECT_DOUBLE_EQ(doubled->AsFloat(), 6.0);

    // Calculated values follow edits (AutoCalcFields) and cannot be set outside the event.
    ds->Edit();
    ds->FieldByName("AMOUNT")->SetAsFloat(10);
    EXPECT_DOUBLE_EQ(doubled->AsFloat(), 20.0);
    EXPECT_FALSE(label->CanModify());
    ds->Post();
    EXPECT_EQ(ds->FieldByName("DOUBLED")->AsFloat(), 20.0);
    ds->Close();
    EXPECT_EQ(ds->FieldCount(), 5) << "persistent fields stay after close";
}

TEST(DataSetCalcFields, LookupFieldsTakeTheirValueFromAnotherDataSet)
{
    auto names = makePeople(3); // ID -> NAME
    auto orders = std::make_unique<VectorDataSet>();
    orders->FieldDefs().Add("ORDER_ID", ftInteger);
    orders->FieldDefs().Add("PERSON", ftInteger);
    orders->SetRows({ { 100, 2 }, { 101, 3 }, { 102, 9 } });
    orders->FieldDefs().Update();
    orders->FieldDefs().Find("ORDER_ID")->CreateField(orders.get());
    orders->FieldDefs().Find("PERSON")->CreateField(orders.get());
    auto *who = orders->Fields().Create<TStringField>("WHO");
    who->SetFieldKind(fkLookup);
    EXPECT_THROW(orders->Open(), EDatabaseError) << "incomplete lookup information";
    who->SetLookupDataSet(names.get());
    who->SetKeyFields("PERSON");
    who->SetLookupKeyFields("ID");
    who->SetLookupResultField("NAME");
    orders->Open();
    QStringList found;
    while (!orders->Eof()) {
        found << who->AsString();
        orders->Next();
    }
    EXPECT_EQ(found, QStringList({ "P2", "P3", "" }));
    EXPECT_EQ(names->FieldByName("ID")->AsInteger(), 1) << "lookups leave the other cursor";
}

TEST(DataSetTempState, AGivenBufferIsReadAndTheStateComesBack)
{
    auto ds = makePeople(3);
    ds->Edit();
    ds->FieldByName("NAME")->SetAsString("edited");
    QStringList seen;
    ds->ReadRecords({}, 10, [&](const TBookmark &) {
        EXPECT_EQ(ds->State(), dsBrowse);
        seen << ds->FieldByName("NAME")->AsString();
    });
    EXPECT_EQ(seen, QStringList({ "P1", "P2", "P3" }));
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_TRUE(ds->Modified());
    EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "edited");
    ds->Post();
    EXPECT_EQ(namesInOrder(*ds), QStringList({ "edited", "P2", "P3" }))
        << "reading records in between left the cursor usable";
}

TEST(DataSetTempState, ReadingRecordsDuringAnInsertKeepsItsPlace)
{
    auto ds = makePeople(3);
    ds->Next();
    ds->Insert();
    ds->FieldByName("ID")->SetAsInteger(7);
    ds->FieldByName("NAME")->SetAsString("between");
    int n = 0;
    ds->ReadRecords({}, 100, [&](const TBookmark &) { ++n; });
    EXPECT_EQ(n, 3);
    ds->Post();
    EXPECT_EQ(namesInOrder(*ds), QStringList({ "P1", "between", "P2", "P3" }));
}

TEST(DataSetLocate, LocateAndLookupThroughTheHooks)
{
    auto ds = makePeople(4);
    EXPECT_TRUE(ds->Locate("NAME", Variant("p3"), loCaseInsensitive));
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
    EXPECT_FALSE(ds->Locate("NAME", Variant("nobody"), 0));
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
    EXPECT_EQ(ds->Lookup("ID", Variant(2), "NAME").AsString(), "P2");
    EXPECT_TRUE(ds->Lookup("ID", Variant(99), "NAME").IsNull());
}

} // namespace
} // namespace qd::test
