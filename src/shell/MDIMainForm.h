#pragma once

#include "shell/AccountList.h"
#include "shell/MRUList.h"
#include "shell/Settings.h"
#include "shell/WindowServices.h"

#include "history/DbfTable.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QFileDialog;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace qd {

class TActivityFilter;
class TDirWaitThread;
class TFileDrop;
class TKXAboutForm;
class TKXLogonForm;
class TLockTimer;
class TMenuMerge;
class TfrmLockOut;
class TfrmSettings;
class TMILAssociate;

// The program's main window: a multiple-document frame that owns, for the whole run, the
// settings, the saved accounts, the recent-file and recent-logon lists, the keyword lists and
// the network aliases of the logon dialog. Every tool window is an MDI child of it and is
// opened through its commands, mostly through the logon dialog.
class TMDIMainForm : public QMainWindow, public MainWindowInterface {
    Q_OBJECT

public:
    // Runs the start-up sequence. arguments are the program's parameters without the program
    // name; the first one is a file to open once the window is first shown.
    explicit TMDIMainForm(const QStringList &arguments, QWidget *parent = nullptr);
    // The shut-down sequence: saves the window's placement and writes the recent lists.
    ~TMDIMainForm() override;

    // The long-lived logon dialog, created after the main window.
    void SetLogonForm(TKXLogonForm *form) { m_logonForm = form; }
    TKXLogonForm *LogonForm() const { return m_logonForm; }
    // The screen lock and the settings editor, created after the main window.
    void SetLockOutForm(TfrmLockOut *form);
    void SetSettingsForm(TfrmSettings *form);

    QMdiArea *MdiArea() const { return m_mdiArea; }
    // The first file from the command line, until the window is first shown.
    QString FileToOpen() const { return m_filesToOpen.value(0); }
    const QStringList &FilesToOpen() const { return m_filesToOpen; }
    // "FormState.Ini" in the program's directory.
    static QString formStateFileName();

    // ---- opening files ----
    void OpenFileByType(const QString &fileName, const QString &userName,
        const QString &database, const QString &mode);
    // The saved password and mode ("NORMAL", "SYSDBA", "SYSOPER") of the database logon of
    // userName at database; false (both empty) when none is saved.
    bool LookupSavedLogon(const QString &userName, const QString &database, QString &password,
        QString &mode) const;

    // ---- desktop integration (MDIMainDesktop.cpp) ----
    // Files from outside (a later start, a drop): brings the window to the front and opens
    // each by its type; before the window is first shown they wait for it.
    void OpenFilesFromOutside(const QStringList &files);
    TMILAssociate &MILAssociate1() { return *m_associate; }
    TFileDrop *MainWindowFileDrop() const { return m_fileDrop; }
    // Watches "SQLDir", "TemplateDir" and "WizardDir" and refreshes the worksheets' file trees.
    void StartDirectoryWatch();
    TDirWaitThread *DirectoryWatcher() const { return m_dirWatch.get(); }
    TKXAboutForm *AboutForm();

    // ---- commands, by their menu items' names ----
    void SQL1Click();
    void SQLEditor1Click();
    void DBNavigator1Click();
    void JobQueueTeluvo1Click();
    void PowerTune1Click();
    void PLSQLDebugger1Click();
    void Open2Click();
    void ChangePassword1Click();
    void ViewSQLHistory1Click();
    void Exit1Click();
    void Edit1Click();
    void Undo1Click();
    void Redo1Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void SelectAll1Click();
    void Defaults1Click();
    void New2Click();
    void FTP1Click();
    void TileVertically1Click();
    void TileHorizontally1Click();
    void Cascade1Click();
    void ArrangeIcons1Click();
    void File1Click();

    // ---- security (MDIMainSecurity.cpp) ----
    void AskSecurityPassword();
    void ShutOffSecuredFeatures();
    // Asks first; Yes forgets the security password and every saved account.
    void ResetSecurityPassword();
    void LockApplication();
    void StartLockTimer();
    void RestartLockTimer();
    void StopLockTimer();
    TLockTimer &LockTimer() const { return *m_lockTimer; }
    // True while the screen lock is up.
    bool Locked() const { return m_locked; }

    QMenu *Menu(const QString &name) const { return m_menus.value(name); }
    QFileDialog *OpenDialog1() const { return m_openDialog; }

    // ---- MainWindowInterface ----
    QWidget *MainWidget() override { return this; }
    void AddMdiChild(QWidget *window) override;
    void CloseActiveChild() override;
    TSettings &Settings() override { return m_settings; }
    TAccountList &AccountList() override { return m_accounts; }
    QString AccountFileName() const override { return m_accountFileName; }
    TMRUList &RecentFiles() override { return *m_recentFiles; }
    TMRUList &RecentLogons() override { return *m_recentLogons; }
    const QStringList &SQLKeywords() const override { return m_sqlKeywords; }
    const QStringList &PLSQLKeywords() const override { return m_plsqlKeywords; }
    const QStringList &Hints() const override { return m_hints; }
    const QStringList &AliasList() const override { return m_aliasList; }
    bool SecurityActive() const override { return m_securityActive; }
    bool ClosingAfterLock() const override { return m_closingAfterLock; }
    QString SecurityPassword() const override { return m_securityPassword; }
    void SetSecurityPassword(const QString &password) override { m_securityPassword = password; }
    void AddSQLHistory(
        const QString &userName, const QString &instance, const QString &sqlText) override;
    TDbfTable *SQLDbf() override { return m_sqlDbf.get(); }
    void EditHistoryRecord(
        const QString &userName, const QString &instance, const QString &sqlText) override;
    // Deletes history records older than days and packs the table; nothing for 0 or while
    // the table is closed.
    void PurgeSQLHistory(int days);
    void OpenOrActivateFile(const QString &fileName, const QString &userName,
        const QString &database, const QString &mode) override;
    void OpenRecentLogon(const TMRUItem &item) override;
    bool ExecuteLogon(TLogonValues &logon) override;
    QAction *MainAction(const QString &name) const override { return m_actions.value(name); }
    int EditSettings(TSettings &store, const QString &section, bool save) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    QAction *addAction(QMenu *menu, const QString &name, const QString &caption,
        std::function<void()> handler);
    QMenu *addMenu(QMenu *parent, const QString &name, const QString &caption);
    // Runs each start-up step on its own: a failing step is reported and the next one runs.
    void FormCreate();
    void runStep(const std::function<void()> &step);
    // Opens the history table when "SaveSQLHistory" is on and purges it.
    void openSQLHistory();
    void FormShow();
    void FormDestroy();
    // Shows the logon dialog for target when its window can be created.
    void showLogon(const QString &target);
    QWidget *createWorksheet(const TLogonValues &logon, const QString &fileOrText, bool asFile);
    void createSecurity();
    void updateSecuredActions();
    bool hasSecurePassword() const;
    // Leaves the program from the screen lock; false when a window still refused to close.
    bool closeFromLock();
    void setUpDesktop();
    void RefreshFileTrees();
    void MainWindowFileDropDrop();
    void About1Click();
    void Window1Click();
    void tileChildren(bool vertically);
    // A child window's own actions take the shortcuts they share with the main window's
    // actions while it is active, as its menus stand in for the main window's.
    void subWindowActivated(QMdiSubWindow *window);

    std::unique_ptr<TMenuMerge> m_menuMerge;
    QMdiArea *m_mdiArea = nullptr;
    QToolBar *m_toolBar = nullptr;
    QFileDialog *m_openDialog = nullptr;
    QHash<QString, QAction *> m_actions;
    QHash<QString, QMenu *> m_menus;
    QHash<QAction *, QKeySequence> m_ownShortcuts;
    QPointer<TKXLogonForm> m_logonForm;
    QPointer<TfrmLockOut> m_lockOutForm;
    QPointer<TfrmSettings> m_settingsForm;
    TLockTimer *m_lockTimer = nullptr;
    TActivityFilter *m_activityFilter = nullptr;
    bool m_locked = false;

    QStringList m_filesToOpen;
    QString m_programDirectory;
    QStringList m_sqlKeywords;
    QStringList m_plsqlKeywords;
    QStringList m_hints;
    QStringList m_aliasList;
    bool m_securityActive = false;
    QString m_securityPassword;
    bool m_closingAfterLock = false;
    QString m_accountFileName;
    TSettings m_settings;
    TAccountList m_accounts;
    std::unique_ptr<TMRUList> m_recentFiles;
    std::unique_ptr<TMRUList> m_recentLogons;
    std::unique_ptr<TMILAssociate> m_associate;
    std::unique_ptr<TDirWaitThread> m_dirWatch;
    TFileDrop *m_fileDrop = nullptr;
    TKXAboutForm *m_aboutForm = nullptr;
    std::unique_ptr<TDbfTable> m_sqlDbf;
    bool m_shown = false;
    bool m_destroyed = false;
};

} // namespace qd
