#pragma once

#include <QByteArray>
#include <QString>

namespace qd {

// Pass-phrase encryption over Blowfish in CFB-8 mode with a fixed initialisation vector, so the
// same text and pass phrase always give the same cipher text. The account file and the
// enciphered settings depend on the exact key building below; changing it makes every stored
// file unreadable.
//
// The pass phrase is upper-cased first unless caseSensitive, taken as UTF-8 and cut or filled
// with blanks to 32 bytes. The Blowfish key is a zero byte followed by the first 31 of those 32
// bytes (the 32nd never reaches the key), with a key length of 32.

// The 32-byte padded pass phrase; it is also the key-check prefix.
QByteArray PaddedPassPhrase(const QString &passPhrase, bool caseSensitive);

// The cipher text of text, with the key-check prefix in front when addPrefix; as long as what
// was encrypted.
QByteArray EncryptString(
    const QByteArray &text, const QString &passPhrase, bool caseSensitive, bool addPrefix);
QByteArray EncryptWithKeyCheck(
    const QByteArray &text, const QString &passPhrase, bool caseSensitive);

// Deciphers cipher. With checkPrefix the first 32 bytes are taken off and compared with the
// padded pass phrase, trailing blanks of both ignored; the result says whether they matched.
// Without it plain receives everything and the result is true. A wrong pass phrase is not an
// error: it only yields other bytes.
bool DecryptString(const QByteArray &cipher, QByteArray &plain, const QString &passPhrase,
    bool caseSensitive, bool checkPrefix);
bool DecryptWithKeyCheck(
    const QByteArray &cipher, QByteArray &plain, const QString &passPhrase, bool caseSensitive);
// DecryptWithKeyCheck over a whole file; raises Exception naming the file when it cannot be
// read.
bool DecryptFileCheck(
    const QString &fileName, QByteArray &plain, const QString &passPhrase, bool caseSensitive);

// Each byte as three decimal digits ("065" for A), so cipher text can live in a text file.
QString EncodeDecimalCodes(const QByteArray &bytes);
// Reads groups of three characters (a shorter last group too) as decimal numbers, keeping the
// low 8 bits; a group that is not a number gives the byte 20.
QByteArray DecodeDecimalCodes(const QString &text);

} // namespace qd
