#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace qd {

class MainWindowInterface;
class TOracleSession;
class TPasswordThread;

// Changes one database user's password on several instances in one go: the user picks the
// instances from the network aliases (or adds names), and a worker thread logs on to each in
// turn with the window's own session, changes the password and logs what happened, while the
// window stays usable for cancelling.
class TQDChangePassword : public QWidget {
    Q_OBJECT

public:
    // main gives the network aliases; it may be null.
    explicit TQDChangePassword(MainWindowInterface *main, QWidget *parent = nullptr);
    // A run still going is stopped and waited for first.
    ~TQDChangePassword() override;

    bool Busy() const { return m_busy; }
    TOracleSession &OracleSession1() const { return *m_session; }
    // The instances picked, in list order.
    QStringList SelectedInstances() const;

    QLineEdit *edtUsername() const { return m_edtUsername; }
    QLineEdit *edtOldPassword() const { return m_edtOldPassword; }
    QLineEdit *edtNewPass() const { return m_edtNewPass; }
    QLineEdit *edtNewPassConfirm() const { return m_edtNewPassConfirm; }
    QListWidget *lbAliases() const { return m_lbAliases; }
    QLineEdit *edtInstance() const { return m_edtInstance; }
    QPushButton *btnAdd() const { return m_btnAdd; }
    QPushButton *btnChange() const { return m_btnChange; }
    QPushButton *btnCancel() const { return m_btnCancel; }
    QPushButton *btnExit() const { return m_btnExit; }
    QPlainTextEdit *memOutput() const { return m_memOutput; }

    // Called by the thread, on the GUI thread.
    void AddLogLine(const QString &line);
    void ThreadEnded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate(MainWindowInterface *main);
    void updateChangeButton();
    void btnAddClick();
    void btnChangeClick();
    void btnCancelClick();
    // Asks while a run goes on; Yes breaks the server call and stops the thread. Then the
    // session is logged off. False keeps the window open.
    bool FormCloseQuery();
    // Waits for the thread to end while the GUI thread keeps running its calls.
    void waitForThread();

    QLineEdit *m_edtUsername;
    QLineEdit *m_edtOldPassword;
    QLineEdit *m_edtNewPass;
    QLineEdit *m_edtNewPassConfirm;
    QListWidget *m_lbAliases;
    QLineEdit *m_edtInstance;
    QPushButton *m_btnAdd;
    QPushButton *m_btnChange;
    QPushButton *m_btnCancel;
    QPushButton *m_btnExit;
    QPlainTextEdit *m_memOutput;
    std::unique_ptr<TOracleSession> m_session;
    bool m_busy = false;
    QPointer<TPasswordThread> m_thread;
};

} // namespace qd
