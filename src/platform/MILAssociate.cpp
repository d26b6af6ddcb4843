#include "platform/MILAssociate.h"

#include "classlib/Exception.h"
#include "classlib/TextFile.h"
#include "platform/Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamWriter>

namespace qd {

namespace {

const QString EntryGroup = QStringLiteral("[Desktop Entry]");
const QString DefaultsGroup = QStringLiteral("[Default Applications]");
constexpr int ToolTimeoutMs = 30000;

// The lines of a small text file; see ReadSmallTextLines.
QStringList readLines(const QString &fileName)
{
    return ReadSmallTextLines(fileName, TMILAssociate::MaxConfigFileSize);
}

void writeText(const QString &fileName, const QString &text)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
    file.write(text.toUtf8());
    if (!file.commit())
        throw Exception(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
}

// A desktop entry's string value with its escapes (\s \n \t \r \\) undone.
QString unescapeValue(const QString &value)
{
    QString result;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            result.append(c);
            continue;
        }
        const QChar next = value.at(++i);
        switch (next.unicode()) {
        case 's': result.append(u' '); break;
        case 'n': result.append(u'\n'); break;
        case 't': result.append(u'\t'); break;
        case 'r': result.append(u'\r'); break;
        default: result.append(next); break;
        }
    }
    return result;
}

// The value of key in the [Desktop Entry] group of a desktop entry's lines; empty when absent.
QString entryValue(const QStringList &lines, const QString &key)
{
    bool inGroup = false;
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == EntryGroup;
            continue;
        }
        if (!inGroup || line.startsWith(u'#'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.left(equals).trimmed() == key)
            return unescapeValue(line.mid(equals + 1).trimmed());
    }
    return QString();
}

QStringList splitList(const QString &value)
{
    QStringList items;
    for (const QString &item : value.split(u';', Qt::SkipEmptyParts)) {
        if (!item.trimmed().isEmpty())
            items.append(item.trimmed());
    }
    return items;
}

} // namespace

TMILAssociate::TMILAssociate(const Environment &environment)
    : m_environment(environment)
{
}

TMILAssociate::TMILAssociate()
    : TMILAssociate(Environment::process())
{
}

QString TMILAssociate::NormalizeExtension(const QString &extension)
{
    const qsizetype dot = extension.indexOf(u'.');
    if (dot >= 1)
        return extension.mid(dot);
    if (dot == 0)
        return extension;
    return u'.' + extension;
}

QString TMILAssociate::BareExtension(const QString &extension)
{
    return NormalizeExtension(extension).mid(1);
}

QString TMILAssociate::MimeType(const QString &extension) const
{
    const QString bare = BareExtension(extension).toLower();
    if (bare == u"sql")
        return QStringLiteral("application/sql");
    return QStringLiteral("application/x-%1-%2").arg(m_appName.toLower(), bare);
}

QString TMILAssociate::dataHome() const
{
    const QString value = m_environment.value(QStringLiteral("XDG_DATA_HOME"));
    if (!value.isEmpty())
        return value;
    return QDir(m_environment.value(QStringLiteral("HOME"))).filePath(QStringLiteral(".local/share"));
}

QString TMILAssociate::configHome() const
{
    const QString value = m_environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (!value.isEmpty())
        return value;
    return QDir(m_environment.value(QStringLiteral("HOME"))).filePath(QStringLiteral(".config"));
}

QStringList TMILAssociate::dataDirs() const
{
    const QString value = m_environment.value(QStringLiteral("XDG_DATA_DIRS"));
    return value.isEmpty() ? QStringList { QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share") }
                           : value.split(u':', Qt::SkipEmptyParts);
}

QStringList TMILAssociate::configDirs() const
{
    const QString value = m_environment.value(QStringLiteral("XDG_CONFIG_DIRS"));
    return value.isEmpty() ? QStringList { QStringLiteral("/etc/xdg") }
                           : value.split(u':', Qt::SkipEmptyParts);
}

QString TMILAssociate::DesktopFileName() const
{
    return m_appName.toLower() + QStringLiteral(".desktop");
}

QString TMILAssociate::DesktopFilePath() const
{
    return QDir(dataHome()).filePath(QStringLiteral("applications/") + DesktopFileName());
}

QString TMILAssociate::MimePackagePath(const QString &extension) const
{
    return QDir(dataHome()).filePath(QStringLiteral("mime/packages/%1-%2.xml")
                                         .arg(m_appName.toLower(), BareExtension(extension).toLower()));
}

QString TMILAssociate::MimeAppsListPath() const
{
    return QDir(configHome()).filePath(QStringLiteral("mimeapps.list"));
}

QString TMILAssociate::ExecValue(const QString &program)
{
    // Inside the quotes the format reserves " ` $ and \ (each escaped with \); % is a field
    // code (doubled). Then the value as a whole escapes \ once more, and the line breaks.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted.append(u'\\');
        if (c == u'%')
            quoted.append(u'%');
        quoted.append(c);
    }
    quoted.append(u'"');
    QString value;
    for (const QChar c : quoted) {
        switch (c.unicode()) {
        case '\\': value.append(QStringLiteral("\\\\")); break;
        case '\n': value.append(QStringLiteral("\\n")); break;
        case '\r': value.append(QStringLiteral("\\r")); break;
        case '\t': value.append(QStringLiteral("\\t")); break;
        default: value.append(c); break;
        }
    }
    return value + QStringLiteral(" %F");
}

QString TMILAssociate::ExecProgram(const QString &execValue)
{
    // execValue has its string escapes undone already.
    const QString text = execValue.trimmed();
    QString program;
    if (text.startsWith(u'"')) {
        for (int i = 1; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == u'\\' && i + 1 < text.size()) {
                program.append(text.at(++i));
                continue;
            }
            if (c == u'"')
                break;
            program.append(c);
        }
    } else {
        program = text.section(u' ', 0, 0);
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QString TMILAssociate::DesktopEntryText(const QStringList &mimeTypes) const
{
    QString text = EntryGroup + u'\n';
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + m_displayName + u'\n';
    text += QStringLiteral("Comment=Oracle development and administration workbench\n");
    text += QStringLiteral("Exec=") + ExecValue(m_pathToApp) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("Categories=Development;Database;\n");
    if (!mimeTypes.isEmpty())
        text += QStringLiteral("MimeType=") + mimeTypes.join(u';') + QStringLiteral(";\n");
    return text;
}

QString TMILAssociate::MimePackageText(const QString &extension, const QString &description) const
{
    QString text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("mime-info"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    xml.writeStartElement(QStringLiteral("mime-type"));
    xml.writeAttribute(QStringLiteral("type"), MimeType(extension));
    xml.writeTextElement(QStringLiteral("comment"), description);
    xml.writeEmptyElement(QStringLiteral("glob"));
    xml.writeAttribute(QStringLiteral("pattern"), u'*' + NormalizeExtension(extension).toLower());
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return text;
}

QStringList TMILAssociate::listedMimeTypes() const
{
    return splitList(entryValue(readLines(DesktopFilePath()), QStringLiteral("MimeType")));
}

void TMILAssociate::RegisterShell()
{
    if (m_pathToApp.isEmpty())
        throw Exception(QStringLiteral("Cannot register the program: its path is not known."));
    writeText(DesktopFilePath(), DesktopEntryText(listedMimeTypes()));
    runTool(QStringLiteral("update-desktop-database"), { QFileInfo(DesktopFilePath()).absolutePath() });
}

QStringList TMILAssociate::SetDefaultApplication(
    const QStringList &lines, const QString &mimeType, const QString &desktopId)
{
    QStringList result = lines;
    const QString entry = mimeType + u'=' + desktopId + u';';
    qsizetype group = -1;
    for (qsizetype i = 0; i < result.size(); ++i) {
        if (result.at(i).trimmed() == DefaultsGroup) {
            group = i;
            break;
        }
    }
    if (group < 0) {
        if (!result.isEmpty() && !result.last().trimmed().isEmpty())
            result.append(QString());
        result.append(DefaultsGroup);
        result.append(entry);
        return result;
    }
    qsizetype lastEntry = group;
    for (qsizetype i = group + 1; i < result.size(); ++i) {
        const QString line = result.at(i).trimmed();
        if (line.startsWith(u'['))
            break;
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        lastEntry = i;
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.left(equals).trimmed() == mimeType) {
            result[i] = entry;
            return result;
        }
    }
    result.insert(lastEntry + 1, entry);
    return result;
}

void TMILAssociate::Associate(const QString &extension, const QString &description)
{
    if (m_pathToApp.isEmpty())
        throw Exception(QStringLiteral("Cannot associate files: the program's path is not known."));
    const QString type = MimeType(extension);
    const bool ownType = type != u"application/sql";
    if (ownType)
        writeText(MimePackagePath(extension), MimePackageText(extension, description));

    QStringList types = listedMimeTypes();
    if (!types.contains(type))
        types.append(type);
    writeText(DesktopFilePath(), DesktopEntryText(types));

    const QString listFile = MimeAppsListPath();
    writeText(listFile,
        SetDefaultApplication(readLines(listFile), type, DesktopFileName()).join(u'\n') + u'\n');

    if (ownType)
        runTool(QStringLiteral("update-mime-database"), { QDir(dataHome()).filePath(QStringLiteral("mime")) });
    runTool(QStringLiteral("update-desktop-database"), { QFileInfo(DesktopFilePath()).absolutePath() });
}

QStringList TMILAssociate::defaultApplications(const QString &mimeType) const
{
    QStringList lists { QDir(configHome()).filePath(QStringLiteral("mimeapps.list")) };
    for (const QString &directory : configDirs())
        lists.append(QDir(directory).filePath(QStringLiteral("mimeapps.list")));
    lists.append(QDir(dataHome()).filePath(QStringLiteral("applications/mimeapps.list")));
    for (const QString &directory : dataDirs())
        lists.append(QDir(directory).filePath(QStringLiteral("applications/mimeapps.list")));
    for (const QString &listFile : lists) {
        QStringList lines;
        try {
            lines = readLines(listFile);
        } catch (const Exception &) {
            continue; // an unreadable list says nothing
        }
        bool inGroup = false;
        for (const QString &raw : lines) {
            const QString line = raw.trimmed();
            if (line.startsWith(u'[')) {
                inGroup = line == DefaultsGroup;
                continue;
            }
            const qsizetype equals = line.indexOf(u'=');
            if (inGroup && equals > 0 && line.left(equals).trimmed() == mimeType)
                return splitList(line.mid(equals + 1));
        }
    }
    return {};
}

QString TMILAssociate::findDesktopFile(const QString &desktopId) const
{
    if (desktopId.contains(u'/'))
        return QString();
    QStringList directories { dataHome() };
    directories.append(dataDirs());
    for (const QString &directory : directories) {
        const QString path = QDir(directory).filePath(QStringLiteral("applications/") + desktopId);
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

bool TMILAssociate::IsAssociated(const QString &extension) const
{
    if (m_pathToApp.isEmpty())
        return false;
    for (const QString &desktopId : defaultApplications(MimeType(extension))) {
        const QString file = findDesktopFile(desktopId);
        if (file.isEmpty())
            continue; // not installed: the next one listed is the default
        QString exec;
        try {
            exec = entryValue(readLines(file), QStringLiteral("Exec"));
        } catch (const Exception &) {
            return false;
        }
        const QString program = ExecProgram(exec);
        if (program.isEmpty())
            return false;
        if (QDir::cleanPath(program) == QDir::cleanPath(m_pathToApp))
            return true;
        const QString canonical = QFileInfo(program).canonicalFilePath();
        return !canonical.isEmpty() && canonical == QFileInfo(m_pathToApp).canonicalFilePath();
    }
    return false;
}

void TMILAssociate::runTool(const QString &program, const QStringList &arguments) const
{
    if (OnRunTool) {
        OnRunTool(program, arguments);
        return;
    }
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return; // the desktop reads the files itself, only later
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(path, arguments);
    if (!process.waitForFinished(ToolTimeoutMs))
        process.kill();
}

} // namespace qd
