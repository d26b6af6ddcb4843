#pragma once

// How the shell reaches the windows of the folders above it (worksheet, browsers, tools, ftp)
// and how those windows reach the main window, without either side including the other.
//
// The windows above the shell register a factory each at start-up (src/app/main.cpp). A main
// window command whose factory is not registered tells the user that the window is not
// available yet instead of opening it. The main window registers itself as the
// MainWindowInterface while it exists.

#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QWidget;

namespace qd {

class TAccountList;
class TDbfTable;
class TMILAssociate;
class TMRUList;
struct TMRUItem;
class TSettings;

// Logon values as the tool windows take them. Database is a network alias; Mode is "NORMAL",
// "SYSDBA", "SYSOPER" or empty (a plain logon).
struct TLogonValues {
    QString Database;
    QString Username;
    QString Password;
    QString Mode;
};

// What the shell asks of an open SQL worksheet. The worksheet's window class implements it, so
// the main window can tell worksheets among its MDI children (dynamic_cast of the child widget).
class WorksheetWindowInterface {
public:
    virtual ~WorksheetWindowInterface() = default;
    // The editor's current file; empty when it holds none.
    virtual QString WorksheetFileName() const = 0;
    // Opens fileName in the editor; with ask, first offers to save a modified editor.
    virtual void OpenEditorFile(const QString &fileName, bool ask) = 0;
    // Re-reads the file tree's SQL, template and wizard directories.
    virtual void InitSQLTreeBrowser(bool refresh) = 0;
};

// Factories of the windows above the shell. Each returns a new window that is not yet shown
// and has no parent; the caller hands it to MainWindowInterface::AddMdiChild (the settings
// editor is modal and returns its modal result instead). A window that logs on does so inside
// its factory: a failed logon throws (EOracleError or another Exception) and leaves nothing
// behind. owner is the window that asked (the main window, or a worksheet).
struct WindowFactories {
    // The SQL worksheet (TSQLForm). An empty logon.Database gives an unconnected worksheet;
    // with asFile, fileOrText names a file to open, else it is the editor's text.
    std::function<QWidget *(
        QWidget *owner, const TLogonValues &logon, const QString &fileOrText, bool asFile)>
        Worksheet;
    // The database navigator (TDBNav).
    std::function<QWidget *(QWidget *owner, const TLogonValues &logon)> DBNavigator;
    // The job queue window (TJobForm); the mode is not used.
    std::function<QWidget *(QWidget *owner, const TLogonValues &logon)> JobQueue;
    // The statement tuning window (TPowerTune): statements may be null; projectFile may be
    // empty.
    std::function<QWidget *(QWidget *owner, const TLogonValues &logon,
        const QStringList *statements, const QString &projectFile, bool flag)>
        Tuning;
    // The PL/SQL debugger (TDebugForm); the mode is not used.
    std::function<QWidget *(QWidget *owner, const TLogonValues &logon)> Debugger;
    // The FTP client window (TfrmFTPClient). The caller then sets the window's local-directory
    // callback through onLocalDirChange.
    std::function<QWidget *(QWidget *owner, const QString &localDir, TAccountList *accounts,
        const QString &accountFileName,
        std::function<void(const QString &newDir)> onLocalDirChange)>
        FTPClient;
    // The wizard file editor (TfrmWizardWizard) on fileName; empty: a new wizard.
    std::function<QWidget *(QWidget *owner, const QString &fileName)> WizardEditor;
    // The explain-plan window (TShowPlan) for a statement, its plan lines and its cost.
    std::function<QWidget *(QWidget *owner, const QStringList &sql, const QStringList &plan,
        const QString &cost)>
        ShowPlan;
    // The SQL history window (TFrmSQLHistory).
    std::function<QWidget *(QWidget *owner)> SQLHistory;
    // The value prompt (TKXVarPrompt) asking for one masked value under caption and label;
    // returns the text in its box however the prompt was closed.
    std::function<QString(QWidget *parent, const QString &caption, const QString &label)>
        MaskedPrompt;
    // The start-up offer of file associations (TFileAssociate), modal, with the types that are
    // not yet associated. Registered by the program only: a main window without it neither
    // registers itself with the desktop nor offers associations (so tests leave it alone).
    std::function<int(QWidget *parent, TMILAssociate &associate, TSettings &settings,
        const QStringList &extensions, const QStringList &descriptions)>
        FileAssociate;
};

// The program's registry; filled once at start-up, before the main window is created.
WindowFactories &windowFactories();

// Shows "The <what> window is not available yet." through the screen services.
void ShowWindowNotAvailable(const QString &what);
// Asks for one masked value through the registered value prompt (a plain masked input box
// while none is registered); the text in the box however the prompt was closed.
QString AskMaskedValue(QWidget *parent, const QString &caption, const QString &label);
// Throws that text as an Exception, for callers whose failures reach an error box.
[[noreturn]] void RaiseWindowNotAvailable(const QString &what);

// What the windows above the shell ask of the main window (TMDIMainForm implements it).
class MainWindowInterface {
public:
    virtual ~MainWindowInterface() = default;

    virtual QWidget *MainWidget() = 0;
    // Puts window into the MDI area as a child window and shows it.
    virtual void AddMdiChild(QWidget *window) = 0;
    // Closes the active MDI child (child windows' Close commands).
    virtual void CloseActiveChild() = 0;

    // Owned by the main window for the whole run.
    virtual TSettings &Settings() = 0;
    virtual TAccountList &AccountList() = 0;
    virtual QString AccountFileName() const = 0;
    virtual TMRUList &RecentFiles() = 0;
    virtual TMRUList &RecentLogons() = 0;
    virtual const QStringList &SQLKeywords() const = 0;
    virtual const QStringList &PLSQLKeywords() const = 0;
    virtual const QStringList &Hints() const = 0;
    // The network aliases of the logon dialog's database box.
    virtual const QStringList &AliasList() const = 0;

    // Security state (the security features come with their own windows).
    virtual bool SecurityActive() const = 0;
    // Set when the user left the screen lock by closing the program: child windows then close
    // without asking their questions.
    virtual bool ClosingAfterLock() const = 0;
    // The security password given in this run (the account list's key); empty while security
    // is inactive.
    virtual QString SecurityPassword() const { return QString(); }
    // The settings editor gives the new password here after the user changed it.
    virtual void SetSecurityPassword(const QString &) {}

    // Records a run in the SQL history; does nothing while the history is closed.
    virtual void AddSQLHistory(
        const QString &userName, const QString &instance, const QString &sqlText)
        = 0;
    // The SQL history table (SQLDbf), closed when the history is not kept; null without one.
    virtual TDbfTable *SQLDbf() { return nullptr; }
    // Reopens a recorded script in a worksheet: with the saved logon of userName at instance,
    // else through the logon dialog filled in with them.
    virtual void EditHistoryRecord(
        const QString &userName, const QString &instance, const QString &sqlText)
    {
        (void)userName;
        (void)instance;
        (void)sqlText;
    }
    // Every file the user opens ends here: activates a worksheet that holds it, or opens it by
    // its type.
    virtual void OpenOrActivateFile(const QString &fileName, const QString &userName,
        const QString &database, const QString &mode)
        = 0;
    // A recent-logon entry chosen in a File > New menu: logs on again with the saved password,
    // or shows the logon dialog prefilled.
    virtual void OpenRecentLogon(const TMRUItem &item) = 0;
    // The logon dialog without a target (a worksheet's Connect): true on OK, with the values
    // entered in logon.
    virtual bool ExecuteLogon(TLogonValues &logon) = 0;
    // The main window's command of that component name ("SQL1", "SQLEditor1", "DBNavigator1",
    // "PowerTune1", "PLSQLDebugger1", "ChangePassword1", "ViewSQLHistory1",
    // "EnterSecureMode1", "ShutOffSecuredFeatures1", "LockQuarloDesk1", "Exit1", "Undo1",
    // "Redo1", "Cut1", "Copy1", "Paste1", "SelectAll1"), which child windows' menu items
    // trigger and whose enabled state they copy; null for another name.
    virtual QAction *MainAction(const QString &name) const = 0;
    // Shows the settings editor on store's settings of section ("*": all); OK writes them back
    // into store, and with save also to its file. Returns the modal result (1 for OK), 0 when
    // the program has no settings editor.
    virtual int EditSettings(TSettings &store, const QString &section, bool save)
    {
        Q_UNUSED(store);
        Q_UNUSED(section);
        Q_UNUSED(save);
        return 0;
    }
};

// The main window while it exists, else null.
MainWindowInterface *mainWindow();
void setMainWindow(MainWindowInterface *window);

} // namespace qd
