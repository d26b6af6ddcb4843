#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QTreeWidgetItem;

namespace Ui {
class TKXLogonForm;
}

namespace qd {

class MainWindowInterface;

// The logon dialog through which every tool window that needs a database session is opened.
// The caller names a target window ("SQL", "DBNav", "JOB", "PTune", "Debugger"; empty: none);
// the dialog collects a database, user name, password and connect mode, typed in or picked
// from the saved logons, creates the target window with them, records the logon in the
// recent-logon list and, unless the user opts out, among the saved accounts. One dialog lives
// for the whole run and is hidden between uses.
class TKXLogonForm : public QDialog {
    Q_OBJECT

public:
    // main gives the account list, the alias list, the recent-logon list and the account file.
    explicit TKXLogonForm(MainWindowInterface *main, QWidget *parent = nullptr);
    ~TKXLogonForm() override;

    // Shows the dialog modally for target with the given values; returns the modal result.
    int Execute(const QString &target, const QString &userName, const QString &password,
        const QString &database, const QString &mode, const QString &extra);

    // Remembers the values and, for a non-empty target, creates its window (database
    // upper-cased) and records the logon among the recent logons. A failure to create the
    // window (a failed logon included) throws and records nothing.
    void DoLogon(const QString &target, QWidget *owner, const QString &database,
        const QString &userName, const QString &password, const QString &mode,
        const QString &extra);

    // Adds or refreshes the saved account (group "ORA", database upper-cased, the mode letter
    // of the radio buttons) and rebuilds the tree; true when the account list took it.
    bool AddLogonToHistory(
        const QString &userName, const QString &password, const QString &database);
    void RefreshLogonHistory();
    // Removes every saved database logon from the list in memory and clears the tree.
    void ClearLogonHistory();

    // Checks the radio button of mode ("SYSDBA", "SYSOPER" in any case; anything else NORMAL).
    void SetConnectMode(const QString &mode);
    // "NORMAL", "SYSDBA" or "SYSOPER".
    const QString &ConnectMode() const { return m_connectMode; }

    // The values of the last logon started from this dialog.
    const QString &UserName() const { return m_userName; }
    const QString &Password() const { return m_password; }
    const QString &Database() const { return m_database; }
    const QString &Target() const { return m_target; }

    // Set when the secured features are shut off: the next showing reloads the accounts.
    bool ReloadHistory() const { return m_reloadHistory; }
    void SetReloadHistory(bool value) { m_reloadHistory = value; }

    // "LogonForm.ini" in the program's directory.
    static QString stateFileName();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void btn_newLogonClick();
    void btn_prevLogonClick();
    void btnPrevDeleteClick();
    void btnPrevClearClick();
    void tvwPrevLogonChange(QTreeWidgetItem *current);
    void tvwPrevLogonDblClick(QTreeWidgetItem *item);
    void editChange();
    void loadState();
    void saveState() const;
    // The mode letter of the checked radio button: "N", "D", "O".
    QString modeCharacter() const;
    void setModeFromCharacter(const QString &character);
    // Index in group "ORA" of a child node; -1 for a top-level node or none.
    static int accountIndexOf(const QTreeWidgetItem *item);
    void logonFromAccount(int index);

    std::unique_ptr<Ui::TKXLogonForm> m_ui;
    MainWindowInterface *m_main;
    QString m_target;
    QString m_userName;
    QString m_password;
    QString m_database;
    QString m_connectMode = QStringLiteral("NORMAL");
    QString m_extra;
    bool m_reloadHistory = false;
};

} // namespace qd
