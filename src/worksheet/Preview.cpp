#include "worksheet/Preview.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace qd {

namespace {

constexpr int kPaperBorder = 8;  // white around the page, each side
constexpr int kShadow = 8;
constexpr int kMinZoom = 20;
constexpr int kMaxZoom = 400;
constexpr int kZoomStep = 10;

} // namespace

// The white paper with the page stretched inside it.
class TfmPreview::PaperWidget : public QWidget {
public:
    using QWidget::QWidget;
    const QPicture *page = nullptr;
    QSize pageSize;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!page || pageSize.isEmpty())
            return;
        const QRect inner = rect().adjusted(kPaperBorder, kPaperBorder, -kPaperBorder, -kPaperBorder);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipRect(inner);
        painter.translate(inner.topLeft());
        painter.scale(double(inner.width()) / pageSize.width(), double(inner.height()) / pageSize.height());
        painter.drawPicture(0, 0, *page);
    }
};

TfmPreview::TfmPreview(const QList<QPicture> &pages, QSize pageSize, QWidget *parent)
    : QDialog(parent)
    , m_pages(pages)
    , m_pageSize(pageSize)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("fmPreview"));
    setWindowTitle(QStringLiteral("Print preview"));
    auto *layout = new QVBoxLayout(this);
    // Two rows of buttons, so that every caption shows whole at the default size: paging with
    // the two closing buttons at its right end, then the zoom buttons.
    auto *pageRow = new QHBoxLayout;
    auto *zoomRow = new QHBoxLayout;
    auto button = [this](QHBoxLayout *row, const char *name, const char *caption, auto &&slot) {
        auto *b = new QPushButton(QLatin1String(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        row->addWidget(b);
    };
    button(pageRow, "btnFirst", "First Page", [this] { ShowPage(0); });
    button(pageRow, "btnPrevious", "Previous Page", [this] { MovePage(-1); });
    button(pageRow, "btnNext", "Next Page", [this] { MovePage(1); });
    button(pageRow, "btnLast", "Last Page", [this] { ShowPage(int(m_pages.size()) - 1); });
    pageRow->addStretch();
    button(pageRow, "btnPrint", "Print", [this] { done(PrintResult); });
    button(pageRow, "btnClose", "Close Preview Window", [this] { done(CloseResult); });
    button(zoomRow, "btnFitWindow", "Fit in Window", [this] { FitInWindow(); });
    button(zoomRow, "btnFitWidth", "Fit Width", [this] { FitWidth(); });
    button(zoomRow, "btnZoomOut", "Zoom Out", [this] { ZoomBy(-1); });
    button(zoomRow, "btnZoomIn", "Zoom In", [this] { ZoomBy(1); });
    zoomRow->addStretch();
    layout->addLayout(pageRow);
    layout->addLayout(zoomRow);

    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName(QStringLiteral("ScrollBox"));
    m_scrollBox->setBackgroundRole(QPalette::Dark);
    QPalette grey = m_scrollBox->palette();
    grey.setColor(QPalette::Dark, Qt::gray);
    m_scrollBox->setPalette(grey);
    m_scrollBox->setWidgetResizable(false);
    m_canvas = new QWidget;
    m_canvas->setAutoFillBackground(false);
    m_shadowRight = new QFrame(m_canvas);
    m_shadowBottom = new QFrame(m_canvas);
    for (QFrame *shadow : { m_shadowRight, m_shadowBottom }) {
        shadow->setAutoFillBackground(true);
        QPalette p = shadow->palette();
        p.setColor(QPalette::Window, Qt::black);
        shadow->setPalette(p);
    }
    m_paper = new PaperWidget(m_canvas);
    m_paper->setObjectName(QStringLiteral("Paper"));
    m_paper->pageSize = m_pageSize;
    m_scrollBox->setWidget(m_canvas);
    layout->addWidget(m_scrollBox, 1);
    resize(QSize(800, 600).expandedTo(minimumSizeHint()));
    // The form starts at 100 percent without a page; the first page is then shown.
    m_zoom = 0;
    ShowPage(0);
    ApplyZoom(100);
}

QWidget *TfmPreview::Paper() const
{
    return m_paper;
}

void TfmPreview::ShowPage(int index)
{
    if (m_pages.isEmpty())
        return;
    index = std::clamp(index, 0, int(m_pages.size()) - 1);
    if (index == m_pageIndex)
        return;
    m_pageIndex = index;
    m_paper->page = &m_pages.at(index);
    m_paper->update();
}

void TfmPreview::MovePage(int tag)
{
    ShowPage(m_pageIndex + tag);
}

void TfmPreview::ApplyZoom(int zoom)
{
    if (zoom == m_zoom || m_pageIndex < 0 || m_pageSize.isEmpty())
        return;
    m_zoom = zoom;
    const int paperWidth = m_pageSize.width() * zoom / 100 + 2 * kPaperBorder;
    const int paperHeight = m_pageSize.height() * zoom / 100 + 2 * kPaperBorder;
    m_scrollBox->horizontalScrollBar()->setValue(0);
    m_scrollBox->verticalScrollBar()->setValue(0);
    const QSize client = m_scrollBox->viewport()->size();
    // Centred where it fits, else at the origin.
    const int left = paperWidth + kShadow < client.width() ? (client.width() - paperWidth) / 2 : 0;
    const int top = paperHeight + kShadow < client.height() ? (client.height() - paperHeight) / 2 : 0;
    m_paper->setGeometry(left, top, paperWidth, paperHeight);
    m_shadowRight->setGeometry(left + paperWidth, top + kShadow, kShadow, paperHeight);
    m_shadowBottom->setGeometry(left + kShadow, top + paperHeight, paperWidth, kShadow);
    m_canvas->resize(std::max(client.width(), left + paperWidth + kShadow),
        std::max(client.height(), top + paperHeight + kShadow));
    m_paper->update();
}

void TfmPreview::ZoomBy(int tag)
{
    ApplyZoom(std::clamp(m_zoom + tag * kZoomStep, kMinZoom, kMaxZoom));
}

void TfmPreview::FitInWindow()
{
    if (m_pageSize.isEmpty())
        return;
    const QSize client = m_scrollBox->viewport()->size();
    const QSize room(client.width() - 10, client.height() - 20);
    const QSize paper(m_pageSize.width() + 2 * kPaperBorder, m_pageSize.height() + 2 * kPaperBorder);
    const QSize fitted = paper.scaled(room, Qt::KeepAspectRatio);
    ApplyZoom(std::max(1, (fitted.width() - 2 * kPaperBorder) * 100 / m_pageSize.width()));
}

void TfmPreview::FitWidth()
{
    if (m_pageSize.isEmpty())
        return;
    const int client = m_scrollBox->viewport()->width();
    ApplyZoom(std::max(1, (client - 2 * kPaperBorder) * 100 / m_pageSize.width()));
}

void TfmPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The current zoom again, for the new client area.
    const int zoom = m_zoom;
    m_zoom = 0;
    ApplyZoom(zoom);
}

} // namespace qd
