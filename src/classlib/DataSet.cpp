#include "DataSet.h"

#include "DataSource.h"
#include "Stream.h"

#include <QDebug>
#include <QStringList>

namespace qd {

TDataSet::TDataSet()
    : m_fieldDefs(this)
    , m_fields(this)
{
}

TDataSet::~TDataSet()
{
    // Descendants close in their own destructor; here only the bookkeeping is left.
    for (TDataSource *source : std::vector<TDataSource *>(m_dataSources))
        source->m_dataSet = nullptr, source->UpdateState();
    m_dataSources.clear();
}

void TDataSet::Notify(const TDataSetNotifyEvent &event)
{
    if (event)
        event(this);
}

// ---- Activation

void TDataSet::SetActive(bool value)
{
    if (value == Active())
        return;
    if (value) {
        DoBeforeOpen();
        m_enableEvent = deLayoutChange;
        OpenCursor();
        SetState(dsBrowse);
        DoAfterOpen();
        if (!IsEmpty())
            DoAfterScroll();
    } else {
        DoBeforeClose();
        SetState(dsInactive);
        CloseCursor();
        DoAfterClose();
    }
}

void TDataSet::OpenCursor()
{
    // The opening state is not announced: links only learn of the open dataset.
    m_state = dsOpening;
    try {
        m_defaultFields = FieldCount() == 0;
        InternalOpen();
        if (!IsCursorOpen())
            DatabaseError(QStringLiteral("Cannot open the dataset"), m_name);
        UpdateBufferCount();
        m_bof = true;
    } catch (...) {
        m_state = dsInactive;
        try {
            CloseCursor();
        } catch (...) {
        }
        throw;
    }
}

void TDataSet::CloseCursor()
{
    FreeFieldBuffers();
    ClearBuffers();
    SetBufferCount(0);
    m_currentRecord = -1;
    InternalClose();
    m_defaultFields = false;
}

void TDataSet::CheckActive() const
{
    if (!Active())
        DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"), m_name);
}

void TDataSet::CheckInactive() const
{
    if (Active())
        DatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"), m_name);
}

void TDataSet::SetState(TDataSetState value)
{
    if (m_state == value)
        return;
    m_state = value;
    m_modified = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState state, TRecordBuffer buffer)
{
    const TDataSetState previous = m_state;
    m_tempStates.push_back({ buffer, m_calcBuffer, m_modified });
    m_state = state;
    if (state == dsCalcFields && buffer)
        m_calcBuffer = buffer;
    return previous;
}

void TDataSet::RestoreState(TDataSetState previous)
{
    m_state = previous;
    if (!m_tempStates.empty()) {
        // Reading old values during an edit must not make the edit look unmodified.
        m_modified = m_tempStates.back().modified;
        m_calcBuffer = m_tempStates.back().calcBuffer;
        m_tempStates.pop_back();
    }
}

TRecordBuffer TDataSet::ActiveBuffer() const
{
    for (auto it = m_tempStates.rbegin(); it != m_tempStates.rend(); ++it)
        if (it->buffer)
            return it->buffer;
    if (m_buffers.empty())
        return nullptr;
    return m_buffers[static_cast<size_t>(m_activeRecord)];
}

// ---- Fields

void TDataSet::InitFieldDefs()
{
    InternalInitFieldDefs();
}

void TDataSet::CreateFields()
{
    for (int i = 0; i < m_fieldDefs.Count(); ++i) {
        TFieldDef *def = m_fieldDefs.Items(i);
        if (!def->Hidden() && def->DataType() != ftUnknown && !FindField(def->Name()))
            def->CreateField(this);
    }
}

void TDataSet::DestroyFields()
{
    m_fields.Clear();
}

void TDataSet::BindFields(bool binding)
{
    m_calcFieldsSize = 0;
    m_hasCalcFields = false;
    if (!binding)
        return;
    for (TField *field : m_fields) {
        if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
            if (field->FieldKind() == fkLookup
                && (!field->LookupDataSet() || field->LookupKeyFields().isEmpty()
                    || field->LookupResultField().isEmpty() || field->KeyFields().isEmpty()))
                DatabaseError(QStringLiteral("Lookup information for field '%1' is incomplete")
                                  .arg(field->DisplayName()),
                    m_name);
            field->SetOffset(m_calcFieldsSize);
            m_calcFieldsSize += field->DataSize() + 1;
            m_hasCalcFields = true;
        } else if (field->FieldKind() == fkInternalCalc) {
            m_hasCalcFields = true;
        }
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) {
            const int def = m_fieldDefs.IndexOf(field->FieldName());
            if (def >= 0)
                field->SetFieldNo(m_fieldDefs.Items(def)->FieldNo());
        }
    }
}

void TDataSet::GetFieldList(std::vector<TField *> &list, const QString &fieldNames) const
{
    for (const QString &part : fieldNames.split(QLatin1Char(';'))) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            list.push_back(FieldByName(name));
    }
}

void TDataSet::GetFieldNames(QStringList &list) const
{
    list.clear();
    if (m_fields.Count() > 0) {
        for (TField *field : m_fields)
            list.append(field->FieldName());
    } else {
        for (int i = 0; i < const_cast<TFieldDefs &>(m_fieldDefs).Count(); ++i)
            list.append(m_fieldDefs.Items(i)->Name());
    }
}

Variant TDataSet::FieldValues(const QString &fieldNames)
{
    std::vector<TField *> list;
    GetFieldList(list, fieldNames);
    if (list.size() == 1)
        return list[0]->AsVariant();
    VariantArray values;
    for (TField *field : list)
        values.push_back(field->AsVariant());
    return Variant(std::move(values));
}

void TDataSet::SetFieldValues(const QString &fieldNames, const Variant &value)
{
    std::vector<TField *> list;
    GetFieldList(list, fieldNames);
    if (list.size() == 1) {
        list[0]->SetAsVariant(value);
        return;
    }
    const VariantArray *values = value.ArrayPtr();
    if (!values || values->size() != list.size())
        DatabaseError(QStringLiteral("Invalid variant value for %1 fields").arg(list.size()));
    for (size_t i = 0; i < list.size(); ++i)
        list[i]->SetAsVariant((*values)[i]);
}

// ---- Calculated fields

void TDataSet::GetCalcFields(TRecordBuffer buffer)
{
    if (!m_hasCalcFields)
        return;
    TTempState temp(this, dsCalcFields, buffer);
    CalculateFields(buffer);
}

void TDataSet::CalculateFields(TRecordBuffer buffer)
{
    m_calcBuffer = buffer;
    ClearCalcFields(buffer);
    for (TField *field : m_fields)
        if (field->FieldKind() == fkLookup)
            CalcLookupValue(field);
    DoOnCalcFields();
}

void TDataSet::CalcLookupValue(TField *field)
{
    TDataSet *lookup = field->LookupDataSet();
    if (!lookup || !lookup->Active())
        return;
    const Variant key = FieldValues(field->KeyFields());
    const Variant value = lookup->Lookup(field->LookupKeyFields(), key, field->LookupResultField());
    field->SetAsVariant(value);
}

void TDataSet::UpdateCalcFields()
{
    if (m_state != dsSetKey && m_hasCalcFields && m_autoCalcFields && ActiveBuffer())
        GetCalcFields(ActiveBuffer());
}

// ---- Filtering (the base only stores; descendants filter in GetRecord)

void TDataSet::SetFiltered(bool value)
{
    if (Active()) {
        CheckBrowseMode();
        if (m_filtered != value) {
            m_filtered = value;
            First();
        }
    } else {
        m_filtered = value;
    }
}

void TDataSet::SetFilterOptions(TFilterOptions options)
{
    if (Active())
        CheckBrowseMode();
    m_filterOptions = options;
    if (Active() && m_filtered)
        First();
}

void TDataSet::SetFilterText(const QString &text)
{
    if (Active())
        CheckBrowseMode();
    m_filterText = text;
    if (Active() && m_filtered)
        First();
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent handler)
{
    if (Active()) {
        CheckBrowseMode();
        OnFilterRecord = std::move(handler);
        if (m_filtered)
            First();
    } else {
        OnFilterRecord = std::move(handler);
    }
}

// ---- Searching hooks

bool TDataSet::Locate(const QString &, const Variant &, TLocateOptions)
{
    return false;
}

Variant TDataSet::Lookup(const QString &, const Variant &, const QString &)
{
    return Variant::Null();
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField *field, TBlobStreamMode)
{
    DatabaseError(
        QStringLiteral("Field '%1' is not a BLOB field").arg(field->DisplayName()), m_name);
}

void TDataSet::InternalHandleException()
{
    try {
        throw;
    } catch (const std::exception &e) {
        qWarning(
            "%s: %s", qPrintable(m_name.isEmpty() ? QStringLiteral("DataSet") : m_name), e.what());
    } catch (...) {
        qWarning("%s: unknown exception", qPrintable(m_name));
    }
}

// ---- Controls and data events

void TDataSet::DisableControls()
{
    if (m_disableCount == 0) {
        m_disableState = m_state;
        m_enableEvent = deDataSetChange;
    }
    ++m_disableCount;
}

void TDataSet::EnableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount > 0)
        return;
    if (m_state != m_disableState)
        DataEvent(deUpdateState, 0);
    if (m_disableState != dsInactive && m_state != dsInactive)
        DataEvent(m_enableEvent, 0);
}

void TDataSet::DataEvent(TDataEvent event, qintptr info)
{
    switch (event) {
    case deFieldChange: {
        auto *field = reinterpret_cast<TField *>(info);
        if (field && (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc))
            m_modified = true;
        if (m_state != dsSetKey && field)
            field->Change();
        UpdateCalcFields();
        break;
    }
    default:
        break;
    }
    // Temporary states (old values, filtering, calculating) are invisible to controls.
    if (!m_tempStates.empty())
        return;
    if (m_disableCount == 0) {
        for (TDataSource *source : std::vector<TDataSource *>(m_dataSources))
            source->DataEvent(event, info);
    } else if ((event == deUpdateState && m_state == dsInactive) || event == deLayoutChange) {
        m_enableEvent = deLayoutChange;
    }
}

void TDataSet::AddDataSource(TDataSource *source)
{
    m_dataSources.push_back(source);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource *source)
{
    std::erase(m_dataSources, source);
    UpdateBufferCount();
}

} // namespace qd

QString qd::FieldTypeName(TFieldType type)
{
    static const char *const names[] = { "Unknown", "String", "SmallInt", "Integer", "Word",
        "Boolean", "Float", "Currency", "BCD", "Date", "Time", "DateTime", "Bytes", "VarBytes",
        "AutoInc", "Blob", "Memo", "Graphic", "FmtMemo", "ParadoxOle", "DBaseOle", "TypedBinary",
        "Cursor", "FixedChar", "WideString", "LargeInt", "ADT", "Array", "Reference", "DataSet",
        "OraBlob", "OraClob", "Variant", "Interface", "IDispatch", "Guid", "TimeStamp", "FMTBcd" };
    const int i = static_cast<int>(type);
    if (i < 0 || i >= static_cast<int>(std::size(names)))
        return QStringLiteral("Unknown");
    return QString::fromLatin1(names[i]);
}

bool qd::IsBlobType(TFieldType type)
{
    return (type >= ftBlob && type <= ftTypedBinary) || type == ftOraBlob || type == ftOraClob;
}

void qd::DatabaseError(const QString &message, const QString &componentName)
{
    if (componentName.isEmpty())
        throw EDatabaseError(message);
    throw EDatabaseError(componentName + QStringLiteral(": ") + message);
}
