#include "MemBlobStream.h"

#include "classlib/BlobField.h"

#include <cstring>
#include <limits>

namespace qd {

TMemBlobStream::TMemBlobStream(TField *field, TBlobStreamMode mode)
    : m_field(field)
    , m_dataSet(dynamic_cast<TMemoryData *>(field->DataSet()))
    , m_mode(mode)
{
    if (!m_dataSet)
        DatabaseError(QStringLiteral("Field '%1' does not belong to an in-memory dataset")
                          .arg(field->DisplayName()));
    const TMemoryData::FieldPlace *place = m_dataSet->placeOf(field);
    if (!place || place->place != TMemoryData::Place::Blob)
        DatabaseError(QStringLiteral("Field '%1' is not a BLOB field").arg(field->DisplayName()),
            m_dataSet->Name());
    m_slot = place->offset;
    if (!m_dataSet->ActiveRecordBuffer(m_buffer))
        return; // no record: reads and writes do nothing
    auto *blob = dynamic_cast<TBlobField *>(field);
    if ((!blob || !blob->Modified()) && mode != bmRead) {
        if (field->ReadOnly())
            DatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayName()),
                m_dataSet->Name());
        if (m_dataSet->State() != dsEdit && m_dataSet->State() != dsInsert)
            DatabaseError(QStringLiteral("Dataset not in edit or insert mode"), m_dataSet->Name());
        m_cached = true;
    } else {
        m_cached = m_buffer == m_dataSet->ActiveBuffer();
    }
    m_opened = true;
    if (mode == bmWrite)
        SetSize(0);
}

TMemBlobStream::~TMemBlobStream()
{
    if (!m_modified)
        return;
    if (m_opened)
        if (auto *blob = dynamic_cast<TBlobField *>(m_field))
            blob->SetModified(true);
    try {
        m_dataSet->DataEvent(deFieldChange, reinterpret_cast<qintptr>(m_field));
    } catch (...) {
        m_dataSet->InternalHandleException();
    }
}

const QByteArray *TMemBlobStream::value()
{
    if (!m_opened)
        return nullptr;
    if (m_cached)
        return &m_dataSet->blobsOf(m_buffer)[m_slot];
    const auto &records = m_dataSet->m_records;
    if (records.empty())
        return nullptr;
    const int index = std::clamp(m_dataSet->m_position, 0, static_cast<int>(records.size()) - 1);
    const auto &outside = records[static_cast<size_t>(index)].m_outside;
    return outside ? &outside->blobs[static_cast<size_t>(m_slot)] : nullptr;
}

qint64 TMemBlobStream::Size()
{
    const QByteArray *bytes = value();
    return bytes ? bytes->size() : 0;
}

qint64 TMemBlobStream::Read(void *buffer, qint64 count)
{
    const QByteArray *bytes = value();
    if (!bytes || count <= 0 || m_position >= bytes->size())
        return 0;
    const qint64 n = std::min(count, bytes->size() - m_position);
    std::memcpy(buffer, bytes->constData() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

qint64 TMemBlobStream::Write(const void *buffer, qint64 count)
{
    if (!writable() || count <= 0)
        return 0;
    if (m_position + count > std::numeric_limits<int>::max())
        DatabaseError(
            QStringLiteral("BLOB value of field '%1' is too large").arg(m_field->DisplayName()),
            m_dataSet->Name());
    QByteArray &bytes = m_dataSet->blobsOf(m_buffer)[m_slot];
    if (bytes.size() < m_position + count)
        bytes.resize(m_position + count, '\0');
    std::memcpy(bytes.data() + m_position, buffer, static_cast<size_t>(count));
    m_position += count;
    m_modified = true;
    return count;
}

qint64 TMemBlobStream::Seek(qint64 offset, TSeekOrigin origin)
{
    switch (origin) {
    case soBeginning:
        m_position = offset;
        break;
    case soCurrent:
        m_position += offset;
        break;
    case soEnd:
        m_position = Size() + offset;
        break;
    }
    m_position = std::max<qint64>(0, m_position);
    return m_position;
}

void TMemBlobStream::SetSize(qint64 size)
{
    if (!writable())
        return;
    if (size > std::numeric_limits<int>::max())
        DatabaseError(
            QStringLiteral("BLOB value of field '%1' is too large").arg(m_field->DisplayName()),
            m_dataSet->Name());
    QByteArray &bytes = m_dataSet->blobsOf(m_buffer)[m_slot];
    if (size <= 0)
        bytes.clear();
    else
        bytes.resize(size, '\0');
    m_position = std::min(m_position, std::max<qint64>(0, size));
    m_modified = true;
}

} // namespace qd
