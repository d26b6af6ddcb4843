#include "DbfTable.h"

#include "TextSearch.h"

#include "classlib/BlobField.h"
#include "classlib/DateTimeFields.h"
#include "classlib/DateTimeUtils.h"
#include "classlib/Stream.h"

#include <QDir>

#include <cstring>

namespace qd {

using namespace dbf;

namespace {

constexpr int DateColumn = 0;
constexpr int UserColumn = 1;
constexpr int InstanceColumn = 2;
constexpr int MemoColumn = 3;
// Presence byte (0: a value, 1: null) and the native value of each column kept in the buffer.
constexpr int ColumnData[3] = { 4, UserNameLength + 1, InstanceLength + 1 };

int columnStart(int column)
{
    int offset = 8;
    for (int c = 0; c < column; ++c)
        offset += 1 + ColumnData[c];
    return offset;
}

void notModifiable()
{
    DatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
}

} // namespace

// A stream over the script text of one buffer; writing only while editing.
class DbfMemoStream : public TStream {
public:
    DbfMemoStream(TDbfTable *table, TField *field, TDbfTable::MemoSlot *slot, bool writable)
        : m_table(table)
        , m_field(field)
        , m_slot(slot)
        , m_writable(writable)
    {
    }
    ~DbfMemoStream() override
    {
        if (!m_changed || (m_table->State() != dsEdit && m_table->State() != dsInsert))
            return;
        if (auto *blob = dynamic_cast<TBlobField *>(m_field))
            blob->SetModified(true);
        try {
            m_table->DataEvent(deFieldChange, reinterpret_cast<qintptr>(m_field));
        } catch (...) {
            m_table->InternalHandleException();
        }
    }
    qint64 Read(void *buffer, qint64 count) override
    {
        if (!m_slot || count <= 0 || m_pos >= m_slot->text.size())
            return 0;
        const qint64 n = qMin(count, m_slot->text.size() - m_pos);
        std::memcpy(buffer, m_slot->text.constData() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return n;
    }
    qint64 Write(const void *buffer, qint64 count) override
    {
        if (!m_slot || !m_writable || count <= 0)
            return 0;
        if (m_pos + count > m_slot->text.size())
            m_slot->text.resize(m_pos + count, '\0');
        std::memcpy(m_slot->text.data() + m_pos, buffer, static_cast<size_t>(count));
        m_pos += count;
        changed();
        return count;
    }
    qint64 Seek(qint64 offset, TSeekOrigin origin) override
    {
        const qint64 base = origin == soBeginning ? 0 : origin == soCurrent ? m_pos : Size();
        m_pos = qMax<qint64>(0, base + offset);
        return m_pos;
    }
    qint64 Size() override { return m_slot ? m_slot->text.size() : 0; }
    void SetSize(qint64 size) override
    {
        if (!m_slot || !m_writable)
            return;
        m_slot->text.resize(size, '\0');
        m_pos = qMin(m_pos, size);
        changed();
    }

private:
    void changed()
    {
        m_slot->modified = true;
        m_changed = true;
    }

    TDbfTable *m_table;
    TField *m_field;
    TDbfTable::MemoSlot *m_slot;
    bool m_writable;
    bool m_changed = false;
    qint64 m_pos = 0;
};

TDbfTable::TDbfTable() = default;

TDbfTable::~TDbfTable()
{
    try {
        Close();
    } catch (...) {
    }
}

void TDbfTable::SetFilePath(const QString &directory)
{
    CheckInactive();
    m_filePath = directory;
}

void TDbfTable::SetTableName(const QString &name)
{
    CheckInactive();
    m_tableName = name;
}

QString TDbfTable::TablePath() const
{
    return m_filePath.isEmpty() ? m_tableName : QDir(m_filePath).filePath(m_tableName);
}

// ---- Buffers

TRecordBuffer TDbfTable::AllocRecordBuffer()
{
    TRecordBuffer buffer = new char[static_cast<size_t>(m_bufferSize)]();
    m_memos[buffer] = MemoSlot();
    return buffer;
}

void TDbfTable::FreeRecordBuffer(TRecordBuffer &buffer)
{
    m_memos.erase(buffer);
    delete[] buffer;
    buffer = nullptr;
}

TDbfTable::MemoSlot &TDbfTable::memoOf(TRecordBuffer buffer)
{
    return m_memos[buffer];
}

qint32 TDbfTable::recordIndexOf(TRecordBuffer buffer) const
{
    qint32 index;
    std::memcpy(&index, buffer, 4);
    return index;
}

void TDbfTable::GetBookmarkData(TRecordBuffer buffer, void *data)
{
    std::memcpy(data, buffer, 4);
}

void TDbfTable::SetBookmarkData(TRecordBuffer buffer, const void *data)
{
    std::memcpy(buffer, data, 4);
}

TBookmarkFlag TDbfTable::GetBookmarkFlag(TRecordBuffer buffer)
{
    return static_cast<TBookmarkFlag>(buffer[4]);
}

void TDbfTable::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag)
{
    buffer[4] = static_cast<char>(flag);
}

void TDbfTable::InternalInitRecord(TRecordBuffer buffer)
{
    const qint32 none = -1;
    std::memset(buffer, 0, HeaderSize);
    std::memcpy(buffer, &none, 4);
    std::memset(buffer + HeaderSize, 1, static_cast<size_t>(m_bufferSize - HeaderSize));
    MemoSlot &memo = memoOf(buffer);
    memo.text.clear();
    memo.loaded = true; // a new record has no stored text to read
    memo.modified = false;
}

void TDbfTable::ClearCalcFields(TRecordBuffer buffer)
{
    std::memset(buffer + HeaderSize + m_dataSize, 1, static_cast<size_t>(CalcFieldsSize()));
}

// ---- Field access

TRecordBuffer TDbfTable::bufferForState()
{
    switch (State()) {
    case dsBrowse:
        return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert:
    case dsNewValue:
    case dsOldValue:
    case dsCurValue:
        return ActiveBuffer();
    case dsCalcFields:
        return CalcBuffer();
    case dsFilter:
        return m_filterBuffer;
    default:
        return nullptr;
    }
}

bool TDbfTable::isMemoField(TField *field) const
{
    auto it = m_columns.find(field);
    return it != m_columns.end() && it->second == MemoColumn;
}

int TDbfTable::columnOffset(TField *field) const
{
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup)
        return HeaderSize + m_dataSize + field->Offset();
    auto it = m_columns.find(field);
    if (it == m_columns.end() || it->second == MemoColumn)
        return -1;
    return columnStart(it->second);
}

bool TDbfTable::GetFieldData(TField *field, void *buffer)
{
    TRecordBuffer record = bufferForState();
    if (!record)
        return false;
    if (isMemoField(field)) {
        const MemoSlot &memo = memoOf(record);
        if (memo.loaded)
            return !memo.text.isEmpty();
        const qint32 index = recordIndexOf(record);
        return index >= 0 && quint32(index) < m_files.recordCount() && m_files.memoBlock(quint32(index)) != 0;
    }
    const int offset = columnOffset(field);
    if (offset < 0 || record[offset] != 0)
        return false;
    if (buffer)
        std::memcpy(buffer, record + offset + 1, static_cast<size_t>(field->DataSize()));
    return true;
}

void TDbfTable::SetFieldData(TField *field, const void *buffer)
{
    const TDataSetState state = State();
    TRecordBuffer record = bufferForState();
    const bool isData = field->FieldKind() == fkData;
    if (!record || state == dsOldValue || state == dsCurValue
        || (isData && (state == dsCalcFields || state == dsFilter)))
        notModifiable();
    if (isData && field->ReadOnly() && state != dsNewValue)
        DatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayName()));
    if (state == dsEdit || state == dsInsert)
        field->Validate(buffer);
    const int offset = columnOffset(field);
    if (offset < 0)
        return;
    const bool emptyText = buffer && field->DataType() == ftString
        && static_cast<const char *>(buffer)[0] == '\0';
    if (!buffer || emptyText) {
        record[offset] = 1;
        std::memset(record + offset + 1, 0, static_cast<size_t>(field->DataSize()));
    } else {
        record[offset] = 0;
        std::memcpy(record + offset + 1, buffer, static_cast<size_t>(field->DataSize()));
    }
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<qintptr>(field));
}

std::unique_ptr<TStream> TDbfTable::CreateBlobStream(TField *field, TBlobStreamMode mode)
{
    if (!isMemoField(field))
        return TDataSet::CreateBlobStream(field, mode);
    const TDataSetState state = State();
    const bool writing = mode != bmRead;
    if (writing) {
        if (field->ReadOnly() && state != dsNewValue)
            DatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field->DisplayName()));
        if (state != dsEdit && state != dsInsert && state != dsNewValue)
            notModifiable();
    }
    TRecordBuffer record = bufferForState();
    MemoSlot *slot = nullptr;
    if (record) {
        slot = &memoOf(record);
        if (!slot->loaded) {
            const qint32 index = recordIndexOf(record);
            slot->text = index >= 0 && quint32(index) < m_files.recordCount()
                ? m_files.readMemo(quint32(index))
                : QByteArray();
            slot->loaded = true;
        }
    }
    auto stream = std::make_unique<DbfMemoStream>(this, field, slot, writing);
    if (mode == bmWrite)
        stream->SetSize(0);
    return stream;
}

void TDbfTable::CloseBlob(TField *field)
{
    TRecordBuffer active = ActiveBuffer();
    if (!isMemoField(field) || !active)
        return;
    // A cancelled change goes back to the stored text, read again when asked for.
    MemoSlot &memo = memoOf(active);
    memo.loaded = State() == dsInsert;
    memo.modified = false;
    memo.text.clear();
}

// ---- Records and cursor

bool TDbfTable::acceptRecord(qint64 index)
{
    if (m_files.isDeleted(quint32(index)))
        return false;
    if (!Filtered())
        return true;
    readIntoBuffer(quint32(index), m_filterBuffer);
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

void TDbfTable::readIntoBuffer(quint32 index, TRecordBuffer buffer)
{
    const Record record = m_files.readRecord(index);
    std::memset(buffer + HeaderSize, 1, static_cast<size_t>(m_bufferSize - HeaderSize));
    const qint32 id = qint32(index);
    std::memcpy(buffer, &id, 4);
    SetBookmarkFlag(buffer, bfCurrent);
    char *date = buffer + columnStart(DateColumn);
    if (record.runDate.isValid()) {
        date[0] = 0;
        DateTimeToNative(ftDate, QDateToDateTime(record.runDate), date + 1);
    }
    auto putText = [&](int column, const QString &text) {
        char *at = buffer + columnStart(column);
        const QByteArray bytes = text.toUtf8();
        if (bytes.isEmpty())
            return;
        at[0] = 0;
        std::memset(at + 1, 0, static_cast<size_t>(ColumnData[column]));
        std::memcpy(at + 1, bytes.constData(), static_cast<size_t>(qMin<qsizetype>(bytes.size(), ColumnData[column] - 1)));
    };
    putText(UserColumn, record.userName);
    putText(InstanceColumn, record.instance);
    MemoSlot &memo = memoOf(buffer);
    memo.text.clear();
    memo.loaded = false;
    memo.modified = false;
}

TGetResult TDbfTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck)
{
    const qint64 count = m_files.recordCount();
    TGetResult result = grOK;
    switch (mode) {
    case gmCurrent:
        if (m_current < 0 || m_current >= count || !acceptRecord(m_current))
            result = grError;
        break;
    case gmNext:
        for (;;) {
            if (m_current + 1 >= count) {
                m_current = count;
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
            if (m_current > count)
                m_current = count;
            --m_current;
            if (acceptRecord(m_current))
                break;
        }
        break;
    }
    if (result == grOK) {
        readIntoBuffer(quint32(m_current), buffer);
        GetCalcFields(buffer);
    } else if (result == grError && doCheck) {
        DatabaseError(QStringLiteral("No Records"));
    }
    return result;
}

void TDbfTable::InternalGotoBookmark(const void *bookmark)
{
    qint32 index;
    std::memcpy(&index, bookmark, 4);
    if (index < 0 || quint32(index) >= m_files.recordCount() || m_files.isDeleted(quint32(index)))
        DatabaseError(QStringLiteral("Bookmark not found (%1)").arg(index));
    m_current = index;
}

void TDbfTable::InternalSetToRecord(TRecordBuffer buffer)
{
    const qint32 index = recordIndexOf(buffer);
    if (index >= 0)
        m_current = index;
}

bool TDbfTable::BookmarkValid(const TBookmark &bookmark)
{
    if (bookmark.size() != 4 || !m_files.isOpen())
        return false;
    qint32 index;
    std::memcpy(&index, bookmark.constData(), 4);
    return index >= 0 && quint32(index) < m_files.recordCount() && !m_files.isDeleted(quint32(index));
}

int TDbfTable::CompareBookmarks(const TBookmark &a, const TBookmark &b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() == b.isEmpty() ? 0 : (a.isEmpty() ? -1 : 1);
    qint32 x, y;
    std::memcpy(&x, a.constData(), 4);
    std::memcpy(&y, b.constData(), 4);
    return x < y ? -1 : x > y ? 1 : 0;
}

Record TDbfTable::recordFromBuffer(TRecordBuffer buffer)
{
    Record record;
    const char *date = buffer + columnStart(DateColumn);
    if (date[0] == 0)
        record.runDate = DateTimeToQDate(NativeToDateTime(ftDate, date + 1));
    auto text = [&](int column) {
        const char *at = buffer + columnStart(column);
        return at[0] == 0 ? QString::fromUtf8(at + 1, static_cast<qsizetype>(strnlen(at + 1, size_t(ColumnData[column]))))
                          : QString();
    };
    record.userName = text(UserColumn);
    record.instance = text(InstanceColumn);
    return record;
}

void TDbfTable::appendFromBuffer(TRecordBuffer buffer)
{
    MemoSlot &memo = memoOf(buffer);
    const quint32 index = m_files.append(recordFromBuffer(buffer), memo.text);
    m_current = index;
}

void TDbfTable::InternalAddRecord(TRecordBuffer buffer, bool append)
{
    (void)append; // the table has no order but its own: every new record goes at the end
    appendFromBuffer(buffer);
}

void TDbfTable::InternalPost()
{
    TDataSet::InternalPost();
    TRecordBuffer buffer = ActiveBuffer();
    if (State() == dsInsert) {
        appendFromBuffer(buffer);
        return;
    }
    const qint32 index = recordIndexOf(buffer);
    if (index < 0 || quint32(index) >= m_files.recordCount())
        DatabaseError(QStringLiteral("Record not found"));
    MemoSlot &memo = memoOf(buffer);
    m_files.update(quint32(index), recordFromBuffer(buffer), memo.modified ? &memo.text : nullptr);
    memo.modified = false;
    m_current = index;
}

void TDbfTable::InternalDelete()
{
    if (m_current < 0 || m_current >= qint64(m_files.recordCount()))
        DatabaseError(QStringLiteral("No Records"));
    m_files.setDeleted(quint32(m_current), true);
}

// ---- Open and close

void TDbfTable::InternalInitFieldDefs()
{
    FieldDefs().Clear();
    FieldDefs().Add(QStringLiteral("RUNDATE"), ftDate);
    FieldDefs().Add(QStringLiteral("USERNAME"), ftString, UserNameLength);
    FieldDefs().Add(QStringLiteral("INSTANCE"), ftString, InstanceLength);
    FieldDefs().Add(QStringLiteral("SQL"), ftMemo);
}

void TDbfTable::InternalOpen()
{
    InternalInitFieldDefs();
    if (DefaultFields())
        CreateFields();
    m_columns.clear();
    for (TField *field : Fields()) {
        if (field->FieldKind() != fkData)
            continue;
        const int def = FieldDefs().IndexOf(field->FieldName());
        const bool sameKind = def >= 0 && FieldDefs()[def]->DataType() == field->DataType()
            && (field->DataType() != ftString || field->Size() <= FieldDefs()[def]->Size());
        if (!sameKind)
            DatabaseError(QStringLiteral("Field '%1' not found").arg(field->FieldName()), Name());
        m_columns[field] = def;
    }
    BindFields(true);
    m_dataSize = columnStart(MemoColumn) - HeaderSize;
    m_bufferSize = HeaderSize + m_dataSize + CalcFieldsSize();
    SetBookmarkSize(4);
    m_files.open(TablePath());
    m_filterBuffer = AllocRecordBuffer();
    m_current = -1;
}

void TDbfTable::InternalClose()
{
    if (m_filterBuffer)
        FreeRecordBuffer(m_filterBuffer);
    m_files.close();
    BindFields(false);
    if (DefaultFields())
        DestroyFields();
    m_columns.clear();
}

// ---- Counts and positions

int TDbfTable::GetRecordCount()
{
    CheckActive();
    if (!Filtered())
        return int(qMin<quint32>(m_files.liveCount(), INT_MAX));
    int n = 0;
    for (qint64 i = 0; i < qint64(m_files.recordCount()); ++i)
        if (acceptRecord(i))
            ++n;
    return n;
}

int TDbfTable::GetRecNo()
{
    CheckActive();
    UpdateCursorPos();
    if (m_current < 0 || m_current >= qint64(m_files.recordCount()))
        return 0;
    int n = 0;
    for (qint64 i = 0; i <= m_current; ++i)
        if (!m_files.isDeleted(quint32(i)))
            ++n;
    return n;
}

void TDbfTable::SetRecNoValue(int value)
{
    CheckBrowseMode();
    int n = 0;
    for (qint64 i = 0; i < qint64(m_files.recordCount()); ++i) {
        if (m_files.isDeleted(quint32(i)) || ++n != value)
            continue;
        if (i == m_current)
            return;
        DoBeforeScroll();
        m_current = i;
        Resync(rmCenter);
        DoAfterScroll();
        return;
    }
}

// ---- Pack, clear, search

void TDbfTable::afterRewrite()
{
    if (!m_files.isOpen()) {
        // The files were replaced in part: opening again completes or refuses them.
        Close();
        return;
    }
    m_current = -1;
    First();
}

void TDbfTable::PackTable()
{
    CheckActive();
    CheckBrowseMode();
    try {
        m_files.pack();
    } catch (...) {
        afterRewrite();
        throw;
    }
    afterRewrite();
}

void TDbfTable::EmptyTable()
{
    CheckActive();
    CheckBrowseMode();
    try {
        m_files.clear();
    } catch (...) {
        afterRewrite();
        throw;
    }
    afterRewrite();
}

bool TDbfTable::FindSQLText(
    const QString &text, bool matchCase, bool wholeWord, bool forward, bool fromNext)
{
    CheckActive();
    CheckBrowseMode();
    if (text.isEmpty() || IsEmpty())
        return false;
    const TBookmark here = GetBookmark();
    if (here.size() != 4)
        return false;
    qint32 start;
    std::memcpy(&start, here.constData(), 4);
    const qint64 step = forward ? 1 : -1;
    for (qint64 i = fromNext ? start + step : start; i >= 0 && i < qint64(m_files.recordCount());
         i += step) {
        if (!acceptRecord(i))
            continue;
        if (FindText(QString::fromUtf8(m_files.readMemo(quint32(i))), text, matchCase, wholeWord) < 0)
            continue;
        const qint32 index = qint32(i);
        GotoBookmark(TBookmark(reinterpret_cast<const char *>(&index), 4));
        return true;
    }
    return false;
}

} // namespace qd
