#include "DateTimeUtils.h"

#include "Exception.h"

#include <cmath>

namespace qd {

namespace {

constexpr qint64 MSecsPerDay = 86400000;
// Julian day number of 1899-12-30, day 0 of the day count.
constexpr qint64 DayZeroJulian = 2415019;

// Splits a day count into a day offset and milliseconds of the day, rounding to the millisecond.
void split(double dateTime, qint64 &days, qint64 &msecs)
{
    if (!std::isfinite(dateTime) || dateTime < MinDateTime || dateTime > MaxDateTime + 1e-9)
        throw EConvertError(QStringLiteral("Invalid argument to date decode"));
    const double whole = std::trunc(dateTime);
    days = static_cast<qint64>(whole);
    msecs = std::llround(std::fabs(dateTime - whole) * MSecsPerDay);
    if (msecs >= MSecsPerDay) {
        // 23:59:59.9996 is shown as midnight of the following day, never as hour 24.
        msecs -= MSecsPerDay;
        days += 1;
    }
}

} // namespace

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
    static constexpr int days[12] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, double &result)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1
        || day > DaysInMonth(year, month))
        return false;
    result = static_cast<double>(QDate(year, month, day).toJulianDay() - DayZeroJulian);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, double &result)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0
        || msec > 999)
        return false;
    const qint64 ms = ((hour * 60 + minute) * 60 + second) * qint64(1000) + msec;
    result = static_cast<double>(ms) / MSecsPerDay;
    return true;
}

double EncodeDate(int year, int month, int day)
{
    double result = 0;
    if (!TryEncodeDate(year, month, day, result))
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return result;
}

double EncodeTime(int hour, int minute, int second, int msec)
{
    double result = 0;
    if (!TryEncodeTime(hour, minute, second, msec, result))
        throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return result;
}

double ComposeDateTime(double date, double time)
{
    const double day = std::trunc(date);
    const double fraction = std::fabs(time - std::trunc(time));
    return day < 0 ? day - fraction : day + fraction;
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec)
{
    return ComposeDateTime(EncodeDate(year, month, day), EncodeTime(hour, minute, second, msec));
}

void DecodeDate(double dateTime, int &year, int &month, int &day)
{
    qint64 days = 0, msecs = 0;
    split(dateTime, days, msecs);
    QDate::fromJulianDay(DayZeroJulian + days).getDate(&year, &month, &day);
}

void DecodeTime(double dateTime, int &hour, int &minute, int &second, int &msec)
{
    qint64 days = 0, msecs = 0;
    split(dateTime, days, msecs);
    msec = static_cast<int>(msecs % 1000);
    second = static_cast<int>(msecs / 1000 % 60);
    minute = static_cast<int>(msecs / 60000 % 60);
    hour = static_cast<int>(msecs / 3600000);
}

void DecodeDateTime(double dateTime, int &year, int &month, int &day, int &hour, int &minute,
    int &second, int &msec)
{
    DecodeDate(dateTime, year, month, day);
    DecodeTime(dateTime, hour, minute, second, msec);
}

QDate DateTimeToQDate(double dateTime)
{
    qint64 days = 0, msecs = 0;
    split(dateTime, days, msecs);
    return QDate::fromJulianDay(DayZeroJulian + days);
}

QTime DateTimeToQTime(double dateTime)
{
    qint64 days = 0, msecs = 0;
    split(dateTime, days, msecs);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs));
}

QDateTime DateTimeToQDateTime(double dateTime)
{
    qint64 days = 0, msecs = 0;
    split(dateTime, days, msecs);
    return QDateTime(QDate::fromJulianDay(DayZeroJulian + days),
        QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs)));
}

double QDateToDateTime(QDate value)
{
    if (!value.isValid())
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return EncodeDate(value.year(), value.month(), value.day());
}

double QTimeToDateTime(QTime value)
{
    if (!value.isValid())
        throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return EncodeTime(value.hour(), value.minute(), value.second(), value.msec());
}

double QDateTimeToDateTime(const QDateTime &value)
{
    if (!value.isValid())
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return ComposeDateTime(QDateToDateTime(value.date()), QTimeToDateTime(value.time()));
}

} // namespace qd
