// The record-buffer window of TDataSet: BufferCount buffers hold consecutive records around
// the active one; one spare buffer (index m_recordCount) receives the record being read.
#include "DataSet.h"

#include "DataLink.h"
#include "DataSource.h"

#include <algorithm>
#include <cstring>

namespace qd {

void TDataSet::UpdateBufferCount()
{
    if (m_state == dsInactive)
        return;
    int count = 1;
    for (TDataSource *source : m_dataSources)
        for (TDataLink *link : source->m_dataLinks)
            count = std::max(count, link->BufferCount());
    SetBufferCount(count);
}

void TDataSet::SetBufferCount(int count)
{
    if (count == m_bufferCount)
        return;
    if (count < m_bufferCount && m_recordCount > 0) {
        // Keep the active record inside the smaller window.
        const int drop = std::max(0, m_activeRecord - count + 1);
        for (int i = 0; i < drop; ++i)
            MoveBuffer(0, m_recordCount - 1);
        m_activeRecord -= drop;
        m_recordCount = std::min(m_recordCount, count);
        CursorPosChanged();
    }
    const size_t wanted = count > 0 ? static_cast<size_t>(count) + 1 : 0;
    while (m_buffers.size() > wanted) {
        FreeRecordBuffer(m_buffers.back());
        m_buffers.pop_back();
    }
    while (m_buffers.size() < wanted)
        m_buffers.push_back(AllocRecordBuffer());
    m_bufferCount = count;
    if (count > 0 && m_state != dsInactive) {
        GetNextRecords();
        if (m_recordCount < m_bufferCount)
            m_activeRecord += GetPriorRecords();
    }
    for (TDataSource *source : m_dataSources)
        for (TDataLink *link : source->m_dataLinks)
            link->UpdateRange();
}

void TDataSet::MoveBuffer(int from, int to)
{
    if (from == to)
        return;
    TRecordBuffer buffer = m_buffers[static_cast<size_t>(from)];
    m_buffers.erase(m_buffers.begin() + from);
    m_buffers.insert(m_buffers.begin() + to, buffer);
}

void TDataSet::ActivateBuffers()
{
    m_recordCount = 1;
    m_activeRecord = 0;
    m_currentRecord = 0;
    m_bof = false;
    m_eof = false;
}

void TDataSet::ClearBuffers()
{
    m_recordCount = 0;
    m_activeRecord = 0;
    m_currentRecord = -1;
    m_bof = true;
    m_eof = true;
}

void TDataSet::SetCurrentRecord(int index)
{
    if (m_currentRecord == index)
        return;
    TRecordBuffer buffer = m_buffers[static_cast<size_t>(index)];
    switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted:
        InternalSetToRecord(buffer);
        break;
    case bfBOF:
        InternalFirst();
        break;
    case bfEOF:
        InternalLast();
        break;
    }
    m_currentRecord = index;
}

void TDataSet::UpdateCursorPos()
{
    if (m_recordCount > 0)
        SetCurrentRecord(m_activeRecord);
}

bool TDataSet::GetNextRecord()
{
    TGetMode mode = gmNext;
    if (m_recordCount > 0) {
        SetCurrentRecord(m_recordCount - 1);
        // An inserted record not yet posted puts the cursor on the record it stands before,
        // which is the next one to read.
        if (m_state == dsInsert && m_currentRecord == m_activeRecord
            && GetBookmarkFlag(ActiveBuffer()) == bfInserted)
            mode = gmCurrent;
    }
    if (GetRecord(m_buffers[static_cast<size_t>(m_recordCount)], mode, true) != grOK) {
        CursorPosChanged();
        return false;
    }
    if (m_recordCount == 0)
        ActivateBuffers();
    else if (m_recordCount < m_bufferCount)
        ++m_recordCount;
    else
        MoveBuffer(0, m_recordCount);
    m_currentRecord = m_recordCount - 1;
    return true;
}

bool TDataSet::GetPriorRecord()
{
    if (m_recordCount > 0)
        SetCurrentRecord(0);
    if (GetRecord(m_buffers[static_cast<size_t>(m_recordCount)], gmPrior, true) != grOK) {
        CursorPosChanged();
        return false;
    }
    if (m_recordCount == 0) {
        ActivateBuffers();
    } else {
        MoveBuffer(m_recordCount, 0);
        if (m_recordCount < m_bufferCount) {
            ++m_recordCount;
            ++m_activeRecord;
        }
    }
    m_currentRecord = 0;
    return true;
}

int TDataSet::GetNextRecords()
{
    int n = 0;
    while (m_recordCount < m_bufferCount && GetNextRecord())
        ++n;
    return n;
}

int TDataSet::GetPriorRecords()
{
    int n = 0;
    while (m_recordCount < m_bufferCount && GetPriorRecord())
        ++n;
    return n;
}

void TDataSet::First()
{
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        m_bof = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    m_bof = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Last()
{
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        m_eof = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    m_eof = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance)
{
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    if ((distance > 0 && !m_eof) || (distance < 0 && !m_bof)) {
        m_bof = false;
        m_eof = false;
        int shift = 0; // how far the buffers moved, for the links' windows
        auto finish = [&] { DataEvent(deDataSetScroll, shift); };
        try {
            while (distance > 0) {
                if (m_activeRecord < m_recordCount - 1) {
                    ++m_activeRecord;
                } else {
                    const bool full = m_recordCount == m_bufferCount;
                    if (!GetNextRecord()) {
                        m_eof = true;
                        break;
                    }
                    if (full)
                        --shift;
                    else
                        ++m_activeRecord;
                }
                --distance;
                ++result;
            }
            while (distance < 0) {
                if (m_activeRecord > 0) {
                    --m_activeRecord;
                } else {
                    if (!GetPriorRecord()) {
                        m_bof = true;
                        break;
                    }
                    ++shift;
                    m_activeRecord = 0;
                }
                ++distance;
                --result;
            }
        } catch (...) {
            finish();
            throw;
        }
        finish();
    }
    DoAfterScroll();
    return result;
}

void TDataSet::Resync(TResyncModes mode)
{
    TRecordBuffer spare = m_buffers[static_cast<size_t>(m_recordCount)];
    if (mode & rmExact) {
        CursorPosChanged();
        if (GetRecord(spare, gmCurrent, true) != grOK)
            DatabaseError(QStringLiteral("Record not found"), m_name);
    } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK
        && GetRecord(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = (mode & rmCenter) ? (m_bufferCount - 1) / 2 : m_activeRecord;
    MoveBuffer(m_recordCount, 0);
    ActivateBuffers();
    try {
        while (count > 0 && GetPriorRecord())
            --count;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    DataEvent(deDataSetChange, 0);
}

// ---- Bookmarks

TBookmark TDataSet::GetBookmark()
{
    if ((m_state == dsBrowse || m_state == dsEdit || m_state == dsInsert) && !IsEmpty()
        && m_recordCount > 0 && m_bookmarkSize > 0
        && GetBookmarkFlag(ActiveBuffer()) == bfCurrent) {
        TBookmark bookmark(m_bookmarkSize, '\0');
        GetBookmarkData(ActiveBuffer(), bookmark.data());
        return bookmark;
    }
    return {};
}

void TDataSet::GotoBookmark(const TBookmark &bookmark)
{
    if (bookmark.isEmpty())
        return;
    CheckBrowseMode();
    if (bookmark.size() != m_bookmarkSize)
        DatabaseError(QStringLiteral("Invalid bookmark"), m_name);
    DoBeforeScroll();
    InternalGotoBookmark(bookmark.constData());
    Resync(rmExact | rmCenter);
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark &bookmark)
{
    return !bookmark.isEmpty() && bookmark.size() == m_bookmarkSize;
}

int TDataSet::CompareBookmarks(const TBookmark &a, const TBookmark &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty() ? 0 : (a.isEmpty() ? -1 : 1);
    const int c = std::memcmp(
        a.constData(), b.constData(), static_cast<size_t>(std::min(a.size(), b.size())));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// ---- Reading without moving

bool TDataSet::ReadRecords(
    const TBookmark &after, int maxCount, const std::function<void(const TBookmark &)> &visit)
{
    CheckActive();
    if (m_bookmarkSize <= 0)
        DatabaseError(QStringLiteral("Dataset has no bookmarks"), m_name);
    struct Scratch {
        TDataSet *ds;
        TRecordBuffer buffer;
        ~Scratch()
        {
            ds->FreeRecordBuffer(buffer);
            // The descendant's cursor has moved: the next operation brings it back.
            ds->CursorPosChanged();
        }
    } scratch { this, AllocRecordBuffer() };
    CursorPosChanged();
    if (after.isEmpty()) {
        InternalFirst();
    } else {
        if (after.size() != m_bookmarkSize)
            DatabaseError(QStringLiteral("Invalid bookmark"), m_name);
        InternalGotoBookmark(after.constData());
    }
    TBookmark bookmark(m_bookmarkSize, '\0');
    for (int n = 0; n < maxCount; ++n) {
        if (GetRecord(scratch.buffer, gmNext, false) != grOK)
            return false;
        GetBookmarkData(scratch.buffer, bookmark.data());
        TTempState temp(this, dsBrowse, scratch.buffer);
        visit(bookmark);
    }
    return true;
}

TBookmarkFlag TDataSet::ActiveBookmarkFlag()
{
    CheckActive();
    return m_recordCount > 0 ? GetBookmarkFlag(ActiveBuffer()) : bfBOF;
}

TBookmark TDataSet::InsertedBeforeBookmark()
{
    if (m_state != dsInsert || m_recordCount == 0 || m_bookmarkSize <= 0
        || GetBookmarkFlag(ActiveBuffer()) != bfInserted)
        return {};
    TBookmark bookmark(m_bookmarkSize, '\0');
    GetBookmarkData(ActiveBuffer(), bookmark.data());
    return bookmark;
}

} // namespace qd
