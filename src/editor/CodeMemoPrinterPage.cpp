// Drawing one printed page: header, footer, and the page's lines with numbers, alignment,
// justification, styles and colours, each character at the advance formatting measured.
#include "editor/CodeMemoPrinter.h"

#include "editor/PrintCopy.h"
#include "editor/StyleCodes.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace qd {

namespace {

int toPixels(double inches, int dpi)
{
    return int(std::lround(inches * double(dpi)));
}

Qt::Alignment alignmentOf(THeaderAlign align)
{
    switch (align) {
    case haRight:
        return Qt::AlignRight;
    case haCenter:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

} // namespace

void TCodeMemoPrinter::RenderPage(QPainter &painter, int page, const QRect &visible)
{
    if (!m_copy || !m_layoutValid)
        Layout();
    painter.save();
    drawHeaderFooter(painter, page);
    if (OnFormatPrint)
        OnFormatPrint(this, painter, page);
    const int pitch = LinePitch();
    const int top = toPixels(m_marginTop, m_dpiY);
    const qint64 firstRow = qint64(page) * m_linesPerPage;
    for (int r = 0; r < m_linesPerPage; ++r) {
        const int y = top + r * pitch;
        if (!visible.isEmpty() && (y + pitch <= visible.top() || y > visible.bottom()))
            continue;
        const qint64 line = lineOfRow(firstRow + r);
        if (line < 0)
            continue;
        if (line >= m_copy->LineCount())
            break;
        drawLine(painter, line, y);
    }
    painter.restore();
}

void TCodeMemoPrinter::drawHeaderFooter(QPainter &painter, int page)
{
    const int left = toPixels(m_marginLeft, m_dpiX);
    const int width = qMax(1, m_pageSize.width() - left - toPixels(m_marginRight, m_dpiX));
    const auto draw
        = [&](const QString &text, const QFont &font, THeaderAlign align, int top, int bottom) {
              painter.setFont(PrintMeasurer::DeviceFont(font, m_dpiY, screenDpi()));
              painter.setPen(Qt::black);
              painter.drawText(QRect(left, top, width, qMax(1, bottom - top)),
                  int(alignmentOf(align) | Qt::AlignTop | Qt::TextDontClip), PageText(text, page));
          };
    if (!m_header.isEmpty())
        draw(m_header, m_headerFont, m_headerAlign, toPixels(m_headerYPos, m_dpiY),
            toPixels(m_marginTop, m_dpiY));
    if (!m_footer.isEmpty())
        draw(m_footer, m_footerFont, m_footerAlign,
            m_pageSize.height() - toPixels(m_footerYPos, m_dpiY), m_pageSize.height());
}

void TCodeMemoPrinter::drawLine(QPainter &painter, qint64 lineIndex, int y)
{
    PrintCopy &copy = *m_copy;
    const PrintMeasurer &fonts = copy.Fonts();
    TCodeNavigator nav(&copy);
    nav.SetLine(lineIndex);
    const qint64 parIndex = nav.ParIndex();
    const TParagraph *p = nav.ParRecord();
    const qint32 lineInPar = nav.LineInPar();
    const TLineRecord line = *nav.LinesView().Line(lineInPar);
    const bool lastLine = lineInPar == p->LineCount - 1;
    const bool plain = copy.PlainText();
    const bool codes = copy.StaticFormat();
    const int lineHeight = copy.LineHeightPx();
    const int baseline = y + fonts.Ascent(0);

    const int left = toPixels(m_marginLeft, m_dpiX);
    const int width = m_pageSize.width() - left - toPixels(m_marginRight, m_dpiX);
    if (!plain && p->BackColor != -1)
        painter.fillRect(QRect(left, y, width, LinePitch()), copy.PaperColor(p->BackColor));

    const qint64 spare = qint64(width) - line.Width;
    const bool justified = copy.Justified() && !lastLine && line.Spaces > 0 && spare > 0;
    qint64 origin = left;
    if (!justified && spare > 0) {
        if (copy.Alignment() == taRightJustify)
            origin += spare;
        else if (copy.Alignment() == taCenter)
            origin += spare / 2;
    }

    if (m_lineNumbers || m_paragraphNumbers) {
        // The number ends where the line's text begins.
        qint64 number = -1;
        if (m_paragraphNumbers) {
            if (lineInPar == 0)
                number = parIndex + 1;
        } else {
            number = lineIndex + 1;
        }
        if (number > 0) {
            const QString text = QString::number(number) + QStringLiteral(": ");
            painter.setFont(fonts.FontFor(0));
            painter.setPen(Qt::black);
            painter.drawText(
                QPointF(double(origin - fonts.TextWidth(text, 0)), double(baseline)), text);
        }
    }

    const qint32 start = qMin(line.StartOffset, p->Length);
    const qint32 end = qMin(line.EndOffset, p->Length);
    qint32 inkEnd = end;
    if (justified)
        while (inkEnd > start && (p->Text[inkEnd - 1] == u' ' || p->Text[inkEnd - 1] == scTab))
            --inkEnd;
    // Justification: every space after the last tab widens by spare / spaces; the remainder is
    // spread by an error counter that starts half way.
    const qint64 spaces = line.Spaces;
    const qint64 widen = justified ? spare / spaces : 0;
    const qint64 remainder = justified ? spare % spaces : 0;
    qint64 error = remainder / 2;
    bool wordSeen = false;

    qint32 ai = 0;
    while (ai < p->AttrCount && p->Attrs[ai].Offset() <= start)
        ++ai;
    const TAttrRecord *attr = ai > 0 ? &p->Attrs[ai - 1] : p->StartAttr;
    quint8 staticStyle = line.StyleAtStart;
    const qint64 tabWidth = copy.TabStops() > 0 ? qint64(copy.TabStops()) * copy.CharWidth() : 0;
    const QColor black(Qt::black);
    qint64 x = origin;
    int lastFontBits = -1;
    for (qint32 k = start; k < end; ++k) {
        while (ai < p->AttrCount && p->Attrs[ai].Offset() <= k)
            attr = &p->Attrs[ai++];
        const char16_t c = p->Text[k];
        if (codes && IsStyleCode(c)) {
            ToggleStyle(staticStyle, c);
            continue;
        }
        const quint8 attrStyle = plain ? 0 : attr->Style();
        const quint8 effective
            = plain ? 0 : CodeMemoCore::EffectiveStyle(staticStyle, attrStyle, copy.BaseStyle());
        const quint8 fontBits = effective
            & (StyleBold | StyleItalic | StyleUnderline | StyleStrikeOut | StyleAltFont);
        // Colours: paragraph, highlight code, attribute (later ones win).
        QColor textColor = black;
        QColor back;
        if (!plain) {
            if (p->TextColor != -1)
                textColor = copy.PaperColor(p->TextColor);
            if (staticStyle & StyleHighlight) {
                textColor = copy.PaperColor(copy.HighlightColor());
                back = copy.PaperColor(copy.HighlightBackgnd());
            }
            if ((attrStyle & StyleSets) && !(attr->BackColor() == 0 && attr->TextColor() == 0)) {
                if (p->TextColor == -1 && attr->TextColor() != -1)
                    textColor = copy.PaperColor(attr->TextColor());
                if (p->BackColor == -1 && attr->BackColor() != -1)
                    back = copy.PaperColor(attr->BackColor());
            }
        }
        qint64 w;
        char32_t code = c;
        qint32 units = 1;
        if (c == scTab) {
            const qint64 rel = x - origin;
            w = tabWidth > 0 ? (rel / tabWidth + 1) * tabWidth - rel : 0;
        } else {
            if (QChar::isHighSurrogate(c) && k + 1 < end && QChar::isLowSurrogate(p->Text[k + 1])) {
                code = QChar::surrogateToUcs4(c, p->Text[k + 1]);
                units = 2;
            }
            w = fonts.Advance(code, fontBits);
            if (c == u' ' && justified && k >= line.JustifyStart && wordSeen && k < inkEnd) {
                w += widen;
                error += remainder;
                if (error >= spaces) {
                    ++w;
                    error -= spaces;
                }
            } else if (c != u' ' && k >= line.JustifyStart) {
                wordSeen = true;
            }
        }
        if (k < inkEnd || !justified) {
            if (back.isValid() && w > 0)
                painter.fillRect(QRectF(double(x), double(y), double(w), double(lineHeight)), back);
            const bool blank = c == u' ' || c == scTab || code < 32;
            if (!blank || (fontBits & (StyleUnderline | StyleStrikeOut))) {
                if (fontBits != lastFontBits) {
                    painter.setFont(fonts.FontFor(fontBits));
                    lastFontBits = fontBits;
                }
                painter.setPen(textColor);
                if (!blank)
                    painter.drawText(QPointF(double(x), double(baseline)),
                        QString(reinterpret_cast<const QChar *>(p->Text + k), units));
                else if (w > 0) {
                    // Blanks carry only the lines of underline and strike-out, over their width.
                    const QFontMetricsF metrics(fonts.FontFor(fontBits));
                    QPen pen(textColor, qMax(1.0, metrics.lineWidth()));
                    painter.setPen(pen);
                    if (fontBits & StyleUnderline)
                        painter.drawLine(QPointF(double(x), baseline + metrics.underlinePos()),
                            QPointF(double(x + w), baseline + metrics.underlinePos()));
                    if (fontBits & StyleStrikeOut)
                        painter.drawLine(QPointF(double(x), baseline - metrics.strikeOutPos()),
                            QPointF(double(x + w), baseline - metrics.strikeOutPos()));
                }
            }
        }
        x += w;
        k += units - 1;
    }
}

} // namespace qd
