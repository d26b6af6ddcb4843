#pragma once

#include "DataSetTypes.h"
#include "Variant.h"

#include <memory>
#include <vector>

namespace qd {

class TField;
using TFieldNotifyEvent = std::function<void(TField *)>;
// displayText is true for the grid's display form, false for the edit form.
using TFieldGetTextEvent = std::function<void(TField *, QString &text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField *, const QString &text)>;

// One column of a dataset as seen by code and controls. A field has no storage of its own: it
// reads and writes its value in the dataset's current record buffer through
// TDataSet::GetFieldData / SetFieldData in the field's native format (see DataSize):
//   ftString, ftFixedChar   UTF-8, zero-terminated, Size + 1 bytes (longer text is cut at a
//                           character boundary)
//   ftSmallint, ftWord      16-bit signed / unsigned;  ftBoolean 16-bit, 0 or 1
//   ftInteger, ftAutoInc    32-bit signed;  ftLargeint 64-bit signed
//   ftFloat, ftCurrency, ftBCD  double
//   ftDate  32-bit days since 0001-01-01 plus one;  ftTime  32-bit milliseconds of the day
//   ftDateTime  double milliseconds since 0001-01-01 (see DateTimeFields.h for conversions)
// BLOB kinds keep their value outside the record and are read through CreateBlobStream.
// What a data provider does with a field's value when it writes a change back: set it
// (pfInUpdate), compare it in the WHERE clause (pfInWhere), take it as the record's key
// (pfInKey), or leave it out of the data it hands on (pfHidden).
enum TProviderFlag { pfInUpdate = 1, pfInWhere = 2, pfInKey = 4, pfHidden = 8 };

class TField {
public:
    explicit TField(TFieldType dataType);
    virtual ~TField();
    TField(const TField &) = delete;
    TField &operator=(const TField &) = delete;

    TDataSet *DataSet() const { return m_dataSet; }
    const QString &FieldName() const { return m_fieldName; }
    void SetFieldName(const QString &name);
    QString FullName() const { return m_fieldName; }
    const QString &DisplayLabel() const { return m_displayLabel; }
    void SetDisplayLabel(const QString &label);
    // DisplayLabel, or FieldName when there is no label.
    QString DisplayName() const { return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel; }
    const QString &Origin() const { return m_origin; }
    void SetOrigin(const QString &origin) { m_origin = origin; }

    TFieldType DataType() const { return m_dataType; }
    // Bytes of the native value in a record buffer (0 for kinds kept outside the record).
    virtual int DataSize() const { return 0; }
    int Size() const { return m_size; }
    void SetSize(int size);
    int FieldNo() const { return m_fieldNo; }
    void SetFieldNo(int fieldNo) { m_fieldNo = fieldNo; }
    TFieldKind FieldKind() const { return m_fieldKind; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return m_fieldKind == fkCalculated; }
    bool Lookup() const { return m_fieldKind == fkLookup; }
    // Position in the dataset's field list.
    int Index() const;
    void SetIndex(int index);
    // Offset of a calculated or lookup field's value in the calculated-field area.
    int Offset() const { return m_offset; }
    void SetOffset(int offset) { m_offset = offset; }
    virtual bool IsBlob() const { return false; }

    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value) { m_readOnly = value; }
    bool Required() const { return m_required; }
    void SetRequired(bool value) { m_required = value; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    // Width in characters a grid gives the column; 0 means the kind's natural width.
    int DisplayWidth() const { return m_displayWidth > 0 ? m_displayWidth : DefaultWidth(); }
    void SetDisplayWidth(int width);
    // How a data provider uses the field when it writes changes back (TProviderFlag bits).
    unsigned ProviderFlags() const { return m_providerFlags; }
    void SetProviderFlags(unsigned flags) { m_providerFlags = flags; }
    const QString &DefaultExpression() const { return m_defaultExpression; }
    void SetDefaultExpression(const QString &expr) { m_defaultExpression = expr; }
    // False for a read-only field, a calculated or lookup field, or a dataset that refuses.
    bool CanModify() const;

    // Lookup fields: the value is LookupResultField of the LookupDataSet record whose
    // LookupKeyFields equal this dataset's KeyFields.
    TDataSet *LookupDataSet() const { return m_lookupDataSet; }
    void SetLookupDataSet(TDataSet *dataSet) { m_lookupDataSet = dataSet; }
    const QString &LookupKeyFields() const { return m_lookupKeyFields; }
    void SetLookupKeyFields(const QString &names) { m_lookupKeyFields = names; }
    const QString &LookupResultField() const { return m_lookupResultField; }
    void SetLookupResultField(const QString &name) { m_lookupResultField = name; }
    const QString &KeyFields() const { return m_keyFields; }
    void SetKeyFields(const QString &names) { m_keyFields = names; }

    // Values. Reading a field of a dataset without a current record gives Null / 0 / "".
    virtual bool IsNull();
    virtual void Clear() { SetData(nullptr); }
    virtual Variant AsVariant();
    virtual void SetAsVariant(const Variant &value);
    Variant Value() { return AsVariant(); }
    void SetValue(const Variant &value) { SetAsVariant(value); }
    virtual QString AsString();
    virtual void SetAsString(const QString &value);
    virtual int AsInteger();
    virtual void SetAsInteger(int value);
    virtual qint64 AsLargeInt();
    virtual void SetAsLargeInt(qint64 value);
    virtual double AsFloat();
    virtual void SetAsFloat(double value);
    double AsCurrency() { return AsFloat(); }
    void SetAsCurrency(double value) { SetAsFloat(value); }
    virtual bool AsBoolean();
    virtual void SetAsBoolean(bool value);
    // Date-times as day counts (DateTimeUtils.h).
    virtual double AsDateTime();
    virtual void SetAsDateTime(double value);
    virtual QByteArray AsBytes();
    virtual void SetAsBytes(const QByteArray &value);

    // The record's value before the current edit, the value being edited, the stored value.
    Variant OldValue();
    Variant NewValue();
    Variant CurValue();

    // Text forms through OnGetText / OnSetText when assigned.
    QString Text();
    void SetText(const QString &text);
    QString DisplayText();

    // Native access used by descendants of TDataSet. GetData returns false for null; buffer may
    // be nullptr to test for null only. SetData(nullptr) stores null.
    bool GetData(void *buffer);
    void SetData(const void *buffer);
    // Runs OnValidate with buffer (nullptr = null) as the field's value; the dataset calls it
    // before storing a new value. An exception from the handler refuses the value.
    void Validate(const void *buffer);
    // Runs OnChange; the dataset calls it when the field's value changed.
    void Change();
    // Called by the dataset when the record's edit ends.
    virtual void FreeBuffers() { }
    void FocusControl();

    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

protected:
    // The kind's text forms; the default is AsString.
    virtual void GetText(QString &text, bool displayText);
    virtual void SetTextValue(const QString &text) { SetAsString(text); }
    virtual int DefaultWidth() const { return 10; }
    // The value in the current record, Null when the record has none or there is no record.
    virtual Variant GetValue() { return Variant::Null(); }
    // Stores a value that is neither Null nor Unassigned.
    virtual void SetVarValue(const Variant &value);
    [[noreturn]] void AccessError(const QString &typeName) const;
    // Raises EDatabaseError with "message" formatted for this field.
    void CheckDataSet() const;
    Variant StateValue(TDataSetState state);

private:
    friend class TFields;
    friend class TDataSet;

    TDataSet *m_dataSet = nullptr;
    QString m_fieldName;
    QString m_displayLabel;
    QString m_origin;
    TFieldType m_dataType;
    int m_size = 0;
    int m_fieldNo = 0;
    TFieldKind m_fieldKind = fkData;
    int m_offset = 0;
    bool m_readOnly = false;
    bool m_required = false;
    bool m_visible = true;
    int m_displayWidth = 0;
    unsigned m_providerFlags = 3; // pfInUpdate | pfInWhere
    QString m_defaultExpression;
    TDataSet *m_lookupDataSet = nullptr;
    QString m_lookupKeyFields;
    QString m_lookupResultField;
    QString m_keyFields;
    // While OnValidate runs, the value being validated.
    bool m_validating = false;
    const void *m_validateBuffer = nullptr;
};

// The dataset's fields in order; the list owns them.
class TFields {
public:
    explicit TFields(TDataSet *dataSet)
        : m_dataSet(dataSet)
    {
    }
    ~TFields();

    int Count() const { return static_cast<int>(m_items.size()); }
    TField *operator[](int index) const { return Fields(index); }
    TField *Fields(int index) const;
    // Adds a field to a closed dataset; raises "Duplicate field name '%s'" for a name in use.
    TField *Add(std::unique_ptr<TField> field);
    // A persistent field of class F named name: ds->Fields().Create<TStringField>("NAME").
    template <class F> F *Create(const QString &name)
    {
        auto field = std::make_unique<F>();
        field->SetFieldName(name);
        return static_cast<F *>(Add(std::move(field)));
    }
    // Gives the field back to the caller (closed dataset only).
    std::unique_ptr<TField> Remove(TField *field);
    void Clear();
    int IndexOf(const TField *field) const;
    TField *FindField(const QString &name) const;
    TField *FieldByName(const QString &name) const;
    TField *FieldByNumber(int fieldNo) const;
    void SetFieldIndex(TField *field, int index);

    // Iterates as TField *.
    class const_iterator {
    public:
        using Base = std::vector<std::unique_ptr<TField>>::const_iterator;
        explicit const_iterator(Base it)
            : m_it(it)
        {
        }
        TField *operator*() const { return m_it->get(); }
        const_iterator &operator++()
        {
            ++m_it;
            return *this;
        }
        bool operator!=(const const_iterator &other) const { return m_it != other.m_it; }

    private:
        Base m_it;
    };
    const_iterator begin() const { return const_iterator(m_items.begin()); }
    const_iterator end() const { return const_iterator(m_items.end()); }

private:
    TDataSet *m_dataSet;
    std::vector<std::unique_ptr<TField>> m_items;
};

// A new field of the default class for type; nullptr when the type has no field class.
std::unique_ptr<TField> CreateFieldOfType(TFieldType type);

} // namespace qd
