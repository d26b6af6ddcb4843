#pragma once

#include "oracle/OracleCI.h"
#include "oracle/OracleCriticalSection.h"
#include "oracle/OracleHomes.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

namespace qd {

class LibraryResolver;
class OraclePlatform;

// Loads the client library that discovery chose, binds its entry points by capability
// group, owns the environment all sessions share, and can unload everything again. One
// instance serves the process (instance()); tests make their own with a fake platform.
//
// All loading, unloading and the shared environment run under LibraryLock(); the entry
// points and flags are written only under it and only read once a load has finished.
class OracleClientLibrary {
public:
    // Results of LoadClientLibrary (besides the codes of OracleHomes::ChooseClientDll).
    enum LoadResult { lrLoaded = 0, lrNotLoadable = 1, lrUnusable = 2 };

    explicit OracleClientLibrary(std::shared_ptr<OraclePlatform> platform);
    ~OracleClientLibrary();
    OracleClientLibrary(const OracleClientLibrary &) = delete;
    OracleClientLibrary &operator=(const OracleClientLibrary &) = delete;

    // The process's library, over the Linux platform (environment and command line of
    // this process). Created on first use.
    static OracleClientLibrary &instance();

    TOracleCriticalSection &LibraryLock() { return m_libraryLock; }
    // Discovery state (OCIDLL, the Oracle home, the diagnostic log, the alias list).
    // Change it only under LibraryLock().
    OracleHomes &homes() { return m_homes; }

    // The client library to load; a value set before the first load is used unchanged
    // (the program's own choice, like OCIDLL= on the command line).
    QString OCIDLL();
    void SetOCIDLL(const QString &path);

    // Loads once and raises qd::Exception ("Initialization error" ...) on failure, after
    // unloading everything so that the next call starts discovery afresh.
    void InitClientLibrary();
    int LoadClientLibrary();
    void UnloadClientLibrary();
    // Loads the transaction-enlistment library once; raises on failure.
    void LoadMtsLibrary();
    void RestoreCurrentDirectory();
    // The environment handle every session uses, created on first use (in UTF-8 when the
    // library can be told the character set). Raises when it cannot be created.
    OCIEnv *GetSharedEnvironment();
    // Frees the shared environment (at the end of the session layer's life).
    void FreeSharedEnvironment();

    // True once InitClientLibrary has finished a load (safe to ask without the lock).
    bool ClientLibraryLoaded() const { return m_ready.load(); }
    bool MtsLibraryLoaded() const { return m_mtsModule != nullptr; }

    const OracleEntryPoints &entryPoints() const { return m_entryPoints; }
    const MtsEntryPoints &mtsEntryPoints() const { return m_mtsEntryPoints; }
    const OracleCapabilities &capabilities() const { return m_capabilities; }
    bool OCI7Available() const { return m_capabilities.OCI7Available; }
    bool OCI7LogAvailable() const { return m_capabilities.OCI7LogAvailable; }
    bool OCI7InitAvailable() const { return m_capabilities.OCI7InitAvailable; }
    bool OCI8Available() const { return m_capabilities.OCI8Available; }
    bool OCI81Available() const { return m_capabilities.OCI81Available; }
    bool OCI9Available() const { return m_capabilities.OCI9Available; }
    bool OCI10Available() const { return m_capabilities.OCI10Available; }
    bool MtsAvailable() const { return m_capabilities.MtsAvailable; }
    QString MtsDll() const { return m_mtsDll; }

    // Discovery that needs the library lock (and may initialise the library).
    QString FindTnsNamesFile();
    void BuildTnsAliasList();
    QStringList GetTnsAliasList();
    QStringList TnsAliasWarnings();

private:
    void bindEntryPoints();
    static QString directoryOf(const QString &path, QChar separator);

    std::shared_ptr<OraclePlatform> m_platform;
    LibraryResolver &m_resolver;
    TOracleCriticalSection m_libraryLock;
    OracleHomes m_homes;
    void *m_clientModule = nullptr; // guarded by the library lock
    std::atomic<bool> m_ready { false };
    std::atomic<void *> m_mtsModule { nullptr };
    QString m_mtsDll;
    QString m_savedCurrentDirectory;
    OCIEnv *m_sharedEnvironment = nullptr;
    OracleEntryPoints m_entryPoints;
    MtsEntryPoints m_mtsEntryPoints;
    OracleCapabilities m_capabilities;
};

// The process's library (OracleClientLibrary::instance()), for the session layer.
QString OCIDLL();
void SetOCIDLL(const QString &path);
void InitClientLibrary();
void UnloadClientLibrary();
void LoadMtsLibrary();
void RestoreCurrentDirectory();
OCIEnv *GetSharedEnvironment();
bool ClientLibraryLoaded();
bool MtsLibraryLoaded();
const OracleEntryPoints &OCI();
const OracleCapabilities &OCICapabilities();
QString FindTnsNamesFile();
void BuildTnsAliasList();
QStringList GetTnsAliasList();
// Problems met while the alias list was built (one line each, naming the file).
QStringList TnsAliasWarnings();

} // namespace qd
