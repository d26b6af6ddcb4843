// Laying the text out for the printer: the copy, the sheet's measures, lines per page, forced
// page breaks and the page count.
#include "editor/CodeMemoPrinter.h"

#include "classlib/Exception.h"
#include "editor/CodeMemo.h"
#include "editor/PrintCopy.h"
#include "editor/StyleCodes.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace qd {

namespace {

int toPixels(double inches, int dpi)
{
    return int(std::lround(inches * double(dpi)));
}

} // namespace

int TCodeMemoPrinter::screenDpi() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? qMax(1, int(std::lround(screen->logicalDotsPerInchY()))) : 96;
}

void TCodeMemoPrinter::Layout()
{
    layOut(false);
}

void TCodeMemoPrinter::layOut(bool selectionOnly)
{
    if (!m_memo)
        throw Exception(QStringLiteral("There is no editor to print"));
    if (m_copy && m_selectionOnly != selectionOnly)
        ReleaseLayout();

    QPrinter *printer = Printer();
    const QRectF paper = printer->paperRect(QPrinter::DevicePixel);
    const QRectF page = printer->pageRect(QPrinter::DevicePixel);
    const QSize pageSize(
        qMax(1, int(std::lround(paper.width()))), qMax(1, int(std::lround(paper.height()))));
    const QRect printable = QRectF(page.topLeft() - paper.topLeft(), page.size()).toRect();
    const int dpiX = qMax(1, printer->logicalDpiX());
    const int dpiY = qMax(1, printer->logicalDpiY());
    if (pageSize != m_pageSize || dpiX != m_dpiX || dpiY != m_dpiY)
        m_layoutValid = false;
    m_pageSize = pageSize;
    m_printable = printable;
    m_dpiX = dpiX;
    m_dpiY = dpiY;

    if (!m_copy) {
        m_copy = std::make_unique<PrintCopy>(*m_memo, selectionOnly, m_plainText, m_wordWrap);
        m_selectionOnly = selectionOnly;
        m_layoutValid = false;
    }
    if (!m_layoutValid) {
        const int width
            = m_pageSize.width() - toPixels(m_marginLeft, m_dpiX) - toPixels(m_marginRight, m_dpiX);
        m_copy->LayOut(m_dpiY, screenDpi(), qMax(1, width));
        m_layoutValid = true;
    }
    countPages();
}

int TCodeMemoPrinter::LinePitch() const
{
    const int lineHeight = m_copy ? m_copy->LineHeightPx() : 1;
    const double pitch = m_lineSpacing < 0 ? -m_lineSpacing * lineHeight : m_lineSpacing * m_dpiY;
    return qMax(1, int(std::lround(pitch)));
}

void TCodeMemoPrinter::countPages()
{
    const int usable = m_pageSize.height() - toPixels(m_marginTop + m_marginBottom, m_dpiY);
    m_linesPerPage = qMax(1, usable / LinePitch());
    const qint64 perPage = m_linesPerPage;

    // Each forced break starts a new page: blank rows fill the page it would fall on. A break
    // that already stands at the top of a page needs none (not a page of blanks).
    m_breaks.clear();
    qint64 blanksSoFar = 0;
    TCodeNavigator nav(m_copy.get());
    const TParagraphsList &pars = m_copy->Paragraphs();
    for (qint64 i = 0; i < pars.Count(); ++i) {
        const QStringView text = pars.Text(i);
        for (qsizetype k = text.indexOf(QChar(scPageBreak)); k >= 0;
             k = text.indexOf(QChar(scPageBreak), k + 1)) {
            nav.SetPos(pars.StartPos(i) + k);
            const qint64 line = nav.LineIndex();
            if (!m_breaks.empty() && m_breaks.back().Line >= line)
                continue;
            const qint64 rest = (line + blanksSoFar) % perPage;
            const qint64 blanks = rest == 0 ? 0 : perPage - rest;
            blanksSoFar += blanks;
            m_breaks.push_back({ line, blanks, blanksSoFar });
        }
    }

    // A text that ends with a line break ends in an empty line; it gets no page of its own.
    qint64 rows = m_copy->LineCount() + blanksSoFar;
    if (pars.Count() > 1 && pars.At(pars.Count() - 1)->Length == 0)
        --rows;
    m_pageCount = int(qMin<qint64>(
        std::numeric_limits<int>::max(), qMax<qint64>(1, (rows + perPage - 1) / perPage)));
}

qint64 TCodeMemoPrinter::lineOfRow(qint64 row) const
{
    // The last break whose blank rows begin at or before row.
    const auto after = std::upper_bound(m_breaks.begin(), m_breaks.end(), row,
        [](qint64 r, const PageBreak &b) { return r < b.Line + b.BlanksSoFar - b.Blanks; });
    if (after == m_breaks.begin())
        return row;
    const PageBreak &b = *(after - 1);
    if (row < b.Line + b.BlanksSoFar)
        return -1;
    return row - b.BlanksSoFar;
}

} // namespace qd
