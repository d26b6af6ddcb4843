#pragma once

#include "classlib/StringList.h"

#include <QString>

#include <memory>
#include <vector>

namespace qd {

class TField;
class TOracleDataSet;
class TOracleQuery;
class Variant;

// What the dataset knows about one select-list column (or one attribute of an object column):
// the field bound to it and how its value is read and written back.
class TOracleFieldInfo {
public:
    // kfColumn: a select-list column; kfNoField: a column the dataset has no field for;
    // kfAttribute: an attribute of an object column; kfRowId: the leading entry standing for
    // the ROWID column.
    enum Kind { kfColumn = 0, kfNoField = 1, kfAttribute = 2, kfRowId = 3 };

    TOracleFieldInfo() = default;
    TOracleFieldInfo(const TOracleFieldInfo &) = delete;
    TOracleFieldInfo &operator=(const TOracleFieldInfo &) = delete;

    TField *Field = nullptr;
    Kind FieldKind = kfColumn;
    QString Name;
    QString Column;
    QString Attribute;
    int DataType = 0;
    QString TypeName;
    int Size = 0;
    int Precision = 0;
    int Scale = 0;
    bool NotNull = false;
    int ColumnIndex = -1;
    int AttributeIndex = -1;
    bool XmlType = false;
    bool NoDefault = false;
    bool ReadOnly = false;
    bool Required = false;
    TOracleFieldInfo *Parent = nullptr;

    int ChildCount() const { return static_cast<int>(m_children.size()); }
    TOracleFieldInfo *Child(int index) const { return m_children.at(index); }
    void AddChild(TOracleFieldInfo *child) { m_children.push_back(child); }

private:
    std::vector<TOracleFieldInfo *> m_children; // owned by the list
};

// The dataset's column entries: the ROWID entry first, then one per select-list column except
// the ROWID column, then attributes of object columns.
class TOracleFieldInfoList {
public:
    explicit TOracleFieldInfoList(TOracleDataSet *dataSet)
        : m_dataSet(dataSet)
    {
    }

    TOracleDataSet *DataSet() const { return m_dataSet; }
    int Count() const { return static_cast<int>(m_items.size()); }
    TOracleFieldInfo *Items(int index) const { return m_items.at(index).get(); }
    // A new entry named uniquely: Name, else Name_1, Name_2, ... (names compared ignoring case).
    TOracleFieldInfo *Add(const QString &name);
    void Clear() { m_items.clear(); }
    TOracleFieldInfo *FindByName(const QString &name) const;
    // The entry bound to field, else the entry named like it.
    TOracleFieldInfo *FindByField(const TField *field) const;
    QString UniqueName(const QString &name) const;

private:
    TOracleDataSet *m_dataSet;
    std::vector<std::unique_ptr<TOracleFieldInfo>> m_items;
};

enum TSequenceApplyMoment { amOnNewRecord, amOnPost, amOnServer };

// Fills a field from an Oracle sequence.
class TSequenceField {
public:
    explicit TSequenceField(TOracleDataSet *dataSet)
        : m_dataSet(dataSet)
    {
    }
    const QString &Field() const { return m_field; }
    void SetField(const QString &value) { m_field = value; }
    const QString &Sequence() const { return m_sequence; }
    void SetSequence(const QString &value) { m_sequence = value; }
    TSequenceApplyMoment ApplyMoment() const { return m_applyMoment; }
    void SetApplyMoment(TSequenceApplyMoment value) { m_applyMoment = value; }
    TOracleDataSet *DataSet() const { return m_dataSet; }

    bool IsValid() const { return !m_field.isEmpty() && !m_sequence.isEmpty(); }
    bool IsSequenceField(const QString &fieldName) const;
    bool IsServerSequence(const QString &fieldName) const;
    void Assign(const TSequenceField &source);

private:
    TOracleDataSet *m_dataSet;
    QString m_field;
    QString m_sequence;
    TSequenceApplyMoment m_applyMoment = amOnPost;
};

// The switches of the dictionary-driven behaviour (constraint checks, defaults, field kinds,
// ranges, display formats, required fields).
class TOracleDictionary {
public:
    explicit TOracleDictionary(TOracleDataSet *dataSet)
        : m_dataSet(dataSet)
    {
    }
    TOracleDataSet *DataSet() const { return m_dataSet; }

    bool EnforceConstraints = false;
    bool UseMessageTable = false;
    bool DefaultValues = false;
    bool DynamicDefaults = false;
    bool FieldKinds = false;
    bool RangeValues = false;

    const TStringList &DisabledConstraints() const { return m_disabledConstraints; }
    void SetDisabledConstraints(const TStringList &names);
    bool DisplayFormats() const { return m_displayFormats; }
    // A change reopens an open dataset.
    void SetDisplayFormats(bool value);
    bool RequiredFields() const { return m_requiredFields; }
    // A change raises the dataset's property-changed event.
    void SetRequiredFields(bool value);
    void Assign(const TOracleDictionary &source);

private:
    TOracleDataSet *m_dataSet;
    TStringList m_disabledConstraints;
    bool m_displayFormats = false;
    bool m_requiredFields = true;
};

} // namespace qd
