// Shared main for every test executable: one QApplication (offscreen platform, set
// by ctest) and a fresh program directory so no test touches the user's files.
#include <QApplication>
#include <QDir>
#include <QFile>
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
    // The desktop's own places (associations, the single-instance socket) stay out of the
    // user's too.
    QTemporaryDir desktop;
    if (!desktop.isValid())
        return 2;
    for (const char *name : { "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR" }) {
        const QString path = desktop.path() + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        if (!QDir().mkpath(path))
            return 2;
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv(name, path.toLocal8Bit());
    }

    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
