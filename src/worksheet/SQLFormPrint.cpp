// The worksheet's Print Grid command and the Print button.
#include "worksheet/SQLForm.h"

#include "oracle/ScreenServices.h"
#include "shell/MessageBoxes.h"
#include "editor/CodeEditor.h"
#include "editor/CodeMemoPrinter.h"
#include "worksheet/EditorPane.h"
#include "worksheet/PrintGrid.h"

#include <QTableView>

namespace qd {

TGridPrint *TSQLForm::GridPrinter()
{
    if (!m_gridPrinter) {
        // One printer for everything the window prints: Printer Setup applies to the grid too.
        m_gridPrinter = std::make_unique<TGridPrint>(MemoPrinter()->Printer());
        m_gridPrinter->SetDBGrid(m_grid);
        m_gridPrinter->SetRowNumbers(true);
        m_gridPrinter->SetDisableGrid(true);
        m_gridPrinter->SetPrintJobTitle(QStringLiteral("SQL Data Grid"));
    }
    return m_gridPrinter.get();
}

void TSQLForm::PrintGrid()
{
    if (m_running || m_gridBusy) {
        // A worker is moving through the grid's dataset.
        ShowInfoMessage(m_running ? QStringLiteral("A query is already running.")
                                  : QStringLiteral("An operation is already being performed on the grid."));
        return;
    }
    try {
        GridPrinter()->Print();
    } catch (const std::exception &) {
        ShowCurrentException();
    }
}

void TSQLForm::printFocused()
{
    // The control that has (or last had) the focus inside this window; the button itself
    // takes none.
    QWidget *active = focusWidget();
    if (!active)
        return;
    if (m_grid->isAncestorOf(active))
        PrintGrid();
    else if (m_textOutput->isAncestorOf(active))
        printMemo(m_textOutput->memo());
    else if (m_editor->isAncestorOf(active))
        printMemo(m_editor->memo());
}

} // namespace qd
