// The print preview window driven offscreen: page label and arrows, zoom, margins shown and
// dragged, the line-number switch, printing from it, and its picture.
#include "PdfSupport.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoPrinter.h"
#include "editor/PrintPreview.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

QString lines(int count)
{
    QStringList all;
    for (int i = 1; i <= count; ++i)
        all << QStringLiteral(
            "Line%1 of the previewed text, long enough to wrap when the margins close in")
                   .arg(i, 3, 10, QLatin1Char('0'));
    return all.join(QStringLiteral("\r\n"));
}

struct Preview : public ::testing::Test {
    QTemporaryDir dir;
    TCodeMemo memo;
    QPrinter printer { QPrinter::HighResolution };
    TCodeMemoPrinter mp;
    std::unique_ptr<TFrmCMPrintPreview> form;

    Preview()
    {
        memo.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
        mp.SetPrinter(&printer);
        mp.SetMemoToPrint(&memo);
        mp.SetLineSpacing(0.25); // 38 lines a page
    }
    TFrmCMPrintPreview &open(const QString &text)
    {
        memo.SetTextBuf(text);
        form = std::make_unique<TFrmCMPrintPreview>(&mp);
        form->show();
        QApplication::processEvents();
        return *form;
    }
    template <typename T> T *child(const char *name) const
    {
        T *w = form->findChild<T *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString label() const { return child<QLabel>("lblPage")->text(); }
    bool next() const { return child<QToolButton>("btnNext")->isEnabled(); }
    bool previous() const { return child<QToolButton>("btnPrevious")->isEnabled(); }
    void zoom(const QString &item)
    {
        QComboBox *box = child<QComboBox>("cbZoom");
        box->setCurrentIndex(box->findText(item));
        QApplication::processEvents();
    }
    // The pointer over the sheet, delivered at once.
    static void moveTo(QWidget *box, const QPoint &point, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent move(
            QEvent::MouseMove, point, box->mapToGlobal(point), Qt::NoButton, buttons, {});
        QApplication::sendEvent(box, &move);
    }
    QSize viewport() const { return child<QScrollArea>("sbPreview")->viewport()->size(); }
    QImage sheet() const
    {
        return form->PaintBox()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

} // namespace

TEST_F(Preview, TheLabelAndTheArrowsFollowThePage)
{
    open(lines(100));
    EXPECT_EQ(form->windowTitle(), QString());
    EXPECT_EQ(label(), QStringLiteral("Page 1/3"));
    EXPECT_FALSE(previous());
    EXPECT_TRUE(next());

    QTest::mouseClick(child<QToolButton>("btnNext"), Qt::LeftButton);
    EXPECT_EQ(label(), QStringLiteral("Page 2/3"));
    EXPECT_TRUE(previous());
    EXPECT_TRUE(next());
    QTest::mouseClick(child<QToolButton>("btnNext"), Qt::LeftButton);
    EXPECT_EQ(label(), QStringLiteral("Page 3/3"));
    EXPECT_EQ(form->Page(), 2);
    EXPECT_TRUE(previous());
    EXPECT_FALSE(next());
    form->GoToPage(7); // limited to the last page
    EXPECT_EQ(form->Page(), 2);
    QTest::mouseClick(child<QToolButton>("btnPrevious"), Qt::LeftButton);
    EXPECT_EQ(label(), QStringLiteral("Page 2/3"));
}

TEST_F(Preview, AOnePageTextLeavesBothArrowsDisabled)
{
    open(lines(5));
    EXPECT_EQ(label(), QStringLiteral("Page 1/1"));
    EXPECT_FALSE(previous());
    EXPECT_FALSE(next());
}

TEST_F(Preview, ZoomSizesTheSheetByTheScreenAndPrinterResolutions)
{
    open(lines(5));
    const QSize page = mp.PageSize();
    ASSERT_EQ(page, QSize(8.5 * 1200, 11 * 1200));
    const double base = double(form->logicalDpiY()) / 1200.0;
    EXPECT_EQ(child<QComboBox>("cbZoom")->currentText(), QStringLiteral("100%"));
    const struct {
        const char *item;
        double factor;
    } cases[] = { { "500%", 5 }, { "200%", 2 }, { "150%", 1.5 }, { "100%", 1 }, { "75%", 0.75 },
        { "50%", 0.5 } };
    for (const auto &c : cases) {
        zoom(QLatin1String(c.item));
        EXPECT_DOUBLE_EQ(form->ZoomFactor(), base * c.factor) << c.item;
        EXPECT_NEAR(form->PaintBox()->width(), page.width() * base * c.factor, 1) << c.item;
        EXPECT_NEAR(form->PaintBox()->height(), page.height() * base * c.factor, 1) << c.item;
    }
    // Narrower than the scroll box: centred; wider: 10 pixels from the left.
    zoom(QStringLiteral("50%"));
    EXPECT_NEAR(form->PaintBox()->x(), (viewport().width() - form->PaintBox()->width()) / 2, 1);
    zoom(QStringLiteral("200%"));
    EXPECT_EQ(form->PaintBox()->pos(), QPoint(10, 10));

    zoom(QStringLiteral("Page width"));
    EXPECT_NEAR(form->PaintBox()->width(), viewport().width() - 20, 1);
}

TEST_F(Preview, WholePageInAWideLowWindowFitsItsHeight)
{
    open(lines(5));
    form->resize(1200, 300);
    QApplication::processEvents();
    zoom(QStringLiteral("Whole page"));
    EXPECT_NEAR(form->PaintBox()->height(), viewport().height() - 20, 1);
    EXPECT_LT(form->PaintBox()->width(), viewport().width() - 20);
    // The fitting zoom follows the window.
    form->resize(1200, 500);
    QApplication::processEvents();
    EXPECT_NEAR(form->PaintBox()->height(), viewport().height() - 20, 1);
}

TEST_F(Preview, ThePageIsDrawnWithMarginsShownOnRequest)
{
    open(lines(5));
    zoom(QStringLiteral("100%"));
    const QImage plain = sheet();
    const auto inkIn = [](const QImage &img, const QRect &r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += QColor(img.pixel(x, y)).lightness() < 128 ? 1 : 0;
        return n;
    };
    const int left = form->MarginPosition(TFrmCMPrintPreview::mlLeft);
    const int top = form->MarginPosition(TFrmCMPrintPreview::mlTop);
    // Text right of the left margin and below the top one; nothing left of it.
    EXPECT_GT(inkIn(plain, QRect(left, top, 200, 30)), 50);
    EXPECT_EQ(inkIn(plain, QRect(0, 0, left - 2, plain.height())), 0);

    child<QPushButton>("btnMargins")->click();
    QApplication::processEvents();
    const QImage lined = sheet();
    // The four lines cross the whole sheet.
    EXPECT_EQ(inkIn(lined, QRect(left, 0, 1, top - 2)), top - 2);
    const int bottom = form->MarginPosition(TFrmCMPrintPreview::mlBottom);
    EXPECT_EQ(inkIn(lined, QRect(0, bottom, left - 2, 1)), left - 2);
    const int right = form->MarginPosition(TFrmCMPrintPreview::mlRight);
    EXPECT_EQ(right, lined.width() - qRound(0.5 * 1200 * form->ZoomFactor()));
}

TEST_F(Preview, DraggingAMarginStopsBeforeTheOppositeOneAndLaysThePagesOutAgain)
{
    open(lines(40));
    ASSERT_EQ(mp.PageCount(), 2);
    QWidget *box = form->PaintBox();
    const int left = form->MarginPosition(TFrmCMPrintPreview::mlLeft);
    const int right = form->MarginPosition(TFrmCMPrintPreview::mlRight);
    const int y = box->height() / 2;

    // Without the margins shown nothing is caught.
    moveTo(box, QPoint(left, y));
    EXPECT_EQ(box->cursor().shape(), Qt::ArrowCursor);
    child<QPushButton>("btnMargins")->click();
    moveTo(box, QPoint(left + 2, y));
    EXPECT_EQ(box->cursor().shape(), Qt::SplitHCursor);
    moveTo(box, QPoint(left + 40, form->MarginPosition(TFrmCMPrintPreview::mlTop) - 1));
    EXPECT_EQ(box->cursor().shape(), Qt::SplitVCursor);
    moveTo(box, QPoint(left + 40, y));
    EXPECT_EQ(box->cursor().shape(), Qt::ArrowCursor);

    // Drag the left line far past the right one.
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(left + 1, y));
    moveTo(box, QPoint(box->width() - 1, y), Qt::LeftButton);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(box->width() - 1, y));
    QApplication::processEvents();
    const double perInch = 1200 * form->ZoomFactor();
    EXPECT_NEAR(mp.MarginLeft(), (right - 10) / perInch, 1e-9);
    EXPECT_EQ(form->MarginPosition(TFrmCMPrintPreview::mlLeft), right - 10);
    EXPECT_EQ(form->MarginPosition(TFrmCMPrintPreview::mlRight), right);
    // So narrow a column wraps every line into many: far more pages, and the label says so.
    EXPECT_GT(mp.PageCount(), 10);
    EXPECT_EQ(child<QLabel>("lblPage")->text(), QStringLiteral("Page 1/%1").arg(mp.PageCount()));

    // The bottom margin dragged up the sheet stops short of the top one.
    const int top = form->MarginPosition(TFrmCMPrintPreview::mlTop);
    const int bottom = form->MarginPosition(TFrmCMPrintPreview::mlBottom);
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(20, bottom));
    moveTo(box, QPoint(20, 0), Qt::LeftButton);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(20, 0));
    EXPECT_EQ(form->MarginPosition(TFrmCMPrintPreview::mlBottom), top + 10);
    EXPECT_EQ(mp.LinesPerPage(), 1);
}

TEST_F(Preview, TheLineNumberSwitchSetsThePrinters)
{
    open(lines(5));
    EXPECT_FALSE(child<QToolButton>("btnLineNumbers")->isChecked());
    QTest::mouseClick(child<QToolButton>("btnLineNumbers"), Qt::LeftButton);
    EXPECT_TRUE(mp.LineNumbers());
    QTest::mouseClick(child<QToolButton>("btnLineNumbers"), Qt::LeftButton);
    EXPECT_FALSE(mp.LineNumbers());

    // Opened on a printer that prints numbers, the switch shows it.
    mp.SetLineNumbers(true);
    open(lines(5));
    EXPECT_TRUE(child<QToolButton>("btnLineNumbers")->isChecked());
}

TEST_F(Preview, PrintWritesTheWholeText)
{
    open(lines(100));
    child<QPushButton>("btnPrint")->click();
    EXPECT_EQ(pdfPageCount(printer.outputFileName()), 3);
}

TEST_F(Preview, SetupLaysTheTextOutAgainForAnotherPaper)
{
    open(lines(100));
    zoom(QStringLiteral("50%"));
    const int width = form->PaintBox()->width();
    // The dialog changes the paper and is cancelled: nothing is printed, the pages follow.
    QTimer::singleShot(0, [&] {
        auto *dialog = form->findChild<QPrintDialog *>(QStringLiteral("PrintDialog"));
        ASSERT_NE(dialog, nullptr);
        dialog->printer()->setPageSize(QPageSize(QPageSize::A5));
        dialog->reject();
    });
    child<QPushButton>("btnSetup")->click();
    EXPECT_LT(form->PaintBox()->width(), width);
    EXPECT_EQ(mp.PageSize().width(), qRound(printer.paperRect(QPrinter::DevicePixel).width()));
    EXPECT_LT(mp.PageSize().width(), 7100);
    EXPECT_GT(mp.PageCount(), 3);
    EXPECT_EQ(label(), QStringLiteral("Page 1/%1").arg(mp.PageCount()));
    EXPECT_FALSE(QFile::exists(printer.outputFileName()));
}

TEST_F(Preview, PreviewShowsTheWindowWithItsTitle)
{
    memo.SetTextBuf(lines(3));
    mp.SetPreviewTitle(QStringLiteral("Script preview"));
    QString title;
    bool modal = false;
    mp.OnPreview = [&](TFrmCMPrintPreview *preview) {
        title = preview->windowTitle();
        EXPECT_EQ(preview->parent(), nullptr);
        QTimer::singleShot(0, preview, [&, preview] {
            modal = preview->isModal() && preview->isVisible();
            preview->reject();
        });
    };
    mp.Preview();
    EXPECT_EQ(title, QStringLiteral("Script preview"));
    EXPECT_TRUE(modal);
}
