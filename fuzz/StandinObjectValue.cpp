// Stored object values read back from the stand-in's schema files: any text decodes or fails
// with ORA-00932, and what decodes encodes to a text that decodes to the same encoding.
#include "engine/ObjectTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

size_t countValues(const qdsi::engine::ObjectValue &v)
{
    size_t n = 1;
    for (const qdsi::engine::ObjectValue &item : v.items)
        n += countValues(item);
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    qdsi::engine::ObjectValue value;
    try {
        value = qdsi::engine::decodeObjectValue(text);
    } catch (const qdsi::sql::OraError &e) {
        if (e.code != 932)
            __builtin_trap();
        return 0;
    }
    // Every value takes at least one character of the text.
    if (countValues(value) > size)
        __builtin_trap();
    const std::string encoded = qdsi::engine::encodeObjectValue(value);
    const std::string again = qdsi::engine::encodeObjectValue(qdsi::engine::decodeObjectValue(encoded));
    if (again != encoded)
        __builtin_trap();
    for (size_t i = 0; i < value.items.size(); ++i)
        if (qdsi::engine::elementRowid(value, i) <= 0)
            __builtin_trap();
    return 0;
}
