#pragma once

// The database navigator tree: an Oracle instance's schema objects, read on worker threads with
// a session the tree is given (not owned). Reads are serialised by the tree's lock; while one
// runs the tree is disabled and yellow.
//
// The tree shows no object kinds yet, so a read only logs the session on (with AutoConnect)
// and leaves the tree empty.

#include "browsers/DBNavRec.h"
#include "worksheet/SQLBrowserFrame.h"

#include <QList>
#include <QPalette>
#include <QTreeWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class QThread;
class QTimer;

namespace qd {

class TOracleSession;

class TDBNavTreeView : public QTreeWidget, public DBNavTreeInterface {
    Q_OBJECT
public:
    explicit TDBNavTreeView(QWidget *parent = nullptr);
    // Stops the running reads and waits for them.
    ~TDBNavTreeView() override;

    bool AutoConnect() const override { return m_autoConnect; }
    void SetAutoConnect(bool value) override { m_autoConnect = value; }
    TOracleSession *OracleSession() const { return m_session; }
    // Only stores the session; set it while no read runs.
    void SetOracleSession(TOracleSession *session) { m_session = session; }

    void Connect(const QString &username, const QString &password, const QString &database,
        const QString &mode) override;
    void Disconnect() override;
    // Starts a read when none runs; otherwise stops the running ones and reads once more
    // when they have ended (however often it was asked meanwhile).
    void ReadDatabase() override;
    // Asks every running read to end.
    void StopThreads();
    int RunningReads() const { return int(m_threads.size()); }
    // Stops the running reads and waits for them without processing events (a read never
    // waits for the GUI thread).
    void EndReads() { waitForReads(false); }

    // The record of an object or sub-object node; null for any other node.
    TDBNavRec *NodeRecord(const QTreeWidgetItem *node) const;
    // The hint of a node holding a record: its cached text, else built on session (and kept
    // when the object kind caches hints). Other nodes give an empty hint.
    void GetNodeHint(QTreeWidgetItem *node, TOracleSession &session, QString &hint);

signals:
    // A read has ended (after the tree was enabled again).
    void readFinished();

private:
    void startRead();
    void runRead();
    void readEnded(QThread *thread);
    void waitForReads(bool processEvents);

    std::atomic<bool> m_autoConnect { false };
    TOracleSession *m_session = nullptr;
    std::mutex m_lock;
    QTimer *m_retryTimer = nullptr;
    QPalette m_savedPalette;
    std::vector<std::unique_ptr<TDBNavRec>> m_records;
    QList<QThread *> m_threads;
    bool m_destroying = false;
};

} // namespace qd
