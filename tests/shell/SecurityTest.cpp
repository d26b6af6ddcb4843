// The security password at start-up, shutting secured features off, resetting the password,
// the screen lock and its idle timer, driven through the real prompt and lock windows.
#include "MainWindowFixture.h"
#include "ModalDriver.h"

#include "shell/AccountList.h"
#include "shell/LockOut.h"
#include "shell/LockTimer.h"
#include "shell/MainSettings.h"
#include "shell/Settings.h"
#include "worksheet/EditorPane.h"
#include "worksheet/SQLForm.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QWheelEvent>

using namespace qd;
using namespace qd::test;

namespace {

const QString Password = QStringLiteral("Secret");
const QString Ora = QStringLiteral("ORA");

class Security : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        windowFactories().MaskedPrompt = &AskMaskedPromptValue;
    }

    // Writes the settings file as the settings editor would have left it.
    static void writeSettings(bool enabled, const QString &password, int lockoutMinutes = 0)
    {
        TSettings settings;
        declareMainSettings(settings);
        settings.SetIniFileName(mainSettingsFileName());
        settings.FindSetting(QStringLiteral("SecurityEnabled"))->SetValue(Variant(enabled));
        TSettingItem *secure = settings.FindSetting(QStringLiteral("SecurePassword"));
        secure->SetPassword(password);
        secure->SetValue(Variant(password));
        settings.FindSetting(QStringLiteral("LockoutTime"))
            ->SetValue(Variant(qint64(lockoutMinutes)));
        settings.SaveSettings();
    }

    // One saved logon, enciphered under key.
    static void writeAccounts(const QString &key)
    {
        TAccountList accounts;
        accounts.SetKey(key);
        accounts.AddAccount(Ora, QStringLiteral("SCOTT"), QStringLiteral("tiger"),
            QStringLiteral("DEMO"), QStringLiteral("N"));
        accounts.SaveAccounts(TAccountList::defaultFileName());
    }

    bool actionEnabled(const char *name) { return main().MainAction(QLatin1String(name))->isEnabled(); }

    // Starts with security enabled and the right password given.
    void startSecured(ModalDriver &driver, int lockoutMinutes = 0)
    {
        writeSettings(true, Password, lockoutMinutes);
        writeAccounts(Password);
        driver.prompt(Password);
        start();
        ASSERT_TRUE(main().SecurityActive());
    }
};

// The password prompt at start-up: how the attempts end decides the security state, the
// secured commands and the messages.
TEST_F(Security, PasswordPromptAtStartUp)
{
    struct Case {
        const char *name;
        QStringList attempts;
        int retryAnswer;
        bool active;
        int retryQuestions;
        QString message;
    };
    const QString retry = QStringLiteral("Password incorrect.  Retry?\r\nPasswords are case sensitive.");
    const Case cases[] = {
        { "wrong three times", { "secret", "SECRET", "x" }, mrYes, false, 2,
            QStringLiteral("Password incorrect.  Secured features will not be available.") },
        { "right at the second try", { "Secre", Password }, mrYes, true, 1, QString() },
        { "retry answered No", { "wrong" }, mrNo, false, 1,
            QStringLiteral("Secured features will not be available.") },
        { "right at once", { Password }, mrYes, true, 0, QString() },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings(true, Password);
        writeAccounts(Password);
        messages.clear();
        questions.clear();
        answer = c.retryAnswer;
        {
            ModalDriver driver;
            for (const QString &attempt : c.attempts)
                driver.prompt(attempt);
            start();
        }
        EXPECT_EQ(main().SecurityActive(), c.active);
        EXPECT_EQ(questions, QStringList(c.retryQuestions, retry));
        EXPECT_EQ(messages, c.message.isEmpty() ? QStringList() : QStringList { c.message });
        EXPECT_EQ(actionEnabled("LockQuarloDesk1"), c.active);
        EXPECT_EQ(actionEnabled("ShutOffSecuredFeatures1"), c.active);
        // The saved logons come only with the right password.
        ASSERT_EQ(main().AccountList().GetCount(Ora), c.active ? 1 : 0);
        if (c.active) {
            TAccountRec rec;
            main().AccountList().GetAccount(Ora, 0, rec);
            EXPECT_EQ(rec.Username, QStringLiteral("SCOTT"));
            EXPECT_EQ(rec.Password, QStringLiteral("tiger"));
            EXPECT_EQ(main().SecurityPassword(), Password);
        }
        program.reset();
    }
}

// A cancelled prompt still counts its text as the attempt.
TEST_F(Security, CancelledPromptCountsItsText)
{
    writeSettings(true, Password);
    ModalDriver driver;
    driver.prompt(Password, false);
    start();
    EXPECT_TRUE(main().SecurityActive());
}

TEST_F(Security, EnabledWithoutStoredPasswordAsksNothing)
{
    writeSettings(true, QString());
    ModalDriver driver;
    start();
    EXPECT_TRUE(driver.shown.isEmpty());
    EXPECT_FALSE(main().SecurityActive());
    EXPECT_EQ(messages,
        QStringList { QStringLiteral("Security option is enabled, but secure password is not "
                                     "set.  Security features will not be available.") });
    EXPECT_FALSE(actionEnabled("LockQuarloDesk1"));
}

TEST_F(Security, DisabledAsksNothing)
{
    writeSettings(false, Password, 5);
    ModalDriver driver;
    start();
    EXPECT_TRUE(driver.shown.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(main().SecurityActive());
    EXPECT_FALSE(main().LockTimer().Enabled());
}

// An account file that cannot be read keeps the secured features off, so that no later saved
// logon replaces it.
TEST_F(Security, DamagedAccountFileKeepsSecurityOff)
{
    writeSettings(true, Password);
    writeFile(QStringLiteral("QuarloDeskAccounts.dat"), QByteArray(100, 'x'));
    ModalDriver driver;
    driver.prompt(Password);
    start();
    EXPECT_FALSE(main().SecurityActive());
    EXPECT_EQ(QFileInfo(TAccountList::defaultFileName()).size(), 100);
    EXPECT_TRUE(messages.contains(QStringLiteral("Secured features will not be available.")));
}

TEST_F(Security, EnterPasswordCommandAndShutOff)
{
    writeSettings(true, Password);
    writeAccounts(Password);
    const qint64 fileSize = QFileInfo(TAccountList::defaultFileName()).size();
    ModalDriver driver;
    driver.prompt(QStringLiteral("bad"));
    answer = mrNo;
    start();
    ASSERT_FALSE(main().SecurityActive());

    driver.prompt(Password);
    main().MainAction(QStringLiteral("EnterSecureMode1"))->trigger();
    ASSERT_TRUE(main().SecurityActive());
    EXPECT_EQ(main().AccountList().GetCount(Ora), 1);

    main().MainAction(QStringLiteral("ShutOffSecuredFeatures1"))->trigger();
    EXPECT_FALSE(main().SecurityActive());
    EXPECT_EQ(main().AccountList().GetCount(Ora), 0);
    EXPECT_TRUE(logon().ReloadHistory());
    EXPECT_FALSE(actionEnabled("LockQuarloDesk1"));
    EXPECT_FALSE(actionEnabled("ShutOffSecuredFeatures1"));
    // The file is not touched.
    EXPECT_EQ(QFileInfo(TAccountList::defaultFileName()).size(), fileSize);
}

TEST_F(Security, ResetPassword)
{
    ModalDriver driver;
    startSecured(driver);
    answer = mrNo;
    main().MainAction(QStringLiteral("ResetPassword1"))->trigger();
    EXPECT_TRUE(main().SecurityActive());
    EXPECT_EQ(QFileInfo(TAccountList::defaultFileName()).size(), TAccountList::RecordSize);

    answer = mrYes;
    questions.clear();
    main().MainAction(QStringLiteral("ResetPassword1"))->trigger();
    EXPECT_EQ(questions,
        QStringList { QStringLiteral("Are you sure you want to reset security password?\nAll "
                                     "saved account information will be lost.  For more "
                                     "information, see help.") });
    EXPECT_EQ(messages.last(), QStringLiteral("The security password has been reset"));
    EXPECT_FALSE(main().SecurityActive());
    EXPECT_EQ(main().AccountList().GetCount(Ora), 0);
    EXPECT_EQ(QFileInfo(TAccountList::defaultFileName()).size(), 0);
    // The file says so too: the next start asks nothing.
    TSettings saved;
    declareMainSettings(saved);
    saved.SetIniFileName(mainSettingsFileName());
    saved.LoadSettings();
    EXPECT_FALSE(saved.FindSetting(QStringLiteral("SecurityEnabled"))->Value().AsBoolean());
    EXPECT_TRUE(saved.FindSetting(QStringLiteral("SecurePassword"))->Value().AsBytes().isEmpty());
}

TEST_F(Security, LockRefusedWhileSecurityOff)
{
    start();
    main().show();
    ModalDriver driver;
    main().LockApplication();
    EXPECT_EQ(messages, QStringList { QStringLiteral("Security is not enabled, cannot lock.") });
    EXPECT_TRUE(main().isVisible());
    EXPECT_TRUE(driver.shown.isEmpty());
}

// The lock hides every window of the program until the exact password is given; closing it
// through the window manager or a wrong password only shows it again.
TEST_F(Security, LockUntilTheRightPassword)
{
    ModalDriver driver;
    startSecured(driver, 10);
    main().show();
    QWidget pane;
    pane.setWindowTitle(QStringLiteral("floating pane"));
    pane.show();
    ASSERT_TRUE(main().LockTimer().Enabled());

    auto hiddenWhileLocked = [&] {
        EXPECT_FALSE(main().isVisible());
        EXPECT_FALSE(pane.isVisible());
        EXPECT_FALSE(main().LockTimer().Enabled());
        EXPECT_TRUE(main().Locked());
        EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
    };
    driver.add([&](QDialog *dialog) {
        auto *lock = qobject_cast<TfrmLockOut *>(dialog);
        ASSERT_NE(lock, nullptr);
        EXPECT_EQ(lock->windowTitle(), QStringLiteral("Quarlo Desk Lock Out"));
        hiddenWhileLocked();
        lock->close();
    });
    driver.unlock(QStringLiteral("wrong"), hiddenWhileLocked);
    driver.unlock(QStringLiteral("secret"), hiddenWhileLocked);
    driver.unlock(Password, hiddenWhileLocked);
    main().MainAction(QStringLiteral("LockQuarloDesk1"))->trigger();

    EXPECT_EQ(driver.shown.count(QStringLiteral("frmLockOut")), 4);
    EXPECT_EQ(messages, QStringList(2, QStringLiteral("Password incorrect")));
    EXPECT_TRUE(main().isVisible());
    EXPECT_TRUE(pane.isVisible());
    EXPECT_FALSE(main().Locked());
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
    EXPECT_TRUE(main().LockTimer().Enabled());
    EXPECT_FALSE(main().ClosingAfterLock());
}

// Close on the lock ends the program; a worksheet with unsaved text closes without asking.
TEST_F(Security, CloseFromLockEndsTheProgram)
{
    windowFactories().Worksheet = [](QWidget *owner, const TLogonValues &logon,
                                      const QString &text, bool asFile) -> QWidget * {
        return TSQLForm::CreateWorksheet(owner, logon, text, asFile);
    };
    ModalDriver driver;
    startSecured(driver);
    main().show();
    main().MainAction(QStringLiteral("SQLEditor1"))->trigger();
    ASSERT_EQ(children().size(), 1);
    auto *worksheet = dynamic_cast<TSQLForm *>(children().first()->widget());
    ASSERT_NE(worksheet, nullptr);
    worksheet->Editor()->setText(QStringLiteral("select * from dual"));
    worksheet->Editor()->setModified(true);
    ASSERT_TRUE(worksheet->Editor()->isModified());
    QPointer<QWidget> child = children().first();
    // Were the worksheet to ask after all, Cancel keeps the program open and the test fails.
    answer = mrCancel;

    driver.add([](QDialog *dialog) {
        auto *lock = qobject_cast<TfrmLockOut *>(dialog);
        ASSERT_NE(lock, nullptr);
        EXPECT_EQ(lock->btnClose()->toolTip(), QStringLiteral("Close Quarlo Desk"));
        QTest::mouseClick(lock->btnClose(), Qt::LeftButton);
    });
    QTimer::singleShot(0, [&] { main().LockApplication(); });
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(20000);
    // The program's own event loop: the lock's Close must end it.
    EXPECT_EQ(QApplication::exec(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(questions.isEmpty()) << questions.join(u'|').toStdString();
    EXPECT_TRUE(main().ClosingAfterLock());
    EXPECT_TRUE(child.isNull());
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
}

TEST_F(Security, LockTimerIsArmedFromTheSetting)
{
    struct Case {
        int minutes;
        bool secured;
        bool enabled;
        qint64 interval;
    };
    const Case cases[] = {
        { 60000, true, true, 50000LL * 60000 },
        { 3, true, true, 3 * 60000 },
        { 0, true, false, 0 },
        { 3, false, false, -1 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.minutes);
        writeSettings(c.secured, Password, c.minutes);
        {
            ModalDriver driver;
            if (c.secured)
                driver.prompt(Password);
            start();
        }
        EXPECT_EQ(main().LockTimer().Enabled(), c.enabled);
        if (c.interval >= 0) {
            EXPECT_EQ(main().LockTimer().Interval(), c.interval);
        }
        if (c.enabled) {
            // Far beyond what one QTimer can count, and still counting.
            const qint64 left = main().LockTimer().Deadline().remainingTime();
            EXPECT_GT(left, c.interval - 60000);
            EXPECT_LE(left, c.interval);
        }
        program.reset();
    }
}

// Key and mouse-button input restart the countdown; movement, the wheel and double clicks do
// not, and nothing is taken from the window it was meant for.
TEST_F(Security, InputRestartsTheCountdown)
{
    ModalDriver driver;
    startSecured(driver, 5);
    main().show();
    QLineEdit edit;
    edit.setContextMenuPolicy(Qt::NoContextMenu); // a right click must not open a menu
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    TLockTimer &timer = main().LockTimer();
    ASSERT_TRUE(timer.Enabled());

    auto deadline = [&] { return timer.Deadline().deadlineNSecs(); };
    auto waitALittle = [] { QTest::qWait(5); };

    qint64 before = deadline();
    waitALittle();
    QTest::mouseMove(&edit, QPoint(5, 5));
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&edit, &wheel);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5),
        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&edit, &doubleClick);
    EXPECT_EQ(deadline(), before);

    struct Input {
        const char *name;
        std::function<void()> send;
    };
    const Input inputs[] = {
        { "key", [&] { QTest::keyClick(&edit, Qt::Key_A); } },
        { "mouse press", [&] { QTest::mousePress(&edit, Qt::LeftButton); } },
        { "mouse release", [&] { QTest::mouseRelease(&edit, Qt::LeftButton); } },
        { "right button", [&] { QTest::mouseClick(&edit, Qt::RightButton); } },
    };
    for (const Input &input : inputs) {
        SCOPED_TRACE(input.name);
        before = deadline();
        waitALittle();
        input.send();
        EXPECT_GT(deadline(), before);
    }
    // The key still reached the edit box.
    EXPECT_EQ(edit.text(), QStringLiteral("a"));
}

// When the countdown runs out the program locks; the right password re-arms the timer from the
// setting.
TEST_F(Security, CountdownLocks)
{
    ModalDriver driver;
    startSecured(driver, 2);
    main().show();
    main().LockTimer().SetInterval(30);
    bool locked = false;
    driver.unlock(Password, [&] {
        locked = true;
        EXPECT_FALSE(main().isVisible());
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return locked && !main().Locked(); }, 10000));
    EXPECT_TRUE(locked);
    EXPECT_TRUE(main().isVisible());
    EXPECT_TRUE(main().LockTimer().Enabled());
    EXPECT_EQ(main().LockTimer().Interval(), 2 * 60000);
}

} // namespace
