#include "shell/TextTools.h"
#include "shell/FileTools.h"
#include "shell/TimeTools.h"

#include "classlib/StringList.h"
#include "oracle/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

namespace {

TEST(TextTools, FileBaseName)
{
    EXPECT_EQ(ExtractFileBaseName(QStringLiteral("/a/b.c/script.sql")), QStringLiteral("script"));
    EXPECT_EQ(ExtractFileBaseName(QStringLiteral("C:\\dir\\x.tar.gz")), QStringLiteral("x.tar"));
    EXPECT_EQ(ExtractFileBaseName(QStringLiteral("/a.b/noext")), QStringLiteral("noext"));
}

TEST(TextTools, FirstWord)
{
    EXPECT_EQ(GetFirstWord(QStringLiteral("\"my file.sql\" rest")), QStringLiteral("my file.sql"));
    EXPECT_EQ(GetFirstWord(QStringLiteral("one\ttwo")), QStringLiteral("one"));
    EXPECT_EQ(GetFirstWord(QStringLiteral("a\"b c\"d e")), QStringLiteral("ab cd"));
    EXPECT_EQ(GetFirstWord(QStringLiteral(" lead")), QString());
    EXPECT_EQ(GetFirstWord(QString()), QString());
}

TEST(TextTools, QuotedText)
{
    EXPECT_EQ(
        ExtractQuotedText(QStringLiteral("x = 'It''s' tail"), 4, u'\''), QStringLiteral("It's"));
    EXPECT_EQ(ExtractQuotedText(QStringLiteral("x =  plain text  "), 4, u'\''),
        QStringLiteral("plain text"));
    EXPECT_EQ(ExtractQuotedText(QStringLiteral("'open"), 1, u'\''), QStringLiteral("open"));
    int end = 0;
    EXPECT_EQ(ExtractQuotedText(QStringLiteral("\t'a''' b"), 1, u'\'', end), QStringLiteral("a'"));
    EXPECT_EQ(end, 6);
    EXPECT_EQ(ExtractQuotedText(QStringLiteral("abc"), 10, u'\''), QString());
}

TEST(TextTools, ReplaceAll)
{
    EXPECT_EQ(ReplaceAll(QStringLiteral("aaa"), QStringLiteral("a"), QStringLiteral("aa")),
        QStringLiteral("aaaaaa"));
    EXPECT_EQ(ReplaceAll(QStringLiteral("a\r\nb\r\n"), QStringLiteral("\r\n"), QStringLiteral(" ")),
        QStringLiteral("a b "));
    EXPECT_EQ(ReplaceAll(QStringLiteral("Abc"), QStringLiteral("a"), QStringLiteral("x")),
        QStringLiteral("Abc"));
    EXPECT_EQ(
        ReplaceAll(QStringLiteral("abc"), QString(), QStringLiteral("x")), QStringLiteral("abc"));
    EXPECT_EQ(ReplaceAll(QString(), QStringLiteral("a"), QStringLiteral("x")), QString());
}

TEST(TextTools, Padding)
{
    EXPECT_EQ(PadRight(QStringLiteral("abcdef"), 3), QStringLiteral("abc"));
    EXPECT_EQ(PadRight(QStringLiteral("ab"), 4, u'-'), QStringLiteral("ab--"));
    EXPECT_EQ(PadLeft(QStringLiteral("7"), 3), QStringLiteral("  7"));
    EXPECT_EQ(PadLeft(QStringLiteral("1234"), 2, u'0'), QStringLiteral("12"));
    EXPECT_EQ(PadRight(QStringLiteral("x"), -1), QString());
}

TEST(TextTools, Positions)
{
    EXPECT_EQ(PosFrom(QStringLiteral("b"), QStringLiteral("abcb"), 1), 2);
    EXPECT_EQ(PosFrom(QStringLiteral("b"), QStringLiteral("abcb"), 3), 4);
    EXPECT_EQ(PosFrom(QStringLiteral("b"), QStringLiteral("abcb"), 5), 0);
    EXPECT_EQ(PosFrom(QStringLiteral("b"), QStringLiteral("abcb"), 0), 2);
    EXPECT_EQ(PosFrom(QString(), QStringLiteral("abc"), 1), 0);
    EXPECT_EQ(FirstDelimiterPos(QStringLiteral(",;"), QStringLiteral("ab;c,d")), 3);
    // The last two characters are never reported.
    EXPECT_EQ(FirstDelimiterPos(QStringLiteral(","), QStringLiteral("ab,cd")), 3);
    EXPECT_EQ(FirstDelimiterPos(QStringLiteral(","), QStringLiteral("abc,d")), 0);
    EXPECT_EQ(FirstDelimiterPos(QStringLiteral(","), QStringLiteral(",")), 0);
}

TEST(TextTools, CaptionsAndMarks)
{
    EXPECT_EQ(MakeCaption(QStringLiteral("SQL"), QStringLiteral("x")), QStringLiteral("SQL - [x]"));
    EXPECT_EQ(StripCaptionDetail(QStringLiteral("SQL - [x]"), QStringLiteral("x")),
        QStringLiteral("SQL"));
    EXPECT_EQ(
        StripCaptionDetail(QStringLiteral("SQL - [x]"), QString()), QStringLiteral("SQL - [x]"));
    EXPECT_EQ(StripCaptionDetail(QStringLiteral("SQL - [y]"), QStringLiteral("x")),
        QStringLiteral("SQL - [y]"));
    EXPECT_EQ(SetBusyMark(QStringLiteral(" Run")), QStringLiteral("*Run"));
    EXPECT_EQ(ClearBusyMark(QStringLiteral("*Run")), QStringLiteral(" Run"));
    EXPECT_EQ(SetBusyMark(QString()), QString());
    TStringList lines;
    lines.Add(QStringLiteral("a"));
    lines.Add(QString());
    lines.Add(QStringLiteral("b"));
    EXPECT_EQ(JoinLines(lines), QStringLiteral("a  b"));
}

TEST(TimeTools, DifferencesAndElapsedText)
{
    EXPECT_EQ(TimeStampDiffMs(TTimeStamp { 5, 1000 }, TTimeStamp { 6, 500 }), 86399500);
    EXPECT_EQ(TimeStampDiffMs(TTimeStamp { 5, 1000 }, TTimeStamp { 5, 400 }), -600);
    EXPECT_EQ(ElapsedTimeText(3723004), QStringLiteral("1h 2m 3s 4ms"));
    EXPECT_EQ(ElapsedTimeText(500), QStringLiteral("500ms"));
    EXPECT_EQ(ElapsedTimeText(0), QStringLiteral("0ms"));
    EXPECT_EQ(ElapsedTimeText(60000), QStringLiteral("1m 0ms"));
    // Days beyond what an int of milliseconds holds.
    EXPECT_EQ(ElapsedTimeText(30LL * 86400000 + 3600000), QStringLiteral("30d 1h 0ms"));
    const QDateTime start(QDate(2026, 1, 31), QTime(23, 59, 59, 900));
    EXPECT_EQ(
        TimeStampDiffMs(DateTimeToTimeStamp(start), DateTimeToTimeStamp(start.addMSecs(250))), 250);
}

TEST(FileTools, FindOnPath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("b/sub.sql"));
    QFile file(dir.filePath(QStringLiteral("a/x.sql")));
    QDir(dir.path()).mkpath(QStringLiteral("a"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = dir.filePath(QStringLiteral("none")) + QStringLiteral(";;")
        + dir.filePath(QStringLiteral("a"));
    EXPECT_EQ(
        FindFileOnPath(path, QStringLiteral("x.sql")), dir.filePath(QStringLiteral("a/x.sql")));
    EXPECT_EQ(FindFileOnPath(path, QStringLiteral("y.sql")), QString());
    // A directory is not a file.
    EXPECT_EQ(
        FindFileOnPath(dir.filePath(QStringLiteral("b")), QStringLiteral("sub.sql")), QString());
    EXPECT_EQ(FindFileOnPath(QString(), dir.filePath(QStringLiteral("a/x.sql"))),
        dir.filePath(QStringLiteral("a/x.sql")));
    EXPECT_EQ(FindFileOnPath(path, QString()), QString());
}

TEST(FileTools, TempFileNamesDoNotRepeat)
{
    const QString first = MakeTempFileName();
    EXPECT_TRUE(first.startsWith(QDir::tempPath() + QLatin1Char('/')));
    EXPECT_TRUE(first.endsWith(QStringLiteral(".TMP")));
    QFile file(first);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString second = MakeTempFileName();
    EXPECT_NE(first, second);
    QFile::remove(first);
}

TEST(FileTools, ErrorTexts)
{
    EXPECT_EQ(FileErrorText(100), QStringLiteral("End of File."));
    EXPECT_EQ(FileErrorText(101), QStringLiteral("Disk is full."));
    EXPECT_EQ(FileErrorText(102), QStringLiteral("File variable not assigned."));
    EXPECT_EQ(FileErrorText(103), QStringLiteral("File not open."));
    EXPECT_EQ(FileErrorText(104), QStringLiteral("File not open for input."));
    EXPECT_EQ(FileErrorText(105), QStringLiteral("File not open for output."));
    EXPECT_EQ(FileErrorText(106), QStringLiteral("Error in formatted input."));
    EXPECT_EQ(FileErrorText(107), QStringLiteral("File already open."));
    EXPECT_EQ(FileErrorText(108), QStringLiteral("I/O error 108 has occurred."));
    EXPECT_EQ(FileErrorText(2), QStringLiteral("No such file or directory"));
    EXPECT_EQ(FileErrorText(-1), QStringLiteral("I/O error -1 has occurred."));
}

} // namespace
