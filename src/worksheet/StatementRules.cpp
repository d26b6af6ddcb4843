#include "worksheet/StatementRules.h"

#include "shell/TextTools.h"
#include "worksheet/ScriptLines.h"
#include "worksheet/SqlTerminatorScan.h"
#include "worksheet/StatementClassifier.h"

#include <QVarLengthArray>

namespace qd {

namespace {

bool isSlashLine(QStringView line)
{
    return line.trimmed() == u"/";
}

QStringView trimmedRight(QStringView line)
{
    qsizetype end = line.size();
    while (end > 0 && line[end - 1].unicode() <= u' ')
        --end;
    return line.left(end);
}

QStringView trimmedLeft(QStringView line)
{
    qsizetype begin = 0;
    while (begin < line.size() && line[begin].unicode() <= u' ')
        ++begin;
    return line.mid(begin);
}

void upperAsciiInPlace(QString &text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    }
}

bool hasDirectoryPart(const QString &name)
{
    return name.contains(u'/');
}

// A view handed to routines that take a QString, without copying its characters; valid while
// the viewed text lives unchanged.
QString borrowed(QStringView text)
{
    return QString::fromRawData(text.data(), text.size());
}

// Appends text with its tabs read as blanks to the prepared text being built.
void appendTabsAsBlanks(TScriptLines &lines, QStringView text)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype tab = text.indexOf(u'\t', from);
        if (tab < 0) {
            lines.Append(text.mid(from));
            return;
        }
        lines.Append(text.mid(from, tab - from));
        lines.Append(QChar(u' '));
        from = tab + 1;
    }
}

} // namespace

QString JoinDirectory(const QString &dir, const QString &name)
{
    if (dir.isEmpty())
        return name;
    if (dir.endsWith(u'/'))
        return dir + name;
    return dir + QLatin1Char('/') + name;
}

int SqlStatementRule(TScriptLines &lines, int i)
{
    // Find the end first; then the lines are added, as spans of the script where they can be.
    SqlTerminatorScan scan;
    const int n = lines.Count();
    int end = i; // lines i .. end - 1 are the statement's
    int used = n - i;
    qsizetype semicolon = -1;
    for (int l = i; l < n; ++l) {
        const QStringView line = lines[l];
        if (isSlashLine(line)) {
            end = l;
            used = l - i + 1;
            break;
        }
        semicolon = scan.findTerminator(trimmedRight(line));
        end = l + 1;
        if (semicolon >= 0) {
            used = l - i + 1;
            break;
        }
    }
    const int last = semicolon >= 0 ? end - 1 : end;
    for (int l = i; l < last; ++l)
        lines.Add(trimmedRight(lines[l]));
    if (semicolon >= 0) {
        // The ";" itself is dropped; text behind it on that line stays.
        const QStringView line = trimmedRight(lines[last]);
        if (semicolon == line.size() - 1) {
            lines.Add(line.left(semicolon));
        } else {
            const qsizetype begin = lines.BeginPrepared();
            lines.Append(line.left(semicolon));
            lines.Append(line.mid(semicolon + 1));
            lines.EndPrepared(begin);
        }
    }
    return used;
}

int PlsqlStatementRule(TScriptLines &lines, int i)
{
    const int n = lines.Count();
    int end = i;
    while (end < n && !isSlashLine(lines[end]))
        ++end;
    for (int l = i; l < end; ++l)
        lines.Add(lines[l]);
    return end < n ? end - i + 1 : n - i;
}

int ExecuteRule(TScriptLines &lines, int i, QStringView commandWord)
{
    // The call's lines, trimmed (tabs are blanks to trimming too), then written out.
    const int n = lines.Count();
    QVarLengthArray<QStringView, 8> parts;
    int l = i;
    bool last = false;
    while (l < n && !last) {
        QStringView line = lines[l].trimmed();
        if (l == i)
            line = line.mid(commandWord.size());
        if (line.isEmpty())
            break;
        last = !line.endsWith(u'-');
        parts.append(line);
        ++l;
    }
    if (parts.isEmpty())
        return 1;
    for (qsizetype k = 0; k < parts.size(); ++k) {
        const QStringView line = parts[k];
        const qsizetype begin = lines.BeginPrepared();
        if (k == 0)
            lines.Append(u"BEGIN ");
        if (line.endsWith(u'-')) {
            appendTabsAsBlanks(lines, line.chopped(1));
            lines.Append(QChar(u' '));
        } else {
            appendTabsAsBlanks(lines, line);
            if (!line.endsWith(u';'))
                lines.Append(QChar(u';'));
        }
        if (k == parts.size() - 1)
            lines.Append(u" END;");
        lines.EndPrepared(begin);
    }
    return l - i;
}

int TokenRule(TScriptLines &lines, int i, bool keepCase)
{
    const int n = lines.Count();
    int l = i;
    bool more = true;
    QString withBlanks;
    while (more && l < n) {
        QStringView line = lines[l].trimmed();
        ++l;
        if (line.isEmpty()) {
            // Blank lines inside a continued command are passed over.
            continue;
        }
        if (line.contains(u'\t')) {
            withBlanks = line.toString();
            withBlanks.replace(u'\t', u' ');
            line = withBlanks;
        }
        // Tokens go straight to the statement; a "-" that ends the line (not quoted) continues
        // the command on the next line and is taken back.
        int added = 0;
        bool lastQuoted = false;
        qsizetype p = 0;
        const qsizetype size = line.size();
        while (p < size) {
            while (p < size && line[p] == u' ')
                ++p;
            if (p >= size)
                break;
            if (line[p] == u'\'') {
                int end = 0;
                lines.Add(ExtractQuotedText(borrowed(line), int(p) + 1, u'\'', end));
                ++added;
                lastQuoted = true;
                p = end;
                continue;
            }
            // With keepCase (a logon's values) a double-quoted part is one value, blanks and
            // all, so a quoted password with runs of blanks reaches the server as typed.
            qsizetype stop = p;
            bool inQuotes = false;
            while (stop < size && (inQuotes || line[stop] != u' ')) {
                if (keepCase && line[stop] == u'"')
                    inQuotes = !inQuotes;
                ++stop;
            }
            QStringView token = line.mid(p, stop - p);
            p = stop;
            const qsizetype semicolon = token.indexOf(u';');
            if (semicolon >= 0 && semicolon == token.size() - 1)
                token.chop(1);
            if (token.isEmpty())
                continue;
            // The command word is a keyword; with keepCase the values keep what was typed.
            const bool upper = !keepCase || (l - 1 == i && added == 0);
            if (upper)
                lines.AddUpper(token);
            else
                lines.Add(token);
            ++added;
            lastQuoted = false;
        }
        more = added > 0 && !lastQuoted && lines.Last() == u"-";
        if (more)
            lines.RemoveLast();
    }
    return l - i;
}

int PromptRule(TScriptLines &lines, int i, QStringView commandWord)
{
    const int n = lines.Count();
    QStringView line = trimmedLeft(lines[i]).mid(commandWord.size());
    if (!trimmedRight(line).endsWith(u'-')) {
        lines.Add(line);
        return 1;
    }
    const qsizetype begin = lines.BeginPrepared();
    int l = i;
    for (;;) {
        ++l;
        const QStringView tail = trimmedRight(line);
        if (!tail.endsWith(u'-')) {
            lines.Append(line);
            break;
        }
        lines.Append(tail.chopped(1));
        lines.Append(QChar(u' '));
        if (l >= n)
            break;
        line = lines[l].trimmed();
    }
    lines.EndPrepared(begin);
    return l - i;
}

QString ScriptCallName(QStringView line, TKXStatementKind kind)
{
    const int cut = kind == skRunScriptRelative ? 2 : kind == skStartScript ? 5 : 1;
    return GetFirstWord(borrowed(trimmedLeft(trimmedLeft(line).mid(cut))));
}

QString SpoolFileName(QStringView line, const QString &currentDir)
{
    QString upper = line.toString();
    upperAsciiInPlace(upper);
    const qsizetype at = upper.indexOf(u"SPOOL");
    const QString rest = at < 0 ? QString() : trimmedLeft(line.mid(at + 5)).toString();
    QString name = GetFirstWord(rest);
    name.replace(u'\\', u'/');
    if (hasDirectoryPart(name))
        return name;
    if (currentDir.isEmpty())
        return name;
    return JoinDirectory(currentDir, name);
}

void BlockCommentRule(const TScriptLines &lines, int i, int &lineCount, int &startColumn)
{
    const int n = lines.Count();
    // Whether the comment closing at index close (of "*/") on line l uses the line up.
    auto closeOn = [&](int l, qsizetype close) {
        const qsizetype behind = close + 2;
        if (trimmedRight(lines[l]).size() <= behind) {
            lineCount = l - i + 1;
            startColumn = 0;
        } else {
            lineCount = l - i;
            startColumn = int(behind);
        }
    };
    const QStringView first = lines[i];
    const qsizetype open = first.indexOf(u"/*", startColumn);
    const qsizetype close = open < 0 ? -1 : first.indexOf(u"*/", open + 2);
    if (close >= 0) {
        closeOn(i, close);
        return;
    }
    for (int l = i + 1; l < n; ++l) {
        const qsizetype end = lines[l].indexOf(u"*/");
        if (end >= 0) {
            closeOn(l, end);
            return;
        }
    }
    lineCount = n - i;
    startColumn = 0;
}

} // namespace qd
