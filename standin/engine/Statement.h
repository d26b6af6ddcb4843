#pragma once

// One statement of a client: its text, the dialect's translation, the prepared SQLite
// statement, and the execute and fetch steps with the counts the client reads back.

#include "engine/ClientBuffer.h"
#include "engine/Session.h"
#include "sql/Dialect.h"

#include <sqlite3.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qdsi::engine {

struct BoundValue {
    int sqliteIndex;
    ClientBuffer buffer;
};

// Result of a step that moves rows into the caller's buffers.
struct FetchResult {
    uint32_t rows = 0;
    bool exhausted = false; // fewer rows than asked for
    int warning = 0; // 1406 when a value was truncated; 24344 stored code with errors
};

class Statement {
public:
    Statement() = default;
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Takes the text and classifies it; errors in the text are raised by execute. Given the
    // session the statement will run in, the translation made here serves the executions
    // that follow for as long as the session's context stays as it was.
    void prepare(std::string text, Session *session = nullptr);
    // The same with the translation already made for the session at its current context.
    void prepare(std::string text, Session &session, sql::Translation translation);
    const std::string &text() const { return m_text; }
    int statementType() const { return m_classified.ociStatementType; }
    int sqlFunctionCode() const { return m_classified.sqlFunctionCode; }
    bool isSelect() const { return m_classified.kind == sql::StatementKind::Select; }

    // SQLite parameter number of a placeholder (name without ':', any case) or of the n-th
    // placeholder; 0 when the statement has no such placeholder.
    int placeholderIndex(const std::string &name) const;
    int placeholderIndex(uint32_t position) const;

    // Runs the statement: iterations and row offset as OCIStmtExecute takes them. For a select
    // with iterations > 0 the first rows go into the defines. Throws OraError; rowCount() tells
    // how many rows were processed before a failure.
    FetchResult execute(Session &session, const std::vector<BoundValue> &binds,
        const std::vector<std::optional<ClientBuffer>> &defines, uint32_t iterations,
        uint32_t rowOffset, bool describeOnly, bool commitOnSuccess);
    FetchResult fetch(
        Session &session, const std::vector<std::optional<ClientBuffer>> &defines, uint32_t rows);

    const std::vector<sql::ColumnDescription> &columns() const { return m_columns; }
    uint32_t rowCount() const { return m_rowCount; }
    uint32_t rowsFetched() const { return m_rowsFetched; }
    int parseErrorOffset() const { return m_parseErrorOffset; }
    int lastSqlFunctionCode() const { return m_lastFunctionCode; }
    // ROWID of the row the last INSERT made; empty when none.
    const std::string &lastRowid() const { return m_lastRowid; }

    // Drops the prepared SQLite statement (the session it belongs to is ending).
    void release();

    // Keeps the LONG and LONG RAW values of the last row fetched, so that the older interface
    // can read such a column in parts; nullptr for another column or a NULL.
    void keepLongValues(bool keep) { m_keepLongs = keep; }
    const std::string *lastLongValue(size_t column) const;

    // An open cursor reads the rest of its rows into memory and resets its SQLite statement.
    void spill();
    // The session of the open cursor has ended.
    void sessionEnded();

private:
    // The translation for a run in the session: the one kept when its key still holds, else
    // a new one (which is then kept).
    const sql::Translation &translationFor(Session &session);
    void keepTranslation(Session &session, sql::Translation translation);
    void keepTranslationFrom(sql::Translation translation);
    // What the kept translation was made for: the session, its date format and the catalogue
    // version (Session::catalogueVersion); session 0 when it was made without one.
    struct TranslationKey {
        int64_t session = 0;
        uint64_t catalogue = 0;
        std::string dateFormat;
        bool operator==(const TranslationKey &) const = default;
    };
    static TranslationKey translationKey(Session &session);
    FetchResult run(Session &session, const std::vector<BoundValue> &binds,
        const std::vector<std::optional<ClientBuffer>> &defines, uint32_t iterations,
        uint32_t rowOffset, bool describeOnly, bool commitOnSuccess);
    void prepareSqlite(Session &session, const std::string &sql);
    // A RETURNING target that is no input of the statement.
    bool isOutOnly(int sqliteIndex) const;
    void bindInputs(const std::vector<BoundValue> &binds, size_t row);
    void runSelect(Session &session, const sql::Translation &t,
        const std::vector<BoundValue> &binds, bool describeOnly);
    void lockSelectedRows(
        Session &session, const std::string &table, int waitMs, const std::string &database = {});
    void runDml(Session &session, const sql::Translation &t, const std::vector<BoundValue> &binds,
        uint32_t iterations, uint32_t rowOffset, bool describeOnly);
    // One iteration of a prepared INSERT, UPDATE or DELETE, RETURNING values included.
    void stepChange(Session &session, const sql::Translation &t,
        const std::vector<BoundValue> &binds, uint32_t row, const std::string &table);
    // A change through TABLE(subquery), run on the collection's elements
    // (StatementCollections.cpp).
    void runCollectionChange(Session &session, const sql::Translation &t,
        const std::vector<BoundValue> &binds, uint32_t iterations, uint32_t rowOffset,
        bool describeOnly);
    // `database`: the attached schema of the table (empty: the session's own).
    void waitForLockedRows(Session &session, const std::string &table, const std::string &dml,
        const std::vector<BoundValue> &binds, uint32_t row, const std::string &database = {});
    // `owner`: the table's schema when it is another user's (empty: the session's own).
    // `rerun` runs the failed change again (see brokenForeignKey).
    sql::OraError foreignKeyError(Session &session, sql::StatementKind kind,
        const std::string &table, const std::string &owner,
        const std::function<void()> &rerun) const;
    void finishCursor();
    void dropSpilledRows();
    void runDdl(Session &session, const sql::Translation &t, bool describeOnly);
    // COMMENT ON TABLE / COLUMN (an empty column names the table).
    static void storeComment(Session &session, const std::string &table,
        const std::string &column, const std::string &text);
    // Fails with the server's error when the object (SQLite text) cannot be read; `name` is
    // how the statement names it, for the error's offset.
    static void checkReadable(Session &session, const std::string &object, const std::string &name);
    // The tables the foreign keys of a table reference, as its definition names them.
    static std::vector<std::string> referencedTables(sqlite3 *db, const std::string &table);
    // LOB locators and LONG copies (StatementLobs.cpp).
    int storeSelectedLob(Session &session, size_t column, sqlite3_value *value,
        const ClientBuffer &buffer, size_t row, bool fromSqlite);
    int storeReturnedLob(Session &session, const std::string &table, int column,
        const ClientBuffer &buffer, size_t row);
    static bool returnsLob(const std::vector<BoundValue> &binds, const std::vector<int> &targets);
    void keepLongs(const std::vector<sqlite3_value *> *kept);

    std::string m_text;
    sql::Translation m_classified;
    bool m_plsql = false; // the translation is run by the PL/SQL interpreter
    TranslationKey m_translatedFor;

    sqlite3_stmt *m_stmt = nullptr;
    int64_t m_preparedSession = 0; // id of the session the SQLite statement belongs to
    std::string m_preparedSql;
    int m_hiddenColumns = 0; // the row id column added for FOR UPDATE
    std::vector<int> m_outTargets;
    std::vector<sql::ColumnDescription> m_columns;
    std::vector<ColumnStyle> m_styles;
    bool m_fetching = false;
    bool m_exhausted = true;
    Session *m_cursorSession = nullptr; // while rows are still to come
    bool m_spilled = false;
    std::vector<std::vector<sqlite3_value *>> m_spilledRows;
    size_t m_spillPosition = 0;
    std::optional<sql::OraError> m_spillError;

    uint32_t m_rowCount = 0;
    uint32_t m_rowsFetched = 0;
    int m_parseErrorOffset = 0;
    int m_lastFunctionCode = 0;
    std::string m_lastRowid;
    bool m_keepLongs = false;
    std::vector<std::optional<std::string>> m_lastLongs;
    int m_lobRowidColumn = -1; // RETURNING: the row id column added for LOB out-binds
};

} // namespace qdsi::engine
