#pragma once

#include <QFlags>
#include <QString>

class QWidget;

namespace qd {

// Parts of a window's placement kept in an ini file.
enum TPlacementPart {
    fpHeight = 0x01,
    fpWidth = 0x02,
    fpTop = 0x04,
    fpLeft = 0x08,
    fpWindowState = 0x10,
};
Q_DECLARE_FLAGS(TPlacementParts, TPlacementPart)
Q_DECLARE_OPERATORS_FOR_FLAGS(TPlacementParts)

inline constexpr TPlacementParts AllPlacementParts
    = TPlacementParts(fpHeight | fpWidth | fpTop | fpLeft | fpWindowState);

// Writes the chosen parts of form's placement into section of the ini file: the integer keys
// "Height", "Width", "Top", "Left" and "WindowState" as "wsNormal", "wsMinimized" or
// "wsMaximized". The file is written atomically.
void SaveFormPlacement(
    TPlacementParts parts, const QWidget *form, const QString &iniFileName, const QString &section);

// Reads them back, with the form's current values as defaults: a size or position only when
// the value read is greater than 0; "wsMaximized" and "wsMinimized" set that state, any other
// value the normal state.
void LoadFormPlacement(
    TPlacementParts parts, QWidget *form, const QString &iniFileName, const QString &section);

} // namespace qd
