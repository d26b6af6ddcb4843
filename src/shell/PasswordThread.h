#pragma once

#include "shell/ControlStates.h"

#include <QColor>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>

namespace qd {

class TQDChangePassword;

// Changes one user's password on several instances in turn with the window's session, writing
// a log into the window. Every touch of the window's controls is a call the GUI thread runs
// while this thread waits.
class TPasswordThread : public QThread {
    Q_OBJECT

public:
    // The values as read from the window's edits when the run starts.
    TPasswordThread(TQDChangePassword *form, const QString &userName, const QString &oldPassword,
        const QString &newPassword, const QStringList &instances);
    ~TPasswordThread() override;

    // Asks the run to stop after the current server call.
    void Stop() { m_stopRequested = true; }
    bool StopRequested() const { return m_stopRequested; }

protected:
    void run() override;

private:
    // Runs work on the GUI thread and waits for it.
    void synchronize(const std::function<void()> &work);
    void log(const QString &line);
    void beginOnGuiThread();
    void endOnGuiThread();
    void changeOn(const QString &instance);

    // The window waits for this thread before it goes away.
    TQDChangePassword *m_form;
    QString m_userName;
    QString m_oldPassword;
    QString m_newPassword;
    QStringList m_instances;
    // Switched for the run: disabled (Exit), enabled (Cancel), disabled and restored (Change).
    TControlList m_disableList;
    TControlList m_enableList;
    TControlList m_disableRestoreList;
    TControlList m_enableRestoreList;
    QColor m_aliasesColor;
    QColor m_outputColor;
    std::atomic<bool> m_stopRequested { false };
};

} // namespace qd
