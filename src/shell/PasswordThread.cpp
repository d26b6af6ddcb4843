#include "shell/PasswordThread.h"

#include "classlib/ThreadHandOver.h"
#include "oracle/OracleSession.h"
#include "oracle/ScreenServices.h"
#include "shell/QDChangePassword.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qd {

namespace {

QColor baseColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::Base);
}

void setBaseColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

} // namespace

TPasswordThread::TPasswordThread(TQDChangePassword *form, const QString &userName,
    const QString &oldPassword, const QString &newPassword, const QStringList &instances)
    : m_form(form)
    , m_userName(userName)
    , m_oldPassword(oldPassword)
    , m_newPassword(newPassword)
    , m_instances(instances)
{
    SaveControlStates(m_disableList, { form->btnExit() });
    SaveControlStates(m_enableList, { form->btnCancel() });
    SaveControlStates(m_disableRestoreList, { form->btnChange() });
}

TPasswordThread::~TPasswordThread()
{
    wait();
    ThreadJoined(this);
}

void TPasswordThread::synchronize(const std::function<void()> &work)
{
    BlockingCall(m_form, [&] {
        try {
            work();
        } catch (...) {
            ShowCurrentException();
        }
    });
}

void TPasswordThread::log(const QString &line)
{
    synchronize([&] { m_form->AddLogLine(line); });
}

void TPasswordThread::beginOnGuiThread()
{
    m_aliasesColor = baseColour(m_form->lbAliases());
    m_outputColor = baseColour(m_form->memOutput());
    setBaseColour(m_form->lbAliases(), Qt::yellow);
    setBaseColour(m_form->memOutput(), Qt::yellow);
    DisableControlList(m_disableList, false);
    EnableControlList(m_enableList, false);
    DisableControlList(m_disableRestoreList, false);
}

void TPasswordThread::endOnGuiThread()
{
    EnableControlList(m_disableList, false);
    DisableControlList(m_enableList, false);
    EnableControlList(m_disableRestoreList, true);
    setBaseColour(m_form->lbAliases(), m_aliasesColor);
    setBaseColour(m_form->memOutput(), m_outputColor);
}

void TPasswordThread::run()
{
    const ThreadRunScope scope(this);
    TOracleSession &session = m_form->OracleSession1();
    synchronize([this] { beginOnGuiThread(); });
    log(QStringLiteral("Changing password for ") + m_userName);
    log(QString());
    for (const QString &instance : m_instances) {
        log(QStringLiteral("On instance ") + instance + u':');
        bool leave = false;
        try {
            session.SetLogonDatabase(instance);
            session.SetLogonUsername(m_userName);
            session.SetLogonPassword(m_oldPassword);
            session.LogOn();
            leave = m_stopRequested;
            if (!leave) {
                session.ChangePassword(m_newPassword);
                leave = m_stopRequested;
                if (!leave)
                    log(QStringLiteral("Change successful."));
            }
        } catch (...) {
            log(QStringLiteral("An error has occurred:"));
            log(ExceptionMessage(std::current_exception()));
        }
        if (leave)
            break;
        log(QString());
        if (m_stopRequested)
            break;
    }
    if (session.Connected()) {
        try {
            session.LogOff();
        } catch (...) {
            // The run is over either way; the window logs off again when it closes.
        }
    }
    synchronize([this] { endOnGuiThread(); });
}

} // namespace qd
