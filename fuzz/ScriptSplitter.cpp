// Fuzzes the script splitter with nested scripts: the input holds a top-level script and up to
// four nested script files, separated by NUL bytes, written as a.sql .. d.sql into a temporary
// directory that is also the working directory and the script path. The first byte sets the
// nesting limit (1 to 3). The split and the walk must end without a crash, with statements
// nested no deeper than the limit, or with the script engine's own error.
#include "worksheet/KXException.h"
#include "worksheet/KXScript.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Small inputs keep a script that calls itself many times from taking long.
    if (size < 1 || size > 1024)
        return 0;
    static QTemporaryDir dir;
    static const bool ready = dir.isValid() && QDir::setCurrent(dir.path());
    if (!ready)
        return 0;
    const int maxNested = 1 + data[0] % 3;
    const QList<QByteArray> parts
        = QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1)).split('\0');
    static const char *const names[] = { "a.sql", "b.sql", "c.sql", "d.sql" };
    for (int i = 0; i < 4; ++i) {
        QFile file(dir.filePath(QString::fromLatin1(names[i])));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        if (i + 1 < parts.size())
            file.write(parts[i + 1]);
    }

    qd::TStringList lines;
    lines.SetText(QString::fromUtf8(parts[0]));
    qd::TKXScript script;
    script.SetCurrentDir(dir.path() + QLatin1Char('/'));
    script.SetScriptPath(dir.path());
    try {
        script.Parse(lines, data[0] / 3 % 3, int(data[0] % 7), maxNested);
        int steps = 0;
        for (script.First(); !script.Eof() && steps < 200000; script.Next(), ++steps) {
            const qd::TKXStatement &s = script.CurrentStatement();
            if (s.Level < 1 || s.Level > maxNested || s.Kind >= qd::KXStatementKindCount
                || s.Words.Count() > 6 || s.FirstLine < 0 || s.StartColumn < 0)
                __builtin_trap();
        }
    } catch (const qd::Exception &) {
        // Nesting limit, a script not found or not readable: errors the runner shows.
    }
    script.Clear();
    return 0;
}
