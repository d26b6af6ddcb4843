#pragma once

#include <QString>

namespace qd::test {

// Path of the stand-in client library built beside the tests (QD_STANDIN_PATH).
QString standinLibraryPath();

// The program directory every test gets to itself (QD_HOME, a fresh temporary directory).
QString programDirectory();

// The tests' source folder (tests/), where golden files and data live.
QString testsSourceDirectory();

} // namespace qd::test
