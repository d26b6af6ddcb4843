#include "DataSetTestFixture.h"

#include "classlib/BlobField.h"
#include "classlib/DateTimeUtils.h"
#include "classlib/Stream.h"

#include <QDate>

#include <cstring>

namespace qd::test {
namespace {

using OracleDataSetBrowse = DataSetFixture;

TBookmark bookmarkOf(qint32 number)
{
    TBookmark b(sizeof number, '\0');
    std::memcpy(b.data(), &number, sizeof number);
    return b;
}

TEST_F(OracleDataSetBrowse, BookmarksSurviveFetchingMore)
{
    createNumbered(QStringLiteral("ds_bm"), 300);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_bm order by id"));
    ds.SetQueryAllRecords(false);
    ds.SetReadBuffer(10);
    ds.Open();
    ds.MoveBy(2);
    const TBookmark third = ds.GetBookmark();
    ASSERT_EQ(third.size(), 4);
    const qsizetype before = ds.RecordStore()->Count();
    ds.Last();
    EXPECT_GT(ds.RecordStore()->Count(), before);
    EXPECT_GT(ds.RecordStore()->BlockCount(), 1);
    const TBookmark last = ds.GetBookmark();
    EXPECT_TRUE(ds.BookmarkValid(third));
    ds.GotoBookmark(third);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 3);
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_EQ(ds.CompareBookmarks(third, last), -1);
    EXPECT_EQ(ds.CompareBookmarks(last, third), 1);
    EXPECT_EQ(ds.CompareBookmarks(third, third), 0);
    ds.GotoBookmark(last);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 300);
}

TEST_F(OracleDataSetBrowse, BookmarksCompareAsNumbers)
{
    TOracleDataSet &ds = newDataSet(QString());
    // 2 is below 256 although its first byte is larger.
    EXPECT_EQ(ds.CompareBookmarks(bookmarkOf(2), bookmarkOf(256)), -1);
    EXPECT_EQ(ds.CompareBookmarks(bookmarkOf(256), bookmarkOf(2)), 1);
    EXPECT_EQ(ds.CompareBookmarks(TBookmark(), bookmarkOf(1)), 1);
    EXPECT_EQ(ds.CompareBookmarks(bookmarkOf(1), TBookmark()), -1);
    EXPECT_EQ(ds.CompareBookmarks(TBookmark(), TBookmark()), 0);
}

TEST_F(OracleDataSetBrowse, UnknownBookmarkIsReported)
{
    createNumbered(QStringLiteral("ds_bm_bad"), 3);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_bm_bad"));
    ds.Open();
    EXPECT_FALSE(ds.BookmarkValid(bookmarkOf(7)));
    EXPECT_EQ(messageOf([&] { ds.GotoBookmark(bookmarkOf(7)); }),
        QStringLiteral("Bookmark not found (7)"));
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST_F(OracleDataSetBrowse, EmptyResult)
{
    createNumbered(QStringLiteral("ds_empty"), 0);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_empty"));
    ds.Open();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_TRUE(ds.FieldByName(QStringLiteral("ID"))->IsNull());
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_TRUE(ds.GetBookmark().isEmpty());
}

TEST_F(OracleDataSetBrowse, FilterExpressionAndEventSelectRecords)
{
    createNumbered(QStringLiteral("ds_filter"), 50);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_filter order by id"));
    ds.SetFilter(QStringLiteral("QTY = 3"));
    ds.SetFiltered(true);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 3);
    ds.Last();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 43);
    EXPECT_EQ(ds.RecNo(), 5);

    ds.SetFilter(QStringLiteral("(QTY > 7) and (UPPER(NAME) = 'NAME 9')"));
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 9);

    // A text that does not parse keeps the filter in force.
    EXPECT_FALSE(messageOf([&] { ds.SetFilter(QStringLiteral("QTY = = 1")); }).isEmpty());
    EXPECT_EQ(ds.RecordCount(), 1);

    ds.OnFilterRecord = [](TDataSet *sender, bool &accept) {
        accept = sender->FieldByName(QStringLiteral("ID"))->AsInteger() > 40;
    };
    ds.SetFilter(QStringLiteral("QTY >= 8"));
    EXPECT_EQ(ds.RecordCount(), 2); // 48, 49
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 48);

    ds.OnFilterRecord = nullptr;
    ds.SetFiltered(false);
    EXPECT_EQ(ds.RecordCount(), 50);
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST_F(OracleDataSetBrowse, FilterWhileFetchingOnDemandAndCaseOptions)
{
    createNumbered(QStringLiteral("ds_filter2"), 40);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_filter2 order by id"));
    ds.SetQueryAllRecords(false);
    ds.SetReadBuffer(5);
    ds.SetFilter(QStringLiteral("NAME = 'NAME 2*'"));
    ds.SetFilterOptions(foCaseInsensitive);
    ds.SetFiltered(true);
    ds.Open();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 2);
    ds.Next();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 20);
    ds.Last();
    EXPECT_EQ(ds.RecordCount(), 11);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID"))->AsInteger(), 29);
    ds.SetFilterOptions(0);
    EXPECT_EQ(ds.RecordCount(), 0);
}

TEST_F(OracleDataSetBrowse, FilterNamingAnUnknownFieldFailsWhenRead)
{
    createNumbered(QStringLiteral("ds_filter3"), 3);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_filter3"));
    ds.SetFilter(QStringLiteral("NOPE = 1"));
    ds.SetFiltered(true);
    EXPECT_EQ(
        messageOf([&] { ds.Open(); }), QStringLiteral("OracleDataSet1: Field 'NOPE' not found"));
    EXPECT_FALSE(ds.Active());
}

TEST_F(OracleDataSetBrowse, LocateWithPartialAndCaseInsensitiveKeys)
{
    createTable(QStringLiteral("ds_locate"),
        QStringLiteral("id number(9), name varchar2(30), city varchar2(20), born date"));
    exec(QStringLiteral("insert into ds_locate values (1, 'Smith', 'Oslo', "
                        "to_date('2001-02-03 10:00:00', 'YYYY-MM-DD HH24:MI:SS'))"));
    exec(QStringLiteral("insert into ds_locate values (2, 'Smithers', 'Bergen', null)"));
    exec(QStringLiteral("insert into ds_locate values (3, 'Jones', 'Oslo', "
                        "to_date('2001-02-04', 'YYYY-MM-DD'))"));
    exec(QStringLiteral("insert into ds_locate values (4, 'jones', null, null)"));
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_locate order by id"));
    ds.Open();
    auto id = [&] { return ds.FieldByName(QStringLiteral("ID"))->AsInteger(); };

    struct Case {
        const char *fields;
        Variant values;
        TLocateOptions options;
        int found; // 0: not found
    };
    const Case cases[] = {
        { "NAME", QStringLiteral("Jones"), 0, 3 },
        { "NAME", QStringLiteral("JONES"), 0, 0 },
        { "NAME", QStringLiteral("JONES"), loCaseInsensitive, 3 },
        { "NAME", QStringLiteral("Smi"), 0, 0 },
        { "NAME", QStringLiteral("Smithe"), loPartialKey, 2 },
        { "NAME", QStringLiteral("sMIth"), loPartialKey | loCaseInsensitive, 1 },
        { "NAME;CITY", Variant(VariantArray { QStringLiteral("jones"), Variant::Null() }), 0, 4 },
        { "CITY;NAME", Variant(VariantArray { QStringLiteral("oslo"), QStringLiteral("j") }),
            loPartialKey | loCaseInsensitive, 3 },
        { "ID", 2, 0, 2 },
        { "ID", QStringLiteral("4"), 0, 4 },
        { "CITY", QStringLiteral(""), 0, 4 },
        { "BORN", Variant::FromDateTime(QDateToDateTime(QDate(2001, 2, 4))), 0, 3 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fields);
        SCOPED_TRACE(c.found);
        ds.First();
        ds.Next(); // Locate searches from the first record whatever the position
        const bool found = ds.Locate(QLatin1String(c.fields), c.values, c.options);
        EXPECT_EQ(found, c.found != 0);
        EXPECT_EQ(id(), c.found ? c.found : 2);
    }
    EXPECT_EQ(ds.Lookup(QStringLiteral("NAME"), QStringLiteral("Smithers"), QStringLiteral("CITY"))
                  .AsString(),
        QStringLiteral("Bergen"));
    EXPECT_TRUE(ds.Lookup(QStringLiteral("NAME"), QStringLiteral("Nobody"), QStringLiteral("CITY"))
                    .IsUnassigned());
    EXPECT_EQ(messageOf([&] { ds.Locate(QStringLiteral("NAME;CITY"), QStringLiteral("x"), 0); }),
        QStringLiteral("OracleDataSet1.SearchRecord: number of fields and values do not match"));
}

TEST_F(OracleDataSetBrowse, SearchRecordDirectionsAndOptions)
{
    createNumbered(QStringLiteral("ds_search"), 30);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_search order by id"));
    ds.SetQueryAllRecords(false);
    ds.SetReadBuffer(4);
    ds.Open();
    auto id = [&] { return ds.FieldByName(QStringLiteral("ID"))->AsInteger(); };
    // Forward from the current record fetches as it goes.
    EXPECT_TRUE(ds.SearchRecord(QStringLiteral("QTY"), 7, srFromCurrent | srForward));
    EXPECT_EQ(id(), 7);
    EXPECT_TRUE(ds.SearchRecord(QStringLiteral("QTY"), 7, srForward));
    EXPECT_EQ(id(), 17);
    EXPECT_TRUE(ds.SearchRecord(QStringLiteral("QTY"), 7, srFromEnd));
    EXPECT_EQ(id(), 27);
    EXPECT_TRUE(ds.SearchRecord(QStringLiteral("QTY"), 7, srBackward));
    EXPECT_EQ(id(), 17);
    EXPECT_TRUE(ds.SearchRecord(QStringLiteral("NAME"), QStringLiteral("NAME 2?"),
        srFromBeginning | srWildcards | srIgnoreCase | srDontMove));
    EXPECT_EQ(id(), 17);
    EXPECT_FALSE(ds.SearchRecord(QStringLiteral("QTY"), 11, srFromBeginning));
    EXPECT_EQ(id(), 17);
    for (int invalid : { srForward | srFromEnd, srFromBeginning | srBackward,
             srForward | srBackward, srFromCurrent | srFromEnd }) {
        SCOPED_TRACE(invalid);
        EXPECT_EQ(messageOf([&] { ds.SearchRecord(QStringLiteral("QTY"), 1, invalid); }),
            QStringLiteral("OracleDataSet1.SearchRecord options invalid"));
    }
}

TEST_F(OracleDataSetBrowse, BlobValuesAndStreams)
{
    createTable(QStringLiteral("ds_blob"), QStringLiteral("id number(9), data long raw"));
    {
        TOracleQuery insert;
        insert.SetSession(session.get());
        insert.SQL().SetText(QStringLiteral("insert into ds_blob values (:id, :data)"));
        insert.DeclareVariable(QStringLiteral("id"), SQLT_INT);
        insert.DeclareVariable(QStringLiteral("data"), SQLT_LBI);
        insert.SetVariable(QStringLiteral("id"), 1);
        insert.SetVariable(QStringLiteral("data"), QByteArray("\x01\x02\x03", 3));
        insert.Execute();
        insert.SetVariable(QStringLiteral("id"), 2);
        insert.SetVariable(QStringLiteral("data"), Variant::Null());
        insert.Execute();
    }
    TOracleDataSet &ds = newDataSet(QStringLiteral("select id, data from ds_blob order by id"));
    int applied = 0;
    // The check at edit start and the lock before the post (lmCheckImmediate) come here too.
    QString actions;
    ds.OnApplyRecord = [&](TOracleDataSet *, QChar action, bool &done, QString &) {
        actions += action;
        if (action == QLatin1Char('U'))
            ++applied;
        done = true;
    };
    ds.Open();
    auto *data = dynamic_cast<TBlobField *>(ds.FieldByName(QStringLiteral("DATA")));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->DataType(), ftBlob);
    EXPECT_EQ(data->AsBytes(), QByteArray("\x01\x02\x03", 3));
    EXPECT_EQ(data->BlobSize(), 3);
    EXPECT_EQ(messageOf([&] { ds.CreateBlobStream(data, bmWrite); }),
        QStringLiteral("OracleDataSet1: Dataset not in edit or insert mode"));
    ds.Next();
    EXPECT_TRUE(data->IsNull());
    {
        auto stream = ds.CreateBlobStream(data, bmRead);
        char byte = 0;
        EXPECT_EQ(stream->Size(), 0);
        EXPECT_EQ(stream->Read(&byte, 1), 0);
    }

    ds.Edit();
    {
        auto stream = ds.CreateBlobStream(data, bmReadWrite);
        stream->Seek(5, soBeginning);
        EXPECT_EQ(stream->Write("abc", 3), 3);
        EXPECT_EQ(stream->Size(), 8);
    }
    // The gap before the written bytes holds zeros, never stray memory.
    EXPECT_EQ(data->AsBytes(), QByteArray("\0\0\0\0\0abc", 8));
    ds.Post();
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(actions, QStringLiteral("CLU"));
    EXPECT_EQ(data->AsBytes(), QByteArray("\0\0\0\0\0abc", 8));
    ds.First();
    EXPECT_EQ(data->AsBytes(), QByteArray("\x01\x02\x03", 3));
    ds.Next();
    EXPECT_EQ(data->AsBytes(), QByteArray("\0\0\0\0\0abc", 8));
}

TEST_F(OracleDataSetBrowse, EditingKeepsOldValuesUntilPosted)
{
    createNumbered(QStringLiteral("ds_edit"), 3);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select rowid, t.* from ds_edit t order by id"));
    ds.OnApplyRecord = [](TOracleDataSet *, QChar, bool &done, QString &) { done = true; };
    ds.Open();
    ASSERT_TRUE(ds.CanModify());
    TField *name = ds.FieldByName(QStringLiteral("NAME"));
    ds.Edit();
    name->SetAsString(QStringLiteral("changed"));
    EXPECT_EQ(name->AsString(), QStringLiteral("changed"));
    EXPECT_EQ(name->OldValue().AsString(), QStringLiteral("name 1"));
    name->SetAsString(QString());
    EXPECT_TRUE(name->IsNull()); // an empty text is null
    name->SetAsString(QStringLiteral("changed"));
    ds.Post();
    EXPECT_EQ(name->OldValue().AsString(), QStringLiteral("changed"));
    ds.Next();
    ds.Prior();
    EXPECT_EQ(name->AsString(), QStringLiteral("changed"));
    ds.Edit();
    name->SetAsString(QStringLiteral("dropped"));
    ds.Cancel();
    EXPECT_EQ(name->AsString(), QStringLiteral("changed"));
    ds.SetReadOnly(true);
    EXPECT_FALSE(ds.CanModify());
}

TEST_F(OracleDataSetBrowse, DuplicateFilteredRecordIsReportedNotFatal)
{
    createNumbered(QStringLiteral("ds_dup"), 2);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_dup"));
    ds.Open();
    TRecordDataList *store = ds.RecordStore();
    char *record = store->FullRecord(0);
    store->AddFiltered(record, true);
    EXPECT_EQ(messageOf([&] { store->AddFiltered(record, false); }),
        QStringLiteral("BUG: Duplicate record in filtered list (0)"));
    EXPECT_EQ(store->FilteredCount(), 1);
    m_expectedFailures = 1;
}

TEST_F(OracleDataSetBrowse, FilteredStorePositions)
{
    createNumbered(QStringLiteral("ds_pos"), 6);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_pos order by id"));
    ds.SetFilter(QStringLiteral("QTY > 3"));
    ds.SetFiltered(true);
    ds.Open();
    TRecordDataList *store = ds.RecordStore();
    EXPECT_EQ(store->Count(), 6);
    EXPECT_EQ(store->RecordCount(), 3);
    EXPECT_EQ(store->FilteredToFull(0), 3);
    EXPECT_EQ(store->FilteredToFull(2), 5);
    EXPECT_EQ(store->FilteredToFull(3), 6);
    EXPECT_EQ(store->FullToFiltered(4), 1);
    EXPECT_EQ(store->FullToFiltered(1), -1);
    // A record that is not filtered in joins before the next filtered one.
    store->AddFiltered(store->FullRecord(1), false);
    EXPECT_EQ(store->FullToFiltered(1), 0);
    EXPECT_EQ(store->FilteredToFull(1), 3);
}

TEST_F(OracleDataSetBrowse, DeletingFromTheStoreKeepsTheViewsInStep)
{
    createNumbered(QStringLiteral("ds_del"), 5);
    TOracleDataSet &ds = newDataSet(QStringLiteral("select * from ds_del order by id"));
    ds.Open();
    TRecordDataList *store = ds.RecordStore();
    char *second = store->FullRecord(1);
    char *fourth = store->FullRecord(3);
    store->AddFiltered(fourth, true);
    // Not in the filtered list: only the full list loses it.
    store->DeleteRecord(1, true);
    EXPECT_EQ(store->Count(), 4);
    EXPECT_EQ(store->FilteredCount(), 1);
    EXPECT_EQ(store->IndexOfRecord(second), -1);
    EXPECT_EQ(store->IndexOfRecord(fourth), 2);
    store->DeleteRecord(2, true);
    EXPECT_EQ(store->Count(), 3);
    EXPECT_EQ(store->FilteredCount(), 0);
    // Slots stay allocated until the store is cleared.
    EXPECT_EQ(store->Block(0).Used, 5);
    store->ClearFiltered();
}

} // namespace
} // namespace qd::test
