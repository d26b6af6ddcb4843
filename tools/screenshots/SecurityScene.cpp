// The screen lock, the settings editor and the password change window.
#include "Scene.h"

#include "shell/LockOut.h"
#include "shell/MainSettings.h"
#include "shell/QDChangePassword.h"
#include "shell/Settings.h"
#include "shell/SettingsForm.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimer>

QD_SCREENSHOT_SCENE(lockOut, "lock-out", QSize(460, 200))
{
    (void)context;
    auto *lock = new qd::TfrmLockOut;
    lock->setModal(false);
    return { lock };
}

// The editor on the lockout time, as the user sees it after picking that line.
QD_SCREENSHOT_SCENE(settingsEditor, "settings-editor", QSize(760, 440))
{
    (void)context;
    static qd::TSettings store;
    if (store.Settings().Count() == 0)
        qd::declareMainSettings(store);
    auto *form = new qd::TfrmSettings(nullptr);
    form->setModal(false);
    form->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    bool started = false;
    return { form, [form, started]() mutable {
                if (started)
                    return true;
                started = true;
                // Execute would wait for the user; fill the window as it does, then pick a line.
                QTimer::singleShot(0, form, [form] {
                    const auto found = form->lbSettings()->findItems(
                        QStringLiteral("Security Lockout Time"), Qt::MatchExactly);
                    if (!found.isEmpty())
                        form->lbSettings()->setCurrentItem(found.first());
                    form->seIntValue()->setValue(15);
                    form->done(QDialog::Rejected);
                    form->show();
                });
                form->Execute(store, QStringLiteral("*"), false);
                return false;
            } };
}

// A finished run: one instance refused the old password, the other took the new one.
QD_SCREENSHOT_SCENE(changePassword, "change-password", QSize(640, 480))
{
    (void)context;
    auto *window = new qd::TQDChangePassword(nullptr);
    window->edtUsername()->setText(QStringLiteral("SCOTT"));
    for (QLineEdit *edit :
        { window->edtOldPassword(), window->edtNewPass(), window->edtNewPassConfirm() })
        edit->setText(QStringLiteral("secret"));
    window->lbAliases()->addItems({ QStringLiteral("DEMO"), QStringLiteral("SALES"),
        QStringLiteral("HR"), QStringLiteral("TEST") });
    window->lbAliases()->item(0)->setSelected(true);
    window->lbAliases()->item(2)->setSelected(true);
    for (const char *line : { "Changing password for SCOTT", "", "On instance DEMO:",
             "An error has occurred:", "ORA-01017: invalid username/password; logon denied", "",
             "On instance SALES:", "Change successful.", "" })
        window->AddLogLine(QLatin1String(line));
    return { window };
}
