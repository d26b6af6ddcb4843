#pragma once

#include <QString>

namespace qd {

// A double as text with at most precision significant digits, exactly as
// QString::number(value, 'g', precision) writes it (the C library's "%.*g": trailing zeros
// dropped, exponents as "e+06", zero always "0"). Values that read back from at most precision
// digits (every amount of a NUMBER column shown at 15 digits) are made straight from their
// digits, without the locale machinery; numeric columns are turned into text once per value
// shown or exported, so this is hot.
QString FloatToText(double value, int precision);

} // namespace qd
