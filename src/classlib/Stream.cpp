#include "Stream.h"

#include "Exception.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qd {

QByteArray TStream::ReadAll()
{
    const qint64 size = Size();
    if (size < 0 || size > std::numeric_limits<int>::max())
        throw Exception(QStringLiteral("Stream too large"));
    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    Seek(0, soBeginning);
    const qint64 got = size > 0 ? Read(bytes.data(), size) : 0;
    bytes.truncate(static_cast<int>(std::max<qint64>(got, 0)));
    return bytes;
}

void TStream::WriteAll(const QByteArray &bytes)
{
    Seek(0, soBeginning);
    SetSize(0);
    if (!bytes.isEmpty() && Write(bytes.constData(), bytes.size()) != bytes.size())
        throw Exception(QStringLiteral("Stream write error"));
}

qint64 TMemoryStream::Read(void *buffer, qint64 count)
{
    if (count <= 0 || m_position >= m_data.size())
        return 0;
    const qint64 n = std::min(count, m_data.size() - m_position);
    std::memcpy(buffer, m_data.constData() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

qint64 TMemoryStream::Write(const void *buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    if (m_position + count > std::numeric_limits<int>::max())
        throw Exception(QStringLiteral("Out of memory while expanding memory stream"));
    if (m_position > m_data.size())
        SetSize(m_position); // a gap after a seek past the end reads as zeros
    if (m_position + count > m_data.size())
        m_data.resize(static_cast<int>(m_position + count));
    std::memcpy(m_data.data() + m_position, buffer, static_cast<size_t>(count));
    m_position += count;
    return count;
}

qint64 TMemoryStream::Seek(qint64 offset, TSeekOrigin origin)
{
    qint64 base = origin == soBeginning ? 0 : origin == soCurrent ? m_position : m_data.size();
    m_position = std::max<qint64>(0, base + offset);
    return m_position;
}

void TMemoryStream::SetSize(qint64 size)
{
    if (size < 0 || size > std::numeric_limits<int>::max())
        throw Exception(QStringLiteral("Out of memory while expanding memory stream"));
    const qsizetype old = m_data.size();
    m_data.resize(static_cast<int>(size));
    if (size > old)
        std::memset(m_data.data() + old, 0, static_cast<size_t>(size - old));
    m_position = std::min(m_position, size);
}

} // namespace qd
