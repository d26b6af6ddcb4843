// The printer's properties, the print runs and the preview.
#include "editor/CodeMemoPrinter.h"

#include "classlib/Exception.h"
#include "editor/CodeMemo.h"
#include "editor/PrintCopy.h"
#include "editor/PrintPreview.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace qd {

TCodeMemoPrinter::TCodeMemoPrinter(QObject *parent)
    : QObject(parent)
{
}

TCodeMemoPrinter::~TCodeMemoPrinter() = default;

TCodeMemo *TCodeMemoPrinter::MemoToPrint() const
{
    return m_memo.data();
}

void TCodeMemoPrinter::SetMemoToPrint(TCodeMemo *memo)
{
    if (memo == m_memo)
        return;
    ReleaseLayout();
    if (m_memo)
        disconnect(m_memo, nullptr, this, nullptr);
    m_memo = memo;
    if (memo) {
        // Any change of the text makes the copy stale; an editor going away takes it along.
        connect(memo, &TCodeMemo::changed, this, &TCodeMemoPrinter::ReleaseLayout);
        connect(memo, &QObject::destroyed, this, &TCodeMemoPrinter::ReleaseLayout);
    }
}

void TCodeMemoPrinter::SetMarginLeft(double inches)
{
    if (inches == m_marginLeft)
        return;
    m_marginLeft = inches;
    m_layoutValid = false;
}

void TCodeMemoPrinter::SetMarginRight(double inches)
{
    if (inches == m_marginRight)
        return;
    m_marginRight = inches;
    m_layoutValid = false;
}

void TCodeMemoPrinter::SetMarginTop(double inches)
{
    if (inches == m_marginTop)
        return;
    m_marginTop = inches;
    if (m_copy)
        countPages();
}

void TCodeMemoPrinter::SetMarginBottom(double inches)
{
    if (inches == m_marginBottom)
        return;
    m_marginBottom = inches;
    if (m_copy)
        countPages();
}

void TCodeMemoPrinter::SetLineSpacing(double spacing)
{
    if (spacing == m_lineSpacing)
        return;
    m_lineSpacing = spacing;
    if (m_copy)
        countPages();
}

void TCodeMemoPrinter::SetPlainText(bool on)
{
    if (on == m_plainText)
        return;
    m_plainText = on;
    ReleaseLayout();
}

void TCodeMemoPrinter::SetWordWrap(bool on)
{
    if (on == m_wordWrap)
        return;
    m_wordWrap = on;
    ReleaseLayout();
}

QPrinter *TCodeMemoPrinter::Printer()
{
    if (m_printer)
        return m_printer;
    if (!m_ownPrinter)
        m_ownPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_ownPrinter.get();
}

void TCodeMemoPrinter::SetPrinter(QPrinter *printer)
{
    if (printer == m_printer)
        return;
    m_printer = printer;
    m_layoutValid = false;
}

void TCodeMemoPrinter::ReleaseLayout()
{
    m_copy.reset();
    m_layoutValid = false;
}

void TCodeMemoPrinter::Print()
{
    printRange(0, std::numeric_limits<int>::max(), false);
}

void TCodeMemoPrinter::PrintSelection()
{
    if (m_memo && m_memo->SelLength() == 0)
        throw Exception(QStringLiteral("There is no selected text to print"));
    // The copy of a selection serves one print only.
    struct Release {
        TCodeMemoPrinter *printer;
        ~Release() { printer->ReleaseLayout(); }
    } release { this };
    printRange(0, std::numeric_limits<int>::max(), true);
}

void TCodeMemoPrinter::PrintPages(int from, int to)
{
    printRange(from, to, false);
}

void TCodeMemoPrinter::PrintWithDialog(QPrintDialog &dialog)
{
    switch (dialog.printRange()) {
    case QAbstractPrintDialog::Selection:
        PrintSelection();
        break;
    case QAbstractPrintDialog::PageRange:
        PrintPages(dialog.fromPage() - 1, dialog.toPage() - 1);
        break;
    default:
        Print();
        break;
    }
}

void TCodeMemoPrinter::printRange(int from, int to, bool selectionOnly)
{
    m_cancelled = false;
    layOut(selectionOnly);
    from = qMax(0, from);
    to = qMin(to, m_pageCount - 1);
    if (from > to)
        throw Exception(QStringLiteral("There is no page %1 to print; the text has %2 page(s)")
                            .arg(from + 1)
                            .arg(m_pageCount));
    QPrinter *printer = Printer();
    QPainter painter;
    if (!painter.begin(printer)) {
        const QString file = printer->outputFileName();
        throw Exception(file.isEmpty()
                ? QStringLiteral("Printing could not start: no printer is available and no output "
                                 "file was chosen")
                : QStringLiteral("Printing could not start: cannot write \"%1\"").arg(file));
    }
    // Drawing is in pixels of the whole sheet; the painter starts at the printable area.
    const QPoint origin = printer->fullPage() ? QPoint() : m_printable.topLeft();
    struct Finish {
        TCodeMemoPrinter *self;
        QPainter &painter;
        ~Finish()
        {
            if (painter.isActive())
                painter.end();
            self->m_currentPage = -1;
        }
    } finish { this, painter };
    for (int page = from; page <= to; ++page) {
        m_currentPage = page;
        if (OnProgress)
            OnProgress(this);
        if (m_cancelled || page >= m_pageCount)
            break;
        if (page > from)
            printer->newPage();
        painter.save();
        painter.translate(-origin);
        RenderPage(painter, page);
        painter.restore();
    }
    painter.end();
    m_currentPage = -1;
    if (OnProgress)
        OnProgress(this);
    if (printer->printerState() == QPrinter::Error)
        throw Exception(QStringLiteral("Printing failed"));
}

void TCodeMemoPrinter::Preview()
{
    Layout(); // what cannot be laid out fails here, before a window opens
    TFrmCMPrintPreview form(this);
    form.setWindowTitle(m_previewTitle);
    if (OnPreview)
        OnPreview(&form);
    form.exec();
}

QString TCodeMemoPrinter::PageText(const QString &text, int page) const
{
    QString result = text;
    const qsizetype at = result.indexOf(QLatin1String("{p}"));
    if (at >= 0)
        result.replace(at, 3, QString::number(page + m_startingPageNumber));
    return result;
}

} // namespace qd
