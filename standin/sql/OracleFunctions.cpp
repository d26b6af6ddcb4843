// The Oracle functions SQLite lacks or spells differently, registered on each connection.
// Values follow the conventions in Dialect.h: dates are ISO text, '' is null.
#include "sql/DateFormat.h"
#include "sql/Dialect.h"
#include "sql/NumberFormat.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace qdsi::sql {

namespace {

using Args = sqlite3_value **;

bool isNull(sqlite3_value *v)
{
    return sqlite3_value_type(v) == SQLITE_NULL;
}

std::string text(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return numberToText(v);
    case SQLITE_BLOB: {
        if (isExactNumber(v)) // a long NUMBER: its text
            return numberToText(v);
        static constexpr char hex[] = "0123456789ABCDEF";
        const auto *p = static_cast<const unsigned char *>(sqlite3_value_blob(v));
        std::string out;
        for (int i = 0; i < sqlite3_value_bytes(v); ++i)
            out += hex[p[i] >> 4], out += hex[p[i] & 15];
        return out;
    }
    case SQLITE_NULL:
        return {};
    default:
        return reinterpret_cast<const char *>(sqlite3_value_text(v));
    }
}

bool isNumber(sqlite3_value *v)
{
    const int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT || isExactNumber(v);
}

double number(sqlite3_value *v)
{
    if (isNumber(v))
        return sqlite3_value_double(v);
    double d = 0;
    if (!looksNumeric(text(v), &d))
        throw oraError(1722);
    return d;
}

int64_t integer(sqlite3_value *v)
{
    const double d = std::trunc(number(v));
    return static_cast<int64_t>(std::fmax(-9.0e18, std::fmin(9.0e18, d)));
}

// NLS_TIMESTAMP_FORMAT of a new session.
constexpr const char *kTimestampFormat = "DD-MON-RR HH.MI.SSXFF AM";

bool isDateText(sqlite3_value *v)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT)
        return false;
    DateTime d;
    return parseIsoDate(reinterpret_cast<const char *>(sqlite3_value_text(v)), d);
}

// A DATE's or a TIMESTAMP's stored text: date functions and arithmetic take both (and give
// a DATE, as the server does for a timestamp plus a number).
bool isDateValue(sqlite3_value *v)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT)
        return false;
    DateTime d;
    return parseIsoTimestamp(reinterpret_cast<const char *>(sqlite3_value_text(v)), d);
}

void resultNumber(sqlite3_context *c, double d)
{
    if (std::isnan(d) || std::isinf(d)) {
        sqlite3_result_error(c, oraError(1426, "numeric overflow").text.c_str(), -1);
        return;
    }
    if (d == std::floor(d) && std::fabs(d) < 9.0e15)
        sqlite3_result_int64(c, static_cast<sqlite3_int64>(d));
    else
        sqlite3_result_double(c, d);
}

void resultText(sqlite3_context *c, const std::string &s)
{
    if (s.empty())
        sqlite3_result_null(c);
    else
        sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void resultDate(sqlite3_context *c, const DateTime &d)
{
    resultText(c, isoText(d));
}

// UTF-8 character boundaries: offsets of each character's first byte, plus the end.
std::vector<size_t> characters(const std::string &s)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80)
            at.push_back(i);
    at.push_back(s.size());
    return at;
}

using Body = std::function<void(sqlite3_context *, int, Args)>;

struct Registered {
    Body body;
    SessionContext *context;
};

void dispatch(sqlite3_context *c, int argc, Args argv)
{
    auto *r = static_cast<Registered *>(sqlite3_user_data(c));
    try {
        r->body(c, argc, argv);
    } catch (const OraError &e) {
        sqlite3_result_error(c, e.text.c_str(), -1);
    } catch (const std::exception &e) {
        sqlite3_result_error(c, e.what(), -1);
    }
}

// Nulls in: null out, for the functions where Oracle does that.
bool anyNull(int argc, Args argv)
{
    for (int i = 0; i < argc; ++i)
        if (isNull(argv[i]))
            return true;
    return false;
}

bool equalValues(sqlite3_value *a, sqlite3_value *b)
{
    if (isNull(a) || isNull(b))
        return isNull(a) && isNull(b);
    if (isNumber(a) || isNumber(b)) {
        double x = 0, y = 0;
        if (!(isNumber(a) ? (x = sqlite3_value_double(a), true) : looksNumeric(text(a), &x)))
            return false;
        if (!(isNumber(b) ? (y = sqlite3_value_double(b), true) : looksNumeric(text(b), &y)))
            return false;
        return x == y;
    }
    return text(a) == text(b);
}

int compareValues(sqlite3_value *a, sqlite3_value *b, bool numeric)
{
    if (numeric) {
        const double x = number(a), y = number(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const std::string x = text(a), y = text(b);
    return x.compare(y) < 0 ? -1 : x.compare(y) > 0 ? 1 : 0;
}

std::string upperText(std::string s, bool upper)
{
    for (char &ch : s)
        ch = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(ch))
                                     : std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

std::string trimSet(const std::string &s, const std::string &set, bool left, bool right)
{
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && set.find(s[b]) != std::string::npos)
            ++b;
    if (right)
        while (e > b && set.find(s[e - 1]) != std::string::npos)
            --e;
    return s.substr(b, e - b);
}

std::string pad(const std::string &s, int64_t n, const std::string &with, bool left)
{
    const std::vector<size_t> at = characters(s);
    const int64_t have = static_cast<int64_t>(at.size()) - 1;
    if (n <= have)
        return s.substr(0, at[static_cast<size_t>(n)]);
    if (with.empty())
        return s;
    const std::vector<size_t> padAt = characters(with);
    const size_t padChars = padAt.size() - 1;
    std::string fill;
    for (int64_t k = 0; k < n - have; ++k) {
        const size_t ci = static_cast<size_t>(k) % padChars;
        fill += with.substr(padAt[ci], padAt[ci + 1] - padAt[ci]);
    }
    return left ? fill + s : s + fill;
}

double decimalRound(double x, int64_t digits, bool truncate)
{
    digits = std::max<int64_t>(-300, std::min<int64_t>(300, digits));
    const double f = std::pow(10.0, static_cast<double>(digits));
    char buf[64];
    // Through 15 significant digits so that 2.675 rounds as the decimal it stands for.
    std::snprintf(buf, sizeof buf, "%.15g", std::fabs(x) * f);
    const double scaled = std::strtod(buf, nullptr);
    const double r = truncate ? std::floor(scaled) : std::floor(scaled + 0.5);
    const double out = r / f;
    return x < 0 ? -out : out;
}

std::string utf8(uint32_t cp)
{
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | ((cp >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

void destroy(void *p)
{
    delete static_cast<Registered *>(p);
}

// Registers functions on one connection, each with the session's context for its calls.
struct Registrar {
    sqlite3 *db;
    SessionContext *context;

    void add(const char *name, int argc, bool deterministic, Body body)
    {
        auto *r = new Registered { std::move(body), context };
        const int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
        sqlite3_create_function_v2(db, name, argc, flags, r, dispatch, nullptr, nullptr, destroy);
    }
};

SessionContext *sessionOf(sqlite3_context *c)
{
    return static_cast<Registered *>(sqlite3_user_data(c))->context;
}

// A DATE argument: stored ISO text, or text in the session's date format.
DateTime dateArgument(sqlite3_context *c, sqlite3_value *v)
{
    DateTime d;
    const std::string t = text(v);
    if (parseIsoTimestamp(t, d))
        return d;
    return parseDateTime(t, sessionOf(c)->dateFormat);
}

// Empty LOBs, null handling, DECODE and the comparisons of a list.
void registerValueFunctions(Registrar &r)
{
    // An empty LOB is a value, not a null: zero-length text and blob.
    r.add("EMPTY_CLOB", 0, true,
        [](sqlite3_context *c, int, Args) { sqlite3_result_text(c, "", 0, SQLITE_STATIC); });
    r.add("EMPTY_BLOB", 0, true,
        [](sqlite3_context *c, int, Args) { sqlite3_result_zeroblob(c, 0); });
    r.add("NVL", 2, true, [](sqlite3_context *c, int, Args a) {
        sqlite3_result_value(c, isNull(a[0]) ? a[1] : a[0]);
    });
    r.add("NVL2", 3, true, [](sqlite3_context *c, int, Args a) {
        sqlite3_result_value(c, isNull(a[0]) ? a[2] : a[1]);
    });
    r.add("DECODE", -1, true, [](sqlite3_context *c, int n, Args a) {
        if (n < 3)
            throw oraError(938, "not enough arguments for function");
        for (int i = 1; i + 1 < n; i += 2)
            if (equalValues(a[0], a[i])) {
                sqlite3_result_value(c, a[i + 1]);
                return;
            }
        if (n % 2 == 0)
            sqlite3_result_value(c, a[n - 1]);
        else
            sqlite3_result_null(c);
    });
    for (const char *fn : { "GREATEST", "LEAST" }) {
        const bool greatest = fn[0] == 'G';
        r.add(fn, -1, true, [greatest](sqlite3_context *c, int n, Args a) {
            if (n < 1)
                throw oraError(938, "not enough arguments for function");
            if (anyNull(n, a))
                return sqlite3_result_null(c);
            const bool numeric = isNumber(a[0]);
            int best = 0;
            for (int i = 1; i < n; ++i) {
                const int cmp = compareValues(a[i], a[best], numeric);
                if (greatest ? cmp > 0 : cmp < 0)
                    best = i;
            }
            sqlite3_result_value(c, a[best]);
        });
    }
}

// Substrings, searching, length, padding and trimming, counting characters (not bytes) of
// UTF-8 text.
void registerCharacterFunctions(Registrar &r)
{
    for (int argc : { 2, 3 }) {
        r.add("SUBSTR", argc, true, [](sqlite3_context *c, int n, Args a) {
            if (anyNull(n, a))
                return sqlite3_result_null(c);
            const std::string s = text(a[0]);
            const std::vector<size_t> at = characters(s);
            const int64_t length = static_cast<int64_t>(at.size()) - 1;
            int64_t pos = integer(a[1]);
            if (pos == 0)
                pos = 1;
            if (pos < 0)
                pos = length + pos + 1;
            if (pos < 1 || pos > length)
                return sqlite3_result_null(c);
            int64_t count = n == 3 ? integer(a[2]) : length;
            if (count < 1)
                return sqlite3_result_null(c);
            const int64_t last = std::min(length, pos - 1 + count);
            resultText(c,
                s.substr(at[static_cast<size_t>(pos - 1)],
                    at[static_cast<size_t>(last)] - at[static_cast<size_t>(pos - 1)]));
        });
    }
    for (int argc : { 2, 3, 4 }) {
        r.add("INSTR", argc, true, [](sqlite3_context *c, int n, Args a) {
            if (anyNull(n, a))
                return sqlite3_result_null(c);
            const std::string s = text(a[0]), sub = text(a[1]);
            const int64_t start = n >= 3 ? integer(a[2]) : 1;
            const int64_t occurrence = n >= 4 ? integer(a[3]) : 1;
            if (start == 0 || occurrence < 1)
                return sqlite3_result_int(c, 0);
            const std::vector<size_t> at = characters(s);
            const int64_t length = static_cast<int64_t>(at.size()) - 1;
            auto charIndex = [&](size_t byte) {
                return static_cast<int64_t>(
                           std::lower_bound(at.begin(), at.end(), byte) - at.begin())
                    + 1;
            };
            int64_t found = 0;
            if (start > 0) {
                if (start > length)
                    return sqlite3_result_int(c, 0);
                size_t from = at[static_cast<size_t>(start - 1)];
                for (int64_t k = 0; k < occurrence; ++k) {
                    const size_t p = s.find(sub, from);
                    if (p == std::string::npos)
                        return sqlite3_result_int(c, 0);
                    found = charIndex(p);
                    from = p + 1;
                }
            } else {
                const int64_t from = length + start + 1; // search backwards from this char
                if (from < 1)
                    return sqlite3_result_int(c, 0);
                size_t limit = at[static_cast<size_t>(from - 1)];
                for (int64_t k = 0; k < occurrence; ++k) {
                    const size_t p = s.rfind(sub, limit);
                    if (p == std::string::npos)
                        return sqlite3_result_int(c, 0);
                    found = charIndex(p);
                    if (p == 0 && k + 1 < occurrence)
                        return sqlite3_result_int(c, 0);
                    limit = p - 1;
                }
            }
            sqlite3_result_int64(c, found);
        });
    }
    r.add("LENGTH", 1, true, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]))
            return sqlite3_result_null(c);
        sqlite3_result_int64(c, static_cast<sqlite3_int64>(characters(text(a[0])).size() - 1));
    });
    for (const char *fn : { "LPAD", "RPAD" }) {
        const bool left = fn[0] == 'L';
        for (int argc : { 2, 3 })
            r.add(fn, argc, true, [left](sqlite3_context *c, int n, Args a) {
                if (anyNull(n, a))
                    return sqlite3_result_null(c);
                const int64_t width = integer(a[1]);
                if (width < 1)
                    return sqlite3_result_null(c);
                if (width > 32767)
                    throw oraError(1428, std::to_string(width));
                resultText(c, pad(text(a[0]), width, n == 3 ? text(a[2]) : " ", left));
            });
    }
    struct TrimKind {
        const char *name;
        bool left, right;
    };
    for (TrimKind k : { TrimKind { "TRIM", true, true }, TrimKind { "LTRIM", true, false },
             TrimKind { "RTRIM", false, true } })
        for (int argc : { 1, 2 })
            r.add(k.name, argc, true, [k](sqlite3_context *c, int n, Args a) {
                if (anyNull(n, a))
                    return sqlite3_result_null(c);
                resultText(c, trimSet(text(a[0]), n == 2 ? text(a[1]) : " ", k.left, k.right));
            });
}

// Case, and characters by their codes.
void registerCaseFunctions(Registrar &r)
{
    r.add("UPPER", 1, true, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]))
            return sqlite3_result_null(c);
        resultText(c, upperText(text(a[0]), true));
    });
    r.add("LOWER", 1, true, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]))
            return sqlite3_result_null(c);
        resultText(c, upperText(text(a[0]), false));
    });
    r.add("INITCAP", 1, true, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]))
            return sqlite3_result_null(c);
        std::string s = text(a[0]);
        bool start = true;
        for (char &ch : s) {
            const auto u = static_cast<unsigned char>(ch);
            if (std::isalnum(u)) {
                ch = static_cast<char>(start ? std::toupper(u) : std::tolower(u));
                start = false;
            } else {
                start = u < 0x80;
            }
        }
        resultText(c, s);
    });
    r.add("CHR", 1, true, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]))
            return sqlite3_result_null(c);
        const int64_t code = integer(a[0]);
        if (code < 0 || code > 0x10FFFF)
            throw oraError(1428, std::to_string(code));
        const std::string s = utf8(static_cast<uint32_t>(code));
        sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    });
    r.add("ASCII", 1, true, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]))
            return sqlite3_result_null(c);
        const std::string s = text(a[0]);
        const auto *p = reinterpret_cast<const unsigned char *>(s.data());
        uint32_t cp = p[0];
        if (cp >= 0xF0 && s.size() >= 4)
            cp = ((p[0] & 7u) << 18) | ((p[1] & 63u) << 12) | ((p[2] & 63u) << 6) | (p[3] & 63u);
        else if (cp >= 0xE0 && s.size() >= 3)
            cp = ((p[0] & 15u) << 12) | ((p[1] & 63u) << 6) | (p[2] & 63u);
        else if (cp >= 0xC0 && s.size() >= 2)
            cp = ((p[0] & 31u) << 6) | (p[1] & 63u);
        sqlite3_result_int64(c, cp);
    });
}

// Replacing, translating and joining text.
void registerReplacingFunctions(Registrar &r)
{
    for (int argc : { 2, 3 }) {
        r.add("REPLACE", argc, true, [](sqlite3_context *c, int n, Args a) {
            if (isNull(a[0]))
                return sqlite3_result_null(c);
            std::string s = text(a[0]);
            const std::string from = text(a[1]);
            const std::string to = n == 3 ? text(a[2]) : std::string();
            if (from.empty())
                return resultText(c, s);
            std::string out;
            size_t pos = 0;
            for (size_t hit; (hit = s.find(from, pos)) != std::string::npos;
                 pos = hit + from.size())
                out += s.substr(pos, hit - pos) + to;
            resultText(c, out + s.substr(pos));
        });
    }
    r.add("TRANSLATE", 3, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        // Each character of `from` becomes the character at the same place in `to`, or goes
        // away when `to` is shorter.
        const std::string s = text(a[0]), from = text(a[1]), to = text(a[2]);
        const std::vector<size_t> sAt = characters(s), fromAt = characters(from),
                                  toAt = characters(to);
        auto piece = [](const std::string &str, const std::vector<size_t> &at, size_t i) {
            return str.substr(at[i], at[i + 1] - at[i]);
        };
        std::string out;
        for (size_t i = 0; i + 1 < sAt.size(); ++i) {
            const std::string ch = piece(s, sAt, i);
            size_t k = 0;
            while (k + 1 < fromAt.size() && piece(from, fromAt, k) != ch)
                ++k;
            if (k + 1 >= fromAt.size())
                out += ch;
            else if (k + 1 < toAt.size())
                out += piece(to, toAt, k);
        }
        resultText(c, out);
    });
    r.add("CONCAT", 2, true,
        [](sqlite3_context *c, int, Args a) { resultText(c, text(a[0]) + text(a[1])); });
    r.add("QD_CONCAT", -1, true, [](sqlite3_context *c, int n, Args a) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += text(a[i]);
        resultText(c, out);
    });
}

// TO_CHAR, TO_DATE, TO_TIMESTAMP and TO_NUMBER, with and without a format model.
void registerConversionFunctions(Registrar &r)
{
    for (int argc : { 1, 2 }) {
        r.add("TO_CHAR", argc, true, [](sqlite3_context *c, int n, Args a) {
            if (anyNull(n, a))
                return sqlite3_result_null(c);
            const std::string model = n == 2 ? text(a[1]) : std::string();
            if (isNumber(a[0]))
                return resultText(c,
                    n == 2 ? formatNumber(sqlite3_value_double(a[0]), model) : numberToText(a[0]));
            DateTime d;
            const std::string s = text(a[0]);
            bool timestamp = false;
            if (parseIsoTimestamp(s, d, &timestamp))
                return resultText(c,
                    formatDateTime(d,
                        n == 2      ? model
                            : timestamp ? std::string(kTimestampFormat)
                                        : sessionOf(c)->dateFormat,
                        timestamp));
            double v = 0;
            if (n == 2 && looksNumeric(s, &v))
                return resultText(c, formatNumber(v, model));
            if (n == 2)
                throw oraError(1722);
            resultText(c, s);
        });
        r.add("TO_DATE", argc, true, [](sqlite3_context *c, int n, Args a) {
            if (anyNull(n, a))
                return sqlite3_result_null(c);
            const std::string s = text(a[0]);
            DateTime d;
            if (n == 1 && parseIsoTimestamp(s, d))
                return resultDate(c, d);
            resultDate(c, parseDateTime(s, n == 2 ? text(a[1]) : sessionOf(c)->dateFormat));
        });
        // The text of a TIMESTAMP(9); without a model in the session's default timestamp
        // format, and a value that already is a date or timestamp as it is.
        r.add("TO_TIMESTAMP", argc, true, [](sqlite3_context *c, int n, Args a) {
            if (anyNull(n, a))
                return sqlite3_result_null(c);
            const std::string s = text(a[0]);
            DateTime d;
            if (n == 1 && parseIsoTimestamp(s, d))
                return resultText(c, timestampText(d));
            resultText(c, timestampText(parseDateTime(s, n == 2 ? text(a[1]) : kTimestampFormat, true)));
        });
        r.add("TO_NUMBER", argc, true, [](sqlite3_context *c, int n, Args a) {
            if (anyNull(n, a))
                return sqlite3_result_null(c);
            if (isNumber(a[0]))
                return sqlite3_result_value(c, a[0]);
            resultNumber(c, parseNumber(text(a[0]), n == 2 ? text(a[1]) : std::string()));
        });
    }
}

// Date functions, and the helpers the translation calls for DATE columns and literals.
void registerDateFunctions(Registrar &r)
{
    for (int argc : { 1, 2 }) {
        for (const char *fn : { "TRUNC", "ROUND" }) {
            const bool truncate = fn[0] == 'T';
            r.add(fn, argc, true, [truncate](sqlite3_context *c, int n, Args a) {
                if (anyNull(n, a))
                    return sqlite3_result_null(c);
                if (isDateValue(a[0])
                    || (n == 2 && sqlite3_value_type(a[1]) == SQLITE_TEXT
                        && !looksNumeric(text(a[1])))) {
                    const DateTime d = dateArgument(c, a[0]);
                    const std::string unit = n == 2 ? text(a[1]) : std::string();
                    return resultDate(c, truncate ? truncDate(d, unit) : roundDate(d, unit));
                }
                resultNumber(c, decimalRound(number(a[0]), n == 2 ? integer(a[1]) : 0, truncate));
            });
        }
    }
    r.add("ADD_MONTHS", 2, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        resultDate(c, addMonths(dateArgument(c, a[0]), integer(a[1])));
    });
    r.add("MONTHS_BETWEEN", 2, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        resultNumber(c, monthsBetween(dateArgument(c, a[0]), dateArgument(c, a[1])));
    });
    r.add("LAST_DAY", 1, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        DateTime d = dateArgument(c, a[0]);
        d.day = daysInMonth(d.year, d.month);
        resultDate(c, d);
    });
    // A literal compared with a column: a DATE when the column holds one (see the translation).
    r.add("QD_DATEARG", 2, true, [](sqlite3_context *c, int, Args a) {
        if (isDateText(a[0]))
            return resultDate(c, parseDateTime(text(a[1]), sessionOf(c)->dateFormat));
        sqlite3_result_value(c, a[1]);
    });
    // The DATE-column triggers of translated CREATE TABLE statements.
    r.add("QD_ALLDATES", -1, true, [](sqlite3_context *c, int n, Args a) {
        bool all = true;
        for (int i = 0; i < n; ++i)
            all = all && (isNull(a[i]) || isDateText(a[i]));
        sqlite3_result_int(c, all);
    });
    r.add("QD_TODATE", 1, true, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]) || isDateText(a[0]))
            return sqlite3_result_value(c, a[0]);
        if (isNumber(a[0]))
            throw oraError(932, "DATE got NUMBER");
        resultDate(c, dateArgument(c, a[0]));
    });
    r.add("QD_EXTRACT", 2, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        const std::string field = text(a[0]);
        const DateTime d = dateArgument(c, a[1]);
        const int value = field == "YEAR" ? d.year
            : field == "MONTH"            ? d.month
            : field == "DAY"              ? d.day
            : field == "HOUR"             ? d.hour
            : field == "MINUTE"           ? d.minute
            : field == "SECOND"           ? d.second
                                          : -1;
        if (value < 0)
            throw oraError(907);
        sqlite3_result_int(c, value);
    });
    r.add("SYSDATE", 0, false,
        [](sqlite3_context *c, int, Args) { resultDate(c, currentDateTime()); });
}

// Numeric functions and the arithmetic operators that know DATE values.
void registerNumberFunctions(Registrar &r)
{
    r.add("MOD", 2, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        if (sqlite3_value_type(a[0]) == SQLITE_INTEGER
            && sqlite3_value_type(a[1]) == SQLITE_INTEGER) {
            const sqlite3_int64 x = sqlite3_value_int64(a[0]), y = sqlite3_value_int64(a[1]);
            if (y == 0 || y == -1)
                return sqlite3_result_int64(c, y == 0 ? x : 0);
            return sqlite3_result_int64(c, x % y);
        }
        const double x = number(a[0]), y = number(a[1]);
        resultNumber(c, y == 0 ? x : x - y * std::trunc(x / y));
    });
    struct Unary {
        const char *name;
        double (*fn)(double);
    };
    for (Unary u : { Unary { "ABS", [](double x) { return std::fabs(x); } },
             Unary { "SIGN", [](double x) { return x > 0 ? 1.0
                                                : x < 0  ? -1.0
                                                         : 0.0; } },
             Unary { "FLOOR", [](double x) { return std::floor(x); } },
             Unary { "CEIL", [](double x) { return std::ceil(x); } } }) {
        r.add(u.name, 1, true, [u](sqlite3_context *c, int, Args a) {
            if (isNull(a[0]))
                return sqlite3_result_null(c);
            const bool integral
                = std::strcmp(u.name, "FLOOR") == 0 || std::strcmp(u.name, "CEIL") == 0;
            if (sqlite3_value_type(a[0]) == SQLITE_INTEGER && integral)
                return sqlite3_result_value(c, a[0]);
            resultNumber(c, u.fn(number(a[0])));
        });
    }
    r.add("SQRT", 1, true, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]))
            return sqlite3_result_null(c);
        const double x = number(a[0]);
        if (x < 0)
            throw oraError(1428, numberToText(x));
        resultNumber(c, std::sqrt(x));
    });
    r.add("POWER", 2, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        const double x = number(a[0]), y = number(a[1]);
        if (x < 0 && y != std::floor(y))
            throw oraError(1428, numberToText(x));
        resultNumber(c, std::pow(x, y));
    });
    // Arithmetic that knows DATE values: date + n, n + date, date - n, date - date.
    r.add("QD_ADD", 2, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        const bool d0 = isDateValue(a[0]), d1 = isDateValue(a[1]);
        if (d0 && d1)
            throw oraError(975);
        if (d0 || d1) {
            DateTime d;
            parseIsoTimestamp(text(d0 ? a[0] : a[1]), d);
            return resultDate(c, daysToDate(dateToDays(d) + number(d0 ? a[1] : a[0])));
        }
        if (sqlite3_value_type(a[0]) == SQLITE_INTEGER
            && sqlite3_value_type(a[1]) == SQLITE_INTEGER) {
            sqlite3_int64 r = 0;
            if (!__builtin_add_overflow(sqlite3_value_int64(a[0]), sqlite3_value_int64(a[1]), &r))
                return sqlite3_result_int64(c, r);
        }
        resultNumber(c, number(a[0]) + number(a[1]));
    });
    r.add("QD_SUB", 2, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        const bool d0 = isDateValue(a[0]), d1 = isDateValue(a[1]);
        DateTime x, y;
        if (d0 && d1) {
            parseIsoTimestamp(text(a[0]), x), parseIsoTimestamp(text(a[1]), y);
            return resultNumber(c, std::round((dateToDays(x) - dateToDays(y)) * 86400.0) / 86400.0);
        }
        if (d1)
            throw oraError(932, "NUMBER got DATE");
        if (d0) {
            parseIsoTimestamp(text(a[0]), x);
            return resultDate(c, daysToDate(dateToDays(x) - number(a[1])));
        }
        if (sqlite3_value_type(a[0]) == SQLITE_INTEGER
            && sqlite3_value_type(a[1]) == SQLITE_INTEGER) {
            sqlite3_int64 r = 0;
            if (!__builtin_sub_overflow(sqlite3_value_int64(a[0]), sqlite3_value_int64(a[1]), &r))
                return sqlite3_result_int64(c, r);
        }
        resultNumber(c, number(a[0]) - number(a[1]));
    });
    r.add("QD_DIV", 2, true, [](sqlite3_context *c, int n, Args a) {
        if (anyNull(n, a))
            return sqlite3_result_null(c);
        const double y = number(a[1]);
        if (y == 0)
            throw oraError(1476);
        resultNumber(c, number(a[0]) / y);
    });
}

// What the session knows: its user, USERENV, sequences, identity columns and ROWIDs.
void registerSessionFunctions(Registrar &r)
{
    r.add("QD_USER", 0, false,
        [](sqlite3_context *c, int, Args) { resultText(c, sessionOf(c)->user); });
    r.add("QD_UID", 0, false, [](sqlite3_context *c, int, Args) {
        // A stable number per user name: the stand-in keeps no user ids.
        uint32_t h = 2166136261u;
        for (char ch : sessionOf(c)->user)
            h = (h ^ static_cast<unsigned char>(ch)) * 16777619u;
        sqlite3_result_int64(c, 100 + h % 10000);
    });
    r.add("USERENV", 1, false, [](sqlite3_context *c, int, Args a) {
        const std::string p = upperText(text(a[0]), true);
        if (p == "SESSIONID" || p == "SID")
            return sqlite3_result_int64(c, sessionOf(c)->sessionId);
        if (p == "LANGUAGE")
            return resultText(c, "AMERICAN_AMERICA.AL32UTF8");
        if (p == "LANG")
            return resultText(c, "US");
        if (p == "TERMINAL")
            return resultText(c, "unknown");
        if (p == "ISDBA")
            return resultText(c, "FALSE");
        if (p == "CLIENT_INFO" || p == "ENTRYID")
            return p == "ENTRYID" ? sqlite3_result_int(c, 0) : sqlite3_result_null(c);
        throw oraError(2003);
    });
    r.add("QD_NEXTVAL", 1, false, [](sqlite3_context *c, int, Args a) {
        if (!sessionOf(c)->nextval)
            throw oraError(2289);
        sqlite3_result_int64(c, sessionOf(c)->nextval(text(a[0])));
    });
    r.add("QD_IDENTITY", 2, false, [](sqlite3_context *c, int, Args a) {
        if (!sessionOf(c)->identityNext)
            throw oraError(2289);
        sqlite3_result_int64(c, sessionOf(c)->identityNext(text(a[0]), text(a[1])));
    });
    r.add("QD_CURRVAL", 1, false, [](sqlite3_context *c, int, Args a) {
        if (!sessionOf(c)->currval)
            throw oraError(2289);
        sqlite3_result_int64(c, sessionOf(c)->currval(text(a[0])));
    });
    r.add("QD_ROWIDTEXT", 2, false, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[1]))
            return sqlite3_result_null(c);
        if (!sessionOf(c)->rowidText)
            throw oraError(3001);
        resultText(c, sessionOf(c)->rowidText(text(a[0]), sqlite3_value_int64(a[1])));
    });
    r.add("QD_ROWIDNUM", 1, false, [](sqlite3_context *c, int, Args a) {
        if (isNull(a[0]))
            return sqlite3_result_null(c);
        const int64_t n = sessionOf(c)->rowidNumber ? sessionOf(c)->rowidNumber(text(a[0])) : -1;
        if (n < 0)
            throw oraError(1410);
        sqlite3_result_int64(c, n);
    });
}

} // namespace

void registerFunctions(sqlite3 *db, SessionContext *context)
{
    // Oracle's LIKE tells upper from lower case; SQLite's does not unless asked.
    sqlite3_exec(db, "PRAGMA case_sensitive_like = ON", nullptr, nullptr, nullptr);
    Registrar r { db, context };
    registerValueFunctions(r);
    registerCharacterFunctions(r);
    registerCaseFunctions(r);
    registerReplacingFunctions(r);
    registerConversionFunctions(r);
    registerDateFunctions(r);
    registerNumberFunctions(r);
    registerSessionFunctions(r);
    registerListAgg(db);
    registerNumberAggregates(db);
}

} // namespace qdsi::sql
