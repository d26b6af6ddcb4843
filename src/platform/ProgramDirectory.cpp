#include "platform/ProgramDirectory.h"

#include "classlib/Exception.h"
#include "platform/Environment.h"

#include <QDir>

namespace qd {

QString ProgramDirectory::location(const Environment &environment)
{
    const QString home = environment.value(QStringLiteral("QD_HOME"));
    if (!home.isEmpty())
        return QDir::cleanPath(home);
    QString userHome = environment.value(QStringLiteral("HOME"));
    if (userHome.isEmpty())
        userHome = QDir::homePath();
    return QDir::cleanPath(userHome + QStringLiteral("/.config/QuarloDesk"));
}

QString ProgramDirectory::path(const Environment &environment)
{
    const QString directory = location(environment);
    if (!QDir().mkpath(directory))
        throw Exception(QStringLiteral("Cannot create the program directory ") + directory);
    return directory;
}

QString ProgramDirectory::path() { return path(Environment::process()); }

QString ProgramDirectory::filePath(const QString &fileName)
{
    return QDir(path()).filePath(fileName);
}

} // namespace qd
