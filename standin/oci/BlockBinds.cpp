// PL/SQL blocks' binds in the caller's buffers: the value the block reads from an element and
// the value it assigned written back, in every character, number and date form a block takes.
#include "engine/ClientBuffer.h"
#include "engine/DateBytes.h"
#include "engine/OraErrors.h"
#include "plsql/Value.h"
#include "sql/Dialect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qdsi::engine {

using plsql::Value;

namespace {

sql::OraError bufferTooSmall()
{
    return sql::OraError(
        6502, "ORA-06502: PL/SQL: numeric or value error: character string buffer too small");
}

sql::OraError numericOverflow()
{
    return sql::OraError(
        6502, "ORA-06502: PL/SQL: numeric or value error: number precision too large");
}

// The server's NUMBER format: an exponent byte (base 100) and up to 20 base-100 digits, each
// stored plus one (positive) or as 101 minus the digit with a closing 102 (negative); zero is
// the single byte 0x80.
Value numberFromBytes(const unsigned char *b, size_t n)
{
    if (n == 0)
        throw oraFail(1722);
    if (n == 1 && b[0] == 0x80)
        return Value::fromInteger(0);
    const bool positive = (b[0] & 0x80) != 0;
    const int exponent = positive ? b[0] - 193 : 62 - b[0];
    std::string digits;
    for (size_t i = 1; i < n && i <= 20; ++i) {
        if (!positive && b[i] == 102)
            break;
        const int d = positive ? b[i] - 1 : 101 - b[i];
        if (d < 0 || d > 99)
            throw oraFail(1722);
        digits += static_cast<char>('0' + d / 10);
        digits += static_cast<char>('0' + d % 10);
    }
    // digits hold d1 d2 ... with the decimal point after (exponent + 1) pairs.
    const int point = (exponent + 1) * 2;
    std::string text;
    if (point <= 0)
        text = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    else if (static_cast<size_t>(point) >= digits.size())
        text = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    else
        text = digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(point);
    if (!positive)
        text = "-" + text;
    if (text.find('.') == std::string::npos && text.size() <= 18)
        return Value::fromInteger(std::stoll(text));
    return Value::fromReal(std::strtod(text.c_str(), nullptr));
}

// Encodes a number; returns the bytes used (at most 21).
size_t numberToBytes(const Value &v, unsigned char *out)
{
    std::string digits; // decimal digits without sign or point
    int point = 0; // digits before the decimal point
    bool negative = false;
    if (v.kind == Value::Kind::Integer) {
        negative = v.integer < 0;
        const uint64_t magnitude
            = negative ? 0 - static_cast<uint64_t>(v.integer) : static_cast<uint64_t>(v.integer);
        digits = std::to_string(magnitude);
        point = static_cast<int>(digits.size());
    } else {
        const double d = v.toReal();
        if (!std::isfinite(d))
            throw numericOverflow();
        char text[64];
        std::snprintf(text, sizeof text, "%.14e", std::fabs(d));
        negative = d < 0;
        digits = std::string(1, text[0]) + std::string(text + 2, 14);
        point = std::atoi(std::strchr(text, 'e') + 1) + 1;
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    while (!digits.empty() && digits.front() == '0') {
        digits.erase(0, 1);
        --point;
    }
    if (digits.empty()) {
        out[0] = 0x80;
        return 1;
    }
    if (point % 2 != 0) { // pairs are aligned on the decimal point
        digits.insert(0, "0");
        ++point;
    }
    if (digits.size() % 2 != 0)
        digits += '0';
    const int exponent = point / 2 - 1;
    if (exponent > 62 || exponent < -65)
        throw numericOverflow();
    size_t n = 1;
    out[0] = static_cast<unsigned char>(negative ? 62 - exponent : 193 + exponent);
    for (size_t i = 0; i < digits.size() && n <= 20; i += 2, ++n) {
        const int d = (digits[i] - '0') * 10 + (digits[i + 1] - '0');
        out[n] = static_cast<unsigned char>(negative ? 101 - d : d + 1);
    }
    if (negative && n <= 20)
        out[n++] = 102;
    return n;
}

void writeInteger(const ClientBuffer &b, size_t row, int64_t v)
{
    void *p = b.element(row);
    const bool isUnsigned = b.type == BufferType::Unsigned;
    const auto fits = [&](int64_t lo, int64_t hi) {
        if (v < lo || v > hi)
            throw numericOverflow();
    };
    switch (b.size) {
    case 1:
        isUnsigned ? fits(0, 255) : fits(-128, 127);
        *static_cast<int8_t *>(p) = static_cast<int8_t>(v);
        break;
    case 2:
        isUnsigned ? fits(0, 65535) : fits(-32768, 32767);
        *static_cast<int16_t *>(p) = static_cast<int16_t>(v);
        break;
    case 4:
        isUnsigned ? fits(0, 4294967295LL) : fits(-2147483648LL, 2147483647LL);
        *static_cast<int32_t *>(p) = static_cast<int32_t>(v);
        break;
    case 8:
        if (isUnsigned)
            throw oraFail(3001);
        *static_cast<int64_t *>(p) = v;
        break;
    default:
        throw oraFail(3001);
    }
}

void writeText(const ClientBuffer &b, size_t row, const std::string &text)
{
    const size_t room = static_cast<size_t>(textRoom(b));
    if (text.size() > room)
        throw bufferTooSmall();
    char *p = static_cast<char *>(b.element(row));
    size_t written = text.size();
    switch (b.type) {
    case BufferType::NulChars:
        std::memcpy(p, text.data(), text.size());
        p[text.size()] = '\0';
        break;
    case BufferType::CountedChars: {
        const auto n = static_cast<uint16_t>(text.size());
        std::memcpy(p, &n, sizeof n);
        std::memcpy(p + 2, text.data(), text.size());
        break;
    }
    case BufferType::LongCountedChars: {
        const auto n = static_cast<int32_t>(text.size());
        std::memcpy(p, &n, sizeof n);
        std::memcpy(p + 4, text.data(), text.size());
        break;
    }
    case BufferType::PaddedChars:
        // Fixed-length character: blank-padded to the buffer.
        std::memcpy(p, text.data(), text.size());
        std::memset(p + text.size(), ' ', room - text.size());
        written = room;
        break;
    default:
        std::memcpy(p, text.data(), text.size());
    }
    if (uint16_t *len = b.lengthAt(row))
        *len = static_cast<uint16_t>(std::min<size_t>(written, 65535));
}

} // namespace

// Bytes of text the buffer holds at most.
int textRoom(const ClientBuffer &b)
{
    const int size = b.size > 0 ? b.size : 0;
    switch (b.type) {
    case BufferType::NulChars:
        return std::max(size - 1, 0); // the terminating NUL
    case BufferType::CountedChars:
        return std::max(size - 2, 0);
    case BufferType::LongCountedChars:
        return std::max(size - 4, 0);
    default:
        return size;
    }
}

Value readBlockBind(const ClientBuffer &b, size_t row)
{
    const int16_t *ind = b.indicatorAt(row);
    if ((ind && *ind == -1) || !b.data)
        return Value::null();
    const char *p = static_cast<const char *>(b.element(row));
    const uint16_t *alen = b.lengthAt(row);
    const size_t size = b.size > 0 ? static_cast<size_t>(b.size) : 0;
    switch (b.type) {
    case BufferType::Integer:
        switch (size) {
        case 1:
            return Value::fromInteger(*reinterpret_cast<const int8_t *>(p));
        case 2:
            return Value::fromInteger(*reinterpret_cast<const int16_t *>(p));
        case 4:
            return Value::fromInteger(*reinterpret_cast<const int32_t *>(p));
        case 8:
            return Value::fromInteger(*reinterpret_cast<const int64_t *>(p));
        }
        break;
    case BufferType::Unsigned:
        switch (size) {
        case 1:
            return Value::fromInteger(*reinterpret_cast<const uint8_t *>(p));
        case 2:
            return Value::fromInteger(*reinterpret_cast<const uint16_t *>(p));
        case 4:
            return Value::fromInteger(*reinterpret_cast<const uint32_t *>(p));
        }
        break;
    case BufferType::Float:
        if (size == 4)
            return Value::fromReal(*reinterpret_cast<const float *>(p));
        if (size == 8)
            return Value::fromReal(*reinterpret_cast<const double *>(p));
        break;
    case BufferType::NulChars: {
        const size_t limit = alen ? std::min<size_t>(*alen, size) : size;
        return Value::fromText(std::string(p, strnlen(p, limit)));
    }
    case BufferType::Chars:
    case BufferType::PaddedChars:
    case BufferType::LongChars:
        return Value::fromText(std::string(p, alen ? std::min<size_t>(*alen, size) : size));
    case BufferType::CountedChars:
        if (size >= 2)
            return Value::fromText(std::string(
                p + 2, std::min<size_t>(*reinterpret_cast<const uint16_t *>(p), size - 2)));
        break;
    case BufferType::LongCountedChars:
        if (size >= 4) {
            int32_t n;
            std::memcpy(&n, p, sizeof n);
            return Value::fromText(
                std::string(p + 4, std::min<size_t>(n > 0 ? static_cast<size_t>(n) : 0, size - 4)));
        }
        break;
    case BufferType::Date:
        if (size >= 7)
            return Value::fromDate(dateFromBytes(reinterpret_cast<const unsigned char *>(p)));
        break;
    case BufferType::Number:
        return numberFromBytes(reinterpret_cast<const unsigned char *>(p),
            std::min<size_t>(alen ? *alen : size, std::min<size_t>(size, 22)));
    case BufferType::VarNumber:
        if (size >= 2)
            return numberFromBytes(reinterpret_cast<const unsigned char *>(p) + 1,
                std::min<size_t>(static_cast<unsigned char>(p[0]), std::min<size_t>(size - 1, 21)));
        break;
    default:
        break;
    }
    throw oraFail(3001);
}

// Writes an assigned out value into element `row` of the client's buffer.
void writeBlockBind(
    const ClientBuffer &b, size_t row, const Value &v, const std::string &dateFormat)
{
    if (!b.data)
        return;
    int16_t *ind = b.indicatorAt(row);
    if (v.isNull()) {
        if (ind)
            *ind = -1;
        if (uint16_t *len = b.lengthAt(row))
            *len = 0;
        return;
    }
    switch (b.type) {
    case BufferType::Integer:
    case BufferType::Unsigned:
        writeInteger(b, row, v.toInteger());
        if (uint16_t *len = b.lengthAt(row))
            *len = static_cast<uint16_t>(b.size);
        break;
    case BufferType::Float:
        if (b.size == 8)
            *static_cast<double *>(b.element(row)) = v.toReal();
        else if (b.size == 4)
            *static_cast<float *>(b.element(row)) = static_cast<float>(v.toReal());
        else
            throw oraFail(3001);
        if (uint16_t *len = b.lengthAt(row))
            *len = static_cast<uint16_t>(b.size);
        break;
    case BufferType::Number:
    case BufferType::VarNumber: {
        unsigned char bytes[22];
        const size_t n = numberToBytes(v.isNumber() ? v : Value::fromReal(v.toReal()), bytes);
        const size_t prefix = b.type == BufferType::VarNumber ? 1 : 0;
        if (static_cast<size_t>(std::max(b.size, 0)) < n + prefix)
            throw numericOverflow();
        auto *p = static_cast<unsigned char *>(b.element(row));
        if (prefix)
            p[0] = static_cast<unsigned char>(n);
        std::memcpy(p + prefix, bytes, n);
        if (uint16_t *len = b.lengthAt(row))
            *len = static_cast<uint16_t>(n + prefix);
        break;
    }
    case BufferType::Date:
        if (b.size < 7 || v.kind != Value::Kind::Date
            || !dateToBytes(v.text, static_cast<unsigned char *>(b.element(row))))
            throw oraFail(1861);
        if (uint16_t *len = b.lengthAt(row))
            *len = 7;
        break;
    default:
        // A date given to a character buffer reads as the session shows dates.
        writeText(
            b, row, v.kind == Value::Kind::Date ? sql::formatDate(v.text, dateFormat) : v.toText());
    }
    if (ind)
        *ind = 0;
}

} // namespace qdsi::engine
