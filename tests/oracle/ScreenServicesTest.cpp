#include "oracle/ScreenServices.h"
#include "classlib/Exception.h"
#include "shell/QtScreenServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

using namespace qd;

namespace {

// Waits (running the event loop) for the next modal message box and hands it to act.
// Records the thread the box lives in.
class MessageBoxAnswer : public QObject {
public:
    explicit MessageBoxAnswer(std::function<void(QMessageBox *)> act)
        : m_act(std::move(act))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            m_timer.stop();
            boxThread = box->thread();
            text = box->text();
            buttons = box->standardButtons();
            m_act(box);
            answered = true;
        });
        m_timer.start();
    }
    QThread *boxThread = nullptr;
    QString text;
    QMessageBox::StandardButtons buttons;
    bool answered = false;

private:
    QTimer m_timer;
    std::function<void(QMessageBox *)> m_act;
};

class QtScreenServicesTest : public ::testing::Test {
protected:
    void SetUp() override { QtScreenServices::install(); }
    void TearDown() override
    {
        QtScreenServices::uninstall();
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
};

} // namespace

TEST(ScreenServicesHooks, DefaultsNeedNoUserInterface)
{
    ResetScreenServices();
    EXPECT_EQ(ScreenConfirm(QStringLiteral("Continue?"), QStringLiteral("YN")), mrNone);
    SetScreenCursor(crSQLWait);
    EXPECT_EQ(GetScreenCursor(), crSQLWait);
    {
        ScreenCursorSaver busy(crHourGlass);
        EXPECT_EQ(GetScreenCursor(), crHourGlass);
    }
    EXPECT_EQ(GetScreenCursor(), crSQLWait);
    {
        ScreenCursorSaver none(crDefault); // a Cursor of 0 leaves the screen alone
        EXPECT_EQ(GetScreenCursor(), crSQLWait);
    }
    SetScreenCursor(crDefault);
    EXPECT_EQ(ApplicationComponentCount(), 0);
    EXPECT_EQ(ApplicationComponent(0), nullptr);
}

TEST(ScreenServicesHooks, InstalledHooksReplaceOnlyWhatTheyGive)
{
    QString asked;
    ScreenServices hooks;
    hooks.confirm = [&](const QString &message, const QString &buttons) {
        asked = message + QLatin1Char('|') + buttons;
        return int(mrYes);
    };
    QString shown;
    hooks.showException = [&](std::exception_ptr e) { shown = ExceptionMessage(e); };
    InstallScreenServices(hooks);
    EXPECT_EQ(ScreenConfirm(QStringLiteral("Sure?"), QStringLiteral("YNC")), mrYes);
    EXPECT_EQ(asked, QStringLiteral("Sure?|YNC"));
    try {
        throw Exception(QStringLiteral("ORA-00942: table or view does not exist"));
    } catch (...) {
        ShowCurrentException();
    }
    EXPECT_EQ(shown, QStringLiteral("ORA-00942: table or view does not exist"));
    SetScreenCursor(crHourGlass); // default cursor hook still there
    EXPECT_EQ(GetScreenCursor(), crHourGlass);
    ResetScreenServices();
    SetScreenCursor(crDefault);
    EXPECT_EQ(ScreenConfirm(QStringLiteral("Sure?"), QStringLiteral("Y")), mrNone);
}

TEST_F(QtScreenServicesTest, ConfirmShowsTheButtonsOfItsLetters)
{
    struct Case {
        const char *letters;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton click;
        int result;
    };
    const Case cases[] = {
        { "YNC", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No, mrNo },
        { "CY", QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel, mrCancel },
        { "OI", QMessageBox::Ok | QMessageBox::Ignore, QMessageBox::Ignore, mrIgnore },
        { "yn", QMessageBox::Ok, QMessageBox::Ok, mrOk }, // letters are case-sensitive
    };
    for (const Case &c : cases) {
        MessageBoxAnswer answer([&](QMessageBox *box) { box->button(c.click)->click(); });
        EXPECT_EQ(ScreenConfirm(QStringLiteral("Apply?"), QString::fromLatin1(c.letters)), c.result)
            << c.letters;
        EXPECT_TRUE(answer.answered);
        EXPECT_EQ(answer.buttons, c.buttons) << c.letters;
        EXPECT_EQ(answer.text, QStringLiteral("Apply?"));
    }

    MessageBoxAnswer all([](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons())
            if (button->text().remove(QLatin1Char('&')) == QLatin1String("All"))
                button->click();
    });
    EXPECT_EQ(ScreenConfirm(QStringLiteral("Apply?"), QStringLiteral("YA")), mrAll);
}

TEST_F(QtScreenServicesTest, WorkerConfirmationIsAskedOnTheGuiThread)
{
    MessageBoxAnswer answer([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
    std::atomic<int> result { -1 };
    std::atomic<bool> done { false };
    std::thread worker([&] {
        result = ScreenConfirm(QStringLiteral("From a worker"), QStringLiteral("YN"));
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
    worker.join();
    EXPECT_EQ(result.load(), mrYes);
    EXPECT_EQ(answer.boxThread, QApplication::instance()->thread());
}

TEST_F(QtScreenServicesTest, CursorFromAWorkerIsAppliedOnTheGuiThread)
{
    std::thread worker([] { SetScreenCursor(crSQLWait); });
    worker.join();
    EXPECT_EQ(GetScreenCursor(), crSQLWait);
    EXPECT_TRUE(QTest::qWaitFor([] { return QGuiApplication::overrideCursor() != nullptr; }, 2000));
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    SetScreenCursor(crAppStart); // on the GUI thread: at once
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    SetScreenCursor(crDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(QtScreenServicesTest, ExceptionFromAWorkerIsShownOnTheGuiThread)
{
    MessageBoxAnswer answer([](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); });
    std::thread worker([] {
        try {
            throw Exception(QStringLiteral("Lost connection"));
        } catch (...) {
            ShowCurrentException();
        }
    });
    worker.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.answered; }, 5000));
    EXPECT_EQ(answer.text, QStringLiteral("Lost connection"));
    EXPECT_EQ(answer.boxThread, QApplication::instance()->thread());
}

TEST_F(QtScreenServicesTest, ComponentsAreWindowsAndOnlyForTheGuiThread)
{
    QWidget window;
    window.setObjectName(QStringLiteral("mainWindow"));
    const int count = ApplicationComponentCount();
    bool found = false;
    for (int i = 0; i < count; ++i)
        found = found || ApplicationComponent(i) == &window;
    EXPECT_TRUE(found);
    EXPECT_EQ(ApplicationComponent(count), nullptr);

    int fromWorker = -1;
    QObject *componentFromWorker = &window;
    std::thread worker([&] {
        fromWorker = ApplicationComponentCount();
        componentFromWorker = ApplicationComponent(0);
    });
    worker.join();
    EXPECT_EQ(fromWorker, 0);
    EXPECT_EQ(componentFromWorker, nullptr);
}
