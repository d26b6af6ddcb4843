#include "shell/Blowfish.h"

#include "classlib/Exception.h"
#include "shell/BlowfishTables.h"

#include <cstring>
#include <string.h>

namespace qd {

namespace {

quint32 readBigEndian(const quint8 *bytes)
{
    return quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8
        | quint32(bytes[3]);
}

void writeBigEndian(quint32 word, quint8 *bytes)
{
    bytes[0] = quint8(word >> 24);
    bytes[1] = quint8(word >> 16);
    bytes[2] = quint8(word >> 8);
    bytes[3] = quint8(word);
}

quint32 roundFunction(const TBlowfishContext &c, quint32 x)
{
    return ((c.S[0][x >> 24] + c.S[1][(x >> 16) & 0xFF]) ^ c.S[2][(x >> 8) & 0xFF])
        + c.S[3][x & 0xFF];
}

void encryptWords(const TBlowfishContext &c, quint32 &left, quint32 &right)
{
    quint32 l = left ^ c.P[0];
    quint32 r = right;
    for (int i = 0; i < 16; i += 2) {
        r ^= roundFunction(c, l) ^ c.P[i + 1];
        l ^= roundFunction(c, r) ^ c.P[i + 2];
    }
    r ^= c.P[17];
    // The halves swap on the way out.
    left = r;
    right = l;
}

// Shared by both directions: only which byte is fed back differs.
void runCFB8(
    TBlowfishContext &c, const quint8 *input, quint8 *output, qsizetype length, bool encrypting)
{
    quint8 keystream[8];
    for (qsizetype i = 0; i < length; ++i) {
        BlowfishEncryptBlock(c, c.Feedback, keystream);
        const quint8 in = input[i];
        const quint8 out = in ^ keystream[0];
        output[i] = out;
        std::memmove(c.Feedback, c.Feedback + 1, 7);
        c.Feedback[7] = encrypting ? out : in;
    }
    explicit_bzero(keystream, sizeof keystream);
}

} // namespace

void BlowfishInit(TBlowfishContext &context, const quint8 *key, int keyLength, const quint8 *iv)
{
    if (keyLength < 1 || keyLength > 56)
        throw Exception(QStringLiteral("Blowfish: Key must be between 1 and 56 bytes long"));

    std::memcpy(context.S, blowfish::InitialS, sizeof context.S);
    std::memcpy(context.P, blowfish::InitialP, sizeof context.P);
    if (iv)
        std::memcpy(context.IV, iv, 8);
    else
        std::memset(context.IV, 0, 8);
    std::memcpy(context.Feedback, context.IV, 8);

    int j = 0;
    for (quint32 &p : context.P) {
        const quint8 word[4] = { key[j], key[(j + 1) % keyLength], key[(j + 2) % keyLength],
            key[(j + 3) % keyLength] };
        p ^= readBigEndian(word);
        j = (j + 4) % keyLength;
    }

    quint32 left = 0, right = 0;
    for (int i = 0; i < 18; i += 2) {
        encryptWords(context, left, right);
        context.P[i] = left;
        context.P[i + 1] = right;
    }
    for (auto &box : context.S) {
        for (int i = 0; i < 256; i += 2) {
            encryptWords(context, left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

void BlowfishEncryptBlock(const TBlowfishContext &context, const quint8 *input, quint8 *output)
{
    quint32 left = readBigEndian(input);
    quint32 right = readBigEndian(input + 4);
    encryptWords(context, left, right);
    writeBigEndian(left, output);
    writeBigEndian(right, output + 4);
}

void BlowfishEncryptCFB8(
    TBlowfishContext &context, const quint8 *input, quint8 *output, qsizetype length)
{
    runCFB8(context, input, output, length, true);
}

void BlowfishDecryptCFB8(
    TBlowfishContext &context, const quint8 *input, quint8 *output, qsizetype length)
{
    runCFB8(context, input, output, length, false);
}

void BlowfishBurn(TBlowfishContext &context)
{
    explicit_bzero(&context, sizeof context);
}

} // namespace qd
