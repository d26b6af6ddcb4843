// The server's wording of the errors the stand-in raises.
#include "sql/Dialect.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qdsi::sql {

namespace {

struct Wording {
    int code;
    const char *text; // "%s" marks where the detail goes
};

constexpr Wording kWordings[] = {
    { 1, "unique constraint (%s) violated" },
    { 54, "resource busy and acquire with NOWAIT specified or timeout expired" },
    { 900, "invalid SQL statement" },
    { 901, "invalid CREATE command" },
    { 902, "invalid datatype" },
    { 922, "missing or invalid option" },
    { 925, "missing INTO keyword" },
    { 927, "missing equal sign" },
    { 969, "missing ON keyword" },
    { 926, "missing VALUES keyword" },
    { 928, "missing SELECT keyword" },
    { 950, "invalid DROP option" },
    { 971, "missing SET keyword" },
    { 940, "invalid ALTER command" },
    { 4002, "INCREMENT must be a non-zero integer" },
    { 903, "invalid table name" },
    { 904, "%s: invalid identifier" },
    { 905, "missing keyword" },
    { 906, "missing left parenthesis" },
    { 907, "missing right parenthesis" },
    { 909, "invalid number of arguments" },
    { 911, "invalid character" },
    { 917, "missing comma" },
    { 918, "column ambiguously defined" },
    { 921, "unexpected end of SQL command" },
    { 923, "FROM keyword not found where expected" },
    { 933, "SQL command not properly ended" },
    { 936, "missing expression" },
    { 942, "table or view does not exist" },
    { 972, "identifier is too long" },
    { 932, "inconsistent datatypes: expected %s" },
    { 975, "date + date not allowed" },
    { 1410, "invalid ROWID" },
    { 1428, "argument '%s' is out of range" },
    { 2003, "invalid USERENV parameter" },
    { 1013, "user requested cancel of current operation" },
    { 24344, "success with compilation error" },
    { 1031, "insufficient privileges" },
    { 1400, "cannot insert NULL into (%s)" },
    { 1407, "cannot update (%s) to NULL" },
    { 1417, "a table may be outer joined to at most one other table" },
    { 1436, "CONNECT BY loop in user data" },
    { 1468, "a predicate may reference only one outer-joined table" },
    { 1788, "CONNECT BY clause required in this query block" },
    { 25156, "old style outer join (+) cannot be used with ANSI joins" },
    { 1403, "no data found" },
    { 1476, "divisor is equal to zero" },
    { 1481, "invalid number format model" },
    { 1722, "invalid number" },
    { 1732, "data manipulation operation not legal on this view" },
    { 1740, "missing double quote in identifier" },
    { 1756, "quoted string not properly terminated" },
    { 1821, "date format not recognized" },
    { 1830, "date format picture ends before converting entire input string" },
    { 1839, "date not valid for month specified" },
    { 1840, "input value not long enough for date format" },
    { 1841, "(full) year must be between -4713 and +9999, and not be 0" },
    { 1843, "not a valid month" },
    { 1846, "not a valid day of the week" },
    { 1847, "day of month must be between 1 and last day of month" },
    { 1849, "hour must be between 1 and 12" },
    { 1850, "hour must be between 0 and 23" },
    { 1851, "minutes must be between 0 and 59" },
    { 1852, "seconds must be between 0 and 59" },
    { 1855, "AM/A.M. or PM/P.M. required" },
    { 1858, "a non-numeric character was found where a numeric was expected" },
    { 1861, "literal does not match format string" },
    { 2287, "sequence number not allowed here" },
    { 2289, "sequence does not exist" },
    { 3001, "unimplemented feature" },
    { 8002, "sequence %s.CURRVAL is not yet defined in this session" },
    { 1002, "fetch out of sequence" },
    { 1007, "variable not in select list" },
    { 1008, "not all variables bound" },
    { 1036, "illegal variable name/number" },
    { 1086, "savepoint '%s' never established in this session or is invalid" },
    { 2049, "timeout: distributed transaction waiting for lock" },
    { 2095, "specified initialization parameter cannot be modified" },
    { 1418, "specified index does not exist" },
    { 955, "name is already used by an existing object" },
    { 2290, "check constraint (%s) violated" },
    { 2291, "integrity constraint (%s) violated - parent key not found" },
    { 60, "deadlock detected while waiting for resource" },
    { 600, "internal error code, arguments: [%s]" },
    { 988, "missing or invalid password(s)" },
    { 1012, "not logged on" },
    { 1017, "invalid username/password; logon denied" },
    { 1405, "fetched column value is NULL" },
    { 1406, "fetched column value was truncated" },
    { 1455, "converting column overflows integer datatype" },
    { 2292, "integrity constraint (%s) violated - child record found" },
    { 2260, "table can have only one primary key" },
    { 2264, "name already used by an existing constraint" },
    { 2273, "this unique/primary key is referenced by some foreign keys" },
    { 2293, "cannot validate (%s) - check constraint violated" },
    { 2297, "cannot disable constraint (%s) - dependencies exist" },
    { 2298, "cannot validate (%s) - parent keys not found" },
    { 2299, "cannot validate (%s) - duplicate keys found" },
    { 2431, "cannot disable constraint (%s) - no such constraint" },
    { 2437, "cannot validate (%s) - primary key violated" },
    { 2441, "Cannot drop nonexistent primary key" },
    { 2443, "Cannot drop constraint  - nonexistent constraint" },
    { 3113, "end-of-file on communication channel" },
    { 3114, "not connected to ORACLE" },
    { 12154, "TNS:could not resolve the connect identifier specified" },
    { 24333, "zero iteration count" },
    { 24315, "illegal attribute type" },
    { 24334, "no descriptor for this position" },
    { 24338, "statement handle not executed" },
    { 28000, "the account is locked" },
    { 28001, "the password has expired" },
    { 28002, "the password will expire within 7 days" },
    { 28011, "the account will expire soon; change your password now" },
    { 1001, "invalid cursor" },
    { 1010, "invalid OCI operation" },
    { 1857, "not a valid time zone" },
    { 1877, "string is too long for internal buffer" },
    { 1880, "the fractional seconds must be between 0 and 999999999" },
    { 22275, "invalid LOB locator specified" },
    { 22285, "non-existent directory or file for %s operation" },
    { 22286, "insufficient privileges on file or directory to perform %s operation" },
    { 22288, "file or LOB operation %s failed" },
    { 22289, "cannot perform %s operation on an unopened file or LOB" },
    { 22920, "row containing the LOB value is not locked" },
    { 22926, "specified trim length is greater than current LOB value's length" },
    { 24343, "user defined callback error" },
    { 24344, "success with compilation error" },
    { 24801, "illegal parameter value in OCI lob function" },
    { 1465, "invalid hex number" },
    { 12899, "%s" },
    { 21700, "object does not exist or is marked for delete" },
    { 22889, "REF value does not point to scoped table" },
    { 30625, "method dispatch on NULL SELF argument is disallowed" },
    { 22165, "given index [%s] must be in the range of [1] to [limit]" },
    { 22303, "type \"%s\" not found" },
    { 21560, "argument %s is null, invalid, or out of range" },
    { 22905, "cannot access rows from a non-nested table item" },
    { 22906, "cannot perform DML on expression or on nested table view column" },
    { 22908, "reference to NULL table value" },
    { 1427, "single-row subquery returns more than one row" },
    { 913, "too many values" },
};

} // namespace

std::string_view oraWording(int code)
{
    for (const auto &w : kWordings)
        if (w.code == code)
            return w.text;
    return {};
}

OraError oraError(int code, std::string_view detail, int offset)
{
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", code);
    std::string message;
    const Wording *wording = nullptr;
    for (const auto &w : kWordings)
        if (w.code == code)
            wording = &w;
    if (wording) {
        const std::string_view text = wording->text;
        const size_t mark = text.find("%s");
        if (mark != std::string_view::npos) {
            message = std::string(text.substr(0, mark)) + std::string(detail)
                + std::string(text.substr(mark + 2));
        } else {
            message = detail.empty() ? std::string(text) : std::string(detail);
        }
    } else {
        message = detail.empty() ? "Message " + std::to_string(code) + " not found" : std::string(detail);
    }
    return OraError(code, head + message, offset);
}

OraError oraErrorFromMessage(std::string_view message)
{
    // "ORA-01722: invalid number" as a function set it; SQLite may prefix nothing else.
    if (message.size() < 11 || message.substr(0, 4) != "ORA-" || message[9] != ':')
        return OraError(0, std::string(message));
    int code = 0;
    for (size_t i = 4; i < 9; ++i) {
        if (message[i] < '0' || message[i] > '9')
            return OraError(0, std::string(message));
        code = code * 10 + (message[i] - '0');
    }
    return OraError(code, std::string(message));
}

OraError oraErrorFromSqlite(sqlite3 *db, std::string_view owner)
{
    const std::string message = sqlite3_errmsg(db);
    OraError ora = oraErrorFromMessage(message);
    if (ora.code)
        return ora;
    auto after = [&](std::string_view prefix) -> std::string {
        const size_t at = message.find(prefix);
        return at == std::string::npos ? std::string() : message.substr(at + prefix.size());
    };
    const std::string schema(owner);
    if (message.rfind("no such table: ", 0) == 0 || message.rfind("no such view: ", 0) == 0)
        return oraError(942);
    if (message.rfind("no such column: ", 0) == 0) {
        std::string name = after("no such column: ");
        std::string quoted;
        size_t start = 0;
        for (size_t dot; (dot = name.find('.', start)) != std::string::npos; start = dot + 1)
            quoted += "\"" + name.substr(start, dot - start) + "\".";
        return oraError(904, quoted + "\"" + name.substr(start) + "\"");
    }
    if (message.rfind("no such function: ", 0) == 0)
        return oraError(904, "\"" + after("no such function: ") + "\"");
    if (message.rfind("ambiguous column name", 0) == 0)
        return oraError(918);
    if (message.find("already exists") != std::string::npos)
        return oraError(955);
    // What the translation passed on and SQLite could not parse.
    if (message.find("incomplete input") != std::string::npos)
        return oraError(921);
    if (message.find("syntax error") != std::string::npos)
        return oraError(933);
    const int extended = sqlite3_extended_errcode(db);
    // "UNIQUE constraint failed: T.A, T.B" and "NOT NULL constraint failed: T.A"
    auto failedColumns = [&](std::string &table) {
        std::vector<std::string> cols;
        std::string list = after("constraint failed: ");
        size_t start = 0;
        while (start < list.size()) {
            size_t comma = list.find(", ", start);
            const std::string item = list.substr(
                start, comma == std::string::npos ? std::string::npos : comma - start);
            const size_t dot = item.find('.');
            table = item.substr(0, dot);
            cols.push_back(dot == std::string::npos ? item : item.substr(dot + 1));
            if (comma == std::string::npos)
                break;
            start = comma + 2;
        }
        return cols;
    };
    if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY) {
        std::string table;
        const std::vector<std::string> cols = failedColumns(table);
        std::string name;
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db,
                "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1", -1, &s, nullptr)
            == SQLITE_OK) {
            sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0)) {
                const std::string sql = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
                for (const ConstraintInfo &c : tableConstraints(sql))
                    if ((c.kind == "PRIMARY KEY" || c.kind == "UNIQUE") && c.columns == cols
                        && !c.name.empty())
                        name = c.name;
            }
        }
        sqlite3_finalize(s);
        if (name.empty())
            name = "SYS_C_" + table; // an unnamed key: the server would show its generated name
        return oraError(1, schema + "." + name);
    }
    if (extended == SQLITE_CONSTRAINT_NOTNULL) {
        std::string table;
        const std::vector<std::string> cols = failedColumns(table);
        return oraError(
            1400, "\"" + schema + "\".\"" + table + "\".\"" + (cols.empty() ? "" : cols[0]) + "\"");
    }
    if (extended == SQLITE_CONSTRAINT_FOREIGNKEY)
        return oraError(2291, schema + ".SYS_C_FK");
    if (extended == SQLITE_CONSTRAINT_CHECK) {
        // A named check reports its name; an unnamed one its expression, which names nothing.
        std::string name = after("CHECK constraint failed: ");
        for (char c : name)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#'))
                name.clear();
        return oraError(2290, schema + "." + (name.empty() ? "SYS_C_CHECK" : name));
    }
    return OraError(0, message);
}

} // namespace qdsi::sql
