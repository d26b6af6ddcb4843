// The screen buffer, the flushes of pending output and the spool file.
#include "RunnerTestSupport.h"

#include <QTemporaryDir>

using namespace qd;
using namespace qd::test;

namespace {

class ScriptRunSpool : public RunnerFixture {
protected:
    void SetUp() override
    {
        RunnerFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        CreateFreshTable(*session, QStringLiteral("rt_many"), QStringLiteral("n number"));
        RunSql(*session,
            QStringLiteral("begin for i in 1 .. 1000 loop insert into rt_many values (i); end loop; "
                           "commit; end;"));
    }
    void TearDown() override
    {
        RunSqlIgnoringErrors(*session, QStringLiteral("drop table rt_many"));
        RunnerFixture::TearDown();
    }

    QStringList spoolLines(const QString &name) const
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return { QStringLiteral("<no file>") };
        const QString text = QString::fromUtf8(file.readAll());
        // Every line ends with CR LF.
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
        EXPECT_EQ(text.count(u'\n'), text.count(QStringLiteral("\r\n")));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ScriptRunSpool, ScreenBufferKeepsTheLastLinesWhileTheSpoolFileGetsEveryLine)
{
    settings.ScreenBufferSize = 500;
    const QString spool = dir.filePath(QStringLiteral("all.lst"));
    const QStringList out = run(QStringLiteral("prompt before spooling\n"
                                               "spool ")
        + spool
        + QStringLiteral("\n"
                         "select n from rt_many order by n;\n"
                         "spool off\n"
                         "prompt after spooling"));
    ASSERT_EQ(out.size(), 500);
    EXPECT_EQ(out.last(), QString());
    EXPECT_EQ(out[out.size() - 2], QStringLiteral("after spooling"));
    const QStringList lines = spoolLines(QStringLiteral("all.lst"));
    // Heading, underline, 1000 rows, empty line, count, empty line.
    ASSERT_EQ(lines.size(), 1005);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("N ")));
    EXPECT_EQ(lines[2].trimmed(), QStringLiteral("1"));
    EXPECT_EQ(lines[1001].trimmed(), QStringLiteral("1000"));
    EXPECT_EQ(lines[1003], QStringLiteral("Query returned 1000 rows."));
    EXPECT_FALSE(lines.contains(QStringLiteral("before spooling")));
    EXPECT_FALSE(lines.contains(QStringLiteral("after spooling")));
}

TEST_F(ScriptRunSpool, OutputGrowsInStepsOfTheLineBreakSetting)
{
    settings.SpoolLineBreak = 10;
    withGrid = false;
    run(QStringLiteral("select n from rt_many where n <= 95 order by n;"));
    ASSERT_GE(host.flushSizes.size(), 2);
    // Every flush while rows arrive brings ten lines (or several tens, when the window was
    // busy); the rest comes with the statement's end.
    for (int i = 0; i + 1 < host.flushSizes.size(); ++i)
        EXPECT_EQ(host.flushSizes[i] % 10, 0) << "flush " << i << ": " << host.flushSizes[i];
    EXPECT_EQ(host.output.size(), 2 + 95 + 3);
}

TEST_F(ScriptRunSpool, ANewSpoolClosesTheLastAndTheRunsEndClosesTheOpenOne)
{
    const QString first = dir.filePath(QStringLiteral("first.lst"));
    const QString second = dir.filePath(QStringLiteral("second.lst"));
    run(QStringLiteral("spool ") + first + QStringLiteral("\nprompt one\nspool ") + second
        + QStringLiteral("\nprompt two"));
    EXPECT_EQ(spoolLines(QStringLiteral("first.lst")), QStringList({ "one", "" }));
    EXPECT_EQ(spoolLines(QStringLiteral("second.lst")), QStringList({ "two", "" }));
    // A second run truncates the file.
    host = RecordingHost();
    run(QStringLiteral("spool ") + first + QStringLiteral("\nprompt three"));
    EXPECT_EQ(spoolLines(QStringLiteral("first.lst")), QStringList({ "three", "" }));
}

TEST_F(ScriptRunSpool, ASpoolFileThatCannotBeMadeIsListedAndNothingIsSpooled)
{
    const QString bad = dir.filePath(QStringLiteral("no/such/dir/out.lst"));
    run(QStringLiteral("spool ") + bad + QStringLiteral("\nprompt still runs"));
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors[0].Text.startsWith(QStringLiteral("1:1 - Error opening spool file ")))
        << host.errors[0].Text.toStdString();
    EXPECT_EQ(host.output, QStringList({ "still runs", "" }));
    EXPECT_FALSE(host.calls.contains(QStringLiteral("ShowRunError")));
}

TEST_F(ScriptRunSpool, ClearSpoolOutEmptiesTheTextOutputOfATextRun)
{
    settings.ClearSpoolOut = true;
    run(QStringLiteral("prompt one"));
    EXPECT_TRUE(host.calls.contains(QStringLiteral("ClearTextOutput")));
    host = RecordingHost();
    settings.ClearSpoolOut = false;
    run(QStringLiteral("prompt one"));
    EXPECT_FALSE(host.calls.contains(QStringLiteral("ClearTextOutput")));
}

TEST_F(ScriptRunSpool, AFailedSpoolWriteEndsTheRunUnlessOperatingSystemErrorsAreIgnored)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_FAIL() << "/dev/full is needed to make every write fail";
    for (const bool ignore : { false, true }) {
        SCOPED_TRACE(ignore ? "ContinueOnOSError true" : "ContinueOnOSError false");
        host = RecordingHost();
        settings.ContinueOnOSError = ignore;
        run(QStringLiteral("spool /dev/full\nprompt one\nprompt two"));
        if (ignore) {
            EXPECT_TRUE(host.runError.isEmpty());
            EXPECT_EQ(host.output, QStringList({ "one", "", "two", "" }));
        } else {
            EXPECT_TRUE(host.runError.startsWith(QStringLiteral("Error writing spool file /dev/full\n")))
                << host.runError.toStdString();
            EXPECT_FALSE(host.output.contains(QStringLiteral("two")));
        }
    }
}
