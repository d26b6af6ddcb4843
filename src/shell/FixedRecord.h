#pragma once

#include <QByteArray>
#include <QString>

namespace qd {

// One record of a file of fixed-size records whose strings are length-prefixed: a length byte,
// then the bytes, in a field with room for a fixed maximum. Text is stored as UTF-8, cut on a
// character boundary so it always fits its field. A new record is filled with blanks.
class FixedRecord {
public:
    explicit FixedRecord(int size);
    // Wraps bytes read from a file; size() is bytes.size().
    static FixedRecord fromBytes(const QByteArray &bytes);

    const QByteArray &bytes() const { return m_bytes; }
    int size() const { return int(m_bytes.size()); }

    // The UTF-8 form of text, cut to at most maxBytes without splitting a character.
    static QByteArray fitText(const QString &text, int maxBytes);
    // Text read back: UTF-8, or Latin-1 when the bytes are not UTF-8, so every byte survives.
    static QString decodeText(const QByteArray &bytes);

    // The field at offset has room for `room` bytes after its length byte.
    void putBytes(int offset, int room, const QByteArray &value);
    void putText(int offset, int room, const QString &value)
    {
        putBytes(offset, room, fitText(value, room));
    }
    void putByte(int offset, quint8 value);

    // False when the length byte claims more than the field's room: the record is damaged.
    bool fieldValid(int offset, int room) const;
    QByteArray getBytes(int offset, int room) const;
    QString getText(int offset, int room) const { return decodeText(getBytes(offset, room)); }
    quint8 getByte(int offset) const;

private:
    QByteArray m_bytes;
};

} // namespace qd
