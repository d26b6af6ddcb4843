#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPicture>
#include <QString>

#include <functional>
#include <memory>

class QPainter;
class QPrinter;
class QTableView;

namespace qd {

class TDataSet;
class TField;

// Prints the rows of a data grid as a table, page by page, with an optional row-number column,
// after showing the pages in the print preview. The layout is made in screen pixels on a page of
// the printer's printable size: columns as wide as in the grid, strips of columns side by side
// when the grid is wider than the page, blocks of rows as many as fit below the titles. Each
// block prints once per strip, strips left to right; row numbers run on across the pages. The
// grid's current row is the same afterwards.
class TGridPrint {
public:
    struct Column {
        Qt::Alignment Alignment = Qt::AlignLeft;
        QFont Font;
        QColor Color = Qt::white;
        QFont TitleFont;
        Qt::Alignment TitleAlignment = Qt::AlignLeft;
        QColor TitleColor;
        QString TitleCaption;
        TField *Field = nullptr; // null for the row-number column
        int Left = 0;
        int Right = 0;
        int Strip = 0;
        bool StartsStrip = false;
    };

    explicit TGridPrint(QPrinter *printer = nullptr);
    ~TGridPrint();
    TGridPrint(const TGridPrint &) = delete;
    TGridPrint &operator=(const TGridPrint &) = delete;

    QTableView *DBGrid() const { return m_grid; }
    void SetDBGrid(QTableView *grid) { m_grid = grid; }
    bool RowNumbers() const { return m_rowNumbers; }
    void SetRowNumbers(bool on) { m_rowNumbers = on; }
    int PreviewPages() const { return m_previewPages; }
    void SetPreviewPages(int blocks) { m_previewPages = blocks < 0 ? 0 : blocks; }
    bool DisableGrid() const { return m_disableGrid; }
    void SetDisableGrid(bool on) { m_disableGrid = on; }
    const QString &PrintJobTitle() const { return m_printJobTitle; }
    void SetPrintJobTitle(const QString &title) { m_printJobTitle = title; }
    int PagesCount() const { return int(m_pages.size()); }
    const QList<QPicture> &PagesList() const { return m_pages; }
    const QList<Column> &Columns() const { return m_columns; }
    QSize PageSize() const { return { m_pageWidth, m_pageHeight }; }

    // The preview, then (when the user asks) the print. True when the grid could be previewed;
    // "Grid not active" for a grid without an open dataset; "Printer not valid." when the
    // printer gives no page size.
    bool Print();
    // The two steps alone: pages for the preview (PreviewPages blocks at most), and the whole
    // grid on the printer.
    bool BuildPreviewPages();
    bool PrintPages();
    // How the preview is shown: returns 1 to print, 2 to close. Tests replace it.
    std::function<int(TGridPrint &print)> ShowPreview;

    static constexpr int Margin = 10;
    static constexpr int RowNumberWidth = 30;

private:
    TDataSet *activeDataSet() const;
    void measurePage();
    void layoutColumns();
    // Lays out blocks of rows: for each block, one page per strip, painted between startPage
    // and endPage.
    void buildPages(int maxBlocks, const std::function<QPainter &()> &startPage,
        const std::function<void()> &endPage);
    void paintCell(QPainter &painter, const Column &column, int top, int height,
        const QString &text, const QFont &font, const QColor &color, Qt::Alignment alignment,
        bool title);

    QPrinter *m_printer;
    std::unique_ptr<QPrinter> m_ownPrinter;
    QTableView *m_grid = nullptr;
    bool m_rowNumbers = true;
    int m_previewPages = 0;
    bool m_disableGrid = true;
    QString m_printJobTitle = QStringLiteral("Data Grid");
    QList<QPicture> m_pages;
    QList<Column> m_columns;
    int m_pageWidth = 0;
    int m_pageHeight = 0;
    int m_titleHeight = 0;
    int m_rowHeight = 0;
};

} // namespace qd
