#include "OracleFieldInfo.h"

#include "OracleDataSet.h"
#include "classlib/Field.h"

namespace qd {

QString TOracleFieldInfoList::UniqueName(const QString &name) const
{
    if (!FindByName(name))
        return name;
    for (int n = 1;; ++n) {
        const QString candidate = name + QLatin1Char('_') + QString::number(n);
        if (!FindByName(candidate))
            return candidate;
    }
}

TOracleFieldInfo *TOracleFieldInfoList::Add(const QString &name)
{
    auto info = std::make_unique<TOracleFieldInfo>();
    info->Name = UniqueName(name);
    m_items.push_back(std::move(info));
    return m_items.back().get();
}

TOracleFieldInfo *TOracleFieldInfoList::FindByName(const QString &name) const
{
    for (const auto &item : m_items)
        if (item->Name.compare(name, Qt::CaseInsensitive) == 0)
            return item.get();
    return nullptr;
}

TOracleFieldInfo *TOracleFieldInfoList::FindByField(const TField *field) const
{
    if (!field)
        return nullptr;
    for (const auto &item : m_items)
        if (item->Field == field)
            return item.get();
    return FindByName(field->FieldName());
}

bool TSequenceField::IsSequenceField(const QString &fieldName) const
{
    return IsValid() && m_field.compare(fieldName, Qt::CaseInsensitive) == 0;
}

bool TSequenceField::IsServerSequence(const QString &fieldName) const
{
    return m_applyMoment == amOnServer && IsSequenceField(fieldName);
}

void TSequenceField::Assign(const TSequenceField &source)
{
    m_field = source.m_field;
    m_sequence = source.m_sequence;
    m_applyMoment = source.m_applyMoment;
}

void TOracleDictionary::SetDisabledConstraints(const TStringList &names)
{
    m_disabledConstraints.Clear();
    m_disabledConstraints.AddStrings(names);
}

void TOracleDictionary::SetDisplayFormats(bool value)
{
    if (value == m_displayFormats)
        return;
    m_displayFormats = value;
    if (m_dataSet && m_dataSet->Active()) {
        m_dataSet->Close();
        m_dataSet->Open();
    }
}

void TOracleDictionary::SetRequiredFields(bool value)
{
    if (value == m_requiredFields)
        return;
    m_requiredFields = value;
    if (m_dataSet)
        m_dataSet->DataEvent(dePropertyChange, 0);
}

void TOracleDictionary::Assign(const TOracleDictionary &source)
{
    EnforceConstraints = source.EnforceConstraints;
    UseMessageTable = source.UseMessageTable;
    DefaultValues = source.DefaultValues;
    DynamicDefaults = source.DynamicDefaults;
    FieldKinds = source.FieldKinds;
    RangeValues = source.RangeValues;
    SetDisabledConstraints(source.m_disabledConstraints);
    SetDisplayFormats(source.m_displayFormats);
    SetRequiredFields(source.m_requiredFields);
}

} // namespace qd
