#pragma once

#include <QStringList>

#include <memory>

namespace qd {

class TKXLogonForm;
class TMDIMainForm;
class TfrmLockOut;
class TfrmSettings;

// The program's run: sets the application's title, creates the main window and the dialogs
// that live for the whole run, in that order, and takes them down in reverse order.
class QuarloDeskProgram {
public:
    // arguments: the program's parameters without the program name; the client library
    // options among them (OCIDLL=..., ORACLEHOME=...) are no files to open.
    explicit QuarloDeskProgram(const QStringList &arguments);
    ~QuarloDeskProgram();
    QuarloDeskProgram(const QuarloDeskProgram &) = delete;
    QuarloDeskProgram &operator=(const QuarloDeskProgram &) = delete;

    TMDIMainForm *MainForm() const { return m_mainForm.get(); }
    TKXLogonForm *LogonForm() const { return m_logonForm.get(); }
    TfrmLockOut *LockOutForm() const { return m_lockOutForm.get(); }
    TfrmSettings *SettingsForm() const { return m_settingsForm.get(); }

    static QStringList FileArguments(const QStringList &parameters);

    // Shows the main window and runs the event loop until it closes.
    int Run();

private:
    std::unique_ptr<TMDIMainForm> m_mainForm;
    std::unique_ptr<TfrmLockOut> m_lockOutForm;
    std::unique_ptr<TfrmSettings> m_settingsForm;
    std::unique_ptr<TKXLogonForm> m_logonForm;
};

} // namespace qd
