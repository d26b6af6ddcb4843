#pragma once

#include "oracle/OracleCI.h"
#include "platform/OraclePlatform.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qd {

// One Oracle home of the machine: its name and its HOME number (0..999), or -1 for a
// home registered as a "KEY_" subkey.
struct OracleHomeEntry {
    QString name;
    int number = -1;
};

// Finding the client library: which Oracle home is meant, which client library of that
// home is loaded, and which network aliases the home's tnsnames.ora offers. Everything
// it reads comes from an OraclePlatform, so the rules can be driven by a fake machine.
//
// Not thread-safe by itself: OracleClientLibrary calls it under its library lock.
class OracleHomes {
public:
    // Results of ChooseClientDll.
    enum ChooseResult { crChosen = 0, crNoCandidate = 1, crNoHomeDirectory = 3 };

    explicit OracleHomes(OraclePlatform &platform);

    OraclePlatform &platform() const { return m_platform; }

    // Called by FindTnsNamesFile before it looks at the capability flags: initialises the
    // client library and returns its capabilities (may throw). Unset: no library, all false.
    void setClientInitializer(std::function<OracleCapabilities()> initializer);

    // ---- unit state -------------------------------------------------------------------------
    const QString &OCIDLL() const { return m_ociDll; }
    // A value set before the first load is used unchanged.
    void SetOCIDLL(const QString &path) { m_ociDll = path; }
    bool ClientDllAutoChosen() const { return m_clientDllAutoChosen; }
    const QString &OracleHomeKey() const { return m_oracleHomeKey; }
    const QString &OracleHomeDir() const { return m_oracleHomeDir; }
    const QString &OracleHomeName() const { return m_oracleHomeName; }
    void SetOracleHomeName(const QString &name) { m_oracleHomeName = name; }
    bool OracleHomeNameAutoChosen() const { return m_oracleHomeNameAutoChosen; }
    const QList<OracleHomeEntry> &OracleHomeList() const { return m_oracleHomeList; }
    const QString &DiagnosticLog() const { return m_diagnosticLog; }
    void ClearDiagnosticLog() { m_diagnosticLog.clear(); }
    const QString &TnsNamesPath() const { return m_tnsNamesPath; }
    const QString &DefaultDomainValue() const { return m_defaultDomain; }

    // ---- utility operations -------------------------------------------------------------------
    QString GetCommandLineValue(const QString &name) const;
    QString ReadRegistryString(const QString &key, const QString &valueName) const;
    QStringList ListRegistrySubKeys(const QString &key) const;
    // Appends the separator to a non-empty path that does not already end in it, then part.
    void AppendPathPart(QString &path, const QString &part) const;
    void AddDiagnosticLine(const QString &line);

    // ---- discovery ------------------------------------------------------------------------------
    void BuildOracleHomeList();
    QString FindOracleHomeKey();
    QString GetOracleHomeDir();
    QStringList ListClientDllCandidates(bool log);
    int ChooseClientDll();
    QString FindTnsNamesFile();
    QString GetDefaultDomain();
    void ParseTnsNamesFile(const QString &fileName);
    void BuildTnsAliasList();
    QStringList GetTnsAliasList();
    // What went wrong while the alias list was last built (an include that is missing or
    // cannot be read, ...), one line per problem naming the file, for the logon window
    // to show beside the list.
    const QStringList &TnsAliasWarnings() const { return m_tnsAliasWarnings; }

    // The version a candidate's file name stands for (ora805.dll: 0.805,
    // libclntsh.so.19.1: 19.001), or nothing when the name carries no version.
    std::optional<double> candidateVersion(const QString &fileName) const;

    // Forgets what a load chose automatically (UnloadClientLibrary).
    void forgetAfterUnload();

private:
    void addHome(const QString &name, int number);
    QString homeKey(const OracleHomeEntry &entry) const;
    bool isPrimaryLibrary(const QString &fileName) const;

    OraclePlatform &m_platform;
    ClientLibraryLayout m_layout;
    std::function<OracleCapabilities()> m_clientInitializer;

    QString m_ociDll;
    bool m_clientDllAutoChosen = false;
    QString m_oracleHomeKey;
    QString m_oracleHomeDir;
    QString m_oracleHomeName;
    bool m_oracleHomeNameAutoChosen = false;
    QList<OracleHomeEntry> m_oracleHomeList;
    QString m_diagnosticLog;
    QString m_tnsNamesPath;
    QString m_defaultDomain;
    QStringList m_tnsAliasList;
    QStringList m_tnsAliasWarnings;
    bool m_tnsAliasListBuilt = false;
};

} // namespace qd
