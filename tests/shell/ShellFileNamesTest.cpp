#include "shell/AccountList.h"
#include "shell/MRUList.h"
#include "shell/MainSettings.h"

#include "common/TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace qd;

// The shell's own files live in the program's directory ($QD_HOME in tests).
TEST(ShellFileNames, AllInTheProgramDirectory)
{
    const QDir home(test::programDirectory());
    EXPECT_EQ(mainSettingsFileName(), home.filePath("QuarloDesk.Ini"));
    EXPECT_EQ(TAccountList::defaultFileName(), home.filePath("QuarloDeskAccounts.dat"));
    EXPECT_EQ(TMRUList::recentFilesFileName(), home.filePath("MRU.dat"));
    EXPECT_EQ(TMRUList::recentLogonsFileName(), home.filePath("LogonMRU.dat"));
}
