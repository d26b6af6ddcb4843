// The directory watcher on real temporary directories.
#include "platform/DirChangeNotify.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/inotify.h>

#include <gtest/gtest.h>

using namespace qd;

namespace {

class DirWatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }

    QString makeDir(const QString &name)
    {
        const QString path = QDir(root.path()).filePath(name);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    static void touch(const QString &path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    std::unique_ptr<TDirWaitThread> watch(const QString &directories,
        TNotifyFilter filter = TNotifyFilter(nfFileNameChange | nfDirNameChange))
    {
        auto thread = std::make_unique<TDirWaitThread>(
            directories,
            [this](TDirWaitThread *, const QString &directory) { reports.append(directory); },
            filter);
        // Let the thread set its watches before the test changes anything.
        QTest::qWait(300);
        return thread;
    }

    QTemporaryDir root;
    QStringList reports;
};

} // namespace

TEST_F(DirWatchTest, AMissingDirectoryIsSkippedAndTheOthersReportThemselves)
{
    const QString first = makeDir(QStringLiteral("first"));
    const QString second = makeDir(QStringLiteral("second"));
    const QString missing = QDir(root.path()).filePath(QStringLiteral("missing"));
    auto thread = watch(missing + u';' + first + QStringLiteral(" ; ") + second);
    EXPECT_TRUE(thread->isRunning());
    touch(QDir(second).filePath(QStringLiteral("new.sql")));
    QTRY_VERIFY(!reports.isEmpty());
    QTest::qWait(200);
    EXPECT_EQ(reports.first(), second);
    EXPECT_FALSE(reports.contains(first));
}

TEST_F(DirWatchTest, AFileInASubdirectoryReportsTheWatchedDirectory)
{
    const QString top = makeDir(QStringLiteral("top"));
    const QString sub = makeDir(QStringLiteral("top/a/b"));
    auto thread = watch(top);
    touch(QDir(sub).filePath(QStringLiteral("deep.sql")));
    QTRY_VERIFY(!reports.isEmpty());
    EXPECT_EQ(reports.first(), top);
}

TEST_F(DirWatchTest, ASubdirectoryMadeAfterTheStartIsWatchedToo)
{
    const QString top = makeDir(QStringLiteral("top"));
    auto thread = watch(top, TNotifyFilter(nfFileNameChange));
    // Making a directory is no file-name change.
    makeDir(QStringLiteral("top/later"));
    QTest::qWait(500);
    EXPECT_TRUE(reports.isEmpty());
    touch(QDir(top).filePath(QStringLiteral("later/made.sql")));
    QTRY_VERIFY(!reports.isEmpty());
    EXPECT_EQ(reports.first(), top);

    // A tree made in one go, faster than the watcher can follow, still reports.
    reports.clear();
    makeDir(QStringLiteral("top/x/y"));
    touch(QDir(top).filePath(QStringLiteral("x/y/quick.sql")));
    QTRY_VERIFY(!reports.isEmpty());
    EXPECT_EQ(reports.first(), top);
}

TEST_F(DirWatchTest, TheFilterDecidesWhatCounts)
{
    const QString top = makeDir(QStringLiteral("top"));
    const QString file = QDir(top).filePath(QStringLiteral("f.sql"));
    touch(file);
    auto names = watch(top, TNotifyFilter(nfFileNameChange));
    touch(file); // written, not named
    QTest::qWait(500);
    EXPECT_TRUE(reports.isEmpty());
    names.reset();

    auto writes = watch(top, TNotifyFilter(nfWriteChange));
    touch(file);
    QTRY_VERIFY(!reports.isEmpty());

    const struct {
        quint32 mask;
        TNotifyFilter filter;
        bool matches;
    } cases[] = {
        { IN_CREATE, nfFileNameChange, true },
        { IN_CREATE | IN_ISDIR, nfFileNameChange, false },
        { IN_CREATE | IN_ISDIR, nfDirNameChange, true },
        { IN_MOVED_FROM, nfFileNameChange, true },
        { IN_DELETE, nfDirNameChange, false },
        { IN_ATTRIB, nfAttributeChange, true },
        { IN_ATTRIB, nfSecurityChange, true },
        { IN_ATTRIB, nfFileNameChange, false },
        { IN_MODIFY, nfSizeChange, true },
        { IN_CLOSE_WRITE, nfSizeChange, false },
        { IN_CLOSE_WRITE, nfWriteChange, true },
    };
    for (const auto &c : cases)
        EXPECT_EQ(TDirWaitThread::Matches(c.mask, c.filter), c.matches) << c.mask << ' ' << int(c.filter);
}

TEST_F(DirWatchTest, NothingToWatchEndsAtOnce)
{
    for (const QString &list : { QString(), QStringLiteral(" ; "),
             QDir(root.path()).filePath(QStringLiteral("nowhere")) }) {
        TDirWaitThread thread(list, nullptr, TNotifyFilter(nfFileNameChange));
        EXPECT_TRUE(thread.wait(500)) << list.toStdString();
    }
}

TEST_F(DirWatchTest, AStopEndsTheThread)
{
    const QString top = makeDir(QStringLiteral("top"));
    auto thread = watch(top);
    ASSERT_TRUE(thread->isRunning());
    thread->Terminate();
    EXPECT_TRUE(thread->wait(5000));
    // A change after the stop reports nothing.
    touch(QDir(top).filePath(QStringLiteral("after.sql")));
    QTest::qWait(300);
    EXPECT_TRUE(reports.isEmpty());
}
