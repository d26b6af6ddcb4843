#pragma once

#include "editor/TextMeasurer.h"

#include <QFont>
#include <QFontMetrics>

#include <array>
#include <optional>

namespace qd {

// The font a style byte draws in: the alternate font for the alternate-font bit, else the main
// one, with the byte's weight, italic, underline and strike-out.
QFont StyledFont(const QFont &font, const QFont &altFont, quint8 style);

// Measures text in the editor's fonts: a style byte picks the font (the alternate font for the
// alternate-font bit) and its weight (bold bit: 700, else 400), italic, underline and strike-out.
class FontMeasurer : public TextMeasurer {
public:
    FontMeasurer();
    void SetFonts(const QFont &font, const QFont &altFont);
    // The font drawn for a style byte.
    QFont FontFor(quint8 style) const;
    const QFontMetrics &Metrics(quint8 style) const;

    int TextWidth(QStringView text, quint8 style) const override;
    int CharWidth() const override;
    // Font height + 1.
    int LineHeight() const override;

private:
    static int key(quint8 style) { return style & 0x2F; }
    bool m_fixedPitch = false; // widths of ASCII text are sums of character advances
    QFont m_font;
    QFont m_altFont;
    mutable std::array<std::optional<QFontMetrics>, 64> m_metrics;
    mutable std::array<std::array<qint16, 128>, 64> m_ascii; // -1: not measured yet
};

} // namespace qd
