#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace qd {

// The values of the class library's binary form stream that list properties use: a list
// bracket, strings, integers and booleans, each a kind byte and its data (little-endian).
// A writer appends to a byte array; a reader takes them back in order and throws Exception
// "Invalid stream format" at anything it does not expect or at a cut stream.
class TFormValueWriter {
public:
    explicit TFormValueWriter(QByteArray &out)
        : m_out(out)
    {
    }
    void WriteListBegin();
    void WriteListEnd();
    // Latin-1 text of at most 255 characters as a short string, longer Latin-1 text as a long
    // string, other text as a wide string.
    void WriteString(QStringView s);
    // In the fewest bytes that hold it: 8, 16 or 32 bits.
    void WriteInteger(qint32 value);
    void WriteBoolean(bool value);

private:
    QByteArray &m_out;
};

class TFormValueReader {
public:
    explicit TFormValueReader(const QByteArray &data)
        : m_data(data)
    {
    }
    void ReadListBegin();
    // True at the end of the current list (the end is not consumed).
    bool EndOfList();
    void ReadListEnd();
    // A string value of any string kind.
    QString ReadString();
    // An integer value of 8, 16 or 32 bits.
    qint32 ReadInteger();
    bool ReadBoolean();
    // True when every byte was read.
    bool AtEnd() const { return m_pos >= m_data.size(); }

private:
    [[noreturn]] static void fail();
    void need(qsizetype n) const;
    quint8 kind();

    const QByteArray &m_data;
    qsizetype m_pos = 0;
};

} // namespace qd
