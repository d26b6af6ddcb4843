// The server's wording of the errors the stand-in raises.
#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <algorithm>
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
    { 30674, "identity column cannot have a default value" },
    { 30002, "SYS_CONNECT_BY_PATH function is not allowed here" },
    { 30003, "illegal parameter in SYS_CONNECT_BY_PATH function" },
    { 30007, "CONNECT BY ROOT operator is not supported in the START WITH or in the CONNECT BY condition" },
    { 30929, "ORDER SIBLINGS BY clause not allowed here" },
    { 30669, "table can have only one identity column" },
    { 30673, "column to be modified is not an identity column" },
    { 30675, "identity column must be a numeric type" },
    { 32794, "cannot drop a system-generated sequence" },
    { 32795, "cannot insert into a generated always identity column" },
    { 32796, "cannot update a generated always identity column" },
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
    { 36, "maximum number of recursive SQL levels (%s) exceeded" },
    { 919, "invalid function" },
    { 920, "invalid relational operator" },
    { 934, "group function is not allowed here" },
    { 937, "not a single-group group function" },
    { 979, "not a GROUP BY expression" },
    { 924, "missing BY keyword" },
    { 1780, "string literal required" },
    { 4080, "trigger '%s' does not exist" },
    { 4088, "error during execution of trigger '%s'" },
    { 4091, "table %s is mutating, trigger/function may not see it" },
    { 4098, "trigger '%s' is invalid and failed re-validation" },
    { 939, "too many arguments for function" },
    { 947, "not enough values" },
    { 957, "duplicate column name" },
    { 1426, "numeric overflow" },
    { 1489, "result of string concatenation is too long" },
    { 1785, "ORDER BY item must be the number of a SELECT-list expression" },
    { 1789, "query block has incorrect number of result columns" },
    { 1792, "maximum number of columns in a table or view is 1000" },
    { 2270, "no matching unique or primary key for this column-list" },
    { 4030, "out of process memory when trying to allocate %s bytes" },
    { 30483, "window  functions are not allowed here" },
    { 32031, "illegal reference of a query name in WITH clause" },
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

namespace {

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// `"E"."ENAMEX"` for SQLite's `E.ENAMEX`: the server quotes each part of a name it names.
std::string quotedParts(std::string_view name)
{
    std::string quoted;
    size_t start = 0;
    for (size_t dot; (dot = name.find('.', start)) != std::string_view::npos; start = dot + 1)
        quoted += "\"" + std::string(name.substr(start, dot - start)) + "\".";
    return quoted + "\"" + std::string(name.substr(start)) + "\"";
}

// The number after `prefix` in a message ("table T has 2 columns but 3 values were supplied").
long numberAfter(std::string_view message, std::string_view prefix)
{
    const size_t at = message.find(prefix);
    if (at == std::string_view::npos)
        return -1;
    return std::strtol(std::string(message.substr(at + prefix.size())).c_str(), nullptr, 10);
}

std::string upperText(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

OraError oraErrorFromSqliteMessage(std::string_view message)
{
    auto after = [&](std::string_view prefix) {
        const size_t at = message.find(prefix);
        return at == std::string_view::npos ? std::string_view()
                                            : message.substr(at + prefix.size());
    };
    auto named = [](OraError e, std::string_view name) {
        e.name = std::string(name);
        return e;
    };
    if (startsWith(message, "no such table: ") || startsWith(message, "no such view: ")) {
        std::string_view name = after(": ");
        if (startsWith(name, "main."))
            name.remove_prefix(5);
        return named(oraError(942), name);
    }
    if (startsWith(message, "unknown database "))
        return oraError(942);
    if (startsWith(message, "no such column: "))
        return named(oraError(904, quotedParts(after(": "))), after(": "));
    if (message.find(" has no column named ") != std::string_view::npos)
        return named(oraError(904, quotedParts(after(" has no column named "))),
            after(" has no column named "));
    if (startsWith(message, "no such function: "))
        return named(oraError(904, quotedParts(upperText(after(": ")))), after(": "));
    if (startsWith(message, "wrong number of arguments to function")
        || startsWith(message, "DISTINCT aggregates must have exactly one argument"))
        return oraError(909);
    if (startsWith(message, "too many arguments on function"))
        return oraError(939);
    if (startsWith(message, "ambiguous column name: "))
        return named(oraError(918), after(": "));
    if (startsWith(message, "duplicate column name"))
        return oraError(957);
    if (message.find("already exists") != std::string_view::npos
        || startsWith(message, "there is already "))
        return oraError(955);
    if (startsWith(message, "no such index"))
        return oraError(1418);
    if (startsWith(message, "no such savepoint"))
        return oraError(1086, upperText(after(": ")));
    // "table T has 2 columns but 3 values were supplied", "3 values for 2 columns"
    if (message.find(" values were supplied") != std::string_view::npos) {
        const long columns = numberAfter(message, " has ");
        const long values = numberAfter(message, " columns but ");
        return oraError(values > columns ? 913 : 947);
    }
    if (message.find(" values for ") != std::string_view::npos) {
        const long values = std::strtol(std::string(message).c_str(), nullptr, 10);
        const long columns = numberAfter(message, " values for ");
        return oraError(values > columns ? 913 : 947);
    }
    if (startsWith(message, "all VALUES must have the same number of terms"))
        return oraError(913);
    if (startsWith(message, "sub-select returns ")) {
        const long columns = numberAfter(message, "sub-select returns ");
        return oraError(columns > 1 ? 913 : 947);
    }
    if (message.find("do not have the same number of result columns") != std::string_view::npos)
        return oraError(1789);
    if (startsWith(message, "row value misused"))
        return oraError(920);
    if (startsWith(message, "misuse of aggregate")
        || startsWith(message, "aggregate functions are not allowed"))
        return oraError(934);
    if (startsWith(message, "misuse of window function"))
        return oraError(30483);
    if (message.find("ORDER BY term out of range") != std::string_view::npos
        || message.find("GROUP BY term out of range") != std::string_view::npos)
        return oraError(1785);
    if (message.find("ORDER BY term does not match any column") != std::string_view::npos)
        return oraError(904, "\"ORDER BY\"");
    if (startsWith(message, "a GROUP BY clause is required"))
        return oraError(979);
    if (startsWith(message, "too many columns"))
        return oraError(1792);
    // Limits of the engine: each names the limit the statement went past.
    if (startsWith(message, "Expression tree is too large"))
        return oraError(36, std::to_string(std::max(1L, numberAfter(message, "maximum depth "))));
    if (startsWith(message, "parser stack overflow")
        || startsWith(message, "too many terms in compound SELECT")
        || startsWith(message, "too many levels of trigger recursion")
        || startsWith(message, "too many FROM clause terms")
        || startsWith(message, "too many references to "))
        return oraError(36, "1000");
    if (startsWith(message, "too many SQL variables"))
        return oraError(939);
    if (startsWith(message, "string or blob too big"))
        return oraError(1489);
    if (startsWith(message, "integer overflow"))
        return oraError(1426);
    if (startsWith(message, "datatype mismatch"))
        return oraError(1722);
    if (startsWith(message, "foreign key mismatch"))
        return oraError(2270);
    if (startsWith(message, "circular reference"))
        return oraError(32031);
    if (startsWith(message, "cannot modify ") && message.find("is a view") != std::string_view::npos)
        return oraError(1732);
    if (startsWith(message, "unrecognized token"))
        return oraError(911);
    if (message.find("incomplete input") != std::string_view::npos)
        return oraError(921);
    if (message.find("syntax error") != std::string_view::npos)
        return oraError(933);
    if (startsWith(message, "out of memory"))
        return oraError(4030, "0");
    return OraError(0, std::string(message));
}

int nameOffset(std::string_view text, std::string_view name)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t dot; (dot = name.find('.', start)) != std::string_view::npos; start = dot + 1)
        parts.emplace_back(name.substr(start, dot - start));
    parts.emplace_back(name.substr(start));
    std::vector<Token> tokens;
    try {
        tokens = tokenize(text);
    } catch (const OraError &) {
        return 0;
    }
    auto same = [](const Token &t, const std::string &part) {
        if (!t.isName())
            return false;
        // SQLite names what the translation wrote: the folded or the quoted form.
        return t.upper == part || upperText(t.upper) == upperText(part);
    };
    // A qualified name first; then its last part alone (a column the text did not qualify).
    for (size_t skip = 0; skip < parts.size(); ++skip) {
        const size_t n = parts.size() - skip;
        for (size_t i = 0; i + 2 * n - 1 <= tokens.size(); ++i) {
            bool match = true;
            for (size_t k = 0; k < n && match; ++k) {
                match = same(tokens[i + 2 * k], parts[skip + k])
                    && (k + 1 == n || tokens[i + 2 * k + 1].is("."));
            }
            if (match)
                return tokens[i].offset;
        }
    }
    return 0;
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
    if (OraError mapped = oraErrorFromSqliteMessage(message); mapped.code)
        return mapped;
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
