#pragma once

#include <cstddef>
#include <string>

namespace qdsi::sql {

// Bytes as upper-case hexadecimal text, two digits a byte: how the server shows RAW values.
inline std::string hexText(const void *data, std::size_t size)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    const auto *p = static_cast<const unsigned char *>(data);
    std::string out;
    out.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

} // namespace qdsi::sql
