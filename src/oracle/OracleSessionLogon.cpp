// TOracleSession: logon, logoff, the connection check and connection sharing.
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

// ORA-28002 (password expires soon) and ORA-28011 (grace period): the logon goes ahead.
constexpr int PasswordExpiresSoon = 28002;
constexpr int PasswordGracePeriod = 28011;

} // namespace

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
    const OracleCallSite site { oci, QStringLiteral("TOracleSession"), m_error, this };
    site.checkCall(m_status, "OCIServerAttach");
    m_serverAttached = true;
    // Setting handles on a service context cannot fail once both were allocated.
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
            QD_OCI(this, oci, OCIAttrSet, m_session, OCI_HTYPE_SESSION, user.data(),
                static_cast<ub4>(user.size()), OCI_ATTR_USERNAME, m_error);
            QD_OCI(this, oci, OCIAttrSet, m_session, OCI_HTYPE_SESSION, password.data(),
                static_cast<ub4>(password.size()), OCI_ATTR_PASSWORD, m_error);
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
            const OracleCallSite site { entryPoints(), QStringLiteral("TOracleSession"), m_error2,
                this };
            QD_OCI(&site, entryPoints(), OCIAttrSet, m_svc, OCI_HTYPE_SVCCTX, &size, sizeof(size),
                OCI_ATTR_STMTCACHESIZE, m_error2);
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
            RaiseLastError(nullptr, "OCILdaToSvcCtx");
    }
    if (m_oci8Mode)
        QD_OCI(this, oci, OCISessionEnd, m_svc, m_error, m_session, OCI_DEFAULT);
    else
        QD_OCI(this, oci, ologof, LogonDataArea());
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

} // namespace qd
