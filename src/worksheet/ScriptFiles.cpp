#include "worksheet/ScriptFiles.h"

#include "classlib/TextFile.h"
#include "shell/FileTools.h"
#include "worksheet/KXException.h"
#include "worksheet/StatementRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qd {

namespace {

bool hasExtension(const QString &name)
{
    const qsizetype slash = name.lastIndexOf(u'/');
    return name.indexOf(u'.', slash + 1) >= 0;
}

} // namespace

QString SearchScriptFile(const QString &dirList, const QString &fileName)
{
    return FindFileOnPath(dirList, fileName);
}

QString ReadScriptText(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EKXException(
            QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    // Read in chunks up to the bound: the size of a file of /proc or /sys says nothing.
    QByteArray bytes;
    bytes.reserve(qsizetype(qBound<qint64>(0, file.size(), MaxScriptFileSize) + 1));
    char chunk[65536];
    while (bytes.size() <= MaxScriptFileSize) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            throw EKXException(
                QStringLiteral("Cannot read file \"%1\". %2").arg(fileName, file.errorString()));
        if (got == 0)
            break;
        bytes.append(chunk, qsizetype(got));
    }
    if (bytes.size() > MaxScriptFileSize)
        throw EKXException(QStringLiteral("Script file \"%1\" is larger than %2 MB.")
                               .arg(fileName)
                               .arg(MaxScriptFileSize / (1024 * 1024)));
    return DecodeText(bytes);
}

QString DirectoryOf(const QString &filePath)
{
    QString dir = QFileInfo(filePath).absolutePath();
    if (!dir.endsWith(u'/'))
        dir += QLatin1Char('/');
    return dir;
}

QString ResolveScriptFile(TKXStatementKind kind, const QString &givenName,
    const QString &holdingDir, const QString &scriptPath)
{
    QString name = givenName.trimmed();
    name.replace(u'\\', u'/');
    if (kind == skRunScriptRelative && !QDir::isAbsolutePath(name))
        name = JoinDirectory(holdingDir, name);

    QStringList candidates { name };
    const bool plain = !hasExtension(name);
    if (plain)
        candidates << name + QStringLiteral(".SQL") << name + QStringLiteral(".sql");

    if (name.contains(u'/')) {
        for (const QString &candidate : std::as_const(candidates)) {
            const QFileInfo info(candidate);
            if (info.isFile())
                return QDir::cleanPath(info.absoluteFilePath());
        }
    } else {
        const QString dirs = QDir::currentPath() + QLatin1Char(';') + scriptPath;
        for (const QString &candidate : std::as_const(candidates)) {
            const QString found = SearchScriptFile(dirs, candidate);
            if (!found.isEmpty())
                return found;
        }
    }
    const QString shown = plain ? name + QStringLiteral(".SQL") : name;
    throw EKXException(QStringLiteral("Could not find file %1.").arg(shown));
}

} // namespace qd
