#pragma once

// Oracle DATE values inside the stand-in: ISO text "YYYY-MM-DD HH24:MI:SS", the calendar
// arithmetic Oracle's date functions need, and the date format models of to_char/to_date.

#include <cstdint>
#include <string>
#include <string_view>

namespace qdsi::sql {

struct DateTime {
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int nanosecond = 0; // TIMESTAMP values only
};

// Accepts "YYYY-MM-DD HH24:MI:SS" and "YYYY-MM-DD" exactly (what the stand-in stores).
bool parseIsoDate(std::string_view text, DateTime &out);
std::string isoText(const DateTime &date);
// TIMESTAMP values: "YYYY-MM-DD HH24:MI:SS.FFFFFFFFF" (what the stand-in stores for them).
// parseIsoTimestamp also takes a DATE's text (no fraction); `fraction` tells which it was.
bool parseIsoTimestamp(std::string_view text, DateTime &out, bool *fraction = nullptr);
std::string timestampText(const DateTime &date);
DateTime currentDateTime();

int daysInMonth(int year, int month);
// Days (with the time as a fraction) since 1970-01-01 and back, to the nearest second.
double dateToDays(const DateTime &date);
DateTime daysToDate(double days);

DateTime addMonths(const DateTime &date, int64_t months);
double monthsBetween(const DateTime &a, const DateTime &b);
// trunc/round of a date to a format unit ('DD' when empty); throws ORA-01821 for an unknown unit.
DateTime truncDate(const DateTime &date, std::string_view unit);
DateTime roundDate(const DateTime &date, std::string_view unit);

// The fraction elements (FF, FF1..FF9) belong to TIMESTAMP values: with `fractions` false they
// are ORA-01821, as for a DATE. X is the radix character.
std::string formatDateTime(const DateTime &date, std::string_view model, bool fractions = false);
DateTime parseDateTime(std::string_view text, std::string_view model, bool fractions = false);

} // namespace qdsi::sql
