// Oracle's number text and the date format models, without a database.
#include "sql/Dialect.h"

#include <gtest/gtest.h>

namespace qdsi::sql {
namespace {

TEST(DialectFormat, NumbersAsOraclePrintsThem)
{
    struct Case {
        double value;
        const char *text;
    };
    const Case cases[] = {
        { 0.5, ".5" },
        { -0.5, "-.5" },
        { -1.25, "-1.25" },
        { 100, "100" },
        { 0, "0" },
        { 1e20, "100000000000000000000" },
        { 1e40, "1E+40" },
        { 1.5e-45, "1.5E-45" },
        { 0.1 + 0.2, ".3" },
        { 123456789.123, "123456789.123" },
        { 0.000001, ".000001" },
        { -12345678901234.5, "-12345678901234.5" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(numberToText(c.value), c.text) << c.value;
    EXPECT_EQ(numberToText(int64_t { -42 }), "-42");
    EXPECT_EQ(numberToText(int64_t { 9007199254740993 }), "9007199254740993");
}

TEST(DialectFormat, DatesRoundTripThroughFormatModels)
{
    struct Case {
        const char *iso;
        const char *model;
        const char *text;
        bool wholeDate; // the model holds the full date, so the text parses back to it
    };
    const Case cases[] = {
        { "2024-03-05 14:07:09", "dd-mm-yyyy hh24:mi:ss", "05-03-2024 14:07:09", true },
        { "1998-12-31 00:00:00", "DD-MON-RR", "31-DEC-98", true },
        { "2024-03-05 14:07:00", "YYYY/MM/DD HH:MI PM", "2024/03/05 02:07 PM", true },
        { "2024-03-05 00:00:00", "\"Day\" DD \"of\" Month YYYY", "Day 05 of March     2024", true },
        { "2024-03-05 00:00:00", "fmMonth dd, yyyy", "March 5, 2024", true },
        { "2024-03-05 00:05:00", "HH12:MI AM", "12:05 AM", false },
        { "2024-03-05 00:00:00", "DY Dy dy", "TUE Tue tue", false },
        { "2024-03-05 00:00:00", "J", "2460375", true },
        { "2024-03-05 00:00:00", "DDD Q", "065 1", false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model);
        EXPECT_EQ(formatDate(c.iso, c.model), c.text);
        if (c.wholeDate) {
            EXPECT_EQ(parseDate(c.text, c.model), c.iso);
        }
    }
    EXPECT_EQ(parseDate("5-3-2024", "dd-mm-yyyy"), "2024-03-05 00:00:00");
    EXPECT_EQ(parseDate("05/03/2024 1:02:03", "dd.mm.yyyy hh24:mi:ss"), "2024-03-05 01:02:03");
    EXPECT_EQ(parseDate("05-mar-24", "DD-MON-RR"), "2024-03-05 00:00:00");
    EXPECT_EQ(parseDate("05-March-1924", "DD-MON-RR"), "1924-03-05 00:00:00");
    EXPECT_EQ(parseDate("29-02-2024", "dd-mm-yyyy"), "2024-02-29 00:00:00");
    EXPECT_EQ(parseDate("07:15 PM", "hh:mi am").substr(11), "19:15:00");
}

TEST(DialectFormat, BadDatesFailWithTheServerCodes)
{
    struct Case {
        const char *text;
        const char *model;
        int code;
    };
    const Case cases[] = {
        { "32-01-2024", "dd-mm-yyyy", 1847 },
        { "29-02-2023", "dd-mm-yyyy", 1847 },
        { "01-13-2024", "dd-mm-yyyy", 1843 },
        { "01-FOO-2024", "dd-mon-yyyy", 1843 },
        { "01-01-2024 25:00", "dd-mm-yyyy hh24:mi", 1850 },
        { "01-01-2024 10:61", "dd-mm-yyyy hh24:mi", 1851 },
        { "01-01-2024 10:10:60", "dd-mm-yyyy hh24:mi:ss", 1852 },
        { "01-01-2024 13", "dd-mm-yyyy hh", 1849 },
        { "ab-01-2024", "dd-mm-yyyy", 1858 },
        { "01-01-2024x", "dd-mm-yyyy", 1830 },
        { "01 Jan 2024", "dd \"of\" mon yyyy", 1861 },
        { "01-01-2024", "dd-mm-yyyy-qq-zz", 1821 },
        { "01-01-0000", "dd-mm-yyyy", 1841 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        try {
            parseDate(c.text, c.model);
            ADD_FAILURE() << "accepted";
        } catch (const OraError &e) {
            EXPECT_EQ(e.code, c.code) << e.text;
        }
    }
    EXPECT_THROW(formatDate("not a date", "DD"), OraError);
}

} // namespace
} // namespace qdsi::sql
