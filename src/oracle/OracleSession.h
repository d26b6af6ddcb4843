#pragma once

#include "oracle/LogonString.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleCall.h"
#include "oracle/OracleCriticalSection.h"
#include "oracle/OracleSessionDependent.h"
#include "oracle/OracleSessionInterface.h"
#include "oracle/ScreenServices.h"
#include "oracle/SessionPreferences.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qd {

class OracleClientLibrary;
class TDBMS_Application_Info;
class TDBMS_Output;
class TOracleSession;

enum TSessionPoolingOption { spNone, spInternal, spMTS };
enum TMTSOption : unsigned { moImplicit = 1, moUniqueServer = 2 };
using TMTSOptions = unsigned;
enum TNullValueOption { nvUnAssigned, nvNull };
enum TSQLTraceOption { stUnchanged, stTrue, stFalse };
enum TOptimizerGoalOption { ogUnchanged, ogChoose, ogFirstRows, ogAllRows, ogRule };
enum TIsolationLevelOption { ilUnchanged, ilReadCommitted, ilSerializable };
enum TBytesPerCharacterOption { bcAutoDetect, bc1Byte, bc2Bytes, bc3Bytes, bc4Bytes };

using TOracleSessionEvent = std::function<void(TOracleSession *sender)>;

// What a session needs of the session pool that lends it connections. The pool makes the
// session share one of its connections (TOracleSession::ShareConnection) and takes it back.
class TOracleSessionPoolBase : public QObject {
public:
    using QObject::QObject;
    // Gives the session a connection; raises when none can be had.
    virtual void ReserveSession(TOracleSession &session) = 0;
    // Takes the connection back; true when the session held one of this pool's.
    virtual bool ReleaseSession(TOracleSession &session) = 0;
    virtual void FireAfterReserve(TOracleSession &session) = 0;
    virtual void FireBeforeRelease(TOracleSession &session) = 0;
    virtual bool StatementCache() const = 0;

    // The pool that serves sessions with Pooling spInternal and no Pool of their own.
    static void SetDefaultPool(TOracleSessionPoolBase *pool);
    static TOracleSessionPoolBase *DefaultPool();
};

// One connection to an Oracle database. It works either with the handle-based calls (the
// newer interface) or with a logon data area and the older calls, fixed at each logon.
// Dependent objects (queries, datasets, ...) register with it; every session is listed in a
// process-wide list so that the layer can log all of them off when it shuts down.
class TOracleSession : public QObject, public OracleSessionInterface {
public:
    // library: the client library to use; null means the process's library.
    explicit TOracleSession(QObject *owner = nullptr, OracleClientLibrary *library = nullptr);
    ~TOracleSession() override;
    TOracleSession(const TOracleSession &) = delete;
    TOracleSession &operator=(const TOracleSession &) = delete;

    // ---- Component state (streaming and design time) --------------------------------------------
    bool Loading() const { return m_loading; }
    bool Designing() const { return m_designing; }
    void SetDesigning(bool value) { m_designing = value; }
    // Between BeginLoading and Loaded the properties are being streamed in.
    void BeginLoading() { m_loading = true; }
    void Loaded();
    bool IsDesignConnectionStream() const;
    void CompleteStreamedLogOn();

    // ---- Published properties -------------------------------------------------------------------
    bool Connected() const override { return m_connected; }
    void SetConnected(bool value);
    bool RollbackOnDisconnect() const { return m_rollbackOnDisconnect; }
    void SetRollbackOnDisconnect(bool value) { m_rollbackOnDisconnect = value; }
    bool DesignConnection() const { return m_designConnection; }
    void SetDesignConnection(bool value) { m_designConnection = value; }
    QString LogonUsername() const { return m_logonUsername; }
    void SetLogonUsername(const QString &value);
    QString LogonPassword() const { return m_logonPassword; }
    void SetLogonPassword(const QString &value);
    QString LogonDatabase() const { return m_logonDatabase; }
    void SetLogonDatabase(const QString &value);
    TConnectAsOption ConnectAs() const { return m_connectAs; }
    void SetConnectAs(TConnectAsOption value) { m_connectAs = value; }
    bool ThreadSafe() const { return m_threadSafe; }
    void SetThreadSafe(bool value);
    TSessionPreferences &Preferences() { return *m_preferences; }
    const TSessionPreferences &Preferences() const { return *m_preferences; }
    void SetPreferences(const TSessionPreferences &value) { m_preferences->Assign(value); }
    TSessionPoolingOption Pooling() const { return m_pooling; }
    void SetPooling(TSessionPoolingOption value);
    TOracleSessionPoolBase *Pool() const { return m_pool; }
    void SetPool(TOracleSessionPoolBase *value);
    TMTSOptions MTSOptions() const { return m_mtsOptions; }
    void SetMTSOptions(TMTSOptions value);
    TNullValueOption NullValue() const { return m_nullValue; }
    void SetNullValue(TNullValueOption value) { m_nullValue = value; }
    TSQLTraceOption SQLTrace() const { return m_sqlTrace; }
    void SetSQLTrace(TSQLTraceOption value);
    TOptimizerGoalOption OptimizerGoal() const { return m_optimizerGoal; }
    void SetOptimizerGoal(TOptimizerGoalOption value);
    TIsolationLevelOption IsolationLevel() const { return m_isolationLevel; }
    void SetIsolationLevel(TIsolationLevelOption value);
    TBytesPerCharacterOption BytesPerCharacter() const { return m_bytesPerCharacter; }
    void SetBytesPerCharacter(TBytesPerCharacterOption value);
    QString MessageTable() const { return m_messageTable; }
    void SetMessageTable(const QString &value) { m_messageTable = value; }
    // True when the connection belongs to someone else (ExternalLDA or ExternalSVC).
    bool Shared() const { return m_externalLDA || m_externalSVC; }
    bool StatementCache() const { return m_statementCache; }
    void SetStatementCache(bool value);
    int StatementCacheSize() const { return m_statementCacheSize; }
    void SetStatementCacheSize(int value);
    TCursor Cursor() const { return m_cursor; }
    void SetCursor(TCursor value) { m_cursor = value; }

    TOracleSessionEvent OnChange;
    TOracleSessionEvent BeforeLogOn;
    TOracleSessionEvent AfterLogOn;

    // ---- Run-time state -------------------------------------------------------------------------
    bool AutoCommit() const { return m_autoCommit; }
    void SetAutoCommit(bool value);
    bool OCI8Mode() const override { return m_oci8Mode; }
    bool LdaFromService() const { return m_ldaFromService; }
    bool ServerAttached() const { return m_serverAttached; }
    bool ODBCBridge() const { return m_odbcBridge; }
    bool OCA60Installed() const { return m_oca60Installed; }
    bool MTSEnlisted() const { return m_mtsEnlisted; }
    bool StreamedConnect() const { return m_streamedConnect; }
    // The text of the warning the last logon returned (ORA-28002, ORA-28011), else empty.
    QString LogonWarning() const { return m_logonWarning; }

    // ---- Logon and logoff -----------------------------------------------------------------------
    void LogOn();
    void LogOff();
    // 0 alive, 1 not connected or the connection failed, 2 logged on again.
    int CheckConnection(bool reconnect);
    // user[/password][@database][ as mode]; the parts are written back to the properties.
    QString GetLogonString();

    // ---- Connection sharing ---------------------------------------------------------------------
    void SetExternalLDA(Lda_Def *handle);
    Lda_Def *GetExternalLDA();
    void SetExternalSVC(OCISvcCtx *handle);
    OCISvcCtx *GetExternalSVC();
    static void ShareConnection(TOracleSession &source, TOracleSession &target);
    // The session pool that owns this session (it uses that pool's statement cache setting).
    void SetOwningPool(TOracleSessionPoolBase *pool) { m_owningPool = pool; }

    // ---- Handles for the query, buffer and LOB classes ------------------------------------------
    Lda_Def *LogonDataArea();
    OCISvcCtx *ServiceContext() const { return m_svc; }
    OCIServer *ServerHandle() const { return m_server; }
    OCISession *SessionHandle() const { return m_session; }
    OCIError *SecondErrorHandle() const { return m_error2; }
    sword LastStatus() const { return m_status; }
    bool SetStatus(sword status);
    // The code of the last client call's error (0 when it succeeded).
    int LastErrorCode();
    // Raises the error of the last client call as EOracleError.
    // callName: the client call that failed, named on the error.
    [[noreturn]] void RaiseLastError(void *failingObject = nullptr, const char *callName = "");

    // ---- Call lock ------------------------------------------------------------------------------
    // With ThreadSafe, enter or leave the call lock; skipInOCI8Mode leaves it alone in the
    // handle-based mode (whose environment is threaded). Query calls pass true: they take the
    // lock only in the older mode.
    void Enter(bool skipInOCI8Mode = true);
    void Leave(bool skipInOCI8Mode = true);
    TOracleCriticalSection &CallLock() { return m_callLock; }

    // ---- Transactions ---------------------------------------------------------------------------
    void Commit();
    void Rollback();
    void Savepoint(const QString &name);
    void RollbackToSavepoint(const QString &name);

    // ---- Other operations -----------------------------------------------------------------------
    // Cancels the call running on the session; takes no lock, so it may come from any thread.
    void BreakExecution();
    void ChangePassword(const QString &newPassword);
    // The statement the older interface changes a password with: user and password in double
    // quotes (an unquoted user name folds to upper case); raises for values that cannot be
    // quoted.
    static QString PasswordChangeStatement(const QString &user, const QString &newPassword);
    // Runs a statement on the session's own cursor; a select's first row is read (see
    // InternalRow).
    void ExecSQL(const QString &text, bool showBusy = true);
    // The first row of the last select that ExecSQL ran, as text (empty when none came).
    QStringList InternalRow() const { return m_internalRow; }

    // ---- Probes ---------------------------------------------------------------------------------
    QString ServerVersion();
    // A version text as ServerVersion gives it: cut before the first line break and before
    // the first "-" that stands first or follows a blank (the blank stays).
    static QString ShortVersionText(const QString &banner);
    int BytesPerChar();
    int MaxStringChars();
    int DateFormatLength();
    QString AUDSID();
    QString ErrorText(int errorCode);
    OCITypeCode ObjectTypeCode(void *typeDescriptor);
    // The external type (3 integer, 4 float, 5 string) and buffer size for a NUMBER column.
    void ChooseNumberType(int precision, int scale, int &size, int &typeCode, bool asString);
    bool UsesStatementCache() const;
    // The major release of a server banner ("... Release 19.0.0.0.0 ..." gives 19); 0 when
    // the banner names none.
    static int BannerMajorVersion(const QString &banner);

    // ---- Dependents -----------------------------------------------------------------------------
    void AddDependent(OracleSessionDependent *dependent);
    void RemoveDependent(OracleSessionDependent *dependent);
    QList<OracleSessionDependent *> Dependents(OracleSessionDependent::Kind kind) const;
    // Closes the queries and the datasets that cannot live detached, last first.
    void CloseDependents();
    void ReactivateDataSets();

    // ---- Server package wrappers (created on first use, freed with the session) ----------------
    TDBMS_Application_Info &DBMS_Application_Info();
    TDBMS_Output &DBMS_Output();

    // ---- Monitor --------------------------------------------------------------------------------
    int MonitorId() override;
    void MonitorBegin(const QString &text);
    void MonitorEnd(const QString &errorText = QString());
    QStringList ConnectionDescription();

    // ---- The process's sessions -----------------------------------------------------------------
    static QList<TOracleSession *> AllSessions();
    // Logs every session off (unit shut-down); errors are swallowed.
    static void LogOffAllSessions();

    // ---- OracleSessionInterface -----------------------------------------------------------------
    const OracleEntryPoints &entryPoints() const override;
    const OracleCapabilities &capabilities() const override;
    Lda_Def *logonDataArea() override { return m_oci8Mode ? nullptr : LogonDataArea(); }
    OCIEnv *environmentHandle() override { return m_env; }
    OCIError *errorHandle() override { return m_error; }
    void enterCallLock() override { Enter(true); }
    void leaveCallLock() override { Leave(true); }
    bool ConvertCRLF() const override { return m_preferences->ConvertCRLF(); }
    bool ZeroDateIsNull() const override { return m_preferences->ZeroDateIsNull(); }
    int maxBindStringSize() const override;
    QString serverErrorText(int errorCode) override;

    // The client library the session calls.
    OracleClientLibrary &library() const { return *m_library; }

    // ---- Overridable steps ----------------------------------------------------------------------
    virtual void DoBeforeLogOn();
    virtual void DoAfterLogOn();

private:
    struct InternalResult {
        std::vector<QStringList> rows;
    };
    struct DependentLists;

    void DetectODBCBridge();
    void AttachServer();
    void logOnOwnConnection();
    void logOnExternalService();
    void applySettingsAgain();
    void logOffConnection();
    void freeHandles();
    OCISvcCtx *MTSGetService();
    void MTSReleaseService(OCISvcCtx *service);
    void DoCommit();
    void DoRollback();
    void runAlterSession(const QString &statement);
    void changed();
    void checkNotConnected(const char *property) const;
    // Keeps the status and raises the error it leaves (see RaiseLastError); yields the status.
    sword checkCall(sword status, const char *callName);
    // Runs a statement and reads up to maxRows rows (-1: all) of its first columns.
    InternalResult runInternal(const QString &text, int columns, int maxRows);
    InternalResult runInternalOCI8(const QString &text, int columns, int maxRows);
    InternalResult runInternalOCI7(const QString &text, int columns, int maxRows);

    OracleClientLibrary *m_library;
    bool m_loading = false;
    bool m_designing = false;

    bool m_connected = false;
    bool m_rollbackOnDisconnect = false;
    bool m_designConnection = false;
    QString m_logonUsername;
    QString m_logonPassword;
    QString m_logonDatabase;
    TConnectAsOption m_connectAs = caNormal;
    bool m_threadSafe = false;
    std::unique_ptr<TSessionPreferences> m_preferences;
    TSessionPoolingOption m_pooling = spNone;
    QPointer<TOracleSessionPoolBase> m_pool;
    QPointer<TOracleSessionPoolBase> m_owningPool;
    TMTSOptions m_mtsOptions = moImplicit | moUniqueServer;
    TNullValueOption m_nullValue = nvUnAssigned;
    TSQLTraceOption m_sqlTrace = stUnchanged;
    TOptimizerGoalOption m_optimizerGoal = ogUnchanged;
    TIsolationLevelOption m_isolationLevel = ilUnchanged;
    TBytesPerCharacterOption m_bytesPerCharacter = bc1Byte;
    QString m_messageTable;
    bool m_statementCache = false;
    int m_statementCacheSize = 20;
    TCursor m_cursor = crSQLWait;

    bool m_autoCommit = false;
    bool m_oci8Mode = false;
    bool m_ldaFromService = false;
    bool m_serverAttached = false;
    bool m_odbcBridge = false;
    bool m_oca60Installed = false;
    bool m_mtsEnlisted = false;
    bool m_streamedConnect = false;
    bool m_destroying = false;
    QString m_logonWarning;

    Lda_Def *m_externalLDA = nullptr;
    OCISvcCtx *m_externalSVC = nullptr;
    Lda_Def m_lda {};
    std::array<ub1, HDA_SIZE> m_hda {};
    OCIEnv *m_env = nullptr;
    OCIError *m_error = nullptr;
    OCIError *m_error2 = nullptr;
    OCISvcCtx *m_svc = nullptr;
    OCISession *m_session = nullptr;
    OCIServer *m_server = nullptr;
    // True when the server, service context and session handles are this session's own
    // (not those of a connection it shares).
    bool m_ownsHandles = false;
    sword m_status = OCI_SUCCESS;

    TOracleCriticalSection m_callLock;
    QStringList m_internalRow;
    int m_bytesPerCharCache = 0;
    int m_dateFormatLengthCache = -1;
    QString m_sessionIdCache;
    int m_monitorId = 0;
    bool m_monitorStarted = false;
    QElapsedTimer m_monitorTimer;

    std::unique_ptr<DependentLists> m_dependents;
    std::unique_ptr<TDBMS_Application_Info> m_dbmsApplicationInfo;
    std::unique_ptr<TDBMS_Output> m_dbmsOutput;
};

} // namespace qd
