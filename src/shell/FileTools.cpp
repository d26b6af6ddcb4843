#include "shell/FileTools.h"

#include "classlib/DateTimeUtils.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <cstring>

namespace qd {

QString MakeTempFileName()
{
    QString dir = QDir::tempPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    auto stamp = qint64(std::floor(QDateTimeToDateTime(QDateTime::currentDateTime()) * 1000.0));
    for (;;) {
        const QString name = dir + QString::number(stamp) + QStringLiteral(".TMP");
        if (!QFileInfo::exists(name))
            return name;
        ++stamp;
    }
}

QString FindFileOnPath(const QString &path, const QString &fileName)
{
    if (fileName.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(fileName)) {
        const QFileInfo info(fileName);
        return info.isFile() ? info.absoluteFilePath() : QString();
    }
    const QStringList dirs = path.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &dir : dirs) {
        const QFileInfo info(QDir(dir.trimmed()), fileName);
        if (info.isFile())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return QString();
}

QString FileErrorText(int errorCode)
{
    switch (errorCode) {
    case 100:
        return QStringLiteral("End of File.");
    case 101:
        return QStringLiteral("Disk is full.");
    case 102:
        return QStringLiteral("File variable not assigned.");
    case 103:
        return QStringLiteral("File not open.");
    case 104:
        return QStringLiteral("File not open for input.");
    case 105:
        return QStringLiteral("File not open for output.");
    case 106:
        return QStringLiteral("Error in formatted input.");
    case 107:
        return QStringLiteral("File already open.");
    default:
        break;
    }
    if (errorCode >= 0 && errorCode < 100)
        return QString::fromLocal8Bit(std::strerror(errorCode));
    return QStringLiteral("I/O error %1 has occurred.").arg(errorCode);
}

} // namespace qd
