// TMemoryData: records, IDs, auto-increment, record numbers, filtering, field values and the
// edit cycle.
#include "MemoryDataFixture.h"

#include "classlib/BytesField.h"
#include "classlib/DateTimeFields.h"
#include "classlib/VariantField.h"
#include "classlib/WideStringField.h"

#include <climits>

namespace qd::test {
namespace {

TEST(MemoryData, FirstIdAndIdsStartAgainAfterTheLastRecordGoes)
{
    auto ds = makeItems();
    appendItem(*ds, "a", 1);
    EXPECT_EQ(currentId(*ds), INT_MIN + 1);
    appendItem(*ds, "b", 2);
    EXPECT_EQ(currentId(*ds), INT_MIN + 2);

    // Deleting one of two keeps counting; deleting the last one starts again.
    ds->Delete();
    appendItem(*ds, "c", 3);
    EXPECT_EQ(currentId(*ds), INT_MIN + 3);
    ds->First();
    ds->Delete();
    ds->Delete();
    ASSERT_TRUE(ds->IsEmpty());
    appendItem(*ds, "d", 4);
    EXPECT_EQ(currentId(*ds), INT_MIN + 1);

    // Emptying.
    appendItem(*ds, "e", 5);
    ds->DeleteAllRecords();
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_EQ(ds->RecordCount(), 0);
    appendItem(*ds, "f", 6);
    EXPECT_EQ(currentId(*ds), INT_MIN + 1);

    // Closing.
    appendItem(*ds, "g", 7);
    ds->Close();
    ds->Open();
    EXPECT_EQ(ds->RecordCount(), 0);
    appendItem(*ds, "h", 8);
    EXPECT_EQ(currentId(*ds), INT_MIN + 1);
}

TEST(MemoryData, AutoIncrementPerDatasetOncePerRecordAndResetOnClose)
{
    auto makeCounted = [] {
        auto ds = std::make_unique<TMemoryData>();
        ds->FieldDefs().Add(QStringLiteral("A"), ftAutoInc);
        ds->FieldDefs().Add(QStringLiteral("B"), ftAutoInc);
        ds->FieldDefs().Add(QStringLiteral("NAME"), ftString, 10);
        ds->Open();
        return ds;
    };
    auto one = makeCounted();
    auto two = makeCounted();
    auto add = [](TDataSet &ds, const char *name) {
        ds.Append();
        ds.FieldByName(QStringLiteral("NAME"))->SetAsString(QString::fromLatin1(name));
        ds.Post();
        return std::pair(ds.FieldByName(QStringLiteral("A"))->AsInteger(),
            ds.FieldByName(QStringLiteral("B"))->AsInteger());
    };
    EXPECT_EQ(add(*one, "x"), std::pair(1, 1));
    EXPECT_EQ(add(*one, "y"), std::pair(2, 2));
    EXPECT_EQ(add(*two, "z"), std::pair(1, 1));
    // An edit keeps the number; an insert in the middle takes the next one.
    one->First();
    one->Edit();
    one->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("x2"));
    one->Post();
    EXPECT_EQ(one->FieldByName(QStringLiteral("A"))->AsInteger(), 1);
    one->Insert();
    one->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("w"));
    one->Post();
    EXPECT_EQ(one->FieldByName(QStringLiteral("A"))->AsInteger(), 3);
    EXPECT_EQ(column(*one, QStringLiteral("NAME")), QStringList({ "w", "x2", "y" }));
    one->Close();
    one->Open();
    EXPECT_EQ(add(*one, "v"), std::pair(1, 1));
}

TEST(MemoryData, RecordNumbers)
{
    auto ds = makeItems();
    EXPECT_EQ(ds->RecNo(), 0);
    for (int i = 1; i <= 3; ++i)
        appendItem(*ds, QStringLiteral("n%1").arg(i), i);
    ds->First();
    EXPECT_EQ(ds->RecNo(), 1);
    ds->Next();
    EXPECT_EQ(ds->RecNo(), 2);
    ds->Last();
    EXPECT_EQ(ds->RecNo(), 3);

    // Setting a number outside 1..count does nothing.
    struct Case {
        int value;
        int expected;
    };
    for (const Case &c : { Case { 0, 3 }, Case { 4, 3 }, Case { -1, 3 }, Case { 2, 2 },
             Case { 1, 1 }, Case { 3, 3 } }) {
        ds->SetRecNo(c.value);
        EXPECT_EQ(ds->RecNo(), c.expected) << "set " << c.value;
        EXPECT_EQ(ds->FieldByName(QStringLiteral("QTY"))->AsInteger(), c.expected);
    }

    // Before the first record, with records: 1.
    ds->First();
    ds->Prior();
    ASSERT_TRUE(ds->Bof());
    EXPECT_EQ(ds->RecNo(), 1);

    // A pending edit is posted to its own record before the number changes.
    ds->First();
    ds->Edit();
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("first"));
    ds->SetRecNo(3);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("n3"));
    EXPECT_EQ(column(*ds, QStringLiteral("NAME")), QStringList({ "first", "n2", "n3" }));
}

TEST(MemoryData, FilteredDatasetKeepsTheFullRecordCount)
{
    auto ds = makeItems();
    for (int i = 1; i <= 6; ++i)
        appendItem(*ds, QStringLiteral("n%1").arg(i), i);
    ds->SetOnFilterRecord([](TDataSet *d, bool &accept) {
        accept = d->FieldByName(QStringLiteral("QTY"))->AsInteger() % 2 == 0;
    });
    ds->SetFiltered(true);
    EXPECT_EQ(column(*ds, QStringLiteral("QTY")), QStringList({ "2", "4", "6" }));
    EXPECT_EQ(ds->RecordCount(), 6);
    EXPECT_FALSE(ds->IsSequenced());

    // Deleting steps back to an accepted record; locating skips rejected ones.
    ds->Last();
    ds->Delete();
    EXPECT_EQ(ds->FieldByName(QStringLiteral("QTY"))->AsInteger(), 4);
    EXPECT_FALSE(ds->Locate(QStringLiteral("QTY"), 3, 0));
    EXPECT_TRUE(ds->Locate(QStringLiteral("QTY"), 2, 0));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("QTY"))->AsInteger(), 2);

    // An exception in the handler does not stop navigation: the decision so far stands.
    ds->SetOnFilterRecord([](TDataSet *d, bool &accept) {
        const int qty = d->FieldByName(QStringLiteral("QTY"))->AsInteger();
        accept = qty != 3;
        if (qty == 1)
            throw EDatabaseError(QStringLiteral("handler failed"));
    });
    EXPECT_EQ(column(*ds, QStringLiteral("QTY")), QStringList({ "1", "2", "4", "5" }));

    ds->SetFiltered(false);
    EXPECT_EQ(column(*ds, QStringLiteral("QTY")).size(), 5);
    EXPECT_TRUE(ds->IsSequenced());
}

TEST(MemoryData, EmptyStringReadsAsNull)
{
    auto ds = makeItems();
    ds->Append();
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QString());
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("NAME"))->IsNull());
    ds->FieldByName(QStringLiteral("QTY"))->SetAsInteger(0);
    ds->Post();
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("NAME"))->IsNull());
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("NAME"))->AsVariant().IsNull());
    // Zero is a value, not null.
    EXPECT_FALSE(ds->FieldByName(QStringLiteral("QTY"))->IsNull());
    EXPECT_EQ(ds->FieldByName(QStringLiteral("QTY"))->AsVariant(), Variant(0));
}

TEST(MemoryData, EveryKeptFieldTypeRoundTrips)
{
    TMemoryData ds;
    ds.FieldDefs().Add(QStringLiteral("S"), ftString, 10);
    ds.FieldDefs().Add(QStringLiteral("SI"), ftSmallint);
    ds.FieldDefs().Add(QStringLiteral("I"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("W"), ftWord);
    ds.FieldDefs().Add(QStringLiteral("BO"), ftBoolean);
    ds.FieldDefs().Add(QStringLiteral("F"), ftFloat);
    ds.FieldDefs().Add(QStringLiteral("CU"), ftCurrency);
    ds.FieldDefs().Add(QStringLiteral("BC"), ftBCD);
    ds.FieldDefs().Add(QStringLiteral("D"), ftDate);
    ds.FieldDefs().Add(QStringLiteral("T"), ftTime);
    ds.FieldDefs().Add(QStringLiteral("DT"), ftDateTime);
    ds.FieldDefs().Add(QStringLiteral("BY"), ftBytes, 4);
    ds.FieldDefs().Add(QStringLiteral("VB"), ftVarBytes, 6);
    ds.FieldDefs().Add(QStringLiteral("FC"), ftFixedChar, 5);
    ds.FieldDefs().Add(QStringLiteral("WS"), ftWideString, 8);
    ds.FieldDefs().Add(QStringLiteral("LI"), ftLargeint);
    ds.FieldDefs().Add(QStringLiteral("V"), ftVariant);
    ds.FieldDefs().Add(QStringLiteral("G"), ftGuid);
    ds.FieldDefs().Add(QStringLiteral("BL"), ftBlob);
    ds.FieldDefs().Add(QStringLiteral("M"), ftMemo);
    ds.Open();

    const double when = 45000.25; // a day count with a time of day
    const std::vector<std::pair<const char *, Variant>> values = {
        { "S", Variant("text") },
        { "SI", Variant(-12) },
        { "I", Variant(123456) },
        { "W", Variant(65535) },
        { "BO", Variant(true) },
        { "F", Variant(1.5) },
        { "CU", Variant(12.25) },
        { "BC", Variant(3.75) },
        { "D", Variant::FromDateTime(45000) },
        { "T", Variant::FromDateTime(0.25) },
        { "DT", Variant::FromDateTime(when) },
        { "BY", Variant(QByteArray("\x01\x00\x02\x03", 4)) },
        { "VB", Variant(QByteArray("\x00\xff", 2)) },
        { "FC", Variant("abcde") },
        { "WS", Variant(QStringLiteral(u"Ā wide")) },
        { "LI", Variant(Q_INT64_C(1) << 40) },
        { "V", Variant(QStringLiteral("any")) },
        { "G", Variant("{12345678-9ABC-DEF0-1234-56789ABCDEF0}") },
        { "BL", Variant(QByteArray("\x00\x01 blob", 7)) },
        { "M", Variant("memo text") },
    };
    ds.Append();
    for (const auto &[name, value] : values)
        ds.FieldByName(QString::fromLatin1(name))->SetAsVariant(value);
    ds.Post();
    ds.Append();
    ds.FieldByName(QStringLiteral("I"))->SetAsInteger(2);
    ds.Post();
    ds.First();
    for (const auto &[name, value] : values) {
        TField *field = ds.FieldByName(QString::fromLatin1(name));
        EXPECT_EQ(field->AsVariant(), value) << name << ": " << field->AsString().toStdString();
    }
    ds.Next();
    for (const auto &[name, value] : values) {
        if (QLatin1String(name) != QLatin1String("I")) {
            EXPECT_TRUE(ds.FieldByName(QString::fromLatin1(name))->IsNull()) << name;
        }
    }
}

TEST(MemoryData, BinaryAndGuidValuesAreChecked)
{
    TMemoryData ds;
    ds.FieldDefs().Add(QStringLiteral("BY"), ftBytes, 3);
    ds.FieldDefs().Add(QStringLiteral("VB"), ftVarBytes, 3);
    ds.FieldDefs().Add(QStringLiteral("G"), ftGuid);
    ds.FieldDefs().Add(QStringLiteral("WS"), ftWideString, 3);
    ds.Open();
    ds.Append();
    TField *bytes = ds.FieldByName(QStringLiteral("BY"));
    TField *varBytes = ds.FieldByName(QStringLiteral("VB"));
    TField *guid = ds.FieldByName(QStringLiteral("G"));
    TField *wide = ds.FieldByName(QStringLiteral("WS"));
    EXPECT_THROW(bytes->SetAsBytes(QByteArray("1234")), EDatabaseError);
    EXPECT_THROW(varBytes->SetAsBytes(QByteArray("1234")), EDatabaseError);
    EXPECT_THROW(guid->SetAsString(QStringLiteral("not a guid")), EDatabaseError);
    bytes->SetAsBytes(QByteArray("x"));
    varBytes->SetAsBytes(QByteArray("x"));
    guid->SetAsString(QStringLiteral("{0a0b0c0d-0000-0000-0000-00000000000f}"));
    // A surrogate pair is never cut in half.
    wide->SetAsString(QStringLiteral(u"ab😀"));
    ds.Post();
    EXPECT_EQ(bytes->AsBytes(), QByteArray("x\0\0", 3)) << "fixed length, zero padded";
    EXPECT_EQ(varBytes->AsBytes(), QByteArray("x"));
    EXPECT_EQ(guid->AsString(), QStringLiteral("{0A0B0C0D-0000-0000-0000-00000000000F}"));
    EXPECT_EQ(wide->AsString(), QStringLiteral("ab"));
}

TEST(MemoryData, VariantValueSeenByItsValidationHandler)
{
    TMemoryData ds;
    ds.FieldDefs().Add(QStringLiteral("V"), ftVariant);
    ds.Open();
    TField *v = ds.FieldByName(QStringLiteral("V"));
    QStringList seen;
    v->OnValidate = [&](TField *f) {
        seen << f->AsString();
        if (f->AsString() == QLatin1String("bad"))
            throw EDatabaseError(QStringLiteral("refused"));
    };
    ds.Append();
    v->SetAsVariant(QStringLiteral("shared text"));
    EXPECT_THROW(v->SetAsString(QStringLiteral("bad")), EDatabaseError);
    ds.Post();
    EXPECT_EQ(seen, QStringList({ "shared text", "bad" }));
    EXPECT_EQ(v->AsVariant(), Variant(QStringLiteral("shared text")));
    ds.Edit();
    v->Clear();
    ds.Post();
    EXPECT_TRUE(v->IsNull());
}

TEST(MemoryData, UnsupportedTypeIsRefusedAtOpenNamingTheField)
{
    // An object field is refused too: its values would live in child fields, which the field
    // definitions cannot describe.
    for (TFieldType type : { ftCursor, ftTimeStamp, ftFMTBcd, ftReference, ftUnknown, ftADT }) {
        TMemoryData ds;
        ds.FieldDefs().Add(QStringLiteral("OK"), ftInteger);
        ds.FieldDefs().Add(QStringLiteral("ODD"), type);
        try {
            ds.Open();
            ADD_FAILURE() << "opened with " << FieldTypeName(type).toStdString();
        } catch (const EDatabaseError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Field 'ODD' is of an unknown type"));
        }
        EXPECT_FALSE(ds.Active());
        EXPECT_EQ(ds.FieldCount(), 0);
    }
}

TEST(MemoryData, PersistentFieldsDescribeTheRecord)
{
    TMemoryData ds;
    auto *name = ds.Fields().Create<TStringField>(QStringLiteral("NAME"));
    name->SetSize(8);
    auto *total = ds.Fields().Create<TIntegerField>(QStringLiteral("TOTAL"));
    total->SetFieldKind(fkCalculated);
    auto *qty = ds.Fields().Create<TIntegerField>(QStringLiteral("QTY"));
    ds.FieldDefs().Add(QStringLiteral("STALE"), ftFloat); // replaced by the fields
    ds.OnCalcFields = [&](TDataSet *) { total->SetAsInteger(qty->AsInteger() * 10); };
    ds.Open();
    EXPECT_EQ(ds.FieldDefs().Count(), 2);
    EXPECT_EQ(ds.FieldDefs().IndexOf(QStringLiteral("STALE")), -1);
    ds.Append();
    name->SetAsString(QStringLiteral("longer than eight"));
    qty->SetAsInteger(4);
    ds.Post();
    EXPECT_EQ(name->AsString(), QStringLiteral("longer t"));
    EXPECT_EQ(total->AsInteger(), 40);
    // A calculated field cannot be written in browse state.
    EXPECT_THROW(total->SetAsInteger(1), EDatabaseError);
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 3); // persistent fields stay

    TMemoryData bad;
    auto cursor = std::make_unique<TField>(ftCursor);
    cursor->SetFieldName(QStringLiteral("CUR"));
    bad.Fields().Add(std::move(cursor));
    EXPECT_THROW(bad.Open(), EDatabaseError);
}

TEST(MemoryData, LookupFieldReadsAnotherMemoryDataset)
{
    TMemoryData kinds;
    kinds.FieldDefs().Add(QStringLiteral("CODE"), ftInteger);
    kinds.FieldDefs().Add(QStringLiteral("LABEL"), ftString, 10);
    kinds.Open();
    for (auto [code, label] : { std::pair(1, "one"), std::pair(2, "two") }) {
        kinds.Append();
        kinds.FieldByName(QStringLiteral("CODE"))->SetAsInteger(code);
        kinds.FieldByName(QStringLiteral("LABEL"))->SetAsString(QString::fromLatin1(label));
        kinds.Post();
    }
    TMemoryData items;
    items.Fields().Create<TIntegerField>(QStringLiteral("KIND"));
    auto *label = items.Fields().Create<TStringField>(QStringLiteral("KIND_LABEL"));
    label->SetFieldKind(fkLookup);
    label->SetLookupDataSet(&kinds);
    label->SetKeyFields(QStringLiteral("KIND"));
    label->SetLookupKeyFields(QStringLiteral("CODE"));
    label->SetLookupResultField(QStringLiteral("LABEL"));
    items.Open();
    for (int kind : { 2, 1, 3 }) {
        items.Append();
        items.FieldByName(QStringLiteral("KIND"))->SetAsInteger(kind);
        items.Post();
    }
    EXPECT_EQ(column(items, QStringLiteral("KIND_LABEL")), QStringList({ "two", "one", "<null>" }));
    // Looking up does not move the looked-up dataset.
    EXPECT_EQ(kinds.RecNo(), 2);
}

TEST(MemoryData, EditCycleWithCancelAndEvents)
{
    auto ds = makeItems();
    QStringList events;
    ds->BeforePost = [&](TDataSet *) { events << "BeforePost"; };
    ds->AfterPost = [&](TDataSet *) { events << "AfterPost"; };
    ds->AfterCancel = [&](TDataSet *) { events << "AfterCancel"; };
    ds->AfterDelete = [&](TDataSet *) { events << "AfterDelete"; };
    ds->OnNewRecord = [&](TDataSet *d) { d->FieldByName(QStringLiteral("QTY"))->SetAsInteger(7); };
    appendItem(*ds, "a", Variant::Null());
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("QTY"))->IsNull());
    ds->Append();
    EXPECT_EQ(ds->FieldByName(QStringLiteral("QTY"))->AsInteger(), 7);
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("b"));
    ds->Post();
    ds->Edit();
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("changed"));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("changed"));
    ds->Cancel();
    EXPECT_EQ(ds->FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("b"));
    ds->Insert();
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("before b"));
    ds->Post();
    ds->First();
    ds->Delete();
    EXPECT_EQ(column(*ds, QStringLiteral("NAME")), QStringList({ "before b", "b" }));
    EXPECT_EQ(events,
        QStringList({ "BeforePost", "AfterPost", "BeforePost", "AfterPost", "AfterCancel",
            "BeforePost", "AfterPost", "AfterDelete" }));
    // Writing outside an edit, and a read-only field.
    EXPECT_THROW(
        ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("x")), EDatabaseError);
    ds->FieldByName(QStringLiteral("QTY"))->SetReadOnly(true);
    ds->Edit();
    try {
        ds->FieldByName(QStringLiteral("QTY"))->SetAsInteger(1);
        ADD_FAILURE() << "wrote a read-only field";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Field 'QTY' cannot be modified"));
    }
    ds->Cancel();
}

TEST(MemoryData, BookmarksFollowRecordsAndCompareById)
{
    auto ds = makeItems();
    for (int i = 1; i <= 4; ++i)
        appendItem(*ds, QStringLiteral("n%1").arg(i), i);
    ds->First();
    ds->Next();
    const TBookmark second = ds->GetBookmark();
    ds->Next();
    const TBookmark third = ds->GetBookmark();
    EXPECT_EQ(ds->CompareBookmarks(second, third), -1);
    EXPECT_EQ(ds->CompareBookmarks(third, second), 1);
    EXPECT_EQ(ds->CompareBookmarks(second, second), 0);
    EXPECT_EQ(ds->CompareBookmarks({}, second), -1);
    EXPECT_EQ(ds->CompareBookmarks({}, {}), 0);
    EXPECT_TRUE(ds->BookmarkValid(second));
    EXPECT_FALSE(ds->BookmarkValid(QByteArray(4, '\0')));

    // Inserting before the second record keeps its bookmark on it.
    ds->First();
    ds->Next();
    ds->Insert();
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("new"));
    ds->Post();
    ds->Last();
    ds->GotoBookmark(second);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("NAME"))->AsString(), QStringLiteral("n2"));
    EXPECT_EQ(column(*ds, QStringLiteral("NAME")), QStringList({ "n1", "new", "n2", "n3", "n4" }));
    ds->Close();
    EXPECT_FALSE(ds->BookmarkValid(second));
}

} // namespace
} // namespace qd::test
