#include "shell/WindowServices.h"

#include "classlib/Exception.h"
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

namespace {
QString notAvailableText(const QString &what)
{
    return QStringLiteral("The %1 window is not available yet.").arg(what);
}
} // namespace

void ShowWindowNotAvailable(const QString &what)
{
    ScreenMessage(mkInformation, notAvailableText(what));
}

void RaiseWindowNotAvailable(const QString &what)
{
    throw Exception(notAvailableText(what));
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
