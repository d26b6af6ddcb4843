#include "plsql/ServerPackages.h"

#include "plsql/PlsqlError.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <thread>

namespace qdsi::plsql {

namespace {

PlsqlError applicationError(int code, const std::string &text)
{
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", code);
    return PlsqlError(code, head + text);
}

// ---- dbms_output ----

constexpr int64_t maxLineLength = 32767;

void outputPut(PlsqlHost &host, const std::string &text)
{
    ServerOutput &out = host.sessionState().output;
    if (!out.enabled)
        return;
    if (out.reading) {
        out.lines.clear();
        out.used = int64_t(out.partial.size());
        out.reading = false;
    }
    if (out.limit > 0 && out.used + int64_t(text.size()) > out.limit)
        throw applicationError(
            20000, "ORU-10027: buffer overflow, limit of " + std::to_string(out.limit) + " bytes");
    if (int64_t(out.partial.size() + text.size()) > maxLineLength)
        throw applicationError(20000,
            "ORU-10028: line length overflow, limit of 32767 bytes "
            "per line");
    out.partial += text;
    out.used += int64_t(text.size());
}

void outputNewLine(PlsqlHost &host)
{
    ServerOutput &out = host.sessionState().output;
    if (!out.enabled)
        return;
    outputPut(host, std::string());
    out.lines.push_back(std::move(out.partial));
    out.partial.clear();
}

Value outputGetLine(PlsqlHost &host, Value &line, Value &status)
{
    ServerOutput &out = host.sessionState().output;
    if (out.lines.empty()) {
        line = Value::null();
        status = Value::fromInteger(1);
    } else {
        out.used -= int64_t(out.lines.front().size());
        line = Value::fromText(std::move(out.lines.front()));
        out.lines.pop_front();
        status = Value::fromInteger(0);
        out.reading = true;
    }
    return {};
}

std::string truncated(const Value &v, size_t max)
{
    std::string s = v.toText();
    if (s.size() > max)
        s.resize(max);
    return s;
}

using Table = std::map<std::string, std::map<std::string, Builtin>>;

BuiltinParam in(const char *name)
{
    return { name, false, false, {} };
}
BuiltinParam inDefault(const char *name, Value v)
{
    return { name, false, true, std::move(v) };
}
BuiltinParam out(const char *name)
{
    return { name, true, false, {} };
}
BuiltinParam inOut(const char *name)
{
    return { name, true, false, {}, true };
}

const Table &routines()
{
    static const Table table = [] {
        Table t;
        auto &o = t["DBMS_OUTPUT"];
        o["ENABLE"] = { { inDefault("BUFFER_SIZE", Value::fromInteger(20000)) }, false, false,
            [](PlsqlHost &h, std::vector<Value> &a) {
                ServerOutput &out = h.sessionState().output;
                out.enabled = true;
                // The server keeps the size within 2000 .. 1000000; null is unlimited.
                out.limit
                    = a[0].isNull() ? 0 : std::clamp<int64_t>(a[0].toInteger(), 2000, 1000000);
                return Value();
            } };
        o["DISABLE"] = { {}, false, false, [](PlsqlHost &h, std::vector<Value> &) {
                            h.sessionState().output = ServerOutput();
                            return Value();
                        } };
        o["PUT"] = { { in("A") }, false, false, [](PlsqlHost &h, std::vector<Value> &a) {
                        outputPut(h, a[0].toText());
                        return Value();
                    } };
        o["PUT_LINE"] = { { in("A") }, false, false, [](PlsqlHost &h, std::vector<Value> &a) {
                             outputPut(h, a[0].toText());
                             outputNewLine(h);
                             return Value();
                         } };
        o["NEW_LINE"] = { {}, false, false, [](PlsqlHost &h, std::vector<Value> &) {
                             outputNewLine(h);
                             return Value();
                         } };
        o["GET_LINE"] = { { out("LINE"), out("STATUS") }, false, false,
            [](PlsqlHost &h, std::vector<Value> &a) { return outputGetLine(h, a[0], a[1]); } };
        o["GET_LINES"] = { { out("LINES"), inOut("NUMLINES") }, false, false,
            [](PlsqlHost &h, std::vector<Value> &a) {
                const int64_t wanted = a[1].isNull() ? 0 : a[1].toInteger();
                auto lines = std::make_shared<IndexTable>();
                int64_t n = 0;
                while (n < wanted) {
                    Value line, status;
                    outputGetLine(h, line, status);
                    if (status.integer != 0)
                        break;
                    (*lines)[++n] = line;
                }
                a[0] = Value();
                a[0].kind = Value::Kind::Table;
                a[0].table = lines;
                a[1] = Value::fromInteger(n);
                return Value();
            } };

        auto &ai = t["DBMS_APPLICATION_INFO"];
        ai["SET_MODULE"] = { { in("MODULE_NAME"), in("ACTION_NAME") }, false, false,
            [](PlsqlHost &h, std::vector<Value> &a) {
                auto &app = h.sessionState().application;
                app.module = truncated(a[0], 48);
                app.action = truncated(a[1], 32);
                return Value();
            } };
        ai["SET_ACTION"]
            = { { in("ACTION_NAME") }, false, false, [](PlsqlHost &h, std::vector<Value> &a) {
                   h.sessionState().application.action = truncated(a[0], 32);
                   return Value();
               } };
        ai["SET_CLIENT_INFO"]
            = { { in("CLIENT_INFO") }, false, false, [](PlsqlHost &h, std::vector<Value> &a) {
                   h.sessionState().application.clientInfo = truncated(a[0], 64);
                   return Value();
               } };
        ai["READ_MODULE"] = { { out("MODULE_NAME"), out("ACTION_NAME") }, false, false,
            [](PlsqlHost &h, std::vector<Value> &a) {
                const auto &app = h.sessionState().application;
                a[0] = Value::fromText(app.module);
                a[1] = Value::fromText(app.action);
                return Value();
            } };
        ai["READ_CLIENT_INFO"]
            = { { out("CLIENT_INFO") }, false, false, [](PlsqlHost &h, std::vector<Value> &a) {
                   a[0] = Value::fromText(h.sessionState().application.clientInfo);
                   return Value();
               } };

        auto &di = t["DIUTIL"];
        di["BOOL_TO_INT"] = { { in("B") }, true, false, [](PlsqlHost &, std::vector<Value> &a) {
                                 if (a[0].isNull())
                                     return Value();
                                 return Value::fromInteger(a[0].toBoolean() ? 1 : 0);
                             } };
        di["INT_TO_BOOL"] = { { in("I") }, true, false, [](PlsqlHost &, std::vector<Value> &a) {
                                 if (a[0].isNull())
                                     return Value();
                                 return Value::fromBoolean(a[0].toInteger() != 0);
                             } };

        t["DBMS_LOCK"]["SLEEP"]
            = { { in("SECONDS") }, false, false, [](PlsqlHost &h, std::vector<Value> &a) {
                   if (a[0].isNull())
                       throw plsqlError(6502);
                   const double seconds = a[0].toReal();
                   if (seconds < 0 || seconds > 3600000)
                       throw applicationError(20000, "ORU-10024: there are no alerts");
                   // Sleep in short ticks so that a break from the client ends it promptly.
                   const auto until = std::chrono::steady_clock::now()
                       + std::chrono::microseconds(int64_t(seconds * 1e6));
                   while (std::chrono::steady_clock::now() < until) {
                       if (h.breakRequested()) {
                           PlsqlError e = plsqlError(1013);
                           e.fatal = true;
                           throw e;
                       }
                       std::this_thread::sleep_for(std::chrono::milliseconds(5));
                   }
                   return Value();
               } };
        return t;
    }();
    return table;
}

double roundTo(double v, int64_t digits, bool truncate)
{
    const double f = std::pow(10.0, double(digits));
    const double x = v * f;
    const double r = truncate ? std::trunc(x) : std::round(x);
    return r / f;
}

} // namespace

bool isServerPackage(const std::string &name)
{
    return routines().count(name) || name == "DBMS_LOB" || name == "STANDARD";
}

namespace {

// A LOB inside PL/SQL is its content (text; bytes for a BLOB), which the client's locator
// takes back when the block ends. An empty LOB and a NULL are the same value here. Amounts and
// offsets count bytes, as the client's LOB calls do.
std::string lobText(const Value &v)
{
    return v.isNull() ? std::string() : v.toText();
}

int64_t lobNumber(const Value &v, int64_t low, int64_t high)
{
    if (v.isNull())
        throw plsqlError(21560, "argument is null, invalid, or out of range");
    const int64_t n = v.toInteger();
    if (n < low || n > high)
        throw plsqlError(21560, "argument is null, invalid, or out of range");
    return n;
}

const std::map<std::string, Builtin> &lobRoutines()
{
    static const std::map<std::string, Builtin> table = [] {
        std::map<std::string, Builtin> l;
        l["GETLENGTH"] = { { in("LOB_LOC") }, true, false,
            [](PlsqlHost &, std::vector<Value> &a) {
                return a[0].isNull() ? Value() : Value::fromInteger(int64_t(lobText(a[0]).size()));
            } };
        l["TRIM"] = { { inOut("LOB_LOC"), in("NEWLEN") }, false, false,
            [](PlsqlHost &, std::vector<Value> &a) {
                const std::string text = lobText(a[0]);
                const int64_t length = lobNumber(a[1], 0, INT64_MAX);
                if (length > int64_t(text.size()))
                    throw plsqlError(
                        22926, "specified trim length is greater than current LOB value's length");
                a[0] = Value::fromText(text.substr(0, size_t(length)));
                return Value();
            } };
        l["APPEND"] = { { inOut("DEST_LOB"), in("SRC_LOB") }, false, false,
            [](PlsqlHost &, std::vector<Value> &a) {
                a[0] = Value::fromText(lobText(a[0]) + lobText(a[1]));
                return Value();
            } };
        l["WRITEAPPEND"] = { { inOut("LOB_LOC"), in("AMOUNT"), in("BUFFER") }, false, false,
            [](PlsqlHost &, std::vector<Value> &a) {
                const std::string buffer = lobText(a[2]);
                const int64_t amount = lobNumber(a[1], 1, 32767);
                if (amount > int64_t(buffer.size()))
                    throw plsqlError(21560, "argument is null, invalid, or out of range");
                a[0] = Value::fromText(lobText(a[0]) + buffer.substr(0, size_t(amount)));
                return Value();
            } };
        l["SUBSTR"] = { { in("LOB_LOC"), inDefault("AMOUNT", Value::fromInteger(32767)),
                            inDefault("OFFSET", Value::fromInteger(1)) },
            true, false, [](PlsqlHost &, std::vector<Value> &a) {
                if (a[0].isNull() || a[1].isNull() || a[2].isNull())
                    return Value();
                const std::string text = lobText(a[0]);
                const int64_t amount = a[1].toInteger(), offset = a[2].toInteger();
                if (amount < 1 || amount > 32767 || offset < 1 || offset > int64_t(text.size()))
                    return Value();
                return Value::fromText(text.substr(size_t(offset - 1), size_t(amount)));
            } };
        return l;
    }();
    return table;
}

} // namespace

const Builtin *findServerRoutine(const std::string &package, const std::string &routine)
{
    if (package == "DBMS_LOB") {
        auto r = lobRoutines().find(routine);
        return r == lobRoutines().end() ? nullptr : &r->second;
    }
    auto p = routines().find(package);
    if (p == routines().end())
        return nullptr;
    auto r = p->second.find(routine);
    return r == p->second.end() ? nullptr : &r->second;
}

// ---- standard functions ----

static bool anyNull(const std::vector<Value> &args)
{
    return std::any_of(args.begin(), args.end(), [](const Value &v) { return v.isNull(); });
}

static int compareForGreatest(const Value &a, const Value &b)
{
    if (a.isNumber() && b.isNumber()) {
        const double x = a.toReal(), y = b.toReal();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return a.toText().compare(b.toText());
}

// The functions that take nulls as values: NVL, NVL2, COALESCE, REPLACE and CONCAT. False when
// `name` with this many arguments is not one of them.
static bool nullTakingFunction(
    const std::string &name, const std::vector<Value> &args, Value &result)
{
    const size_t n = args.size();
    if (name == "NVL" && n == 2) {
        result = args[0].isNull() ? args[1] : args[0];
        return true;
    }
    if (name == "NVL2" && n == 3) {
        result = args[0].isNull() ? args[2] : args[1];
        return true;
    }
    if (name == "COALESCE" && n >= 1) {
        result = Value();
        for (const auto &a : args)
            if (!a.isNull()) {
                result = a;
                break;
            }
        return true;
    }
    if (name == "REPLACE" && (n == 2 || n == 3)) {
        if (args[0].isNull()) {
            result = Value();
            return true;
        }
        std::string s = args[0].toText();
        const std::string from = args[1].toText(), to = n == 3 ? args[2].toText() : std::string();
        if (!from.empty())
            for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) {
                s.replace(p, from.size(), to);
                if (s.size() > 32767)
                    throw valueError("character string buffer too small");
            }
        result = Value::fromText(s);
        return true;
    }
    if (name == "CONCAT" && n == 2) {
        result = Value::fromText(args[0].toText() + args[1].toText());
        return true;
    }
    return false;
}

static Value substrOf(const std::vector<Value> &args)
{
    const std::string s = args[0].toText();
    int64_t start = args[1].toInteger();
    const int64_t len = int64_t(s.size());
    if (start == 0)
        start = 1;
    if (start < 0)
        start = len + start + 1;
    const int64_t count = args.size() == 3 ? args[2].toInteger() : len;
    if (start < 1 || start > len || count < 1)
        return Value();
    return Value::fromText(s.substr(size_t(start - 1), size_t(std::min(count, len - start + 1))));
}

// INSTR searching forwards; false for a backward search or an occurrence below 1, which the
// dialect's function answers.
static bool forwardInstr(const std::vector<Value> &args, Value &result)
{
    const std::string s = args[0].toText(), sub = args[1].toText();
    const int64_t start = args.size() >= 3 ? args[2].toInteger() : 1;
    int64_t nth = args.size() == 4 ? args[3].toInteger() : 1;
    if (start < 1 || nth < 1)
        return false;
    size_t p = size_t(start - 1);
    int64_t found = 0;
    while (p <= s.size()) {
        p = s.find(sub, p);
        if (p == std::string::npos)
            break;
        if (--nth == 0) {
            found = int64_t(p) + 1;
            break;
        }
        ++p;
    }
    result = Value::fromInteger(found);
    return true;
}

static Value padded(const std::vector<Value> &args, bool left)
{
    const std::string s = args[0].toText(), pad = args.size() == 3 ? args[2].toText() : " ";
    const int64_t width = args[1].toInteger();
    if (width < 1 || width > 32767)
        return Value();
    std::string fill;
    while (int64_t(fill.size() + s.size()) < width)
        fill += pad;
    const size_t need = size_t(width) > s.size() ? size_t(width) - s.size() : 0;
    fill.resize(need);
    return Value::fromText(
        left ? (fill + s).substr(0, size_t(width)) : (s + fill).substr(0, size_t(width)));
}

// The character functions over arguments that are not null; false for a call left to the
// dialect's function.
static bool characterFunction(
    const std::string &name, const std::vector<Value> &args, Value &result)
{
    if (name == "UPPER" || name == "LOWER") {
        std::string s = args[0].toText();
        for (char &c : s)
            c = char(
                name == "UPPER" ? std::toupper((unsigned char)c) : std::tolower((unsigned char)c));
        result = Value::fromText(s);
    } else if (name == "LENGTH") {
        result = Value::fromInteger(int64_t(args[0].toText().size()));
    } else if (name == "SUBSTR") {
        result = substrOf(args);
    } else if (name == "INSTR") {
        return forwardInstr(args, result);
    } else if (name == "LTRIM" || name == "RTRIM" || name == "TRIM") {
        const std::string s = args[0].toText();
        size_t b = 0, e = s.size();
        if (name != "RTRIM")
            while (b < e && s[b] == ' ')
                ++b;
        if (name != "LTRIM")
            while (e > b && s[e - 1] == ' ')
                --e;
        result = Value::fromText(s.substr(b, e - b));
    } else if (name == "LPAD" || name == "RPAD") {
        result = padded(args, name == "LPAD");
    } else if (name == "TO_CHAR") {
        result = Value::fromText(args[0].toText());
    } else if (name == "CHR") {
        const int64_t c = args[0].toInteger();
        if (c < 0 || c > 255)
            return false;
        result = Value::fromText(std::string(1, char(c)));
    } else if (name == "ASCII") {
        const std::string s = args[0].toText();
        result = Value::fromInteger(static_cast<unsigned char>(s[0]));
    }
    return true;
}

// The numeric functions over arguments that are not null.
static void numberFunction(const std::string &name, const std::vector<Value> &args, Value &result)
{
    auto number = [&](size_t i) { return args[i].toReal(); };
    if (name == "TO_NUMBER") {
        result = args[0].isNumber() ? args[0] : Value::fromReal(number(0));
        if (args[0].kind == Value::Kind::Text)
            result = Value::fromReal(number(0));
    } else if (name == "ABS") {
        result = args[0].kind == Value::Kind::Integer && args[0].integer != INT64_MIN
            ? Value::fromInteger(std::llabs(args[0].integer))
            : Value::fromReal(std::fabs(number(0)));
    } else if (name == "MOD") {
        const double m = number(1);
        result = m == 0 ? args[0] : Value::fromReal(std::fmod(number(0), m));
    } else if (name == "ROUND" || name == "TRUNC") {
        const int64_t digits
            = args.size() == 2 ? std::clamp<int64_t>(args[1].toInteger(), -38, 38) : 0;
        result = Value::fromReal(roundTo(number(0), digits, name == "TRUNC"));
    } else if (name == "FLOOR") {
        result = Value::fromReal(std::floor(number(0)));
    } else if (name == "CEIL") {
        result = Value::fromReal(std::ceil(number(0)));
    } else if (name == "SIGN") {
        const double v = number(0);
        result = Value::fromInteger(v > 0 ? 1 : v < 0 ? -1 : 0);
    } else if (name == "POWER") {
        result = Value::fromReal(std::pow(number(0), number(1)));
    } else if (name == "SQRT") {
        if (number(0) < 0)
            throw plsqlError(6502);
        result = Value::fromReal(std::sqrt(number(0)));
    }
}

namespace {

enum class StandardGroup { Character, Number, Comparison };

struct StandardArity {
    size_t least, most;
    StandardGroup group;
};

} // namespace

bool standardFunction(const std::string &name, const std::vector<Value> &args, Value &result)
{
    if (nullTakingFunction(name, args, result))
        return true;
    using G = StandardGroup;
    static const std::map<std::string, StandardArity> arity = {
        { "UPPER", { 1, 1, G::Character } },
        { "LOWER", { 1, 1, G::Character } },
        { "LENGTH", { 1, 1, G::Character } },
        { "SUBSTR", { 2, 3, G::Character } },
        { "INSTR", { 2, 4, G::Character } },
        { "LTRIM", { 1, 1, G::Character } },
        { "RTRIM", { 1, 1, G::Character } },
        { "TRIM", { 1, 1, G::Character } },
        { "LPAD", { 2, 3, G::Character } },
        { "RPAD", { 2, 3, G::Character } },
        { "TO_CHAR", { 1, 1, G::Character } },
        { "CHR", { 1, 1, G::Character } },
        { "ASCII", { 1, 1, G::Character } },
        { "TO_NUMBER", { 1, 1, G::Number } },
        { "ABS", { 1, 1, G::Number } },
        { "MOD", { 2, 2, G::Number } },
        { "ROUND", { 1, 2, G::Number } },
        { "TRUNC", { 1, 2, G::Number } },
        { "FLOOR", { 1, 1, G::Number } },
        { "CEIL", { 1, 1, G::Number } },
        { "SIGN", { 1, 1, G::Number } },
        { "POWER", { 2, 2, G::Number } },
        { "SQRT", { 1, 1, G::Number } },
        { "GREATEST", { 1, 255, G::Comparison } },
        { "LEAST", { 1, 255, G::Comparison } },
    };
    const size_t n = args.size();
    const auto a = arity.find(name);
    if (a == arity.end() || n < a->second.least || n > a->second.most)
        return false;
    // Date forms and formats belong to the dialect's own functions.
    if ((name == "TO_CHAR" || name == "ROUND" || name == "TRUNC")
        && args[0].kind == Value::Kind::Date)
        return false;
    if (anyNull(args)) {
        result = Value();
        return true;
    }
    switch (a->second.group) {
    case G::Character:
        return characterFunction(name, args, result);
    case G::Number:
        numberFunction(name, args, result);
        return true;
    case G::Comparison:
        result = args[0];
        for (size_t i = 1; i < n; ++i) {
            const int c = compareForGreatest(args[i], result);
            if (name == "GREATEST" ? c > 0 : c < 0)
                result = args[i];
        }
        return true;
    }
    return true;
}

// ---- dates ----

static int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

static void civilFromDays(int64_t z, int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

static double toSeconds(const std::string &iso)
{
    int y = 0, mo = 1, d = 1, h = 0, mi = 0, s = 0;
    if (std::sscanf(iso.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3 || mo < 1
        || mo > 12 || d < 1 || d > 31)
        throw valueError("date conversion error");
    return double(daysFromCivil(y, unsigned(mo), unsigned(d))) * 86400 + h * 3600 + mi * 60 + s;
}

std::string addDays(const std::string &isoDate, double days)
{
    const double secs = std::round(toSeconds(isoDate) + days * 86400);
    int64_t day = int64_t(std::floor(secs / 86400));
    int64_t rest = int64_t(secs) - day * 86400;
    int64_t y;
    unsigned m, d;
    civilFromDays(day, y, m, d);
    if (y < 1 || y > 9999)
        throw plsqlError(1841, "(full) year must be between -4713 and +9999, and not be 0");
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:%02d", int(y), m, d, int(rest / 3600),
        int(rest / 60 % 60), int(rest % 60));
    return buf;
}

double daysBetween(const std::string &a, const std::string &b)
{
    return (toSeconds(a) - toSeconds(b)) / 86400;
}

} // namespace qdsi::plsql
