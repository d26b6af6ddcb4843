#include "TextFile.h"

#include "Exception.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace qd {

QByteArray ReadFileBytes(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(
            QStringLiteral("Cannot read file \"%1\". %2").arg(fileName, file.errorString()));
    return bytes;
}

QString DecodeText(const QByteArray &bytes)
{
    // Stateless, so that a sequence cut off at the end of the file is an error (the text is then
    // Latin-1) instead of state the decoder keeps and drops with the last bytes.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

void WriteFileAtomically(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    // Unbuffered, so a short write (disk full, file size limit) shows in write()'s count:
    // a buffered QSaveFile can commit a truncated file when the flush writes only part.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Exception(
            QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Exception(
            QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
}

} // namespace qd
