// TMemoryData: emptying, copying another dataset's structure, loading its records, locating and
// looking up records; the free functions that locate in and copy between any datasets.
#include "MemoryData.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace qd {

namespace {

// The key value that goes with field i of count.
const Variant &keyValue(const Variant &keyValues, size_t i, size_t count)
{
    if (count == 1)
        return keyValues;
    const VariantArray *values = keyValues.ArrayPtr();
    if (!values || values->size() < count)
        DatabaseError(QStringLiteral("%1 key values are needed for %2 key fields")
                          .arg(count)
                          .arg(values ? QString::number(values->size()) : QStringLiteral("1")));
    return (*values)[i];
}

// Whether the field's value (in the record the dataset's state reads) matches the key value.
bool fieldMatches(TField *field, const Variant &key, TLocateOptions options)
{
    if (field->DataType() == ftString) {
        QString text = field->AsString();
        const QString want = key.AsString();
        if (options & loPartialKey)
            text.truncate(want.size());
        const Qt::CaseSensitivity cs
            = (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        return text.compare(want, cs) == 0;
    }
    return field->AsVariant() == key;
}

bool recordMatches(
    const std::vector<TField *> &fields, const Variant &keyValues, TLocateOptions options)
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (!fieldMatches(fields[i], keyValue(keyValues, i, fields.size()), options))
            return false;
    return true;
}

} // namespace

bool DataSetLocateThrough(
    TDataSet *dataSet, const QString &keyFields, const Variant &keyValues, TLocateOptions options)
{
    dataSet->CheckBrowseMode();
    if (dataSet->Bof() && dataSet->Eof())
        return false;
    std::vector<TField *> fields;
    dataSet->GetFieldList(fields, keyFields);
    if (recordMatches(fields, keyValues, options))
        return true;
    dataSet->DisableControls();
    bool found = false;
    try {
        const TBookmark bookmark = dataSet->GetBookmark();
        dataSet->First();
        while (!dataSet->Eof()) {
            if (recordMatches(fields, keyValues, options)) {
                found = true;
                break;
            }
            dataSet->Next();
        }
        if (!found && dataSet->BookmarkValid(bookmark))
            dataSet->GotoBookmark(bookmark);
    } catch (...) {
        dataSet->EnableControls();
        throw;
    }
    dataSet->EnableControls();
    return found;
}

void AssignRecord(TDataSet *source, TDataSet *dest, bool byName)
{
    switch (dest->State()) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
        break;
    default:
        DatabaseError(QStringLiteral("Dataset not in edit or insert mode"), dest->Name());
    }
    if (byName) {
        for (TField *field : source->Fields())
            if (TField *target = dest->FindField(field->FieldName()))
                target->SetAsVariant(field->AsVariant());
        return;
    }
    const int count = std::min(source->FieldDefs().Count(), dest->FieldDefs().Count());
    for (int i = 0; i < count; ++i) {
        TField *target = dest->FindField(dest->FieldDefs()[i]->Name());
        TField *field = source->FindField(source->FieldDefs()[i]->Name());
        if (target && field)
            target->SetAsVariant(field->AsVariant());
    }
}

// ---- TMemoryData

void TMemoryData::DeleteAllRecords()
{
    if (!Active())
        return;
    CheckBrowseMode();
    freeAllRecords();
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
}

void TMemoryData::CopyStructure(TDataSet *source)
{
    CheckInactive();
    DestroyFields();
    if (!source)
        return;
    source->FieldDefs().Update();
    FieldDefs().Clear();
    for (int i = 0; i < source->FieldDefs().Count(); ++i) {
        const TFieldDef *def = source->FieldDefs()[i];
        TFieldDef *copy
            = FieldDefs().Add(def->Name(), def->DataType(), def->Size(), def->Required());
        copy->SetPrecision(def->Precision());
        copy->SetHidden(def->Hidden());
    }
    for (int i = FieldDefs().Count() - 1; i >= 0; --i)
        if (!IsSupportedType(FieldDefs()[i]->DataType()))
            FieldDefs().Delete(i);
    CreateFields();
}

int TMemoryData::LoadFromDataSet(TDataSet *source, int recordCount, bool appendOnly)
{
    if (!source || source == this)
        return 0;
    int copied = 0;
    source->DisableControls();
    const bool sourceWasActive = source->Active();
    DisableControls();
    // Whatever happens, this dataset ends on its first record and the source as it was found.
    struct Finish {
        TMemoryData *self;
        TDataSet *source;
        bool sourceWasActive;
        ~Finish()
        {
            try {
                if (self->Active())
                    self->First();
            } catch (...) {
                self->InternalHandleException();
            }
            self->EnableControls();
            try {
                if (!sourceWasActive)
                    source->Close();
            } catch (...) {
                self->InternalHandleException();
            }
            source->EnableControls();
        }
    } finish { this, source, sourceWasActive };
    SetFiltered(false);
    source->Open();
    source->CheckBrowseMode();
    source->UpdateCursorPos();
    if (!appendOnly) {
        Close();
        CopyStructure(source);
    }
    dropSortKeys();
    if (!Active())
        Open();
    CheckBrowseMode();
    int limit = INT_MAX;
    if (recordCount > 0)
        limit = recordCount;
    else
        source->First();
    while (!source->Eof()) {
        Append();
        try {
            AssignRecord(source, this, true);
            Post();
        } catch (...) {
            Cancel();
            throw;
        }
        if (++copied >= limit)
            break;
        source->Next();
    }
    return copied;
}

int TMemoryData::runLocate(
    const std::vector<TField *> &fields, const Variant &keyValues, TLocateOptions options, int from)
{
    // Fields read each candidate through a scratch buffer, with its calculated fields.
    struct Scratch {
        TMemoryData *self;
        TRecordBuffer buffer;
        ~Scratch() { self->FreeRecordBuffer(buffer); }
    } scratch { this, AllocRecordBuffer() };

    // Texts of data fields compared case-sensitively need no decoding: a UTF-8 text begins
    // with (or equals) another exactly when its bytes do.
    struct Fast {
        int offset;
        QByteArray key;
    };
    std::vector<Fast> fast;
    bool allFast = !(options & loCaseInsensitive);
    for (size_t i = 0; allFast && i < fields.size(); ++i) {
        const FieldPlace *place = placeOf(fields[i]);
        if (fields[i]->FieldKind() != fkData || fields[i]->DataType() != ftString || !place
            || place->place != Place::Block)
            allFast = false;
        else
            fast.push_back(
                { place->offset, keyValue(keyValues, i, fields.size()).AsString().toUtf8() });
    }
    const bool partial = options & loPartialKey;
    for (int index = from; index < RecordListCount(); ++index) {
        if (allFast) {
            const char *data = m_records[static_cast<size_t>(index)].m_data.get();
            bool match = true;
            for (const Fast &f : fast) {
                const char *text = data + f.offset + 1;
                const size_t length = data[f.offset] ? std::strlen(text) : 0;
                const auto n = static_cast<size_t>(f.key.size());
                if (partial ? length < n || std::memcmp(text, f.key.constData(), n) != 0
                            : length != n || std::memcmp(text, f.key.constData(), n) != 0) {
                    match = false;
                    break;
                }
            }
            if (match && recordAccepted(index))
                return index;
            continue;
        }
        if (!recordAccepted(index))
            continue;
        copyRecordToBuffer(index, scratch.buffer, true);
        TTempState temp(this, dsBrowse, scratch.buffer);
        if (recordMatches(fields, keyValues, options))
            return index;
    }
    return -1;
}

bool TMemoryData::Locate(const QString &keyFields, const Variant &keyValues, TLocateOptions options)
{
    DoBeforeScroll();
    CheckBrowseMode();
    if (IsEmpty())
        return false;
    std::vector<TField *> fields;
    GetFieldList(fields, keyFields);
    // The current record is kept when it matches; otherwise the first matching record in the
    // dataset's order (a filter applies) becomes current. No other record is visited as current.
    if (!recordMatches(fields, keyValues, options)) {
        const int index = runLocate(fields, keyValues, options, 0);
        if (index < 0)
            return false;
        m_position = index;
        Resync(rmExact | rmCenter);
    } else {
        DataEvent(deDataSetChange, 0);
    }
    DoAfterScroll();
    return true;
}

Variant TMemoryData::Lookup(
    const QString &keyFields, const Variant &keyValues, const QString &resultFields)
{
    if (!Active() || m_records.empty())
        return Variant::Null();
    std::vector<TField *> fields;
    GetFieldList(fields, keyFields);
    const int index = runLocate(fields, keyValues, 0, 0);
    if (index < 0)
        return Variant::Null();
    struct Scratch {
        TMemoryData *self;
        TRecordBuffer buffer;
        ~Scratch() { self->FreeRecordBuffer(buffer); }
    } scratch { this, AllocRecordBuffer() };
    copyRecordToBuffer(index, scratch.buffer, true);
    TTempState temp(this, dsBrowse, scratch.buffer);
    return FieldValues(resultFields);
}

} // namespace qd
