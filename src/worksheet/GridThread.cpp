// The worksheet's grid operations on a worker thread: fetch all rows, export.
#include "worksheet/GridThread.h"

#include "classlib/DataSetModel.h"
#include "classlib/ThreadHandOver.h"
#include "oracle/ScreenServices.h"
#include "oracle_data/OracleDataSet.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QApplication>
#include <QClipboard>
#include <QTableView>

namespace qd {

namespace {

constexpr int kGridStatusPanel = 4;
const QColor kBusyGridColor(255, 255, 0);

} // namespace

TGridThread *TGridThread::StartGridThread(const TGridThreadParams &params)
{
    auto *thread = new TGridThread(params);
    // It frees itself once it has ended and its last GUI step is done.
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return thread;
}

TGridThread::TGridThread(const TGridThreadParams &params)
    : m_params(params)
    , m_grid(params.Grid)
    , m_gridModel(params.GridModel)
    , m_busyControl(params.BusyControl)
    , m_statusBar(params.StatusBar)
{
    // The lists keep each control's state from before the operation.
    SaveControlStates(m_opDisabled, params.OpDisabled);
    SaveControlStates(m_opEnabled, params.OpEnabled);
    SaveControlStates(m_opDisabledRestore, params.OpDisabledRestore);
    SaveControlStates(m_opEnabledRestore, params.OpEnabledRestore);
}

TGridThread::~TGridThread()
{
    wait();
    ThreadJoined(this);
}

void TGridThread::synchronize(void (TGridThread::*step)())
{
    if (m_detached.load())
        return;
    BlockingCall(this, [this, step] {
        if (m_detached.load())
            return;
        (this->*step)();
    });
}

void TGridThread::run()
{
    const ThreadRunScope scope(this);
    try {
        synchronize(&TGridThread::BeginGridOp);
        synchronize(&TGridThread::DetachGridSource);
        TOracleDataSet *dataSet = m_params.DataSet;
        switch (m_params.Mode) {
        case gomFetchAll:
            while (dataSet->Active() && !dataSet->Eof() && !isInterruptionRequested())
                dataSet->Next();
            break;
        case gomExport:
            m_clipboardText = ExportGridToFile(*dataSet, *m_params.Session, m_params.Export,
                [this] { return isInterruptionRequested(); });
            if (m_params.Export.ToClipboard)
                synchronize(&TGridThread::PutOnClipboard);
            break;
        default:
            break;
        }
        synchronize(&TGridThread::AttachGridSource);
        synchronize(&TGridThread::EndGridOp);
        synchronize(&TGridThread::ClearGridStatus);
        synchronize(&TGridThread::Finish);
    } catch (...) {
        m_runException = std::current_exception();
        try {
            synchronize(&TGridThread::AttachGridSource);
            synchronize(&TGridThread::EndGridOp);
            synchronize(&TGridThread::ShowGridError);
            synchronize(&TGridThread::Finish);
        } catch (...) {
            // The window's own steps do not raise; nothing may leave the thread.
        }
    }
}

void TGridThread::BeginGridOp()
{
    TOracleDataSet *dataSet = m_params.DataSet;
    if (m_grid) {
        m_savedPalette = m_grid->palette();
        m_savedEditTriggers = m_grid->editTriggers();
    }
    if (dataSet->Active())
        m_bookmark = dataSet->GetBookmark();
    // Without "GridEnableOnOp" the grid stays where it is while the rows are read.
    if (!m_params.GridEnableOnOp) {
        dataSet->DisableControls();
        m_controlsDisabled = true;
    }
    DisableControlList(m_opDisabled, false);
    DisableControlList(m_opDisabledRestore, false);
    EnableControlList(m_opEnabled, false);
    EnableControlList(m_opEnabledRestore, false);
    if (m_statusBar)
        m_statusBar->SetPanelText(kGridStatusPanel,
            m_params.Mode == gomFetchAll ? QStringLiteral("Getting all query rows...")
                                        : QStringLiteral("Exporting all query rows..."));
    if (m_grid) {
        QPalette busy = m_grid->palette();
        busy.setColor(QPalette::Base, kBusyGridColor);
        busy.setColor(QPalette::AlternateBase, kBusyGridColor);
        m_grid->setPalette(busy);
        m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    if (m_busyControl)
        m_busyControl->setEnabled(false);
}

void TGridThread::DetachGridSource()
{
    // From here the worker drives the dataset: the model answers from its copy of the rows.
    if (m_gridModel)
        m_gridModel->Detach();
}

void TGridThread::AttachGridSource()
{
    if (m_gridModel)
        m_gridModel->Reattach();
}

void TGridThread::EndGridOp()
{
    TOracleDataSet *dataSet = m_params.DataSet;
    if (m_controlsDisabled) {
        m_controlsDisabled = false;
        dataSet->EnableControls();
    }
    EnableControlList(m_opDisabled, false);
    EnableControlList(m_opDisabledRestore, true);
    DisableControlList(m_opEnabled, false);
    EnableControlList(m_opEnabledRestore, true);
    if (m_grid) {
        m_grid->setPalette(m_savedPalette);
        m_grid->setEditTriggers(m_savedEditTriggers);
    }
    if (m_busyControl)
        m_busyControl->setEnabled(true);
    // Back to the row the user was on.
    if (!m_bookmark.isEmpty() && dataSet->Active()) {
        try {
            if (dataSet->BookmarkValid(m_bookmark))
                dataSet->GotoBookmark(m_bookmark);
        } catch (const std::exception &) {
            // The row is gone (the dataset was refreshed meanwhile): stay where it is.
        }
    }
    m_bookmark.clear();
}

void TGridThread::Finish()
{
    if (m_params.OnEnded)
        m_params.OnEnded();
}

void TGridThread::ClearGridStatus()
{
    if (!m_statusBar)
        return;
    m_statusBar->SetPanelRaised(kGridStatusPanel, false);
    m_statusBar->SetPanelText(kGridStatusPanel, QString());
}

void TGridThread::ShowGridError()
{
    if (m_statusBar) {
        m_statusBar->SetPanelRaised(kGridStatusPanel, true);
        m_statusBar->SetPanelText(
            kGridStatusPanel, QStringLiteral("Error: ") + ExceptionMessage(m_runException));
    }
    ShowException(m_runException);
}

void TGridThread::PutOnClipboard()
{
    QApplication::clipboard()->setText(m_clipboardText);
}

} // namespace qd
