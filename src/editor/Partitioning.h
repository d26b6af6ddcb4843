#pragma once

#include "editor/GapVector.h"

namespace qd {

// An ordered run of partitions (paragraphs of a text, or their display lines) kept as the
// boundaries between them: Boundary(0) = 0 <= Boundary(1) <= ... <= Boundary(Partitions()).
//
// Boundaries live in a gap vector with a pending step: every boundary after StepIndex() is stored
// Step() too low. Lengthening one partition (typing into one paragraph) moves the step there and
// adds to it instead of rewriting every later boundary, so a change costs time proportional to
// its distance from the previous change, and the later boundaries are brought up to date only as
// the step passes over them.
class Partitioning {
public:
    Partitioning();

    qint64 Partitions() const { return m_bounds.size() - 1; }
    // Boundary i for 0 <= i <= Partitions(): where partition i starts (the end for i =
    // Partitions()).
    qint64 Boundary(qint64 i) const { return m_bounds.at(i) + (i > m_stepIndex ? m_step : 0); }
    qint64 Extent(qint64 i) const { return Boundary(i + 1) - Boundary(i); }
    qint64 Total() const { return Boundary(Partitions()); }

    // The partition holding value: the last partition whose boundary is not above it; 0 for a value
    // below 0, the last partition for one at or past the end. Partitions() must be at least 1.
    qint64 PartitionOf(qint64 value) const;

    // Partition i becomes delta longer (shorter when negative).
    void Grow(qint64 i, qint64 delta);
    // Partitions i .. i + count - 1 become deltas[0 .. count - 1] longer, in one pass.
    void GrowEach(qint64 i, const qint64 *deltas, qint64 count);
    // Inserts count partitions with the given extents before partition i (0 <= i <= Partitions()).
    void Insert(qint64 i, const qint64 *extents, qint64 count);
    // Inserts count partitions of one extent before partition i.
    void InsertEqual(qint64 i, qint64 extent, qint64 count);
    // Removes partitions i .. i + count - 1.
    void Remove(qint64 i, qint64 count);
    void Clear();

    qint64 StepIndex() const { return m_stepIndex; }
    qint64 Step() const { return m_step; }
    qint64 AllocatedBytes() const { return m_bounds.allocatedBytes(); }

    // Throws std::logic_error unless the boundaries start at 0 and never decrease.
    void Check() const;

private:
    void moveStep(qint64 index);

    GapVector<qint64> m_bounds;
    qint64 m_stepIndex = 0;
    qint64 m_step = 0;
    // The partition PartitionOf found last: typing asks for the same one again and again. Only
    // a guess, checked against the boundaries before it is used.
    mutable qint64 m_lastFound = 0;
};

} // namespace qd
