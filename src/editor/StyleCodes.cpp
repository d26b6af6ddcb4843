#include "editor/StyleCodes.h"

#include "editor/TextRecords.h"

namespace qd {

bool ToggleStyle(quint8 &style, char16_t code)
{
    switch (code) {
    case scBold:
        style ^= StyleBold;
        return true;
    case scItalic:
        style ^= StyleItalic;
        return true;
    case scUnderline:
        style ^= StyleUnderline;
        return true;
    case scHighlight:
        style ^= StyleHighlight;
        return true;
    case scAltFont:
        style ^= StyleAltFont;
        return true;
    default:
        return false;
    }
}

quint8 StyleToggles(QStringView text)
{
    quint8 style = 0;
    for (QChar c : text)
        if (c.unicode() < 26)
            ToggleStyle(style, c.unicode());
    return style;
}

QString StyleCodesFor(quint8 toggles)
{
    QString codes;
    if (toggles & StyleUnderline)
        codes += QChar(scUnderline);
    if (toggles & StyleItalic)
        codes += QChar(scItalic);
    if (toggles & StyleBold)
        codes += QChar(scBold);
    if (toggles & StyleHighlight)
        codes += QChar(scHighlight);
    if (toggles & StyleAltFont)
        codes += QChar(scAltFont);
    return codes;
}

QString StripStyleCodes(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!IsStyleCode(c.unicode()))
            out += c;
    return out;
}

namespace {

// Walks paragraph to column; returns the index reached and the column there.
std::pair<qint64, qint64> walkToColumn(
    QStringView paragraph, qint64 column, int tabWidth, bool staticFormat)
{
    qint64 col = 0;
    qint64 i = 0;
    for (; i < paragraph.size(); ++i) {
        const char16_t c = paragraph[i].unicode();
        qint64 next;
        if (staticFormat && IsStyleCode(c))
            next = col;
        else if (c == scTab && tabWidth >= 1)
            next = (col / tabWidth + 1) * tabWidth;
        else
            next = col + 1;
        if (next > column)
            break;
        col = next;
    }
    return { i, col };
}

} // namespace

qint64 CharIndexOfColumn(QStringView paragraph, qint64 column, int tabWidth, bool staticFormat)
{
    return walkToColumn(paragraph, column, tabWidth, staticFormat).first;
}

qint64 ColumnShortfall(QStringView paragraph, qint64 column, int tabWidth, bool staticFormat)
{
    return column - walkToColumn(paragraph, column, tabWidth, staticFormat).second;
}

} // namespace qd
