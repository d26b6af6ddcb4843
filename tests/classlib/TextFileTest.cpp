#include "classlib/TextFile.h"

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
