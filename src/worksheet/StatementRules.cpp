#include "worksheet/StatementRules.h"

#include "shell/TextTools.h"
#include "worksheet/SqlTerminatorScan.h"
#include "worksheet/StatementClassifier.h"

namespace qd {

namespace {

bool isSlashLine(QStringView line)
{
    return line.trimmed() == u"/";
}

QString tabsToBlanks(const QString &line)
{
    if (!line.contains(u'\t'))
        return line;
    QString result = line;
    result.replace(u'\t', u' ');
    return result;
}

QStringView trimmedRightView(QStringView line)
{
    qsizetype end = line.size();
    while (end > 0 && line[end - 1].unicode() <= u' ')
        --end;
    return line.left(end);
}

QString trimmedRight(const QString &line)
{
    qsizetype end = line.size();
    while (end > 0 && line[end - 1].unicode() <= u' ')
        --end;
    return end == line.size() ? line : line.left(end);
}

QString trimmedLeft(const QString &line)
{
    qsizetype begin = 0;
    while (begin < line.size() && line[begin].unicode() <= u' ')
        ++begin;
    return begin == 0 ? line : line.mid(begin);
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

// Cuts line i behind startColumn (the text of a comment closed there) and writes it back.
void cutAtStartColumn(TStringList &lines, int i, int startColumn)
{
    if (startColumn > 0)
        lines.SetStrings(i, lines[i].mid(startColumn));
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

int SqlStatementRule(TStringList &lines, int i, int startColumn, TStringList &out)
{
    cutAtStartColumn(lines, i, startColumn);
    // Find the end first, so that the statement's lines are added into room made once.
    SqlTerminatorScan scan;
    const int n = lines.Count();
    int end = i; // lines i .. end - 1 are the statement's
    int used = n - i;
    qsizetype semicolon = -1;
    for (int l = i; l < n; ++l) {
        const QString &line = lines[l];
        if (isSlashLine(line)) {
            end = l;
            used = l - i + 1;
            break;
        }
        semicolon = scan.findTerminator(trimmedRightView(line));
        end = l + 1;
        if (semicolon >= 0) {
            used = l - i + 1;
            break;
        }
    }
    out.Reserve(out.Count() + (end - i));
    const int last = semicolon >= 0 ? end - 1 : end;
    for (int l = i; l < last; ++l)
        out.Add(trimmedRight(lines[l]));
    if (semicolon >= 0) {
        // The ";" itself is dropped; text behind it on that line stays.
        const QStringView line = trimmedRightView(lines[last]);
        QString added;
        added.reserve(line.size() - 1);
        added.append(line.left(semicolon));
        added.append(line.mid(semicolon + 1));
        out.Add(added);
    }
    return used;
}

int PlsqlStatementRule(TStringList &lines, int i, int startColumn, TStringList &out)
{
    cutAtStartColumn(lines, i, startColumn);
    const int n = lines.Count();
    int end = i;
    while (end < n && !isSlashLine(lines[end]))
        ++end;
    out.Reserve(out.Count() + (end - i));
    for (int l = i; l < end; ++l)
        out.Add(lines[l]);
    return end < n ? end - i + 1 : n - i;
}

int ExecuteRule(const TStringList &lines, int i, QStringView commandWord, TStringList &out)
{
    const int n = lines.Count();
    int l = i;
    bool last = false;
    while (l < n && !last) {
        QString line = tabsToBlanks(lines[l]).trimmed();
        if (l == i)
            line = line.mid(commandWord.size());
        if (line.isEmpty())
            break;
        if (line.endsWith(u'-')) {
            line[line.size() - 1] = u' ';
        } else {
            last = true;
            if (!line.endsWith(u';'))
                line += QLatin1Char(';');
        }
        out.Add(line);
        ++l;
    }
    if (out.Count() == 0)
        return 1;
    out.SetStrings(0, QStringLiteral("BEGIN ") + out[0]);
    const int final = out.Count() - 1;
    out.SetStrings(final, out[final] + QStringLiteral(" END;"));
    return l - i;
}

int TokenRule(const TStringList &lines, int i, bool keepCase, TStringList &out)
{
    const int n = lines.Count();
    int l = i;
    bool more = true;
    while (more && l < n) {
        const QString line = tabsToBlanks(lines[l]).trimmed();
        ++l;
        if (line.isEmpty()) {
            // Blank lines inside a continued command are passed over.
            continue;
        }
        // Tokens go straight to out; a "-" that ends the line (not quoted) continues the
        // command on the next line and is taken back.
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
                out.Add(ExtractQuotedText(line, int(p) + 1, u'\'', end));
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
            QStringView token = QStringView(line).mid(p, stop - p);
            p = stop;
            const qsizetype semicolon = token.indexOf(u';');
            if (semicolon >= 0 && semicolon == token.size() - 1)
                token.chop(1);
            if (token.isEmpty())
                continue;
            // The command word is a keyword; with keepCase the values keep what was typed.
            const bool upper = !keepCase || (l - 1 == i && added == 0);
            out.Add(upper ? UpperStatementWord(token) : token.toString());
            ++added;
            lastQuoted = false;
        }
        more = added > 0 && !lastQuoted && out[out.Count() - 1] == u"-";
        if (more)
            out.Delete(out.Count() - 1);
    }
    return l - i;
}

int PromptRule(const TStringList &lines, int i, QStringView commandWord, TStringList &out)
{
    const int n = lines.Count();
    QString text;
    QString line = trimmedLeft(lines[i]).mid(commandWord.size());
    int l = i;
    for (;;) {
        ++l;
        const QString tail = trimmedRight(line);
        if (!tail.endsWith(u'-')) {
            text += line;
            break;
        }
        text += tail.left(tail.size() - 1) + QLatin1Char(' ');
        if (l >= n)
            break;
        line = lines[l].trimmed();
    }
    out.Add(text);
    return l - i;
}

QString ScriptCallName(const QString &line, TKXStatementKind kind)
{
    const int cut = kind == skRunScriptRelative ? 2 : kind == skStartScript ? 5 : 1;
    return GetFirstWord(trimmedLeft(trimmedLeft(line).mid(cut)));
}

QString SpoolFileName(const QString &line, const QString &currentDir)
{
    QString upper = line;
    upperAsciiInPlace(upper);
    const qsizetype at = upper.indexOf(u"SPOOL");
    const QString rest = at < 0 ? QString() : trimmedLeft(line.mid(at + 5));
    QString name = GetFirstWord(rest);
    name.replace(u'\\', u'/');
    if (hasDirectoryPart(name))
        return name;
    if (currentDir.isEmpty())
        return name;
    return JoinDirectory(currentDir, name);
}

void BlockCommentRule(const TStringList &lines, int i, int &lineCount, int &startColumn)
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
    const QString &first = lines[i];
    const qsizetype open = first.indexOf(u"/*");
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
