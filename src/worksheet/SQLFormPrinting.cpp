// Printing the worksheet's editor and text output.
#include "worksheet/SQLForm.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoPrinter.h"
#include "oracle/ScreenServices.h"

#include <QPageSetupDialog>
#include <QPrintDialog>

namespace qd {

TCodeMemoPrinter *TSQLForm::MemoPrinter()
{
    if (!m_memoPrinter)
        m_memoPrinter = new TCodeMemoPrinter(this);
    return m_memoPrinter;
}

void TSQLForm::printMemo(TCodeMemo *memo)
{
    TCodeMemoPrinter *printer = MemoPrinter();
    printer->SetMemoToPrint(memo);
    try {
        // The dialog offers the pages there are, and the selection when there is one; with no
        // printer installed it offers printing to a PDF file.
        printer->Layout();
        QPrintDialog dialog(printer->Printer(), this);
        dialog.setObjectName(QStringLiteral("PrintDialog"));
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, memo->SelLength() != 0);
        dialog.setMinMax(1, printer->PageCount());
        if (dialog.exec() == QDialog::Accepted)
            printer->PrintWithDialog(dialog);
    } catch (const std::exception &) {
        ShowCurrentException();
    }
}

void TSQLForm::printerSetupCommand()
{
    QPageSetupDialog dialog(MemoPrinter()->Printer(), this);
    dialog.setObjectName(QStringLiteral("PageSetupDialog"));
    dialog.exec();
}

} // namespace qd
