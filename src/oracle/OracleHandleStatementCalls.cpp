// A query's statement through the handle-based calls: a statement handle (allocated, or taken
// from the session's statement cache), two error handles and a ROWID descriptor per cursor.

#include "classlib/Exception.h"
#include "oracle/OracleCodes.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleQueryExtensions.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleStatementCalls.h"

#include <algorithm>
#include <cstring>

namespace qd {

namespace {

// The attribute that held the parse error offset before OCI_ATTR_PARSE_ERROR_OFFSET was named.
constexpr ub4 OlderParseErrorOffsetAttribute = 128;
// WarningFlags of a call that succeeded with information: a warning, and the "data
// truncated" bit.
constexpr int SuccessWithInfoWarnings = 0x21;
// The longest LONG or LONG RAW value a define accepts; the pieces hold it.
constexpr sb4 LongestLongValue = 2147483647;

// The statement function code of the handle calls' statement type.
int functionOfStatementType(ub2 type)
{
    switch (type) {
    case OCI_STMT_SELECT:
        return SqlFunction::Select;
    case OCI_STMT_UPDATE:
        return SqlFunction::Update;
    case OCI_STMT_DELETE:
        return SqlFunction::Delete;
    case OCI_STMT_INSERT:
        return SqlFunction::Insert;
    case OCI_STMT_BEGIN:
    case OCI_STMT_DECLARE:
        return SqlFunction::PlsqlBlock;
    default:
        return SqlFunction::Other;
    }
}

bool isLongType(ub2 type)
{
    return type == SQLT_LNG || type == SQLT_LBI;
}

// A fetch that ends the rows or cuts a value still delivered its rows.
bool endOrTruncation(int code)
{
    return code == OraCode::NoDataFound || code == OraCode::ValueTruncated;
}

} // namespace

class THandleStatementCalls final : public TStatementCalls {
public:
    explicit THandleStatementCalls(TOracleQuery &query)
        : q(query)
    {
    }

    bool handleBased() const override { return true; }

    void open() override;
    void close() override;
    bool keepsParseWithBinds() const override;
    FailedCall prepare(const QByteArray &text, bool deferred, int &sqlType) override;
    FailedCall bind(const BindRequest &request) override;
    void *bindCursor(TOracleQuery &cursorQuery, sb4 &size, ub2 &type) override;
    void *receiveCursor(sb4 &size, ub2 &type) override;
    void syncVariables() override;
    FailedCall executeSelect(bool describeOnly, ub4 mode) override;
    FailedCall execute(int iterations, int rowOffset, ub4 mode, int &sqlType) override;
    void startDescribe() override;
    FailedCall describeColumn(
        int position, TFieldData &field, OCIParam *&parameter, bool &past) override;
    int longDefineSize() const override { return 0; }
    bool fetchesLongPieces() const override { return true; }
    FailedCall define(int index, ub2 type) override;
    FailedCall fetchFirst(int rows) override;
    FailedCall fetch(int rows) override;
    int rowCount() override;
    int readLong(int index, ub1 *destination, int offset, int length) override;
    QByteArray longBytes(int index) override;
    StatementStatus status() override;
    int errorOffset() override;
    [[noreturn]] void raise(const char *callName) override;
    OCIStmt *statementHandle() const override { return m_stmt; }
    OCIError *errorHandle() const override { return m_error; }

private:
    TOracleSession &session() const { return q.requireSession(); }
    const OracleEntryPoints &oci() const { return session().entryPoints(); }
    // A cursor variable's handle is always allocated here, never taken from the cache.
    void newStatementHandle(bool forCursorVariable);
    void releaseStatementHandle();
    // ReadBuffer alone decides the rows per round trip.
    void switchOffPrefetch();
    int statusErrorCode(sword status);
    bool acceptableFetchStatus(sword status);
    void forgetBinds();

    TOracleQuery &q;
    OCIError *m_error = nullptr;
    // The second error handle takes the attribute reads, whose errors are of no interest.
    OCIError *m_error2 = nullptr;
    OCIRowid *m_rowidDescriptor = nullptr;
    OCIStmt *m_stmt = nullptr;
    sword m_status = OCI_SUCCESS;
    bool m_stmtFromCache = false;
    // The execute of a described select brought its first array.
    bool m_firstArrayFetched = false;
    ub4 m_columnCount = 0;
};

std::unique_ptr<TStatementCalls> MakeHandleStatementCalls(TOracleQuery &query)
{
    return std::make_unique<THandleStatementCalls>(query);
}

// ---- Cursor -------------------------------------------------------------------------------------

void THandleStatementCalls::open()
{
    TOracleSession &s = session();
    const OracleEntryPoints &calls = s.entryPoints();
    m_status = OCI_SUCCESS;
    void *handle = nullptr;
    if (calls.OCIHandleAlloc(s.environmentHandle(), &handle, OCI_HTYPE_ERROR, 0, nullptr)
        != OCI_SUCCESS)
        throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
    m_error = static_cast<OCIError *>(handle);
    handle = nullptr;
    if (calls.OCIHandleAlloc(s.environmentHandle(), &handle, OCI_HTYPE_ERROR, 0, nullptr)
        != OCI_SUCCESS)
        throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
    m_error2 = static_cast<OCIError *>(handle);
    handle = nullptr;
    if (calls.OCIDescriptorAlloc(s.environmentHandle(), &handle, OCI_DTYPE_ROWID, 0, nullptr)
        == OCI_SUCCESS)
        m_rowidDescriptor = static_cast<OCIRowid *>(handle);
}

void THandleStatementCalls::releaseStatementHandle()
{
    if (!m_stmt)
        return;
    if (m_stmtFromCache)
        oci().OCIStmtRelease(m_stmt, m_error, nullptr, 0, OCI_DEFAULT);
    else
        oci().OCIHandleFree(m_stmt, OCI_HTYPE_STMT);
    m_stmt = nullptr;
}

void THandleStatementCalls::forgetBinds()
{
    for (int i = 0; i < q.m_variables->Count(); ++i) {
        q.m_variables->Items(i).bindHandle = nullptr;
        q.m_variables->Items(i).boundAddress = nullptr;
    }
}

void THandleStatementCalls::close()
{
    const OracleEntryPoints &calls = oci();
    releaseStatementHandle();
    for (auto &extra : q.m_fieldExtras)
        extra->define = nullptr;
    forgetBinds();
    if (m_error)
        calls.OCIHandleFree(m_error, OCI_HTYPE_ERROR);
    if (m_error2)
        calls.OCIHandleFree(m_error2, OCI_HTYPE_ERROR);
    if (m_rowidDescriptor)
        calls.OCIDescriptorFree(m_rowidDescriptor, OCI_DTYPE_ROWID);
    m_error = nullptr;
    m_error2 = nullptr;
    m_rowidDescriptor = nullptr;
}

void THandleStatementCalls::newStatementHandle(bool forCursorVariable)
{
    TOracleSession &s = session();
    releaseStatementHandle();
    m_stmtFromCache = !forCursorVariable && s.UsesStatementCache();
    if (!m_stmtFromCache) {
        void *handle = nullptr;
        const sword status = s.entryPoints().OCIHandleAlloc(
            s.environmentHandle(), &handle, OCI_HTYPE_STMT, 0, nullptr);
        if (status != OCI_SUCCESS || !handle)
            throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
        m_stmt = static_cast<OCIStmt *>(handle);
    }
    forgetBinds();
}

void THandleStatementCalls::switchOffPrefetch()
{
    // Attribute settings whose failure leaves the client's default prefetch: not checked.
    ub4 zero = 0;
    oci().OCIAttrSet(m_stmt, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_ROWS, m_error2);
    oci().OCIAttrSet(m_stmt, OCI_HTYPE_STMT, &zero, 0, OCI_ATTR_PREFETCH_MEMORY, m_error2);
}

// ---- Prepare ------------------------------------------------------------------------------------

bool THandleStatementCalls::keepsParseWithBinds() const
{
    // Such binds do not survive a kept parse of the handle calls.
    if (q.m_arraySize > 1)
        return false;
    for (int i = 0; i < q.m_variables->Count(); ++i) {
        const TVariableData &v = q.m_variables->Items(i);
        if (isLongType(v.type) || v.isPLSQLTable || v.elementCount > 1)
            return false;
    }
    return true;
}

FailedCall THandleStatementCalls::prepare(const QByteArray &text, bool, int &sqlType)
{
    TOracleSession &s = session();
    const OracleEntryPoints &calls = s.entryPoints();
    newStatementHandle(false);
    const auto *statement = reinterpret_cast<const OraText *>(text.constData());
    if (!m_stmtFromCache) {
        m_status = calls.OCIStmtPrepare(
            m_stmt, m_error, statement, static_cast<ub4>(text.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    } else {
        m_status = calls.OCIStmtPrepare2(s.ServiceContext(), &m_stmt, m_error, statement,
            static_cast<ub4>(text.size()), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT);
    }
    if (OracleCallFailed(m_status))
        return m_stmtFromCache ? "OCIStmtPrepare2" : "OCIStmtPrepare";
    switchOffPrefetch();
    // An unread type leaves 0, which is no statement type: the function code is then Other.
    ub2 type = 0;
    calls.OCIAttrGet(m_stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, m_error2);
    sqlType = functionOfStatementType(type);
    return nullptr;
}

// ---- Bind ---------------------------------------------------------------------------------------

FailedCall THandleStatementCalls::bind(const BindRequest &r)
{
    TVariableData &v = r.variable;
    // A bind stays valid while its address does; a changed buffer is bound again.
    if (v.bindHandle && v.boundAddress == r.value)
        return nullptr;
    v.boundAddress = r.value;
    OCIBind *handle = nullptr;
    m_status = oci().OCIBindByName(m_stmt, &handle, m_error,
        reinterpret_cast<const OraText *>(r.placeholder.constData()), -1, r.value, r.size, r.type,
        v.indicators.data(), r.returnLength, nullptr, r.maxLength, r.currentLength, OCI_DEFAULT);
    if (OracleCallFailed(m_status)) {
        v.bindHandle = nullptr;
        v.boundAddress = nullptr;
        return "OCIBindByName";
    }
    v.bindHandle = handle;
    if (r.handler)
        r.handler->afterBind(q, v, handle);
    return nullptr;
}

void *THandleStatementCalls::bindCursor(TOracleQuery &cursorQuery, sb4 &size, ub2 &type)
{
    // The cursor query gets handles of its own, into which the execute opens the cursor.
    cursorQuery.openCursor();
    return cursorQuery.m_calls->receiveCursor(size, type);
}

void *THandleStatementCalls::receiveCursor(sb4 &size, ub2 &)
{
    newStatementHandle(true);
    switchOffPrefetch();
    size = 0;
    return &m_stmt;
}

void THandleStatementCalls::syncVariables()
{
    for (int i = 0; i < q.m_variables->Count(); ++i) {
        TVariableData &v = q.m_variables->Items(i);
        if (!v.isComplex || v.type == SQLT_RSET)
            continue;
        if (auto handler = OracleQueryExtensions::VariableHandler(v.type))
            handler->sync(q, v);
    }
}

// ---- Execute ------------------------------------------------------------------------------------

FailedCall THandleStatementCalls::executeSelect(bool describeOnly, ub4 mode)
{
    m_firstArrayFetched = false;
    // A cursor variable's statement ran in its parent; a described select is not described
    // again.
    if (q.m_cursorVariableBound || (q.m_described && describeOnly))
        return nullptr;
    TOracleSession &s = session();
    ub4 iterations = 0;
    if (q.m_described && !describeOnly) {
        // A described select gets its first array inside the execute call.
        iterations = static_cast<ub4>(q.m_rowsPerFetch);
        q.resetBeforeFetch();
    }
    ub4 selectMode = mode & ~OCI_COMMIT_ON_SUCCESS;
    if (q.m_scrollable && s.capabilities().OCI9Available)
        selectMode |= OCI_STMT_SCROLLABLE_READONLY;
    // The end of the rows and a cut value still deliver the array: inspected, not checked.
    m_status = s.entryPoints().OCIStmtExecute(
        s.ServiceContext(), m_stmt, m_error, iterations, 0, nullptr, nullptr, selectMode);
    if (!acceptableFetchStatus(m_status))
        return "OCIStmtExecute";
    m_firstArrayFetched = iterations != 0;
    return nullptr;
}

FailedCall THandleStatementCalls::execute(int iterations, int rowOffset, ub4 mode, int &sqlType)
{
    TOracleSession &s = session();
    const OracleEntryPoints &calls = s.entryPoints();
    // The status is kept for the statement's error code; no data is a failure of DML.
    m_status = calls.OCIStmtExecute(s.ServiceContext(), m_stmt, m_error,
        static_cast<ub4>(iterations), static_cast<ub4>(rowOffset), nullptr, nullptr, mode);
    // The SQL command's code (FNCODE would be the code of the last client call).
    ub2 code = 0;
    if (calls.OCIAttrGet(m_stmt, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, m_error2)
        == OCI_SUCCESS)
        sqlType = code;
    if (OracleCallFailed(m_status) || m_status == OCI_NO_DATA)
        return "OCIStmtExecute";
    return nullptr;
}

// ---- Describe and define ------------------------------------------------------------------------

void THandleStatementCalls::startDescribe()
{
    m_columnCount = 0;
    oci().OCIAttrGet(
        m_stmt, OCI_HTYPE_STMT, &m_columnCount, nullptr, OCI_ATTR_PARAM_COUNT, m_error2);
}

FailedCall THandleStatementCalls::describeColumn(
    int position, TFieldData &field, OCIParam *&parameter, bool &past)
{
    if (static_cast<ub4>(position) > m_columnCount) {
        m_status = OraCode::NotInSelectList;
        past = true;
        return nullptr;
    }
    const OracleEntryPoints &calls = oci();
    void *param = nullptr;
    m_status
        = calls.OCIParamGet(m_stmt, OCI_HTYPE_STMT, m_error, &param, static_cast<ub4>(position));
    if (OracleCallFailed(m_status))
        return "OCIParamGet";
    parameter = static_cast<OCIParam *>(param);
    ub2 size = 0;
    ub2 type = 0;
    OraText *name = nullptr;
    ub4 nameLength = 0;
    sb2 precision = 0;
    sb1 scale = 0;
    ub1 nullOk = 0;
    const struct {
        void *value;
        ub4 *length;
        ub4 attribute;
    } attributes[]
        = { { &size, nullptr, OCI_ATTR_DATA_SIZE }, { &type, nullptr, OCI_ATTR_DATA_TYPE },
              { &name, &nameLength, OCI_ATTR_NAME }, { &precision, nullptr, OCI_ATTR_PRECISION },
              { &scale, nullptr, OCI_ATTR_SCALE }, { &nullOk, nullptr, OCI_ATTR_IS_NULL } };
    for (const auto &a : attributes) {
        m_status
            = calls.OCIAttrGet(parameter, OCI_DTYPE_PARAM, a.value, a.length, a.attribute, m_error);
        if (m_status != OCI_SUCCESS)
            break;
    }
    if (OracleCallFailed(m_status))
        return "OCIAttrGet";
    field.dataSize = size;
    field.dataType = type;
    field.name = name ? QString::fromUtf8(
                     reinterpret_cast<const char *>(name), static_cast<qsizetype>(nameLength))
                            .left(30)
                      : QString();
    field.precision = precision;
    field.scale = scale;
    field.nullable = nullOk;
    return nullptr;
}

FailedCall THandleStatementCalls::define(int index, ub2 type)
{
    const OracleEntryPoints &calls = oci();
    TFieldData &field = *q.m_fields[static_cast<std::size_t>(index)];
    TOracleQuery::FieldExtra &extra = *q.m_fieldExtras[static_cast<std::size_t>(index)];
    // A LONG arrives in pieces that the callback hands out.
    const bool isLong = isLongType(type);
    OCIDefine *handle = nullptr;
    m_status = calls.OCIDefineByPos(m_stmt, &handle, m_error, static_cast<ub4>(index + 1),
        isLong ? nullptr : field.data.get(),
        isLong ? LongestLongValue : static_cast<sb4>(field.elementSize), type,
        field.indicatorBuffer.data(), field.lengthBuffer.data(), nullptr,
        isLong ? OCI_DYNAMIC_FETCH : OCI_DEFAULT);
    const char *call = "OCIDefineByPos";
    if (m_status == OCI_SUCCESS && isLong) {
        call = "OCIDefineDynamic";
        m_status
            = calls.OCIDefineDynamic(handle, m_error, &extra, &TOracleQuery::longPieceCallback);
    }
    extra.define = handle;
    if (OracleCallFailed(m_status))
        return call;
    if (extra.handler)
        extra.handler->define(q, field, handle);
    return nullptr;
}

// ---- Fetch --------------------------------------------------------------------------------------

FailedCall THandleStatementCalls::fetchFirst(int rows)
{
    if (m_firstArrayFetched)
        return nullptr;
    return fetch(rows);
}

FailedCall THandleStatementCalls::fetch(int rows)
{
    const OracleEntryPoints &calls = oci();
    q.resetBeforeFetch();
    const char *call = "OCIStmtFetch2";
    if (calls.OCIStmtFetch2) {
        m_status = calls.OCIStmtFetch2(
            m_stmt, m_error, static_cast<ub4>(rows), OCI_FETCH_NEXT, 0, OCI_DEFAULT);
    } else {
        call = "OCIStmtFetch";
        m_status = calls.OCIStmtFetch(
            m_stmt, m_error, static_cast<ub4>(rows), OCI_FETCH_NEXT, OCI_DEFAULT);
    }
    return acceptableFetchStatus(m_status) ? nullptr : call;
}

int THandleStatementCalls::rowCount()
{
    if (!m_stmt)
        return 0;
    ub4 count = 0;
    oci().OCIAttrGet(m_stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, m_error2);
    return static_cast<int>(count);
}

int THandleStatementCalls::readLong(int index, ub1 *destination, int offset, int length)
{
    qint64 start = 0;
    qint64 copied = 0;
    const qint64 end = static_cast<qint64>(offset) + length;
    for (const auto &piece : q.m_fieldExtras[static_cast<std::size_t>(index)]->pieces) {
        const qint64 pieceEnd = start + std::min(piece.length, piece.capacity);
        const qint64 from = std::max<qint64>(start, offset);
        const qint64 to = std::min(pieceEnd, end);
        if (to > from) {
            std::memcpy(destination + (from - offset), piece.buffer.get() + (from - start),
                static_cast<std::size_t>(to - from));
            copied += to - from;
        }
        start = pieceEnd;
        if (start >= end)
            break;
    }
    return static_cast<int>(copied);
}

QByteArray THandleStatementCalls::longBytes(int index)
{
    const auto &pieces = q.m_fieldExtras[static_cast<std::size_t>(index)]->pieces;
    qint64 total = 0;
    for (const auto &piece : pieces)
        total += std::min(piece.length, piece.capacity);
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(total));
    for (const auto &piece : pieces)
        bytes.append(reinterpret_cast<const char *>(piece.buffer.get()),
            static_cast<qsizetype>(std::min(piece.length, piece.capacity)));
    return bytes;
}

// ---- Status and errors --------------------------------------------------------------------------

int THandleStatementCalls::statusErrorCode(sword status)
{
    switch (status) {
    case OCI_ERROR:
    case OCI_INVALID_HANDLE: {
        sb4 code = 0;
        if (m_error) {
            OraText buffer[512];
            oci().OCIErrorGet(m_error, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR);
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

bool THandleStatementCalls::acceptableFetchStatus(sword status)
{
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NO_DATA)
        return true;
    if (status != OCI_ERROR)
        return status != OCI_INVALID_HANDLE;
    return endOrTruncation(statusErrorCode(status));
}

StatementStatus THandleStatementCalls::status()
{
    StatementStatus result;
    result.rowsProcessed = rowCount();
    result.errorCode = statusErrorCode(m_status);
    result.warningFlags = m_status == OCI_SUCCESS_WITH_INFO ? SuccessWithInfoWarnings : 0;
    // The ROWID descriptor is the client's private layout; without the client's text
    // conversion the ROWID is not known here.
    return result;
}

int THandleStatementCalls::errorOffset()
{
    if (!m_stmt)
        return 0;
    TOracleSession &s = session();
    ub2 value = 0;
    const ub4 attribute = s.capabilities().OCI9Available ? OCI_ATTR_PARSE_ERROR_OFFSET
                                                         : OlderParseErrorOffsetAttribute;
    if (s.entryPoints().OCIAttrGet(m_stmt, OCI_HTYPE_STMT, &value, nullptr, attribute, m_error2)
        != OCI_SUCCESS)
        return 0;
    return value;
}

void THandleStatementCalls::raise(const char *callName)
{
    if (m_status == OCI_INVALID_HANDLE)
        throw Exception(QStringLiteral("TOracleQuery: Invalid handle"));
    RaiseOracleError(session(), m_error, m_status, &q, callName);
}

} // namespace qd
