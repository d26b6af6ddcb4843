#include "engine/Lobs.h"

#include "engine/OraErrors.h"
#include "engine/Session.h"
#include "sql/Lexer.h"

#include <fstream>
#include <sstream>

namespace qdsi::engine {

namespace {

std::string valueText(sqlite3_value *v)
{
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return t ? std::string(t, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

} // namespace

void registerLobFunctions(sqlite3 *db, const std::string &)
{
    sqlite3_create_function(
        db, "BFILENAME", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
        [](sqlite3_context *c, int, sqlite3_value **a) {
            if (sqlite3_value_type(a[0]) == SQLITE_NULL
                || sqlite3_value_type(a[1]) == SQLITE_NULL) {
                sqlite3_result_null(c);
                return;
            }
            const std::string value = valueText(a[0]) + "/" + valueText(a[1]);
            sqlite3_result_text(c, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        },
        nullptr, nullptr);
}

void setBfileValue(LobRef &ref, const std::string &stored, const std::string &bfileRoot)
{
    const size_t slash = stored.find('/');
    ref.directory = stored.substr(0, slash);
    ref.fileName = slash == std::string::npos ? std::string() : stored.substr(slash + 1);
    ref.bfileRoot = bfileRoot;
}

std::string bfilePath(const LobRef &ref)
{
    // A directory object names one folder; a file name may not climb out of it.
    const auto unsafe = [](const std::string &part) {
        return part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos
            || part.find('\0') != std::string::npos;
    };
    if (unsafe(ref.directory) || unsafe(ref.fileName))
        throw oraFail(22285, "FILEOPEN");
    return ref.bfileRoot + "/" + ref.directory + "/" + ref.fileName;
}

std::string readBfile(const LobRef &ref)
{
    std::ifstream in(bfilePath(ref), std::ios::binary);
    if (!in)
        throw oraFail(22288, "FILEOPEN");
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string readLobRow(Session &session, const LobRef &ref)
{
    if (!ref.hasRow)
        return ref.snapshot;
    if (ref.database != session.databasePath())
        throw oraFail(22275);
    const std::string sql = "SELECT " + sql::quoteName(ref.column) + " FROM "
        + sql::quoteName(ref.table) + " WHERE rowid = ?1";
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(session.db(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        throw session.sqliteError(SQLITE_ERROR);
    }
    sqlite3_bind_int64(st, 1, ref.rowid);
    const int rc = sqlite3_step(st);
    std::string value;
    if (rc == SQLITE_ROW) {
        const void *p = sqlite3_column_blob(st, 0);
        value.assign(p ? static_cast<const char *>(p) : "",
            static_cast<size_t>(sqlite3_column_bytes(st, 0)));
    }
    sqlite3_finalize(st);
    if (rc == SQLITE_DONE)
        throw oraFail(22275); // the row is gone
    if (rc != SQLITE_ROW)
        throw session.sqliteError(rc);
    return value;
}

void writeLobRow(Session &session, const LobRef &ref, const std::string &value)
{
    if (ref.kind == BufferType::Bfile)
        throw oraFail(22286, "FILEWRITE");
    if (!ref.hasRow || !ref.writable)
        throw oraFail(22920);
    if (ref.database != session.databasePath())
        throw oraFail(22275);
    // A write changes the row: it joins the transaction and holds the row like an UPDATE.
    session.lockRow(ref.table, ref.rowid, session.alias().lockWaitMs);
    session.beginChange();
    const std::string sql = "UPDATE " + sql::quoteName(ref.table) + " SET "
        + sql::quoteName(ref.column) + " = ?1 WHERE rowid = ?2";
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(session.db(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        throw session.sqliteError(SQLITE_ERROR);
    }
    // An empty LOB stays a value (empty_clob()), not a NULL.
    if (ref.kind == BufferType::Clob)
        sqlite3_bind_text(st, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_blob(st, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, ref.rowid);
    const int rc = sqlite3_step(st);
    const int changed = sqlite3_changes(session.db());
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw session.sqliteError(rc);
    if (changed == 0)
        throw oraFail(22275);
}

} // namespace qdsi::engine
