// TMemoryData: sorting, locating, loading and copying structure; the free locate and assign
// functions.
#include "MemoryDataFixture.h"

#include "classlib/WideStringField.h"

namespace qd::test {
namespace {

// NAME, QTY and the creation order (TAG) of each record.
std::unique_ptr<TMemoryData> makeTagged(
    const std::vector<std::tuple<Variant, Variant, const char *>> &rows)
{
    auto ds = makeItems(false);
    ds->FieldDefs().Add(QStringLiteral("TAG"), ftString, 10);
    ds->Open();
    for (const auto &[name, qty, tag] : rows) {
        ds->Append();
        ds->FieldByName(QStringLiteral("NAME"))->SetAsVariant(name);
        ds->FieldByName(QStringLiteral("QTY"))->SetAsVariant(qty);
        ds->FieldByName(QStringLiteral("TAG"))->SetAsString(QString::fromLatin1(tag));
        ds->Post();
    }
    return ds;
}

TEST(MemoryDataSort, TwoFieldsStableBothWaysWithNulls)
{
    const Variant null = Variant::Null();
    auto ds = makeTagged({ { "b", 2, "t1" }, { "a", 5, "t2" }, { "b", 1, "t3" }, { null, 3, "t4" },
        { "a", 5, "t5" }, { "b", null, "t6" }, { "a", 5, "t7" }, { null, null, "t8" } });
    ds->SortByFields(QStringLiteral("NAME;QTY"));
    EXPECT_EQ(column(*ds, QStringLiteral("TAG")),
        QStringList({ "t8", "t4", "t2", "t5", "t7", "t6", "t3", "t1" }));
    ds->SortByFields(QStringLiteral("NAME;QTY"), false, true);
    EXPECT_EQ(column(*ds, QStringLiteral("TAG")),
        QStringList({ "t1", "t3", "t6", "t7", "t5", "t2", "t4", "t8" }));
    EXPECT_TRUE(ds->IsIndexField(ds->FieldByName(QStringLiteral("NAME"))));
    EXPECT_FALSE(ds->IsIndexField(ds->FieldByName(QStringLiteral("TAG"))));

    // Closing forgets the sort keys.
    ds->Close();
    ds->Open();
    EXPECT_FALSE(ds->IsIndexField(ds->FieldByName(QStringLiteral("NAME"))));
}

// A descendant that redefines the comparison is sorted through it, and the plain comparison
// gives the order the plain dataset's own sort gives.
TEST(MemoryDataSort, ThroughARedefinedComparison)
{
    class Counting : public TMemoryData {
    public:
        int calls = 0;
        int CompareRecords(const TMemoryRecord &a, const TMemoryRecord &b) override
        {
            ++calls;
            return TMemoryData::CompareRecords(a, b);
        }
    };
    const std::vector<std::tuple<int, double, const char *>> rows = { { 2, 1.5, "Bx" },
        { 1, 2.5, "a" }, { 2, -1.0, "b" }, { 1, 2.5, "A" }, { 3, 0.0, "" }, { 2, 1.5, "bx" } };
    auto fill = [&](TMemoryData &ds) {
        ds.FieldDefs().Add(QStringLiteral("N"), ftSmallint);
        ds.FieldDefs().Add(QStringLiteral("F"), ftFloat);
        ds.FieldDefs().Add(QStringLiteral("S"), ftString, 5);
        ds.FieldDefs().Add(QStringLiteral("W"), ftWideString, 5);
        ds.Open();
        for (const auto &[n, f, text] : rows) {
            ds.Append();
            ds.FieldByName(QStringLiteral("N"))->SetAsInteger(n);
            ds.FieldByName(QStringLiteral("F"))->SetAsFloat(f);
            ds.FieldByName(QStringLiteral("S"))->SetAsString(QString::fromLatin1(text));
            ds.FieldByName(QStringLiteral("W"))->SetAsString(QString::fromLatin1(text));
            ds.Post();
        }
    };
    Counting counting;
    TMemoryData plain;
    fill(counting);
    fill(plain);
    struct Case {
        const char *keys;
        bool caseInsensitive;
        bool descending;
    };
    for (const Case &c : { Case { "N;F", false, false }, Case { "S", true, false },
             Case { "W;N", false, true }, Case { "F;S", false, true } }) {
        counting.calls = 0;
        counting.SortByFields(QString::fromLatin1(c.keys), c.caseInsensitive, c.descending);
        plain.SortByFields(QString::fromLatin1(c.keys), c.caseInsensitive, c.descending);
        EXPECT_GT(counting.calls, 0);
        for (const char *field : { "N", "F", "S" })
            EXPECT_EQ(column(counting, QString::fromLatin1(field)),
                column(plain, QString::fromLatin1(field)))
                << c.keys << " " << field;
    }
    plain.SortByFields(QStringLiteral("S"), true);
    EXPECT_EQ(
        column(plain, QStringLiteral("S")), QStringList({ "<null>", "a", "A", "b", "Bx", "bx" }));
}

TEST(MemoryDataSort, CaseAndTheCurrentRecord)
{
    auto ds
        = makeTagged({ { "b", 1, "t1" }, { "B", 1, "t2" }, { "a", 1, "t3" }, { "A", 1, "t4" } });
    ds->First();
    ds->Next(); // t2
    ds->SortByFields(QStringLiteral("NAME"), true);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("TAG"))->AsString(), QStringLiteral("t2"));
    EXPECT_EQ(column(*ds, QStringLiteral("TAG")), QStringList({ "t3", "t4", "t1", "t2" }));

    // A pending edit is posted to its own record, not to the one sorted into its place.
    ds->First(); // t3 "a"
    ds->Edit();
    ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QStringLiteral("z"));
    ds->SortByFields(QStringLiteral("TAG"));
    EXPECT_EQ(column(*ds, QStringLiteral("NAME")), QStringList({ "b", "B", "z", "A" }));
}

TEST(MemoryDataSort, KeysOfTheWrongKindAreRefusedAndForgotten)
{
    auto ds = makeItems();
    appendItem(*ds, "a", 1);
    ds->SortByFields(QStringLiteral("QTY"));
    try {
        ds->SortByFields(QStringLiteral("NAME;NOTE"));
        ADD_FAILURE() << "sorted on a memo";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("'NOTE'"))) << e.Message().toStdString();
    }
    EXPECT_FALSE(ds->IsIndexField(ds->FieldByName(QStringLiteral("QTY"))));
    EXPECT_THROW(ds->SortByFields(QStringLiteral("NOSUCH")), EDatabaseError);
    // Sorting a closed dataset only keeps the keys.
    TMemoryData closed;
    TField *qty = closed.Fields().Create<TIntegerField>(QStringLiteral("QTY"));
    closed.SortByFields(QStringLiteral("QTY"));
    EXPECT_TRUE(closed.IsIndexField(qty));
}

TEST(MemoryDataLocate, PartialKeyOnStringAndWholeValueOnFixedChar)
{
    auto ds = makeItems(false);
    ds->FieldDefs().Add(QStringLiteral("CODE"), ftFixedChar, 6);
    ds->Open();
    for (auto [name, code] : { std::pair("Anna", "ANN001"), std::pair("anders", "AND002"),
             std::pair("Bert", "BER003") }) {
        ds->Append();
        ds->FieldByName(QStringLiteral("NAME"))->SetAsString(QString::fromLatin1(name));
        ds->FieldByName(QStringLiteral("CODE"))->SetAsString(QString::fromLatin1(code));
        ds->Post();
    }
    struct Case {
        const char *field;
        Variant key;
        TLocateOptions options;
        const char *found; // NAME of the record found, or nullptr
    };
    const std::vector<Case> cases = {
        { "NAME", "An", loPartialKey, "Anna" }, { "NAME", "an", loPartialKey, "anders" },
        { "NAME", "AN", loPartialKey | loCaseInsensitive, "Anna" }, { "NAME", "An", 0, nullptr },
        { "NAME", "bert", loCaseInsensitive, "Bert" }, { "NAME", "Bert", 0, "Bert" },
        { "NAME", "Berta", loPartialKey, nullptr }, { "CODE", "AND", loPartialKey, nullptr },
        { "CODE", "AND002", loPartialKey, "anders" },
        { "QTY", Variant::Null(), 0, "Bert" }, // the current record matches
    };
    for (const Case &c : cases) {
        ds->Last();
        const bool found = ds->Locate(QString::fromLatin1(c.field), c.key, c.options);
        EXPECT_EQ(found, c.found != nullptr) << c.field << " " << c.key.AsString().toStdString();
        // Found: the record is current; not found: the dataset stays where it was.
        EXPECT_EQ(ds->FieldByName(QStringLiteral("NAME"))->AsString(),
            QString::fromLatin1(c.found ? c.found : "Bert"))
            << c.field << " " << c.key.AsString().toStdString();
        // The free function gives the same answers by moving through the dataset.
        ds->Last();
        EXPECT_EQ(DataSetLocateThrough(ds.get(), QString::fromLatin1(c.field), c.key, c.options),
            c.found != nullptr);
        EXPECT_EQ(ds->FieldByName(QStringLiteral("NAME"))->AsString(),
            QString::fromLatin1(c.found ? c.found : "Bert"));
    }
    // Two fields take an array of values.
    EXPECT_TRUE(ds->Locate(QStringLiteral("NAME;CODE"), VariantArray { "anders", "AND002" }, 0));
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_FALSE(ds->Locate(QStringLiteral("NAME;CODE"), VariantArray { "anders", "ANN001" }, 0));
    EXPECT_THROW(ds->Locate(QStringLiteral("NAME;CODE"), "anders", 0), EDatabaseError);
    EXPECT_THROW(ds->Locate(QStringLiteral("NOSUCH"), "x", 0), EDatabaseError);
}

TEST(MemoryDataLocate, CurrentRecordKeptAndOneScrollPerLocate)
{
    auto ds = makeTagged({ { "a", 1, "t1" }, { "b", 1, "t2" }, { "b", 2, "t3" } });
    int scrolls = 0;
    ds->AfterScroll = [&](TDataSet *) { ++scrolls; };
    ds->Last();
    scrolls = 0;
    EXPECT_TRUE(ds->Locate(QStringLiteral("NAME"), "b", 0));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("TAG"))->AsString(), QStringLiteral("t3"));
    EXPECT_EQ(scrolls, 1);
    EXPECT_TRUE(ds->Locate(QStringLiteral("QTY"), 1, 0));
    EXPECT_EQ(ds->FieldByName(QStringLiteral("TAG"))->AsString(), QStringLiteral("t1"));
    EXPECT_EQ(scrolls, 2);
}

TEST(MemoryDataLocate, EmptyDatasetFindsNothingWithoutMoving)
{
    auto ds = makeItems();
    int scrolls = 0;
    ds->AfterScroll = [&](TDataSet *) { ++scrolls; };
    EXPECT_FALSE(DataSetLocateThrough(ds.get(), QStringLiteral("NAME"), "a", 0));
    EXPECT_FALSE(ds->Locate(QStringLiteral("NAME"), "a", 0));
    EXPECT_EQ(scrolls, 0);
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_EQ(ds->Lookup(QStringLiteral("NAME"), "a", QStringLiteral("QTY")), Variant::Null());
}

TEST(MemoryDataLoad, FromTheSourcesCurrentRecordAndAll)
{
    auto source = makeTagged({ { "a", 1, "t1" }, { "b", 2, "t2" }, { "c", 3, "t3" },
        { "d", 4, "t4" }, { "e", 5, "t5" } });
    source->Edit();
    source->FieldByName(QStringLiteral("NOTE"))->SetAsString(QStringLiteral("memo of e"));
    source->Post();
    source->First();
    source->Next(); // t2

    TMemoryData copy;
    EXPECT_EQ(copy.LoadFromDataSet(source.get(), 3, false), 3);
    EXPECT_EQ(copy.RecNo(), 1);
    EXPECT_EQ(column(copy, QStringLiteral("TAG")), QStringList({ "t2", "t3", "t4" }));
    EXPECT_EQ(copy.FieldCount(), 4);

    // Appending everything from the first; BLOB values come along.
    source->Last();
    EXPECT_EQ(copy.LoadFromDataSet(source.get(), 0, true), 5);
    EXPECT_EQ(column(copy, QStringLiteral("TAG")),
        QStringList({ "t2", "t3", "t4", "t1", "t2", "t3", "t4", "t5" }));
    copy.Last();
    EXPECT_EQ(copy.FieldByName(QStringLiteral("NOTE"))->AsString(), QStringLiteral("memo of e"));

    // A closed source is opened for the load and closed again.
    TMemoryData closedSource;
    closedSource.FieldDefs().Add(QStringLiteral("X"), ftInteger);
    EXPECT_EQ(copy.LoadFromDataSet(&closedSource, 0, false), 0);
    EXPECT_FALSE(closedSource.Active());
    EXPECT_TRUE(copy.Active());
    EXPECT_EQ(copy.FieldCount(), 1);
}

TEST(MemoryDataLoad, IntoItselfChangesNothing)
{
    auto ds = makeTagged({ { "a", 1, "t1" }, { "b", 2, "t2" } });
    ds->SortByFields(QStringLiteral("QTY"), false, true);
    EXPECT_EQ(ds->LoadFromDataSet(ds.get(), 0, false), 0);
    EXPECT_EQ(column(*ds, QStringLiteral("TAG")), QStringList({ "t2", "t1" }));
    EXPECT_TRUE(ds->IsIndexField(ds->FieldByName(QStringLiteral("QTY"))));
}

TEST(MemoryDataLoad, CopyStructureLeavesOutWhatItCannotKeep)
{
    TMemoryData source;
    source.FieldDefs().Add(QStringLiteral("A"), ftInteger);
    source.FieldDefs().Add(QStringLiteral("CUR"), ftCursor);
    source.FieldDefs().Add(QStringLiteral("B"), ftWideString, 5);
    source.FieldDefs().Add(QStringLiteral("TS"), ftTimeStamp);
    TMemoryData dest;
    dest.CopyStructure(&source);
    QStringList names;
    dest.GetFieldNames(names);
    EXPECT_EQ(names, QStringList({ "A", "B" }));
    EXPECT_EQ(dest.FieldByName(QStringLiteral("B"))->Size(), 5);
    dest.CopyStructure(nullptr);
    EXPECT_EQ(dest.FieldCount(), 0);
    dest.Open();
    EXPECT_THROW(dest.CopyStructure(&source), EDatabaseError);
}

TEST(MemoryDataLoad, AssignRecordByNameAndByPosition)
{
    auto source = makeTagged({ { "a", 1, "t1" } });
    TMemoryData dest;
    dest.FieldDefs().Add(QStringLiteral("QTY"), ftInteger);
    dest.FieldDefs().Add(QStringLiteral("OTHER"), ftString, 10);
    dest.Open();
    try {
        AssignRecord(source.get(), &dest, true);
        ADD_FAILURE() << "assigned in browse state";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Dataset not in edit or insert mode"));
    }
    dest.Append();
    AssignRecord(source.get(), &dest, true);
    EXPECT_EQ(dest.FieldByName(QStringLiteral("QTY"))->AsInteger(), 1);
    EXPECT_TRUE(dest.FieldByName(QStringLiteral("OTHER"))->IsNull());
    // By position: the n-th definitions go together, whatever their names.
    dest.Cancel();
    dest.Close();
    dest.FieldDefs().Clear();
    dest.FieldDefs().Add(QStringLiteral("FIRST"), ftString, 10);
    dest.FieldDefs().Add(QStringLiteral("SECOND"), ftString, 10);
    dest.Open();
    dest.Append();
    AssignRecord(source.get(), &dest, false);
    EXPECT_EQ(dest.FieldByName(QStringLiteral("FIRST"))->AsString(), QStringLiteral("a"));
    EXPECT_EQ(dest.FieldByName(QStringLiteral("SECOND"))->AsString(), QStringLiteral("1"));
    dest.Cancel();
}

} // namespace
} // namespace qd::test
