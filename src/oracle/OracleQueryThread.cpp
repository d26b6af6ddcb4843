#include "oracle/OracleQueryThread.h"

#include "classlib/Exception.h"
#include "classlib/ThreadHandOver.h"
#include "oracle/OracleError.h"
#include "oracle/ScreenServices.h"

namespace qd {

namespace {

const QString &inProgressText()
{
    static const QString text = QStringLiteral("Query thread is still in progress");
    return text;
}

} // namespace

// One synchronised event on its way to the query's thread. The worker waits until the
// query's thread has run it (done) or the worker was terminated (abandoned, so the event
// never runs on a query that is going away).
struct TOracleQuery::TQueryThread::EventCall {
    std::function<void()> event;
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    bool abandoned = false;
    std::exception_ptr error;

    // Runs on the query's thread; an exception goes back to the worker, never into the
    // event loop.
    static void deliver(const std::shared_ptr<EventCall> &call)
    {
        {
            std::lock_guard lock(call->mutex);
            if (call->abandoned)
                return;
        }
        std::exception_ptr error;
        try {
            call->event();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(call->mutex);
            call->error = error;
            call->done = true;
        }
        call->changed.notify_all();
    }
};

// ---- The query's side --------------------------------------------------------------------------

void TOracleQuery::executeThreaded()
{
    if (!m_thread)
        m_thread = std::make_unique<TQueryThread>(*this);
    m_thread->RequestRun();
}

void TOracleQuery::checkThreadIdle() const
{
    if (m_thread && m_thread->InProgress())
        throw Exception(inProgressText());
}

void TOracleQuery::stopThread() noexcept
{
    if (m_thread) {
        m_thread->Terminate();
        m_thread.reset();
    }
}

// ---- The worker
// ----------------------------------------------------------------------------------

TOracleQuery::TQueryThread::TQueryThread(TOracleQuery &query)
    : m_query(query)
{
    start();
}

TOracleQuery::TQueryThread::~TQueryThread()
{
    Terminate();
}

void TOracleQuery::TQueryThread::RequestRun()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_busy)
            throw Exception(inProgressText());
        if (m_terminated)
            throw Exception(QStringLiteral("Query thread has ended"));
        m_busy = true;
        m_runRequested = true;
    }
    m_changed.notify_all();
}

bool TOracleQuery::TQueryThread::InProgress() const
{
    std::lock_guard lock(m_mutex);
    return m_busy;
}

void TOracleQuery::TQueryThread::Terminate()
{
    std::shared_ptr<EventCall> pending;
    {
        std::lock_guard lock(m_mutex);
        m_terminated = true;
        pending = m_pendingEvent;
    }
    m_changed.notify_all();
    if (pending) {
        {
            std::lock_guard lock(pending->mutex);
            pending->abandoned = true;
        }
        pending->changed.notify_all();
    }
    // The worker's last act is to say that it has ended: everything it wrote is then ours.
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_ended || !isRunning(); });
    }
    wait();
    ThreadJoined(this);
}

int TOracleQuery::TQueryThread::ErrorCode() const
{
    std::lock_guard lock(m_mutex);
    return m_errorCode;
}

QString TOracleQuery::TQueryThread::ErrorMessage() const
{
    std::lock_guard lock(m_mutex);
    return m_errorMessage;
}

bool TOracleQuery::TQueryThread::terminated() const
{
    std::lock_guard lock(m_mutex);
    return m_terminated;
}

void TOracleQuery::TQueryThread::run()
{
    const ThreadRunScope scope(this);
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_runRequested || m_terminated; });
            if (m_terminated)
                break;
            m_runRequested = false;
        }
        runStatement();
        bool stop = false;
        {
            // Busy ends before the end is reported, so that the finished handler (or any
            // thread from now on) can ask for the next run.
            std::lock_guard lock(m_mutex);
            m_busy = false;
            stop = m_terminated;
        }
        if (stop)
            break;
        try {
            fire([this] {
                if (m_query.OnThreadFinished)
                    m_query.OnThreadFinished(&m_query);
            });
        } catch (...) {
            // Nothing is left to report it to but the application.
            ShowCurrentException();
        }
    }
    // Notified under the lock: once Terminate sees m_ended it may free the condition, so the
    // worker must be done with it by then.
    std::lock_guard lock(m_mutex);
    m_busy = false;
    m_ended = true;
    m_changed.notify_all();
}

void TOracleQuery::TQueryThread::runStatement()
{
    try {
        m_query.ExecuteRows(-1, -1);
        fire([this] {
            if (m_query.OnThreadExecuted)
                m_query.OnThreadExecuted(&m_query);
        });
        while (!m_query.Eof() && !terminated()) {
            fire([this] {
                if (m_query.OnThreadRecord)
                    m_query.OnThreadRecord(&m_query);
            });
            if (terminated())
                break;
            m_query.Next();
        }
    } catch (const EOracleError &e) {
        reportError(e.ErrorCode(), e.Message());
    } catch (const Exception &e) {
        reportError(0, e.Message());
    } catch (const std::exception &e) {
        reportError(0, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportError(0, QStringLiteral("Unknown error in the query thread"));
    }
}

void TOracleQuery::TQueryThread::reportError(int code, const QString &message)
{
    {
        std::lock_guard lock(m_mutex);
        m_errorCode = code;
        m_errorMessage = message;
    }
    try {
        fire([this, code, message] {
            if (m_query.OnThreadError)
                m_query.OnThreadError(&m_query, code, message);
        });
    } catch (...) {
        ShowCurrentException();
    }
}

void TOracleQuery::TQueryThread::fire(const std::function<void()> &event)
{
    if (!m_query.ThreadSynchronized() || m_query.thread() == QThread::currentThread()) {
        if (!terminated())
            event();
        return;
    }
    auto call = std::make_shared<EventCall>();
    call->event = event;
    {
        std::lock_guard lock(m_mutex);
        if (m_terminated)
            return;
        m_pendingEvent = call;
    }
    PostCall(&m_query, [call] { EventCall::deliver(call); });
    std::exception_ptr error;
    {
        std::unique_lock lock(call->mutex);
        call->changed.wait(lock, [&call] { return call->done || call->abandoned; });
        error = call->error;
    }
    {
        std::lock_guard lock(m_mutex);
        m_pendingEvent.reset();
    }
    if (error)
        std::rethrow_exception(error);
}

} // namespace qd
