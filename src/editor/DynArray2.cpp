#include "editor/DynArray2.h"

#include "classlib/ListErrors.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace qd {

TDynArray2::TDynArray2(int itemSize)
    : m_itemSize(qBound(1, itemSize, BlockBytes))
    , m_stride(((m_itemSize - 1) / 16 + 1) * 16)
    , m_perBlock(BlockBytes / m_stride)
{
}

TDynArray2::~TDynArray2()
{
    for (char *block : m_blocks)
        ::operator delete(block, std::align_val_t(16));
}

void *TDynArray2::ItemAddress(qint64 index) const
{
    if (index < 0 || index >= m_count)
        throw ERangeError(QStringLiteral("List index out of bounds"));
    return slot(index);
}

void TDynArray2::Get(qint64 index, void *record) const
{
    std::memcpy(record, ItemAddress(index), size_t(m_itemSize));
}

void TDynArray2::Put(qint64 index, const void *record)
{
    std::memcpy(ItemAddress(index), record, size_t(m_itemSize));
}

qint64 TDynArray2::Add(const void *record)
{
    SetCount(m_count + 1);
    std::memcpy(slot(m_count - 1), record, size_t(m_itemSize));
    return m_count - 1;
}

void TDynArray2::SetCount(qint64 n)
{
    if (n < 0)
        n = 0;
    if (n > m_capacity)
        SetCapacity(n);
    m_count = n;
}

void TDynArray2::SetCapacity(qint64 n)
{
    const qint64 needed = (n - 1) / m_perBlock + 1;
    const size_t have = m_blocks.size();
    if (size_t(needed) > have) {
        try {
            m_blocks.reserve(size_t(needed));
            while (m_blocks.size() < size_t(needed))
                m_blocks.push_back(
                    static_cast<char *>(::operator new(BlockBytes, std::align_val_t(16))));
        } catch (const std::bad_alloc &) {
            while (m_blocks.size() > have) {
                ::operator delete(m_blocks.back(), std::align_val_t(16));
                m_blocks.pop_back();
            }
            throw EOutOfMemory();
        }
    } else {
        while (m_blocks.size() > size_t(needed)) {
            ::operator delete(m_blocks.back(), std::align_val_t(16));
            m_blocks.pop_back();
        }
    }
    m_capacity = qint64(m_blocks.size()) * m_perBlock;
    if (m_count > m_capacity)
        m_count = m_capacity;
}

void TDynArray2::Check() const
{
    if (m_capacity != qint64(m_blocks.size()) * m_perBlock)
        throw std::logic_error("TDynArray2 capacity disagrees with its blocks");
    if (m_count < 0 || m_count > m_capacity)
        throw std::logic_error("TDynArray2 count lies outside its capacity");
    if (m_stride % 16 != 0 || m_stride < m_itemSize || m_perBlock * m_stride > BlockBytes)
        throw std::logic_error("TDynArray2 stride is wrong");
}

} // namespace qd
