#include "FieldDefs.h"

#include "DataSet.h"
#include "Field.h"

namespace qd {

TFieldDef::TFieldDef(
    TFieldDefs *owner, QString name, TFieldType dataType, int size, bool required, int fieldNo)
    : m_owner(owner)
    , m_name(std::move(name))
    , m_dataType(dataType)
    , m_size(size)
    , m_required(required)
    , m_fieldNo(fieldNo)
{
}

TField *TFieldDef::CreateField(TDataSet *dataSet) const
{
    std::unique_ptr<TField> field = CreateFieldOfType(m_dataType);
    if (!field)
        DatabaseError(QStringLiteral("Field '%1' is of an unknown type").arg(m_name));
    field->SetFieldName(m_name);
    field->SetSize(m_size);
    field->SetRequired(m_required);
    field->SetFieldNo(m_fieldNo);
    return dataSet->Fields().Add(std::move(field));
}

TFieldDef *TFieldDefs::Items(int index) const
{
    if (index < 0 || index >= Count())
        DatabaseError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_items[static_cast<size_t>(index)].get();
}

TFieldDef *TFieldDefs::Add(
    const QString &name, TFieldType dataType, int size, bool required, int fieldNo)
{
    if (name.isEmpty())
        DatabaseError(QStringLiteral("Field name missing"));
    if (IndexOf(name) >= 0)
        DatabaseError(QStringLiteral("Duplicate field name '%1'").arg(name));
    m_items.push_back(std::make_unique<TFieldDef>(
        this, name, dataType, size, required, fieldNo > 0 ? fieldNo : Count() + 1));
    return m_items.back().get();
}

void TFieldDefs::Delete(int index)
{
    Items(index);
    m_items.erase(m_items.begin() + index);
}

int TFieldDefs::IndexOf(const QString &name) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_items[static_cast<size_t>(i)]->Name().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

TFieldDef *TFieldDefs::Find(const QString &name) const
{
    const int i = IndexOf(name);
    if (i < 0)
        DatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return m_items[static_cast<size_t>(i)].get();
}

void TFieldDefs::Update()
{
    if (m_dataSet)
        m_dataSet->InitFieldDefs();
}

} // namespace qd
