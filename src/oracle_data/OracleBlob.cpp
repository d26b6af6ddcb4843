#include "OracleBlob.h"

#include "OracleDataSet.h"
#include "classlib/BlobField.h"

#include <algorithm>
#include <cstring>

namespace qd {

void TOracleBlob::PrepareServerForm(TOracleDataSet *dataSet)
{
    ClearServerForm();
    if (!dataSet || !dataSet->CompressBLOBs())
        return;
    QByteArray bytes = m_data;
    if (CompressBlobValue(dataSet->BlobCompression(), dynamic_cast<TBlobField *>(Field), bytes))
        SetServerForm(std::move(bytes));
}

TOracleBlob *TBlobList::Add(TField *field)
{
    m_items.push_back(std::make_unique<TOracleBlob>(field));
    return m_items.back().get();
}

TOracleBlob *TBlobList::BlobByField(const TField *field) const
{
    for (const auto &item : m_items)
        if (item->Field == field)
            return item.get();
    return nullptr;
}

void TBlobList::Copy(const TBlobList &source)
{
    if (&source == this)
        return;
    m_items.clear();
    for (const auto &item : source.m_items) {
        TOracleBlob *copy = Add(item->Field);
        // A private copy: QByteArray shares until written, and every write detaches.
        copy->SetData(item->Data());
    }
}

// ---- TOracleBlobStream

TOracleBlobStream::TOracleBlobStream(TBlobField *field, TBlobStreamMode mode)
    : m_field(field)
    , m_dataSet(dynamic_cast<TOracleDataSet *>(field->DataSet()))
    , m_mode(mode)
{
    if (!m_dataSet)
        DatabaseError(QStringLiteral("Field '%1' has no dataset").arg(field->DisplayName()));
    const TDataSetState state = m_dataSet->State();
    const bool editing = state == dsEdit || state == dsInsert || state == dsNewValue;
    if (!field->Modified() && mode != bmRead && !editing)
        DatabaseError(QStringLiteral("Dataset not in edit or insert mode"), m_dataSet->Name());
    if ((field->Modified() || mode != bmRead) && state != dsNewValue && state != dsOldValue) {
        m_blob = m_dataSet->EditBlobs().BlobByField(field);
        if (!m_blob)
            m_blob = m_dataSet->EditBlobs().Add(field);
    } else {
        m_blob = m_dataSet->ReadBlob(field);
    }
    m_opened = true;
    if (mode == bmWrite)
        Truncate();
}

TOracleBlobStream::~TOracleBlobStream()
{
    if (!m_opened || !m_modified)
        return;
    try {
        m_field->SetModified(true);
        m_dataSet->DataEvent(deFieldChange, reinterpret_cast<qintptr>(m_field));
    } catch (const std::exception &e) {
        qWarning("%s", e.what());
    } catch (...) {
        qWarning("BLOB stream: unknown exception");
    }
}

void TOracleBlobStream::markModified()
{
    const TDataSetState state = m_dataSet->State();
    if (state == dsEdit || state == dsInsert)
        m_modified = true;
}

qint64 TOracleBlobStream::Read(void *buffer, qint64 count)
{
    if (!m_opened || !m_blob || count <= 0)
        return 0;
    const qint64 n = std::min<qint64>(count, m_blob->Size() - m_position);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, m_blob->Data().constData() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

qint64 TOracleBlobStream::Write(const void *buffer, qint64 count)
{
    if (!m_opened || !m_blob || count <= 0)
        return 0;
    if (m_position + count > std::numeric_limits<int>::max() - 1)
        throw Exception(QStringLiteral("BLOB value too large"));
    QByteArray &data = m_blob->MutableData();
    const qint64 end = m_position + count;
    if (end > data.size()) {
        // The gap between the old end and the position reads as zero bytes, never as garbage.
        const qsizetype oldSize = data.size();
        data.resize(static_cast<qsizetype>(end));
        if (m_position > oldSize)
            std::memset(data.data() + oldSize, 0, static_cast<size_t>(m_position - oldSize));
    }
    std::memcpy(data.data() + m_position, buffer, static_cast<size_t>(count));
    m_blob->ClearServerForm();
    m_position = end;
    markModified();
    return count;
}

qint64 TOracleBlobStream::Seek(qint64 offset, TSeekOrigin origin)
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
    if (m_position < 0)
        m_position = 0;
    return m_position;
}

qint64 TOracleBlobStream::Size()
{
    return m_opened && m_blob ? m_blob->Size() : 0;
}

void TOracleBlobStream::SetSize(qint64 size)
{
    if (!m_opened || !m_blob || size < 0)
        return;
    if (size > std::numeric_limits<int>::max() - 1)
        throw Exception(QStringLiteral("BLOB value too large"));
    QByteArray &data = m_blob->MutableData();
    const qsizetype oldSize = data.size();
    data.resize(static_cast<qsizetype>(size));
    if (size > oldSize)
        std::memset(data.data() + oldSize, 0, static_cast<size_t>(size - oldSize));
    m_blob->ClearServerForm();
    markModified();
}

void TOracleBlobStream::Truncate()
{
    m_position = 0;
    if (m_blob)
        m_blob->Clear();
    markModified();
}

} // namespace qd
