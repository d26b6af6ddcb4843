// TOracleSession: dependents, construction, component state, properties, status, the call
// lock, session options, server package wrappers and the monitor. Logon and logoff are in
// OracleSessionLogon.cpp, transactions and statements in OracleSessionTransactions.cpp, the
// probes of the server in OracleSessionProbes.cpp.
#include "oracle/OracleSession.h"

#include "classlib/Exception.h"
#include "oracle/OracleCall.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleError.h"
#include "oracle/OracleMonitor.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleSessionSupport.h"
#include "oracle/OracleSqlText.h"
#include "oracle/OracleUnit.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qd {

using namespace SessionSupport;

namespace {

std::recursive_mutex &sessionListMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

QList<TOracleSession *> &sessionList()
{
    static QList<TOracleSession *> sessions;
    return sessions;
}

TOracleSessionPoolBase *&defaultPool()
{
    static TOracleSessionPoolBase *pool = nullptr;
    return pool;
}

} // namespace

// ---- Session pool -------------------------------------------------------------------------------

void TOracleSessionPoolBase::SetDefaultPool(TOracleSessionPoolBase *pool)
{
    defaultPool() = pool;
}

TOracleSessionPoolBase *TOracleSessionPoolBase::DefaultPool()
{
    return defaultPool();
}

// ---- Dependents ---------------------------------------------------------------------------------

void TOracleSession::AddDependent(OracleSessionDependent *dependent)
{
    if (!dependent)
        return;
    std::lock_guard lock(m_dependents->mutex);
    auto &list = m_dependents->lists[dependent->dependentKind()];
    if (!list.contains(dependent))
        list.append(dependent);
}

void TOracleSession::RemoveDependent(OracleSessionDependent *dependent)
{
    if (!dependent)
        return;
    std::lock_guard lock(m_dependents->mutex);
    m_dependents->lists[dependent->dependentKind()].removeAll(dependent);
}

QList<OracleSessionDependent *> TOracleSession::Dependents(OracleSessionDependent::Kind kind) const
{
    std::lock_guard lock(m_dependents->mutex);
    return m_dependents->lists[kind];
}

void TOracleSession::CloseDependents()
{
    m_dependents->walkBackwards(
        OracleSessionDependent::dkQuery, [](OracleSessionDependent *d) { d->sessionLoggingOff(); });
    m_dependents->walkBackwards(OracleSessionDependent::dkDataSet,
        [](OracleSessionDependent *d) { d->sessionLoggingOff(); });
}

void TOracleSession::ReactivateDataSets()
{
    m_dependents->walkBackwards(OracleSessionDependent::dkDataSet, [](OracleSessionDependent *d) {
        try {
            d->sessionPreferencesChanged();
        } catch (const std::exception &e) {
            ScreenConfirm(QStringLiteral("Error reactivating dataset ") + d->dependentName()
                    + QStringLiteral(":\r\n") + messageOf(e),
                QStringLiteral("O"));
        }
    });
}

// ---- Construction -------------------------------------------------------------------------------

TOracleSession::TOracleSession(QObject *owner, OracleClientLibrary *library)
    : QObject(owner)
    , m_library(library ? library : &OracleClientLibrary::instance())
    , m_dependents(std::make_unique<DependentLists>())
{
    OracleUnit::Startup();
    m_preferences = std::make_unique<TSessionPreferences>(this);
    std::lock_guard lock(sessionListMutex());
    sessionList().append(this);
}

TOracleSession::~TOracleSession()
{
    m_destroying = true;
    try {
        LogOff();
    } catch (...) {
        // A destructor never throws; the connection is gone with the handles below.
    }
    m_dbmsOutput.reset();
    m_dbmsApplicationInfo.reset();
    {
        // Dependents forget the session; they must not find it in their own destructors.
        std::lock_guard lock(m_dependents->mutex);
        for (auto &list : m_dependents->lists) {
            const QList<OracleSessionDependent *> members = list;
            list.clear();
            for (OracleSessionDependent *d : members)
                d->sessionDestroyed();
        }
    }
    freeHandles();
    if (m_monitorId != 0)
        OracleMonitor::ReportCall(false, OracleMonitor::KindSession, m_monitorId, nullptr, {});
    std::lock_guard lock(sessionListMutex());
    sessionList().removeAll(this);
}

QList<TOracleSession *> TOracleSession::AllSessions()
{
    std::lock_guard lock(sessionListMutex());
    return sessionList();
}

void TOracleSession::LogOffAllSessions()
{
    std::lock_guard lock(sessionListMutex());
    const QList<TOracleSession *> sessions = sessionList();
    for (TOracleSession *session : sessions) {
        try {
            session->LogOff();
        } catch (...) {
            // Shutting down: a connection that cannot end cleanly is left to the server.
        }
    }
}

const OracleEntryPoints &TOracleSession::entryPoints() const
{
    return m_library->entryPoints();
}

const OracleCapabilities &TOracleSession::capabilities() const
{
    return m_library->capabilities();
}

// ---- Component state ----------------------------------------------------------------------------

bool TOracleSession::IsDesignConnectionStream() const
{
    return m_loading && !m_designing && m_designConnection;
}

void TOracleSession::Loaded()
{
    // Still loading while the streamed logon runs, so that its end does not fire the events
    // that the end of loading fires below.
    CompleteStreamedLogOn();
    m_loading = false;
    if (m_connected) {
        DoAfterLogOn();
        changed();
    }
}

void TOracleSession::CompleteStreamedLogOn()
{
    if (!m_streamedConnect)
        return;
    m_streamedConnect = false;
    try {
        LogOn();
    } catch (...) {
        // A stored connection that cannot be made leaves the session disconnected.
    }
}

void TOracleSession::SetConnected(bool value)
{
    if (m_loading) {
        if (value && !IsDesignConnectionStream())
            m_streamedConnect = true;
        return;
    }
    if (value == m_connected)
        return;
    if (value)
        LogOn();
    else
        LogOff();
}

void TOracleSession::changed()
{
    if (OnChange)
        OnChange(this);
}

void TOracleSession::DoBeforeLogOn()
{
    if (BeforeLogOn)
        BeforeLogOn(this);
}

void TOracleSession::DoAfterLogOn()
{
    if (AfterLogOn)
        AfterLogOn(this);
}

// ---- Properties ---------------------------------------------------------------------------------

void TOracleSession::checkNotConnected(const char *property) const
{
    if (m_connected) {
        throw Exception(QStringLiteral("Cannot change ") + QLatin1String(property)
            + QStringLiteral(" property when connected"));
    }
}

void TOracleSession::SetLogonUsername(const QString &value)
{
    if (value == m_logonUsername || IsDesignConnectionStream())
        return;
    // A whole logon string may be typed here; its " as <mode>" must survive the quote rule
    // so that the logon string can be split again.
    QString name = value;
    QString mode;
    SplitConnectMode(name, mode);
    name = QuoteWhenNeeded(name, QStringLiteral("./@"));
    if (!mode.isEmpty())
        name += QStringLiteral(" as ") + mode;
    m_logonUsername = name;
    DetectODBCBridge();
}

void TOracleSession::SetLogonPassword(const QString &value)
{
    if (value == m_logonPassword || IsDesignConnectionStream())
        return;
    m_logonPassword = QuoteWhenNeeded(value);
    DetectODBCBridge();
}

void TOracleSession::SetLogonDatabase(const QString &value)
{
    if (IsDesignConnectionStream())
        return;
    m_logonDatabase = value;
    DetectODBCBridge();
}

void TOracleSession::DetectODBCBridge()
{
    const QLatin1String marker("ODBC:");
    m_odbcBridge
        = m_logonDatabase.toUpper().contains(marker) || m_logonUsername.toUpper().contains(marker);
    // The bridge's own client is recorded in the Windows registry, which Linux has not.
    m_oca60Installed = false;
}

void TOracleSession::SetThreadSafe(bool value)
{
    checkNotConnected("ThreadSafe");
    m_threadSafe = value;
}

void TOracleSession::SetPooling(TSessionPoolingOption value)
{
    checkNotConnected("Pooling");
    m_pooling = value;
    if (value != spInternal)
        m_pool = nullptr;
}

void TOracleSession::SetPool(TOracleSessionPoolBase *value)
{
    checkNotConnected("Pool");
    m_pool = value; // the guarded pointer clears itself when the pool goes away
    if (value)
        m_pooling = spInternal;
}

void TOracleSession::SetStatementCache(bool value)
{
    checkNotConnected("StatementCache");
    m_statementCache = value;
}

void TOracleSession::SetMTSOptions(TMTSOptions value)
{
    checkNotConnected("MTSOptions");
    m_mtsOptions = value;
}

void TOracleSession::SetBytesPerCharacter(TBytesPerCharacterOption value)
{
    if (value == m_bytesPerCharacter)
        return;
    m_bytesPerCharacter = value;
    m_bytesPerCharCache = 0;
}

void TOracleSession::SetStatementCacheSize(int value)
{
    if (value != m_statementCacheSize && m_connected && UsesStatementCache()) {
        ub4 size = static_cast<ub4>(std::max(value, 0));
        const OracleCallSite site { entryPoints(), QStringLiteral("TOracleSession"), m_error2,
            this };
        QD_OCI(&site, entryPoints(), OCIAttrSet, m_svc, OCI_HTYPE_SVCCTX, &size, sizeof(size),
            OCI_ATTR_STMTCACHESIZE, m_error2);
    }
    m_statementCacheSize = value;
}

// ---- Status and errors --------------------------------------------------------------------------

bool TOracleSession::SetStatus(sword status)
{
    m_status = status;
    return status == OCI_SUCCESS;
}

int TOracleSession::LastErrorCode()
{
    if (!m_oci8Mode)
        return LogonDataArea()->rc;
    if (m_status != OCI_ERROR && m_status != OCI_SUCCESS_WITH_INFO)
        return m_status;
    sb4 code = 0;
    std::array<OraText, 512> scratch {};
    if (entryPoints().OCIErrorGet && m_error) {
        entryPoints().OCIErrorGet(m_error, 1, nullptr, &code, scratch.data(),
            static_cast<ub4>(scratch.size()), OCI_HTYPE_ERROR);
    }
    return code;
}

void TOracleSession::RaiseLastError(void *failingObject, const char *callName)
{
    if (m_oci8Mode)
        RaiseOracleError(entryPoints(), this, m_error, m_status, failingObject, callName);
    RaiseOracleError(entryPoints(), this, nullptr, LogonDataArea()->rc, failingObject, callName);
}

sword TOracleSession::checkCall(sword status, const char *callName)
{
    SetStatus(status);
    if (m_oci8Mode && status == OCI_INVALID_HANDLE) {
        Leave(true);
        throw Exception(QStringLiteral("TOracleSession: Invalid handle"));
    }
    if (LastErrorCode() != 0)
        RaiseLastError(nullptr, callName);
    return status;
}

Lda_Def *TOracleSession::LogonDataArea()
{
    return m_externalLDA ? m_externalLDA : &m_lda;
}

// ---- Call lock ----------------------------------------------------------------------------------

void TOracleSession::Enter(bool skipInOCI8Mode)
{
    if (m_threadSafe && !(skipInOCI8Mode && m_oci8Mode))
        m_callLock.Enter();
}

void TOracleSession::Leave(bool skipInOCI8Mode)
{
    // Only the thread that holds the lock can release it (TOracleCriticalSection).
    if (m_threadSafe && !(skipInOCI8Mode && m_oci8Mode))
        m_callLock.Leave();
}

// ---- Options ------------------------------------------------------------------------------------

void TOracleSession::runAlterSession(const QString &statement)
{
    if (m_connected)
        ExecSQL(statement, true);
}

void TOracleSession::SetSQLTrace(TSQLTraceOption value)
{
    if (value == m_sqlTrace)
        return;
    const QString text = value == stTrue ? QStringLiteral("true")
        : value == stFalse               ? QStringLiteral("false")
                                         : QString();
    if (!text.isEmpty())
        runAlterSession(QStringLiteral("alter session set sql_trace = ") + text);
    m_sqlTrace = value;
}

void TOracleSession::SetIsolationLevel(TIsolationLevelOption value)
{
    if (value == m_isolationLevel)
        return;
    const QString text = value == ilReadCommitted ? QStringLiteral("read committed")
        : value == ilSerializable                 ? QStringLiteral("serializable")
                                                  : QString();
    if (!text.isEmpty())
        runAlterSession(QStringLiteral("alter session set isolation_level = ") + text);
    m_isolationLevel = value;
}

void TOracleSession::SetOptimizerGoal(TOptimizerGoalOption value)
{
    if (value == m_optimizerGoal)
        return;
    QString text;
    switch (value) {
    case ogChoose:
        text = QStringLiteral("choose");
        break;
    case ogFirstRows:
        text = QStringLiteral("first_rows");
        break;
    case ogAllRows:
        text = QStringLiteral("all_rows");
        break;
    case ogRule:
        text = QStringLiteral("rule");
        break;
    case ogUnchanged:
        break;
    }
    if (!text.isEmpty() && m_connected) {
        const QString parameter
            = m_oci8Mode ? QStringLiteral("optimizer_mode") : QStringLiteral("optimizer_goal");
        try {
            ExecSQL(QStringLiteral("alter session set ") + parameter + QStringLiteral(" = ") + text,
                true);
        } catch (const std::exception &) {
            ExecSQL(QStringLiteral("alter session set optimizer_mode = ") + text, true);
        }
    }
    m_optimizerGoal = value;
}

bool TOracleSession::UsesStatementCache() const
{
    if (!m_oci8Mode || !capabilities().OCI10Available)
        return false;
    if (m_pool)
        return m_pool->StatementCache();
    if (m_owningPool)
        return m_owningPool->StatementCache();
    if (Shared())
        return false;
    return m_statementCache;
}

// ---- Server package wrappers --------------------------------------------------------------------

TDBMS_Application_Info &TOracleSession::DBMS_Application_Info()
{
    if (!m_dbmsApplicationInfo)
        m_dbmsApplicationInfo = std::make_unique<TDBMS_Application_Info>(this);
    return *m_dbmsApplicationInfo;
}

TDBMS_Output &TOracleSession::DBMS_Output()
{
    if (!m_dbmsOutput)
        m_dbmsOutput = std::make_unique<TDBMS_Output>(this);
    return *m_dbmsOutput;
}

// ---- Monitor ------------------------------------------------------------------------------------

int TOracleSession::MonitorId()
{
    if (m_monitorId == 0)
        m_monitorId = OracleMonitor::NewCallId();
    return m_monitorId;
}

void TOracleSession::MonitorBegin(const QString &text)
{
    if (!OracleMonitor::Hooks().callReport)
        return;
    OracleMonitor::ReportCall(true, OracleMonitor::KindSession, MonitorId(), this, { text });
    m_monitorTimer.start();
    m_monitorStarted = true;
}

void TOracleSession::MonitorEnd(const QString &errorText)
{
    if (!m_monitorStarted)
        return;
    m_monitorStarted = false;
    OracleMonitor::ReportCall(false, OracleMonitor::KindSession, MonitorId(), this,
        { static_cast<qint64>(m_monitorTimer.elapsed()), errorText });
}

QStringList TOracleSession::ConnectionDescription()
{
    return qd::ConnectionDescription(
        m_logonUsername, m_logonDatabase, m_connectAs, m_sessionIdCache, m_library->OCIDLL());
}

} // namespace qd
