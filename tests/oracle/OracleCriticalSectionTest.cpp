#include "oracle/OracleCriticalSection.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

using namespace qd;
using namespace std::chrono_literals;

namespace {
// Whether another thread can take the lock within a short wait.
bool otherThreadCanEnter(TOracleCriticalSection &lock)
{
    std::atomic<bool> entered { false };
    std::thread t([&] {
        lock.Enter();
        entered = true;
        lock.Leave();
    });
    for (int i = 0; i < 50 && !entered; ++i)
        std::this_thread::sleep_for(2ms);
    const bool result = entered;
    if (!result) {
        // Let the waiting thread finish before returning.
        while (lock.NestingCount() > 0)
            lock.Leave();
    }
    t.join();
    return result;
}
} // namespace

TEST(OracleCriticalSection, NestedEntriesNeedAsManyLeaves)
{
    TOracleCriticalSection lock;
    lock.Enter();
    lock.Enter();
    EXPECT_EQ(lock.NestingCount(), 2);
    lock.Leave();
    EXPECT_TRUE(lock.HeldByCurrentThread());
    EXPECT_FALSE(otherThreadCanEnter(lock));
    EXPECT_TRUE(otherThreadCanEnter(lock)); // the helper left it for us
}

TEST(OracleCriticalSection, UnmatchedLeaveIsHarmless)
{
    TOracleCriticalSection lock;
    lock.Leave();
    EXPECT_EQ(lock.NestingCount(), 0);
    lock.Enter();
    lock.Leave();
    lock.Leave();
    EXPECT_EQ(lock.NestingCount(), 0);
    EXPECT_TRUE(otherThreadCanEnter(lock));
}

TEST(OracleCriticalSection, OnlyTheOwnerCanRelease)
{
    TOracleCriticalSection lock;
    lock.Enter();
    std::thread intruder([&] {
        lock.Leave();
        lock.Leave();
    });
    intruder.join();
    EXPECT_EQ(lock.NestingCount(), 1);

    // A third thread still waits until the owner leaves.
    std::atomic<bool> entered { false };
    std::thread waiter([&] {
        lock.Enter();
        entered = true;
        lock.Leave();
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(entered);
    lock.Leave();
    waiter.join();
    EXPECT_TRUE(entered);
}

TEST(OracleCriticalSection, ExcludesConcurrentThreads)
{
    TOracleCriticalSection lock;
    int counter = 0; // guarded by lock only
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                OracleLockGuard guard(lock);
                OracleLockGuard nested(lock);
                ++counter;
            }
        });
    }
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(counter, 8000);
}
