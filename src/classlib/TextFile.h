#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qd {

// Whole-file reading and atomic writing shared by the text-based stores (string lists, ini
// files). Failures raise qd::Exception naming the file.
QByteArray ReadFileBytes(const QString &fileName);

// UTF-8 text without its byte-order mark; bytes that are not UTF-8 read as Latin-1 so that
// every byte survives a rewrite as a character.
QString DecodeText(const QByteArray &bytes);

// The lines of a small UTF-8 text file (LF or CR LF ends, no empty last line); a missing file
// or an empty name has none. Something that is not a file, or a file larger than maxBytes, is
// refused rather than cut, so a rewrite of the lines never loses the file's end.
QStringList ReadSmallTextLines(const QString &fileName, qint64 maxBytes);

// Replaces the file in one step: a failed or short write leaves the old file whole.
void WriteFileAtomically(const QString &fileName, const QByteArray &bytes);

} // namespace qd
