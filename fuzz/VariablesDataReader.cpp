// Fuzzes the reader of the stored variables "Data" stream: every input is read or refused
// with an exception, never read or written past a buffer; what was read writes and reads back.
#include "classlib/Exception.h"
#include "oracle/OracleVariables.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    qd::TVariables variables;
    try {
        variables.ReadData(stream);
    } catch (const qd::Exception &) {
        return 0;
    }
    for (int i = 0; i < variables.Count(); ++i) {
        qd::TVariableData &v = variables.Items(i);
        v.GetValue(0, nullptr);
        v.DisplayText(qd::Variant());
    }
    qd::TVariables copy;
    copy.ReadData(variables.WriteData());
    if (copy.Differs(variables))
        __builtin_trap();
    return 0;
}
