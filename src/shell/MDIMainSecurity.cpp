// The main window's security mode: the security password that unlocks the saved accounts, the
// screen lock and its idle timer, shutting the secured features off and resetting the password.
#include "shell/MDIMainForm.h"

#include "oracle/ScreenServices.h"
#include "shell/KXLogonForm.h"
#include "shell/LockOut.h"
#include "shell/LockTimer.h"
#include "shell/SettingsForm.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>

namespace qd {

namespace {

const QString SecurePasswordName = QStringLiteral("SecurePassword");
const QString PasswordCaption = QStringLiteral("Secure Password Entry");
const QString PasswordLabel = QStringLiteral("Enter Security Password");
constexpr qint64 MillisecondsPerMinute = 60000;
constexpr int PasswordAttempts = 3;

} // namespace

void TMDIMainForm::SetLockOutForm(TfrmLockOut *form)
{
    m_lockOutForm = form;
}

void TMDIMainForm::SetSettingsForm(TfrmSettings *form)
{
    m_settingsForm = form;
}

void TMDIMainForm::createSecurity()
{
    m_lockTimer = new TLockTimer(this);
    m_lockTimer->setObjectName(QStringLiteral("LockTimer"));
    m_lockTimer->OnTimer = [this](TLockTimer *) {
        StopLockTimer();
        try {
            LockApplication();
        } catch (...) {
            ShowCurrentException();
        }
    };
    m_activityFilter = new TActivityFilter([this] { RestartLockTimer(); }, this);
}

bool TMDIMainForm::hasSecurePassword() const
{
    return !m_settings.FindSetting(SecurePasswordName)->Value().AsBytes().isEmpty();
}

void TMDIMainForm::updateSecuredActions()
{
    m_actions.value(QStringLiteral("LockQuarloDesk1"))->setEnabled(m_securityActive);
    m_actions.value(QStringLiteral("ShutOffSecuredFeatures1"))->setEnabled(m_securityActive);
}

void TMDIMainForm::AskSecurityPassword()
{
    m_securityActive = false;
    m_closingAfterLock = false;
    if (m_settings.FindSetting(QStringLiteral("SecurityEnabled"))->Value().AsBoolean()) {
        TSettingItem *secure = m_settings.FindSetting(SecurePasswordName);
        if (hasSecurePassword()) {
            for (int attempt = 1; attempt <= PasswordAttempts; ++attempt) {
                const QString text = AskMaskedValue(this, PasswordCaption, PasswordLabel);
                secure->SetPassword(text);
                if (secure->GetDecryptedValue() == text) {
                    m_securityActive = true;
                    m_securityPassword = text;
                    break;
                }
                if (attempt == PasswordAttempts) {
                    ScreenMessage(mkError,
                        QStringLiteral(
                            "Password incorrect.  Secured features will not be available."));
                    ShutOffSecuredFeatures();
                    break;
                }
                if (ScreenConfirm(QStringLiteral(
                                      "Password incorrect.  Retry?\r\nPasswords are case sensitive."),
                        QStringLiteral("YN"))
                    != mrYes) {
                    ScreenMessage(
                        mkInformation, QStringLiteral("Secured features will not be available."));
                    ShutOffSecuredFeatures();
                    break;
                }
            }
        } else {
            ScreenMessage(mkWarning,
                QStringLiteral("Security option is enabled, but secure password is not set.  "
                               "Security features will not be available."));
        }
    }
    updateSecuredActions();
    if (!m_securityActive)
        return;

    m_accounts.SetKey(m_securityPassword);
    if (QFileInfo::exists(m_accountFileName)) {
        try {
            m_accounts.LoadAccounts(m_accountFileName);
        } catch (...) {
            // A file that cannot be read must not be replaced by the next saved logon: the
            // secured features stay off until it is mended.
            ShowCurrentException();
            ScreenMessage(
                mkInformation, QStringLiteral("Secured features will not be available."));
            ShutOffSecuredFeatures();
            return;
        }
    }
    if (m_logonForm) {
        m_logonForm->SetReloadHistory(false);
        m_logonForm->RefreshLogonHistory();
    }
}

void TMDIMainForm::ShutOffSecuredFeatures()
{
    m_securityActive = false;
    m_closingAfterLock = false;
    updateSecuredActions();
    // Nothing is left to lock; an armed timer would only report that.
    StopLockTimer();
    if (m_logonForm) {
        m_accounts.Clear();
        m_logonForm->ClearLogonHistory();
        m_logonForm->SetReloadHistory(true);
    }
}

void TMDIMainForm::ResetSecurityPassword()
{
    if (ScreenConfirm(QStringLiteral("Are you sure you want to reset security password?\nAll saved "
                                     "account information will be lost.  For more information, "
                                     "see help."),
            QStringLiteral("YN"))
        != mrYes)
        return;
    m_closingAfterLock = false;
    m_securityActive = false;
    m_settings.FindSetting(QStringLiteral("SecurityEnabled"))->SetValue(Variant(false));
    TSettingItem *secure = m_settings.FindSetting(SecurePasswordName);
    secure->SetPassword(QString());
    secure->SetValue(Variant(QString()));
    m_settings.SaveSettings();
    m_securityPassword.clear();
    ShutOffSecuredFeatures();
    m_accounts.Clear();
    m_accounts.SaveAccounts(m_accountFileName);
    updateSecuredActions();
    ScreenMessage(mkInformation, QStringLiteral("The security password has been reset"));
}

void TMDIMainForm::StartLockTimer()
{
    StopLockTimer();
    const TSettingItem *lockout = m_settings.FindSetting(QStringLiteral("LockoutTime"));
    qint64 minutes = lockout->Value().AsInteger();
    if (minutes <= 0)
        return;
    if (lockout->Max() > 0 && minutes > lockout->Max())
        minutes = lockout->Max();
    m_lockTimer->SetInterval(minutes * MillisecondsPerMinute);
    RestartLockTimer();
}

void TMDIMainForm::RestartLockTimer()
{
    // Typing the password into the lock must not arm the timer that locked.
    if (m_locked || !m_lockTimer)
        return;
    if (m_settings.FindSetting(QStringLiteral("LockoutTime"))->Value().AsInteger() > 0
        && m_securityActive && hasSecurePassword()) {
        m_lockTimer->SetEnabled(false);
        m_lockTimer->SetEnabled(true);
    }
}

void TMDIMainForm::StopLockTimer()
{
    if (m_lockTimer)
        m_lockTimer->SetEnabled(false);
}

void TMDIMainForm::LockApplication()
{
    if (m_locked)
        return;
    if (!m_securityActive || !hasSecurePassword()) {
        ScreenMessage(mkInformation, QStringLiteral("Security is not enabled, cannot lock."));
        return;
    }
    if (!m_lockOutForm)
        m_lockOutForm = new TfrmLockOut(this);
    StopLockTimer();
    m_locked = true;

    // Every window of the program goes out of sight: the main window, floating panes, popups.
    // A modal dialog that is running stays (hiding it would cancel it); the lock is modal over
    // it.
    const bool quitOnLastWindow = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    QList<QPointer<QWidget>> hidden;
    auto hideWindow = [&](QWidget *window) {
        if (window && window != m_lockOutForm && window->isVisible() && !window->isModal()) {
            hidden.append(window);
            window->hide();
        }
    };
    hideWindow(this);
    for (QWidget *window : QApplication::topLevelWidgets())
        hideWindow(window);
    auto showHidden = [&] {
        QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
        for (const QPointer<QWidget> &window : hidden) {
            if (window)
                window->show();
        }
    };

    TSettingItem *secure = m_settings.FindSetting(SecurePasswordName);
    for (;;) {
        const int result = m_lockOutForm->exec();
        if (result == mrOk) {
            const QString entered = m_lockOutForm->EnteredPassword();
            secure->SetPassword(entered);
            if (secure->GetDecryptedValue() == entered) {
                m_locked = false;
                showHidden();
                StartLockTimer();
                return;
            }
            ScreenMessage(mkError, QStringLiteral("Password incorrect"));
        } else if (result == mrAbort) {
            m_locked = false;
            m_closingAfterLock = true;
            QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
            if (closeFromLock())
                return;
            // A window still refused: the program goes on, locked again.
            m_closingAfterLock = false;
            m_locked = true;
            QApplication::setQuitOnLastWindowClosed(false);
        }
        // Closed another way: the lock comes back.
    }
}

bool TMDIMainForm::closeFromLock()
{
    if (!close())
        return false;
    // The hidden main window is no "last window" to the application: end the loop ourselves.
    QCoreApplication::quit();
    return true;
}

} // namespace qd
