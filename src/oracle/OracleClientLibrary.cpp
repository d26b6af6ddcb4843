#include "oracle/OracleClientLibrary.h"

#include "classlib/Exception.h"
#include "platform/DynamicLibrary.h"
#include "platform/LinuxOraclePlatform.h"

namespace qd {

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Binds one entry point of a group: once a name of the group is missing, the group's
// flag is off and the rest of its pointers stay null without a look-up.
template <typename Function>
void BindEntryPoint(
    LibraryResolver &resolver, void *module, bool &groupFlag, Function &pointer, const char *name)
{
    if (groupFlag) {
        pointer = reinterpret_cast<Function>(resolver.symbol(module, name));
        if (!pointer)
            groupFlag = false;
    } else {
        pointer = nullptr;
    }
}

} // namespace

OracleClientLibrary::OracleClientLibrary(std::shared_ptr<OraclePlatform> platform)
    : m_platform(std::move(platform))
    , m_resolver(m_platform->libraryResolver())
    , m_homes(*m_platform)
{
    m_homes.setClientInitializer([this] {
        InitClientLibrary();
        return m_capabilities;
    });
}

OracleClientLibrary::~OracleClientLibrary()
{
    try {
        FreeSharedEnvironment();
        UnloadClientLibrary();
    } catch (...) {
    }
}

OracleClientLibrary &OracleClientLibrary::instance()
{
    static OracleClientLibrary library(std::make_shared<LinuxOraclePlatform>());
    return library;
}

QString OracleClientLibrary::directoryOf(const QString &path, QChar separator)
{
    qsizetype cut = path.lastIndexOf(separator);
    cut = std::max(cut, path.lastIndexOf(QLatin1Char('/')));
    return cut < 0 ? QString() : path.left(cut + 1);
}

void OracleClientLibrary::bindEntryPoints()
{
    void *const module = m_clientModule;
    OracleCapabilities &c = m_capabilities;
    OracleEntryPoints &e = m_entryPoints;
#define QD_BIND(name, ret, params) BindEntryPoint(m_resolver, module, flag, e.name, #name);
    {
        bool &flag = c.OCI7Available;
        flag = true;
        QD_OCI7_ENTRY_POINTS(QD_BIND)
    }
    {
        bool &flag = c.OCI7LogAvailable;
        flag = c.OCI7Available;
        QD_OCI7_LOG_ENTRY_POINTS(QD_BIND)
    }
    {
        bool &flag = c.OCI7InitAvailable;
        flag = c.OCI7LogAvailable;
        QD_OCI7_INIT_ENTRY_POINTS(QD_BIND)
    }
    {
        bool &flag = c.OCI8Available;
        flag = true;
        QD_OCI8_ENTRY_POINTS(QD_BIND)
    }
    {
        bool &flag = c.OCI81Available;
        flag = c.OCI8Available;
        QD_OCI81_ENTRY_POINTS(QD_BIND)
    }
    {
        bool &flag = c.OCI9Available;
        flag = c.OCI81Available;
        QD_OCI9_ENTRY_POINTS(QD_BIND)
    }
    {
        bool &flag = c.OCI10Available;
        flag = c.OCI9Available;
        QD_OCI10_ENTRY_POINTS(QD_BIND)
    }
    {
        // Optional: no capability depends on it.
        bool present = c.OCI8Available;
        bool &flag = present;
        QD_OCI_NLS_ENTRY_POINTS(QD_BIND)
    }
#undef QD_BIND
}

int OracleClientLibrary::LoadClientLibrary()
{
    OracleLockGuard lock(m_libraryLock);
    if (m_clientModule)
        return lrLoaded;

    m_homes.ClearDiagnosticLog();
    const int chosen = m_homes.ChooseClientDll();
    if (chosen != OracleHomes::crChosen)
        return chosen;

    const QString library = m_homes.OCIDLL();
    const QString directory = directoryOf(library, m_platform->layout().separator);
    m_platform->prependToLibraryPath(directory);
    QString error;
    m_clientModule = m_resolver.open(library, &error);
    if (!m_clientModule && m_platform->retriesLoadInLibraryDirectory() && !directory.isEmpty()) {
        // Some client libraries find their companions only in the current directory.
        m_savedCurrentDirectory = m_platform->currentDirectory();
        m_platform->setCurrentDirectory(directory);
        m_platform->prependToLibraryPath(directory);
        m_clientModule = m_resolver.open(library, &error);
    }
    if (!m_clientModule) {
        m_homes.AddDiagnosticLine(
            QStringLiteral("LoadLibrary(") + library + QStringLiteral(") returned 0"));
        if (!error.isEmpty())
            m_homes.AddDiagnosticLine(error);
        return lrNotLoadable;
    }

    bindEntryPoints();
    if (!m_capabilities.OCI7Available && !m_capabilities.OCI8Available)
        return lrUnusable;
    return lrLoaded;
}

void OracleClientLibrary::InitClientLibrary()
{
    OracleLockGuard lock(m_libraryLock);
    if (m_ready)
        return;

    const int result = LoadClientLibrary();
    if (result != lrLoaded) {
        QString message;
        switch (result) {
        case lrNotLoadable:
            message = m_homes.OCIDLL().isEmpty()
                ? QStringLiteral("Could not locate OCI dll")
                : QStringLiteral("Could not load ") + quoted(m_homes.OCIDLL());
            break;
        case lrUnusable:
            message = QStringLiteral("Could not initialize ") + quoted(m_homes.OCIDLL());
            break;
        case OracleHomes::crNoHomeDirectory:
            message = QStringLiteral("SQL*Net not properly installed");
            break;
        default:
            message = QStringLiteral("Could not load the client library (code ")
                + QString::number(result) + QLatin1Char(')');
            break;
        }
        const QString log = m_homes.DiagnosticLog();
        UnloadClientLibrary();
        throw Exception(
            QStringLiteral("Initialization error") + CrLf + message + CrLf + CrLf + log);
    }

    if (m_capabilities.OCI7InitAvailable && !m_capabilities.OCI8Available)
        m_entryPoints.opinit(0);
    if (m_capabilities.OCI8Available && !m_capabilities.OCI81Available)
        m_entryPoints.OCIInitialize(OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr);
    m_ready = true;
}

void OracleClientLibrary::UnloadClientLibrary()
{
    OracleLockGuard lock(m_libraryLock);
    m_ready = false;
    // The shared environment lives in the library: free it while its code is still there,
    // so that a later load never hands out a handle of the library that went away.
    FreeSharedEnvironment();
    if (m_mtsModule)
        m_resolver.close(m_mtsModule);
    if (m_clientModule)
        m_resolver.close(m_clientModule);
    m_mtsModule = nullptr;
    m_clientModule = nullptr;
    m_homes.forgetAfterUnload();
    m_mtsDll.clear();
    m_capabilities = OracleCapabilities();
    m_entryPoints = OracleEntryPoints();
    m_mtsEntryPoints = MtsEntryPoints();
}

void OracleClientLibrary::LoadMtsLibrary()
{
    OracleLockGuard lock(m_libraryLock);
    if (MtsLibraryLoaded())
        return;
    m_capabilities.MtsAvailable = false;
    InitClientLibrary();

    const ClientLibraryLayout layout = m_platform->layout();
    if (m_mtsDll.isEmpty()) {
        m_mtsDll = directoryOf(m_homes.OCIDLL(), layout.separator)
            + (layout.transactionLibrary.isEmpty() ? QStringLiteral("oramts.dll")
                                                   : layout.transactionLibrary);
    }
    QString message;
    if (layout.transactionLibrary.isEmpty() || !m_platform->fileExists(m_mtsDll)) {
        message = QStringLiteral("Could not locate ") + quoted(m_mtsDll);
    } else {
        QString error;
        m_mtsModule = m_resolver.open(m_mtsDll, &error);
        if (!m_mtsModule) {
            message = QStringLiteral("Could not load ") + quoted(m_mtsDll);
        } else {
            bool &flag = m_capabilities.MtsAvailable;
            flag = true;
            void *const module = m_mtsModule;
            MtsEntryPoints &e = m_mtsEntryPoints;
#define QD_BIND(name, ret, params) BindEntryPoint(m_resolver, module, flag, e.name, #name);
            QD_MTS_ENTRY_POINTS(QD_BIND)
#undef QD_BIND
            if (!flag) {
                message = QStringLiteral("Could not initialize ") + quoted(m_mtsDll);
                m_resolver.close(m_mtsModule);
                m_mtsModule = nullptr;
                m_mtsEntryPoints = MtsEntryPoints();
                m_mtsDll.clear();
            }
        }
    }
    if (!message.isEmpty())
        throw Exception(QStringLiteral("Initialization error") + CrLf + message);
}

void OracleClientLibrary::RestoreCurrentDirectory()
{
    OracleLockGuard lock(m_libraryLock);
    if (!m_savedCurrentDirectory.isEmpty()) {
        QString libraryDir = directoryOf(m_homes.OCIDLL(), m_platform->layout().separator);
        QString current = m_platform->currentDirectory();
        const auto strip = [](QString &s) {
            while (s.size() > 1 && (s.endsWith(QLatin1Char('/')) || s.endsWith(QLatin1Char('\\'))))
                s.chop(1);
        };
        strip(libraryDir);
        strip(current);
        if (current == libraryDir)
            m_platform->setCurrentDirectory(m_savedCurrentDirectory);
    }
    m_savedCurrentDirectory.clear();
}

OCIEnv *OracleClientLibrary::GetSharedEnvironment()
{
    OracleLockGuard lock(m_libraryLock);
    if (m_sharedEnvironment)
        return m_sharedEnvironment;
    InitClientLibrary();

    OCIEnv *handle = nullptr;
    sword status = OCI_ERROR;
    const OracleEntryPoints &e = m_entryPoints;
    if (m_capabilities.OCI81Available && e.OCIEnvNlsCreate) {
        status = e.OCIEnvNlsCreate(&handle, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr,
            nullptr, 0, nullptr, AL32UTF8_CHARSET_ID, AL32UTF8_CHARSET_ID);
    } else if (m_capabilities.OCI81Available) {
        status = e.OCIEnvCreate(
            &handle, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    } else if (m_capabilities.OCI8Available) {
        status = e.OCIEnvInit(&handle, OCI_DEFAULT, 0, nullptr);
    } else {
        throw Exception(QStringLiteral("The client library has no environment handles"));
    }
    if ((status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO) || !handle) {
        throw Exception(QStringLiteral("Could not create the client environment (status ")
            + QString::number(status) + QLatin1Char(')'));
    }
    m_sharedEnvironment = handle;
    return m_sharedEnvironment;
}

void OracleClientLibrary::FreeSharedEnvironment()
{
    OracleLockGuard lock(m_libraryLock);
    if (m_sharedEnvironment && m_entryPoints.OCIHandleFree)
        m_entryPoints.OCIHandleFree(m_sharedEnvironment, OCI_HTYPE_ENV);
    m_sharedEnvironment = nullptr;
}

QString OracleClientLibrary::OCIDLL()
{
    OracleLockGuard lock(m_libraryLock);
    return m_homes.OCIDLL();
}

void OracleClientLibrary::SetOCIDLL(const QString &path)
{
    OracleLockGuard lock(m_libraryLock);
    m_homes.SetOCIDLL(path);
}

QString OracleClientLibrary::FindTnsNamesFile()
{
    OracleLockGuard lock(m_libraryLock);
    return m_homes.FindTnsNamesFile();
}

void OracleClientLibrary::BuildTnsAliasList()
{
    OracleLockGuard lock(m_libraryLock);
    m_homes.BuildTnsAliasList();
}

QStringList OracleClientLibrary::GetTnsAliasList()
{
    OracleLockGuard lock(m_libraryLock);
    return m_homes.GetTnsAliasList();
}

QStringList OracleClientLibrary::TnsAliasWarnings()
{
    OracleLockGuard lock(m_libraryLock);
    return m_homes.TnsAliasWarnings();
}

QString OCIDLL()
{
    return OracleClientLibrary::instance().OCIDLL();
}

void SetOCIDLL(const QString &path)
{
    OracleClientLibrary::instance().SetOCIDLL(path);
}

void InitClientLibrary()
{
    OracleClientLibrary::instance().InitClientLibrary();
}
void UnloadClientLibrary()
{
    OracleClientLibrary::instance().UnloadClientLibrary();
}
void LoadMtsLibrary()
{
    OracleClientLibrary::instance().LoadMtsLibrary();
}
void RestoreCurrentDirectory()
{
    OracleClientLibrary::instance().RestoreCurrentDirectory();
}
OCIEnv *GetSharedEnvironment()
{
    return OracleClientLibrary::instance().GetSharedEnvironment();
}
bool ClientLibraryLoaded()
{
    return OracleClientLibrary::instance().ClientLibraryLoaded();
}
bool MtsLibraryLoaded()
{
    return OracleClientLibrary::instance().MtsLibraryLoaded();
}
const OracleEntryPoints &OCI()
{
    return OracleClientLibrary::instance().entryPoints();
}
const OracleCapabilities &OCICapabilities()
{
    return OracleClientLibrary::instance().capabilities();
}
QString FindTnsNamesFile()
{
    return OracleClientLibrary::instance().FindTnsNamesFile();
}
void BuildTnsAliasList()
{
    OracleClientLibrary::instance().BuildTnsAliasList();
}
QStringList GetTnsAliasList()
{
    return OracleClientLibrary::instance().GetTnsAliasList();
}

QStringList TnsAliasWarnings()
{
    return OracleClientLibrary::instance().TnsAliasWarnings();
}

} // namespace qd
