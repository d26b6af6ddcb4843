#pragma once

#include "OracleConstraintInfo.h"

#include <QString>
#include <QStringList>

namespace qd {

class TOracleQuery;
class TOracleTableInfo;

// Which constraints of the updating table a field or a posted record is checked against.
struct ConstraintEnforcement {
    // OracleDictionary.EnforceConstraints is set and the select list holds the ROWID.
    bool enabled = false;
    QStringList disabledConstraints; // OracleDictionary.DisabledConstraints
    // Fields checked neither alone nor as changes: calculated fields and fields the dataset
    // fills itself (a detail's DetailFields link fields, the SequenceField).
    QStringList calculatedFields;
    QStringList autoFilledFields;
    // Whole record: the columns that changed (for an insert: that are not null).
    QStringList changedColumns;
    // Columns a server-side sequence fills that are still null: their constraints wait for the
    // server.
    QStringList pendingSequenceColumns;
};

// Checks one field (fieldName) or, with an empty fieldName, the whole record against the table's
// constraints; raises EDatabaseError with the (translated) message of the first violation. A
// field is checked against the constraints whose only editable column it is; a record against
// every constraint with a changed column.
void EnforceConstraints(TOracleTableInfo &info, TOracleQuery &query,
    const ConstraintCheckRecord &record, const ConstraintEnforcement &enforcement,
    const QString &fieldName = QString(), const TViolationTranslator &translate = {});

} // namespace qd
