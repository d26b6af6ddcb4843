#include "shell/TimeTools.h"

namespace qd {

TTimeStamp DateTimeToTimeStamp(const QDateTime &value)
{
    return TTimeStamp { value.date().toJulianDay(), value.time().msecsSinceStartOfDay() };
}

TTimeStamp NowTimeStamp()
{
    return DateTimeToTimeStamp(QDateTime::currentDateTime());
}

qint64 TimeStampDiffMs(const TTimeStamp &start, const TTimeStamp &stop)
{
    return (stop.Date - start.Date) * 86400000 + (qint64(stop.Time) - qint64(start.Time));
}

QString ElapsedTimeText(qint64 milliseconds)
{
    const qint64 n = qMax<qint64>(milliseconds, 0);
    const qint64 ms = n % 1000;
    const qint64 s = (n / 1000) % 60;
    const qint64 m = (n / 60000) % 60;
    const qint64 h = (n / 3600000) % 24;
    const qint64 d = n / 86400000;
    QString text = QString::number(ms) + QStringLiteral("ms");
    if (s != 0)
        text.prepend(QString::number(s) + QStringLiteral("s "));
    if (m != 0)
        text.prepend(QString::number(m) + QStringLiteral("m "));
    if (h != 0)
        text.prepend(QString::number(h) + QStringLiteral("h "));
    if (d != 0)
        text.prepend(QString::number(d) + QStringLiteral("d "));
    return text;
}

} // namespace qd
