// Cached updates: while they are in effect, every post and delete the dataset makes to its
// record store is also written to the change log, merged per record, so that the changes can be
// committed or cancelled as a whole and a re-query shows them again.
#include "DataSetCachedUpdates.h"

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

DataSetCachedUpdates::DataSetCachedUpdates(TOracleDataSet &dataSet)
    : m_dataSet(dataSet)
{
}

bool DataSetCachedUpdates::inEffect() const
{
    return m_dataSet.m_cachedUpdates || m_logActive;
}

void DataSetCachedUpdates::checkCanDisable() const
{
    // Without CachedUpdates the logged changes would neither count as pending nor be undone.
    if (m_log.Count() > 0 && !m_logActive)
        DatabaseError(pendingUpdatesMessage(), m_dataSet.Name());
}

bool DataSetCachedUpdates::pending() const
{
    return m_log.UpdatesPending(m_dataSet.m_cachedUpdates);
}

TUpdateStatus DataSetCachedUpdates::updateStatus()
{
    TOracleDataSet &ds = m_dataSet;
    const bool empty = !ds.Active() || ds.IsEmpty();
    QChar logged = u' ';
    if (!empty && ds.m_cachedUpdates)
        if (const TChangeLogItem *item = activeEntry())
            logged = item->action;
    return ChangeLogUpdateStatus(
        empty, ds.State() == dsInsert, ds.State() == dsEdit, ds.m_cachedUpdates, logged);
}

// ---- Commit and cancel

void DataSetCachedUpdates::commit()
{
    m_dataSet.m_netInserts += m_log.Commit();
    m_logActive = false;
    if (m_dataSet.Active())
        m_dataSet.DataEvent(deDataSetChange, 0);
}

void DataSetCachedUpdates::cancel()
{
    TOracleDataSet &ds = m_dataSet;
    TRecordDataList *store = ds.m_store.get();
    if (!ds.Active() || !store) {
        m_log.Clear();
        m_logActive = false;
        return;
    }
    if (ds.State() == dsEdit || ds.State() == dsInsert)
        ds.Cancel();
    m_log.Cancel([&](TChangeLogItem &item) {
        // A provider cycle's changes were counted when they were made.
        if (item.providerMark)
            ds.m_netInserts += item.action == u'I' ? -1 : item.action == u'D' ? 1 : 0;
        if (item.action == u'D') {
            if (!item.oldRecord)
                return;
            char *stored = store->NewRecord(item.position, false);
            restore(*item.oldRecord, stored);
            RecordHeader(stored)->Bookmark = headerOf(item.oldRecord->buffer)->Bookmark;
            RecordHeader(stored)->BookmarkFlag = bfCurrent;
            return;
        }
        const int index = fullIndexOfBookmark(item.bookmark);
        if (index < 0) {
            TOracleDataSet::ReportInconsistency(
                QStringLiteral("%1: logged record %2 is not in the store")
                    .arg(ds.Name())
                    .arg(item.bookmark));
            return;
        }
        if (item.action == u'I')
            store->DeleteRecord(index, !ds.Filtered()); // a filtered list is rebuilt below
        else if (item.action == u'U' && item.oldRecord)
            restore(*item.oldRecord, store->FullRecord(index));
    });
    m_logActive = false;
    // Records came and went in the full list: the filtered list is built again from it.
    if (ds.Filtered())
        ds.Refilter();
    if (ds.m_currentIndex >= store->RecordCount())
        ds.m_currentIndex = store->RecordCount() - 1;
    // The resync announces the changed dataset.
    ds.Resync(0);
}

// ---- Closing

void DataSetCachedUpdates::refuseToDropPending() const
{
    // Nothing sends logged changes to the server, so a close would silently lose them. The
    // changes of a provider update cycle are on the server already; their log may go.
    if (m_dataSet.Active() && m_dataSet.m_cachedUpdates && m_log.Count() > 0)
        DatabaseError(pendingUpdatesMessage(), m_dataSet.Name());
}

void DataSetCachedUpdates::dropOnDestroy()
{
    if (m_dataSet.m_cachedUpdates && m_log.Count() > 0)
        qWarning("%s: destroyed with %d cached updates that were neither committed nor "
                 "cancelled",
            qPrintable(m_dataSet.Name()), m_log.Count());
    m_log.Clear();
}

// ---- Record copies

std::unique_ptr<TLoggedRecord> DataSetCachedUpdates::copyOf(const char *stored)
{
    TOracleDataSet &ds = m_dataSet;
    auto copy = std::make_unique<TLoggedRecord>();
    copy->buffer = QByteArray(ds.RecordBufferSize(), '\0');
    ds.DecodeRecord(stored, copy->buffer.data());
    // Calculated fields of a copy read as null.
    std::memset(copy->buffer.data() + ds.m_recordSize, 1,
        static_cast<size_t>(ds.RecordBufferSize() - ds.m_recordSize));
    auto *header = reinterpret_cast<TRecordHeader *>(copy->buffer.data());
    header->BlobList = nullptr;
    header->ChangeLog = nullptr;
    if (const TBlobList *blobs = reinterpret_cast<const TRecordHeader *>(stored)->BlobList) {
        copy->blobs = std::make_unique<TBlobList>();
        copy->blobs->Copy(*blobs);
    }
    copy->rowId = ds.RecordRowId(stored);
    return copy;
}

// The copy's values go into the stored record; the record keeps its identity.
void DataSetCachedUpdates::restore(const TLoggedRecord &copy, char *stored)
{
    TRecordHeader *header = RecordHeader(stored);
    const qint32 bookmark = header->Bookmark;
    const quint8 flag = header->BookmarkFlag;
    m_dataSet.ReleaseRecordContent(stored);
    m_dataSet.EncodeRecord(copy.buffer.constData(), stored);
    header->Bookmark = bookmark;
    header->BookmarkFlag = flag;
    header->BlobList = nullptr;
    header->ChangeLog = nullptr;
    if (copy.blobs) {
        auto *blobs = new TBlobList;
        blobs->Copy(*copy.blobs);
        header->BlobList = blobs;
    }
    m_dataSet.SetRecordRowId(stored, copy.rowId);
}

void DataSetCachedUpdates::setEntryBookmark(TChangeLogItem &item, qint32 bookmark)
{
    item.bookmark = bookmark;
    for (TLoggedRecord *copy : { item.oldRecord.get(), item.newRecord.get() })
        if (copy)
            reinterpret_cast<TRecordHeader *>(copy->buffer.data())->Bookmark = bookmark;
}

int DataSetCachedUpdates::fullIndexOfBookmark(qint32 bookmark) const
{
    const TRecordDataList *store = m_dataSet.m_store.get();
    if (!store)
        return -1;
    for (int i = store->Base(); i < store->Count(); ++i)
        if (RecordHeader(store->FullRecord(i))->Bookmark == bookmark)
            return i;
    return -1;
}

TChangeLogItem *DataSetCachedUpdates::activeEntry()
{
    if (m_log.Count() == 0 || !m_dataSet.Active())
        return nullptr;
    TRecordBuffer active = m_dataSet.ActiveBuffer();
    if (!active || m_dataSet.GetBookmarkFlag(active) != bfCurrent)
        return nullptr;
    return m_log.Find(RecordHeader(active)->Bookmark);
}

// ---- Logging

void DataSetCachedUpdates::logChange(
    QChar action, int position, std::unique_ptr<TLoggedRecord> before, const char *after)
{
    if (!inEffect())
        return;
    const qint32 bookmark = before ? headerOf(before->buffer)->Bookmark
        : after                    ? reinterpret_cast<const TRecordHeader *>(after)->Bookmark
                                   : -1;
    m_log.Log(action, bookmark, position, std::move(before), after ? copyOf(after) : nullptr,
        !m_dataSet.m_cachedUpdates);
}

// ---- The log in a re-query

// A logged insert comes back where it was: before the server row that now takes its position,
// or, at the end of the rows, in log order. The record is appended to the store.
char *DataSetCachedUpdates::placeLoggedInsert(bool atEnd)
{
    TOracleDataSet &ds = m_dataSet;
    if (!ds.m_cachedUpdates || m_log.Count() == 0)
        return nullptr;
    TRecordDataList &store = *ds.m_store;
    const int position = store.Count();
    // A detail shows only the logged inserts made under the master record it now shows. The
    // link values tell: the master's record numbers start again with each of its queries.
    const auto belongsHere = [&](const TChangeLogItem &item) {
        if (!ds.Master() || ds.DetailFields().trimmed().isEmpty())
            return true;
        QByteArray &copy = item.newRecord->buffer;
        if (copy.size() < ds.RecordBufferSize())
            return false;
        return ds.MasterRecordMatches(copy.data());
    };
    const auto unplacedInsert = [&](const TChangeLogItem &item) {
        return item.action == u'I' && !item.placed && item.newRecord
            && (atEnd || item.position == position) && belongsHere(item);
    };
    TChangeLogItem *item = atEnd ? m_log.FirstIf(unplacedInsert) : m_log.LatestIf(unplacedInsert);
    if (!item)
        return nullptr;
    char *record = store.PrepareSlot();
    restore(*item->newRecord, record);
    store.AppendPrepared();
    TRecordHeader *header = RecordHeader(record);
    header->Bookmark = ds.NextBookmark();
    header->BookmarkFlag = bfCurrent;
    header->Status = 0;
    setEntryBookmark(*item, header->Bookmark);
    item->placed = true;
    item->position = position;
    return record;
}

// A fetched row with a logged change shows the logged state: a deleted row is left out (false;
// its bookmark number is used up all the same), an updated row takes its logged values. The
// record is the prepared slot, not yet appended; it takes the next bookmark number.
bool DataSetCachedUpdates::mergeLoggedRow(char *record)
{
    TOracleDataSet &ds = m_dataSet;
    if (!ds.m_cachedUpdates || !ds.m_hasRowId || m_log.Count() == 0)
        return true;
    const QString rowId = ds.RecordRowId(record);
    if (rowId.isEmpty())
        return true;
    TChangeLogItem *item = m_log.LatestIf([&](const TChangeLogItem &entry) {
        if (entry.placed || entry.action == u'I')
            return false;
        const TLoggedRecord *copy = entry.oldRecord ? entry.oldRecord.get() : entry.newRecord.get();
        return copy && copy->rowId == rowId;
    });
    if (!item)
        return true;
    item->placed = true;
    item->position = ds.m_store->Count();
    if (item->action == u'D') {
        setEntryBookmark(*item, ds.NextBookmark());
        return false;
    }
    if (item->newRecord)
        restore(*item->newRecord, record);
    setEntryBookmark(*item, ds.m_bookmarkCounter + 1);
    return true;
}

} // namespace qd
