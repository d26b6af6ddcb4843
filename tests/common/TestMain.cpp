// Shared main for every test executable: one QApplication (offscreen platform, set
// by ctest) and a fresh program directory so no test touches the user's files.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("QD_HOME", home.path().toLocal8Bit());

    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
