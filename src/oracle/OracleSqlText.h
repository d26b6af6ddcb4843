#pragma once

#include "classlib/StringList.h"
#include "classlib/Variant.h"

#include <QString>

namespace qd {

// The bind variables of a SQL text, in order of appearance: each name upper-cased, without
// its colon, with the 1-based position of its colon as the item's integer object. Colons in
// string literals and comments, the assignment ":=" and a double colon name no variable.
// Without allowDuplicates a name is listed once, at its first position.
TStringList FindVariables(const QString &sql, bool allowDuplicates);

// The text without its block and line comments (literals keep their dashes and slashes),
// trimmed of leading and trailing blanks and control characters.
QString RemoveComments(const QString &sql);

// The name as it stands when it needs no quotes, else wrapped in double quotes. Letters,
// digits, "_", "#", "$", characters from 128 up and the extra allowed characters need none;
// double-quoted stretches are taken as they are.
QString QuoteWhenNeeded(const QString &name, const QString &extraAllowed = QString());

// The bytes of a byte-array value as text, one character per byte. Null and Unassigned give
// an empty text; a value that is no byte array raises EConvertError.
QString ByteArrayToText(const Variant &value);

// "1 row", "2 rows": the number, a blank and the word, with "s" unless the number is 1.
QString CountText(qint64 number, const QString &word);

} // namespace qd
