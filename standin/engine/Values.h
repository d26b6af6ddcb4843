#pragma once

// Moving values between the caller's buffers (external datatypes: strings, integers, doubles,
// 7-byte dates, raw bytes) and SQLite, in both directions.

#include "oci/OciTypes.h"
#include "sql/Dialect.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace qdsi::engine {

// A caller's buffer array for a bind or define: element i lives at data + i * skip.
struct ClientBuffer {
    void *data = nullptr;
    sb4 size = 0;
    ub2 type = 0;
    sb2 *indicator = nullptr;
    ub2 *length = nullptr; // actual length (bind) / returned length (define)
    ub2 *returnCode = nullptr; // per element column return code
    ub4 skip = 0, indicatorSkip = sizeof(sb2), lengthSkip = sizeof(ub2), codeSkip = sizeof(ub2);
    ub4 *currentElements = nullptr; // PL/SQL tables
    // Dynamic fetch (LONG pieces): the define's callback, its context and the define handle.
    OCICallbackDefine pieceCallback = nullptr;
    void *pieceContext = nullptr;
    void *defineHandle = nullptr;
    // Objects and REFs (OCIDefineObject, OCIBindObject): the type descriptor, the array of
    // instance pointers and the array of null-structure pointers.
    const void *objectType = nullptr;
    void **objectSlots = nullptr;
    void **objectNulls = nullptr;

    void *element(size_t i) const { return static_cast<char *>(data) + i * (skip ? skip : size); }
    sb2 *indicatorAt(size_t i) const;
    ub2 *lengthAt(size_t i) const;
    ub2 *codeAt(size_t i) const;
};

// Converts 7-byte DATE to ISO "YYYY-MM-DD HH24:MI:SS" and back (false for text that is not
// one: "YYYY-MM-DD" alone, or with a time after blanks). Neither allocates but the
// std::string form; the buffer form writes at most DateTextSize bytes with the NUL and returns
// the length.
constexpr size_t DateTextSize = 24;
size_t dateFromBytes(const unsigned char *bytes, char *text);
std::string dateFromBytes(const unsigned char *bytes);
bool dateToBytes(std::string_view iso, unsigned char *bytes);

// Binds element `row` of the buffer as SQLite parameter `index`. Throws OraError.
void bindInput(sqlite3_stmt *statement, int index, const ClientBuffer &buffer, size_t row);

// How a column's values are to be shown as text.
struct ColumnStyle {
    int oracleType = 1; // 12 DATE: in the date format; 23 RAW: upper-case hex
    std::string dateFormat; // the session's NLS_DATE_FORMAT
};

// Stores a value (a column of the current row, or one kept from it) into element `row` of the
// buffer. Returns 0, or the column's ORA code: 1406 truncated (the value still arrives), 1405
// null without an indicator. Throws OraError for a value that cannot be converted (1722, 1861,
// 3001).
int storeOutput(
    sqlite3_value *value, const ColumnStyle &style, const ClientBuffer &buffer, size_t row);

// Hands a value to a dynamic define's callback in pieces (DynamicFetch.cpp).
int storePieces(sqlite3_value *value, const ClientBuffer &buffer, size_t row);

// Date-time descriptors in binds and defines; defined by the client layer, which owns them.
bool isDateTimeType(ub2 type);
void bindDateTime(sqlite3_stmt *statement, int index, const ClientBuffer &buffer, size_t row);
int storeDateTime(sqlite3_value *value, const ClientBuffer &buffer, size_t row);

// Objects and REFs in binds and defines; defined by the client layer (ObjectCalls.cpp).
bool isObjectType(ub2 type);
void bindObject(sqlite3_stmt *statement, int index, const ClientBuffer &buffer, size_t row);
int storeObject(sqlite3_value *value, const ClientBuffer &buffer, size_t row);
// The document of an XMLTYPE instance bound to a PL/SQL block; false for a null one. Other
// object types fail with ORA-03001 (blocks hold no objects but XMLTYPE documents).
bool xmlBindValue(const ClientBuffer &buffer, size_t row, std::string &document);

} // namespace qdsi::engine
