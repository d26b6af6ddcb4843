#include "engine/Statement.h"

#include "engine/ConstraintChanges.h"
#include "engine/ConstraintNames.h"
#include "engine/ExplainPlan.h"
#include "engine/IdentityColumns.h"
#include "engine/Lobs.h"
#include "engine/ObjectTypes.h"
#include "engine/OraErrors.h"
#include "engine/PlsqlStatement.h"
#include "engine/RowLocks.h"
#include "engine/StatementText.h"
#include "engine/Triggers.h"
#include "sql/Lexer.h"

#include <algorithm>
#include <cctype>

namespace qdsi::engine {

using sql::StatementKind;

namespace {

bool blank(const char *tail)
{
    for (; tail && *tail; ++tail)
        if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';')
            return false;
    return true;
}

// The columns an UPDATE's SET clause names (`set a = 1, (b, c) = (select ...)`), upper case.
std::vector<std::string> updateSetColumns(const std::string &text)
{
    std::vector<std::string> columns;
    std::vector<sql::Token> tokens;
    try {
        tokens = sql::tokenize(text);
    } catch (const sql::OraError &) {
        return columns;
    }
    int depth = 0;
    bool inSet = false, itemStart = false, inList = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const sql::Token &t = tokens[i];
        if (t.is("(")) {
            if (inSet && itemStart && depth == 0)
                inList = true;
            ++depth;
            continue;
        }
        if (t.is(")")) {
            --depth;
            inList = false;
            itemStart = false;
            continue;
        }
        if (depth == 0 && t.is("SET")) {
            inSet = itemStart = true;
            continue;
        }
        if (!inSet)
            continue;
        if (depth == 0 && (t.is("WHERE") || t.is("RETURNING") || t.is("RETURN")))
            break;
        if (depth == 0 && t.is(",")) {
            itemStart = true;
            continue;
        }
        const bool named = t.isName() && i + 1 < tokens.size();
        if (named && inList && depth == 1 && (tokens[i + 1].is(",") || tokens[i + 1].is(")")))
            columns.push_back(t.upper);
        else if (named && depth == 0 && itemStart && tokens[i + 1].is("="))
            columns.push_back(t.upper), itemStart = false;
    }
    return columns;
}

} // namespace

namespace {

// The out-binds of "returning ... into :a, :b" are placeholders of the statement too (the
// client binds them by name or position), but the SQLite text no longer names them: give
// them indices past the statement's own so that they never collide with an input. A target
// that is also an input of the statement (`where rowid = :r returning rowid into :r`) is one
// IN OUT bind: it keeps the input's index, its value is read before the change and the
// returned value written back.
void adoptReturningInto(sql::Translation &t)
{
    int next = 0;
    for (const sql::Placeholder &p : t.placeholders)
        next = std::max(next, p.sqliteIndex);
    for (sql::Placeholder &p : t.returningInto) {
        const auto input = std::find_if(t.placeholders.begin(), t.placeholders.end(),
            [&](const sql::Placeholder &q) { return q.name == p.name; });
        if (input != t.placeholders.end()) {
            p.sqliteIndex = input->sqliteIndex;
            continue;
        }
        p.sqliteIndex = ++next;
        t.placeholders.push_back(p);
    }
}

// True when running the statement may change what translations read: every statement but
// queries, transaction control and changes of ordinary tables' rows (the side tables behind
// synonyms, types and stored code are written by DDL, or by changes naming them).
bool mayChangeCatalogue(const sql::Translation &t)
{
    switch (t.kind) {
    case StatementKind::Select:
    case StatementKind::Commit:
    case StatementKind::Rollback:
    case StatementKind::Savepoint:
    case StatementKind::RollbackToSavepoint:
    case StatementKind::AlterSession:
    case StatementKind::Explain:
        return false;
    case StatementKind::Insert:
    case StatementKind::Update:
    case StatementKind::Delete:
    case StatementKind::Merge:
        return t.tables.empty()
            || std::any_of(t.tables.begin(), t.tables.end(), [](const std::string &table) {
                   return sql::upperCase(table).rfind("QDSI_", 0) == 0;
               });
    default:
        return true;
    }
}

} // namespace

Statement::~Statement()
{
    release();
}

void Statement::release()
{
    finishCursor();
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_preparedSession = 0;
    m_preparedSql.clear();
    m_fetching = false;
}

void Statement::prepare(std::string text, Session *session)
{
    release();
    m_text = std::move(text);
    m_classified = {};
    m_plsql = false;
    m_translatedFor = {};
    m_columns.clear();
    m_rowCount = m_rowsFetched = 0;
    m_parseErrorOffset = 0;
    m_lastRowid.clear();
    if (session) {
        try {
            translationFor(*session);
            return;
        } catch (const sql::OraError &) {
            // The run translates again and reports the error then; until then the text is
            // classified as below.
        }
    }
    try {
        // Without a session the translation only classifies: the one a run needs reads the
        // session's objects and settings.
        keepTranslationFrom(sql::translate(m_text, sql::SessionContext {}));
    } catch (const sql::OraError &) {
    }
}

void Statement::prepare(std::string text, Session &session, sql::Translation translation)
{
    prepare(std::move(text));
    keepTranslation(session, std::move(translation));
}

void Statement::keepTranslationFrom(sql::Translation translation)
{
    adoptReturningInto(translation);
    m_plsql = adoptPlsqlClass(translation, m_text);
    m_classified = std::move(translation);
}

void Statement::keepTranslation(Session &session, sql::Translation translation)
{
    keepTranslationFrom(std::move(translation));
    m_translatedFor = translationKey(session);
}

const sql::Translation &Statement::translationFor(Session &session)
{
    const TranslationKey key = translationKey(session);
    if (!(m_translatedFor == key)) {
        m_translatedFor = {};
        keepTranslationFrom(sql::translate(m_text, session.context()));
        m_translatedFor = key;
    }
    return m_classified;
}

Statement::TranslationKey Statement::translationKey(Session &session)
{
    return { session.context().sessionId, Session::catalogueVersion(),
        session.context().dateFormat };
}

int Statement::placeholderIndex(const std::string &name) const
{
    std::string key = name;
    if (!key.empty() && key[0] == ':')
        key.erase(0, 1);
    const bool quoted = key.size() >= 2 && key.front() == '"' && key.back() == '"';
    key = quoted ? key.substr(1, key.size() - 2) : sql::upperCase(key);
    for (const sql::Placeholder &p : m_classified.placeholders)
        if (p.name == key)
            return p.sqliteIndex;
    return 0;
}

int Statement::placeholderIndex(uint32_t position) const
{
    if (position < 1 || position > m_classified.placeholders.size())
        return 0;
    return m_classified.placeholders[position - 1].sqliteIndex;
}

void Statement::prepareSqlite(Session &session, const std::string &sql)
{
    if (m_stmt && m_preparedSession == session.context().sessionId && m_preparedSql == sql) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        return;
    }
    release();
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(
        session.db(), sql.c_str(), static_cast<int>(sql.size()), &m_stmt, &tail);
    if (rc != SQLITE_OK) {
        sql::OraError e = session.sqliteError(rc);
        m_parseErrorOffset = e.offset;
        release();
        throw e;
    }
    if (!m_stmt || !blank(tail)) {
        release();
        throw oraFail(m_stmt ? 911 : 900);
    }
    m_preparedSession = session.context().sessionId;
    m_preparedSql = sql;
}

bool Statement::isOutOnly(int sqliteIndex) const
{
    // Targets that are also inputs keep an index the SQLite text uses.
    return std::find(m_outTargets.begin(), m_outTargets.end(), sqliteIndex) != m_outTargets.end()
        && sqliteIndex > sqlite3_bind_parameter_count(m_stmt);
}

void Statement::bindInputs(const std::vector<BoundValue> &binds, size_t row)
{
    for (const BoundValue &b : binds) {
        if (!isOutOnly(b.sqliteIndex))
            bindInput(m_stmt, b.sqliteIndex, b.buffer, row);
    }
}

FetchResult Statement::execute(Session &session, const std::vector<BoundValue> &binds,
    const std::vector<std::optional<ClientBuffer>> &defines, uint32_t iterations,
    uint32_t rowOffset, bool describeOnly, bool commitOnSuccess)
{
    try {
        return run(session, binds, defines, iterations, rowOffset, describeOnly, commitOnSuccess);
    } catch (sql::OraError &e) {
        // SQLite named the unknown table or column in the executed text; the client is shown
        // where its own text names it.
        if (!e.name.empty())
            e.offset = sql::nameOffset(m_text, e.name);
        if (e.offset > 0)
            m_parseErrorOffset = e.offset;
        throw;
    }
}

FetchResult Statement::run(Session &session, const std::vector<BoundValue> &binds,
    const std::vector<std::optional<ClientBuffer>> &defines, uint32_t iterations,
    uint32_t rowOffset, bool describeOnly, bool commitOnSuccess)
{
    session.checkConnection();
    m_rowCount = m_rowsFetched = 0;
    m_parseErrorOffset = 0;
    m_lastRowid.clear();
    finishCursor();
    m_fetching = false;
    m_outTargets.clear();
    if (!describeOnly)
        session.traceStatement(m_text);

    const sql::Translation *translated = nullptr;
    try {
        translated = &translationFor(session);
    } catch (const sql::OraError &e) {
        m_parseErrorOffset = e.offset;
        throw;
    }
    const sql::Translation &t = *translated;
    const bool plsql = m_plsql;
    // Translations kept by statements of every session hold until the objects they read may
    // have changed; a statement that may change them says so when it is done, failed or not.
    struct CatalogueTouch {
        Session *session;
        ~CatalogueTouch()
        {
            if (session)
                session->catalogueChanged();
        }
    } touch { !describeOnly && (plsql || mayChangeCatalogue(t)) ? &session : nullptr };
    m_lastFunctionCode = t.sqlFunctionCode;
    // Every placeholder must have a value before the server runs the statement; a describe
    // only parses.
    for (const sql::Placeholder &p :
        describeOnly ? std::vector<sql::Placeholder>() : t.placeholders) {
        const bool bound = std::any_of(binds.begin(), binds.end(),
            [&](const BoundValue &b) { return b.sqliteIndex == p.sqliteIndex; });
        if (!bound)
            throw oraFail(1008);
    }

    if (plsql) {
        FetchResult result;
        if (describeOnly)
            return result;
        result.warning = executePlsql(session, m_text, t, binds, iterations, rowOffset);
        if (commitOnSuccess)
            session.commit();
        return result;
    }

    switch (t.kind) {
    case StatementKind::Commit:
        if (!describeOnly)
            session.commit();
        return {};
    case StatementKind::Rollback:
        if (!describeOnly)
            session.rollback();
        return {};
    case StatementKind::Savepoint:
        if (!describeOnly)
            session.savepoint(t.objectName);
        return {};
    case StatementKind::RollbackToSavepoint:
        if (!describeOnly)
            session.rollbackToSavepoint(t.objectName);
        return {};
    case StatementKind::AlterSession:
        if (!describeOnly) {
            for (const sql::SessionSetting &setting : t.settings)
                if (setting.name == "NLS_DATE_FORMAT" && setting.literal)
                    session.context().dateFormat = setting.value;
        }
        return {};
    case StatementKind::Explain:
        if (!describeOnly)
            explainPlan(session, m_text);
        return {};
    case StatementKind::CreateSequence:
    case StatementKind::DropSequence:
        if (!describeOnly) {
            if (t.kind == StatementKind::DropSequence && isIdentitySequence(session.db(), t.objectName))
                throw oraFail(32794);
            session.commit();
            if (t.kind == StatementKind::CreateSequence)
                session.createSequence(t.sequence);
            else
                session.dropSequence(t.objectName);
            session.commit();
        }
        return {};
    case StatementKind::Select:
        runSelect(session, t, binds, describeOnly);
        if (describeOnly || iterations == 0)
            return {};
        return fetch(session, defines, iterations);
    case StatementKind::Insert:
    case StatementKind::Update:
    case StatementKind::Delete:
    case StatementKind::Merge:
        runDml(session, t, binds, iterations, rowOffset, describeOnly);
        break;
    case StatementKind::CreateTable:
    case StatementKind::CreateView:
    case StatementKind::CreateIndex:
    case StatementKind::Drop:
    case StatementKind::Alter:
    case StatementKind::Grant:
        runDdl(session, t, describeOnly);
        break;
    default:
        if (!t.commentTable.empty()) {
            if (!describeOnly)
                storeComment(session, t.commentTable, t.commentColumn, t.commentText);
            return {};
        }
        // PL/SQL, CALL and the rest run when the dialect gives them SQLite text.
        if (t.sqlite.empty())
            throw oraFail(3001);
        runDml(session, t, binds, iterations, rowOffset, describeOnly);
    }
    if (commitOnSuccess && !describeOnly)
        session.commit();
    return {};
}

void Statement::runSelect(Session &session, const sql::Translation &t,
    const std::vector<BoundValue> &binds, bool describeOnly)
{
    std::string sql = t.sqlite;
    const sql::ForUpdate &lock = t.forUpdate;
    const bool locking = lock.present && !lock.lockNothing;
    m_hiddenColumns = 0;
    if (locking) {
        if (lock.lockTable.empty())
            throw oraFail(900);
        sql.insert(lock.selectListStart, " \"" + lock.lockQualifier + "\".ROWID,");
        m_hiddenColumns = 1;
    }
    prepareSqlite(session, sql);
    bindInputs(binds, 0);
    std::vector<sql::ColumnDescription> all = sql::describe(m_stmt, t);
    m_columns.assign(all.begin() + std::min<size_t>(m_hiddenColumns, all.size()), all.end());
    describeObjectColumns(session, m_stmt, m_hiddenColumns, m_columns);
    m_styles.clear();
    for (const auto &c : m_columns)
        m_styles.push_back({ c.dataType, session.context().dateFormat });
    if (describeOnly)
        return;
    if (locking) {
        const int waitMs = lock.nowait ? 0 : lock.waitSeconds >= 0 ? lock.waitSeconds * 1000 : -1;
        lockSelectedRows(session, lock.lockTable, waitMs, lock.lockSchema);
    }
    m_fetching = true;
    m_exhausted = false;
    m_cursorSession = &session;
    session.openCursor(this);
}

void Statement::finishCursor()
{
    m_exhausted = true;
    if (m_stmt)
        sqlite3_reset(m_stmt);
    dropSpilledRows();
    if (m_cursorSession)
        m_cursorSession->closeCursor(this);
    m_cursorSession = nullptr;
}

void Statement::dropSpilledRows()
{
    for (auto &row : m_spilledRows)
        for (sqlite3_value *v : row)
            sqlite3_value_free(v);
    m_spilledRows.clear();
    m_spillPosition = 0;
    m_spilled = false;
    m_spillError.reset();
}

void Statement::spill()
{
    // Keeps the rows still to come in memory and lets go of SQLite's read snapshot, so that the
    // session can begin writing although others have committed since this cursor opened.
    if (m_spilled || m_exhausted || !m_stmt)
        return;
    const int columns = static_cast<int>(m_columns.size());
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
        std::vector<sqlite3_value *> row;
        row.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(sqlite3_value_dup(sqlite3_column_value(m_stmt, c + m_hiddenColumns)));
        m_spilledRows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        m_spillError = oraFail((rc & 0xff) == SQLITE_INTERRUPT ? 1013 : 600, sqlite3_errstr(rc));
    sqlite3_reset(m_stmt);
    m_spilled = true;
}

void Statement::sessionEnded()
{
    m_cursorSession = nullptr;
}

void Statement::lockSelectedRows(
    Session &session, const std::string &table, int waitMs, const std::string &database)
{
    std::vector<int64_t> rowids;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW)
        rowids.push_back(sqlite3_column_int64(m_stmt, 0));
    sqlite3_reset(m_stmt);
    if (rc != SQLITE_DONE)
        throw session.sqliteError(rc);
    const size_t mark = RowLocks::instance().mark(&session);
    try {
        for (int64_t rowid : rowids)
            session.lockRow(table, rowid, waitMs, database);
    } catch (...) {
        // A statement that fails keeps none of the locks it took.
        RowLocks::instance().releaseAfter(&session, mark);
        throw;
    }
}

FetchResult Statement::fetch(
    Session &session, const std::vector<std::optional<ClientBuffer>> &defines, uint32_t rows)
{
    FetchResult result;
    if (!m_fetching)
        throw oraFail(m_stmt ? 1002 : 24338);
    if (m_preparedSession != session.context().sessionId)
        throw oraFail(1002); // executed in a session that has ended
    session.checkConnection();
    m_rowsFetched = 0;
    if (m_exhausted) {
        result.exhausted = true;
        return result;
    }
    uint32_t r = 0;
    try {
        if (session.blockNextFetch.exchange(false))
            session.pause(-1);
        const size_t n = std::min(defines.size(), m_columns.size());
        for (; r < rows; ++r) {
            if (const int delay = session.rowDelayMs.load())
                session.pause(delay);
            const std::vector<sqlite3_value *> *kept = nullptr;
            if (m_spilled) {
                if (m_spillPosition == m_spilledRows.size()) {
                    finishCursor();
                    if (m_spillError)
                        throw *m_spillError;
                    break;
                }
                kept = &m_spilledRows[m_spillPosition++];
            } else {
                const int rc = sqlite3_step(m_stmt);
                if (rc == SQLITE_DONE) {
                    finishCursor();
                    break;
                }
                if (rc != SQLITE_ROW)
                    throw session.sqliteError(rc);
            }
            bool nullWithoutIndicator = false;
            for (size_t c = 0; c < n; ++c) {
                if (!defines[c])
                    continue;
                sqlite3_value *value = kept
                    ? (*kept)[c]
                    : sqlite3_column_value(m_stmt, static_cast<int>(c) + m_hiddenColumns);
                const int code = isLob(defines[c]->type)
                    ? storeSelectedLob(session, c, value, *defines[c], r, !kept)
                    : storeOutput(value, m_styles[c], *defines[c], r);
                if (uint16_t *rcode = defines[c]->codeAt(r))
                    *rcode = static_cast<uint16_t>(code);
                if (code == 1406)
                    result.warning = 1406;
                nullWithoutIndicator = nullWithoutIndicator || code == 1405;
            }
            if (m_keepLongs)
                keepLongs(kept);
            if (nullWithoutIndicator) {
                ++r;
                throw oraFail(1405);
            }
        }
    } catch (const sql::OraError &) {
        m_rowsFetched = r;
        m_rowCount += r;
        finishCursor();
        throw;
    }
    result.rows = r;
    result.exhausted = m_exhausted || result.rows < rows;
    m_rowsFetched = result.rows;
    m_rowCount += result.rows;
    return result;
}

void Statement::runDml(Session &session, const sql::Translation &t,
    const std::vector<BoundValue> &binds, uint32_t iterations, uint32_t rowOffset,
    bool describeOnly)
{
    if (t.collection.present) {
        runCollectionChange(session, t, binds, iterations, rowOffset, describeOnly);
        return;
    }
    std::string sql = t.sqlite;
    for (const sql::Placeholder &p : t.returningInto)
        m_outTargets.push_back(p.sqliteIndex);
    m_lobRowidColumn = -1;
    if (!m_outTargets.empty() && returnsLob(binds, m_outTargets)) {
        // LOB locators returned from the change must find their row again.
        m_lobRowidColumn = static_cast<int>(m_outTargets.size());
        sql += ", rowid";
    }
    const std::string table = t.tables.empty() ? dmlTable(sql) : t.tables.front();
    // The stored triggers of a table of the own schema; the connection's SQLite triggers are
    // made to match them before the statement is prepared.
    const bool triggerable = !describeOnly && iterations > 0 && t.targetOwner.empty()
        && !table.empty() && t.kind != StatementKind::Merge;
    const bool triggered = triggerable
        && session.triggers().prepare(sql::upperCase(table), t.kind,
            t.kind == StatementKind::Update ? updateSetColumns(m_text)
                                            : std::vector<std::string>());
    prepareSqlite(session, sql);
    m_hiddenColumns = 0;
    if (describeOnly)
        return;
    if (iterations == 0)
        throw oraFail(24333);
    session.beginChange();
    sqlite3 *db = session.db();
    const bool mayMeetLocks = t.kind == StatementKind::Update || t.kind == StatementKind::Delete;
    // What a trigger changed goes with the statement or row that failed, and nothing else.
    auto undoTo = [db](const char *savepoint) {
        sqlite3_exec(db, (std::string("ROLLBACK TO ") + savepoint + "; RELEASE " + savepoint).c_str(),
            nullptr, nullptr, nullptr);
    };
    Triggers &triggers = session.triggers();
    if (triggered) {
        session.write("SAVEPOINT QD_FIRING");
        try {
            triggers.fireStatementTriggers(sql::upperCase(table), t.kind, true);
        } catch (...) {
            undoTo("QD_FIRING");
            throw;
        }
    }
    int64_t rewrittenRowid = 0;
    for (uint32_t row = rowOffset; row < iterations; ++row) {
        if (mayMeetLocks
            && RowLocks::instance().othersHold(session.lockFile(t.targetOwner), table, &session))
            waitForLockedRows(session, table, sql, binds, row, t.targetOwner);
        if (!triggered) {
            stepChange(session, t, binds, row, table);
            continue;
        }
        session.write("SAVEPOINT QD_FIRING_ROW");
        try {
            stepChange(session, t, binds, row, table);
        } catch (...) {
            // Earlier iterations of an array change stay, as on the server.
            undoTo("QD_FIRING_ROW");
            if (row == rowOffset)
                undoTo("QD_FIRING");
            else
                session.write("RELEASE QD_FIRING");
            throw;
        }
        session.write("RELEASE QD_FIRING_ROW");
        int64_t last = 0;
        m_rowCount += static_cast<uint32_t>(triggers.takeRewritten(sql::upperCase(table), last));
        if (last)
            rewrittenRowid = last;
    }
    sqlite3_reset(m_stmt);
    if (triggered) {
        try {
            triggers.fireStatementTriggers(sql::upperCase(table), t.kind, false);
        } catch (...) {
            undoTo("QD_FIRING");
            throw;
        }
        session.write("RELEASE QD_FIRING");
    }
    if (t.kind == StatementKind::Insert) {
        if (!table.empty())
            m_lastRowid = session.context().rowidText(
                table, rewrittenRowid ? rewrittenRowid : sqlite3_last_insert_rowid(db));
    }
}

void Statement::stepChange(Session &session, const sql::Translation &t,
    const std::vector<BoundValue> &binds, uint32_t row, const std::string &table)
{
    sqlite3 *db = session.db();
    sqlite3_reset(m_stmt);
    bindInputs(binds, row);
    bool returned = false;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
        // RETURNING ... INTO: the row's values go to the OUT binds of this iteration.
        for (size_t k = 0; k < m_outTargets.size(); ++k) {
            const auto bind = std::find_if(binds.begin(), binds.end(),
                [&](const BoundValue &b) { return b.sqliteIndex == m_outTargets[k]; });
            if (bind != binds.end() && isLob(bind->buffer.type))
                storeReturnedLob(session, table, static_cast<int>(k), bind->buffer, row);
            else if (bind != binds.end() && static_cast<int>(k) < sqlite3_column_count(m_stmt))
                storeOutput(sqlite3_column_value(m_stmt, static_cast<int>(k)),
                    { 1, session.context().dateFormat }, bind->buffer, row);
        }
        returned = true;
    }
    if (rc != SQLITE_DONE) {
        // A violation names the changed table's owner and its constraint.
        sql::OraError e = t.targetOwner.empty()
            ? session.sqliteError(rc)
            : fromSqlite(db, rc, t.targetOwner, session.broken());
        sqlite3_reset(m_stmt);
        if (e.code != 2291)
            throw e;
        throw foreignKeyError(session, t.kind, table, t.targetOwner, [&] {
            sqlite3_reset(m_stmt);
            bindInputs(binds, row);
            while (sqlite3_step(m_stmt) == SQLITE_ROW) { }
            sqlite3_reset(m_stmt);
        });
    }
    if (!returned) {
        for (const BoundValue &b : binds)
            if (std::find(m_outTargets.begin(), m_outTargets.end(), b.sqliteIndex)
                != m_outTargets.end())
                if (int16_t *ind = b.buffer.indicatorAt(row))
                    *ind = -1;
    }
    m_rowCount += static_cast<uint32_t>(sqlite3_changes(db));
}

void Statement::waitForLockedRows(Session &session, const std::string &table,
    const std::string &dml, const std::vector<BoundValue> &binds, uint32_t row,
    const std::string &database)
{
    // The rows the change will touch: its WHERE clause over the table's row ids.
    const std::string where = whereClause(dml);
    const std::string probe = "SELECT rowid FROM "
        + (database.empty() ? std::string() : "\"" + database + "\".") + "\"" + table + "\" "
        + where;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(session.db(), probe.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return; // the statement itself will report what is wrong with it
    }
    for (const BoundValue &b : binds) {
        if (!isOutOnly(b.sqliteIndex) && b.sqliteIndex <= sqlite3_bind_parameter_count(st))
            bindInput(st, b.sqliteIndex, b.buffer, row);
    }
    std::vector<int64_t> rowids;
    while (sqlite3_step(st) == SQLITE_ROW)
        rowids.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    for (int64_t rowid : rowids)
        RowLocks::instance().waitUntilFree({ session.lockFile(database), table, rowid }, &session,
            [&session] { return session.broken(); });
}

sql::OraError Statement::foreignKeyError(Session &session, sql::StatementKind kind,
    const std::string &table, const std::string &owner, const std::function<void()> &rerun) const
{
    const std::string database = owner.empty() ? "main" : owner;
    const std::string schema = owner.empty() ? session.user() : owner;
    const BrokenForeignKey broken = brokenForeignKey(session.db(), rerun, database);
    if (!broken.name.empty()) {
        // A key of the changed table misses its parent row; a key of another table (or an
        // update of this table's own parent key) has lost its parent.
        const bool childSide
            = kind != StatementKind::Delete && broken.childTable == sql::upperCase(table);
        return oraFail(childSide ? 2291 : 2292, schema + "." + broken.name);
    }
    // A delete meets child rows of the table; an insert or update misses a parent row.
    const bool parentSide = kind == StatementKind::Delete;
    std::string name = parentSide ? foreignKeyName(session.db(), {}, table, database)
                                  : foreignKeyName(session.db(), table, {}, database);
    if (name.empty())
        name = "SYS_C000000";
    return oraFail(parentSide ? 2292 : 2291, schema + "." + name);
}

void Statement::runDdl(Session &session, const sql::Translation &t, bool describeOnly)
{
    if (!describeOnly && t.constraintChange.action != sql::Translation::ConstraintChange::None) {
        changeConstraint(session, t);
        return;
    }
    if (!t.triggerName.empty()) {
        if (!describeOnly && t.triggerEnable)
            Triggers::setEnabled(session, t.triggerName, t.triggerEnable > 0);
        return;
    }
    if (t.kind == StatementKind::Alter && t.sqlite.empty() && !t.identities.empty()) {
        if (!describeOnly)
            alterIdentity(session, t.objectName, t.identities.front());
        return;
    }
    if (describeOnly || t.sqlite.empty())
        return;
    // Data definition ends the transaction before and after it, as on the server. SQLite
    // takes a view over tables and columns that do not exist, and a foreign key to a table that
    // does not exist, failing only when they are used: what the server checks at once is
    // checked here, and a failure undoes the change (a view being replaced stays).
    session.commit();
    session.write("SAVEPOINT QD_DDL");
    try {
        if (t.kind == StatementKind::CreateView && t.orReplace) {
            // A table of that name stays, and the CREATE below meets it (ORA-00955).
            sqlite3_exec(session.db(), ("DROP VIEW IF EXISTS " + t.viewText).c_str(), nullptr,
                nullptr, nullptr);
        }
        session.write(t.sqlite.c_str());
        for (const std::string &trigger : t.referenceChecks)
            session.write(trigger.c_str());
        if (t.kind == StatementKind::CreateView && !t.forceView)
            checkReadable(session, t.viewText, {});
        if (t.kind == StatementKind::CreateTable)
            for (const std::string &parent : referencedTables(session.db(), t.objectName))
                checkReadable(session, sql::quoteName(parent), parent);
        const bool ownTable = t.sqlite.find('.') == std::string::npos
            || t.sqlite.find('.') > t.sqlite.find('(');
        if (t.kind == StatementKind::CreateTable && ownTable) {
            session.forgetTables();
            createIdentities(session, t.objectName, t.identities);
        }
        if (t.kind == StatementKind::Drop && t.sqlite.rfind("DROP TABLE", 0) == 0
            && t.sqlite.find('.') == std::string::npos && !t.objectName.empty())
            dropIdentities(session, t.objectName);
        session.write("RELEASE QD_DDL");
    } catch (...) {
        sqlite3_exec(session.db(), "ROLLBACK TO QD_DDL; RELEASE QD_DDL", nullptr, nullptr, nullptr);
        session.forgetTables();
        throw;
    }
    // A dropped table's triggers go with it (a table named with its owner is another schema's).
    if (t.kind == StatementKind::Drop && t.sqlite.rfind("DROP TABLE", 0) == 0
        && t.sqlite.find('.') == std::string::npos && !t.objectName.empty()) {
        Triggers::dropTableTriggers(session, t.objectName);
        session.commit();
    }
    session.forgetTables();
}

void Statement::checkReadable(Session &session, const std::string &object, const std::string &name)
{
    const std::string probe = "SELECT * FROM " + object + " WHERE 0";
    sqlite3_stmt *st = nullptr;
    const int rc = sqlite3_prepare_v2(session.db(), probe.c_str(), -1, &st, nullptr);
    sqlite3_finalize(st);
    if (rc == SQLITE_OK)
        return;
    sql::OraError e = session.sqliteError(rc);
    if (!name.empty() && e.code == 942)
        e.name = name; // located in the statement by the table it references
    throw e;
}

std::vector<std::string> Statement::referencedTables(sqlite3 *db, const std::string &table)
{
    std::vector<std::string> parents;
    sqlite3_stmt *st = nullptr;
    const std::string list = "PRAGMA foreign_key_list(" + sql::quoteName(table) + ")";
    if (sqlite3_prepare_v2(db, list.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            if (const auto *p = sqlite3_column_text(st, 2))
                parents.emplace_back(reinterpret_cast<const char *>(p));
    sqlite3_finalize(st);
    return parents;
}

void Statement::storeComment(Session &session, const std::string &table,
    const std::string &column, const std::string &text)
{
    // The comments of the schema's tables and columns live in a side table; an empty text
    // removes one. Like other data definition, it commits before and after.
    bool tableFound = false, columnFound = column.empty();
    sqlite3_stmt *st = nullptr;
    const std::string info = "PRAGMA main.table_info(" + sql::quoteName(table) + ")";
    if (sqlite3_prepare_v2(session.db(), info.c_str(), -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW) {
            tableFound = true;
            const auto *name = sqlite3_column_text(st, 1);
            if (name && sql::upperCase(reinterpret_cast<const char *>(name)) == column)
                columnFound = true;
        }
    sqlite3_finalize(st);
    if (!tableFound)
        throw oraFail(942);
    if (!columnFound)
        throw oraFail(904, "\"" + column + "\"");
    session.commit();
    session.write("CREATE TABLE IF NOT EXISTS main.QDSI_COMMENTS (TABLE_NAME TEXT, "
                  "COLUMN_NAME TEXT, COMMENTS TEXT, PRIMARY KEY (TABLE_NAME, COLUMN_NAME))");
    const std::string key = sql::quoteLiteral(table) + ", " + sql::quoteLiteral(column);
    session.write((text.empty()
            ? "DELETE FROM main.QDSI_COMMENTS WHERE (TABLE_NAME, COLUMN_NAME) = (" + key + ")"
            : "INSERT OR REPLACE INTO main.QDSI_COMMENTS VALUES (" + key + ", "
                + sql::quoteLiteral(text) + ")")
                      .c_str());
}

} // namespace qdsi::engine
