#include "engine/OraErrors.h"

#include "engine/ConstraintNames.h"

#include <map>

namespace qdsi::engine {

namespace {

const std::map<int, std::string_view> &messages()
{
    static const std::map<int, std::string_view> table = {
        { 1, "unique constraint (%s) violated" },
        { 54, "resource busy and acquire with NOWAIT specified or timeout expired" },
        { 600, "internal error code, arguments: [%s]" },
        { 900, "invalid SQL statement" },
        { 904, "%s: invalid identifier" },
        { 911, "invalid character" },
        { 942, "table or view does not exist" },
        { 955, "name is already used by an existing object" },
        { 988, "missing or invalid password(s)" },
        { 1001, "invalid cursor" },
        { 1010, "invalid OCI operation" },
        { 1002, "fetch out of sequence" },
        { 1007, "variable not in select list" },
        { 1008, "not all variables bound" },
        { 1012, "not logged on" },
        { 1013, "user requested cancel of current operation" },
        { 1017, "invalid username/password; logon denied" },
        { 1036, "illegal variable name/number" },
        { 1086, "savepoint '%s' never established in this session or is invalid" },
        { 1400, "cannot insert NULL into (%s)" },
        { 1403, "no data found" },
        { 1405, "fetched column value is NULL" },
        { 1406, "fetched column value was truncated" },
        { 1455, "converting column overflows integer datatype" },
        { 1722, "invalid number" },
        { 1841, "(full) year must be between -4713 and +9999, and not be 0" },
        { 1843, "not a valid month" },
        { 1847, "day of month must be between 1 and last day of month" },
        { 1850, "hour must be between 0 and 23" },
        { 1851, "minutes must be between 0 and 59" },
        { 1852, "seconds must be between 0 and 59" },
        { 1857, "not a valid time zone" },
        { 1861, "literal does not match format string" },
        { 1877, "string is too long for internal buffer" },
        { 1880, "the fractional seconds must be between 0 and 999999999" },
        { 2289, "sequence does not exist" },
        { 2290, "check constraint (%s) violated" },
        { 2291, "integrity constraint (%s) violated - parent key not found" },
        { 2292, "integrity constraint (%s) violated - child record found" },
        { 3001, "unimplemented feature" },
        { 3113, "end-of-file on communication channel" },
        { 3114, "not connected to ORACLE" },
        { 8002, "sequence %s.CURRVAL is not yet defined in this session" },
        { 12154, "TNS:could not resolve the connect identifier specified" },
        { 22275, "invalid LOB locator specified" },
        { 22285, "non-existent directory or file for %s operation" },
        { 22286, "insufficient privileges on file or directory to perform %s operation" },
        { 22288, "file or LOB operation %s failed" },
        { 22289, "cannot perform %s operation on an unopened file or LOB" },
        { 22920, "row containing the LOB value is not locked" },
        { 22926, "specified trim length is greater than current LOB value's length" },
        { 24333, "zero iteration count" },
        { 24315, "illegal attribute type" },
        { 24334, "no descriptor for this position" },
        { 24338, "statement handle not executed" },
        { 24343, "user defined callback error" },
        { 24344, "success with compilation error" },
        { 24801, "illegal parameter value in OCI lob function" },
        { 28000, "the account is locked" },
        { 28001, "the password has expired" },
        { 28002, "the password will expire within 7 days" },
        { 28011, "the account will expire soon; change your password now" },
    };
    return table;
}

// SQLite does not say which foreign key failed; the statement names it when it can.
const char *const unnamedConstraint = "SYS_C000000";

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

std::string afterColon(std::string_view message)
{
    const size_t colon = message.find(": ");
    return colon == std::string_view::npos ? std::string() : std::string(message.substr(colon + 2));
}

} // namespace

std::string oraText(int code, std::string_view argument)
{
    const auto it = messages().find(code);
    if (it == messages().end())
        return "Message " + std::to_string(code) + " not found";
    std::string text(it->second);
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

sql::OraError oraFail(int code, std::string_view argument, int offset)
{
    return sql::oraError(code, oraText(code, argument), offset);
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
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            return oraFail(1, owner + "." + uniqueConstraintName(db, detail));
        if (rc == SQLITE_CONSTRAINT_CHECK)
            return oraFail(2290, owner + "." + detail);
        if (rc == SQLITE_CONSTRAINT_FOREIGNKEY)
            return oraFail(2291, owner + "." + unnamedConstraint);
        return oraFail(600, message);
    }
    if (startsWith(message, "no such table") || startsWith(message, "no such view"))
        return oraFail(942);
    if (startsWith(message, "no such column") || startsWith(message, "no such function"))
        return oraFail(904, "\"" + afterColon(message) + "\"");
    if (message.find("already exists") != std::string::npos)
        return oraFail(955);
    if (message.find("syntax error") != std::string::npos
        || message.find("incomplete input") != std::string::npos) {
        const int offset = db ? sqlite3_error_offset(db) : -1;
        return oraFail(900, {}, offset > 0 ? offset : 0);
    }
    if (primary == SQLITE_MISMATCH)
        return oraFail(1722);
    return oraFail(600, message);
}

} // namespace qdsi::engine
