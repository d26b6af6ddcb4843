#pragma once

#include "classlib/StringList.h"
#include "shell/TimeTools.h"
#include "worksheet/KXStatement.h"
#include "worksheet/ScriptHost.h"
#include "worksheet/ScriptRunSettings.h"

#include <QFile>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace qd {

class EOracleError;
class TKXScript;
class TOracleDataSet;
class TOracleQuery;
class TOracleSession;

// What a worksheet run is given.
struct TQueryThreadParams {
    // The text to run (a copy is taken).
    QStringList Lines;
    // The worksheet's session and its grid dataset (may be null: a single query then goes to
    // text). Neither may be used by the window while the run lasts.
    TOracleSession *Session = nullptr;
    TOracleDataSet *DataSet = nullptr;
    // 0 the whole text, 1 the statement at CaretLine, 2 every statement from it on.
    quint8 RunMode = 0;
    int CaretLine = 0; // from 0
    // An error that ends the run puts the editor caret on it.
    bool PlaceCaretOnError = true;
    // The worksheet's Commit and Rollback commands: Lines is "COMMIT" or "ROLLBACK".
    bool IsTransactionCommand = false;
    TScriptRunSettings Settings;
};

// The worksheet's script runner: one worker thread per run that splits the text, replaces
// substitution variables, runs each statement on the worksheet's session and writes the
// feedback of a command-line SQL client. It reaches its window only through TScriptHost, whose
// methods it calls on the thread that started it (the GUI thread) while the worker waits.
//
// Life cycle: StartQueryThread creates and starts it; when the worker has ended the host's
// QueryThreadFinished is called and the object deletes itself later (keep a QPointer).
// Cancel breaks the running server call and stops the run after the statement (a text query
// also stops between rows). A window that goes away calls DetachHost first (no host call
// follows), then Cancel, then waits for the thread.
//
// The SQL history is the window's: it records the text itself when it starts a run.
class TQueryThread : public QThread {
public:
    // Starts a run of params.Lines; nullptr (and nothing happens) when there are no lines.
    static TQueryThread *StartQueryThread(TScriptHost &host, const TQueryThreadParams &params);

    ~TQueryThread() override;
    TQueryThread(const TQueryThread &) = delete;
    TQueryThread &operator=(const TQueryThread &) = delete;

    // GUI thread: breaks the session's running call and asks the worker to stop.
    void Cancel();
    // GUI thread: the host is going away; no host method is called after this returns and a
    // worker waiting for the GUI thread goes on at once.
    void DetachHost();

    // The runner's state, for the window and tests once the run has ended.
    const TScriptErrorList &ErrorMessages() const { return m_errorMessages; }
    bool Terminated() const { return isInterruptionRequested(); }

protected:
    void run() override;

private:
    TQueryThread(TScriptHost &host, const TQueryThreadParams &params);

    // ---- Calls on the GUI thread (QueryThreadSync.cpp) ----------------------------------------
    // Runs call on the GUI thread with the host and waits; does nothing once the host is
    // detached. An exception of call is raised again on the worker.
    void synchronize(const std::function<void(TScriptHost &host)> &call);
    // Hands call to the GUI thread without waiting for it (output and status, which the worker
    // needs no answer of). Calls keep their order with each other and with synchronize; at most
    // MaxCallsInFlight wait at a time, so a busy window slows the worker instead of queueing
    // without bound.
    void post(std::function<void(TScriptHost &host)> call);
    // The run-state panel's text, sent only when it changes.
    void showRunStatus(const QString &text);
    void finishedOnGuiThread();
    // GUI thread: hands the lines waiting in the outbox to the window (a window that fails to
    // take them loses them; nothing else depends on them).
    void deliverOutput();

    // ---- Run (QueryThread.cpp) ------------------------------------------------------------------
    void runScript();
    void dispatch(const TKXStatement &statement, TStringList &lines);
    void endWithError(std::exception_ptr error);
    void closeSpool() noexcept;
    void releaseRunObjects();
    bool isRememberedKind(TKXStatementKind kind) const;
    void reportRunStatus();

    // ---- Output (QueryThreadOutput.cpp) ---------------------------------------------------------
    void AddOutputLine(const QString &text);
    void FlushOutput();
    void AddErrorLine(const QString &message, int line, int column);
    void ComputeErrorPosition(int errLine, int errCol, bool nested, int startColumn, int firstLine);
    // Lists the error at its editor position, fetches server output, writes it, and raises error
    // again when reraise.
    void ReportStatementError(std::exception_ptr error, const QString &message, bool toOutput,
        bool reraise, bool fetchOutput, bool nested, int startColumn, int firstLine, int errCol,
        int errLine);
    void ShowExecutingStatus(int firstLine);
    void writeSpoolLine(const QString &text);

    // ---- Executors (StatementExecutors.cpp) ---------------------------------------------------
    struct StatementPlace {
        int FirstLine = 0;
        int StartColumn = 0;
        bool Nested = false;
    };
    void SubstituteVariables(TStringList &lines);
    void SetBindVariables(TOracleQuery &query, const TStringList &lines);
    void SetBindVariables(TOracleDataSet &dataSet, const TStringList &lines);
    void GetBindVariables(TOracleQuery &query);
    void GetBindVariables(TOracleDataSet &dataSet);
    void FetchDbmsOutput();
    void reportServerError(const EOracleError &error, int errLine, int errCol,
        const StatementPlace &place);

    void ExecuteSqlStatement(TStringList &lines, TKXStatementKind kind, const QString &firstWord,
        const StatementPlace &place);
    void ExecuteProcedureCommand(TStringList &lines, const StatementPlace &place);
    void ExecutePlSqlBlock(TStringList &lines, const StatementPlace &place);
    void runPlSql(TStringList &lines, const StatementPlace &place, const QString &completedLine);
    void ExecuteSelectToText(TStringList &lines, const StatementPlace &place);
    void ExecuteSelectToGrid(TStringList &lines, const StatementPlace &place);
    void CreateStoredObject(TStringList &lines, const TKXStatement &statement,
        const StatementPlace &place);
    void ShowErrorsCommand(const QString &name, TKXStatementKind kind, bool toOutput,
        const StatementPlace &place);
    void RerunLastCommand(const TKXStatement &statement, const StatementPlace &place);
    void SpoolCommand(const TStringList &lines, const QString &secondWord,
        const StatementPlace &place);
    void PromptCommand(const TStringList &lines);
    void UnrecognizedCommand(const TStringList &lines, const StatementPlace &place);

    // ---- Script commands (ScriptCommands.cpp) --------------------------------------------------
    void VariableCommand(const TStringList &words);
    void AcceptCommand(const TStringList &words);
    void DefineCommand(const TStringList &words);
    void DescribeToText(const TStringList &lines, const TStringList &words);
    void DescribeCommand(const TStringList &lines, const TStringList &words,
        const StatementPlace &place);
    void ConnectCommand(const TStringList &lines, const TStringList &words);
    QString askValue(TScriptPrompt prompt);

    // ---- Fields ---------------------------------------------------------------------------------
    TScriptHost *m_host;
    std::mutex m_syncMutex;
    std::condition_variable m_syncDone;
    // Written under m_syncMutex; read without it where a late answer does no harm.
    std::atomic<bool> m_hostDetached = false;
    int m_callsInFlight = 0;
    static constexpr int MaxCallsInFlight = 64;
    QString m_lastStatus;
    bool m_statusShown = false;
    // Output lines handed over but not yet in the window (under m_syncMutex). The window takes
    // them every OutputIntervalMs (m_outputTimer), before any other call of the runner reaches
    // it, and at the end; a worker that has put OutboxLimit lines in asks for them at once
    // (m_outboxScheduled). So a fast run wakes the window a few times a second, not once per
    // statement, and no line is lost or shown out of order.
    QStringList m_outbox;
    bool m_outboxScheduled = false;
    QTimer *m_outputTimer = nullptr;
    static constexpr int OutputIntervalMs = 50;
    static constexpr int OutboxLimit = 4096;

    TOracleSession *m_session;
    TOracleDataSet *m_dataSet;
    std::unique_ptr<TOracleQuery> m_query;
    TStringList m_scriptLines;
    QString m_scriptDir;
    TScriptRunSettings m_settings;
    QStringList m_pendingOutput;
    bool m_spooling = false;
    QString m_spoolFileName;
    QFile m_spoolFile;
    std::exception_ptr m_runException;
    bool m_placeCaretOnError;
    int m_errorLine = 0;
    int m_errorColumn = 0;
    TScriptErrorList m_errorMessages;
    TTimeStamp m_startTime;
    TTimeStamp m_stopTime;
    TScriptRunState m_state;
    QStringList m_statementBindNames;
    quint8 m_runMode;
    int m_caretLine;
    bool m_isTransactionCommand;
    QString m_commandName;
    std::unique_ptr<TKXScript> m_script;
    bool m_textMode = false;
    TStringList m_lastStatement;
    TKXStatementKind m_lastKind = skCommand;
};

} // namespace qd
