#include "platform/LinuxOraclePlatform.h"

#include "classlib/Exception.h"
#include "platform/Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qd {

LinuxOraclePlatform::LinuxOraclePlatform(const Environment &environment, CommandLine commandLine)
    : m_environment(environment)
    , m_commandLine(std::move(commandLine))
{
}

LinuxOraclePlatform::LinuxOraclePlatform()
    : m_environment(Environment::process())
    , m_processCommandLine(true)
{
}

ClientLibraryLayout LinuxOraclePlatform::layout() const
{
    ClientLibraryLayout layout;
    layout.naming = ClientLibraryLayout::Naming::Linux;
    layout.separator = QLatin1Char('/');
    layout.libraryDirectory = QStringLiteral("lib");
    layout.primaryLibrary = QStringLiteral("libclntsh.so");
    layout.candidateWildcard = QStringLiteral("libclntsh.so.*");
    layout.fallbackLibrary = QStringLiteral("libclntsh.so");
    layout.transactionLibrary.clear();
    layout.net80AdminDirectory = QStringLiteral("network/admin");
    layout.networkAdminDirectory = QStringLiteral("network/admin");
    return layout;
}

QString LinuxOraclePlatform::readRegistryString(
    RegistryRoot root, const QString &key, const QString &valueName) const
{
    if (root == RegistryRoot::LocalMachine
        && key.compare(QLatin1String("SOFTWARE\\ORACLE"), Qt::CaseInsensitive) == 0
        && valueName.compare(QLatin1String("ORACLE_HOME"), Qt::CaseInsensitive) == 0)
        return m_environment.value(QStringLiteral("ORACLE_HOME"));
    return QString();
}

QStringList LinuxOraclePlatform::listRegistrySubKeys(RegistryRoot, const QString &) const
{
    return QStringList();
}

QString LinuxOraclePlatform::environmentValue(const QString &name) const
{
    return m_environment.value(name);
}

QStringList LinuxOraclePlatform::commandLineParameters() const
{
    return m_processCommandLine ? CommandLine::process().parameters() : m_commandLine.parameters();
}

bool LinuxOraclePlatform::fileExists(const QString &path) const
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

QStringList LinuxOraclePlatform::listFiles(const QString &directory, const QString &wildcard) const
{
    if (directory.isEmpty())
        return QStringList();
    return QDir(directory).entryList(
        QStringList { wildcard }, QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Unsorted);
}

QStringList LinuxOraclePlatform::readTextLines(const QString &path) const
{
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        return QStringList();
    if (QFileInfo(path).isDir())
        throw Exception(QStringLiteral("Cannot read ") + path + QStringLiteral(": is a directory"));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + file.errorString());
    if (file.size() > MaxTextFileSize)
        throw Exception(QStringLiteral("File too large: ") + path);
    // A file that grows while it is read is cut at the limit.
    const QByteArray data = file.read(MaxTextFileSize + 1);
    if (data.size() > MaxTextFileSize)
        throw Exception(QStringLiteral("File too large: ") + path);
    return textLines(data);
}

QStringList LinuxOraclePlatform::textLines(const QByteArray &data)
{
    QString text = QString::fromUtf8(data);
    // A byte-order mark written by some editors is no part of the first line.
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace qd
