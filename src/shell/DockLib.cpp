#include "shell/DockLib.h"

#include "classlib/IniFile.h"

#include <QDockWidget>
#include <QMainWindow>

#include <algorithm>

namespace qd {

namespace {

const QString kDocked = QStringLiteral("Docked");
const QString kDockHost = QStringLiteral("Dock Host");
const QString kHeight = QStringLiteral("Height");
const QString kWidth = QStringLiteral("Width");
const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");
const QString kVisible = QStringLiteral("Visible");
const QString kOrientation = QStringLiteral("Orientation");

bool horizontalArea(Qt::DockWidgetArea area)
{
    return area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
}

// The panes docked (not floating) in the site's area, visible ones only when asked.
QList<QDockWidget *> sitePanes(const TDockSite &site, bool visibleOnly)
{
    QList<QDockWidget *> panes;
    if (!site.window)
        return panes;
    for (QDockWidget *pane : site.window->findChildren<QDockWidget *>()) {
        if (pane->isFloating() || site.window->dockWidgetArea(pane) != site.area)
            continue;
        if (visibleOnly && pane->isHidden())
            continue;
        panes.append(pane);
    }
    return panes;
}

// The site a docked pane sits in, or null.
const TDockSite *siteOf(const QDockWidget *pane, const QList<TDockSite> &sites)
{
    for (const TDockSite &site : sites)
        if (site.window && !pane->isFloating()
            && site.window->dockWidgetArea(const_cast<QDockWidget *>(pane)) == site.area)
            return &site;
    return nullptr;
}

void resizeInSite(const TDockSite &site, QDockWidget *pane, int extent)
{
    if (!site.window || extent <= 0)
        return;
    site.window->resizeDocks({ pane }, { extent },
        horizontalArea(site.area) ? Qt::Vertical : Qt::Horizontal);
}

} // namespace

void SaveDockState(TIniFile &ini, const QDockWidget *pane, const QString &section,
    const QList<TDockSite> &sites)
{
    if (!pane)
        return;
    const TDockSite *site = siteOf(pane, sites);
    const bool floating = !site;
    ini.beginUpdate();
    try {
        ini.WriteBool(section, kDocked, !floating);
        ini.WriteInteger(section, kDockHost, floating ? 0 : site->tag);
        // A floating pane is its own top-level window: its position is on the screen.
        const QRect bounds = pane->geometry();
        ini.WriteInteger(section, kHeight, bounds.height());
        ini.WriteInteger(section, kWidth, bounds.width());
        ini.WriteInteger(section, kTop, bounds.top());
        ini.WriteInteger(section, kLeft, bounds.left());
        ini.WriteBool(section, kVisible, !pane->isHidden());
        if (!floating)
            ini.WriteInteger(section, kOrientation, horizontalArea(site->area) ? 1 : 2);
    } catch (...) {
        ini.cancelUpdate();
        throw;
    }
    ini.endUpdate();
}

bool LoadDockState(const TIniFile &ini, const QString &section, QDockWidget *pane,
    const QList<TDockSite> &sites)
{
    if (!pane)
        return false;
    const int top = ini.ReadInteger(section, kTop, 200);
    const int left = ini.ReadInteger(section, kLeft, 200);
    const int height = ini.ReadInteger(section, kHeight, 200);
    const int width = ini.ReadInteger(section, kWidth, 200);
    int host = ini.ReadInteger(section, kDockHost, 1);
    const bool visible = ini.ReadBool(section, kVisible, true);
    bool found = true;
    if (!ini.ReadBool(section, kDocked, true)) {
        pane->setFloating(true);
        pane->setGeometry(QRect(left, top, std::max(width, 1), std::max(height, 1)));
    } else if (ini.SectionExists(section) && !sites.isEmpty()) {
        host = std::clamp(host, 1, int(sites.size()));
        const TDockSite &site = sites.at(host - 1);
        if (site.window) {
            if (pane->isFloating() || site.window->dockWidgetArea(pane) != site.area) {
                pane->setFloating(false);
                site.window->addDockWidget(site.area, pane);
            }
            resizeInSite(site, pane, horizontalArea(site.area) ? height : width);
        }
    } else {
        found = ini.SectionExists(section);
    }
    pane->setVisible(visible);
    return found;
}

int DockSiteHeight(const TDockSite &site)
{
    int extent = 0;
    for (QDockWidget *pane : sitePanes(site, true))
        extent = std::max(extent, horizontalArea(site.area) ? pane->height() : pane->width());
    if (!horizontalArea(site.area))
        return extent ? site.window->height() : 0;
    return extent;
}

int DockSiteWidth(const TDockSite &site)
{
    if (!site.window)
        return 0;
    if (horizontalArea(site.area))
        return site.window->width();
    int extent = 0;
    for (QDockWidget *pane : sitePanes(site, true))
        extent = std::max(extent, pane->width());
    return extent;
}

void SaveDockSiteState(
    TIniFile &ini, const TDockSite &site, const QString &section, const QString &prefix)
{
    if (!site.window)
        return;
    ini.beginUpdate();
    try {
        ini.WriteInteger(section, prefix + kWidth, DockSiteWidth(site));
        ini.WriteInteger(section, prefix + kHeight, DockSiteHeight(site));
        ini.WriteString(section, prefix + QStringLiteral("Data"),
            StringToHex(site.window->saveState()));
    } catch (...) {
        ini.cancelUpdate();
        throw;
    }
    ini.endUpdate();
}

void LoadDockSiteState(
    const TIniFile &ini, const TDockSite &site, const QString &section, const QString &prefix)
{
    if (!site.window)
        return;
    const int width = ini.ReadInteger(section, prefix + kWidth, 200);
    const int height = ini.ReadInteger(section, prefix + kHeight, 40);
    const QString data = ini.ReadString(section, prefix + QStringLiteral("Data"), QString());
    // restoreState checks its own marker and version, so foreign or damaged data changes
    // nothing.
    if (!data.isEmpty())
        site.window->restoreState(HexToString(data));
    const int extent = horizontalArea(site.area) ? height : width;
    for (QDockWidget *pane : sitePanes(site, true))
        resizeInSite(site, pane, extent);
}

QString StringToHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QByteArray HexToString(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    auto digit = [](QChar c) {
        const char ch = c.toLatin1();
        if (ch >= '0' && ch <= '9')
            return ch - '0';
        if (ch >= 'A' && ch <= 'F')
            return ch - 'A' + 10;
        if (ch >= 'a' && ch <= 'f')
            return ch - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        const int high = digit(text.at(i));
        const int low = digit(text.at(i + 1));
        bytes.append(char(high < 0 || low < 0 ? 0 : high * 16 + low));
    }
    return bytes;
}

} // namespace qd
