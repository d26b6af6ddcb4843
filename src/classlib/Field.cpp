#include "Field.h"

#include "DataSet.h"

#include <cstring>

namespace qd {

TField::TField(TFieldType dataType)
    : m_dataType(dataType)
{
}

TField::~TField() = default;

void TField::SetFieldName(const QString &name)
{
    if (m_dataSet && name.compare(m_fieldName, Qt::CaseInsensitive) != 0
        && m_dataSet->FindField(name))
        DatabaseError(QStringLiteral("Duplicate field name '%1'").arg(name));
    m_fieldName = name;
}

void TField::SetDisplayLabel(const QString &label)
{
    m_displayLabel = label;
    if (m_dataSet)
        m_dataSet->DataEvent(deLayoutChange, 0);
}

void TField::SetSize(int size)
{
    if (m_dataSet && m_dataSet->Active())
        DatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_size = size;
}

void TField::SetFieldKind(TFieldKind kind)
{
    if (m_dataSet && m_dataSet->Active())
        DatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_fieldKind = kind;
}

int TField::Index() const
{
    return m_dataSet ? m_dataSet->Fields().IndexOf(this) : -1;
}

void TField::SetIndex(int index)
{
    if (m_dataSet)
        m_dataSet->Fields().SetFieldIndex(this, index);
}

void TField::SetVisible(bool value)
{
    if (m_visible == value)
        return;
    m_visible = value;
    if (m_dataSet)
        m_dataSet->DataEvent(deLayoutChange, 0);
}

void TField::SetDisplayWidth(int width)
{
    m_displayWidth = width;
    if (m_dataSet)
        m_dataSet->DataEvent(deLayoutChange, 0);
}

bool TField::CanModify() const
{
    if (m_readOnly || m_fieldKind == fkCalculated || m_fieldKind == fkLookup || !m_dataSet)
        return false;
    return m_dataSet->CanModify();
}

void TField::CheckDataSet() const
{
    if (!m_dataSet)
        DatabaseError(QStringLiteral("Field '%1' has no dataset").arg(DisplayName()));
}

bool TField::GetData(void *buffer)
{
    if (m_validating) {
        if (!m_validateBuffer)
            return false;
        // A variant value owns shared data: copy it as an object, never as bytes.
        if (buffer && m_dataType == ftVariant)
            *static_cast<Variant *>(buffer) = *static_cast<const Variant *>(m_validateBuffer);
        else if (buffer)
            std::memcpy(buffer, m_validateBuffer, static_cast<size_t>(DataSize()));
        return true;
    }
    CheckDataSet();
    return m_dataSet->GetFieldData(this, buffer);
}

void TField::SetData(const void *buffer)
{
    CheckDataSet();
    // Writing outside an edit would change a buffer that the next scroll throws away.
    switch (m_dataSet->State()) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
    case dsInternalCalc:
        break;
    default:
        DatabaseError(QStringLiteral("Dataset not in edit or insert mode"), m_dataSet->Name());
    }
    m_dataSet->SetFieldData(this, buffer);
}

void TField::Validate(const void *buffer)
{
    if (!OnValidate)
        return;
    struct Guard {
        TField *f;
        ~Guard()
        {
            f->m_validating = false;
            f->m_validateBuffer = nullptr;
        }
    } guard { this };
    m_validating = true;
    m_validateBuffer = buffer;
    OnValidate(this);
}

void TField::Change()
{
    if (OnChange)
        OnChange(this);
}

void TField::FocusControl()
{
    if (m_dataSet)
        m_dataSet->DataEvent(deFocusControl, reinterpret_cast<qintptr>(this));
}

bool TField::IsNull()
{
    if (!m_dataSet && !m_validating)
        return true;
    return !GetData(nullptr);
}

Variant TField::AsVariant()
{
    return GetValue();
}

void TField::SetAsVariant(const Variant &value)
{
    if (value.IsNullOrEmpty())
        Clear();
    else
        SetVarValue(value);
}

void TField::SetVarValue(const Variant &)
{
    AccessError(QStringLiteral("Variant"));
}

void TField::AccessError(const QString &typeName) const
{
    DatabaseError(
        QStringLiteral("Cannot access field '%1' as type %2").arg(DisplayName(), typeName));
}

QString TField::AsString()
{
    AccessError(QStringLiteral("String"));
}
void TField::SetAsString(const QString &)
{
    AccessError(QStringLiteral("String"));
}
int TField::AsInteger()
{
    AccessError(QStringLiteral("Integer"));
}
void TField::SetAsInteger(int)
{
    AccessError(QStringLiteral("Integer"));
}
qint64 TField::AsLargeInt()
{
    AccessError(QStringLiteral("LargeInt"));
}
void TField::SetAsLargeInt(qint64)
{
    AccessError(QStringLiteral("LargeInt"));
}
double TField::AsFloat()
{
    AccessError(QStringLiteral("Float"));
}
void TField::SetAsFloat(double)
{
    AccessError(QStringLiteral("Float"));
}
bool TField::AsBoolean()
{
    AccessError(QStringLiteral("Boolean"));
}
void TField::SetAsBoolean(bool)
{
    AccessError(QStringLiteral("Boolean"));
}
double TField::AsDateTime()
{
    AccessError(QStringLiteral("DateTime"));
}
void TField::SetAsDateTime(double)
{
    AccessError(QStringLiteral("DateTime"));
}
QByteArray TField::AsBytes()
{
    AccessError(QStringLiteral("Bytes"));
}
void TField::SetAsBytes(const QByteArray &)
{
    AccessError(QStringLiteral("Bytes"));
}

Variant TField::StateValue(TDataSetState state)
{
    CheckDataSet();
    TTempState temp(m_dataSet, state);
    return AsVariant();
}

Variant TField::OldValue()
{
    return StateValue(dsOldValue);
}

Variant TField::NewValue()
{
    return StateValue(dsNewValue);
}

Variant TField::CurValue()
{
    return StateValue(dsCurValue);
}

void TField::GetText(QString &text, bool)
{
    text = AsString();
}

QString TField::Text()
{
    QString text;
    if (OnGetText)
        OnGetText(this, text, false);
    else
        GetText(text, false);
    return text;
}

QString TField::DisplayText()
{
    QString text;
    if (OnGetText)
        OnGetText(this, text, true);
    else
        GetText(text, true);
    return text;
}

void TField::SetText(const QString &text)
{
    if (OnSetText)
        OnSetText(this, text);
    else
        SetTextValue(text);
}

// ---- TFields

TFields::~TFields()
{
    for (auto &field : m_items)
        field->m_dataSet = nullptr;
}

TField *TFields::Fields(int index) const
{
    if (index < 0 || index >= Count())
        DatabaseError(QStringLiteral("Field index out of range"));
    return m_items[static_cast<size_t>(index)].get();
}

TField *TFields::Add(std::unique_ptr<TField> field)
{
    if (!field)
        DatabaseError(QStringLiteral("Field missing"));
    if (m_dataSet)
        m_dataSet->CheckInactive();
    if (field->FieldName().isEmpty())
        DatabaseError(QStringLiteral("Field name missing"));
    if (FindField(field->FieldName()))
        DatabaseError(QStringLiteral("Duplicate field name '%1'").arg(field->FieldName()));
    field->m_dataSet = m_dataSet;
    m_items.push_back(std::move(field));
    return m_items.back().get();
}

std::unique_ptr<TField> TFields::Remove(TField *field)
{
    const int i = IndexOf(field);
    if (i < 0)
        return nullptr;
    if (m_dataSet)
        m_dataSet->CheckInactive();
    std::unique_ptr<TField> result = std::move(m_items[static_cast<size_t>(i)]);
    m_items.erase(m_items.begin() + i);
    result->m_dataSet = nullptr;
    return result;
}

void TFields::Clear()
{
    if (m_dataSet)
        m_dataSet->CheckInactive();
    while (!m_items.empty()) {
        m_items.back()->m_dataSet = nullptr;
        m_items.pop_back();
    }
}

int TFields::IndexOf(const TField *field) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_items[static_cast<size_t>(i)].get() == field)
            return i;
    return -1;
}

TField *TFields::FindField(const QString &name) const
{
    for (const auto &field : m_items)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

TField *TFields::FieldByName(const QString &name) const
{
    TField *field = FindField(name);
    if (!field)
        DatabaseError(QStringLiteral("Field '%1' not found").arg(name),
            m_dataSet ? m_dataSet->Name() : QString());
    return field;
}

TField *TFields::FieldByNumber(int fieldNo) const
{
    for (const auto &field : m_items)
        if (field->FieldNo() == fieldNo)
            return field.get();
    return nullptr;
}

void TFields::SetFieldIndex(TField *field, int index)
{
    const int from = IndexOf(field);
    if (from < 0)
        return;
    index = std::clamp(index, 0, Count() - 1);
    if (from == index)
        return;
    auto owned = std::move(m_items[static_cast<size_t>(from)]);
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + index, std::move(owned));
    if (m_dataSet)
        m_dataSet->DataEvent(deLayoutChange, 0);
}

} // namespace qd
