// Mouse input of the editor: clicks, word and line selection, column selection with Alt,
// automatic scrolling while the button is held outside, and the wheel.
#include "editor/CodeMemoInput.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QWheelEvent>

#include <iterator>
#include <optional>

namespace qd {

void TCodeMemo::mousePressEvent(QMouseEvent *event)
{
    if (OnMouseDown)
        OnMouseDown(this, event);
    Input().mousePress(event);
}
void TCodeMemo::mouseMoveEvent(QMouseEvent *event)
{
    if (OnMouseMove)
        OnMouseMove(this, event);
    Input().mouseMove(event);
}
void TCodeMemo::mouseReleaseEvent(QMouseEvent *event)
{
    if (OnMouseUp)
        OnMouseUp(this, event);
    Input().guarded([&] { Input().mouseRelease(event); });
}
void TCodeMemo::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (OnMouseDown)
        OnMouseDown(this, event);
    Input().mouseDoubleClick(event);
}
void TCodeMemo::wheelEvent(QWheelEvent *event)
{
    Input().wheel(event);
}

namespace {

// Waits between automatic scroll steps by speed 1..7.
constexpr int autoScrollWaits[] = { 400, 300, 200, 130, 78, 48, 30 };

// The cursor of the line-selection zone: an arrow pointing right, at the text it selects.
QCursor lineSelectionCursor()
{
    static const QCursor cursor = [] {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF arrow[]
            = { { 20, 1 }, { 20, 18 }, { 16, 14 }, { 13, 21 }, { 10, 20 }, { 13, 13 }, { 7, 13 } };
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(Qt::black);
        painter.drawPolygon(arrow, int(std::size(arrow)));
        return QCursor(pixmap, 20, 1);
    }();
    return cursor;
}

// The shape of a cursor number that a dynamic attribute carries (the class library's numbers:
// -2 arrow, -3 cross, -4 I-beam, -21 pointing hand and so on); none for 0 or an unknown one.
std::optional<Qt::CursorShape> attributeCursor(int value)
{
    switch (qint16(value)) {
    case -2:
        return Qt::ArrowCursor;
    case -3:
        return Qt::CrossCursor;
    case -4:
        return Qt::IBeamCursor;
    case -6:
        return Qt::SizeBDiagCursor;
    case -7:
        return Qt::SizeVerCursor;
    case -8:
        return Qt::SizeFDiagCursor;
    case -9:
        return Qt::SizeHorCursor;
    case -10:
        return Qt::UpArrowCursor;
    case -11:
    case -17:
        return Qt::WaitCursor;
    case -12:
        return Qt::DragMoveCursor;
    case -13:
    case -18:
        return Qt::ForbiddenCursor;
    case -19:
        return Qt::BusyCursor;
    case -20:
        return Qt::WhatsThisCursor;
    case -21:
        return Qt::PointingHandCursor;
    case -22:
        return Qt::SizeAllCursor;
    default:
        return std::nullopt;
    }
}

} // namespace

qint64 CodeMemoInput::characterAt(QPoint point)
{
    if (point.y() < 0 || m.TopLine() + m.YToLine(point.y()) >= m.LineCount())
        return -1;
    qint64 position = positionAt(point, true);
    // The boundary nearest to the point may lie after the character under it.
    const LineSpan s = span(lineAt(point.y()));
    if (position > s.Start && point.x() < m.ColumnToX(s.Par, position - s.Start, s.LineInPar))
        --position;
    if (position >= m.TextLength() || m.CharAt(position) == u'\r')
        return -1;
    return position;
}

std::optional<Qt::CursorShape> CodeMemoInput::cursorAt(QPoint point)
{
    const qint64 position = characterAt(point);
    if (position < 0)
        return std::nullopt;
    TCodeNavigator nav(&m);
    nav.SetPos(position + 1);
    const TAttrRecord *attribute = nav.CurrentAttr();
    if (!(attribute->Style() & StyleSets))
        return std::nullopt;
    return attributeCursor(attribute->Cursor());
}

bool CodeMemoInput::inLineZone(QPoint point) const
{
    return !(m.Options() & cmoNoLineSelection)
        && point.x() < m.LeftMargin() - 2 - m.HorizontalOffset();
}

bool CodeMemoInput::overSelection(QPoint point)
{
    if (m.SelLength() == 0 || m.ColumnSelection() || (m.Options() & cmoNoDragnDrop) || m.ReadOnly()
        || m.DisplayOnly())
        return false;
    if (point.y() < 0 || point.y() >= m.viewport()->height() || inLineZone(point))
        return false;
    const qint64 line = m.TopLine() + m.YToLine(point.y());
    if (line >= m.LineCount())
        return false;
    const qint64 position = positionAt(point, true);
    const qint64 lower = m.SelStartNav().Position();
    const qint64 upper = m.SelEndNav().Position();
    // The nearest boundary may be an end of the selection even when the point is outside it.
    const LineSpan s = span(line);
    const int xAt = m.ColumnToX(s.Par, position - s.Start, s.LineInPar);
    if (position == lower && point.x() < xAt)
        return false;
    if (position == upper && point.x() > xAt)
        return false;
    return position >= lower && position <= upper;
}

void CodeMemoInput::mousePress(QMouseEvent *event)
{
    if (m.UpdateCount() > 0)
        return;
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        if (event->button() == Qt::RightButton && !m.hasFocus())
            m.setFocus(Qt::MouseFocusReason);
        return;
    }
    if (m.ColumnSelection())
        m.SetSelLength(0);
    m.SetVirtualColumn(0);
    m_moved = false;
    m_pressPoint = point;
    m_lastMouse = point;
    if (m.DisplayOnly())
        return;
    if (m_wordSelection) {
        // The press that follows a double click ends word selection there.
        return;
    }
    if (!m.hasFocus())
        m.setFocus(Qt::MouseFocusReason);
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (!(mods & (Qt::ShiftModifier | Qt::AltModifier)) && overSelection(point)) {
        m_draggingText = true;
        m_dragOutside = false;
        m_buttonDown = true;
        m.viewport()->setCursor(Qt::DragMoveCursor);
        if (m.OnAfterMouseDown)
            m.OnAfterMouseDown(&m, event);
        return;
    }
    m_buttonDown = true;
    if (inLineZone(point)) {
        const LineSpan s = span(lineAt(point.y()));
        qint64 end = s.Start + s.Length;
        if (s.LastOfPar && s.Par < m.ParagraphCount() - 1)
            end += 2; // with its line break
        m_lineSelectionLine = m.TopLine() + m.YToLine(point.y());
        m_lineAnchorLower = s.Start;
        m_lineAnchorUpper = end;
        if (mods & Qt::ShiftModifier) {
            extendTo(point);
        } else {
            m.SetSelStart(s.Start);
            m.SetSelLength(end - s.Start);
        }
    } else {
        m_lineSelectionLine = -1;
        const qint64 position = positionAt(point, true);
        m_mouseDownPosition = position;
        if (mods & Qt::ShiftModifier) {
            TCodeNavigator &caret = m.Caret();
            const qint64 anchor = m.SelLength() == 0 ? caret.Position()
                : &caret == &m.SelStartNav()         ? m.SelEndNav().Position()
                                                     : m.SelStartNav().Position();
            m.SetSelStart(position);
            m.SetSelLength(anchor - position);
        } else {
            m.SetSelStart(position);
        }
        m_columnMouse
            = (mods & Qt::AltModifier) && (m.Options() & cmoBlockSelection) && !m.WordWrap();
        if ((m.Options() & cmoKeepColumnPos) && !m.WordWrap()) {
            m.UpdateCaret();
            const int beyond = point.x() - m.CaretX();
            if (beyond > m.CharWidth() / 2)
                m.SetVirtualColumn((beyond + m.CharWidth() / 2) / m.CharWidth());
        }
        if (m_columnMouse) {
            const qint64 col = qMax<qint64>(
                0, (point.x() + m.HorizontalOffset() - m.LeftMargin()) / m.CharWidth());
            m_columnAnchorPar = m_columnPar = m.Caret().ParIndex();
            m_columnAnchorCol = m_columnCol = col;
        }
    }
    m.UpdateCaret();
    m.ScrollInView();
    if (m.OnAfterMouseDown)
        m.OnAfterMouseDown(&m, event);
}

void CodeMemoInput::extendTo(QPoint point)
{
    if (m_columnMouse) {
        const qint64 line = lineAt(point.y());
        m_columnPar = span(line).Par;
        m_columnCol
            = qMax<qint64>(0, (point.x() + m.HorizontalOffset() - m.LeftMargin()) / m.CharWidth());
        m.SetColumnSelection(m_columnAnchorCol, m_columnAnchorPar, m_columnCol, m_columnPar);
        return;
    }
    qint64 lower;
    qint64 upper;
    qint64 position;
    if (m_lineSelectionLine >= 0) {
        const LineSpan s = span(lineAt(point.y()));
        qint64 end = s.Start + s.Length;
        if (s.LastOfPar && s.Par < m.ParagraphCount() - 1)
            end += 2;
        lower = qMin(m_lineAnchorLower, s.Start);
        upper = qMax(m_lineAnchorUpper, end);
        position = s.Start < m_lineAnchorLower ? lower : upper;
    } else {
        position = positionAt(point, false);
        if (m_wordSelection) {
            const bool large = m.Options() & cmoLargeWordSelect;
            const auto separator = [this, large](char16_t c) { return m.IsWordBreak(c, large); };
            if (position < m_wordAnchorLower) {
                while (position > 0 && !separator(m.CharAt(position - 1)))
                    --position;
            } else {
                while (position < m.TextLength() && !separator(m.CharAt(position)))
                    ++position;
            }
            lower = qMin(position, m_wordAnchorLower);
            upper = qMax(position, m_wordAnchorUpper);
        } else {
            lower = qMin(position, m_mouseDownPosition);
            upper = qMax(position, m_mouseDownPosition);
        }
    }
    // The caret follows the mouse; the selection reaches back to the anchor.
    const qint64 anchor = position == lower ? upper : lower;
    if (position == m.Caret().Position() && m.SelLength() == anchor - position)
        return;
    m.SetSelStart(position);
    m.SetSelLength(anchor - position);
}

void CodeMemoInput::mouseMove(QMouseEvent *event)
{
    if (m.UpdateCount() > 0)
        return;
    const QPoint point = event->position().toPoint();
    m_lastMouse = point;
    if ((point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance())
        m_moved = true;
    if (!(event->buttons() & Qt::LeftButton) || !m_buttonDown) {
        // Hovering: the line-selection zone and the selection show their cursors.
        if (inLineZone(point))
            m.viewport()->setCursor(lineSelectionCursor());
        else if (overSelection(point))
            m.viewport()->setCursor(Qt::ArrowCursor);
        else if (const auto shape = cursorAt(point))
            m.viewport()->setCursor(*shape);
        else
            m.viewport()->setCursor(Qt::IBeamCursor);
        return;
    }
    if (m_draggingText) {
        const QRect client = m.viewport()->rect();
        m_dragOutside = !client.contains(point);
        m.viewport()->setCursor(m_dragOutside                ? Qt::ForbiddenCursor
                : (event->modifiers() & Qt::ControlModifier) ? Qt::DragCopyCursor
                                                             : Qt::DragMoveCursor);
        updateAutoScroll(point);
        return;
    }
    extendTo(point);
    updateAutoScroll(point);
    m.UpdateCaret();
}

void CodeMemoInput::updateAutoScroll(QPoint point)
{
    const int w = m.viewport()->width();
    const int h = m.viewport()->height();
    int direction = 0;
    int distance = 0;
    const bool text = m_draggingText;
    if (point.x() < 0 && (!text || point.x() > -24)) {
        direction = 3;
        distance = -point.x();
    } else if (point.x() > w && (!text || point.x() - w < 24)) {
        direction = 4;
        distance = point.x() - w;
    }
    const bool horizontallyOut = point.x() < -3 || point.x() > w + 3;
    if (!(text && horizontallyOut)) {
        if (point.y() < -3 && (!text || point.y() > -27)) {
            direction = 1;
            distance = -point.y();
        } else if (point.y() > h && (!text || point.y() - h < 24)) {
            direction = 2;
            distance = point.y() - h;
        }
    }
    if (direction == 0) {
        stopAutoScroll();
        return;
    }
    const int speed = qBound(1, distance / 3, 7);
    if (direction != m_autoScrollDirection || speed != m_autoScrollSpeed
        || !m_autoScroll.isActive()) {
        m_autoScrollDirection = direction;
        m_autoScrollSpeed = speed;
        m_autoScroll.start(autoScrollWaits[speed - 1]);
    }
}

void CodeMemoInput::autoScrollStep()
{
    if (!m_buttonDown || m_autoScrollDirection == 0 || m.UpdateCount() > 0) {
        stopAutoScroll();
        return;
    }
    switch (m_autoScrollDirection) {
    case 1:
        m.LineUp();
        break;
    case 2:
        m.LineDown();
        break;
    case 3:
        m.LineLeft();
        break;
    case 4:
        m.LineRight();
        break;
    }
    if (!m_draggingText)
        extendTo(m_lastMouse);
    m.UpdateCaret();
}

void CodeMemoInput::stopAutoScroll()
{
    m_autoScroll.stop();
    m_autoScrollDirection = 0;
    m_autoScrollSpeed = 0;
}

bool CodeMemoInput::contextClick(QPoint point)
{
    const qint64 position = characterAt(point);
    if (position < 0)
        return false;
    // A record that starts at a character is in force after it.
    TCodeNavigator nav(&m);
    nav.SetPos(position + 1);
    const TAttrRecord attribute = *nav.CurrentAttr();
    if (!(attribute.Style() & StyleSets) || attribute.Context() == 0)
        return false;
    TCodeNavigator start(&m);
    start.SetPos(position + 1);
    const qint64 from = start.PrevAttr(0) ? start.Position() : 0;
    TCodeNavigator stop(&m);
    stop.SetPos(position + 1);
    const qint64 to = stop.NextAttr(m.TextLength()) ? stop.Position() : m.TextLength();
    emit m.contextClicked(attribute.Context(), from, to);
    return true;
}

void CodeMemoInput::mouseRelease(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    stopAutoScroll();
    const bool click = event->button() == Qt::RightButton
        || (event->button() == Qt::LeftButton && !m_moved && !m_draggingText);
    if (click && m.UpdateCount() == 0)
        contextClick(point);
    if (event->button() == Qt::LeftButton) {
        if (m_draggingText) {
            m_draggingText = false;
            m_buttonDown = false;
            m.viewport()->setCursor(Qt::IBeamCursor);
            if (!m_dragOutside && m.viewport()->rect().contains(point))
                dropText(point, event->modifiers() & Qt::ControlModifier);
            m_dragOutside = false;
            return;
        }
        if (m_wordSelection && !m_buttonDown)
            m.SetVirtualColumn(0);
        m_wordSelection = false;
        m_buttonDown = false;
        m_columnMouse = false;
        m_lineSelectionLine = -1;
        m.ScrollInView();
    }
}

void CodeMemoInput::mouseDoubleClick(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m.DisplayOnly() || m.UpdateCount() > 0)
        return;
    m_wordSelection = true;
    m_buttonDown = true;
    m.SetSelStart(positionAt(event->position().toPoint(), true));
    m.SelectWordAt(m.Options() & cmoLargeWordSelect);
    m_wordAnchorLower = m.SelStartNav().Position();
    m_wordAnchorUpper = m.SelEndNav().Position();
    m.UpdateCaret();
}

void CodeMemoInput::wheel(QWheelEvent *event)
{
    if (m.UpdateCount() > 0)
        return;
    if (!m_wheelFactorSet) {
        m_wheelFactorSet = true;
        if (m.MouseWheelFactor() < 0)
            m.SetMouseWheelFactor(QApplication::wheelScrollLines());
    }
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const int factor = m.MouseWheelFactor();
    if (factor == -1) {
        m_wheelAccumulator = 0;
        if (delta > 0)
            m.PageUp();
        else
            m.PageDown();
    } else {
        m_wheelAccumulator += delta * factor;
        while (m_wheelAccumulator >= 120) {
            m_wheelAccumulator -= 120;
            m.LineUp();
        }
        while (m_wheelAccumulator <= -120) {
            m_wheelAccumulator += 120;
            m.LineDown();
        }
    }
    event->accept();
}

} // namespace qd
