#pragma once

#include "editor/CodeMemoCore.h"
#include "editor/FontMeasurer.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QTimer>

#include <functional>
#include <memory>

class QMenu;

namespace qd {

class CodeMemoInput;

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TBorderStyle { bsNone, bsSingle };

// A pen of the editor's lines: colour (-1 = none), width in pixels and dash style.
struct TMemoPen {
    TColor Color = clRed;
    int Width = 1;
    Qt::PenStyle Style = Qt::SolidLine;
    bool operator==(const TMemoPen &) const = default;
};

// The custom-drawn editor of every code window: the text model and formatting of CodeMemoCore
// on a scroll area. It draws the text line by line with styles, colours, attributes, the
// selection and the caret; the scroll bars follow the view offsets. Only the GUI thread uses it.
//
// Attached gutters and owners follow it through the signals below.
class TCodeMemo : public QAbstractScrollArea, public CodeMemoCore {
    Q_OBJECT
public:
    explicit TCodeMemo(QWidget *parent = nullptr);
    ~TCodeMemo() override;

    // --- properties
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    const QFont &AltFont() const { return m_altFont; }
    void SetAltFont(const QFont &font);
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle style);
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle bars);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool on);
    bool ShowEndParSelected() const { return m_showEndParSelected; }
    void SetShowEndParSelected(bool on);
    bool WantTabs() const { return m_wantTabs; }
    void SetWantTabs(bool on) { m_wantTabs = on; }
    bool EnableHotKeys() const { return m_enableHotKeys; }
    void SetEnableHotKeys(bool on) { m_enableHotKeys = on; }
    bool PassOverCodes() const { return m_passOverCodes; }
    void SetPassOverCodes(bool on) { m_passOverCodes = on; }
    // 0: automatic (line height / 14 + 1).
    int CaretWidth() const { return m_caretWidth; }
    void SetCaretWidth(int width);
    bool DisplayOnly() const { return m_displayOnly; }
    void SetDisplayOnly(bool on);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on) { m_readOnly = on; }
    bool Overwrite() const { return m_overwrite; }
    void SetOverwrite(bool on);
    int MouseWheelFactor() const { return m_mouseWheelFactor; }
    void SetMouseWheelFactor(int factor) { m_mouseWheelFactor = factor; }
    TColor HighlightColor() const { return m_highlightColor; }
    void SetHighlightColor(TColor color);
    TColor HighlightBackgnd() const { return m_highlightBackgnd; }
    void SetHighlightBackgnd(TColor color);
    TColor SelBackColor() const { return m_selBackColor; }
    void SetSelBackColor(TColor color);
    TColor SelTextColor() const { return m_selTextColor; }
    void SetSelTextColor(TColor color);
    const TMemoPen &EndOfTextMark() const { return m_endOfTextMark; }
    void SetEndOfTextMark(const TMemoPen &pen);
    const TMemoPen &RightLinePen() const { return m_rightLinePen; }
    void SetRightLinePen(const TMemoPen &pen);
    const TMemoPen &SpecUnderline() const { return m_specUnderline; }
    void SetSpecUnderline(const TMemoPen &pen);
    // Positive: a column; negative: pixels; 0: no right margin line.
    int RightLinePos() const { return m_rightLinePos; }
    void SetRightLinePos(int pos);
    const QPixmap &BackgroundBmp() const { return m_backgroundBmp; }
    void SetBackgroundBmp(const QPixmap &picture);
    QString Version() const;

    // --- view
    // Width of the caret in pixels as it would be drawn now.
    int CaretPixelWidth();
    bool CaretVisible() const { return m_caretShown; }
    // Pixels from a display line's top to the baseline its plain text is drawn on.
    int BaselineOffset() const;
    // The colour a TColor stands for (system colours from the palette); invalid for -1.
    QColor ToQColor(TColor color) const;
    // Painting is held back while set (besides the update bracket).
    void SetPaintingSuppressed(bool on) { m_paintingSuppressed = on; }

    // --- clipboard, style and input commands (the input side is CodeMemoInput)
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // Pastes the lines of text as a column block at the caret's column.
    void PasteColumn(const QString &text);
    void ToggleBold();
    void ToggleItalic();
    void ToggleUnderline();
    void ToggleHighlight();
    void ToggleAltFont();
    // The built-in context menu, made on first use and owned by the editor.
    QMenu *DefaultPopupMenu();
    // The editor's input state (tests look at it).
    CodeMemoInput &Input();
    // Fired after the editor handled a mouse press.
    std::function<void(TCodeMemo *sender, QMouseEvent *event)> OnAfterMouseDown;
    // Input events, fired before the editor acts on the input.
    // OnKeyDown: every key pressed (also while the editor ignores keys); handled = true keeps
    // the editor from acting on the key.
    std::function<void(TCodeMemo *sender, QKeyEvent *event, bool &handled)> OnKeyDown;
    // OnKeyPress: the characters a key press gives (printable text, Enter, Tab, Backspace and
    // control characters such as Ctrl+C), after OnKeyDown. The handler may change them: other
    // printable text is typed instead, an emptied text leaves the key to nobody.
    std::function<void(TCodeMemo *sender, QString &text)> OnKeyPress;
    std::function<void(TCodeMemo *sender, QKeyEvent *event)> OnKeyUp;
    // A double click fires OnMouseDown again, as the second press it is.
    std::function<void(TCodeMemo *sender, QMouseEvent *event)> OnMouseDown;
    std::function<void(TCodeMemo *sender, QMouseEvent *event)> OnMouseMove;
    std::function<void(TCodeMemo *sender, QMouseEvent *event)> OnMouseUp;

signals:
    // The vertical offset changed (attached gutters scroll with it).
    void offsetChanged();
    // The caret's position or virtual column changed.
    void caretMoved();
    // A click on an attribute with a context value (reported by the input handling).
    void contextClicked(int context, qint64 startOffset, qint64 stopOffset);
    // An edit is complete.
    void changed();
    // The whole text was replaced by loading: positions kept elsewhere no longer mean anything.
    void textLoaded();
    // Display lines were repainted (first and last, over the whole text).
    void repainted(qint64 firstLine, qint64 lastLine);

protected:
    // --- the core's view hooks
    void InvalidateLines(qint64 line1, qint64 line2) override;
    void InvalidateAll() override;
    void ViewScrolled(qint64 dv, qint64 dh) override;
    void ScrollRangesChanged() override;
    void CaretPlaced(bool recreate) override;
    void CaretMoved() override;
    quint8 FontStyle() const override;
    const TextMeasurer *ScreenMeasurer() const override { return &m_fontMeasurer; }
    void Change() override;
    void TextLoaded() override { emit textLoaded(); }

    // --- widget events
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;
    // Input (CodeMemoInput*.cpp)
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class CodeMemoInput;
    struct InputDeleter {
        void operator()(CodeMemoInput *input) const;
    };
    std::unique_ptr<CodeMemoInput, InputDeleter> m_input;

    void applyScrollBarPolicies();
    void fontsChanged();
    void startCaret();
    void stopCaret();
    QRect caretRect();
    void paintLines(QPainter &painter, const QRect &rect);

    FontMeasurer m_fontMeasurer;
    TColor m_color = clWindow;
    QFont m_altFont;
    TBorderStyle m_borderStyle = bsSingle;
    TScrollStyle m_scrollBars = ssVertical;
    bool m_hideSelection = true;
    bool m_showEndParSelected = true;
    bool m_wantTabs = true;
    bool m_enableHotKeys = true;
    bool m_passOverCodes = true;
    int m_caretWidth = 1;
    bool m_displayOnly = false;
    bool m_readOnly = false;
    bool m_overwrite = false;
    int m_mouseWheelFactor = -1;
    TColor m_highlightColor = clRed;
    TColor m_highlightBackgnd = clWindow;
    TColor m_selBackColor = clHighlight;
    TColor m_selTextColor = clHighlightText;
    TMemoPen m_endOfTextMark{ clRed, 1, Qt::SolidLine };
    TMemoPen m_rightLinePen{ clGray, 1, Qt::DotLine };
    TMemoPen m_specUnderline{ clRed, 1, Qt::SolidLine };
    int m_rightLinePos = 0;
    QPixmap m_backgroundBmp;
    bool m_paintingSuppressed = false;
    bool m_settingBars = false;

    QTimer m_blink;
    bool m_caretOn = false; // blink phase
    bool m_caretShown = false; // the caret exists (focused, editable)
    QRect m_lastCaretRect;
};

} // namespace qd
