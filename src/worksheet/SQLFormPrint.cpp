// The worksheet's Print Grid command.
#include "worksheet/SQLForm.h"

#include "oracle/ScreenServices.h"
#include "shell/MessageBoxes.h"
#include "worksheet/PrintGrid.h"

namespace qd {

void TSQLForm::PrintGrid()
{
    if (m_running || m_gridBusy) {
        // A worker is moving through the grid's dataset.
        ShowInfoMessage(m_running ? QStringLiteral("A query is already running.")
                                  : QStringLiteral("An operation is already being performed on the grid."));
        return;
    }
    TGridPrint printer;
    printer.SetDBGrid(m_grid);
    printer.SetPrintJobTitle(QStringLiteral("SQL Data Grid"));
    try {
        printer.Print();
    } catch (const std::exception &) {
        ShowCurrentException();
    }
}

} // namespace qd
