#include "shell/ProgramFiles.h"

#include "classlib/Exception.h"
#include "classlib/TextFile.h"
#include "platform/ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qd {

QString FindProgramFile(const QString &fileName)
{
    QStringList directories;
    try {
        directories.append(ProgramDirectory::path());
    } catch (const Exception &) {
        // No program directory: the shipped copies still serve.
    }
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty()) {
        directories.append(exeDir);
        directories.append(exeDir + QStringLiteral("/data"));
        directories.append(exeDir + QStringLiteral("/../data"));
        directories.append(exeDir + QStringLiteral("/../share/quarlodesk"));
    }
    for (const QString &directory : directories) {
        const QFileInfo info(QDir(directory).filePath(fileName));
        // Something else under the name (a folder) is reported when it is read, not skipped.
        if (info.exists())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return QString();
}

QStringList ReadListFile(const QString &fileName)
{
    return ReadSmallTextLines(fileName, MaxListFileSize);
}

} // namespace qd
