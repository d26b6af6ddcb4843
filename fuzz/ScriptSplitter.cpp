// Fuzzes the script splitter with nested scripts: the input holds a top-level script and up to
// four nested script files, separated by NUL bytes, written as a.sql .. d.sql into a temporary
// directory that is also the working directory and the script path. The first byte sets the
// nesting limit (1 to 3). The split and the walk must end without a crash, with statements
// nested no deeper than the limit, or with the script engine's own error. The script given
// whole and the same script given as lines must split alike.
#include "worksheet/KXException.h"
#include "worksheet/KXScript.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

struct Walk {
    QStringList statements;
    QString error;
};

// Parses with parse and walks the chain, checking every statement's bounds; each statement is
// kept as one line of text to compare.
template <typename Parse> Walk walk(const QString &dir, int maxNested, Parse &&parse)
{
    Walk result;
    qd::TKXScript script;
    script.SetCurrentDir(dir + QLatin1Char('/'));
    script.SetScriptPath(dir);
    try {
        parse(script);
        int steps = 0;
        for (script.First(); !script.Eof() && steps < 200000; script.Next(), ++steps) {
            const qd::TKXStatement &s = script.CurrentStatement();
            if (s.Level < 1 || s.Level > maxNested || s.Kind >= qd::KXStatementKindCount
                || s.WordCount() > 6 || s.FirstLine < 0 || s.StartColumn < 0)
                __builtin_trap();
            QString seen = QStringLiteral("%1 %2 %3 %4")
                               .arg(int(s.Kind))
                               .arg(s.Level)
                               .arg(s.FirstLine)
                               .arg(s.StartColumn);
            for (int k = 0; k < s.LineCount(); ++k)
                seen += QLatin1Char('|') + s.Line(k).toString();
            for (int k = 0; k < s.WordCount(); ++k)
                seen += QLatin1Char('#') + s.Word(k);
            result.statements.append(seen);
        }
    } catch (const qd::Exception &e) {
        // Nesting limit, a script not found or not readable: errors the runner shows.
        result.error = e.Message();
    }
    script.Clear();
    return result;
}

} // namespace

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

    const QString text = QString::fromUtf8(parts[0]);
    const int mode = data[0] / 3 % 3;
    const int caretLine = int(data[0] % 7);
    const Walk whole = walk(dir.path(), maxNested,
        [&](qd::TKXScript &script) { script.Parse(text, mode, caretLine, maxNested); });
    qd::TStringList lines;
    lines.SetText(text);
    const Walk listed = walk(dir.path(), maxNested,
        [&](qd::TKXScript &script) { script.Parse(lines, mode, caretLine, maxNested); });
    if (whole.statements != listed.statements || whole.error != listed.error)
        __builtin_trap();
    return 0;
}
