// Dragging the selected text inside the editor (a move, or a copy with Ctrl) and drops of text
// from other programs.
#include "editor/CodeMemoInput.h"

#include "editor/ClipboardText.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace qd {

void TCodeMemo::dragEnterEvent(QDragEnterEvent *event)
{
    Input().dragEnter(event);
}
void TCodeMemo::dragMoveEvent(QDragMoveEvent *event)
{
    Input().dragMove(event);
}
void TCodeMemo::dropEvent(QDropEvent *event)
{
    Input().guarded([&] { Input().drop(event); });
}

// Largest text a drag moves in one piece.
static constexpr qint64 maxDraggedText = 2147483547;

void CodeMemoInput::dropText(QPoint point, bool copy)
{
    const qint64 target = positionAt(point, true);
    const qint64 lower = m.SelStartNav().Position();
    const qint64 upper = m.SelEndNav().Position();
    if (target >= lower && target <= upper) {
        // Inside the selection nothing moves: the caret goes there.
        m.SetSelStart(target);
        if (m.OnSelMove)
            m.OnSelMove(&m);
        m.ScrollInView();
        return;
    }
    const QString text = m.GetTextRange(lower, qMin(upper, lower + maxDraggedText));
    // The drop point follows the deletion of a moved text.
    TCodeNavigator drop(&m);
    drop.SetPos(target);
    m.BeginUpdate();
    try {
        if (copy) {
            m.SetSelStart(target);
        } else {
            m.SetBreakMerge();
            m.ClearSelection();
            m.SetSelStart(drop.Position());
        }
        m.SetBreakMerge();
        m.ReplaceSel(text, copy ? 0 : CodeDocument::rfGroupUndo);
        const qint64 end = m.Caret().Position();
        m.SetSelStart(end);
        m.SetSelLength(-qMin<qint64>(end, text.size()));
    } catch (...) {
        m.EndUpdate();
        throw;
    }
    m.EndUpdate();
    m.UpdateCaret(true);
    m.ScrollInView();
}

void CodeMemoInput::dragEnter(QDragEnterEvent *event)
{
    if (m.ReadOnly() || m.DisplayOnly() || m.UpdateCount() > 0 || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void CodeMemoInput::dragMove(QDragMoveEvent *event)
{
    if (m.ReadOnly() || m.DisplayOnly() || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void CodeMemoInput::drop(QDropEvent *event)
{
    if (m.ReadOnly() || m.DisplayOnly() || m.UpdateCount() > 0) {
        event->ignore();
        return;
    }
    const TClipboardContent content = ReadClipboardData(event->mimeData());
    if (!content.HasText) {
        event->ignore();
        return;
    }
    // Text from another program goes in at the drop point and is selected.
    const qint64 target = positionAt(event->position().toPoint(), true);
    m.SetSelStart(target);
    m.SetBreakMerge();
    m.ReplaceSel(content.Text);
    const qint64 end = m.Caret().Position();
    m.SetSelStart(end);
    m.SetSelLength(-qMin<qint64>(end, content.Text.size()));
    m.SetBreakMerge();
    m.ScrollInView();
    if (!m.hasFocus())
        m.setFocus(Qt::OtherFocusReason);
    event->acceptProposedAction();
}

} // namespace qd
