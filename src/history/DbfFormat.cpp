#include "DbfFormat.h"

#include <QtEndian>

#include <cstring>

namespace qd::dbf {

const FieldLayout Fields[FieldCount] = {
    { "RUNDATE", 'D', RunDateLength, 0 },
    { "USERNAME", 'C', UserNameLength, RunDateLength },
    { "INSTANCE", 'C', InstanceLength, RunDateLength + UserNameLength },
    { "SQL", 'M', MemoRefLength, RunDateLength + UserNameLength + InstanceLength },
};

namespace {

void putDate(char *at, const QDate &date)
{
    at[0] = static_cast<char>(qBound(0, date.year() - 1900, 255));
    at[1] = static_cast<char>(date.month());
    at[2] = static_cast<char>(date.day());
}

// Field text without the blank (or zero) padding.
QByteArray unpad(const char *bytes, int length)
{
    int end = length;
    while (end > 0 && (bytes[end - 1] == ' ' || bytes[end - 1] == '\0'))
        --end;
    return QByteArray(bytes, end);
}

void putPadded(char *at, const QByteArray &bytes, int length)
{
    std::memset(at, ' ', static_cast<size_t>(length));
    std::memcpy(at, bytes.constData(), static_cast<size_t>(qMin<qsizetype>(bytes.size(), length)));
}

} // namespace

QByteArray utf8Cut(const QString &text, int maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes)
        return bytes;
    int end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80)
        --end;
    bytes.truncate(end);
    return bytes;
}

QByteArray encodeHeaderCounts(quint32 recordCount, const QDate &date)
{
    QByteArray bytes(7, '\0');
    putDate(bytes.data(), date);
    qToLittleEndian<quint32>(recordCount, bytes.data() + 3);
    return bytes;
}

QByteArray encodeTableHeader(quint32 recordCount, const QDate &date)
{
    QByteArray header(HeaderLength, '\0');
    char *h = header.data();
    h[0] = VersionByte;
    std::memcpy(h + 1, encodeHeaderCounts(recordCount, date).constData(), 7);
    qToLittleEndian<quint16>(HeaderLength, h + 8);
    qToLittleEndian<quint16>(RecordLength, h + 10);
    for (int i = 0; i < FieldCount; ++i) {
        char *d = h + 32 + DescriptorSize * i;
        std::memcpy(d, Fields[i].name, std::strlen(Fields[i].name));
        d[11] = Fields[i].type;
        d[16] = static_cast<char>(Fields[i].length);
    }
    h[HeaderLength - 1] = DescriptorEnd;
    return header;
}

quint32 decodeTableHeader(const QByteArray &header, const QString &fileName)
{
    auto fault = [&](const QString &what) { return EDbfError(fileName + QStringLiteral(": ") + what); };
    if (header.size() < HeaderLength)
        throw fault(QStringLiteral("the file is shorter than its %1-byte header").arg(HeaderLength));
    const char *h = header.constData();
    if (h[0] != VersionByte)
        throw fault(QStringLiteral("unknown version byte %1, expected 03")
                        .arg(static_cast<unsigned char>(h[0]), 2, 16, QLatin1Char('0')));
    const int headerLength = qFromLittleEndian<quint16>(h + 8);
    if (headerLength != HeaderLength)
        throw fault(QStringLiteral("header length %1, expected %2").arg(headerLength).arg(HeaderLength));
    const int recordLength = qFromLittleEndian<quint16>(h + 10);
    if (recordLength != RecordLength)
        throw fault(QStringLiteral("record length %1, expected %2").arg(recordLength).arg(RecordLength));
    for (int i = 0; i < FieldCount; ++i) {
        const char *d = h + 32 + DescriptorSize * i;
        const QByteArray name(d, static_cast<int>(strnlen(d, 11)));
        const int length = static_cast<unsigned char>(d[16]);
        const int decimals = static_cast<unsigned char>(d[17]);
        if (name != Fields[i].name || d[11] != Fields[i].type || length != Fields[i].length
            || decimals != 0) {
            throw fault(QStringLiteral("field descriptor %1 is \"%2\" %3 %4, expected \"%5\" %6 %7")
                            .arg(i + 1)
                            .arg(QString::fromLatin1(name), QString(QLatin1Char(d[11])))
                            .arg(length)
                            .arg(QLatin1String(Fields[i].name), QString(QLatin1Char(Fields[i].type)))
                            .arg(Fields[i].length));
        }
    }
    if (h[HeaderLength - 1] != DescriptorEnd)
        throw fault(QStringLiteral("no end mark 0D after the field descriptors"));
    return qFromLittleEndian<quint32>(h + 4);
}

QByteArray encodeRecord(const Record &record)
{
    QByteArray bytes(RecordLength, ' ');
    char *r = bytes.data();
    r[0] = record.deleted ? DeletedFlag : LiveFlag;
    char *fields = r + 1;
    if (record.runDate.isValid())
        putPadded(fields + Fields[0].offset, record.runDate.toString(QStringLiteral("yyyyMMdd")).toLatin1(),
            RunDateLength);
    putPadded(fields + Fields[1].offset, utf8Cut(record.userName, UserNameLength), UserNameLength);
    putPadded(fields + Fields[2].offset, utf8Cut(record.instance, InstanceLength), InstanceLength);
    if (record.memoBlock != 0)
        putPadded(fields + Fields[3].offset,
            QByteArray::number(record.memoBlock).rightJustified(MemoRefLength, ' '), MemoRefLength);
    return bytes;
}

Record decodeRecord(const char *bytes, quint32 recordNo, const QString &fileName)
{
    Record record;
    record.deleted = bytes[0] == DeletedFlag;
    const char *fields = bytes + 1;
    const QByteArray date = unpad(fields + Fields[0].offset, RunDateLength);
    if (date.size() == RunDateLength)
        record.runDate = QDate::fromString(QString::fromLatin1(date), QStringLiteral("yyyyMMdd"));
    record.userName = QString::fromUtf8(unpad(fields + Fields[1].offset, UserNameLength));
    record.instance = QString::fromUtf8(unpad(fields + Fields[2].offset, InstanceLength));
    const QByteArray ref = unpad(fields + Fields[3].offset, MemoRefLength).trimmed();
    bool ok = true;
    for (char c : ref)
        ok = ok && c >= '0' && c <= '9';
    const qulonglong block = ok && !ref.isEmpty() ? ref.toULongLong(&ok) : 0;
    if (!ok || block > 0xFFFFFFFFu)
        throw EDbfError(QStringLiteral("%1: record %2 has a memo reference that is not a block number")
                            .arg(fileName)
                            .arg(recordNo));
    record.memoBlock = static_cast<quint32>(block);
    return record;
}

QByteArray encodeMemoHeader(quint32 nextFree)
{
    QByteArray header(BlockSize, '\0');
    qToLittleEndian<quint32>(nextFree, header.data());
    qToLittleEndian<quint16>(BlockSize, header.data() + 20);
    return header;
}

quint32 decodeMemoHeader(const QByteArray &header, const QString &fileName)
{
    if (header.size() < BlockSize)
        throw EDbfError(QStringLiteral("%1: the file is shorter than its %2-byte header block")
                            .arg(fileName)
                            .arg(BlockSize));
    const int blockLength = qFromLittleEndian<quint16>(header.constData() + 20);
    if (blockLength != BlockSize)
        throw EDbfError(QStringLiteral("%1: block length %2, expected %3")
                            .arg(fileName)
                            .arg(blockLength)
                            .arg(BlockSize));
    const quint32 nextFree = qFromLittleEndian<quint32>(header.constData());
    if (nextFree < FirstFreeBlock)
        throw EDbfError(QStringLiteral("%1: next free block %2 is inside the header").arg(fileName).arg(nextFree));
    return nextFree;
}

quint32 memoBlocksFor(qint64 textLength)
{
    return static_cast<quint32>((textLength + MemoValueHeader + BlockSize - 1) / BlockSize);
}

QByteArray encodeMemoValue(const QByteArray &text)
{
    const qint64 total = qint64(memoBlocksFor(text.size())) * BlockSize;
    QByteArray value(total, ' ');
    char *v = value.data();
    v[0] = '\xFF';
    v[1] = '\xFF';
    v[2] = '\x08';
    v[3] = '\x00';
    qToLittleEndian<quint32>(static_cast<quint32>(text.size() + MemoValueHeader), v + 4);
    std::memcpy(v + MemoValueHeader, text.constData(), static_cast<size_t>(text.size()));
    return value;
}

} // namespace qd::dbf
