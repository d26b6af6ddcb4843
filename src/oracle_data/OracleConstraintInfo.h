#pragma once

#include "classlib/Variant.h"
#include "oracle/OracleCI.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace qd {

class TOracleQuery;
class TOracleTableInfo;

// One field of the record a constraint is checked against.
struct ConstraintCheckField {
    QString name;
    int type = SQLT_STR; // the bind type the dataset uses for the field
    Variant value; // current value
    bool isString = false; // a string or memo field (an empty text counts as empty)
    bool editable = true; // a data field that is not read-only
};

// The record being posted, as the constraint checks see it.
struct ConstraintCheckRecord {
    QList<ConstraintCheckField> fields;
    bool inserted = false; // the record's update status is "inserted"
    QString rowId; // the record's ROWID (updates)
    QString updatingTable; // the dataset's updating table name

    const ConstraintCheckField *Field(const QString &name) const;
};

// Null, or a string field holding the empty text.
bool FieldIsEmpty(const ConstraintCheckField &field);

// Declares the bind variable named as the field on the query and gives it the field's value;
// without force an empty field declares nothing. Whether it declared.
bool DeclareFieldVariable(const ConstraintCheckField *field, bool force, TOracleQuery &query);

// A check condition with the constraint's columns turned into bind variables: a column name
// standing as a whole word gets a ":" in front, a double-quoted one becomes ":" + name. Text
// inside string literals and longer identifiers that contain the name are left alone.
QString ConditionWithBindVariables(const QString &condition, const QStringList &columns);

// Turns the message text and code of a violation into the text the user reads (the dataset's
// TranslateMessage with its action letter).
using TViolationTranslator
    = std::function<QString(QChar action, int errorCode, const QString &message)>;

// A primary-key, unique, foreign-key or check constraint of a table, read from the dictionary
// and checked on the client before a record is posted.
class TOracleConstraintInfo {
public:
    enum Kind { ckUnknown = 0, ckPrimary = 1, ckUnique = 2, ckForeign = 3, ckCheck = 4 };
    // The code a violation is reported with on a session bridged to an ODBC data source.
    static constexpr int BridgedViolationCode = 30021;

    explicit TOracleConstraintInfo(TOracleTableInfo *tableInfo, QString name);

    TOracleTableInfo *TableInfo() const { return m_tableInfo; }
    const QStringList &Columns() const { return m_columns; }
    void AddColumn(const QString &column) { m_columns.append(column); }
    const QString &Name() const { return m_name; }
    int ConstraintKind() const { return m_kind; }
    const QString &ReferencedOwner() const { return m_referencedOwner; }
    const QString &ReferencedTable() const { return m_referencedTable; }
    const QStringList &ReferencedColumns() const { return m_referencedColumns; }
    const QString &Condition() const { return m_condition; }
    bool Active() const { return m_active; }
    bool DetailsLoaded() const { return m_detailsLoaded; }

    // Reads kind, referenced key and condition of an enabled constraint, once; runs on query
    // (the dataset's DML query).
    void LoadDetails(TOracleQuery &query);

    // The violation code of the record (1 duplicate key, 2291 missing parent, 2290 failed
    // check), 0 when it holds or cannot be judged. Runs its statement on query.
    int Evaluate(TOracleQuery &query, const ConstraintCheckRecord &record);
    // Evaluate, and on a violation raise EDatabaseError with the server's text for the code
    // naming OWNER.CONSTRAINT, passed through translate when given. On a bridged session the
    // code is 30021 and the text names the kind of violation instead.
    void Check(TOracleQuery &query, const ConstraintCheckRecord &record,
        const TViolationTranslator &translate = {});
    // The server's text for a violation code with its parenthesised part naming the constraint;
    // on a bridged session the text for 30021 followed by the bridge's own words.
    QString ViolationMessage(TOracleQuery &query, int code) const;

    // The one column of the constraint that is an editable field of the record; "*" when
    // several are, "" when none.
    QString SingleEditableColumn(const ConstraintCheckRecord &record) const;

private:
    int evaluateKey(TOracleQuery &query, const ConstraintCheckRecord &record);
    int evaluateForeign(TOracleQuery &query, const ConstraintCheckRecord &record);
    int evaluateCheck(TOracleQuery &query, const ConstraintCheckRecord &record);

    TOracleTableInfo *m_tableInfo;
    QStringList m_columns;
    QString m_name;
    int m_kind = ckUnknown;
    QString m_referencedOwner;
    QString m_referencedTable;
    QStringList m_referencedColumns;
    QString m_condition;
    bool m_active = false;
    bool m_detailsLoaded = false;
};

} // namespace qd
