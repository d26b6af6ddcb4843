#pragma once

#include <QStringView>

namespace qd {

// How the editor core learns the size of text: the widget measures with its fonts, tests and
// printing previews with a fixed-width measurer. Widths are in pixels; style is a style byte
// (bold, italic, underline, strike-out, highlight, alternate font).
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // Width of text drawn in the font of style (no tabs or style codes in text).
    virtual int TextWidth(QStringView text, quint8 style) const = 0;
    // Width of one space in the editor's plain font: the unit of columns, at least 1.
    virtual int CharWidth() const = 0;
    // Height of a display line, at least 1.
    virtual int LineHeight() const = 0;
    // The width of every character in every style when they all have one width, else 0: lets
    // a line be measured by counting its characters.
    virtual int FixedPitch() const { return 0; }
};

// Every character is CharWidth() pixels wide, whatever its style.
class FixedWidthMeasurer : public TextMeasurer {
public:
    explicit FixedWidthMeasurer(int charWidth = 8, int lineHeight = 16)
        : m_charWidth(qMax(1, charWidth))
        , m_lineHeight(qMax(1, lineHeight))
    {
    }
    int TextWidth(QStringView text, quint8) const override
    {
        return int(text.size()) * m_charWidth;
    }
    int CharWidth() const override { return m_charWidth; }
    int LineHeight() const override { return m_lineHeight; }
    int FixedPitch() const override { return m_charWidth; }

private:
    int m_charWidth;
    int m_lineHeight;
};

} // namespace qd
