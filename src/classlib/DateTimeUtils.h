#pragma once

#include <QDateTime>

namespace qd {

// Date-time values are day counts: days since 1899-12-30 as a double, the fraction being the
// time of day. For negative values the integer part still names the day and the fraction is the
// absolute time of day, so -1.25 is 1899-12-29 06:00 (not 1899-12-28 18:00).

// Smallest and largest day counts the helpers accept: 0001-01-01 00:00 .. 9999-12-31 23:59:59.999.
// The times of day one are subtracted from it (the sign rule), so they lie below its midnight.
inline constexpr double MinDateTime = -693593.99999999;
inline constexpr double MaxDateTime = 2958465.99999999;

bool IsLeapYear(int year);
// Days of the month; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// EConvertError "Invalid argument to date encode" outside 0001-01-01 .. 9999-12-31 or for a day
// the month does not have (Feb 30).
double EncodeDate(int year, int month, int day);
// EConvertError "Invalid argument to time encode" unless hour < 24, minute < 60, second < 60
// and msec < 1000.
double EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, double &result);
bool TryEncodeTime(int hour, int minute, int second, int msec, double &result);
// Joins a day (its integer part) and a time of day (its fraction) by the sign rule above.
double ComposeDateTime(double date, double time);
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);

// Both raise EConvertError "Invalid argument to date decode" for NaN, infinities and values
// outside MinDateTime .. MaxDateTime. The time is rounded to the millisecond; a time that
// rounds up to 24:00 carries into the next day.
void DecodeDate(double dateTime, int &year, int &month, int &day);
void DecodeTime(double dateTime, int &hour, int &minute, int &second, int &msec);
void DecodeDateTime(double dateTime, int &year, int &month, int &day, int &hour, int &minute,
    int &second, int &msec);

// Edges to Qt. A day count has no time zone: it becomes a local wall-clock QDateTime, and a
// QDateTime gives its own wall-clock date and time, whatever its time spec.
QDateTime DateTimeToQDateTime(double dateTime);
double QDateTimeToDateTime(const QDateTime &value);
QDate DateTimeToQDate(double dateTime);
double QDateToDateTime(QDate value);
QTime DateTimeToQTime(double dateTime);
double QTimeToDateTime(QTime value);

} // namespace qd
