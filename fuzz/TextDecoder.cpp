// The decoder of the text stores (string lists, ini files): UTF-8 reads as UTF-8 without its
// byte-order mark, anything else as Latin-1, so every byte comes back on a rewrite.
#include "classlib/TextFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = qd::DecodeText(bytes);
    if (text.toLatin1() == bytes && text == QString::fromLatin1(bytes))
        return 0; // read as Latin-1 (or plain ASCII)
    // Read as UTF-8: the bytes are the text's UTF-8 after at most two byte-order marks (the
    // decoder's own and the one the reader drops).
    QByteArray rest = bytes;
    for (int i = 0; i < 3; ++i) {
        if (text.toUtf8() == rest)
            return 0;
        if (!rest.startsWith("\xef\xbb\xbf"))
            break;
        rest.remove(0, 3);
    }
    __builtin_trap();
}
