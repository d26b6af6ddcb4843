#pragma once

#include "classlib/Variant.h"

namespace qd {

// Whether a record's value and the server's agree, as the edit-back and its lock check see it:
// both null (an empty string counts as null); strings (SQLT_STR) after the server's text is cut
// to fieldSize characters (when positive) and both are right-trimmed; floats (SQLT_FLT) to a
// relative 1e-10; DATE (SQLT_DAT) less than one second apart; timestamps (SQLT_TIMESTAMP,
// SQLT_TIMESTAMP_TZ, SQLT_TIMESTAMP_LTZ) less than one millisecond apart; LONG RAW (SQLT_LBI)
// and BLOB (SQLT_BLOB) byte by byte; anything else by plain equality.
// Values that cannot be read as the type compare unequal.
bool SameEditValue(
    int bindType, const Variant &recordValue, const Variant &serverValue, int fieldSize = 0);

// Null, Unassigned, empty bytes (a BLOB buffer without data), or a string that is empty (after
// trailing blanks are removed when trimStrings is set).
bool IsEditValueNull(const Variant &value, bool trimStrings);

} // namespace qd
