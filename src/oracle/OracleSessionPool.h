#pragma once

#include "oracle/OracleCI.h"
#include "oracle/OracleCriticalSection.h"
#include "oracle/OracleSession.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qd {

class OracleClientLibrary;
class TOracleSessionPool;

enum TSessionPoolType { ptDefault, ptOracle };

using TSessionPoolEvent = std::function<void(TOracleSessionPool *sender)>;
using TSessionPoolSessionEvent
    = std::function<void(TOracleSessionPool *sender, TOracleSession *session)>;

// One connection of a pool: a session of its own that it lends to one client session at a
// time (the client shares the entry's connection).
class TOracleSessionPoolEntry {
public:
    explicit TOracleSessionPoolEntry(TOracleSessionPool &pool);
    // Releases the entry and logs its session off (a library pool's session is dropped).
    ~TOracleSessionPoolEntry();
    TOracleSessionPoolEntry(const TOracleSessionPoolEntry &) = delete;
    TOracleSessionPoolEntry &operator=(const TOracleSessionPoolEntry &) = delete;

    // Lends the connection to client, logging on first when the entry has no live session;
    // raises "Pool entry already reserved" when it is lent already.
    void Reserve(TOracleSession &client);
    // Ends the client's share of the connection; the connection stays.
    void Release();
    bool Reserved() const;
    TOracleSession *Session() const { return m_session.get(); }
    TOracleSession *ReservedBy() const;

private:
    friend class TOracleSessionPool;
    using Clock = std::chrono::steady_clock;

    // The first half of Reserve, under the pool's list lock: the entry is taken for client.
    void claim(TOracleSession &client);
    // The second half, outside the list lock: a live connection, shared with the client.
    void connect(TOracleSession &client);
    // Under the list lock: the entry is free again; returns the client it was lent to.
    TOracleSession *detachLocked();
    // Outside the list lock: the client no longer shares the connection.
    static void endShare(TOracleSession *client);
    void dropSession() noexcept;
    void newSession(TOracleSession &client);

    TOracleSessionPool &m_pool;
    std::unique_ptr<TOracleSession> m_session;
    TOracleSession *m_reservedBy = nullptr; // guarded by the pool's list lock
    Clock::time_point m_releaseTime = Clock::now();
    // The service context taken from the client library's pool (ptOracle).
    OCISvcCtx *m_librarySession = nullptr;
};

// Lends logged-on connections to sessions whose Pooling is spInternal. ptDefault keeps
// entries that own ordinary sessions; ptOracle takes the sessions from a session pool of
// the client library when the library offers one (else it works as ptDefault).
//
// Locks: the entry list has its own (re-entrant) lock; Reserve also holds the reserve lock
// for the whole reservation, so only one thread at a time waits for a free slot, while a
// Release (list lock only) from another thread ends that wait. Sessions of entries are
// logged on and off outside the list lock.
class TOracleSessionPool : public TOracleSessionPoolBase {
public:
    // library: the client library of a ptOracle pool; null means the process's library.
    explicit TOracleSessionPool(QObject *owner = nullptr, OracleClientLibrary *library = nullptr);
    // Frees every entry (last first), then closes the pool.
    ~TOracleSessionPool() override;
    TOracleSessionPool(const TOracleSessionPool &) = delete;
    TOracleSessionPool &operator=(const TOracleSessionPool &) = delete;

    // ---- Published properties -------------------------------------------------------------------
    // The most entries reserved at once; 0 means no limit.
    int Max() const;
    void SetMax(int value);
    // Entries kept after release.
    int Min() const;
    void SetMin(int value);
    // Seconds after which a released entry is freed; 0 means never.
    int TimeOut() const;
    void SetTimeOut(int value);
    TSessionPoolType PoolType() const { return m_poolType; }
    void SetPoolType(TSessionPoolType value) { m_poolType = value; }
    QString LogonUsername() const { return m_logonUsername; }
    void SetLogonUsername(const QString &value) { m_logonUsername = value; }
    QString LogonPassword() const { return m_logonPassword; }
    void SetLogonPassword(const QString &value) { m_logonPassword = value; }
    QString LogonDatabase() const { return m_logonDatabase; }
    void SetLogonDatabase(const QString &value) { m_logonDatabase = value; }
    // The name the client library gave its pool (empty unless a ptOracle pool is open).
    QString PoolName() const;
    bool Homogeneous() const { return m_homogeneous; }
    void SetHomogeneous(bool value) { m_homogeneous = value; }
    bool StatementCache() const override { return m_statementCache; }
    void SetStatementCache(bool value) { m_statementCache = value; }

    TSessionPoolEvent OnOpen;
    TSessionPoolEvent OnClose;
    TSessionPoolSessionEvent AfterReserve;
    TSessionPoolSessionEvent BeforeRelease;

    // ---- Operations -----------------------------------------------------------------------------
    // Activates the pool (a ptOracle pool creates the library's pool) and fires OnOpen.
    void Open();
    // Fires OnClose, destroys a library pool and deactivates.
    void Close();
    bool Active() const;
    // The pool type in effect since the pool was opened.
    TSessionPoolType EffectivePoolType() const;
    // Gives session a connection of the pool, waiting while Max entries are reserved.
    void Reserve(TOracleSession &session);
    // True when an entry was reserved by session (it is released).
    bool Release(TOracleSession &session);
    int Count() const;
    TOracleSessionPoolEntry *Entries(int index) const;
    // Max less the reserved entries.
    int FreeSlots() const;

    // ---- TOracleSessionPoolBase -----------------------------------------------------------------
    void ReserveSession(TOracleSession &session) override { Reserve(session); }
    bool ReleaseSession(TOracleSession &session) override { return Release(session); }
    void FireAfterReserve(TOracleSession &session) override;
    void FireBeforeRelease(TOracleSession &session) override;

private:
    friend class TOracleSessionPoolEntry;
    using Entries_t = std::vector<std::unique_ptr<TOracleSessionPoolEntry>>;

    OracleClientLibrary &library() const;
    void openLibraryPool();
    void freeLibraryHandles() noexcept;
    int reservedCountLocked() const;
    // Takes the expired free entries out of the list (caller holds the list lock).
    void takeExpiredLocked(Entries_t &removed);
    void expireIdleEntries();
    void removeEntry(TOracleSessionPoolEntry *entry, Entries_t &removed);
    [[noreturn]] void raisePoolError(sword status, const char *callName);
    sword checkCall(sword status, const char *callName);

    OracleClientLibrary *m_library;
    int m_max = 0;
    int m_min = 0;
    int m_timeOut = 0;
    TSessionPoolType m_poolType = ptDefault;
    QString m_logonUsername;
    QString m_logonPassword;
    QString m_logonDatabase;
    bool m_homogeneous = false;
    bool m_statementCache = false;

    // The list lock guards the entries, the active state and the values captured at open.
    mutable std::recursive_mutex m_listLock;
    std::condition_variable_any m_slotFreed;
    Entries_t m_entries;
    bool m_active = false;
    TSessionPoolType m_effectiveType = ptDefault;
    bool m_effectiveHomogeneous = false;
    bool m_effectiveStatementCache = false;
    QString m_poolName;
    TOracleCriticalSection m_reserveLock;

    // Handles of the client library's pool (ptOracle).
    OCIEnv *m_env = nullptr;
    OCIError *m_error = nullptr;
    OCISPool *m_spool = nullptr;
    OCIAuthInfo *m_auth = nullptr;
};

} // namespace qd
