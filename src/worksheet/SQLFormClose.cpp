// Closing a worksheet: a run is cancelled (when the user agrees), the file offered for saving,
// and only after the runner has ended do the session and the dataset go.
#include "worksheet/SQLForm.h"

#include "classlib/DataSetModel.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "oracle_data/OracleDataSet.h"
#include "worksheet/EditorPane.h"
#include "worksheet/QueryThread.h"
#include "worksheet/SQLBrowserFrame.h"
#include "worksheet/WorksheetStatusBar.h"
#include "worksheet/WorksheetSettings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QTimer>

namespace qd {

bool TSQLForm::closeQuery()
{
    // Leaving the program from the screen lock closes everything without questions.
    if (MainWindowInterface *main = mainWindow(); main && main->ClosingAfterLock())
        return true;
    show();
    if (m_running) {
        if (ScreenConfirm(QStringLiteral("Cancel the current query?"), QStringLiteral("YN")) != mrYes)
            return false;
        CancelRun();
    }
    const bool askOnNoFile = WorksheetBool(*m_settings, QStringLiteral("AskOnNoFile"), true);
    if (!closeEditorFile(askOnNoFile))
        return false;
    if (m_browserFrame) {
        try {
            if (!m_browserFrame->QDWorkspaceTreeView().Close(askOnNoFile))
                return false;
        } catch (const std::exception &e) {
            // Saving the workspace failed: the window stays, and says why.
            m_statusBar->SetPanelText(4, QString::fromUtf8(e.what()));
            return false;
        }
    }
    QApplication::processEvents();
    return true;
}

void TSQLForm::closeEvent(QCloseEvent *event)
{
    if (!m_closeAccepted && !closeQuery()) {
        event->ignore();
        return;
    }
    m_closeAccepted = true;
    CleanupDocking();
    m_destroying = true;
    waitForRunner();
    releaseDatabase();
    event->accept();
}

void TSQLForm::waitForRunner()
{
    waitForGridThread();
    if (!m_thread)
        return;
    // No callback reaches this window any more; a runner waiting for the GUI thread goes on.
    m_thread->DetachHost();
    m_thread->Cancel();
    // The window keeps processing events while the worker ends: the worker may need the GUI
    // thread to finish a call it had begun.
    QEventLoop loop;
    QTimer poll;
    int ticks = 0;
    QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop, &ticks] {
        if (!m_thread || m_thread->isFinished()) {
            loop.quit();
            return;
        }
        // A break sent while the worker was between calls finds nothing to break; the next
        // call it starts is broken by the one that follows.
        if (++ticks % 10 == 0)
            m_thread->Cancel();
    });
    poll.start(10);
    if (m_thread && !m_thread->isFinished())
        loop.exec();
    if (m_thread)
        m_thread->wait();
    m_thread = nullptr;
    m_running = false;
}

void TSQLForm::releaseDatabase()
{
    if (!m_session)
        return;
    // The grid lets go of the dataset before the dataset goes, the dataset before the session.
    m_gridModel->SetDataSource(nullptr);
    m_dataSource.SetDataSet(nullptr);
    try {
        if (m_dataSet->Active())
            m_dataSet->Close();
    } catch (const std::exception &) {
    }
    m_dataSet.reset();
    disconnectNavigator();
    try {
        if (m_session->Connected())
            m_session->LogOff();
    } catch (const std::exception &) {
        // Logging off a broken connection must not keep the window open.
    }
    m_session.reset();
}

} // namespace qd
