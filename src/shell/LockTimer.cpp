#include "shell/LockTimer.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <climits>

namespace qd {

namespace {
// The longest step a QTimer takes in one go.
constexpr qint64 MaxStep = INT_MAX;
}

TLockTimer::TLockTimer(QObject *parent)
    : QObject(parent)
{
    m_step.setSingleShot(true);
    m_step.setTimerType(Qt::CoarseTimer);
    connect(&m_step, &QTimer::timeout, this, [this] { wake(); });
}

void TLockTimer::SetEnabled(bool value)
{
    if (value == m_enabled)
        return;
    m_enabled = value;
    restart();
}

void TLockTimer::SetInterval(qint64 value)
{
    value = std::max<qint64>(0, value);
    if (value == m_interval)
        return;
    m_interval = value;
    restart();
}

void TLockTimer::restart()
{
    m_step.stop();
    if (!m_enabled || m_interval <= 0) {
        m_deadline = QDeadlineTimer(QDeadlineTimer::Forever);
        return;
    }
    m_deadline = QDeadlineTimer(m_interval);
    m_step.start(int(std::min(m_interval, MaxStep)));
}

void TLockTimer::wake()
{
    if (!m_enabled)
        return;
    const qint64 left = m_deadline.remainingTime();
    if (left > 0) {
        m_step.start(int(std::min(left, MaxStep)));
        return;
    }
    // As a periodic timer: the next countdown starts now unless the handler changes it.
    m_deadline = QDeadlineTimer(m_interval);
    m_step.start(int(std::min(m_interval, MaxStep)));
    if (OnTimer)
        OnTimer(this);
}

TActivityFilter::TActivityFilter(std::function<void()> onActivity, QObject *parent)
    : QObject(parent)
    , m_onActivity(std::move(onActivity))
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

TActivityFilter::~TActivityFilter()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool TActivityFilter::isActivity(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        return true;
    default:
        return false;
    }
}

bool TActivityFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (isActivity(event) && m_onActivity)
        m_onActivity();
    return QObject::eventFilter(watched, event);
}

} // namespace qd
