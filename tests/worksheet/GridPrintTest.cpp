// Grid printing to PDF, read back with pdfinfo and pdftotext -bbox: strips of columns, cut
// columns, row numbers across pages, the preview's blocks and the current row; and the preview
// window's paging and zoom.

#include "WorksheetTestSupport.h"

#include "classlib/DataSetModel.h"
#include "oracle/OracleSession.h"
#include "oracle_data/OracleDataSet.h"
#include "worksheet/Preview.h"
#include "worksheet/PrintGrid.h"

#include <QPrinter>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTableView>
#include <QTemporaryDir>

using namespace qd;
using qd::test::WorksheetTest;

namespace {

struct PdfWord {
    int page;
    double x;
    double y;
    QString text;
};

QList<PdfWord> pdfWords(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), pdf, QStringLiteral("-") });
    process.waitForFinished(30000);
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    QList<PdfWord> words;
    int page = -1;
    static const QRegularExpression token(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>)re"));
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            ++page;
            continue;
        }
        words.append({ page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3) });
    }
    return words;
}

int pdfPages(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), { pdf });
    process.waitForFinished(30000);
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    const auto m = QRegularExpression(QStringLiteral(R"(Pages:\s+(\d+))")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class GridPrintTest : public WorksheetTest {
protected:
    void SetUp() override
    {
        WorksheetTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath(QStringLiteral("grid.pdf"));
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        printer->setPageSize(QPageSize(QPageSize::A4));
    }

    // A worksheet showing rows 1..rows of three text columns A, B and C.
    TSQLForm *openRows(int rows)
    {
        TSQLForm *form = open(QStringLiteral("DEMO"),
            QStringLiteral("select n, 'a' || n as a, 'b' || n as b, 'c' || n as c from print_t order by n"));
        qd::test::CreateFreshTable(*form->Session(), QStringLiteral("print_t"), QStringLiteral("n number(6)"));
        qd::test::RunSql(*form->Session(),
            QStringLiteral("begin for i in 1..%1 loop insert into print_t values (i); end loop; end;").arg(rows));
        qd::test::RunSql(*form->Session(), QStringLiteral("commit"));
        form->RunSQL(0, 0);
        EXPECT_TRUE(waitForRun(form));
        return form;
    }

    QTemporaryDir dir;
    QString pdf;
    std::unique_ptr<QPrinter> printer;
};

} // namespace

TEST_F(GridPrintTest, AWideGridPrintsEachBlockOncePerStripLeftToRight)
{
    TSQLForm *form = openRows(150);
    QTableView *grid = form->Grid();
    TGridPrint print(printer.get());
    print.SetDBGrid(grid);
    print.ShowPreview = [](TGridPrint &) { return int(TfmPreview::PrintResult); };
    // Each text column half a page wide: N and A share a strip, then B, then C.
    ASSERT_TRUE(print.BuildPreviewPages());
    const int half = print.PageSize().width() / 2;
    for (int column = 1; column <= 3; ++column)
        grid->setColumnWidth(column, half);
    ASSERT_TRUE(print.Print());
    const QList<TGridPrint::Column> &columns = print.Columns();
    ASSERT_EQ(columns.size(), 5); // row numbers, N, A, B, C
    EXPECT_EQ(columns.at(0).Strip, 0);
    EXPECT_EQ(columns.at(2).Strip, 0);
    EXPECT_EQ(columns.at(3).Strip, 1);
    EXPECT_TRUE(columns.at(3).StartsStrip);
    EXPECT_EQ(columns.at(4).Strip, 2);
    const int strips = 3;
    const int blocks = pdfPages(pdf) / strips;
    ASSERT_EQ(pdfPages(pdf), blocks * strips);
    ASSERT_GE(blocks, 2);

    const QList<PdfWord> words = pdfWords(pdf);
    auto onPage = [&](int page, const QString &text) {
        for (const PdfWord &w : words)
            if (w.page == page && w.text == text)
                return true;
        return false;
    };
    // Block 1: strip 1 has the titles N and A, strip 2 B, strip 3 C; row 1's values on each.
    EXPECT_TRUE(onPage(0, QStringLiteral("A")) && onPage(0, QStringLiteral("a1")));
    EXPECT_FALSE(onPage(0, QStringLiteral("b1")));
    EXPECT_TRUE(onPage(1, QStringLiteral("B")) && onPage(1, QStringLiteral("b1")));
    EXPECT_TRUE(onPage(2, QStringLiteral("C")) && onPage(2, QStringLiteral("c1")));
    // Block 2 starts on page 4 where block 1 ended, and its row numbers run on.
    int lastOfBlock1 = 0;
    for (const PdfWord &w : words)
        if (w.page == 0 && w.text.startsWith(u'a'))
            lastOfBlock1 = std::max(lastOfBlock1, w.text.mid(1).toInt());
    ASSERT_GT(lastOfBlock1, 10);
    const QString next = QString::number(lastOfBlock1 + 1);
    EXPECT_TRUE(onPage(3, QStringLiteral("a") + next));
    EXPECT_TRUE(onPage(3, next)); // the row-number column counts on
    EXPECT_FALSE(onPage(3, QStringLiteral("a1")));
    EXPECT_TRUE(onPage(4, QStringLiteral("b") + next));
}

TEST_F(GridPrintTest, AColumnWiderThanThePageIsCut)
{
    TSQLForm *form = openRows(3);
    TGridPrint print(printer.get());
    print.SetDBGrid(form->Grid());
    print.SetRowNumbers(false);
    ASSERT_TRUE(print.BuildPreviewPages());
    form->Grid()->setColumnWidth(1, print.PageSize().width() * 3);
    ASSERT_TRUE(print.PrintPages());
    const QList<TGridPrint::Column> &columns = print.Columns();
    ASSERT_EQ(columns.size(), 4);
    EXPECT_EQ(columns.at(1).Right - columns.at(1).Left,
        print.PageSize().width() - 2 * TGridPrint::Margin);
    EXPECT_TRUE(columns.at(1).StartsStrip);
    EXPECT_EQ(columns.at(1).Strip, 1);
    EXPECT_EQ(pdfPages(pdf), 3); // N | A (cut) | B and C
}

TEST_F(GridPrintTest, ThePreviewHoldsPreviewPagesBlocksAndPrintingCoversAll)
{
    TSQLForm *form = openRows(400);
    form->Grid()->setCurrentIndex(form->GridModel()->index(2, 0));
    ASSERT_EQ(form->DataSet()->FieldByName(QStringLiteral("N"))->AsString(), QStringLiteral("3"));
    TGridPrint print(printer.get());
    print.SetDBGrid(form->Grid());
    print.SetPreviewPages(2);
    int previewed = 0;
    print.ShowPreview = [&previewed](TGridPrint &p) {
        previewed = p.PagesCount();
        return int(TfmPreview::PrintResult);
    };
    ASSERT_TRUE(print.Print());
    EXPECT_EQ(previewed, 2); // one strip: one page per block
    const int printed = pdfPages(pdf);
    EXPECT_GT(printed, 2);
    const QList<PdfWord> words = pdfWords(pdf);
    bool lastRow = false;
    for (const PdfWord &w : words)
        lastRow |= w.page == printed - 1 && w.text == QStringLiteral("a400");
    EXPECT_TRUE(lastRow);
    // The grid is where it was.
    EXPECT_EQ(form->DataSet()->FieldByName(QStringLiteral("N"))->AsString(), QStringLiteral("3"));
    EXPECT_EQ(form->Grid()->currentIndex().row(), 2);
    print.SetPreviewPages(-4);
    EXPECT_EQ(print.PreviewPages(), 0);
}

TEST_F(GridPrintTest, AGridWithoutRowsIsNotActive)
{
    TSQLForm *form = open();
    TGridPrint print(printer.get());
    print.SetDBGrid(form->Grid());
    EXPECT_FALSE(print.Print());
    EXPECT_EQ(messages, QStringList { QStringLiteral("Grid not active") });
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(GridPrintTest, ThePreviewPagesAndZooms)
{
    TSQLForm *form = openRows(200);
    TGridPrint print(printer.get());
    print.SetDBGrid(form->Grid());
    ASSERT_TRUE(print.BuildPreviewPages());
    ASSERT_GE(print.PagesCount(), 3);
    TfmPreview preview(print.PagesList(), print.PageSize());
    preview.setAttribute(Qt::WA_DeleteOnClose, false);
    preview.show();
    QApplication::processEvents();
    EXPECT_EQ(preview.PageIndex(), 0);
    EXPECT_EQ(preview.Zoom(), 100);
    EXPECT_EQ(preview.Paper()->width(), print.PageSize().width() + 16);
    EXPECT_EQ(preview.RightShadow()->x(), preview.Paper()->geometry().right() + 1);
    EXPECT_EQ(preview.RightShadow()->y(), preview.Paper()->y() + 8);
    preview.MovePage(-1);
    EXPECT_EQ(preview.PageIndex(), 0);
    preview.MovePage(1);
    EXPECT_EQ(preview.PageIndex(), 1);
    preview.ShowPage(1000);
    EXPECT_EQ(preview.PageIndex(), print.PagesCount() - 1);
    for (int i = 0; i < 40; ++i)
        preview.ZoomBy(1);
    EXPECT_EQ(preview.Zoom(), 400);
    for (int i = 0; i < 40; ++i)
        preview.ZoomBy(-1);
    EXPECT_EQ(preview.Zoom(), 20);
    preview.FitWidth();
    EXPECT_EQ(preview.Zoom(),
        (preview.ScrollBox()->viewport()->width() - 16) * 100 / print.PageSize().width());
    preview.FitInWindow();
    EXPECT_LE(preview.Paper()->height(), preview.ScrollBox()->viewport()->height() - 20 + 1);
}

// At its default size the preview shows every button whole, inside the window, with its caption.
TEST_F(GridPrintTest, ThePreviewShowsEveryButtonWholeAtItsDefaultSize)
{
    TSQLForm *form = openRows(20);
    TGridPrint print(printer.get());
    print.SetDBGrid(form->Grid());
    ASSERT_TRUE(print.BuildPreviewPages());
    TfmPreview preview(print.PagesList(), print.PageSize());
    preview.setAttribute(Qt::WA_DeleteOnClose, false);
    preview.show();
    QApplication::processEvents();
    EXPECT_LE(preview.width(), 800);
    const QStringList captions = { QStringLiteral("First Page"), QStringLiteral("Previous Page"),
        QStringLiteral("Next Page"), QStringLiteral("Last Page"), QStringLiteral("Fit in Window"),
        QStringLiteral("Fit Width"), QStringLiteral("Zoom Out"), QStringLiteral("Zoom In"),
        QStringLiteral("Close Preview Window"), QStringLiteral("Print") };
    const QList<QPushButton *> buttons = preview.findChildren<QPushButton *>();
    ASSERT_EQ(buttons.size(), captions.size());
    QStringList seen;
    for (QPushButton *button : buttons) {
        SCOPED_TRACE(button->text().toStdString());
        seen.append(button->text());
        EXPECT_TRUE(button->isVisible());
        EXPECT_GE(button->width(), button->sizeHint().width());
        const QRect inPreview(button->mapTo(&preview, QPoint(0, 0)), button->size());
        EXPECT_TRUE(preview.rect().contains(inPreview));
        EXPECT_FALSE(inPreview.intersects(preview.ScrollBox()->geometry()));
    }
    for (const QString &caption : captions)
        EXPECT_TRUE(seen.contains(caption)) << caption.toStdString();
}
