#include "oracle/OracleHomes.h"

#include "oracle/TnsNames.h"
#include "platform/CommandLine.h"

#include <algorithm>

namespace qd {

namespace {
constexpr auto LocalMachine = OraclePlatform::RegistryRoot::LocalMachine;
const QString OracleRootKey = QStringLiteral("SOFTWARE\\ORACLE");
const QString OracleHomeValue = QStringLiteral("ORACLE_HOME");
constexpr int MaxHomeNumber = 999;
} // namespace

OracleHomes::OracleHomes(OraclePlatform &platform)
    : m_platform(platform)
    , m_layout(platform.layout())
{
}

void OracleHomes::setClientInitializer(std::function<OracleCapabilities()> initializer)
{
    m_clientInitializer = std::move(initializer);
}

QString OracleHomes::GetCommandLineValue(const QString &name) const
{
    return CommandLine(m_platform.commandLineParameters()).value(name);
}

QString OracleHomes::ReadRegistryString(const QString &key, const QString &valueName) const
{
    return m_platform.readRegistryString(LocalMachine, key, valueName);
}

QStringList OracleHomes::ListRegistrySubKeys(const QString &key) const
{
    return m_platform.listRegistrySubKeys(LocalMachine, key);
}

void OracleHomes::AppendPathPart(QString &path, const QString &part) const
{
    if (!path.isEmpty() && !path.endsWith(m_layout.separator))
        path += m_layout.separator;
    path += part;
}

void OracleHomes::AddDiagnosticLine(const QString &line)
{
    if (!m_diagnosticLog.isEmpty())
        m_diagnosticLog += QLatin1String("\r\n");
    m_diagnosticLog += line;
}

void OracleHomes::addHome(const QString &name, int number)
{
    const auto less = [](const OracleHomeEntry &entry, const QString &value) {
        return entry.name.compare(value, Qt::CaseInsensitive) < 0;
    };
    const auto it = std::lower_bound(m_oracleHomeList.begin(), m_oracleHomeList.end(), name, less);
    if (it != m_oracleHomeList.end() && it->name.compare(name, Qt::CaseInsensitive) == 0)
        return; // the first home of a name stays
    m_oracleHomeList.insert(it, OracleHomeEntry { name, number });
}

void OracleHomes::BuildOracleHomeList()
{
    m_oracleHomeList.clear();
    bool counted = false;
    const int counter = ReadRegistryString(
        QStringLiteral("SOFTWARE\\ORACLE\\ALL_HOMES"), QStringLiteral("HOME_COUNTER"))
                            .trimmed()
                            .toInt(&counted);
    if (counted) {
        int wanted = std::max(counter, 1);
        for (int i = 0; i <= MaxHomeNumber && wanted > 0; ++i) {
            const QString name
                = ReadRegistryString(QStringLiteral("SOFTWARE\\ORACLE\\HOME") + QString::number(i),
                    QStringLiteral("ORACLE_HOME_NAME"));
            if (!name.isEmpty()) {
                addHome(name, i);
                --wanted;
            }
        }
    }
    for (const QString &subKey : ListRegistrySubKeys(OracleRootKey)) {
        if (subKey.left(4).toUpper() == QLatin1String("KEY_"))
            addHome(subKey.mid(4), -1);
    }
}

QString OracleHomes::homeKey(const OracleHomeEntry &entry) const
{
    if (entry.number >= 0)
        return QStringLiteral("SOFTWARE\\ORACLE\\HOME") + QString::number(entry.number);
    return QStringLiteral("SOFTWARE\\ORACLE\\KEY_") + entry.name;
}

QString OracleHomes::FindOracleHomeKey()
{
    if (!m_oracleHomeKey.isEmpty())
        return m_oracleHomeKey;

    BuildOracleHomeList();
    QString result;
    if (m_oracleHomeList.isEmpty()) {
        result = OracleRootKey;
    } else {
        QString wanted = GetCommandLineValue(QStringLiteral("ORACLEHOME")).toUpper();
        if (wanted.isEmpty())
            wanted = m_oracleHomeName.toUpper();
        m_oracleHomeNameAutoChosen = false;

        const QString pathUpper = m_platform.environmentValue(QStringLiteral("PATH")).toUpper();
        qsizetype bestPos = pathUpper.size();
        QString resultName;
        bool matchedByName = false;
        for (const OracleHomeEntry &entry : std::as_const(m_oracleHomeList)) {
            const QString key = homeKey(entry);
            if (!wanted.isEmpty() && entry.name.toUpper() == wanted) {
                result = key;
                resultName = entry.name;
                matchedByName = true;
                break;
            }
            QString bin = ReadRegistryString(key, OracleHomeValue);
            if (bin.isEmpty())
                continue;
            AppendPathPart(bin, m_layout.libraryDirectory);
            const qsizetype pos = pathUpper.indexOf(bin.toUpper()) + 1; // 1-based, 0: absent
            if (pos > 0 && pos < bestPos) {
                result = key;
                resultName = entry.name;
                bestPos = pos;
            }
        }
        if (result.isEmpty() && !matchedByName) {
            result = homeKey(m_oracleHomeList.last());
            resultName = m_oracleHomeList.last().name;
        }
        if (m_oracleHomeName.isEmpty()) {
            m_oracleHomeName = resultName;
            m_oracleHomeNameAutoChosen = true;
        }
    }
    if (ReadRegistryString(result, OracleHomeValue).isEmpty())
        result = OracleRootKey;
    m_oracleHomeKey = result;
    return m_oracleHomeKey;
}

QString OracleHomes::GetOracleHomeDir()
{
    return ReadRegistryString(FindOracleHomeKey(), OracleHomeValue);
}

bool OracleHomes::isPrimaryLibrary(const QString &fileName) const
{
    const auto sensitivity = m_layout.naming == ClientLibraryLayout::Naming::Windows
        ? Qt::CaseInsensitive
        : Qt::CaseSensitive;
    return fileName.compare(m_layout.primaryLibrary, sensitivity) == 0;
}

std::optional<double> OracleHomes::candidateVersion(const QString &fileName) const
{
    auto allDigits = [](const QString &s) {
        return !s.isEmpty() && s.size() <= 9 && std::all_of(s.begin(), s.end(), [](QChar c) {
            return c.isDigit() && c.unicode() < 128;
        });
    };
    if (m_layout.naming == ClientLibraryLayout::Naming::Windows) {
        // ora<digits>.dll or oraNT<digits>.dll; the digits are the decimals of "0.".
        qsizetype start = 3;
        if (fileName.mid(3, 2).toUpper() == QLatin1String("NT"))
            start = 5;
        const qsizetype dot = fileName.indexOf(QLatin1Char('.'), start);
        const QString digits = fileName.mid(start, dot < 0 ? -1 : dot - start);
        if (!allDigits(digits))
            return std::nullopt;
        const double version = (QStringLiteral("0.") + digits).toDouble();
        return version > 0 ? std::optional<double>(version) : std::nullopt;
    }
    // libclntsh.so.<major>[.<minor>[.<patch>]]
    const QString prefix = m_layout.primaryLibrary + QLatin1Char('.');
    if (!fileName.startsWith(prefix))
        return std::nullopt;
    const QStringList parts = fileName.mid(prefix.size()).split(QLatin1Char('.'));
    if (parts.size() > 3)
        return std::nullopt;
    double version = 0;
    double scale = 1;
    for (const QString &part : parts) {
        if (!allDigits(part) || part.toInt() >= 1000)
            return std::nullopt;
        version += part.toInt() * scale;
        scale /= 1000;
    }
    return version > 0 ? std::optional<double>(version) : std::nullopt;
}

QStringList OracleHomes::ListClientDllCandidates(bool log)
{
    QStringList candidates;
    m_oracleHomeDir = GetOracleHomeDir();
    if (m_oracleHomeDir.isEmpty())
        return candidates;
    QString dir = m_oracleHomeDir;
    AppendPathPart(dir, m_layout.libraryDirectory + m_layout.separator);
    if (m_platform.fileExists(dir + m_layout.primaryLibrary)) {
        if (log)
            AddDiagnosticLine(QStringLiteral("Found: ") + m_layout.primaryLibrary);
        candidates.append(dir + m_layout.primaryLibrary);
    }
    for (const QString &name : m_platform.listFiles(dir, m_layout.candidateWildcard)) {
        if (isPrimaryLibrary(name) || !candidateVersion(name))
            continue;
        if (log)
            AddDiagnosticLine(QStringLiteral("Found: ") + name);
        candidates.append(dir + name);
    }
    return candidates;
}

int OracleHomes::ChooseClientDll()
{
    m_clientDllAutoChosen = false;
    const QString forced = GetCommandLineValue(QStringLiteral("OCIDLL"));
    if (!forced.isEmpty())
        m_ociDll = forced;
    if (!m_ociDll.isEmpty()) {
        AddDiagnosticLine(QStringLiteral("OCIDLL forced to ") + m_ociDll);
        return crChosen;
    }

    m_oracleHomeDir = GetOracleHomeDir();
    AddDiagnosticLine(QStringLiteral("OracleHomeKey: ") + m_oracleHomeKey);
    AddDiagnosticLine(QStringLiteral("OracleHomeDir: ") + m_oracleHomeDir);
    const QStringList candidates = ListClientDllCandidates(true);
    if (m_oracleHomeDir.isEmpty()) {
        if (m_layout.fallbackLibrary.isEmpty())
            return crNoHomeDirectory;
        // No home: leave the search to the system loader (an Instant Client on its path).
        m_ociDll = m_layout.fallbackLibrary;
        m_clientDllAutoChosen = true;
        AddDiagnosticLine(QStringLiteral("Using: ") + m_ociDll);
        return crChosen;
    }

    double best = 0.0;
    for (const QString &candidate : candidates) {
        const QString name = candidate.mid(candidate.lastIndexOf(m_layout.separator) + 1);
        if (isPrimaryLibrary(name)) {
            m_ociDll = candidate;
            m_clientDllAutoChosen = true;
            break;
        }
        const std::optional<double> version = candidateVersion(name);
        if (version && *version > best) {
            best = *version;
            m_ociDll = candidate;
            m_clientDllAutoChosen = true;
        }
    }
    if (m_ociDll.isEmpty())
        return crNoCandidate;
    AddDiagnosticLine(QStringLiteral("Using: ") + m_ociDll);
    return crChosen;
}

QString OracleHomes::FindTnsNamesFile()
{
    if (!m_tnsNamesPath.isEmpty())
        return m_tnsNamesPath;

    FindOracleHomeKey();
    const OracleCapabilities capabilities
        = m_clientInitializer ? m_clientInitializer() : OracleCapabilities();

    QString path = m_platform.environmentValue(QStringLiteral("TNS_ADMIN"));
    if (path.isEmpty())
        path = ReadRegistryString(m_oracleHomeKey, QStringLiteral("TNS_ADMIN"));
    if (path.isEmpty() && m_oracleHomeKey.compare(OracleRootKey, Qt::CaseInsensitive) != 0)
        path = ReadRegistryString(OracleRootKey, QStringLiteral("TNS_ADMIN"));
    if (path.isEmpty()) {
        path = ReadRegistryString(m_oracleHomeKey,
            capabilities.OCI8Available ? QStringLiteral("NET80") : QStringLiteral("NET20"));
        if (!path.isEmpty()) {
            AppendPathPart(path, QStringLiteral("Admin"));
        } else {
            path = ReadRegistryString(m_oracleHomeKey, OracleHomeValue);
            AppendPathPart(path,
                capabilities.OCI8Available && !capabilities.OCI81Available
                    ? m_layout.net80AdminDirectory
                    : m_layout.networkAdminDirectory);
        }
    }
    AppendPathPart(path, QStringLiteral("tnsnames.ora"));
    m_tnsNamesPath = path;
    return m_tnsNamesPath;
}

QString OracleHomes::GetDefaultDomain()
{
    if (!m_defaultDomain.isEmpty())
        return m_defaultDomain;
    const QString tnsNames = FindTnsNamesFile();
    qsizetype cut = tnsNames.lastIndexOf(m_layout.separator);
    cut = std::max(cut, tnsNames.lastIndexOf(QLatin1Char('/')));
    const QString file = tnsNames.left(cut + 1) + QStringLiteral("sqlnet.ora");
    if (m_platform.fileExists(file))
        m_defaultDomain = TnsNames::defaultDomainFromLines(m_platform.readTextLines(file));
    return m_defaultDomain;
}

void OracleHomes::ParseTnsNamesFile(const QString &fileName)
{
    TnsNames parser(
        [this](const QString &path) -> std::optional<QStringList> {
            if (!m_platform.fileExists(path))
                return std::nullopt;
            return m_platform.readTextLines(path);
        },
        GetDefaultDomain());
    for (const QString &alias : parser.parseFile(fileName))
        TnsNames::insertSorted(m_tnsAliasList, alias);
    for (const QString &warning : parser.warnings()) {
        if (!m_tnsAliasWarnings.contains(warning))
            m_tnsAliasWarnings.append(warning);
    }
}

void OracleHomes::BuildTnsAliasList()
{
    m_tnsAliasList.clear();
    m_tnsAliasWarnings.clear();
    m_tnsAliasListBuilt = true;
    ParseTnsNamesFile(FindTnsNamesFile());
}

QStringList OracleHomes::GetTnsAliasList()
{
    if (!m_tnsAliasListBuilt) {
        try {
            BuildTnsAliasList();
        } catch (...) {
            // The logon window lists what could be read; an unreadable configuration
            // leaves the list (partly) empty rather than failing the window.
        }
    }
    return m_tnsAliasList;
}

void OracleHomes::forgetAfterUnload()
{
    if (m_clientDllAutoChosen)
        m_ociDll.clear();
    if (m_oracleHomeNameAutoChosen)
        m_oracleHomeName.clear();
    m_clientDllAutoChosen = false;
    m_oracleHomeNameAutoChosen = false;
    m_defaultDomain.clear();
    m_oracleHomeKey.clear();
    m_oracleHomeDir.clear();
}

} // namespace qd
