// The warning byte of the older calls' areas, from the outcome of the handle-based call they
// run. Stored code created with compilation errors answers ORA-24344 with success-with-info;
// that must show as bit 0x20 once the PL/SQL layer reports it.
#include "oci/Handles.h"
#include "oci/Oci7Area.h"

#include <gtest/gtest.h>

using namespace qdsi::oci;

TEST(OlderCallsWarning, FlagsForEachWarningCode)
{
    EXPECT_EQ(warningFlags(0), 0);
    EXPECT_EQ(warningFlags(1406), WARNING_ANY | WARNING_TRUNCATED);
    EXPECT_EQ(warningFlags(24344), WARNING_ANY | WARNING_COMPILE_ERRORS);
    EXPECT_EQ(warningFlags(28002), WARNING_ANY);
    EXPECT_EQ(WARNING_COMPILE_ERRORS, 0x20);
}

TEST(OlderCallsWarning, StatusAndErrorRecordFillTheArea)
{
    ErrorHandle error;
    auto *errhp = reinterpret_cast<OCIError *>(static_cast<Handle *>(&error));
    Cda_Def area {};

    error.code = 24344;
    EXPECT_EQ(reportStatus(&area, OCI_SUCCESS_WITH_INFO, errhp), 0);
    EXPECT_EQ(area.rc, 24344);
    EXPECT_EQ(area.wrn, 0x21);

    // The next call clears the warning byte.
    error.code = 0;
    EXPECT_EQ(reportStatus(&area, OCI_SUCCESS, errhp), 0);
    EXPECT_EQ(area.rc, 0);
    EXPECT_EQ(area.wrn, 0);

    error.code = 942;
    EXPECT_EQ(reportStatus(&area, OCI_ERROR, errhp), -1);
    EXPECT_EQ(area.rc, 942);
    EXPECT_EQ(area.v2_rc, -942);
    EXPECT_EQ(reportStatus(&area, OCI_NO_DATA, errhp), -1);
    EXPECT_EQ(area.rc, 1403);
}
