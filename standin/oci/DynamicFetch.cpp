// Dynamic fetch of LONG and LONG RAW values: the define's callback supplies a buffer for each
// piece and the value is poured into those buffers until all of it has arrived.
#include "engine/OraErrors.h"
#include "oci/BufferValues.h"
#include "sql/Dialect.h"

#include <cstring>

namespace qdsi::oci {

int storePieces(sqlite3_value *v, const engine::ClientBuffer &b, size_t row)
{
    const engine::ClientExtras &x = *b.extras;
    std::string bytes;
    const bool isNull = sqlite3_value_type(v) == SQLITE_NULL;
    if (sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT) {
        bytes = sql::numberToText(v);
    } else if (!isNull) {
        const void *p = sqlite3_value_blob(v);
        bytes.assign(
            p ? static_cast<const char *>(p) : "", static_cast<size_t>(sqlite3_value_bytes(v)));
    }
    size_t offset = 0;
    bool first = true;
    do {
        void *buffer = nullptr;
        ub4 *length = nullptr;
        void *indicator = nullptr;
        ub2 *code = nullptr;
        ub1 piece = first ? OCI_FIRST_PIECE : OCI_NEXT_PIECE;
        const sb4 status = x.pieceCallback(x.pieceContext, static_cast<OCIDefine *>(x.defineHandle),
            static_cast<ub4>(row), &buffer, &length, &piece, &indicator, &code);
        if (status != OCI_CONTINUE)
            throw engine::oraFail(24343);
        if (!length || (!buffer && *length > 0))
            throw engine::oraFail(24343);
        const size_t room = *length;
        const size_t n = std::min(room, bytes.size() - offset);
        if (n > 0)
            std::memcpy(buffer, bytes.data() + offset, n);
        *length = static_cast<ub4>(n);
        if (indicator)
            *static_cast<sb2 *>(indicator) = isNull ? -1 : 0;
        if (code)
            *code = 0;
        offset += n;
        // A callback that offers no room while bytes remain would never finish.
        if (room == 0 && offset < bytes.size())
            throw engine::oraFail(24343);
        first = false;
    } while (offset < bytes.size());
    if (sb2 *ind = b.indicatorAt(row))
        *ind = isNull ? -1 : 0;
    return 0;
}

} // namespace qdsi::oci
