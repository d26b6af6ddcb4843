#include "ConstraintEnforcement.h"

#include "OracleTableInfo.h"

namespace qd {

namespace {

bool containsName(const QStringList &list, const QString &name)
{
    return list.contains(name, Qt::CaseInsensitive);
}

bool appliesToRecord(const TOracleConstraintInfo &constraint, const ConstraintEnforcement &e)
{
    bool changed = false;
    for (const QString &column : constraint.Columns()) {
        if (containsName(e.pendingSequenceColumns, column))
            return false;
        if (containsName(e.changedColumns, column))
            changed = true;
    }
    return changed;
}

} // namespace

void EnforceConstraints(TOracleTableInfo &info, TOracleQuery &query,
    const ConstraintCheckRecord &record, const ConstraintEnforcement &enforcement,
    const QString &fieldName, const TViolationTranslator &translate)
{
    if (!enforcement.enabled)
        return;
    if (!fieldName.isEmpty()) {
        const ConstraintCheckField *field = record.Field(fieldName);
        if (!field || FieldIsEmpty(*field) || containsName(enforcement.calculatedFields, fieldName)
            || containsName(enforcement.autoFilledFields, fieldName))
            return;
    }
    info.LoadConstraints();
    for (int i = 0; i < info.ConstraintCount(); ++i) {
        TOracleConstraintInfo &constraint = info.Constraint(i);
        if (containsName(enforcement.disabledConstraints, constraint.Name()))
            continue;
        const bool applies = fieldName.isEmpty()
            ? appliesToRecord(constraint, enforcement)
            : constraint.SingleEditableColumn(record).compare(fieldName, Qt::CaseInsensitive) == 0;
        if (applies)
            constraint.Check(query, record, translate);
    }
}

} // namespace qd
