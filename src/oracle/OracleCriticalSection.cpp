#include "oracle/OracleCriticalSection.h"

namespace qd {

void TOracleCriticalSection::Enter()
{
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(m_mutex);
    if (m_count > 0 && m_owner == self) {
        ++m_count;
        return;
    }
    m_released.wait(lock, [this] { return m_count == 0; });
    m_owner = self;
    m_count = 1;
}

void TOracleCriticalSection::Leave()
{
    std::unique_lock lock(m_mutex);
    if (m_count == 0 || m_owner != std::this_thread::get_id())
        return;
    if (--m_count == 0) {
        m_owner = std::thread::id();
        lock.unlock();
        m_released.notify_one();
    }
}

int TOracleCriticalSection::NestingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_owner == std::this_thread::get_id() ? m_count : 0;
}

bool TOracleCriticalSection::HeldByCurrentThread() const { return NestingCount() > 0; }

} // namespace qd
