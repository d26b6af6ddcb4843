// Opening and closing the dataset: field definitions from the described select list, the
// record layout, the execute step, the record fetch and the count of query hits.
#include "OracleDataSet.h"

#include "ColumnExpression.h"
#include "DataSetFilter.h"
#include "DataSetStatementText.h"
#include "PackedRecord.h"
#include "classlib/BlobField.h"
#include "classlib/DateTimeFields.h"
#include "classlib/NumericFields.h"
#include "oracle/OracleBuffers.h"
#include "oracle/OracleDate.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qd {

namespace {

bool isTextType(TFieldType type)
{
    return type == ftString || type == ftFixedChar || type == ftWideString;
}

// Cuts UTF-8 text to at most max bytes without splitting a character.
qsizetype utf8Cut(const char *text, qsizetype length, qsizetype max)
{
    if (length <= max)
        return length;
    qsizetype n = max;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

// Copies a fetched number or date whose define type holds the field's native form already;
// false when the pair needs a conversion.
bool copyFetchedValue(const TFieldData &data, int row, TFieldType target, char *value)
{
    const ub2 defineType = data.defineType;
    const ub1 *raw = data.RowAddress(row);
    if (defineType == SQLT_INT && (target == ftInteger || target == ftAutoInc)) {
        std::memcpy(value, raw, sizeof(qint32));
    } else if (defineType == SQLT_INT && target == ftSmallint) {
        qint32 n = 0;
        std::memcpy(&n, raw, sizeof n);
        const auto small = static_cast<qint16>(n);
        std::memcpy(value, &small, sizeof small);
    } else if (defineType == SQLT_FLT && (target == ftFloat || target == ftCurrency)) {
        std::memcpy(value, raw, sizeof(double));
    } else if (defineType == SQLT_DAT && target == ftDateTime) {
        DateTimeToNative(ftDateTime, DecodeOracleDate(raw), value);
    } else {
        return false;
    }
    return true;
}

} // namespace

// ---- Field definitions

void TOracleDataSet::InternalInitFieldDefs()
{
    FieldDefs().Clear();
    SetDetailVariables();
    // Without a master record the detail's query is only described: it shows no rows.
    const bool run = m_opening && !m_qbeMode && !MasterHasNoCurrentRecord();
    if (run && BeforeQuery)
        BeforeQuery(this);
    PrepareCursor();
    TOracleQuery &query = *m_activeQuery;
    if (run) {
        // The cursor query of a cursor dataset is opened by the main statement; executing it
        // now describes it and reads its first rows.
        query.Execute();
    } else if (!m_cursorExecuted) {
        query.Describe();
    }
    defineFieldsFromQuery(query);
    if (Active() || m_opening)
        bindFieldInfo();
}

void TOracleDataSet::defineFieldsFromQuery(TOracleQuery &query)
{
    TOracleSession *session = Session();
    const int count = query.FieldCount();
    m_rowIdIndex = -1;
    for (int i = 0; i < count && m_rowIdIndex < 0; ++i)
        if (query.FieldName(i).compare(QLatin1String("ROWID"), Qt::CaseInsensitive) == 0)
            m_rowIdIndex = i;
    for (int i = 0; i < count && m_rowIdIndex < 0; ++i)
        if (query.FieldInternalType(i) == SQLT_RID || query.FieldInternalType(i) == SQLT_RDD)
            m_rowIdIndex = i;
    m_hasRowId = m_rowIdIndex >= 0;

    m_fieldInfo.Clear();
    TOracleFieldInfo *rowId = m_fieldInfo.Add(QStringLiteral("ROWID"));
    rowId->FieldKind = TOracleFieldInfo::kfRowId;
    rowId->ColumnIndex = m_rowIdIndex;
    const int smallInt = session ? session->Preferences().SmallIntPrecision() : -1;
    const int smallIntLimit = smallInt == 0 ? 4 : smallInt;
    const int maxString = session ? session->Preferences().MaxStringFieldSize() : 0;
    const bool requiredFields = m_dictionary.RequiredFields();
    for (int i = 0; i < count; ++i) {
        if (i == m_rowIdIndex)
            continue;
        TOracleFieldInfo *info = m_fieldInfo.Add(query.FieldName(i));
        info->FieldKind = TOracleFieldInfo::kfColumn;
        info->Column = query.FieldName(i);
        info->DataType = query.FieldType(i);
        info->TypeName = query.FieldTypeName(i);
        info->Size = query.FieldSize(i);
        info->Precision = query.FieldPrecision(i);
        info->Scale = query.FieldScale(i);
        info->NotNull = !query.FieldOptional(i);
        info->ColumnIndex = i;
        if (info->TypeName.compare(QLatin1String("SYS.XMLTYPE"), Qt::CaseInsensitive) == 0) {
            info->XmlType = true;
            info->DataType = SQLT_CLOB;
        }
        TFieldType type = ftUnknown;
        int size = 0;
        switch (info->DataType) {
        case SQLT_INT:
            type = info->Precision <= smallIntLimit ? ftSmallint : ftInteger;
            break;
        case SQLT_FLT:
            type = ftFloat;
            break;
        case SQLT_STR:
            size = std::max(info->Size, 1);
            type = maxString != 0 && maxString < size ? ftMemo : ftString;
            if (type == ftMemo)
                size = 0;
            break;
        case SQLT_LNG:
            type = ftMemo;
            break;
        case SQLT_DAT:
        case SQLT_TIMESTAMP:
        case SQLT_TIMESTAMP_TZ:
        case SQLT_TIMESTAMP_LTZ:
            type = ftDateTime;
            break;
        case SQLT_LBI:
            type = ftBlob;
            break;
        case SQLT_REF:
            type = ftString;
            size = 256;
            break;
        case SQLT_CLOB:
            type = ftOraClob;
            break;
        case SQLT_BLOB:
        case SQLT_BFILEE:
            type = ftOraBlob;
            break;
        default:
            // Object columns and other kinds have no field of their own.
            break;
        }
        if (type != ftUnknown)
            FieldDefs().Add(
                info->Name, type, size, requiredFields && info->NotNull, m_fieldInfo.Count() - 1);
    }
}

void TOracleDataSet::bindFieldInfo()
{
    for (int i = 0; i < m_fieldInfo.Count(); ++i) {
        TOracleFieldInfo *info = m_fieldInfo.Items(i);
        if (info->FieldKind == TOracleFieldInfo::kfRowId)
            continue;
        info->Field = FindField(info->Name);
        if (info->Field) {
            info->ReadOnly = info->Field->ReadOnly();
            info->Required = info->Field->Required();
            if (info->FieldKind == TOracleFieldInfo::kfNoField)
                info->FieldKind = TOracleFieldInfo::kfColumn;
        } else if (info->FieldKind == TOracleFieldInfo::kfColumn) {
            info->FieldKind = TOracleFieldInfo::kfNoField;
        }
    }
}

void TOracleDataSet::computeLayout()
{
    m_slots.clear();
    int bufferOffset = static_cast<int>(sizeof(TRecordHeader));
    int stored = 0;
    m_hasBlobFields = false;
    for (TField *field : Fields()) {
        if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc)
            continue;
        FieldSlot slot;
        slot.field = field;
        slot.info = field->FieldKind() == fkData ? m_fieldInfo.FindByField(field) : nullptr;
        if (slot.info && slot.info->FieldKind == TOracleFieldInfo::kfRowId)
            slot.info = nullptr;
        slot.bufferOffset = bufferOffset;
        slot.dataSize = field->DataSize();
        slot.blob = field->IsBlob();
        slot.text = isTextType(field->DataType());
        slot.nullBit = static_cast<int>(m_slots.size());
        field->SetOffset(bufferOffset);
        bufferOffset += slot.dataSize + 1;
        m_hasBlobFields = m_hasBlobFields || slot.blob;
        m_slots.push_back(slot);
    }
    m_recordSize = bufferOffset;
    m_nullBytes = PackedRecord::NullBytes(static_cast<int>(m_slots.size()));
    stored = PackedRecord::NullBitsOffset + m_nullBytes;
    // Stored records only: the row address as a pointer to a copy held by the store.
    m_rowIdOffset = -1;
    if (m_hasRowId) {
        m_rowIdOffset = stored;
        stored += PackedRecord::TextSlotSize;
    }
    for (FieldSlot &slot : m_slots) {
        if (slot.blob)
            continue;
        slot.storedOffset = stored;
        stored += slot.text ? PackedRecord::TextSlotSize : slot.dataSize;
    }
    m_storedSize = stored;
    m_scratch.assign(static_cast<size_t>(RecordBufferSize()), 0);
}

// Field options from the describe: value ranges, display formats and hidden object columns.
// Field kinds from the updating table's columns belong to the dictionary layer.
void TOracleDataSet::applyDictionaryFieldOptions()
{
    for (TField *field : Fields()) {
        if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc)
            continue;
        TOracleFieldInfo *info = m_fieldInfo.FindByField(field);
        if (!info || info->FieldKind == TOracleFieldInfo::kfRowId)
            continue;
        if (info->DataType == SQLT_NTY || info->DataType == SQLT_REF)
            field->SetVisible(false);
        const int p = info->Precision;
        const int s = info->Scale;
        auto *numeric = dynamic_cast<TNumericField *>(field);
        if (!numeric || p <= 0)
            continue;
        if (m_dictionary.RangeValues) {
            const double max = (std::pow(10.0, p) - 1) / std::pow(10.0, s);
            if (auto *integer = dynamic_cast<TIntegerField *>(field)) {
                if (integer->MinValue() == 0 && integer->MaxValue() == 0) {
                    integer->SetMinValue(-std::llround(max));
                    integer->SetMaxValue(std::llround(max));
                }
            } else if (auto *real = dynamic_cast<TFloatField *>(field)) {
                if (real->MinValue() == 0.0 && real->MaxValue() == 0.0) {
                    real->SetMinValue(-max);
                    real->SetMaxValue(max);
                }
            }
        }
        if (m_dictionary.DisplayFormats() && numeric->DisplayFormat().isEmpty()
            && numeric->EditFormat().isEmpty()) {
            if (s > 0) {
                const QString whole = p > s
                    ? QString(p - s - 1, QLatin1Char('#')) + QLatin1Char('0')
                    : QStringLiteral("0");
                QString display = whole;
                for (int at = static_cast<int>(display.size()) - 2; at > 1; at -= 3)
                    display.insert(at - 1, QLatin1Char(','));
                const QString decimals = QLatin1Char('.') + QString(s, QLatin1Char('0'));
                numeric->SetEditFormat(whole + decimals);
                numeric->SetDisplayFormat(display + decimals);
                numeric->SetDisplayWidth(static_cast<int>(display.size() + decimals.size()) + 1);
            } else {
                numeric->SetDisplayWidth(p + 1);
            }
        }
    }
}

std::unique_ptr<TRecordDataList> TOracleDataSet::CreateRecordStore()
{
    return std::make_unique<TRecordDataList>(*m_storeClient, m_storedSize);
}

// ---- Open and close

void TOracleDataSet::InternalOpen()
{
    struct OpeningMark {
        bool &flag;
        explicit OpeningMark(bool &f)
            : flag(f)
        {
            flag = true;
        }
        ~OpeningMark() { flag = false; }
    } mark(m_opening);
    m_currentIndex = -1;
    SetBookmarkSize(static_cast<int>(sizeof(qint32)));
    InternalInitFieldDefs();
    if (DefaultFields())
        CreateFields();
    // String fields take their size from the current description.
    for (TField *field : Fields()) {
        if (field->FieldKind() != fkData || !isTextType(field->DataType()))
            continue;
        const int def = FieldDefs().IndexOf(field->FieldName());
        if (def >= 0 && FieldDefs().Items(def)->Size() > 0)
            field->SetSize(FieldDefs().Items(def)->Size());
    }
    BindFields(true);
    bindFieldInfo();
    if (DefaultFields() && Session() && Session()->Connected())
        applyDictionaryFieldOptions();
    computeLayout();
    m_store = CreateRecordStore();
    m_store->Unidirectional = m_unidirectional;
    if (m_cachedUpdates && !m_designing && !m_hasRowId)
        throw Exception(QStringLiteral("CachedUpdates requires a rowid!"));
    m_links->setMasterBookmark(-1);
    m_links->setDetailWalkPending(true);
    m_keyFields.Clear();
    if (!m_uniqueFields.trimmed().isEmpty() || (Session() && Session()->ODBCBridge()))
        DetermineKeyFields(m_keyFields);
    m_filter->Parse(Filter(), FilterOptions());
    if (!m_qbeMode)
        ExecuteQuery(true);
    else if (!m_activating)
        EnterQBEMode(false);
}

void TOracleDataSet::InternalClose()
{
    // The closing dataset holds no link fields of its master; its own are free again.
    m_links->protectMasterLinkFields();
    m_links->protectLinkFields();
    RemoveQBE();
    // The fields may go with the close; they must not keep hooks into the QBE items.
    m_qbe->unhookFields();
    m_store.reset();
    if (DefaultFields())
        DestroyFields();
    m_bookmarkCounter = 0;
    m_currentIndex = -1;
    m_allFetched = true;
    m_counted = false;
    m_netInserts = 0;
    m_editBlobs.Clear();
    m_filter->Clear();
    m_slots.clear();
    closeCursorQuery();
    m_cached->log().Clear();
    // The details of a closed master show no rows.
    RefreshDetails(false);
}

// ---- Execute and fetch

void TOracleDataSet::ExecuteQuery(bool opening)
{
    if (m_store)
        m_store->Clear();
    m_cached->log().ClearPlaced();
    m_bookmarkCounter = 0;
    m_currentIndex = -1;
    m_counted = false;
    m_netInserts = 0;
    m_allFetched = true;
    m_firstRowPositioned = false;
    m_links->protectMasterLinkFields();
    if (Detached())
        return;
    if (MasterHasNoCurrentRecord()) {
        // The query is not run; the result stays at its end.
        const TDataSetState masterState = Master()->State();
        m_links->setMasterBookmark(masterState == dsBrowse || masterState == dsEdit
                ? m_links->masterCurrentBookmark()
                : -1);
        SetDetailVariables();
        return;
    }
    m_links->forgetDetailBookmarks();
    if (!opening) {
        SetDetailVariables();
        if (BeforeQuery)
            BeforeQuery(this);
        PrepareCursor();
        m_activeQuery->Execute();
    }
    if (Master())
        m_links->setMasterBookmark(m_links->masterCurrentBookmark());
    m_firstRowPositioned = true;
    m_allFetched = false;
    {
        ScreenCursorSaver busy(Cursor());
        if (m_queryAllRecords && !m_unidirectional)
            FetchAll();
    }
    if (AfterQuery)
        AfterQuery(this);
}

void TOracleDataSet::FetchAll()
{
    ScreenCursorSaver busy(Cursor());
    while (FetchRecord()) { }
}

bool TOracleDataSet::FetchRecord()
{
    if (!m_store || m_qbeMode)
        return false;
    while (!m_allFetched) {
        TOracleQuery &query = *m_activeQuery;
        // With cached updates, logged inserts come back where they were, or after the rows.
        char *record = m_cached->placeLoggedInsert(false);
        if (!record) {
            if (!m_firstRowPositioned)
                query.Next();
            m_firstRowPositioned = false;
            if (query.Eof()) {
                record = m_cached->placeLoggedInsert(true);
                if (!record) {
                    m_allFetched = true;
                    m_store->TrimLastBlock();
                    return false;
                }
                m_firstRowPositioned = true; // still at the end of the rows
            }
        }
        if (!record) {
            record = m_store->PrepareSlot();
            TRecordHeader *header = RecordHeader(record);
            for (const FieldSlot &slot : m_slots)
                readColumn(query, slot, record);
            if (m_hasRowId) {
                const QByteArray rowId = query.FieldAsString(m_rowIdIndex).toUtf8();
                PackedRecord::SetText(
                    record, m_rowIdOffset, m_store->HoldText(rowId.constData(), rowId.size()));
            }
            // A row with a logged change shows it; a logged delete leaves the row out.
            if (!m_cached->mergeLoggedRow(record))
                continue;
            m_store->AppendPrepared();
            header->Bookmark = NextBookmark();
            // The master record the row was fetched for.
            header->MasterBookmark = m_links->masterBookmark();
            header->BookmarkFlag = bfCurrent;
            header->Status = 0;
        }
        if (Master() && m_store->Count() == 1)
            m_links->protectMasterLinkFields();
        bool accept = true;
        if (Filtered()) {
            char *buffer = decodeScratch(record);
            accept = FilterRecord(buffer);
            if (accept)
                m_store->AddFiltered(record, true);
        }
        if (AfterFetchRecord) {
            TAfterFetchRecordAction action = afContinue;
            const int saved = m_currentIndex;
            m_currentIndex = m_store->Count() - 1;
            try {
                AfterFetchRecord(this, accept, action);
            } catch (...) {
                m_currentIndex = saved;
                throw;
            }
            m_currentIndex = saved;
            switch (action) {
            case afPause:
                return accept;
            case afStop:
                m_allFetched = true;
                return accept;
            case afCancel:
                m_allFetched = true;
                m_store->Clear();
                return false;
            default:
                break;
            }
        }
        if (accept)
            return true;
    }
    return false;
}

void TOracleDataSet::readColumn(TOracleQuery &query, const FieldSlot &slot, char *record)
{
    if (!slot.info || slot.info->ColumnIndex < 0
        || slot.info->FieldKind == TOracleFieldInfo::kfNoField)
        return;
    if (slot.blob) {
        readBlobColumn(query, slot, record);
        return;
    }
    const int column = slot.info->ColumnIndex;
    // Plain columns are read straight from the fetch buffers: the accessors' checks and
    // conversions cost more than the copy.
    const TFieldData &data = query.FieldItem(column);
    const int row = query.BufferIndex();
    const ub2 defineType = data.defineType;
    const bool plain = defineType == SQLT_INT || defineType == SQLT_FLT || defineType == SQLT_DAT
        || defineType == SQLT_STR;
    if (plain ? data.indicatorBuffer[static_cast<size_t>(row)] == -1 : query.FieldIsNull(column))
        return;
    char *value = record + slot.storedOffset;
    if (plain && !slot.text && copyFetchedValue(data, row, slot.field->DataType(), value)) {
        PackedRecord::SetPresent(record, slot.nullBit, true);
        return;
    }
    if (slot.text) {
        if (!readTextColumn(query, slot, data, row, record))
            return; // an empty text is null
    } else {
        readConvertedColumn(query, slot, value);
    }
    PackedRecord::SetPresent(record, slot.nullBit, true);
}

// The text of a column, as UTF-8 held by the store; false when it is empty.
bool TOracleDataSet::readTextColumn(
    TOracleQuery &query, const FieldSlot &slot, const TFieldData &data, int row, char *record)
{
    const int column = slot.info->ColumnIndex;
    const int source = slot.info->DataType;
    const ub2 defineType = data.defineType;
    QByteArray converted;
    const char *text = nullptr;
    qsizetype length = 0;
    if (source == SQLT_STR && defineType == SQLT_STR) {
        // The fetch buffer already holds UTF-8; line breaks take the converting path.
        text = reinterpret_cast<const char *>(data.RowAddress(row));
        length = static_cast<qsizetype>(strnlen(text, static_cast<size_t>(slot.info->Size) + 1));
        if (std::memchr(text, '\r', static_cast<size_t>(length))
            || std::memchr(text, '\n', static_cast<size_t>(length))) {
            converted = TrimmedString(query.FieldAsString(column)).toUtf8();
            text = converted.constData();
            length = converted.size();
        } else if (TOracleSession *session = Session();
                   session && session->Preferences().TrimStringFields()) {
            while (length > 0 && static_cast<unsigned char>(text[length - 1]) <= 32)
                --length;
        }
    } else {
        converted = TrimmedString(query.FieldAsString(column)).toUtf8();
        text = converted.constData();
        length = converted.size();
    }
    if (length == 0)
        return false;
    length = utf8Cut(text, length, slot.field->Size());
    PackedRecord::SetText(record, slot.storedOffset, m_store->HoldText(text, length));
    return true;
}

// A value the fetch buffers do not hold in the field's native form, through the accessors.
void TOracleDataSet::readConvertedColumn(TOracleQuery &query, const FieldSlot &slot, char *value)
{
    const int column = slot.info->ColumnIndex;
    const int source = slot.info->DataType;
    TField *field = slot.field;
    const TFieldType target = field->DataType();
    switch (target) {
    case ftSmallint:
    case ftWord:
    case ftBoolean: {
        const int v = query.FieldAsInteger(column);
        const qint16 n = target == ftBoolean ? qint16(v != 0) : static_cast<qint16>(v);
        std::memcpy(value, &n, sizeof n);
        break;
    }
    case ftInteger:
    case ftAutoInc: {
        const qint32 n = query.FieldAsInteger(column);
        std::memcpy(value, &n, sizeof n);
        break;
    }
    case ftLargeint: {
        const qint64 n = source == SQLT_INT ? qint64(query.FieldAsInteger(column))
                                            : static_cast<qint64>(query.FieldAsFloat(column));
        std::memcpy(value, &n, sizeof n);
        break;
    }
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
        const double d = query.FieldAsFloat(column);
        std::memcpy(value, &d, sizeof d);
        break;
    }
    case ftDate:
    case ftTime:
    case ftDateTime:
        DateTimeToNative(target, query.FieldAsDate(column), value);
        break;
    default:
        DatabaseError(QStringLiteral("Unexpected datatype: ") + field->FieldName());
    }
}

// A BLOB kind's value goes to the record's BLOB list, decompressed where it was stored
// compressed.
void TOracleDataSet::readBlobColumn(TOracleQuery &query, const FieldSlot &slot, char *record)
{
    const int column = slot.info->ColumnIndex;
    const int source = slot.info->DataType;
    TField *field = slot.field;
    auto *blobs = RecordHeader(record)->BlobList;
    if (!blobs) {
        blobs = new TBlobList;
        RecordHeader(record)->BlobList = blobs;
    }
    TOracleBlob *blob = blobs->Add(field);
    if (query.FieldIsNull(column))
        return;
    QByteArray value;
    switch (source) {
    case SQLT_LNG:
        value = query.FieldAsString(column).toUtf8();
        break;
    case SQLT_LBI:
        value = query.Field(column).AsBytes();
        break;
    case SQLT_CLOB:
    case SQLT_BLOB:
    case SQLT_BFILEE:
        readLobColumn(query, slot, value);
        break;
    case SQLT_INT:
    case SQLT_FLT:
    case SQLT_STR:
    case SQLT_DAT:
    case SQLT_REF:
        value = TrimmedString(query.FieldAsString(column)).toUtf8();
        break;
    default:
        DatabaseError(QStringLiteral("Unexpected datatype: ") + field->FieldName());
    }
    if (source == SQLT_LBI || source == SQLT_BLOB || source == SQLT_BFILEE)
        DecompressBlob(static_cast<TBlobField *>(field), value);
    blob->SetData(std::move(value));
}

// LOB columns: the query serves them through a column handler when one is registered; the
// value arrives as text or bytes. A LOB locator class plugs in here.
void TOracleDataSet::readLobColumn(TOracleQuery &query, const FieldSlot &slot, QByteArray &value)
{
    const int column = slot.info->ColumnIndex;
    const Variant v = query.Field(column);
    if (const QString *text = v.StringPtr())
        value = text->toUtf8();
    else if (v.Kind() == VariantKind::Bytes)
        value = v.AsBytes();
    else if (!v.IsNullOrEmpty())
        DatabaseError(QStringLiteral("Unexpected datatype: ") + slot.field->FieldName());
}

// ---- Count of query hits

int TOracleDataSet::CountQueryHits()
{
    if (IsCursorDataSet())
        throw Exception(QStringLiteral("Cannot count query hits for cursor dataset"));
    if (m_qbeMode) {
        // The criteria typed so far become the condition the count (and the refresh that ends
        // QBE mode) runs with.
        if (State() == dsInsert)
            UpdateRecord();
        StoreQBEValues();
        ApplyQBE();
    }
    QString text;
    m_mainQuery->SubstitutedSQL(text);
    QString head, where, tail, keyword;
    SplitStatement(text, head, where, tail, keyword);
    TOracleQuery *query = DMLQuery(true);
    query->Clear();
    QString sql = QStringLiteral("select count(*) from (\n") + head + QLatin1Char('\n');
    if (!where.isEmpty())
        sql += keyword + QLatin1Char(' ') + where + QStringLiteral(")");
    else
        sql += QStringLiteral(")");
    query->SQL().SetText(sql);
    CopyVariablesTo(*query, sql);
    int result = 0;
    try {
        query->Execute();
        result = query->FieldAsInteger(0);
    } catch (...) {
        ReleaseDMLQuery();
        throw;
    }
    ReleaseDMLQuery();
    return result;
}

} // namespace qd
