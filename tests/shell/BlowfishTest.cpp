#include "shell/Blowfish.h"
#include "classlib/Exception.h"

#include <QByteArray>

#include <gtest/gtest.h>

using namespace qd;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const quint8 *bytes(const QByteArray &array)
{
    return reinterpret_cast<const quint8 *>(array.constData());
}

QByteArray encryptBlock(const QByteArray &key, const QByteArray &plain)
{
    TBlowfishContext context;
    BlowfishInit(context, bytes(key), int(key.size()));
    QByteArray out(8, '\0');
    BlowfishEncryptBlock(context, bytes(plain), reinterpret_cast<quint8 *>(out.data()));
    return out;
}

QByteArray cfb8(const QByteArray &key, const QByteArray &iv, const QByteArray &input, bool encrypt)
{
    TBlowfishContext context;
    BlowfishInit(context, bytes(key), int(key.size()), bytes(iv));
    QByteArray out(input.size(), '\0');
    auto *target = reinterpret_cast<quint8 *>(out.data());
    if (encrypt)
        BlowfishEncryptCFB8(context, bytes(input), target, input.size());
    else
        BlowfishDecryptCFB8(context, bytes(input), target, input.size());
    return out;
}

} // namespace

// The published electronic-codebook vectors of the cipher's author set.
TEST(Blowfish, KnownAnswerBlocks)
{
    const struct {
        const char *key, *plain, *cipher;
    } cases[] = {
        { "0000000000000000", "0000000000000000", "4EF997456198DD78" },
        { "FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A" },
        { "3000000000000000", "1000000000000001", "7D856F9A613063F2" },
        { "1111111111111111", "1111111111111111", "2466DD878B963C9D" },
        { "0123456789ABCDEF", "1111111111111111", "61F9C3802281B096" },
        { "1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7" },
        { "FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D" },
        { "7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B" },
        { "0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(encryptBlock(hex(c.key), hex(c.plain)).toHex().toUpper(), QByteArray(c.cipher))
            << c.key;
}

// The published variable-key-length vectors: the key schedule cycles through keys of 1 to 24
// bytes.
TEST(Blowfish, KnownAnswerKeyLengths)
{
    const QByteArray longKey = hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const char *expected[]
        = { "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
              "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
              "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
              "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
              "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
              "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080" };
    for (int length = 1; length <= 24; ++length)
        EXPECT_EQ(encryptBlock(longKey.left(length), hex("FEDCBA9876543210")).toHex().toUpper(),
            QByteArray(expected[length - 1]))
            << "key length " << length;
}

TEST(Blowfish, KeyLengthOutsideOneTo56IsRefused)
{
    const QByteArray key(57, 'k');
    for (const int length : { 0, -1, 57 }) {
        TBlowfishContext context;
        try {
            BlowfishInit(context, bytes(key), length);
            ADD_FAILURE() << "accepted key length " << length;
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(), "Blowfish: Key must be between 1 and 56 bytes long");
        }
    }
    TBlowfishContext context;
    EXPECT_NO_THROW(BlowfishInit(context, bytes(key), 56));
    EXPECT_NO_THROW(BlowfishInit(context, bytes(key), 1));
}

// The classic feedback-mode test material, run in 8-bit feedback: the first byte agrees with
// the 64-bit feedback vector (E7...), the rest feeds back one cipher byte at a time.
TEST(Blowfish, CFB8KnownAnswer)
{
    const QByteArray key = hex("0123456789ABCDEFF0E1D2C3B4A59687");
    const QByteArray iv = hex("FEDCBA9876543210");
    const QByteArray plain("7654321 Now is the time for ", 29); // with its closing zero byte
    const QByteArray cipher = hex("E7BB1FC3073EB8314B378689FAB0B1160244415D4D017FCE0D9B4CB2FA");
    EXPECT_EQ(cfb8(key, iv, plain, true).toHex(), cipher.toHex());
    EXPECT_EQ(cfb8(key, iv, cipher, false), plain);
}

TEST(Blowfish, CFB8CarriesFeedbackAcrossCallsAndWorksInPlace)
{
    const QByteArray key = hex("0123456789ABCDEFF0E1D2C3B4A59687");
    const QByteArray iv = hex("FEDCBA9876543210");
    const QByteArray plain("Feedback carries over from call to call.");
    const QByteArray whole = cfb8(key, iv, plain, true);

    // In place, in three uneven pieces.
    TBlowfishContext context;
    BlowfishInit(context, bytes(key), int(key.size()), bytes(iv));
    QByteArray buffer = plain;
    auto *data = reinterpret_cast<quint8 *>(buffer.data());
    BlowfishEncryptCFB8(context, data, data, 1);
    BlowfishEncryptCFB8(context, data + 1, data + 1, 10);
    BlowfishEncryptCFB8(context, data + 11, data + 11, buffer.size() - 11);
    EXPECT_EQ(buffer, whole);

    BlowfishInit(context, bytes(key), int(key.size()), bytes(iv));
    BlowfishDecryptCFB8(context, data, data, 7);
    BlowfishDecryptCFB8(context, data + 7, data + 7, buffer.size() - 7);
    EXPECT_EQ(buffer, plain);

    // A changed cipher byte garbles its own byte and the eight after it, then decryption
    // resynchronises.
    QByteArray damaged = whole;
    damaged[5] = char(damaged[5] ^ 0x01);
    const QByteArray recovered = cfb8(key, iv, damaged, false);
    EXPECT_NE(recovered.mid(5, 1), plain.mid(5, 1));
    EXPECT_EQ(recovered.left(5), plain.left(5));
    EXPECT_EQ(recovered.mid(14), plain.mid(14));
}

TEST(Blowfish, NoIVMeansZeroFeedback)
{
    const QByteArray key = hex("0000000000000000");
    TBlowfishContext context;
    BlowfishInit(context, bytes(key), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(context.IV[i], 0);
        EXPECT_EQ(context.Feedback[i], 0);
    }
    // The first key-stream byte is the first byte of E(0) = 4EF997456198DD78.
    EXPECT_EQ(cfb8(key, QByteArray(8, '\0'), QByteArray(1, '\0'), true), hex("4E"));
}

TEST(Blowfish, BurnClearsTheWholeContext)
{
    const QByteArray key("some key");
    TBlowfishContext context;
    BlowfishInit(context, bytes(key), int(key.size()), bytes(QByteArray("initvect")));
    BlowfishBurn(context);
    const auto *raw = reinterpret_cast<const unsigned char *>(&context);
    int nonZero = 0;
    for (size_t i = 0; i < sizeof context; ++i)
        nonZero += raw[i] != 0;
    EXPECT_EQ(nonZero, 0);
}
