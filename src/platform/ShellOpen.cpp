#include "platform/ShellOpen.h"

#include <QDesktopServices>

namespace qd {

namespace {
ShellOpen *g_current = nullptr;
}

ShellOpen &ShellOpen::current()
{
    static DesktopShellOpen desktop;
    return g_current ? *g_current : desktop;
}

void ShellOpen::setCurrent(ShellOpen *shellOpen)
{
    g_current = shellOpen;
}

bool DesktopShellOpen::openUrl(const QUrl &url)
{
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace qd
