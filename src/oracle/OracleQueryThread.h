#pragma once

#include "oracle/OracleQuery.h"

#include <QString>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace qd {

// The worker of a threaded query: one per query, created at its first threaded Execute and
// idle between runs. A run executes the statement, reports it, reports every row and walks on
// with Next, then reports the end; the query's thread events run on the query's own thread
// (the worker waits) when ThreadSynchronized is set, else on the worker.
//
// A run request and the busy flag live under one mutex with one condition: Execute sets both,
// the worker takes the request and clears busy before it reports the end. So an Execute that
// arrives while the worker is finishing is never lost, and the finished handler may start the
// next run itself. A handler that runs on the worker must not destroy the query (the query's
// destructor waits for the worker). With ThreadSynchronized the query's thread must run an
// event loop; destroying the query there while the worker waits for it abandons that event.
class TOracleQuery::TQueryThread : public QThread {
public:
    // Starts the worker idle.
    explicit TQueryThread(TOracleQuery &query);
    // Terminate(): stops at the next check (between rows) and waits for the worker to end.
    ~TQueryThread() override;
    TQueryThread(const TQueryThread &) = delete;
    TQueryThread &operator=(const TQueryThread &) = delete;

    // Asks for a run; raises "Query thread is still in progress" while one is in progress.
    void RequestRun();
    // True from an accepted RequestRun until just before the run's end is reported.
    bool InProgress() const;
    // Stops the worker without any further event and waits until it has ended. A client call
    // that is running is not interrupted (TOracleSession::BreakExecution does that).
    void Terminate();

    // The error of the last failed run, as handed to OnThreadError.
    int ErrorCode() const;
    QString ErrorMessage() const;

protected:
    void run() override;

private:
    struct EventCall;

    void runStatement();
    void reportError(int code, const QString &message);
    // Calls event as the query's settings say; returns at once once terminated.
    void fire(const std::function<void()> &event);
    bool terminated() const;

    TOracleQuery &m_query;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_runRequested = false;
    bool m_busy = false;
    bool m_terminated = false;
    bool m_ended = false;
    // The synchronised event the worker waits for; Terminate abandons it.
    std::shared_ptr<EventCall> m_pendingEvent;
    int m_errorCode = 0;
    QString m_errorMessage;
};

} // namespace qd
