#include "editor/FontMeasurer.h"

#include "editor/TextRecords.h"

#include <QFontInfo>
#include <QString>

namespace qd {

FontMeasurer::FontMeasurer()
{
    SetFonts(QFont(), QFont());
}

void FontMeasurer::SetFonts(const QFont &font, const QFont &altFont)
{
    m_font = font;
    m_altFont = altFont;
    for (auto &m : m_metrics)
        m.reset();
    for (auto &row : m_ascii)
        row.fill(-1);
    // With a fixed-pitch font, shaping ASCII text adds nothing to the sum of its characters.
    m_fixedPitch = QFontInfo(font).fixedPitch() && QFontInfo(altFont).fixedPitch();
}

QFont StyledFont(const QFont &font, const QFont &altFont, quint8 style)
{
    QFont f = (style & StyleAltFont) ? altFont : font;
    f.setWeight((style & StyleBold) ? QFont::Bold : QFont::Normal);
    f.setItalic(style & StyleItalic);
    f.setUnderline(style & StyleUnderline);
    f.setStrikeOut(style & StyleStrikeOut);
    return f;
}

QFont FontMeasurer::FontFor(quint8 style) const
{
    return StyledFont(m_font, m_altFont, style);
}

const QFontMetrics &FontMeasurer::Metrics(quint8 style) const
{
    std::optional<QFontMetrics> &m = m_metrics[size_t(key(style))];
    if (!m)
        m.emplace(FontFor(style));
    return *m;
}

int FontMeasurer::TextWidth(QStringView text, quint8 style) const
{
    const int k = key(style);
    if (text.size() == 1 && text[0].unicode() < 128) {
        qint16 &w = m_ascii[size_t(k)][text[0].unicode()];
        if (w < 0)
            w = qint16(Metrics(style).horizontalAdvance(text[0]));
        return w;
    }
    if (m_fixedPitch) {
        int sum = 0;
        const auto &row = m_ascii[size_t(k)];
        bool ascii = true;
        for (QChar c : text) {
            const char16_t u = c.unicode();
            if (u >= 128 || row[u] < 0) {
                ascii = false;
                break;
            }
            sum += row[u];
        }
        if (ascii)
            return sum;
        if (text.size() <= 64) {
            // Measure the characters once each; the next word of them is summed.
            bool allAscii = true;
            for (QChar c : text)
                allAscii = allAscii && c.unicode() < 128;
            if (allAscii) {
                sum = 0;
                for (QChar c : text)
                    sum += TextWidth(QStringView(&c, 1), style);
                return sum;
            }
        }
    }
    // A view of the caller's characters, not a copy.
    const QString s = QString::fromRawData(text.data(), text.size());
    return Metrics(style).horizontalAdvance(s);
}

int FontMeasurer::CharWidth() const
{
    return qMax(1, TextWidth(u" ", 0));
}

int FontMeasurer::LineHeight() const
{
    return qMax(1, Metrics(0).height() + 1);
}

} // namespace qd
