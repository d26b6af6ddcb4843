#pragma once

// The client calls of one query's statement. A session logs on with one of two call families:
// the older cursor calls (a cursor data area per statement: oparse, oexn, odescr, ofen...) or the
// handle-based calls (statement and error handles: OCIStmtPrepare, OCIStmtExecute,
// OCIParamGet, OCIStmtFetch...). TOracleQuery takes the implementation of its session's family
// when it opens its cursor and makes every prepare, bind, execute, describe, define and fetch
// through this interface, so the query's own code is the same in both families.
//
// Internal to the Oracle layer; no public header includes it.

#include "oracle/OracleCI.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace qd {

class OracleVariableHandler;
class TFieldData;
class TOracleQuery;
class TVariableData;

// The name of the client call that failed, or null when the calls succeeded. The query tidies
// its own state first and then raises it through TStatementCalls::raise, which reads the
// error the failed call left.
using FailedCall = const char *;

// What the last calls left, as the query's RowsProcessed, ErrorCode, WarningFlags and RowId
// report it.
struct StatementStatus {
    int rowsProcessed = 0;
    int errorCode = 0;
    int warningFlags = 0;
    QString rowId;
};

// One variable's bind, as the query prepared it.
struct BindRequest {
    TVariableData &variable;
    const QByteArray &placeholder; // the variable's name with its colon, UTF-8
    void *value;
    sb4 size;
    ub2 type;
    ub2 *returnLength; // the bound length of a LONG or LONG RAW value, or null
    ub4 maxLength; // a PL/SQL table's capacity in elements, else 0
    ub4 *currentLength; // a PL/SQL table's elements in use, else null
    OracleVariableHandler *handler; // a complex variable's handler, or null
};

class TStatementCalls {
public:
    virtual ~TStatementCalls() = default;

    // True for the handle-based family.
    virtual bool handleBased() const = 0;

    // ---- Cursor -------------------------------------------------------------------------------
    // Makes the statement's cursor ready; raises when the client cannot. A cursor that a
    // parent statement opens (a bound cursor variable) is taken as it comes.
    virtual void open() = 0;
    // Releases what open and prepare allocated. Statuses are not checked: closing is clean-up.
    virtual void close() = 0;

    // ---- Prepare ------------------------------------------------------------------------------
    // False when the query's current binds need a fresh parse even of an unchanged text.
    virtual bool keepsParseWithBinds() const = 0;
    // Parses text; sqlType receives the statement's function code (SqlFunction).
    virtual FailedCall prepare(const QByteArray &text, bool deferred, int &sqlType) = 0;

    // ---- Bind ---------------------------------------------------------------------------------
    virtual FailedCall bind(const BindRequest &request) = 0;
    // The address, size and type that bind cursorQuery's statement as a cursor variable of
    // this one.
    virtual void *bindCursor(TOracleQuery &cursorQuery, sb4 &size, ub2 &type) = 0;
    // Where this statement receives the cursor its parent's cursor variable opens.
    virtual void *receiveCursor(sb4 &size, ub2 &type) = 0;
    // After a run: complex variables take back what the statement wrote.
    virtual void syncVariables() = 0;

    // ---- Execute ------------------------------------------------------------------------------
    // A select's execute ahead of its describe (mode: OCI_DESCRIBE_ONLY, OCI_COMMIT_ON_SUCCESS
    // or OCI_DEFAULT); an already described select may get its first array with it.
    virtual FailedCall executeSelect(bool describeOnly, ub4 mode) = 0;
    // Any other statement, for iterations rows of the bound arrays from rowOffset; sqlType
    // receives the statement's function code as the run reports it.
    virtual FailedCall execute(int iterations, int rowOffset, ub4 mode, int &sqlType) = 0;

    // ---- Describe and define ------------------------------------------------------------------
    virtual void startDescribe() = 0;
    // Select-list column position (from 1) into field; past is set, and nothing described, when
    // the position is beyond the last column. parameter receives the column's parameter
    // descriptor for its column handler (null in the older family).
    virtual FailedCall describeColumn(
        int position, TFieldData &field, OCIParam *&parameter, bool &past)
        = 0;
    // The element size of a LONG or LONG RAW column's define buffer.
    virtual int longDefineSize() const = 0;
    // True when LONG values arrive in pieces at fetch (the query then resets them before each).
    virtual bool fetchesLongPieces() const = 0;
    // Defines the query's field index (from 0) as type, with the field's column handler.
    virtual FailedCall define(int index, ub2 type) = 0;

    // ---- Fetch --------------------------------------------------------------------------------
    // The first array of a select that ran (nothing when its execute brought it).
    virtual FailedCall fetchFirst(int rows) = 0;
    // The next array of up to rows rows; the end of the rows and a cut value still deliver it
    // and are no failure.
    virtual FailedCall fetch(int rows) = 0;
    // The rows the statement has processed.
    virtual int rowCount() = 0;
    // Up to length bytes from offset of field index's LONG value in the current row, into
    // destination; returns the bytes copied.
    virtual int readLong(int index, ub1 *destination, int offset, int length) = 0;
    // The whole LONG value of field index in the current row.
    virtual QByteArray longBytes(int index) = 0;

    // ---- Status and errors --------------------------------------------------------------------
    virtual StatementStatus status() = 0;
    // The offset in the parsed text of the last error (0 when not known).
    virtual int errorOffset() = 0;
    // Raises the error the failed call left, naming the call.
    [[noreturn]] virtual void raise(const char *callName) = 0;

    // The handle family's statement and error handles (null in the older family).
    virtual OCIStmt *statementHandle() const { return nullptr; }
    virtual OCIError *errorHandle() const { return nullptr; }
};

// One implementation per family, working on the query's fields and variables.
std::unique_ptr<TStatementCalls> MakeHandleStatementCalls(TOracleQuery &query);
std::unique_ptr<TStatementCalls> MakeCursorStatementCalls(TOracleQuery &query);

} // namespace qd
