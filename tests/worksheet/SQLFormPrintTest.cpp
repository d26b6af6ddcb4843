// Printing the worksheet's editor from its File menu, through the print dialog, to a PDF file;
// the Print button prints whatever has the focus.
#include "WorksheetTestSupport.h"

#include "editor/CodeEditor.h"
#include "editor/CodeMemoPrinter.h"
#include "editor/PdfSupport.h"
#include "worksheet/EditorPane.h"
#include "worksheet/ErrorPane.h"
#include "worksheet/PrintGrid.h"
#include "worksheet/Preview.h"
#include "classlib/DataSetModel.h"

#include <QAction>
#include <QListWidget>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
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

// The Print button prints the control that has the focus: the editor or the text output through
// the print dialog, the grid through its preview; with the focus anywhere else it does nothing.
TEST_F(WorksheetTest, PrintButtonPrintsTheFocusedControl)
{
    TSQLForm *form = open(QStringLiteral("DEMO"), QStringLiteral("select deptno, dname from dept order by deptno"));
    form->RunSQL(0, 0);
    ASSERT_TRUE(waitForRun(form));
    ASSERT_GT(form->GridModel()->rowCount(), 0);
    form->TextOutput()->setText(QStringLiteral("spooled line of text"));
    QTemporaryDir dir;
    QPrinter *printer = form->MemoPrinter()->Printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    int previews = 0;
    form->GridPrinter()->ShowPreview = [&previews](TGridPrint &) {
        ++previews;
        return int(TfmPreview::PrintResult);
    };
    ASSERT_EQ(form->GridPrinter()->DBGrid(), form->Grid());
    EXPECT_EQ(form->GridPrinter()->PrintJobTitle(), QStringLiteral("SQL Data Grid"));
    EXPECT_TRUE(form->GridPrinter()->RowNumbers());

    struct Case {
        const char *name;
        int page;                      // output page shown
        std::function<QWidget *()> focus;
        bool dialog;                   // the print dialog is asked
        int previews;                  // grid previews made
        QString printed;               // a text the PDF holds; empty: no file
    };
    const QList<Case> cases = {
        { "editor", 0, [form]() -> QWidget * { return form->Editor()->memo(); }, true, 0,
            QStringLiteral("select deptno, dname from dept order by deptno") },
        { "text output", 1, [form]() -> QWidget * { return form->TextOutput()->memo(); }, true, 0,
            QStringLiteral("spooled line of text") },
        { "grid", 0, [form]() -> QWidget * { return form->Grid(); }, false, 1, QStringLiteral("LABORATORY") },
        { "error list", 0,
            [form]() -> QWidget * { return form->ErrorMessagesPane()->findChild<QListWidget *>(QStringLiteral("lbErrorMessages")); },
            false, 0, QString() },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(QLatin1String(c.name) + QStringLiteral(".pdf"));
        printer->setOutputFileName(file);
        form->OutputPages()->setCurrentIndex(c.page);
        QWidget *target = c.focus();
        ASSERT_NE(target, nullptr);
        form->ErrorMessagesPane()->show();
        target->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(form->focusWidget(), target);
        previews = 0;
        bool dialogSeen = false;
        QTimer::singleShot(0, [&dialogSeen] {
            if (auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget())) {
                dialogSeen = true;
                dialog->accept();
            }
        });
        form->Button(QStringLiteral("btnPrint"))->click();
        QApplication::processEvents();
        EXPECT_EQ(dialogSeen, c.dialog);
        EXPECT_EQ(previews, c.previews);
        if (c.printed.isEmpty()) {
            EXPECT_FALSE(QFile::exists(file));
            continue;
        }
        const auto pages = qd::test::pdfPages(file);
        ASSERT_FALSE(pages.empty());
        EXPECT_TRUE(pages[0].text().contains(c.printed)) << pages[0].text().toStdString();
    }
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
}
