#pragma once

// A trivial double of the client library for the loader tests: it exports the entry-point
// names of the groups chosen at compile time (QD_FAKE_<group> = 1) with their published
// signatures. Every call is recorded; the generic entry points fail with OCI_ERROR, the
// few the loader itself calls (environment creation and initialisation) succeed.

#include "oracle/OracleCI.h"

#include <type_traits>

#define QD_FAKE_EXPORT extern "C" __attribute__((visibility("default")))

void qdFakeRecord(const char *call);

template <typename Result> Result qdFakeFailure()
{
    if constexpr (std::is_void_v<Result>)
        return;
    else if constexpr (std::is_pointer_v<Result>)
        return nullptr;
    else if constexpr (std::is_signed_v<Result>)
        return Result(qd::OCI_ERROR);
    else
        return Result(0);
}
