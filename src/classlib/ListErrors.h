#pragma once

#include "classlib/Exception.h"

namespace qd {

// An index outside a list's bounds ("List index out of bounds").
class ERangeError : public Exception {
public:
    using Exception::Exception;
};

// A list operation refused (for example a limit set too high).
class EListError : public Exception {
public:
    using Exception::Exception;
};

// Memory could not be allocated; the structure that asked for it is unchanged.
class EOutOfMemory : public Exception {
public:
    EOutOfMemory()
        : Exception(QStringLiteral("Out of memory"))
    {
    }
};

} // namespace qd
