// Date-time descriptors: construct, read the parts, text conversions with a format model, assign,
// and their use in binds and defines. Values are stored in the schema as text (see storedText),
// nanoseconds included, so fractions survive a round trip through a table.
#include "Export.h"
#include "engine/OraErrors.h"
#include "oci/BufferValues.h"
#include "oci/DateTimeDescriptor.h"
#include "sql/DateFormat.h"
#include "sql/Lexer.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <regex>

using namespace qdsi;
using namespace qdsi::oci;
using engine::oraFail;

namespace qdsi::oci {

Handle *newDateTime(ub4 descriptorType)
{
    return new DateTimeDescriptor(descriptorType);
}

DateTimeDescriptor *dateTimeOf(const void *pointer)
{
    for (ub4 type : { OCI_DTYPE_TIMESTAMP, OCI_DTYPE_TIMESTAMP_TZ, OCI_DTYPE_TIMESTAMP_LTZ })
        if (auto *d = handleOf<DateTimeDescriptor>(pointer, type))
            return d;
    return nullptr;
}

std::string storedText(const DateTimeDescriptor &v)
{
    char text[64];
    int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%09u", v.year, v.month,
        v.day, v.hour, v.minute, v.second, v.nanoseconds);
    if (v.type == OCI_DTYPE_TIMESTAMP_TZ) {
        const int z = v.zoneMinutes < 0 ? -v.zoneMinutes : v.zoneMinutes;
        std::snprintf(text + n, sizeof text - static_cast<size_t>(n), " %c%02d:%02d",
            v.zoneMinutes < 0 ? '-' : '+', z / 60, z % 60);
    }
    return text;
}

bool fromStoredText(const std::string &text, DateTimeDescriptor &v)
{
    static const std::regex form(
        R"(\s*(-?\d{1,4})-(\d{1,2})-(\d{1,2}))" // date
        R"((?:[ T](\d{1,2}):(\d{1,2}):(\d{1,2})(?:[.,](\d{1,9}))?)?)" // time, fraction
        R"(\s*(?:([+-])(\d{1,2}):(\d{2}))?\s*)"); // zone
    std::smatch m;
    if (!std::regex_match(text, m, form))
        return false;
    DateTimeDescriptor parsed(v.type);
    parsed.year = std::stoi(m[1]);
    parsed.month = std::stoi(m[2]);
    parsed.day = std::stoi(m[3]);
    if (m[4].matched) {
        parsed.hour = std::stoi(m[4]);
        parsed.minute = std::stoi(m[5]);
        parsed.second = std::stoi(m[6]);
    }
    if (m[7].matched) {
        std::string digits = m[7];
        digits.resize(9, '0');
        parsed.nanoseconds = static_cast<ub4>(std::stoul(digits));
    }
    if (m[8].matched)
        parsed.zoneMinutes = (std::stoi(m[9]) * 60 + std::stoi(m[10])) * (m[8] == "-" ? -1 : 1);
    if (parsed.month < 1 || parsed.month > 12 || parsed.day < 1
        || parsed.day > sql::daysInMonth(parsed.year, parsed.month) || parsed.hour > 23
        || parsed.minute > 59 || parsed.second > 59)
        return false;
    v.year = parsed.year, v.month = parsed.month, v.day = parsed.day;
    v.hour = parsed.hour, v.minute = parsed.minute, v.second = parsed.second;
    v.nanoseconds = parsed.nanoseconds;
    v.zoneMinutes = parsed.zoneMinutes;
    v.set = true;
    return true;
}

} // namespace qdsi::oci

namespace {

// Checks the parts as the server does and stores them.
void construct(DateTimeDescriptor &d, int year, int month, int day, int hour, int minute,
    int second, ub4 fraction, int zoneMinutes)
{
    if (year < -4712 || year > 9999 || year == 0)
        throw oraFail(1841);
    if (month < 1 || month > 12)
        throw oraFail(1843);
    if (day < 1 || day > sql::daysInMonth(year, month))
        throw oraFail(1847);
    if (hour < 0 || hour > 23)
        throw oraFail(1850);
    if (minute < 0 || minute > 59)
        throw oraFail(1851);
    if (second < 0 || second > 59)
        throw oraFail(1852);
    if (fraction > 999999999)
        throw oraFail(1880);
    d.year = year, d.month = month, d.day = day, d.hour = hour, d.minute = minute;
    d.second = second, d.nanoseconds = fraction;
    d.zoneMinutes = d.type == OCI_DTYPE_TIMESTAMP_TZ ? zoneMinutes : 0;
    d.set = true;
}

// "+hh:mm" / "-hh:mm"; throws ORA-01857 for anything else.
int zoneOffset(const std::string &text)
{
    static const std::regex form(R"(\s*([+-])(\d{1,2}):(\d{2})\s*)");
    std::smatch m;
    if (!std::regex_match(text, m, form) || std::stoi(m[2]) > 14 || std::stoi(m[3]) > 59)
        throw oraFail(1857);
    return (std::stoi(m[2]) * 60 + std::stoi(m[3])) * (m[1] == "-" ? -1 : 1);
}

const char *defaultModel(ub4 type)
{
    return type == OCI_DTYPE_TIMESTAMP_TZ ? "DD-MON-RR HH.MI.SSXFF AM TZR"
                                          : "DD-MON-RR HH.MI.SSXFF AM";
}

// One piece of a format model: date parts for the date formatter, or a part it does not know.
struct ModelPart {
    enum Kind { Date, Fraction, Radix, ZoneHour, ZoneMinute, ZoneRegion } kind;
    std::string text; // Date: the model text
    int digits = 0; // Fraction: FF1..FF9, 0 for plain FF
};

std::vector<ModelPart> splitModel(const std::string &model)
{
    std::vector<ModelPart> parts;
    const std::string u = sql::upperCase(model);
    std::string date;
    auto flush = [&] {
        if (!date.empty())
            parts.push_back({ ModelPart::Date, date });
        date.clear();
    };
    for (size_t i = 0; i < model.size();) {
        if (model[i] == '"') {
            const size_t end = model.find('"', i + 1);
            const size_t stop = end == std::string::npos ? model.size() : end + 1;
            date += model.substr(i, stop - i);
            i = stop;
        } else if (u.compare(i, 2, "FF") == 0) {
            flush();
            int digits = 0;
            i += 2;
            if (i < u.size() && u[i] >= '1' && u[i] <= '9')
                digits = u[i++] - '0';
            parts.push_back({ ModelPart::Fraction, {}, digits });
        } else if (u.compare(i, 3, "TZH") == 0 || u.compare(i, 3, "TZM") == 0
            || u.compare(i, 3, "TZR") == 0) {
            flush();
            const char which = u[i + 2];
            parts.push_back({ which == 'H' ? ModelPart::ZoneHour
                    : which == 'M'         ? ModelPart::ZoneMinute
                                           : ModelPart::ZoneRegion,
                {} });
            i += 3;
        } else if (u[i] == 'X') {
            flush();
            parts.push_back({ ModelPart::Radix, {} });
            ++i;
        } else {
            date += model[i++];
        }
    }
    flush();
    return parts;
}

std::string render(const DateTimeDescriptor &d, const std::string &model, int precision)
{
    sql::DateTime date;
    date.year = d.year, date.month = d.month, date.day = d.day;
    date.hour = d.hour, date.minute = d.minute, date.second = d.second;
    const int z = d.zoneMinutes < 0 ? -d.zoneMinutes : d.zoneMinutes;
    char buffer[16];
    std::string out;
    for (const ModelPart &p : splitModel(model)) {
        switch (p.kind) {
        case ModelPart::Date:
            out += sql::formatDateTime(date, p.text);
            break;
        case ModelPart::Radix:
            out += '.';
            break;
        case ModelPart::Fraction: {
            const int digits = p.digits ? p.digits : precision;
            std::snprintf(buffer, sizeof buffer, "%09u", d.nanoseconds);
            out.append(buffer, static_cast<size_t>(digits));
            break;
        }
        case ModelPart::ZoneHour:
            std::snprintf(buffer, sizeof buffer, "%c%02d", d.zoneMinutes < 0 ? '-' : '+', z / 60);
            out += buffer;
            break;
        case ModelPart::ZoneMinute:
            std::snprintf(buffer, sizeof buffer, "%02d", z % 60);
            out += buffer;
            break;
        case ModelPart::ZoneRegion:
            std::snprintf(buffer, sizeof buffer, "%c%02d:%02d", d.zoneMinutes < 0 ? '-' : '+',
                z / 60, z % 60);
            out += buffer;
            break;
        }
    }
    return out;
}

// Text in a format model. The date parts go to the date parser; the fraction is the digits
// after the seconds' radix and the zone a trailing "+hh:mm", which is how the models the
// product uses place them.
void parseText(DateTimeDescriptor &d, const std::string &text, const std::string &model)
{
    if (fromStoredText(text, d))
        return;
    std::string dateModel;
    for (const ModelPart &p : splitModel(model))
        if (p.kind == ModelPart::Date)
            dateModel += p.text;
    std::string rest = text;
    ub4 fraction = 0;
    int zone = 0;
    std::smatch m;
    static const std::regex zoneAtEnd(R"(\s*([+-]\d{1,2}:\d{2})\s*$)");
    if (std::regex_search(rest, m, zoneAtEnd)) {
        zone = zoneOffset(m[1]);
        rest = m.prefix().str() + m.suffix().str();
    }
    static const std::regex fractionAfterTime(R"((\d{1,2}[:.]\d{1,2}[:.]\d{1,2})[.,](\d{1,9}))");
    if (std::regex_search(rest, m, fractionAfterTime)) {
        std::string digits = m[2];
        digits.resize(9, '0');
        fraction = static_cast<ub4>(std::stoul(digits));
        rest = m.prefix().str() + m[1].str() + m.suffix().str();
    }
    while (!dateModel.empty() && dateModel.back() == ' ')
        dateModel.pop_back();
    // The dropped radix leaves "SS AM" in the model as "SS AM"; the text reads the same.
    const sql::DateTime date = sql::parseDateTime(rest, dateModel);
    construct(
        d, date.year, date.month, date.day, date.hour, date.minute, date.second, fraction, zone);
}

template <class F> sword dateTimeCall(OCIError *errhp, F &&body)
{
    return guarded(errhp, body);
}

} // namespace

namespace qdsi::oci {

void bindDateTime(sqlite3_stmt *st, int index, const engine::ClientBuffer &b, size_t row)
{
    const int16_t *indicator = b.indicatorAt(row);
    DateTimeDescriptor *d = b.data ? dateTimeOf(*static_cast<void **>(b.element(row))) : nullptr;
    if ((indicator && *indicator == -1) || (d && !d->set)) {
        sqlite3_bind_null(st, index);
        return;
    }
    if (!d)
        throw oraFail(1010);
    const std::string text = storedText(*d);
    sqlite3_bind_text(st, index, text.c_str(), -1, SQLITE_TRANSIENT);
}

int storeDateTime(sqlite3_value *v, const engine::ClientBuffer &b, size_t row)
{
    DateTimeDescriptor *d = b.data ? dateTimeOf(*static_cast<void **>(b.element(row))) : nullptr;
    if (!d)
        throw oraFail(1010);
    int16_t *indicator = b.indicatorAt(row);
    if (sqlite3_value_type(v) == SQLITE_NULL) {
        d->set = false;
        if (!indicator)
            return 1405;
        *indicator = -1;
        return 0;
    }
    const auto *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
    if (!t || !fromStoredText(t, *d))
        throw oraFail(1861);
    if (indicator)
        *indicator = 0;
    if (uint16_t *length = b.lengthAt(row))
        *length = sizeof(void *);
    return 0;
}

} // namespace qdsi::oci

QDSI_EXPORT sword OCIDateTimeConstruct(void *, OCIError *err, OCIDateTime *datetime, sb2 yr,
    ub1 mnth, ub1 dy, ub1 hr, ub1 mm, ub1 ss, ub4 fsec, oratext *timezone, size_t timezone_length)
{
    DateTimeDescriptor *d = dateTimeOf(datetime);
    if (!d)
        return OCI_INVALID_HANDLE;
    return dateTimeCall(err, [&] {
        int zone = 0;
        if (timezone && timezone_length > 0)
            zone = zoneOffset(
                std::string(reinterpret_cast<const char *>(timezone), timezone_length));
        construct(*d, yr, mnth, dy, hr, mm, ss, fsec, zone);
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIDateTimeGetDate(
    void *, OCIError *err, const OCIDateTime *date, sb2 *yr, ub1 *mnth, ub1 *dy)
{
    DateTimeDescriptor *d = dateTimeOf(date);
    if (!d || !yr || !mnth || !dy)
        return OCI_INVALID_HANDLE;
    return dateTimeCall(err, [&] {
        if (!d->set)
            throw oraFail(1010);
        *yr = static_cast<sb2>(d->year);
        *mnth = static_cast<ub1>(d->month);
        *dy = static_cast<ub1>(d->day);
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIDateTimeGetTime(
    void *, OCIError *err, OCIDateTime *datetime, ub1 *hr, ub1 *mm, ub1 *ss, ub4 *fsec)
{
    DateTimeDescriptor *d = dateTimeOf(datetime);
    if (!d || !hr || !mm || !ss || !fsec)
        return OCI_INVALID_HANDLE;
    return dateTimeCall(err, [&] {
        if (!d->set)
            throw oraFail(1010);
        *hr = static_cast<ub1>(d->hour);
        *mm = static_cast<ub1>(d->minute);
        *ss = static_cast<ub1>(d->second);
        *fsec = d->nanoseconds;
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIDateTimeToText(void *, OCIError *err, const OCIDateTime *date,
    const oratext *fmt, ub1 fmt_length, ub1 fsprec, const oratext *, size_t, ub4 *buf_size,
    oratext *buf)
{
    DateTimeDescriptor *d = dateTimeOf(date);
    if (!d || !buf_size || !buf)
        return OCI_INVALID_HANDLE;
    return dateTimeCall(err, [&] {
        if (!d->set)
            throw oraFail(1010);
        const std::string model = fmt && fmt_length > 0
            ? std::string(reinterpret_cast<const char *>(fmt), fmt_length)
            : std::string(defaultModel(d->type));
        const std::string text = render(*d, model, fsprec > 9 ? 9 : fsprec);
        if (text.size() >= *buf_size)
            throw oraFail(1877);
        std::memcpy(buf, text.c_str(), text.size() + 1);
        *buf_size = static_cast<ub4>(text.size());
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIDateTimeFromText(void *, OCIError *err, const oratext *date_str,
    size_t dstr_length, const oratext *fmt, ub1 fmt_length, const oratext *, size_t,
    OCIDateTime *datetime)
{
    DateTimeDescriptor *d = dateTimeOf(datetime);
    if (!d || !date_str)
        return OCI_INVALID_HANDLE;
    return dateTimeCall(err, [&] {
        const std::string model = fmt && fmt_length > 0
            ? std::string(reinterpret_cast<const char *>(fmt), fmt_length)
            : std::string(defaultModel(d->type));
        parseText(*d, std::string(reinterpret_cast<const char *>(date_str), dstr_length), model);
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIDateTimeAssign(void *, OCIError *err, const OCIDateTime *from, OCIDateTime *to)
{
    DateTimeDescriptor *source = dateTimeOf(from);
    DateTimeDescriptor *target = dateTimeOf(to);
    if (!source || !target)
        return OCI_INVALID_HANDLE;
    return dateTimeCall(err, [&] {
        if (!source->set)
            throw oraFail(1010);
        const ub4 type = target->type;
        target->set = true;
        target->year = source->year, target->month = source->month, target->day = source->day;
        target->hour = source->hour, target->minute = source->minute;
        target->second = source->second, target->nanoseconds = source->nanoseconds;
        target->zoneMinutes = type == OCI_DTYPE_TIMESTAMP_TZ ? source->zoneMinutes : 0;
        return OCI_SUCCESS;
    });
}
