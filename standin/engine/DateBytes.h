#pragma once

// The server's 7-byte DATE (century and year plus 100, month, day, hours, minutes and seconds
// plus one) and the ISO text SQLite keeps dates in.

#include <cstddef>
#include <string>
#include <string_view>

namespace qdsi::engine {

// Converts 7-byte DATE to ISO "YYYY-MM-DD HH24:MI:SS" and back (false for text that is not
// one: "YYYY-MM-DD" alone, or with a time after blanks). Neither allocates but the
// std::string form; the buffer form writes at most DateTextSize bytes with the NUL and returns
// the length.
constexpr size_t DateTextSize = 24;
size_t dateFromBytes(const unsigned char *bytes, char *text);
std::string dateFromBytes(const unsigned char *bytes);
bool dateToBytes(std::string_view iso, unsigned char *bytes);

} // namespace qdsi::engine
