#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace qd {

// The main window's idle timer. Its interval may be far longer than a QTimer can count (50000
// minutes), so it keeps a deadline and wakes in steps that a QTimer can take until the
// deadline has passed. Disabling and enabling again starts the countdown afresh.
class TLockTimer : public QObject {
    Q_OBJECT

public:
    explicit TLockTimer(QObject *parent = nullptr);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    // Milliseconds; 0 never fires.
    qint64 Interval() const { return m_interval; }
    void SetInterval(qint64 value);
    // When the running countdown ends; a forever deadline while disabled.
    QDeadlineTimer Deadline() const { return m_deadline; }

    // Called once the interval has passed with the timer enabled.
    std::function<void(TLockTimer *sender)> OnTimer;

private:
    void restart();
    void wake();

    QTimer m_step;
    bool m_enabled = false;
    qint64 m_interval = 0;
    QDeadlineTimer m_deadline { QDeadlineTimer::Forever };
};

// Watches the application's input for the lock timer: key and mouse-button presses and
// releases count as activity (not mouse movement, the wheel or double clicks). The events are
// only looked at, never consumed.
class TActivityFilter : public QObject {
    Q_OBJECT

public:
    explicit TActivityFilter(std::function<void()> onActivity, QObject *parent = nullptr);
    ~TActivityFilter() override;

    static bool isActivity(const QEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_onActivity;
};

} // namespace qd
