#include "worksheet/VarPrompt.h"

#include "classlib/ThreadHandOver.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

using namespace qd;

namespace {

// How a test closes the window once it is shown.
enum class CloseBy { OkClick, EnterKey, CancelClick, EscapeKey, CloseBox };

void closeBy(TKXVarPrompt *prompt, CloseBy how)
{
    switch (how) {
    case CloseBy::OkClick:
        QTest::mouseClick(prompt->btnOK(), Qt::LeftButton);
        break;
    case CloseBy::EnterKey:
        QTest::keyClick(prompt->edtValue(), Qt::Key_Return);
        break;
    case CloseBy::CancelClick:
        QTest::mouseClick(prompt->btnCancel(), Qt::LeftButton);
        break;
    case CloseBy::EscapeKey:
        QTest::keyClick(prompt->edtValue(), Qt::Key_Escape);
        break;
    case CloseBy::CloseBox:
        prompt->close();
        break;
    }
}

// Answers prompts from a timer on the GUI thread, so it works inside the window's own modal loop.
// Each shown prompt gets the next step; past the deadline every prompt is rejected, so a test
// that goes wrong fails instead of hanging.
class PromptAnswerer {
public:
    using Step = std::function<void(TKXVarPrompt *)>;

    explicit PromptAnswerer(int deadlineMs = 10000)
        : m_deadlineMs(deadlineMs)
    {
        m_clock.start();
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    void add(Step step) { m_steps.push_back(std::move(step)); }
    // Waits this many GUI-thread ticks after a prompt appears before answering it.
    void setTicksBeforeAnswer(int ticks) { m_ticksBeforeAnswer = ticks; }

    int answered() const { return m_answered; }
    bool timedOut() const { return m_timedOut; }
    int ticksWhileShown() const { return m_ticksWhileShown; }

private:
    void poll()
    {
        auto *prompt = qobject_cast<TKXVarPrompt *>(QApplication::activeModalWidget());
        if (!prompt || !prompt->isVisible()) {
            m_ticksWhileShown = 0;
            return;
        }
        if (m_clock.elapsed() > m_deadlineMs || m_steps.empty()) {
            m_timedOut = m_timedOut || m_clock.elapsed() > m_deadlineMs || m_steps.empty();
            prompt->reject();
            return;
        }
        if (m_ticksWhileShown++ < m_ticksBeforeAnswer)
            return;
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        ++m_answered;
        m_ticksWhileShown = 0;
        step(prompt);
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_deadlineMs;
    std::deque<Step> m_steps;
    int m_ticksBeforeAnswer = 0;
    int m_ticksWhileShown = 0;
    int m_answered = 0;
    bool m_timedOut = false;
};

// Runs a job on a thread of its own (never the GUI thread) and waits for it with a limit while
// the GUI thread goes on processing events.
class Worker {
public:
    explicit Worker(std::function<void()> job)
        : m_state(std::make_shared<State>())
    {
        m_thread.reset(QThread::create([state = m_state, job = std::move(job)] {
            const ThreadRunScope scope(QThread::currentThread());
            state->threadId = QThread::currentThread();
            job();
            state->done = true;
        }));
        m_thread->start();
    }
    ~Worker()
    {
        // A failed test must not hang: keep processing events (the answerer rejects stray
        // prompts) for a bounded time; a thread that still runs then is left behind.
        QElapsedTimer clock;
        clock.start();
        while (!m_thread->wait(QDeadlineTimer(10)) && clock.elapsed() < 15000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (m_thread->isRunning()) {
            ADD_FAILURE() << "worker thread did not end";
            (void)m_thread.release();
        } else {
            ThreadJoined(m_thread.get());
        }
    }
    bool done() const { return m_state->done; }
    QThread *threadId() const { return m_state->threadId; }

private:
    struct State {
        std::atomic<bool> done { false };
        std::atomic<QThread *> threadId { nullptr };
    };
    std::shared_ptr<State> m_state;
    std::unique_ptr<QThread> m_thread;
};

bool waitUntil(const std::function<bool()> &condition, int limitMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

} // namespace

TEST(VarPrompt, DesignTextsAndControls)
{
    TKXVarPrompt prompt;
    EXPECT_EQ(prompt.windowTitle(), QStringLiteral("Substitution Variable"));
    EXPECT_EQ(prompt.lblPrompt()->text(), QStringLiteral("Enter value for variable"));
    EXPECT_EQ(prompt.btnOK()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(prompt.btnOK()->isDefault());
    EXPECT_EQ(prompt.btnCancel()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(prompt.lblPrompt()->objectName(), QStringLiteral("lblPrompt"));
    EXPECT_EQ(prompt.edtValue()->objectName(), QStringLiteral("edtValue"));
    EXPECT_EQ(prompt.emValue()->objectName(), QStringLiteral("emValue"));
    EXPECT_EQ(prompt.btnOK()->objectName(), QStringLiteral("btnOK"));
    EXPECT_TRUE(prompt.emValue()->isHidden());
    EXPECT_TRUE(prompt.Value().isEmpty());
}

// Caption, label, default text, focus and placement as the caller set them; the typed text is the
// answer.
TEST(VarPrompt, ExecuteShowsTheRequestAndReturnsTheTypedText)
{
    TKXVarPrompt prompt;
    PromptAnswerer answerer;
    QString title, label, shownDefault;
    bool focused = false, visibleText = false, centred = false;
    answerer.add([&](TKXVarPrompt *p) {
        title = p->windowTitle();
        label = p->lblPrompt()->text();
        shownDefault = p->edtValue()->text();
        focused = QApplication::focusWidget() == p->edtValue() || p->focusWidget() == p->edtValue();
        visibleText = p->edtValue()->echoMode() == QLineEdit::Normal;
        const QPoint screenCentre = p->screen()->availableGeometry().center();
        centred = (p->frameGeometry().center() - screenCentre).manhattanLength() <= 4;
        // The default is selected, so typing replaces it.
        QTest::keyClicks(p->edtValue(), QStringLiteral("scott"));
        closeBy(p, CloseBy::OkClick);
    });
    EXPECT_TRUE(prompt.Execute(QStringLiteral("Accept"), QStringLiteral("Enter a value for USR"),
        vpmNone, QStringLiteral("A10"), QStringLiteral("hr"), false));
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_EQ(title, QStringLiteral("Accept"));
    EXPECT_EQ(label, QStringLiteral("Enter a value for USR"));
    EXPECT_EQ(shownDefault, QStringLiteral("hr"));
    EXPECT_TRUE(focused);
    EXPECT_TRUE(visibleText);
    EXPECT_TRUE(centred);
    EXPECT_EQ(prompt.Value(), QStringLiteral("scott"));
}

// Only OK (the button or Enter on the default button) confirms; any other close keeps the last
// confirmed value and reports a cancel.
TEST(VarPrompt, OnlyOkConfirms)
{
    struct Case {
        CloseBy how;
        bool confirmed;
        const char *value;
    };
    const Case cases[] = {
        { CloseBy::OkClick, true, "new" },
        { CloseBy::EnterKey, true, "new" },
        { CloseBy::CancelClick, false, "old" },
        { CloseBy::EscapeKey, false, "old" },
        { CloseBy::CloseBox, false, "old" },
    };
    for (const Case &c : cases) {
        TKXVarPrompt prompt;
        PromptAnswerer answerer;
        answerer.add([](TKXVarPrompt *p) { closeBy(p, CloseBy::OkClick); });
        ASSERT_TRUE(prompt.Execute(QStringLiteral("C"), QStringLiteral("P"), vpmNone, QString(),
            QStringLiteral("old"), false));
        answerer.add([&](TKXVarPrompt *p) {
            p->edtValue()->setText(QStringLiteral("new"));
            closeBy(p, c.how);
        });
        EXPECT_EQ(prompt.Execute(QStringLiteral("C"), QStringLiteral("P"), vpmNone, QString(),
                      QStringLiteral("old"), false),
            c.confirmed)
            << int(c.how);
        EXPECT_EQ(prompt.Value(), QString::fromLatin1(c.value)) << int(c.how);
        EXPECT_EQ(answerer.answered(), 2) << int(c.how);
    }
}

TEST(VarPrompt, PasswordHidesTypedCharactersAndTheNextCallShowsThemAgain)
{
    TKXVarPrompt prompt;
    PromptAnswerer answerer;
    QString hidden, shown;
    answerer.add([&](TKXVarPrompt *p) {
        QTest::keyClicks(p->edtValue(), QStringLiteral("tiger"));
        hidden = p->edtValue()->displayText();
        closeBy(p, CloseBy::OkClick);
    });
    answerer.add([&](TKXVarPrompt *p) {
        QTest::keyClicks(p->edtValue(), QStringLiteral("lion"));
        shown = p->edtValue()->displayText();
        closeBy(p, CloseBy::OkClick);
    });
    ASSERT_TRUE(prompt.Execute(QStringLiteral("Secure Password Entry"),
        QStringLiteral("Enter Security Password"), vpmNone, QString(), QString(), true));
    EXPECT_EQ(prompt.Value(), QStringLiteral("tiger"));
    EXPECT_EQ(hidden.size(), 5);
    EXPECT_FALSE(hidden.contains(u't'));
    EXPECT_EQ(hidden, QString(5, hidden.at(0)));
    ASSERT_TRUE(prompt.Execute(
        QStringLiteral("C"), QStringLiteral("P"), vpmNone, QString(), QString(), false));
    EXPECT_EQ(shown, QStringLiteral("lion"));
}

// The hidden masked box follows the data type of the request.
TEST(VarPrompt, MaskKindSetsTheHiddenBoxMask)
{
    struct Case {
        quint8 kind;
        const char *digits;
        const char *accepted;
    };
    const Case cases[] = {
        { vpmNumber, "12ab34", "1234" },
        { vpmNone, "12ab34", "12ab34" },
        { vpmDate, "3112ab2024", "31/12/2024" },
    };
    for (const Case &c : cases) {
        TKXVarPrompt prompt;
        PromptAnswerer answerer;
        QString typed;
        answerer.add([&](TKXVarPrompt *p) {
            p->emValue()->setCursorPosition(0);
            QTest::keyClicks(p->emValue(), QString::fromLatin1(c.digits));
            typed = p->emValue()->text();
            closeBy(p, CloseBy::OkClick);
        });
        ASSERT_TRUE(prompt.Execute(
            QStringLiteral("C"), QStringLiteral("P"), c.kind, QString(), QString(), false));
        EXPECT_EQ(typed, QString::fromLatin1(c.accepted)) << int(c.kind);
    }
}

// A run's worker asks; the window shows on the GUI thread, which keeps processing events while
// the worker waits for the answer.
TEST(VarPrompt, AskedFromAWorkerShowsOnTheGuiThread)
{
    TKXVarPrompt prompt;
    PromptAnswerer answerer;
    answerer.setTicksBeforeAnswer(5);
    QThread *shownOn = nullptr;
    bool workerWaited = false;
    std::optional<QString> answer;
    std::unique_ptr<Worker> worker;
    answerer.add([&](TKXVarPrompt *p) {
        shownOn = QThread::currentThread();
        workerWaited = !worker->done();
        p->edtValue()->setText(QStringLiteral("42"));
        closeBy(p, CloseBy::OkClick);
    });
    worker = std::make_unique<Worker>([&] {
        answer = prompt.Ask(QStringLiteral("Substitution Variable"),
            QStringLiteral("Enter a value for N"), vpmNone, QString(), QString(), false);
    });
    ASSERT_TRUE(waitUntil([&] { return worker->done(); }));
    EXPECT_FALSE(answerer.timedOut());
    EXPECT_EQ(shownOn, QApplication::instance()->thread());
    EXPECT_NE(worker->threadId(), QApplication::instance()->thread());
    EXPECT_TRUE(workerWaited);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, QStringLiteral("42"));
    EXPECT_EQ(prompt.Value(), QStringLiteral("42"));
}

// Asking on the GUI thread itself shows the window directly instead of waiting for itself.
TEST(VarPrompt, AskedOnTheGuiThreadShowsDirectly)
{
    TKXVarPrompt prompt;
    PromptAnswerer answerer;
    answerer.add([](TKXVarPrompt *p) {
        p->edtValue()->setText(QStringLiteral("direct"));
        closeBy(p, CloseBy::EnterKey);
    });
    answerer.add([](TKXVarPrompt *p) { closeBy(p, CloseBy::EscapeKey); });
    EXPECT_EQ(
        prompt.Ask(QStringLiteral("C"), QStringLiteral("P"), vpmNone, QString(), QString(), false),
        std::optional<QString>(QStringLiteral("direct")));
    EXPECT_EQ(
        prompt.Ask(QStringLiteral("C"), QStringLiteral("P"), vpmNone, QString(), QString(), false),
        std::nullopt);
    EXPECT_FALSE(answerer.timedOut());
}

// Substitution from a run's worker: unset names are asked in the window, "&&" answers are kept,
// and every occurrence gets its value.
TEST(VarPrompt, WorkerSubstitutionAsksUnsetVariables)
{
    TKXVarPrompt prompt;
    PromptAnswerer answerer;
    QStringList titles, labels;
    const QStringList answers { QStringLiteral("emp"), QStringLiteral("10"), QStringLiteral("20") };
    for (const QString &a : answers)
        answerer.add([&, a](TKXVarPrompt *p) {
            titles << p->windowTitle();
            labels << p->lblPrompt()->text();
            p->edtValue()->setText(a);
            closeBy(p, CloseBy::OkClick);
        });
    TKXVars vars;
    vars.SetVar(QStringLiteral("col"), kvkSubstitution, Variant(QStringLiteral("deptno")));
    TStringList lines;
    lines.Add(QStringLiteral("select &col from &&tab"));
    lines.Add(QStringLiteral("where &col in (&v, &v) and x = '&&tab.x'"));
    bool ok = false;
    const TSubVarAsker ask = prompt.SubstitutionAsker();
    {
        Worker worker([&] { ok = SubstituteVariables(lines, vars, ask); });
        ASSERT_TRUE(waitUntil([&] { return worker.done(); }));
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(lines[0], QStringLiteral("select deptno from emp"));
    EXPECT_EQ(lines[1], QStringLiteral("where deptno in (10, 20) and x = 'empx'"));
    EXPECT_EQ(titles, QStringList(3, QStringLiteral("Substitution Variable")));
    EXPECT_EQ(labels,
        (QStringList { QStringLiteral("Enter a value for TAB"),
            QStringLiteral("Enter a value for V"), QStringLiteral("Enter a value for V") }));
    EXPECT_EQ(vars.GetValue(QStringLiteral("TAB")).AsString(), QStringLiteral("emp"));
    EXPECT_FALSE(vars.Exists(QStringLiteral("V")));
    EXPECT_FALSE(answerer.timedOut());
}

// Cancel in the window ends the run: the statement and the variables stay as they were, so no
// "&name" reaches the server and no answer of the cancelled statement is kept.
TEST(VarPrompt, CancelFromTheWorkerEndsTheRun)
{
    TKXVarPrompt prompt;
    PromptAnswerer answerer;
    answerer.add([](TKXVarPrompt *p) {
        p->edtValue()->setText(QStringLiteral("1"));
        closeBy(p, CloseBy::OkClick);
    });
    answerer.add([](TKXVarPrompt *p) {
        p->edtValue()->setText(QStringLiteral("2"));
        closeBy(p, CloseBy::CancelClick);
    });
    TKXVars vars;
    TStringList lines;
    lines.Add(QStringLiteral("select &&a, &b from dual"));
    bool ok = true;
    const TSubVarAsker ask = prompt.SubstitutionAsker();
    {
        Worker worker([&] { ok = SubstituteVariables(lines, vars, ask); });
        ASSERT_TRUE(waitUntil([&] { return worker.done(); }));
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(answerer.answered(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("select &&a, &b from dual"));
    EXPECT_EQ(vars.Count(), 0);
}

// The window may go away (its worksheet closed) while a worker waits: the worker is released
// with no answer instead of waiting for ever.
TEST(VarPrompt, WindowDestroyedWhileTheWorkerWaitsReleasesIt)
{
    auto *prompt = new TKXVarPrompt;
    const TSubVarAsker ask = prompt->SubstitutionAsker();
    PromptAnswerer answerer;
    answerer.add([](TKXVarPrompt *p) { delete p; });
    std::optional<QString> first = QStringLiteral("unset");
    std::optional<QString> second = QStringLiteral("unset");
    {
        Worker worker([&] {
            first = ask(QStringLiteral("Enter a value for A"), QStringLiteral("A"));
            // Asked again once the window is gone: no answer at once.
            second = ask(QStringLiteral("Enter a value for A"), QStringLiteral("A"));
        });
        ASSERT_TRUE(waitUntil([&] { return worker.done(); }));
    }
    EXPECT_EQ(answerer.answered(), 1);
    EXPECT_EQ(first, std::nullopt);
    EXPECT_EQ(second, std::nullopt);
}
