#pragma once

#include "DataSetTypes.h"

#include <memory>
#include <vector>

namespace qd {

class TFieldDefs;

// The description of one column of a dataset, as the dataset learned it when it opened or
// initialised its field definitions. Default fields are created from these.
class TFieldDef {
public:
    TFieldDef(
        TFieldDefs *owner, QString name, TFieldType dataType, int size, bool required, int fieldNo);

    const QString &Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }
    TFieldType DataType() const { return m_dataType; }
    void SetDataType(TFieldType type) { m_dataType = type; }
    int Size() const { return m_size; }
    void SetSize(int size) { m_size = size; }
    int Precision() const { return m_precision; }
    void SetPrecision(int precision) { m_precision = precision; }
    bool Required() const { return m_required; }
    void SetRequired(bool required) { m_required = required; }
    // 1-based position of the column in the dataset's source.
    int FieldNo() const { return m_fieldNo; }
    void SetFieldNo(int fieldNo) { m_fieldNo = fieldNo; }
    // A hidden column gets no default field.
    bool Hidden() const { return m_hidden; }
    void SetHidden(bool hidden) { m_hidden = hidden; }

    TFieldDefs *Collection() const { return m_owner; }
    // Creates the field of the default class for DataType and gives it to the dataset; raises
    // EDatabaseError for a type without a field class.
    TField *CreateField(TDataSet *dataSet) const;

private:
    TFieldDefs *m_owner;
    QString m_name;
    TFieldType m_dataType;
    int m_size;
    int m_precision = 0;
    bool m_required;
    int m_fieldNo;
    bool m_hidden = false;
};

class TFieldDefs {
public:
    explicit TFieldDefs(TDataSet *dataSet)
        : m_dataSet(dataSet)
    {
    }

    TDataSet *DataSet() const { return m_dataSet; }
    int Count() const { return static_cast<int>(m_items.size()); }
    TFieldDef *Items(int index) const;
    TFieldDef *operator[](int index) const { return Items(index); }

    // Field number 0 means "next position" (count + 1).
    TFieldDef *Add(const QString &name, TFieldType dataType, int size = 0, bool required = false,
        int fieldNo = 0);
    void Clear() { m_items.clear(); }
    void Delete(int index);
    // Case-insensitive; -1 / nullptr when absent. Find raises "Field '%s' not found".
    int IndexOf(const QString &name) const;
    TFieldDef *Find(const QString &name) const;
    // Asks the dataset to describe its columns again (without opening it).
    void Update();

private:
    TDataSet *m_dataSet;
    std::vector<std::unique_ptr<TFieldDef>> m_items;
};

} // namespace qd
