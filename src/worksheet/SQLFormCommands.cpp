// The worksheet's commands: runs, transactions, cancelling, connecting, files and drops.
#include "worksheet/SQLForm.h"

#include "oracle/OracleError.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "shell/MRUList.h"
#include "shell/MessageBoxes.h"
#include "shell/TextTools.h"
#include "worksheet/EditorPane.h"
#include "worksheet/ErrorPane.h"
#include "worksheet/SQLBrowserFrame.h"
#include "worksheet/GridThread.h"
#include "worksheet/QueryThread.h"
#include "worksheet/ScriptRunSettings.h"
#include "worksheet/WorksheetSettings.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>
#include <QToolButton>

namespace qd {

namespace {

// Script files larger than this are refused rather than read into the editor.
constexpr qint64 kMaxEditorFileSize = 256LL * 1024 * 1024;

const QString kModifiedPrompt = QStringLiteral("File %1 has been modified.\nWould you like to save changes?");

} // namespace

void TSQLForm::executeAll()
{
    RunSQL(0, m_editor->caretLine());
}

void TSQLForm::executeAtCursor()
{
    RunSQL(1, m_editor->caretLine());
}

void TSQLForm::executeAfterCursor()
{
    RunSQL(2, m_editor->caretLine());
}

void TSQLForm::RunSQL(int mode, int caretLine)
{
    if (m_running) {
        ShowInfoMessage(QStringLiteral("A query is already running."));
        return;
    }
    if (m_gridBusy) {
        // The grid thread is moving through the dataset a run would reopen.
        ShowInfoMessage(QStringLiteral("An operation is already being performed on the grid."));
        return;
    }
    if (!m_session->Connected()) {
        ShowInfoMessage(QStringLiteral("You are not connected to a database."));
        return;
    }
    startRun(m_editor->lines(), mode, caretLine, false, true);
}

bool TSQLForm::startRun(
    const QStringList &lines, int mode, int caretLine, bool transaction, bool addToHistory)
{
    if (lines.isEmpty())
        return false;
    TQueryThreadParams params;
    params.Lines = lines;
    params.Session = m_session.get();
    params.DataSet = m_dataSet.get();
    params.RunMode = quint8(mode);
    params.CaretLine = caretLine;
    params.PlaceCaretOnError = true;
    params.IsTransactionCommand = transaction;
    params.Settings = ReadScriptRunSettings(*m_settings);
    m_running = true;
    startRunClock();
    TQueryThread *thread = TQueryThread::StartQueryThread(*this, params);
    if (!thread) {
        m_running = false;
        stopRunClock();
        return false;
    }
    m_thread = thread;
    // Re-running unchanged text adds no second history row: every edit sets the flag again.
    if (addToHistory && m_historyPending) {
        if (MainWindowInterface *main = mainWindow())
            main->AddSQLHistory(
                m_session->LogonUsername(), m_session->LogonDatabase(), lines.join(u'\n'));
        m_historyPending = false;
    }
    return true;
}

void TSQLForm::runTransactionCommand(const QString &statement, const QString &refusal)
{
    if (m_running) {
        ShowInfoMessage(refusal);
        return;
    }
    if (!m_session->Connected()) {
        ShowInfoMessage(QStringLiteral("You are not connected to a database."));
        return;
    }
    startRun({ statement }, 0, 0, true, false);
}

void TSQLForm::CommitWork()
{
    runTransactionCommand(
        QStringLiteral("COMMIT"), QStringLiteral("Cannot commit while a statement is running."));
}

void TSQLForm::RollbackWork()
{
    runTransactionCommand(QStringLiteral("ROLLBACK"),
        QStringLiteral("Cannot rollback while a statement is running."));
}

void TSQLForm::CancelRun()
{
    if (!m_running || !m_thread) {
        if (m_gridBusy && m_gridThread)
            m_gridThread->Terminate();
        return;
    }
    m_thread->Cancel();
    // A break that arrives while the worker is between two calls finds nothing to break: the
    // request stands, and is sent again, until the run has ended.
    m_cancelTimer->start();
}

void TSQLForm::GotoError()
{
    m_errorPane->GotoError();
}

void TSQLForm::ToggleErrorMessages()
{
    QAction *action = Action(QStringLiteral("ErrorMessages1"));
    m_errorPane->setVisible(action->isChecked());
}

void TSQLForm::ConnectCommand()
{
    MainWindowInterface *main = mainWindow();
    if (!main) {
        notAvailableYet(QStringLiteral("The logon dialog"));
        return;
    }
    if (m_running) {
        ShowInfoMessage(QStringLiteral("A query is already running."));
        return;
    }
    TLogonValues logon { m_database, m_username, QString(), m_connectMode };
    if (!main->ExecuteLogon(logon))
        return;
    disconnectNavigator();
    LogonWorksheetSession(*m_session, logon.Username, logon.Password, logon.Database, logon.Mode);
    try {
        m_session->LogOn();
        m_username = m_session->LogonUsername();
        m_password = m_session->LogonPassword();
        m_database = m_session->LogonDatabase();
        m_connectMode = ConnectAsToString(m_session->ConnectAs());
        SetConnectedState(true);
        afterLogon();
        connectNavigator();
        m_textOutput->appendLines({ QStringLiteral("\rConnected To ") + m_username
                                          + QLatin1Char('@') + m_database,
                                      QString() },
            WorksheetInt(*m_settings, QStringLiteral("ScreenBufferSize"), 500));
    } catch (const EOracleError &e) {
        const QString message = QString::fromUtf8(e.what());
        ShowErrorMessage(QStringLiteral("Not Connected: \r\n") + message);
        m_textOutput->appendLines(
            { QStringLiteral("Warning, Not Connected: \r\n") + message, QString() },
            WorksheetInt(*m_settings, QStringLiteral("ScreenBufferSize"), 500));
        m_username.clear();
        m_password.clear();
        m_database.clear();
        setNavigatorAutoConnect(true);
        SetUnconnectedState(false);
    }
}

void TSQLForm::DuplicateSession()
{
    const TLogonValues logon { m_database.toUpper(), m_username, m_password, m_connectMode };
    const bool copy = WorksheetBool(*m_settings, QStringLiteral("CopyEditorOnDuplicate"), true);
    TSQLForm *form = nullptr;
    try {
        form = CreateWorksheet(this, logon, copy ? m_editor->text() : QString(), false);
    } catch (const std::exception &) {
        ShowCurrentException();
        return;
    }
    if (MainWindowInterface *main = mainWindow())
        main->AddMdiChild(form);
    else
        form->show();
}

// ---- Files ----------------------------------------------------------------------------------

void TSQLForm::OpenEditorFile(const QString &fileName, bool ask)
{
    if (QFileInfo(fileName).suffix().toUpper() == QLatin1String("QDK")) {
        workspaceCommand([this, &fileName, ask] {
            m_browserFrame->QDWorkspaceTreeView().Open(fileName, ask);
        });
        return;
    }
    if (m_running) {
        ShowInfoMessage(QStringLiteral("A query is already running."));
        return;
    }
    if (ask && !closeEditorFile(false))
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowErrorMessage(QStringLiteral("Error accessing file ") + fileName + QLatin1Char('\n')
            + file.errorString());
        return;
    }
    if (file.size() > kMaxEditorFileSize) {
        ShowErrorMessage(QStringLiteral("The file ") + fileName
            + QStringLiteral(" is too large to open in the editor."));
        return;
    }
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_editor->setText(text);
    m_editor->setModified(false);
    m_historyPending = true;
    FileName = QFileInfo(fileName).absoluteFilePath();
    if (MainWindowInterface *main = mainWindow()) {
        try {
            main->RecentFiles().Add(0, FileName, FileName, m_username, m_database, m_connectMode,
                QString(), QString(), true);
        } catch (const std::exception &) {
            // The recent list is a convenience; the file is open.
        }
    }
    updateCaption();
    SetComponentEnabled(Action(QStringLiteral("SaveFile1")), false);
    SetComponentEnabled(Button(QStringLiteral("btnSaveFile")), false);
    SetComponentEnabled(Action(QStringLiteral("CloseFile1")), true);
    SetComponentEnabled(Action(QStringLiteral("SaveAs1")), true);
}

void TSQLForm::openFileCommand()
{
    const QString fileName = QFileDialog::getOpenFileName(this, QStringLiteral("Open File"),
        FileName.isEmpty() ? QString() : QFileInfo(FileName).path(),
        QStringLiteral("SQL files (*.sql);;All files (*)"));
    if (!fileName.isEmpty())
        OpenEditorFile(fileName, true);
}

bool TSQLForm::saveToFile(const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_editor->text().toUtf8()) < 0
        || !file.commit()) {
        ShowErrorMessage(QStringLiteral("Error accessing file ") + fileName + QLatin1Char('\n')
            + file.errorString());
        return false;
    }
    const bool renamed = FileName != QFileInfo(fileName).absoluteFilePath();
    FileName = QFileInfo(fileName).absoluteFilePath();
    m_editor->setModified(false);
    if (renamed)
        updateCaption();
    if (MainWindowInterface *main = mainWindow()) {
        try {
            main->RecentFiles().Add(0, FileName, FileName, m_username, m_database, m_connectMode,
                QString(), QString(), true);
        } catch (const std::exception &) {
        }
    }
    SetComponentEnabled(Action(QStringLiteral("SaveFile1")), false);
    SetComponentEnabled(Button(QStringLiteral("btnSaveFile")), false);
    SetComponentEnabled(Action(QStringLiteral("CloseFile1")), true);
    SetComponentEnabled(Action(QStringLiteral("SaveAs1")), true);
    return true;
}

void TSQLForm::saveFileCommand()
{
    if (FileName.isEmpty())
        saveAsCommand();
    else
        saveToFile(FileName);
}

void TSQLForm::saveAsCommand()
{
    const QString fileName = QFileDialog::getSaveFileName(this, QStringLiteral("Save File As"),
        FileName, QStringLiteral("SQL files (*.sql);;All files (*)"));
    if (!fileName.isEmpty())
        saveToFile(fileName);
}

bool TSQLForm::closeEditorFile(bool askOnNoFile)
{
    if (m_editor->isModified() && (!FileName.isEmpty() || askOnNoFile)
        && !m_editor->text().isEmpty()) {
        const int answer = ScreenConfirm(
            kModifiedPrompt.arg(FileName.isEmpty() ? QStringLiteral("Untitled") : FileName),
            QStringLiteral("YNC"));
        if (answer == mrYes) {
            if (FileName.isEmpty()) {
                const QString fileName = QFileDialog::getSaveFileName(this,
                    QStringLiteral("Save File As"), QString(),
                    QStringLiteral("SQL files (*.sql);;All files (*)"));
                if (fileName.isEmpty() || !saveToFile(fileName))
                    return false;
            } else if (!saveToFile(FileName)) {
                return false;
            }
        } else if (answer != mrNo) {
            return false;
        }
    }
    return true;
}

void TSQLForm::closeFileCommand()
{
    if (!closeEditorFile(WorksheetBool(*m_settings, QStringLiteral("AskOnNoFile"), true)))
        return;
    m_editor->setText(QString());
    m_editor->setModified(false);
    FileName.clear();
    updateCaption();
    for (const char *name : { "CloseFile1", "SaveAs1", "SaveFile1" })
        SetComponentEnabled(Action(QLatin1String(name)), false);
    SetComponentEnabled(Button(QStringLiteral("btnSaveFile")), false);
}

void TSQLForm::clearTextOutput()
{
    m_textOutput->clear();
}

void TSQLForm::dropFiles(const QStringList &files)
{
    if (files.isEmpty())
        return;
    MainWindowInterface *main = mainWindow();
    if (files.size() == 1 || !main) {
        activateWindow();
        show();
        OpenEditorFile(files.first(), true);
        return;
    }
    // Several files: each opens (or activates) a window of its own, this editor keeps its text.
    for (const QString &file : files)
        main->OpenOrActivateFile(file, m_username, m_database, m_connectMode);
    activateWindow();
}

} // namespace qd
