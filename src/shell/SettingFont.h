#pragma once

#include <QFont>
#include <QString>

namespace qd {

// A font as a font setting holds it: the face, its size in points, the colour its text is drawn
// in (a Windows colour value: red in the low byte, negative for system colours) and the style
// flags. Qt keeps the colour apart from the font, in the palette, hence the pair.
struct SettingFont {
    QString name = QStringLiteral("MS Sans Serif");
    int size = 8;
    qint32 color = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    // The font to draw with; a size below 1 point is drawn at 1 point.
    QFont toQFont() const;
    static SettingFont fromQFont(const QFont &font, qint32 color = 0);

    bool operator==(const SettingFont &) const = default;
};

// The text form: the quoted name, size, colour, then "1" or "0" for bold, italic, underline
// and strike-out, as comma text ("\"Courier New\",10,255,1,0,0,0").
QString FontToSettingString(const SettingFont &font);

// Applies a font setting's text form to font. Only "1" sets a style flag; missing flags read as
// unset. A size or colour that is not a decimal number raises EConvertError.
void SettingStringToFont(const QString &setting, SettingFont &font);

} // namespace qd
