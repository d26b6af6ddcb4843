// The record store on its own, with a client of the test's: slots and blocks at degenerate
// sizes, the unidirectional window, the filtered list, trimming, the text heap, and the
// invariants its Check reports after every step.
#include "oracle_data/OracleRecordStore.h"
#include "oracle_data/PackedRecord.h"

#include "classlib/Exception.h"

#include <gtest/gtest.h>

#include <QList>
#include <QSet>
#include <QStringList>

#include <cstring>
#include <memory>

namespace qd {
namespace {

class TestStoreClient final : public TRecordStoreClient {
public:
    bool StoreFiltered() const override { return filtered; }
    int StoreMinimumBlockSlots() const override { return minimumSlots; }
    QString StoreName() const override { return QStringLiteral("Store1"); }
    void ReleaseRecordContent(char *record) override
    {
        released.insert(record);
        ++releases;
    }
    void ReportInconsistency(const QString &message) override { reports.append(message); }

    bool filtered = false;
    int minimumSlots = 1;
    QSet<char *> released;
    int releases = 0;
    QStringList reports;
};

// Appends a record whose bookmark is its fetch number (1 onwards).
char *appendNumbered(TRecordDataList &store, int bookmark)
{
    char *slot = store.PrepareSlot();
    RecordHeader(slot)->Bookmark = bookmark;
    return store.AppendPrepared();
}

QList<int> bookmarksOf(const TRecordDataList &store)
{
    QList<int> result;
    for (int i = store.VisibleBase(); i < store.RecordCount(); ++i)
        result.append(RecordHeader(store.Records(i))->Bookmark);
    return result;
}

class RecordStore : public ::testing::Test {
protected:
    std::unique_ptr<TRecordDataList> make(int slotSize, int minimumSlots, bool unidirectional)
    {
        client.minimumSlots = minimumSlots;
        auto store = std::make_unique<TRecordDataList>(client, slotSize);
        store->Unidirectional = unidirectional;
        return store;
    }
    TestStoreClient client;
};

TEST_F(RecordStore, SlotSizeCoversTheHeaderAndKeepsItAligned)
{
    const struct {
        int asked;
        int slot;
    } cases[] = { { 0, int(sizeof(TRecordHeader)) }, { 1, int(sizeof(TRecordHeader)) },
        { int(sizeof(TRecordHeader)) + 1, int(sizeof(TRecordHeader) + alignof(TRecordHeader)) } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.asked);
        TRecordDataList store(client, c.asked);
        EXPECT_EQ(store.SlotSize(), c.slot);
        EXPECT_EQ(store.Check(), QString());
    }
}

TEST_F(RecordStore, BlocksOfOneSlotGrowWithTheCount)
{
    auto store = make(0, 1, false);
    EXPECT_EQ(store->Count(), 0);
    EXPECT_EQ(store->BlockCount(), 0);
    EXPECT_EQ(store->Check(), QString());
    for (int i = 1; i <= 40; ++i) {
        appendNumbered(*store, i);
        ASSERT_EQ(store->Check(), QString()) << i;
    }
    EXPECT_EQ(store->Count(), 40);
    // Each new block takes half the count so far, at least the client's minimum.
    int before = 0;
    for (int b = 0; b < store->BlockCount(); ++b) {
        const auto &block = store->Block(b);
        EXPECT_GE(block.Capacity, std::max(1, before / 2)) << b;
        before += block.Capacity;
    }
    EXPECT_LT(store->BlockCount(), 40);
    EXPECT_EQ(bookmarksOf(*store).size(), 40);
    EXPECT_EQ(RecordHeader(store->Records(39))->Bookmark, 40);
    EXPECT_THROW(store->Records(40), Exception);
    EXPECT_THROW(store->Records(-1), Exception);
    store->Clear();
    EXPECT_EQ(store->Count(), 0);
    EXPECT_EQ(store->BlockCount(), 0);
    EXPECT_EQ(store->Check(), QString());
}

TEST_F(RecordStore, UnidirectionalWindowDropsWholeBlocksAndKeepsNumbering)
{
    const int before = TRecordDataList::LiveBlocks();
    auto store = make(8, 3, true);
    for (int i = 1; i <= 10; ++i) {
        appendNumbered(*store, i);
        ASSERT_EQ(store->Check(), QString()) << i;
    }
    // Blocks of three: the window holds the tenth record alone.
    EXPECT_EQ(store->Count(), 10);
    EXPECT_EQ(store->Base(), 9);
    EXPECT_EQ(store->BlockCount(), 1);
    EXPECT_EQ(TRecordDataList::LiveBlocks() - before, 1);
    EXPECT_EQ(RecordHeader(store->Records(9))->Bookmark, 10);
    try {
        store->Records(8);
        FAIL() << "a dropped record was served";
    } catch (const Exception &e) {
        EXPECT_EQ(
            e.Message(), QStringLiteral("Store1: Record 8 not accessible in Unidirectional mode"));
    }
    EXPECT_EQ(client.releases, 9); // every dropped record was released
    store.reset();
    EXPECT_EQ(TRecordDataList::LiveBlocks(), before);
}

TEST_F(RecordStore, APreparedSlotThatIsNotTakenLeavesNothingBehind)
{
    // Slots of the header and 16 bytes of values.
    auto store = make(int(sizeof(TRecordHeader)) + 16, 2, false);
    char *slot = store->PrepareSlot();
    std::memset(slot + sizeof(TRecordHeader), 0x5a, 8);
    char *again = store->PrepareSlot();
    EXPECT_EQ(again, slot);
    EXPECT_TRUE(client.released.contains(slot));
    EXPECT_EQ(again[sizeof(TRecordHeader)], 0); // zero-filled again
    EXPECT_EQ(store->Count(), 0);
    EXPECT_EQ(store->Check(), QString());
    store->AppendPrepared();
    EXPECT_EQ(store->Count(), 1);
    EXPECT_EQ(store->Check(), QString());
}

TEST_F(RecordStore, InsertAndDeleteAtTheEdgesOfBothLists)
{
    auto store = make(0, 1, false);
    for (int i = 1; i <= 4; ++i)
        store->AddFiltered(appendNumbered(*store, i), true);
    client.filtered = true;
    // Filtered positions: at the front, in the middle, past the end.
    RecordHeader(store->NewRecord(0, true))->Bookmark = 10;
    RecordHeader(store->NewRecord(2, true))->Bookmark = 11;
    RecordHeader(store->NewRecord(99, true))->Bookmark = 12;
    EXPECT_EQ(store->Check(), QString());
    EXPECT_EQ(bookmarksOf(*store), (QList<int> { 10, 1, 11, 2, 3, 4, 12 }));
    client.filtered = false;
    EXPECT_EQ(bookmarksOf(*store), (QList<int> { 10, 1, 11, 2, 3, 4, 12 }));
    client.filtered = true;
    store->DeleteRecord(0, true);
    store->DeleteRecord(store->RecordCount() - 1, true);
    store->DeleteRecord(99, true); // outside: nothing happens
    EXPECT_EQ(store->Check(), QString());
    EXPECT_EQ(bookmarksOf(*store), (QList<int> { 1, 11, 2, 3, 4 }));
    client.filtered = false;
    EXPECT_EQ(bookmarksOf(*store), (QList<int> { 1, 11, 2, 3, 4 }));
    EXPECT_EQ(store->FullToFiltered(1), 1);
    EXPECT_EQ(store->FilteredToFull(4), 4);
}

TEST_F(RecordStore, FilteredListFollowsFullOrderAndRefusesDuplicates)
{
    auto store = make(0, 2, false);
    std::vector<char *> records;
    for (int i = 1; i <= 5; ++i)
        records.push_back(appendNumbered(*store, i));
    client.filtered = true;
    EXPECT_EQ(store->RecordCount(), 0);
    store->AddFiltered(records[3], false);
    store->AddFiltered(records[1], false);
    store->AddFiltered(records[4], false);
    EXPECT_EQ(bookmarksOf(*store), (QList<int> { 2, 4, 5 }));
    EXPECT_EQ(store->FullToFiltered(0), -1);
    EXPECT_EQ(store->FilteredToFull(1), 3);
    EXPECT_EQ(store->FilteredToFull(3), 5); // past the end: the full count
    EXPECT_THROW(store->AddFiltered(records[1], true), Exception);
    ASSERT_EQ(client.reports.size(), 1);
    EXPECT_EQ(client.reports[0], QStringLiteral("BUG: Duplicate record in filtered list (0)"));
    EXPECT_EQ(store->Check(), QString());
    store->ClearFiltered();
    EXPECT_EQ(store->RecordCount(), 0);
    client.filtered = false;
    EXPECT_EQ(store->RecordCount(), 5);
}

TEST_F(RecordStore, TrimmingALargeLastBlockKeepsEveryRecordReachable)
{
    // A first block of 200,000 slots of 64 bytes, of which 10 are used: far over the threshold.
    auto store = make(64, 200000, false);
    for (int i = 1; i <= 10; ++i)
        store->AddFiltered(appendNumbered(*store, i), true);
    const qint64 before = store->BytesHeld();
    store->TrimLastBlock();
    EXPECT_LT(store->BytesHeld(), before);
    EXPECT_EQ(store->Block(0).Capacity, 10);
    EXPECT_EQ(store->Check(), QString());
    client.filtered = true;
    EXPECT_EQ(bookmarksOf(*store), (QList<int> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }));
    // The next record starts a block of its own.
    appendNumbered(*store, 11);
    EXPECT_EQ(store->BlockCount(), 2);
    EXPECT_EQ(store->Check(), QString());
    // A small last block is left alone.
    auto small = make(64, 4, false);
    appendNumbered(*small, 1);
    small->TrimLastBlock();
    EXPECT_EQ(small->Block(0).Capacity, 4);
}

TEST_F(RecordStore, TextHeapKeepsEveryTextWholeAcrossChunks)
{
    auto store = make(0, 1, false);
    const char *empty = store->HoldText("", 0);
    EXPECT_STREQ(empty, "");
    std::vector<std::pair<const char *, QByteArray>> held;
    // Small texts fill chunks; large ones get chunks of their own between them.
    for (int i = 0; i < 300; ++i) {
        const QByteArray text(i % 50 == 49 ? 40000 : 1 + i % 700, static_cast<char>('a' + i % 26));
        held.emplace_back(store->HoldText(text.constData(), text.size()), text);
        ASSERT_EQ(store->Check(), QString()) << i;
    }
    for (const auto &[at, text] : held)
        ASSERT_EQ(QByteArray(at), text);
    EXPECT_GT(store->BytesHeld(), 0);
    store->Clear();
    EXPECT_EQ(store->BytesHeld(), 0);
}

TEST_F(RecordStore, TextHeapOfMegabytesKeepsEveryTextAndWastesLessThanHalf)
{
    // A few megabytes of short texts: the chunks double in size (the larger ones mapped from
    // the system), every text stays where it was put, and at most the last chunk is part empty.
    auto store = make(0, 1, false);
    std::vector<const char *> held;
    const int count = 150000;
    const auto textOf = [](int i) { return QByteArray::number(i).rightJustified(24, '#'); };
    for (int i = 0; i < count; ++i) {
        const QByteArray text = textOf(i);
        held.push_back(store->HoldText(text.constData(), text.size()));
    }
    ASSERT_EQ(store->Check(), QString());
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(QByteArray(held[size_t(i)]), textOf(i)) << i;
    const qint64 textBytes = qint64(count) * 25;
    EXPECT_GE(store->BytesHeld(), textBytes);
    EXPECT_LT(store->BytesHeld(), 2 * textBytes);
    // At the end of a fetch the last chunk gives back its unused pages, texts staying put;
    // texts held after that still find room.
    store->TrimLastBlock();
    EXPECT_EQ(store->Check(), QString());
    EXPECT_LT(store->BytesHeld(), textBytes + 8192);
    const char *later = store->HoldText("later", 5);
    EXPECT_STREQ(later, "later");
    for (int i = 0; i < count; i += 997)
        ASSERT_EQ(QByteArray(held[size_t(i)]), textOf(i)) << i;
    store->Clear();
    EXPECT_EQ(store->BytesHeld(), 0);
    EXPECT_EQ(store->Check(), QString());
}

TEST_F(RecordStore, CheckNamesABrokenInvariant)
{
    auto store = make(0, 4, false);
    char *record = appendNumbered(*store, 1);
    store->AddFiltered(record, true);
    EXPECT_EQ(store->Check(), QString());
    // A record that is not a slot of the store, smuggled into the filtered list.
    alignas(TRecordHeader) char outside[sizeof(TRecordHeader)] = {};
    store->AddFiltered(outside, true);
    EXPECT_EQ(store->Check(), QStringLiteral("filtered record 1 is not in the full list"));
}

TEST(PackedRecordEncoding, PresenceBitsAndTextPointersRoundTrip)
{
    alignas(TRecordHeader) char
        record[PackedRecord::NullBitsOffset + 2 + 2 * PackedRecord::TextSlotSize]
        = {};
    EXPECT_EQ(PackedRecord::NullBytes(0), 0);
    EXPECT_EQ(PackedRecord::NullBytes(1), 1);
    EXPECT_EQ(PackedRecord::NullBytes(8), 1);
    EXPECT_EQ(PackedRecord::NullBytes(9), 2);
    for (int bit : { 0, 7, 8, 15 })
        PackedRecord::SetPresent(record, bit, true);
    for (int bit = 0; bit < 16; ++bit)
        EXPECT_EQ(
            PackedRecord::IsPresent(record, bit), bit == 0 || bit == 7 || bit == 8 || bit == 15)
            << bit;
    PackedRecord::SetPresent(record, 7, false);
    EXPECT_FALSE(PackedRecord::IsPresent(record, 7));
    EXPECT_TRUE(PackedRecord::IsPresent(record, 0));
    const int textAt = PackedRecord::NullBitsOffset + 2;
    EXPECT_EQ(PackedRecord::Text(record, textAt), nullptr);
    const char *text = "held";
    PackedRecord::SetText(record, textAt + 1, text); // any offset: copied, never dereferenced
    EXPECT_EQ(PackedRecord::Text(record, textAt + 1), text);
}

} // namespace
} // namespace qd
