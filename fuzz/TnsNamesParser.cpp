// Feeds arbitrary text to the tnsnames.ora / sqlnet.ora reader. The input is split at its
// first NUL byte: the part before is sqlnet.ora, the rest tnsnames.ora. Every file an
// "ifile" names reads as the same tnsnames text, so includes and include cycles get
// exercised; the parse must end without a crash.
#include "oracle/TnsNames.h"
#include "platform/LinuxOraclePlatform.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray sqlnet = split < 0 ? QByteArray() : input.left(split);
    const QByteArray tnsnames = split < 0 ? input : input.mid(split + 1);

    const QStringList sqlnetLines = qd::LinuxOraclePlatform::textLines(sqlnet);
    const QStringList tnsLines = qd::LinuxOraclePlatform::textLines(tnsnames);
    qd::TnsNames parser([&](const QString &) { return tnsLines; },
        qd::TnsNames::defaultDomainFromLines(sqlnetLines));
    QStringList aliases;
    parser.parseFile(QStringLiteral("tnsnames.ora"), aliases);
    // Whatever was read, the list stays sorted without case and free of empty names.
    for (qsizetype i = 0; i < aliases.size(); ++i) {
        if (aliases[i].isEmpty())
            __builtin_trap();
        if (i > 0 && aliases[i - 1].compare(aliases[i], Qt::CaseInsensitive) >= 0)
            __builtin_trap();
    }
    return 0;
}
