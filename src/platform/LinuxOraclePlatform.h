#pragma once

#include "platform/CommandLine.h"
#include "platform/OraclePlatform.h"

namespace qd {

class Environment;

// The client installation as a Linux user has it: $ORACLE_HOME is the home (its lib
// directory holds libclntsh.so, perhaps also versioned libclntsh.so.N.M files); without
// a home the loader's own search finds libclntsh.so (an Instant Client on
// LD_LIBRARY_PATH); tnsnames.ora and sqlnet.ora come from $TNS_ADMIN, else
// $ORACLE_HOME/network/admin.
//
// There is no registry: it reads as a single key, SOFTWARE\ORACLE, whose ORACLE_HOME
// value is $ORACLE_HOME, so the home rules pick that home and nothing else.
class LinuxOraclePlatform : public OraclePlatform {
public:
    // Largest text file read as lines; larger files are refused rather than loaded.
    static constexpr qint64 MaxTextFileSize = 16 * 1024 * 1024;

    LinuxOraclePlatform(const Environment &environment, CommandLine commandLine);
    // The process environment and command line.
    LinuxOraclePlatform();

    ClientLibraryLayout layout() const override;
    QString readRegistryString(RegistryRoot root, const QString &key,
                               const QString &valueName) const override;
    QStringList listRegistrySubKeys(RegistryRoot root, const QString &key) const override;
    QString environmentValue(const QString &name) const override;
    QStringList commandLineParameters() const override;
    bool fileExists(const QString &path) const override;
    QStringList listFiles(const QString &directory, const QString &wildcard) const override;
    QStringList readTextLines(const QString &path) const override;

private:
    const Environment &m_environment;
    CommandLine m_commandLine;
};

} // namespace qd
