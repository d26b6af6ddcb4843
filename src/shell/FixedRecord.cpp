#include "shell/FixedRecord.h"

#include <QStringDecoder>

namespace qd {

FixedRecord::FixedRecord(int size)
    : m_bytes(size, ' ')
{
}

FixedRecord FixedRecord::fromBytes(const QByteArray &bytes)
{
    FixedRecord record(0);
    record.m_bytes = bytes;
    return record;
}

QByteArray FixedRecord::fitText(const QString &text, int maxBytes)
{
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= maxBytes)
        return utf8;
    qsizetype end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (quint8(utf8[end]) & 0xC0) == 0x80)
        --end;
    utf8.truncate(end);
    return utf8;
}

QString FixedRecord::decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

void FixedRecord::putBytes(int offset, int room, const QByteArray &value)
{
    const int length = int(qMin<qsizetype>(value.size(), room));
    m_bytes[offset] = char(quint8(length));
    std::copy(value.constBegin(), value.constBegin() + length, m_bytes.begin() + offset + 1);
}

void FixedRecord::putByte(int offset, quint8 value)
{
    m_bytes[offset] = char(value);
}

bool FixedRecord::fieldValid(int offset, int room) const
{
    return quint8(m_bytes[offset]) <= room;
}

QByteArray FixedRecord::getBytes(int offset, int room) const
{
    const int length = qMin<int>(quint8(m_bytes[offset]), room);
    return m_bytes.mid(offset + 1, length);
}

quint8 FixedRecord::getByte(int offset) const
{
    return quint8(m_bytes[offset]);
}

} // namespace qd
