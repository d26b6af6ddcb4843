#include "editor/UndoList.h"

#include "classlib/ListErrors.h"

#include <stdexcept>

namespace qd {

const TUndoRecord &TUndoList::Record(qint64 index) const
{
    if (index < 0 || index >= Count())
        throw ERangeError(QStringLiteral("List index out of bounds"));
    return m_records[size_t(index)];
}

TUndoRecord &TUndoList::Record(qint64 index)
{
    if (index < 0 || index >= Count())
        throw ERangeError(QStringLiteral("List index out of bounds"));
    return m_records[size_t(index)];
}

void TUndoList::SetMaxSpace(qint64 bytes)
{
    m_maxSpace = bytes;
    while (m_bytes > m_maxSpace && Count() > m_index)
        DeleteRecord(Count() - 1);
    while (m_bytes > m_maxSpace && Count() > 0)
        DeleteRecord(0);
}

void TUndoList::SetMaxLevel(qint64 level)
{
    if (level > 134217727)
        throw EListError(QStringLiteral("Undo set too high"));
    const qint64 keep = qMax(m_index, level);
    while (Count() > keep)
        DeleteRecord(Count() - 1);
    while (level < m_index)
        DeleteRecord(0);
    m_maxLevel = level;
}

void TUndoList::Clear()
{
    m_records.clear();
    m_index = 0;
    m_bytes = 0;
}

void TUndoList::DeleteRecord(qint64 index)
{
    const TUndoRecord &record = Record(index);
    m_bytes -= record.Size();
    m_records.erase(m_records.begin() + index);
    if (index < m_index)
        --m_index;
}

void TUndoList::DeleteRedo()
{
    while (Count() > m_index)
        DeleteRecord(Count() - 1);
}

void TUndoList::Write(TUndoRecord record, bool keepGrouped)
{
    if (m_index < Count()) {
        TUndoRecord &old = m_records[size_t(m_index)];
        if (keepGrouped)
            record.Grouped = old.Grouped;
        m_bytes -= old.Size();
        old = std::move(record);
    } else {
        m_records.push_back(std::move(record));
    }
    m_bytes += m_records[size_t(m_index)].Size();
    ++m_index;
}

void TUndoList::TrimToSpace()
{
    while (m_bytes > m_maxSpace && Count() > m_index)
        DeleteRecord(Count() - 1);
    while (m_bytes > m_maxSpace && m_index >= 1)
        DeleteRecord(0);
}

void TUndoList::Check() const
{
    if (m_index < 0 || m_index > Count())
        throw std::logic_error("undo index lies outside the records");
    qint64 bytes = 0;
    for (const TUndoRecord &r : m_records) {
        if (r.Start < 0 || r.End < r.Start)
            throw std::logic_error("undo record range is inverted");
        bytes += r.Size();
    }
    if (bytes != m_bytes)
        throw std::logic_error("undo byte total disagrees with the records");
}

} // namespace qd
