// The password change window against the stand-in with several aliases: the log of a run, the
// case of what is typed, cancelling and closing during a run.
#include "MainWindowFixture.h"
#include "ModalDriver.h"

#include "oracle/OracleError.h"
#include "shell/MainSettings.h"
#include "shell/QDChangePassword.h"
#include "shell/Settings.h"

#include <QLibrary>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using namespace qd;
using namespace qd::test;

namespace {

// The stand-in's logon hold.
struct LogonHold {
    LogonHold()
        : library(standinLibraryPath())
    {
        library.load();
        hold = reinterpret_cast<void (*)(const char *)>(library.resolve("qdsi_hold_logons"));
        held = reinterpret_cast<int (*)()>(library.resolve("qdsi_held_logons"));
    }
    ~LogonHold()
    {
        if (hold)
            hold(nullptr);
    }
    QLibrary library;
    void (*hold)(const char *) = nullptr;
    int (*held)() = nullptr;
};

class ChangePassword : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        // A configuration of its own for each test, so password changes start afresh. ALPHA
        // compares passwords exactly; on BETA SCOTT has another password.
        QFile config(QDir(configDir.path()).filePath(QStringLiteral("standin.ini")));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("[alias ALPHA]\ncase_sensitive_passwords = yes\n"
                     "[user SCOTT@ALPHA]\npassword = tiger\n"
                     "[alias BETA]\n[user SCOTT@BETA]\npassword = other\n"
                     "[alias GAMMA]\n[user SCOTT@GAMMA]\npassword = tiger\n"
                     "[alias DELTA]\ncase_sensitive_passwords = yes\n"
                     "[user SCOTT@DELTA]\npassword = tiger\n");
        config.close();
        qputenv("QD_STANDIN_CONFIG", config.fileName().toLocal8Bit());
        ASSERT_TRUE(hooks.hold && hooks.held);
    }

    void TearDown() override
    {
        if (window)
            window->close();
        MainWindowTest::TearDown();
        qunsetenv("QD_STANDIN_CONFIG");
    }

    // Opens the window through the File menu's command and adds the test's aliases by hand.
    void open()
    {
        start();
        main().show();
        main().MainAction(QStringLiteral("ChangePassword1"))->trigger();
        ASSERT_EQ(children().size(), 1);
        window = qobject_cast<TQDChangePassword *>(children().first()->widget());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Change Password"));
        for (const char *alias : { "alpha", "beta", "gamma", "delta" }) {
            QTest::keyClicks(window->edtInstance(), QLatin1String(alias));
            QTest::mouseClick(window->btnAdd(), Qt::LeftButton);
            window->edtInstance()->clear();
        }
    }

    void fill(const QString &user, const QString &oldPassword, const QString &newPassword,
        const QString &confirm)
    {
        QTest::keyClicks(window->edtUsername(), user);
        QTest::keyClicks(window->edtOldPassword(), oldPassword);
        QTest::keyClicks(window->edtNewPass(), newPassword);
        QTest::keyClicks(window->edtNewPassConfirm(), confirm);
    }

    void pick(const QStringList &aliases)
    {
        for (const QString &alias : aliases) {
            const auto found = window->lbAliases()->findItems(alias, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << alias.toStdString();
            QListWidget *list = window->lbAliases();
            QTest::mouseClick(
                list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        }
    }

    void waitUntilIdle()
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->Busy(); }, 20000));
    }

    QStringList log() const
    {
        return window->memOutput()->toPlainText().split(u'\n');
    }

    // Whether SCOTT logs on to alias with password.
    static bool logsOn(const QString &alias, const QString &password)
    {
        TOracleSession session;
        session.SetLogonUsername(QStringLiteral("SCOTT"));
        session.SetLogonPassword(password);
        session.SetLogonDatabase(alias);
        try {
            session.LogOn();
        } catch (const EOracleError &) {
            return false;
        }
        session.LogOff();
        return true;
    }

    QTemporaryDir configDir;
    LogonHold hooks;
    QPointer<TQDChangePassword> window;
};

TEST_F(ChangePassword, ChangeNeedsEveryValueAndAnInstance)
{
    open();
    EXPECT_FALSE(window->btnChange()->isEnabled());
    EXPECT_FALSE(window->btnCancel()->isEnabled());
    QTest::keyClicks(window->edtUsername(), QStringLiteral("scott"));
    QTest::keyClicks(window->edtOldPassword(), QStringLiteral("tiger"));
    QTest::keyClicks(window->edtNewPass(), QStringLiteral("a"));
    pick({ QStringLiteral("ALPHA") });
    EXPECT_FALSE(window->btnChange()->isEnabled());
    QTest::keyClicks(window->edtNewPassConfirm(), QStringLiteral("b"));
    EXPECT_TRUE(window->btnChange()->isEnabled());
    pick({ QStringLiteral("ALPHA") }); // unpicked again
    EXPECT_FALSE(window->btnChange()->isEnabled());
    pick({ QStringLiteral("ALPHA") });

    QTest::mouseClick(window->btnChange(), Qt::LeftButton);
    EXPECT_EQ(messages,
        QStringList { QStringLiteral("New passwords are not the same, please re-enter.") });
    EXPECT_FALSE(window->Busy());
    EXPECT_TRUE(window->memOutput()->toPlainText().isEmpty());
}

// A failure on one instance is logged and the run goes on with the next.
TEST_F(ChangePassword, WrongOldPasswordOnOneInstance)
{
    open();
    fill(QStringLiteral("scott"), QStringLiteral("tiger"), QStringLiteral("lion"),
        QStringLiteral("lion"));
    EXPECT_EQ(window->edtUsername()->text(), QStringLiteral("SCOTT"));
    EXPECT_EQ(window->edtNewPass()->echoMode(), QLineEdit::Password);
    pick({ QStringLiteral("GAMMA"), QStringLiteral("BETA") });
    const QColor colour = window->memOutput()->palette().color(QPalette::Base);
    QTest::mouseClick(window->btnChange(), Qt::LeftButton);
    EXPECT_TRUE(window->Busy());
    waitUntilIdle();

    const QStringList lines = log();
    ASSERT_GE(lines.size(), 9) << window->memOutput()->toPlainText().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Changing password for SCOTT"));
    EXPECT_EQ(lines[1], QString());
    // In list order: BETA before GAMMA.
    EXPECT_EQ(lines[2], QStringLiteral("On instance BETA:"));
    EXPECT_EQ(lines[3], QStringLiteral("An error has occurred:"));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("ORA-01017"))) << lines[4].toStdString();
    EXPECT_EQ(lines[5], QString());
    EXPECT_EQ(lines[6], QStringLiteral("On instance GAMMA:"));
    EXPECT_EQ(lines[7], QStringLiteral("Change successful."));
    EXPECT_EQ(lines[8], QString());

    EXPECT_TRUE(logsOn(QStringLiteral("GAMMA"), QStringLiteral("lion")));
    EXPECT_TRUE(logsOn(QStringLiteral("BETA"), QStringLiteral("other")));
    // The window is back as it was, and its session is logged off.
    EXPECT_TRUE(window->btnExit()->isEnabled());
    EXPECT_FALSE(window->btnCancel()->isEnabled());
    EXPECT_TRUE(window->btnChange()->isEnabled());
    EXPECT_EQ(window->memOutput()->palette().color(QPalette::Base), colour);
    EXPECT_FALSE(window->OracleSession1().Connected());
}

// Passwords keep the case they were typed in.
TEST_F(ChangePassword, MixedCasePasswordLogsOnOnlyAsTyped)
{
    open();
    fill(QStringLiteral("Scott"), QStringLiteral("tiger"), QStringLiteral("LiOn7"),
        QStringLiteral("LiOn7"));
    EXPECT_EQ(window->edtNewPass()->text(), QStringLiteral("LiOn7"));
    pick({ QStringLiteral("ALPHA") });
    QTest::mouseClick(window->btnChange(), Qt::LeftButton);
    waitUntilIdle();
    EXPECT_TRUE(log().contains(QStringLiteral("Change successful.")));
    EXPECT_TRUE(logsOn(QStringLiteral("ALPHA"), QStringLiteral("LiOn7")));
    EXPECT_FALSE(logsOn(QStringLiteral("ALPHA"), QStringLiteral("LION7")));
    EXPECT_FALSE(logsOn(QStringLiteral("ALPHA"), QStringLiteral("tiger")));
}

// Cancel during the log-on to the second of three instances ends the run when that log-on
// returns: nothing changes there, and the third is not touched.
TEST_F(ChangePassword, CancelDuringTheSecondLogOn)
{
    open();
    fill(QStringLiteral("scott"), QStringLiteral("tiger"), QStringLiteral("lion"),
        QStringLiteral("lion"));
    pick({ QStringLiteral("ALPHA"), QStringLiteral("DELTA"), QStringLiteral("GAMMA") });
    hooks.hold("DELTA");
    QTest::mouseClick(window->btnChange(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hooks.held() == 1; }, 20000));
    // While running: Exit and Change off, Cancel on, the panes painted.
    EXPECT_FALSE(window->btnExit()->isEnabled());
    EXPECT_FALSE(window->btnChange()->isEnabled());
    EXPECT_TRUE(window->btnCancel()->isEnabled());
    EXPECT_EQ(window->lbAliases()->palette().color(QPalette::Base), QColor(Qt::yellow));
    QTest::mouseClick(window->btnCancel(), Qt::LeftButton);
    hooks.hold(nullptr);
    waitUntilIdle();

    EXPECT_TRUE(log().contains(QStringLiteral("On instance DELTA:")));
    EXPECT_FALSE(log().contains(QStringLiteral("On instance GAMMA:")));
    EXPECT_EQ(log().count(QStringLiteral("Change successful.")), 1);
    EXPECT_TRUE(logsOn(QStringLiteral("ALPHA"), QStringLiteral("lion")));
    EXPECT_TRUE(logsOn(QStringLiteral("DELTA"), QStringLiteral("tiger")));
    EXPECT_TRUE(logsOn(QStringLiteral("GAMMA"), QStringLiteral("tiger")));
    EXPECT_TRUE(window->btnExit()->isEnabled());
}

// Closing during a run asks first; Yes stops the run, waits for it and frees the window.
TEST_F(ChangePassword, ClosingDuringARun)
{
    open();
    fill(QStringLiteral("scott"), QStringLiteral("tiger"), QStringLiteral("lion"),
        QStringLiteral("lion"));
    pick({ QStringLiteral("ALPHA"), QStringLiteral("DELTA") });
    hooks.hold("DELTA");
    QTest::mouseClick(window->btnChange(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hooks.held() == 1; }, 20000));

    answer = mrNo;
    children().first()->close();
    EXPECT_EQ(questions, QStringList { QStringLiteral("Cancel the current operation?") });
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Busy());

    // The log-on returns while the window waits for the run to end.
    answer = mrYes;
    QTimer::singleShot(100, [&] { hooks.hold(nullptr); });
    children().first()->close();
    EXPECT_EQ(questions.size(), 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(children().isEmpty());
    EXPECT_TRUE(logsOn(QStringLiteral("DELTA"), QStringLiteral("tiger")));
    EXPECT_TRUE(logsOn(QStringLiteral("ALPHA"), QStringLiteral("lion")));
}

// Taking the program down during a run asks nothing, stops the run and waits for it.
TEST_F(ChangePassword, ProgramEndWaitsForTheRun)
{
    open();
    fill(QStringLiteral("scott"), QStringLiteral("tiger"), QStringLiteral("lion"),
        QStringLiteral("lion"));
    pick({ QStringLiteral("DELTA") });
    hooks.hold("DELTA");
    QTest::mouseClick(window->btnChange(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hooks.held() == 1; }, 20000));
    QTimer::singleShot(100, [&] { hooks.hold(nullptr); });
    program.reset();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_TRUE(logsOn(QStringLiteral("DELTA"), QStringLiteral("tiger")));
}

// Leaving the program from the screen lock during a run asks nothing and waits for the run.
TEST_F(ChangePassword, CloseFromTheLockWaitsForTheRun)
{
    {
        TSettings settings;
        declareMainSettings(settings);
        settings.SetIniFileName(mainSettingsFileName());
        settings.FindSetting(QStringLiteral("SecurityEnabled"))->SetValue(Variant(true));
        TSettingItem *secure = settings.FindSetting(QStringLiteral("SecurePassword"));
        secure->SetPassword(QStringLiteral("Secret"));
        secure->SetValue(Variant(QStringLiteral("Secret")));
        settings.SaveSettings();
    }
    windowFactories().MaskedPrompt = &AskMaskedPromptValue;
    ModalDriver driver;
    driver.prompt(QStringLiteral("Secret"));
    open();
    ASSERT_TRUE(main().SecurityActive());
    fill(QStringLiteral("scott"), QStringLiteral("tiger"), QStringLiteral("lion"),
        QStringLiteral("lion"));
    pick({ QStringLiteral("DELTA") });
    hooks.hold("DELTA");
    QTest::mouseClick(window->btnChange(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hooks.held() == 1; }, 20000));

    driver.add([&](QDialog *dialog) {
        auto *lock = qobject_cast<TfrmLockOut *>(dialog);
        ASSERT_NE(lock, nullptr);
        // The log-on returns while the closing window waits for the run.
        QTimer::singleShot(100, [&] { hooks.hold(nullptr); });
        QTest::mouseClick(lock->btnClose(), Qt::LeftButton);
    });
    QTimer::singleShot(0, [&] { main().LockApplication(); });
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(20000);
    EXPECT_EQ(QApplication::exec(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(questions.isEmpty()) << questions.join(u'|').toStdString();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(logsOn(QStringLiteral("DELTA"), QStringLiteral("tiger")));
}

} // namespace
