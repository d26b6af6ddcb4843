// The worksheet's side of its browser pane: the pane on the left, the navigator following the
// window's logon, the file tree following the settings, and the workspace commands and events.
#include "worksheet/SQLForm.h"

#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "shell/MRUList.h"
#include "shell/MessageBoxes.h"
#include "shell/Settings.h"
#include "worksheet/EditorPane.h"
#include "worksheet/SQLBrowserFrame.h"
#include "worksheet/WorksheetSettings.h"
#include "worksheet/WorksheetStatusBar.h"

#include <QAction>
#include <QSplitter>
#include <QToolButton>

namespace qd {

void TSQLForm::createBrowserFrame()
{
    m_leftSplitter = new QSplitter(Qt::Horizontal, this);
    m_leftSplitter->setObjectName(QStringLiteral("SplitterLeft"));
    m_browserFrame = CreateSQLBrowserFrame(m_leftSplitter);
    if (!m_browserFrame) {
        delete m_leftSplitter;
        m_leftSplitter = nullptr;
        return;
    }
    QWidget *frame = m_browserFrame->Widget();
    m_leftSplitter->addWidget(frame);
    m_leftSplitter->addWidget(m_splitter);
    m_leftSplitter->setStretchFactor(0, 0);
    m_leftSplitter->setStretchFactor(1, 1);
    m_leftSplitter->setSizes({ 200, 560 });
    setCentralWidget(m_leftSplitter);
    m_browserFrame->WorkspaceDropTarget()->setAcceptDrops(true);
    m_browserFrame->WorkspaceDropTarget()->installEventFilter(this);
}

// The workspace tree's events come here first; each calls the pane's own handler, then updates
// this window's commands.
void TSQLForm::bindWorkspaceEvents()
{
    if (!m_browserFrame)
        return;
    SQLBrowserFrameInterface *frame = m_browserFrame;
    TWorkspaceEvents events;
    events.AfterOpen = [this, frame](bool success) {
        frame->QDWorkspaceTreeViewAfterOpen(success);
        if (!success)
            return;
        workspaceFileDone(true);
        SetComponentEnabled(Action(QStringLiteral("CloseWorkspace1")), true);
        SetComponentEnabled(Action(QStringLiteral("SaveWorkspaceAs1")), true);
    };
    events.AfterSave = [this, frame](bool success) {
        frame->QDWorkspaceTreeViewAfterSave(success);
        workspaceFileDone(success);
    };
    events.AfterSaveAs = [this, frame](bool success) {
        frame->QDWorkspaceTreeViewAfterSaveAs(success);
        workspaceFileDone(success);
    };
    events.AfterClose = [this, frame](bool success) {
        frame->QDWorkspaceTreeViewAfterClose(success);
        if (!success)
            return;
        SetComponentEnabled(Action(QStringLiteral("CloseWorkspace1")), false);
        SetComponentEnabled(Action(QStringLiteral("SaveWorkspaceAs1")), false);
    };
    events.OnModify = [this, frame] {
        frame->QDWorkspaceTreeViewModify();
        SetComponentEnabled(Action(QStringLiteral("CloseWorkspace1")), true);
        SetComponentEnabled(
            Action(QStringLiteral("SaveWorkspace1")), frame->QDWorkspaceTreeView().Modified());
    };
    frame->QDWorkspaceTreeView().SetEvents(events);
    // No workspace is open yet: there is nothing to save or close.
    for (const char *name : { "SaveWorkspace1", "SaveWorkspaceAs1", "CloseWorkspace1" })
        SetComponentEnabled(Action(QLatin1String(name)), false);
}

// A workspace file opened or saved goes to the recent files, as an editor file does.
void TSQLForm::workspaceFileDone(bool success)
{
    if (!success || !m_browserFrame)
        return;
    const QString fileName = m_browserFrame->QDWorkspaceTreeView().FileName();
    if (MainWindowInterface *main = mainWindow(); main && !fileName.isEmpty()) {
        try {
            main->RecentFiles().Add(0, fileName, fileName, m_username, m_database, m_connectMode,
                QString(), QString(), true);
        } catch (const std::exception &) {
            // The recent list is a convenience; the workspace is open.
        }
    }
}

// A workspace command's error (workspace files cannot be read or written yet) goes to the
// status bar's message panel; the workspace stays as it was.
void TSQLForm::workspaceCommand(const std::function<void()> &command)
{
    if (!m_browserFrame) {
        notAvailableYet(QStringLiteral("The workspace"));
        return;
    }
    try {
        command();
    } catch (const std::exception &e) {
        m_statusBar->SetPanelText(4, QString::fromUtf8(e.what()));
    }
}

void TSQLForm::setNavigatorAutoConnect(bool value)
{
    if (m_browserFrame)
        m_browserFrame->DBNavTreeView1().SetAutoConnect(value);
}

// After the window's logon at creation: the pane's session takes the same logon and the
// navigator reads with it (logging it on itself).
void TSQLForm::readNavigatorAtLogon()
{
    if (!m_browserFrame)
        return;
    LogonWorksheetSession(
        m_browserFrame->OracleSession(), m_username, m_password, m_database, m_connectMode);
    m_browserFrame->DBNavTreeView1().ReadDatabase();
}

// After a successful Connect: the navigator logs on with the window's new logon and reads.
// Its failure is its own: the window's session is connected, so the window stays connected.
void TSQLForm::connectNavigator()
{
    if (!m_browserFrame)
        return;
    try {
        m_browserFrame->DBNavTreeView1().Connect(m_username, m_password, m_database, m_connectMode);
        m_browserFrame->DBNavTreeView1().ReadDatabase();
    } catch (const std::exception &) {
        ShowCurrentException();
    }
}

void TSQLForm::disconnectNavigator()
{
    if (!m_browserFrame)
        return;
    try {
        m_browserFrame->DBNavTreeView1().Disconnect();
    } catch (const std::exception &) {
        // Leaving the navigator's connection must not keep the window from closing or
        // connecting anew.
    }
}

void TSQLForm::SyncNavigatorLogon()
{
    if (!m_browserFrame || !m_session || !m_session->Connected())
        return;
    TOracleSession &navigator = m_browserFrame->OracleSession();
    if (navigator.LogonDatabase() == m_session->LogonDatabase()
        && navigator.LogonUsername() == m_session->LogonUsername()
        && navigator.LogonPassword() == m_session->LogonPassword()
        && navigator.ConnectAs() == m_session->ConnectAs())
        return;
    try {
        m_browserFrame->DBNavTreeView1().Connect(m_session->LogonUsername(),
            m_session->LogonPassword(), m_session->LogonDatabase(),
            ConnectAsToString(m_session->ConnectAs()));
        m_browserFrame->DBNavTreeView1().ReadDatabase();
    } catch (const std::exception &) {
        ShowCurrentException();
    }
}

void TSQLForm::InitOptions()
{
    m_editor->setAutoIndent(WorksheetBool(*m_settings, QStringLiteral("AutoIndent"), true));
    if (!m_browserFrame)
        return;
    SQLTreeBrowserInterface &files = m_browserFrame->SQLTreeBrowser();
    files.SetSQLDir(WorksheetString(*m_settings, QStringLiteral("SQLDir"), QString()));
    files.SetTemplateDir(WorksheetString(*m_settings, QStringLiteral("TemplateDir"), QString()));
    files.SetWizardDir(WorksheetString(*m_settings, QStringLiteral("WizardDir"), QString()));
}

void TSQLForm::InitSQLTreeBrowser(bool refresh)
{
    if (!m_browserFrame)
        return;
    SQLTreeBrowserInterface &files = m_browserFrame->SQLTreeBrowser();
    files.ReadSQLDir(refresh);
    files.ReadTemplateDir(refresh);
    files.ReadWizardDir(refresh);
}

void TSQLForm::dropOnWorkspace(const QStringList &files)
{
    workspaceCommand([this, &files] {
        for (const QString &file : files)
            m_browserFrame->QDWorkspaceTreeView().AddFile(file);
    });
}

} // namespace qd
