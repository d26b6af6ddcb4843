#pragma once

#include "OracleBlob.h"
#include "classlib/DataSetTypes.h"

#include <QByteArray>
#include <QChar>
#include <QString>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace qd {

// One logged change of a record while cached updates are in effect. Record is the dataset's
// private copy of a record; the entry owns its copies.
template <class Record> struct TChangeLogEntry {
    QChar action = u' '; // 'I' inserted, 'U' updated, 'D' deleted
    int bookmark = -1; // the record's identity
    int position = -1; // the record's index in the unfiltered store
    std::unique_ptr<Record> oldRecord; // before the change (a deleted record); null for inserts
    std::unique_ptr<Record> newRecord; // as changed (an inserted record); null for deletes
    // Placed by the last fetch; only placed entries count. Cleared before a re-query.
    bool placed = true;
    bool refreshed = false;
    // Logged by a provider-driven update cycle rather than by CachedUpdates itself.
    bool providerMark = false;
};

// A dataset's private copy of a record: the record in buffer form (header and data area, texts
// inline), its BLOB values and its row address. The copy borrows nothing from the store.
struct TLoggedRecord {
    QByteArray buffer;
    std::unique_ptr<TBlobList> blobs; // null when the record had none
    QString rowId;
};

// The entries of a TOracleDataSet's change log.
class TChangeLogItem : public TChangeLogEntry<TLoggedRecord> { };

// The change log of cached updates: the dataset's changes to its record store, merged per
// record, so that they can be committed or cancelled as a whole. The dataset supplies the
// record identity (its bookmark number) and the copies.
template <class Record, class Entry = TChangeLogEntry<Record>> class TChangeLog {
public:
    using Item = Entry;

    int Count() const { return static_cast<int>(m_items.size()); }
    Item &Items(int index) { return *m_items.at(static_cast<size_t>(index)); }
    const Item &Items(int index) const { return *m_items.at(static_cast<size_t>(index)); }

    // The newest placed entry of the record, null when none.
    Item *Find(int bookmark)
    {
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
            if ((*it)->placed && (*it)->bookmark == bookmark)
                return it->get();
        return nullptr;
    }
    // The newest placed entry that matches (for example by row address), null when none.
    Item *FindIf(const std::function<bool(const Item &)> &match)
    {
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
            if ((*it)->placed && match(**it))
                return it->get();
        return nullptr;
    }
    // The placed insert at that store position, null when none.
    Item *FindInsertAt(int position)
    {
        return FindIf([position](const Item &item) {
            return item.action == u'I' && item.position == position;
        });
    }

    // Records a change of the record with that identity at the unfiltered position. An insert
    // then updated keeps one insert with the latest record; an insert then deleted leaves no
    // entry; an update then updated keeps one update with the latest record; an update then
    // deleted becomes a delete. Other pairs change nothing. A record's first change moves the
    // positions of the inserts at or after it (down for a delete, up for an insert) and is
    // appended. providerMark: cached updates are in effect through a provider cycle only.
    //
    // A cancel undoes the entries newest first, each at the position it was logged with, so a
    // delete must stand in the log where it happened: an update turned into a delete takes the
    // delete's position and moves to the end, and any delete moves the later inserts down.
    void Log(QChar action, int bookmark, int position, std::unique_ptr<Record> oldRecord,
        std::unique_ptr<Record> newRecord, bool providerMark)
    {
        if (Item *existing = Find(bookmark)) {
            if (existing->action == u'I' && action == u'U') {
                existing->newRecord = std::move(newRecord);
            } else if (existing->action == u'I' && action == u'D') {
                // The insert never reaches the server.
                forgetInsert(existing, position);
                remove(existing);
                shiftInserts(position, -1);
            } else if (existing->action == u'U' && action == u'U') {
                existing->newRecord = std::move(newRecord);
            } else if (existing->action == u'U' && action == u'D') {
                existing->newRecord.reset();
                existing->action = u'D';
                shiftInserts(position, -1);
                existing->position = position;
                moveToEnd(existing);
            }
            return;
        }
        if (action == u'D' || action == u'I')
            shiftInserts(position, action == u'D' ? -1 : 1);
        auto item = std::make_unique<Item>();
        item->action = action;
        item->bookmark = bookmark;
        item->position = position;
        item->oldRecord = std::move(oldRecord);
        item->newRecord = std::move(newRecord);
        item->providerMark = providerMark;
        m_items.push_back(std::move(item));
    }

    // The newest entry that matches, placed or not (a re-query looks for the entries it has not
    // placed yet); null when none.
    Item *LatestIf(const std::function<bool(const Item &)> &match)
    {
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
            if (match(**it))
                return it->get();
        return nullptr;
    }
    // The oldest entry that matches, placed or not; null when none.
    Item *FirstIf(const std::function<bool(const Item &)> &match)
    {
        for (auto &item : m_items)
            if (match(*item))
                return item.get();
        return nullptr;
    }
    // Before a re-query: no entry is placed until the fetch places it again.
    void ClearPlaced()
    {
        for (auto &item : m_items)
            item->placed = false;
    }

    // Placed inserts less placed deletes.
    int NetCount() const { return netCount(false); }

    // NetCount over the entries CachedUpdates logged: a provider cycle's changes reached the
    // server and were counted by the dataset when they were made.
    int CachedNetCount() const { return netCount(true); }

    // Updates are pending when CachedUpdates is set and something is logged.
    bool UpdatesPending(bool cachedUpdates) const { return cachedUpdates && !m_items.empty(); }

    // Forgets every entry; the changes stay in the store. The net count of the cached entries,
    // to carry into the dataset's count of inserted records.
    int Commit()
    {
        const int net = CachedNetCount();
        m_items.clear();
        return net;
    }

    // Undoes every placed entry in the store, newest first, and forgets them all (an entry the
    // last fetch did not place has no record in the store to undo).
    void Cancel(const std::function<void(Item &)> &undo)
    {
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
            if (undo && (*it)->placed)
                undo(**it);
        m_items.clear();
    }

    void Clear() { m_items.clear(); }

private:
    int netCount(bool skipProviderMarked) const
    {
        int count = 0;
        for (const auto &item : m_items) {
            if (!item->placed || (skipProviderMarked && item->providerMark))
                continue;
            if (item->action == u'I')
                ++count;
            else if (item->action == u'D')
                --count;
        }
        return count;
    }

    // An insert about to leave the log: the deletes logged after it were made with the new
    // record in the store, so those it stood before come back one place earlier without it.
    // Walking back from the newest entry, where the record stood at each of those moments
    // follows from where it stands now.
    void forgetInsert(Item *insert, int currentPosition)
    {
        int standing = currentPosition;
        for (auto it = m_items.rbegin(); it != m_items.rend() && it->get() != insert; ++it) {
            Item &later = **it;
            if (!later.placed)
                continue;
            if (later.action == u'D') {
                if (standing >= later.position)
                    ++standing; // it stood after the deleted record
                else
                    --later.position;
            } else if (later.action == u'I' && currentPosition > later.position) {
                --standing; // it stood after the later insert, which is not there yet
            }
        }
    }

    // The placed inserts at or after the position move by shift.
    void shiftInserts(int position, int shift)
    {
        for (auto &item : m_items)
            if (item->placed && item->action == u'I' && item->position >= position)
                item->position += shift;
    }

    void moveToEnd(Item *item)
    {
        for (auto it = m_items.begin(); it != m_items.end(); ++it) {
            if (it->get() == item) {
                std::rotate(it, it + 1, m_items.end());
                return;
            }
        }
    }

    void remove(Item *item)
    {
        for (auto it = m_items.begin(); it != m_items.end(); ++it) {
            if (it->get() == item) {
                m_items.erase(it);
                return;
            }
        }
    }

    std::vector<std::unique_ptr<Item>> m_items;
};

// The update status of the active record: unmodified for an empty dataset, inserted while
// inserting; with CachedUpdates the logged action of the record (loggedAction ' ' when it has
// no entry) decides; otherwise modified while editing.
TUpdateStatus ChangeLogUpdateStatus(
    bool empty, bool inserting, bool editing, bool cachedUpdates, QChar loggedAction);

} // namespace qd
