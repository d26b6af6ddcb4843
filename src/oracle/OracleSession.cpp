#include "oracle/OracleSession.h"

#include "classlib/Exception.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleError.h"
#include "oracle/OracleMonitor.h"
#include "oracle/OraclePackage.h"
#include "oracle/OracleSqlText.h"
#include "oracle/OracleUnit.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <optional>

namespace qd {

namespace {

// ORA-28002 (password expires soon) and ORA-28011 (grace period): the logon goes ahead.
constexpr int PasswordExpiresSoon = 28002;
constexpr int PasswordGracePeriod = 28011;
// End of fetch in the older calls.
constexpr int OCI7NoDataFound = 1403;
// SQL function type of a select in the older calls.
constexpr int OCI7SelectFunction = 4;
constexpr int InternalBufferSize = 4001;

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

QString messageOf(const std::exception &e)
{
    if (const auto *ours = dynamic_cast<const Exception *>(&e))
        return ours->Message();
    return QString::fromUtf8(e.what());
}

OraText *oraText(QByteArray &bytes)
{
    return reinterpret_cast<OraText *>(bytes.data());
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

struct TOracleSession::DependentLists {
    mutable std::recursive_mutex mutex;
    std::array<QList<OracleSessionDependent *>, OracleSessionDependent::KindCount> lists;

    // Calls action for every member of one list, last first, skipping members that left
    // the list during the walk.
    template <typename Action> void walkBackwards(OracleSessionDependent::Kind kind, Action action)
    {
        std::lock_guard lock(mutex);
        const QList<OracleSessionDependent *> snapshot = lists[kind];
        for (qsizetype i = snapshot.size() - 1; i >= 0; --i) {
            if (lists[kind].contains(snapshot[i]))
                action(snapshot[i]);
        }
    }
};

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
        CheckOracleResult(entryPoints().OCIAttrSet(m_svc, OCI_HTYPE_SVCCTX, &size, sizeof(size),
                              OCI_ATTR_STMTCACHESIZE, m_error2),
            QStringLiteral("TOracleSession"), entryPoints(), m_error2, this);
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

void TOracleSession::RaiseLastError(void *failingObject)
{
    if (m_oci8Mode)
        RaiseOracleError(entryPoints(), this, m_error, m_status, failingObject);
    RaiseOracleError(entryPoints(), this, nullptr, LogonDataArea()->rc, failingObject);
}

void TOracleSession::checkStatus(sword status)
{
    SetStatus(status);
    if (m_oci8Mode && status == OCI_INVALID_HANDLE) {
        Leave(true);
        throw Exception(QStringLiteral("TOracleSession: Invalid handle"));
    }
    if (LastErrorCode() != 0)
        RaiseLastError();
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

// ---- Logon --------------------------------------------------------------------------------------

QString TOracleSession::GetLogonString()
{
    QString logon = m_logonUsername;
    if (!m_logonPassword.isEmpty())
        logon += u'/' + m_logonPassword;
    if (!m_logonDatabase.isEmpty())
        logon += u'@' + m_logonDatabase;
    if (m_connectAs != caNormal)
        logon += QStringLiteral(" as ") + ConnectAsToString(m_connectAs);
    QString user, password, database, mode;
    ParseLogon(logon, user, password, database, mode);
    m_logonUsername = user;
    m_logonPassword = password;
    m_logonDatabase = database;
    m_connectAs = StringToConnectAs(mode);
    DetectODBCBridge();
    return logon;
}

int TOracleSession::BannerMajorVersion(const QString &banner)
{
    static const QRegularExpression release(
        QStringLiteral("\\bRELEASE\\s+(\\d+)"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = release.match(banner);
    if (m.hasMatch())
        return m.captured(1).toInt();
    // Banners without a release number still name the product generation ("Oracle7").
    static const QRegularExpression generation(
        QStringLiteral("\\bORACLE(\\d+)"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch g = generation.match(banner);
    return g.hasMatch() ? g.captured(1).toInt() : 0;
}

void TOracleSession::AttachServer()
{
    const OracleEntryPoints &oci = entryPoints();
    if (!m_env) {
        m_env = m_library->GetSharedEnvironment();
        m_ownsHandles = true;
        const bool allocated = oci.OCIHandleAlloc(m_env, reinterpret_cast<void **>(&m_svc),
                                   OCI_HTYPE_SVCCTX, 0, nullptr)
                == OCI_SUCCESS
            && oci.OCIHandleAlloc(
                   m_env, reinterpret_cast<void **>(&m_server), OCI_HTYPE_SERVER, 0, nullptr)
                == OCI_SUCCESS
            && oci.OCIHandleAlloc(
                   m_env, reinterpret_cast<void **>(&m_error), OCI_HTYPE_ERROR, 0, nullptr)
                == OCI_SUCCESS
            && oci.OCIHandleAlloc(
                   m_env, reinterpret_cast<void **>(&m_error2), OCI_HTYPE_ERROR, 0, nullptr)
                == OCI_SUCCESS
            && oci.OCIHandleAlloc(
                   m_env, reinterpret_cast<void **>(&m_session), OCI_HTYPE_SESSION, 0, nullptr)
                == OCI_SUCCESS;
        if (!allocated) {
            freeHandles();
            throw Exception(QStringLiteral("TOracleSession: Could not allocate client handles"));
        }
    }
    if (m_serverAttached) {
        oci.OCIServerDetach(m_server, m_error2, OCI_DEFAULT);
        m_serverAttached = false;
    }
    QByteArray database = m_logonDatabase.toUtf8();
    SetStatus(oci.OCIServerAttach(
        m_server, m_error, oraText(database), static_cast<sb4>(database.size()), OCI_DEFAULT));
    CheckOracleResult(m_status, QStringLiteral("TOracleSession"), oci, m_error, this);
    m_serverAttached = true;
    oci.OCIAttrSet(m_svc, OCI_HTYPE_SVCCTX, m_server, 0, OCI_ATTR_SERVER, m_error2);
    oci.OCIAttrSet(m_svc, OCI_HTYPE_SVCCTX, m_session, 0, OCI_ATTR_SESSION, m_error2);
}

void TOracleSession::logOnOwnConnection()
{
    const OracleEntryPoints &oci = entryPoints();
    QByteArray connect = GetLogonString().toUtf8();
    m_hda.fill(0);
    std::memset(&m_lda, 0, 4);

    int code = 0;
    if (m_oci8Mode) {
        ub4 mode = m_connectAs == caSYSDBA ? OCI_SYSDBA
            : m_connectAs == caSYSOPER     ? OCI_SYSOPER
                                           : OCI_DEFAULT;
        if (UsesStatementCache())
            mode |= OCI_STMT_CACHE;
        AttachServer();
        if (m_logonUsername.isEmpty() && m_logonPassword.isEmpty()) {
            SetStatus(oci.OCISessionBegin(m_svc, m_error, m_session, OCI_CRED_EXT, mode));
        } else {
            QByteArray user = m_logonUsername.toUtf8();
            QByteArray password = m_logonPassword.toUtf8();
            checkStatus(oci.OCIAttrSet(m_session, OCI_HTYPE_SESSION, user.data(),
                static_cast<ub4>(user.size()), OCI_ATTR_USERNAME, m_error));
            checkStatus(oci.OCIAttrSet(m_session, OCI_HTYPE_SESSION, password.data(),
                static_cast<ub4>(password.size()), OCI_ATTR_PASSWORD, m_error));
            SetStatus(oci.OCISessionBegin(m_svc, m_error, m_session, OCI_CRED_RDBMS, mode));
        }
        if (m_status == OCI_INVALID_HANDLE)
            throw Exception(QStringLiteral("TOracleSession: Invalid handle"));
        code = LastErrorCode();
    } else {
        if (!oci.olog && !oci.orlon) {
            throw Exception(
                QStringLiteral("The client library offers no logon call for the older interface"));
        }
        // The whole user/password@database string goes in the user-name argument.
        if (!oci.olog) {
            SetStatus(oci.orlon(&m_lda, m_hda.data(), oraText(connect), -1, nullptr, -1, 0));
        } else {
            SetStatus(oci.olog(
                &m_lda, m_hda.data(), oraText(connect), -1, nullptr, -1, nullptr, -1, OCI_DEFAULT));
        }
        code = LastErrorCode();
        if (m_status != OCI_SUCCESS && code == 0) {
            // A failed call must not pass for a logon, even when it left no error code.
            throw Exception(QStringLiteral("The client library refused the logon (status ")
                + QString::number(m_status) + QLatin1Char(')'));
        }
    }

    if (code == PasswordExpiresSoon || code == PasswordGracePeriod) {
        // Built, not raised: the logon goes on and the text is kept for the caller.
        m_logonWarning = ReadOracleError(oci, this, m_oci8Mode ? m_error : nullptr, code).message;
        SetStatus(OCI_SUCCESS);
        if (!m_oci8Mode)
            m_lda.rc = 0;
        code = 0;
    } else {
        m_logonWarning.clear();
    }
    if (code != 0)
        RaiseLastError();

    if (m_oci8Mode) {
        // A server before release 8 is driven with the older calls over the same connection.
        std::array<char, 501> banner {};
        oci.OCIServerVersion(m_server, m_error, reinterpret_cast<OraText *>(banner.data()),
            static_cast<ub4>(banner.size()), static_cast<ub1>(OCI_HTYPE_SERVER));
        banner.back() = '\0';
        const int major = BannerMajorVersion(QString::fromUtf8(banner.data()));
        if (major > 0 && major < 8) {
            const sword status = oci.OCISvcCtxToLda(m_svc, m_error, &m_lda);
            if (status != OCI_SUCCESS) {
                SetStatus(status);
                const OracleErrorInfo info = ReadOracleError(oci, this, m_error, status);
                oci.OCISessionEnd(m_svc, m_error2, m_session, OCI_DEFAULT);
                throw EOracleError(info.message, info.code, nullptr, this);
            }
            m_oci8Mode = false;
            m_ldaFromService = true;
        }
    }
}

void TOracleSession::logOnExternalService()
{
    const OracleEntryPoints &oci = entryPoints();
    m_oci8Mode = true;
    m_svc = m_externalSVC;
    m_ownsHandles = false;
    // The service context's environment, read through a short-lived one of our own.
    OCIEnv *scratchEnv = nullptr;
    OCIError *scratchError = nullptr;
    OCIEnv *environment = nullptr;
    if (oci.OCIEnvInit(&scratchEnv, OCI_DEFAULT, 0, nullptr) == OCI_SUCCESS
        && oci.OCIHandleAlloc(
               scratchEnv, reinterpret_cast<void **>(&scratchError), OCI_HTYPE_ERROR, 0, nullptr)
            == OCI_SUCCESS) {
        oci.OCIAttrGet(m_svc, OCI_HTYPE_SVCCTX, &environment, nullptr, OCI_ATTR_ENV, scratchError);
    }
    if (scratchError)
        oci.OCIHandleFree(scratchError, OCI_HTYPE_ERROR);
    if (scratchEnv)
        oci.OCIHandleFree(scratchEnv, OCI_HTYPE_ENV);
    if (!environment)
        throw Exception(QStringLiteral("TOracleSession: Invalid handle"));
    m_env = environment;
    if (oci.OCIHandleAlloc(m_env, reinterpret_cast<void **>(&m_error), OCI_HTYPE_ERROR, 0, nullptr)
            != OCI_SUCCESS
        || oci.OCIHandleAlloc(
               m_env, reinterpret_cast<void **>(&m_error2), OCI_HTYPE_ERROR, 0, nullptr)
            != OCI_SUCCESS) {
        freeHandles();
        throw Exception(QStringLiteral("TOracleSession: Could not allocate client handles"));
    }
    oci.OCIAttrGet(m_svc, OCI_HTYPE_SVCCTX, &m_server, nullptr, OCI_ATTR_SERVER, m_error);
    oci.OCIAttrGet(m_svc, OCI_HTYPE_SVCCTX, &m_session, nullptr, OCI_ATTR_SESSION, m_error);
}

void TOracleSession::applySettingsAgain()
{
    if (m_autoCommit) {
        m_autoCommit = false;
        SetAutoCommit(true);
    }
    if (m_sqlTrace != stUnchanged) {
        const TSQLTraceOption value = m_sqlTrace;
        m_sqlTrace = stUnchanged;
        SetSQLTrace(value);
    }
    if (m_optimizerGoal != ogUnchanged) {
        const TOptimizerGoalOption value = m_optimizerGoal;
        m_optimizerGoal = ogUnchanged;
        SetOptimizerGoal(value);
    }
    if (m_isolationLevel != ilUnchanged) {
        const TIsolationLevelOption value = m_isolationLevel;
        m_isolationLevel = ilUnchanged;
        SetIsolationLevel(value);
    }
    if (OracleMonitor::ActivityEnabled())
        AUDSID();
}

void TOracleSession::LogOn()
{
    // A pooled session borrows its connection.
    if ((m_connected || !Shared()) && m_pooling != spNone) {
        LogOff();
        if (m_pooling == spInternal) {
            TOracleSessionPoolBase *pool
                = m_pool ? m_pool.data() : TOracleSessionPoolBase::DefaultPool();
            if (!pool)
                throw Exception(QStringLiteral("No session pool to reserve a connection from"));
            pool->ReserveSession(*this);
            try {
                pool->FireAfterReserve(*this);
            } catch (...) {
                // The pool's event cannot undo a reservation.
            }
        } else {
            SetExternalSVC(MTSGetService());
        }
        return;
    }

    DoBeforeLogOn();
    const bool tracing = OracleMonitor::TracingEnabled();
    if (tracing) {
        MonitorBegin(QStringLiteral("Session.LogOn as ")
            + LogonStringWithoutPassword(m_logonUsername, m_logonDatabase, QString()));
    }
    std::optional<OracleLockGuard> libraryLock;
    if (m_threadSafe)
        libraryLock.emplace(m_library->LibraryLock());

    auto finish = [&](const QString &errorText) {
        libraryLock.reset();
        if (tracing)
            MonitorEnd(errorText);
        m_library->RestoreCurrentDirectory();
        if (!m_loading) {
            DoAfterLogOn();
            changed();
        }
    };

    try {
        {
            ScreenCursorSaver busy(m_cursor);
            m_library->InitClientLibrary();
        }
        LogOff();
        m_oci8Mode = !m_preferences->UseOCI7() && capabilities().OCI8Available && !m_odbcBridge
            && !m_externalLDA;
        m_ldaFromService = false;
        if (!Shared()) {
            ScreenCursorSaver busy(m_cursor);
            logOnOwnConnection();
        }
        if (m_externalSVC)
            logOnExternalService();
        if (UsesStatementCache()) {
            ub4 size = static_cast<ub4>(std::max(m_statementCacheSize, 0));
            CheckOracleResult(entryPoints().OCIAttrSet(m_svc, OCI_HTYPE_SVCCTX, &size, sizeof(size),
                                  OCI_ATTR_STMTCACHESIZE, m_error2),
                QStringLiteral("TOracleSession"), entryPoints(), m_error2, this);
        }
        m_connected = true;
        if (!Shared())
            applySettingsAgain();
    } catch (const std::exception &e) {
        try {
            finish(messageOf(e));
        } catch (...) {
            // The logon's own error is the one the caller must see.
        }
        throw;
    }
    finish(QString());
}

// ---- Logoff -------------------------------------------------------------------------------------

void TOracleSession::LogOff()
{
    std::exception_ptr failure;
    if (m_connected) {
        TOracleSessionPoolBase *pool
            = m_pool ? m_pool.data() : TOracleSessionPoolBase::DefaultPool();
        if (Shared() && m_pooling == spInternal && pool) {
            try {
                pool->FireBeforeRelease(*this);
            } catch (...) {
                // The pool's event cannot stop a logoff.
            }
        }
        if (m_rollbackOnDisconnect && !Shared()) {
            try {
                Rollback();
            } catch (...) {
                // The connection ends anyway; the server rolls back what is left.
            }
        }
        CloseDependents();
        m_connected = false;
        m_sessionIdCache.clear();
        m_dateFormatLengthCache = -1;
        m_bytesPerCharCache = 0;

        const bool tracing = OracleMonitor::TracingEnabled();
        if (tracing)
            MonitorBegin(QStringLiteral("Session.LogOff"));
        QString errorText;
        {
            ScreenCursorSaver busy(m_cursor);
            std::optional<OracleLockGuard> libraryLock;
            if (m_threadSafe)
                libraryLock.emplace(m_library->LibraryLock());
            try {
                logOffConnection();
            } catch (const std::exception &e) {
                errorText = messageOf(e);
                failure = std::current_exception();
            }
        }
        if (tracing)
            MonitorEnd(errorText);
        if (!m_destroying)
            changed();
    }

    if (m_serverAttached && m_ownsHandles) {
        m_serverAttached = false;
        const sword status = entryPoints().OCIServerDetach(m_server, m_error, OCI_DEFAULT);
        if (status == OCI_ERROR && !failure) {
            try {
                RaiseOracleError(entryPoints(), this, m_error, status);
            } catch (...) {
                failure = std::current_exception();
            }
        }
    }
    m_serverAttached = false;
    freeHandles();
    m_dependents->walkBackwards(OracleSessionDependent::dkDataSet,
        [](OracleSessionDependent *d) { d->sessionLoggedOff(); });
    if (failure)
        std::rethrow_exception(failure);
}

void TOracleSession::logOffConnection()
{
    const OracleEntryPoints &oci = entryPoints();
    if (Shared()) {
        // The connection belongs to someone else: only our error handles go.
        if (m_oci8Mode) {
            if (m_error)
                oci.OCIHandleFree(m_error, OCI_HTYPE_ERROR);
            if (m_error2)
                oci.OCIHandleFree(m_error2, OCI_HTYPE_ERROR);
            m_error = nullptr;
            m_error2 = nullptr;
        }
        if (m_pooling == spInternal) {
            if (TOracleSessionPoolBase *pool
                = m_pool ? m_pool.data() : TOracleSessionPoolBase::DefaultPool())
                pool->ReleaseSession(*this);
        } else if (m_pooling == spMTS) {
            MTSReleaseService(m_svc);
        }
        return;
    }
    if (m_ldaFromService) {
        SetStatus(oci.OCILdaToSvcCtx(&m_svc, m_error, &m_lda));
        m_oci8Mode = true;
        m_ldaFromService = false;
        if (m_status != OCI_SUCCESS)
            RaiseLastError();
    }
    if (m_oci8Mode)
        checkStatus(oci.OCISessionEnd(m_svc, m_error, m_session, OCI_DEFAULT));
    else
        checkStatus(oci.ologof(LogonDataArea()));
}

void TOracleSession::freeHandles()
{
    if (!m_env && !m_error && !m_error2)
        return;
    const OracleEntryPoints &oci = entryPoints();
    if (oci.OCIHandleFree) {
        // Handles of a shared connection belong to its owner; only our error handles go.
        if (m_ownsHandles) {
            if (m_server)
                oci.OCIHandleFree(m_server, OCI_HTYPE_SERVER);
            if (m_svc)
                oci.OCIHandleFree(m_svc, OCI_HTYPE_SVCCTX);
            if (m_session)
                oci.OCIHandleFree(m_session, OCI_HTYPE_SESSION);
        }
        if (m_error)
            oci.OCIHandleFree(m_error, OCI_HTYPE_ERROR);
        if (m_error2)
            oci.OCIHandleFree(m_error2, OCI_HTYPE_ERROR);
    }
    m_server = nullptr;
    m_svc = nullptr;
    m_session = nullptr;
    m_error = nullptr;
    m_error2 = nullptr;
    m_env = nullptr; // the shared environment itself stays
    m_ownsHandles = false;
}

int TOracleSession::CheckConnection(bool reconnect)
{
    if (!m_connected) {
        if (!reconnect)
            return 1;
        try {
            LogOn();
            return 2;
        } catch (...) {
            return 1;
        }
    }
    try {
        runInternal(QStringLiteral("select 'x' from dual"), 1, 1);
        return 0;
    } catch (const EOracleError &) {
        try {
            LogOff();
        } catch (...) {
            // The connection is already lost.
        }
        if (!reconnect)
            return 1;
        try {
            LogOn();
            return 2;
        } catch (...) {
            return 1;
        }
    }
}

// ---- Connection sharing -------------------------------------------------------------------------

void TOracleSession::SetExternalLDA(Lda_Def *handle)
{
    LogOff();
    m_externalLDA = handle;
    if (handle)
        LogOn();
}

Lda_Def *TOracleSession::GetExternalLDA()
{
    if (!m_connected || m_oci8Mode)
        throw Exception(QStringLiteral("ExternalLDA only valid when connected through OCI7"));
    return LogonDataArea();
}

void TOracleSession::SetExternalSVC(OCISvcCtx *handle)
{
    m_library->InitClientLibrary();
    if (!capabilities().OCI8Available || m_preferences->UseOCI7())
        throw Exception(QStringLiteral("ExternalSVC only valid with OCI8"));
    LogOff();
    m_externalSVC = handle;
    if (handle)
        LogOn();
}

OCISvcCtx *TOracleSession::GetExternalSVC()
{
    if (!m_connected || !m_oci8Mode)
        throw Exception(QStringLiteral("ExternalSVC only valid when connected through OCI8"));
    return m_svc;
}

void TOracleSession::ShareConnection(TOracleSession &source, TOracleSession &target)
{
    target.m_logonUsername = source.m_logonUsername;
    target.m_logonPassword = source.m_logonPassword;
    target.m_logonDatabase = source.m_logonDatabase;
    target.DetectODBCBridge();
    if (!source.OCI8Mode())
        target.SetExternalLDA(source.GetExternalLDA());
    else
        target.SetExternalSVC(source.GetExternalSVC());
}

OCISvcCtx *TOracleSession::MTSGetService()
{
    m_library->LoadMtsLibrary();
    const MtsEntryPoints &mts = m_library->mtsEntryPoints();
    if (!mts.OraMTSSvcGet)
        throw EOracleMTSError(-1, QStringLiteral("OraMTSSvcGet"));
    ub4 flags = 0;
    if (!(m_mtsOptions & moImplicit))
        flags += 1;
    if (m_mtsOptions & moUniqueServer)
        flags += 2;
    QByteArray user = m_logonUsername.toUtf8();
    QByteArray password = m_logonPassword.toUtf8();
    QByteArray database = m_logonDatabase.toUtf8();
    OCISvcCtx *service = nullptr;
    OCIEnv *environment = nullptr;
    const ub4 status = mts.OraMTSSvcGet(
        oraText(user), oraText(password), oraText(database), &service, &environment, flags);
    if (status != 0)
        throw EOracleMTSError(static_cast<int>(status), QStringLiteral("OraMTSSvcGet"));
    m_mtsEnlisted = (m_mtsOptions & moImplicit) != 0;
    return service;
}

void TOracleSession::MTSReleaseService(OCISvcCtx *service)
{
    m_library->LoadMtsLibrary();
    m_mtsEnlisted = false;
    const MtsEntryPoints &mts = m_library->mtsEntryPoints();
    if (!mts.OraMTSSvcRel)
        throw EOracleMTSError(-1, QStringLiteral("OraMTSSvcRel"));
    const ub4 status = mts.OraMTSSvcRel(service);
    if (status != 0)
        throw EOracleMTSError(static_cast<int>(status), QStringLiteral("OraMTSSvcRel"));
}

// ---- Transactions -------------------------------------------------------------------------------

void TOracleSession::Commit()
{
    if (!m_connected)
        return;
    MonitorBegin(QStringLiteral("Session.Commit"));
    try {
        DoCommit();
    } catch (const std::exception &e) {
        MonitorEnd(messageOf(e));
        throw;
    }
    MonitorEnd();
}

void TOracleSession::DoCommit()
{
    if (m_mtsEnlisted)
        throw Exception(QStringLiteral("Cannot commit an MTS Controlled Transaction"));
    Enter(true);
    if (m_oci8Mode)
        checkStatus(entryPoints().OCITransCommit(m_svc, m_error, OCI_DEFAULT));
    else
        checkStatus(entryPoints().ocom(LogonDataArea()));
    Leave(true);
}

void TOracleSession::Rollback()
{
    if (!m_connected)
        return;
    MonitorBegin(QStringLiteral("Session.Rollback"));
    try {
        DoRollback();
    } catch (const std::exception &e) {
        MonitorEnd(messageOf(e));
        throw;
    }
    MonitorEnd();
}

void TOracleSession::DoRollback()
{
    if (!m_connected)
        return;
    if (m_mtsEnlisted)
        throw Exception(QStringLiteral("Cannot rollback an MTS Controlled Transaction"));
    Enter(true);
    if (m_oci8Mode)
        checkStatus(entryPoints().OCITransRollback(m_svc, m_error, OCI_DEFAULT));
    else
        checkStatus(entryPoints().orol(LogonDataArea()));
    Leave(true);
}

void TOracleSession::Savepoint(const QString &name)
{
    ExecSQL(QStringLiteral("savepoint ") + name, false);
}

void TOracleSession::RollbackToSavepoint(const QString &name)
{
    ExecSQL(QStringLiteral("rollback to savepoint ") + name, false);
}

void TOracleSession::SetAutoCommit(bool value)
{
    if (value == m_autoCommit)
        return;
    m_autoCommit = value;
    // The handle-based mode commits per execute (the queries' execute mode).
    if (m_connected && !m_oci8Mode) {
        Enter(true);
        Lda_Def *lda = LogonDataArea();
        checkStatus(value ? entryPoints().ocon(lda) : entryPoints().ocof(lda));
        Leave(true);
    }
}

// ---- Other operations ---------------------------------------------------------------------------

void TOracleSession::BreakExecution()
{
    // No call lock: the call to interrupt holds it on another thread.
    if (!m_connected)
        return;
    if (m_oci8Mode) {
        // The second error handle: the first belongs to the call that is being interrupted.
        const sword status = entryPoints().OCIBreak(m_svc, m_error2);
        if (status == OCI_ERROR)
            RaiseOracleError(entryPoints(), this, m_error2, status, this);
        if (status == OCI_INVALID_HANDLE)
            throw Exception(QStringLiteral("TOracleSession: Invalid handle"));
    } else {
        Lda_Def *lda = LogonDataArea();
        if (entryPoints().obreak(lda) != 0 && lda->rc != 0)
            RaiseOracleError(entryPoints(), this, nullptr, lda->rc, this);
    }
}

namespace {

// The older interface takes the user and the new password inside a statement; both go in
// double quotes so that blanks, quotes or further clauses cannot change what it does.
QString quotedForStatement(const QString &value, bool foldCase)
{
    QString bare = value;
    const bool alreadyQuoted = bare.size() >= 2 && bare.startsWith(u'"') && bare.endsWith(u'"');
    if (alreadyQuoted)
        bare = bare.mid(1, bare.size() - 2);
    else if (foldCase)
        bare = bare.toUpper();
    if (bare.isEmpty() || bare.contains(u'"') || bare.contains(QChar(0)))
        throw Exception(QStringLiteral("Invalid user name or password for a password change"));
    return u'"' + bare + u'"';
}

} // namespace

QString TOracleSession::PasswordChangeStatement(const QString &user, const QString &newPassword)
{
    return QStringLiteral("alter user ") + quotedForStatement(user, true)
        + QStringLiteral(" identified by ") + quotedForStatement(newPassword, false);
}

void TOracleSession::ChangePassword(const QString &newPassword)
{
    {
        ScreenCursorSaver busy(m_cursor);
        m_library->InitClientLibrary();
    }
    if (!m_connected && !m_serverAttached) {
        // Without a logon the mode is that which the next logon would choose.
        m_oci8Mode = !m_preferences->UseOCI7() && capabilities().OCI8Available && !m_odbcBridge
            && !m_externalLDA;
    }
    if (!m_oci8Mode) {
        ExecSQL(PasswordChangeStatement(m_logonUsername, newPassword), true);
    } else {
        const OracleEntryPoints &oci = entryPoints();
        // A connected session (also one on a shared connection) changes it over its own
        // connection; otherwise the server is attached without a session.
        if (!m_connected && !m_serverAttached) {
            GetLogonString();
            AttachServer();
        }
        // Without an open session the library must authenticate the user itself (an
        // expired password cannot log on first); it then opens a session, which is ended
        // again so that the next LogOn starts from a clean connection.
        const bool withoutSession = !m_connected;
        QByteArray user = m_logonUsername.toUtf8();
        QByteArray oldPassword = m_logonPassword.toUtf8();
        QByteArray password = newPassword.toUtf8();
        checkStatus(
            oci.OCIPasswordChange(m_svc, m_error, oraText(user), static_cast<ub4>(user.size()),
                oraText(oldPassword), static_cast<ub4>(oldPassword.size()), oraText(password),
                static_cast<ub4>(password.size()), withoutSession ? OCI_AUTH : OCI_DEFAULT));
        if (withoutSession)
            oci.OCISessionEnd(m_svc, m_error2, m_session, OCI_DEFAULT);
    }
    m_logonPassword = newPassword;
}

void TOracleSession::ExecSQL(const QString &text, bool showBusy)
{
    ScreenCursorSaver busy(showBusy ? m_cursor : crDefault);
    m_internalRow.clear();
    InternalResult result = runInternal(text, 1, 1);
    if (!result.rows.empty())
        m_internalRow = result.rows.front();
}

TOracleSession::InternalResult TOracleSession::runInternal(
    const QString &text, int columns, int maxRows)
{
    if (!m_connected)
        throw Exception(QStringLiteral("Not logged on"));
    return m_oci8Mode ? runInternalOCI8(text, columns, maxRows)
                      : runInternalOCI7(text, columns, maxRows);
}

TOracleSession::InternalResult TOracleSession::runInternalOCI8(
    const QString &text, int columns, int maxRows)
{
    const OracleEntryPoints &oci = entryPoints();
    OCIStmt *statement = nullptr;
    if (oci.OCIHandleAlloc(m_env, reinterpret_cast<void **>(&statement), OCI_HTYPE_STMT, 0, nullptr)
        != OCI_SUCCESS)
        throw Exception(QStringLiteral("TOracleSession: Could not allocate a statement handle"));
    struct Release {
        const OracleEntryPoints &oci;
        OCIStmt *statement;
        ~Release() { oci.OCIHandleFree(statement, OCI_HTYPE_STMT); }
    } release { oci, statement };

    InternalResult result;
    QByteArray sql = text.toUtf8();
    Enter(true);
    checkStatus(oci.OCIStmtPrepare(statement, m_error, oraText(sql), static_cast<ub4>(sql.size()),
        OCI_NTV_SYNTAX, OCI_DEFAULT));
    ub2 type = 0;
    oci.OCIAttrGet(statement, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, m_error);
    const bool select = type == OCI_STMT_SELECT;
    checkStatus(oci.OCIStmtExecute(m_svc, statement, m_error, select ? 0 : 1, 0, nullptr, nullptr,
        m_autoCommit ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT));
    if (select && maxRows != 0 && columns > 0) {
        std::vector<QByteArray> buffers(columns, QByteArray(InternalBufferSize, '\0'));
        std::vector<sb2> indicators(columns, 0);
        std::vector<ub2> lengths(columns, 0);
        for (int i = 0; i < columns; ++i) {
            OCIDefine *define = nullptr;
            checkStatus(oci.OCIDefineByPos(statement, &define, m_error, static_cast<ub4>(i + 1),
                buffers[i].data(), InternalBufferSize, SQLT_STR, &indicators[i], &lengths[i],
                nullptr, OCI_DEFAULT));
        }
        while (maxRows < 0 || static_cast<int>(result.rows.size()) < maxRows) {
            const sword status
                = oci.OCIStmtFetch(statement, m_error, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
            if (status == OCI_NO_DATA)
                break;
            checkStatus(status);
            QStringList row;
            for (int i = 0; i < columns; ++i) {
                row.append(
                    indicators[i] == -1 ? QString() : QString::fromUtf8(buffers[i].constData()));
            }
            result.rows.push_back(row);
        }
    }
    Leave(true);
    return result;
}

TOracleSession::InternalResult TOracleSession::runInternalOCI7(
    const QString &text, int columns, int maxRows)
{
    const OracleEntryPoints &oci = entryPoints();
    if (!oci.oopen)
        throw Exception(QStringLiteral("The client library offers no cursor calls"));
    Cda_Def cursor {};
    InternalResult result;
    QByteArray sql = text.toUtf8();
    // The error raiser releases the call lock this call took.
    auto fail = [&] { RaiseOracleError(oci, this, nullptr, cursor.rc); };
    Enter(true);
    if (oci.oopen(&cursor, LogonDataArea(), nullptr, -1, -1, nullptr, -1) != 0)
        fail();
    try {
        if (oci.oparse(&cursor, oraText(sql), -1, 0, 2) != 0)
            fail();
        // The function type tells a select; a library that leaves it unset is read from the
        // statement's first word.
        const QString head = RemoveComments(text).section(u' ', 0, 0).trimmed().toLower();
        const bool select = cursor.ft == OCI7SelectFunction
            || (cursor.ft == 0
                && (head == QLatin1String("select") || head == QLatin1String("with")));
        std::vector<QByteArray> buffers(std::max(columns, 0), QByteArray(InternalBufferSize, 0));
        std::vector<sb2> indicators(buffers.size(), 0);
        std::vector<ub2> lengths(buffers.size(), 0);
        std::vector<ub2> codes(buffers.size(), 0);
        const bool fetch = select && maxRows != 0 && columns > 0;
        if (fetch) {
            for (int i = 0; i < columns; ++i) {
                if (oci.odefin(&cursor, i + 1, reinterpret_cast<ub1 *>(buffers[i].data()),
                        InternalBufferSize, SQLT_STR, -1, &indicators[i], nullptr, -1, -1,
                        &lengths[i], &codes[i])
                    != 0)
                    fail();
            }
        }
        if (oci.oexec(&cursor) != 0)
            fail();
        while (fetch && (maxRows < 0 || static_cast<int>(result.rows.size()) < maxRows)) {
            if (oci.ofen(&cursor, 1) != 0) {
                if (cursor.rc == OCI7NoDataFound)
                    break;
                fail();
            }
            QStringList row;
            for (int i = 0; i < columns; ++i) {
                row.append(
                    indicators[i] == -1 ? QString() : QString::fromUtf8(buffers[i].constData()));
            }
            result.rows.push_back(row);
        }
    } catch (...) {
        Enter(true);
        oci.oclose(&cursor);
        Leave(true);
        throw;
    }
    oci.oclose(&cursor);
    Leave(true);
    return result;
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

// ---- Probes -------------------------------------------------------------------------------------

QString TOracleSession::ServerVersion()
{
    QString version;
    try {
        ExecSQL(QStringLiteral("select * from v$version"), true);
        version = m_internalRow.value(0);
    } catch (...) {
        version.clear();
    }
    m_internalRow.clear();
    if (version.isEmpty() && m_odbcBridge)
        version = m_oca60Installed ? QStringLiteral("Oracle Lite")
                                   : QStringLiteral("Personal Oracle Lite");
    return ShortVersionText(version);
}

QString TOracleSession::ShortVersionText(const QString &banner)
{
    // One line, without the trailing " - Production"-like remark (the blank stays).
    qsizetype cut = banner.size();
    for (qsizetype i = 0; i < banner.size(); ++i) {
        const QChar c = banner.at(i);
        if (c == u'\r' || c == u'\n' || (c == u'-' && (i == 0 || banner.at(i - 1) == u' '))) {
            cut = i;
            break;
        }
    }
    return banner.left(cut);
}

int TOracleSession::BytesPerChar()
{
    if (m_bytesPerCharCache != 0)
        return m_bytesPerCharCache;
    int n = 1;
    switch (m_bytesPerCharacter) {
    case bcAutoDetect:
        if (m_connected) {
            try {
                const InternalResult r = runInternal(
                    QStringLiteral("select length(chr(2000000000)) l4, length(chr(2000000)) l3,  "
                                   "length(chr(20000)) l2 from dual"),
                    3, 1);
                if (!r.rows.empty()) {
                    const QStringList &row = r.rows.front();
                    n = row.value(0).toInt();
                    if (n == 1)
                        n = row.value(1).toInt();
                    if (n == 1)
                        n = row.value(2).toInt();
                }
            } catch (...) {
                n = 1;
            }
        }
        break;
    case bc1Byte:
        n = 1;
        break;
    case bc2Bytes:
        n = 2;
        break;
    case bc3Bytes:
        n = 3;
        break;
    case bc4Bytes:
        n = 4;
        break;
    }
    if (n <= 0)
        n = 1;
    m_bytesPerCharCache = n;
    return n;
}

int TOracleSession::MaxStringChars()
{
    return (m_oci8Mode ? 4000 : 2000) / BytesPerChar();
}

int TOracleSession::maxBindStringSize() const
{
    return m_oci8Mode ? 4000 : 2000;
}

int TOracleSession::DateFormatLength()
{
    if (m_dateFormatLengthCache >= 0 || !m_connected)
        return m_dateFormatLengthCache > 0 ? m_dateFormatLengthCache : 40;
    QStringList lines;
    for (int month = 1; month <= 12; ++month) {
        if (month > 1)
            lines.append(QStringLiteral("union all"));
        lines.append(QStringLiteral("select to_char(to_date('10-%1-1999 10:10:10', "
                                    "'dd-mm-yyyy hh24:mi:ss')) from dual")
                         .arg(month));
    }
    int longest = 0;
    try {
        const InternalResult r = runInternal(lines.join(u'\n'), 1, -1);
        for (const QStringList &row : r.rows)
            longest = std::max(longest, static_cast<int>(row.value(0).size()));
    } catch (...) {
        longest = 0;
    }
    if (longest <= 0)
        longest = 40;
    m_dateFormatLengthCache = longest;
    return longest;
}

QString TOracleSession::AUDSID()
{
    if (m_sessionIdCache.isEmpty() && m_connected) {
        ExecSQL(QStringLiteral("select to_char(userenv('SESSIONID')) from dual"), false);
        m_sessionIdCache = m_internalRow.value(0);
        m_internalRow.clear();
    }
    return m_sessionIdCache;
}

QString TOracleSession::ErrorText(int errorCode)
{
    const OracleEntryPoints &oci = entryPoints();
    if (!oci.oerhms)
        return serverErrorText(errorCode);
    std::array<char, 2001> buffer {};
    Enter(true);
    if (m_oci8Mode) {
        Lda_Def scratch {};
        oci.oerhms(&scratch, static_cast<sb2>(errorCode),
            reinterpret_cast<OraText *>(buffer.data()), static_cast<sword>(buffer.size()));
    } else {
        oci.oerhms(LogonDataArea(), static_cast<sb2>(errorCode),
            reinterpret_cast<OraText *>(buffer.data()), static_cast<sword>(buffer.size()));
    }
    Leave(true);
    buffer.back() = '\0';
    return QString::fromUtf8(buffer.data());
}

QString TOracleSession::serverErrorText(int errorCode)
{
    if (!m_connected)
        throw Exception(QStringLiteral("Not logged on"));
    const OracleEntryPoints &oci = entryPoints();
    if (!m_oci8Mode) {
        // The older interface always has its own message call.
        if (!oci.oerhms)
            throw Exception(QStringLiteral("The client library offers no message texts"));
        return ErrorText(errorCode);
    }
    // sqlerrm exists only in PL/SQL, so the text comes back through an output bind.
    OCIStmt *statement = nullptr;
    if (oci.OCIHandleAlloc(m_env, reinterpret_cast<void **>(&statement), OCI_HTYPE_STMT, 0, nullptr)
        != OCI_SUCCESS)
        throw Exception(QStringLiteral("TOracleSession: Could not allocate a statement handle"));
    struct Release {
        const OracleEntryPoints &oci;
        OCIStmt *statement;
        ~Release() { oci.OCIHandleFree(statement, OCI_HTYPE_STMT); }
    } release { oci, statement };
    QByteArray sql
        = QStringLiteral("begin :text := sqlerrm(-%1); end;").arg(std::abs(errorCode)).toUtf8();
    QByteArray name(":text");
    QByteArray buffer(InternalBufferSize, '\0');
    sb2 indicator = 0;
    OCIBind *bind = nullptr;
    Enter(true);
    checkStatus(oci.OCIStmtPrepare(statement, m_error, oraText(sql), static_cast<ub4>(sql.size()),
        OCI_NTV_SYNTAX, OCI_DEFAULT));
    checkStatus(oci.OCIBindByName(statement, &bind, m_error, oraText(name),
        static_cast<sb4>(name.size()), buffer.data(), InternalBufferSize, SQLT_STR, &indicator,
        nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    checkStatus(oci.OCIStmtExecute(m_svc, statement, m_error, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    Leave(true);
    return indicator == -1 ? QString() : QString::fromUtf8(buffer.constData());
}

OCITypeCode TOracleSession::ObjectTypeCode(void *typeDescriptor)
{
    const OracleEntryPoints &oci = entryPoints();
    CheckOCI8(this, QStringLiteral("Object type describe"));
    OCIDescribe *describe = nullptr;
    checkStatus(oci.OCIHandleAlloc(
        m_env, reinterpret_cast<void **>(&describe), OCI_HTYPE_DESCRIBE, 0, nullptr));
    struct Release {
        const OracleEntryPoints &oci;
        OCIDescribe *describe;
        ~Release() { oci.OCIHandleFree(describe, OCI_HTYPE_DESCRIBE); }
    } release { oci, describe };
    OCIParam *parameter = nullptr;
    OCITypeCode code = 0;
    sword status = oci.OCIDescribeAny(
        m_svc, m_error, typeDescriptor, 0, OCI_OTYPE_PTR, 0, OCI_PTYPE_TYPE, describe);
    if (status == OCI_SUCCESS)
        status = oci.OCIAttrGet(
            describe, OCI_HTYPE_DESCRIBE, &parameter, nullptr, OCI_ATTR_PARAM, m_error);
    if (status == OCI_SUCCESS)
        status = oci.OCIAttrGet(
            parameter, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_TYPECODE, m_error);
    checkStatus(status);
    return code;
}

void TOracleSession::ChooseNumberType(
    int precision, int scale, int &size, int &typeCode, bool asString)
{
    int intLimit = m_preferences->IntegerPrecision();
    if (intLimit == 0)
        intLimit = m_odbcBridge ? 10 : 9;
    const int floatLimit = m_preferences->FloatPrecision(); // 0: no limit
    bool isFloat = false;
    if (scale == -127) {
        precision = 38;
        scale = 1;
        isFloat = true;
    } else if (precision == 0 && scale == 0) {
        precision = 38;
    }
    if (scale <= 0 && precision <= intLimit && !asString) {
        typeCode = SQLT_INT;
        size = 4;
    } else if ((floatLimit == 0 || precision <= floatLimit) && !asString) {
        typeCode = SQLT_FLT;
        size = 8;
    } else {
        typeCode = SQLT_STR;
        size = scale <= 0 ? precision + 2 : precision + 3;
        if (isFloat)
            size += 132;
    }
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
