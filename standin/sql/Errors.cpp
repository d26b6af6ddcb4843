// The server's wording of the errors the stand-in raises.
#include "sql/Dialect.h"

#include <cstdio>
#include <cstdlib>

namespace qdsi::sql {

namespace {

struct Wording {
    int code;
    const char *text; // "%s" marks where the detail goes
};

constexpr Wording kWordings[] = {
    {1, "unique constraint (%s) violated"},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {902, "invalid datatype"},
    {922, "missing or invalid option"},
    {925, "missing INTO keyword"},
    {927, "missing equal sign"},
    {969, "missing ON keyword"},
    {926, "missing VALUES keyword"},
    {928, "missing SELECT keyword"},
    {950, "invalid DROP option"},
    {971, "missing SET keyword"},
    {940, "invalid ALTER command"},
    {4002, "INCREMENT must be a non-zero integer"},
    {903, "invalid table name"},
    {904, "%s: invalid identifier"},
    {905, "missing keyword"},
    {906, "missing left parenthesis"},
    {907, "missing right parenthesis"},
    {909, "invalid number of arguments"},
    {911, "invalid character"},
    {917, "missing comma"},
    {918, "column ambiguously defined"},
    {921, "unexpected end of SQL command"},
    {923, "FROM keyword not found where expected"},
    {933, "SQL command not properly ended"},
    {936, "missing expression"},
    {942, "table or view does not exist"},
    {972, "identifier is too long"},
    {932, "inconsistent datatypes: expected %s"},
    {975, "date + date not allowed"},
    {1410, "invalid ROWID"},
    {1428, "argument '%s' is out of range"},
    {2003, "invalid USERENV parameter"},
    {1013, "user requested cancel of current operation"},
    {1400, "cannot insert NULL into (%s)"},
    {1403, "no data found"},
    {1476, "divisor is equal to zero"},
    {1481, "invalid number format model"},
    {1722, "invalid number"},
    {1740, "missing double quote in identifier"},
    {1756, "quoted string not properly terminated"},
    {1821, "date format not recognized"},
    {1830, "date format picture ends before converting entire input string"},
    {1839, "date not valid for month specified"},
    {1840, "input value not long enough for date format"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1846, "not a valid day of the week"},
    {1847, "day of month must be between 1 and last day of month"},
    {1849, "hour must be between 1 and 12"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {2287, "sequence number not allowed here"},
    {2289, "sequence does not exist"},
    {3001, "unimplemented feature"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {1002, "fetch out of sequence"},
    {1007, "variable not in select list"},
    {1008, "not all variables bound"},
    {1036, "illegal variable name/number"},
    {1086, "savepoint '%s' never established in this session or is invalid"},
    {2049, "timeout: distributed transaction waiting for lock"},
    {2095, "specified initialization parameter cannot be modified"},
    {1418, "specified index does not exist"},
    {955, "name is already used by an existing object"},
};

} // namespace

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
        message = detail.empty() ? "unknown error" : std::string(detail);
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

} // namespace qdsi::sql
