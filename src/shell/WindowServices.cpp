#include "shell/WindowServices.h"

#include "oracle/ScreenServices.h"

namespace qd {

namespace {
MainWindowInterface *g_mainWindow = nullptr;
}

WindowFactories &windowFactories()
{
    static WindowFactories factories;
    return factories;
}

void ShowWindowNotAvailable(const QString &what)
{
    ScreenMessage(mkInformation, QStringLiteral("The %1 window is not available yet.").arg(what));
}

MainWindowInterface *mainWindow()
{
    return g_mainWindow;
}

void setMainWindow(MainWindowInterface *window)
{
    g_mainWindow = window;
}

} // namespace qd
