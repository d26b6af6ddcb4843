#pragma once

// The dataset's cached updates: while they are in effect, every post and delete the dataset
// makes to its record store is also written to the change log, merged per record, so that the
// changes can be committed or cancelled as a whole and a re-query shows them again. The dataset
// owns one and forwards its published cached-update calls to it.

#include "ChangeLog.h"
#include "classlib/DataSetTypes.h"

#include <QChar>

#include <memory>

namespace qd {

class TOracleDataSet;

class DataSetCachedUpdates {
public:
    explicit DataSetCachedUpdates(TOracleDataSet &dataSet);
    DataSetCachedUpdates(const DataSetCachedUpdates &) = delete;
    DataSetCachedUpdates &operator=(const DataSetCachedUpdates &) = delete;

    TChangeLog<TLoggedRecord, TChangeLogItem> &log() { return m_log; }
    const TChangeLog<TLoggedRecord, TChangeLogItem> &log() const { return m_log; }
    // Set while a provider-driven update cycle logs the changes it sends to the server at once.
    bool logActive() const { return m_logActive; }
    void setLogActive(bool value) { m_logActive = value; }
    // CachedUpdates is set, or a provider cycle logs.
    bool inEffect() const;

    // Refuses to turn CachedUpdates off while changes are logged.
    void checkCanDisable() const;
    bool pending() const;
    TUpdateStatus updateStatus();
    void commit();
    void cancel();
    // Raises when the dataset is open with pending cached updates (a close would drop them).
    void refuseToDropPending() const;
    void dropOnDestroy();

    // The log entry of the active record, null when it has none.
    TChangeLogItem *activeEntry();
    // A post or delete made to the store, logged while cached updates are in effect.
    void logChange(
        QChar action, int position, std::unique_ptr<TLoggedRecord> before, const char *after);
    std::unique_ptr<TLoggedRecord> copyOf(const char *stored);

    // The log in a re-query: logged inserts come back, fetched rows show their logged state.
    char *placeLoggedInsert(bool atEnd);
    bool mergeLoggedRow(char *record);

private:
    void restore(const TLoggedRecord &copy, char *stored);
    void setEntryBookmark(TChangeLogItem &item, qint32 bookmark);
    int fullIndexOfBookmark(qint32 bookmark) const;

    TOracleDataSet &m_dataSet;
    TChangeLog<TLoggedRecord, TChangeLogItem> m_log;
    bool m_logActive = false;
};

} // namespace qd
