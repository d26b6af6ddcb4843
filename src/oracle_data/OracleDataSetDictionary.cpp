// The dataset's dictionary layer: a new record takes the updating table's column defaults, and a
// posted record is checked against the table's constraints before any statement is sent.

#include "ConstraintEnforcement.h"
#include "EditValueComparison.h"
#include "FieldBindValue.h"
#include "MessageTranslation.h"
#include "OracleDataSet.h"
#include "OracleTableInfo.h"

#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

namespace qd {

void TOracleDataSet::applyDictionaryDefaults()
{
    QString table;
    UpdatingTableName(table);
    if (table.isEmpty() || !Session())
        return;
    QStringList names;
    for (int i = 0; i < Fields().Count(); ++i)
        if (Fields()[i]->FieldKind() == fkData)
            names.append(Fields()[i]->FieldName());
    TOracleTableInfo &info = TOracleTableInfoCache::ForSession(Session()).TableInfo(table);
    const auto defaults = info.ApplyDefaults(names, m_dictionary.DynamicDefaults, Debug());
    for (const auto &[name, value] : defaults) {
        TField *field = FindField(name);
        if (!field)
            continue;
        if (value.IsNull())
            field->Clear();
        else
            field->SetAsVariant(value);
    }
}

void TOracleDataSet::enforceRecordConstraints(bool inserting)
{
    enforceConstraints(inserting, QString());
}

bool TOracleDataSet::checksFieldChanges(TField *field) const
{
    const TDataSetState state = State();
    return m_dictionary.EnforceConstraints && (state == dsEdit || state == dsInsert) && !m_qbeMode
        && !m_fillingNewRecord && field->FieldKind() == fkData;
}

void TOracleDataSet::enforceFieldConstraints(TField *field)
{
    enforceConstraints(State() == dsInsert, field->FieldName());
}

void TOracleDataSet::enforceConstraints(bool inserting, const QString &fieldName)
{
    if (!m_dictionary.EnforceConstraints || !m_hasRowId)
        return;
    QString table;
    UpdatingTableName(table);
    if (table.isEmpty() || !Session())
        return;

    ConstraintCheckRecord record;
    record.inserted = inserting;
    record.updatingTable = table;
    if (!inserting)
        record.rowId = RowId();

    ConstraintEnforcement enforcement;
    enforcement.enabled = true;
    const TStringList &disabled = m_dictionary.DisabledConstraints();
    for (int i = 0; i < disabled.Count(); ++i)
        enforcement.disabledConstraints.append(disabled[i]);
    const QStringList detailFields = DetailFields().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &name : detailFields)
        enforcement.autoFilledFields.append(name.trimmed());
    if (!m_sequenceField.Field().isEmpty())
        enforcement.autoFilledFields.append(m_sequenceField.Field());

    for (int i = 0; i < Fields().Count(); ++i) {
        TField *field = Fields()[i];
        const QString name = field->FieldName();
        if (field->FieldKind() != fkData) {
            enforcement.calculatedFields.append(name);
            continue;
        }
        ConstraintCheckField check;
        check.name = name;
        check.type = BindTypeOf(field);
        check.value = EditValueOf(field);
        check.isString = IsTextField(field);
        check.editable = !field->ReadOnly();
        record.fields.append(check);
        // An insert changes every column it gives a value; an update the ones that differ.
        const bool changed = inserting ? !check.value.IsNull()
                                       : !SameEditValue(check.type, field->OldValue(), check.value,
                                           check.isString ? field->Size() : 0);
        if (changed)
            enforcement.changedColumns.append(name);
        if (check.value.IsNull() && m_sequenceField.IsServerSequence(name))
            enforcement.pendingSequenceColumns.append(name);
    }

    const TViolationTranslator translate
        = [this](QChar action, int errorCode, const QString &message) {
              TTranslateMessageHook hook;
              if (OnTranslateMessage)
                  hook = [this](int code, const QString &constraint, QChar letter, QString &msg) {
                      OnTranslateMessage(this, code, constraint, letter, msg);
                  };
              return TranslateMessage(
                  Session(), m_dictionary.UseMessageTable, action, errorCode, message, hook);
          };
    TOracleTableInfo &info = TOracleTableInfoCache::ForSession(Session()).TableInfo(table);
    TOracleQuery *query = DMLQuery(false);
    try {
        EnforceConstraints(info, *query, record, enforcement, fieldName, translate);
    } catch (...) {
        ReleaseDMLQuery();
        throw;
    }
    ReleaseDMLQuery();
}

} // namespace qd
