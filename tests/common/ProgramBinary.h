#pragma once

#include <QString>

namespace qd::test {

// The built program (quarlodesk), for tests that start it as a process of its own.
QString programBinaryPath();

} // namespace qd::test
