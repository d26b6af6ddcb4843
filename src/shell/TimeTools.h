#pragma once

#include <QDateTime>
#include <QString>

namespace qd {

// A point in time as a day number and the milliseconds of that day.
struct TTimeStamp {
    qint64 Date = 0;
    int Time = 0;
};

TTimeStamp DateTimeToTimeStamp(const QDateTime &value);
TTimeStamp NowTimeStamp();

// (stop day - start day) * 86400000 + (stop milliseconds - start milliseconds).
qint64 TimeStampDiffMs(const TTimeStamp &start, const TTimeStamp &stop);

// "1h 2m 3s 4ms": the milliseconds always, days, hours, minutes and seconds only when not 0.
// A negative count counts as 0.
QString ElapsedTimeText(qint64 milliseconds);

} // namespace qd
