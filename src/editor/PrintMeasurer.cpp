#include "editor/PrintMeasurer.h"

#include "editor/FontMeasurer.h"
#include "editor/TextRecords.h"

#include <QFontMetricsF>
#include <QString>

#include <cmath>

namespace qd {

PrintMeasurer::PrintMeasurer()
{
    SetFonts(QFont(), QFont(), 96, 96);
}

QFont PrintMeasurer::DeviceFont(const QFont &font, int dpi, int screenDpi)
{
    QFont f = font;
    const double points = font.pointSizeF() > 0
        ? font.pointSizeF()
        : double(qMax(1, font.pixelSize())) * 72.0 / double(qMax(1, screenDpi));
    f.setPixelSize(qMax(1, int(std::lround(points * double(dpi) / 72.0))));
    // Unhinted outlines: the advances must not depend on the device's grid.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::ForceOutline | QFont::PreferAntialias));
    f.setKerning(false);
    return f;
}

void PrintMeasurer::SetFonts(const QFont &font, const QFont &altFont, int dpi, int screenDpi)
{
    m_font = DeviceFont(font, dpi, screenDpi);
    m_altFont = DeviceFont(altFont, dpi, screenDpi);
    for (auto &row : m_latin)
        row.fill(-1);
    m_others.clear();
}

QFont PrintMeasurer::FontFor(quint8 style) const
{
    return StyledFont(m_font, m_altFont, style);
}

int PrintMeasurer::Advance(char32_t c, quint8 style) const
{
    if (c < 32 || c == 127)
        return 0;
    const int k = key(style);
    if (c < 256) {
        qint32 &w = m_latin[size_t(k)][c];
        if (w < 0)
            w = int(std::lround(QFontMetricsF(FontFor(style)).horizontalAdvance(QChar(c))));
        return w;
    }
    const quint64 id = (quint64(k) << 32) | c;
    const auto found = m_others.constFind(id);
    if (found != m_others.constEnd())
        return *found;
    const int w = int(
        std::lround(QFontMetricsF(FontFor(style)).horizontalAdvance(QString::fromUcs4(&c, 1))));
    m_others.insert(id, w);
    return w;
}

int PrintMeasurer::TextWidth(QStringView text, quint8 style) const
{
    int sum = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        sum += Advance(c, style);
    }
    return sum;
}

int PrintMeasurer::CharWidth() const
{
    return qMax(1, Advance(U' ', 0));
}

int PrintMeasurer::LineHeight() const
{
    return qMax(1, int(std::ceil(QFontMetricsF(FontFor(0)).height())));
}

int PrintMeasurer::Ascent(quint8 style) const
{
    return int(std::lround(QFontMetricsF(FontFor(style)).ascent()));
}

} // namespace qd
