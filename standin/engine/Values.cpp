#include "engine/Values.h"

#include "engine/Lobs.h"
#include "engine/OraErrors.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace qdsi::engine {

using namespace qdsi::oci;

sb2 *ClientBuffer::indicatorAt(size_t i) const
{
    return indicator
        ? reinterpret_cast<sb2 *>(reinterpret_cast<char *>(indicator) + i * indicatorSkip)
        : nullptr;
}

ub2 *ClientBuffer::lengthAt(size_t i) const
{
    return length ? reinterpret_cast<ub2 *>(reinterpret_cast<char *>(length) + i * lengthSkip)
                  : nullptr;
}

ub2 *ClientBuffer::codeAt(size_t i) const
{
    return returnCode ? reinterpret_cast<ub2 *>(reinterpret_cast<char *>(returnCode) + i * codeSkip)
                      : nullptr;
}

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
    // (blanks around them allowed); parsed by hand since it runs once per fetched value.
    size_t pos = 0;
    const auto skipBlanks = [&] {
        while (pos < iso.size() && (iso[pos] == ' ' || iso[pos] == '\t'))
            ++pos;
    };
    int y, mo, d, h = 0, mi = 0, s = 0;
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

namespace {

void bindText(sqlite3_stmt *st, int index, const char *text, size_t length)
{
    // The server treats an empty string as NULL.
    if (length == 0)
        sqlite3_bind_null(st, index);
    else
        sqlite3_bind_text(st, index, text, static_cast<int>(length), SQLITE_TRANSIENT);
}

} // namespace

void bindInput(sqlite3_stmt *st, int index, const ClientBuffer &b, size_t row)
{
    const sb2 *ind = b.indicatorAt(row);
    if ((ind && *ind == -1) || !b.data) {
        sqlite3_bind_null(st, index);
        return;
    }
    const char *p = static_cast<const char *>(b.element(row));
    const ub2 *alen = b.lengthAt(row);
    const size_t size = b.size > 0 ? static_cast<size_t>(b.size) : 0;
    switch (b.type) {
    case SQLT_INT:
        if (size == 1)
            sqlite3_bind_int64(st, index, *reinterpret_cast<const int8_t *>(p));
        else if (size == 2)
            sqlite3_bind_int64(st, index, *reinterpret_cast<const int16_t *>(p));
        else if (size == 4)
            sqlite3_bind_int64(st, index, *reinterpret_cast<const int32_t *>(p));
        else if (size == 8)
            sqlite3_bind_int64(st, index, *reinterpret_cast<const int64_t *>(p));
        else
            throw oraFail(3001);
        return;
    case SQLT_UIN:
        if (size == 1)
            sqlite3_bind_int64(st, index, *reinterpret_cast<const uint8_t *>(p));
        else if (size == 2)
            sqlite3_bind_int64(st, index, *reinterpret_cast<const uint16_t *>(p));
        else if (size == 4)
            sqlite3_bind_int64(st, index, *reinterpret_cast<const uint32_t *>(p));
        else
            throw oraFail(3001);
        return;
    case SQLT_FLT:
        if (size == 4)
            sqlite3_bind_double(st, index, *reinterpret_cast<const float *>(p));
        else if (size == 8)
            sqlite3_bind_double(st, index, *reinterpret_cast<const double *>(p));
        else
            throw oraFail(3001);
        return;
    case SQLT_STR:
    case SQLT_AVC: {
        const size_t limit = alen ? std::min<size_t>(*alen, size) : size;
        bindText(st, index, p, strnlen(p, limit));
        return;
    }
    case SQLT_CHR:
    case SQLT_AFC:
    case SQLT_LNG:
        bindText(st, index, p, alen ? std::min<size_t>(*alen, size) : size);
        return;
    case SQLT_VCS: {
        if (size < 2)
            throw oraFail(3001);
        const ub2 n = *reinterpret_cast<const ub2 *>(p);
        bindText(st, index, p + 2, std::min<size_t>(n, size - 2));
        return;
    }
    case SQLT_DAT: {
        if (size < 7)
            throw oraFail(3001);
        char text[DateTextSize];
        const size_t n = dateFromBytes(reinterpret_cast<const unsigned char *>(p), text);
        sqlite3_bind_text(st, index, text, static_cast<int>(n), SQLITE_TRANSIENT);
        return;
    }
    case SQLT_BIN:
    case SQLT_LBI: {
        const size_t n = alen ? std::min<size_t>(*alen, size) : size;
        if (n == 0)
            sqlite3_bind_null(st, index);
        else
            sqlite3_bind_blob(st, index, p, static_cast<int>(n), SQLITE_TRANSIENT);
        return;
    }
    default:
        if (isDateTimeType(b.type)) {
            bindDateTime(st, index, b, row);
            return;
        }
        if (isObjectType(b.type)) {
            bindObject(st, index, b, row);
            return;
        }
        if (isLobType(b.type)) {
            std::string value;
            if (!lobInputValue(b, row, value))
                sqlite3_bind_null(st, index);
            else if (b.type == SQLT_CLOB)
                sqlite3_bind_text(st, index, value.data(), static_cast<int>(value.size()),
                    SQLITE_TRANSIENT);
            else
                sqlite3_bind_blob(st, index, value.data(), static_cast<int>(value.size()),
                    SQLITE_TRANSIENT);
            return;
        }
        throw oraFail(3001);
    }
}

namespace {

std::string hex(const void *data, int size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    const auto *p = static_cast<const unsigned char *>(data);
    for (int i = 0; i < size; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

std::string columnText(sqlite3_value *v, const ColumnStyle &style)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return sql::numberToText(static_cast<int64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return sql::numberToText(sqlite3_value_double(v));
    case SQLITE_BLOB:
        // A NUMBER too long for SQLite's numbers is kept as a BLOB of its text.
        if (style.oracleType == 2)
            return std::string(static_cast<const char *>(sqlite3_value_blob(v)),
                static_cast<size_t>(sqlite3_value_bytes(v)));
        return hex(sqlite3_value_blob(v), sqlite3_value_bytes(v));
    default: {
        const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
        std::string text(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(v)));
        if (style.oracleType == 12)
            return sql::formatDate(text, style.dateFormat);
        if (style.oracleType == 23)
            return hex(text.data(), static_cast<int>(text.size()));
        return text;
    }
    }
}

// A column's value as a number, as the server converts text to NUMBER.
double columnNumber(sqlite3_value *v)
{
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        return sqlite3_value_double(v);
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
    char *end = nullptr;
    const double number = t ? std::strtod(t, &end) : 0;
    while (end && *end == ' ')
        ++end;
    if (!t || end == t || *end)
        throw oraFail(1722);
    return number;
}

// Copies text into a character buffer; returns 1406 when it had to be cut.
int storeText(
    const std::string &text, const ClientBuffer &b, size_t row, size_t prefix, bool zero, bool pad)
{
    char *p = static_cast<char *>(b.element(row));
    const size_t size = b.size > 0 ? static_cast<size_t>(b.size) : 0;
    const size_t room = size > prefix + (zero ? 1 : 0) ? size - prefix - (zero ? 1 : 0) : 0;
    const size_t n = std::min(room, text.size());
    std::memcpy(p + prefix, text.data(), n);
    size_t written = n;
    if (pad && n < room) {
        std::memset(p + prefix + n, ' ', room - n);
        written = room;
    }
    if (zero && size > prefix)
        p[prefix + written] = '\0';
    if (prefix == 2)
        *reinterpret_cast<ub2 *>(p) = static_cast<ub2>(n);
    if (ub2 *len = b.lengthAt(row))
        *len = static_cast<ub2>(written);
    if (n < text.size()) {
        if (sb2 *ind = b.indicatorAt(row))
            *ind = static_cast<sb2>(std::min<size_t>(text.size(), 32767));
        return 1406;
    }
    return 0;
}

int storeInteger(double value, const ClientBuffer &b, size_t row, bool isUnsigned)
{
    const double v = std::round(value);
    void *p = b.element(row);
    const auto fits = [&](double lo, double hi) {
        if (v < lo || v > hi)
            throw oraFail(1455);
    };
    switch (b.size) {
    case 1:
        isUnsigned ? fits(0, 255) : fits(-128, 127);
        *static_cast<int8_t *>(p) = static_cast<int8_t>(static_cast<int64_t>(v));
        break;
    case 2:
        isUnsigned ? fits(0, 65535) : fits(-32768, 32767);
        *static_cast<int16_t *>(p) = static_cast<int16_t>(static_cast<int64_t>(v));
        break;
    case 4:
        isUnsigned ? fits(0, 4294967295.0) : fits(-2147483648.0, 2147483647.0);
        *static_cast<int32_t *>(p) = static_cast<int32_t>(static_cast<int64_t>(v));
        break;
    case 8:
        fits(-9.2233720368547758e18, 9.2233720368547748e18);
        *static_cast<int64_t *>(p) = static_cast<int64_t>(v);
        break;
    default:
        throw oraFail(3001);
    }
    if (ub2 *len = b.lengthAt(row))
        *len = static_cast<ub2>(b.size);
    return 0;
}

} // namespace

int storeOutput(sqlite3_value *v, const ColumnStyle &style, const ClientBuffer &b, size_t row)
{
    if (b.pieceCallback)
        return storePieces(v, b, row);
    if (isDateTimeType(b.type))
        return storeDateTime(v, b, row);
    if (isObjectType(b.type))
        return storeObject(v, b, row);
    sb2 *ind = b.indicatorAt(row);
    if (sqlite3_value_type(v) == SQLITE_NULL) {
        if (!ind)
            return 1405;
        *ind = -1;
        if (ub2 *len = b.lengthAt(row))
            *len = 0;
        return 0;
    }
    if (ind)
        *ind = 0;
    switch (b.type) {
    case SQLT_INT:
    case SQLT_UIN:
        if (sqlite3_value_type(v) == SQLITE_INTEGER && b.size == 8) {
            *static_cast<int64_t *>(b.element(row)) = sqlite3_value_int64(v);
            if (ub2 *len = b.lengthAt(row))
                *len = 8;
            return 0;
        }
        return storeInteger(columnNumber(v), b, row, b.type == SQLT_UIN);
    case SQLT_FLT: {
        const double number = columnNumber(v);
        if (b.size == 8)
            *static_cast<double *>(b.element(row)) = number;
        else if (b.size == 4)
            *static_cast<float *>(b.element(row)) = static_cast<float>(number);
        else
            throw oraFail(3001);
        if (ub2 *len = b.lengthAt(row))
            *len = static_cast<ub2>(b.size);
        return 0;
    }
    case SQLT_STR:
    case SQLT_AVC:
        return storeText(columnText(v, style), b, row, 0, true, false);
    case SQLT_CHR:
    case SQLT_LNG:
        return storeText(columnText(v, style), b, row, 0, false, false);
    case SQLT_AFC:
        return storeText(columnText(v, style), b, row, 0, false, true);
    case SQLT_VCS:
        return storeText(columnText(v, style), b, row, 2, false, false);
    case SQLT_DAT: {
        const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
        if (b.size < 7 || !t
            || !dateToBytes(std::string_view(t, static_cast<size_t>(sqlite3_value_bytes(v))),
                static_cast<unsigned char *>(b.element(row))))
            throw oraFail(1861);
        if (ub2 *len = b.lengthAt(row))
            *len = 7;
        return 0;
    }
    case SQLT_BIN:
    case SQLT_LBI: {
        const void *data = sqlite3_value_blob(v);
        const int n = sqlite3_value_bytes(v);
        const std::string bytes = data ? std::string(static_cast<const char *>(data), n) : "";
        return storeText(bytes, b, row, 0, false, false);
    }
    default:
        throw oraFail(3001);
    }
}

} // namespace qdsi::engine
