#pragma once

// Hand-overs between threads: a call queued to an object on another thread, a call that waits
// for the other thread, and a worker thread's end seen by whoever waits for it.
//
// Qt synchronizes these inside its own libraries (its event queue, its thread bookkeeping), where
// ThreadSanitizer cannot see the locks: every hand-over goes through here, which tells it where
// one thread lets go of what it wrote and where the other takes it over. Without ThreadSanitizer
// the marks compile to nothing and the calls are Qt's own.

#include <QMetaObject>
#include <QObject>

#include <type_traits>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define QD_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QD_THREAD_SANITIZER 1
#endif
#endif

#ifdef QD_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace qd {

// Everything this thread wrote before is visible to a thread that later takes over token.
inline void HandOverRelease(const void *token)
{
#ifdef QD_THREAD_SANITIZER
    __tsan_release(const_cast<void *>(token));
#else
    (void)token;
#endif
}

// Takes over what a thread wrote before it released token.
inline void HandOverAcquire(const void *token)
{
#ifdef QD_THREAD_SANITIZER
    __tsan_acquire(const_cast<void *>(token));
#else
    (void)token;
#endif
}

namespace detail {

// The function object Qt carries to the other thread. Its last move puts it into Qt's call
// object, after which the posting thread lets go of it; the receiving thread takes it over
// before it runs it or frees it (a call to an object already gone is freed unrun).
template <typename Fn> class HandedOverCall {
public:
    explicit HandedOverCall(Fn fn)
        : m_fn(std::move(fn))
    {
    }
    HandedOverCall(HandedOverCall &&other) noexcept(std::is_nothrow_move_constructible_v<Fn>)
        : m_fn(std::move(other.m_fn))
    {
        HandOverRelease(this);
    }
    HandedOverCall(const HandedOverCall &other)
        : m_fn(other.m_fn)
    {
        HandOverRelease(this);
    }
    HandedOverCall &operator=(const HandedOverCall &) = delete;
    HandedOverCall &operator=(HandedOverCall &&) = delete;
    ~HandedOverCall() { HandOverAcquire(this); }

    void operator()()
    {
        HandOverAcquire(this);
        m_fn();
    }

private:
    Fn m_fn;
};

} // namespace detail

// Runs fn later on receiver's thread, from its event loop; dropped if receiver is destroyed
// first. Returns at once.
template <typename Fn> void PostCall(QObject *receiver, Fn &&fn)
{
    QMetaObject::invokeMethod(receiver,
        detail::HandedOverCall<std::decay_t<Fn>>(std::forward<Fn>(fn)), Qt::QueuedConnection);
}

// Runs fn on receiver's thread (another thread than this one, which must not be the receiver's)
// and waits until it has run; what fn wrote is visible here afterwards. Dropped if receiver
// is destroyed first.
template <typename Fn> void BlockingCall(QObject *receiver, Fn &&fn)
{
    char done = 0;
    auto call = [&fn, &done] {
        fn();
        HandOverRelease(&done);
    };
    QMetaObject::invokeMethod(receiver, detail::HandedOverCall<decltype(call)>(std::move(call)),
        Qt::BlockingQueuedConnection);
    HandOverAcquire(&done);
}

// A worker thread's run: declare one at the top of run(). Whatever the run wrote is visible to
// the thread that sees the end through ThreadJoined (after QThread::wait, or from the finished
// signal) before it reads the worker's results or deletes it.
class ThreadRunScope {
public:
    explicit ThreadRunScope(const void *thread)
        : m_thread(thread)
    {
    }
    ThreadRunScope(const ThreadRunScope &) = delete;
    ThreadRunScope &operator=(const ThreadRunScope &) = delete;
    ~ThreadRunScope() { HandOverRelease(m_thread); }

private:
    const void *m_thread;
};

inline void ThreadJoined(const void *thread)
{
    HandOverAcquire(thread);
}

} // namespace qd
