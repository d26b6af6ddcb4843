#include "platform/OraclePlatform.h"

#include "platform/DynamicLibrary.h"

#include <QDir>

namespace qd {

QString OraclePlatform::currentDirectory() const { return QDir::currentPath(); }

bool OraclePlatform::setCurrentDirectory(const QString &dir) { return QDir::setCurrent(dir); }

LibraryResolver &OraclePlatform::libraryResolver() { return LibraryResolver::system(); }

} // namespace qd
