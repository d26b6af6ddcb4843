#include "TestSupport.h"
#include "ProgramBinary.h"

#include <QtGlobal>

namespace qd::test {

QString standinLibraryPath()
{
    const QString fromEnvironment = qEnvironmentVariable("QD_STANDIN_PATH");
    return fromEnvironment.isEmpty() ? QStringLiteral(QD_STANDIN_BUILD_PATH) : fromEnvironment;
}

QString programDirectory() { return qEnvironmentVariable("QD_HOME"); }

QString programBinaryPath() { return QStringLiteral(QD_PROGRAM_BUILD_PATH); }

QString testsSourceDirectory() { return QStringLiteral(QD_TESTS_SOURCE_DIR); }

} // namespace qd::test
