// Date-time text the stand-in reads back from its schema files and binds: the 7-byte DATE's ISO
// text and the stored text of TIMESTAMP values. Any text is read or refused; what is read writes
// back to text that reads to the same value. Any 7 bytes give DATE text within its buffer.
#include "engine/DateBytes.h"
#include "oci/DateTimeDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Only the zoned kind keeps its offset from UTC in the stored text.
bool sameValue(const qdsi::oci::DateTimeDescriptor &a, const qdsi::oci::DateTimeDescriptor &b,
    bool zoned)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour
        && a.minute == b.minute && a.second == b.second && a.nanoseconds == b.nanoseconds
        && (!zoned || a.zoneMinutes == b.zoneMinutes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    using namespace qdsi;
    using namespace qdsi::oci;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    unsigned char bytes[7];
    if (engine::dateToBytes(text, bytes)) {
        const std::string iso = engine::dateFromBytes(bytes);
        unsigned char again[7];
        if (!engine::dateToBytes(iso, again) || std::memcmp(bytes, again, sizeof bytes) != 0)
            __builtin_trap();
    }
    if (size >= 8) {
        // Exactly the documented buffer, so a longer write is caught.
        std::unique_ptr<char[]> buffer(new char[engine::DateTextSize]);
        const size_t n = engine::dateFromBytes(data + 1, buffer.get());
        if (n >= engine::DateTextSize || std::strlen(buffer.get()) != n)
            __builtin_trap();
    }

    static const ub4 kinds[] = { OCI_DTYPE_TIMESTAMP, OCI_DTYPE_TIMESTAMP_TZ,
        OCI_DTYPE_TIMESTAMP_LTZ };
    const ub4 kind = kinds[data[0] % 3];
    qdsi::oci::DateTimeDescriptor first(kind);
    if (!qdsi::oci::fromStoredText(text, first))
        return 0;
    const std::string stored = qdsi::oci::storedText(first);
    qdsi::oci::DateTimeDescriptor second(kind);
    if (!qdsi::oci::fromStoredText(stored, second) || !sameValue(first, second, kind == OCI_DTYPE_TIMESTAMP_TZ)
        || qdsi::oci::storedText(second) != stored)
        __builtin_trap();
    return 0;
}
