#include "engine/RowLocks.h"

#include "engine/OraErrors.h"

#include <chrono>
#include <climits>

namespace qdsi::engine {

RowLocks &RowLocks::instance()
{
    static RowLocks registry;
    return registry;
}

void RowLocks::acquire(
    const RowKey &key, const void *owner, int waitMs, const std::function<bool()> &broken)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::unique_lock lock(m_mutex);
    struct Done {
        RowLocks &locks;
        const void *owner;
        ~Done() { locks.m_waitsFor.erase(owner); }
    } done { *this, owner };
    for (;;) {
        const auto it = m_holder.find(key);
        if (it == m_holder.end()) {
            m_holder.emplace(key, owner);
            m_held[owner].push_back(key);
            return;
        }
        if (it->second == owner)
            return;
        if (waitMs == 0)
            throw oraFail(54);
        if (broken && broken())
            throw oraFail(1013);
        if (waitMs > 0 && Clock::now() >= deadline)
            throw oraFail(54);
        waitFor(owner, it->second);
        // Short slices so that a break is noticed even if its wake-up came just before the wait.
        m_changed.wait_for(lock, std::chrono::milliseconds(20));
    }
}

bool RowLocks::othersHold(const std::string &database, const std::string &table, const void *owner)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_holder.lower_bound({ database, table, INT64_MIN });
         it != m_holder.end() && it->first.database == database && it->first.table == table; ++it) {
        if (it->second != owner)
            return true;
    }
    return false;
}

void RowLocks::waitUntilFree(
    const RowKey &key, const void *owner, const std::function<bool()> &broken)
{
    std::unique_lock lock(m_mutex);
    struct Done {
        RowLocks &locks;
        const void *owner;
        ~Done() { locks.m_waitsFor.erase(owner); }
    } done { *this, owner };
    for (;;) {
        const auto it = m_holder.find(key);
        if (it == m_holder.end() || it->second == owner)
            return;
        if (broken && broken())
            throw oraFail(1013);
        waitFor(owner, it->second);
        m_changed.wait_for(lock, std::chrono::milliseconds(20));
    }
}

void RowLocks::waitFor(const void *owner, const void *holder)
{
    // Sessions waiting on each other in a ring would wait for ever: the one that closes the
    // ring fails instead, as the server reports a deadlock.
    for (const void *next = holder; next;) {
        if (next == owner)
            throw oraFail(60);
        const auto it = m_waitsFor.find(next);
        next = it == m_waitsFor.end() ? nullptr : it->second;
    }
    m_waitsFor[owner] = holder;
}

size_t RowLocks::mark(const void *owner)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_held.find(owner);
    return it == m_held.end() ? 0 : it->second.size();
}

void RowLocks::releaseAfter(const void *owner, size_t mark)
{
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_held.find(owner);
        if (it == m_held.end())
            return;
        while (it->second.size() > mark) {
            m_holder.erase(it->second.back());
            it->second.pop_back();
        }
        if (it->second.empty())
            m_held.erase(it);
    }
    m_changed.notify_all();
}

void RowLocks::wake()
{
    m_changed.notify_all();
}

} // namespace qdsi::engine
