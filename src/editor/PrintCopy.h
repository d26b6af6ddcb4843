#pragma once

#include "editor/CodeMemoCore.h"
#include "editor/PrintMeasurer.h"

#include <QColor>
#include <QFont>
#include <QPalette>

namespace qd {

class TCodeMemo;

// The private, invisible copy of an editor's text that printing lays out: the paragraphs of the
// whole text or of the selection, with the editor's formatting properties, its paragraph colours
// and highlighting (none for plain text), formatted for a printer's fonts and printable width.
// The copy never re-highlights: it prints what the editor shows.
class PrintCopy : public CodeMemoCore {
public:
    // Copies the text of source (only the selection with selectionOnly, the first and last
    // paragraphs cut at the selection's ends).
    PrintCopy(TCodeMemo &source, bool selectionOnly, bool plainText, bool wordWrap);

    // Formats the copy for a device of dpi dots per inch at width device pixels.
    void LayOut(int dpi, int screenDpi, int width);
    const PrintMeasurer &Fonts() const { return m_measurer; }
    bool PlainText() const { return m_plain; }
    // The bold, italic, underline and strike-out bits the editor font has of itself.
    quint8 BaseStyle() const { return m_fontStyle; }

    // A colour of the copy on paper: -1 none (invalid), the window colour white, the window
    // text colour black, other system colours from the editor's palette.
    QColor PaperColor(TColor color) const;
    TColor HighlightColor() const { return m_highlightColor; }
    TColor HighlightBackgnd() const { return m_highlightBackgnd; }

protected:
    quint8 FontStyle() const override { return m_fontStyle; }

private:
    void copyLooks(TCodeMemo &source, qint64 firstPar, qint64 lastPar, qint64 firstCut,
        qint64 lastCut, int prefixLength);

    PrintMeasurer m_measurer;
    QFont m_font;
    QFont m_altFont;
    QPalette m_palette;
    quint8 m_fontStyle = 0;
    bool m_plain = false;
    TColor m_highlightColor = clRed;
    TColor m_highlightBackgnd = clWindow;
};

} // namespace qd
