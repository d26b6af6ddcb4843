#include "common/TestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

// The harness itself: each test process runs in its own program directory and
// can find the stand-in client library it was built with.
TEST(TestHarness, ProgramDirectoryIsPrivateAndWritable)
{
    const QString home = qd::test::programDirectory();
    ASSERT_FALSE(home.isEmpty());
    EXPECT_NE(QDir(home).canonicalPath(), QDir::home().canonicalPath());
    EXPECT_TRUE(QFileInfo(home).isWritable());
}

TEST(TestHarness, StandinLibraryIsBuilt)
{
    EXPECT_TRUE(QFileInfo::exists(qd::test::standinLibraryPath()));
}
