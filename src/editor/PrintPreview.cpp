#include "editor/PrintPreview.h"

#include "editor/CodeMemoPrinter.h"

#include "ui_PrintPreview.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>

#include <cmath>

namespace qd {

namespace {

constexpr int SheetMargin = 10; // grey around the sheet
constexpr int GrabDistance = 2; // a margin line is caught this close
constexpr int DragGap = 3; // a dragged line stays this far from the opposite one
constexpr int MarginGap = 10; // and a margin this far once dropped
constexpr double ZoomSteps[] = { 5, 2, 1.5, 1, 0.75, 0.5 };
constexpr int PageWidthItem = 6;
constexpr int WholePageItem = 7;

} // namespace

TFrmCMPrintPreview::TFrmCMPrintPreview(TCodeMemoPrinter *source, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TFrmCMPrintPreview>())
    , m_source(source)
{
    ui->setupUi(this);
    ui->btnClose->setDefault(false);
    QPalette grey = ui->sbPreview->palette();
    grey.setColor(QPalette::Window, Qt::gray);
    ui->sbPreview->setPalette(grey);
    ui->sbPreview->setBackgroundRole(QPalette::Window);
    ui->sbPreview->viewport()->setAutoFillBackground(true);
    m_sheetHolder = new QWidget;
    m_sheetHolder->setObjectName(QStringLiteral("sheetHolder"));
    m_sheetHolder->setPalette(grey);
    m_sheetHolder->setAutoFillBackground(true);
    m_paintBox = new QWidget(m_sheetHolder);
    m_paintBox->setObjectName(QStringLiteral("PBPreview"));
    m_paintBox->setAttribute(Qt::WA_OpaquePaintEvent);
    m_paintBox->setMouseTracking(true);
    m_paintBox->installEventFilter(this);
    ui->sbPreview->setWidget(m_sheetHolder);

    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->btnPrevious, &QToolButton::clicked, this, [this] { GoToPage(m_page - 1); });
    connect(ui->btnNext, &QToolButton::clicked, this, [this] { GoToPage(m_page + 1); });
    connect(ui->btnMargins, &QPushButton::toggled, m_paintBox, qOverload<>(&QWidget::update));
    connect(ui->btnLineNumbers, &QToolButton::clicked, this, [this](bool on) {
        m_source->SetLineNumbers(on);
        m_paintBox->update();
    });
    connect(ui->btnPrint, &QPushButton::clicked, this, &TFrmCMPrintPreview::printClicked);
    connect(ui->btnSetup, &QPushButton::clicked, this, &TFrmCMPrintPreview::setupClicked);
    connect(ui->cbZoom, &QComboBox::currentIndexChanged, this, &TFrmCMPrintPreview::applyZoom);
    connect(
        ui->cbZoom, qOverload<int>(&QComboBox::activated), this, &TFrmCMPrintPreview::applyZoom);
}

TFrmCMPrintPreview::~TFrmCMPrintPreview() = default;

void TFrmCMPrintPreview::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    try {
        m_source->Layout();
    } catch (const std::exception &error) {
        showError(error);
        return;
    }
    m_page = qBound(0, m_page, m_source->PageCount() - 1);
    {
        const QSignalBlocker quiet(ui->cbZoom);
        ui->cbZoom->setCurrentIndex(ui->cbZoom->findText(QStringLiteral("100%")));
    }
    applyZoom();
    updatePageControls();
    ui->btnLineNumbers->setChecked(m_source->LineNumbers());
}

void TFrmCMPrintPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The fitting zooms follow the window; the fixed ones keep their size.
    if (m_source->HasLayout()) {
        if (ui->cbZoom->currentIndex() >= PageWidthItem)
            applyZoom();
        else
            placeSheet();
    }
}

void TFrmCMPrintPreview::GoToPage(int page)
{
    page = qMax(0, qMin(page, m_source->PageCount() - 1));
    if (page == m_page)
        return;
    m_page = page;
    updatePageControls();
    m_paintBox->update();
}

void TFrmCMPrintPreview::updatePageControls()
{
    const int count = m_source->PageCount();
    ui->lblPage->setText(QStringLiteral("Page %1/%2").arg(m_page + 1).arg(count));
    ui->btnNext->setEnabled(m_page < count - 1);
    ui->btnPrevious->setEnabled(m_page >= 1);
}

void TFrmCMPrintPreview::applyZoom()
{
    if (!m_source->HasLayout())
        return;
    ui->sbPreview->horizontalScrollBar()->setValue(0);
    ui->sbPreview->verticalScrollBar()->setValue(0);
    const QSize page = m_source->PageSize();
    const QSize client = ui->sbPreview->viewport()->size();
    const int item = ui->cbZoom->currentIndex();
    const double base = double(logicalDpiY()) / double(m_source->DpiY());
    if (item >= 0 && item < PageWidthItem)
        m_zoom = base * ZoomSteps[item];
    else {
        m_zoom = double(client.width() - 2 * SheetMargin) / double(page.width());
        if (item == WholePageItem)
            m_zoom
                = qMin(m_zoom, double(client.height() - 2 * SheetMargin) / double(page.height()));
    }
    m_zoom = qMax(m_zoom, 1e-4);
    m_paintBox->resize(qMax(1, int(std::lround(page.width() * m_zoom))),
        qMax(1, int(std::lround(page.height() * m_zoom))));
    placeSheet();
    computeMargins();
    m_paintBox->update();
}

void TFrmCMPrintPreview::placeSheet()
{
    const QSize client = ui->sbPreview->viewport()->size();
    const QSize sheet = m_paintBox->size();
    const int x
        = sheet.width() < client.width() ? (client.width() - sheet.width()) / 2 : SheetMargin;
    m_paintBox->move(x, SheetMargin);
    m_sheetHolder->resize(qMax(client.width(), x + sheet.width() + SheetMargin),
        qMax(client.height(), sheet.height() + 2 * SheetMargin));
}

void TFrmCMPrintPreview::computeMargins()
{
    const auto px
        = [this](double inches, int dpi) { return int(std::lround(inches * dpi * m_zoom)); };
    m_marginLeft = px(m_source->MarginLeft(), m_source->DpiX());
    m_marginRight = m_paintBox->width() - px(m_source->MarginRight(), m_source->DpiX());
    m_marginTop = px(m_source->MarginTop(), m_source->DpiY());
    m_marginBottom = m_paintBox->height() - px(m_source->MarginBottom(), m_source->DpiY());
}

int TFrmCMPrintPreview::MarginPosition(TMarginLine line) const
{
    switch (line) {
    case mlLeft:
        return m_marginLeft;
    case mlRight:
        return m_marginRight;
    case mlTop:
        return m_marginTop;
    case mlBottom:
        return m_marginBottom;
    default:
        return 0;
    }
}

void TFrmCMPrintPreview::paintSheet(const QRect &rect)
{
    QPainter painter(m_paintBox);
    painter.fillRect(rect, Qt::white);
    if (m_source->HasLayout()) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(m_zoom, m_zoom);
        painter.setClipRect(m_source->PrintableRect());
        const QRect visible = QRectF(QPointF(rect.topLeft()) / m_zoom, QSizeF(rect.size()) / m_zoom)
                                  .toAlignedRect()
                                  .adjusted(-1, -1, 1, 1);
        // Painting never throws: a page that cannot be drawn stays white.
        try {
            m_source->RenderPage(painter, m_page, visible);
        } catch (const std::exception &) {
        }
        painter.restore();
    }
    const int w = m_paintBox->width();
    const int h = m_paintBox->height();
    if (ui->btnMargins->isChecked()) {
        // Inverted lines stay visible over text and background alike.
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
        for (int x : { m_marginLeft, m_marginRight })
            painter.drawLine(x, 0, x, h - 1);
        for (int y : { m_marginTop, m_marginBottom })
            painter.drawLine(0, y, w - 1, y);
    }
    if (m_drag != mlNone) {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DotLine));
        if (m_drag == mlLeft || m_drag == mlRight)
            painter.drawLine(m_dragPos, 0, m_dragPos, h - 1);
        else
            painter.drawLine(0, m_dragPos, w - 1, m_dragPos);
    }
}

TFrmCMPrintPreview::TMarginLine TFrmCMPrintPreview::marginAt(const QPoint &point) const
{
    if (std::abs(point.x() - m_marginLeft) <= GrabDistance)
        return mlLeft;
    if (std::abs(point.x() - m_marginRight) <= GrabDistance)
        return mlRight;
    if (std::abs(point.y() - m_marginTop) <= GrabDistance)
        return mlTop;
    if (std::abs(point.y() - m_marginBottom) <= GrabDistance)
        return mlBottom;
    return mlNone;
}

void TFrmCMPrintPreview::mouseMoved(const QPoint &point)
{
    if (m_drag == mlNone) {
        switch (ui->btnMargins->isChecked() ? marginAt(point) : mlNone) {
        case mlLeft:
        case mlRight:
            m_paintBox->setCursor(Qt::SplitHCursor);
            break;
        case mlTop:
        case mlBottom:
            m_paintBox->setCursor(Qt::SplitVCursor);
            break;
        default:
            m_paintBox->unsetCursor();
            break;
        }
        return;
    }
    // The line follows the pointer inside the sheet, short of the opposite line.
    int pos = 0;
    switch (m_drag) {
    case mlLeft:
        pos = qBound(0, point.x(), m_marginRight - DragGap);
        break;
    case mlRight:
        pos = qBound(m_marginLeft + DragGap, point.x(), m_paintBox->width() - 1);
        break;
    case mlTop:
        pos = qBound(0, point.y(), m_marginBottom - DragGap);
        break;
    case mlBottom:
        pos = qBound(m_marginTop + DragGap, point.y(), m_paintBox->height() - 1);
        break;
    default:
        break;
    }
    if (pos != m_dragPos) {
        m_dragPos = pos;
        m_paintBox->update();
    }
}

void TFrmCMPrintPreview::mouseReleased()
{
    const TMarginLine line = m_drag;
    m_drag = mlNone;
    m_paintBox->update();
    if (m_dragPos == m_dragStart)
        return;
    const double perInchX = m_source->DpiX() * m_zoom;
    const double perInchY = m_source->DpiY() * m_zoom;
    switch (line) {
    case mlLeft:
        m_source->SetMarginLeft(qMin(m_dragPos, m_marginRight - MarginGap) / perInchX);
        break;
    case mlRight:
        m_source->SetMarginRight(
            (m_paintBox->width() - qMax(m_dragPos, m_marginLeft + MarginGap)) / perInchX);
        break;
    case mlTop:
        m_source->SetMarginTop(qMin(m_dragPos, m_marginBottom - MarginGap) / perInchY);
        break;
    case mlBottom:
        m_source->SetMarginBottom(
            (m_paintBox->height() - qMax(m_dragPos, m_marginTop + MarginGap)) / perInchY);
        break;
    default:
        return;
    }
    try {
        m_source->Layout();
    } catch (const std::exception &error) {
        showError(error);
    }
    computeMargins();
    m_page = qBound(0, m_page, m_source->PageCount() - 1);
    updatePageControls();
    m_paintBox->update();
}

bool TFrmCMPrintPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_paintBox)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        paintSheet(static_cast<QPaintEvent *>(event)->rect());
        return true;
    case QEvent::MouseMove:
        mouseMoved(static_cast<QMouseEvent *>(event)->position().toPoint());
        return true;
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && ui->btnMargins->isChecked()) {
            m_drag = marginAt(mouse->position().toPoint());
            m_dragStart = m_dragPos = MarginPosition(m_drag);
            if (m_drag != mlNone)
                m_paintBox->update();
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (m_drag != mlNone)
            mouseReleased();
        return true;
    default:
        return false;
    }
}

void TFrmCMPrintPreview::printClicked()
{
    // With no printer to go to, the print dialog lets the user pick a file to print to.
    QPrinter *printer = m_source->Printer();
    if (printer->outputFormat() == QPrinter::PdfFormat && printer->outputFileName().isEmpty()) {
        setupClicked();
        return;
    }
    try {
        m_source->Print();
    } catch (const std::exception &error) {
        showError(error);
    }
}

void TFrmCMPrintPreview::setupClicked()
{
    QPrinter *printer = m_source->Printer();
    if (!m_printDialog) {
        m_printDialog = new QPrintDialog(printer, this);
        m_printDialog->setObjectName(QStringLiteral("PrintDialog"));
    }
    m_printDialog->setOption(QAbstractPrintDialog::PrintPageRange, true);
    m_printDialog->setMinMax(1, m_source->PageCount());
    m_printDialog->setFromTo(1, m_source->PageCount());
    const QPageLayout before = printer->pageLayout();
    const int resolution = printer->resolution();
    const int result = m_printDialog->exec();
    try {
        if (!printer->pageLayout().isEquivalentTo(before) || printer->resolution() != resolution) {
            m_source->Layout();
            m_page = qBound(0, m_page, m_source->PageCount() - 1);
            applyZoom();
            updatePageControls();
        }
        if (result == QDialog::Accepted)
            m_source->PrintWithDialog(*m_printDialog);
    } catch (const std::exception &error) {
        showError(error);
    }
}

void TFrmCMPrintPreview::showError(const std::exception &error)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(),
        QString::fromUtf8(error.what()), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace qd
