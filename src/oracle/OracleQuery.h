#pragma once

#include "classlib/StringList.h"
#include "classlib/Variant.h"
#include "oracle/OracleBuffers.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleSessionDependent.h"
#include "oracle/OracleVariables.h"
#include "oracle/ScreenServices.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace qd {

class EOracleError;
class OracleColumnHandler;
class TOracleQuery;
class TOracleSession;
class TStatementCalls;

using TOracleQueryEvent = std::function<void(TOracleQuery *sender)>;
// continueRun enters as true; the handler sets it false to stop the array DML.
using TArrayErrorEvent = std::function<void(TOracleQuery *sender, int index, int errorCode,
    const QString &errorMessage, bool &continueRun)>;
using TThreadErrorEvent
    = std::function<void(TOracleQuery *sender, int errorCode, const QString &errorMessage)>;

// A statement on a session: SQL text with named bind variables, executed in either client
// mode of its session, with array DML and, for a select, an array fetch walked row by row
// with Next and the field accessors. One thread at a time uses a query.
class TOracleQuery : public QObject, public OracleSessionDependent {
public:
    // The worker of a threaded query (OracleQueryThread.h).
    class TQueryThread;

    explicit TOracleQuery(QObject *owner = nullptr);
    ~TOracleQuery() override;
    TOracleQuery(const TOracleQuery &) = delete;
    TOracleQuery &operator=(const TOracleQuery &) = delete;

    // ---- Published properties ----------------------------------------------------------------
    TStringList &SQL() { return m_sql; }
    const TStringList &SQL() const { return m_sql; }
    void SetSQL(const TStringList &value);
    TOracleSession *Session() const { return m_session; }
    void SetSession(TOracleSession *value);
    int ReadBuffer() const { return m_readBuffer; }
    // Values below 1 are stored as 1.
    void SetReadBuffer(int value) { m_readBuffer = value < 1 ? 1 : value; }
    bool Optimize() const { return m_optimize; }
    void SetOptimize(bool value) { m_optimize = value; }
    bool Debug() const { return m_debug; }
    void SetDebug(bool value) { m_debug = value; }
    TVariables &Variables() { return *m_variables; }
    void SetVariables(const TVariables &value);
    TCursor Cursor() const { return m_cursor; }
    void SetCursor(TCursor value) { m_cursor = value; }
    bool StringFieldsOnly() const { return m_stringFieldsOnly; }
    // A change makes the next execute parse, describe and define again.
    void SetStringFieldsOnly(bool value);
    bool Threaded() const { return m_threaded; }
    void SetThreaded(bool value) { m_threaded = value; }
    bool ThreadSynchronized() const { return m_threadSynchronized; }
    void SetThreadSynchronized(bool value) { m_threadSynchronized = value; }
    bool Scrollable() const { return m_scrollable; }
    void SetScrollable(bool value) { m_scrollable = value; }

    TOracleQueryEvent BeforeQuery;
    TOracleQueryEvent AfterQuery;
    TArrayErrorEvent OnArrayError;
    TOracleQueryEvent OnThreadExecuted;
    TOracleQueryEvent OnThreadRecord;
    TOracleQueryEvent OnThreadFinished;
    TThreadErrorEvent OnThreadError;

    // ---- Execution ----------------------------------------------------------------------------
    virtual void Execute();
    // Runs rows index .. index+count-1 of the bound arrays (-1, -1: the whole statement) and
    // returns the rows processed; row errors go to OnArrayError.
    int ExecuteRows(int index, int count);
    // Parses and binds; a select is also described and defined, but nothing runs or fetches.
    void Describe();
    void Close();
    void Clear();
    void SetEof() { m_eof = true; }
    void SubstitutedSQL(QString &text) const;

    // ---- Status ---------------------------------------------------------------------------------
    int RowsProcessed() const { return m_rowsProcessed; }
    int ErrorCode() const { return m_errorCode; }
    int WarningFlags() const { return m_warningFlags; }
    QString RowId() const { return m_rowId; }
    int SQLType() const { return m_sqlType; }
    int ErrorLine() const { return m_errorLine; }
    int ErrorPosition() const { return m_errorPosition; }
    // A TQueryState: qsIdle, qsExecuting or qsFetching.
    int State() const { return m_state; }

    // ---- Bind variables
    // --------------------------------------------------------------------------
    void DeclareVariable(const QString &name, int variableType);
    void DeleteVariable(const QString &name);
    void DeleteVariables();
    void ClearVariables();
    void SetVariable(const QString &name, const Variant &value);
    Variant GetVariable(const QString &name);
    // value: a TOracleQuery for a cursor variable, else the value class of the type's handler;
    // null makes the variable null.
    void SetComplexVariable(const QString &name, QObject *value);
    void DimPLSQLTable(const QString &name, int tableSize, int stringSize);
    static bool IsStringVariant(const Variant &value);
    // Normalises name in place; -1 when absent.
    int FindVariable(QString &name) const;
    int VariableIndex(const QString &name) const;
    int VariableCount() const { return m_variables->Count(); }
    QString VariableName(int index) const;
    int VariableType(int index) const;

    // ---- Select list and rows
    // ---------------------------------------------------------------------
    void Next();
    bool Eof() const { return m_eof; }
    int RowCount() const;
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    QString FieldName(int index) const;
    int FieldIndex(const QString &name) const;
    int FieldType(int index) const;
    int FieldInternalType(int index) const;
    QString FieldTypeName(int index) const;
    int FieldPrecision(int index) const;
    int FieldScale(int index) const;
    bool FieldOptional(int index) const;
    int FieldSize(int index) const;
    int FieldPrecisionByName(const QString &name) const;
    bool FieldIsNull(int index);
    // True when the current row's value was cut to fit the field's buffer on fetch (ORA-01406):
    // the server reported a longer value than arrived.
    bool FieldTruncated(int index);
    void *FieldData(int index) const;
    Variant Field(int index);
    Variant FieldByName(const QString &name);
    QString FieldAsString(int index);
    int FieldAsInteger(int index);
    double FieldAsFloat(int index);
    double FieldAsDate(int index);
    int GetLongField(int index, void *buffer, int offset, int length);
    // The value wrapper of a LOB, object or REF field (owned by the query, re-pointed at each
    // row); the kinds come with their handlers.
    OracleValueObject *LOBField(int index);
    OracleValueObject *FieldAsObject(int index);
    OracleValueObject *RefField(int index);

    // ---- For the value classes of later column kinds --------------------------------------------
    // The handle calls' statement and error handles; null in the older mode and while no
    // cursor is open.
    OCIStmt *StatementHandle() const;
    OCIError *ErrorHandle() const;
    Cda_Def *CursorDataArea() { return &m_cda; }
    TFieldData &FieldItem(int index) const;
    int BufferIndex() const { return m_bufferIndex; }
    int RowsPerFetch() const { return m_rowsPerFetch; }
    bool CursorVariableBound() const { return m_cursorVariableBound; }

    // ---- OracleSessionDependent
    // ---------------------------------------------------------------------
    Kind dependentKind() const override { return dkQuery; }
    QString dependentName() const override { return objectName(); }
    void sessionLoggingOff() override;
    void sessionDestroyed() override;

    // The extended ROWID text of its parts (data object number, relative file, block, row);
    // with a data object number of 0 the restricted form "bbbbbbbb.rrrr.ffff".
    static QString RowIdText(ub4 objectNumber, ub4 file, ub4 block, ub4 row);

private:
    // The client calls of either family work on the statement's fields and variables.
    friend class THandleStatementCalls;
    friend class TCursorStatementCalls;

    // One piece of a LONG or LONG RAW value fetched piecewise; the client writes its length.
    struct LongPiece {
        explicit LongPiece(ub4 size);
        ub4 capacity = 0;
        ub4 length = 0;
        std::unique_ptr<ub1[]> buffer;
    };
    struct FieldExtra {
        TFieldData *field = nullptr;
        std::shared_ptr<OracleColumnHandler> handler;
        // A deque: a piece never moves while the client still writes its length.
        std::deque<LongPiece> pieces;
        OCIDefine *define = nullptr;
        ub2 returnCode = 0;
    };

    // Execution (OracleQueryExecute.cpp)
    void executeCore(bool describeOnly, int rowOffset, int iterations);
    // A select: executed (unless described before), described and defined once, and its
    // first array fetched unless describeOnly.
    void runSelect(bool describeOnly, ub4 mode);
    // Any other statement, for iterations rows of the bound arrays from rowOffset.
    void runStatement(int rowOffset, int iterations, ub4 mode);
    void prepareStatement(bool deferred);
    void applySubstitutions(QString &text) const;
    // Opens the cursor through the calls of the session's family, chosen here.
    void openCursor();
    void closeCursor();
    void releaseCursorIfDone();
    void saveStatus();
    void locateError();
    // callName: the client call that failed, named on the error.
    [[noreturn]] void raiseError(const char *callName);
    // Forgets the parse and raises the failed call's error with its position in the text.
    [[noreturn]] void raiseStatementError(const char *callName);
    int currentRowCount();
    void fetchRows();
    void showDebug();
    void monitorBegin(const QString &text);
    void monitorEnd(const QString &text);
    TOracleSession &requireSession() const;
    void checkConnected();
    void dropHandles();

    // Select list (OracleQueryFields.cpp)
    void describeFields();
    void chooseFetchBuffer(TFieldData &field, FieldExtra &extra, OCIParam *parameter);
    void defineFields();
    void clearFields();
    void resetBeforeFetch();
    void prepareRowObjects();
    void checkFieldIndex(int index) const;
    void checkRowData() const;
    int fieldIndexOrRaise(const QString &name) const;
    bool rowIsNull(int index) const;
    Variant nullValue() const;
    QString longText(int index);
    QByteArray longBytes(int index);
    [[noreturn]] void convertError(int index, const char *target) const;
    [[noreturn]] static void fieldIndexError(int index);
    [[noreturn]] static void eofError();
    FieldExtra *handlerField(int index);
    static sb4 longPieceCallback(void *context, OCIDefine *define, ub4 iteration, void **buffer,
        ub4 **length, ub1 *piece, void **indicator, ub2 **returnCode);

    // Threaded execution (OracleQueryThread.cpp)
    void executeThreaded();
    // Raises "Query thread is still in progress" while the worker runs the statement.
    void checkThreadIdle() const;
    void stopThread() noexcept;

    // Variables (OracleQueryVariables.cpp)
    void bindVariables();
    void syncComplexVariables();
    void forgetParse() { m_parsedSQL.clear(); }
    void closeForODBCBridge();
    Variant variableValue(TVariableData &variable);

    TStringList m_sql;
    std::vector<ub2> m_returnLengths; // per variable: bound length of LONG and LONG RAW values
    TOracleSession *m_session = nullptr;
    int m_readBuffer = 25;
    bool m_optimize = true;
    bool m_debug = false;
    std::unique_ptr<TVariables> m_variables;
    TCursor m_cursor = crDefault;
    bool m_stringFieldsOnly = false;
    bool m_threaded = false;
    bool m_threadSynchronized = true;
    bool m_scrollable = false;

    // The calls of the session's family (OracleStatementCalls.h); the handle calls keep their
    // handles there, the older calls work on the cursor data area.
    std::unique_ptr<TStatementCalls> m_calls;
    Cda_Def m_cda {};

    std::vector<std::unique_ptr<TFieldData>> m_fields;
    std::vector<std::unique_ptr<FieldExtra>> m_fieldExtras; // stable: the LONG callback holds one
    bool m_hasComplexFields = false;
    bool m_hasLongFields = false;

    bool m_cursorOpen = false;
    bool m_described = false;
    QString m_parsedSQL;
    int m_rowsPerFetch = 1;
    int m_bufferIndex = 0;
    int m_rowsInBuffer = 0;
    int m_sqlType = SqlFunction::None;
    int m_arraySize = 0;
    bool m_cursorVariableBound = false;
    int m_state = qsIdle;
    bool m_afterQueryPending = false;
    bool m_eof = true;
    int m_rowsProcessed = 0;
    int m_errorCode = 0;
    int m_warningFlags = 0;
    QString m_rowId;
    int m_errorLine = 0;
    int m_errorPosition = 0;
    int m_monitorId = 0;
    qint64 m_monitorStart = 0;
    std::unique_ptr<TQueryThread> m_thread; // created by the first threaded Execute
};

} // namespace qd
