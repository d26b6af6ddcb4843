#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace qd;

TEST(DateTimeUtils, LeapYearsAndMonthLengths)
{
    struct Case {
        int year;
        bool leap;
    };
    const Case years[] = { { 1900, false }, { 2000, true }, { 2004, true }, { 2100, false },
        { 2023, false }, { 1600, true }, { 4, true }, { 1, false } };
    for (const Case &c : years)
        EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;

    struct Month {
        int year, month, days;
    };
    const Month months[] = { { 2000, 2, 29 }, { 1900, 2, 28 }, { 2023, 1, 31 }, { 2023, 4, 30 },
        { 2023, 12, 31 }, { 2023, 0, 0 }, { 2023, 13, 0 } };
    for (const Month &m : months)
        EXPECT_EQ(DaysInMonth(m.year, m.month), m.days) << m.year << "-" << m.month;
}

TEST(DateTimeUtils, EncodesDaysSinceDayZero)
{
    struct Case {
        int year, month, day;
        double days;
    };
    const Case cases[] = {
        { 1899, 12, 30, 0 },
        { 1899, 12, 31, 1 },
        { 1900, 1, 1, 2 },
        { 1899, 12, 29, -1 },
        { 2000, 1, 1, 36526 },
        { 1900, 3, 1, 61 },
        { 1, 1, 1, -693593 },
        { 9999, 12, 31, 2958465 },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.days);
        int y = 0, m = 0, d = 0;
        DecodeDate(c.days, y, m, d);
        EXPECT_EQ(y, c.year);
        EXPECT_EQ(m, c.month);
        EXPECT_EQ(d, c.day);
    }
}

TEST(DateTimeUtils, InvalidDatesAndTimesRaise)
{
    struct Case {
        int year, month, day;
    };
    const Case dates[] = { { 2001, 2, 29 }, { 2000, 2, 30 }, { 2000, 4, 31 }, { 2000, 0, 1 },
        { 2000, 13, 1 }, { 2000, 1, 0 }, { 0, 1, 1 }, { 10000, 1, 1 } };
    for (const Case &c : dates) {
        try {
            EncodeDate(c.year, c.month, c.day);
            ADD_FAILURE() << "no error for " << c.year << "-" << c.month << "-" << c.day;
        } catch (const EConvertError &e) {
            EXPECT_EQ(e.Message(), "Invalid argument to date encode");
        }
        double out = 42;
        EXPECT_FALSE(TryEncodeDate(c.year, c.month, c.day, out));
        EXPECT_EQ(out, 42);
    }

    struct Time {
        int h, m, s, ms;
    };
    const Time times[]
        = { { 24, 0, 0, 0 }, { 0, 60, 0, 0 }, { 0, 0, 60, 0 }, { 0, 0, 0, 1000 }, { -1, 0, 0, 0 } };
    for (const Time &t : times)
        EXPECT_THROW(EncodeTime(t.h, t.m, t.s, t.ms), EConvertError);

    const double bad[] = { std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(), MinDateTime - 1, MaxDateTime + 1, 1e300 };
    for (double v : bad) {
        int a = 0, b = 0, c = 0, d = 0;
        EXPECT_THROW(DecodeDate(v, a, b, c), EConvertError) << v;
        EXPECT_THROW(DecodeTime(v, a, b, c, d), EConvertError) << v;
        EXPECT_THROW(DateTimeToQDateTime(v), EConvertError) << v;
    }
}

TEST(DateTimeUtils, TimeOfDayAndNegativeValues)
{
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
    EXPECT_DOUBLE_EQ(EncodeTime(0, 0, 0, 1), 1.0 / 86400000);

    struct Case {
        double value;
        int year, month, day, hour, minute, second, msec;
    };
    const Case cases[] = {
        { 0.5, 1899, 12, 30, 12, 0, 0, 0 },
        // The integer part names the day, the fraction is the time of that day.
        { -0.5, 1899, 12, 30, 12, 0, 0, 0 },
        { -1.25, 1899, 12, 29, 6, 0, 0, 0 },
        { -2.75, 1899, 12, 28, 18, 0, 0, 0 },
        { 36526.0 + 45296789.0 / 86400000, 2000, 1, 1, 12, 34, 56, 789 },
        // Rounds up to midnight: carried into the next day, never hour 24.
        { 36526.99999999999, 2000, 1, 2, 0, 0, 0, 0 },
        { -1.99999999999, 1899, 12, 30, 0, 0, 0, 0 },
        // Day one: its times are subtracted from its midnight and must still decode.
        { -693593.5, 1, 1, 1, 12, 0, 0, 0 },
        { MinDateTime, 1, 1, 1, 23, 59, 59, 999 },
    };
    for (const Case &c : cases) {
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
        DecodeDateTime(c.value, y, mo, d, h, mi, s, ms);
        EXPECT_EQ(QDate(y, mo, d), QDate(c.year, c.month, c.day)) << c.value;
        EXPECT_EQ(QTime(h, mi, s, ms), QTime(c.hour, c.minute, c.second, c.msec)) << c.value;
    }

    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 6, 0, 0, 0), 0.25);
    EXPECT_DOUBLE_EQ(ComposeDateTime(-3.0, 0.5), -3.5);
    EXPECT_DOUBLE_EQ(ComposeDateTime(3.0, 0.5), 3.5);
}

TEST(DateTimeUtils, QtEdgesRoundTrip)
{
    const QDateTime samples[] = {
        QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999)),
        QDateTime(QDate(1899, 12, 30), QTime(0, 0)),
        QDateTime(QDate(1850, 6, 15), QTime(8, 30, 15, 5)),
        QDateTime(QDate(1, 1, 1), QTime(0, 0)),
        QDateTime(QDate(1, 1, 1), QTime(12, 0)),
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999)),
    };
    for (const QDateTime &dt : samples) {
        const double days = QDateTimeToDateTime(dt);
        EXPECT_EQ(DateTimeToQDateTime(days), dt) << qPrintable(dt.toString(Qt::ISODateWithMs));
        EXPECT_EQ(DateTimeToQDate(days), dt.date());
        EXPECT_EQ(DateTimeToQTime(days), dt.time());
    }
    EXPECT_DOUBLE_EQ(QDateTimeToDateTime(QDateTime(QDate(1899, 12, 29), QTime(18, 0))), -1.75);
    EXPECT_DOUBLE_EQ(QDateToDateTime(QDate(2000, 1, 1)), 36526.0);
    EXPECT_DOUBLE_EQ(QTimeToDateTime(QTime(18, 0)), 0.75);
    // A UTC value gives its own wall-clock time, not a time-zone shifted one.
    EXPECT_DOUBLE_EQ(
        QDateTimeToDateTime(QDateTime(QDate(2000, 1, 1), QTime(6, 0), Qt::UTC)), 36526.25);
    EXPECT_THROW(QDateTimeToDateTime(QDateTime()), EConvertError);
    EXPECT_THROW(QDateToDateTime(QDate()), EConvertError);
    EXPECT_THROW(QDateToDateTime(QDate(-5, 1, 1)), EConvertError);
}
