#pragma once

#include <QtGlobal>

#include <vector>

namespace qd {

// A growable array of fixed-size records kept in equal blocks of 32768 bytes, so that growing
// never moves a record that exists: the address of a record stays valid until the array is
// shrunk below it or destroyed. Record i lives in block i / RecordsPerBlock() at byte
// (i % RecordsPerBlock()) * Stride(); the stride is the item size rounded up to a multiple of 16.
class TDynArray2 {
public:
    static constexpr int BlockBytes = 32768;

    // itemSize: bytes of one record, 1 .. BlockBytes.
    explicit TDynArray2(int itemSize);
    virtual ~TDynArray2();
    TDynArray2(const TDynArray2 &) = delete;
    TDynArray2 &operator=(const TDynArray2 &) = delete;

    int ItemSize() const { return m_itemSize; }
    int Stride() const { return m_stride; }
    int RecordsPerBlock() const { return m_perBlock; }
    qint64 Count() const { return m_count; }
    qint64 Capacity() const { return m_capacity; }
    int BlockCount() const { return int(m_blocks.size()); }

    // The address of record index; ERangeError "List index out of bounds" outside 0 .. Count() - 1.
    void *ItemAddress(qint64 index) const;
    // Copy ItemSize() bytes out of or into record index (same range check).
    void Get(qint64 index, void *record) const;
    void Put(qint64 index, const void *record);
    // Appends a copy of record and returns its index.
    qint64 Add(const void *record);
    // Count becomes n (0 for a negative n), the capacity growing first when needed. Lowering the
    // count keeps the blocks.
    void SetCount(qint64 n);
    // Keeps (n - 1) / RecordsPerBlock() + 1 blocks: surplus blocks are freed, missing ones added
    // (not cleared). EOutOfMemory when a block cannot be had; the array is then unchanged.
    void SetCapacity(qint64 n);

    // Throws std::logic_error when count, capacity and blocks disagree.
    void Check() const;

private:
    char *slot(qint64 index) const
    {
        return m_blocks[size_t(index / m_perBlock)] + (index % m_perBlock) * m_stride;
    }

    int m_itemSize;
    int m_stride;
    int m_perBlock;
    std::vector<char *> m_blocks;
    qint64 m_count = 0;
    qint64 m_capacity = 0;
};

} // namespace qd
