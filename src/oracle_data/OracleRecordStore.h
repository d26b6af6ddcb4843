#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>
#include <vector>

namespace qd {

class TBlobList;
class TChangeLogItem;

// The header every record starts with, in the record store and in the dataset's record
// buffers alike. Pointers are pointer-sized; the rest is packed before them.
struct TRecordHeader {
    // The record's bookmark number (its identity), unique within one run of the query.
    qint32 Bookmark;
    // The master's current record identity when the record was made; -1 without master.
    qint32 MasterBookmark;
    // The framework's bookmark flag (TBookmarkFlag) and the record's update status.
    quint8 BookmarkFlag;
    quint8 Status;
    quint8 Reserved[6];
    // BLOB values (owned by the stored record; buffers only borrow it). Null when none.
    TBlobList *BlobList;
    // The change-log entry of a record with a cached change (owned by the change log).
    TChangeLogItem *ChangeLog;
};
static_assert(sizeof(TRecordHeader) == 16 + 2 * sizeof(void *));

inline TRecordHeader *RecordHeader(char *record)
{
    return reinterpret_cast<TRecordHeader *>(record);
}

// What the record store asks of the one that fills it. The store holds no pointer to its
// dataset: whether the owner shows the filtered view, how large a new block is at least, the
// name in its messages and how a record's outside content is released come through here.
class TRecordStoreClient {
public:
    virtual ~TRecordStoreClient() = default;
    // True while the owner shows the filtered list instead of the full one.
    virtual bool StoreFiltered() const = 0;
    // The fewest slots a new block takes (the owner's rows per fetch and one more).
    virtual int StoreMinimumBlockSlots() const = 0;
    // The name that starts the store's messages.
    virtual QString StoreName() const = 0;
    // Frees what a record owns outside its slot (its BLOB values).
    virtual void ReleaseRecordContent(char *record) = 0;
    // Told of a broken invariant before the store raises it.
    virtual void ReportInconsistency(const QString &message) = 0;
};

// Frees a chunk of the record store's text heap: mapped chunks (mapped > 0 bytes) go back to the
// system, others to the heap.
struct TextChunkDeleter {
    size_t mapped = 0;
    void operator()(char *p) const;
};

// Every record an open dataset has fetched or created. Records live in fixed-size slots carved
// out of large blocks (one allocation per block, each new block half the count so far); a slot
// is cleared when it is prepared. Variable-length texts live in a text heap of the store, so a
// slot holds a pointer to them. Two ordered views: the full list
// in fetch and insertion order, and the filtered list. In unidirectional mode only a window of
// recent records is kept while record numbers go on counting from the first row.
//
// Slots are never reused individually: a record pointer stays valid until Clear (or, in
// unidirectional mode, until the window moves on). TrimLastBlock may move the records of the
// last block (the lists follow); the dataset calls it only when a fetch reaches the end of the
// result, when nothing else holds a record pointer.
class TRecordDataList {
public:
    // A block: this header, padded so that slots start aligned for the record header, then
    // Capacity slots.
    struct BlockHeader {
        qint32 Capacity;
        qint32 Used;
        qint32 Bytes;
        qint32 Reserved;
    };
    static constexpr int BlockHeaderSize = static_cast<int>(sizeof(BlockHeader));

    // slotSize: the bytes of one record slot (header included), rounded up to keep every slot
    // aligned for its header.
    TRecordDataList(TRecordStoreClient &client, int slotSize);
    ~TRecordDataList();
    TRecordDataList(const TRecordDataList &) = delete;
    TRecordDataList &operator=(const TRecordDataList &) = delete;

    bool Unidirectional = true;
    int Base() const { return m_base; }
    // The first visible index still in the window: Base, or when filtered the number of
    // filtered records the window dropped.
    int VisibleBase() const;
    int SlotSize() const { return m_slotSize; }

    // The full count, dropped records included.
    int Count() const { return static_cast<int>(m_records.size()) + m_base; }
    // The filtered count when the dataset is filtered, else Count.
    int RecordCount() const;
    // The index-th visible record.
    char *Records(int index) const;
    // Raises "<name>: Record <index> not accessible in Unidirectional mode" below the window.
    char *FullRecord(int index) const;
    int FilteredCount() const { return static_cast<int>(m_filtered.size()); }
    char *FilteredRecord(int index) const { return m_filtered.at(static_cast<size_t>(index)); }

    // The slot the next record will take, zero-filled; may start a new block (and, in
    // unidirectional mode, drop the window). Not counted until NewRecord or AppendPrepared.
    char *PrepareSlot();
    // Appends the prepared slot to the full list.
    char *AppendPrepared();
    // Takes a fresh slot and inserts it at full position index (appends when outside); with
    // alsoFiltered index is a filtered position and the record joins the filtered list there.
    char *NewRecord(int index, bool alsoFiltered);
    void DeleteRecord(int index, bool alsoFiltered);
    // Raises "BUG: Duplicate record in filtered list (<position>)" for a record already there.
    void AddFiltered(char *record, bool append);
    void ClearFiltered() { m_filtered.clear(); }
    int FilteredToFull(int index) const;
    int FullToFiltered(int index) const;
    // Full index of a record pointer, -1 when not in the window.
    int IndexOfRecord(const char *record) const;
    void CopyRecord(const char *source, char *dest) const;
    void Clear();
    // Gives back the unused slots of the last block when they take more than TrimThreshold
    // bytes; the block's capacity becomes its used count, so the next record starts a new block.
    // The unused whole pages of the last text chunk go back too (texts do not move).
    static constexpr qint64 TrimThreshold = 1024 * 1024;
    void TrimLastBlock();

    // A zero-terminated copy of text held until Clear.
    const char *HoldText(const char *text, qsizetype length);

    int BlockCount() const { return static_cast<int>(m_blocks.size()); }
    const BlockHeader &Block(int index) const { return *m_blocks.at(static_cast<size_t>(index)); }
    // Bytes allocated for blocks, lists and texts.
    qint64 BytesHeld() const;

    // The first broken invariant of the store, empty when all hold: every listed record lies
    // in a used slot of a block, once; the filtered list holds records of the full list, once
    // each; block and text accounting adds up.
    QString Check() const;

    // Blocks allocated by every store of the process and not yet freed.
    static int LiveBlocks() { return s_liveBlocks.load(); }

private:
    BlockHeader *NewBlock();
    void freeBlocks();
    [[noreturn]] void notAccessible(int index) const;
    int blockOf(const char *record) const;
    void releaseRecord(char *record);
    void trimLastTextChunk();

    TRecordStoreClient &m_client;
    int m_slotSize;
    int m_base = 0;
    int m_filteredBase = 0;
    bool m_prepared = false;
    std::vector<BlockHeader *> m_blocks;
    std::vector<char *> m_records;
    std::vector<char *> m_filtered;
    struct TextChunk {
        std::unique_ptr<char, TextChunkDeleter> bytes;
        qsizetype size = 0;
        qsizetype used = 0;
    };
    std::vector<TextChunk> m_texts;
    qint64 m_textBytes = 0;
    // The size of the next chunk texts are packed into (it doubles up to a limit).
    qsizetype m_nextTextChunk = 64 * 1024;
    static std::atomic<int> s_liveBlocks;
};

} // namespace qd
