#include "engine/DateBytes.h"

#include <string>

namespace qdsi::engine {

namespace {

char *putDigits(char *out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Reads an optionally signed decimal number of at most maxDigits digits at text[pos].
bool readNumber(std::string_view text, size_t &pos, int maxDigits, int &value)
{
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+'))
        negative = text[pos++] == '-';
    const size_t start = pos;
    int v = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9'
        && pos - start < static_cast<size_t>(maxDigits))
        v = v * 10 + (text[pos++] - '0');
    if (pos == start || (pos < text.size() && text[pos] >= '0' && text[pos] <= '9'))
        return false;
    value = negative ? -v : v;
    return true;
}

bool expect(std::string_view text, size_t &pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

// Digits text[from, from + width) as a number; false when one is not a digit.
bool fixedDigits(std::string_view text, size_t from, size_t width, int &value)
{
    int v = 0;
    for (size_t i = from; i < from + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    value = v;
    return true;
}

// The form SQLite's date functions write, "YYYY-MM-DD HH24:MI:SS" exactly; false for anything
// else, which the general reader then takes.
bool readCanonicalDate(std::string_view t, int &y, int &mo, int &d, int &h, int &mi, int &s)
{
    return t.size() == 19 && t[4] == '-' && t[7] == '-' && t[10] == ' ' && t[13] == ':'
        && t[16] == ':' && fixedDigits(t, 0, 4, y) && fixedDigits(t, 5, 2, mo)
        && fixedDigits(t, 8, 2, d) && fixedDigits(t, 11, 2, h) && fixedDigits(t, 14, 2, mi)
        && fixedDigits(t, 17, 2, s);
}

} // namespace

size_t dateFromBytes(const unsigned char *b, char *text)
{
    // Years before 1 AD (the server's -4712 and so on) keep their sign.
    int year = (b[0] - 100) * 100 + (b[1] - 100);
    char *out = text;
    if (year < 0) {
        *out++ = '-';
        year = -year;
    }
    out = putDigits(out, year % 10000, 4);
    *out++ = '-';
    out = putDigits(out, b[2] % 100, 2);
    *out++ = '-';
    out = putDigits(out, b[3] % 100, 2);
    *out++ = ' ';
    out = putDigits(out, (b[4] - 1 + 100) % 100, 2);
    *out++ = ':';
    out = putDigits(out, (b[5] - 1 + 100) % 100, 2);
    *out++ = ':';
    out = putDigits(out, (b[6] - 1 + 100) % 100, 2);
    *out = '\0';
    return static_cast<size_t>(out - text);
}

std::string dateFromBytes(const unsigned char *b)
{
    char text[DateTextSize];
    return std::string(text, dateFromBytes(b, text));
}

bool dateToBytes(std::string_view iso, unsigned char *b)
{
    // "YYYY-MM-DD" or "YYYY-MM-DD HH24:MI:SS", as SQLite and the dialect layer write dates
    // (blanks around them allowed); parsed by hand since it runs once per fetched value, the
    // form SQLite writes first.
    int y, mo, d, h = 0, mi = 0, s = 0;
    if (!readCanonicalDate(iso, y, mo, d, h, mi, s)) {
        h = mi = s = 0;
        size_t pos = 0;
        const auto skipBlanks = [&] {
            while (pos < iso.size() && (iso[pos] == ' ' || iso[pos] == '\t'))
                ++pos;
        };
        skipBlanks();
        if (!readNumber(iso, pos, 5, y) || !expect(iso, pos, '-') || !readNumber(iso, pos, 2, mo)
            || !expect(iso, pos, '-') || !readNumber(iso, pos, 2, d))
            return false;
        const size_t afterDate = pos;
        skipBlanks();
        if (pos < iso.size()) {
            if (pos == afterDate || !readNumber(iso, pos, 2, h) || !expect(iso, pos, ':')
                || !readNumber(iso, pos, 2, mi) || !expect(iso, pos, ':')
                || !readNumber(iso, pos, 2, s))
                return false;
            skipBlanks();
            if (pos < iso.size())
                return false;
        }
    }
    if (y < -4712 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0
        || mi > 59 || s < 0 || s > 59)
        return false;
    b[0] = static_cast<unsigned char>(y / 100 + 100);
    b[1] = static_cast<unsigned char>(y % 100 + 100);
    b[2] = static_cast<unsigned char>(mo);
    b[3] = static_cast<unsigned char>(d);
    b[4] = static_cast<unsigned char>(h + 1);
    b[5] = static_cast<unsigned char>(mi + 1);
    b[6] = static_cast<unsigned char>(s + 1);
    return true;
}

} // namespace qdsi::engine
