#pragma once

#include "classlib/DataSetTypes.h"
#include "shell/ControlStates.h"
#include "worksheet/GridExport.h"

#include <QAbstractItemView>
#include <QColor>
#include <QList>
#include <QPalette>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <exception>
#include <functional>

class QTableView;
class QWidget;

namespace qd {

class DataSetModel;
class TOracleDataSet;
class TOracleSession;
class WorksheetStatusBar;

// What a grid operation works on and with.
enum TGridOpMode : quint8 { gomFetchAll = 0, gomExport = 1, gomNothing = 2 };

struct TGridThreadParams {
    quint8 Mode = gomNothing;
    TOracleDataSet *DataSet = nullptr;
    TOracleSession *Session = nullptr;
    QTableView *Grid = nullptr;
    DataSetModel *GridModel = nullptr;
    QWidget *BusyControl = nullptr;
    WorksheetStatusBar *StatusBar = nullptr;
    // Controls disabled, enabled, disabled and later restored, enabled and later restored
    // while the operation runs.
    QList<QObject *> OpDisabled;
    QList<QObject *> OpEnabled;
    QList<QObject *> OpDisabledRestore;
    QList<QObject *> OpEnabledRestore;
    TGridExportOptions Export;
    // The setting "GridEnableOnOp": the grid follows the rows while they are read.
    bool GridEnableOnOp = false;
    // Called on the GUI thread as the last step, once the grid, the controls and the status
    // are restored and any error has been shown (the window clears its grid-operation flag).
    std::function<void()> OnEnded;
};

// A grid operation of the worksheet on a worker thread: fetching every row of the grid's
// dataset, or exporting the grid's query to a file or the clipboard. The window stays usable;
// the grid turns yellow and read-only and lets go of the dataset while the worker moves through
// it. Every step that touches a widget, the grid's model or the clipboard runs on the GUI thread
// while the worker waits.
//
// StartGridThread starts it; it deletes itself after it has ended (keep a QPointer). Terminate
// stops it between rows. A window that goes away calls DetachWindow, then Terminate, and waits
// for it while processing events.
class TGridThread : public QThread {
public:
    static TGridThread *StartGridThread(const TGridThreadParams &params);

    ~TGridThread() override;
    TGridThread(const TGridThread &) = delete;
    TGridThread &operator=(const TGridThread &) = delete;

    void Terminate() { requestInterruption(); }
    bool Terminated() const { return isInterruptionRequested(); }
    // GUI thread: no widget is touched after this returns.
    void DetachWindow() { m_detached.store(true); }
    // The exception that ended the operation (null after success); valid after the end.
    std::exception_ptr RunException() const { return m_runException; }

protected:
    void run() override;

private:
    explicit TGridThread(const TGridThreadParams &params);

    // Runs step on the GUI thread and waits; nothing once the window is detached.
    void synchronize(void (TGridThread::*step)());
    void BeginGridOp();
    void DetachGridSource();
    void AttachGridSource();
    void EndGridOp();
    void ClearGridStatus();
    void ShowGridError();
    void PutOnClipboard();
    // Last step: the window hears that the operation is over (its flag, its signal).
    void Finish();

    TGridThreadParams m_params;
    QPointer<QTableView> m_grid;
    QPointer<DataSetModel> m_gridModel;
    QPointer<QWidget> m_busyControl;
    QPointer<WorksheetStatusBar> m_statusBar;
    TControlList m_opDisabled;
    TControlList m_opEnabled;
    TControlList m_opDisabledRestore;
    TControlList m_opEnabledRestore;
    std::atomic<bool> m_detached { false };
    std::exception_ptr m_runException;
    QString m_clipboardText;
    // The grid's state before the operation.
    QPalette m_savedPalette;
    QAbstractItemView::EditTriggers m_savedEditTriggers;
    TBookmark m_bookmark;
    bool m_controlsDisabled = false;
};

} // namespace qd
