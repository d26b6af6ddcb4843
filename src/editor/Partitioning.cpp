#include "editor/Partitioning.h"

#include <stdexcept>

namespace qd {

Partitioning::Partitioning()
{
    m_bounds.insert(0, 1, 0);
}

qint64 Partitioning::PartitionOf(qint64 value) const
{
    qint64 lo = 0;
    qint64 hi = Partitions() - 1;
    if (hi <= 0 || value <= 0)
        return 0;
    const qint64 guess = m_lastFound;
    if (guess >= 0 && guess <= hi && Boundary(guess) <= value
        && (guess == hi || Boundary(guess + 1) > value))
        return guess;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo + 1) / 2;
        if (Boundary(mid) <= value)
            lo = mid;
        else
            hi = mid - 1;
    }
    m_lastFound = lo;
    return lo;
}

// Moves the step so that it applies to the boundaries after index, keeping every boundary's
// value. Moving back over more boundaries than lie after the step folds the step into those
// instead, so a move never costs more than the shorter of the two walks.
void Partitioning::moveStep(qint64 index)
{
    const qint64 last = Partitions();
    if (m_step == 0) {
        m_stepIndex = index;
        return;
    }
    if (index > m_stepIndex) {
        for (qint64 i = m_stepIndex + 1; i <= index && i <= last; ++i)
            m_bounds.ref(i) += m_step;
    } else if (index < m_stepIndex) {
        if (last - m_stepIndex < m_stepIndex - index) {
            for (qint64 i = m_stepIndex + 1; i <= last; ++i)
                m_bounds.ref(i) += m_step;
            m_step = 0;
        } else {
            for (qint64 i = index + 1; i <= m_stepIndex; ++i)
                m_bounds.ref(i) -= m_step;
        }
    }
    m_stepIndex = index;
}

void Partitioning::Grow(qint64 i, qint64 delta)
{
    if (delta == 0)
        return;
    moveStep(i);
    m_step += delta;
}

void Partitioning::GrowEach(qint64 i, const qint64 *deltas, qint64 count)
{
    if (count <= 0)
        return;
    moveStep(i);
    // Boundary i + 1 + k moves by the deltas up to k; the step takes the total, so the boundaries
    // inside the range are stored less what the step adds beyond their own move.
    qint64 total = 0;
    for (qint64 k = 0; k < count; ++k)
        total += deltas[k];
    qint64 running = 0;
    for (qint64 k = 0; k < count; ++k) {
        running += deltas[k];
        m_bounds.ref(i + 1 + k) += running - total;
    }
    m_step += total;
}

void Partitioning::Insert(qint64 i, const qint64 *extents, qint64 count)
{
    if (count <= 0)
        return;
    moveStep(i);
    m_bounds.reserveAt(i + 1, count);
    // The new boundaries lie after the step, so they are stored less the step; they are stored
    // less the total inserted as well, because adding it to the step moves every later boundary.
    const qint64 base = Boundary(i);
    qint64 sum = 0;
    for (qint64 k = 0; k < count; ++k)
        sum += extents[k];
    const qint64 bias = m_step + sum;
    qint64 running = base;
    const qint64 chunk = 4096;
    qint64 buffer[chunk];
    for (qint64 k = 0; k < count; k += chunk) {
        const qint64 n = qMin(chunk, count - k);
        for (qint64 j = 0; j < n; ++j) {
            running += extents[k + j];
            buffer[j] = running - bias;
        }
        m_bounds.insert(i + 1 + k, buffer, n);
    }
    m_step += sum;
}

void Partitioning::InsertEqual(qint64 i, qint64 extent, qint64 count)
{
    if (count <= 0)
        return;
    moveStep(i);
    m_bounds.reserveAt(i + 1, count);
    const qint64 base = Boundary(i);
    const qint64 sum = extent * count;
    const qint64 bias = m_step + sum;
    const qint64 chunk = 4096;
    qint64 buffer[chunk];
    for (qint64 k = 0; k < count; k += chunk) {
        const qint64 n = qMin(chunk, count - k);
        for (qint64 j = 0; j < n; ++j)
            buffer[j] = base + extent * (k + j + 1) - bias;
        m_bounds.insert(i + 1 + k, buffer, n);
    }
    m_step += sum;
}

void Partitioning::Remove(qint64 i, qint64 count)
{
    if (count <= 0)
        return;
    moveStep(i);
    const qint64 sum = Boundary(i + count) - Boundary(i);
    m_bounds.remove(i + 1, count);
    m_step -= sum;
    if (m_stepIndex > Partitions())
        m_stepIndex = Partitions();
}

void Partitioning::Clear()
{
    m_bounds.clear();
    m_bounds.insert(0, 1, 0);
    m_stepIndex = 0;
    m_step = 0;
}

void Partitioning::Check() const
{
    m_bounds.Check();
    if (m_bounds.size() < 1)
        throw std::logic_error("Partitioning has no boundary");
    if (m_stepIndex < 0 || m_stepIndex > Partitions())
        throw std::logic_error("Partitioning step lies outside the boundaries");
    if (Boundary(0) != 0)
        throw std::logic_error("Partitioning does not start at 0");
    for (qint64 i = 0; i < Partitions(); ++i)
        if (Boundary(i + 1) < Boundary(i))
            throw std::logic_error("Partitioning boundaries decrease");
}

} // namespace qd
