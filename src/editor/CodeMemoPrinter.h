#pragma once

#include <QFont>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPrintDialog;
class QPrinter;

namespace qd {

class PrintCopy;
class TCodeMemo;
class TFrmCMPrintPreview;

enum THeaderAlign { haLeft, haRight, haCenter };

// Prints the text of an editor on a QPrinter, page by page: margins in inches, a header and a
// footer whose first "{p}" becomes the page number, line or paragraph numbers, word wrap at the
// printable width, forced page breaks at the editor's page-break code, a selection alone, with
// the editor's styles and colours or plain, and a preview window. The text is laid out in a
// private copy of the editor sized for the printer; the copy goes when the editor's text, the
// editor itself or the properties that shape the layout change.
//
// Without a printer of its own choosing it prints on a high-resolution QPrinter, which on a
// machine with no printer installed writes a PDF file (QPrinter::setOutputFileName, or "Print to
// File (PDF)" in the print dialog).
class TCodeMemoPrinter : public QObject {
    Q_OBJECT
public:
    explicit TCodeMemoPrinter(QObject *parent = nullptr);
    ~TCodeMemoPrinter() override;

    // --- properties
    TCodeMemo *MemoToPrint() const;
    void SetMemoToPrint(TCodeMemo *memo);
    double MarginLeft() const { return m_marginLeft; }
    void SetMarginLeft(double inches);
    double MarginRight() const { return m_marginRight; }
    void SetMarginRight(double inches);
    double MarginTop() const { return m_marginTop; }
    void SetMarginTop(double inches);
    double MarginBottom() const { return m_marginBottom; }
    void SetMarginBottom(double inches);
    // Negative: that many times the printed line height; positive: inches.
    double LineSpacing() const { return m_lineSpacing; }
    void SetLineSpacing(double spacing);
    // Distance of the header from the top edge and of the footer from the bottom edge, inches.
    double HeaderYPos() const { return m_headerYPos; }
    void SetHeaderYPos(double inches) { m_headerYPos = inches; }
    double FooterYPos() const { return m_footerYPos; }
    void SetFooterYPos(double inches) { m_footerYPos = inches; }
    THeaderAlign HeaderAlign() const { return m_headerAlign; }
    void SetHeaderAlign(THeaderAlign align) { m_headerAlign = align; }
    THeaderAlign FooterAlign() const { return m_footerAlign; }
    void SetFooterAlign(THeaderAlign align) { m_footerAlign = align; }
    bool PlainText() const { return m_plainText; }
    void SetPlainText(bool on);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on);
    bool LineNumbers() const { return m_lineNumbers; }
    void SetLineNumbers(bool on) { m_lineNumbers = on; }
    bool ParagraphNumbers() const { return m_paragraphNumbers; }
    void SetParagraphNumbers(bool on) { m_paragraphNumbers = on; }
    int StartingPageNumber() const { return m_startingPageNumber; }
    void SetStartingPageNumber(int number) { m_startingPageNumber = number; }
    const QString &Header() const { return m_header; }
    void SetHeader(const QString &text) { m_header = text; }
    const QString &Footer() const { return m_footer; }
    void SetFooter(const QString &text) { m_footer = text; }
    const QFont &HeaderFont() const { return m_headerFont; }
    void SetHeaderFont(const QFont &font) { m_headerFont = font; }
    const QFont &FooterFont() const { return m_footerFont; }
    void SetFooterFont(const QFont &font) { m_footerFont = font; }
    const QString &PreviewTitle() const { return m_previewTitle; }
    void SetPreviewTitle(const QString &title) { m_previewTitle = title; }

    // The printer printed on: one of our own (high resolution) unless another was given.
    QPrinter *Printer();
    // printer is not owned and must outlive its use here; none returns to our own.
    void SetPrinter(QPrinter *printer);

    // --- events
    // Before each printed page (CurrentPage() its index) and once after the last (-1).
    std::function<void(TCodeMemoPrinter *sender)> OnProgress;
    // With the preview window, before it is shown.
    std::function<void(TFrmCMPrintPreview *form)> OnPreview;
    // While a page is drawn, after its header and footer and before its text; painter is in
    // printer pixels of the whole sheet.
    std::function<void(TCodeMemoPrinter *sender, QPainter &painter, int page)> OnFormatPrint;

    // --- printing. Each throws Exception when the printer cannot start (no printer and no output
    // file, or a file that cannot be written); nothing is left half-printed then.
    void Print();
    // The selected text only (from the selection's start to its end), all its pages.
    void PrintSelection();
    // By the range chosen in the dialog: everything, the selection, or its from-page to its
    // to-page (1-based).
    void PrintWithDialog(QPrintDialog &dialog);
    // Pages from .. to, 0-based, of the whole text.
    void PrintPages(int from, int to);
    // Shows the preview window modally (no owner) with PreviewTitle as caption.
    void Preview();
    // Stops the printing under way before its next page (from OnProgress, for example).
    void Cancel() { m_cancelled = true; }
    bool Cancelled() const { return m_cancelled; }
    // The page being printed, -1 when not printing.
    int CurrentPage() const { return m_currentPage; }

    // --- layout (the preview draws through these)
    // Lays the whole text out for the printer as it is now (again only when needed).
    void Layout();
    void ReleaseLayout();
    bool HasLayout() const { return m_copy != nullptr; }
    int PageCount() const { return m_pageCount; }
    int LinesPerPage() const { return m_linesPerPage; }
    // Pixels from one printed line to the next.
    int LinePitch() const;
    // The sheet and its printable area in printer pixels at layout time (the printable area
    // relative to the sheet's corner).
    QSize PageSize() const { return m_pageSize; }
    QRect PrintableRect() const { return m_printable; }
    int DpiX() const { return m_dpiX; }
    int DpiY() const { return m_dpiY; }
    // Draws page (0-based) on painter in printer pixels of the whole sheet; only the lines
    // crossing visible are drawn (the whole page when it is empty).
    void RenderPage(QPainter &painter, int page, const QRect &visible = QRect());
    // Header or Footer with the first "{p}" replaced by the number of page (0-based).
    QString PageText(const QString &text, int page) const;

private:
    void layOut(bool selectionOnly);
    void countPages();
    void printRange(int from, int to, bool selectionOnly);
    // The layout row -> display line of the copy; -1 for a blank row before a forced break.
    qint64 lineOfRow(qint64 row) const;
    void drawLine(QPainter &painter, qint64 line, int y);
    void drawHeaderFooter(QPainter &painter, int page);
    int screenDpi() const;

    QPointer<TCodeMemo> m_memo;
    double m_marginLeft = 0.75;
    double m_marginRight = 0.5;
    double m_marginTop = 0.75;
    double m_marginBottom = 0.75;
    double m_lineSpacing = -1.5;
    double m_headerYPos = 0.4;
    double m_footerYPos = 0.4;
    THeaderAlign m_headerAlign = haLeft;
    THeaderAlign m_footerAlign = haLeft;
    bool m_plainText = false;
    bool m_wordWrap = true;
    bool m_lineNumbers = false;
    bool m_paragraphNumbers = false;
    int m_startingPageNumber = 1;
    QString m_header;
    QString m_footer;
    QFont m_headerFont;
    QFont m_footerFont;
    QString m_previewTitle;

    std::unique_ptr<QPrinter> m_ownPrinter;
    QPrinter *m_printer = nullptr;

    int m_currentPage = -1;
    bool m_cancelled = false;
    std::unique_ptr<PrintCopy> m_copy;
    bool m_layoutValid = false;
    bool m_selectionOnly = false;
    QSize m_pageSize;
    QRect m_printable;
    int m_dpiX = 0;
    int m_dpiY = 0;
    int m_linesPerPage = 1;
    int m_pageCount = 1;
    // Forced page breaks: the display line that starts a new page and the blank rows put before
    // it, in order, with the running total of blank rows up to and including each.
    struct PageBreak {
        qint64 Line = 0;
        qint64 Blanks = 0;
        qint64 BlanksSoFar = 0;
    };
    std::vector<PageBreak> m_breaks;
};

} // namespace qd
