// The error text the client library hands back fills the reader's buffer: with or without a
// closing zero, in any encoding. The reader must stay inside its buffer, keep the code, give a
// text that is never empty and never longer than the longest message, and not cut a character
// in half. Raising the error must give the product's own exception types only.
#include "oracle/OracleError.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace qd; // the client library's type names

namespace {

const std::uint8_t *libraryText;
std::size_t textSize;
sb4 errorCode;

sword errorGet(void *, ub4, OraText *, sb4 *code, OraText *buffer, ub4 size, ub4)
{
    *code = errorCode;
    // Like a library that fills the whole buffer when the text is long.
    const std::size_t n = std::min<std::size_t>(textSize, size);
    std::memcpy(buffer, libraryText, n);
    return OCI_SUCCESS;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    std::memcpy(&errorCode, data, 4);
    libraryText = data + 4;
    textSize = size - 4;
    qd::OracleEntryPoints oci;
    oci.OCIErrorGet = errorGet;
    auto *handle = reinterpret_cast<OCIError *>(&oci); // any non-null handle

    const qd::OracleErrorInfo info = qd::ReadOracleError(oci, nullptr, handle, -1);
    if (info.code != errorCode || info.message.isEmpty()
        || info.message.size() > qd::OracleErrorMaxMessage || info.message.back().isHighSurrogate())
        __builtin_trap();

    // No library text at all: the code still says what failed.
    qd::OracleEntryPoints none;
    const qd::OracleErrorInfo missing = qd::ReadOracleError(none, nullptr, handle, errorCode);
    if (missing.message.isEmpty() || missing.code != errorCode)
        __builtin_trap();

    try {
        qd::CheckOracleResult(OCI_ERROR, QStringLiteral("TOracleQuery"), oci, handle);
        __builtin_trap(); // an error status must raise
    } catch (const qd::EOracleError &e) {
        if (e.ErrorCode() != errorCode || e.Message() != info.message)
            __builtin_trap();
    }
    try {
        qd::CheckOracleResult(OCI_INVALID_HANDLE, QStringLiteral("TOracleQuery"), oci, handle);
        __builtin_trap();
    } catch (const qd::EOracleError &) {
        __builtin_trap(); // an invalid handle reads no error record
    } catch (const qd::Exception &) {
    }
    qd::CheckOracleResult(OCI_SUCCESS_WITH_INFO, QStringLiteral("TOracleQuery"), oci, handle);
    qd::EOracleMTSError::ErrorText(errorCode);
    return 0;
}
