// Cached updates: while they are in effect, every post and delete the dataset makes to its
// record store is also written to the change log, merged per record, so that the changes can be
// committed or cancelled as a whole and a re-query shows them again.
#include "OracleDataSet.h"

#include "classlib/Exception.h"

#include <QtGlobal>

#include <cstring>

namespace qd {

namespace {

const TRecordHeader *headerOf(const QByteArray &buffer)
{
    return reinterpret_cast<const TRecordHeader *>(buffer.constData());
}

QString pendingUpdatesMessage()
{
    return QStringLiteral("Cached updates are pending: commit or cancel them first");
}

} // namespace

// ---- Properties

void TOracleDataSet::SetCachedUpdates(bool value)
{
    if (value == m_cachedUpdates)
        return;
    // Without CachedUpdates the logged changes would neither count as pending nor be undone.
    if (!value && m_changeLog.Count() > 0 && !m_changeLogActive)
        DatabaseError(pendingUpdatesMessage(), Name());
    m_cachedUpdates = value;
}

bool TOracleDataSet::UpdatesPending() const
{
    return m_changeLog.UpdatesPending(m_cachedUpdates);
}

TUpdateStatus TOracleDataSet::UpdateStatus()
{
    const bool empty = !Active() || IsEmpty();
    QChar logged = u' ';
    if (!empty && m_cachedUpdates)
        if (const TChangeLogItem *item = activeLogEntry())
            logged = item->action;
    return ChangeLogUpdateStatus(
        empty, State() == dsInsert, State() == dsEdit, m_cachedUpdates, logged);
}

// ---- Commit and cancel

void TOracleDataSet::CommitUpdates()
{
    m_netInserts += m_changeLog.Commit();
    m_changeLogActive = false;
    if (Active())
        DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::CancelUpdates()
{
    if (!Active() || !m_store) {
        m_changeLog.Clear();
        m_changeLogActive = false;
        return;
    }
    if (State() == dsEdit || State() == dsInsert)
        Cancel();
    m_changeLog.Cancel([this](TChangeLogItem &item) {
        // A provider cycle's changes were counted when they were made.
        if (item.providerMark)
            m_netInserts += item.action == u'I' ? -1 : item.action == u'D' ? 1 : 0;
        if (item.action == u'D') {
            if (!item.oldRecord)
                return;
            char *stored = m_store->NewRecord(item.position, false);
            restoreLogged(*item.oldRecord, stored);
            RecordHeader(stored)->Bookmark = headerOf(item.oldRecord->buffer)->Bookmark;
            RecordHeader(stored)->BookmarkFlag = bfCurrent;
            return;
        }
        const int index = fullIndexOfBookmark(item.bookmark);
        if (index < 0) {
            ReportInconsistency(QStringLiteral("%1: logged record %2 is not in the store")
                                    .arg(Name())
                                    .arg(item.bookmark));
            return;
        }
        if (item.action == u'I')
            m_store->DeleteRecord(index, !Filtered()); // a filtered list is rebuilt below
        else if (item.action == u'U' && item.oldRecord)
            restoreLogged(*item.oldRecord, m_store->FullRecord(index));
    });
    m_changeLogActive = false;
    // Records came and went in the full list: the filtered list is built again from it.
    if (Filtered())
        Refilter();
    if (m_currentIndex >= m_store->RecordCount())
        m_currentIndex = m_store->RecordCount() - 1;
    // The resync announces the changed dataset.
    Resync(0);
}

// ---- Closing

void TOracleDataSet::DoBeforeClose()
{
    refuseToDropPendingUpdates();
    TDataSet::DoBeforeClose();
}

void TOracleDataSet::refuseToDropPendingUpdates()
{
    // Nothing sends logged changes to the server, so a close would silently lose them. The
    // changes of a provider update cycle are on the server already; their log may go.
    if (Active() && m_cachedUpdates && m_changeLog.Count() > 0)
        DatabaseError(pendingUpdatesMessage(), Name());
}

void TOracleDataSet::dropChangeLogOnDestroy()
{
    if (m_cachedUpdates && m_changeLog.Count() > 0)
        qWarning("%s: destroyed with %d cached updates that were neither committed nor "
                 "cancelled",
            qPrintable(Name()), m_changeLog.Count());
    m_changeLog.Clear();
}

// ---- Record copies

std::unique_ptr<TLoggedRecord> TOracleDataSet::loggedCopy(const char *stored)
{
    auto copy = std::make_unique<TLoggedRecord>();
    copy->buffer = QByteArray(RecordBufferSize(), '\0');
    DecodeRecord(stored, copy->buffer.data());
    // Calculated fields of a copy read as null.
    std::memset(copy->buffer.data() + m_recordSize, 1,
        static_cast<size_t>(RecordBufferSize() - m_recordSize));
    auto *header = reinterpret_cast<TRecordHeader *>(copy->buffer.data());
    header->BlobList = nullptr;
    header->ChangeLog = nullptr;
    if (const TBlobList *blobs = reinterpret_cast<const TRecordHeader *>(stored)->BlobList) {
        copy->blobs = std::make_unique<TBlobList>();
        copy->blobs->Copy(*blobs);
    }
    copy->rowId = RecordRowId(stored);
    return copy;
}

// The copy's values go into the stored record; the record keeps its identity.
void TOracleDataSet::restoreLogged(const TLoggedRecord &copy, char *stored)
{
    TRecordHeader *header = RecordHeader(stored);
    const qint32 bookmark = header->Bookmark;
    const quint8 flag = header->BookmarkFlag;
    ReleaseRecordContent(stored);
    EncodeRecord(copy.buffer.constData(), stored);
    header->Bookmark = bookmark;
    header->BookmarkFlag = flag;
    header->BlobList = nullptr;
    header->ChangeLog = nullptr;
    if (copy.blobs) {
        auto *blobs = new TBlobList;
        blobs->Copy(*copy.blobs);
        header->BlobList = blobs;
    }
    SetRecordRowId(stored, copy.rowId);
}

void TOracleDataSet::setLogEntryBookmark(TChangeLogItem &item, qint32 bookmark)
{
    item.bookmark = bookmark;
    for (TLoggedRecord *copy : { item.oldRecord.get(), item.newRecord.get() })
        if (copy)
            reinterpret_cast<TRecordHeader *>(copy->buffer.data())->Bookmark = bookmark;
}

int TOracleDataSet::fullIndexOfBookmark(qint32 bookmark) const
{
    if (!m_store)
        return -1;
    for (int i = m_store->Base(); i < m_store->Count(); ++i)
        if (RecordHeader(m_store->FullRecord(i))->Bookmark == bookmark)
            return i;
    return -1;
}

TChangeLogItem *TOracleDataSet::activeLogEntry()
{
    if (m_changeLog.Count() == 0 || !Active())
        return nullptr;
    TRecordBuffer active = ActiveBuffer();
    if (!active || GetBookmarkFlag(active) != bfCurrent)
        return nullptr;
    return m_changeLog.Find(RecordHeader(active)->Bookmark);
}

// ---- Logging

void TOracleDataSet::logChange(
    QChar action, int position, std::unique_ptr<TLoggedRecord> before, const char *after)
{
    if (!cachedUpdatesInEffect())
        return;
    const qint32 bookmark = before ? headerOf(before->buffer)->Bookmark
        : after                    ? reinterpret_cast<const TRecordHeader *>(after)->Bookmark
                                   : -1;
    m_changeLog.Log(action, bookmark, position, std::move(before),
        after ? loggedCopy(after) : nullptr, !m_cachedUpdates);
}

// ---- The log in a re-query

// A logged insert comes back where it was: before the server row that now takes its position,
// or, at the end of the rows, in log order. The record is appended to the store.
char *TOracleDataSet::placeLoggedInsert(bool atEnd)
{
    if (!m_cachedUpdates || m_changeLog.Count() == 0)
        return nullptr;
    const int position = m_store->Count();
    // A detail shows only the logged inserts made under the master record it now shows. The
    // link values tell: the master's record numbers start again with each of its queries.
    const auto belongsHere = [&](const TChangeLogItem &item) {
        if (!m_master || m_detailFields.trimmed().isEmpty())
            return true;
        QByteArray &copy = item.newRecord->buffer;
        if (copy.size() < RecordBufferSize())
            return false;
        return MasterRecordMatches(copy.data());
    };
    const auto unplacedInsert = [&](const TChangeLogItem &item) {
        return item.action == u'I' && !item.placed && item.newRecord
            && (atEnd || item.position == position) && belongsHere(item);
    };
    TChangeLogItem *item
        = atEnd ? m_changeLog.FirstIf(unplacedInsert) : m_changeLog.LatestIf(unplacedInsert);
    if (!item)
        return nullptr;
    char *record = m_store->PrepareSlot();
    restoreLogged(*item->newRecord, record);
    m_store->AppendPrepared();
    TRecordHeader *header = RecordHeader(record);
    header->Bookmark = NextBookmark();
    header->BookmarkFlag = bfCurrent;
    header->Status = 0;
    setLogEntryBookmark(*item, header->Bookmark);
    item->placed = true;
    item->position = position;
    return record;
}

// A fetched row with a logged change shows the logged state: a deleted row is left out (false;
// its bookmark number is used up all the same), an updated row takes its logged values. The
// record is the prepared slot, not yet appended; it takes the next bookmark number.
bool TOracleDataSet::mergeLoggedRow(char *record)
{
    if (!m_cachedUpdates || !m_hasRowId || m_changeLog.Count() == 0)
        return true;
    const QString rowId = RecordRowId(record);
    if (rowId.isEmpty())
        return true;
    TChangeLogItem *item = m_changeLog.LatestIf([&](const TChangeLogItem &entry) {
        if (entry.placed || entry.action == u'I')
            return false;
        const TLoggedRecord *copy = entry.oldRecord ? entry.oldRecord.get() : entry.newRecord.get();
        return copy && copy->rowId == rowId;
    });
    if (!item)
        return true;
    item->placed = true;
    item->position = m_store->Count();
    if (item->action == u'D') {
        setLogEntryBookmark(*item, NextBookmark());
        return false;
    }
    if (item->newRecord)
        restoreLogged(*item->newRecord, record);
    setLogEntryBookmark(*item, m_bookmarkCounter + 1);
    return true;
}

} // namespace qd
