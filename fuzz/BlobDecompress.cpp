#include "oracle_data/OracleCompress.h"

#include <cstddef>
#include <cstdint>

// Any bytes read from the server: a container must decode or be reported, never crash,
// and never allocate beyond what its code bytes can yield. Any bytes compressed decode to
// themselves.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Put the magic words in front so that most inputs reach the decoder.
    QByteArray value = QByteArray::fromHex("9100a63888b7cc1b");
    value.append(reinterpret_cast<const char *>(data), qsizetype(size));
    QString problem;
    const QByteArray stored = value;
    const bool replaced
        = qd::DecompressBlobValue(qd::TBlobCompression {}, nullptr, value, &problem);
    if (!replaced && value != stored)
        __builtin_trap(); // a failed decode must keep the stored value
    if (replaced && !problem.isEmpty())
        __builtin_trap();

    // And the raw bytes as they are, container or not.
    QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    qd::DecompressBlobValue(qd::TBlobCompression {}, nullptr, raw, &problem);

    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray packed;
    qd::LzhCompress(input, packed);
    QByteArray back;
    qd::LzhDecompress(packed, back);
    if (back != input)
        __builtin_trap();
    return 0;
}
