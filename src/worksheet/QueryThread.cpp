#include "worksheet/QueryThread.h"

#include "classlib/ThreadHandOver.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "oracle_data/OracleDataSet.h"
#include "worksheet/KXScript.h"
#include "worksheet/WorksheetText.h"

namespace qd {

TQueryThread *TQueryThread::StartQueryThread(TScriptHost &host, const TQueryThreadParams &params)
{
    if (params.Lines.isEmpty())
        return nullptr;
    if (!params.Session)
        throw Exception(QStringLiteral("The script runner needs a session."));
    auto *runner = new TQueryThread(host, params);
    runner->start();
    return runner;
}

TQueryThread::TQueryThread(TScriptHost &host, const TQueryThreadParams &params)
    : m_host(&host)
    , m_session(params.Session)
    , m_dataSet(params.DataSet)
    , m_settings(params.Settings)
    , m_placeCaretOnError(params.PlaceCaretOnError)
    , m_runMode(params.RunMode)
    , m_caretLine(params.CaretLine)
    , m_isTransactionCommand(params.IsTransactionCommand)
{
    for (const QString &line : params.Lines)
        m_scriptLines.Add(line);
    if (m_dataSet) {
        if (m_dataSet->Active())
            m_dataSet->Close();
        m_dataSet->SQL().Clear();
        m_dataSet->DeleteVariables();
    }
    if (m_isTransactionCommand) {
        const QString first = params.Lines.first();
        if (first == u"COMMIT")
            m_commandName = QStringLiteral("Commit");
        else if (first == u"ROLLBACK")
            m_commandName = QStringLiteral("Rollback");
        else
            m_commandName = first;
    }
    m_state = host.LoadRunState();
    m_scriptDir = m_state.ScriptDir;
    connect(this, &QThread::finished, this, &TQueryThread::finishedOnGuiThread);
    m_outputTimer = new QTimer(this);
    m_outputTimer->setInterval(OutputIntervalMs);
    connect(m_outputTimer, &QTimer::timeout, this, &TQueryThread::deliverOutput);
    m_outputTimer->start();
}

TQueryThread::~TQueryThread()
{
    // A window that deletes the runner itself must have stopped it; never leave a running
    // worker behind an object that is gone.
    if (isRunning()) {
        DetachHost();
        requestInterruption();
        wait();
    }
    ThreadJoined(this);
    closeSpool();
}

void TQueryThread::Cancel()
{
    if (!isRunning())
        return;
    requestInterruption();
    try {
        m_session->BreakExecution();
    } catch (const Exception &) {
        // A break that cannot be delivered leaves the stop flag: the run ends after the call.
    }
}

void TQueryThread::run()
{
    const ThreadRunScope scope(this);
    try {
        runScript();
    } catch (...) {
        endWithError(std::current_exception());
    }
}

bool TQueryThread::isRememberedKind(TKXStatementKind kind) const
{
    switch (kind) {
    case skSelect:
    case skUpdate:
    case skInsert:
    case skDelete:
    case skMerge:
    case skOtherSQL:
    case skPLSQLBlock:
    case skCreateProcedure:
    case skCreateFunction:
    case skCreateTrigger:
    case skCreatePackage:
    case skCreatePackageBody:
    case skCreateView:
        return true;
    default:
        return false;
    }
}

void TQueryThread::runScript()
{
    m_query = std::make_unique<TOracleQuery>();
    m_query->SetSession(m_session);
    m_query->SetReadBuffer(25);
    m_query->SetStringFieldsOnly(true);
    m_script = std::make_unique<TKXScript>();
    m_script->SetScriptPath(m_settings.ScriptPath);
    m_script->SetCurrentDir(m_scriptDir);

    synchronize([](TScriptHost &host) { host.BeginRunUI(); });
    if (m_settings.ServerOutputOn)
        m_session->DBMS_Output().Enable(m_settings.DBMSOutputBuffer);
    else
        m_session->DBMS_Output().Disable();

    m_script->Parse(m_scriptLines, m_runMode, m_caretLine, m_settings.MaxNestedScript);
    m_script->First();
    if (m_script->Eof()) {
        releaseRunObjects();
        FlushOutput();
        reportRunStatus();
        return;
    }

    m_textMode = m_script->CommandCount() >= 1 || m_script->QueryCount() >= 2 || !m_dataSet;
    if (m_textMode) {
        if (m_settings.ClearSpoolOut)
            synchronize([](TScriptHost &host) { host.ClearTextOutput(); });
        synchronize([](TScriptHost &host) { host.ShowResultPage(srpText); });
    } else {
        synchronize([](TScriptHost &host) { host.ShowResultPage(srpGrid); });
    }

    m_lastKind = skCommand;
    m_startTime = NowTimeStamp();
    while (!m_script->Eof()) {
        const TKXStatement statement = m_script->CurrentStatement();
        TStringList lines = statement.Lines();
        // Until a server error says better, an error of this statement is placed at its start.
        m_errorLine = statement.FirstLine + 1;
        m_errorColumn = statement.StartColumn + 1;
        dispatch(statement, lines);
        if (m_textMode)
            FlushOutput();
        if (isRememberedKind(statement.Kind))
            m_lastStatement = lines;
        m_lastKind = statement.Kind;
        if (Terminated()) {
            AddOutputLine(QStringLiteral("User terminated script."));
            AddOutputLine(QString());
            break;
        }
        m_script->Next();
    }

    m_stopTime = NowTimeStamp();
    closeSpool();
    m_scriptDir = m_script->CurrentDir();
    releaseRunObjects();

    FlushOutput();
    m_state.ScriptDir = m_scriptDir;
    const TScriptRunState state = m_state;
    synchronize([state](TScriptHost &host) { host.SaveRunState(state); });
    const TScriptResultPage page = m_textMode ? srpText : srpGrid;
    synchronize([page](TScriptHost &host) { host.FinishResult(page); });
    reportRunStatus();
    const QString elapsed = ElapsedTextBetween(m_startTime, m_stopTime);
    synchronize([elapsed](TScriptHost &host) { host.ShowElapsedTime(elapsed); });
    synchronize([](TScriptHost &host) { host.SyncNavigatorLogon(); });
}

void TQueryThread::reportRunStatus()
{
    const TScriptErrorList errors = m_errorMessages;
    const bool transaction = m_isTransactionCommand;
    const QString command = m_commandName;
    synchronize([errors, transaction, command](TScriptHost &host) {
        host.ShowRunStatus(errors.isEmpty() ? QString() : QStringLiteral("Errors occurred"));
        host.EndRunUI(errors);
        // A commit or rollback that failed has its error listed; it is not reported as done.
        if (transaction && errors.isEmpty())
            ScreenMessage(mkInformation, command + QStringLiteral(" was successful."));
    });
}

void TQueryThread::endWithError(std::exception_ptr error)
{
    m_runException = error;
    m_stopTime = NowTimeStamp();
    if (m_startTime.Date == 0 && m_startTime.Time == 0)
        m_startTime = m_stopTime;
    // Each step on its own: a window that fails one of them still gets the others.
    auto step = [this](const std::function<void()> &body) {
        try {
            body();
        } catch (...) {
        }
    };
    const TScriptResultPage page = m_textMode ? srpText : srpGrid;
    step([&] { synchronize([page](TScriptHost &host) { host.FinishResult(page); }); });
    if (m_placeCaretOnError) {
        const int line = m_errorLine;
        const int column = m_errorColumn;
        step([&] {
            synchronize([line, column](TScriptHost &host) { host.ShowErrorPosition(line, column); });
        });
    }
    if (m_script)
        m_scriptDir = m_script->CurrentDir();
    step([&] {
        if (m_settings.ServerOutputOn)
            FetchDbmsOutput();
    });
    releaseRunObjects();
    closeSpool();
    step([&] { FlushOutput(); });
    m_pendingOutput.clear();
    m_state.ScriptDir = m_scriptDir;
    const TScriptRunState state = m_state;
    step([&] { synchronize([state](TScriptHost &host) { host.SaveRunState(state); }); });
    const QString elapsed = ElapsedTextBetween(m_startTime, m_stopTime);
    step([&] { synchronize([elapsed](TScriptHost &host) { host.ShowElapsedTime(elapsed); }); });
    const TScriptErrorList errors = m_errorMessages;
    const QString message = ExceptionMessage(error);
    step([&] {
        synchronize([errors, message](TScriptHost &host) {
            host.ShowRunStatus(QStringLiteral("Error"));
            host.EndRunUI(errors);
            host.ShowRunError(message);
        });
    });
    step([&] { synchronize([](TScriptHost &host) { host.SyncNavigatorLogon(); }); });
}

void TQueryThread::releaseRunObjects()
{
    m_script.reset();
    m_query.reset();
    m_lastStatement.Clear();
}

void TQueryThread::closeSpool() noexcept
{
    if (m_spoolFile.isOpen())
        m_spoolFile.close();
}

void TQueryThread::dispatch(const TKXStatement &statement, TStringList &lines)
{
    const StatementPlace place { statement.FirstLine, statement.StartColumn, statement.Nested };
    switch (statement.Kind) {
    case skNone:
    case skReserved9:
    case skRunScript:
    case skRunScriptRelative:
    case skStartScript:
    case skLineComment:
    case skBlockComment:
    case skRemark:
        break;
    case skCommand:
        UnrecognizedCommand(lines, place);
        break;
    case skSelect:
        if (m_textMode || !m_dataSet)
            ExecuteSelectToText(lines, place);
        else
            ExecuteSelectToGrid(lines, place);
        break;
    case skUpdate:
    case skInsert:
    case skDelete:
    case skMerge:
    case skOtherSQL:
        ExecuteSqlStatement(lines, statement.Kind,
            statement.WordCount() > 0 ? statement.Word(0) : QString(), place);
        break;
    case skExecute:
        ExecuteProcedureCommand(lines, place);
        break;
    case skPLSQLBlock:
        ExecutePlSqlBlock(lines, place);
        break;
    case skDescribe:
        if (m_textMode || !m_dataSet)
            DescribeToText(lines, statement.Words());
        else
            DescribeCommand(lines, statement.Words(), place);
        break;
    case skSpool:
        SpoolCommand(lines, statement.WordCount() > 1 ? statement.Word(1) : QString(), place);
        break;
    case skRunBuffer:
        RerunLastCommand(statement, place);
        break;
    case skCreateProcedure:
    case skCreateFunction:
    case skCreateTrigger:
    case skCreatePackage:
    case skCreatePackageBody:
    case skCreateType:
    case skCreateTypeBody:
    case skCreateView:
        CreateStoredObject(lines, statement, place);
        break;
    case skShowErrors:
        ShowErrorsCommand(m_state.LastObjectName, TKXStatementKind(m_state.LastObjectKind), true,
            place);
        break;
    case skPrompt:
        PromptCommand(lines);
        break;
    case skVariable:
        VariableCommand(lines);
        break;
    case skAccept:
        AcceptCommand(lines);
        break;
    case skDefine:
        DefineCommand(lines);
        break;
    case skConnect:
        ConnectCommand(lines, statement.Words());
        break;
    }
}

} // namespace qd
