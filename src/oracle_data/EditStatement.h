#pragma once

#include "classlib/Variant.h"
#include "oracle/OracleCI.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace qd {

class TOracleQuery;

// The statements a dataset sends to write a posted record back to its updating table, and to
// lock, check or re-read one record. The builders read only what they are given here and
// return the SQL lines with the bind variables to declare and set; the dataset runs them on its
// DML query.

// Bind-variable names the statements reserve (variable names are case-insensitive).
inline constexpr const char *RowIdVariable = "zeb__rowid";
inline constexpr const char *KeyVariablePrefix = "zeb__key"; // + 1, 2, ... per key field
inline constexpr const char *ValueVariablePrefix = "v"; // + the column's field-info index
// The savepoint a lock or a post rolls back to when it fails.
inline constexpr const char *LockPointName = "ZEB__LOCKPOINT";
QString SetLockPointStatement(); // "savepoint ZEB__LOCKPOINT"
QString RollbackToLockPointStatement(); // "rollback to savepoint ZEB__LOCKPOINT"

// A bind variable a statement uses.
struct EditBindVariable {
    QString name;
    int type = SQLT_STR;
    // The value to set. A LOB column's variable has none: the caller binds a locator of the
    // type (SetComplexVariable), a temporary one holding the value or one the statement returns
    // into, whose data it writes after execution (see EditStatement::lobWrites).
    Variant value;
    bool boundLocator = false; // bound to a LOB locator by the caller
};

// One column of the updating table as the record holds it.
struct EditColumn {
    QString column; // column name
    int index = 0; // position in the dataset's field-info list: names the variable "v" + index
    int type = SQLT_STR; // the column's bind type (external type code)
    // A plain data field; calculated and lookup fields are never written.
    bool dataField = true;
    Variant oldValue; // as fetched (Null for a new record)
    // Now. LONG: the BLOB buffer as text; LONG RAW, CLOB, BLOB: its server bytes.
    Variant newValue;
    int fieldSize = 0; // strings: characters the field holds (for the change test)
    // Insert value of a null column: the field's DefaultExpression or "<sequence>.nextval" for
    // a SequenceField applied on the server; empty when none.
    QString defaultText;
    bool isXml = false; // a CLOB column marked as XMLTYPE
    bool noLobDefault = false; // no empty_clob()/empty_blob() for a null value
};

// The row a statement addresses: by UniqueFields when the dataset has them, else by ROWID.
struct EditKeyField {
    QString name;
    int type = SQLT_STR;
    Variant value; // old value for an update or delete, current value otherwise
    bool isString = false; // a string or memo field (an empty text counts as null)
};
struct EditRowIdentity {
    QString rowId;
    bool uniqueFieldsSet = false; // UniqueFields is not empty
    QList<EditKeyField> keys; // the UniqueFields the dataset has, in their order
};

// What the statements depend on beyond the record.
struct EditStatementOptions {
    QString updatingTable; // the resolved updating table text
    bool oci8Mode = true; // handle-based calls: the row address comes back through RETURNING
    bool temporaryLobs = false; // LOB values bound through temporary locators
    bool nullLobIsEmpty = false; // session preference NullLOBIsEmpty
    bool trimStringFields = true; // session preference TrimStringFields
};

// A LOB column whose data goes through a locator: written to the locator the statement returns
// after execution, or, with temporary LOBs, into a temporary locator bound as the value.
struct EditLobWrite {
    int index = 0; // the column's field-info index
    QString variable; // the locator's variable
    int type = SQLT_CLOB;
    bool temporary = false;
};

struct EditStatement {
    // True when there is nothing to send: an update that changed no column, or an insert whose
    // values are all null (the dataset treats that insert as a cancel).
    bool nothingToSend = false;
    QStringList lines;
    QList<EditBindVariable> variables;
    QList<EditLobWrite> lobWrites;

    // The lines as the query's SQL list holds them.
    void AddLinesTo(TOracleQuery &query) const;
    // Declares every variable on the query and sets those that have values.
    void DeclareOn(TOracleQuery &query) const;
    const EditBindVariable *Variable(const QString &name) const;
};

// "where rowid = :zeb__rowid", or by the unique fields "where A = :zeb__key1\r\nand B is null"
// (one line). Raises "No UniqueFields are present in dataset" when UniqueFields names no field
// of the dataset.
QString BuildRowCondition(const EditRowIdentity &row, QList<EditBindVariable> &variables);

// update <table> / set <assignments> / <row condition> [/ returning ... into ...].
EditStatement BuildUpdateStatement(const QList<EditColumn> &columns, const EditRowIdentity &row,
    const EditStatementOptions &options);
// insert into <table> / (<columns>) / values / (<values>) [/ returning ... into ...].
EditStatement BuildInsertStatement(const QList<EditColumn> &columns, const EditRowIdentity &row,
    const EditStatementOptions &options);
// delete from <table> / <row condition>. Raises the missing-rowid message ("A delete") when
// the row is addressed by an empty ROWID.
EditStatement BuildDeleteStatement(const EditRowIdentity &row, const QString &updatingTable);

// select rowid from <table> where / N = :N / and M is null ...: finding a record's ROWID by
// its key values.
EditStatement BuildRowIdLookup(const QList<EditKeyField> &keys, const QString &updatingTable);
// Runs the lookup on query: the ROWID, or "" without keys. Raises "Error determining ROWID: no
// record found" and "Error determining ROWID: more than one record found".
// declareTableVariables declares the variables the updating table text itself uses.
QString DetermineRowId(TOracleQuery &query, const QList<EditKeyField> &keys,
    const QString &updatingTable,
    const std::function<void(TOracleQuery &)> &declareTableVariables = nullptr);

// Declares on the statement each of the dataset's variables that its lines use (never the
// row address, which the statement sets itself).
void AddUsedVariables(EditStatement &statement, const QList<EditBindVariable> &dataSetVariables);

// The statement that locks, checks or re-reads one record.
struct RecordSelectRequest {
    bool lock = false; // adds "for update ... nowait"
    bool allFields = false; // the dataset's own query, limited to the row
    QString rowId;
    QString updatingTable;
    // With allFields: the dataset's SQL text (before query-by-example mode), the name its rows
    // are addressed by (RowReference) and the first data field.
    QString sql;
    QString rowReference;
    QString firstDataField;
    QString componentName; // for "<name>: No data fields"
    // The dataset's own variables; those the statement uses are passed on.
    QList<EditBindVariable> dataSetVariables;
};
// Raises "A lock, refresh or check cannot be performed without a rowid.\r\nProvide a rowid
// ..." for an empty ROWID and "<component>: No data fields" when locking all fields of a
// dataset without a data field.
EditStatement BuildRecordSelect(const RecordSelectRequest &request);

// The message for a statement that needs a ROWID the record lacks; action is "A delete" or
// "A lock, refresh or check".
QString MissingRowIdMessage(const QString &action);

} // namespace qd
