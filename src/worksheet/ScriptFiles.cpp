#include "worksheet/ScriptFiles.h"

#include "shell/FileTools.h"
#include "worksheet/KXException.h"
#include "worksheet/StatementRules.h"

#include <QDir>
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
