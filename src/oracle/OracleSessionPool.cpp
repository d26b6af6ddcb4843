#include "oracle/OracleSessionPool.h"

#include "classlib/Exception.h"
#include "oracle/OracleCall.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleError.h"

#include <algorithm>

namespace qd {

namespace {

// Handle type and modes of the client library's session pools.
constexpr ub4 OCI_HTYPE_AUTHINFO = 9;
constexpr ub4 OCI_SPC_HOMOGENEOUS = 0x2;
constexpr ub4 OCI_SPC_STMTCACHE = 0x4;
constexpr ub4 OCI_SPD_FORCE = 0x1;
constexpr ub4 OCI_SESSGET_SPOOL = 0x1;
constexpr ub4 OCI_SESSRLS_DROPSESS = 0x1;
constexpr ub4 LibraryPoolMaximum = 2147483647;

const QString &className()
{
    static const QString name = QStringLiteral("TOracleSessionPool");
    return name;
}

ub4 byteLength(const QByteArray &bytes)
{
    return static_cast<ub4>(bytes.size());
}

OraText *oraText(QByteArray &bytes)
{
    return reinterpret_cast<OraText *>(bytes.data());
}

// Whether a free entry's connection may serve a client: the same account and database.
// The password and the connect mode must match as well, else a client with a wrong password
// would be handed a connection that someone else logged on.
bool sameLogon(TOracleSession &entry, TOracleSession &client)
{
    return entry.LogonUsername().compare(client.LogonUsername(), Qt::CaseInsensitive) == 0
        && entry.LogonDatabase().compare(client.LogonDatabase(), Qt::CaseInsensitive) == 0
        && entry.LogonPassword() == client.LogonPassword()
        && entry.ConnectAs() == client.ConnectAs();
}

} // namespace

// ---- Entry --------------------------------------------------------------------------------------

TOracleSessionPoolEntry::TOracleSessionPoolEntry(TOracleSessionPool &pool)
    : m_pool(pool)
{
}

TOracleSessionPoolEntry::~TOracleSessionPoolEntry()
{
    try {
        Release();
    } catch (...) {
        // The entry goes anyway.
    }
    dropSession();
}

bool TOracleSessionPoolEntry::Reserved() const
{
    std::lock_guard lock(m_pool.m_listLock);
    return m_reservedBy != nullptr;
}

TOracleSession *TOracleSessionPoolEntry::ReservedBy() const
{
    std::lock_guard lock(m_pool.m_listLock);
    return m_reservedBy;
}

void TOracleSessionPoolEntry::Reserve(TOracleSession &client)
{
    {
        std::lock_guard lock(m_pool.m_listLock);
        claim(client);
    }
    try {
        connect(client);
    } catch (...) {
        std::lock_guard lock(m_pool.m_listLock);
        m_reservedBy = nullptr;
        throw;
    }
}

void TOracleSessionPoolEntry::claim(TOracleSession &client)
{
    if (m_reservedBy)
        throw Exception(QStringLiteral("Pool entry already reserved"));
    m_reservedBy = &client;
}

void TOracleSessionPoolEntry::connect(TOracleSession &client)
{
    // A connection the server has dropped is not lent out again.
    if (m_session && m_session->CheckConnection(false) == 1)
        dropSession();
    if (!m_session)
        newSession(client);
    TOracleSession::ShareConnection(*m_session, client);
}

void TOracleSessionPoolEntry::newSession(TOracleSession &client)
{
    auto session = std::make_unique<TOracleSession>(nullptr, &client.library());
    session->SetOwningPool(&m_pool);
    session->SetLogonUsername(client.LogonUsername());
    session->SetLogonPassword(client.LogonPassword());
    session->SetLogonDatabase(client.LogonDatabase());
    session->SetConnectAs(client.ConnectAs());
    session->SetCursor(client.Cursor());
    session->SetBytesPerCharacter(client.BytesPerCharacter());
    session->SetIsolationLevel(client.IsolationLevel());
    session->SetOptimizerGoal(client.OptimizerGoal());
    session->SetPreferences(client.Preferences());
    session->SetSQLTrace(client.SQLTrace());
    session->SetThreadSafe(client.ThreadSafe());

    if (m_pool.EffectivePoolType() != ptOracle) {
        session->LogOn(); // a failed logon frees the session with the error passed on
        m_session = std::move(session);
        return;
    }
    // A session of the library's pool, under the client's account.
    const OracleEntryPoints &oci = m_pool.library().entryPoints();
    QByteArray user = client.LogonUsername().toUtf8();
    QByteArray password = client.LogonPassword().toUtf8();
    QByteArray poolName = m_pool.PoolName().toUtf8();
    QD_OCI(&m_pool, oci, OCIAttrSet, m_pool.m_auth, OCI_HTYPE_AUTHINFO, user.data(),
        byteLength(user), OCI_ATTR_USERNAME, m_pool.m_error);
    QD_OCI(&m_pool, oci, OCIAttrSet, m_pool.m_auth, OCI_HTYPE_AUTHINFO, password.data(),
        byteLength(password), OCI_ATTR_PASSWORD, m_pool.m_error);
    OCISvcCtx *service = nullptr;
    QD_OCI(&m_pool, oci, OCISessionGet, m_pool.m_env, m_pool.m_error, &service, m_pool.m_auth,
        oraText(poolName), byteLength(poolName), nullptr, 0, nullptr, nullptr, nullptr,
        OCI_SESSGET_SPOOL);
    m_librarySession = service;
    try {
        session->SetExternalSVC(service);
    } catch (...) {
        session.reset();
        dropSession();
        throw;
    }
    m_session = std::move(session);
}

void TOracleSessionPoolEntry::Release()
{
    TOracleSession *client = nullptr;
    {
        std::lock_guard lock(m_pool.m_listLock);
        client = detachLocked();
    }
    m_pool.m_slotFreed.notify_all();
    endShare(client);
}

TOracleSession *TOracleSessionPoolEntry::detachLocked()
{
    TOracleSession *client = m_reservedBy;
    m_reservedBy = nullptr;
    m_releaseTime = Clock::now();
    return client;
}

void TOracleSessionPoolEntry::endShare(TOracleSession *client)
{
    // The client's share of the connection ends; the connection itself stays with the entry.
    // Never under the list lock: a session takes the library lock, and a thread that holds
    // that lock while it logs off waits for the list lock.
    if (client && client->Shared()) {
        if (client->OCI8Mode())
            client->SetExternalSVC(nullptr);
        else
            client->SetExternalLDA(nullptr);
    }
}

void TOracleSessionPoolEntry::dropSession() noexcept
{
    if (m_session) {
        try {
            m_session->LogOff();
        } catch (...) {
            // A lost connection cannot be logged off; it is freed all the same.
        }
        m_session.reset();
    }
    if (m_librarySession) {
        const OracleEntryPoints &oci = m_pool.library().entryPoints();
        if (oci.OCISessionRelease)
            oci.OCISessionRelease(
                m_librarySession, m_pool.m_error, nullptr, 0, OCI_SESSRLS_DROPSESS);
        m_librarySession = nullptr;
    }
}

// ---- Pool ---------------------------------------------------------------------------------------

TOracleSessionPool::TOracleSessionPool(QObject *owner, OracleClientLibrary *library)
    : TOracleSessionPoolBase(owner)
    , m_library(library)
{
}

TOracleSessionPool::~TOracleSessionPool()
{
    Entries_t entries;
    {
        std::lock_guard lock(m_listLock);
        entries.swap(m_entries);
    }
    while (!entries.empty())
        entries.pop_back(); // last first; each logs its session off
    try {
        Close();
    } catch (...) {
        // A destructor never throws; the library frees what is left with its environment.
    }
}

OracleClientLibrary &TOracleSessionPool::library() const
{
    return m_library ? *m_library : OracleClientLibrary::instance();
}

int TOracleSessionPool::Max() const
{
    std::lock_guard lock(m_listLock);
    return m_max;
}

void TOracleSessionPool::SetMax(int value)
{
    {
        std::lock_guard lock(m_listLock);
        m_max = value;
    }
    m_slotFreed.notify_all();
}

int TOracleSessionPool::Min() const
{
    std::lock_guard lock(m_listLock);
    return m_min;
}

void TOracleSessionPool::SetMin(int value)
{
    std::lock_guard lock(m_listLock);
    m_min = value;
}

int TOracleSessionPool::TimeOut() const
{
    std::lock_guard lock(m_listLock);
    return m_timeOut;
}

void TOracleSessionPool::SetTimeOut(int value)
{
    std::lock_guard lock(m_listLock);
    m_timeOut = value;
}

QString TOracleSessionPool::PoolName() const
{
    std::lock_guard lock(m_listLock);
    return m_poolName;
}

bool TOracleSessionPool::Active() const
{
    std::lock_guard lock(m_listLock);
    return m_active;
}

TSessionPoolType TOracleSessionPool::EffectivePoolType() const
{
    std::lock_guard lock(m_listLock);
    return m_effectiveType;
}

void TOracleSessionPool::Open()
{
    {
        std::lock_guard lock(m_listLock);
        if (m_active)
            return;
        m_effectiveType = m_poolType;
        m_effectiveHomogeneous = m_homogeneous;
        m_effectiveStatementCache = m_statementCache;
        if (m_effectiveType == ptOracle)
            openLibraryPool();
        m_active = true;
    }
    if (OnOpen)
        OnOpen(this);
}

void TOracleSessionPool::openLibraryPool()
{
    OracleClientLibrary &lib = library();
    lib.InitClientLibrary();
    const OracleEntryPoints &oci = lib.entryPoints();
    if (!lib.OCI10Available() || !oci.OCISessionPoolCreate) {
        m_effectiveType = ptDefault; // this client has no session pools
        return;
    }
    try {
        m_env = lib.GetSharedEnvironment();
        void *handle = nullptr;
        QD_OCI(this, oci, OCIHandleAlloc, m_env, &handle, OCI_HTYPE_ERROR, 0, nullptr);
        m_error = static_cast<OCIError *>(handle);
        handle = nullptr;
        QD_OCI(this, oci, OCIHandleAlloc, m_env, &handle, OCI_HTYPE_SPOOL, 0, nullptr);
        m_spool = static_cast<OCISPool *>(handle);
        handle = nullptr;
        QD_OCI(this, oci, OCIHandleAlloc, m_env, &handle, OCI_HTYPE_AUTHINFO, 0, nullptr);
        m_auth = static_cast<OCIAuthInfo *>(handle);

        QByteArray database = m_logonDatabase.toUtf8();
        QByteArray user = m_logonUsername.toUtf8();
        QByteArray password = m_logonPassword.toUtf8();
        ub4 mode = OCI_DEFAULT;
        if (m_effectiveHomogeneous)
            mode |= OCI_SPC_HOMOGENEOUS;
        if (m_effectiveStatementCache)
            mode |= OCI_SPC_STMTCACHE;
        OraText *name = nullptr;
        ub4 nameLength = 0;
        QD_OCI(this, oci, OCISessionPoolCreate, m_env, m_error, m_spool, &name, &nameLength,
            oraText(database), byteLength(database), 0, LibraryPoolMaximum, 1, oraText(user),
            byteLength(user), oraText(password), byteLength(password), mode);
        m_poolName = name ? QString::fromUtf8(
                         reinterpret_cast<const char *>(name), static_cast<qsizetype>(nameLength))
                          : QString();
    } catch (...) {
        // The error has been read from the handle; the pool stays closed and owns nothing.
        freeLibraryHandles();
        throw;
    }
}

void TOracleSessionPool::freeLibraryHandles() noexcept
{
    const OracleEntryPoints &oci = library().entryPoints();
    if (oci.OCIHandleFree) {
        if (m_spool)
            oci.OCIHandleFree(m_spool, OCI_HTYPE_SPOOL);
        if (m_auth)
            oci.OCIHandleFree(m_auth, OCI_HTYPE_AUTHINFO);
        if (m_error)
            oci.OCIHandleFree(m_error, OCI_HTYPE_ERROR);
    }
    m_spool = nullptr;
    m_auth = nullptr;
    m_error = nullptr;
    m_env = nullptr; // the shared environment stays with the library
    m_poolName.clear();
}

sword TOracleSessionPool::checkCall(sword status, const char *callName)
{
    if (status == OCI_INVALID_HANDLE || status == OCI_ERROR)
        raisePoolError(status, callName);
    return status;
}

void TOracleSessionPool::raisePoolError(sword status, const char *callName)
{
    CheckOracleResult(
        status, className(), library().entryPoints(), m_error, nullptr, this, callName);
    throw Exception(
        className() + QStringLiteral(": call failed with status ") + QString::number(status));
}

void TOracleSessionPool::Close()
{
    bool fire = false;
    {
        std::lock_guard lock(m_listLock);
        fire = m_active;
    }
    if (fire && OnClose)
        OnClose(this);
    std::lock_guard lock(m_listLock);
    if (!m_active)
        return;
    if (m_spool) {
        const OracleEntryPoints &oci = library().entryPoints();
        if (oci.OCISessionPoolDestroy)
            oci.OCISessionPoolDestroy(m_spool, m_error, OCI_SPD_FORCE);
    }
    freeLibraryHandles();
    m_active = false;
}

int TOracleSessionPool::reservedCountLocked() const
{
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(),
        [](const auto &entry) { return entry->m_reservedBy != nullptr; }));
}

int TOracleSessionPool::Count() const
{
    std::lock_guard lock(m_listLock);
    return static_cast<int>(m_entries.size());
}

TOracleSessionPoolEntry *TOracleSessionPool::Entries(int index) const
{
    std::lock_guard lock(m_listLock);
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        throw Exception(QStringLiteral("Pool entry index out of bounds (%1)").arg(index));
    return m_entries[static_cast<size_t>(index)].get();
}

int TOracleSessionPool::FreeSlots() const
{
    std::lock_guard lock(m_listLock);
    return m_max - reservedCountLocked();
}

void TOracleSessionPool::Reserve(TOracleSession &session)
{
    OracleLockGuard reserving(m_reserveLock);
    if (m_poolType == ptOracle && !m_homogeneous && !Active() && m_logonDatabase.isEmpty())
        m_logonDatabase = session.LogonDatabase();
    Open();

    bool homogeneous = false;
    TSessionPoolType type = ptDefault;
    {
        // Only this thread waits (the reserve lock); a release elsewhere wakes it.
        std::unique_lock lock(m_listLock);
        m_slotFreed.wait(lock, [this] { return m_max <= 0 || m_max > reservedCountLocked(); });
        homogeneous = m_effectiveHomogeneous;
        type = m_effectiveType;
    }
    if (homogeneous) {
        session.SetLogonUsername(m_logonUsername);
        session.SetLogonPassword(m_logonPassword);
        session.SetLogonDatabase(m_logonDatabase);
    }

    TOracleSessionPoolEntry *entry = nullptr;
    {
        std::lock_guard lock(m_listLock);
        for (const auto &candidate : m_entries) {
            if (candidate->m_reservedBy)
                continue;
            if (type == ptOracle
                || (candidate->m_session && sameLogon(*candidate->m_session, session))) {
                entry = candidate.get();
                break;
            }
        }
        if (!entry) {
            m_entries.push_back(std::make_unique<TOracleSessionPoolEntry>(*this));
            entry = m_entries.back().get();
        }
        entry->claim(session);
    }
    try {
        entry->connect(session);
    } catch (...) {
        // The entry that could not connect leaves the pool; the error reaches the caller.
        Entries_t removed;
        {
            std::lock_guard lock(m_listLock);
            entry->m_reservedBy = nullptr;
            removeEntry(entry, removed);
        }
        m_slotFreed.notify_all();
        removed.clear();
        throw;
    }
    expireIdleEntries();
}

bool TOracleSessionPool::Release(TOracleSession &session)
{
    std::vector<TOracleSession *> clients;
    Entries_t removed;
    {
        std::lock_guard lock(m_listLock);
        std::vector<TOracleSessionPoolEntry *> released;
        for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
            if ((*it)->m_reservedBy == &session)
                released.push_back(it->get());
        }
        for (TOracleSessionPoolEntry *entry : released) {
            clients.push_back(entry->detachLocked());
            // Without a time-out the pool shrinks back to Min at once.
            if (m_timeOut < 1 && m_min > 0 && m_min < static_cast<int>(m_entries.size()))
                removeEntry(entry, removed);
        }
    }
    if (!clients.empty())
        m_slotFreed.notify_all();
    std::exception_ptr failure;
    for (TOracleSession *client : clients) {
        try {
            TOracleSessionPoolEntry::endShare(client);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    removed.clear(); // logs the freed entries' sessions off, outside the list lock
    expireIdleEntries();
    if (failure)
        std::rethrow_exception(failure);
    return !clients.empty();
}

void TOracleSessionPool::removeEntry(TOracleSessionPoolEntry *entry, Entries_t &removed)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
        [entry](const auto &candidate) { return candidate.get() == entry; });
    if (it != m_entries.end()) {
        removed.push_back(std::move(*it));
        m_entries.erase(it);
    }
}

void TOracleSessionPool::takeExpiredLocked(Entries_t &removed)
{
    if (m_timeOut <= 0)
        return;
    const auto limit = TOracleSessionPoolEntry::Clock::now() - std::chrono::seconds(m_timeOut);
    for (size_t i = m_entries.size(); i-- > 0;) {
        if (static_cast<int>(m_entries.size()) <= m_min)
            break;
        TOracleSessionPoolEntry *entry = m_entries[i].get();
        if (!entry->m_reservedBy && entry->m_releaseTime < limit) {
            removed.push_back(std::move(m_entries[i]));
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

void TOracleSessionPool::expireIdleEntries()
{
    Entries_t removed;
    {
        std::lock_guard lock(m_listLock);
        takeExpiredLocked(removed);
    }
    removed.clear();
}

void TOracleSessionPool::FireAfterReserve(TOracleSession &session)
{
    if (AfterReserve)
        AfterReserve(this, &session);
}

void TOracleSessionPool::FireBeforeRelease(TOracleSession &session)
{
    if (BeforeRelease)
        BeforeRelease(this, &session);
}

} // namespace qd
