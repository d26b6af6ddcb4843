#include "browsers/DBNavTreeView.h"

#include "browsers/OracleDescribe.h"
#include "classlib/ThreadHandOver.h"
#include "oracle/OracleError.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

namespace qd {

namespace {

// A read cancelled by StopThreads ends with the server's "user requested cancel".
constexpr int kUserRequestedCancel = 1013;

} // namespace

TDBNavTreeView::TDBNavTreeView(QWidget *parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("DBNavTreeView1"));
    setHeaderHidden(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_savedPalette = palette();
    m_retryTimer = new QTimer(this);
    m_retryTimer->setInterval(2000);
    connect(m_retryTimer, &QTimer::timeout, this, [this] {
        if (!m_threads.isEmpty())
            return;
        m_retryTimer->stop();
        ReadDatabase();
    });
}

TDBNavTreeView::~TDBNavTreeView()
{
    m_destroying = true;
    waitForReads(false);
}

void TDBNavTreeView::Connect(const QString &username, const QString &password,
    const QString &database, const QString &mode)
{
    // The reads end before the logon changes under them.
    StopThreads();
    waitForReads(true);
    if (!m_session)
        return;
    std::lock_guard guard(m_lock);
    if (m_session->Connected())
        m_session->LogOff();
    m_session->SetLogonUsername(username);
    m_session->SetLogonPassword(password);
    m_session->SetLogonDatabase(database);
    m_session->SetConnectAs(ModeToConnectAs(mode));
    m_session->LogOn();
}

void TDBNavTreeView::Disconnect()
{
    StopThreads();
    waitForReads(true);
    if (!m_session)
        return;
    std::lock_guard guard(m_lock);
    if (m_session->Connected())
        m_session->LogOff();
}

void TDBNavTreeView::ReadDatabase()
{
    if (m_threads.isEmpty()) {
        startRead();
        return;
    }
    StopThreads();
    m_retryTimer->start();
}

void TDBNavTreeView::StopThreads()
{
    // A read's only server call is its logon, which cannot be broken, so asking is enough; the
    // session is not touched while a reader may be logging it on.
    for (QThread *thread : std::as_const(m_threads))
        thread->requestInterruption();
}

void TDBNavTreeView::startRead()
{
    QThread *thread = QThread::create([this] {
        const ThreadRunScope scope(QThread::currentThread());
        runRead();
    });
    m_threads.append(thread);
    setEnabled(false);
    QPalette busy = m_savedPalette;
    busy.setColor(QPalette::Base, Qt::yellow);
    setPalette(busy);
    connect(thread, &QThread::finished, this, [this, thread] { readEnded(thread); });
    thread->start();
}

// On the reader's thread.
void TDBNavTreeView::runRead()
{
    QString failure;
    try {
        std::lock_guard guard(m_lock);
        if (!m_session || QThread::currentThread()->isInterruptionRequested())
            return;
        if (!m_session->Connected()) {
            if (!m_autoConnect)
                return;
            m_session->LogOn();
        }
        // No object kinds are shown yet: there is nothing further to read.
    } catch (const EOracleError &e) {
        if (e.ErrorCode() != kUserRequestedCancel)
            failure = QString::fromUtf8(e.what());
    } catch (const std::exception &e) {
        failure = QString::fromUtf8(e.what());
    }
    if (!failure.isEmpty())
        PostCall(this, [failure] { ShowErrorMessage(failure); });
}

void TDBNavTreeView::readEnded(QThread *thread)
{
    if (!m_threads.removeOne(thread))
        return;
    ThreadJoined(thread);
    thread->deleteLater();
    if (m_destroying || !m_threads.isEmpty())
        return;
    setPalette(m_savedPalette);
    setEnabled(true);
    emit readFinished();
}

void TDBNavTreeView::waitForReads(bool processEvents)
{
    StopThreads();
    if (processEvents) {
        // A reader may be waiting for the GUI thread (a message box, a queued call).
        while (!m_threads.isEmpty()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        return;
    }
    const QList<QThread *> threads = m_threads;
    m_threads.clear();
    for (QThread *thread : threads) {
        thread->wait();
        ThreadJoined(thread);
        delete thread;
    }
}

TDBNavRec *TDBNavTreeView::NodeRecord(const QTreeWidgetItem *node) const
{
    if (!node)
        return nullptr;
    const auto address = node->data(0, Qt::UserRole).value<quintptr>();
    for (const auto &record : m_records)
        if (reinterpret_cast<quintptr>(record.get()) == address)
            return record.get();
    return nullptr;
}

void TDBNavTreeView::GetNodeHint(QTreeWidgetItem *node, TOracleSession &session, QString &hint)
{
    hint.clear();
    TDBNavRec *record = NodeRecord(node);
    if (!record)
        return;
    if (!record->HintText.isEmpty()) {
        hint = record->HintText;
        return;
    }
    ScreenCursorSaver busy(crHourGlass);
    GetObjectHint(session, record->ObjectOwner, record->ObjectName, record->SubObjectName,
        quint8(record->ObjectType), quint8(record->SubType), hint);
    if (OracleObjectKinds(record->ObjectType).CacheHint)
        record->HintText = hint;
}

} // namespace qd
