#include "DynamicRecord.h"

#include <algorithm>

namespace qd {

namespace {

const QString idField = QStringLiteral("ID");

} // namespace

TDynamicRecord::TDynamicRecord() = default;

TDynamicRecord::~TDynamicRecord()
{
    for (Table &t : m_tables) {
        try {
            if (t.data->Active())
                t.data->Close();
        } catch (...) {
            // A destructor never throws; the dataset goes in any case.
        }
    }
}

TMemoryData *TDynamicRecord::table(const QString &name) const
{
    for (const Table &t : m_tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return t.data.get();
    return nullptr;
}

void TDynamicRecord::AddTable(const QString &tableName)
{
    if (table(tableName))
        return;
    auto data = std::make_unique<TMemoryData>();
    data->SetName(tableName);
    data->FieldDefs().Add(idField, ftWord, 0, true)->CreateField(data.get());
    const auto at = std::lower_bound(
        m_tables.begin(), m_tables.end(), tableName, [](const Table &t, const QString &name) {
            return t.name.compare(name, Qt::CaseInsensitive) < 0;
        });
    m_tables.insert(at, Table { tableName, std::move(data) });
}

void TDynamicRecord::AddField(const QString &tableName, const QString &fieldName,
    TFieldType dataType, quint16 size, bool required)
{
    TMemoryData *data = table(tableName);
    if (!data)
        return;
    data->FieldDefs().Add(fieldName, dataType, size, required)->CreateField(data);
}

int TDynamicRecord::NextID()
{
    return m_nextId++;
}

void TDynamicRecord::checkValues(const QStringList &fieldNames, const VariantArray &values)
{
    if (values.size() < static_cast<size_t>(fieldNames.size()))
        DatabaseError(QStringLiteral("%1 values given for %2 fields")
                          .arg(values.size())
                          .arg(fieldNames.size()));
}

int TDynamicRecord::AddRecord(
    const QString &tableName, const QStringList &fieldNames, const VariantArray &values)
{
    TMemoryData *data = table(tableName);
    if (!data)
        return -1;
    checkValues(fieldNames, values);
    if (!data->Active())
        data->Open();
    data->Append();
    int id = -1;
    try {
        id = NextID();
        data->FieldByName(idField)->SetAsInteger(id);
        for (qsizetype i = 0; i < fieldNames.size(); ++i)
            data->FieldByName(fieldNames[i])->SetAsVariant(values[static_cast<size_t>(i)]);
        data->Post();
    } catch (...) {
        // A half-filled record must not be posted by the next operation on the table.
        data->Cancel();
        throw;
    }
    return id;
}

TDynamicRecord::Table *TDynamicRecord::locate(int id)
{
    for (Table &t : m_tables) {
        if (!t.data->Active())
            t.data->Open();
        if (t.data->Locate(idField, id, loCaseInsensitive))
            return &t;
    }
    return nullptr;
}

bool TDynamicRecord::FindRecord(int id, QString &tableName, VariantArray &values)
{
    Table *t = locate(id);
    if (!t)
        return false;
    tableName = t->name;
    const int count = t->data->FieldCount();
    if (values.size() < static_cast<size_t>(count))
        values.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        values[static_cast<size_t>(i)] = t->data->Fields()[i]->AsVariant();
    return true;
}

bool TDynamicRecord::UpdateRecord(int id, const QStringList &fieldNames, const VariantArray &values)
{
    checkValues(fieldNames, values);
    Table *t = locate(id);
    if (!t)
        return false;
    TMemoryData *data = t->data.get();
    data->Edit();
    try {
        for (qsizetype i = 0; i < fieldNames.size(); ++i)
            data->FieldByName(fieldNames[i])->SetAsVariant(values[static_cast<size_t>(i)]);
        data->Post();
    } catch (...) {
        data->Cancel();
        throw;
    }
    return true;
}

} // namespace qd
