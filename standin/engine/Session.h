#pragma once

// One server session: a user logged on to an alias, with its own SQLite connection to the
// user's schema file. It owns the transaction (begun lazily at the first change), savepoints,
// the row locks it holds, sequences' current values, the break flag of the running call, and
// the test hooks' state (statement trace, round trips, injected faults).

#include "engine/Config.h"
#include "sql/Dialect.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qdsi::engine {

class Statement;
class PlsqlSessionHost;
class Triggers;

class Session {
public:
    // Opens the connection. Throws OraError.
    Session(std::shared_ptr<Config> config, const AliasEntry &alias, std::string user);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    sqlite3 *db() const { return m_db; }
    const std::string &user() const { return m_user; }
    const std::string &databasePath() const { return m_path; }
    const AliasEntry &alias() const { return m_alias; }
    sql::SessionContext &context() { return m_context; }
    // The PL/SQL interpreter's host for this session (made at first use).
    PlsqlSessionHost &plsql();
    // The stored triggers as they fire on this session's changes.
    Triggers &triggers() { return *m_triggers; }

    // Marks a client call in progress (so OCIBreak can end it) and counts a round trip.
    class Call {
    public:
        Call(Session &session, bool roundTrip);
        ~Call();
        Call(const Call &) = delete;
        Call &operator=(const Call &) = delete;

    private:
        Session &m_session;
    };

    // Break handling: true when a call was running and is now asked to stop.
    bool requestBreak();
    bool broken() const { return m_break.load(std::memory_order_relaxed); }
    bool callInProgress() const { return m_inCall.load(); }
    // Sleeps up to `ms` milliseconds (negative: until broken). Throws ORA-01013 when broken.
    void pause(int ms);

    // Lost connection: the first call after the loss fails with 3113, later ones with 3114.
    void loseConnection() { m_lost = true; }
    void checkConnection();

    // Selects with rows still to come; they give up their snapshot when the session must write.
    void openCursor(Statement *statement) { m_cursors.insert(statement); }
    void closeCursor(Statement *statement) { m_cursors.erase(statement); }

    // Runs a statement that writes, outside the prepared statements (DDL, BEGIN). Throws OraError.
    void write(const char *sql);

    // Transactions.
    void beginChange();
    void commit();
    void rollback();
    void savepoint(const std::string &name);
    void rollbackToSavepoint(const std::string &name);
    // Forgets the latest savepoint of that name and those after it (no-op when there is none).
    void releaseSavepoint(const std::string &name);
    bool inTransaction() const { return m_transaction; }

    // What a statement's translation reads besides its text: the objects of every schema of
    // the process (tables, views, types, synonyms, stored code and the side tables behind
    // them). The version moves whenever they may have changed, in any session; a translation
    // made at one version holds while the version and the session's own settings stay.
    static uint64_t catalogueVersion();
    // A statement of this session may have changed the objects: the version moves now, and
    // again when the transaction ends, since its commit shows the change to other sessions
    // and its rollback takes it back.
    void catalogueChanged();

    // Locks a row of a table for the transaction (FOR UPDATE): of this session's schema, or of
    // the schema attached as `database`.
    void lockRow(
        const std::string &table, int64_t rowid, int waitMs, const std::string &database = {});
    // The file the row locks of a schema of the connection are kept under ("main" or empty:
    // this session's own; else the attached user's).
    std::string lockFile(const std::string &database) const;

    // Sequences kept in the schema's side table.
    void createSequence(const sql::SequenceDefinition &definition);
    void dropSequence(const std::string &name);
    int64_t nextval(const std::string &name);
    int64_t currval(const std::string &name);

    // The table's object number shown in ROWID texts.
    int64_t tableNumber(const std::string &table);
    void forgetTables() { m_tableNumbers.clear(); }

    // An OraError for a failed SQLite call on this connection.
    sql::OraError sqliteError(int rc) const;

    // Names of the collection row functions already made known to the connection.
    std::set<std::string> &collectionFunctions() { return m_collectionFunctions; }

    // Test hooks.
    void traceStatement(const std::string &text);
    std::vector<std::string> trace() const;
    void clearTrace();
    unsigned roundTrips() const { return m_roundTrips.load(); }
    void resetRoundTrips() { m_roundTrips = 0; }
    std::atomic<bool> blockNextFetch { false };
    std::atomic<int> rowDelayMs { 0 };

private:
    static int busyHandler(void *self, int count);
    static int progressHandler(void *self);
    void exec(const char *sql);

    std::shared_ptr<Config> m_config;
    const AliasEntry &m_alias;
    std::string m_user;
    std::string m_path;
    sqlite3 *m_db = nullptr;
    int m_otherSchemas = 0; // schema files of other users attached to the connection
    sql::SessionContext m_context;
    std::set<std::string> m_collectionFunctions;

    std::mutex m_callMutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_inCall { false };
    std::atomic<bool> m_break { false };
    std::atomic<unsigned> m_roundTrips { 0 };
    std::chrono::steady_clock::time_point m_busySince;
    std::atomic<bool> m_lost { false };
    bool m_closed = false;

    struct Savepoint {
        std::string name;
        bool inSqlite; // taken inside the SQLite transaction (else before its first change)
        size_t lockMark; // row locks held when it was taken
    };
    bool m_transaction = false;
    std::vector<Savepoint> m_savepoints;
    bool m_catalogueChanged = false; // by the open transaction (see catalogueChanged)
    void transactionEnded();

    std::set<Statement *> m_cursors;
    std::map<std::string, int64_t> m_currval;
    std::map<std::string, int64_t> m_tableNumbers;
    std::unique_ptr<PlsqlSessionHost> m_plsql;
    std::unique_ptr<Triggers> m_triggers;

    mutable std::mutex m_traceMutex;
    std::vector<std::string> m_trace;
};

} // namespace qdsi::engine
