#include "engine/Schemas.h"

#include "engine/Database.h"
#include "engine/OraErrors.h"
#include "engine/StoredCode.h"

namespace qdsi::engine {

std::string quoteSqlName(const std::string &name)
{
    std::string q = "\"";
    for (char c : name)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

int attachSchemas(sqlite3 *db, const AliasEntry &alias, const std::string &user)
{
    int attached = 0;
    // SQLite attaches a bounded number of files to a connection (10 in the usual builds); the
    // users beyond it are not seen rather than failing the logon.
    const int limit = sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, -1);
    for (const auto &[name, entry] : alias.users) {
        (void)entry;
        if (attached >= limit)
            break;
        // SQLite reserves these database names for itself.
        if (name == user || name.empty() || name == "MAIN" || name == "TEMP")
            continue;
        // Opening it once makes the file and, on a demo alias, its sample schema, and gives it
        // the stored-code tables the dictionary reads.
        sqlite3 *other = openSchema(alias, name);
        createStoredCodeTables(other);
        sqlite3_close_v2(other);
        sqlite3_stmt *st = nullptr;
        int rc = sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS ?2", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            const std::string path = schemaPath(alias, name);
            sqlite3_bind_text(st, 1, path.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            rc = sqlite3_step(st);
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw oraFail(600, "cannot attach the schema " + name + ": " + sqlite3_errmsg(db));
        ++attached;
    }
    return attached;
}

int installSchemaViews(sqlite3 *db, const std::string &user)
{
    // The schema files' own ALL_SOURCE and ALL_ERRORS see their file only; these temporary
    // views, found first, show every schema's stored code.
    std::string source, errors;
    for (const SchemaRef &s : connectionSchemas(db, user)) {
        const std::string q = quoteSqlName(s.database);
        source += std::string(source.empty() ? "" : " UNION ALL ")
            + "SELECT OWNER, NAME, TYPE, LINE, TEXT FROM " + q + ".QDSI_SOURCE";
        errors += std::string(errors.empty() ? "" : " UNION ALL ")
            + "SELECT OWNER, NAME, TYPE, SEQUENCE, LINE, POSITION, TEXT, 'ERROR' AS ATTRIBUTE FROM "
            + q + ".QDSI_ERRORS";
    }
    const std::string sql = "CREATE TEMP VIEW ALL_SOURCE AS " + source
        + "; CREATE TEMP VIEW ALL_ERRORS AS " + errors + ";";
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

std::vector<SchemaRef> connectionSchemas(sqlite3 *db, const std::string &user)
{
    std::vector<SchemaRef> out { { "main", user } };
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(
            db, "SELECT name FROM pragma_database_list ORDER BY seq", -1, &st, nullptr)
        == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
            const std::string name = t ? t : "";
            if (name != "main" && name != "temp" && !name.empty())
                out.push_back({ name, name });
        }
    }
    sqlite3_finalize(st);
    return out;
}

std::string schemaDatabase(sqlite3 *db, const std::string &user, const std::string &owner)
{
    for (const SchemaRef &s : connectionSchemas(db, user))
        if (s.owner == owner)
            return s.database;
    return {};
}

} // namespace qdsi::engine
