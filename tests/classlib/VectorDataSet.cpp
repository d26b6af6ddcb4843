#include "VectorDataSet.h"

#include "classlib/BlobField.h"
#include "classlib/Stream.h"

#include <cstring>

namespace qd::test {

// A stream over one BLOB slot of a buffer; writing is allowed only while editing.
class VectorBlobStream : public TStream {
public:
    VectorBlobStream(VectorDataSet *ds, TField *field, QByteArray *slot, bool writable)
        : m_ds(ds)
        , m_field(field)
        , m_slot(slot)
        , m_writable(writable)
    {
    }
    ~VectorBlobStream() override
    {
        // Values filled in while fetching are no change of the record.
        if (!m_modified || (m_ds->State() != dsEdit && m_ds->State() != dsInsert))
            return;
        if (auto *blob = dynamic_cast<TBlobField *>(m_field))
            blob->SetModified(true);
        try {
            m_ds->DataEvent(deFieldChange, reinterpret_cast<qintptr>(m_field));
        } catch (...) {
            m_ds->InternalHandleException();
        }
    }
    qint64 Read(void *buffer, qint64 count) override
    {
        if (!m_slot || count <= 0 || m_pos >= m_slot->size())
            return 0;
        const qint64 n = std::min(count, m_slot->size() - m_pos);
        std::memcpy(buffer, m_slot->constData() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return n;
    }
    qint64 Write(const void *buffer, qint64 count) override
    {
        if (!m_slot || !m_writable || count <= 0)
            return 0;
        if (m_pos > m_slot->size())
            m_slot->append(QByteArray(static_cast<int>(m_pos - m_slot->size()), '\0'));
        if (m_pos + count > m_slot->size())
            m_slot->resize(static_cast<int>(m_pos + count));
        std::memcpy(m_slot->data() + m_pos, buffer, static_cast<size_t>(count));
        m_pos += count;
        m_modified = true;
        return count;
    }
    qint64 Seek(qint64 offset, TSeekOrigin origin) override
    {
        const qint64 base = origin == soBeginning ? 0 : origin == soCurrent ? m_pos : Size();
        m_pos = std::max<qint64>(0, base + offset);
        return m_pos;
    }
    qint64 Size() override { return m_slot ? m_slot->size() : 0; }
    void SetSize(qint64 size) override
    {
        if (!m_slot || !m_writable)
            return;
        if (size > m_slot->size())
            m_slot->append(QByteArray(static_cast<int>(size - m_slot->size()), '\0'));
        else
            m_slot->truncate(static_cast<int>(size));
        m_pos = std::min(m_pos, size);
        m_modified = true;
    }

private:
    VectorDataSet *m_ds;
    TField *m_field;
    QByteArray *m_slot;
    bool m_writable;
    bool m_modified = false;
    qint64 m_pos = 0;
};

VectorDataSet::VectorDataSet() = default;

VectorDataSet::~VectorDataSet()
{
    try {
        Close();
    } catch (...) {
    }
}

// ---- Buffers

TRecordBuffer VectorDataSet::AllocRecordBuffer()
{
    TRecordBuffer buffer = new char[static_cast<size_t>(m_bufferSize)]();
    m_bufferBlobs[buffer].assign(m_blobFields.size(), QByteArray());
    return buffer;
}

void VectorDataSet::FreeRecordBuffer(TRecordBuffer &buffer)
{
    m_bufferBlobs.erase(buffer);
    delete[] buffer;
    buffer = nullptr;
}

std::vector<QByteArray> &VectorDataSet::blobsOf(TRecordBuffer buffer)
{
    auto &blobs = m_bufferBlobs[buffer];
    blobs.resize(m_blobFields.size());
    return blobs;
}

void VectorDataSet::GetBookmarkData(TRecordBuffer buffer, void *data)
{
    std::memcpy(data, buffer, 4);
}

void VectorDataSet::SetBookmarkData(TRecordBuffer buffer, const void *data)
{
    std::memcpy(buffer, data, 4);
}

TBookmarkFlag VectorDataSet::GetBookmarkFlag(TRecordBuffer buffer)
{
    return static_cast<TBookmarkFlag>(buffer[4]);
}

void VectorDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag)
{
    buffer[4] = static_cast<char>(flag);
}

void VectorDataSet::InternalInitRecord(TRecordBuffer buffer)
{
    std::memset(buffer, 0, headerSize);
    std::memset(buffer + headerSize, 1, static_cast<size_t>(m_bufferSize - headerSize));
    for (auto &blob : blobsOf(buffer))
        blob.clear();
}

void VectorDataSet::ClearCalcFields(TRecordBuffer buffer)
{
    std::memset(buffer + headerSize + m_recordSize, 1, static_cast<size_t>(CalcFieldsSize()));
}

// ---- Field access

TRecordBuffer VectorDataSet::bufferForState()
{
    switch (State()) {
    case dsBrowse:
        return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert:
    case dsNewValue:
        return ActiveBuffer();
    case dsCalcFields:
        return CalcBuffer();
    case dsFilter:
        return m_filterBuffer;
    case dsOldValue:
    case dsCurValue: {
        TRecordBuffer active = ActiveBuffer();
        if (!active || IsEmpty())
            return nullptr;
        qint32 id;
        std::memcpy(&id, active, 4);
        const int index = findRecord(id);
        return index >= 0 ? m_records[static_cast<size_t>(index)].data.data() : nullptr;
    }
    default:
        return nullptr;
    }
}

char *VectorDataSet::fieldPlace(TField *field, TRecordBuffer buffer)
{
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup)
        return buffer + headerSize + m_recordSize + field->Offset();
    auto it = m_offsets.find(field);
    return it == m_offsets.end() ? nullptr : buffer + headerSize + it->second;
}

int VectorDataSet::blobIndex(TField *field) const
{
    for (size_t i = 0; i < m_blobFields.size(); ++i)
        if (m_blobFields[i] == field)
            return static_cast<int>(i);
    return -1;
}

bool VectorDataSet::GetFieldData(TField *field, void *buffer)
{
    TRecordBuffer record = bufferForState();
    if (!record)
        return false;
    if (field->IsBlob()) {
        const int i = blobIndex(field);
        if (i < 0)
            return false;
        // An old value or a record being filtered is a stored record, whose BLOBs live in it.
        if (State() == dsOldValue || State() == dsCurValue || State() == dsFilter) {
            for (const Record &r : m_records)
                if (r.data.data() == record)
                    return !r.blobs[static_cast<size_t>(i)].isEmpty();
        }
        return !blobsOf(record)[static_cast<size_t>(i)].isEmpty();
    }
    char *place = fieldPlace(field, record);
    if (!place || place[0] != 0)
        return false;
    if (buffer)
        std::memcpy(buffer, place + 1, static_cast<size_t>(field->DataSize()));
    return true;
}

void VectorDataSet::SetFieldData(TField *field, const void *buffer)
{
    const TDataSetState state = State();
    TRecordBuffer record = bufferForState();
    if (!record || state == dsOldValue || state == dsCurValue)
        DatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    const bool isData = field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc;
    if (isData && (state == dsCalcFields || state == dsFilter))
        DatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    if (isData && field->ReadOnly() && state != dsSetKey && state != dsNewValue)
        DatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayName()));
    if (state == dsEdit || state == dsInsert)
        field->Validate(buffer);
    char *place = fieldPlace(field, record);
    if (!place)
        return;
    const bool emptyText = buffer
        && (field->DataType() == ftString || field->DataType() == ftFixedChar)
        && static_cast<const char *>(buffer)[0] == '\0';
    if (!buffer || emptyText) {
        place[0] = 1;
        std::memset(place + 1, 0, static_cast<size_t>(field->DataSize()));
    } else {
        place[0] = 0;
        std::memcpy(place + 1, buffer, static_cast<size_t>(field->DataSize()));
    }
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<qintptr>(field));
}

std::unique_ptr<TStream> VectorDataSet::CreateBlobStream(TField *field, TBlobStreamMode mode)
{
    const int i = blobIndex(field);
    if (i < 0)
        return TDataSet::CreateBlobStream(field, mode);
    const TDataSetState state = State();
    const bool writing = mode != bmRead;
    if (writing) {
        if (field->ReadOnly() && state != dsNewValue)
            DatabaseError(
                QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayName()));
        if (state != dsEdit && state != dsInsert && state != dsNewValue)
            DatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    }
    TRecordBuffer record = bufferForState();
    QByteArray *slot = nullptr;
    if (record && (state == dsOldValue || state == dsCurValue || state == dsFilter)) {
        for (Record &r : m_records)
            if (r.data.data() == record)
                slot = &r.blobs[static_cast<size_t>(i)];
    } else if (record) {
        slot = &blobsOf(record)[static_cast<size_t>(i)];
    }
    auto stream = std::make_unique<VectorBlobStream>(this, field, slot, writing);
    if (mode == bmWrite)
        stream->SetSize(0);
    return stream;
}

void VectorDataSet::CloseBlob(TField *field)
{
    const int i = blobIndex(field);
    TRecordBuffer active = ActiveBuffer();
    if (i < 0 || !active)
        return;
    QByteArray stored;
    qint32 id;
    std::memcpy(&id, active, 4);
    const int index = State() == dsEdit ? findRecord(id) : -1;
    if (index >= 0)
        stored = m_records[static_cast<size_t>(index)].blobs[static_cast<size_t>(i)];
    blobsOf(active)[static_cast<size_t>(i)] = stored;
}

// ---- Records and cursor

int VectorDataSet::findRecord(qint32 id) const
{
    for (size_t i = 0; i < m_records.size(); ++i) {
        qint32 rid;
        std::memcpy(&rid, m_records[i].data.data(), 4);
        if (rid == id)
            return static_cast<int>(i);
    }
    return -1;
}

bool VectorDataSet::fetchBlock()
{
    if (m_sourcePos >= m_source.size())
        return false;
    const size_t n = m_readBuffer > 0 ? static_cast<size_t>(m_readBuffer) : m_source.size();
    TRecordBuffer buffer = AllocRecordBuffer();
    struct Free {
        VectorDataSet *ds;
        TRecordBuffer &b;
        ~Free() { ds->FreeRecordBuffer(b); }
    } guard { this, buffer };
    for (size_t k = 0; k < n && m_sourcePos < m_source.size(); ++k, ++m_sourcePos) {
        InternalInitRecord(buffer);
        const VariantArray &row = m_source[m_sourcePos];
        {
            TTempState temp(this, dsNewValue, buffer);
            for (int c = 0; c < FieldDefs().Count() && c < static_cast<int>(row.size()); ++c)
                if (TField *field = FindField(FieldDefs()[c]->Name()))
                    field->SetAsVariant(row[static_cast<size_t>(c)]);
        }
        ++m_lastId;
        std::memcpy(buffer, &m_lastId, 4);
        Record record;
        record.data.assign(buffer, buffer + m_bufferSize);
        record.blobs = blobsOf(buffer);
        m_records.push_back(std::move(record));
    }
    return true;
}

bool VectorDataSet::acceptRecord(int index)
{
    if (!Filtered())
        return true;
    // Fields read the stored record in the filter state; the previous record and state come
    // back even when the dataset's filter fails.
    struct Restore {
        TRecordBuffer &place;
        TRecordBuffer previous;
        ~Restore() { place = previous; }
    } restore { m_filterBuffer, m_filterBuffer };
    m_filterBuffer = m_records[static_cast<size_t>(index)].data.data();
    TTempState temp(this, dsFilter);
    bool accept = true;
    if (OnFilterRecord) {
        try {
            OnFilterRecord(this, accept);
        } catch (...) {
            InternalHandleException();
        }
    }
    return accept && FilterAccept();
}

void VectorDataSet::copyToBuffer(int index, TRecordBuffer buffer)
{
    const Record &record = m_records[static_cast<size_t>(index)];
    std::memcpy(buffer, record.data.data(), static_cast<size_t>(m_bufferSize));
    SetBookmarkFlag(buffer, bfCurrent);
    blobsOf(buffer) = record.blobs;
    GetCalcFields(buffer);
}

TGetResult VectorDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck)
{
    auto count = [this] { return static_cast<int>(m_records.size()); };
    TGetResult result = grOK;
    switch (mode) {
    case gmCurrent:
        while (m_current >= count() && fetchBlock()) { }
        if (m_current < 0 || m_current >= count() || !acceptRecord(m_current))
            result = grError;
        break;
    case gmNext:
        for (;;) {
            if (m_current + 1 >= count() && !fetchBlock()) {
                m_current = count();
                result = grEOF;
                break;
            }
            ++m_current;
            if (acceptRecord(m_current))
                break;
        }
        break;
    case gmPrior:
        for (;;) {
            if (m_current <= 0) {
                m_current = -1;
                result = grBOF;
                break;
            }
            if (m_current > count())
                m_current = count();
            --m_current;
            if (acceptRecord(m_current))
                break;
        }
        break;
    }
    if (result == grOK)
        copyToBuffer(m_current, buffer);
    else if (result == grError && doCheck)
        DatabaseError(QStringLiteral("No Records"));
    return result;
}

void VectorDataSet::InternalLast()
{
    while (fetchBlock()) { }
    m_current = static_cast<int>(m_records.size());
}

void VectorDataSet::InternalGotoBookmark(const void *bookmark)
{
    qint32 id;
    std::memcpy(&id, bookmark, 4);
    const int index = findRecord(id);
    if (index < 0)
        DatabaseError(QStringLiteral("Bookmark not found (%1)").arg(id));
    m_current = index;
}

void VectorDataSet::InternalSetToRecord(TRecordBuffer buffer)
{
    InternalGotoBookmark(buffer);
}

bool VectorDataSet::BookmarkValid(const TBookmark &bookmark)
{
    if (bookmark.size() != 4 || !m_open)
        return false;
    qint32 id;
    std::memcpy(&id, bookmark.constData(), 4);
    return findRecord(id) >= 0;
}

int VectorDataSet::CompareBookmarks(const TBookmark &a, const TBookmark &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty() ? 0 : (a.isEmpty() ? 1 : -1);
    qint32 x, y;
    std::memcpy(&x, a.constData(), 4);
    std::memcpy(&y, b.constData(), 4);
    return x < y ? -1 : x > y ? 1 : 0;
}

void VectorDataSet::storeBuffer(TRecordBuffer buffer, int index)
{
    Record &record = m_records[static_cast<size_t>(index)];
    const qint32 id = *reinterpret_cast<qint32 *>(record.data.data());
    std::memcpy(record.data.data() + 4, buffer + 4, static_cast<size_t>(m_bufferSize - 4));
    std::memcpy(record.data.data(), &id, 4);
    record.blobs = blobsOf(buffer);
}

void VectorDataSet::InternalAddRecord(TRecordBuffer buffer, bool append)
{
    if (append)
        InternalLast();
    Record record;
    record.data.assign(static_cast<size_t>(m_bufferSize), 0);
    ++m_lastId;
    std::memcpy(record.data.data(), &m_lastId, 4);
    int at = m_current < 0 ? 0 : std::min(m_current, static_cast<int>(m_records.size()));
    m_records.insert(m_records.begin() + at, std::move(record));
    storeBuffer(buffer, at);
    m_current = at;
}

void VectorDataSet::InternalEdit()
{
    if (BeforeInternal)
        BeforeInternal("edit");
}

void VectorDataSet::InternalPost()
{
    TDataSet::InternalPost();
    if (BeforeInternal)
        BeforeInternal("post");
    if (State() == dsEdit)
        storeBuffer(ActiveBuffer(), m_current);
    else
        InternalAddRecord(ActiveBuffer(), false);
}

void VectorDataSet::InternalDelete()
{
    if (BeforeInternal)
        BeforeInternal("delete");
    if (m_current < 0 || m_current >= static_cast<int>(m_records.size()))
        DatabaseError(QStringLiteral("No Records"));
    m_records.erase(m_records.begin() + m_current);
    if (m_current >= static_cast<int>(m_records.size()))
        m_current = static_cast<int>(m_records.size()) - 1;
}

void VectorDataSet::InternalRefresh()
{
    // Records are their own source once fetched; refreshing keeps them.
}

// ---- Open and close

void VectorDataSet::InternalInitFieldDefs()
{
    if (FieldDefs().Count() > 0 || FieldCount() == 0)
        return;
    for (TField *field : Fields())
        if (field->FieldKind() == fkData)
            FieldDefs().Add(
                field->FieldName(), field->DataType(), field->Size(), field->Required());
}

void VectorDataSet::InternalOpen()
{
    InternalInitFieldDefs();
    if (DefaultFields())
        CreateFields();
    BindFields(true);
    m_offsets.clear();
    m_blobFields.clear();
    m_recordSize = 0;
    for (TField *field : Fields()) {
        if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc)
            continue;
        if (field->IsBlob()) {
            m_blobFields.push_back(field);
            continue;
        }
        m_offsets[field] = m_recordSize;
        m_recordSize += field->DataSize() + 1;
    }
    m_bufferSize = headerSize + m_recordSize + CalcFieldsSize();
    SetBookmarkSize(4);
    m_records.clear();
    m_sourcePos = 0;
    m_lastId = 0;
    m_current = -1;
    m_open = true;
    if (m_readBuffer == 0)
        fetchBlock();
}

void VectorDataSet::InternalClose()
{
    m_records.clear();
    m_open = false;
    BindFields(false);
    if (DefaultFields())
        DestroyFields();
    m_offsets.clear();
    m_blobFields.clear();
}

// ---- Counts and positions

int VectorDataSet::GetRecordCount()
{
    CheckActive();
    int n = 0;
    for (int i = 0; i < static_cast<int>(m_records.size()); ++i)
        if (acceptRecord(i))
            ++n;
    return n;
}

int VectorDataSet::GetRecNo()
{
    CheckActive();
    UpdateCursorPos();
    if (m_current < 0)
        return m_records.empty() ? 0 : 1;
    return m_current + 1;
}

void VectorDataSet::SetRecNoValue(int value)
{
    CheckBrowseMode();
    if (value < 1 || value > static_cast<int>(m_records.size()) || value - 1 == m_current)
        return;
    DoBeforeScroll();
    m_current = value - 1;
    Resync(rmCenter);
    DoAfterScroll();
}

Variant VectorDataSet::StoredValue(int record, const QString &fieldName)
{
    TField *field = FieldByName(fieldName);
    TTempState temp(this, dsBrowse, m_records.at(static_cast<size_t>(record)).data.data());
    if (field->IsBlob()) {
        const QByteArray bytes = m_records.at(static_cast<size_t>(record))
                                     .blobs[static_cast<size_t>(blobIndex(field))];
        return bytes.isEmpty() ? Variant::Null() : Variant(bytes);
    }
    return field->AsVariant();
}

// ---- Searching

bool VectorDataSet::Locate(
    const QString &keyFields, const Variant &keyValues, TLocateOptions options)
{
    CheckBrowseMode();
    std::vector<TField *> fields;
    GetFieldList(fields, keyFields);
    auto matches = [&] {
        for (size_t i = 0; i < fields.size(); ++i) {
            const Variant key = fields.size() == 1 ? keyValues : keyValues.AsArray().at(i);
            if (options & (loCaseInsensitive | loPartialKey)) {
                QString text = fields[i]->AsString();
                const QString want = key.AsString();
                if (options & loPartialKey)
                    text.truncate(want.size());
                const auto cs
                    = options & loCaseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
                if (text.compare(want, cs) != 0)
                    return false;
            } else if (fields[i]->AsVariant() != key) {
                return false;
            }
        }
        return true;
    };
    if (IsEmpty())
        return false;
    // Search the stored records without moving, then move once.
    TBookmark found;
    ReadRecords({}, std::numeric_limits<int>::max(), [&](const TBookmark &bookmark) {
        if (found.isEmpty() && matches())
            found = bookmark;
    });
    if (found.isEmpty())
        return false;
    GotoBookmark(found);
    return true;
}

Variant VectorDataSet::Lookup(
    const QString &keyFields, const Variant &keyValues, const QString &resultFields)
{
    std::vector<TField *> fields;
    GetFieldList(fields, keyFields);
    Variant result = Variant::Null();
    bool done = false;
    if (!Active() || IsEmpty())
        return result;
    ReadRecords({}, std::numeric_limits<int>::max(), [&](const TBookmark &) {
        if (done)
            return;
        for (size_t i = 0; i < fields.size(); ++i) {
            const Variant key = fields.size() == 1 ? keyValues : keyValues.AsArray().at(i);
            if (fields[i]->AsVariant() != key)
                return;
        }
        result = FieldValues(resultFields);
        done = true;
    });
    return result;
}

} // namespace qd::test
