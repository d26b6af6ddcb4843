#pragma once

// Stored triggers firing on the changes of a session. Statement triggers run around the change;
// row triggers run from temporary SQLite triggers of the connection that call back into the
// engine (QD_FIRE_ROW) with the row's old and new values. A BEFORE row trigger that changes
// :new has the row written again with the new values in place of the one SQLite was about to
// write (the SQLite trigger ignores that one). Trigger bodies run in the PL/SQL interpreter with
// :new and :old as binds; while a row trigger runs, its table is mutating (ORA-04091).

#include "plsql/Value.h"
#include "sql/Dialect.h"

#include <sqlite3.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qdsi::engine {

class Session;

class Triggers {
public:
    explicit Triggers(Session &session);
    ~Triggers();
    Triggers(const Triggers &) = delete;
    Triggers &operator=(const Triggers &) = delete;

    // Before a change of a table of the session's schema (name upper case): reads its enabled
    // triggers and makes the connection's SQLite triggers match them. `setColumns` are the
    // columns an UPDATE sets (for UPDATE OF). True when the table has enabled triggers.
    // Throws OraError (ORA-04098 for an invalid trigger).
    bool prepare(const std::string &table, sql::StatementKind kind,
        const std::vector<std::string> &setColumns);
    // Runs the statement triggers of the change: BEFORE ones, or AFTER ones.
    void fireStatementTriggers(const std::string &table, sql::StatementKind kind, bool before);
    // Rows of the table that BEFORE row triggers had written again since the last call, and
    // the row id of the last of them.
    int64_t takeRewritten(const std::string &table, int64_t &lastRowid);
    // Whether a row trigger of the table is running (its table may not be read or changed).
    bool isMutating(const std::string &table) const { return m_mutating.count(table) > 0; }

    // ALTER TRIGGER name ENABLE | DISABLE (the trigger must exist: ORA-04080).
    static void setEnabled(Session &session, const std::string &name, bool enabled);
    // DROP TABLE: the triggers of the table go with it.
    static void dropTableTriggers(Session &session, const std::string &table);
    // Whether a stored trigger of the session's schema is disabled.
    static bool isDisabled(sqlite3 *db, const std::string &database, const std::string &name);

    struct Trigger; // one stored trigger as it fires
    struct Row; // a row being changed: its values, what the triggers made of :new

private:
    static void fireRowFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv);
    static void newValueFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv);
    static void rewrittenFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv);

    void load();
    bool fireRow(const std::string &table, const std::string &kind, int argc, sqlite3_value **argv);
    void run(const Trigger &trigger, sql::StatementKind event, Row *row);
    void syncSqliteTriggers(const std::string &table);

    Session &m_session;
    std::string m_generation; // of the stored triggers m_triggers was read from
    std::vector<std::shared_ptr<Trigger>> m_triggers;
    std::map<std::string, std::string> m_installed; // table → SQLite trigger text installed
    std::map<std::string, std::vector<std::string>> m_setColumns; // of the running UPDATE
    std::set<std::string> m_mutating;
    std::vector<std::vector<plsql::Value>> m_newRows; // :new of rows to write again
    std::map<std::string, std::pair<int64_t, int64_t>> m_rewritten; // table → count, last rowid
};

} // namespace qdsi::engine
