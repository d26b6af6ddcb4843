#pragma once

#include <QByteArray>
#include <QString>

namespace qd {

// Whole-file reading and atomic writing shared by the text-based stores (string lists, ini
// files). Failures raise qd::Exception naming the file.
QByteArray ReadFileBytes(const QString &fileName);

// UTF-8 text without its byte-order mark; bytes that are not UTF-8 read as Latin-1 so that
// every byte survives a rewrite as a character.
QString DecodeText(const QByteArray &bytes);

// Replaces the file in one step: a failed or short write leaves the old file whole.
void WriteFileAtomically(const QString &fileName, const QByteArray &bytes);

} // namespace qd
