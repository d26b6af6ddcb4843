#pragma once

#include "oracle/OracleCI.h"

namespace qd {

// The Oracle DATE layout: century + 100, year of century + 100, month, day, hour + 1,
// minute + 1, second + 1. Milliseconds are dropped.
inline constexpr int OracleDateSize = 7;

// Raises EConvertError for a day count outside 0001-01-01 .. 9999-12-31.
void EncodeOracleDate(double dateTime, ub1 *date);
// Never raises: a year below 1 or a date that does not exist gives the day -693594, an
// impossible time gives midnight; the time is added to a non-negative day and subtracted
// from a negative one (the day-count sign rule).
double DecodeOracleDate(const ub1 *date);

// The client library's date record (16-bit year, month, day, hour, minute, second), combined
// as DecodeOracleDate does.
double OCIDateToDateTime(const OCIDate &date);

// Descriptor kind of a timestamp type: OCI_DTYPE_TIMESTAMP_TZ for SQLT_TIMESTAMP_TZ,
// OCI_DTYPE_TIMESTAMP_LTZ for SQLT_TIMESTAMP_LTZ, OCI_DTYPE_TIMESTAMP for any other.
ub4 TimestampDescriptorKind(int type);

// Reads a timestamp descriptor into a day count through the date and time get calls;
// nanoseconds become milliseconds. A non-success status of either call is returned as it
// is (result untouched); without those entry points OCI_INVALID_HANDLE is returned.
sword TimestampToDateTime(const OracleEntryPoints &oci, void *handle, OCIError *errorHandle,
    OCIDateTime *descriptor, double &result);

} // namespace qd
