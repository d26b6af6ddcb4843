#include "engine/Session.h"

#include "engine/CollectionRows.h"

#include "engine/Database.h"
#include "engine/Dictionary.h"
#include "engine/ExplainPlan.h"
#include "engine/IdentityColumns.h"
#include "engine/Lobs.h"
#include "engine/ObjectTables.h"
#include "engine/ObjectTypes.h"
#include "engine/OraErrors.h"
#include "engine/PlsqlSessionHost.h"
#include "engine/RowLocks.h"
#include "engine/Rowid.h"
#include "engine/Schemas.h"
#include "engine/Statement.h"
#include "engine/StoredCode.h"
#include "engine/Triggers.h"
#include "engine/ViewTarget.h"

#include <cctype>
#include <thread>

namespace qdsi::engine {

Session::Session(std::shared_ptr<Config> config, const AliasEntry &alias, std::string user)
    : m_config(std::move(config))
    , m_alias(alias)
    , m_user(std::move(user))
    , m_path(schemaPath(alias, m_user))
{
    static std::atomic<int64_t> sessionIds { 100 };
    m_db = openSchema(alias, m_user);
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &Session::busyHandler, this);
    // Checked every few thousand VM steps, so a break ends even a long-running statement.
    sqlite3_progress_handler(m_db, 4000, &Session::progressHandler, this);
    m_context.user = m_user;
    m_context.sessionId = ++sessionIds;
    m_context.nextval = [this](const std::string &s) { return nextval(s); };
    m_context.currval = [this](const std::string &s) { return currval(s); };
    m_context.identityColumns
        = [this](const std::string &table) { return engine::identityColumns(m_db, table); };
    m_context.identityNext = [this](const std::string &table, const std::string &column) {
        return engine::identityNext(*this, table, column);
    };
    m_context.rowidText = [this](const std::string &table, int64_t rowid) {
        return engine::rowidText(tableNumber(table), rowid);
    };
    m_context.rowidNumber = [](const std::string &text) { return engine::rowidNumber(text); };
    m_context.banner = alias.banner;
    sql::registerFunctions(m_db, &m_context);
    registerLobFunctions(m_db, m_alias.bfileDirectory);
    m_triggers = std::make_unique<Triggers>(*this);
    try {
        ensureStoredCodeTables(*this);
        ensurePlanTable(*this);
        m_otherSchemas = attachSchemas(m_db, alias, m_user);
        if (m_otherSchemas > 0)
            installSchemaViews(m_db, m_user);
    } catch (...) {
        sqlite3_close_v2(m_db);
        throw;
    }
    installDictionary(m_db, m_user);
    m_context.synonymTarget = [this](const std::string &name) {
        return synonymTarget(m_db, m_user, name);
    };
    m_context.viewTarget
        = [this](const std::string &name) { return viewTarget(m_db, m_user, name); };
    m_context.columnType = [this](const std::string &table, const std::string &column,
                               sql::ColumnDescription &d) {
        return columnDescription(m_db, table, column, d);
    };
    // A failed lookup (the schema busy past lock_wait_ms, a break, a type naming a missing
    // one) is the statement's error: taking it for "no such type" would report ORA-00902.
    m_context.isObjectType
        = [this](const std::string &name) { return findObjectType(*this, name) != nullptr; };
    m_context.objectTypeName
        = [this](const std::string &name) { return objectTypeQualifiedName(*this, name); };
    m_context.objectTableType
        = [this](const std::string &table) { return objectTableType(*this, table); };
    m_context.objectTableColumns
        = [this](const std::string &type) { return objectTableColumns(*this, type); };
    m_context.collectionRows
        = [this](const std::string &subquery) { return collectionRowsFunction(*this, subquery); };
    registerObjectTableFunctions(*this);
}

Session::~Session()
{
    m_plsql.reset();
    // Ending a session without commit rolls back, as the server does.
    if (m_transaction)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_transaction = false;
    transactionEnded();
    RowLocks::instance().releaseAll(this);
    for (Statement *cursor : m_cursors)
        cursor->sessionEnded();
    // Statements of clients may outlive the session: the connection then lingers until they are
    // finalized and must no longer call back into this object.
    sqlite3_busy_handler(m_db, nullptr, nullptr);
    sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    sqlite3_close_v2(m_db);
}

PlsqlSessionHost &Session::plsql()
{
    if (!m_plsql)
        m_plsql = std::make_unique<PlsqlSessionHost>(*this);
    return *m_plsql;
}

Session::Call::Call(Session &session, bool roundTrip)
    : m_session(session)
{
    std::lock_guard lock(session.m_callMutex);
    session.m_inCall = true;
    session.m_break = false;
    if (roundTrip)
        ++session.m_roundTrips;
}

Session::Call::~Call()
{
    std::lock_guard lock(m_session.m_callMutex);
    m_session.m_inCall = false;
    m_session.m_break = false;
}

bool Session::requestBreak()
{
    {
        std::lock_guard lock(m_callMutex);
        if (!m_inCall)
            return false;
        m_break = true;
    }
    m_wake.notify_all();
    RowLocks::instance().wake();
    return true;
}

void Session::pause(int ms)
{
    std::unique_lock lock(m_callMutex);
    const auto stop = [this] { return m_break.load(); };
    if (ms < 0)
        m_wake.wait(lock, stop);
    else
        m_wake.wait_for(lock, std::chrono::milliseconds(ms), stop);
    if (m_break)
        throw oraFail(1013);
}

int Session::busyHandler(void *self, int count)
{
    auto *s = static_cast<Session *>(self);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0)
        s->m_busySince = now;
    if (s->broken() || now - s->m_busySince >= std::chrono::milliseconds(s->m_alias.lockWaitMs))
        return 0;
    std::unique_lock lock(s->m_callMutex);
    s->m_wake.wait_for(lock, std::chrono::milliseconds(5), [s] { return s->m_break.load(); });
    return s->m_break ? 0 : 1;
}

int Session::progressHandler(void *self)
{
    return static_cast<Session *>(self)->broken() ? 1 : 0;
}

sql::OraError Session::sqliteError(int rc) const
{
    return fromSqlite(m_db, rc, m_user, broken());
}

void Session::exec(const char *sql)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw sqliteError(rc);
}

void Session::checkConnection()
{
    if (m_closed)
        throw oraFail(3114);
    if (m_lost) {
        // The server rolls back what a lost connection left open.
        m_closed = true;
        if (m_transaction)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_transaction = false;
        transactionEnded();
        m_savepoints.clear();
        RowLocks::instance().releaseAll(this);
        throw oraFail(3113);
    }
}

void Session::write(const char *sql)
{
    int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if ((rc == SQLITE_BUSY_SNAPSHOT || (rc & 0xff) == SQLITE_LOCKED) && !m_cursors.empty()) {
        // An open cursor holds a snapshot older than another session's last commit, or reads
        // a table the statement changes: its remaining rows move to memory and the write runs.
        for (Statement *cursor : std::set<Statement *>(m_cursors))
            cursor->spill();
        rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK)
        throw sqliteError(rc);
}

void Session::beginChange()
{
    if (m_transaction)
        return;
    if (m_otherSchemas == 0) {
        write("BEGIN IMMEDIATE");
    } else {
        // BEGIN IMMEDIATE would take every attached schema for writing and so keep other
        // users' sessions from changing their own schemas: take the own schema's write lock
        // with a change that changes nothing; other schemas are taken when written.
        const char *begin = "BEGIN; UPDATE main.QDSI_UNITS SET VERSION = VERSION WHERE 0";
        auto attempt = [this, begin] {
            const int rc = sqlite3_exec(m_db, begin, nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK && !sqlite3_get_autocommit(m_db))
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            return rc;
        };
        int rc = attempt();
        if ((rc == SQLITE_BUSY_SNAPSHOT || (rc & 0xff) == SQLITE_LOCKED) && !m_cursors.empty()) {
            for (Statement *cursor : std::set<Statement *>(m_cursors))
                cursor->spill();
            rc = attempt();
        }
        if (rc != SQLITE_OK)
            throw sqliteError(rc);
    }
    m_transaction = true;
}

namespace {

std::atomic<uint64_t> catalogueVersions { 1 };

} // namespace

uint64_t Session::catalogueVersion()
{
    return catalogueVersions.load(std::memory_order_acquire);
}

void Session::catalogueChanged()
{
    m_catalogueChanged = true;
    catalogueVersions.fetch_add(1, std::memory_order_acq_rel);
}

void Session::transactionEnded()
{
    if (m_catalogueChanged)
        catalogueVersions.fetch_add(1, std::memory_order_acq_rel);
    m_catalogueChanged = m_transaction;
}

void Session::commit()
{
    if (m_transaction)
        exec("COMMIT");
    m_transaction = false;
    m_savepoints.clear();
    RowLocks::instance().releaseAll(this);
    transactionEnded();
}

void Session::rollback()
{
    if (m_transaction)
        exec("ROLLBACK");
    m_transaction = false;
    m_savepoints.clear();
    RowLocks::instance().releaseAll(this);
    transactionEnded();
}

namespace {

std::string quoted(const std::string &name)
{
    std::string q = "\"";
    for (char c : name)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

} // namespace

void Session::savepoint(const std::string &name)
{
    if (m_transaction)
        exec(("SAVEPOINT " + quoted(name)).c_str());
    m_savepoints.push_back({ name, m_transaction, RowLocks::instance().mark(this) });
}

void Session::rollbackToSavepoint(const std::string &name)
{
    size_t i = m_savepoints.size();
    while (i > 0 && m_savepoints[i - 1].name != name)
        --i;
    if (i == 0)
        throw oraFail(1086, name);
    const Savepoint point = m_savepoints[i - 1];
    m_savepoints.resize(i); // later savepoints end; this one stays
    if (point.inSqlite) {
        exec(("ROLLBACK TO " + quoted(name)).c_str());
    } else if (m_transaction) {
        // Taken before the first change: everything SQLite holds for the transaction goes.
        exec("ROLLBACK");
        m_transaction = false;
    }
    RowLocks::instance().releaseAfter(this, point.lockMark);
    transactionEnded();
}

void Session::releaseSavepoint(const std::string &name)
{
    size_t i = m_savepoints.size();
    while (i > 0 && m_savepoints[i - 1].name != name)
        --i;
    if (i == 0)
        return;
    if (m_savepoints[i - 1].inSqlite && m_transaction)
        exec(("RELEASE " + quoted(name)).c_str());
    m_savepoints.resize(i - 1);
}

std::string Session::lockFile(const std::string &database) const
{
    // Locks belong to the schema's file, so that every user's session meets them.
    std::string owner = database;
    for (char &c : owner)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (database.empty() || owner == "MAIN" || database == m_user)
        return m_path;
    std::string attached = schemaDatabase(m_db, m_user, database);
    if (attached.empty())
        attached = schemaDatabase(m_db, m_user, owner);
    return attached.empty() || attached == "main" ? m_path : schemaPath(m_alias, attached);
}

void Session::lockRow(
    const std::string &table, int64_t rowid, int waitMs, const std::string &database)
{
    RowLocks::instance().acquire(
        { lockFile(database), table, rowid }, this, waitMs, [this] { return broken(); });
}

int64_t Session::tableNumber(const std::string &table)
{
    const auto known = m_tableNumbers.find(table);
    if (known != m_tableNumbers.end())
        return known->second;
    sqlite3_stmt *st = nullptr;
    int64_t number = 0;
    if (sqlite3_prepare_v2(m_db,
            "SELECT rootpage FROM sqlite_master WHERE name = ?1 COLLATE NOCASE", -1, &st, nullptr)
        == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW)
            number = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
    if (number > 0)
        m_tableNumbers[table] = number;
    return number;
}

void Session::createSequence(const sql::SequenceDefinition &d)
{
    beginChange();
    exec("CREATE TABLE IF NOT EXISTS QDSI_SEQUENCES (NAME TEXT PRIMARY KEY, LAST_NUMBER INTEGER, "
         "INCREMENT_BY INTEGER, STARTED INTEGER)");
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(m_db, "INSERT INTO QDSI_SEQUENCES VALUES (?1, ?2, ?3, 0)", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, d.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, d.start);
    sqlite3_bind_int64(st, 3, d.increment == 0 ? 1 : d.increment);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if ((rc & 0xff) == SQLITE_CONSTRAINT)
        throw oraFail(955);
    if (rc != SQLITE_DONE)
        throw sqliteError(rc);
}

void Session::dropSequence(const std::string &name)
{
    beginChange();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(m_db, "DELETE FROM QDSI_SEQUENCES WHERE NAME = ?1", -1, &st, nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(st);
        throw oraFail(2289);
    }
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw sqliteError(rc);
    if (sqlite3_changes(m_db) == 0)
        throw oraFail(2289);
    m_currval.erase(name);
}

int64_t Session::nextval(const std::string &name)
{
    beginChange();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(m_db,
            "UPDATE QDSI_SEQUENCES SET LAST_NUMBER = CASE WHEN STARTED THEN "
            "LAST_NUMBER + INCREMENT_BY ELSE LAST_NUMBER END, STARTED = 1 "
            "WHERE NAME = ?1 RETURNING LAST_NUMBER",
            -1, &st, nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(st);
        throw oraFail(2289);
    }
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
        sqlite3_finalize(st);
        throw rc == SQLITE_DONE ? oraFail(2289) : sqliteError(rc);
    }
    const int64_t value = sqlite3_column_int64(st, 0);
    rc = sqlite3_step(st);
    sqlite3_finalize(st);
    m_currval[name] = value;
    return value;
}

int64_t Session::currval(const std::string &name)
{
    const auto it = m_currval.find(name);
    if (it == m_currval.end())
        throw oraFail(8002, name);
    return it->second;
}

void Session::traceStatement(const std::string &text)
{
    std::lock_guard lock(m_traceMutex);
    m_trace.push_back(text);
}

std::vector<std::string> Session::trace() const
{
    std::lock_guard lock(m_traceMutex);
    return m_trace;
}

void Session::clearTrace()
{
    std::lock_guard lock(m_traceMutex);
    m_trace.clear();
}

} // namespace qdsi::engine
