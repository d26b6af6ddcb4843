#include "editor/FormValues.h"

#include "classlib/Exception.h"

#include <QtEndian>

namespace qd {

namespace {

// Value kinds of the form stream.
enum : quint8 {
    vaNull = 0, // ends a list
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaString = 6,
    vaFalse = 8,
    vaTrue = 9,
    vaLString = 12,
    vaWString = 18,
    vaUTF8String = 20,
};

template <typename T> void appendLittle(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    out.append(bytes, sizeof(T));
}

} // namespace

void TFormValueWriter::WriteListBegin()
{
    m_out += char(vaList);
}

void TFormValueWriter::WriteListEnd()
{
    m_out += char(vaNull);
}

void TFormValueWriter::WriteString(QStringView s)
{
    bool latin1 = true;
    for (QChar c : s)
        latin1 = latin1 && c.unicode() <= 0xFF;
    if (latin1 && s.size() <= 255) {
        m_out += char(vaString);
        m_out += char(quint8(s.size()));
        m_out += s.toLatin1();
    } else if (latin1) {
        m_out += char(vaLString);
        appendLittle<qint32>(m_out, qint32(s.size()));
        m_out += s.toLatin1();
    } else {
        m_out += char(vaWString);
        appendLittle<qint32>(m_out, qint32(s.size()));
        for (QChar c : s)
            appendLittle<quint16>(m_out, c.unicode());
    }
}

void TFormValueWriter::WriteInteger(qint32 value)
{
    if (value >= -128 && value <= 127) {
        m_out += char(vaInt8);
        m_out += char(qint8(value));
    } else if (value >= -32768 && value <= 32767) {
        m_out += char(vaInt16);
        appendLittle<qint16>(m_out, qint16(value));
    } else {
        m_out += char(vaInt32);
        appendLittle<qint32>(m_out, value);
    }
}

void TFormValueWriter::WriteBoolean(bool value)
{
    m_out += char(value ? vaTrue : vaFalse);
}

void TFormValueReader::fail()
{
    throw Exception(QStringLiteral("Invalid stream format"));
}

void TFormValueReader::need(qsizetype n) const
{
    if (n < 0 || m_data.size() - m_pos < n)
        fail();
}

quint8 TFormValueReader::kind()
{
    need(1);
    return quint8(m_data[m_pos++]);
}

void TFormValueReader::ReadListBegin()
{
    if (kind() != vaList)
        fail();
}

bool TFormValueReader::EndOfList()
{
    need(1);
    return quint8(m_data[m_pos]) == vaNull;
}

void TFormValueReader::ReadListEnd()
{
    if (kind() != vaNull)
        fail();
}

QString TFormValueReader::ReadString()
{
    const quint8 k = kind();
    const char *d = m_data.constData();
    QString value;
    switch (k) {
    case vaString: {
        need(1);
        const qsizetype n = quint8(d[m_pos++]);
        need(n);
        value = QString::fromLatin1(d + m_pos, n);
        m_pos += n;
        break;
    }
    case vaLString:
    case vaUTF8String: {
        need(4);
        const qsizetype n = qFromLittleEndian<qint32>(d + m_pos);
        m_pos += 4;
        need(n);
        value
            = k == vaLString ? QString::fromLatin1(d + m_pos, n) : QString::fromUtf8(d + m_pos, n);
        m_pos += n;
        break;
    }
    case vaWString: {
        need(4);
        const qsizetype n = qFromLittleEndian<qint32>(d + m_pos);
        m_pos += 4;
        need(n < 0 ? -1 : n * 2);
        value.resize(n);
        for (qsizetype i = 0; i < n; ++i)
            value[i] = QChar(qFromLittleEndian<quint16>(d + m_pos + 2 * i));
        m_pos += 2 * n;
        break;
    }
    default:
        fail();
    }
    return value;
}

qint32 TFormValueReader::ReadInteger()
{
    const quint8 k = kind();
    const char *d = m_data.constData();
    switch (k) {
    case vaInt8:
        need(1);
        return qint8(d[m_pos++]);
    case vaInt16: {
        need(2);
        const qint16 v = qFromLittleEndian<qint16>(d + m_pos);
        m_pos += 2;
        return v;
    }
    case vaInt32: {
        need(4);
        const qint32 v = qFromLittleEndian<qint32>(d + m_pos);
        m_pos += 4;
        return v;
    }
    default:
        fail();
    }
}

bool TFormValueReader::ReadBoolean()
{
    const quint8 k = kind();
    if (k != vaTrue && k != vaFalse)
        fail();
    return k == vaTrue;
}

} // namespace qd
