// TDynamicRecord: tables of in-memory records found by a store-wide ID.
#include "MemoryDataFixture.h"

#include "tools/DynamicRecord.h"

namespace qd::test {
namespace {

// The debugger's and the wizard editor's tables.
void addTables(TDynamicRecord &store)
{
    store.AddTable(QStringLiteral("PROGINFO"));
    store.AddField(QStringLiteral("PROGINFO"), QStringLiteral("owner"), ftString, 30, false);
    store.AddField(QStringLiteral("PROGINFO"), QStringLiteral("name"), ftString, 30, false);
    store.AddField(QStringLiteral("PROGINFO"), QStringLiteral("namespace"), ftInteger, 0, false);
    store.AddTable(QStringLiteral("WizRec"));
    store.AddField(QStringLiteral("WizRec"), QStringLiteral("DataType"), ftString, 40, true);
    store.AddField(QStringLiteral("WizRec"), QStringLiteral("Prompt"), ftString, 120, true);
    store.AddField(QStringLiteral("WizRec"), QStringLiteral("Page"), ftString, 60, true);
}

TEST(DynamicRecord, IdsCountAcrossTablesAndFindTheirRecords)
{
    TDynamicRecord store;
    addTables(store);
    const QStringList wizFields = { "DataType", "Prompt", "Page" };
    EXPECT_EQ(store.AddRecord(QStringLiteral("WizRec"), wizFields, { "Text", "Name?", "P1" }), 1);
    EXPECT_EQ(
        store.AddRecord(QStringLiteral("PROGINFO"), { "owner", "name" }, { "SCOTT", "PKG" }), 2);
    EXPECT_EQ(
        store.AddRecord(QStringLiteral("wizrec"), wizFields, { "Number", "Count?", "P2" }), 3);
    EXPECT_EQ(store.AddRecord(QStringLiteral("NOSUCH"), {}, {}), -1);
    EXPECT_EQ(store.AddRecord(QStringLiteral("PROGINFO"), { "namespace" }, { 1 }), 4);

    struct Case {
        int id;
        const char *table;
        VariantArray values;
    };
    const std::vector<Case> cases = {
        { 1, "WizRec", { 1, "Text", "Name?", "P1" } },
        { 2, "PROGINFO", { 2, "SCOTT", "PKG", Variant::Null() } },
        { 3, "WizRec", { 3, "Number", "Count?", "P2" } },
        { 4, "PROGINFO", { 4, Variant::Null(), Variant::Null(), 1 } },
    };
    for (const Case &c : cases) {
        QString table;
        VariantArray values;
        ASSERT_TRUE(store.FindRecord(c.id, table, values)) << c.id;
        EXPECT_EQ(table, QString::fromLatin1(c.table));
        EXPECT_EQ(values, c.values) << c.id;
    }

    EXPECT_TRUE(store.UpdateRecord(3, { "Prompt" }, { "How many?" }));
    QString table;
    VariantArray values;
    ASSERT_TRUE(store.FindRecord(3, table, values));
    EXPECT_EQ(values, VariantArray({ 3, "Number", "How many?", "P2" }));
    EXPECT_FALSE(store.UpdateRecord(99, { "Prompt" }, { "x" }));
}

TEST(DynamicRecord, MissingIdLeavesNameAndValuesAlone)
{
    TDynamicRecord store;
    addTables(store);
    store.AddRecord(QStringLiteral("PROGINFO"), { "owner" }, { "A" });
    QString table = QStringLiteral("before");
    VariantArray values = { "x", "y" };
    EXPECT_FALSE(store.FindRecord(7, table, values));
    EXPECT_EQ(table, QStringLiteral("before"));
    EXPECT_EQ(values, VariantArray({ "x", "y" }));
    // A store with tables but no records, and one without tables.
    TDynamicRecord empty;
    EXPECT_FALSE(empty.FindRecord(1, table, values));
    empty.AddTable(QStringLiteral("T"));
    EXPECT_FALSE(empty.FindRecord(1, table, values));
}

TEST(DynamicRecord, EmptyListsMakeARecordWithOnlyItsId)
{
    TDynamicRecord store;
    addTables(store);
    EXPECT_EQ(store.AddRecord(QStringLiteral("PROGINFO"), {}, {}), 1);
    QString table;
    VariantArray values;
    ASSERT_TRUE(store.FindRecord(1, table, values));
    EXPECT_EQ(values, VariantArray({ 1, Variant::Null(), Variant::Null(), Variant::Null() }));
}

TEST(DynamicRecord, FailedAddCancelsTheRecord)
{
    TDynamicRecord store;
    addTables(store);
    // Required fields left empty, an unknown field, too few values.
    EXPECT_THROW(
        store.AddRecord(QStringLiteral("WizRec"), { "DataType" }, { "Text" }), EDatabaseError);
    EXPECT_THROW(store.AddRecord(QStringLiteral("PROGINFO"), { "nosuch" }, { 1 }), EDatabaseError);
    EXPECT_THROW(
        store.AddRecord(QStringLiteral("PROGINFO"), { "owner", "name" }, { "A" }), EDatabaseError);
    // Nothing half-filled was posted by the next addition.
    const int id = store.AddRecord(QStringLiteral("PROGINFO"), { "owner" }, { "B" });
    QString table;
    VariantArray values;
    for (int missing = 1; missing < id; ++missing)
        EXPECT_FALSE(store.FindRecord(missing, table, values)) << missing;
    ASSERT_TRUE(store.FindRecord(id, table, values));
    EXPECT_EQ(values[1], Variant("B"));
    // A failed update leaves the record as it was and the table usable.
    EXPECT_THROW(store.UpdateRecord(id, { "nosuch" }, { 1 }), EDatabaseError);
    EXPECT_TRUE(store.UpdateRecord(id, { "name" }, { "N" }));
    ASSERT_TRUE(store.FindRecord(id, table, values));
    EXPECT_EQ(values, VariantArray({ id, "B", "N", Variant::Null() }));
}

TEST(DynamicRecord, TableAddedTwiceKeepsItsRecordsAndIdsStopAt65535)
{
    TDynamicRecord store;
    addTables(store);
    store.AddRecord(QStringLiteral("PROGINFO"), { "owner" }, { "kept" });
    store.AddTable(QStringLiteral("proginfo"));
    QString table;
    VariantArray values;
    ASSERT_TRUE(store.FindRecord(1, table, values));
    EXPECT_EQ(values[1], Variant("kept"));

    while (store.NextID() < 65535) { }
    EXPECT_THROW(store.AddRecord(QStringLiteral("PROGINFO"), {}, {}), EDatabaseError);
    EXPECT_FALSE(store.FindRecord(65536, table, values));
}

} // namespace
} // namespace qd::test
