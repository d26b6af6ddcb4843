// The worksheet's grid commands: Get All Rows and the grid export on the grid thread.
#include "worksheet/SQLForm.h"

#include "classlib/ThreadHandOver.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "oracle_data/OracleDataSet.h"
#include "shell/MessageBoxes.h"
#include "worksheet/EditorPane.h"
#include "worksheet/ExportProcedure.h"
#include "worksheet/GridExpOpt.h"
#include "worksheet/GridThread.h"
#include "worksheet/WorksheetSettings.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace qd {

namespace {

// While a grid operation runs, the row position is shown every this many rows.
constexpr int kGridStatusEvery = 200;

const QString kGridBusyMessage
    = QStringLiteral("An operation is already being performed on the grid.");

// The control groups a grid operation switches: disabled, enabled, disabled and restored.
const QStringList kOpDisabled = { QStringLiteral("btnCommit"), QStringLiteral("btnRollback"),
    QStringLiteral("Commit1"), QStringLiteral("Rollback1"), QStringLiteral("Connect1"),
    QStringLiteral("btnConnect") };
const QStringList kOpEnabled = { QStringLiteral("btnCancel") };
const QStringList kOpDisabledRestore = { QStringLiteral("Grid1"), QStringLiteral("btnExec"),
    QStringLiteral("btnExecOne"), QStringLiteral("btnExecRest"), QStringLiteral("Execute1"),
    QStringLiteral("ExecuteAtCursor1"), QStringLiteral("ExecuteAllAfterCursor1"),
    QStringLiteral("btnCancel"), QStringLiteral("Cancel1"), QStringLiteral("btnCut"),
    QStringLiteral("btnCopy"), QStringLiteral("btnPaste"), QStringLiteral("Cut1"),
    QStringLiteral("Copy1"), QStringLiteral("Paste1"), QStringLiteral("btnExport") };

} // namespace

void TSQLForm::GetAllRows()
{
    if (m_gridBusy) {
        ShowInfoMessage(kGridBusyMessage);
        return;
    }
    startGridOperation(gomFetchAll, TGridExportOptions());
}

void TSQLForm::ExportGridContents()
{
    TGridExpOptForm &options = GridExpOptForm();
    if (options.Execute(0) != 1)
        return;
    TGridExportOptions exportOptions;
    exportOptions.FileName = options.FileName();
    exportOptions.Format = options.ExportFormat();
    exportOptions.Delimiter = options.Delimiter();
    exportOptions.ExportHeadings = options.ExportHeadings();
    exportOptions.ToClipboard = options.ClipboardExport();
    ExportGrid(exportOptions);
}

void TSQLForm::ExportAsPLSQL()
{
    if (m_running) {
        ShowInfoMessage(QStringLiteral("A query is already running."));
        return;
    }
    TGridExpOptForm &options = GridExpOptForm();
    if (options.Execute(1) != 1)
        return;
    QStringList query;
    for (int i = 0; i < m_dataSet->SQL().Count(); ++i)
        query.append(m_dataSet->SQL()[i]);
    if (query.join(QString()).trimmed().isEmpty()) {
        ShowInfoMessage(QStringLiteral("There is no query to export."));
        return;
    }
    try {
        GenerateExportProcedure(query, options.ExportFormat(), options.ExportHeadings(),
            options.Delimiter(), options.FileName(), options.ServerFile(), options.ServerDir(),
            options.ProcName(), *m_session);
    } catch (const std::exception &) {
        ShowCurrentException();
    }
}

void TSQLForm::ExportGrid(const TGridExportOptions &options)
{
    if (m_gridBusy) {
        ShowInfoMessage(kGridBusyMessage);
        return;
    }
    if (m_running) {
        // The runner owns the dataset until it ends.
        ShowInfoMessage(QStringLiteral("A query is already running."));
        return;
    }
    if (m_dataSet->Active()) {
        startGridOperation(gomExport, options);
        return;
    }
    // Nothing to export yet: run the whole editor first, and export once that run has ended
    // with the dataset open. Until then the runner owns the dataset: one thread on it at a time.
    RunSQL(0, m_editor->caretLine());
    if (!m_running)
        return;
    connect(
        this, &TSQLForm::runFinished, this,
        [this, options] {
            if (m_dataSet && m_dataSet->Active() && !m_gridBusy && !m_destroying)
                startGridOperation(gomExport, options);
        },
        Qt::SingleShotConnection);
}

bool TSQLForm::startGridOperation(quint8 mode, const TGridExportOptions &options)
{
    if (!m_session->Connected() || !m_dataSet->Active()) {
        ShowInfoMessage(QStringLiteral("There are no query rows in the grid."));
        return false;
    }
    TGridThreadParams params;
    params.Mode = mode;
    params.DataSet = m_dataSet.get();
    params.Session = m_session.get();
    params.Grid = m_grid;
    params.GridModel = m_gridModel;
    params.BusyControl = m_editor;
    params.StatusBar = m_statusBar;
    params.OpDisabled = components(kOpDisabled);
    params.OpEnabled = components(kOpEnabled);
    params.OpDisabledRestore = components(kOpDisabledRestore);
    params.Export = options;
    params.GridEnableOnOp = WorksheetBool(*m_settings, QStringLiteral("GridEnableOnOp"), false);
    params.OnEnded = [this] {
        m_gridBusy = false;
        updateRowStatus();
        emit gridOperationFinished();
    };
    m_gridBusy = true;
    m_gridThread = TGridThread::StartGridThread(params);
    return true;
}

void TSQLForm::dataSetScrolled(TDataSet &dataSet)
{
    // On the GUI thread the grid's own row changes keep the position up to date. The grid
    // thread moves through the rows on its own thread: every 200th row it tells the position,
    // read there (the dataset is that thread's until it ends), to the status bar here.
    if (!dynamic_cast<TGridThread *>(QThread::currentThread()))
        return;
    const int recNo = dataSet.RecNo();
    if (recNo <= 0 || recNo % kGridStatusEvery != 0)
        return;
    const QString position
        = QString::number(recNo) + QLatin1Char('/') + QString::number(dataSet.RecordCount());
    PostCall(this, [this, position] {
        if (m_gridBusy)
            m_statusBar->SetPanelText(2, position);
    });
}

void TSQLForm::waitForGridThread()
{
    if (!m_gridThread)
        return;
    m_gridThread->DetachWindow();
    m_gridThread->Terminate();
    // The worker may be waiting for a step on this thread: keep processing events.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (!m_gridThread || m_gridThread->isFinished())
            loop.quit();
    });
    poll.start(10);
    if (m_gridThread && !m_gridThread->isFinished())
        loop.exec();
    if (m_gridThread) {
        m_gridThread->wait();
        ThreadJoined(m_gridThread.data());
    }
    m_gridBusy = false;
}

} // namespace qd
