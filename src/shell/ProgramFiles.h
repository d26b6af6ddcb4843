#pragma once

#include <QString>
#include <QStringList>

namespace qd {

// Files the user may keep in the program's directory and that otherwise ship with the program
// (keyword lists): the program's directory first, then beside the executable, its data
// folder, the build tree's data folder and the install prefix's share directory: the first
// that holds the name. Empty when none does.
QString FindProgramFile(const QString &fileName);

// A list file with one entry per line (UTF-8; CR LF or LF; a last empty line is no entry).
// A missing file is an empty list; a file that cannot be read, or larger than MaxListFileSize,
// throws an Exception naming it.
inline constexpr qint64 MaxListFileSize = 16 * 1024 * 1024;
QStringList ReadListFile(const QString &fileName);

} // namespace qd
