#include "oci/BufferValues.h"

#include "engine/DateBytes.h"
#include "engine/Lobs.h"
#include "engine/OraErrors.h"
#include "sql/Dialect.h"
#include "sql/HexText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

namespace qdsi::engine {

using oci::bindDateTime;
using oci::bindObject;
using oci::storeDateTime;
using oci::storeObject;
using oci::storePieces;

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
    const int16_t *ind = b.indicatorAt(row);
    if ((ind && *ind == -1) || !b.data) {
        sqlite3_bind_null(st, index);
        return;
    }
    const char *p = static_cast<const char *>(b.element(row));
    const uint16_t *alen = b.lengthAt(row);
    const size_t size = b.size > 0 ? static_cast<size_t>(b.size) : 0;
    switch (b.type) {
    case BufferType::Integer:
    case BufferType::Unsigned:
        sqlite3_bind_int64(st, index, oci::readWhole(p, b.size, b.type == BufferType::Unsigned));
        return;
    case BufferType::Float:
        if (size == 4)
            sqlite3_bind_double(st, index, *reinterpret_cast<const float *>(p));
        else if (size == 8)
            sqlite3_bind_double(st, index, *reinterpret_cast<const double *>(p));
        else
            throw oraFail(3001);
        return;
    case BufferType::NulChars: {
        const size_t limit = alen ? std::min<size_t>(*alen, size) : size;
        bindText(st, index, p, strnlen(p, limit));
        return;
    }
    case BufferType::Chars:
    case BufferType::PaddedChars:
    case BufferType::LongChars:
        bindText(st, index, p, alen ? std::min<size_t>(*alen, size) : size);
        return;
    case BufferType::CountedChars: {
        if (size < 2)
            throw oraFail(3001);
        const uint16_t n = *reinterpret_cast<const uint16_t *>(p);
        bindText(st, index, p + 2, std::min<size_t>(n, size - 2));
        return;
    }
    case BufferType::Date: {
        if (size < 7)
            throw oraFail(3001);
        char text[DateTextSize];
        const size_t n = dateFromBytes(reinterpret_cast<const unsigned char *>(p), text);
        sqlite3_bind_text(st, index, text, static_cast<int>(n), SQLITE_TRANSIENT);
        return;
    }
    case BufferType::Bytes: {
        const size_t n = alen ? std::min<size_t>(*alen, size) : size;
        if (n == 0)
            sqlite3_bind_null(st, index);
        else
            sqlite3_bind_blob(st, index, p, static_cast<int>(n), SQLITE_TRANSIENT);
        return;
    }
    case BufferType::Timestamp:
    case BufferType::TimestampTz:
    case BufferType::TimestampLtz:
        bindDateTime(st, index, b, row);
        return;
    case BufferType::Object:
    case BufferType::Ref:
        bindObject(st, index, b, row);
        return;
    case BufferType::Clob:
    case BufferType::Blob:
    case BufferType::Bfile: {
        std::string value;
        if (!lobInputValue(b, row, value))
            sqlite3_bind_null(st, index);
        else if (b.type == BufferType::Clob)
            sqlite3_bind_text(
                st, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_blob(
                st, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return;
    }
    default:
        throw oraFail(3001);
    }
}

namespace {

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
        return sql::hexText(sqlite3_value_blob(v), static_cast<size_t>(sqlite3_value_bytes(v)));
    default: {
        const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
        std::string text(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(v)));
        if (style.oracleType == 12)
            return sql::formatDate(text, style.dateFormat);
        if (style.oracleType == 23)
            return sql::hexText(text.data(), text.size());
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
    // strtod also reads hexadecimal, "nan" and "inf", which are no numbers to the server.
    for (const char *c = t; c && c < end; ++c)
        if (!std::strchr("0123456789+-.eE \t\n\r\f\v", *c))
            throw oraFail(1722);
    while (end && *end == ' ')
        ++end;
    if (!t || end == t || *end)
        throw oraFail(1722);
    return number;
}

// Copies text into a character buffer; returns 1406 when it had to be cut.
int storeText(
    std::string_view text, const ClientBuffer &b, size_t row, size_t prefix, bool zero, bool pad)
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
        *reinterpret_cast<uint16_t *>(p) = static_cast<uint16_t>(n);
    if (uint16_t *len = b.lengthAt(row))
        *len = static_cast<uint16_t>(written);
    if (n < text.size()) {
        if (int16_t *ind = b.indicatorAt(row))
            *ind = static_cast<int16_t>(std::min<size_t>(text.size(), 32767));
        return 1406;
    }
    return 0;
}

// Stores a column's value as text. Text that is shown as it is stored is copied straight from
// SQLite's value, without a copy of its own on the way.
int storeColumnText(sqlite3_value *v, int valueType, const ColumnStyle &style,
    const ClientBuffer &b, size_t row, size_t prefix, bool zero, bool pad)
{
    if (valueType == SQLITE_TEXT && style.oracleType != 12 && style.oracleType != 23) {
        const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
        const size_t n = t ? static_cast<size_t>(sqlite3_value_bytes(v)) : 0;
        return storeText(std::string_view(t ? t : "", n), b, row, prefix, zero, pad);
    }
    return storeText(columnText(v, style), b, row, prefix, zero, pad);
}

} // namespace

int storeOutput(sqlite3_value *v, const ColumnStyle &style, const ClientBuffer &b, size_t row)
{
    if (b.extras && b.extras->pieceCallback)
        return storePieces(v, b, row);
    switch (b.type) {
    case BufferType::Timestamp:
    case BufferType::TimestampTz:
    case BufferType::TimestampLtz:
        return storeDateTime(v, b, row);
    case BufferType::Object:
    case BufferType::Ref:
        return storeObject(v, b, row);
    default:
        break;
    }
    int16_t *ind = b.indicatorAt(row);
    const int valueType = sqlite3_value_type(v);
    if (valueType == SQLITE_NULL) {
        if (!ind)
            return 1405;
        *ind = -1;
        if (uint16_t *len = b.lengthAt(row))
            *len = 0;
        return 0;
    }
    if (ind)
        *ind = 0;
    switch (b.type) {
    case BufferType::Integer:
    case BufferType::Unsigned: {
        int64_t whole;
        if (valueType == SQLITE_INTEGER) {
            whole = sqlite3_value_int64(v);
        } else {
            const double rounded = std::round(columnNumber(v));
            if (!(rounded >= -9.2233720368547758e18 && rounded <= 9.2233720368547748e18))
                throw oraFail(1455);
            whole = static_cast<int64_t>(rounded);
        }
        if (!oci::writeWhole(whole, b.element(row), b.size, b.type == BufferType::Unsigned))
            throw oraFail(1455);
        if (uint16_t *len = b.lengthAt(row))
            *len = static_cast<uint16_t>(b.size);
        return 0;
    }
    case BufferType::Float: {
        const double number = columnNumber(v);
        if (b.size == 8)
            *static_cast<double *>(b.element(row)) = number;
        else if (b.size == 4)
            *static_cast<float *>(b.element(row)) = static_cast<float>(number);
        else
            throw oraFail(3001);
        if (uint16_t *len = b.lengthAt(row))
            *len = static_cast<uint16_t>(b.size);
        return 0;
    }
    case BufferType::NulChars:
        return storeColumnText(v, valueType, style, b, row, 0, true, false);
    case BufferType::Chars:
    case BufferType::LongChars:
        return storeColumnText(v, valueType, style, b, row, 0, false, false);
    case BufferType::PaddedChars:
        return storeColumnText(v, valueType, style, b, row, 0, false, true);
    case BufferType::CountedChars:
        return storeColumnText(v, valueType, style, b, row, 2, false, false);
    case BufferType::Date: {
        const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
        if (b.size < 7 || !t
            || !dateToBytes(std::string_view(t, static_cast<size_t>(sqlite3_value_bytes(v))),
                static_cast<unsigned char *>(b.element(row))))
            throw oraFail(1861);
        if (uint16_t *len = b.lengthAt(row))
            *len = 7;
        return 0;
    }
    case BufferType::Bytes: {
        const void *data = sqlite3_value_blob(v);
        const size_t n = data ? static_cast<size_t>(sqlite3_value_bytes(v)) : 0;
        return storeText(std::string_view(data ? static_cast<const char *>(data) : "", n), b, row,
            0, false, false);
    }
    default:
        throw oraFail(3001);
    }
}

} // namespace qdsi::engine

namespace qdsi::oci {

int64_t readWhole(const void *element, int32_t size, bool isUnsigned)
{
    switch (size) {
    case 1:
        return isUnsigned ? *static_cast<const uint8_t *>(element)
                          : *static_cast<const int8_t *>(element);
    case 2:
        return isUnsigned ? *static_cast<const uint16_t *>(element)
                          : *static_cast<const int16_t *>(element);
    case 4:
        return isUnsigned ? int64_t(*static_cast<const uint32_t *>(element))
                          : int64_t(*static_cast<const int32_t *>(element));
    case 8:
        if (!isUnsigned)
            return *static_cast<const int64_t *>(element);
        break;
    }
    throw engine::oraFail(3001);
}

bool writeWhole(int64_t value, void *element, int32_t size, bool isUnsigned)
{
    const auto within = [value](int64_t lo, int64_t hi) { return value >= lo && value <= hi; };
    switch (size) {
    case 1:
        if (!(isUnsigned ? within(0, 255) : within(-128, 127)))
            return false;
        *static_cast<int8_t *>(element) = static_cast<int8_t>(value);
        return true;
    case 2:
        if (!(isUnsigned ? within(0, 65535) : within(-32768, 32767)))
            return false;
        *static_cast<int16_t *>(element) = static_cast<int16_t>(value);
        return true;
    case 4:
        if (!(isUnsigned ? within(0, 4294967295LL) : within(-2147483648LL, 2147483647LL)))
            return false;
        *static_cast<int32_t *>(element) = static_cast<int32_t>(value);
        return true;
    case 8:
        *static_cast<int64_t *>(element) = value;
        return true;
    default:
        throw engine::oraFail(3001);
    }
}

engine::BufferType bufferTypeOf(ub2 dty)
{
    using engine::BufferType;
    switch (dty) {
    case SQLT_CHR:
        return BufferType::Chars;
    case SQLT_LNG:
        return BufferType::LongChars;
    case SQLT_AFC:
        return BufferType::PaddedChars;
    case SQLT_STR:
    case SQLT_AVC:
        return BufferType::NulChars;
    case SQLT_VCS:
        return BufferType::CountedChars;
    case SQLT_LVC:
        return BufferType::LongCountedChars;
    case SQLT_INT:
        return BufferType::Integer;
    case SQLT_UIN:
        return BufferType::Unsigned;
    case SQLT_FLT:
        return BufferType::Float;
    case SQLT_NUM:
        return BufferType::Number;
    case SQLT_VNU:
        return BufferType::VarNumber;
    case SQLT_DAT:
        return BufferType::Date;
    case SQLT_BIN:
    case SQLT_LBI:
        return BufferType::Bytes;
    case SQLT_CLOB:
        return BufferType::Clob;
    case SQLT_BLOB:
        return BufferType::Blob;
    case SQLT_BFILEE:
    case SQLT_CFILEE:
        return BufferType::Bfile;
    case SQLT_NTY:
        return BufferType::Object;
    case SQLT_REF:
        return BufferType::Ref;
    case SQLT_TIMESTAMP:
        return BufferType::Timestamp;
    case SQLT_TIMESTAMP_TZ:
        return BufferType::TimestampTz;
    case SQLT_TIMESTAMP_LTZ:
        return BufferType::TimestampLtz;
    case SQLT_RSET:
        return BufferType::Cursor;
    default:
        return BufferType::Unsupported;
    }
}

engine::ClientBuffer clientBuffer(void *data, sb4 size, ub2 dty, void *indicator, ub2 *length,
    ub2 *returnCode, const engine::ClientExtras *extras)
{
    engine::ClientBuffer b;
    b.data = data;
    b.size = size;
    b.type = bufferTypeOf(dty);
    b.indicator = static_cast<sb2 *>(indicator);
    b.length = length;
    b.returnCode = returnCode;
    b.extras = extras;
    return b;
}

} // namespace qdsi::oci
