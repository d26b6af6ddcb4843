// The dataset's record buffers, navigation over the record store, field access, bookmarks,
// record counts and filtering.
#include "OracleDataSet.h"

#include "ColumnExpression.h"
#include "DataSetFilter.h"
#include "PackedRecord.h"
#include "classlib/BlobField.h"

#include <algorithm>
#include <cstring>

namespace qd {

namespace {
constexpr int HeaderSize = static_cast<int>(sizeof(TRecordHeader));
}

// ---- Converting between stored records and buffers

void TOracleDataSet::DecodeRecord(const char *stored, char *buffer) const
{
    std::memcpy(buffer, stored, HeaderSize);
    for (const FieldSlot &slot : m_slots) {
        char *target = buffer + slot.bufferOffset;
        if (slot.blob) {
            const TBlobList *blobs = RecordHeader(const_cast<char *>(stored))->BlobList;
            const TOracleBlob *blob = blobs ? blobs->BlobByField(slot.field) : nullptr;
            target[0] = blob && blob->Size() > 0 ? 0 : 1;
            continue;
        }
        const bool present = PackedRecord::IsPresent(stored, slot.nullBit);
        target[0] = present ? 0 : 1;
        if (!present)
            continue;
        const char *value = stored + slot.storedOffset;
        if (slot.text) {
            const char *text = PackedRecord::Text(stored, slot.storedOffset);
            const size_t length
                = std::min(std::strlen(text), static_cast<size_t>(slot.dataSize - 1));
            std::memcpy(target + 1, text, length);
            target[1 + length] = '\0';
        } else {
            std::memcpy(target + 1, value, static_cast<size_t>(slot.dataSize));
        }
    }
}

void TOracleDataSet::EncodeRecord(const char *buffer, char *stored)
{
    TRecordHeader *header = RecordHeader(stored);
    const TRecordHeader *source = reinterpret_cast<const TRecordHeader *>(buffer);
    header->Bookmark = source->Bookmark;
    header->MasterBookmark = source->MasterBookmark;
    header->BookmarkFlag = source->BookmarkFlag;
    header->Status = source->Status;
    for (const FieldSlot &slot : m_slots) {
        if (slot.blob)
            continue;
        const char *from = buffer + slot.bufferOffset;
        const bool present = from[0] == 0;
        PackedRecord::SetPresent(stored, slot.nullBit, present);
        if (!present)
            continue;
        if (slot.text) {
            const qsizetype length
                = static_cast<qsizetype>(strnlen(from + 1, static_cast<size_t>(slot.dataSize)));
            PackedRecord::SetText(stored, slot.storedOffset, m_store->HoldText(from + 1, length));
        } else {
            std::memcpy(stored + slot.storedOffset, from + 1, static_cast<size_t>(slot.dataSize));
        }
    }
}

char *TOracleDataSet::decodeScratch(const char *stored) const
{
    char *buffer = m_scratch.data();
    DecodeRecord(stored, buffer);
    return buffer;
}

void TOracleDataSet::ReleaseRecordContent(char *record)
{
    TRecordHeader *header = RecordHeader(record);
    delete header->BlobList;
    header->BlobList = nullptr;
}

QString TOracleDataSet::RecordRowId(const char *record) const
{
    if (!m_hasRowId || m_rowIdOffset < 0)
        return QString();
    const char *rowId = PackedRecord::Text(record, m_rowIdOffset);
    return rowId ? QString::fromUtf8(rowId) : QString();
}

void TOracleDataSet::SetRecordRowId(char *record, const QString &rowId)
{
    if (!m_store)
        DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"), Name());
    if (!m_hasRowId || m_rowIdOffset < 0)
        return;
    const QByteArray bytes = rowId.toUtf8();
    const char *held
        = bytes.isEmpty() ? nullptr : m_store->HoldText(bytes.constData(), bytes.size());
    PackedRecord::SetText(record, m_rowIdOffset, held);
}

char *TOracleDataSet::CurrentStoredRecord() const
{
    if (!m_store || m_currentIndex < 0 || m_currentIndex >= m_store->RecordCount())
        return nullptr;
    return m_store->Records(m_currentIndex);
}

QString TOracleDataSet::RowId()
{
    if (!Active() || IsEmpty())
        return QString();
    TRecordBuffer active = ActiveBuffer();
    if (!active || GetBookmarkFlag(active) != bfCurrent)
        return QString();
    const char *stored = FindBookmark(RecordHeader(active)->Bookmark);
    return stored ? RecordRowId(stored) : QString();
}

char *TOracleDataSet::FindBookmark(qint32 bookmark, int *index) const
{
    if (!m_store || bookmark <= 0)
        return nullptr;
    const int low = m_store->VisibleBase();
    const int high = m_store->RecordCount();
    auto at = [&](int i) { return RecordHeader(m_store->Records(i))->Bookmark; };
    auto found = [&](int i) {
        if (index)
            *index = i;
        return m_store->Records(i);
    };
    const int guess = bookmark - 1;
    if (guess >= low && guess < high && at(guess) == bookmark)
        return found(guess);
    // Fetched records are in bookmark order; records inserted since may not be.
    int l = low;
    int h = high - 1;
    while (l <= h) {
        const int m = l + (h - l) / 2;
        const qint32 v = at(m);
        if (v == bookmark)
            return found(m);
        if (v < bookmark)
            l = m + 1;
        else
            h = m - 1;
    }
    for (int i = low; i < high; ++i)
        if (at(i) == bookmark)
            return found(i);
    return nullptr;
}

// ---- Buffers

TRecordBuffer TOracleDataSet::AllocRecordBuffer()
{
    auto *buffer = new char[static_cast<size_t>(RecordBufferSize())]();
    RecordHeader(buffer)->MasterBookmark = m_links->masterCurrentBookmark();
    return buffer;
}

void TOracleDataSet::FreeRecordBuffer(TRecordBuffer &buffer)
{
    delete[] buffer;
    buffer = nullptr;
}

void TOracleDataSet::GetBookmarkData(TRecordBuffer buffer, void *data)
{
    std::memcpy(data, &RecordHeader(buffer)->Bookmark, sizeof(qint32));
}

void TOracleDataSet::SetBookmarkData(TRecordBuffer buffer, const void *data)
{
    std::memcpy(&RecordHeader(buffer)->Bookmark, data, sizeof(qint32));
}

TBookmarkFlag TOracleDataSet::GetBookmarkFlag(TRecordBuffer buffer)
{
    return static_cast<TBookmarkFlag>(RecordHeader(buffer)->BookmarkFlag);
}

void TOracleDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag)
{
    RecordHeader(buffer)->BookmarkFlag = static_cast<quint8>(flag);
}

void TOracleDataSet::InternalInitRecord(TRecordBuffer buffer)
{
    TRecordHeader *header = RecordHeader(buffer);
    header->Bookmark = 0;
    header->MasterBookmark = m_links->masterCurrentBookmark();
    header->Status = 0;
    header->BlobList = nullptr;
    header->ChangeLog = nullptr;
    std::memset(buffer + HeaderSize, 1, static_cast<size_t>(RecordBufferSize() - HeaderSize));
}

void TOracleDataSet::ClearCalcFields(TRecordBuffer buffer)
{
    std::memset(buffer + m_recordSize, 1, static_cast<size_t>(CalcFieldsSize()));
}

void TOracleDataSet::CalculateFields(TRecordBuffer buffer)
{
    if (State() != dsFilter)
        TDataSet::CalculateFields(buffer);
}

bool TOracleDataSet::GetCurrentRecord(TRecordBuffer buffer)
{
    if (!Active() || IsEmpty() || State() != dsBrowse || !ActiveBuffer())
        return false;
    UpdateCursorPos();
    std::memcpy(buffer, ActiveBuffer(), static_cast<size_t>(RecordBufferSize()));
    return true;
}

// ---- Navigation

void TOracleDataSet::fetchBlock()
{
    ScreenCursorSaver busy(Cursor());
    FetchRecord();
}

TGetResult TOracleDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck)
{
    if (!m_store)
        return grError;
    // The record is taken before the index moves: a record below the unidirectional window
    // raises and leaves the index where it was.
    int index = m_currentIndex;
    TGetResult result = grOK;
    switch (mode) {
    case gmCurrent:
        if (index >= 0 && index >= m_store->RecordCount() && !m_allFetched)
            fetchBlock();
        if (index < 0 || index >= m_store->RecordCount())
            result = grError;
        break;
    case gmNext:
        if (index >= m_store->RecordCount() - 1 && !m_allFetched)
            fetchBlock();
        if (index >= m_store->RecordCount() - 1) {
            m_currentIndex = m_store->RecordCount();
            result = grEOF;
        } else {
            ++index;
        }
        break;
    case gmPrior:
        index = std::min(index, m_store->RecordCount());
        if (index > 0) {
            --index;
        } else {
            m_currentIndex = -1;
            result = grBOF;
        }
        break;
    }
    if (result == grOK) {
        const char *stored = m_store->Records(index);
        m_currentIndex = index;
        DecodeRecord(stored, buffer);
        SetBookmarkFlag(buffer, bfCurrent);
        ClearCalcFields(buffer);
        GetCalcFields(buffer);
    } else if (result == grError && doCheck) {
        DatabaseError(QStringLiteral("No Records"));
    }
    return result;
}

void TOracleDataSet::InternalFirst()
{
    m_currentIndex = -1;
}

void TOracleDataSet::InternalLast()
{
    FetchAll();
    m_currentIndex = m_store ? m_store->RecordCount() : 0;
}

void TOracleDataSet::InternalGotoBookmark(const void *bookmark)
{
    qint32 number = 0;
    std::memcpy(&number, bookmark, sizeof number);
    int index = -1;
    if (!FindBookmark(number, &index))
        DatabaseError(QStringLiteral("Bookmark not found (%1)").arg(number));
    m_currentIndex = index;
}

void TOracleDataSet::InternalSetToRecord(TRecordBuffer buffer)
{
    // A new record stands before the record whose bookmark it carries (none when appended).
    if (GetBookmarkFlag(buffer) == bfInserted && RecordHeader(buffer)->Bookmark <= 0)
        return;
    InternalGotoBookmark(&RecordHeader(buffer)->Bookmark);
}

int TOracleDataSet::CompareBookmarks(const TBookmark &a, const TBookmark &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty() ? 0 : (a.isEmpty() ? 1 : -1);
    qint32 x = 0;
    qint32 y = 0;
    std::memcpy(&x, a.constData(), std::min<size_t>(sizeof x, static_cast<size_t>(a.size())));
    std::memcpy(&y, b.constData(), std::min<size_t>(sizeof y, static_cast<size_t>(b.size())));
    return x < y ? -1 : x > y ? 1 : 0;
}

bool TOracleDataSet::BookmarkValid(const TBookmark &bookmark)
{
    if (bookmark.size() != static_cast<qsizetype>(sizeof(qint32)))
        return false;
    qint32 number = 0;
    std::memcpy(&number, bookmark.constData(), sizeof number);
    return FindBookmark(number) != nullptr;
}

// ---- Record counts

int TOracleDataSet::GetRecordCount()
{
    CheckActive();
    if (m_countAllRecords && !Filtered()) {
        // In QBE mode every count applies the criteria as they stand now.
        if (!m_counted || m_qbeMode) {
            m_countedTotal = CountQueryHits();
            m_counted = true;
        }
        return m_countedTotal + m_netInserts + m_cached->log().CachedNetCount();
    }
    return m_store->RecordCount();
}

int TOracleDataSet::GetRecNo()
{
    if (!Active())
        return 0;
    UpdateCursorPos();
    if (m_currentIndex == -1)
        return m_store->RecordCount() > 0 ? 1 : 0;
    return m_currentIndex + 1;
}

void TOracleDataSet::SetRecNoValue(int value)
{
    CheckActive();
    if (value >= 0 && value <= m_store->RecordCount() && value - 1 != m_currentIndex) {
        CheckBrowseMode();
        DoBeforeScroll();
        m_currentIndex = value - 1;
        Resync(rmCenter);
        DoAfterScroll();
    }
    if (m_countAllRecords && value >= 1 && value <= RecordCount() && value != RecNo())
        MoveBy(value - RecNo());
}

// ---- Field access

const char *TOracleDataSet::stateRecord(bool &isStored)
{
    isStored = false;
    switch (State()) {
    case dsInactive:
    case dsSetKey:
        return nullptr;
    case dsCalcFields:
    case dsInternalCalc:
        return CalcBuffer() ? CalcBuffer() : ActiveBuffer();
    case dsOldValue:
    case dsNewValue: {
        TRecordBuffer active = ActiveBuffer();
        if (!active || GetBookmarkFlag(active) != bfCurrent)
            return nullptr;
        // With cached updates the old value of a logged record is the one before its change.
        if (State() == dsOldValue && m_cachedUpdates)
            if (const TChangeLogItem *item = m_cached->log().Find(RecordHeader(active)->Bookmark);
                item && item->action != u'I' && item->oldRecord)
                return item->oldRecord->buffer.constData();
        const char *stored = FindBookmark(RecordHeader(active)->Bookmark);
        isStored = stored != nullptr;
        return stored;
    }
    case dsBrowse:
    case dsCurValue:
    case dsBlockRead:
        if (IsEmpty())
            return nullptr;
        return ActiveBuffer();
    default:
        return ActiveBuffer();
    }
}

bool TOracleDataSet::GetFieldData(TField *field, void *buffer)
{
    if (field->IsBlob()) {
        const TOracleBlob *blob = ReadBlob(field);
        return blob && blob->Size() > 0;
    }
    bool isStored = false;
    const char *record = stateRecord(isStored);
    if (!record)
        return false;
    if (isStored && field->FieldKind() != fkCalculated && field->FieldKind() != fkLookup)
        record = decodeScratch(record);
    else if (isStored)
        return false;
    const int offset = field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup
        ? m_recordSize + field->Offset()
        : field->Offset();
    if (offset <= 0 || offset >= RecordBufferSize())
        return false;
    if (record[offset] != 0)
        return false;
    if (buffer)
        std::memcpy(buffer, record + offset + 1, static_cast<size_t>(field->DataSize()));
    return true;
}

void TOracleDataSet::SetFieldData(TField *field, const void *buffer)
{
    const TDataSetState state = State();
    char *record = nullptr;
    char *stored = nullptr;
    if (state == dsNewValue) {
        bool isStored = false;
        stored = const_cast<char *>(stateRecord(isStored));
        if (stored)
            record = decodeScratch(stored);
    } else {
        bool isStored = false;
        record = const_cast<char *>(stateRecord(isStored));
    }
    if (!record)
        return;
    const bool editing
        = (state == dsEdit || state == dsInsert) && !m_qbeMode && !m_fillingNewRecord;
    if (editing)
        field->Validate(buffer);
    const bool calculated = field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup;
    const int offset = calculated ? m_recordSize + field->Offset() : field->Offset();
    if (offset <= 0 || offset >= RecordBufferSize())
        return;
    const bool isNull = !buffer
        || ((field->DataType() == ftString || field->DataType() == ftFixedChar)
            && static_cast<const char *>(buffer)[0] == '\0');
    const bool check = !stored && checksFieldChanges(field);
    const QByteArray previous
        = check ? QByteArray(record + offset, field->DataSize() + 1) : QByteArray();
    record[offset] = isNull ? 1 : 0;
    if (!isNull)
        std::memcpy(record + offset + 1, buffer, static_cast<size_t>(field->DataSize()));
    if (check) {
        try {
            enforceFieldConstraints(field);
        } catch (...) {
            std::memcpy(
                record + offset, previous.constData(), static_cast<size_t>(previous.size()));
            throw;
        }
    }
    if (stored)
        EncodeRecord(record, stored);
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<qintptr>(field));
    if (editing && !Details().empty() && !Detached())
        m_links->masterFieldChanged();
}

// ---- BLOB values

TBlobList *TOracleDataSet::blobListOf(const char *buffer) const
{
    if (!buffer || !m_store)
        return nullptr;
    const TRecordHeader *header = reinterpret_cast<const TRecordHeader *>(buffer);
    if (header->BookmarkFlag != bfCurrent)
        return nullptr;
    // The buffer's own pointer may outlive its record (a unidirectional window moved on):
    // the stored record decides.
    const char *stored = FindBookmark(header->Bookmark);
    return stored ? reinterpret_cast<const TRecordHeader *>(stored)->BlobList : nullptr;
}

TOracleBlob *TOracleDataSet::ReadBlob(TField *field)
{
    const char *record = nullptr;
    switch (State()) {
    case dsInactive:
    case dsSetKey:
        return nullptr;
    case dsFilter:
        // The record being filtered is a stored record decoded a moment ago.
        record = ActiveBuffer();
        if (!record)
            return nullptr;
        if (TBlobList *blobs = reinterpret_cast<const TRecordHeader *>(record)->BlobList)
            return blobs->BlobByField(field);
        return nullptr;
    case dsCalcFields:
    case dsInternalCalc:
        record = CalcBuffer() ? CalcBuffer() : ActiveBuffer();
        break;
    case dsBrowse:
    case dsCurValue:
        if (IsEmpty())
            return nullptr;
        record = ActiveBuffer();
        break;
    default:
        record = ActiveBuffer();
        break;
    }
    TBlobList *blobs = blobListOf(record);
    return blobs ? blobs->BlobByField(field) : nullptr;
}

std::unique_ptr<TStream> TOracleDataSet::CreateBlobStream(TField *field, TBlobStreamMode mode)
{
    auto *blobField = dynamic_cast<TBlobField *>(field);
    if (!blobField)
        DatabaseError(
            QStringLiteral("Field '%1' is not a BLOB field").arg(field->DisplayName()), Name());
    return std::make_unique<TOracleBlobStream>(blobField, mode);
}

void TOracleDataSet::CloseBlob(TField *field)
{
    if (TOracleBlob *blob = m_editBlobs.BlobByField(field))
        blob->Clear();
}

// ---- Editing: the store side (the statements that write to the server are in
// OracleDataSetEditBack.cpp; OnApplyRecord may take them over)

void TOracleDataSet::InternalAddRecord(TRecordBuffer buffer, bool append)
{
    if (buffer != ActiveBuffer())
        DatabaseError(QStringLiteral("InternalAddRecord: b <> buffer"));
    if (append)
        InternalLast();
    QString rowId;
    bool sent = false;
    if (writesToServer()) {
        const PostOutcome outcome = postToServer(true, rowId);
        // A record without a single value is no record: nothing was sent, nothing is kept.
        if (outcome == PostOutcome::NothingToInsert)
            return;
        sent = outcome == PostOutcome::Sent;
    } else if (!DoApplyRecord(QLatin1Char('I'), rowId)) {
        DatabaseError(QStringLiteral("Records cannot be inserted into this dataset"), Name());
    }
    const int at = append ? -1 : m_currentIndex;
    char *stored = m_store->NewRecord(at, Filtered());
    RecordHeader(buffer)->Bookmark = NextBookmark();
    SetBookmarkFlag(buffer, bfCurrent);
    EncodeRecord(buffer, stored);
    if (m_hasBlobFields) {
        auto *blobs = new TBlobList;
        RecordHeader(stored)->BlobList = blobs;
        for (const FieldSlot &slot : m_slots) {
            if (!slot.blob)
                continue;
            TOracleBlob *blob = blobs->Add(slot.field);
            if (const TOracleBlob *edited = m_editBlobs.BlobByField(slot.field))
                blob->SetData(edited->Data());
        }
    }
    if (!rowId.isEmpty())
        SetRecordRowId(stored, rowId);
    if (!append && at >= 0)
        m_currentIndex = at;
    else
        m_currentIndex = m_store->RecordCount() - 1;
    if (!m_cachedUpdates)
        ++m_netInserts;
    m_cached->logChange(QLatin1Char('I'), m_store->IndexOfRecord(stored), nullptr, stored);
    if (sent)
        refreshAfterPost(true);
}

void TOracleDataSet::InternalPost()
{
    TDataSet::InternalPost();
    if (m_qbeMode)
        DatabaseError(QStringLiteral("Operation not allowed in QBE mode"), Name());
    if (State() == dsInsert) {
        InternalAddRecord(ActiveBuffer(), false);
        // The details of the new record are known to be none: no query for them.
        if (GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            m_links->setDetailsMasterBookmark(RecordHeader(ActiveBuffer())->Bookmark);
        return;
    }
    QString rowId;
    bool sent = false;
    bool changed = true;
    if (writesToServer()) {
        const PostOutcome outcome = postToServer(false, rowId);
        sent = outcome == PostOutcome::Sent;
        changed = outcome != PostOutcome::Skipped;
    } else if (!DoApplyRecord(QLatin1Char('U'), rowId)) {
        DatabaseError(QStringLiteral("Records of this dataset cannot be updated"), Name());
    }
    char *stored = CurrentStoredRecord();
    if (!stored)
        DatabaseError(QStringLiteral("Record not found"), Name());
    // An edit that changed nothing is no change to log.
    std::unique_ptr<TLoggedRecord> before
        = changed && cachedUpdatesInEffect() ? m_cached->copyOf(stored) : nullptr;
    EncodeRecord(ActiveBuffer(), stored);
    if (TBlobList *blobs = RecordHeader(stored)->BlobList) {
        for (const FieldSlot &slot : m_slots) {
            auto *field = dynamic_cast<TBlobField *>(slot.field);
            if (!slot.blob || !field || !field->Modified())
                continue;
            TOracleBlob *blob = blobs->BlobByField(slot.field);
            const TOracleBlob *edited = m_editBlobs.BlobByField(slot.field);
            if (blob)
                blob->SetData(edited ? edited->Data() : QByteArray());
        }
    }
    if (!rowId.isEmpty())
        SetRecordRowId(stored, rowId);
    if (before)
        m_cached->logChange(
            QLatin1Char('U'), m_store->IndexOfRecord(stored), std::move(before), stored);
    if (sent)
        refreshAfterPost(false);
}

void TOracleDataSet::InternalDelete()
{
    if (!CurrentStoredRecord())
        DatabaseError(QStringLiteral("Record not found"), Name());
    QString rowId;
    if (writesToServer())
        deleteOnServer();
    else if (!DoApplyRecord(QLatin1Char('D'), rowId))
        DatabaseError(QStringLiteral("Records of this dataset cannot be deleted"), Name());
    char *stored = CurrentStoredRecord();
    if (cachedUpdatesInEffect())
        m_cached->logChange(
            QLatin1Char('D'), m_store->IndexOfRecord(stored), m_cached->copyOf(stored), nullptr);
    m_store->DeleteRecord(m_currentIndex, true);
    if (!m_cachedUpdates)
        --m_netInserts;
    if (m_currentIndex >= m_store->RecordCount())
        m_currentIndex = m_store->RecordCount() - 1;
}

void TOracleDataSet::InternalRefresh()
{
    // A detail re-queried without link values would lose which master its logged changes
    // belong to.
    if (HasCachedDetailChanges())
        DatabaseError(QStringLiteral("Refresh not allowed: detail records have cached "
                                     "updates.\r\nYou have to apply the updates first"),
            Name());
    if (m_qbeMode)
        DatabaseError(QStringLiteral("Operation not allowed in QBE mode"), Name());
    m_counted = false;
    m_netInserts = 0;
    RefreshDetails(true);
    ExecuteQuery(false);
    m_currentIndex = -1;
}

// ---- Filtering

bool TOracleDataSet::FilterAccept()
{
    return !m_filter || m_filter->Accept();
}

bool TOracleDataSet::FilterRecord(char *buffer)
{
    TTempState temp(this, dsFilter, buffer);
    char *saved = m_filterBuffer;
    m_filterBuffer = buffer;
    struct Restore {
        char *&slot;
        char *value;
        ~Restore() { slot = value; }
    } restore { m_filterBuffer, saved };
    bool accept = true;
    if (OnFilterRecord)
        OnFilterRecord(this, accept);
    if (accept)
        accept = FilterAccept();
    return accept;
}

void TOracleDataSet::Refilter()
{
    if (!Active() || !m_store)
        return;
    if (Filtered())
        m_store->ClearFiltered();
    std::vector<char *> accepted;
    for (int i = m_store->Base(); i < m_store->Count(); ++i) {
        char *record = m_store->FullRecord(i);
        if (FilterRecord(decodeScratch(record)))
            accepted.push_back(record);
    }
    m_store->ClearFiltered();
    for (char *record : accepted)
        m_store->AddFiltered(record, true);
}

void TOracleDataSet::SetFiltered(bool value)
{
    if (!Active()) {
        TDataSet::SetFiltered(value);
        return;
    }
    CheckBrowseMode();
    if (value)
        Refilter();
    if (value != Filtered())
        TDataSet::SetFiltered(value);
    else
        First();
}

void TOracleDataSet::SetFilterText(const QString &text)
{
    if (!Active()) {
        TDataSet::SetFilterText(text);
        return;
    }
    CheckBrowseMode();
    // A text that does not parse changes nothing.
    m_filter->Parse(text, FilterOptions());
    if (Filtered())
        Refilter();
    TDataSet::SetFilterText(text);
}

void TOracleDataSet::SetFilterOptions(TFilterOptions options)
{
    if (!Active()) {
        TDataSet::SetFilterOptions(options);
        return;
    }
    CheckBrowseMode();
    m_filter->Parse(Filter(), options);
    if (Filtered())
        Refilter();
    TDataSet::SetFilterOptions(options);
}

} // namespace qd
