#pragma once

#include "classlib/Exception.h"

namespace qd {

// Errors of the script engine (nesting limit, a nested script not found, a malformed script
// command). They always end the run.
class EKXException : public Exception {
public:
    using Exception::Exception;
};

} // namespace qd
