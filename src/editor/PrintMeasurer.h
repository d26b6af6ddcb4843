#pragma once

#include "editor/TextMeasurer.h"

#include <QFont>
#include <QHash>

#include <array>

namespace qd {

// Measures the editor's fonts for a printer: fonts sized in the printer's pixels (so that the
// same font draws at the right size on the printer and, scaled, in a preview) and widths that
// are the sums of per-character advances, so that a line drawn character by character at those
// advances ends exactly where formatting measured it.
class PrintMeasurer : public TextMeasurer {
public:
    PrintMeasurer();
    // The editor's fonts for a device of dpi dots per inch; a font sized in pixels is taken as
    // meant for a screen of screenDpi.
    void SetFonts(const QFont &font, const QFont &altFont, int dpi, int screenDpi);
    // A font scaled for the device (header and footer fonts).
    static QFont DeviceFont(const QFont &font, int dpi, int screenDpi);
    // The font drawn for a style byte (alternate font, bold, italic, underline, strike-out).
    QFont FontFor(quint8 style) const;
    // Advance of one character (a surrogate pair counts as one); control characters have none.
    int Advance(char32_t c, quint8 style) const;
    int Ascent(quint8 style) const;

    int TextWidth(QStringView text, quint8 style) const override;
    int CharWidth() const override;
    int LineHeight() const override;

private:
    static int key(quint8 style) { return style & 0x2F; }
    QFont m_font;
    QFont m_altFont;
    mutable std::array<std::array<qint32, 256>, 64> m_latin; // -1: not measured yet
    mutable QHash<quint64, int> m_others;
};

} // namespace qd
