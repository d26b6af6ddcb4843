// FloatToText writes every double as QString::number(value, 'g', precision) does: a table of
// the forms that differ most (exponents, rounding into the next power of ten, negative zero,
// the limits of double) and many random bit patterns, at the precisions fields use.
#include "classlib/FloatText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <limits>
#include <random>

using qd::FloatToText;

TEST(FloatText, WritesWhatQtWrites)
{
    const double values[] = { 0.0, -0.0, 1.0, -1.0, 0.25, 1234.25, -7.25, 1900.75, 0.1, 0.0001,
        0.00001, 1e-5, 123456789012345.0, 999999999999999.9, 1e15, 1e16, 1e20, 1e100, -1e-100,
        1.5e-7, 9.999999999999999e22, 5e-324, std::numeric_limits<double>::min(),
        std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), 1.0 / 3.0,
        2.0 / 3.0, 100.0, 1e6, 999999.5, 0.5, 123.456, 4503599627370496.5,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN() };
    for (const int precision : { 1, 2, 6, 15, 17 })
        for (const double value : values)
            EXPECT_EQ(FloatToText(value, precision).toStdString(), QString::number(value, 'g', precision).toStdString())
                << value << " at precision " << precision;
}

TEST(FloatText, WritesWhatQtWritesForRandomValues)
{
    std::mt19937_64 random(20261211);
    std::uniform_int_distribution<int> digitCount(1, 17);
    std::uniform_int_distribution<int> exponent(-40, 40);
    std::uniform_int_distribution<int> precisions(1, 17);
    int compared = 0;
    for (int i = 0; i < 100000; ++i) {
        // Any finite bit pattern, and a decimal of 1 to 17 digits at any magnitude (what
        // NUMBER columns hold: read back from few digits, some of them halfway cases).
        const quint64 bits = random();
        double pattern;
        std::memcpy(&pattern, &bits, sizeof pattern);
        const std::string mantissa = std::to_string(random() % 100000000000000000ull)
                                         .substr(0, size_t(digitCount(random)));
        const double decimal = std::strtod(
            (((bits & 1) ? "-" : "") + mantissa + "e" + std::to_string(exponent(random))).c_str(),
            nullptr);
        for (const double v : { pattern, decimal }) {
            if (!std::isfinite(v))
                continue;
            for (const int precision : { 2, 15, precisions(random) }) {
                ASSERT_EQ(FloatToText(v, precision).toStdString(),
                    QString::number(v, 'g', precision).toStdString())
                    << v << " at precision " << precision;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 500000);
}
