#include "shell/TextTools.h"

#include "classlib/StringList.h"

namespace qd {

QString ExtractFileBaseName(const QString &path)
{
    const qsizetype slash = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(u'\\'));
    QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

QString GetFirstWord(const QString &text)
{
    QString word;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'\t')
            c = u' ';
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (c == u' ' && !quoted)
            break;
        word += c;
    }
    return word;
}

QString ExtractQuotedText(const QString &text, int start, QChar quoteChar, int &end)
{
    const qsizetype n = text.size();
    qsizetype p = qMax(start, 1) - 1;
    while (p < n && (text[p] == u' ' || text[p] == u'\t'))
        ++p;
    if (p >= n || text[p] != quoteChar) {
        end = int(n);
        return text.mid(p).trimmed();
    }
    QString result;
    ++p;
    while (p < n) {
        if (text[p] == quoteChar) {
            if (p + 1 < n && text[p + 1] == quoteChar) {
                result += quoteChar;
                p += 2;
                continue;
            }
            ++p;
            end = int(p);
            return result;
        }
        result += text[p++];
    }
    end = int(n);
    return result;
}

QString ExtractQuotedText(const QString &text, int start, QChar quoteChar)
{
    int end = 0;
    return ExtractQuotedText(text, start, quoteChar, end);
}

QString ReplaceAll(const QString &text, const QString &oldPart, const QString &newPart)
{
    if (text.isEmpty() || oldPart.isEmpty())
        return text;
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype hit = text.indexOf(oldPart, from, Qt::CaseSensitive);
        if (hit < 0)
            break;
        result += QStringView(text).mid(from, hit - from);
        result += newPart;
        from = hit + oldPart.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

QString PadRight(const QString &text, int width, QChar padChar)
{
    width = qMax(width, 0);
    if (text.size() >= width)
        return text.left(width);
    return text + QString(width - text.size(), padChar);
}

QString PadLeft(const QString &text, int width, QChar padChar)
{
    width = qMax(width, 0);
    if (text.size() >= width)
        return text.left(width);
    return QString(width - text.size(), padChar) + text;
}

int PosFrom(const QString &subText, const QString &text, int start)
{
    if (subText.isEmpty())
        return 0;
    const qsizetype from = qMax(start, 1) - 1;
    if (from >= text.size())
        return 0;
    return int(text.indexOf(subText, from, Qt::CaseSensitive) + 1);
}

int FirstDelimiterPos(const QString &delimiters, const QString &text)
{
    for (qsizetype i = 0; i < text.size() - 2; ++i) {
        if (delimiters.contains(text[i]))
            return int(i + 1);
    }
    return 0;
}

QString JoinLines(const TStringList &lines)
{
    QString result;
    for (int i = 0; i < lines.Count(); ++i) {
        if (i > 0)
            result += QLatin1Char(' ');
        result += lines[i];
    }
    return result;
}

QString MakeCaption(const QString &name, const QString &detail)
{
    return name + QStringLiteral(" - [") + detail + QLatin1Char(']');
}

QString StripCaptionDetail(const QString &caption, const QString &detail)
{
    if (detail.isEmpty())
        return caption;
    const QString part = QStringLiteral(" - [") + detail + QLatin1Char(']');
    const qsizetype at = caption.indexOf(part);
    if (at < 0)
        return caption;
    QString result = caption;
    result.remove(at, part.size());
    return result;
}

QString SetBusyMark(const QString &text)
{
    if (text.isEmpty())
        return text;
    return QLatin1Char('*') + text.mid(1);
}

QString ClearBusyMark(const QString &text)
{
    if (text.isEmpty())
        return text;
    return QLatin1Char(' ') + text.mid(1);
}

} // namespace qd
