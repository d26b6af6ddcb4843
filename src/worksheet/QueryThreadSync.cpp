#include "worksheet/QueryThread.h"

#include "classlib/ThreadHandOver.h"

namespace qd {

// A call the worker hands to the GUI thread. It is shared so that a worker that stops waiting
// (the host went away) leaves nothing dangling behind the queued call.
namespace {
struct PendingCall {
    bool done = false;
    std::exception_ptr error;
};
} // namespace

void TQueryThread::synchronize(const std::function<void(TScriptHost &host)> &call)
{
    if (QThread::currentThread() == thread()) {
        // Called on the GUI thread itself (the constructor): no waiting.
        if (!m_hostDetached && m_host)
            call(*m_host);
        return;
    }
    auto pending = std::make_shared<PendingCall>();
    {
        std::lock_guard<std::mutex> lock(m_syncMutex);
        if (m_hostDetached)
            return;
    }
    // The receiver is this object, which lives on the GUI thread: the functor runs there. Should
    // the object be gone first, Qt drops the call.
    PostCall(this, [this, pending, call] {
        std::exception_ptr error;
        if (!m_hostDetached && m_host) {
            try {
                deliverOutput();
                call(*m_host);
            } catch (...) {
                error = std::current_exception();
            }
        }
        std::lock_guard<std::mutex> lock(m_syncMutex);
        pending->error = error;
        pending->done = true;
        m_syncDone.notify_all();
    });
    std::unique_lock<std::mutex> lock(m_syncMutex);
    m_syncDone.wait(lock, [&] { return pending->done || m_hostDetached; });
    if (pending->done && pending->error)
        std::rethrow_exception(pending->error);
}

void TQueryThread::post(std::function<void(TScriptHost &host)> call)
{
    if (QThread::currentThread() == thread()) {
        if (!m_hostDetached && m_host)
            call(*m_host);
        return;
    }
    {
        std::unique_lock<std::mutex> lock(m_syncMutex);
        m_syncDone.wait(
            lock, [&] { return m_hostDetached || m_callsInFlight < MaxCallsInFlight; });
        if (m_hostDetached)
            return;
        ++m_callsInFlight;
    }
    PostCall(this, [this, call = std::move(call)] {
        if (!m_hostDetached && m_host) {
            try {
                deliverOutput();
                call(*m_host);
            } catch (...) {
                // Output and status only: nothing the run depends on.
            }
        }
        std::lock_guard<std::mutex> lock(m_syncMutex);
        --m_callsInFlight;
        m_syncDone.notify_all();
    });
}

void TQueryThread::showRunStatus(const QString &text)
{
    if (m_statusShown && text == m_lastStatus)
        return;
    m_statusShown = true;
    m_lastStatus = text;
    post([text](TScriptHost &host) { host.ShowRunStatus(text); });
}

void TQueryThread::DetachHost()
{
    std::lock_guard<std::mutex> lock(m_syncMutex);
    m_hostDetached = true;
    m_host = nullptr;
    m_syncDone.notify_all();
}

void TQueryThread::deliverOutput()
{
    QStringList lines;
    {
        std::lock_guard<std::mutex> lock(m_syncMutex);
        lines.swap(m_outbox);
        m_outboxScheduled = false;
    }
    if (lines.isEmpty() || m_hostDetached || !m_host)
        return;
    try {
        m_host->AppendTextOutput(lines, m_settings.ScreenBufferSize);
    } catch (...) {
        // Output only: neither the run nor the call that follows depends on it.
    }
}

void TQueryThread::finishedOnGuiThread()
{
    ThreadJoined(this);
    m_outputTimer->stop();
    deliverOutput();
    TScriptHost *host = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_syncMutex);
        host = m_hostDetached ? nullptr : m_host;
    }
    if (host)
        host->QueryThreadFinished();
    deleteLater();
}

} // namespace qd
