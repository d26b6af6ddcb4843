// The editor printer printing to PDF files, read back with poppler-utils: pages, header and
// footer, margins, line and paragraph numbers, word wrap, forced breaks, selections, colours.
#include "PdfSupport.h"

#include "classlib/Exception.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoPrinter.h"
#include "editor/SQLHighlighting.h"

#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::test;

namespace {

// Letter paper, 8.5 x 11 inches: 612 x 792 points.
constexpr double PageWidthPt = 612;
constexpr double PageHeightPt = 792;
constexpr double Pt = 72; // points per inch

// "Line001" CR LF "Line002" ... without a break after the last.
QString lines(int count, int first = 1)
{
    QStringList all;
    for (int i = first; i < first + count; ++i)
        all << QStringLiteral("Line%1").arg(i, 3, 10, QLatin1Char('0'));
    return all.join(QStringLiteral("\r\n"));
}

QString words(int count, const QString &stem = QStringLiteral("word"))
{
    QStringList all;
    for (int i = 1; i <= count; ++i)
        all << stem + QString::number(i);
    return all.join(u' ');
}

struct Printing : public ::testing::Test {
    QTemporaryDir dir;
    TCodeMemo memo;
    QPrinter printer { QPrinter::HighResolution };
    TCodeMemoPrinter mp;

    Printing()
    {
        memo.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setOutputFileName(file());
        mp.SetPrinter(&printer);
        mp.SetMemoToPrint(&memo);
        // A quarter inch a line: 9.5 inches between the default margins hold 38 lines.
        mp.SetLineSpacing(0.25);
    }
    QString file() const { return dir.filePath(QStringLiteral("out.pdf")); }
    std::vector<PdfPage> print()
    {
        mp.Print();
        return pdfPages(file());
    }
    static double lineTop(int row) { return 0.75 * Pt + row * 0.25 * Pt; }
};

} // namespace

TEST_F(Printing, PageCountFollowsTheLinesAndTheForcedBreaks)
{
    const QString pb(QChar(16));
    const struct {
        const char *name;
        QString text;
        int pages;
        const char *firstOnLastPage;
    } cases[] = {
        { "one line", lines(1), 1, "Line001" },
        { "a page filled exactly", lines(38), 1, "Line001" },
        { "two pages filled exactly", lines(76), 2, "Line039" },
        { "one line more", lines(77), 3, "Line077" },
        { "a line break after a full page", lines(38) + QStringLiteral("\r\n"), 1, "Line001" },
        { "a break in the middle of a page",
            lines(10) + QStringLiteral("\r\n") + pb + QStringLiteral("after"), 2, "after" },
        { "a break standing at the top of a page",
            lines(38) + QStringLiteral("\r\n") + pb + QStringLiteral("after"), 2, "after" },
        { "a break on the last line of a page",
            lines(37) + QStringLiteral("\r\n") + pb + QStringLiteral("after\r\n") + lines(2, 50), 2,
            "after" },
        { "a break on the first line", pb + QStringLiteral("first\r\n") + lines(2), 1, "first" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        memo.SetTextBuf(c.text);
        mp.Print();
        EXPECT_EQ(mp.PageCount(), c.pages);
        EXPECT_EQ(pdfPageCount(file()), c.pages);
        const std::vector<PdfPage> pages = pdfPages(file());
        ASSERT_EQ(int(pages.size()), c.pages);
        // The last page starts with the expected line, in the first row.
        const auto rows = pages.back().lines();
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.front().front().Text, QLatin1String(c.firstOnLastPage));
        EXPECT_NEAR(rows.front().front().YMin, lineTop(0), 1.5);
    }
}

TEST_F(Printing, ABreakOnTheLastLineOfAPageAddsNoBlankLinesBeyondIt)
{
    memo.SetTextBuf(lines(37) + QStringLiteral("\r\n") + QChar(16) + QStringLiteral("after\r\n")
        + lines(2, 50));
    const auto pages = print();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].lines().size(), 37u);
    const auto second = pages[1].lines();
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(second[1].front().Text, QStringLiteral("Line050"));
    EXPECT_NEAR(second[1].front().YMin, lineTop(1), 1.5);
}

TEST_F(Printing, LinesPerPageFollowTheMarginsAndTheLineSpacing)
{
    memo.SetTextBuf(lines(100));
    auto pages = print();
    ASSERT_EQ(pages.size(), 3u);
    auto rows = pages[0].lines();
    ASSERT_EQ(rows.size(), 38u);
    for (size_t r = 0; r < rows.size(); ++r)
        EXPECT_NEAR(rows[r].front().YMin, lineTop(int(r)), 1.5) << r;
    EXPECT_EQ(pages[1].lines().front().front().Text, QStringLiteral("Line039"));

    // Half an inch less at the bottom: two more lines.
    mp.SetMarginBottom(0.25);
    pages = print();
    EXPECT_EQ(pages[0].lines().size(), 40u);

    // Negative spacing: a multiple of the printed line height.
    mp.SetLineSpacing(-1);
    pages = print();
    const double single = pages[0].lines()[1].front().YMin - pages[0].lines()[0].front().YMin;
    mp.SetLineSpacing(-2);
    pages = print();
    const double twice = pages[0].lines()[1].front().YMin - pages[0].lines()[0].front().YMin;
    EXPECT_GT(single, 8.0);
    EXPECT_NEAR(twice, 2 * single, 0.2);
}

TEST_F(Printing, MarginsSoLargeThatNoLineFitsStillPrintOneLineAPage)
{
    memo.SetTextBuf(lines(3));
    mp.SetMarginTop(5.5);
    mp.SetMarginBottom(5.4);
    const auto pages = print();
    EXPECT_EQ(mp.LinesPerPage(), 1);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[2].text(), QStringLiteral("Line003"));
}

TEST_F(Printing, TheFirstPageMarkOfTheHeaderBecomesThePageNumber)
{
    memo.SetTextBuf(lines(100));
    mp.SetHeader(QStringLiteral("Page {p} of {p}"));
    mp.SetFooter(QStringLiteral("- {p} -"));
    auto pages = print();
    ASSERT_EQ(pages.size(), 3u);
    const auto headerOf = [](const PdfPage &page) { return page.lines().front(); };
    QStringList header;
    for (const PdfWord &w : headerOf(pages[2]))
        header << w.Text;
    EXPECT_EQ(header.join(u' '), QStringLiteral("Page 3 of {p}"));
    EXPECT_EQ(pages[2].lines().back()[1].Text, QStringLiteral("3"));

    mp.SetStartingPageNumber(5);
    pages = print();
    EXPECT_EQ(headerOf(pages[2])[1].Text, QStringLiteral("7"));
    EXPECT_EQ(headerOf(pages[0])[1].Text, QStringLiteral("5"));
}

TEST_F(Printing, HeaderAndFooterStandInTheirAreasWithTheirAlignment)
{
    memo.SetTextBuf(lines(2));
    mp.SetHeader(QStringLiteral("Head"));
    mp.SetFooter(QStringLiteral("Foot"));
    const double left = 0.75 * Pt;
    const double right = PageWidthPt - 0.5 * Pt;
    const struct {
        THeaderAlign align;
        const char *name;
    } cases[] = { { haLeft, "left" }, { haRight, "right" }, { haCenter, "centred" } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        mp.SetHeaderAlign(c.align);
        mp.SetFooterAlign(c.align);
        const auto pages = print();
        ASSERT_EQ(pages.size(), 1u);
        for (const char *text : { "Head", "Foot" }) {
            const PdfWord *w = pages[0].find(QLatin1String(text));
            ASSERT_NE(w, nullptr) << text;
            if (c.align == haLeft)
                EXPECT_NEAR(w->XMin, left, 1.0) << text;
            else if (c.align == haRight)
                EXPECT_NEAR(w->XMax, right, 1.0) << text;
            else
                EXPECT_NEAR((w->XMin + w->XMax) / 2, (left + right) / 2, 1.0) << text;
        }
        // Header from 0.4 inch below the top edge, footer 0.4 inch above the bottom edge.
        EXPECT_NEAR(pages[0].find(QStringLiteral("Head"))->YMin, 0.4 * Pt, 2.0);
        EXPECT_NEAR(pages[0].find(QStringLiteral("Foot"))->YMin, PageHeightPt - 0.4 * Pt, 2.0);
    }
}

TEST_F(Printing, TextStartsAtTheLeftMargin)
{
    memo.SetTextBuf(lines(3));
    for (double margin : { 0.75, 0.25, 1.5, 3.0 }) {
        mp.SetMarginLeft(margin);
        const auto pages = print();
        for (const auto &row : pages[0].lines())
            EXPECT_NEAR(row.front().XMin, margin * Pt, 0.5) << margin;
    }
}

TEST_F(Printing, WrappedTextStaysInsideTheRightMargin)
{
    memo.SetTextBuf(words(60));
    for (double margin : { 0.5, 2.0 }) {
        mp.SetMarginRight(margin);
        const auto pages = print();
        const auto rows = pages[0].lines();
        ASSERT_GT(rows.size(), 2u);
        const double limit = PageWidthPt - margin * Pt;
        for (size_t r = 0; r < rows.size(); ++r) {
            EXPECT_LE(rows[r].back().XMax, limit + 0.5) << margin;
            // Lines are filled: the next line's first word would not have fitted.
            if (r + 1 < rows.size()) {
                const PdfWord &next = rows[r + 1].front();
                const double space = (rows[r][1].XMin - rows[r][0].XMax);
                EXPECT_GT(rows[r].back().XMax + space + (next.XMax - next.XMin), limit) << margin;
            }
        }
    }
    // Without word wrap the paragraph is one line, cut by the sheet.
    mp.SetWordWrap(false);
    EXPECT_EQ(print()[0].lines().size(), 1u);
}

TEST_F(Printing, LineNumbersEndWhereTheTextStarts)
{
    memo.SetTextBuf(lines(12));
    mp.SetLineNumbers(true);
    const auto pages = print();
    const auto rows = pages[0].lines();
    ASSERT_EQ(rows.size(), 12u);
    const PdfWord &text = rows[0][1];
    const double charWidth = (text.XMax - text.XMin) / 7;
    for (size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), 2u);
        EXPECT_EQ(rows[r][0].Text, QString::number(r + 1) + u':');
        // "N: " ends where the text begins.
        EXPECT_NEAR(rows[r][0].XMax + charWidth, rows[r][1].XMin, 0.3) << r;
        EXPECT_NEAR(rows[r][1].XMin, 0.75 * Pt, 0.5) << r;
    }
}

TEST_F(Printing, ParagraphNumbersStandOnTheFirstLineOfEachParagraphOnly)
{
    memo.SetTextBuf(
        words(40) + QStringLiteral("\r\nsecond\r\n") + words(3, QStringLiteral("third")));
    mp.SetParagraphNumbers(true);
    const auto pages = print();
    const auto rows = pages[0].lines();
    ASSERT_GT(rows.size(), 3u);
    QStringList numbered;
    for (const auto &row : rows)
        if (row.front().Text.endsWith(u':'))
            numbered << row.front().Text + row[1].Text;
    EXPECT_EQ(numbered,
        (QStringList {
            QStringLiteral("1:word1"), QStringLiteral("2:second"), QStringLiteral("3:third1") }));
    // The wrapped lines of the first paragraph start at the margin without a number.
    EXPECT_EQ(rows[1].front().Text.left(4), QStringLiteral("word"));
}

TEST_F(Printing, ASelectionPrintsFromItsStartToItsEnd)
{
    memo.SetTextBuf(QStringLiteral("alpha beta gamma\r\ndelta epsilon zeta"));
    const qint64 from = 6; // "beta"
    const qint64 to = memo.ParagraphStart(1) + 9; // "delta eps"
    memo.SetSelStart(from);
    memo.SetSelLength(to - from);
    mp.PrintSelection();
    EXPECT_FALSE(mp.HasLayout()); // the selection's copy serves one print only
    const auto pages = pdfPages(file());
    ASSERT_EQ(pages.size(), 1u);
    const auto rows = pages[0].lines();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].front().Text, QStringLiteral("beta"));
    EXPECT_NEAR(rows[0].front().XMin, 0.75 * Pt, 0.5);
    EXPECT_EQ(pages[0].text(), QStringLiteral("beta gamma delta eps"));

    // A later whole print is not limited to the selection.
    EXPECT_EQ(print()[0].text(), QStringLiteral("alpha beta gamma delta epsilon zeta"));
}

TEST_F(Printing, ASelectionKeepsTheStylesSwitchedOnBeforeIt)
{
    // Bold from the paragraph's start; the selection starts after the code.
    memo.SetTextBuf(QStringLiteral("\x02") + QStringLiteral("bold words here"));
    memo.SetSelStart(6);
    memo.SetSelLength(5);
    mp.PrintSelection();
    const QString fonts = runTool(QStringLiteral("pdffonts"), { file() });
    EXPECT_TRUE(fonts.contains(QStringLiteral("Bold"))) << qPrintable(fonts);
    EXPECT_EQ(pdfPages(file())[0].text(), QStringLiteral("words"));
}

TEST_F(Printing, AlignmentAndJustificationUseThePrintableWidth)
{
    const double right = PageWidthPt - 0.5 * Pt;
    memo.SetTextBuf(lines(2));
    memo.SetAlignment(taRightJustify);
    auto pages = print();
    for (const auto &row : pages[0].lines())
        EXPECT_NEAR(row.back().XMax, right, 0.5);

    memo.SetAlignment(taLeftJustify);
    memo.SetJustified(true);
    memo.SetTextBuf(words(40));
    pages = print();
    const auto rows = pages[0].lines();
    ASSERT_GT(rows.size(), 1u);
    for (size_t r = 0; r + 1 < rows.size(); ++r) {
        EXPECT_NEAR(rows[r].front().XMin, 0.75 * Pt, 0.5);
        EXPECT_NEAR(rows[r].back().XMax, right, 0.5) << r;
    }
    // The paragraph's last line keeps its natural width.
    EXPECT_LT(rows.back().back().XMax, right - 20);
}

TEST_F(Printing, ColoursPrintUnlessPlainTextIsAsked)
{
    TSQLHighlighting sql;
    sql.AddKeywords(BuiltInSQLKeywords());
    sql.AttachTo(memo);
    memo.SetTextBuf(QStringLiteral("select ename from emp\r\nwhere a paragraph of its own colour"));
    memo.SetParagraphTextColor(1, 0x0000FF); // red
    const auto count = [](const QImage &img, auto pick) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += pick(QColor(img.pixel(x, y))) ? 1 : 0;
        return n;
    };
    const auto blue
        = [](const QColor &c) { return c.blue() > 150 && c.red() < 100 && c.green() < 100; };
    const auto red
        = [](const QColor &c) { return c.red() > 150 && c.blue() < 100 && c.green() < 100; };
    const auto dark
        = [](const QColor &c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; };

    mp.Print();
    QImage page = pdfPageImage(file(), 1, 100);
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(count(page, blue), 20); // the keywords
    EXPECT_GT(count(page, red), 20); // the coloured paragraph
    EXPECT_GT(count(page, dark), 20); // the rest

    mp.SetPlainText(true);
    mp.Print();
    page = pdfPageImage(file(), 1, 100);
    EXPECT_EQ(count(page, blue), 0);
    EXPECT_EQ(count(page, red), 0);
    EXPECT_GT(count(page, dark), 60);
    EXPECT_EQ(pdfPages(file())[0].text(),
        QStringLiteral("select ename from emp where a paragraph of its own colour"));
}

TEST_F(Printing, ProgressReportsEachPageAndCancelStopsBeforeTheNext)
{
    memo.SetTextBuf(lines(100));
    std::vector<int> seen;
    mp.OnProgress = [&](TCodeMemoPrinter *sender) {
        seen.push_back(sender->CurrentPage());
        if (sender->CurrentPage() == 1)
            sender->Cancel();
    };
    mp.Print();
    EXPECT_EQ(seen, (std::vector<int> { 0, 1, -1 }));
    EXPECT_EQ(pdfPageCount(file()), 1);
    EXPECT_EQ(mp.CurrentPage(), -1);

    seen.clear();
    mp.OnProgress = [&](TCodeMemoPrinter *sender) { seen.push_back(sender->CurrentPage()); };
    mp.Print();
    EXPECT_EQ(seen, (std::vector<int> { 0, 1, 2, -1 }));
    EXPECT_EQ(pdfPageCount(file()), 3);
}

TEST_F(Printing, ThePrintDialogChoosesPagesOrTheSelection)
{
    memo.SetTextBuf(lines(100));
    QPrintDialog dialog(&printer);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setOption(QAbstractPrintDialog::PrintSelection);
    dialog.setMinMax(1, 3);
    dialog.setPrintRange(QAbstractPrintDialog::PageRange);
    dialog.setFromTo(2, 3);
    mp.PrintWithDialog(dialog);
    auto pages = pdfPages(file());
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].lines().front().front().Text, QStringLiteral("Line039"));
    EXPECT_EQ(pages[1].lines().front().front().Text, QStringLiteral("Line077"));

    memo.SetSelStart(memo.ParagraphStart(4));
    memo.SetSelLength(7);
    dialog.setPrintRange(QAbstractPrintDialog::Selection);
    mp.PrintWithDialog(dialog);
    EXPECT_EQ(pdfPages(file())[0].text(), QStringLiteral("Line005"));

    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    mp.PrintWithDialog(dialog);
    EXPECT_EQ(pdfPageCount(file()), 3);
}

TEST_F(Printing, WhatCannotBePrintedFailsClearlyAndWritesNothing)
{
    memo.SetTextBuf(lines(3));
    const auto fails = [&](const std::function<void()> &run, const QString &message) {
        QFile::remove(file());
        try {
            run();
            ADD_FAILURE() << "no error for " << qPrintable(message);
        } catch (const Exception &e) {
            EXPECT_TRUE(e.Message().contains(message)) << qPrintable(e.Message());
        }
        EXPECT_FALSE(QFile::exists(file())) << qPrintable(message);
    };
    fails([&] { mp.PrintPages(3, 4); }, QStringLiteral("no page 4"));
    fails([&] { mp.PrintSelection(); }, QStringLiteral("no selected text"));
    QPrinter nowhere(QPrinter::HighResolution);
    nowhere.setOutputFormat(QPrinter::PdfFormat);
    nowhere.setOutputFileName(dir.filePath(QStringLiteral("missing/dir/out.pdf")));
    mp.SetPrinter(&nowhere);
    fails([&] { mp.Print(); }, QStringLiteral("missing/dir/out.pdf"));
    mp.SetPrinter(&printer);
    mp.SetMemoToPrint(nullptr);
    fails([&] { mp.Print(); }, QStringLiteral("no editor"));
}

TEST_F(Printing, TheLayoutFollowsTheEditor)
{
    memo.SetTextBuf(lines(3));
    print();
    EXPECT_TRUE(mp.HasLayout());
    memo.SetSelStart(0);
    memo.SetSelText(QStringLiteral("changed "));
    EXPECT_FALSE(mp.HasLayout());
    EXPECT_EQ(print()[0].lines().front().front().Text, QStringLiteral("changed"));

    // An editor that goes away leaves nothing behind.
    auto *other = new TCodeMemo;
    other->SetTextBuf(QStringLiteral("short lived"));
    mp.SetMemoToPrint(other);
    print();
    delete other;
    EXPECT_FALSE(mp.HasLayout());
    EXPECT_EQ(mp.MemoToPrint(), nullptr);
}
