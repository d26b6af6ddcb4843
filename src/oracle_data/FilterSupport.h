#pragma once

// What the filter language's nodes, functions and parser share inside this library: the options
// of the parse in progress and the helpers that raise its errors and wrap its integers.

#include "FilterNodes.h"

#include <QString>
#include <QtGlobal>

namespace qd::FilterSupport {

using Op = TExpressionOperator;

// The options of the parse in progress on this thread, copied into every node it creates
// (including the nodes the identifier callback makes). Per thread, so that parses on different
// threads cannot see each other's options.
struct ParseOptions {
    bool caseInsensitive = false;
    bool partialCompare = true;
};
ParseOptions &currentOptions();

[[noreturn]] void raise(const QString &message);
[[noreturn]] void internalError(int code);
[[noreturn]] void divisionByZero();
[[noreturn]] void invalidFloatOperation();

// Integer arithmetic wraps around as the language's 32-bit integers do.
inline qint32 wrap(quint32 value)
{
    return static_cast<qint32>(value);
}

// Truncated or rounded floats that leave the 32-bit range fail instead of wrapping silently.
qint32 toInt32(double value);

// Upper or lower case of the ASCII letters only.
QString asciiCase(const QString &text, bool upper);

// Qt's one-letter day, month, hour, minute and second fields also read two digits, so parsing
// accepts both "1.2.1990" and "01.02.1990" whatever the configured format pads to.
QString lenientFormat(QString format);

} // namespace qd::FilterSupport
