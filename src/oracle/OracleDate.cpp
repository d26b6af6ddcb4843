#include "oracle/OracleDate.h"

#include "classlib/DateTimeUtils.h"

#include <algorithm>
#include <cmath>

namespace qd {

namespace {

constexpr double InvalidDay = -693594.0;

double combine(int year, int month, int day, int hour, int minute, int second, int msec)
{
    double date = InvalidDay;
    if (year < 1 || !TryEncodeDate(year, month, day, date))
        date = InvalidDay;
    double time = 0;
    if (!TryEncodeTime(hour, minute, second, msec, time))
        time = 0;
    return date >= 0 ? date + time : date - time;
}

} // namespace

void EncodeOracleDate(double dateTime, ub1 *date)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDateTime(dateTime, year, month, day, hour, minute, second, msec);
    date[0] = static_cast<ub1>(year / 100 + 100);
    date[1] = static_cast<ub1>(year % 100 + 100);
    date[2] = static_cast<ub1>(month);
    date[3] = static_cast<ub1>(day);
    date[4] = static_cast<ub1>(hour + 1);
    date[5] = static_cast<ub1>(minute + 1);
    date[6] = static_cast<ub1>(second + 1);
}

double DecodeOracleDate(const ub1 *date)
{
    const int year = (date[0] - 100) * 100 + (date[1] - 100);
    return combine(year, date[2], date[3], date[4] - 1, date[5] - 1, date[6] - 1, 0);
}

double OCIDateToDateTime(const OCIDate &date)
{
    return combine(date.OCIDateYYYY, date.OCIDateMM, date.OCIDateDD, date.OCIDateTime.OCITimeHH,
        date.OCIDateTime.OCITimeMI, date.OCIDateTime.OCITimeSS, 0);
}

ub4 TimestampDescriptorKind(int type)
{
    switch (type) {
    case SQLT_TIMESTAMP_TZ:
        return OCI_DTYPE_TIMESTAMP_TZ;
    case SQLT_TIMESTAMP_LTZ:
        return OCI_DTYPE_TIMESTAMP_LTZ;
    default:
        return OCI_DTYPE_TIMESTAMP;
    }
}

sword TimestampToDateTime(const OracleEntryPoints &oci, void *handle, OCIError *errorHandle,
    OCIDateTime *descriptor, double &result)
{
    if (!oci.OCIDateTimeGetDate || !oci.OCIDateTimeGetTime)
        return OCI_INVALID_HANDLE;
    sb2 year = 0;
    ub1 month = 0, day = 0, hour = 0, minute = 0, second = 0;
    ub4 nanoseconds = 0;
    sword status = oci.OCIDateTimeGetDate(handle, errorHandle, descriptor, &year, &month, &day);
    if (status != OCI_SUCCESS)
        return status;
    status = oci.OCIDateTimeGetTime(
        handle, errorHandle, descriptor, &hour, &minute, &second, &nanoseconds);
    if (status != OCI_SUCCESS)
        return status;
    // Rounded to the millisecond, but never up into the next second.
    const int msec = std::min(999, static_cast<int>(std::lround(nanoseconds / 1000000.0)));
    result = combine(year, month, day, hour, minute, second, msec);
    return OCI_SUCCESS;
}

} // namespace qd
