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
#include "oracle/OracleStatementCalls.h"

#include <QDateTime>

#include <cstdlib>

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
    bindVariables();
    if (m_sqlType == SqlFunction::Select)
        runSelect(describeOnly, mode);
    else if (!describeOnly)
        runStatement(rowOffset, iterations, mode);
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

void TOracleQuery::runSelect(bool describeOnly, ub4 mode)
{
    if (FailedCall call = m_calls->executeSelect(describeOnly, mode))
        raiseStatementError(call);
    if (!m_described) {
        describeFields();
        defineFields();
    }
    if (describeOnly) {
        m_bufferIndex = 0;
        m_rowsInBuffer = 0;
        m_eof = true;
        return;
    }
    const FailedCall call = m_calls->fetchFirst(m_rowsPerFetch);
    m_cursorVariableBound = false;
    if (call)
        raiseError(call);
    m_bufferIndex = 0;
    m_rowsInBuffer = currentRowCount();
    m_eof = m_rowsInBuffer == 0;
    if (!m_eof)
        prepareRowObjects();
}

void TOracleQuery::runStatement(int rowOffset, int iterations, ub4 mode)
{
    if (m_arraySize < 2) {
        iterations = 1;
        rowOffset = 0;
    } else if (iterations < 1) {
        rowOffset = 0;
        iterations = m_arraySize;
    }
    if (FailedCall call = m_calls->execute(iterations, rowOffset, mode, m_sqlType))
        raiseStatementError(call);
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
    if (!m_calls->keepsParseWithBinds())
        forgetParse();
    if (m_optimize && !m_parsedSQL.isEmpty() && m_parsedSQL == text && keepsParse(m_sqlType))
        return;

    clearFields();
    m_parsedSQL = text;
    m_sqlType = SqlFunction::None;
    if (FailedCall call = m_calls->prepare(text.toUtf8(), deferred, m_sqlType)) {
        // The position of a parse error is reported like that of an execute error.
        raiseStatementError(call);
    }
    m_described = false;
}

// ---- Cursor
// ----------------------------------------------------------------------------------------

void TOracleQuery::openCursor()
{
    if (m_cursorOpen)
        return;
    TOracleSession &s = requireSession();
    // The family is the session's; a query moved to a session of the other family changes.
    if (!m_calls || m_calls->handleBased() != s.OCI8Mode())
        m_calls = s.OCI8Mode() ? MakeHandleStatementCalls(*this) : MakeCursorStatementCalls(*this);
    m_calls->open();
    m_cursorOpen = true;
}

void TOracleQuery::closeCursor()
{
    if (!m_session || !m_session->Connected() || !m_cursorOpen)
        return;
    m_cursorOpen = false;
    forgetParse();
    m_described = false;
    m_eof = true;
    m_calls->close();
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
    return m_calls->rowCount();
}

void TOracleQuery::saveStatus()
{
    if (!m_session || !m_cursorOpen)
        return;
    StatementStatus status = m_calls->status();
    m_rowsProcessed = status.rowsProcessed;
    m_errorCode = status.errorCode;
    m_warningFlags = status.warningFlags;
    m_rowId = std::move(status.rowId);
}

void TOracleQuery::locateError()
{
    if (!m_session || !m_calls)
        return;
    const int offset = m_calls->errorOffset();
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
    requireSession();
    if (!m_calls)
        throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
    m_calls->raise(callName);
    // Not reached: every family's raise throws (a virtual call is not known not to return).
    std::abort();
}

void TOracleQuery::raiseStatementError(const char *callName)
{
    locateError();
    forgetParse();
    raiseError(callName);
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
    const int before = currentRowCount();
    const bool tracing = OracleMonitor::TracingEnabled();
    ScreenCursorSaver busy(m_cursor);
    if (tracing)
        monitorBegin(QStringLiteral("Query.Next for up to ") + recordsText(m_rowsPerFetch));
    if (FailedCall call = m_calls->fetch(m_rowsPerFetch))
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
