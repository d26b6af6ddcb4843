// Keyboard input of the editor, and the widget's event handlers that hand input to CodeMemoInput.
#include "editor/CodeMemoInput.h"

#include "editor/ConsistencyCheck.h"
#include "editor/StyleCodes.h"
#include "editor/TextCommands.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMessageBox>

namespace qd {

// --- the widget's side

void TCodeMemo::InputDeleter::operator()(CodeMemoInput *input) const
{
    delete input;
}

CodeMemoInput &TCodeMemo::Input()
{
    if (!m_input)
        m_input.reset(new CodeMemoInput(*this));
    return *m_input;
}

void TCodeMemo::keyPressEvent(QKeyEvent *event)
{
    Input().keyPress(event);
}
void TCodeMemo::keyReleaseEvent(QKeyEvent *event)
{
    Input().keyRelease(event);
}
void TCodeMemo::inputMethodEvent(QInputMethodEvent *event)
{
    Input().inputMethod(event);
}

QVariant TCodeMemo::inputMethodQuery(Qt::InputMethodQuery query) const
{
    auto *self = const_cast<TCodeMemo *>(this);
    switch (query) {
    case Qt::ImEnabled:
        return !m_displayOnly && !m_readOnly;
    case Qt::ImCursorRectangle:
        return QRectF(self->caretRect().translated(viewport()->pos()));
    case Qt::ImSurroundingText:
        return self->GetParagraphText(self->Caret().ParIndex());
    case Qt::ImCursorPosition:
        return int(self->Caret().ParOffset());
    case Qt::ImAnchorPosition: {
        TCodeNavigator &other
            = &self->Caret() == &self->SelStartNav() ? self->SelEndNav() : self->SelStartNav();
        if (other.ParIndex() != self->Caret().ParIndex())
            return int(self->Caret().ParOffset());
        return int(other.ParOffset());
    }
    case Qt::ImCurrentSelection:
        return self->ColumnSelection() ? QString() : self->CodeDocument::GetSelText();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

bool TCodeMemo::focusNextPrevChild(bool next)
{
    // Tab is the editor's own key while it wants tabs.
    if (m_wantTabs && !m_displayOnly)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

// --- CodeMemoInput

CodeMemoInput::CodeMemoInput(TCodeMemo &memo)
    : m(memo)
{
    m_autoScroll.setSingleShot(false);
    QObject::connect(&m_autoScroll, &QTimer::timeout, &memo, [this] { autoScrollStep(); });
}

CodeMemoInput::~CodeMemoInput() = default;

void CodeMemoInput::showError(const std::exception &error)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(),
        QString::fromUtf8(error.what()), QMessageBox::Ok, &m);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

CodeMemoInput::LineSpan CodeMemoInput::span(qint64 line)
{
    m.FormatUpToLine(qMax<qint64>(0, line));
    line = boundI64(0, line, m.LineCount() - 1);
    LineSpan s;
    TParagraphsList &pars = m.Paragraphs();
    s.Par = pars.ParagraphOfLine(line);
    s.LineInPar = line - pars.FirstLine(s.Par);
    TLinesList view(&pars, s.Par);
    s.LineInPar = boundI64(0, s.LineInPar, view.Count() - 1);
    const TLineRecord *record = view.Line(s.LineInPar);
    s.Start = pars.StartPos(s.Par) + record->StartOffset;
    s.Length = record->EndOffset - record->StartOffset;
    s.LastOfPar = s.LineInPar == view.Count() - 1;
    return s;
}

qint64 CodeMemoInput::lineAt(int y)
{
    const int lh = m.LineHeightPx();
    qint64 relative = m.YToLine(y);
    if (y < 0 && lh > 0)
        relative = -((-y + lh - 1) / lh);
    const qint64 line = m.TopLine() + relative;
    m.FormatUpToLine(qMax<qint64>(0, line));
    return boundI64(0, line, m.LineCount() - 1);
}

qint64 CodeMemoInput::positionAt(QPoint point, bool beyondEnd)
{
    const int lh = m.LineHeightPx();
    const qint64 relative = point.y() < 0 || lh < 1 ? -1 : m.YToLine(point.y());
    const qint64 line = m.TopLine() + relative;
    m.FormatUpToLine(qMax<qint64>(0, line));
    if (beyondEnd && line >= m.LineCount())
        return m.TextLength();
    const LineSpan s = span(lineAt(point.y()));
    const qint64 column = m.XToColumn(s.Par, point.x(), s.LineInPar);
    return s.Start + qBound<qint64>(0, column, s.Length);
}

// --- keys

void CodeMemoInput::keyPress(QKeyEvent *event)
{
    if (m.OnKeyDown) {
        bool handled = false;
        m.OnKeyDown(&m, event, handled);
        if (handled) {
            event->accept();
            return;
        }
    }
    QString text = event->text();
    bool replaced = false; // the handler gave other text: that is typed, whatever the key was
    if (m.OnKeyPress && !text.isEmpty()) {
        const QString given = text;
        m.OnKeyPress(&m, text);
        if (text.isEmpty()) {
            event->accept();
            return;
        }
        replaced = text != given;
    }
    if (m.UpdateCount() > 0) {
        event->accept();
        return;
    }
    if (m_draggingText) {
        // Ctrl shows that the drop will copy.
        if (event->key() == Qt::Key_Control && !m_dragOutside)
            m.viewport()->setCursor(Qt::DragCopyCursor);
        event->accept();
        return;
    }
    if (m.DisplayOnly()) {
        if (!displayOnlyKey(event))
            event->ignore();
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    if (!replaced && ctrl && !alt && !m.ReadOnly() && m.EnableHotKeys() && hotKey(event)) {
        afterKey();
        return;
    }
    if (!replaced && (navigationKey(event) || editingKey(event))) {
        afterKey();
        return;
    }
    // Printable text and the remaining Ctrl keys (key-press).
    const int key = event->key();
    if (!replaced && ctrl && !alt) {
        switch (key) {
        case Qt::Key_C:
            m.CopyToClipboard();
            return;
        case Qt::Key_A:
            m.SelectAll();
            afterKey();
            return;
        case Qt::Key_V:
            if (!m.ReadOnly())
                m.PasteFromClipboard();
            afterKey();
            return;
        case Qt::Key_X:
            if (!m.ReadOnly())
                m.CutToClipboard();
            afterKey();
            return;
        case Qt::Key_E:
            // Repaint, then check that paragraphs and display lines agree; the first
            // disagreement is shown (a box that does not block the event loop).
            if (m.ReadOnly()) {
                event->ignore();
                return;
            }
            m.viewport()->repaint();
            guarded([this] { CheckConsistency(m.Paragraphs(), m.Version()); });
            return;
        default:
            event->ignore();
            return;
        }
    }
    // Alt with a letter belongs to menus; it types nothing.
    if (text.isEmpty() || m.ReadOnly() || (!replaced && (alt || (mods & Qt::MetaModifier)))) {
        event->ignore();
        return;
    }
    for (QChar c : text)
        if (c.unicode() < 32 || c.unicode() == 127) {
            event->ignore();
            return;
        }
    typeText(text);
    afterKey();
}

void CodeMemoInput::keyRelease(QKeyEvent *event)
{
    if (m.OnKeyUp)
        m.OnKeyUp(&m, event);
    m_repaintSkip = true;
    if (m_draggingText && event->key() == Qt::Key_Control)
        m.viewport()->setCursor(m_dragOutside ? Qt::ForbiddenCursor : Qt::DragMoveCursor);
    event->ignore();
}

bool CodeMemoInput::displayOnlyKey(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const qint64 top = m.TopLine();
    const qint64 visible = m.VisibleLines();
    const qint64 last = qMax<qint64>(0, m.LineCount() - visible + 1);
    const int lh = m.LineHeightPx();
    const qint64 client = m.ClientWidth();
    const qint64 widest = m.WidestLine();
    const qint64 maxH = qMax<qint64>(0, widest - client + m.RightMargin());
    switch (event->key()) {
    case Qt::Key_PageUp:
        m.ScrollToLine(ctrl ? 0 : qMax<qint64>(0, top - visible + 1));
        break;
    case Qt::Key_PageDown:
        m.ScrollToLine(ctrl ? last : qMin(top + visible - 1, last));
        break;
    case Qt::Key_Up:
        m.SetVerticalOffset(qMax<qint64>(0, top - 1) * lh);
        break;
    case Qt::Key_Down:
        m.SetVerticalOffset(qMin(top + 1, last) * lh);
        break;
    case Qt::Key_Home:
        m.SetHorizontalOffset(0);
        break;
    case Qt::Key_End:
        m.SetHorizontalOffset(maxH);
        break;
    case Qt::Key_Left:
        m.SetHorizontalOffset(qMax<qint64>(0, m.HorizontalOffset() - client / 5 - 1));
        break;
    case Qt::Key_Right:
        m.SetHorizontalOffset(qMin(m.HorizontalOffset() + client / 5 + 1, maxH));
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}

bool CodeMemoInput::hotKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_B:
        m.ToggleBold();
        return true;
    case Qt::Key_I:
        m.ToggleItalic();
        return true;
    case Qt::Key_U:
        m.ToggleUnderline();
        return true;
    case Qt::Key_H:
        m.ToggleHighlight();
        return true;
    case Qt::Key_F:
        m.ToggleAltFont();
        return true;
    case Qt::Key_P:
        m.SetSelText(QStringLiteral("\r\n") + QChar(scPageBreak) + QStringLiteral("\r\n"));
        return true;
    case Qt::Key_T:
        m.SetSelText(QString(QChar(scTab)));
        return true;
    case Qt::Key_Z:
        if (event->modifiers() & Qt::ShiftModifier)
            m.Redo();
        else
            m.Undo();
        return true;
    default:
        return false;
    }
}

qint64 CodeMemoInput::stepLeft(qint64 position) const
{
    const bool codes = m.PassOverCodes() && m.StaticFormat();
    qint64 p = qMax<qint64>(0, position);
    // Style codes take no room: a run of them goes with the character before it.
    if (codes)
        while (p > 0 && IsStyleCode(m.CharAt(p - 1)))
            --p;
    const bool lineStart = p == 0 || m.CharAt(p - 1) == u'\n';
    if (p < position && lineStart)
        return p;
    if (p >= 2 && m.CharAt(p - 1) == u'\n' && m.CharAt(p - 2) == u'\r')
        return p - 2;
    return qMax<qint64>(0, p - 1);
}

qint64 CodeMemoInput::stepRight(qint64 position) const
{
    const qint64 length = m.TextLength();
    const bool codes = m.PassOverCodes() && m.StaticFormat();
    qint64 p = qMin(position, length);
    if (codes)
        while (p < length && IsStyleCode(m.CharAt(p)))
            ++p;
    if (p >= length)
        return length;
    if (m.CharAt(p) == u'\r')
        return p > position ? p : qMin(p + 2, length);
    return p + 1;
}

void CodeMemoInput::moveCaret(qint64 position, bool extend, bool keepDesiredX)
{
    const int desiredX = m.DesiredX();
    position = boundI64(0, position, m.TextLength());
    if (extend) {
        TCodeNavigator &caret = m.Caret();
        const qint64 anchor = m.SelLength() == 0
            ? caret.Position()
            : (&caret == &m.SelStartNav() ? m.SelEndNav().Position() : m.SelStartNav().Position());
        m.SetSelStart(position);
        m.SetSelLength(anchor - position);
    } else {
        m.SetSelStart(position);
    }
    if (keepDesiredX)
        m.SetDesiredX(desiredX);
}

void CodeMemoInput::verticalMove(qint64 lines, bool extend, bool scrollFirst)
{
    m.EnsureFormattedAt(m.Caret().Position());
    const qint64 line = m.Caret().LineIndex();
    const qint64 target = line + lines;
    m.FormatUpToLine(qMax<qint64>(0, target));
    const qint64 clamped = boundI64(0, target, m.LineCount() - 1);
    if (scrollFirst) {
        const qint64 top = m.TopLine();
        const qint64 lastTop = qMax<qint64>(0, m.LineCount() - m.VisibleLines() + 2);
        m.ScrollToLine(boundI64(0, top + lines, qMax(top, lastTop)));
    }
    const bool column = m.ColumnSelection();
    if (!extend && !column)
        m.SetVirtualColumn(0);
    m.UpdateCaret();
    const TCodeMemoOptions o = m.Options();
    if (m.DesiredX() == CodeMemoCore::NoDesiredX
        || (!m.WordWrap() && (o & cmoPutExtraSpaces) && !(o & cmoKeepColumnPos)))
        m.SetDesiredX(m.CaretX());
    const int desiredX = m.DesiredX();
    const LineSpan s = span(clamped);
    qint64 column2 = m.XToColumn(s.Par, desiredX, s.LineInPar);
    if (!s.LastOfPar && column2 >= s.Length && s.Length > 0)
        column2 = s.Length - 1;
    moveCaret(s.Start + qBound<qint64>(0, column2, s.Length), extend, true);
    if (column || (o & cmoKeepColumnPos)) {
        m.UpdateCaret();
        const bool atEnd = m.Caret().ParOffset() >= m.Caret().ParRecord()->Length
            || m.CharAt(m.Caret().Position()) == u'\t';
        if (atEnd && desiredX > m.CaretX()) {
            m.SetVirtualColumn((desiredX - m.CaretX()) / m.CharWidth());
            m.UpdateCaret();
        }
    }
}

bool CodeMemoInput::navigationKey(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    const int key = event->key();
    const bool arrow
        = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    if (arrow && alt) {
        // Alt+Shift+arrows start or extend a column block; Alt alone acts only inside one.
        if (!m.ColumnSelection() && shift && (m.Options() & cmoBlockSelection) && !m.WordWrap()) {
            m.EnsureFormattedAt(m.Caret().Position());
            m_columnAnchorPar = m_columnPar = m.Caret().ParIndex();
            const QString text = m.GetParagraphText(m_columnPar);
            qint64 col = 0;
            for (qint64 i = 0; i < m.Caret().ParOffset() && i < text.size(); ++i) {
                const char16_t c = text.at(i).unicode();
                if (c == scTab)
                    col = m.TabStops() > 0 ? (col / m.TabStops() + 1) * m.TabStops() : col + 1;
                else if (!(m.StaticFormat() && IsStyleCode(c)))
                    ++col;
            }
            m_columnAnchorCol = m_columnCol = col + m.VirtualColumn();
        } else if (!m.ColumnSelection()) {
            return false;
        }
        columnKey(key);
        event->accept();
        return true;
    }
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        // A move ends a column block; the move starts from the caret.
        if (m.ColumnSelection())
            m.SetSelLength(0);
        break;
    default:
        return false;
    }
    const qint64 caret = m.Caret().Position();
    // With cmoDiscardTrailingSpaces, blanks and tabs at a paragraph's end stand for a virtual
    // column: the caret never stops among them, their start counts as the paragraph's end.
    const bool discard = m.Options() & cmoDiscardTrailingSpaces;
    switch (key) {
    case Qt::Key_Left:
        if (ctrl) {
            moveCaret(PreviousWordStart(m, caret, [this](char16_t c) { return m.IsSeparator(c); }),
                shift);
        } else if (m.VirtualColumn() > 0) {
            m.SetVirtualColumn(m.VirtualColumn() - 1);
            m.SetDesiredX(CodeMemoCore::NoDesiredX);
            m.UpdateCaret();
        } else if (discard && caret > trailingBlanksStart(m.Caret().ParIndex())) {
            moveCaret(trailingBlanksStart(m.Caret().ParIndex()), shift);
        } else if (discard && m.Caret().ParOffset() == 0 && m.Caret().ParIndex() > 0) {
            moveCaret(trailingBlanksStart(m.Caret().ParIndex() - 1), shift);
        } else {
            moveCaret(stepLeft(caret), shift);
        }
        break;
    case Qt::Key_Right: {
        const TCodeMemoOptions o = m.Options();
        const qint64 par = m.Caret().ParIndex();
        const bool atEnd = m.CharAt(caret) == u'\r' || caret >= m.TextLength()
            || (discard && caret >= trailingBlanksStart(par));
        if (ctrl) {
            moveCaret(
                NextWordStart(m, caret, [this](char16_t c) { return m.IsSeparator(c); }), shift);
        } else if (atEnd && (o & cmoKeepColumnPos) && !(o & cmoWrapCaret) && !m.WordWrap()) {
            if (discard && caret != trailingBlanksStart(par))
                moveCaret(trailingBlanksStart(par), shift, true);
            m.SetVirtualColumn(m.VirtualColumn() + 1);
            m.SetDesiredX(CodeMemoCore::NoDesiredX);
            m.UpdateCaret();
        } else if (atEnd && discard) {
            // Over the trailing blanks and the line break at once.
            moveCaret(par + 1 < m.ParagraphCount() ? m.ParagraphStart(par + 1) : m.TextLength(),
                shift);
        } else {
            moveCaret(stepRight(caret), shift);
        }
        break;
    }
    case Qt::Key_Up:
        verticalMove(-1, shift, false);
        break;
    case Qt::Key_Down:
        verticalMove(1, shift, false);
        break;
    case Qt::Key_PageUp:
        verticalMove(-qMax(1, m.VisibleLines() - 1), shift, !ctrl);
        break;
    case Qt::Key_PageDown:
        verticalMove(qMax(1, m.VisibleLines() - 1), shift, !ctrl);
        break;
    case Qt::Key_Home:
        if (ctrl) {
            moveCaret(0, shift);
        } else {
            m.EnsureFormattedAt(caret);
            moveCaret(span(m.Caret().LineIndex()).Start, shift);
        }
        break;
    case Qt::Key_End:
        if (ctrl) {
            moveCaret(m.TextLength(), shift);
        } else {
            m.EnsureFormattedAt(caret);
            const LineSpan s = span(m.Caret().LineIndex());
            const qint64 length = !s.LastOfPar && s.Length > 0 ? s.Length - 1 : s.Length;
            moveCaret(s.Start + length, shift);
        }
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}

qint64 CodeMemoInput::trailingBlanksStart(qint64 par) const
{
    const TParagraph *p = m.Paragraphs().At(par);
    qint64 offset = p->Length;
    while (offset > 0 && (p->Text[offset - 1] == u' ' || p->Text[offset - 1] == u'\t'))
        --offset;
    return m.Paragraphs().StartPos(par) + offset;
}

void CodeMemoInput::columnKey(int key)
{
    switch (key) {
    case Qt::Key_Left:
        m_columnCol = qMax<qint64>(0, m_columnCol - 1);
        break;
    case Qt::Key_Right:
        ++m_columnCol;
        break;
    case Qt::Key_Up:
        m_columnPar = qMax<qint64>(0, m_columnPar - 1);
        break;
    case Qt::Key_Down:
        m_columnPar = qMin(m.ParagraphCount() - 1, m_columnPar + 1);
        break;
    default:
        break;
    }
    m.SetColumnSelection(m_columnAnchorCol, m_columnAnchorPar, m_columnCol, m_columnPar);
}

bool CodeMemoInput::editingKey(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    const bool readOnly = m.ReadOnly();
    switch (event->key()) {
    case Qt::Key_Backspace:
        if (!readOnly)
            backspace(ctrl);
        break;
    case Qt::Key_Delete:
        if (readOnly)
            break;
        if (shift && !ctrl) {
            if (m.SelLength() != 0)
                m.CutToClipboard();
            else
                backspace(false);
        } else if (ctrl) {
            const LineSpan s = span(m.Caret().LineIndex());
            m.EnsureFormattedAt(m.SelStartNav().Position());
            m.EnsureFormattedAt(m.SelEndNav().Position());
            if (m.SelStartNav().LineIndex() == m.SelEndNav().LineIndex()) {
                const qint64 end = s.Start + s.Length;
                const qint64 from = m.SelStartNav().Position();
                m.SetSelStart(from);
                m.SetSelLength(qMax<qint64>(0, end - from));
                m.ClearSelection();
            }
        } else {
            deleteForward();
        }
        break;
    case Qt::Key_Insert:
        if (alt)
            return false;
        if (shift) {
            if (!readOnly)
                m.PasteFromClipboard();
        } else if (ctrl) {
            m.CopyToClipboard();
        } else if (m.Options() & cmoInsertKeyActive) {
            m.SetOverwrite(!m.Overwrite());
            if (m.OnStyleChange)
                m.OnStyleChange(&m);
        }
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (alt)
            return false;
        if (!readOnly)
            m.SetSelText(QString(QChar(scTab)));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!readOnly)
            enter();
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}

void CodeMemoInput::typeText(const QString &text)
{
    if (m.ReadOnly())
        return;
    const qint64 caret = m.Caret().Position();
    const bool atParEnd = m.CharAt(caret) == u'\r' || caret >= m.TextLength();
    const TCodeMemoOptions o = m.Options();
    if (text == QStringLiteral(" ") && m.SelLength() == 0 && atParEnd
        && (o & cmoDiscardTrailingSpaces) && (o & cmoKeepColumnPos)) {
        m.SetVirtualColumn(m.VirtualColumn() + 1);
        m.UpdateCaret();
        return;
    }
    if (m.Overwrite() && m.SelLength() == 0 && !atParEnd) {
        // The typed character replaces the one after the caret.
        const int desiredX = m.DesiredX();
        m.SetSelLength(
            qMin<qint64>(text.size(), m.Caret().ParRecord()->Length - m.Caret().ParOffset()));
        m.SetDesiredX(desiredX);
    }
    m.SetSelText(text);
}

QString CodeMemoInput::indentationForEnter()
{
    m.EnsureFormattedAt(m.Caret().Position());
    const qint64 caretColumn = m.Caret().Column();
    for (qint64 line = m.Caret().LineIndex(); line >= 0; --line) {
        const QString text = m.GetLineText(line);
        if (text.isEmpty())
            continue;
        qint64 n = 0;
        while (n < text.size() && (text.at(n) == u' ' || text.at(n) == u'\t'))
            ++n;
        return text.left(qMin(n, caretColumn));
    }
    return QString();
}

void CodeMemoInput::enter()
{
    const TCodeMemoOptions o = m.Options();
    if (m.Overwrite() && m.SelLength() == 0) {
        m.EnsureFormattedAt(m.Caret().Position());
        const qint64 line = m.Caret().LineIndex();
        if (line + 1 >= m.LineCount() && m.AllFormatted()) {
            m.SetSelStart(m.TextLength());
            m.SetSelText(QStringLiteral("\r\n"));
        } else {
            m.SetSelStart(span(line + 1).Start);
        }
        return;
    }
    QString indent;
    const bool autoIndent = (o & cmoAutoIndent) && m.SelLength() == 0;
    if (autoIndent)
        indent = indentationForEnter();
    const qint64 caret = m.Caret().Position();
    const bool atParEnd = m.CharAt(caret) == u'\r' || caret >= m.TextLength();
    if (autoIndent && (o & cmoDiscardTrailingSpaces) && atParEnd) {
        m.SetSelText(QStringLiteral("\r\n"));
        qint64 columns = 0;
        for (QChar c : indent)
            columns = c == u'\t' && m.TabStops() > 0 ? (columns / m.TabStops() + 1) * m.TabStops()
                                                     : columns + 1;
        m.SetVirtualColumn(columns);
        m.UpdateCaret();
        return;
    }
    m.SetSelText(QStringLiteral("\r\n") + indent);
}

void CodeMemoInput::backspace(bool word)
{
    if (m.SelLength() != 0) {
        m.ClearSelection();
        return;
    }
    if (m.VirtualColumn() > 0) {
        m.SetVirtualColumn(m.VirtualColumn() - 1);
        m.UpdateCaret();
        return;
    }
    const qint64 caret = m.Caret().Position();
    if (caret == 0)
        return;
    qint64 from;
    if (word) {
        from = PreviousWordStart(m, caret, [this](char16_t c) { return m.IsSeparator(c); });
    } else {
        // Style codes take no room: the character is the one before them.
        qint64 p = caret;
        if (m.StaticFormat())
            while (p > 0 && IsStyleCode(m.CharAt(p - 1)))
                --p;
        if (p == 0)
            return;
        if (m.CharAt(p - 1) == u'\n' && p >= 2 && m.CharAt(p - 2) == u'\r') {
            removeRange(p - 2, caret);
            return;
        }
        from = p - 1;
        const QString par = m.GetParagraphText(m.Caret().ParIndex());
        const qint64 offset = m.Caret().ParOffset();
        // Back-indent: at the line's indentation, back to the indentation of the nearest earlier
        // line that is less indented.
        qint64 lead = 0;
        while (lead < par.size() && (par.at(lead) == u' ' || par.at(lead) == u'\t'))
            ++lead;
        if ((m.Options() & cmoBackIndent) && offset > 0 && offset == lead) {
            const auto columnsOf = [this](const QString &text, qint64 count) {
                qint64 col = 0;
                for (qint64 i = 0; i < count; ++i)
                    col = text.at(i) == u'\t' && m.TabStops() > 0
                        ? (col / m.TabStops() + 1) * m.TabStops()
                        : col + 1;
                return col;
            };
            const qint64 here = columnsOf(par, lead);
            qint64 target = 0;
            for (qint64 p = m.Caret().ParIndex() - 1; p >= 0; --p) {
                const QString t = m.GetParagraphText(p);
                qint64 l = 0;
                while (l < t.size() && (t.at(l) == u' ' || t.at(l) == u'\t'))
                    ++l;
                if (l == t.size())
                    continue; // blank lines do not count
                const qint64 cols = columnsOf(t, l);
                if (cols < here) {
                    target = cols;
                    break;
                }
            }
            qint64 keep = 0;
            while (keep < lead && columnsOf(par, keep + 1) <= target)
                ++keep;
            from = caret - (offset - keep);
            const qint64 pad = target - columnsOf(par, keep);
            m.SetSelStart(caret);
            m.SetSelLength(from - caret);
            m.SetSelText(QString(qMax<qint64>(0, pad), QChar(u' ')));
            return;
        }
        // Style codes just before the character go with it.
        if (m.StaticFormat())
            while (from > 0 && IsStyleCode(m.CharAt(from - 1)))
                --from;
    }
    removeRange(from, caret);
}

void CodeMemoInput::removeRange(qint64 from, qint64 to)
{
    m.SetSelStart(to);
    m.SetSelLength(from - to);
    // Codes that would restore the style of the rest of the paragraph are useless when nothing
    // follows; left in, they would stand in the way of the next Backspace.
    const bool atParEnd = to >= m.TextLength() || m.CharAt(to) == u'\r';
    m.ReplaceSel(QString(), atParEnd ? CodeDocument::rfNoStyleRestore : 0);
}

void CodeMemoInput::deleteForward()
{
    if (m.SelLength() != 0) {
        m.ClearSelection();
        return;
    }
    const qint64 caret = m.Caret().Position();
    const qint64 length = m.TextLength();
    if (caret >= length)
        return;
    qint64 p = caret;
    if (m.StaticFormat())
        while (p < length && IsStyleCode(m.CharAt(p)))
            ++p;
    if (p >= length)
        return;
    qint64 to = m.CharAt(p) == u'\r' ? qMin(p + 2, length) : p + 1;
    if (m.StaticFormat())
        while (to < length && IsStyleCode(m.CharAt(to)))
            ++to;
    removeRange(caret, to);
}

void CodeMemoInput::afterKey()
{
    m.UpdateCaret();
    m.ScrollInView();
    if (!m_repaintSkip)
        m.viewport()->repaint();
    m_repaintSkip = false;
}

void CodeMemoInput::inputMethod(QInputMethodEvent *event)
{
    if (m.UpdateCount() > 0 || m.DisplayOnly() || m.ReadOnly() || m_draggingText) {
        event->ignore();
        return;
    }
    // Composition shows in the input method's own window; the committed text is inserted.
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        if (event->replacementLength() > 0 && m.SelLength() == 0) {
            const qint64 from = m.Caret().Position() + event->replacementStart();
            m.SetSelStart(from);
            m.SetSelLength(event->replacementLength());
        }
        m.SetSelText(event->commitString());
        afterKey();
    }
    event->accept();
}

} // namespace qd
