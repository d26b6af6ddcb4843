#pragma once

// The process-wide registry of row locks taken by SELECT ... FOR UPDATE, shared by all sessions.
// A lock is held by one session until its commit, rollback, or a rollback to a savepoint taken
// before the lock.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace qdsi::engine {

struct RowKey {
    std::string database; // schema file
    std::string table;
    int64_t rowid;
    bool operator<(const RowKey &o) const
    {
        return std::tie(database, table, rowid) < std::tie(o.database, o.table, o.rowid);
    }
};

class RowLocks {
public:
    static RowLocks &instance();

    // Locks the row for `owner`. waitMs 0 means NOWAIT, negative waits until the holder ends
    // its transaction. Throws OraError: 54 when busy (NOWAIT or time out), 1013 when `broken`
    // turns true while waiting.
    void acquire(
        const RowKey &key, const void *owner, int waitMs, const std::function<bool()> &broken);

    // True when sessions other than `owner` hold locks on rows of the table.
    bool othersHold(const std::string &database, const std::string &table, const void *owner);
    // Waits until no other session holds the row (a change must not touch a locked row).
    // Throws ORA-01013 when `broken` turns true.
    void waitUntilFree(const RowKey &key, const void *owner, const std::function<bool()> &broken);

    // Number of locks held by `owner`, to release down to later.
    size_t mark(const void *owner);
    void releaseAfter(const void *owner, size_t mark);
    void releaseAll(const void *owner) { releaseAfter(owner, 0); }

    // Wakes waiters so they can notice a break.
    void wake();

private:
    // Records that `owner` waits for `holder`; throws ORA-00060 when that closes a cycle.
    void waitFor(const void *owner, const void *holder);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<RowKey, const void *> m_holder;
    std::map<const void *, std::vector<RowKey>> m_held;
    std::map<const void *, const void *> m_waitsFor; // waiting session -> holder it waits for
};

} // namespace qdsi::engine
