#include "FloatText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace qd {

QString FloatToText(double value, int precision)
{
    if (value == 0)
        return QStringLiteral("0"); // negative zero too, as Qt writes it
    // Qt rounds a value lying exactly halfway between two texts of precision digits away from
    // zero, "%.*g" to even. They can differ only when the value needs more digits than
    // precision to be read back, and above 15 digits (where a short text no longer stands for
    // one value only). Those, infinities and NaN go Qt's own way.
    if (!std::isfinite(value) || precision < 1 || precision > 15)
        return QString::number(value, 'g', precision);
    char buffer[48];
    // The shortest text that reads back as value, as "d.ddde+XX": count its digits.
    auto shortest = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (shortest.ec != std::errc())
        return QString::number(value, 'g', precision);
    int digits = 0;
    for (const char *c = buffer; c != shortest.ptr && *c != 'e'; ++c)
        digits += *c >= '0' && *c <= '9';
    if (digits > precision)
        return QString::number(value, 'g', precision);
    const auto text
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    if (text.ec != std::errc())
        return QString::number(value, 'g', precision);
    return QString::fromLatin1(buffer, text.ptr - buffer);
}

} // namespace qd
