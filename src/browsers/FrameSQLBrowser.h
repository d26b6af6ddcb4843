#pragma once

// The worksheet's browser pane: the workspace tree above a page control with the file tree
// ("Files") and the database navigator tree ("Database"), and a thread-safe session of the
// pane's own that both the navigator and the workspace use.

#include "worksheet/SQLBrowserFrame.h"

#include <QWidget>

#include <memory>

class QLabel;
class QTabWidget;
class QToolButton;

namespace qd {

class TDBNavTreeView;
class TOracleSession;
class TQDWorkspaceTreeView;
class TSQLTreeBrowser;

class TFrameSQLBrowser : public QWidget, public SQLBrowserFrameInterface {
    Q_OBJECT
public:
    explicit TFrameSQLBrowser(QWidget *parent = nullptr);
    // The navigator's reads end and the session logs off before the session goes.
    ~TFrameSQLBrowser() override;

    QWidget *Widget() override { return this; }
    DBNavTreeInterface &DBNavTreeView1() override;
    SQLTreeBrowserInterface &SQLTreeBrowser() override;
    WorkspaceTreeInterface &QDWorkspaceTreeView() override;
    QWidget *WorkspaceDropTarget() override;
    TOracleSession &OracleSession() override { return *m_session; }

    TDBNavTreeView *NavigatorTree() const { return m_navigator; }
    TSQLTreeBrowser *FileTree() const { return m_fileTree; }
    TQDWorkspaceTreeView *WorkspaceTree() const { return m_workspace; }
    QLabel *WorkspaceFileLabel() const { return m_workspaceFile; }
    QToolButton *SaveFileButton() const { return m_saveFile; }
    QToolButton *OpenFileButton() const { return m_openFile; }
    QTabWidget *Pages() const { return m_pages; }

    void btnOpenFileClick() override;
    void btnSaveFileClick() override;
    void QDWorkspaceTreeViewAfterOpen(bool success) override;
    void QDWorkspaceTreeViewAfterSave(bool success) override;
    void QDWorkspaceTreeViewAfterSaveAs(bool success) override;
    void QDWorkspaceTreeViewAfterClose(bool success) override;
    void QDWorkspaceTreeViewModify() override;

private:
    std::unique_ptr<TOracleSession> m_session;
    QLabel *m_workspaceFile = nullptr;
    QToolButton *m_saveFile = nullptr;
    QToolButton *m_openFile = nullptr;
    TQDWorkspaceTreeView *m_workspace = nullptr;
    QTabWidget *m_pages = nullptr;
    TSQLTreeBrowser *m_fileTree = nullptr;
    TDBNavTreeView *m_navigator = nullptr;
};

// Registers the pane with the worksheet; called once while the program starts.
void InstallSQLBrowserFrame();

} // namespace qd
