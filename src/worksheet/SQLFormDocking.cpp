// The worksheet's dock layout: the error pane docks at the bottom of its own window or floats;
// its place and the bottom site's layout live in "SQLForm.ini", shared by all worksheets.
#include "worksheet/SQLForm.h"

#include "classlib/IniFile.h"
#include "platform/ProgramDirectory.h"
#include "shell/DockLib.h"
#include "worksheet/ErrorPane.h"
#include "worksheet/QueryThread.h"

#include <QAction>

namespace qd {

namespace {
const QString kPaneSection = QStringLiteral("ErrorMessages");
const QString kSitesSection = QStringLiteral("DockSites");
const QString kBottomPrefix = QStringLiteral("Bottom");
constexpr int kMinimumSiteHeight = 40;
} // namespace

QString TSQLForm::dockFileName() const
{
    return ProgramDirectory::filePath(QStringLiteral("SQLForm.ini"));
}

void TSQLForm::InitDocking()
{
    // Qt docks a pane only into its own main window, so one worksheet's pane never lands in
    // another worksheet.
    const TDockSite site { this, Qt::BottomDockWidgetArea, 1 };
    try {
        const TIniFile ini(dockFileName());
        if (!LoadDockState(ini, kPaneSection, m_errorPane, { site }))
            addDockWidget(Qt::BottomDockWidgetArea, m_errorPane);
        LoadDockSiteState(ini, site, kSitesSection, kBottomPrefix);
    } catch (const std::exception &) {
        // An unreadable layout file gives the default layout.
    }
    if (QAction *action = Action(QStringLiteral("ErrorMessages1")))
        action->setChecked(!m_errorPane->isHidden());
    connect(m_errorPane, &ErrorPane::paneVisibilityChanged, this, &TSQLForm::ShowBottomDock);
}

void TSQLForm::CleanupDocking()
{
    const TDockSite site { this, Qt::BottomDockWidgetArea, 1 };
    try {
        TIniFile ini(dockFileName());
        ini.beginUpdate();
        SaveDockState(ini, m_errorPane, kPaneSection, { site });
        SaveDockSiteState(ini, site, kSitesSection, kBottomPrefix);
        ini.endUpdate();
    } catch (const std::exception &) {
        // A layout that cannot be written must not keep the window open.
    }
}

void TSQLForm::ShowBottomDock(bool visible)
{
    if (QAction *action = Action(QStringLiteral("ErrorMessages1")))
        action->setChecked(visible);
    // A pane that becomes visible in an empty site gets room to show a line or two.
    if (visible && !m_errorPane->isFloating() && m_errorPane->height() < kMinimumSiteHeight)
        resizeDocks({ m_errorPane }, { kMinimumSiteHeight }, Qt::Vertical);
}

} // namespace qd
