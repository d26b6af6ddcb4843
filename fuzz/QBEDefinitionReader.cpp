#include "oracle_data/QBEDefinition.h"

#include "classlib/Exception.h"

#include <cstddef>
#include <cstdint>

// A "QBEFieldDefs" block from a form file: it reads or fails with qd::Exception, and what it
// reads writes back and reads again to the same items.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    qd::TQBEDefinition d;
    try {
        d.ReadQBEFieldDefs(QByteArrayView(data, qsizetype(size)));
    } catch (const qd::Exception &) {
        if (d.Count() != 0)
            __builtin_trap();
        return 0;
    }
    qd::TQBEDefinition again;
    again.ReadQBEFieldDefs(d.WriteQBEFieldDefs());
    if (again.QBEFieldDefsHasData(&d))
        __builtin_trap();
    return 0;
}
