#include "OracleRecordStore.h"

#include "classlib/Exception.h"

#include <QSet>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace qd {

std::atomic<int> TRecordDataList::s_liveBlocks { 0 };

namespace {
// The text heap's first chunk; each new chunk doubles the last one up to the largest size, so a
// store of a few records stays small and a large one takes few allocations.
constexpr qsizetype FirstTextChunkSize = 64 * 1024;
constexpr qsizetype LargestTextChunkSize = 8 * 1024 * 1024;
constexpr qsizetype MappedTextChunkSize = 256 * 1024;
constexpr size_t HugePage = size_t(2) << 20;

// Large blocks ask for huge pages: filling a block of a million records otherwise costs a page
// fault every 4 KB. The memory is not cleared: every slot is cleared as it is prepared, while it
// is in the cache anyway, and a slot is never read before that.
void *allocateLarge(size_t bytes)
{
    if (bytes >= 4 * HugePage) {
        void *memory = nullptr;
        if (posix_memalign(&memory, HugePage, bytes) == 0) {
            madvise(memory, bytes & ~(HugePage - 1), MADV_HUGEPAGE);
            return memory;
        }
    }
    return std::malloc(bytes);
}

char *slotOf(TRecordDataList::BlockHeader *block, int slot, int slotSize)
{
    return reinterpret_cast<char *>(block) + TRecordDataList::BlockHeaderSize
        + static_cast<qsizetype>(slot) * slotSize;
}
} // namespace

TRecordDataList::TRecordDataList(TRecordStoreClient &client, int slotSize)
    : m_client(client)
    , m_slotSize((std::max<int>(slotSize, static_cast<int>(sizeof(TRecordHeader)))
                     + static_cast<int>(alignof(TRecordHeader)) - 1)
          & ~(static_cast<int>(alignof(TRecordHeader)) - 1))
{
}

TRecordDataList::~TRecordDataList()
{
    Clear();
}

int TRecordDataList::RecordCount() const
{
    return m_client.StoreFiltered() ? FilteredCount() + m_filteredBase : Count();
}

int TRecordDataList::VisibleBase() const
{
    return m_client.StoreFiltered() ? m_filteredBase : m_base;
}

char *TRecordDataList::Records(int index) const
{
    if (m_client.StoreFiltered()) {
        if (index < m_filteredBase && index >= 0)
            notAccessible(index);
        const int local = index - m_filteredBase;
        if (local < 0 || local >= FilteredCount())
            throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
        return m_filtered[static_cast<size_t>(local)];
    }
    return FullRecord(index);
}

char *TRecordDataList::FullRecord(int index) const
{
    if (index < m_base && index >= 0)
        notAccessible(index);
    const qsizetype i = static_cast<qsizetype>(index) - m_base;
    if (i < 0 || i >= static_cast<qsizetype>(m_records.size()))
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_records[static_cast<size_t>(i)];
}

void TRecordDataList::notAccessible(int index) const
{
    throw Exception(m_client.StoreName() + QStringLiteral(": Record ") + QString::number(index)
        + QStringLiteral(" not accessible in Unidirectional mode"));
}

TRecordDataList::BlockHeader *TRecordDataList::NewBlock()
{
    int capacity = 0;
    if (Unidirectional && !m_blocks.empty()) {
        // The window moves on: every record so far is dropped, numbering goes on.
        capacity = m_blocks.front()->Capacity;
        const int dropped = Count();
        const int droppedFiltered = FilteredCount() + m_filteredBase;
        Clear();
        m_base = dropped;
        m_filteredBase = droppedFiltered;
    } else {
        capacity = std::max(Count() / 2, m_client.StoreMinimumBlockSlots());
    }
    const qint64 bytes = static_cast<qint64>(capacity) * m_slotSize + BlockHeaderSize;
    if (bytes > std::numeric_limits<qint32>::max())
        throw std::bad_alloc();
    void *memory = allocateLarge(static_cast<size_t>(bytes));
    if (!memory)
        throw std::bad_alloc();
    auto *block = static_cast<BlockHeader *>(memory);
    block->Capacity = capacity;
    block->Used = 0;
    block->Bytes = static_cast<qint32>(bytes);
    m_blocks.push_back(block);
    ++s_liveBlocks;
    // The full list never needs to grow between blocks, and grows by at least half its size so
    // that its copies add up to a few times the final count.
    const size_t needed = m_records.size() + static_cast<size_t>(capacity);
    if (m_records.capacity() < needed)
        m_records.reserve(std::max(needed, m_records.capacity() + m_records.capacity() / 2));
    return block;
}

char *TRecordDataList::PrepareSlot()
{
    BlockHeader *block = m_blocks.empty() ? nullptr : m_blocks.back();
    if (!block || block->Used >= block->Capacity)
        block = NewBlock();
    char *slot = slotOf(block, block->Used, m_slotSize);
    // A row that was not taken (skipped or failed) leaves nothing behind.
    if (m_prepared)
        releaseRecord(slot);
    std::memset(slot, 0, static_cast<size_t>(m_slotSize));
    m_prepared = true;
    return slot;
}

char *TRecordDataList::AppendPrepared()
{
    if (!m_prepared)
        PrepareSlot();
    BlockHeader *block = m_blocks.back();
    char *slot = slotOf(block, block->Used, m_slotSize);
    ++block->Used;
    m_prepared = false;
    m_records.push_back(slot);
    return slot;
}

char *TRecordDataList::NewRecord(int index, bool alsoFiltered)
{
    char *slot = PrepareSlot();
    BlockHeader *block = m_blocks.back();
    ++block->Used;
    m_prepared = false;
    RecordHeader(slot)->MasterBookmark = -1;
    int full = alsoFiltered ? FilteredToFull(index) : index;
    const int local = full - m_base;
    if (local < 0 || local >= static_cast<int>(m_records.size()))
        m_records.push_back(slot);
    else
        m_records.insert(m_records.begin() + local, slot);
    if (alsoFiltered) {
        if (index < 0 || index >= FilteredCount())
            m_filtered.push_back(slot);
        else
            m_filtered.insert(m_filtered.begin() + index, slot);
    }
    return slot;
}

void TRecordDataList::DeleteRecord(int index, bool alsoFiltered)
{
    int full = index;
    if (alsoFiltered) {
        if (m_client.StoreFiltered()) {
            if (index < 0 || index >= FilteredCount())
                return;
            full = IndexOfRecord(m_filtered[static_cast<size_t>(index)]);
            m_filtered.erase(m_filtered.begin() + index);
        } else {
            const int f = FullToFiltered(index);
            if (f >= 0)
                m_filtered.erase(m_filtered.begin() + f);
        }
    }
    char *record = FullRecord(full);
    releaseRecord(record);
    m_records.erase(m_records.begin() + (full - m_base));
}

void TRecordDataList::AddFiltered(char *record, bool append)
{
    const auto at = std::find(m_filtered.begin(), m_filtered.end(), record);
    if (at != m_filtered.end()) {
        const QString message = QStringLiteral("BUG: Duplicate record in filtered list (%1)")
                                    .arg(at - m_filtered.begin());
        m_client.ReportInconsistency(message);
        throw Exception(message);
    }
    if (append) {
        m_filtered.push_back(record);
        return;
    }
    // Before the first filtered record that follows it in the full list.
    const int full = IndexOfRecord(record);
    for (size_t f = 0; f < m_filtered.size(); ++f) {
        if (IndexOfRecord(m_filtered[f]) > full) {
            m_filtered.insert(m_filtered.begin() + static_cast<qsizetype>(f), record);
            return;
        }
    }
    m_filtered.push_back(record);
}

int TRecordDataList::FilteredToFull(int index) const
{
    if (!m_client.StoreFiltered() || index < 0)
        return index;
    if (index < FilteredCount())
        return IndexOfRecord(m_filtered[static_cast<size_t>(index)]);
    return Count();
}

int TRecordDataList::FullToFiltered(int index) const
{
    const qsizetype local = static_cast<qsizetype>(index) - m_base;
    if (local < 0 || local >= static_cast<qsizetype>(m_records.size()))
        return -1;
    const auto at
        = std::find(m_filtered.begin(), m_filtered.end(), m_records[static_cast<size_t>(local)]);
    return at == m_filtered.end() ? -1 : static_cast<int>(at - m_filtered.begin());
}

int TRecordDataList::IndexOfRecord(const char *record) const
{
    // Fetched records are in bookmark order: try the bookmark's own place first.
    const qint32 bookmark = reinterpret_cast<const TRecordHeader *>(record)->Bookmark;
    const qsizetype guess = static_cast<qsizetype>(bookmark) - 1 - m_base;
    if (guess >= 0 && guess < static_cast<qsizetype>(m_records.size())
        && m_records[static_cast<size_t>(guess)] == record)
        return static_cast<int>(guess) + m_base;
    const auto at = std::find(m_records.begin(), m_records.end(), record);
    return at == m_records.end() ? -1 : static_cast<int>(at - m_records.begin()) + m_base;
}

void TRecordDataList::CopyRecord(const char *source, char *dest) const
{
    std::memmove(dest, source, static_cast<size_t>(m_slotSize));
}

void TRecordDataList::TrimLastBlock()
{
    trimLastTextChunk();
    if (m_blocks.empty() || m_prepared)
        return;
    BlockHeader *block = m_blocks.back();
    const qint64 unused = static_cast<qint64>(block->Capacity - block->Used) * m_slotSize;
    if (unused < TrimThreshold || block->Used == 0)
        return;
    const qint64 bytes = static_cast<qint64>(block->Used) * m_slotSize + BlockHeaderSize;
    // Addresses as numbers: the old block is gone once realloc moved it.
    const auto oldStart = reinterpret_cast<quintptr>(block);
    const auto oldEnd = oldStart + static_cast<quintptr>(block->Bytes);
    void *moved = std::realloc(block, static_cast<size_t>(bytes));
    if (!moved)
        return; // the block stays as it was
    auto *trimmed = static_cast<BlockHeader *>(moved);
    trimmed->Capacity = trimmed->Used;
    trimmed->Bytes = static_cast<qint32>(bytes);
    m_blocks.back() = trimmed;
    if (reinterpret_cast<quintptr>(moved) != oldStart) {
        // The allocator moved the block: the lists follow its records.
        for (std::vector<char *> *list : { &m_records, &m_filtered }) {
            for (char *&record : *list) {
                const auto at = reinterpret_cast<quintptr>(record);
                if (at >= oldStart && at < oldEnd)
                    record = static_cast<char *>(moved) + (at - oldStart);
            }
        }
    }
    m_records.shrink_to_fit();
}

void TRecordDataList::trimLastTextChunk()
{
    // Only a mapped chunk gives back its unused pages; its texts stay where they are.
    if (m_texts.empty() || m_texts.back().bytes.get_deleter().mapped == 0)
        return;
    TextChunk &chunk = m_texts.back();
    const qsizetype page = 4096;
    const qsizetype keep = (chunk.used + page - 1) / page * page;
    if (keep >= chunk.size || keep == 0)
        return;
    if (munmap(chunk.bytes.get() + keep, static_cast<size_t>(chunk.size - keep)) != 0)
        return;
    m_textBytes -= chunk.size - keep;
    chunk.size = keep;
    chunk.bytes.get_deleter().mapped = static_cast<size_t>(keep);
}

void TRecordDataList::releaseRecord(char *record)
{
    m_client.ReleaseRecordContent(record);
}

void TRecordDataList::Clear()
{
    for (auto it = m_records.rbegin(); it != m_records.rend(); ++it)
        releaseRecord(*it);
    // A prepared slot may hold a half-built record's BLOB list.
    if (m_prepared && !m_blocks.empty()) {
        BlockHeader *block = m_blocks.back();
        if (block->Used < block->Capacity)
            releaseRecord(slotOf(block, block->Used, m_slotSize));
    }
    m_prepared = false;
    m_records.clear();
    m_records.shrink_to_fit();
    m_filtered.clear();
    freeBlocks();
    m_texts.clear();
    m_textBytes = 0;
    m_nextTextChunk = FirstTextChunkSize;
    m_base = 0;
    m_filteredBase = 0;
}

void TRecordDataList::freeBlocks()
{
    while (!m_blocks.empty()) {
        std::free(m_blocks.back());
        m_blocks.pop_back();
        --s_liveBlocks;
    }
}

void TextChunkDeleter::operator()(char *p) const
{
    if (mapped > 0)
        munmap(p, mapped);
    else
        std::free(p);
}

const char *TRecordDataList::HoldText(const char *text, qsizetype length)
{
    const qsizetype need = length + 1;
    auto newChunk = [this](qsizetype size) {
        TextChunk chunk;
        chunk.size = size;
        if (size >= MappedTextChunkSize) {
            // Texts fill a chunk from its start to its end: its pages are made present in one
            // go instead of one fault per page.
            void *memory = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE,
                MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
            if (memory == MAP_FAILED)
                throw std::bad_alloc();
            chunk.bytes = std::unique_ptr<char, TextChunkDeleter>(
                static_cast<char *>(memory), TextChunkDeleter { static_cast<size_t>(size) });
        } else {
            chunk.bytes.reset(static_cast<char *>(std::malloc(static_cast<size_t>(size))));
            if (!chunk.bytes)
                throw std::bad_alloc();
        }
        m_textBytes += size;
        return chunk;
    };
    auto place = [&](TextChunk &chunk) {
        char *at = chunk.bytes.get() + chunk.used;
        if (length > 0)
            std::memcpy(at, text, static_cast<size_t>(length));
        at[length] = '\0';
        chunk.used += need;
        return at;
    };
    if (need > FirstTextChunkSize / 4) {
        // A large text gets a chunk of its own; the chunk being filled stays the last one.
        m_texts.insert(m_texts.empty() ? m_texts.end() : m_texts.end() - 1, newChunk(need));
        return place(m_texts.size() == 1 ? m_texts.back() : m_texts[m_texts.size() - 2]);
    }
    if (m_texts.empty() || m_texts.back().size - m_texts.back().used < need) {
        m_texts.push_back(newChunk(m_nextTextChunk));
        m_nextTextChunk = std::min(LargestTextChunkSize, m_nextTextChunk * 2);
    }
    return place(m_texts.back());
}

qint64 TRecordDataList::BytesHeld() const
{
    qint64 bytes = m_textBytes;
    for (const BlockHeader *block : m_blocks)
        bytes += block->Bytes;
    bytes += static_cast<qint64>(m_records.capacity() + m_filtered.capacity()) * sizeof(char *);
    return bytes;
}

int TRecordDataList::blockOf(const char *record) const
{
    const auto at = reinterpret_cast<quintptr>(record);
    for (size_t b = 0; b < m_blocks.size(); ++b) {
        const auto start = reinterpret_cast<quintptr>(m_blocks[b]) + BlockHeaderSize;
        const auto end = start + static_cast<quintptr>(m_blocks[b]->Used) * m_slotSize;
        if (at >= start && at < end && (at - start) % static_cast<quintptr>(m_slotSize) == 0)
            return static_cast<int>(b);
    }
    return -1;
}

QString TRecordDataList::Check() const
{
    if (m_base < 0 || m_filteredBase < 0 || m_filteredBase > m_base)
        return QStringLiteral("window bases %1 and %2").arg(m_base).arg(m_filteredBase);
    if (m_slotSize < static_cast<int>(sizeof(TRecordHeader))
        || m_slotSize % static_cast<int>(alignof(TRecordHeader)) != 0)
        return QStringLiteral("slot size %1").arg(m_slotSize);
    qint64 used = 0;
    for (const BlockHeader *block : m_blocks) {
        if (block->Used < 0 || block->Used > block->Capacity)
            return QStringLiteral("block uses %1 of %2 slots")
                .arg(block->Used)
                .arg(block->Capacity);
        if (block->Bytes != static_cast<qint64>(block->Capacity) * m_slotSize + BlockHeaderSize)
            return QStringLiteral("block of %1 slots holds %2 bytes")
                .arg(block->Capacity)
                .arg(block->Bytes);
        used += block->Used;
    }
    if (static_cast<qint64>(m_records.size()) > used)
        return QStringLiteral("%1 records in %2 used slots").arg(m_records.size()).arg(used);
    QSet<const char *> full;
    for (size_t i = 0; i < m_records.size(); ++i) {
        const char *record = m_records[i];
        if (blockOf(record) < 0)
            return QStringLiteral("record %1 is not a used slot").arg(i + m_base);
        if (full.contains(record))
            return QStringLiteral("record %1 is listed twice").arg(i + m_base);
        full.insert(record);
    }
    QSet<const char *> filtered;
    for (size_t i = 0; i < m_filtered.size(); ++i) {
        const char *record = m_filtered[i];
        if (!full.contains(record))
            return QStringLiteral("filtered record %1 is not in the full list").arg(i);
        if (filtered.contains(record))
            return QStringLiteral("filtered record %1 is listed twice").arg(i);
        filtered.insert(record);
    }
    qint64 textBytes = 0;
    for (const TextChunk &chunk : m_texts) {
        if (chunk.used < 0 || chunk.used > chunk.size || !chunk.bytes)
            return QStringLiteral("text chunk uses %1 of %2 bytes").arg(chunk.used).arg(chunk.size);
        textBytes += chunk.size;
    }
    if (textBytes != m_textBytes)
        return QStringLiteral("text chunks hold %1 bytes, %2 counted")
            .arg(textBytes)
            .arg(m_textBytes);
    return QString();
}

} // namespace qd
