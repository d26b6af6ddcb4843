// Caret and selection operations that need display lines, word and find.
#include "editor/CodeMemoCore.h"

#include "editor/StyleCodes.h"

namespace qd {

void CodeMemoCore::SelectionChanged(qint64 oldLower, qint64 oldUpper)
{
    if (m_hasWindow && UpdateCount() == 0) {
        invalidateSelection(oldLower, oldUpper);
        invalidateSelection(SelStartNav().Position(), SelEndNav().Position());
    }
    UpdateCaret();
}

void CodeMemoCore::invalidateSelection(qint64 lower, qint64 upper)
{
    m_scratch->SetPos(lower);
    const qint64 l1 = m_scratch->LineIndex();
    m_scratch->SetPos(upper);
    const qint64 l2 = m_scratch->LineIndex();
    InvalidateLines(l1, l2);
}

void CodeMemoCore::SetSelStart(qint64 position)
{
    m_desiredX = NoDesiredX;
    CodeDocument::SetSelStart(position);
}

void CodeMemoCore::SetCaretParagraph(qint64 index)
{
    index = boundI64(0, index, ParagraphCount() - 1);
    SetSelStart(Paragraphs().StartPos(index));
}

qint64 CodeMemoCore::GetCaretLine()
{
    EnsureFormattedAt(Caret().Position());
    return Caret().LineIndex();
}

void CodeMemoCore::SetCaretLine(qint64 line)
{
    FormatUpToLine(line);
    m_scratch->SetLine(line);
    SetSelStart(m_scratch->Position());
}

qint64 CodeMemoCore::GetCaretColumn()
{
    EnsureFormattedAt(Caret().Position());
    return Caret().Column() + VirtualColumn();
}

void CodeMemoCore::SetCaretColumn(qint64 column)
{
    EnsureFormattedAt(Caret().Position());
    TCodeNavigator &caret = Caret();
    const qint64 par = caret.ParIndex();
    TParagraph *p = caret.ParRecord();
    const qint32 lineInPar = caret.LineInPar();
    const TLineRecord *line = caret.LinesView().Line(lineInPar);
    qint64 length = line->EndOffset - line->StartOffset;
    // On a wrapped line the end belongs to the next line.
    if (lineInPar < p->LineCount - 1 && length > 0)
        --length;
    const qint64 start = Paragraphs().StartPos(par) + line->StartOffset;
    column = qMax<qint64>(0, column);
    SetSelStart(start + qMin(column, length));
    if (column > length && (Options() & cmoKeepColumnPos) && !WordWrap()) {
        SetVirtualColumn(column - length);
        UpdateCaret();
    }
}

void CodeMemoCore::SetColumnSelection(qint64 column1, qint64 line1, qint64 column2, qint64 line2)
{
    if (WordWrap())
        return;
    const qint64 last = ParagraphCount() - 1;
    line1 = boundI64(0, line1, last);
    line2 = boundI64(0, line2, last);
    const QStringView t1 = Paragraphs().Text(line1);
    const QStringView t2 = Paragraphs().Text(line2);
    const qint64 p1 = Paragraphs().StartPos(line1)
        + CharIndexOfColumn(t1, qMax<qint64>(0, column1), TabStops(), StaticFormat());
    const qint64 p2 = Paragraphs().StartPos(line2)
        + CharIndexOfColumn(t2, qMax<qint64>(0, column2), TabStops(), StaticFormat());
    SetSelStart(p2);
    SetSelLength(p1 - p2);
    SetVirtualColumn(qMax<qint64>(
        0, ColumnShortfall(t2, qMax<qint64>(0, column2), TabStops(), StaticFormat())));
    SetColumnBlock(true, column1, column2);
    m_blockColumn1 = column1;
    m_blockColumn2 = column2;
    InvalidateLines(Paragraphs().FirstLine(qMin(line1, line2)),
        Paragraphs().FirstLine(qMax(line1, line2) + 1));
    UpdateCaret();
}

CodeMemoCore::ColumnRect CodeMemoCore::GetColumnSelRect()
{
    ColumnRect r;
    if (!ColumnSelection())
        return r;
    r.Left = qMin(m_blockColumn1, m_blockColumn2);
    r.Right = qMax(m_blockColumn1, m_blockColumn2);
    r.Top = SelStartNav().LineIndex();
    r.Bottom = SelEndNav().LineIndex();
    return r;
}

QString CodeMemoCore::GetColumnSelText()
{
    QString out;
    if (!ColumnSelection())
        return out;
    const qint64 left = qMin(m_blockColumn1, m_blockColumn2);
    const qint64 right = qMax(m_blockColumn1, m_blockColumn2);
    const qint64 first = SelStartNav().ParIndex();
    const qint64 last = SelEndNav().ParIndex();
    for (qint64 par = first; par <= last; ++par) {
        const QStringView text = Paragraphs().Text(par);
        const qint64 from = CharIndexOfColumn(text, left, TabStops(), StaticFormat());
        const qint64 to = CharIndexOfColumn(text, right, TabStops(), StaticFormat());
        out += text.mid(from, qMax<qint64>(0, to - from));
        out += QStringLiteral("\r\n");
    }
    return out;
}

QString CodeMemoCore::GetSelText() const
{
    if (SelLength() != 0 && ColumnSelection())
        return const_cast<CodeMemoCore *>(this)->GetColumnSelText();
    return CodeDocument::GetSelText();
}

QString CodeMemoCore::GetWordAtCaret()
{
    TCodeNavigator &caret = Caret();
    const QStringView text = Paragraphs().Text(caret.ParIndex());
    const qint64 offset = qMin<qint64>(caret.ParOffset(), text.size());
    qint64 from = offset;
    while (from > 0 && !IsSeparator(text[from - 1].unicode()))
        --from;
    qint64 to = offset;
    while (to < text.size() && !IsSeparator(text[to].unicode()))
        ++to;
    return text.mid(from, to - from).toString();
}

QString CodeMemoCore::GetLineText(qint64 line)
{
    if (line < 0)
        return QString();
    FormatUpToLine(line);
    if (line >= LineCount())
        return QString();
    const TLineRecord *record = m_scratch->SetLine(line);
    const QStringView text = Paragraphs().Text(m_scratch->ParIndex());
    return text.mid(record->StartOffset, record->EndOffset - record->StartOffset).toString();
}

void CodeMemoCore::SetParagraphText(qint64 index, const QString &text)
{
    if (index < 0)
        return;
    const qint64 caret = GetSelStart();
    const qint64 selLength = SelLength();
    BeginUpdate();
    try {
        while (index >= ParagraphCount()) {
            CodeDocument::SetSelStart(TextLength());
            ReplaceSel(QStringLiteral("\r\n"));
        }
        const qint64 start = Paragraphs().StartPos(index);
        const qint64 oldLength = Paragraphs().At(index)->Length;
        CodeDocument::SetSelStart(start);
        SetSelLength(oldLength);
        ReplaceSel(text, rfNoStyleRestore | rfNoCodeCleanup);
        const qint64 delta = Paragraphs().At(index)->Length - oldLength;
        const qint64 newCaret = caret > start + oldLength ? caret + delta : qMin(caret, TextLength());
        CodeDocument::SetSelStart(newCaret);
        SetSelLength(selLength);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void CodeMemoCore::SetParagraphBackColor(qint64 index, TColor color)
{
    TParagraph *p = Paragraphs().Record(index);
    p->BackColor = color;
    const qint64 first = Paragraphs().FirstLine(index);
    InvalidateLines(first, first + p->LineCount - 1);
}

void CodeMemoCore::SetParagraphTextColor(qint64 index, TColor color)
{
    TParagraph *p = Paragraphs().Record(index);
    p->TextColor = color;
    const qint64 first = Paragraphs().FirstLine(index);
    InvalidateLines(first, first + p->LineCount - 1);
}

void CodeMemoCore::SelectWordAt(bool large)
{
    const bool caretAtUpper = &Caret() == &SelEndNav() && SelLength() != 0;
    qint64 lower = SelStartNav().Position();
    qint64 upper = SelEndNav().Position();
    const auto separator = [this, large](char16_t c) { return IsWordBreak(c, large); };
    while (lower > 0 && !separator(CharAt(lower - 1)))
        --lower;
    const qint64 length = TextLength();
    while (upper < length && !separator(CharAt(upper)))
        ++upper;
    if (caretAtUpper) {
        SetSelStart(upper);
        SetSelLength(lower - upper);
    } else {
        SetSelStart(lower);
        SetSelLength(upper - lower);
    }
}

namespace {

QString fold(const QString &s, TcmUpperCase type)
{
    if (type == cmuUserDefined)
        return UpperCaseText(s, type);
    if (type == cmuAnsi)
        return s.toUpper();
    QString out = s;
    for (QChar &c : out)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return out;
}

} // namespace

bool CodeMemoCore::FindText(
    const QString &text, bool forward, bool matchCase, bool wholeWord, bool fromEdge)
{
    if (text.isEmpty())
        return false;
    const QString needle = matchCase ? text : fold(text, m_upperCaseType);
    const qint64 count = ParagraphCount();
    qint64 par;
    qint64 offset;
    if (fromEdge) {
        par = forward ? 0 : count - 1;
        offset = forward ? 0 : Paragraphs().At(par)->Length;
    } else {
        par = Caret().ParIndex();
        offset = qMin<qint64>(Caret().ParOffset(), Paragraphs().At(par)->Length);
    }
    const auto isWhole = [&](const QString &hay, qint64 at) {
        if (!wholeWord)
            return true;
        const bool before = at == 0 || IsSeparator(hay[at - 1].unicode());
        const qint64 end = at + needle.size();
        const bool after = end >= hay.size() || IsSeparator(hay[end].unicode());
        return before && after;
    };
    const auto select = [&](qint64 p, qint64 at) {
        const qint64 start = Paragraphs().StartPos(p) + at;
        if (forward) {
            SetSelStart(start + needle.size());
            SetSelLength(-needle.size());
        } else {
            SetSelStart(start);
            SetSelLength(needle.size());
        }
    };
    for (qint64 p = par; forward ? p < count : p >= 0; p += forward ? 1 : -1) {
        const QString raw = Paragraphs().Text(p).toString();
        const QString hay = matchCase ? raw : fold(raw, m_upperCaseType);
        if (forward) {
            qint64 from = p == par ? offset : 0;
            while (true) {
                const qint64 at = hay.indexOf(needle, from);
                if (at < 0)
                    break;
                if (isWhole(hay, at)) {
                    select(p, at);
                    return true;
                }
                from = at + 1;
            }
        } else {
            // The last match that begins before the start (the whole paragraph further back).
            qint64 from = p == par ? offset - 1 : hay.size();
            while (from >= 0) {
                const qint64 at = hay.lastIndexOf(needle, from);
                if (at < 0)
                    break;
                if (isWhole(hay, at)) {
                    select(p, at);
                    return true;
                }
                from = at - 1;
            }
        }
    }
    return false;
}

quint8 CodeMemoCore::CurrentStyle()
{
    EnsureFormattedAt(Caret().Position());
    return EffectiveStyle(Caret().StyleAt(), Caret().CurrentAttr()->Style(), FontStyle());
}

void CodeMemoCore::UpdateCaret(bool recreate)
{
    if (UpdateCount() > 0)
        return;
    TCodeNavigator &caret = Caret();
    if (m_hasWindow) {
        EnsureFormattedAt(caret.Position());
        const qint64 par = caret.ParIndex();
        const qint32 lineInPar = caret.LineInPar();
        m_caretX = ColumnToX(par, caret.Column(), lineInPar)
            + int(qMin<qint64>(VirtualColumn() * CharWidth(), 1 << 28));
        m_caretY = LineToY(caret.LineIndex() - TopLine());
        CaretPlaced(recreate);
    }
    const qint64 pos = caret.Position();
    if (pos != m_lastCaretPos || VirtualColumn() != m_lastVirtualColumn) {
        m_lastCaretPos = pos;
        m_lastVirtualColumn = VirtualColumn();
        CaretMoved();
        if (OnSelMove)
            OnSelMove(this);
    }
    const int style = CurrentStyle();
    if (style != m_lastStyle) {
        const bool first = m_lastStyle < 0;
        m_lastStyle = style;
        if (!first && OnStyleChange)
            OnStyleChange(this);
    }
}

// --- the windowless hooks

void CodeMemoCore::InvalidateLines(qint64, qint64) { }
void CodeMemoCore::InvalidateAll() { }
void CodeMemoCore::ViewScrolled(qint64, qint64) { }
void CodeMemoCore::ScrollRangesChanged() { }
void CodeMemoCore::CaretPlaced(bool) { }
void CodeMemoCore::CaretMoved() { }

} // namespace qd
