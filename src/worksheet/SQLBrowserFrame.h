#pragma once

// The browser pane on the worksheet's left: the workspace tree, the tree of SQL, template and
// wizard files, and the database navigator tree on a session of the pane's own. The pane lives
// in the browsers layer above the worksheet; that layer registers its factory here when the
// program starts. A worksheet made while none is registered has no pane.

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace qd {

class TOracleSession;

// The kinds of files the file tree lists; the numbers are those stored in drag data.
enum TSQLTreeBrowserType : quint8 { tbtTemplate = 0, tbtWizard = 1, tbtSQL = 2 };

// "tbtTemplate", "tbtWizard" or "tbtSQL".
QString SQLTreeBrowserTypeToStr(TSQLTreeBrowserType value);
// The kind named by name, letter case ignored; any other name raises
// "SQLTree file type <name> not recognized.".
TSQLTreeBrowserType StrToSQLTreeBrowserType(const QString &name);

// What a folder or file node of the file tree stands for.
struct TSQLBrowserFileInfo {
    TSQLTreeBrowserType FileType = tbtSQL;
    // A file's folder (ending in a separator), or a folder's own path.
    QString DirName;
    // A file's full path; empty for a folder.
    QString FileName;
};

// The database navigator tree.
class DBNavTreeInterface {
public:
    virtual ~DBNavTreeInterface() = default;
    // When set, a read logs the tree's session on when it is not connected.
    virtual bool AutoConnect() const = 0;
    virtual void SetAutoConnect(bool value) = 0;
    // Gives the tree's session these logon values and logs it on (logged off first). Does not
    // read; a logon error reaches the caller.
    virtual void Connect(const QString &username, const QString &password,
        const QString &database, const QString &mode)
        = 0;
    // Stops the tree's reads, waits for them (events keep being processed), logs the session
    // off.
    virtual void Disconnect() = 0;
    // Reads the tree on a worker thread.
    virtual void ReadDatabase() = 0;
};

// The file tree. Directory lists are ";"-separated.
class SQLTreeBrowserInterface {
public:
    virtual ~SQLTreeBrowserInterface() = default;
    virtual QString SQLDir() const = 0;
    virtual void SetSQLDir(const QString &value) = 0;
    virtual QString TemplateDir() const = 0;
    virtual void SetTemplateDir(const QString &value) = 0;
    virtual QString WizardDir() const = 0;
    virtual void SetWizardDir(const QString &value) = 0;
    // Re-read one directory list: a full rebuild, or with refresh only what changed.
    virtual void ReadSQLDir(bool refresh) = 0;
    virtual void ReadTemplateDir(bool refresh) = 0;
    virtual void ReadWizardDir(bool refresh) = 0;
    // The selected folder or file; none for a root or no selection.
    virtual std::optional<TSQLBrowserFileInfo> SelectedFileInfo() const = 0;
};

// Events of the workspace tree. The file events carry their success.
struct TWorkspaceEvents {
    std::function<void(bool success)> AfterOpen;
    std::function<void(bool success)> AfterSave;
    std::function<void(bool success)> AfterSaveAs;
    std::function<void(bool success)> AfterClose;
    std::function<void()> OnModify;
};

// The workspace tree: references to files and database objects a user keeps at hand.
class WorkspaceTreeInterface {
public:
    virtual ~WorkspaceTreeInterface() = default;
    // Makes the category nodes (once).
    virtual void InitRootNodes() = 0;
    // Opens the workspace file (empty: the user chooses one); with ask, a modified workspace is
    // first offered for saving.
    virtual void Open(const QString &fileName, bool ask) = 0;
    virtual bool Save() = 0;
    virtual bool SaveAs() = 0;
    // Empties the workspace. A modified workspace is offered for saving when it has a file or
    // when ask is set; false when the user cancels or the save fails.
    virtual bool Close(bool ask) = 0;
    // Adds a file by its extension (".sql", ".tem", ".qdz", anything else).
    virtual void AddFile(const QString &fileName) = 0;
    // Adds a file of the file tree; typeName as SQLTreeBrowserTypeToStr gives it.
    virtual void AddSQLTreeItem(
        const QString &typeName, const QString &dirName, const QString &fileName)
        = 0;
    virtual QString FileName() const = 0;
    virtual bool Modified() const = 0;
    virtual const TWorkspaceEvents &Events() const = 0;
    virtual void SetEvents(const TWorkspaceEvents &events) = 0;
};

// The pane. Its handlers are public so that a window that rebinds the workspace tree's events
// to its own handlers can call the pane's first.
class SQLBrowserFrameInterface {
public:
    virtual ~SQLBrowserFrameInterface() = default;
    virtual QWidget *Widget() = 0;
    virtual DBNavTreeInterface &DBNavTreeView1() = 0;
    virtual SQLTreeBrowserInterface &SQLTreeBrowser() = 0;
    virtual WorkspaceTreeInterface &QDWorkspaceTreeView() = 0;
    // The widget of the workspace tree that files are dropped on.
    virtual QWidget *WorkspaceDropTarget() = 0;
    // The pane's own session (thread-safe), which the navigator reads with.
    virtual TOracleSession &OracleSession() = 0;

    virtual void btnOpenFileClick() = 0;
    virtual void btnSaveFileClick() = 0;
    virtual void QDWorkspaceTreeViewAfterOpen(bool success) = 0;
    virtual void QDWorkspaceTreeViewAfterSave(bool success) = 0;
    virtual void QDWorkspaceTreeViewAfterSaveAs(bool success) = 0;
    virtual void QDWorkspaceTreeViewAfterClose(bool success) = 0;
    virtual void QDWorkspaceTreeViewModify() = 0;
};

// Makes a pane as a child of parent, or null while no factory is registered.
SQLBrowserFrameInterface *CreateSQLBrowserFrame(QWidget *parent);
// Registers the factory (empty: none). GUI thread only.
void SetSQLBrowserFrameFactory(std::function<SQLBrowserFrameInterface *(QWidget *parent)> factory);

} // namespace qd
