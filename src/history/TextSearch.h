#pragma once

#include <QString>

namespace qd {

// Position of the first occurrence of needle in text at or after from, or -1. Case-insensitive
// unless matchCase; with wholeWord an occurrence counts only when no letter, digit or
// underscore touches it on either side.
qsizetype FindText(const QString &text, const QString &needle, bool matchCase, bool wholeWord,
    qsizetype from = 0);

} // namespace qd
