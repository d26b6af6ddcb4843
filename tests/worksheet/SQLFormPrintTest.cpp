// Printing the worksheet's editor from its File menu, through the print dialog, to a PDF file.
#include "WorksheetTestSupport.h"

#include "editor/CodeMemoPrinter.h"
#include "editor/PdfSupport.h"
#include "worksheet/EditorPane.h"

#include <QAction>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>

using namespace qd;
using qd::test::WorksheetTest;

namespace {

// Answers the next print dialog: accepts it (or cancels) and tells what it offered.
struct DialogAnswer {
    bool accept = true;
    bool seen = false;
    bool selectionOffered = false;
    int maxPage = 0;
    void arm()
    {
        QTimer::singleShot(0, [this] {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            selectionOffered = dialog->testOption(QAbstractPrintDialog::PrintSelection);
            maxPage = dialog->maxPage();
            accept ? dialog->accept() : dialog->reject();
        });
    }
};

} // namespace

TEST_F(WorksheetTest, PrintEditorPrintsTheScriptThroughThePrintDialog)
{
    QTemporaryDir dir;
    TSQLForm *form = open(QString(), QStringLiteral("select ename\nfrom emp\nwhere deptno = 10"));
    QPrinter *printer = form->MemoPrinter()->Printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    const QString file = dir.filePath(QStringLiteral("script.pdf"));
    printer->setOutputFileName(file);

    DialogAnswer answer;
    answer.accept = false;
    answer.arm();
    form->Action(QStringLiteral("PrintEditor1"))->trigger();
    EXPECT_TRUE(answer.seen);
    EXPECT_FALSE(QFile::exists(file)); // cancelled: nothing printed

    answer = DialogAnswer();
    answer.arm();
    form->Action(QStringLiteral("PrintEditor1"))->trigger();
    ASSERT_TRUE(answer.seen);
    EXPECT_FALSE(answer.selectionOffered);
    EXPECT_EQ(answer.maxPage, 1);
    const auto pages = qd::test::pdfPages(file);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].text(), QStringLiteral("select ename from emp where deptno = 10"));
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));

    // With a selection the dialog offers it.
    form->Editor()->selectInLine(1, 0, 4);
    answer = DialogAnswer();
    answer.accept = false;
    answer.arm();
    form->Action(QStringLiteral("PrintEditor1"))->trigger();
    EXPECT_TRUE(answer.selectionOffered);
}

TEST_F(WorksheetTest, APrintThatCannotStartIsReported)
{
    TSQLForm *form = open(QString(), QStringLiteral("select 1 from dual"));
    QPrinter *printer = form->MemoPrinter()->Printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QStringLiteral("/nonexistent-directory/out.pdf"));
    DialogAnswer answer;
    answer.arm();
    form->Action(QStringLiteral("PrintEditor1"))->trigger();
    ASSERT_TRUE(answer.seen);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QStringLiteral("/nonexistent-directory/out.pdf")))
        << qPrintable(messages.first());
}
