#pragma once

#include "classlib/DataSource.h"
#include "shell/ControlStates.h"
#include "shell/WindowServices.h"
#include "worksheet/GridExport.h"
#include "worksheet/GridThread.h"
#include "worksheet/QueryThread.h"
#include "worksheet/ScriptHost.h"

#include <QColor>
#include <QHash>
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class QTableView;
class QTimer;
class QToolButton;
class QWidget;

namespace qd {

class DataSetModel;
class EditorPane;
class SQLBrowserFrameInterface;
class ErrorPane;
class TCodeMemo;
class TCodeMemoPrinter;
class TDataSet;
class TGridPrint;
class TOracleDataSet;
class TOracleSession;
class TKXVarPrompt;
class TQueryThread;
class TSettings;
class WorksheetStatusBar;

// The SQL worksheet: an editor for scripts, its own Oracle session, the results of a run in a
// grid or as text, the errors of the run in a dockable pane, and a status bar. Runs go to a
// TQueryThread, which reaches the window through TScriptHost on the GUI thread.
//
// States: unconnected (no database; the editor works, database commands are off) and
// connected; inside the connected state the window is idle or running (one run at a time).
// Closing during a run breaks the running call and waits for the runner, processing events,
// before the session and the dataset go.
class TSQLForm : public QMainWindow, public TScriptHost, public WorksheetWindowInterface {
    Q_OBJECT
public:
    // The window's constructor: owner is the window that asked for it (may be null); an empty
    // logon.Database gives an unconnected worksheet; with asFile fileOrText names a file to
    // open, otherwise it is the editor's text. A failed logon throws and leaves no window.
    static TSQLForm *CreateWorksheet(QWidget *owner, const TLogonValues &logon,
        const QString &fileOrText, bool asFile);
    ~TSQLForm() override;

    // ---- State ----------------------------------------------------------------------------------
    void SetConnectedState(bool resizeOutput);
    void SetUnconnectedState(bool resizeOutput);
    static void LogonWorksheetSession(TOracleSession &session, const QString &username,
        const QString &password, const QString &database, const QString &connectMode);
    void InitOptions();
    void InitSQLTreeBrowser(bool refresh) override;
    void OpenEditorFile(const QString &fileName, bool ask) override;
    QString WorksheetFileName() const override { return FileName; }

    // ---- Commands -------------------------------------------------------------------------------
    // 0 all statements, 1 the statement at the caret line, 2 from it to the end.
    void RunSQL(int mode, int caretLine);
    void CommitWork();
    void RollbackWork();
    void CancelRun();
    void GotoError();
    void ConnectCommand();
    void DuplicateSession();
    void ToggleErrorMessages();
    // Grid commands (SQLFormGrid.cpp): one grid operation at a time, on the grid thread.
    void GetAllRows();
    void ExportGridContents();
    void ExportAsPLSQL();
    // The export with options given: a closed dataset is first filled by a run of the editor.
    void ExportGrid(const TGridExportOptions &options);
    // Show Plan (SQLFormPlan.cpp): the statement at the caret, explained in a plan window; the
    // window made, or null when there is none (refused, nothing to explain, an error shown).
    void ShowPlan();
    // Print Grid (SQLFormPrint.cpp): the grid's rows previewed and printed.
    void PrintGrid();
    QWidget *ShowPlanForStatement(const QStringList &statements);

    // ---- Parts for callers and tests ------------------------------------------------------------
    const QString &Database() const { return m_database; }
    const QString &Username() const { return m_username; }
    const QString &Password() const { return m_password; }
    const QString &ConnectMode() const { return m_connectMode; }
    const QString &ServerVersionText() const { return m_serverVersion; }
    bool Running() const { return m_running; }
    bool ConnectedState() const { return m_connectedState; }
    bool GridBusy() const { return m_gridBusy; }
    bool HistoryPending() const { return m_historyPending; }
    int RunTime() const { return m_runTime; }
    TOracleSession *Session() const { return m_session.get(); }
    TOracleDataSet *DataSet() const { return m_dataSet.get(); }
    TSettings &Settings() const { return *m_settings; }
    TQueryThread *QueryThread() const { return m_thread; }
    TGridThread *GridThread() const { return m_gridThread; }
    EditorPane *Editor() const { return m_editor; }
    EditorPane *TextOutput() const { return m_textOutput; }
    QTableView *Grid() const { return m_grid; }
    DataSetModel *GridModel() const { return m_gridModel; }
    QTabWidget *OutputPages() const { return m_outputPages; }
    QWidget *OutputPanel() const { return m_outputPanel; }
    ErrorPane *ErrorMessagesPane() const { return m_errorPane; }
    // The browser pane on the left; null when none is registered (SQLBrowserFrame.h).
    SQLBrowserFrameInterface *FrameSQLBrowser1() const { return m_browserFrame; }
    WorksheetStatusBar *StatusPanels() const { return m_statusBar; }
    // A command or tool button by its component name ("Execute1", "btnExec"), else null.
    QAction *Action(const QString &name) const { return m_actions.value(name); }
    QToolButton *Button(const QString &name) const { return m_buttons.value(name); }
    // Prints the editor and the text output (made on first use).
    TCodeMemoPrinter *MemoPrinter();
    // Prints the grid, on the memo printer's printer (made on first use).
    TGridPrint *GridPrinter();
    const TScriptRunState &RunState() const { return m_runState; }

signals:
    // The window has finished a run (after the runner's last call).
    void runFinished();
    // A grid operation has ended and the grid is restored.
    void gridOperationFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit TSQLForm(QWidget *owner);

    // ---- Creation (SQLForm.cpp) -----------------------------------------------------------------
    void FormCreate();
    void buildLayout();
    void addEditorKeywords();
    void applyFonts();
    void logOnAtCreation();
    void afterLogon();
    void updateCaption();
    void setOutputHeight(int height);

    // ---- Commands and menus (SQLFormActions.cpp) ------------------------------------------------
    void createActions();
    QAction *addAction(QMenu *menu, const QString &name, const QString &caption,
        const QKeySequence &shortcut, void (TSQLForm::*handler)());
    QToolButton *addButton(const QString &name, const QString &hint, const QString &action);
    void notAvailableYet(const QString &what);
    void forwardToMain(const QString &name);
    void updateEditCommands();
    QList<QObject *> components(const QStringList &names) const;

    // ---- Command handlers (SQLFormCommands.cpp) ------------------------------------------------
    void executeAll();
    void executeAtCursor();
    void executeAfterCursor();
    void runTransactionCommand(const QString &statement, const QString &refusal);
    bool startRun(const QStringList &lines, int mode, int caretLine, bool transaction,
        bool addToHistory);
    void openFileCommand();
    void saveFileCommand();
    void saveAsCommand();
    void closeFileCommand();
    bool saveToFile(const QString &fileName);
    bool closeEditorFile(bool askOnNoFile);
    void clearTextOutput();
    void dropFiles(const QStringList &files);

    // ---- Browser pane (SQLFormBrowser.cpp) ------------------------------------------------------
    void createBrowserFrame();
    void bindWorkspaceEvents();
    void workspaceCommand(const std::function<void()> &command);
    void workspaceFileDone(bool success);
    void setNavigatorAutoConnect(bool value);
    void readNavigatorAtLogon();
    void connectNavigator();
    void disconnectNavigator();
    void dropOnWorkspace(const QStringList &files);

    // ---- Grid operations (SQLFormGrid.cpp) ------------------------------------------------------
    bool startGridOperation(quint8 mode, const TGridExportOptions &options);
    void waitForGridThread();

    // ---- Printing (SQLFormPrinting.cpp) ---------------------------------------------------------
    void printMemo(TCodeMemo *memo);
    // The Print button: whatever of the editor, the text output and the grid has the focus.
    void printFocused();
    void printerSetupCommand();

    // ---- Docking (SQLFormDocking.cpp) -----------------------------------------------------------
    void InitDocking();
    void CleanupDocking();
    void ShowBottomDock(bool visible);
    QString dockFileName() const;

    // ---- Close (SQLFormClose.cpp) ---------------------------------------------------------------
    bool closeQuery();
    void waitForRunner();
    void releaseDatabase();

    // ---- TScriptHost (SQLFormHost.cpp) ----------------------------------------------------------
    TScriptRunState LoadRunState() override;
    void SaveRunState(const TScriptRunState &state) override;
    void BeginRunUI() override;
    void EndRunUI(const TScriptErrorList &errors) override;
    void FinishResult(TScriptResultPage page) override;
    void ShowResultPage(TScriptResultPage page) override;
    void ShowRunError(const QString &message) override;
    void ShowErrorPosition(int line, int column) override;
    void ShowRunStatus(const QString &text) override;
    void ShowElapsedTime(const QString &text) override;
    void ClearTextOutput() override;
    void AppendTextOutput(const QStringList &lines, int maxLines) override;
    void AttachGridDataSet() override;
    bool PromptForValue(const TScriptPrompt &prompt, QString &value) override;
    bool ConnectSession(const TScriptLogon &logon, bool askFirst) override;
    void SyncNavigatorLogon() override;
    void QueryThreadFinished() override;
    void startRunClock();
    void stopRunClock();
    void updateRowStatus();
    void dataSetScrolled(TDataSet &dataSet);

    // ---- Fields ---------------------------------------------------------------------------------
    QString m_database;
    QString m_username;
    QString m_password;
    QString m_connectMode;
    QString m_serverVersion;
    TScriptRunState m_runState;
    int m_runTime = 0;
    bool m_historyPending = true;
    bool m_dragForeground = false;
    bool m_running = false;
    bool m_gridBusy = false;
    QString FileName;
    bool m_destroying = false;
    bool m_connectedState = false;
    int m_pendingOutputHeight = -1;
    bool m_closeAccepted = false;
    QPointer<TQueryThread> m_thread;
    QPointer<TGridThread> m_gridThread;

    std::unique_ptr<TSettings> m_settings;
    std::unique_ptr<TOracleSession> m_session;
    std::unique_ptr<TOracleDataSet> m_dataSet;
    TDataSource m_dataSource;

    QSplitter *m_splitter = nullptr;
    QSplitter *m_leftSplitter = nullptr;
    SQLBrowserFrameInterface *m_browserFrame = nullptr;
    EditorPane *m_editor = nullptr;
    QWidget *m_outputPanel = nullptr;
    QTabWidget *m_outputPages = nullptr;
    QTableView *m_grid = nullptr;
    DataSetModel *m_gridModel = nullptr;
    EditorPane *m_textOutput = nullptr;
    ErrorPane *m_errorPane = nullptr;
    WorksheetStatusBar *m_statusBar = nullptr;
    QLabel *m_serverVersionLabel = nullptr;
    QTimer *m_timer = nullptr;
    QTimer *m_cancelTimer = nullptr;
    QPointer<TKXVarPrompt> m_varPrompt;
    QMenu *m_editMenu = nullptr;
    TCodeMemoPrinter *m_memoPrinter = nullptr;
    std::unique_ptr<TGridPrint> m_gridPrinter;
    QHash<QString, QAction *> m_actions;
    QHash<QString, QToolButton *> m_buttons;

    // The control groups of the run in progress (saved at its start, restored at its end).
    TControlList m_runDisabled;
    TControlList m_runEnabled;
    TControlList m_gridControls;
    TControlList m_runDisabledRestore;
    bool m_savedReadOnly = false;
    QColor m_savedColor;
};

} // namespace qd
