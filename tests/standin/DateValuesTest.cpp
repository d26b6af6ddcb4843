// The 7-byte DATE form and the ISO text the stand-in keeps dates in: parsing, formatting and
// their round trip.
#include "engine/DateBytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

using namespace qdsi::engine;

namespace {

using Bytes = std::array<unsigned char, 7>;

Bytes bytes(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return { static_cast<unsigned char>(year / 100 + 100),
        static_cast<unsigned char>(year % 100 + 100), static_cast<unsigned char>(month),
        static_cast<unsigned char>(day), static_cast<unsigned char>(hour + 1),
        static_cast<unsigned char>(minute + 1), static_cast<unsigned char>(second + 1) };
}

} // namespace

TEST(DateValues, TextIsReadOrRefused)
{
    struct Case {
        const char *text;
        bool accepted;
        Bytes expected {};
    };
    const Case cases[] = {
        { "2024-02-29 13:05:59", true, bytes(2024, 2, 29, 13, 5, 59) },
        { "2024-02-29", true, bytes(2024, 2, 29) },
        { "  1999-12-31   23:59:00  ", true, bytes(1999, 12, 31, 23, 59, 0) },
        { "2024-1-5 1:2:3", true, bytes(2024, 1, 5, 1, 2, 3) },
        { "0001-01-01 00:00:00", true, bytes(1, 1, 1) },
        { "9999-12-31 23:59:59", true, bytes(9999, 12, 31, 23, 59, 59) },
        { "-4712-01-01", true, bytes(-4712, 1, 1) },
        { "10000-01-01", false },
        { "-4713-01-01", false },
        { "2024-13-01", false },
        { "2024-00-01", false },
        { "2024-01-32", false },
        { "2024-01-01 24:00:00", false },
        { "2024-01-01 10:60:00", false },
        { "2024-01-01 10:00:60", false },
        { "2024-01-01 10:00", false },
        { "2024-01-01 10:00:00.5", false },
        { "2024-01-01 10:00:00 x", false },
        { "2024-01-01x", false },
        { "2024-01-0110:00:00", false },
        { "2024-001-01", false },
        { "2024/01/01", false },
        { "", false },
        { "-", false },
        { "2024-", false },
        { "12345678901234567890-01-01", false },
        // The exact form SQLite writes is read on a shorter path: its ranges and its
        // neighbours of the same length must come out as the general reading has them.
        { "0000-01-01 00:00:00", true, bytes(0, 1, 1) },
        { "2024-13-01 00:00:00", false },
        { "2024-01-00 00:00:00", false },
        { "2024-01-01 23:60:00", false },
        { "2024-01-01 23:59:60", false },
        { "+024-01-01 10:00:00", true, bytes(24, 1, 1, 10, 0, 0) },
        { " 2024-1-5 10:00:00 ", true, bytes(2024, 1, 5, 10, 0, 0) },
        { "2024-01-01T10:00:00", false },
        { "2024-01-01 10-00:00", false },
        { "2024-1-05 10:00:005", false },
        { "2O24-01-01 10:00:00", false },
    };
    for (const Case &c : cases) {
        Bytes out {};
        EXPECT_EQ(dateToBytes(c.text, out.data()), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(out, c.expected) << c.text;
        }
    }
    // Only the given length is read: the text need not end in a NUL.
    const char padded[] = "2024-02-29 13:05:59garbage";
    Bytes out {};
    ASSERT_TRUE(dateToBytes(std::string_view(padded, 19), out.data()));
    EXPECT_EQ(out, bytes(2024, 2, 29, 13, 5, 59));
}

TEST(DateValues, BytesWrittenAsTextAndReadBack)
{
    struct Case {
        Bytes date;
        const char *text;
    };
    const Case cases[] = {
        { bytes(2024, 2, 29, 13, 5, 59), "2024-02-29 13:05:59" },
        { bytes(1, 1, 1), "0001-01-01 00:00:00" },
        { bytes(9999, 12, 31, 23, 59, 59), "9999-12-31 23:59:59" },
        { bytes(-4712, 1, 1), "-4712-01-01 00:00:00" },
        { bytes(-44, 3, 15, 12, 0, 0), "-0044-03-15 12:00:00" },
    };
    for (const Case &c : cases) {
        char text[DateTextSize];
        const size_t n = dateFromBytes(c.date.data(), text);
        EXPECT_EQ(std::string(text, n), c.text);
        EXPECT_EQ(std::strlen(text), n);
        EXPECT_EQ(dateFromBytes(c.date.data()), c.text);
        Bytes back {};
        ASSERT_TRUE(dateToBytes(std::string_view(text, n), back.data())) << c.text;
        EXPECT_EQ(back, c.date) << c.text;
    }
}
