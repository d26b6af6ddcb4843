#include "shell/Encrypt.h"

#include "classlib/TextFile.h"
#include "shell/Blowfish.h"

#include <string.h>

namespace qd {

namespace {

constexpr int PassPhraseLength = 32;
constexpr quint8 FixedIV[8] = { 0x5A, 0x93, 0xC1, 0xE0, 0xB7, 0x26, 0x4D, 0x8F };

// Runs CFB-8 over data in place under the key built from padded.
void cipherInPlace(QByteArray &data, const QByteArray &padded, bool encrypting)
{
    quint8 key[PassPhraseLength];
    key[0] = 0;
    std::memcpy(key + 1, padded.constData(), PassPhraseLength - 1);
    TBlowfishContext context;
    BlowfishInit(context, key, PassPhraseLength, FixedIV);
    explicit_bzero(key, sizeof key);
    auto *bytes = reinterpret_cast<quint8 *>(data.data());
    if (encrypting)
        BlowfishEncryptCFB8(context, bytes, bytes, data.size());
    else
        BlowfishDecryptCFB8(context, bytes, bytes, data.size());
    BlowfishBurn(context);
}

QByteArray withoutTrailingBlanks(const QByteArray &bytes)
{
    qsizetype end = bytes.size();
    while (end > 0 && bytes[end - 1] == ' ')
        --end;
    return bytes.left(end);
}

} // namespace

QByteArray PaddedPassPhrase(const QString &passPhrase, bool caseSensitive)
{
    QByteArray padded = (caseSensitive ? passPhrase : passPhrase.toUpper()).toUtf8();
    if (padded.size() > PassPhraseLength)
        padded.truncate(PassPhraseLength);
    else
        padded.append(PassPhraseLength - padded.size(), ' ');
    return padded;
}

QByteArray EncryptString(
    const QByteArray &text, const QString &passPhrase, bool caseSensitive, bool addPrefix)
{
    const QByteArray padded = PaddedPassPhrase(passPhrase, caseSensitive);
    QByteArray data = addPrefix ? padded + text : text;
    cipherInPlace(data, padded, true);
    return data;
}

QByteArray EncryptWithKeyCheck(
    const QByteArray &text, const QString &passPhrase, bool caseSensitive)
{
    return EncryptString(text, passPhrase, caseSensitive, true);
}

bool DecryptString(const QByteArray &cipher, QByteArray &plain, const QString &passPhrase,
    bool caseSensitive, bool checkPrefix)
{
    const QByteArray padded = PaddedPassPhrase(passPhrase, caseSensitive);
    QByteArray data = cipher;
    cipherInPlace(data, padded, false);
    if (!checkPrefix) {
        plain = data;
        return true;
    }
    const QByteArray prefix = data.left(PassPhraseLength);
    plain = data.mid(PassPhraseLength);
    return withoutTrailingBlanks(prefix) == withoutTrailingBlanks(padded);
}

bool DecryptWithKeyCheck(
    const QByteArray &cipher, QByteArray &plain, const QString &passPhrase, bool caseSensitive)
{
    return DecryptString(cipher, plain, passPhrase, caseSensitive, true);
}

bool DecryptFileCheck(
    const QString &fileName, QByteArray &plain, const QString &passPhrase, bool caseSensitive)
{
    return DecryptWithKeyCheck(ReadFileBytes(fileName), plain, passPhrase, caseSensitive);
}

QString EncodeDecimalCodes(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes)
        text += QStringLiteral("%1").arg(quint8(c), 3, 10, QLatin1Char('0'));
    return text;
}

QByteArray DecodeDecimalCodes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 3 + 1);
    for (qsizetype i = 0; i < text.size(); i += 3) {
        const QStringView group = QStringView(text).mid(i, 3);
        bool ok = false;
        const int value = group.toInt(&ok, 10);
        bytes.append(ok ? char(quint8(value)) : char(20));
    }
    return bytes;
}

} // namespace qd
