#include "oracle/OracleDate.h"
#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"

#include <gtest/gtest.h>

#include <array>

using namespace qd;

namespace {

using Bytes = std::array<ub1, 7>;

Bytes encode(double dateTime)
{
    Bytes b {};
    EncodeOracleDate(dateTime, b.data());
    return b;
}

} // namespace

TEST(OracleDate, EncodesTheSevenByteLayoutAndRoundTripsAcrossCenturies)
{
    const struct {
        int y, mo, d, h, mi, s;
        Bytes bytes;
    } cases[] = {
        { 2024, 2, 29, 13, 45, 30, { 120, 124, 2, 29, 14, 46, 31 } },
        { 1899, 12, 30, 0, 0, 0, { 118, 199, 12, 30, 1, 1, 1 } },
        { 1899, 12, 29, 6, 0, 0, { 118, 199, 12, 29, 7, 1, 1 } },
        { 1850, 6, 15, 18, 30, 5, { 118, 150, 6, 15, 19, 31, 6 } },
        { 1600, 3, 1, 23, 59, 59, { 116, 100, 3, 1, 24, 60, 60 } },
        { 1066, 10, 14, 9, 0, 0, { 110, 166, 10, 14, 10, 1, 1 } },
        { 1, 1, 1, 0, 0, 0, { 100, 101, 1, 1, 1, 1, 1 } },
        // Day one's times lie below its midnight in the day count (the sign rule).
        { 1, 1, 1, 12, 30, 15, { 100, 101, 1, 1, 13, 31, 16 } },
        { 1, 1, 1, 23, 59, 59, { 100, 101, 1, 1, 24, 60, 60 } },
        { 2000, 1, 1, 0, 0, 1, { 120, 100, 1, 1, 1, 1, 2 } },
        { 9999, 12, 31, 23, 59, 59, { 199, 199, 12, 31, 24, 60, 60 } },
    };
    for (const auto &c : cases) {
        const double value = EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s, 0);
        const Bytes bytes = encode(value);
        EXPECT_EQ(bytes, c.bytes) << c.y << "-" << c.mo << "-" << c.d;
        EXPECT_DOUBLE_EQ(DecodeOracleDate(c.bytes.data()), value) << c.y << "-" << c.mo;
    }
}

TEST(OracleDate, MillisecondsAreDropped)
{
    const double value = EncodeDateTime(2020, 5, 17, 12, 0, 0, 750);
    EXPECT_EQ(encode(value)[6], 1);
    EXPECT_DOUBLE_EQ(
        DecodeOracleDate(encode(value).data()), EncodeDateTime(2020, 5, 17, 12, 0, 0, 0));
}

TEST(OracleDate, ImpossibleStoredDatesDecodeToTheMarkerDay)
{
    const double marker = -693594.0;
    const struct {
        Bytes bytes;
        double expected;
    } cases[] = {
        { { 100, 100, 1, 1, 1, 1, 1 }, marker }, // year 0
        { { 99, 1, 1, 1, 1, 1, 1 }, marker }, // before Christ
        { { 120, 123, 2, 30, 1, 1, 1 }, marker }, // 30 February
        { { 120, 123, 13, 1, 1, 1, 1 }, marker }, // month 13
        { { 120, 123, 2, 30, 13, 1, 1 }, marker - 0.5 }, // time kept, subtracted
        { { 120, 123, 6, 1, 25, 1, 1 }, EncodeDate(2023, 6, 1) }, // hour 24: midnight
        { { 120, 123, 6, 1, 0, 1, 1 }, EncodeDate(2023, 6, 1) }, // hour byte 0
        { { 255, 255, 255, 255, 255, 255, 255 }, marker },
        { { 0, 0, 0, 0, 0, 0, 0 }, marker },
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(DecodeOracleDate(c.bytes.data()), c.expected);
}

TEST(OracleDate, EncodingOutsideTheSupportedYearsRaises)
{
    EXPECT_THROW(encode(-700000.0), EConvertError);
    EXPECT_THROW(encode(3000000.0), EConvertError);
}

TEST(OracleDate, ClientDateRecord)
{
    OCIDate date {};
    date.OCIDateYYYY = 1999;
    date.OCIDateMM = 12;
    date.OCIDateDD = 31;
    date.OCIDateTime = { 23, 59, 58 };
    EXPECT_DOUBLE_EQ(OCIDateToDateTime(date), EncodeDateTime(1999, 12, 31, 23, 59, 58, 0));
    date.OCIDateYYYY = 0;
    EXPECT_DOUBLE_EQ(OCIDateToDateTime(date), -693594.0 - EncodeTime(23, 59, 58, 0));
}

namespace {

struct FakeTimestamp {
    sb2 year;
    ub1 month, day, hour, minute, second;
    ub4 nanoseconds;
    sword dateStatus;
    sword timeStatus;
};

sword fakeGetDate(void *, OCIError *, const OCIDateTime *date, sb2 *yr, ub1 *mnth, ub1 *dy)
{
    const auto *t = reinterpret_cast<const FakeTimestamp *>(date);
    *yr = t->year;
    *mnth = t->month;
    *dy = t->day;
    return t->dateStatus;
}

sword fakeGetTime(void *, OCIError *, OCIDateTime *date, ub1 *hr, ub1 *mm, ub1 *ss, ub4 *fsec)
{
    const auto *t = reinterpret_cast<const FakeTimestamp *>(date);
    *hr = t->hour;
    *mm = t->minute;
    *ss = t->second;
    *fsec = t->nanoseconds;
    return t->timeStatus;
}

} // namespace

TEST(OracleDate, TimestampDescriptorsThroughTheClientLibrary)
{
    OracleEntryPoints oci;
    oci.OCIDateTimeGetDate = fakeGetDate;
    oci.OCIDateTimeGetTime = fakeGetTime;
    const struct {
        FakeTimestamp ts;
        sword status;
        double expected;
    } cases[] = {
        { { 2021, 7, 4, 10, 20, 30, 123456789, 0, 0 }, 0,
            EncodeDateTime(2021, 7, 4, 10, 20, 30, 123) },
        { { 2021, 7, 4, 10, 20, 30, 123600000, 0, 0 }, 0,
            EncodeDateTime(2021, 7, 4, 10, 20, 30, 124) },
        { { 2021, 7, 4, 23, 59, 59, 999999999, 0, 0 }, 0,
            EncodeDateTime(2021, 7, 4, 23, 59, 59, 999) },
        { { 1700, 1, 1, 0, 0, 0, 0, 0, 0 }, 0, EncodeDate(1700, 1, 1) },
        { { 2021, 7, 4, 0, 0, 0, 0, OCI_ERROR, 0 }, OCI_ERROR, -1 },
        { { 2021, 7, 4, 0, 0, 0, 0, 0, OCI_SUCCESS_WITH_INFO }, OCI_SUCCESS_WITH_INFO, -1 },
    };
    for (const auto &c : cases) {
        double result = -1;
        FakeTimestamp ts = c.ts;
        EXPECT_EQ(TimestampToDateTime(
                      oci, nullptr, nullptr, reinterpret_cast<OCIDateTime *>(&ts), result),
            c.status);
        EXPECT_DOUBLE_EQ(result, c.expected);
    }

    double untouched = 5;
    EXPECT_EQ(TimestampToDateTime(OracleEntryPoints {}, nullptr, nullptr, nullptr, untouched),
        OCI_INVALID_HANDLE);
    EXPECT_EQ(untouched, 5);
}

TEST(OracleDate, TimestampDescriptorKinds)
{
    EXPECT_EQ(TimestampDescriptorKind(SQLT_TIMESTAMP), OCI_DTYPE_TIMESTAMP);
    EXPECT_EQ(TimestampDescriptorKind(SQLT_TIMESTAMP_TZ), OCI_DTYPE_TIMESTAMP_TZ);
    EXPECT_EQ(TimestampDescriptorKind(SQLT_TIMESTAMP_LTZ), OCI_DTYPE_TIMESTAMP_LTZ);
    EXPECT_EQ(TimestampDescriptorKind(0), OCI_DTYPE_TIMESTAMP);
}
