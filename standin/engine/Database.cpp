#include "engine/Database.h"

#include "engine/DemoSchema.h"
#include "engine/OraErrors.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace qdsi::engine {

std::string schemaPath(const AliasEntry &alias, const std::string &user)
{
    std::string file;
    for (char c : user)
        file += (c == '/' || c == '\\' || c == '\0') ? '_' : c;
    return alias.directory + "/" + file + ".sqlite";
}

namespace {

int userVersion(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK
        && sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return version;
}

} // namespace

sqlite3 *openSchema(const AliasEntry &alias, const std::string &user)
{
    std::error_code ec;
    std::filesystem::create_directories(alias.directory, ec);
    if (ec)
        throw oraFail(600, "cannot create " + alias.directory + ": " + ec.message());
    const std::string path = schemaPath(alias, user);
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw oraFail(600, "cannot open " + path + ": " + message);
    }
    sqlite3_busy_timeout(db, alias.lockWaitMs);
    // A double-quoted name is always a name to the server: SQLite's fallback that reads an
    // unknown one as a string would let `where "NOSUCH" = 'NOSUCH'` match every row.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
    if (alias.demo && userVersion(db) == 0) {
        // One creator per process; the transaction keeps other processes out.
        static std::mutex creating;
        std::lock_guard lock(creating);
        if (userVersion(db) == 0) {
            const int created = createDemoSchema(db, user);
            if (created != SQLITE_OK && userVersion(db) == 0) {
                const std::string message = sqlite3_errmsg(db);
                sqlite3_close(db);
                throw oraFail(600, "cannot create the sample schema: " + message);
            }
        }
    }
    return db;
}

} // namespace qdsi::engine
