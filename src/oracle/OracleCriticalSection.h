#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace qd {

// A lock that its owning thread may enter again (each Enter needs its Leave) and whose
// unmatched Leave is harmless. Only the owning thread can release it: a Leave from a
// thread that does not hold the lock does nothing, so one thread can never open a lock
// that another thread is relying on.
class TOracleCriticalSection {
public:
    TOracleCriticalSection() = default;
    TOracleCriticalSection(const TOracleCriticalSection &) = delete;
    TOracleCriticalSection &operator=(const TOracleCriticalSection &) = delete;

    void Enter();
    void Leave();

    // Nesting count of the calling thread (0 when another thread or nobody holds it).
    int NestingCount() const;
    bool HeldByCurrentThread() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::thread::id m_owner;
    int m_count = 0;
};

// Holds a TOracleCriticalSection for the lifetime of the guard.
class OracleLockGuard {
public:
    explicit OracleLockGuard(TOracleCriticalSection &lock) : m_lock(lock) { m_lock.Enter(); }
    ~OracleLockGuard() { m_lock.Leave(); }
    OracleLockGuard(const OracleLockGuard &) = delete;
    OracleLockGuard &operator=(const OracleLockGuard &) = delete;

private:
    TOracleCriticalSection &m_lock;
};

} // namespace qd
