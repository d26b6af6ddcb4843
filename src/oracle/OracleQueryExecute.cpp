// Statement execution of TOracleQuery: parse, execute (with array DML), fetch and status.

#include "oracle/OracleQuery.h"

#include "classlib/Exception.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleError.h"
#include "oracle/OracleMonitor.h"
#include "oracle/OracleQueryExtensions.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleSqlText.h"

#include <QDateTime>

#include <cstring>

namespace qd {

namespace {

// Statement kinds whose parse is kept for an unchanged text.
bool keepsParse(int sqlType)
{
    using namespace SqlFunction;
    switch (sqlType) {
    case Insert:
    case Select:
    case Update:
    case Delete:
    case SetTransaction:
    case PlsqlBlock:
    case LockTable:
    case Commit:
    case Rollback:
    case Savepoint:
        return true;
    default:
        return false;
    }
}

// The session's call lock for one group of client calls (taken only in the older mode).
class CallLock {
public:
    explicit CallLock(TOracleSession &session)
        : m_session(session)
    {
        m_session.Enter(true);
    }
    ~CallLock() { m_session.Leave(true); }
    CallLock(const CallLock &) = delete;
    CallLock &operator=(const CallLock &) = delete;

private:
    TOracleSession &m_session;
};

class StateGuard {
public:
    StateGuard(int &state, TQueryState value)
        : m_state(state)
    {
        m_state = value;
    }
    ~StateGuard() { m_state = qsIdle; }
    StateGuard(const StateGuard &) = delete;
    StateGuard &operator=(const StateGuard &) = delete;

private:
    int &m_state;
};

// A fetch that ends the rows or cuts a value still delivered its rows.
bool endOrTruncation(int code)
{
    return code == OraCode::NoDataFound || code == OraCode::ValueTruncated;
}

QString recordsText(qint64 n)
{
    return n == 1 ? QStringLiteral("%1 record").arg(n) : QStringLiteral("%1 records").arg(n);
}

} // namespace

TOracleSession &TOracleQuery::requireSession() const
{
    if (!m_session)
        throw Exception(QStringLiteral("Session undefined"));
    return *m_session;
}

void TOracleQuery::checkConnected()
{
    if (!requireSession().Connected())
        throw Exception(QStringLiteral("Not logged on"));
}

// ---- Execute -----------------------------------------------------------------------------------

void TOracleQuery::Execute()
{
    // While a run is in progress the query belongs to its worker, threaded or not.
    checkThreadIdle();
    if (m_threaded)
        executeThreaded();
    else
        ExecuteRows(-1, -1);
}

int TOracleQuery::ExecuteRows(int index, int count)
{
    if (count == 0)
        return 0;
    StateGuard state(m_state, qsExecuting);
    if (BeforeQuery)
        BeforeQuery(this);
    m_afterQueryPending = true;
    int start = 0;
    int stop = 0;
    if (index != -1 || count != -1) {
        start = index;
        stop = index + count;
    }
    int total = 0;
    bool continueRun = false;
    do {
        continueRun = true;
        try {
            executeCore(false, start, stop);
            total += currentRowCount();
            continueRun = false;
        } catch (const EOracleError &e) {
            if (stop == 0)
                stop = m_arraySize;
            const int done = currentRowCount();
            start += done + 1; // resume after the failing row
            total += done;
            if (OnArrayError)
                OnArrayError(this, start - 1, e.ErrorCode(), e.Message(), continueRun);
            else if (index == -1 && count == -1)
                throw;
            else
                continueRun = false;
            if (start >= stop)
                continueRun = false;
        }
    } while (continueRun);
    if (m_eof && m_afterQueryPending) {
        m_afterQueryPending = false;
        if (AfterQuery)
            AfterQuery(this);
    }
    return total;
}

void TOracleQuery::Describe()
{
    checkThreadIdle();
    executeCore(true, 0, 0);
}

void TOracleQuery::executeCore(bool describeOnly, int rowOffset, int iterations)
{
    TOracleSession &s = requireSession();
    const OracleCapabilities &caps = s.capabilities();
    m_scrollableInEffect = m_scrollable && caps.OCI9Available && s.OCI8Mode();
    const bool tracing = OracleMonitor::TracingEnabled();
    if (tracing)
        monitorBegin(
            describeOnly ? QStringLiteral("Query.Describe") : QStringLiteral("Query.Execute"));
    ub4 mode = OCI_DEFAULT;
    if (describeOnly)
        mode = OCI_DESCRIBE_ONLY;
    else if (s.AutoCommit())
        mode = OCI_COMMIT_ON_SUCCESS;
    m_eof = true;
    if (!s.library().ClientLibraryLoaded()) {
        ScreenCursorSaver busy(m_cursor);
        s.library().InitClientLibrary();
    }
    if (!s.Connected())
        throw Exception(QStringLiteral("Not logged on"));
    if (m_debug && !describeOnly && !m_cursorVariableBound)
        showDebug();

    ScreenCursorSaver busy(m_cursor);
    prepareStatement(true);
    const bool oci8 = s.OCI8Mode();
    const OracleEntryPoints &oci = s.entryPoints();

    if (m_sqlType == SqlFunction::Select) {
        bindVariables();
        ub4 execIters = 0;
        if (oci8 && !m_cursorVariableBound && !(m_described && describeOnly)) {
            // A described select gets its first array inside the execute call.
            if (m_described && !describeOnly) {
                execIters = static_cast<ub4>(m_rowsPerFetch);
                resetBeforeFetch();
            }
            ub4 selectMode = mode & ~OCI_COMMIT_ON_SUCCESS;
            if (m_scrollableInEffect)
                selectMode |= OCI_STMT_SCROLLABLE_READONLY;
            {
                CallLock lock(s);
                m_status = oci.OCIStmtExecute(s.ServiceContext(), m_stmt, m_error, execIters, 0,
                    nullptr, nullptr, selectMode);
            }
            if (!acceptableFetchStatus(m_status)) {
                locateError();
                forgetParse();
                raiseError("OCIStmtExecute");
            }
        }
        if (!m_described) {
            describeFields();
            defineFields();
        }
        if (!describeOnly) {
            // The end of the rows and a cut value still deliver the array: the status is
            // inspected, not checked.
            bool failed = false;
            const char *call = "";
            {
                CallLock lock(s);
                if (!oci8) {
                    call = m_cursorVariableBound ? "ofen" : "oexfet";
                    const sword r = m_cursorVariableBound
                        ? oci.ofen(&m_cda, m_rowsPerFetch)
                        : oci.oexfet(&m_cda, static_cast<ub4>(m_rowsPerFetch), 0, 0);
                    failed = r != 0 && !endOrTruncation(m_cda.rc);
                } else if (execIters == 0) {
                    call = fetchArray(oci);
                    failed = !acceptableFetchStatus(m_status);
                }
            }
            m_cursorVariableBound = false;
            if (failed)
                raiseError(call);
            m_bufferIndex = 0;
            m_rowsInBuffer = currentRowCount();
            m_eof = m_rowsInBuffer == 0;
            if (!m_eof)
                prepareRowObjects();
        } else {
            m_bufferIndex = 0;
            m_rowsInBuffer = 0;
            m_eof = true;
        }
    } else {
        bindVariables();
        if (m_arraySize < 2) {
            iterations = 1;
            rowOffset = 0;
        } else if (iterations < 1) {
            rowOffset = 0;
            iterations = m_arraySize;
        }
        if (!describeOnly) {
            bool failed = false;
            {
                CallLock lock(s);
                if (!oci8) {
                    // The status is kept for the array DML's row count, so checked below.
                    const sword r = oci.oexn(&m_cda, iterations, rowOffset);
                    m_sqlType = m_cda.ft;
                    failed = r != 0;
                } else {
                    m_status = oci.OCIStmtExecute(s.ServiceContext(), m_stmt, m_error,
                        static_cast<ub4>(iterations), static_cast<ub4>(rowOffset), nullptr, nullptr,
                        mode);
                    // The SQL command's code (FNCODE would be the code of the last client call).
                    ub2 code = 0;
                    if (oci.OCIAttrGet(
                            m_stmt, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, m_error2)
                        == OCI_SUCCESS)
                        m_sqlType = code;
                    failed = m_status == OCI_ERROR || m_status == OCI_INVALID_HANDLE
                        || m_status == OCI_NO_DATA;
                }
            }
            if (failed) {
                locateError();
                forgetParse();
                raiseError(oci8 ? "OCIStmtExecute" : "oexn");
            }
        }
    }
    syncComplexVariables();
    if (tracing) {
        if (!describeOnly && SqlFunction::IsDml(m_sqlType))
            monitorEnd(QStringLiteral(" (") + recordsText(currentRowCount())
                + QStringLiteral(" processed)"));
        else
            monitorEnd(QString());
    }
    saveStatus();
    releaseCursorIfDone();
}

// ---- Parse
// ---------------------------------------------------------------------------------------

void TOracleQuery::applySubstitutions(QString &text) const
{
    bool any = false;
    for (int i = 0; i < m_variables->Count() && !any; ++i)
        any = m_variables->Items(i).type == otSubst;
    if (!any)
        return;
    const TStringList found = FindVariables(text, true);
    for (int i = found.Count() - 1; i >= 0; --i) {
        const QString &name = found.Strings(i);
        const int index = m_variables->VariableIndex(name);
        if (index < 0)
            continue;
        TVariableData &v = m_variables->Items(index);
        if (v.type != otSubst)
            continue;
        const QString value = v.IsNull(0) ? QString() : v.GetValue(0, m_session).AsString();
        const qsizetype at = found.Integers(i) - 1;
        if (at >= 0 && at < text.size())
            text.replace(at, name.size() + 1, value);
    }
}

void TOracleQuery::SubstitutedSQL(QString &text) const
{
    text = m_sql.Text();
    applySubstitutions(text);
}

void TOracleQuery::prepareStatement(bool deferred)
{
    TOracleSession &s = requireSession();
    m_errorPosition = 0;
    m_errorLine = 0;
    openCursor();
    if (m_cursorVariableBound) {
        m_sqlType = SqlFunction::Select;
        m_described = false;
        return;
    }
    QString text = m_sql.Text();
    applySubstitutions(text);
    text.remove(QLatin1Char('\r'));
    if (text.isEmpty())
        text = QStringLiteral(" ");
    const bool oci8 = s.OCI8Mode();
    if (oci8) {
        // Such binds do not survive a kept parse of the handle-based mode.
        bool reparse = m_arraySize > 1;
        for (int i = 0; i < m_variables->Count() && !reparse; ++i) {
            const TVariableData &v = m_variables->Items(i);
            reparse
                = v.type == SQLT_LNG || v.type == SQLT_LBI || v.isPLSQLTable || v.elementCount > 1;
        }
        if (reparse)
            forgetParse();
    }
    if (m_optimize && !m_parsedSQL.isEmpty() && m_parsedSQL == text && keepsParse(m_sqlType))
        return;

    clearFields();
    m_parsedSQL = text;
    m_sqlType = SqlFunction::None;
    const OracleEntryPoints &oci = s.entryPoints();
    QByteArray utf8 = text.toUtf8();
    bool failed = false;
    {
        CallLock lock(s);
        if (!oci8) {
            const sword r = oci.oparse(
                &m_cda, reinterpret_cast<OraText *>(utf8.data()), -1, deferred ? 1 : 0, 2);
            m_sqlType = m_cda.ft;
            failed = r != 0;
        } else {
            newStatementHandle();
            if (!m_stmtFromCache) {
                m_status = oci.OCIStmtPrepare(m_stmt, m_error,
                    reinterpret_cast<const OraText *>(utf8.constData()),
                    static_cast<ub4>(utf8.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
            } else {
                m_status = oci.OCIStmtPrepare2(s.ServiceContext(), &m_stmt, m_error,
                    reinterpret_cast<const OraText *>(utf8.constData()),
                    static_cast<ub4>(utf8.size()), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT);
            }
            failed = m_status == OCI_ERROR || m_status == OCI_INVALID_HANDLE;
            if (!failed) {
                // ReadBuffer alone decides the rows per round trip.
                ub4 zero = 0;
                oci.OCIAttrSet(m_stmt, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_ROWS, m_error2);
                oci.OCIAttrSet(
                    m_stmt, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_MEMORY, m_error2);
                ub2 type = 0;
                oci.OCIAttrGet(
                    m_stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, m_error2);
                switch (type) {
                case OCI_STMT_SELECT:
                    m_sqlType = SqlFunction::Select;
                    break;
                case OCI_STMT_UPDATE:
                    m_sqlType = SqlFunction::Update;
                    break;
                case OCI_STMT_DELETE:
                    m_sqlType = SqlFunction::Delete;
                    break;
                case OCI_STMT_INSERT:
                    m_sqlType = SqlFunction::Insert;
                    break;
                case OCI_STMT_BEGIN:
                case OCI_STMT_DECLARE:
                    m_sqlType = SqlFunction::PlsqlBlock;
                    break;
                default:
                    m_sqlType = SqlFunction::Other;
                    break;
                }
            }
        }
    }
    if (failed) {
        // The position of a parse error is reported like that of an execute error.
        locateError();
        forgetParse();
        raiseError(!oci8 ? "oparse" : m_stmtFromCache ? "OCIStmtPrepare2" : "OCIStmtPrepare");
    }
    m_described = false;
}

void TOracleQuery::newStatementHandle(bool forCursorVariable)
{
    TOracleSession &s = requireSession();
    const OracleEntryPoints &oci = s.entryPoints();
    if (m_stmt) {
        if (m_stmtFromCache)
            oci.OCIStmtRelease(m_stmt, m_error, nullptr, 0, OCI_DEFAULT);
        else
            oci.OCIHandleFree(m_stmt, OCI_HTYPE_STMT);
        m_stmt = nullptr;
    }
    m_stmtFromCache = !forCursorVariable && s.UsesStatementCache();
    if (!m_stmtFromCache) {
        void *handle = nullptr;
        const sword status
            = oci.OCIHandleAlloc(s.environmentHandle(), &handle, OCI_HTYPE_STMT, 0, nullptr);
        if (status != OCI_SUCCESS || !handle)
            throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
        m_stmt = static_cast<OCIStmt *>(handle);
    }
    for (int i = 0; i < m_variables->Count(); ++i) {
        m_variables->Items(i).bindHandle = nullptr;
        m_variables->Items(i).boundAddress = nullptr;
    }
}

// ---- Cursor
// ----------------------------------------------------------------------------------------

void TOracleQuery::openCursor()
{
    if (m_cursorOpen)
        return;
    TOracleSession &s = requireSession();
    const OracleEntryPoints &oci = s.entryPoints();
    CallLock lock(s);
    if (s.OCI8Mode()) {
        m_status = OCI_SUCCESS;
        void *handle = nullptr;
        if (oci.OCIHandleAlloc(s.environmentHandle(), &handle, OCI_HTYPE_ERROR, 0, nullptr)
            != OCI_SUCCESS)
            throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
        m_error = static_cast<OCIError *>(handle);
        handle = nullptr;
        if (oci.OCIHandleAlloc(s.environmentHandle(), &handle, OCI_HTYPE_ERROR, 0, nullptr)
            != OCI_SUCCESS)
            throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
        m_error2 = static_cast<OCIError *>(handle);
        handle = nullptr;
        if (oci.OCIDescriptorAlloc(s.environmentHandle(), &handle, OCI_DTYPE_ROWID, 0, nullptr)
            == OCI_SUCCESS)
            m_rowidDescriptor = static_cast<OCIRowid *>(handle);
    } else if (!m_cursorVariableBound) {
        std::memset(&m_cda, 0, sizeof m_cda);
        if (oci.oopen(&m_cda, s.LogonDataArea(), nullptr, -1, -1, nullptr, -1) != 0)
            raiseOCI7Error("oopen");
    }
    m_cursorOpen = true;
}

void TOracleQuery::closeCursor()
{
    if (!m_session || !m_session->Connected() || !m_cursorOpen)
        return;
    TOracleSession &s = *m_session;
    m_cursorOpen = false;
    forgetParse();
    m_described = false;
    m_eof = true;
    const OracleEntryPoints &oci = s.entryPoints();
    CallLock lock(s);
    if (s.OCI8Mode()) {
        if (m_stmt) {
            if (m_stmtFromCache)
                oci.OCIStmtRelease(m_stmt, m_error, nullptr, 0, OCI_DEFAULT);
            else
                oci.OCIHandleFree(m_stmt, OCI_HTYPE_STMT);
        }
        m_stmt = nullptr;
        for (auto &extra : m_fieldExtras)
            extra->define = nullptr;
        for (int i = 0; i < m_variables->Count(); ++i) {
            m_variables->Items(i).bindHandle = nullptr;
            m_variables->Items(i).boundAddress = nullptr;
        }
        if (m_error)
            oci.OCIHandleFree(m_error, OCI_HTYPE_ERROR);
        if (m_error2)
            oci.OCIHandleFree(m_error2, OCI_HTYPE_ERROR);
        if (m_rowidDescriptor)
            oci.OCIDescriptorFree(m_rowidDescriptor, OCI_DTYPE_ROWID);
        m_error = nullptr;
        m_error2 = nullptr;
        m_rowidDescriptor = nullptr;
    } else {
        oci.oclose(&m_cda);
        std::memset(&m_cda, 0, sizeof m_cda);
    }
}

void TOracleQuery::Close()
{
    if (m_session && m_session->Connected() && m_cursorOpen) {
        clearFields();
        closeCursor();
    }
}

void TOracleQuery::Clear()
{
    DeleteVariables();
    m_sql.Clear();
    forgetParse();
    m_described = false;
    m_cursorVariableBound = false;
}

void TOracleQuery::releaseCursorIfDone()
{
    if (m_session && !m_session->UsesStatementCache() && m_optimize)
        return;
    if (m_sqlType == SqlFunction::Select && (!m_eof || m_scrollable))
        return;
    closeCursor();
}

// ---- Status and errors
// ---------------------------------------------------------------------------

int TOracleQuery::currentRowCount()
{
    if (!m_session || !m_cursorOpen)
        return 0;
    if (!m_session->OCI8Mode())
        return static_cast<int>(m_cda.rpc);
    if (!m_stmt)
        return 0;
    ub4 count = 0;
    m_session->entryPoints().OCIAttrGet(
        m_stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, m_error2);
    return static_cast<int>(count);
}

int TOracleQuery::statusErrorCode(sword status)
{
    switch (status) {
    case OCI_ERROR:
    case OCI_INVALID_HANDLE: {
        sb4 code = 0;
        if (m_session && m_error) {
            OraText buffer[512];
            m_session->entryPoints().OCIErrorGet(
                m_error, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR);
        }
        return code;
    }
    case OCI_SUCCESS_WITH_INFO:
    case OCI_NEED_DATA:
        return 0;
    case OCI_NO_DATA:
        return OraCode::NoDataFound;
    default:
        return status;
    }
}

bool TOracleQuery::acceptableFetchStatus(sword status)
{
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NO_DATA)
        return true;
    if (status != OCI_ERROR)
        return status != OCI_INVALID_HANDLE;
    const int code = statusErrorCode(status);
    return endOrTruncation(code);
}

void TOracleQuery::saveStatus()
{
    if (!m_session || !m_cursorOpen)
        return;
    if (m_session->OCI8Mode()) {
        m_rowsProcessed = currentRowCount();
        m_errorCode = statusErrorCode(m_status);
        m_warningFlags = m_status == OCI_SUCCESS_WITH_INFO ? 0x21 : 0;
        // The handle-based ROWID descriptor is the client's private layout; without the
        // client's text conversion the ROWID is not known here.
        m_rowId.clear();
    } else {
        m_rowsProcessed = static_cast<int>(m_cda.rpc);
        m_errorCode = m_cda.rc;
        m_warningFlags = m_cda.wrn;
        // An all-zero address is no row: reporting it as text would make a later edit address a
        // row that does not exist (ORA-01410) instead of saying it has no ROWID.
        const bool noRow = m_cda.rid.rd.rcs4 == 0 && m_cda.rid.rd.rcs5 == 0 && m_cda.rid.rcs7 == 0
            && m_cda.rid.rcs8 == 0;
        if (noRow)
            m_rowId.clear();
        else
            m_rowId
                = RowIdText(m_cda.rid.rd.rcs4, m_cda.rid.rd.rcs5, m_cda.rid.rcs7, m_cda.rid.rcs8);
    }
}

void TOracleQuery::locateError()
{
    if (!m_session)
        return;
    int offset = 0;
    if (m_session->OCI8Mode()) {
        if (m_stmt) {
            ub2 value = 0;
            const ub4 attribute
                = m_session->capabilities().OCI9Available ? OCI_ATTR_PARSE_ERROR_OFFSET : 128;
            if (m_session->entryPoints().OCIAttrGet(
                    m_stmt, OCI_HTYPE_STMT, &value, nullptr, attribute, m_error2)
                == OCI_SUCCESS)
                offset = value;
        }
    } else {
        offset = m_cda.peo;
    }
    int line = 0;
    int column = 0;
    if (offset < 1) {
        m_errorLine = 1;
        m_errorPosition = 1;
        return;
    }
    const int n = std::min<int>(offset, static_cast<int>(m_parsedSQL.size()));
    for (int i = 0; i < n; ++i) {
        if (m_parsedSQL.at(i) == QLatin1Char('\n')) {
            ++line;
            column = 0;
        } else {
            ++column;
        }
    }
    m_errorLine = line + 1;
    m_errorPosition = column + 1;
}

void TOracleQuery::raiseError(const char *callName)
{
    if (m_afterQueryPending) {
        m_afterQueryPending = false;
        if (AfterQuery)
            AfterQuery(this);
    }
    TOracleSession &s = requireSession();
    if (!s.OCI8Mode())
        raiseOCI7Error(callName);
    if (m_status == OCI_INVALID_HANDLE)
        throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
    RaiseOracleError(s, m_error, m_status, this, callName);
}

void TOracleQuery::raiseOCI7Error(const char *callName)
{
    RaiseOracleError(requireSession(), nullptr, m_cda.rc, this, callName);
}

const char *TOracleQuery::fetchArray(const OracleEntryPoints &oci)
{
    resetBeforeFetch();
    if (oci.OCIStmtFetch2) {
        m_status = oci.OCIStmtFetch2(
            m_stmt, m_error, static_cast<ub4>(m_rowsPerFetch), OCI_FETCH_NEXT, 0, OCI_DEFAULT);
        return "OCIStmtFetch2";
    }
    m_status = oci.OCIStmtFetch(
        m_stmt, m_error, static_cast<ub4>(m_rowsPerFetch), OCI_FETCH_NEXT, OCI_DEFAULT);
    return "OCIStmtFetch";
}

// ---- Fetch
// ------------------------------------------------------------------------------------------

void TOracleQuery::Next()
{
    if (m_eof)
        return;
    checkConnected();
    // Within the fetched array no client call is made, so the status stays as it was.
    if (m_bufferIndex + 1 < m_rowsInBuffer) {
        ++m_bufferIndex;
        if (m_hasComplexFields)
            prepareRowObjects();
        return;
    }
    StateGuard state(m_state, qsFetching);
    ++m_bufferIndex;
    if (m_bufferIndex >= m_rowsInBuffer) {
        if (m_rowsInBuffer < m_rowsPerFetch)
            m_eof = true; // a short array was the last one
        else
            fetchRows();
    }
    if (!m_eof) {
        prepareRowObjects();
    } else if (m_afterQueryPending) {
        m_afterQueryPending = false;
        if (AfterQuery)
            AfterQuery(this);
    }
    saveStatus();
    releaseCursorIfDone();
}

void TOracleQuery::fetchRows()
{
    TOracleSession &s = *m_session;
    const OracleEntryPoints &oci = s.entryPoints();
    const int before = currentRowCount();
    const bool tracing = OracleMonitor::TracingEnabled();
    ScreenCursorSaver busy(m_cursor);
    // The end of the rows and a cut value still deliver the array: inspected, not checked.
    bool failed = false;
    const char *call = "ofen";
    {
        CallLock lock(s);
        if (tracing)
            monitorBegin(QStringLiteral("Query.Next for up to ") + recordsText(m_rowsPerFetch));
        if (!s.OCI8Mode()) {
            const sword r = oci.ofen(&m_cda, m_rowsPerFetch);
            failed = r != 0 && !endOrTruncation(m_cda.rc);
        } else {
            call = fetchArray(oci);
            failed = !acceptableFetchStatus(m_status);
        }
    }
    if (failed)
        raiseError(call);
    m_bufferIndex = 0;
    m_rowsInBuffer = currentRowCount() - before;
    m_eof = m_rowsInBuffer <= 0;
    if (tracing)
        monitorEnd(
            QStringLiteral(" (") + recordsText(m_rowsInBuffer) + QStringLiteral(" processed)"));
}

int TOracleQuery::RowCount() const
{
    if (m_eof)
        return m_rowsProcessed;
    return m_rowsProcessed - m_rowsInBuffer + m_bufferIndex + 1;
}

// ---- Debug and monitor
// ----------------------------------------------------------------------------

void TOracleQuery::showDebug()
{
    QString text = m_sql.Text();
    for (int i = 0; i < m_variables->Count(); ++i) {
        TVariableData &v = m_variables->Items(i);
        text
            += QLatin1Char('\r') + v.name + QStringLiteral(" = ") + v.DisplayText(variableValue(v));
    }
    ScreenConfirm(text, QStringLiteral("O"));
}

void TOracleQuery::monitorBegin(const QString &text)
{
    if (m_monitorId == 0)
        m_monitorId = OracleMonitor::NewCallId();
    QString sql;
    SubstitutedSQL(sql);
    QStringList variables;
    for (int i = 0; i < m_variables->Count(); ++i) {
        TVariableData &v = m_variables->Items(i);
        variables.append(v.name + QStringLiteral(" = ") + v.DisplayText(variableValue(v)));
    }
    OracleMonitor::ReportCall(
        true, 2, m_monitorId, m_session, { text, sql, variables.join(QLatin1Char('\n')) });
    m_monitorStart = QDateTime::currentMSecsSinceEpoch();
}

void TOracleQuery::monitorEnd(const QString &text)
{
    if (m_monitorStart == 0)
        return;
    const qint64 started = m_monitorStart;
    m_monitorStart = 0;
    OracleMonitor::ReportCall(false, 2, m_monitorId, m_session,
        { static_cast<qint64>(QDateTime::currentMSecsSinceEpoch() - started), text });
}

} // namespace qd
