#include "shell/Encrypt.h"
#include "classlib/Exception.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qd;

// Cipher texts worked out independently: the key is a zero byte and the first 31 bytes of the
// padded pass phrase, the IV 5A93C1E0B7264D8F, 8-bit feedback.
TEST(Encrypt, KnownCipherTexts)
{
    const struct {
        const char *text, *pass;
        bool caseSensitive, prefix;
        const char *cipher;
    } cases[] = {
        { "Hello, world", "Secret", false, false, "E49F52DA9048F3ACCC18DBCC" },
        { "Hello, world", "Secret", false, true,
            "FFACB9A4C33984A8362444C25DCCA09D1513C41D51AFF332DFDD8BCC59E64696C56D501D0C5C5E9D"
            "7245A8ED" },
        { "scott", "Tiger", true, false, "3815926099" },
        { "", "", false, true, "9D8A62E24E6A08716E6696FA20FC7C408ABC3F0F313CDFECA9A6BA70D94CAC06" },
    };
    for (const auto &c : cases) {
        const QByteArray cipher = EncryptString(c.text, c.pass, c.caseSensitive, c.prefix);
        EXPECT_EQ(cipher.toHex().toUpper(), QByteArray(c.cipher)) << c.text << "/" << c.pass;
        QByteArray plain;
        EXPECT_TRUE(DecryptString(cipher, plain, c.pass, c.caseSensitive, c.prefix));
        EXPECT_EQ(plain, QByteArray(c.text));
    }
    // The same text twice gives the same cipher text: the IV is fixed.
    EXPECT_EQ(EncryptString("again", "p", true, false), EncryptString("again", "p", true, false));
}

TEST(Encrypt, LengthsWithAndWithoutPrefix)
{
    EXPECT_EQ(EncryptString("", "pass", false, false), QByteArray());
    EXPECT_EQ(EncryptString("", "pass", false, true).size(), 32);
    EXPECT_EQ(EncryptString("12345", "pass", false, false).size(), 5);
    EXPECT_EQ(EncryptWithKeyCheck("12345", "pass", false).size(), 37);
    EXPECT_EQ(
        EncryptWithKeyCheck("12345", "pass", false), EncryptString("12345", "pass", false, true));
}

// Only the first 31 characters of the padded pass phrase reach the key.
TEST(Encrypt, ThirtyOneCharacterKeyRule)
{
    const QString base31 = "abcdefghijklmnopqrstuvwxyz01234"; // 31 characters
    const QByteArray text("the same text");
    const QByteArray reference = EncryptString(text, base31, true, false);

    // The 32nd character and anything after it make no difference...
    EXPECT_EQ(EncryptString(text, base31 + "X", true, false), reference);
    EXPECT_EQ(EncryptString(text, base31 + "Y", true, false), reference);
    EXPECT_EQ(EncryptString(text, base31 + "Y and much more", true, false), reference);
    // ...and a 31-character phrase is padded with a blank the key never sees.
    EXPECT_EQ(EncryptString(text, base31 + " ", true, false), reference);
    // The 31st character does.
    EXPECT_NE(EncryptString(text, base31.left(30) + "5", true, false), reference);

    // Letter case counts only when asked to.
    EXPECT_EQ(
        EncryptString(text, "MiXeD", false, false), EncryptString(text, "mixed", false, false));
    EXPECT_NE(EncryptString(text, "MiXeD", true, false), EncryptString(text, "mixed", true, false));

    // An empty pass phrase is a key of its own: a zero byte and 31 blanks, the same as blanks.
    EXPECT_EQ(EncryptString(text, "", false, false), EncryptString(text, "    ", false, false));
    EXPECT_NE(EncryptString(text, "", false, false), reference);

    EXPECT_EQ(PaddedPassPhrase("ab", false), QByteArray("AB") + QByteArray(30, ' '));
    EXPECT_EQ(PaddedPassPhrase(QString(40, 'q'), true), QByteArray(32, 'q'));
}

TEST(Encrypt, KeyCheckPrefix)
{
    const QByteArray cipher = EncryptWithKeyCheck("payload", "right", false);
    QByteArray plain;
    EXPECT_TRUE(DecryptWithKeyCheck(cipher, plain, "right", false));
    EXPECT_EQ(plain, QByteArray("payload"));
    EXPECT_TRUE(DecryptWithKeyCheck(cipher, plain, "RIGHT", false));
    EXPECT_FALSE(DecryptWithKeyCheck(cipher, plain, "wrong", false));
    EXPECT_NE(plain, QByteArray("payload"));

    // Trailing blanks of the pass phrase do not count; leading ones do.
    EXPECT_TRUE(DecryptWithKeyCheck(cipher, plain, "right  ", false));
    EXPECT_EQ(plain, QByteArray("payload"));
    EXPECT_FALSE(DecryptWithKeyCheck(cipher, plain, " right", false));
    const QByteArray withBlanks = EncryptWithKeyCheck("x", "key   ", true);
    EXPECT_TRUE(DecryptWithKeyCheck(withBlanks, plain, "key", true));

    // Case-sensitive text does not pass with another letter case.
    const QByteArray sensitive = EncryptWithKeyCheck("x", "Key", true);
    EXPECT_FALSE(DecryptWithKeyCheck(sensitive, plain, "key", true));
    EXPECT_TRUE(DecryptWithKeyCheck(sensitive, plain, "Key", true));

    // Too short to hold a prefix: no match, nothing left over.
    EXPECT_FALSE(DecryptWithKeyCheck(QByteArray("short"), plain, "right", false));
    EXPECT_TRUE(plain.isEmpty());

    // Without the check the whole text comes back, prefix and all.
    EXPECT_TRUE(DecryptString(cipher, plain, "anything", false, false));
    EXPECT_EQ(plain.size(), cipher.size());
}

TEST(Encrypt, DecryptFileCheck)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("old.dat");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(EncryptWithKeyCheck("line one\r\nline two", "phrase", false));
    file.close();

    QByteArray plain;
    EXPECT_TRUE(DecryptFileCheck(path, plain, "phrase", false));
    EXPECT_EQ(plain, QByteArray("line one\r\nline two"));
    EXPECT_FALSE(DecryptFileCheck(path, plain, "other", false));

    try {
        DecryptFileCheck(dir.filePath("missing.dat"), plain, "phrase", false);
        ADD_FAILURE() << "a missing file was read";
    } catch (const Exception &e) {
        EXPECT_TRUE(e.Message().contains("missing.dat")) << qPrintable(e.Message());
    }
}

TEST(Encrypt, DecimalCodes)
{
    EXPECT_EQ(EncodeDecimalCodes("AB"), "065066");
    EXPECT_EQ(DecodeDecimalCodes("065066"), QByteArray("AB"));
    EXPECT_EQ(EncodeDecimalCodes(QByteArray("\x00\xff\x09", 3)), "000255009");
    EXPECT_EQ(EncodeDecimalCodes(QByteArray()), "");

    const struct {
        const char *text;
        QByteArray bytes;
    } decodes[] = {
        { "abc", QByteArray(1, char(20)) }, // not a number
        { "", QByteArray() },
        { "300", QByteArray(1, char(300 & 0xFF)) }, // low 8 bits
        { "999", QByteArray(1, char(999 & 0xFF)) },
        { "06506", QByteArray("A\x06") }, // a trailing group of two digits
        { "0656", QByteArray("A\x06") }, // or of one
        { "065x66066",
            QByteArray("A\x14"
                       "B") },
    };
    for (const auto &d : decodes)
        EXPECT_EQ(DecodeDecimalCodes(d.text), d.bytes) << d.text;

    // Every byte survives the round trip.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    const QString codes = EncodeDecimalCodes(all);
    EXPECT_EQ(codes.size(), 768);
    EXPECT_EQ(DecodeDecimalCodes(codes), all);
}
