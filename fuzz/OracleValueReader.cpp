// Column and bind buffers as the client library fills them: BufferToVariant reads every type
// from a buffer of exactly the given size (AddressSanitizer sees any read past it), and the
// DATE and TIMESTAMP decoders give a value that encodes back to what they read whenever the
// parts are a real date and time. The first byte picks the type, the next two the length the
// library reported; the rest is the buffer.
#include "classlib/DateTimeUtils.h"
#include "classlib/Exception.h"
#include "oracle/OracleBuffers.h"
#include "oracle/OracleDate.h"

#include <QDate>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

using namespace qd; // the client library's type names

namespace {

const int types[] = { SQLT_CHR, SQLT_STR, qd::otLongPLSQLString, SQLT_AFC, SQLT_INT, SQLT_FLT,
    SQLT_LNG, SQLT_DAT, SQLT_LBI, SQLT_NTY, SQLT_REF, SQLT_CLOB, SQLT_BLOB, SQLT_RSET,
    SQLT_TIMESTAMP, SQLT_TIMESTAMP_TZ, SQLT_TIMESTAMP_LTZ, 2, 6, 23, 96, 9999 };

// What the fake client library answers for the timestamp being read.
struct {
    sb2 year;
    ub1 month, day, hour, minute, second;
    ub4 nanoseconds;
    sword dateStatus, timeStatus;
} stamp;

sword getDate(void *, OCIError *, const OCIDateTime *, sb2 *yr, ub1 *mnth, ub1 *dy)
{
    *yr = stamp.year;
    *mnth = stamp.month;
    *dy = stamp.day;
    return stamp.dateStatus;
}

sword getTime(void *, OCIError *, OCIDateTime *, ub1 *hr, ub1 *mm, ub1 *ss, ub4 *fsec)
{
    *hr = stamp.hour;
    *mm = stamp.minute;
    *ss = stamp.second;
    *fsec = stamp.nanoseconds;
    return stamp.timeStatus;
}

bool realDate(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && QDate(year, month, day).isValid();
}

void checkDate(const std::uint8_t *bytes)
{
    const double value = qd::DecodeOracleDate(bytes);
    if (!std::isfinite(value))
        __builtin_trap();
    const int year = (bytes[0] - 100) * 100 + (bytes[1] - 100);
    const bool valid = bytes[0] >= 100 && bytes[1] >= 100 && bytes[1] < 200
        && realDate(year, bytes[2], bytes[3]) && bytes[4] >= 1 && bytes[4] <= 24
        && bytes[5] >= 1 && bytes[5] <= 60 && bytes[6] >= 1 && bytes[6] <= 60;
    std::uint8_t again[qd::OracleDateSize];
    try {
        qd::EncodeOracleDate(value, again);
    } catch (const qd::EConvertError &) {
        if (valid)
            __builtin_trap(); // a real date must encode
        return;
    }
    if (valid && std::memcmp(again, bytes, qd::OracleDateSize) != 0)
        __builtin_trap();
    if (qd::DecodeOracleDate(again) != value)
        __builtin_trap();
}

void checkTimestamp(const std::uint8_t *p)
{
    std::memcpy(&stamp.year, p, 2);
    stamp.month = p[2];
    stamp.day = p[3];
    stamp.hour = p[4];
    stamp.minute = p[5];
    stamp.second = p[6];
    std::memcpy(&stamp.nanoseconds, p + 7, 4);
    stamp.dateStatus = (p[11] & 7) == 7 ? OCI_ERROR : OCI_SUCCESS;
    stamp.timeStatus = (p[11] & 0x38) == 0x38 ? OCI_INVALID_HANDLE : OCI_SUCCESS;
    qd::OracleEntryPoints oci;
    oci.OCIDateTimeGetDate = getDate;
    oci.OCIDateTimeGetTime = getTime;
    double value = 12345.0;
    const sword status = qd::TimestampToDateTime(oci, nullptr, nullptr, nullptr, value);
    if (stamp.dateStatus != OCI_SUCCESS || stamp.timeStatus != OCI_SUCCESS) {
        // A failed call is handed back and leaves the result alone.
        if (status == OCI_SUCCESS || value != 12345.0)
            __builtin_trap();
        return;
    }
    if (status != OCI_SUCCESS || !std::isfinite(value))
        __builtin_trap();
    if (realDate(stamp.year, stamp.month, stamp.day) && stamp.hour < 24 && stamp.minute < 60
        && stamp.second < 60) {
        int y, mo, d, h, mi, s, ms;
        qd::DecodeDateTime(value, y, mo, d, h, mi, s, ms);
        const int expectedMs = std::min<int>(999, int(std::lround(stamp.nanoseconds / 1e6)));
        if (y != stamp.year || mo != stamp.month || d != stamp.day || h != stamp.hour
            || mi != stamp.minute || s != stamp.second || ms != expectedMs)
            __builtin_trap();
    }
    OCIDate date {};
    date.OCIDateYYYY = stamp.year;
    date.OCIDateMM = stamp.month;
    date.OCIDateDD = stamp.day;
    date.OCIDateTime.OCITimeHH = stamp.hour;
    date.OCIDateTime.OCITimeMI = stamp.minute;
    date.OCIDateTime.OCITimeSS = stamp.second;
    if (!std::isfinite(qd::OCIDateToDateTime(date)))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    const int type = types[data[0] % (sizeof types / sizeof types[0])];
    const qint64 length = qint64(data[1]) << 8 | data[2];
    const std::size_t bytes = size - 3;
    // A buffer of exactly the reported size, so a read past it is caught.
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[bytes ? bytes : 1]);
    std::memcpy(buffer.get(), data + 3, bytes);
    const void *pointer = bytes ? buffer.get() : nullptr;

    const qd::Variant value = qd::BufferToVariant(pointer, qint64(bytes), type, length, nullptr);
    if (qd::IsStringType(type) || type == SQLT_LNG) {
        // Every byte gives at most one character, every line feed gains a carriage return.
        if (value.AsString().size() > qsizetype(2 * bytes))
            __builtin_trap();
    }
    if (type == SQLT_LBI && value.AsBytes().size() > qsizetype(bytes))
        __builtin_trap();
    if (type == SQLT_DAT && bytes >= std::size_t(qd::OracleDateSize))
        checkDate(buffer.get());
    if (bytes >= 12 && qd::IsTimestampType(type))
        checkTimestamp(buffer.get());
    return 0;
}
