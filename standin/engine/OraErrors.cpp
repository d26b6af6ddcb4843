#include "engine/OraErrors.h"

#include "engine/Catalogue.h"
#include "engine/ConstraintNames.h"
#include "engine/Schemas.h"

namespace qdsi::engine {

namespace {

// SQLite does not say which foreign key failed; the statement names it when it can.
const char *const unnamedConstraint = "SYS_C000000";

std::string afterColon(std::string_view message)
{
    const size_t colon = message.find(": ");
    return colon == std::string_view::npos ? std::string() : std::string(message.substr(colon + 2));
}

} // namespace

std::string oraText(int code, std::string_view argument)
{
    std::string text(sql::oraWording(code));
    if (text.empty())
        return "Message " + std::to_string(code) + " not found";
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

sql::OraError oraFail(int code, std::string_view argument, int offset)
{
    return sql::oraError(code, argument, offset);
}

sql::OraError fromSqlite(sqlite3 *db, int rc, const std::string &owner, bool cancelled)
{
    if (db && (rc & 0xff) == sqlite3_errcode(db))
        rc = sqlite3_extended_errcode(db);
    const int primary = rc & 0xff;
    const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (cancelled && (primary == SQLITE_INTERRUPT || primary == SQLITE_BUSY))
        return oraFail(1013);
    if (primary == SQLITE_INTERRUPT)
        return oraFail(1013);
    // A function of the dialect, an object constructor or a trigger set the server's error
    // itself.
    if (primary == SQLITE_ERROR || primary == SQLITE_CONSTRAINT) {
        sql::OraError ora = sql::oraErrorFromMessage(message);
        if (ora.code)
            return ora;
    }
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return oraFail(54);
    if (primary == SQLITE_CONSTRAINT) {
        const std::string detail = afterColon(message);
        if (rc == SQLITE_CONSTRAINT_NOTNULL) {
            // "T.C" becomes ("OWNER"."T"."C") as the server quotes it.
            const size_t dot = detail.find('.');
            const std::string table = detail.substr(0, dot);
            const std::string column = dot == std::string::npos ? "" : detail.substr(dot + 1);
            return oraFail(1400, "\"" + owner + "\".\"" + table + "\".\"" + column + "\"");
        }
        // The owner's schema: the session's own, or another user's attached under its name.
        std::string database = db ? schemaDatabase(db, {}, owner) : std::string();
        if (database.empty())
            database = "main";
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            return oraFail(1, owner + "." + uniqueConstraintName(db, detail, database));
        if (rc == SQLITE_CONSTRAINT_CHECK) {
            // A named check is reported by name; an unnamed one by its condition.
            for (const CatalogueConstraint &c : readCatalogue(db, database).constraints) {
                std::string text = c.checkText;
                const size_t b = text.find_first_not_of(' ');
                const size_t e = text.find_last_not_of(' ');
                text = b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
                if (c.type == 'C' && (c.name == detail || (c.generatedName && text == detail)))
                    return oraFail(2290, owner + "." + c.name);
            }
            return oraFail(2290, owner + "." + detail);
        }
        if (rc == SQLITE_CONSTRAINT_FOREIGNKEY)
            return oraFail(2291, owner + "." + unnamedConstraint);
        // Other constraints of SQLite's own (a trigger's RAISE without a server text).
        return oraFail(20000, afterColon(message));
    }
    if (message.find("syntax error") != std::string::npos
        || message.find("incomplete input") != std::string::npos) {
        // What the translation passed on and SQLite could not parse.
        const int offset = db ? sqlite3_error_offset(db) : -1;
        return oraFail(900, {}, offset > 0 ? offset : 0);
    }
    if (sql::OraError mapped = sql::oraErrorFromSqliteMessage(message); mapped.code)
        return mapped;
    switch (primary) {
    case SQLITE_MISMATCH:
        return oraFail(1722);
    case SQLITE_TOOBIG:
        return oraFail(1489);
    case SQLITE_NOMEM:
        return oraFail(4030, "0");
    case SQLITE_ERROR:
    case SQLITE_RANGE:
        // SQLite refused the statement for a reason the server has no word for: the statement
        // is what the user can change.
        return oraFail(900);
    default:
        // Faults of the stand-in itself: its files, its use of SQLite.
        return oraFail(600, message);
    }
}

} // namespace qdsi::engine
