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

// The form SQLite's date functions write, "YYYY-MM-DD HH24:MI:SS" exactly; false for anything
// else, which the general reader then takes. It runs once per fetched DATE value, so each digit
// is read and checked without a loop or a call.
bool readCanonicalDate(std::string_view t, int &y, int &mo, int &d, int &h, int &mi, int &s)
{
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':'
        || t[16] != ':')
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(t.data());
    // A byte below '0' wraps around, so every byte that is no digit gives a value above 9.
    const unsigned y1 = p[0] - 48u, y2 = p[1] - 48u, y3 = p[2] - 48u, y4 = p[3] - 48u,
                   mo1 = p[5] - 48u, mo2 = p[6] - 48u, d1 = p[8] - 48u, d2 = p[9] - 48u,
                   h1 = p[11] - 48u, h2 = p[12] - 48u, mi1 = p[14] - 48u, mi2 = p[15] - 48u,
                   s1 = p[17] - 48u, s2 = p[18] - 48u;
    if ((y1 > 9) | (y2 > 9) | (y3 > 9) | (y4 > 9) | (mo1 > 9) | (mo2 > 9) | (d1 > 9) | (d2 > 9)
        | (h1 > 9) | (h2 > 9) | (mi1 > 9) | (mi2 > 9) | (s1 > 9) | (s2 > 9))
        return false;
    y = static_cast<int>(y1 * 1000 + y2 * 100 + y3 * 10 + y4);
    mo = static_cast<int>(mo1 * 10 + mo2);
    d = static_cast<int>(d1 * 10 + d2);
    h = static_cast<int>(h1 * 10 + h2);
    mi = static_cast<int>(mi1 * 10 + mi2);
    s = static_cast<int>(s1 * 10 + s2);
    return true;
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
