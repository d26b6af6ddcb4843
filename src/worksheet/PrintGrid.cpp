#include "worksheet/PrintGrid.h"

#include "classlib/DataSet.h"
#include "classlib/DataSetModel.h"
#include "classlib/DataSource.h"
#include "classlib/Exception.h"
#include "classlib/Field.h"
#include "shell/MessageBoxes.h"
#include "worksheet/Preview.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QTableView>

#include <algorithm>

namespace qd {

namespace {

const QString kMeasureText = QStringLiteral("Some Text");

// A font sized in pixels of the layout, so that pages keep their proportions on any device.
QFont layoutFont(QFont font, int screenDpi)
{
    if (font.pixelSize() <= 0)
        font.setPixelSize(std::max(1, qRound(font.pointSizeF() * screenDpi / 72.0)));
    return font;
}

bool isNumeric(TField *field)
{
    if (!field)
        return true;
    const TFieldType type = field->DataType();
    return type == ftSmallint || type == ftInteger || type == ftWord || type == ftAutoInc
        || type == ftLargeint || type == ftFloat || type == ftCurrency || type == ftBCD;
}

int screenDpi()
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        return qRound(screen->logicalDotsPerInch());
    return 96;
}

} // namespace

TGridPrint::TGridPrint(QPrinter *printer) : m_printer(printer)
{
    if (!m_printer) {
        m_ownPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer = m_ownPrinter.get();
    }
}

TGridPrint::~TGridPrint() = default;

TDataSet *TGridPrint::activeDataSet() const
{
    auto *model = m_grid ? qobject_cast<DataSetModel *>(m_grid->model()) : nullptr;
    TDataSource *source = model ? model->DataSource() : nullptr;
    TDataSet *dataSet = source ? source->DataSet() : nullptr;
    return dataSet && dataSet->Active() ? dataSet : nullptr;
}

void TGridPrint::measurePage()
{
    // The printable area in printer pixels, turned into screen pixels.
    const int printerDpiX = m_printer->logicalDpiX();
    const int printerDpiY = m_printer->logicalDpiY();
    const QRect printable = m_printer->pageLayout().paintRectPixels(m_printer->resolution());
    if (printerDpiX <= 0 || printerDpiY <= 0 || printable.width() <= 0 || printable.height() <= 0)
        throw Exception(QStringLiteral("Printer not valid."));
    const int dpi = screenDpi();
    m_pageWidth = int(qint64(printable.width()) * dpi / printerDpiX);
    m_pageHeight = int(qint64(printable.height()) * dpi / printerDpiY);
}

void TGridPrint::layoutColumns()
{
    m_columns.clear();
    const int dpi = screenDpi();
    QHeaderView *header = m_grid->horizontalHeader();
    const QFont cellFont = layoutFont(m_grid->font(), dpi);
    const QFont titleFont = layoutFont(header->font(), dpi);
    const QColor cellColor = m_grid->palette().color(QPalette::Base);
    const QColor titleColor = header->palette().color(QPalette::Button);
    // Row and title heights: the tallest font's "Some Text" and 2.
    m_rowHeight = QFontMetrics(cellFont).boundingRect(kMeasureText).height() + 2;
    m_titleHeight = QFontMetrics(titleFont).boundingRect(kMeasureText).height() + 2;

    TDataSet *dataSet = activeDataSet();
    QList<TField *> fields;
    for (TField *field : dataSet->Fields())
        if (field->Visible())
            fields.append(field);

    const int printableRight = m_pageWidth - Margin;
    int left = Margin;
    int strip = 0;
    bool stripEmpty = true;
    auto place = [&](Column column, int width) {
        // A column wider than the printable width is cut to it.
        width = std::min(width, printableRight - Margin);
        if (left + width > printableRight && !stripEmpty) {
            ++strip;
            left = Margin;
            column.StartsStrip = true;
        } else {
            column.StartsStrip = stripEmpty;
        }
        column.Left = left;
        column.Right = left + width;
        column.Strip = strip;
        left += width;
        stripEmpty = false;
        m_columns.append(column);
    };
    if (m_rowNumbers) {
        Column numbers;
        numbers.Font = cellFont;
        numbers.Color = cellColor;
        numbers.TitleFont = titleFont;
        numbers.TitleColor = titleColor;
        numbers.TitleCaption = QStringLiteral(" ") + QChar(0xB9);
        numbers.Alignment = Qt::AlignLeft;
        numbers.TitleAlignment = Qt::AlignLeft;
        place(numbers, RowNumberWidth);
    }
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical) || logical >= fields.size())
            continue;
        Column column;
        column.Field = fields.at(logical);
        column.Font = cellFont;
        column.Color = cellColor;
        column.TitleFont = titleFont;
        column.TitleColor = titleColor;
        column.TitleCaption = m_grid->model()->headerData(logical, Qt::Horizontal).toString();
        column.Alignment = isNumeric(column.Field) ? Qt::AlignRight : Qt::AlignLeft;
        column.TitleAlignment = Qt::AlignLeft;
        place(column, m_grid->columnWidth(logical));
    }
}

void TGridPrint::paintCell(QPainter &painter, const Column &column, int top, int height,
    const QString &text, const QFont &font, const QColor &color, Qt::Alignment alignment, bool title)
{
    Q_UNUSED(title);
    const QRect cell(column.Left, top, column.Right - column.Left, height);
    painter.fillRect(cell, color);
    painter.setFont(font);
    painter.setPen(Qt::black);
    // The text is cut from its end until it fits.
    QFontMetrics metrics(font);
    const int room = std::max(0, cell.width() - 3);
    QString shown = text;
    while (!shown.isEmpty() && metrics.horizontalAdvance(shown) > room)
        shown.chop(1);
    QRect textRect = cell;
    if (alignment & Qt::AlignRight)
        textRect.adjust(0, 0, -1, 0);
    else if (!(alignment & Qt::AlignHCenter))
        textRect.adjust(2, 0, 0, 0);
    painter.drawText(textRect, int(alignment) | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    // Borders: right and bottom, and a left one where a strip begins.
    painter.drawLine(cell.topRight(), cell.bottomRight());
    painter.drawLine(cell.bottomLeft(), cell.bottomRight());
    painter.drawLine(cell.topLeft(), cell.topRight());
    if (column.StartsStrip)
        painter.drawLine(cell.topLeft(), cell.bottomLeft());
}

void TGridPrint::buildPages(int maxBlocks, const std::function<QPainter &()> &startPage,
    const std::function<void()> &endPage)
{
    TDataSet *dataSet = activeDataSet();
    const int rowsPerBlock
        = std::max(1, (m_pageHeight - 2 * Margin - m_titleHeight) / std::max(1, m_rowHeight));
    const int strips = m_columns.isEmpty() ? 0 : m_columns.last().Strip + 1;
    if (m_disableGrid)
        dataSet->DisableControls();
    const TBookmark bookmark = dataSet->GetBookmark();
    struct Restore {
        TDataSet *dataSet;
        TBookmark bookmark;
        bool enable;
        ~Restore()
        {
            try {
                if (!bookmark.isEmpty() && dataSet->BookmarkValid(bookmark))
                    dataSet->GotoBookmark(bookmark);
            } catch (...) {
            }
            try {
                if (enable)
                    dataSet->EnableControls();
            } catch (...) {
            }
        }
    } restore { dataSet, bookmark, m_disableGrid };

    dataSet->First();
    int rowNumber = 0;
    int blocks = 0;
    while (!dataSet->Eof() && (maxBlocks == 0 || blocks < maxBlocks)) {
        // The block's texts, read once for all its strips.
        QList<QStringList> rows;
        while (!dataSet->Eof() && rows.size() < rowsPerBlock) {
            QStringList texts;
            ++rowNumber;
            for (const Column &column : m_columns)
                texts.append(column.Field ? column.Field->DisplayText() : QString::number(rowNumber));
            rows.append(texts);
            dataSet->Next();
        }
        ++blocks;
        for (int strip = 0; strip < strips; ++strip) {
            QPainter &painter = startPage();
            for (int i = 0; i < m_columns.size(); ++i) {
                const Column &column = m_columns.at(i);
                if (column.Strip != strip)
                    continue;
                paintCell(painter, column, Margin, m_titleHeight, column.TitleCaption,
                    column.TitleFont, column.TitleColor, column.TitleAlignment, true);
                int top = Margin + m_titleHeight;
                for (const QStringList &texts : rows) {
                    paintCell(painter, column, top, m_rowHeight, texts.at(i), column.Font,
                        column.Color, column.Alignment, false);
                    top += m_rowHeight;
                }
            }
            endPage();
        }
    }
}

bool TGridPrint::BuildPreviewPages()
{
    m_pages.clear();
    if (!activeDataSet()) {
        ShowInfoMessage(QStringLiteral("Grid not active"));
        return false;
    }
    measurePage();
    layoutColumns();
    // Each preview page is a picture of the layout page size, at scale 1.
    QPicture picture;
    QPainter painter;
    buildPages(
        m_previewPages,
        [&]() -> QPainter & {
            picture = QPicture();
            picture.setBoundingRect(QRect(0, 0, m_pageWidth, m_pageHeight));
            painter.begin(&picture);
            return painter;
        },
        [&] {
            painter.end();
            m_pages.append(picture);
        });
    return true;
}

bool TGridPrint::PrintPages()
{
    if (!activeDataSet()) {
        ShowInfoMessage(QStringLiteral("Grid not active"));
        return false;
    }
    measurePage();
    layoutColumns();
    m_printer->setDocName(m_printJobTitle);
    const QRect printable = m_printer->pageLayout().paintRectPixels(m_printer->resolution());
    QPainter painter;
    if (!painter.begin(m_printer))
        throw Exception(QStringLiteral("Printer not valid."));
    const double scaleX = double(printable.width()) / m_pageWidth;
    const double scaleY = double(printable.height()) / m_pageHeight;
    // The pages are painted on the printer itself, the layout scaled to its page.
    bool first = true;
    buildPages(
        0,
        [&]() -> QPainter & {
            if (!first)
                m_printer->newPage();
            first = false;
            painter.save();
            painter.scale(scaleX, scaleY);
            return painter;
        },
        [&] { painter.restore(); });
    painter.end();
    return true;
}

bool TGridPrint::Print()
{
    if (!BuildPreviewPages())
        return false;
    int answer = 0;
    if (ShowPreview) {
        answer = ShowPreview(*this);
    } else {
        auto *preview = new TfmPreview(m_pages, QSize(m_pageWidth, m_pageHeight), m_grid);
        preview->setWindowTitle(m_printJobTitle);
        answer = preview->exec();
    }
    if (answer == TfmPreview::PrintResult)
        return PrintPages();
    return true;
}

} // namespace qd
