#pragma once

#include <QString>
#include <QStringView>

namespace qd {

// In-band style codes: single characters of the paragraph text that, with static formatting on,
// switch a style on or off for the text after them in the paragraph.
enum : char16_t {
    scItalic = 1, // toggles StyleItalic
    scBold = 2, // toggles StyleBold
    scHighlight = 3, // toggles StyleHighlight
    scAltFont = 4, // toggles StyleAltFont
    scTab = 9, // a tab: no style, advances to the next tab stop
    scPageBreak = 16, // a page break: no style, one column
    scUnderline = 21, // toggles StyleUnderline
};

// True for the five codes that toggle a style bit (1, 2, 3, 4, 21).
inline bool IsStyleCode(char16_t c)
{
    return (c >= 1 && c <= 4) || c == scUnderline;
}

// Flips the bit of style that code toggles and returns true; false (style unchanged) for any
// character that is not a style code.
bool ToggleStyle(quint8 &style, char16_t code);

// The style bits that the style codes of text toggle, taken together.
quint8 StyleToggles(QStringView text);

// The codes that toggle the bits of toggles, in the order underline, italic, bold, highlight,
// alternate font.
QString StyleCodesFor(quint8 toggles);

// text without its style codes (tabs and page breaks stay).
QString StripStyleCodes(QStringView text);

// The index in paragraph at which display column column is reached: style codes count 0 columns
// with staticFormat, a tab moves to the next multiple of tabWidth (1 column when tabWidth < 1),
// anything else counts 1. Stops at the first character that would pass column, or at the end.
qint64 CharIndexOfColumn(QStringView paragraph, qint64 column, int tabWidth, bool staticFormat);

// column less the column actually reached at CharIndexOfColumn: above 0 when the paragraph is
// shorter than column (the blanks to put in front of text inserted there).
qint64 ColumnShortfall(QStringView paragraph, qint64 column, int tabWidth, bool staticFormat);

} // namespace qd
