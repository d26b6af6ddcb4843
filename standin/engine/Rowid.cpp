#include "engine/Rowid.h"

#include <cstring>

namespace qdsi::engine {

namespace {

const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void put(std::string &out, uint64_t value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        out += digits[(value >> (6 * i)) & 63];
}

int digitValue(char c)
{
    const char *at = c ? std::strchr(digits, c) : nullptr;
    return at ? static_cast<int>(at - digits) : -1;
}

} // namespace

std::string rowidText(int64_t objectNumber, int64_t rowid)
{
    std::string out;
    put(out, static_cast<uint64_t>(objectNumber), 6);
    // 12 digits hold 72 bits: the 64-bit rowid fits with the top digits zero.
    const uint64_t r = static_cast<uint64_t>(rowid);
    put(out, r >> 54, 3);
    put(out, r & ((uint64_t(1) << 54) - 1), 9);
    return out;
}

int64_t rowidNumber(const std::string &text)
{
    if (text.size() != 18)
        return -1;
    uint64_t value = 0;
    for (size_t i = 0; i < 18; ++i) {
        const int d = digitValue(text[i]);
        if (d < 0)
            return -1;
        if (i >= 6)
            value = (value << 6) | static_cast<uint64_t>(d);
    }
    const int64_t rowid = static_cast<int64_t>(value);
    return rowid < 0 ? -1 : rowid;
}

int64_t rowidObject(const std::string &text)
{
    if (text.size() != 18)
        return -1;
    int64_t value = 0;
    for (size_t i = 0; i < 6; ++i) {
        const int d = digitValue(text[i]);
        if (d < 0)
            return -1;
        value = value * 64 + d;
    }
    return value;
}

} // namespace qdsi::engine
