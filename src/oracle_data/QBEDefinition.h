#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace qd {

using TColor = std::int32_t;
inline constexpr TColor clNone = 0x1FFFFFFF;

// What a query-by-example definition needs from the dataset that owns it. The dataset
// implements it; the definition only ever refers to fields by name.
class TQBEDataSetLink {
public:
    virtual ~TQBEDataSetLink() = default;
    // Names of the dataset's field definitions, in their order.
    virtual QStringList QBEFieldDefNames() const = 0;
    // True when the field definition of this name holds a BLOB, memo, graphic, BLOB or CLOB
    // value; false for any other type or an unknown name.
    virtual bool QBEFieldDefIsBlobLike(const QString &Name) const = 0;
    // The text (AsString) of the dataset field of this name; nothing when there is none.
    virtual std::optional<QString> QBEFieldAsString(const QString &Name) const = 0;
    // Gives Text to the field of this name through its own text setter; raises the class
    // library's field-not-found error when the dataset has no such field.
    virtual void QBESetFieldText(const QString &Name, const QString &Text) = 0;
};

class TQBEDefinition;

// The query-by-example switches and text of one dataset field.
class TQBEField {
public:
    explicit TQBEField(TQBEDefinition *Owner = nullptr)
        : m_owner(Owner)
    {
    }

    TQBEDefinition *Owner() const { return m_owner; }
    void SetOwner(TQBEDefinition *Owner) { m_owner = Owner; }

    const QString &FieldName() const { return m_fieldName; }
    void SetFieldName(const QString &Name) { m_fieldName = Name; }

    // False for a BLOB-like field whatever was stored, so such a field never takes QBE input.
    bool Enabled() const;
    void SetEnabled(bool Value);
    // The byte as stored (and as written to the stream), before the BLOB-like rule.
    bool StoredEnabled() const { return m_enabled; }

    bool PartialMatch() const { return m_partialMatch; }
    void SetPartialMatch(bool Value) { m_partialMatch = Value; }
    bool MatchAnywhere() const { return m_matchAnywhere; }
    void SetMatchAnywhere(bool Value) { m_matchAnywhere = Value; }
    bool Soundex() const { return m_soundex; }
    void SetSoundex(bool Value) { m_soundex = Value; }
    bool CaseInsensitive() const { return m_caseInsensitive; }
    void SetCaseInsensitive(bool Value) { m_caseInsensitive = Value; }
    bool WholeDay() const { return m_wholeDay; }
    void SetWholeDay(bool Value) { m_wholeDay = Value; }

    // The QBE text of the last applied condition; a null QVariant when empty.
    const QVariant &QBEValue() const { return m_qbeValue; }
    void SetQBEValue(const QVariant &Value) { m_qbeValue = Value; }
    // What was typed while AllowOperators is on.
    const QString &QBEText() const { return m_qbeText; }

    // With AllowOperators: QBEText; otherwise the text of the dataset field of this name, or
    // empty when there is no such field.
    QString GetQBEText() const;
    // With AllowOperators: sets QBEText; otherwise gives Text to the dataset field, which must
    // exist.
    void SetQBEText(const QString &Text);

    // Stand-ins for the field's own handlers while QBE mode lasts. Sender identifies the
    // field (only its identity is used); the field's value is reached through the dataset by
    // FieldName.
    void FieldGetText(const void *Sender, QString &Text, bool DisplayText);
    void FieldSetText(const void *Sender, const QString &Text);
    void FieldChange(const void *Sender);

    // Mark used by TQBEDefinition::SyncWithFieldDefs.
    bool InUse() const { return m_inUse; }
    void SetInUse(bool Value) { m_inUse = Value; }

private:
    friend class TQBEDefinition;
    bool allowOperators() const;
    TQBEDataSetLink *dataSet() const;

    bool m_inUse = true;
    TQBEDefinition *m_owner = nullptr;
    QString m_fieldName;
    bool m_enabled = true;
    bool m_partialMatch = false;
    bool m_matchAnywhere = false;
    bool m_soundex = false;
    bool m_caseInsensitive = false;
    bool m_wholeDay = false;
    QVariant m_qbeValue;
    QString m_qbeText;
};

// The dataset-wide query-by-example options and one TQBEField per dataset field, saved with
// the dataset as the binary property "QBEFieldDefs".
class TQBEDefinition {
public:
    static constexpr int QBEFieldDefsVersion = 4;

    explicit TQBEDefinition(TQBEDataSetLink *DataSet = nullptr)
        : m_dataSet(DataSet)
    {
    }
    ~TQBEDefinition() = default;
    TQBEDefinition(const TQBEDefinition &) = delete;
    TQBEDefinition &operator=(const TQBEDefinition &) = delete;

    TQBEDataSetLink *DataSet() const { return m_dataSet; }

    TColor QBEFontColor() const { return m_fontColor; }
    void SetQBEFontColor(TColor Value) { m_fontColor = Value; }
    TColor QBEBackgroundColor() const { return m_backgroundColor; }
    void SetQBEBackgroundColor(TColor Value) { m_backgroundColor = Value; }
    bool SaveQBEValues() const { return m_saveQBEValues; }
    void SetSaveQBEValues(bool Value) { m_saveQBEValues = Value; }
    bool AllowFileWildCards() const { return m_allowFileWildCards; }
    void SetAllowFileWildCards(bool Value) { m_allowFileWildCards = Value; }
    bool AllowOperators() const { return m_allowOperators; }
    void SetAllowOperators(bool Value) { m_allowOperators = Value; }
    // Raised by the dataset while it fills the QBE record; FieldChange ignores changes then.
    bool Loading() const { return m_loading; }
    void SetLoading(bool Value) { m_loading = Value; }

    int Count() const { return int(m_items.size()); }
    TQBEField *Items(int Index) const { return m_items.at(size_t(Index)).get(); }
    // A new item owned by this definition, appended at the end.
    TQBEField *Add();
    void Delete(int Index);
    void Clear();
    // The item whose FieldName equals Name ignoring case; nullptr when there is none.
    TQBEField *FindField(const QString &Name) const;

    // Brings the items in line with the dataset's field definitions: missing ones are added
    // (enabled unless BLOB-like), ones for fields that are gone are dropped. True when an item
    // was added.
    bool SyncWithFieldDefs();

    // Copies the options and the items (with their QBE text) into Dest.
    void AssignTo(TQBEDefinition &Dest) const;

    // The "QBEFieldDefs" binary property.
    static constexpr const char *QBEFieldDefsName = "QBEFieldDefs";
    // Whether the property has anything to write: against an ancestor when the items differ
    // in count, name or any switch; without one when there is at least one item.
    bool QBEFieldDefsHasData(const TQBEDefinition *Ancestor) const;
    QByteArray WriteQBEFieldDefs() const;
    // Replaces the items by those of the block. Raises qd::Exception for a version above 4
    // ("Invalid version of QBEDefinition") and for a block that is truncated or claims more
    // than it holds; the definition is then left without items.
    void ReadQBEFieldDefs(QByteArrayView Data);

    // The field whose text was last set through FieldSetText (one slot for the whole program).
    static const void *LastFieldSet();

private:
    TQBEDataSetLink *m_dataSet = nullptr;
    TColor m_fontColor = clNone;
    TColor m_backgroundColor = clNone;
    bool m_saveQBEValues = true;
    bool m_allowFileWildCards = true;
    bool m_allowOperators = false;
    bool m_loading = false;
    std::vector<std::unique_ptr<TQBEField>> m_items;
};

} // namespace qd
