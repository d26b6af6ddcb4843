#include "sql/DateFormat.h"

#include "sql/Dialect.h"
#include "sql/Lexer.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace qdsi::sql {

namespace {

constexpr const char *kMonths[] = { "JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY",
    "AUGUST", "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER" };
constexpr const char *kDays[]
    = { "SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY" };

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int &year, int &month, int &day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

int64_t dayNumber(const DateTime &d)
{
    return daysFromCivil(d.year, d.month, d.day);
}

// A format model split into elements; `raw` keeps the element as written (for its case).
struct Element {
    std::string code; // upper-case element name, or empty for literal text
    std::string raw;
};

std::vector<Element> splitModel(std::string_view model)
{
    static constexpr std::string_view codes[] = { "SYYYY", "YYYY", "YYY", "YY", "Y", "RRRR", "RR",
        "MONTH", "MON", "MM", "MI", "DDD", "DD", "DAY", "DY", "D", "HH24", "HH12", "HH", "SSSSS",
        "SS", "A.M.", "P.M.", "AM", "PM", "Q", "J", "FM", "FX", "FF1", "FF2", "FF3", "FF4", "FF5",
        "FF6", "FF7", "FF8", "FF9", "FF", "X" };
    std::vector<Element> out;
    size_t i = 0;
    while (i < model.size()) {
        const char c = model[i];
        if (c == '"') {
            const size_t close = model.find('"', i + 1);
            if (close == std::string_view::npos)
                throw oraError(1821);
            out.push_back({ "", std::string(model.substr(i + 1, close - i - 1)) });
            i = close + 1;
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            if (!std::ispunct(static_cast<unsigned char>(c)) && c != ' ')
                throw oraError(1821);
            out.push_back({ "", std::string(1, c) });
            ++i;
            continue;
        }
        const std::string rest = upperCase(model.substr(i, 5));
        bool found = false;
        for (std::string_view code : codes) {
            if (rest.compare(0, code.size(), code) == 0) {
                out.push_back({ std::string(code), std::string(model.substr(i, code.size())) });
                i += code.size();
                found = true;
                break;
            }
        }
        if (!found)
            throw oraError(1821);
    }
    return out;
}

// Month and day names follow the case of the element: MON → JAN, Mon → Jan, mon → jan.
std::string cased(std::string_view name, std::string_view raw)
{
    std::string out(name);
    const bool firstUpper = !raw.empty() && std::isupper(static_cast<unsigned char>(raw[0]));
    const bool secondUpper = raw.size() > 1 && std::isupper(static_cast<unsigned char>(raw[1]));
    for (size_t i = 0; i < out.size(); ++i) {
        const bool up = i == 0 ? firstUpper : (firstUpper && secondUpper);
        out[i] = static_cast<char>(up ? std::toupper(static_cast<unsigned char>(out[i]))
                                      : std::tolower(static_cast<unsigned char>(out[i])));
    }
    return out;
}

std::string number(int64_t value, int width, bool fill)
{
    char buf[32];
    if (fill)
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
    else
        std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(value));
    return buf;
}

std::string padded(std::string s, bool fill)
{
    if (!fill)
        s.resize(std::max<size_t>(s.size(), 9), ' ');
    return s;
}

int dayOfWeek(const DateTime &d) // 0 = Sunday
{
    const int64_t n = dayNumber(d);
    return static_cast<int>(((n + 4) % 7 + 7) % 7);
}

int currentRrCentury(int yy)
{
    const int year = currentDateTime().year;
    const int century = year / 100 * 100;
    const int last = year % 100;
    if (last < 50)
        return yy < 50 ? century + yy : century - 100 + yy;
    return yy < 50 ? century + 100 + yy : century + yy;
}

} // namespace

bool parseIsoDate(std::string_view t, DateTime &out)
{
    auto digits = [&](size_t at, size_t count, int &value) {
        value = 0;
        for (size_t i = at; i < at + count; ++i) {
            if (i >= t.size() || !std::isdigit(static_cast<unsigned char>(t[i])))
                return false;
            value = value * 10 + (t[i] - '0');
        }
        return true;
    };
    if (t.size() != 19 && t.size() != 10)
        return false;
    DateTime d;
    if (!digits(0, 4, d.year) || t[4] != '-' || !digits(5, 2, d.month) || t[7] != '-'
        || !digits(8, 2, d.day))
        return false;
    if (t.size() == 19
        && (t[10] != ' ' || !digits(11, 2, d.hour) || t[13] != ':' || !digits(14, 2, d.minute)
            || t[16] != ':' || !digits(17, 2, d.second)))
        return false;
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > daysInMonth(d.year, d.month)
        || d.hour > 23 || d.minute > 59 || d.second > 59)
        return false;
    out = d;
    return true;
}

bool parseIsoTimestamp(std::string_view t, DateTime &out, bool *fraction)
{
    if (fraction)
        *fraction = false;
    if (t.size() <= 20 || t[19] != '.')
        return parseIsoDate(t, out);
    if (t.size() > 29 || !parseIsoDate(t.substr(0, 19), out))
        return false;
    int nanos = 0;
    for (size_t i = 20; i < 29; ++i) {
        const bool digit = i < t.size();
        if (digit && !std::isdigit(static_cast<unsigned char>(t[i])))
            return false;
        nanos = nanos * 10 + (digit ? t[i] - '0' : 0);
    }
    out.nanosecond = nanos;
    if (fraction)
        *fraction = true;
    return true;
}

std::string timestampText(const DateTime &d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%09d", d.year, d.month, d.day,
        d.hour, d.minute, d.second, d.nanosecond);
    return buf;
}

std::string isoText(const DateTime &d)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
        d.minute, d.second);
    return buf;
}

DateTime currentDateTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    localtime_r(&now, &tm);
    return { tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec };
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return days[(month - 1) % 12];
}

double dateToDays(const DateTime &d)
{
    return static_cast<double>(dayNumber(d)) + (d.hour * 3600 + d.minute * 60 + d.second) / 86400.0;
}

DateTime daysToDate(double days)
{
    const double limit = 4.0e6; // beyond year 9999 either way: clamp instead of overflowing
    days = std::isnan(days) ? 0 : std::fmax(-limit, std::fmin(limit, days));
    int64_t seconds = std::llround(days * 86400.0);
    int64_t whole = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    int64_t rest = seconds - whole * 86400;
    DateTime d;
    civilFromDays(whole, d.year, d.month, d.day);
    d.hour = static_cast<int>(rest / 3600);
    d.minute = static_cast<int>(rest / 60 % 60);
    d.second = static_cast<int>(rest % 60);
    return d;
}

DateTime addMonths(const DateTime &date, int64_t months)
{
    months = std::max<int64_t>(-200000, std::min<int64_t>(200000, months));
    int64_t index = static_cast<int64_t>(date.year) * 12 + (date.month - 1) + months;
    DateTime d = date;
    d.year = static_cast<int>(index >= 0 ? index / 12 : -((-index + 11) / 12));
    d.month = static_cast<int>(index - static_cast<int64_t>(d.year) * 12) + 1;
    const bool lastDay = date.day == daysInMonth(date.year, date.month);
    const int dim = daysInMonth(d.year, d.month);
    d.day = lastDay ? dim : std::min(date.day, dim);
    return d;
}

double monthsBetween(const DateTime &a, const DateTime &b)
{
    const double months = (a.year - b.year) * 12.0 + (a.month - b.month);
    const bool aLast = a.day == daysInMonth(a.year, a.month);
    const bool bLast = b.day == daysInMonth(b.year, b.month);
    if (a.day == b.day || (aLast && bLast))
        return months;
    const double secondsA = a.hour * 3600 + a.minute * 60 + a.second;
    const double secondsB = b.hour * 3600 + b.minute * 60 + b.second;
    return months + ((a.day - b.day) + (secondsA - secondsB) / 86400.0) / 31.0;
}

DateTime truncDate(const DateTime &date, std::string_view unitText)
{
    const std::string unit = upperCase(unitText);
    DateTime d = date;
    d.hour = d.minute = d.second = 0;
    if (unit.empty() || unit == "DD" || unit == "DDD" || unit == "J")
        return d;
    if (unit == "MM" || unit == "MON" || unit == "MONTH" || unit == "RM") {
        d.day = 1;
        return d;
    }
    if (unit == "YYYY" || unit == "YYY" || unit == "YY" || unit == "Y" || unit == "YEAR"
        || unit == "SYYYY" || unit == "SYEAR" || unit == "RR" || unit == "RRRR") {
        d.day = 1, d.month = 1;
        return d;
    }
    if (unit == "Q") {
        d.day = 1, d.month = (d.month - 1) / 3 * 3 + 1;
        return d;
    }
    if (unit == "HH" || unit == "HH12" || unit == "HH24") {
        d.hour = date.hour;
        return d;
    }
    if (unit == "MI") {
        d.hour = date.hour, d.minute = date.minute;
        return d;
    }
    if (unit == "D" || unit == "DY" || unit == "DAY")
        return daysToDate(dateToDays(d) - dayOfWeek(d));
    throw oraError(1821);
}

DateTime roundDate(const DateTime &date, std::string_view unitText)
{
    const std::string unit = upperCase(unitText);
    const DateTime low = truncDate(date, unit);
    DateTime high = low;
    bool up = false;
    if (unit.empty() || unit == "DD" || unit == "DDD" || unit == "J") {
        high = daysToDate(dateToDays(low) + 1);
        up = date.hour >= 12;
    } else if (unit == "MM" || unit == "MON" || unit == "MONTH" || unit == "RM") {
        high = addMonths(low, 1);
        up = date.day >= 16;
    } else if (unit == "Q") {
        high = addMonths(low, 3);
        up = date.month - low.month > 1 || (date.month - low.month == 1 && date.day >= 16);
    } else if (unit == "HH" || unit == "HH12" || unit == "HH24") {
        high = daysToDate(dateToDays(low) + 1.0 / 24);
        up = date.minute >= 30;
    } else if (unit == "MI") {
        high = daysToDate(dateToDays(low) + 1.0 / 1440);
        up = date.second >= 30;
    } else if (unit == "D" || unit == "DY" || unit == "DAY") {
        high = daysToDate(dateToDays(low) + 7);
        up = dateToDays(date) - dateToDays(low) >= 3.5;
    } else { // years
        high = addMonths(low, 12);
        up = date.month >= 7;
    }
    return up ? high : low;
}

std::string formatDateTime(const DateTime &d, std::string_view model, bool fractions)
{
    std::string out;
    bool fill = false; // FM: no padding, no leading zeros
    const int hour12 = d.hour % 12 == 0 ? 12 : d.hour % 12;
    for (const Element &e : splitModel(model)) {
        const std::string &c = e.code;
        if (c.empty())
            out += e.raw;
        else if (c == "FM")
            fill = !fill;
        else if (c == "FX")
            continue;
        else if (c == "YYYY" || c == "RRRR" || c == "SYYYY")
            out += number(d.year, 4, fill);
        else if (c == "YYY")
            out += number(d.year % 1000, 3, fill);
        else if (c == "YY" || c == "RR")
            out += number(d.year % 100, 2, fill);
        else if (c == "Y")
            out += number(d.year % 10, 1, fill);
        else if (c == "MM")
            out += number(d.month, 2, fill);
        else if (c == "MON")
            out += cased(std::string_view(kMonths[d.month - 1]).substr(0, 3), e.raw);
        else if (c == "MONTH")
            out += padded(cased(kMonths[d.month - 1], e.raw), fill);
        else if (c == "DD")
            out += number(d.day, 2, fill);
        else if (c == "DDD")
            out += number(dayNumber(d) - daysFromCivil(d.year, 1, 1) + 1, 3, fill);
        else if (c == "D")
            out += number(dayOfWeek(d) + 1, 1, fill);
        else if (c == "DY")
            out += cased(std::string_view(kDays[dayOfWeek(d)]).substr(0, 3), e.raw);
        else if (c == "DAY")
            out += padded(cased(kDays[dayOfWeek(d)], e.raw), fill);
        else if (c == "HH" || c == "HH12")
            out += number(hour12, 2, fill);
        else if (c == "HH24")
            out += number(d.hour, 2, fill);
        else if (c == "MI")
            out += number(d.minute, 2, fill);
        else if (c == "SS")
            out += number(d.second, 2, fill);
        else if (c == "SSSSS")
            out += number(d.hour * 3600 + d.minute * 60 + d.second, 5, fill);
        else if (c == "AM" || c == "PM")
            out += cased(d.hour < 12 ? "AM" : "PM", e.raw);
        else if (c == "A.M." || c == "P.M.")
            out += cased(d.hour < 12 ? "A.M." : "P.M.", e.raw);
        else if (c == "Q")
            out += number((d.month - 1) / 3 + 1, 1, fill);
        else if (c == "J")
            out += number(dayNumber(d) + 2440588, 7, fill);
        else if (c == "X")
            out += '.';
        else if (c.rfind("FF", 0) == 0) {
            if (!fractions)
                throw oraError(1821);
            const std::string digits = number(d.nanosecond, 9, false);
            out += digits.substr(0, c.size() == 3 ? static_cast<size_t>(c[2] - '0') : 9);
        }
    }
    return out;
}

namespace {

// Reads a date text element by element of its format model. Elements set the fields they name;
// the hour of a 12-hour clock, the meridian, a Julian day and a day of the year are kept aside
// and resolved once the whole text is read.
class DateTextReader {
public:
    DateTextReader(std::string_view text, bool fractions)
        : m_text(text)
        , m_fractions(fractions)
        , m_now(currentDateTime())
    {
        m_date.year = m_now.year, m_date.month = m_now.month, m_date.day = 1;
    }

    // False once the text is used up: the elements it stops short of keep their defaults.
    bool read(const Element &e)
    {
        if (atEnd())
            return false;
        const std::string &c = e.code;
        if (c.empty())
            readLiteral(e.raw);
        else if (!readYear(c) && !readMonthOrDay(c) && !readTime(c))
            readOther(c);
        return true;
    }

    DateTime finish();

private:
    bool atEnd() const { return m_pos >= m_text.size(); }

    void skipSpaces()
    {
        while (!atEnd() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
    }

    // Up to maxDigits digits after blanks; `count` receives how many there were.
    int64_t readNumber(size_t maxDigits, size_t *count = nullptr)
    {
        skipSpaces();
        if (atEnd())
            throw oraError(1840);
        size_t n = 0;
        int64_t value = 0;
        while (
            n < maxDigits && !atEnd() && std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
            value = value * 10 + (m_text[m_pos] - '0');
            ++m_pos, ++n;
        }
        if (n == 0)
            throw oraError(1858);
        if (count)
            *count = n;
        return value;
    }

    // A number of up to maxDigits digits between low and high, else ORA-`error`.
    int readRanged(size_t maxDigits, int64_t low, int64_t high, int error)
    {
        const int64_t v = readNumber(maxDigits);
        if (v < low || v > high)
            throw oraError(error);
        return static_cast<int>(v);
    }

    bool matchWord(std::string_view word)
    {
        const std::string have = upperCase(m_text.substr(m_pos, word.size()));
        if (have != word)
            return false;
        m_pos += word.size();
        return true;
    }

    void readLiteral(const std::string &raw)
    {
        const bool punctuation = raw.size() == 1
            && (std::ispunct(static_cast<unsigned char>(raw[0])) || raw[0] == ' ');
        if (!punctuation) {
            if (!matchWord(upperCase(raw)))
                throw oraError(1861);
            return;
        }
        // Any run of punctuation and blanks in the text matches model punctuation.
        while (!atEnd()
            && (std::ispunct(static_cast<unsigned char>(m_text[m_pos]))
                || std::isspace(static_cast<unsigned char>(m_text[m_pos]))))
            ++m_pos;
    }

    bool readYear(const std::string &c)
    {
        if (c == "YYYY" || c == "SYYYY") {
            m_date.year = static_cast<int>(readNumber(4));
        } else if (c == "RRRR" || c == "RR") {
            size_t n = 0;
            const int v = static_cast<int>(readNumber(4, &n));
            m_date.year = n <= 2 ? currentRrCentury(v) : v;
        } else if (c == "YYY") {
            m_date.year = m_now.year / 1000 * 1000 + static_cast<int>(readNumber(3));
        } else if (c == "YY") {
            m_date.year = m_now.year / 100 * 100 + static_cast<int>(readNumber(2));
        } else if (c == "Y") {
            m_date.year = m_now.year / 10 * 10 + static_cast<int>(readNumber(1));
        } else {
            return false;
        }
        return true;
    }

    bool readMonthOrDay(const std::string &c)
    {
        if (c == "MM") {
            m_date.month = readRanged(2, 1, 12, 1843);
        } else if (c == "MON" || c == "MONTH") {
            m_date.month = readMonthName();
        } else if (c == "DD") {
            m_date.day = readRanged(2, 1, 31, 1847);
        } else if (c == "DDD") {
            // A day of the year, kept negative until the year is known.
            m_date.month = 1, m_date.day = -readRanged(3, 1, 366, 1847);
        } else if (c == "D") {
            readRanged(1, 1, 7, 1846);
        } else if (c == "DY" || c == "DAY") {
            skipSpaces();
            bool found = false;
            for (int k = 0; k < 7 && !found; ++k)
                found = matchWord(kDays[k]) || matchWord(std::string_view(kDays[k]).substr(0, 3));
            if (!found)
                throw oraError(1846);
        } else {
            return false;
        }
        return true;
    }

    // A month's full name, else its first three letters; 1 to 12.
    int readMonthName()
    {
        skipSpaces();
        for (int m = 0; m < 12; ++m)
            if (matchWord(kMonths[m]))
                return m + 1;
        for (int m = 0; m < 12; ++m)
            if (matchWord(std::string_view(kMonths[m]).substr(0, 3)))
                return m + 1;
        throw oraError(1843);
    }

    bool readTime(const std::string &c)
    {
        if (c == "HH" || c == "HH12") {
            m_hour12 = readRanged(2, 1, 12, 1849);
        } else if (c == "HH24") {
            m_date.hour = readRanged(2, 0, 23, 1850);
        } else if (c == "MI") {
            m_date.minute = readRanged(2, 0, 59, 1851);
        } else if (c == "SS") {
            m_date.second = readRanged(2, 0, 59, 1852);
        } else if (c == "SSSSS") {
            const int v = readRanged(5, 0, 86399, 1852);
            m_date.hour = v / 3600, m_date.minute = v / 60 % 60, m_date.second = v % 60;
        } else if (c == "AM" || c == "PM" || c == "A.M." || c == "P.M.") {
            skipSpaces();
            if (matchWord("A.M.") || matchWord("AM"))
                m_meridian = 0;
            else if (matchWord("P.M.") || matchWord("PM"))
                m_meridian = 1;
            else
                throw oraError(1855);
        } else if (c.rfind("FF", 0) == 0) {
            if (!m_fractions)
                throw oraError(1821);
            size_t n = 0;
            const size_t most = c.size() == 3 ? static_cast<size_t>(c[2] - '0') : 9;
            int64_t v = readNumber(most, &n);
            for (; n < 9; ++n)
                v *= 10;
            m_date.nanosecond = static_cast<int>(v);
        } else {
            return false;
        }
        return true;
    }

    void readOther(const std::string &c)
    {
        if (c == "Q") {
            readNumber(1);
        } else if (c == "J") {
            m_julian = readNumber(7);
        } else if (c == "X") {
            if (m_text[m_pos] != '.' && m_text[m_pos] != ',')
                throw oraError(1861);
            ++m_pos;
        }
        // FM and FX change nothing in reading.
    }

    std::string_view m_text;
    bool m_fractions;
    DateTime m_now;
    DateTime m_date;
    size_t m_pos = 0;
    int m_hour12 = -1;
    int m_meridian = -1; // 0 AM, 1 PM
    int64_t m_julian = -1;
};

DateTime DateTextReader::finish()
{
    skipSpaces();
    if (!atEnd())
        throw oraError(1830);
    DateTime &d = m_date;
    if (d.year < 1 || d.year > 9999)
        throw oraError(1841);
    if (m_hour12 >= 0)
        d.hour = m_hour12 % 12 + (m_meridian == 1 ? 12 : 0);
    if (m_julian >= 0) {
        const DateTime j = daysToDate(static_cast<double>(m_julian - 2440588));
        d.year = j.year, d.month = j.month, d.day = j.day;
    } else if (d.day < 0) {
        const int yearDays = daysInMonth(d.year, 2) == 29 ? 366 : 365;
        if (-d.day > yearDays)
            throw oraError(1847);
        const DateTime j = daysToDate(static_cast<double>(daysFromCivil(d.year, 1, 1) - d.day - 1));
        d.month = j.month, d.day = j.day;
    }
    if (d.day > daysInMonth(d.year, d.month))
        throw oraError(1847);
    return d;
}

} // namespace

DateTime parseDateTime(std::string_view text, std::string_view model, bool fractions)
{
    DateTextReader reader(text, fractions);
    for (const Element &e : splitModel(model))
        if (!reader.read(e))
            break;
    return reader.finish();
}

std::string formatDate(std::string_view isoDate, std::string_view formatModel)
{
    DateTime d;
    if (!parseIsoDate(isoDate, d))
        throw oraError(1861);
    return formatDateTime(d, formatModel);
}

std::string parseDate(std::string_view text, std::string_view formatModel)
{
    return isoText(parseDateTime(text, formatModel));
}

} // namespace qdsi::sql
