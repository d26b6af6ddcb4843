#pragma once

// The user's input side of TCodeMemo: keys, mouse, wheel, automatic scrolling while selecting,
// dragging the selected text, drops from other programs, input methods and the built-in context
// menu. The widget owns one and forwards its Qt event handlers to it; only the GUI thread uses it.

#include "editor/CodeMemo.h"

#include <QPoint>
#include <QPointer>
#include <QTimer>

#include <exception>
#include <optional>

class QContextMenuEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QInputMethodEvent;
class QKeyEvent;
class QMenu;
class QMouseEvent;
class QWheelEvent;

namespace qd {

class CodeMemoInput {
public:
    explicit CodeMemoInput(TCodeMemo &memo);
    ~CodeMemoInput();

    // --- keyboard
    void keyPress(QKeyEvent *event);
    void keyRelease(QKeyEvent *event);
    void inputMethod(QInputMethodEvent *event);

    // --- mouse
    void mousePress(QMouseEvent *event);
    void mouseMove(QMouseEvent *event);
    void mouseRelease(QMouseEvent *event);
    void mouseDoubleClick(QMouseEvent *event);
    void wheel(QWheelEvent *event);

    // --- drops from other programs
    void dragEnter(QDragEnterEvent *event);
    void dragMove(QDragMoveEvent *event);
    void drop(QDropEvent *event);

    // --- context menu
    void contextMenu(QContextMenuEvent *event);
    QMenu *defaultMenu();

    // Runs an input action; a failure (such as a paragraph that would grow too long) leaves the
    // text as it was and is shown in a message box that does not block the event loop.
    template <typename F> void guarded(F &&action)
    {
        try {
            action();
        } catch (const std::exception &error) {
            showError(error);
        }
    }
    void showError(const std::exception &error);

    // The text under the mouse is being dragged (a release drops it).
    bool DraggingText() const { return m_draggingText; }
    // Wheel deltas times the factor not yet turned into lines.
    int WheelAccumulator() const { return m_wheelAccumulator; }

    // One display line: its paragraph, its index there, where it starts and how many characters
    // it has (a wrapped line's last position belongs to the next line).
    struct LineSpan {
        qint64 Par = 0;
        qint64 LineInPar = 0;
        qint64 Start = 0;
        qint64 Length = 0;
        bool LastOfPar = true;
    };
    LineSpan span(qint64 line);
    // Text position under a client point; beyondEnd: below the last line counts as the end of the
    // text (else as the last line).
    qint64 positionAt(QPoint point, bool beyondEnd);
    // Display line under a client y (cut to the text's lines).
    qint64 lineAt(int y);

private:
    // Keys
    bool displayOnlyKey(QKeyEvent *event);
    bool hotKey(QKeyEvent *event);
    bool navigationKey(QKeyEvent *event);
    bool editingKey(QKeyEvent *event);
    void typeText(const QString &text);
    void enter();
    void backspace(bool word);
    void deleteForward();
    // Deletes from .. to as a key does.
    void removeRange(qint64 from, qint64 to);
    // Moves the caret to position: Shift extends the selection from its anchor, otherwise it
    // collapses; keeps the desired x of vertical moves when asked.
    void moveCaret(qint64 position, bool extend, bool keepDesiredX = false);
    void verticalMove(qint64 lines, bool extend, bool scrollFirst);
    qint64 stepLeft(qint64 position) const;
    qint64 stepRight(qint64 position) const;
    // Position of the first of the blanks and tabs that end paragraph par (its end when none).
    qint64 trailingBlanksStart(qint64 par) const;
    void columnKey(int key);
    void afterKey();
    QString indentationForEnter();

    // Mouse
    bool inLineZone(QPoint point) const;
    void extendTo(QPoint point);
    void updateAutoScroll(QPoint point);
    void autoScrollStep();
    void stopAutoScroll();
    bool overSelection(QPoint point);
    void dropText(QPoint point, bool copy);
    // Position of the character under a client point; -1 for none (a line's end, below the text).
    qint64 characterAt(QPoint point);
    // The cursor a dynamic attribute under the point asks for.
    std::optional<Qt::CursorShape> cursorAt(QPoint point);
    // A click on text whose attribute carries a context is reported through contextClicked.
    bool contextClick(QPoint point);

    TCodeMemo &m;
    // Keyboard
    bool m_repaintSkip = false;
    qint64 m_columnAnchorPar = 0;
    qint64 m_columnAnchorCol = 0;
    qint64 m_columnPar = 0;
    qint64 m_columnCol = 0;
    // Mouse
    bool m_buttonDown = false;
    bool m_wordSelection = false;
    qint64 m_wordAnchorLower = 0;
    qint64 m_wordAnchorUpper = 0;
    qint64 m_lineSelectionLine = -1;
    qint64 m_lineAnchorLower = 0;
    qint64 m_lineAnchorUpper = 0;
    bool m_columnMouse = false;
    bool m_draggingText = false;
    bool m_dragOutside = false;
    qint64 m_mouseDownPosition = 0;
    QPoint m_pressPoint;
    bool m_moved = false;
    int m_autoScrollDirection = 0; // 0 none, 1 up, 2 down, 3 left, 4 right
    int m_autoScrollSpeed = 0;
    QPoint m_lastMouse;
    QTimer m_autoScroll;
    int m_wheelAccumulator = 0;
    bool m_wheelFactorSet = false;
    QPointer<QMenu> m_menu;
};

} // namespace qd
