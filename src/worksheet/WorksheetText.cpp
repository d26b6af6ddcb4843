#include "worksheet/WorksheetText.h"

#include "classlib/StringList.h"

namespace qd {

namespace {

QString lowerAscii(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return result;
}

QString blanks(int count)
{
    return QString(qMax(count, 0), u' ');
}

} // namespace

QString MakeConnectionCaption(const QString &title, const QString &user, const QString &database)
{
    return QStringLiteral("  ") + title + QStringLiteral(" - [") + lowerAscii(user)
        + QLatin1Char('@') + lowerAscii(database) + QLatin1Char(']');
}

void TrimLines(TStringList &lines)
{
    for (int i = lines.Count() - 1; i >= 0; --i) {
        const QString trimmed = lines[i].trimmed();
        if (trimmed.isEmpty())
            lines.Delete(i);
        else if (trimmed.size() != lines[i].size())
            lines.SetStrings(i, trimmed);
    }
}

QString ElapsedText(qint64 milliseconds)
{
    return ElapsedTimeText(milliseconds);
}

QString ElapsedTextBetween(const TTimeStamp &start, const TTimeStamp &stop)
{
    return ElapsedTimeText(TimeStampDiffMs(start, stop));
}

QString FormatListItem(const QString &text, const QString &placement, int indent)
{
    if (placement == u"Before")
        return blanks(indent) + QLatin1Char(',') + text;
    if (placement == u"After")
        return text + QLatin1Char(',') + blanks(indent);
    return text + blanks(indent);
}

QString FormatPaddedItem(const QString &text, const QString &placement, int indent)
{
    if (placement == u"Before")
        return blanks(indent) + text;
    if (placement == u"After")
        return text + blanks(indent);
    return text;
}

} // namespace qd
