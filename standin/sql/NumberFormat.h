#pragma once

// Oracle's text for numbers: the default conversion and the number format models of
// to_char/to_number (9, 0, '.', 'D', ',', 'G', '$', 'S', 'MI', 'FM').

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace qdsi::sql {

std::string formatNumber(double value, std::string_view model);
// Parses a number written plainly or in a format model; throws ORA-01722 on bad text.
double parseNumber(std::string_view text, std::string_view model = {});
// True when the whole text is a number Oracle would convert implicitly ("12", " -1.5e3 ").
bool looksNumeric(std::string_view text, double *value = nullptr);
// A numeric literal's text as the server writes the number (negated when `negative`) when
// neither a 64-bit integer nor a double holds all its digits; empty when one does. Such a
// number is kept in SQLite as a BLOB of that text: stored, fetched and compared for equality
// exactly, read as a double by arithmetic (see Dialect.h).
std::string exactNumberText(std::string_view literal, bool negative);
// Whether a value is such a BLOB.
bool isExactNumber(sqlite3_value *value);

} // namespace qdsi::sql
