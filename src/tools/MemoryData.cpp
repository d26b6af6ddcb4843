// TMemoryData: layout, open and close, record buffers, reading records, field access, posting
// and deleting. Searching, loading and sorting live in MemoryDataSearch.cpp and
// MemoryDataSort.cpp.
#include "MemoryData.h"

#include "MemBlobStream.h"

#include "classlib/BlobField.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

namespace qd {

namespace {

constexpr int bookmarkInfoSize = 8;

int alignUp(int value, int alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

bool isTextType(TFieldType type)
{
    return type == ftString || type == ftFixedChar || type == ftGuid;
}

[[noreturn]] void notEditing(const QString &name)
{
    DatabaseError(QStringLiteral("Dataset not in edit or insert mode"), name);
}

} // namespace

TMemoryData::TMemoryData() = default;

TMemoryData::~TMemoryData()
{
    try {
        Close();
    } catch (...) {
        // A destructor never throws; the records go below in any case.
    }
    m_records.clear();
}

// ---- Field kinds and layout

int TMemoryData::FieldDataSize(TFieldType type, int size)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
        return size + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 2;
    case ftInteger:
    case ftDate:
    case ftTime:
    case ftAutoInc:
        return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint:
    case ftBCD: // the class library keeps decimals as doubles
        return 8;
    case ftBytes:
        return size;
    case ftVarBytes:
        return size + 2;
    case ftWideString:
        return (size + 1) * 2;
    case ftGuid:
        return 39;
    default:
        return 0;
    }
}

bool TMemoryData::IsSupportedType(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftBytes:
    case ftVarBytes:
    case ftAutoInc:
    case ftFixedChar:
    case ftWideString:
    case ftLargeint:
    case ftVariant:
    case ftGuid:
        return true;
    default:
        // An object field (ftADT) is only a frame for the child fields that hold its values, and
        // the class library's field definitions have no children: such a field is refused.
        return IsBlobType(type);
    }
}

void TMemoryData::SetCapacity(int value)
{
    if (value > 0)
        m_records.reserve(static_cast<size_t>(value));
}

void TMemoryData::checkFieldTypes()
{
    if (DefaultFields()) {
        for (int i = 0; i < FieldDefs().Count(); ++i) {
            const TFieldDef *def = FieldDefs()[i];
            if (!IsSupportedType(def->DataType()))
                DatabaseError(
                    QStringLiteral("Field '%1' is of an unknown type").arg(def->Name()), Name());
        }
        return;
    }
    // Persistent fields describe the records: the definitions are rebuilt from them.
    for (TField *field : Fields())
        if (field->FieldKind() == fkData && !IsSupportedType(field->DataType()))
            DatabaseError(
                QStringLiteral("Field '%1' is of an unknown type").arg(field->DisplayName()),
                Name());
    FieldDefs().Clear();
    for (TField *field : Fields())
        if (field->FieldKind() == fkData)
            FieldDefs().Add(
                field->FieldName(), field->DataType(), field->Size(), field->Required());
    dropSortKeys();
}

void TMemoryData::computeLayout()
{
    m_places.clear();
    m_placeByFieldNo.clear();
    m_blobCount = 0;
    m_variantCount = 0;
    int offset = 0;
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        const TFieldDef *def = FieldDefs()[i];
        FieldPlace place;
        place.type = def->DataType();
        if (IsBlobType(def->DataType())) {
            place.place = Place::Blob;
            place.offset = m_blobCount++;
        } else if (def->DataType() == ftVariant) {
            place.place = Place::Variant;
            place.offset = m_variantCount++;
        } else if (IsSupportedType(def->DataType())) {
            place.place = Place::Block;
            place.offset = offset;
            place.dataSize = FieldDataSize(def->DataType(), def->Size());
            offset += 1 + place.dataSize;
            if (offset > 0xFFFF)
                DatabaseError(QStringLiteral("Record size exceeds 65535 bytes"), Name());
        }
        m_places.push_back(place);
        const int fieldNo = def->FieldNo();
        if (fieldNo >= 0) {
            if (static_cast<size_t>(fieldNo) >= m_placeByFieldNo.size())
                m_placeByFieldNo.resize(static_cast<size_t>(fieldNo) + 1, -1);
            m_placeByFieldNo[static_cast<size_t>(fieldNo)] = i;
        }
    }
    // A field's native value must fit the room the definitions give it, whatever class the
    // field has: a mismatch would read or write past the value.
    for (TField *field : Fields()) {
        const FieldPlace *place = placeOf(field);
        if (place && place->place == Place::Block && field->DataSize() != place->dataSize)
            DatabaseError(QStringLiteral("Field '%1' does not match its definition (size %2)")
                              .arg(field->DisplayName())
                              .arg(field->Size()),
                Name());
    }
    m_recordSize = offset;
    m_bookmarkOffset = alignUp(m_recordSize + CalcFieldsSize(), 4);
    m_blobOffset = alignUp(m_bookmarkOffset + bookmarkInfoSize, alignof(std::max_align_t));
    m_variantOffset = alignUp(
        m_blobOffset + m_blobCount * static_cast<int>(sizeof(QByteArray)), alignof(Variant));
    m_recordBufferSize = m_variantOffset + m_variantCount * static_cast<int>(sizeof(Variant));
}

const TMemoryData::FieldPlace *TMemoryData::placeOf(const TField *field) const
{
    const int fieldNo = field->FieldNo();
    if (fieldNo <= 0 || static_cast<size_t>(fieldNo) >= m_placeByFieldNo.size())
        return nullptr;
    const int index = m_placeByFieldNo[static_cast<size_t>(fieldNo)];
    if (index < 0)
        return nullptr;
    const FieldPlace &place = m_places[static_cast<size_t>(index)];
    return place.place == Place::None ? nullptr : &place;
}

// ---- Open and close

void TMemoryData::InternalOpen()
{
    checkFieldTypes();
    SetBookmarkSize(4);
    if (DefaultFields())
        CreateFields();
    BindFields(true);
    computeLayout();
    m_filterBuffer = AllocRecordBuffer();
    m_position = -1;
    m_cursorOpen = true;
}

void TMemoryData::InternalClose()
{
    freeAllRecords();
    m_nextAutoInc = 1;
    if (m_filterBuffer)
        FreeRecordBuffer(m_filterBuffer);
    BindFields(false);
    if (DefaultFields())
        DestroyFields();
    dropSortKeys();
    m_cursorOpen = false;
}

void TMemoryData::freeAllRecords()
{
    m_records.clear();
    m_records.shrink_to_fit();
    m_lastId = INT_MIN;
    m_position = -1;
}

// ---- Record buffers

TRecordBuffer TMemoryData::AllocRecordBuffer()
{
    TRecordBuffer buffer = new char[static_cast<size_t>(m_recordBufferSize)]();
    for (int i = 0; i < m_blobCount; ++i)
        new (blobsOf(buffer) + i) QByteArray();
    for (int i = 0; i < m_variantCount; ++i)
        new (variantsOf(buffer) + i) Variant();
    return buffer;
}

void TMemoryData::FreeRecordBuffer(TRecordBuffer &buffer)
{
    if (!buffer)
        return;
    for (int i = 0; i < m_blobCount; ++i)
        blobsOf(buffer)[i].~QByteArray();
    for (int i = 0; i < m_variantCount; ++i)
        variantsOf(buffer)[i].~Variant();
    delete[] buffer;
    buffer = nullptr;
}

void TMemoryData::InternalInitRecord(TRecordBuffer buffer)
{
    std::memset(buffer, 0, static_cast<size_t>(m_blobOffset));
    for (int i = 0; i < m_blobCount; ++i)
        blobsOf(buffer)[i].clear();
    for (int i = 0; i < m_variantCount; ++i)
        variantsOf(buffer)[i] = Variant();
    bookmarkInfo(buffer)->id = INT_MIN;
    bookmarkInfo(buffer)->flag = bfInserted;
}

void TMemoryData::ClearCalcFields(TRecordBuffer buffer)
{
    std::memset(buffer + m_recordSize, 0, static_cast<size_t>(CalcFieldsSize()));
}

void TMemoryData::GetBookmarkData(TRecordBuffer buffer, void *data)
{
    std::memcpy(data, &bookmarkInfo(buffer)->id, 4);
}

void TMemoryData::SetBookmarkData(TRecordBuffer buffer, const void *data)
{
    std::memcpy(&bookmarkInfo(buffer)->id, data, 4);
}

TBookmarkFlag TMemoryData::GetBookmarkFlag(TRecordBuffer buffer)
{
    return static_cast<TBookmarkFlag>(bookmarkInfo(buffer)->flag);
}

void TMemoryData::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag)
{
    bookmarkInfo(buffer)->flag = static_cast<qint8>(flag);
}

// ---- Records

TMemoryRecord TMemoryData::newRecord()
{
    if (m_lastId == INT_MAX)
        DatabaseError(QStringLiteral("No more record IDs: empty the dataset first"), Name());
    TMemoryRecord record;
    record.m_id = ++m_lastId;
    if (m_recordSize > 0)
        record.m_data.reset(new char[static_cast<size_t>(m_recordSize)]());
    if (m_blobCount > 0 || m_variantCount > 0) {
        record.m_outside = std::make_unique<TMemoryRecord::Outside>();
        record.m_outside->blobs.resize(static_cast<size_t>(m_blobCount));
        record.m_outside->variants.resize(static_cast<size_t>(m_variantCount));
    }
    return record;
}

void TMemoryData::insertRecord(int index, TRecordBuffer buffer)
{
    m_records.insert(m_records.begin() + index, newRecord());
    WriteRecordData(buffer, index);
}

void TMemoryData::WriteRecordData(TRecordBuffer buffer, int index)
{
    if (State() == dsFilter)
        notEditing(Name());
    TMemoryRecord &record = m_records.at(static_cast<size_t>(index));
    if (m_recordSize > 0)
        std::memcpy(record.m_data.get(), buffer, static_cast<size_t>(m_recordSize));
    if (record.m_outside) {
        for (int i = 0; i < m_blobCount; ++i)
            record.m_outside->blobs[static_cast<size_t>(i)] = blobsOf(buffer)[i];
        for (int i = 0; i < m_variantCount; ++i)
            record.m_outside->variants[static_cast<size_t>(i)] = variantsOf(buffer)[i];
    }
}

void TMemoryData::copyRecordToBuffer(int index, TRecordBuffer buffer, bool calculate)
{
    const TMemoryRecord &record = m_records[static_cast<size_t>(index)];
    if (m_recordSize > 0)
        std::memcpy(buffer, record.m_data.get(), static_cast<size_t>(m_recordSize));
    bookmarkInfo(buffer)->id = record.m_id;
    bookmarkInfo(buffer)->flag = bfCurrent;
    if (record.m_outside) {
        for (int i = 0; i < m_blobCount; ++i)
            blobsOf(buffer)[i] = record.m_outside->blobs[static_cast<size_t>(i)];
        for (int i = 0; i < m_variantCount; ++i)
            variantsOf(buffer)[i] = record.m_outside->variants[static_cast<size_t>(i)];
    }
    if (calculate)
        GetCalcFields(buffer);
}

int TMemoryData::findRecordById(qint32 id) const
{
    // The cursor's own record and its neighbours are the usual targets.
    const int count = RecordListCount();
    for (int i = std::max(0, m_position - 1); i <= std::min(count - 1, m_position + 1); ++i)
        if (m_records[static_cast<size_t>(i)].m_id == id)
            return i;
    for (int i = 0; i < count; ++i)
        if (m_records[static_cast<size_t>(i)].m_id == id)
            return i;
    return -1;
}

bool TMemoryData::recordAccepted(int index)
{
    if (!Filtered())
        return true;
    if (index < 0 || index >= RecordListCount())
        return false;
    copyRecordToBuffer(index, m_filterBuffer, true);
    TTempState temp(this, dsFilter);
    bool accept = true;
    if (OnFilterRecord) {
        try {
            OnFilterRecord(this, accept);
        } catch (...) {
            // The handler's error does not stop the navigation; what it decided so far stands.
            InternalHandleException();
        }
    }
    return accept && FilterAccept();
}

TGetResult TMemoryData::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck)
{
    const int count = RecordListCount();
    TGetResult result = grOK;
    switch (mode) {
    case gmCurrent:
        if (m_position < 0 || m_position >= count || !recordAccepted(m_position))
            result = grError;
        break;
    case gmNext:
        if (m_position < count - 1) {
            bool accepted = false;
            while (!accepted && m_position < count - 1) {
                ++m_position;
                accepted = recordAccepted(m_position);
            }
            if (!accepted) {
                m_position = count - 1;
                result = grEOF;
            }
        } else {
            result = grEOF;
        }
        break;
    case gmPrior:
        if (m_position > 0) {
            bool accepted = false;
            while (!accepted && m_position > 0) {
                --m_position;
                accepted = recordAccepted(m_position);
            }
            if (!accepted) {
                m_position = -1;
                result = grBOF;
            }
        } else {
            m_position = -1;
            result = grBOF;
        }
        break;
    }
    if (result == grOK)
        copyRecordToBuffer(m_position, buffer, true);
    else if (result == grError && doCheck)
        DatabaseError(QStringLiteral("No data found"), Name());
    return result;
}

bool TMemoryData::GetCurrentRecord(TRecordBuffer buffer)
{
    if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent)
        return false;
    UpdateCursorPos();
    if (m_position < 0 || m_position >= RecordListCount())
        return false;
    if (m_recordSize > 0)
        std::memcpy(buffer, m_records[static_cast<size_t>(m_position)].m_data.get(),
            static_cast<size_t>(m_recordSize));
    return true;
}

// ---- Field access

bool TMemoryData::ActiveRecordBuffer(TRecordBuffer &buffer)
{
    switch (State()) {
    case dsBrowse:
        buffer = IsEmpty() ? nullptr : ActiveBuffer();
        break;
    case dsEdit:
    case dsInsert:
    case dsNewValue:
        buffer = ActiveBuffer();
        break;
    case dsCalcFields:
        buffer = CalcBuffer();
        break;
    case dsFilter:
        buffer = m_filterBuffer;
        break;
    default:
        buffer = nullptr;
        break;
    }
    return buffer != nullptr;
}

bool TMemoryData::GetFieldData(TField *field, void *buffer)
{
    TRecordBuffer record = nullptr;
    if (!ActiveRecordBuffer(record))
        return false;
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
        switch (State()) {
        case dsBrowse:
        case dsEdit:
        case dsInsert:
        case dsCalcFields:
            break;
        default:
            return false;
        }
        const char *place = record + m_recordSize + field->Offset();
        if (!place[0])
            return false;
        if (buffer)
            std::memcpy(buffer, place + 1, static_cast<size_t>(field->DataSize()));
        return true;
    }
    const FieldPlace *place = placeOf(field);
    if (!place)
        return false;
    switch (place->place) {
    case Place::Block: {
        const char *data = record + place->offset;
        if (!data[0])
            return false;
        // An empty text is no value.
        if (isTextType(place->type) && data[1] == 0)
            return false;
        if (place->type == ftWideString && data[1] == 0 && data[2] == 0)
            return false;
        if (buffer)
            std::memcpy(buffer, data + 1, static_cast<size_t>(place->dataSize));
        return true;
    }
    case Place::Blob:
        // A BLOB has a value when its bytes are not empty.
        return !blobsOf(record)[place->offset].isEmpty();
    case Place::Variant: {
        const Variant &value = variantsOf(record)[place->offset];
        if (value.IsNullOrEmpty())
            return false;
        if (buffer)
            *static_cast<Variant *>(buffer) = value;
        return true;
    }
    case Place::None:
        break;
    }
    return false;
}

void TMemoryData::SetFieldData(TField *field, const void *buffer)
{
    const TDataSetState state = State();
    switch (state) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
    case dsInternalCalc:
        break;
    default:
        notEditing(Name());
    }
    TRecordBuffer record = nullptr;
    if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) {
        if (state == dsCalcFields || state == dsFilter)
            notEditing(Name());
        if (field->ReadOnly() && state != dsSetKey && state != dsFilter)
            DatabaseError(
                QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayName()), Name());
        field->Validate(buffer);
        if (field->FieldKind() == fkInternalCalc || !ActiveRecordBuffer(record))
            return;
        const FieldPlace *place = placeOf(field);
        if (!place)
            return;
        if (place->place == Place::Variant) {
            const auto *value = static_cast<const Variant *>(buffer);
            variantsOf(record)[place->offset]
                = value && !value->IsNullOrEmpty() ? *value : Variant::Null();
        } else if (place->place == Place::Block) {
            char *data = record + place->offset;
            data[0] = buffer ? 1 : 0;
            if (buffer)
                std::memcpy(data + 1, buffer, static_cast<size_t>(place->dataSize));
            else
                std::memset(data + 1, 0, static_cast<size_t>(place->dataSize));
        } else {
            return; // BLOB values are written through their streams
        }
    } else {
        if (!ActiveRecordBuffer(record))
            return;
        char *data = record + m_recordSize + field->Offset();
        data[0] = buffer ? 1 : 0;
        if (buffer)
            std::memcpy(data + 1, buffer, static_cast<size_t>(field->DataSize()));
    }
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<qintptr>(field));
}

// ---- Cursor

void TMemoryData::InternalGotoBookmark(const void *bookmark)
{
    qint32 id;
    std::memcpy(&id, bookmark, 4);
    const int index = findRecordById(id);
    if (index < 0)
        return;
    const int previous = m_position;
    m_position = index;
    if (Filtered() && !recordAccepted(index))
        m_position = previous;
}

void TMemoryData::InternalSetToRecord(TRecordBuffer buffer)
{
    InternalGotoBookmark(&bookmarkInfo(buffer)->id);
}

bool TMemoryData::BookmarkValid(const TBookmark &bookmark)
{
    if (!m_cursorOpen || bookmark.size() != 4)
        return false;
    qint32 id;
    std::memcpy(&id, bookmark.constData(), 4);
    return id > INT_MIN && id <= m_lastId;
}

int TMemoryData::CompareBookmarks(const TBookmark &a, const TBookmark &b)
{
    if (a.size() != 4 || b.size() != 4)
        return (a.size() == 4) - (b.size() == 4);
    qint32 x;
    qint32 y;
    std::memcpy(&x, a.constData(), 4);
    std::memcpy(&y, b.constData(), 4);
    return x < y ? -1 : x > y ? 1 : 0;
}

int TMemoryData::GetRecordCount()
{
    return RecordListCount();
}

int TMemoryData::GetRecNo()
{
    CheckActive();
    UpdateCursorPos();
    if (m_position == -1 && RecordListCount() > 0)
        return 1;
    return m_position + 1;
}

void TMemoryData::SetRecNoValue(int value)
{
    if (value < 1 || value > RecordListCount())
        return;
    // A pending edit belongs to the record it was started on.
    CheckBrowseMode();
    DoBeforeScroll();
    m_position = value - 1;
    Resync(0);
    DoAfterScroll();
}

// ---- Adding, posting, deleting

void TMemoryData::FillAutoIncFields(TRecordBuffer buffer)
{
    bool filled = false;
    for (TField *field : Fields()) {
        if (field->FieldKind() != fkData || field->DataType() != ftAutoInc)
            continue;
        const FieldPlace *place = placeOf(field);
        if (!place || place->place != Place::Block)
            continue;
        char *data = buffer + place->offset;
        data[0] = 1;
        const qint32 value = m_nextAutoInc;
        std::memcpy(data + 1, &value, 4);
        filled = true;
    }
    if (filled)
        ++m_nextAutoInc;
}

void TMemoryData::InternalAddRecord(TRecordBuffer buffer, bool append)
{
    int index;
    if (append) {
        index = RecordListCount();
    } else {
        index = std::clamp(m_position, 0, RecordListCount());
    }
    FillAutoIncFields(buffer);
    insertRecord(index, buffer);
    m_position = index;
}

void TMemoryData::InternalPost()
{
    TDataSet::InternalPost();
    TRecordBuffer buffer = ActiveBuffer();
    if (State() == dsEdit) {
        if (m_position < 0 || m_position >= RecordListCount())
            DatabaseError(QStringLiteral("No data found"), Name());
        WriteRecordData(buffer, m_position);
        return;
    }
    FillAutoIncFields(buffer);
    if (m_position >= RecordListCount()) {
        insertRecord(RecordListCount(), buffer);
        m_position = RecordListCount() - 1;
    } else {
        const int index = std::max(m_position, 0);
        insertRecord(index, buffer);
        m_position = index;
    }
}

void TMemoryData::InternalDelete()
{
    if (m_position < 0 || m_position >= RecordListCount())
        DatabaseError(QStringLiteral("No data found"), Name());
    m_records.erase(m_records.begin() + m_position);
    if (m_position >= RecordListCount())
        --m_position;
    if (Filtered())
        while (m_position >= 0 && !recordAccepted(m_position))
            --m_position;
    if (m_records.empty())
        m_lastId = INT_MIN;
}

// ---- BLOBs

std::unique_ptr<TStream> TMemoryData::CreateBlobStream(TField *field, TBlobStreamMode mode)
{
    if (!field->IsBlob())
        return TDataSet::CreateBlobStream(field, mode);
    return std::make_unique<TMemBlobStream>(field, mode);
}

void TMemoryData::CloseBlob(TField *field)
{
    const FieldPlace *place = placeOf(field);
    TRecordBuffer active = ActiveBuffer();
    if (!place || place->place != Place::Blob || !active)
        return;
    QByteArray &value = blobsOf(active)[place->offset];
    if (m_position >= 0 && m_position < RecordListCount() && State() == dsEdit) {
        const TMemoryRecord &record = m_records[static_cast<size_t>(m_position)];
        value = record.m_outside->blobs[static_cast<size_t>(place->offset)];
    } else {
        value.clear();
    }
}

bool TMemoryData::IsIndexField(TField *field)
{
    return std::find(m_sortKeys.begin(), m_sortKeys.end(), field) != m_sortKeys.end();
}

} // namespace qd
