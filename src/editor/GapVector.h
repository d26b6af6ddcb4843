#pragma once

#include <QtGlobal>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <type_traits>

namespace qd {

// A growable array of trivially copyable values with a movable gap at the last edit. Inserting
// or removing elements costs time proportional to the distance from the previous edit plus the
// elements inserted or removed, never to the whole array, so runs of edits in one region of a
// long text stay cheap.
template <typename T> class GapVector {
    static_assert(std::is_trivially_copyable_v<T>, "GapVector holds trivially copyable values");

public:
    qint64 size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    // Element i, 0 <= i < size() (unchecked: callers check their own indexes).
    T at(qint64 i) const { return i < m_gapStart ? m_data[i] : m_data[i + m_gapLength]; }
    T &ref(qint64 i) { return i < m_gapStart ? m_data[i] : m_data[i + m_gapLength]; }
    void set(qint64 i, T value) { ref(i) = value; }

    // Inserts count copies of value before element pos (0 <= pos <= size()).
    void insert(qint64 pos, qint64 count, T value)
    {
        openGap(pos, count);
        for (qint64 i = 0; i < count; ++i)
            m_data[pos + i] = value;
        m_gapStart += count;
        m_gapLength -= count;
        m_size += count;
    }

    // Inserts count values from values before element pos.
    void insert(qint64 pos, const T *values, qint64 count)
    {
        openGap(pos, count);
        if (count > 0)
            std::memcpy(static_cast<void *>(m_data.get() + pos), values, count * sizeof(T));
        m_gapStart += count;
        m_gapLength -= count;
        m_size += count;
    }

    // Makes room for count elements at pos at once, so that inserting them in pieces there
    // reallocates no more than once.
    void reserveAt(qint64 pos, qint64 count) { openGap(pos, count); }

    // Removes count elements from pos on (0 <= pos, pos + count <= size()).
    void remove(qint64 pos, qint64 count)
    {
        if (count <= 0)
            return;
        moveGap(pos);
        m_gapLength += count;
        m_size -= count;
    }

    void clear()
    {
        m_data.reset();
        m_capacity = m_size = m_gapStart = m_gapLength = 0;
    }

    // Bytes held, for memory reports.
    qint64 allocatedBytes() const { return m_capacity * qint64(sizeof(T)); }

    // Throws std::logic_error when the bookkeeping does not add up.
    void Check() const
    {
        if (m_size < 0 || m_gapStart < 0 || m_gapLength < 0 || m_gapStart > m_size
            || m_size + m_gapLength != m_capacity)
            throw std::logic_error("GapVector bookkeeping is inconsistent");
    }

private:
    // Moves the gap so that it starts before element pos.
    void moveGap(qint64 pos)
    {
        if (pos == m_gapStart)
            return;
        T *d = m_data.get();
        if (pos < m_gapStart) {
            const qint64 n = m_gapStart - pos;
            std::memmove(static_cast<void *>(d + pos + m_gapLength), d + pos, n * sizeof(T));
        } else {
            const qint64 n = pos - m_gapStart;
            std::memmove(
                static_cast<void *>(d + m_gapStart), d + m_gapStart + m_gapLength, n * sizeof(T));
        }
        m_gapStart = pos;
    }

    // Makes room for count elements at pos, growing by half the size when the gap is too small.
    void openGap(qint64 pos, qint64 count)
    {
        if (count > m_gapLength) {
            const qint64 newCapacity = m_size + count + qMax<qint64>(m_size / 2, 16);
            std::unique_ptr<T[]> data(new T[newCapacity]);
            const qint64 newGap = newCapacity - m_size;
            for (qint64 i = 0; i < pos; ++i)
                data[i] = at(i);
            for (qint64 i = pos; i < m_size; ++i)
                data[i + newGap] = at(i);
            m_data = std::move(data);
            m_capacity = newCapacity;
            m_gapStart = pos;
            m_gapLength = newGap;
            return;
        }
        moveGap(pos);
    }

    std::unique_ptr<T[]> m_data;
    qint64 m_capacity = 0;
    qint64 m_size = 0;
    qint64 m_gapStart = 0;
    qint64 m_gapLength = 0;
};

} // namespace qd
