#pragma once

#include "classlib/Colors.h"
#include "editor/CodeDocument.h"
#include "editor/KeywordList.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>
#include <limits>
#include <memory>

class QIODevice;

namespace qd {

class TCodeParaStrings;
class TCodeLinesStrings;
class TCodeHighlighter;
class THighlightHost;
class TKeywordList;
class TStartStopKeyList;

// v cut to lo .. hi, whatever integer types the bounds have.
inline qint64 boundI64(qint64 lo, qint64 v, qint64 hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TUpdateMode { umImmediate, umOnNeed, umBackground };
enum TCodeLineBreak { pbCRLF, pbLFCR, pbCR, pbLF };

// The editor without a window: word wrap of paragraphs into display lines, the lazy formatting
// driver, the two string views, load and save, the conversions between columns, lines and
// pixels, the scroll offsets with their scroll-bar arithmetic, and the caret and selection
// operations that need display lines. It measures text through its TextMeasurer, so tests drive
// it with a fixed-width one; TCodeMemo puts a window on top and overrides the view hooks below.
//
// Formatting is lazy: an edit formats the paragraphs it changed and those on screen; the rest is
// formatted on demand (views, navigators, painting) or, with umBackground, in slices of at most
// 25 ms from a timer of the owning thread. Paragraphs not yet formatted count one display line.
class CodeMemoCore : public CodeDocument {
public:
    // Slices of background formatting and the interval of progress reports.
    static constexpr int BackgroundSliceMs = 25;
    static constexpr int ProgressIntervalMs = 300;
    static constexpr int NoDesiredX = std::numeric_limits<int>::min();
    static constexpr qint64 WidestUnknown = std::numeric_limits<qint64>::max();
    // Paragraphs past an edit that highlighting re-colours at once when the edit changed the
    // state carried on (the rest follows in background slices).
    static constexpr qint64 FlowParagraphs = 200;

    explicit CodeMemoCore(const TTextLimits &limits = {});
    ~CodeMemoCore() override;

    // --- views (one string per paragraph; one per display line)
    TCodeParaStrings &ParaStrings() { return *m_paraStrings; }
    TCodeLinesStrings &Lines() { return *m_linesStrings; }

    // --- metrics and the client area
    int CharWidth() const { return qMax(1, Measurer().CharWidth()); }
    // The line height in use: LineHeight() when fixed, else the measurer's.
    int LineHeightPx() const;
    // 0 = automatic; 1 or more fixes it. Recomputes metrics without re-formatting.
    int LineHeight() const { return m_fixedLineHeight; }
    void SetLineHeight(int height);
    int ClientWidth() const { return m_clientWidth; }
    int ClientHeight() const { return m_clientHeight; }
    // The window came into being or changed size; without a window (the default) nothing is
    // scrolled or repainted and formatting uses WindowlessWidth().
    void SetClientSize(int width, int height);
    bool HasWindow() const { return m_hasWindow; }
    static constexpr int WindowlessWidth = 100;
    // Client height / line height + 1.
    int VisibleLines() const;
    // The measurer or its fonts changed: widest line unknown, offsets 0, everything re-formatted.
    void FontChanged();

    // --- formatting properties
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on);
    int ColumnWrap() const { return m_columnWrap; }
    void SetColumnWrap(int columns);
    int LeftMargin() const { return m_leftMargin; }
    void SetLeftMargin(int pixels);
    int RightMargin() const { return m_rightMargin; }
    void SetRightMargin(int pixels);
    void SetTabStops(int tabStops);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    bool Justified() const { return m_justified; }
    void SetJustified(bool on);
    TUpdateMode UpdateMode() const { return m_updateMode; }
    void SetUpdateMode(TUpdateMode mode);
    // Changing it saves the text and loads it back, so codes are read in the new way.
    void SetStaticFormat(bool on);
    void SetOptions(TCodeMemoOptions options);
    // Highlighting: the editor's own key tables and pass switches, the attached highlighter and
    // the passes themselves live in the highlighting host (HighlightHost.h).
    THighlightHost &Highlighting() { return *m_highlight; }
    bool ApplyKeyWords() const;
    void SetApplyKeyWords(bool on);
    bool ApplyStartStopKeys() const;
    void SetApplyStartStopKeys(bool on);
    TCodeHighlighter *Highlighter() const;
    // Attaches the highlighter (not owned): the editor leaves the old one's editor list and
    // joins the new one's; a highlighter that goes away detaches itself.
    virtual void SetHighlighter(TCodeHighlighter *highlighter);
    TKeywordList *Keywords() const;
    TStartStopKeyList *StartStopKeys() const;
    TcmUpperCase UpperCaseType() const { return m_upperCaseType; }
    // Passed on to the editor's own two key tables.
    void SetUpperCaseType(TcmUpperCase type);
    void ApplyStartStopPass(TCodeNavigator &from, TCodeNavigator &to) override;
    void ApplyKeywordPass(TCodeNavigator &from, qint64 to) override;
    // Word separators (set of characters below 256).
    QString Separators() const;
    void SetSeparators(const QString &chars);
    bool IsSeparator(char16_t c) const { return c < 256 && m_separators[c]; }

    // --- formatting
    // Every paragraph is marked unformatted and formatted again as UpdateMode says.
    void ReformatAll();
    void Reformat() override;
    void FormatParagraph(qint64 index) override;
    // Formats the unformatted paragraphs first .. last (every one with force); fixes the view.
    void FormatRange(qint64 first, qint64 last, bool force = false);
    // Formats paragraphs until display line exists as such (every paragraph up to it formatted).
    void FormatUpToLine(qint64 line);
    // Formats the paragraph holding position when it is not.
    void EnsureFormattedAt(qint64 position);
    // One background slice; true while paragraphs still wait.
    bool BackgroundStep();
    bool AllFormatted() const { return m_formattedUpTo >= ParagraphCount(); }
    // Index before which every paragraph is formatted.
    qint64 FormattedUpTo() const { return m_formattedUpTo; }
    // Widest formatted line in pixels (searched again when lost).
    qint64 WidestLine();
    int Progress() const { return m_progress; }
    // Drops every paragraph's attributes and flags; everything is highlighted and formatted again.
    void ClearAttributes();
    // Runs the start/stop pass over a paragraph it has not covered yet.
    void EnsureStartStopPass(qint64 index);

    // --- load and save
    // Replaces the text by the stream's bytes from its position to its end: UTF-8, or Latin-1
    // when they are not valid UTF-8 (remembered for saving). CR, LF, CR LF and LF CR end a
    // paragraph. Throws Exception on a read error (what was read so far stays).
    virtual void LoadFromStream(QIODevice &stream);
    // Writes the text with LineBreak() between paragraphs, in the encoding it was read in.
    virtual void SaveToStream(QIODevice &stream);
    void LoadFromFile(const QString &fileName);
    // Written atomically: a failed write leaves the old file whole.
    void SaveToFile(const QString &fileName);
    // An image of the formatted text (lengths, display lines, attributes, characters), written
    // after formatting everything, and read back without formatting. A damaged image throws
    // Exception and changes nothing.
    virtual void SaveFormattedState(QIODevice &stream);
    virtual void LoadFormattedState(QIODevice &stream, bool flag = false);
    // Formats the whole text for another device (a printer) with its measurer at width pixels;
    // without a measurer, back to the screen's.
    void FormatForMeasurer(const TextMeasurer *measurer, int width);
    // Replaces the whole text; nothing when both the text and value are empty.
    void SetTextBuf(const QString &text);
    void Clear() { SetTextBuf(QString()); }
    TCodeLineBreak LineBreak() const { return m_lineBreak; }
    void SetLineBreak(TCodeLineBreak lineBreak) { m_lineBreak = lineBreak; }
    char16_t NullReplacement() const { return m_nullReplacement; }
    void SetNullReplacement(char16_t c) { m_nullReplacement = c; }
    // The text came from bytes that were not valid UTF-8 and is saved as Latin-1.
    bool Latin1() const { return m_latin1; }
    void SetLatin1(bool on) { m_latin1 = on; }

    // --- conversions (client coordinates)
    // x of column (offset from the line's start) in display line lineInPar of paragraph par.
    int ColumnToX(qint64 par, qint64 column, qint64 lineInPar);
    // Column in display line lineInPar of par under x: the nearer character boundary.
    qint64 XToColumn(qint64 par, int x, qint64 lineInPar);
    // Pixel row of a display line given relative to the top line, and back.
    int LineToY(qint64 line) const;
    qint64 YToLine(int y) const;
    // Client x where a display line's text starts (alignment, justification, scrolling).
    qint64 LineOrigin(const TLineRecord &line, bool justified) const;
    // The text position under a client point (the nearer character boundary).
    qint64 PositionFromPoint(int x, int y);
    // Width the character under the caret had at the last ColumnToX (wide overwrite caret).
    int CharUnderWidth() const { return m_charUnderWidth; }

    // --- scrolling
    // Top line x line height + the pixels of the top line hidden (negative: pushed down).
    qint64 VerticalOffset();
    qint64 HorizontalOffset() const { return m_hOffset; }
    qint64 TopLine();
    void ScrollToLine(qint64 line) { SetVerticalOffset(line * LineHeightPx()); }
    void SetVerticalOffset(qint64 pixels) { SetScrollOffsets(pixels, m_hOffset); }
    void SetHorizontalOffset(qint64 pixels) { SetScrollOffsets(VerticalOffset(), pixels); }
    // The single place where the view moves.
    void SetScrollOffsets(qint64 vertical, qint64 horizontal);
    // Scrolls so that the caret is visible.
    void ScrollInView();
    // Pixels per scroll-bar step, at least 1.
    int VScrollUnit();
    int HScrollUnit();
    // Scroll-bar ranges as the system keeps them (0 .. Max, page Page); see UpdateScrollRanges.
    struct ScrollRange {
        int Max = 0;
        int Page = 0;
    };
    ScrollRange VScrollRange();
    ScrollRange HScrollRange();
    void LineUp();
    void LineDown();
    void PageUp();
    void PageDown();
    void ThumbTrack(int position);
    void LineLeft();
    void LineRight();
    void PageLeft();
    void PageRight();
    void HThumbTrack(int position);

    // --- caret and selection
    void SetSelStart(qint64 position);
    qint64 GetCaretParagraph() { return Caret().ParIndex(); }
    void SetCaretParagraph(qint64 index);
    qint64 GetCaretLine();
    void SetCaretLine(qint64 line);
    qint64 GetCaretColumn();
    void SetCaretColumn(qint64 column);
    // Column block over the paragraphs of the two lines (only with WordWrap off).
    void SetColumnSelection(qint64 column1, qint64 line1, qint64 column2, qint64 line2);
    struct ColumnRect {
        qint64 Left = 0, Top = 0, Right = 0, Bottom = 0;
    };
    ColumnRect GetColumnSelRect();
    QString GetColumnSelText();
    qint64 BlockColumn1() const { return m_blockColumn1; }
    qint64 BlockColumn2() const { return m_blockColumn2; }
    QString GetSelText() const;
    QString GetWordAtCaret();
    QString GetLineText(qint64 line);
    void SetParagraphText(qint64 index, const QString &text);
    void SetParagraphBackColor(qint64 index, TColor color);
    void SetParagraphTextColor(qint64 index, TColor color);
    // Extends the selection at both ends to the nearest word break (IsWordBreak with large).
    void SelectWordAt(bool large = false);
    // Where a word of double-click selection ends: a line break or a separator; with large
    // (option cmoLargeWordSelect) only a line break, a blank or a tab, so that "scott.emp" or
    // "a+b" is one word.
    bool IsWordBreak(char16_t c, bool large) const
    {
        if (c == u'\r' || c == u'\n')
            return true;
        return large ? c == u' ' || c == u'\t' : IsSeparator(c);
    }
    bool FindText(const QString &text, bool forward, bool matchCase, bool wholeWord, bool fromEdge);
    // Style at the caret: its static style merged with the attribute in force there.
    quint8 CurrentStyle();
    int DesiredX() const { return m_desiredX; }
    void SetDesiredX(int x) { m_desiredX = x; }
    // Recomputes the caret's pixel place and fires the caret and style events.
    void UpdateCaret(bool recreate = false);
    int CaretX() const { return m_caretX; }
    int CaretY() const { return m_caretY; }
    TCodeNavigator &TopNav() { return *m_topNav; }

    // The effective style of a run (painting and measuring): static style s, attribute style d,
    // fontStyle the bold/italic/underline/strike-out bits the editor font has of itself.
    static quint8 EffectiveStyle(quint8 s, quint8 d, quint8 fontStyle);

    // --- events
    std::function<void(CodeMemoCore *sender)> OnSelMove;
    std::function<void(CodeMemoCore *sender)> OnStyleChange;
    std::function<void(CodeMemoCore *sender)> OnVScroll;
    std::function<void(CodeMemoCore *sender)> OnHScroll;
    std::function<void(CodeMemoCore *sender)> OnProgress;

protected:
    // --- hooks of the window; the windowless defaults do nothing.
    // Display lines l1 .. l2 (either order, over the whole text) need repainting.
    virtual void InvalidateLines(qint64 line1, qint64 line2);
    virtual void InvalidateAll();
    // The view moved by dv, dh pixels (already stored).
    virtual void ViewScrolled(qint64 dv, qint64 dh);
    // The scroll-bar ranges or positions may have changed.
    virtual void ScrollRangesChanged();
    // The caret moved to CaretX(), CaretY() (recreate: its shape may have changed).
    virtual void CaretPlaced(bool recreate);
    // The caret's position or virtual column changed (after the caret was placed).
    virtual void CaretMoved();
    // The whole text was replaced by loading (every navigator went back to the start).
    virtual void TextLoaded() { }
    // The measurer of the screen (FormatForMeasurer without one returns to it).
    virtual const TextMeasurer *ScreenMeasurer() const { return nullptr; }
    // The bold, italic, underline and strike-out bits of the editor font itself.
    virtual quint8 FontStyle() const { return 0; }
    // Width of text in a style, in pieces of at most 4096 characters.
    int MeasureText(QStringView text, quint8 style) const;
    void SelectionChanged(qint64 oldLower, qint64 oldUpper) override;
    // Schedules one background step on the owning thread's timer (once).
    void PostBackgroundStep();

    qint64 m_blockColumn1 = 0;
    qint64 m_blockColumn2 = 0;

private:
    // Replaces the whole text (no undo), as loading does.
    void loadText(const QString &text);
    int wrapWidth() const;
    qint64 walkLine(qint64 par, qint64 lineInPar, qint64 column, int x, bool byX, int *xOut,
        int *charWidthOut);
    void afterFormatting(qint64 first, qint64 last, qint64 linesBefore, qint64 topBefore,
        qint64 widestBefore);
    void formatVisible();
    void fireProgress(qint64 index, bool force);
    void invalidateSelection(qint64 lower, qint64 upper);

    std::unique_ptr<TCodeParaStrings> m_paraStrings;
    std::unique_ptr<TCodeLinesStrings> m_linesStrings;
    TCodeNavigator *m_topNav = nullptr;
    TCodeNavigator *m_scratch = nullptr;

    bool m_wordWrap = true;
    int m_columnWrap = 0;
    int m_leftMargin = 8;
    int m_rightMargin = 8;
    TAlignment m_alignment = taLeftJustify;
    bool m_justified = false;
    TUpdateMode m_updateMode = umBackground;
    std::unique_ptr<THighlightHost> m_highlight;
    TcmUpperCase m_upperCaseType = cmuAscii;
    bool m_separators[256] = {};
    TCodeLineBreak m_lineBreak = pbCRLF;
    char16_t m_nullReplacement = 0;
    bool m_latin1 = false;

    int m_fixedLineHeight = 0;
    int m_clientWidth = 0;
    int m_clientHeight = 0;
    int m_formatWidth = 0; // another device's width while formatting for it
    bool m_hasWindow = false;
    qint64 m_vSub = 0; // pixels of the top line hidden above (negative: text pushed down)
    qint64 m_hOffset = 0;
    qint64 m_widest = 0;
    qint64 m_formattedUpTo = 0;
    qint64 m_lastParCount = 1;
    int m_charUnderWidth = 0;
    int m_caretX = 0;
    int m_caretY = 0;
    int m_desiredX = NoDesiredX;
    qint64 m_lastCaretPos = -1;
    qint64 m_lastVirtualColumn = -1;
    int m_lastStyle = -1;

    QTimer m_backgroundTimer;
    bool m_backgroundPosted = false;
    int m_progress = 100;
    QElapsedTimer m_progressClock;
};

} // namespace qd
