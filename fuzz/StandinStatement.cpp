// Arbitrary statement text through the stand-in as the product runs it: prepare, bind the first
// placeholders, execute (a query is then described and fetched, a few rows), on the sample
// schemas as they were made, every run, under a time limit. It must never crash or hang, and
// every failure must be an ORA error on the error handle.
#include "StandinClient.h"

#include <cstddef>
#include <cstdint>

using namespace qdsi::oci;

namespace {

constexpr ub4 ColumnBytes = 512;
constexpr int MaxColumns = 16;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 4096)
        return 0;
    static fuzzclient::StandinClient client;
    static const bool started = (client.begin(), true);
    (void)started;
    OCIStmt *stmt = nullptr;
    OCIHandleAlloc(client.env(), reinterpret_cast<void **>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    OCIError *err = client.err();
    client.checkOraError(client.timed([&] {
        return OCIStmtPrepare(stmt, err, data, static_cast<ub4>(size), 1, OCI_DEFAULT);
    }));

    // Values for the first placeholders: a number, a name, a date as text.
    static const char *const values[] = { "7369", "SMITH", "10", "1981-02-20 00:00:00" };
    for (ub4 i = 0; i < 4; ++i) {
        OCIBind *bind = nullptr;
        // A position the statement does not have is refused with an ORA error too.
        client.checkOraError(OCIBindByPos(stmt, &bind, err, i + 1, const_cast<char *>(values[i]),
            static_cast<sb4>(std::strlen(values[i]) + 1), SQLT_STR, nullptr, nullptr, nullptr, 0,
            nullptr, OCI_DEFAULT));
    }

    ub2 type = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
    const bool query = type == 1; // OCI_STMT_SELECT
    const sword executed = client.timed(
        [&] { return OCIStmtExecute(client.svc(), stmt, err, query ? 0 : 1, 0, nullptr, nullptr, 0); });
    client.checkOraError(executed);
    if (query && executed == OCI_SUCCESS) {
        ub4 columns = 0;
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err);
        static char buffers[MaxColumns][ColumnBytes];
        static sb2 indicators[MaxColumns];
        static ub2 lengths[MaxColumns];
        for (ub4 c = 0; c < columns && c < ub4(MaxColumns); ++c) {
            OCIDefine *define = nullptr;
            // Object and other complex columns refuse a text define with an ORA error.
            client.checkOraError(OCIDefineByPos(stmt, &define, err, c + 1, buffers[c], ColumnBytes,
                SQLT_STR, &indicators[c], &lengths[c], nullptr, OCI_DEFAULT));
        }
        for (int row = 0; row < 20; ++row) {
            const sword fetched = client.timed(
                [&] { return OCIStmtFetch(stmt, err, 1, 2 /* OCI_FETCH_NEXT */, OCI_DEFAULT); });
            client.checkOraError(fetched);
            if (fetched != OCI_SUCCESS && fetched != OCI_SUCCESS_WITH_INFO)
                break;
            for (ub4 c = 0; c < columns && c < ub4(MaxColumns); ++c)
                if (indicators[c] == 0 && lengths[c] >= ColumnBytes)
                    std::abort(); // a value longer than its buffer
        }
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    client.finishRun();
    return 0;
}
