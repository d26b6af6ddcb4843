#include "shell/ProgramFiles.h"

#include "classlib/Exception.h"
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
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists())
        return {};
    if (!info.isFile())
        throw Exception(QStringLiteral("Cannot read %1: it is not a file.").arg(fileName));
    if (info.size() > MaxListFileSize)
        throw Exception(QStringLiteral("Cannot read %1: the file is larger than %2 bytes.")
                            .arg(fileName)
                            .arg(MaxListFileSize));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    const QByteArray data = file.read(MaxListFileSize + 1);
    if (data.size() > MaxListFileSize)
        throw Exception(QStringLiteral("Cannot read %1: the file is larger than %2 bytes.")
                            .arg(fileName)
                            .arg(MaxListFileSize));
    QStringList lines = QString::fromUtf8(data).split(u'\n');
    for (QString &line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace qd
