// The view's offsets, the scroll-bar arithmetic and the conversions between columns, lines and
// pixels.
#include "editor/CodeMemoCore.h"

#include "editor/StyleCodes.h"

namespace qd {

namespace {
// Scroll-bar values stay below this many steps whatever the text's size.
constexpr qint64 MaxBarSteps = 32760;
} // namespace

qint64 CodeMemoCore::TopLine()
{
    return m_topNav->LineIndex();
}

qint64 CodeMemoCore::VerticalOffset()
{
    return TopLine() * LineHeightPx() + m_vSub;
}

void CodeMemoCore::SetScrollOffsets(qint64 vertical, qint64 horizontal)
{
    if (m_wordWrap && m_columnWrap <= 0)
        horizontal = 0;
    horizontal = qMax<qint64>(0, horizontal);
    const qint64 oldV = VerticalOffset();
    const qint64 oldH = m_hOffset;
    const int lh = LineHeightPx();
    if (vertical != oldV) {
        const qint64 top = vertical >= 0 ? vertical / lh : 0;
        m_topNav->SetLine(top);
        m_vSub = vertical - TopLine() * lh;
    }
    m_hOffset = horizontal;
    const qint64 dv = VerticalOffset() - oldV;
    const qint64 dh = m_hOffset - oldH;
    if (dv == 0 && dh == 0)
        return;
    if (dh != 0) {
        m_caretX -= int(dh);
        if (m_desiredX != NoDesiredX)
            m_desiredX -= int(dh);
    }
    if (dv != 0)
        m_caretY -= int(boundI64(-(1 << 30), dv, 1 << 30));
    formatVisible();
    if (m_hasWindow) {
        ViewScrolled(dv, dh);
        CaretPlaced(false);
    }
    if (dh != 0 && OnHScroll)
        OnHScroll(this);
    if (dv != 0 && OnVScroll)
        OnVScroll(this);
}

int CodeMemoCore::VScrollUnit()
{
    return int(LineCount() * LineHeightPx() / MaxBarSteps + 1);
}

int CodeMemoCore::HScrollUnit()
{
    // Wrapped to the window there is nothing to scroll sideways: no need to find the widest line.
    if (m_wordWrap && m_columnWrap <= 0)
        return 1;
    return int((WidestLine() + m_leftMargin + m_rightMargin) / MaxBarSteps + 1);
}

CodeMemoCore::ScrollRange CodeMemoCore::VScrollRange()
{
    const qint64 unit = VScrollUnit();
    const int lh = LineHeightPx();
    ScrollRange r;
    r.Max = int(qMax<qint64>(LineCount() * lh / unit, m_clientHeight - lh - 1));
    if (!(Options() & cmoAutoScrollBars) && r.Max < m_clientHeight)
        ++r.Max;
    r.Page = int(qMax<qint64>(0, (m_clientHeight - lh) / unit));
    return r;
}

CodeMemoCore::ScrollRange CodeMemoCore::HScrollRange()
{
    const qint64 unit = HScrollUnit();
    const qint64 margins = m_leftMargin + m_rightMargin;
    ScrollRange r;
    r.Page = int(qMax<qint64>(0, (m_clientWidth - margins) / unit));
    if (m_wordWrap && m_columnWrap <= 0)
        r.Max = r.Page - 1;
    else
        r.Max = int(qMax<qint64>(0, (WidestLine() + margins - m_clientWidth) / unit) + r.Page - 1);
    if (!(Options() & cmoAutoScrollBars))
        ++r.Max;
    if (m_alignment != taLeftJustify)
        r.Max = r.Page;
    return r;
}

// --- scroll commands (the scroll bars' and the keyboard's)

void CodeMemoCore::LineUp()
{
    if (UpdateCount() > 0)
        return;
    const qint64 v = VerticalOffset();
    if (v <= 0)
        return;
    const int lh = LineHeightPx();
    if (m_vSub > 0)
        SetVerticalOffset(TopLine() * lh);
    else
        SetVerticalOffset(v - lh);
}

void CodeMemoCore::LineDown()
{
    if (UpdateCount() > 0)
        return;
    const qint64 top = TopLine();
    if (top < LineCount() - 1 && top < LineCount() - VisibleLines() + 2)
        SetVerticalOffset((top + 1) * LineHeightPx());
}

void CodeMemoCore::PageUp()
{
    if (UpdateCount() > 0)
        return;
    const qint64 target = qMax<qint64>(0, TopLine() - VisibleLines() + 2);
    FormatRange(Paragraphs().ParagraphOfLine(target), m_topNav->ParIndex());
    SetVerticalOffset(qMax<qint64>(0, TopLine() - VisibleLines() + 2) * LineHeightPx());
}

void CodeMemoCore::PageDown()
{
    if (UpdateCount() > 0)
        return;
    const qint64 target = qMin<qint64>(
        TopLine() + VisibleLines() - 1, qMax<qint64>(0, LineCount() - VisibleLines() + 2));
    SetVerticalOffset(target * LineHeightPx());
}

void CodeMemoCore::ThumbTrack(int position)
{
    if (UpdateCount() > 0)
        return;
    const qint64 pixels = qint64(position) * VScrollUnit();
    const int lh = LineHeightPx();
    if (Options() & cmoNoFineScroll)
        SetVerticalOffset((pixels + lh / 2) / lh * lh);
    else
        SetVerticalOffset(pixels);
}

void CodeMemoCore::LineLeft()
{
    const int step = m_clientWidth / 20;
    SetHorizontalOffset(qMax<qint64>(0, m_hOffset - step - 1));
}

void CodeMemoCore::LineRight()
{
    SetHorizontalOffset(m_hOffset + m_clientWidth / 20 + 1);
}

void CodeMemoCore::PageLeft()
{
    SetHorizontalOffset(qMax<qint64>(0, m_hOffset + m_clientWidth / 20 - m_clientWidth));
}

void CodeMemoCore::PageRight()
{
    SetHorizontalOffset(m_hOffset + m_clientWidth - m_clientWidth / 20);
}

void CodeMemoCore::HThumbTrack(int position)
{
    SetHorizontalOffset(qint64(position) * HScrollUnit());
}

void CodeMemoCore::ScrollInView()
{
    if (UpdateCount() > 0 || !m_hasWindow)
        return;
    TCodeNavigator &caret = Caret();
    EnsureFormattedAt(caret.Position());
    UpdateCaret();
    qint64 h = m_hOffset;
    const qint64 step = 5 * qint64(CharWidth());
    if (m_wordWrap && m_columnWrap <= 0) {
        h = 0;
    } else if (m_alignment == taLeftJustify || m_hOffset > 0) {
        if (m_caretX >= m_clientWidth)
            h += ((m_caretX - m_clientWidth) / step + 1) * step;
        else if (m_caretX < 0)
            h = qMax<qint64>(0, h + (m_caretX / step - 1) * step);
    }
    qint64 v = VerticalOffset();
    const int lh = LineHeightPx();
    const qint64 line = caret.LineIndex();
    const qint64 top = TopLine();
    if (line < top) {
        v = line * lh;
    } else if (LineToY(line - top) + lh > m_clientHeight) {
        FormatUpToLine(line);
        const qint64 caretLine = caret.LineIndex();
        if (Options() & cmoNoFineScroll)
            v = qMax<qint64>(caretLine - VisibleLines() + 2, 0) * lh;
        else
            v = qMax<qint64>(0, (caretLine + 1) * lh - m_clientHeight);
    }
    SetScrollOffsets(v, h);
    UpdateCaret();
}

// --- conversions

int CodeMemoCore::LineToY(qint64 line) const
{
    return int(boundI64(std::numeric_limits<int>::min() / 2,
        line * LineHeightPx() - m_vSub, std::numeric_limits<int>::max() / 2));
}

qint64 CodeMemoCore::YToLine(int y) const
{
    const int lh = LineHeightPx();
    if (lh < 1)
        return 0;
    return (m_vSub + y) / lh;
}

// Walks display line lineInPar of paragraph par from its start: with byX, to the character
// boundary nearest to x (returned as a column); else to column (x returned through xOut).
qint64 CodeMemoCore::walkLine(qint64 par, qint64 lineInPar, qint64 column, int x, bool byX,
    int *xOut, int *charWidthOut)
{
    TParagraphsList &pars = Paragraphs();
    TParagraph *p = pars.Record(par);
    TLinesList view(&pars, par);
    lineInPar = boundI64(0, lineInPar, p->LineCount - 1);
    const TLineRecord line = *view.Line(lineInPar);
    const bool lastLine = lineInPar == p->LineCount - 1;
    const qint32 start = qMin(line.StartOffset, p->Length);
    const qint32 end = qMin(line.EndOffset, p->Length);
    const char16_t *t = p->Text;
    const bool codes = StaticFormat();
    const quint8 fontStyle = FontStyle();
    const qint64 tabWidth = TabStops() > 0 ? qint64(TabStops()) * CharWidth() : 0;

    qint32 ai = 0;
    while (ai < p->AttrCount && p->Attrs[ai].Offset() <= start)
        ++ai;
    const TAttrRecord *attr = ai > 0 ? &p->Attrs[ai - 1] : p->StartAttr;
    quint8 staticStyle = line.StyleAtStart;
    const auto measureStyle = [&] {
        return quint8(EffectiveStyle(staticStyle, attr->Style(), fontStyle)
            & (StyleBold | StyleItalic | StyleUnderline | StyleStrikeOut | StyleAltFont));
    };
    quint8 style = measureStyle();

    // Justification: the free width spread over the blanks between words.
    const qint64 freeWidth = qint64(m_clientWidth) - m_leftMargin - m_rightMargin - line.Width;
    const bool justified = m_justified && !lastLine && line.Spaces > 0 && freeWidth > 0;
    qint32 inkEnd = end;
    while (inkEnd > start && (t[inkEnd - 1] == u' ' || t[inkEnd - 1] == scTab))
        --inkEnd;
    const qint64 origin = LineOrigin(line, justified);
    qint64 pos = 0; // from the origin
    qint32 blankIndex = 0;
    bool wordSeen = false;
    int charWidth = 0;
    qint32 k = start;
    for (; k < end; ++k) {
        bool changed = false;
        while (ai < p->AttrCount && p->Attrs[ai].Offset() <= k) {
            attr = &p->Attrs[ai++];
            changed = true;
        }
        const char16_t c = t[k];
        qint64 w = 0;
        if (codes && IsStyleCode(c)) {
            ToggleStyle(staticStyle, c);
            changed = true;
        } else if (c == scTab) {
            w = tabWidth > 0 ? (pos / tabWidth + 1) * tabWidth - pos : 0;
        }
        if (changed)
            style = measureStyle();
        if (!(codes && IsStyleCode(c)) && c != scTab) {
            w = Measurer().TextWidth(QStringView(t + k, 1), style);
            if (c == u' ' && justified && wordSeen && k >= line.JustifyStart && k < inkEnd) {
                w += freeWidth / line.Spaces + (blankIndex < freeWidth % line.Spaces ? 1 : 0);
                ++blankIndex;
            } else if (c != u' ' && k >= line.JustifyStart) {
                wordSeen = true;
            }
        }
        if (byX) {
            if (w > 0 && origin + pos + w / 2 > x)
                break;
        } else if (k - start >= column) {
            charWidth = c >= 32 ? int(w) : 0;
            break;
        }
        pos += w;
    }
    if (xOut)
        *xOut = int(boundI64(std::numeric_limits<int>::min() / 2, origin + pos,
            std::numeric_limits<int>::max() / 2));
    if (charWidthOut)
        *charWidthOut = charWidth;
    qint64 col = k - start;
    // A click past the end of a wrapped line stays on that line.
    if (byX && !lastLine && k == end && end > start)
        col = end - start - 1;
    return col;
}

qint64 CodeMemoCore::LineOrigin(const TLineRecord &line, bool justified) const
{
    qint64 left = m_leftMargin;
    if (!justified) {
        const qint64 right = qint64(m_clientWidth) - m_rightMargin;
        if (m_alignment == taRightJustify)
            left = right - line.Width;
        else if (m_alignment == taCenter)
            left = (m_leftMargin + right - line.Width) / 2;
    }
    return left - m_hOffset;
}

int CodeMemoCore::ColumnToX(qint64 par, qint64 column, qint64 lineInPar)
{
    int x = 0;
    walkLine(par, lineInPar, column, 0, false, &x, &m_charUnderWidth);
    return x;
}

qint64 CodeMemoCore::XToColumn(qint64 par, int x, qint64 lineInPar)
{
    return walkLine(par, lineInPar, 0, x, true, nullptr, nullptr);
}

} // namespace qd
