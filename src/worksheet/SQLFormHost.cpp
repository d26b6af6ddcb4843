// The worksheet's side of a run: what the runner asks of its window, on the GUI thread.
#include "worksheet/SQLForm.h"

#include "classlib/DataSetModel.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleDataSet.h"
#include "shell/MessageBoxes.h"
#include "shell/TextTools.h"
#include "worksheet/EditorPane.h"
#include "worksheet/ErrorPane.h"
#include "worksheet/QueryThread.h"
#include "worksheet/VarPrompt.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

namespace qd {

namespace {

// The control groups a run switches (see BeginRunUI).
const QStringList kRunCommands = { QStringLiteral("btnExec"), QStringLiteral("btnExecOne"),
    QStringLiteral("btnExecRest"), QStringLiteral("Execute1"), QStringLiteral("ExecuteAtCursor1"),
    QStringLiteral("ExecuteAllAfterCursor1"), QStringLiteral("ShowPlan1"),
    QStringLiteral("PopupDescribe1"), QStringLiteral("PowerTune1"), QStringLiteral("btnShowPlan"),
    QStringLiteral("btnPowerTune"), QStringLiteral("btnCommit"), QStringLiteral("btnRollback"),
    QStringLiteral("Commit1"), QStringLiteral("Rollback1"), QStringLiteral("Connect1"),
    QStringLiteral("btnConnect") };
const QStringList kCancelCommands = { QStringLiteral("btnCancel"), QStringLiteral("Cancel1") };
const QStringList kGridControls = { QStringLiteral("btnExport"), QStringLiteral("Grid1") };
const QStringList kEditorControls = { QStringLiteral("OpenFile1"), QStringLiteral("CloseFile1"),
    QStringLiteral("btnOpenFile"), QStringLiteral("btnCut"), QStringLiteral("btnPaste"),
    QStringLiteral("btnUndo"), QStringLiteral("btnRedo"), QStringLiteral("Replace1") };

const QColor kRunningEditorColor(255, 255, 0);

} // namespace

TScriptRunState TSQLForm::LoadRunState()
{
    return m_runState;
}

void TSQLForm::SaveRunState(const TScriptRunState &state)
{
    m_runState = state;
}

void TSQLForm::BeginRunUI()
{
    m_savedColor = m_editor->color();
    m_savedReadOnly = m_editor->isReadOnly();
    m_editor->setColor(kRunningEditorColor);
    m_editor->setReadOnly(true);
    m_statusBar->SetPanelRaised(4, false);
    m_runDisabled.Clear();
    m_runEnabled.Clear();
    m_gridControls.Clear();
    m_runDisabledRestore.Clear();
    SaveControlStates(m_runDisabled, components(kRunCommands));
    SaveControlStates(m_runEnabled, components(kCancelCommands));
    SaveControlStates(m_gridControls, components(kGridControls));
    SaveControlStates(m_runDisabledRestore, components(kEditorControls));
    DisableControlList(m_runDisabled, false);
    EnableControlList(m_runEnabled, false);
    DisableControlList(m_runDisabledRestore, false);
    DisableControlList(m_gridControls, false);
    setWindowTitle(SetBusyMark(windowTitle()));
    // The grid lets go of the dataset: the worker opens and fetches it now.
    m_gridModel->Detach();
    m_dataSource.SetDataSet(nullptr);
}

void TSQLForm::EndRunUI(const TScriptErrorList &errors)
{
    m_editor->setColor(m_savedColor);
    m_editor->setReadOnly(m_savedReadOnly);
    m_errorPane->SetErrors(errors);
    if (!errors.isEmpty() && m_errorPane->isHidden())
        m_errorPane->show();
    EnableControlList(m_runDisabled, false);
    DisableControlList(m_runEnabled, false);
    EnableControlList(m_runDisabledRestore, true);
    setWindowTitle(ClearBusyMark(windowTitle()));
}

void TSQLForm::FinishResult(TScriptResultPage page)
{
    if (page == srpGrid)
        EnableControlList(m_gridControls, false);
    else
        DisableControlList(m_gridControls, false);
    ShowResultPage(page);
}

void TSQLForm::ShowResultPage(TScriptResultPage page)
{
    m_outputPages->setCurrentIndex(page == srpGrid ? 0 : 1);
}

void TSQLForm::ShowRunError(const QString &message)
{
    m_editor->setEnabled(false);
    ShowErrorMessage(message);
    m_editor->setEnabled(true);
}

void TSQLForm::ShowErrorPosition(int line, int column)
{
    const int l = std::clamp(line - 1, 0, std::max(m_editor->lineCount() - 1, 0));
    const QString text = m_editor->line(l);
    const int c = std::clamp(column - 1, 0, int(text.size()));
    m_editor->selectInLine(l, c, ErrorWordLength(text, c));
}

void TSQLForm::ShowRunStatus(const QString &text)
{
    m_statusBar->SetPanelText(4, text);
}

void TSQLForm::ShowElapsedTime(const QString &text)
{
    m_statusBar->SetPanelText(1, text);
    stopRunClock();
}

void TSQLForm::ClearTextOutput()
{
    m_textOutput->clear();
}

void TSQLForm::AppendTextOutput(const QStringList &lines, int maxLines)
{
    m_textOutput->appendLines(lines, maxLines);
}

void TSQLForm::AttachGridDataSet()
{
    // The worker waits while the grid reads the first rows here.
    m_dataSource.SetDataSet(m_dataSet.get());
    m_gridModel->Reattach();
    m_grid->resizeColumnsToContents();
    const int client = m_grid->viewport()->width();
    for (int i = 0; i < m_gridModel->columnCount(); ++i)
        if (m_grid->columnWidth(i) >= client)
            m_grid->setColumnWidth(i, std::max(client - 40, 20));
    // Until the run ends the worker may still use the session: no fetching from the grid.
    m_gridModel->Detach();
    SetComponentEnabled(Action(QStringLiteral("Grid1")), true);
    updateRowStatus();
}

bool TSQLForm::PromptForValue(const TScriptPrompt &prompt, QString &value)
{
    // One prompt window per worksheet: it keeps the last value confirmed.
    if (!m_varPrompt)
        m_varPrompt = new TKXVarPrompt(this);
    if (!m_varPrompt->Execute(prompt.Caption, prompt.Text, prompt.MaskKind, prompt.Format,
            prompt.Default, prompt.Hide))
        return false;
    value = m_varPrompt->Value();
    return true;
}

bool TSQLForm::ConnectSession(const TScriptLogon &logon, bool askFirst)
{
    TLogonValues values { logon.Database, logon.Username, logon.Password, logon.ConnectAs };
    if (askFirst) {
        MainWindowInterface *main = mainWindow();
        if (!main || !main->ExecuteLogon(values))
            return false;
    }
    if (m_session->Connected())
        m_session->LogOff();
    LogonWorksheetSession(*m_session, values.Username, values.Password, values.Database, values.Mode);
    m_session->LogOn();
    m_username = m_session->LogonUsername();
    m_password = m_session->LogonPassword();
    m_database = m_session->LogonDatabase();
    m_connectMode = ConnectAsToString(m_session->ConnectAs());
    SetConnectedState(m_outputPanel->height() == 0);
    afterLogon();
    setWindowTitle(SetBusyMark(windowTitle()));
    return true;
}

void TSQLForm::QueryThreadFinished()
{
    m_thread = nullptr;
    m_cancelTimer->stop();
    stopRunClock();
    m_running = false;
    if (!m_session->Connected())
        SetUnconnectedState(false);
    else
        updateCaption();
    if (m_dataSource.DataSet()) {
        // The grid owns the dataset again: it fetches further rows as it scrolls.
        m_gridModel->Reattach();
    }
    updateRowStatus();
    emit runFinished();
}

void TSQLForm::startRunClock()
{
    m_runTime = 0;
    m_timer->start();
}

void TSQLForm::stopRunClock()
{
    m_timer->stop();
}

void TSQLForm::updateRowStatus()
{
    // While a grid operation moves through the rows, the position is shown every 200 rows
    // only (dataSetScrolled), and once more when the operation has ended.
    if (m_gridBusy)
        return;
    if (!m_dataSource.DataSet() || m_gridModel->columnCount() == 0) {
        m_statusBar->SetPanelText(2, QString());
        return;
    }
    const int rows = m_gridModel->rowCount();
    if (rows == 0) {
        m_statusBar->SetPanelText(2, QStringLiteral("No Rows"));
        return;
    }
    const int current = std::max(m_grid->currentIndex().row(), 0);
    m_statusBar->SetPanelText(
        2, QString::number(current + 1) + QLatin1Char('/') + QString::number(rows));
}

} // namespace qd
