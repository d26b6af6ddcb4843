#pragma once

#include "worksheet/KXScript.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <ostream>
#include <vector>

namespace qd::test {

// One statement as the tests compare it.
struct SplitStatement {
    TKXStatementKind kind;
    QStringList lines;
    int firstLine = 0;
    int startColumn = 0;

    bool operator==(const SplitStatement &) const = default;
};

inline void PrintTo(const SplitStatement &s, std::ostream *os)
{
    *os << "{kind " << int(s.kind) << ", [" << s.lines.join(QStringLiteral("|")).toStdString()
        << "], line " << s.firstLine << ", column " << s.startColumn << '}';
}

inline QStringList toQStringList(const TStringList &list)
{
    QStringList result;
    for (int i = 0; i < list.Count(); ++i)
        result << list[i];
    return result;
}

inline TStringList toStringList(const QString &text)
{
    TStringList list;
    list.SetText(text);
    return list;
}

// Walks a parsed script from First to Eof.
inline std::vector<SplitStatement> walk(TKXScript &script)
{
    std::vector<SplitStatement> result;
    for (script.First(); !script.Eof(); script.Next()) {
        const TKXStatement &s = script.CurrentStatement();
        result.push_back(
            SplitStatement { s.Kind, toQStringList(s.Lines()), s.FirstLine, s.StartColumn });
    }
    return result;
}

// Splits text with the given mode and caret line.
inline std::vector<SplitStatement> splitText(const QString &text, int mode = kpmAll,
    int caretLine = 0, const QString &currentDir = QString())
{
    TKXScript script;
    script.SetCurrentDir(currentDir);
    TStringList lines = toStringList(text);
    script.Parse(lines, mode, caretLine, 5);
    auto result = walk(script);
    script.Clear();
    return result;
}

// The same with the text given whole, as the runner hands it over.
inline std::vector<SplitStatement> splitWholeText(const QString &text, int mode = kpmAll,
    int caretLine = 0, const QString &currentDir = QString())
{
    TKXScript script;
    script.SetCurrentDir(currentDir);
    script.Parse(text, mode, caretLine, 5);
    auto result = walk(script);
    script.Clear();
    return result;
}

inline void writeFile(const QString &path, const QString &text)
{
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
}

} // namespace qd::test
