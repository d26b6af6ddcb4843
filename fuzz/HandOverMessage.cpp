// Feeds arbitrary bytes to the single-instance channel's message reader, as anything on the
// user's machine may write them to the socket. A message is either refused or gives names
// that are absolute, non-empty and bounded, and that encode back to the same bytes.
#include "platform/MainInstance.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const QByteArray &message : { input, qd::TMainInstance::EncodeHandOver({}) + input }) {
        const std::optional<QStringList> files = qd::TMainInstance::DecodeHandOver(message);
        if (!files)
            continue;
        for (const QString &file : *files) {
            if (file.isEmpty() || !file.startsWith(u'/')
                || file.size() > qd::TMainInstance::MaxFileNameLength)
                std::abort();
        }
        if (qd::TMainInstance::EncodeHandOver(*files) != message)
            std::abort();
    }
    return 0;
}
