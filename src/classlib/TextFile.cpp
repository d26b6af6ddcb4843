#include "TextFile.h"

#include "Exception.h"

#include <QFile>
#include <QFileInfo>
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

QStringList ReadSmallTextLines(const QString &fileName, qint64 maxBytes)
{
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists())
        return {};
    if (!info.isFile())
        throw Exception(QStringLiteral("Cannot read %1: it is not a file.").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    // Read one byte past the limit: the size seen before opening may have changed since.
    const QByteArray data = file.read(maxBytes + 1);
    if (data.size() > maxBytes)
        throw Exception(QStringLiteral("Cannot read %1: the file is larger than %2 bytes.")
                            .arg(fileName)
                            .arg(maxBytes));
    QStringList lines = QString::fromUtf8(data).split(u'\n');
    for (QString &line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
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
