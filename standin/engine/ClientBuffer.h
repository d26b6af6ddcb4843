#pragma once

// The engine's view of a caller's buffer array for a bind or define, in its own terms: what an
// element holds, where element i lives, and where its indicator, length and column return code
// go. The client layer fills these plain structs when a bind or define is made (mapping its
// datatype codes onto BufferType) and defines the conversions declared here, which move one
// element between the caller's memory and SQLite. The engine only routes values: it never reads
// the caller's bytes itself.

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qdsi::plsql {
struct Value;
}

namespace qdsi::engine {

// What an element of a buffer holds.
enum class BufferType : uint8_t {
    Unsupported, // a datatype the stand-in does not take: ORA-03001 when a value moves
    Chars, // characters, as many as the length says
    LongChars, // the same, as a LONG (PL/SQL blocks take it without the VARCHAR2 limit)
    PaddedChars, // fixed-length characters, blank-padded to the buffer on output
    NulChars, // NUL-terminated characters
    CountedChars, // a 2-byte length, then the characters
    LongCountedChars, // a 4-byte length, then the characters
    Integer, // a signed integer of the buffer's size
    Unsigned, // an unsigned integer of the buffer's size
    Float, // a float or double
    Number, // the server's NUMBER bytes
    VarNumber, // a length byte, then the server's NUMBER bytes
    Date, // the 7-byte DATE
    Bytes, // raw bytes
    Clob, // LOB locators
    Blob,
    Bfile,
    Object, // an object instance of the client's object cache
    Ref, // a REF of the client's object cache
    Timestamp, // date-time descriptors
    TimestampTz,
    TimestampLtz,
    Cursor, // a statement handle of the client: a cursor variable
};

inline bool isLob(BufferType type)
{
    return type == BufferType::Clob || type == BufferType::Blob || type == BufferType::Bfile;
}

// What the client layer keeps beside a buffer (a dynamic define's callback, an object bind's
// type and instance arrays). Defined and read by the client layer only.
struct ClientExtras;

// A caller's buffer array: element i lives at data + i * skip (skip 0: packed at `size`).
struct ClientBuffer {
    void *data = nullptr;
    int32_t size = 0;
    BufferType type = BufferType::Unsupported;
    int16_t *indicator = nullptr;
    uint16_t *length = nullptr; // actual length (bind) / returned length (define)
    uint16_t *returnCode = nullptr; // per element column return code
    uint32_t skip = 0, indicatorSkip = sizeof(int16_t), lengthSkip = sizeof(uint16_t),
             codeSkip = sizeof(uint16_t);
    uint32_t *currentElements = nullptr; // PL/SQL tables
    const ClientExtras *extras = nullptr;

    void *element(size_t i) const
    {
        return static_cast<char *>(data) + i * (skip ? skip : static_cast<uint32_t>(size));
    }
    int16_t *indicatorAt(size_t i) const { return at(indicator, i, indicatorSkip); }
    uint16_t *lengthAt(size_t i) const { return at(length, i, lengthSkip); }
    uint16_t *codeAt(size_t i) const { return at(returnCode, i, codeSkip); }

private:
    template <class T> static T *at(T *first, size_t i, uint32_t step)
    {
        return first ? reinterpret_cast<T *>(reinterpret_cast<char *>(first) + i * step) : nullptr;
    }
};

// How a column's values are to be shown as text.
struct ColumnStyle {
    int oracleType = 1; // 12 DATE: in the date format; 23 RAW: upper-case hex
    std::string dateFormat; // the session's NLS_DATE_FORMAT
};

// ---- Conversions, defined by the client layer ---------------------------------------------------

// Binds element `row` of the buffer as SQLite parameter `index`. Throws OraError.
void bindInput(sqlite3_stmt *statement, int index, const ClientBuffer &buffer, size_t row);

// Stores a value (a column of the current row, or one kept from it) into element `row` of the
// buffer. Returns 0, or the column's ORA code: 1406 truncated (the value still arrives), 1405
// null without an indicator. Throws OraError for a value that cannot be converted (1722, 1861,
// 3001).
int storeOutput(
    sqlite3_value *value, const ColumnStyle &style, const ClientBuffer &buffer, size_t row);

// PL/SQL blocks: the bytes of text a character buffer holds at most; the value of element `row`
// of a bind (ORA-03001 for a buffer type blocks do not take); an assigned out value written
// back (ORA-06502 when it does not fit, ORA-01861 for a DATE buffer given no date).
int textRoom(const ClientBuffer &buffer);
plsql::Value readBlockBind(const ClientBuffer &buffer, size_t row);
void writeBlockBind(const ClientBuffer &buffer, size_t row, const plsql::Value &value,
    const std::string &dateFormat);
// The document of an XMLTYPE instance bound to a PL/SQL block; false for a null one. Other
// object types fail with ORA-03001 (blocks hold no objects but XMLTYPE documents).
bool xmlBindValue(const ClientBuffer &buffer, size_t row, std::string &document);

} // namespace qdsi::engine
