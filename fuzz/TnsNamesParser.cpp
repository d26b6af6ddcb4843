// Feeds arbitrary text to the tnsnames.ora / sqlnet.ora reader. The input is split at its
// NUL bytes: the first part is sqlnet.ora, the second the main tnsnames.ora, the others
// further files. Every path an include resolves to stands for one of the files, for a
// missing file or for one that cannot be read, picked from the path's characters, so
// relative and quoted includes, chains, diamonds and cycles all get exercised. The parse
// must end without a crash, list each alias once and name each problem once.
#include "classlib/Exception.h"
#include "oracle/TnsNames.h"
#include "platform/LinuxOraclePlatform.h"

#include <QSet>

#include <cstddef>
#include <cstdint>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> parts = input.split('\0');
    const QStringList sqlnetLines
        = parts.size() > 1 ? qd::LinuxOraclePlatform::textLines(parts[0]) : QStringList();
    QList<QStringList> files;
    for (qsizetype i = parts.size() > 1 ? 1 : 0; i < parts.size(); ++i)
        files.append(qd::LinuxOraclePlatform::textLines(parts[i]));

    const QString main = QStringLiteral("/net/admin/tnsnames.ora");
    qsizetype reads = 0;
    qd::TnsNames parser(
        [&](const QString &path) -> std::optional<QStringList> {
            ++reads;
            if (path == main)
                return files[0];
            uint sum = 0;
            for (const QChar c : path)
                sum = sum * 31 + c.unicode();
            const qsizetype pick = qsizetype(sum % uint(files.size() + 2));
            if (pick == files.size())
                return std::nullopt;
            if (pick == files.size() + 1)
                throw qd::Exception(QStringLiteral("Cannot read ") + path);
            return files[pick];
        },
        qd::TnsNames::defaultDomainFromLines(sqlnetLines));
    const QStringList aliases = parser.parseFile(main);

    QSet<QString> seen;
    for (const QString &alias : aliases) {
        if (alias.isEmpty())
            __builtin_trap();
        const QString key = alias.toLower();
        if (seen.contains(key))
            __builtin_trap();
        seen.insert(key);
    }
    const QStringList &warnings = parser.warnings();
    if (QSet<QString>(warnings.cbegin(), warnings.cend()).size() != warnings.size())
        __builtin_trap();
    // However the includes branch, the number of files read stays bounded.
    if (reads > qd::TnsNames::MaxFiles)
        __builtin_trap();
    return 0;
}
