#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <Qt>

class QDockWidget;
class QMainWindow;

namespace qd {

class TIniFile;

// A place where dockable panes dock: one dock area of a main window, with the number the
// layout file knows it by.
struct TDockSite {
    QMainWindow *window = nullptr;
    Qt::DockWidgetArea area = Qt::BottomDockWidgetArea;
    int tag = 1;
};

// Saves the pane's place in its own section: "Docked", "Dock Host" (the tag of the site among
// sites that holds it, 0 while floating), "Height", "Width", "Top", "Left" (the pane's position when docked, the floating
// window's when floating), "Visible" and, when docked, "Orientation" (1 horizontal for a top or
// bottom area, 2 vertical for a left or right one). The keys reach the file in one rewrite.
void SaveDockState(TIniFile &ini, const QDockWidget *pane, const QString &section,
    const QList<TDockSite> &sites);

// Reads the pane's place back (sizes and positions default to 200, "Dock Host" to 1, "Visible"
// and "Docked" to true). A pane stored floating floats at its stored rectangle; otherwise, when
// the section exists, it docks into the site numbered "Dock Host" (1-based, clamped to the
// sites given) with the stored size; Qt docks at once, so there is no deferred docking. The
// visibility is applied in every case. False when the section does not exist (the pane then
// stays where it is).
bool LoadDockState(const TIniFile &ini, const QString &section, QDockWidget *pane,
    const QList<TDockSite> &sites);

// The site's width and height (prefix + "Width", prefix + "Height") and the main window's own
// layout data, hexadecimal-coded (prefix + "Data").
void SaveDockSiteState(TIniFile &ini, const TDockSite &site, const QString &section,
    const QString &prefix);
// Applies them back (defaults 200 and 40; empty data leaves the layout as it is). Layout data
// the main window cannot read is ignored.
void LoadDockSiteState(const TIniFile &ini, const TDockSite &site, const QString &section,
    const QString &prefix);

// Two upper-case hexadecimal digits per byte, and back: pairs read as hexadecimal numbers, a
// trailing odd character ignored, a pair that is not hexadecimal read as 0.
QString StringToHex(const QByteArray &bytes);
QByteArray HexToString(const QString &text);

// The size of the site as the layout file keeps it: the extent of its visible panes across the
// area (their height for a top or bottom area), and the main window's width; 0 for an empty site.
int DockSiteHeight(const TDockSite &site);
int DockSiteWidth(const TDockSite &site);

} // namespace qd
