#include "classlib/TextFile.h"

#include "classlib/Exception.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

// What the text stores read: UTF-8 without its byte-order mark, else every byte as Latin-1, so a
// rewrite loses nothing.
TEST(TextFile, DecodesUtf8OrKeepsEveryByteAsLatin1)
{
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        { "plain", QStringLiteral("plain") },
        { "Gr\xc3\xbc\xc3\x9f" "e", QStringLiteral("Grüße") },
        { "\xef\xbb\xbfkey=value", QStringLiteral("key=value") },
        { "Stra\xdf" "e", QStringLiteral("Straße") },
        // A file that ends in what would start a UTF-8 sequence: Latin-1, the last byte kept.
        { "Caf\xe9", QStringLiteral("Café") },
        { "\r\xd5", QStringLiteral("\rÕ") },
        { "ok \xc3\xa9 then cut \xe2\x82", QString::fromLatin1("ok \xc3\xa9 then cut \xe2\x82") },
        { QByteArray(), QString() },
    };
    for (const auto &c : cases) {
        EXPECT_EQ(DecodeText(c.bytes), c.text) << c.bytes.toHex().constData();
    }
}

// Small text files read as lines: either line end, no empty last line, nothing for a missing
// file; a folder or a file past the limit is refused, not cut.
TEST(TextFile, ReadsSmallTextLinesOrRefuses)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const char *name, const QByteArray &bytes) {
        QFile file(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    EXPECT_EQ(ReadSmallTextLines(write("mixed", "a\r\nb\n\nc\n"), 100),
        (QStringList { "a", "b", "", "c" }));
    EXPECT_EQ(ReadSmallTextLines(write("utf8", "Gr\xc3\xbc\xc3\x9f" "e"), 100),
        QStringList { QStringLiteral("Grüße") });
    EXPECT_EQ(ReadSmallTextLines(write("limit", QByteArray(10, 'x')), 10).size(), 1);
    EXPECT_TRUE(ReadSmallTextLines(dir.filePath(QStringLiteral("missing")), 100).isEmpty());
    EXPECT_TRUE(ReadSmallTextLines(QString(), 100).isEmpty());
    EXPECT_THROW(ReadSmallTextLines(write("big", QByteArray(11, 'x')), 10), Exception);
    EXPECT_THROW(ReadSmallTextLines(dir.path(), 100), Exception);
}
