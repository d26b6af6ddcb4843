#include "browsers/FrameSQLBrowser.h"

#include "browsers/DBNavTreeView.h"
#include "browsers/QDWorkspaceTreeView.h"
#include "browsers/SQLTreeBrowser.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace qd {

namespace {

const QString kNoWorkspace = QStringLiteral("No Workspace File Open");

QToolButton *frameButton(QWidget *parent, const QString &name, const QString &text,
    const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// A page holding one tree, named as the frame that holds it.
QWidget *treePage(const QString &name, QWidget *tree)
{
    auto *page = new QWidget;
    page->setObjectName(name);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree);
    return page;
}

} // namespace

TFrameSQLBrowser::TFrameSQLBrowser(QWidget *parent)
    : QWidget(parent)
    , m_session(std::make_unique<TOracleSession>())
{
    setObjectName(QStringLiteral("FrameSQLBrowser1"));
    m_session->SetThreadSafe(true);

    auto *frameLayout = new QVBoxLayout(this);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    frameLayout->addWidget(splitter);

    auto *workSpace = new QWidget(splitter);
    workSpace->setObjectName(QStringLiteral("pnlWorkSpace"));
    auto *workSpaceLayout = new QVBoxLayout(workSpace);
    workSpaceLayout->setContentsMargins(0, 0, 0, 0);
    workSpaceLayout->setSpacing(0);
    m_workspaceFile = new QLabel(kNoWorkspace, workSpace);
    m_workspaceFile->setObjectName(QStringLiteral("lblWorkspaceFile"));
    workSpaceLayout->addWidget(m_workspaceFile);
    auto *toolBar = new QWidget(workSpace);
    toolBar->setObjectName(QStringLiteral("pnlToolBar"));
    auto *toolLayout = new QHBoxLayout(toolBar);
    toolLayout->setContentsMargins(0, 0, 0, 0);
    toolLayout->setSpacing(0);
    m_saveFile = frameButton(toolBar, QStringLiteral("btnSaveFile"), QStringLiteral("Save"),
        QStringLiteral("Save Workspace"));
    m_saveFile->setEnabled(false);
    m_openFile = frameButton(toolBar, QStringLiteral("btnOpenFile"), QStringLiteral("Open"),
        QStringLiteral("Open Workspace"));
    toolLayout->addWidget(m_saveFile);
    toolLayout->addWidget(m_openFile);
    toolLayout->addStretch();
    workSpaceLayout->addWidget(toolBar);
    m_workspace = new TQDWorkspaceTreeView(workSpace);
    m_workspace->SetOracleSession(m_session.get());
    workSpaceLayout->addWidget(m_workspace);

    m_pages = new QTabWidget(splitter);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_fileTree = new TSQLTreeBrowser;
    m_pages->addTab(treePage(QStringLiteral("FrameSQLTreeBrowser1"), m_fileTree),
        QStringLiteral("Files"));
    m_navigator = new TDBNavTreeView;
    m_navigator->SetAutoConnect(true);
    m_navigator->SetOracleSession(m_session.get());
    m_pages->addTab(treePage(QStringLiteral("DBNavTreeViewFrame1"), m_navigator),
        QStringLiteral("Database"));
    m_pages->setCurrentIndex(0);

    // The buttons' own commands; an error (workspace files cannot be read or written yet) is
    // shown as any command's error is.
    connect(m_openFile, &QToolButton::clicked, this, [this] {
        try {
            btnOpenFileClick();
        } catch (const std::exception &) {
            ShowCurrentException();
        }
    });
    connect(m_saveFile, &QToolButton::clicked, this, [this] {
        try {
            btnSaveFileClick();
        } catch (const std::exception &) {
            ShowCurrentException();
        }
    });
    m_workspace->SetEvents({
        [this](bool success) { QDWorkspaceTreeViewAfterOpen(success); },
        [this](bool success) { QDWorkspaceTreeViewAfterSave(success); },
        [this](bool success) { QDWorkspaceTreeViewAfterSaveAs(success); },
        [this](bool success) { QDWorkspaceTreeViewAfterClose(success); },
        [this] { QDWorkspaceTreeViewModify(); },
    });
}

TFrameSQLBrowser::~TFrameSQLBrowser()
{
    // The trees outlive this body (they are child widgets): they must not reach the session
    // or this frame's handlers once it is gone.
    m_workspace->SetEvents({});
    m_workspace->SetOracleSession(nullptr);
    m_navigator->EndReads();
    m_navigator->SetOracleSession(nullptr);
    try {
        if (m_session->Connected())
            m_session->LogOff();
    } catch (const std::exception &) {
        // A broken connection still goes.
    }
}

DBNavTreeInterface &TFrameSQLBrowser::DBNavTreeView1()
{
    return *m_navigator;
}

SQLTreeBrowserInterface &TFrameSQLBrowser::SQLTreeBrowser()
{
    return *m_fileTree;
}

WorkspaceTreeInterface &TFrameSQLBrowser::QDWorkspaceTreeView()
{
    return *m_workspace;
}

QWidget *TFrameSQLBrowser::WorkspaceDropTarget()
{
    return m_workspace->viewport();
}

void TFrameSQLBrowser::btnOpenFileClick()
{
    m_workspace->Open(QString(), true);
}

void TFrameSQLBrowser::btnSaveFileClick()
{
    m_workspace->Save();
}

void TFrameSQLBrowser::QDWorkspaceTreeViewAfterOpen(bool)
{
    m_workspaceFile->setText(m_workspace->FileName());
}

void TFrameSQLBrowser::QDWorkspaceTreeViewAfterSave(bool)
{
    m_workspaceFile->setText(m_workspace->FileName());
}

void TFrameSQLBrowser::QDWorkspaceTreeViewAfterSaveAs(bool)
{
    m_workspaceFile->setText(m_workspace->FileName());
}

void TFrameSQLBrowser::QDWorkspaceTreeViewAfterClose(bool)
{
    m_workspaceFile->setText(kNoWorkspace);
}

void TFrameSQLBrowser::QDWorkspaceTreeViewModify()
{
    m_saveFile->setEnabled(m_workspace->Modified());
}

void InstallSQLBrowserFrame()
{
    SetSQLBrowserFrameFactory([](QWidget *parent) { return new TFrameSQLBrowser(parent); });
}

} // namespace qd
