#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace qd {

class Environment;

// Makes the program the desktop's choice for its file types, the freedesktop.org way:
// a desktop entry in $XDG_DATA_HOME/applications names the program (its Exec line starts it
// with the files, and the running copy takes them over), a shared-mime-info package in
// $XDG_DATA_HOME/mime/packages describes each of the program's own types, and
// $XDG_CONFIG_HOME/mimeapps.list makes the entry the type's default.
//
// ".sql" keeps the desktop's own type, application/sql; the other extensions get a type of
// the program's own. Nothing outside these three places is touched, and mimeapps.list keeps
// every line that is not the type's default.
class TMILAssociate {
public:
    explicit TMILAssociate(const Environment &environment);
    TMILAssociate();

    const QString &ExeName() const { return m_exeName; }
    void SetExeName(const QString &value) { m_exeName = value; }
    const QString &DisplayName() const { return m_displayName; }
    void SetDisplayName(const QString &value) { m_displayName = value; }
    // Names the desktop entry ("quarlodesk.desktop") and the program's types.
    const QString &AppName() const { return m_appName; }
    void SetAppName(const QString &value) { m_appName = value; }
    // The program file the entry starts.
    const QString &PathToApp() const { return m_pathToApp; }
    void SetPathToApp(const QString &value) { m_pathToApp = value; }

    // ".sql" from "sql", ".sql" or "name.sql".
    static QString NormalizeExtension(const QString &extension);
    static QString BareExtension(const QString &extension);
    // application/sql for ".sql"; application/x-<app>-<ext> (lower case) for the others.
    QString MimeType(const QString &extension) const;

    QString DesktopFileName() const;
    QString DesktopFilePath() const;
    QString MimePackagePath(const QString &extension) const;
    QString MimeAppsListPath() const;

    // Writes the desktop entry (keeping the types it already lists).
    void RegisterShell();
    // True when the default entry of the extension's type starts this program.
    bool IsAssociated(const QString &extension) const;
    // Describes the type (not for .sql), lists it in the desktop entry, makes the entry its
    // default and lets the desktop's caches know. Throws an Exception naming the file that
    // could not be written; what was written before stays.
    void Associate(const QString &extension, const QString &description);

    // The text of the desktop entry for mimeTypes.
    QString DesktopEntryText(const QStringList &mimeTypes) const;
    // The shared-mime-info package describing extension.
    QString MimePackageText(const QString &extension, const QString &description) const;
    // The Exec value: the program quoted and escaped as the desktop entry format asks, then %F.
    static QString ExecValue(const QString &program);
    // The program an Exec value starts (its first argument, unquoted).
    static QString ExecProgram(const QString &execValue);
    // lines of a mimeapps.list with mimeType's default set to desktopId, every other line kept.
    static QStringList SetDefaultApplication(
        const QStringList &lines, const QString &mimeType, const QString &desktopId);

    // Runs a desktop cache tool (update-mime-database, update-desktop-database) when it is
    // installed; tests put a recorder here.
    std::function<void(const QString &program, const QStringList &arguments)> OnRunTool;

    static constexpr qint64 MaxConfigFileSize = 1024 * 1024;

private:
    QString dataHome() const;
    QString configHome() const;
    QStringList dataDirs() const;
    QStringList configDirs() const;
    QString findDesktopFile(const QString &desktopId) const;
    QStringList defaultApplications(const QString &mimeType) const;
    QStringList listedMimeTypes() const;
    void runTool(const QString &program, const QStringList &arguments) const;

    const Environment &m_environment;
    QString m_exeName;
    QString m_displayName;
    QString m_appName;
    QString m_pathToApp;
};

} // namespace qd
