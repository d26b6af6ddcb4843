// Text bound where the stand-in wants a number: a PL/SQL block assigning a text bind to a
// number, integer or NUMBER-bytes bind, and TO_NUMBER of a text bind in a query. The text either
// converts to the number the stand-in's own reader gives for it, or the call fails with an ORA
// error; the NUMBER bytes it writes read back to the same number. The first byte picks the case.
#include "StandinClient.h"
#include "sql/Dialect.h"
#include "sql/NumberFormat.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

using namespace qdsi::oci;

namespace {

fuzzclient::StandinClient &client()
{
    static fuzzclient::StandinClient c;
    static const bool started = (c.begin(), true);
    (void)started;
    return c;
}

// The number the stand-in reads from the text, or nothing when it refuses it.
std::optional<double> expected(const std::string &text)
{
    if (text.empty())
        return std::nullopt; // an empty string is NULL
    try {
        return qdsi::sql::parseNumber(text);
    } catch (const qdsi::sql::OraError &) {
        return std::nullopt;
    }
}

bool close(double a, double b)
{
    if (a == b)
        return true;
    return std::isfinite(a) && std::isfinite(b) && std::fabs(a - b) <= 1e-13 * std::fabs(b);
}

struct Statement {
    OCIStmt *handle = nullptr;
    explicit Statement(const char *sql)
    {
        OCIHandleAlloc(client().env(), reinterpret_cast<void **>(&handle), OCI_HTYPE_STMT, 0,
            nullptr);
        client().checkOraError(OCIStmtPrepare(handle, client().err(),
            reinterpret_cast<const text *>(sql), ub4(std::strlen(sql)), 1, OCI_DEFAULT));
    }
    ~Statement() { OCIHandleFree(handle, OCI_HTYPE_STMT); }
    void bind(ub4 position, void *value, sb4 size, ub2 type, sb2 *indicator, ub2 *length = nullptr)
    {
        OCIBind *b = nullptr;
        client().checkOraError(OCIBindByPos(handle, &b, client().err(), position, value, size,
            type, indicator, length, nullptr, 0, nullptr, OCI_DEFAULT));
    }
    sword execute(ub4 iters)
    {
        const sword status = client().timed([&] {
            return OCIStmtExecute(
                client().svc(), handle, client().err(), iters, 0, nullptr, nullptr, 0);
        });
        client().checkOraError(status);
        return status;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1 || size > 200)
        return 0;
    std::string value(reinterpret_cast<const char *>(data + 1), size - 1);
    value = value.substr(0, value.find('\0')); // a bound C string ends at its zero
    const std::optional<double> want = expected(value);
    sb2 inIndicator = 0, outIndicator = 0;

    switch (data[0] % 4) {
    case 0: { // to a double
        Statement s("begin :n := :t; end;");
        double out = -12345;
        s.bind(1, &out, sizeof out, SQLT_FLT, &outIndicator);
        s.bind(2, value.data(), sb4(value.size() + 1), SQLT_STR, &inIndicator);
        if (s.execute(1) == OCI_SUCCESS && outIndicator == 0 && (!want || !close(out, *want)))
            std::abort();
        break;
    }
    case 1: { // to an integer
        Statement s("begin :n := :t; end;");
        int32_t out = -12345;
        s.bind(1, &out, sizeof out, SQLT_INT, &outIndicator);
        s.bind(2, value.data(), sb4(value.size() + 1), SQLT_STR, &inIndicator);
        if (s.execute(1) == OCI_SUCCESS && outIndicator == 0
            && (!want || std::fabs(double(out) - std::round(*want)) > 0.5))
            std::abort();
        break;
    }
    case 2: { // to NUMBER bytes, and back to a double
        Statement s("begin :n := :t; end;");
        unsigned char number[22] = {};
        ub2 length = sizeof number;
        s.bind(1, number, sizeof number, SQLT_NUM, &outIndicator, &length);
        s.bind(2, value.data(), sb4(value.size() + 1), SQLT_STR, &inIndicator);
        if (s.execute(1) != OCI_SUCCESS || outIndicator != 0)
            break;
        if (!want || length == 0 || length > sizeof number)
            std::abort();
        Statement back("begin :d := :n; end;");
        double out = 0;
        sb2 backIndicator = 0;
        back.bind(1, &out, sizeof out, SQLT_FLT, &backIndicator);
        back.bind(2, number, length, SQLT_NUM, &outIndicator, &length);
        if (back.execute(1) != OCI_SUCCESS || !close(out, *want))
            std::abort();
        break;
    }
    default: { // TO_NUMBER in a query
        Statement s("select to_number(:t) from dual");
        s.bind(1, value.data(), sb4(value.size() + 1), SQLT_STR, &inIndicator);
        if (s.execute(0) != OCI_SUCCESS)
            break;
        double out = 0;
        OCIDefine *define = nullptr;
        client().checkOraError(OCIDefineByPos(s.handle, &define, client().err(), 1, &out,
            sizeof out, SQLT_FLT, &outIndicator, nullptr, nullptr, OCI_DEFAULT));
        const sword fetched = client().timed(
            [&] { return OCIStmtFetch(s.handle, client().err(), 1, 2, OCI_DEFAULT); });
        client().checkOraError(fetched);
        if (fetched == OCI_SUCCESS && outIndicator == 0 && (!want || !close(out, *want)))
            std::abort();
        break;
    }
    }
    return 0;
}
