// Painting: the visible display lines with their styles, colours, attributes, selection, zigzag
// underline, end-of-paragraph mark, the end-of-text and right margin lines, and the caret.
#include "editor/CodeMemo.h"

#include "editor/StyleCodes.h"

#include <QPaintEvent>
#include <QPainter>

#include <vector>

namespace qd {

namespace {

// Coordinates handed to drawing stay within this range, whatever the scroll position.
int clampCoord(qint64 v)
{
    return int(boundI64(-32768, v, 32767));
}

} // namespace

void TCodeMemo::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    if (m_paintingSuppressed || UpdateCount() > 0)
        return; // the update bracket repaints when it closes
    paintLines(painter, event->rect());
    if (m_caretShown && m_caretOn && !m_displayOnly) {
        const QRect r = caretRect();
        painter.fillRect(r, palette().color(QPalette::Text));
        m_lastCaretRect = r;
    }
}

int TCodeMemo::BaselineOffset() const
{
    const int lh = LineHeightPx();
    const QFontMetrics &metrics = m_fontMeasurer.Metrics(0);
    return qMin(lh - 1, (lh - metrics.height()) / 2 + metrics.ascent());
}

void TCodeMemo::paintLines(QPainter &painter, const QRect &rect)
{
    const int lh = LineHeightPx();
    const int cw = CharWidth();
    const int clientW = viewport()->width();
    const quint8 fontStyle = FontStyle();
    const bool codes = StaticFormat();
    const qint64 tabWidth = TabStops() > 0 ? qint64(TabStops()) * cw : 0;
    const QFontMetrics &baseMetrics = m_fontMeasurer.Metrics(0);
    const int baseline = BaselineOffset();
    const int zigStep = m_specUnderline.Width * 3 / 2 + 1;
    const int zigOffset = qMin(baseline + baseMetrics.descent(), lh - zigStep - 1);
    const bool selColors = Options() & cmoWindowsSelColors;
    const bool showSel = SelLength() != 0 && (hasFocus() || !m_hideSelection);
    const bool usePicture
        = !m_backgroundBmp.isNull() && m_backgroundBmp.width() > 0 && m_backgroundBmp.height() > 0;
    const QColor background = ToQColor(m_color).isValid() ? ToQColor(m_color) : Qt::white;
    const QColor fontColor = palette().color(QPalette::Text);
    const qint64 selLower = SelStartNav().Position();
    const qint64 selUpper = SelEndNav().Position();
    const bool column = ColumnSelection();
    const qint64 colLeft = qMin(BlockColumn1(), BlockColumn2());
    const qint64 colRight = qMax(BlockColumn1(), BlockColumn2());

    const auto fillBackground = [&](const QRect &r, qint64 pictureY, TColor parColor) {
        if (parColor != -1 || !usePicture) {
            painter.fillRect(r, parColor != -1 ? ToQColor(parColor) : background);
            return;
        }
        const int pw = m_backgroundBmp.width();
        const int ph = m_backgroundBmp.height();
        const QPoint offset(int(HorizontalOffset() % pw), int(((pictureY % ph) + ph) % ph));
        painter.save();
        painter.setClipRect(r);
        painter.drawTiledPixmap(r, m_backgroundBmp, offset);
        painter.restore();
    };

    const qint64 top = TopLine();
    // Paragraphs on screen not yet formatted are formatted on the way (never those above).
    const qint64 first = qMax<qint64>(0, top + YToLine(rect.top()));
    const qint64 last = qMax<qint64>(0, top + YToLine(rect.bottom()));
    int nextY = rect.top();
    if (first == 0 && VerticalOffset() < 0) {
        const int band = int(qMin<qint64>(-VerticalOffset(), rect.bottom() + 1));
        fillBackground(QRect(0, 0, clientW, band), 0, -1);
        nextY = qMax(nextY, band);
    }

    TCodeNavigator nav(this);
    qint64 lineIndex = first;
    while (lineIndex <= last && lineIndex < LineCount()) {
        nav.SetLine(lineIndex);
        const qint64 parIndex = nav.ParIndex();
        TParagraph *p = nav.ParRecord();
        if (!p->Formatted) {
            FormatRange(parIndex, parIndex);
            nav.Invalidate();
            nav.SetLine(lineIndex);
            p = nav.ParRecord();
        }
        const qint32 lineInPar = nav.LineInPar();
        const TLineRecord line = *nav.LinesView().Line(lineInPar);
        const bool lastLine = lineInPar == p->LineCount - 1;
        const qint64 parStart = Paragraphs().StartPos(parIndex);
        const int y = LineToY(lineIndex - top);
        const QRect lineRect(0, y, clientW, lh);
        fillBackground(lineRect, lineIndex * lh, p->BackColor);

        const qint32 start = qMin(line.StartOffset, p->Length);
        const qint32 end = qMin(line.EndOffset, p->Length);
        const qint64 freeWidth = qint64(ClientWidth()) - LeftMargin() - RightMargin() - line.Width;
        const bool justified = Justified() && !lastLine && line.Spaces > 0 && freeWidth > 0;
        const qint64 origin = LineOrigin(line, justified);

        // Selection on this line, as offsets in the paragraph and x edges.
        const qint64 selFrom = selLower - parStart; // may lie outside the paragraph
        const qint64 selTo = selUpper - parStart;
        bool lineSelected = false;
        qint64 selX1 = 0;
        qint64 selX2 = 0;
        bool toRightEdge = false;
        if (showSel) {
            if (column) {
                if (parIndex >= SelStartNav().ParIndex() && parIndex <= SelEndNav().ParIndex()) {
                    lineSelected = true;
                    selX1 = LeftMargin() - HorizontalOffset() + cw * colLeft;
                    selX2 = LeftMargin() - HorizontalOffset() + cw * colRight;
                }
            } else if (selFrom <= end && selTo >= start
                && !(selTo == start && start > 0) && !(selFrom == end && !lastLine)) {
                lineSelected = true;
                selX1 = selFrom > start ? ColumnToX(parIndex, selFrom - start, lineInPar)
                                        : ColumnToX(parIndex, 0, lineInPar);
                if (selTo <= end && (selTo < end || lastLine))
                    selX2 = ColumnToX(parIndex, selTo - start, lineInPar);
                else if (!(Options() & cmoFullLineSelect))
                    selX2 = ColumnToX(parIndex, end - start, lineInPar);
                else
                    toRightEdge = true;
                if (selTo > p->Length && lastLine && (Options() & cmoFullLineSelect))
                    toRightEdge = true;
            }
        }
        if (toRightEdge)
            selX2 = clientW;
        const QRect selRect(clampCoord(selX1), y, clampCoord(selX2) - clampCoord(selX1), lh);
        if (lineSelected && selColors)
            painter.fillRect(selRect, ToQColor(m_selBackColor));
        // Column selection with selection colours: its edges as offsets of this line.
        qint64 colFrom = -1;
        qint64 colTo = -1;
        if (lineSelected && column) {
            const QStringView text = Paragraphs().Text(parIndex);
            colFrom = CharIndexOfColumn(text, colLeft, TabStops(), codes);
            colTo = CharIndexOfColumn(text, colRight, TabStops(), codes);
        }
        const auto inSelection = [&](qint64 offset) {
            if (!lineSelected || !selColors)
                return false;
            if (column)
                return offset >= colFrom && offset < colTo;
            return offset >= selFrom && offset < selTo;
        };

        // Runs of one look.
        qint32 ai = 0;
        while (ai < p->AttrCount && p->Attrs[ai].Offset() <= start)
            ++ai;
        const TAttrRecord *attr = ai > 0 ? &p->Attrs[ai - 1] : p->StartAttr;
        quint8 staticStyle = line.StyleAtStart;
        qint32 inkEnd = end;
        if (!lastLine)
            while (inkEnd > start && (p->Text[inkEnd - 1] == u' ' || p->Text[inkEnd - 1] == scTab))
                --inkEnd;
        qint64 x = origin;
        qint32 blankIndex = 0;
        bool wordSeen = false;
        bool zig = false;
        qint64 zigStart = 0;
        QPen zigPen(ToQColor(m_specUnderline.Color), m_specUnderline.Width);
        const auto drawZigzag = [&](qint64 x1, qint64 x2) {
            const int zy = y + zigOffset;
            qint64 zx = qMax<qint64>(x1, -32768);
            const qint64 stop = qMin<qint64>(x2, 32767);
            QPolygon poly;
            poly << QPoint(int(zx), zy + zigStep);
            bool up = true;
            while (zx < stop) {
                const qint64 nx = qMin(zx + zigStep, stop);
                poly << QPoint(int(nx), up ? zy : zy + zigStep);
                up = !up;
                zx = nx;
            }
            painter.setPen(zigPen);
            painter.drawPolyline(poly);
        };

        qint32 k = start;
        while (k < end) {
            while (ai < p->AttrCount && p->Attrs[ai].Offset() <= k)
                attr = &p->Attrs[ai++];
            const char16_t c = p->Text[k];
            if (codes && IsStyleCode(c)) {
                ToggleStyle(staticStyle, c);
                ++k;
                continue;
            }
            const quint8 effective = EffectiveStyle(staticStyle, attr->Style(), fontStyle);
            if ((effective & StyleSets) && !zig) {
                zig = true;
                zigStart = x;
            } else if (!(effective & StyleSets) && zig) {
                drawZigzag(zigStart, x);
                zig = false;
            }
            if (c == scTab) {
                const qint64 rel = x - origin;
                const qint64 stop = tabWidth > 0 ? origin + (rel / tabWidth + 1) * tabWidth : x;
                QColor back;
                if (staticStyle & StyleHighlight)
                    back = ToQColor(m_highlightBackgnd);
                if ((attr->Style() & StyleSets) && attr->BackColor() != -1 && p->BackColor == -1
                    && !(attr->BackColor() == 0 && attr->TextColor() == 0))
                    back = ToQColor(attr->BackColor());
                if (inSelection(k))
                    back = QColor();
                if (back.isValid() && k < inkEnd)
                    painter.fillRect(QRect(clampCoord(x), y, clampCoord(stop) - clampCoord(x), lh),
                        back);
                x = stop;
                ++k;
                continue;
            }
            // The run: up to the next code, tab, attribute, selection edge or line end; with
            // justification a blank is a run of its own.
            const qint32 nextAttr = ai < p->AttrCount ? p->Attrs[ai].Offset()
                                                      : std::numeric_limits<qint32>::max();
            const bool selected = inSelection(k);
            qint32 e = k + 1;
            if (!(justified && c == u' '))
                while (e < end && e < nextAttr && p->Text[e] != scTab
                    && !(codes && IsStyleCode(p->Text[e])) && inSelection(e) == selected
                    && !(justified && p->Text[e] == u' '))
                    ++e;
            const quint8 fontBits = effective
                & (StyleBold | StyleItalic | StyleUnderline | StyleStrikeOut | StyleAltFont);
            const QStringView run(p->Text + k, e - k);
            qint64 w = MeasureText(run, fontBits);
            if (justified && c == u' ' && wordSeen && k >= line.JustifyStart && k < inkEnd) {
                w += freeWidth / line.Spaces + (blankIndex < freeWidth % line.Spaces ? 1 : 0);
                ++blankIndex;
            } else if (c != u' ' && k >= line.JustifyStart) {
                wordSeen = true;
            }
            // Colours: paragraph, highlight code, attribute, selection (later ones win).
            QColor textColor = p->TextColor != -1 ? ToQColor(p->TextColor) : fontColor;
            QColor back;
            if (staticStyle & StyleHighlight) {
                textColor = ToQColor(m_highlightColor);
                back = ToQColor(m_highlightBackgnd);
            }
            if ((attr->Style() & StyleSets) && !(attr->BackColor() == 0 && attr->TextColor() == 0)) {
                if (p->TextColor == -1 && attr->TextColor() != -1)
                    textColor = ToQColor(attr->TextColor());
                if (p->BackColor == -1 && attr->BackColor() != -1)
                    back = ToQColor(attr->BackColor());
            }
            if (selected) {
                textColor = ToQColor(m_selTextColor);
                back = QColor();
            }
            if (x + w > -16383 && x < clientW) {
                // Trailing blanks of a wrapped line are not drawn.
                const qint32 drawEnd = qMin(e, qMax(inkEnd, k));
                if (back.isValid() && drawEnd > k)
                    painter.fillRect(
                        QRect(clampCoord(x), y, clampCoord(x + w) - clampCoord(x), lh), back);
                if (drawEnd > k) {
                    painter.setFont(m_fontMeasurer.FontFor(fontBits));
                    painter.setPen(textColor);
                    painter.drawText(QPointF(double(x), double(y + baseline)),
                        QString::fromRawData(reinterpret_cast<const QChar *>(run.data()),
                            drawEnd - k));
                }
            }
            x += w;
            k = e;
        }
        if (zig)
            drawZigzag(zigStart, x);

        if (lineSelected && !selColors) {
            // Without selection colours the selection is shown inverted.
            painter.save();
            painter.setCompositionMode(QPainter::CompositionMode_Difference);
            painter.fillRect(selRect, Qt::white);
            painter.restore();
        }
        // End-of-paragraph mark: the paragraph's end inside the selection.
        if (lineSelected && lastLine && m_showEndParSelected && !(Options() & cmoFullLineSelect)
            && !column && selFrom <= p->Length && selTo > p->Length) {
            const int mx = clampCoord(selX2);
            const QRect mark(mx, y + lh / 3, cw / 2 + 1, lh * 2 / 3 - lh / 3);
            if (selColors) {
                painter.fillRect(mark, ToQColor(m_selBackColor));
            } else {
                painter.save();
                painter.setCompositionMode(QPainter::CompositionMode_Difference);
                painter.fillRect(mark, Qt::white);
                painter.restore();
            }
        }
        nextY = y + lh;
        emit repainted(lineIndex, lineIndex);
        ++lineIndex;
    }
    if (nextY <= rect.bottom())
        fillBackground(QRect(0, nextY, clientW, rect.bottom() + 1 - nextY),
            VerticalOffset() + nextY, -1);

    // End-of-text line just below the last line.
    if (m_endOfTextMark.Color != -1) {
        const qint64 endLine = LineCount();
        if (endLine >= first && endLine - 1 <= last) {
            const int ey = clampCoord(endLine * lh - VerticalOffset() + m_endOfTextMark.Width / 2);
            QPen pen(ToQColor(m_endOfTextMark.Color), m_endOfTextMark.Width, m_endOfTextMark.Style);
            painter.setPen(pen);
            painter.drawLine(0, ey, rect.right(), ey);
        }
    }
    // Right margin line.
    if (m_rightLinePos != 0 && m_rightLinePen.Color != -1) {
        const qint64 rx = m_rightLinePos > 0
            ? LeftMargin() - HorizontalOffset() + qint64(m_rightLinePos) * cw
            : LeftMargin() - HorizontalOffset() - m_rightLinePos;
        if (rx + m_rightLinePen.Width >= rect.left() && rx - m_rightLinePen.Width <= rect.right()) {
            QPen pen(ToQColor(m_rightLinePen.Color), m_rightLinePen.Width, m_rightLinePen.Style);
            painter.setPen(pen);
            painter.drawLine(int(rx), rect.top(), int(rx), rect.bottom());
        }
    }
}

} // namespace qd
