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
