#pragma once

// How the older cursor calls report a call's outcome in a logon or cursor data area.

#include "oci/OciTypes.h"

namespace qdsi::oci {

// Warning flags of the older interface.
constexpr ub1 WARNING_ANY = 0x01; // some warning is set
constexpr ub1 WARNING_TRUNCATED = 0x02; // a fetched value was cut to fit its buffer
constexpr ub1 WARNING_COMPILE_ERRORS = 0x20; // stored code was created with compilation errors

// The warning byte for a call that succeeded with the given warning code (0: none). A create of
// stored code that compiles with errors answers ORA-24344 with OCI_SUCCESS_WITH_INFO in the
// handle-based calls; the older calls show it as this bit.
ub1 warningFlags(int code);

// Writes the outcome of a handle-based call (its status and the error handle's code) into the
// area: return code, version 2 return code and warning byte. Returns 0 for success (also with
// a warning) and -1 otherwise, as the older calls do.
sword reportStatus(Cda_Def *area, sword status, OCIError *errhp);
// Writes an ORA code into the area; returns -1 (0 for code 0).
sword reportCode(Cda_Def *area, int code);

} // namespace qdsi::oci
