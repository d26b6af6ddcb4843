#pragma once

// The client layer's side of the engine's buffer seam (engine/ClientBuffer.h): its datatype
// codes mapped onto the engine's buffer types, what it keeps beside a buffer, and the
// conversions of date-time descriptors, objects and dynamic fetches that bindInput and
// storeOutput hand values on to.

#include "engine/ClientBuffer.h"
#include "oci/OciTypes.h"

namespace qdsi::engine {

struct ClientExtras {
    // Dynamic fetch (LONG pieces): the define's callback, its context and the define handle.
    OCICallbackDefine pieceCallback = nullptr;
    void *pieceContext = nullptr;
    void *defineHandle = nullptr;
    // Objects and REFs (OCIDefineObject, OCIBindObject): the type descriptor, the array of
    // instance pointers and the array of null-structure pointers.
    const void *objectType = nullptr;
    void **objectSlots = nullptr;
    void **objectNulls = nullptr;
};

} // namespace qdsi::engine

namespace qdsi::oci {

// The engine's buffer type for an external datatype; Unsupported for the ones not taken.
engine::BufferType bufferTypeOf(ub2 dty);

// Reads an integer element of 1, 2, 4 or 8 bytes (unsigned: 1, 2 or 4); ORA-03001 for another
// size.
int64_t readWhole(const void *element, int32_t size, bool isUnsigned);
// Writes a whole number into an integer element of 1, 2, 4 or 8 bytes, signed or not (8 bytes
// take any value, bit for bit). False when it is outside the element's range; ORA-03001 for
// another size.
bool writeWhole(int64_t value, void *element, int32_t size, bool isUnsigned);

// A caller's buffer as the engine sees it, for a bind or define call's arguments.
engine::ClientBuffer clientBuffer(void *data, sb4 size, ub2 dty, void *indicator, ub2 *length,
    ub2 *returnCode, const engine::ClientExtras *extras);

// Date-time descriptors in binds and defines (DateTimeCalls.cpp).
void bindDateTime(
    sqlite3_stmt *statement, int index, const engine::ClientBuffer &buffer, size_t row);
int storeDateTime(sqlite3_value *value, const engine::ClientBuffer &buffer, size_t row);

// Objects and REFs in binds and defines (ObjectCalls.cpp).
void bindObject(sqlite3_stmt *statement, int index, const engine::ClientBuffer &buffer, size_t row);
int storeObject(sqlite3_value *value, const engine::ClientBuffer &buffer, size_t row);

// Hands a value to a dynamic define's callback in pieces (DynamicFetch.cpp).
int storePieces(sqlite3_value *value, const engine::ClientBuffer &buffer, size_t row);

} // namespace qdsi::oci
