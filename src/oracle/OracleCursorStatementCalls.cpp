// A query's statement through the older cursor calls: one cursor data area (the query's own,
// as CursorDataArea gives it) carries the parse, the binds, the defines, the status and the
// error of every call. These calls take the session's call lock.

#include "oracle/OracleCodes.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleStatementCalls.h"

#include <algorithm>
#include <cstring>

namespace qd {

namespace {

// oparse's flags: a parse that waits for the first execute or describe, and the language of
// version 7 servers and later.
constexpr sword DeferredParse = 1;
constexpr sword ImmediateParse = 0;
constexpr ub4 Version7Language = 2;
// The part of a LONG value the define buffer takes; oflng reads the rest, in chunks.
constexpr int LongDefineBuffer = 4096;
constexpr int LongReadChunk = 64000;
// The column names the older describe reports are at most this long.
constexpr sb4 LongestColumnName = 30;

// A fetch that ends the rows or cuts a value still delivered its rows.
bool endOrTruncation(int code)
{
    return code == OraCode::NoDataFound || code == OraCode::ValueTruncated;
}

// The session's call lock for one group of client calls.
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

} // namespace

class TCursorStatementCalls final : public TStatementCalls {
public:
    explicit TCursorStatementCalls(TOracleQuery &query)
        : q(query)
        , m_cda(query.m_cda)
    {
    }

    bool handleBased() const override { return false; }

    void open() override;
    void close() override;
    bool keepsParseWithBinds() const override { return true; }
    FailedCall prepare(const QByteArray &text, bool deferred, int &sqlType) override;
    FailedCall bind(const BindRequest &request) override;
    void *bindCursor(TOracleQuery &cursorQuery, sb4 &size, ub2 &type) override;
    void *receiveCursor(sb4 &size, ub2 &type) override;
    void syncVariables() override { }
    FailedCall executeSelect(bool, ub4) override { return nullptr; }
    FailedCall execute(int iterations, int rowOffset, ub4 mode, int &sqlType) override;
    void startDescribe() override { }
    FailedCall describeColumn(
        int position, TFieldData &field, OCIParam *&parameter, bool &past) override;
    int longDefineSize() const override { return LongDefineBuffer; }
    bool fetchesLongPieces() const override { return false; }
    FailedCall define(int index, ub2 type) override;
    FailedCall fetchFirst(int rows) override;
    FailedCall fetch(int rows) override;
    int rowCount() override { return static_cast<int>(m_cda.rpc); }
    int readLong(int index, ub1 *destination, int offset, int length) override;
    QByteArray longBytes(int index) override;
    StatementStatus status() override;
    int errorOffset() override { return m_cda.peo; }
    [[noreturn]] void raise(const char *callName) override;

private:
    TOracleSession &session() const { return q.requireSession(); }
    // What the define buffer holds of a LONG value from offset, then the rest from the server.
    int readLongChunk(int index, int offset, ub1 *target, int wanted);

    TOracleQuery &q;
    Cda_Def &m_cda;
};

std::unique_ptr<TStatementCalls> MakeCursorStatementCalls(TOracleQuery &query)
{
    return std::make_unique<TCursorStatementCalls>(query);
}

// ---- Cursor -------------------------------------------------------------------------------------

void TCursorStatementCalls::open()
{
    // A cursor variable's area is filled by the statement that opens the cursor.
    if (q.m_cursorVariableBound)
        return;
    TOracleSession &s = session();
    CallLock lock(s);
    std::memset(&m_cda, 0, sizeof m_cda);
    if (s.entryPoints().oopen(&m_cda, s.LogonDataArea(), nullptr, -1, -1, nullptr, -1) != 0)
        raise("oopen");
}

void TCursorStatementCalls::close()
{
    TOracleSession &s = session();
    CallLock lock(s);
    s.entryPoints().oclose(&m_cda);
    std::memset(&m_cda, 0, sizeof m_cda);
}

// ---- Prepare and bind ---------------------------------------------------------------------------

FailedCall TCursorStatementCalls::prepare(const QByteArray &text, bool deferred, int &sqlType)
{
    TOracleSession &s = session();
    // The older call takes the text as writable but only reads it.
    auto *statement = reinterpret_cast<OraText *>(const_cast<char *>(text.constData()));
    sword r = 0;
    {
        CallLock lock(s);
        r = s.entryPoints().oparse(
            &m_cda, statement, -1, deferred ? DeferredParse : ImmediateParse, Version7Language);
    }
    sqlType = m_cda.ft;
    return r != 0 ? "oparse" : nullptr;
}

FailedCall TCursorStatementCalls::bind(const BindRequest &r)
{
    TOracleSession &s = session();
    sword status = 0;
    {
        CallLock lock(s);
        status = s.entryPoints().obndra(&m_cda,
            reinterpret_cast<OraText *>(const_cast<char *>(r.placeholder.constData())), -1,
            static_cast<ub1 *>(r.value), r.size, r.type, -1, r.variable.indicators.data(),
            r.returnLength, nullptr, r.maxLength, r.currentLength, nullptr, -1, -1);
    }
    return status != 0 ? "obndra" : nullptr;
}

void *TCursorStatementCalls::bindCursor(TOracleQuery &cursorQuery, sb4 &size, ub2 &type)
{
    // The execute opens the cursor into the cursor query's data area, which the cursor query
    // then takes as its open cursor.
    size = sizeof(Cda_Def);
    type = SQLT_CUR;
    return cursorQuery.CursorDataArea();
}

void *TCursorStatementCalls::receiveCursor(sb4 &size, ub2 &type)
{
    size = sizeof(Cda_Def);
    type = SQLT_CUR;
    return &m_cda;
}

// ---- Execute ------------------------------------------------------------------------------------

FailedCall TCursorStatementCalls::execute(int iterations, int rowOffset, ub4, int &sqlType)
{
    TOracleSession &s = session();
    sword r = 0;
    {
        CallLock lock(s);
        r = s.entryPoints().oexn(&m_cda, iterations, rowOffset);
    }
    sqlType = m_cda.ft;
    return r != 0 ? "oexn" : nullptr;
}

// ---- Describe and define ------------------------------------------------------------------------

FailedCall TCursorStatementCalls::describeColumn(
    int position, TFieldData &field, OCIParam *&, bool &past)
{
    TOracleSession &s = session();
    sb4 dbsize = 0;
    sb2 dbtype = 0;
    sb1 name[64] = {};
    sb4 nameLength = LongestColumnName;
    sb4 displaySize = 0;
    sb2 precision = 0;
    sb2 scale = 0;
    sb2 nullOk = 0;
    sword r = 0;
    {
        CallLock lock(s);
        r = s.entryPoints().odescr(&m_cda, position, &dbsize, &dbtype, name, &nameLength,
            &displaySize, &precision, &scale, &nullOk);
    }
    if (r != 0) {
        // A describe past the last column ends the select list.
        past = m_cda.rc == OraCode::NotInSelectList;
        return past ? nullptr : "odescr";
    }
    field.dataSize = dbsize;
    field.dataType = static_cast<ub2>(dbtype);
    field.name = QString::fromUtf8(
        reinterpret_cast<const char *>(name), std::clamp<sb4>(nameLength, 0, LongestColumnName));
    field.precision = precision;
    field.scale = scale;
    field.nullable = nullOk;
    return nullptr;
}

FailedCall TCursorStatementCalls::define(int index, ub2 type)
{
    TOracleSession &s = session();
    TFieldData &field = *q.m_fields[static_cast<std::size_t>(index)];
    sword r = 0;
    {
        CallLock lock(s);
        r = s.entryPoints().odefin(&m_cda, static_cast<sword>(index + 1), field.data.get(),
            field.elementSize, type, -1, field.indicatorBuffer.data(), nullptr, -1, -1,
            field.lengthBuffer.data(), nullptr);
    }
    return r != 0 ? "odefin" : nullptr;
}

// ---- Fetch --------------------------------------------------------------------------------------

FailedCall TCursorStatementCalls::fetchFirst(int rows)
{
    // A cursor variable's statement ran in its parent: its rows are only fetched.
    if (q.m_cursorVariableBound)
        return fetch(rows);
    TOracleSession &s = session();
    sword r = 0;
    {
        CallLock lock(s);
        r = s.entryPoints().oexfet(&m_cda, static_cast<ub4>(rows), 0, 0);
    }
    return r != 0 && !endOrTruncation(m_cda.rc) ? "oexfet" : nullptr;
}

FailedCall TCursorStatementCalls::fetch(int rows)
{
    TOracleSession &s = session();
    sword r = 0;
    {
        CallLock lock(s);
        r = s.entryPoints().ofen(&m_cda, rows);
    }
    return r != 0 && !endOrTruncation(m_cda.rc) ? "ofen" : nullptr;
}

int TCursorStatementCalls::readLongChunk(int index, int offset, ub1 *target, int wanted)
{
    TFieldData &field = *q.m_fields[static_cast<std::size_t>(index)];
    const int row = q.m_bufferIndex;
    const int rowLength = field.lengthBuffer[static_cast<std::size_t>(row)];
    int n = std::clamp(rowLength - offset, 0, wanted);
    if (n > 0)
        std::memcpy(target, field.RowAddress(row) + offset, static_cast<std::size_t>(n));
    // A full define buffer means the value goes on at the server.
    if (n < wanted && rowLength == LongDefineBuffer) {
        TOracleSession &s = session();
        ub4 returned = 0;
        const ub4 rowsProcessed = m_cda.rpc;
        sword r = 0;
        {
            CallLock lock(s);
            r = s.entryPoints().oflng(
                &m_cda, index + 1, target + n, wanted - n, field.defineType, &returned, offset + n);
            // Reading a LONG is no fetch: the count of rows stays.
            m_cda.rpc = rowsProcessed;
        }
        if (r != 0)
            raise("oflng");
        n += static_cast<int>(returned);
    }
    return n;
}

int TCursorStatementCalls::readLong(int index, ub1 *destination, int offset, int length)
{
    int copied = 0;
    while (copied < length) {
        const int wanted = std::min(length - copied, LongReadChunk);
        const int got = readLongChunk(index, offset + copied, destination + copied, wanted);
        copied += got;
        if (got < wanted)
            break;
    }
    return copied;
}

QByteArray TCursorStatementCalls::longBytes(int index)
{
    // Chunks of 4 KB doubling to 32 KB until one comes back short.
    QByteArray bytes;
    int chunkSize = 4096;
    for (;;) {
        const qsizetype at = bytes.size();
        bytes.resize(at + chunkSize);
        const int got = q.GetLongField(index, bytes.data() + at, static_cast<int>(at), chunkSize);
        bytes.resize(at + got);
        if (got < chunkSize)
            break;
        if (chunkSize < 32768)
            chunkSize *= 2;
    }
    return bytes;
}

// ---- Status and errors --------------------------------------------------------------------------

StatementStatus TCursorStatementCalls::status()
{
    StatementStatus result;
    result.rowsProcessed = static_cast<int>(m_cda.rpc);
    result.errorCode = m_cda.rc;
    result.warningFlags = m_cda.wrn;
    // An all-zero address is no row: reporting it as text would make a later edit address a
    // row that does not exist (ORA-01410) instead of saying it has no ROWID.
    const bool noRow = m_cda.rid.rd.rcs4 == 0 && m_cda.rid.rd.rcs5 == 0 && m_cda.rid.rcs7 == 0
        && m_cda.rid.rcs8 == 0;
    if (!noRow)
        result.rowId = TOracleQuery::RowIdText(
            m_cda.rid.rd.rcs4, m_cda.rid.rd.rcs5, m_cda.rid.rcs7, m_cda.rid.rcs8);
    return result;
}

void TCursorStatementCalls::raise(const char *callName)
{
    RaiseOracleError(session(), nullptr, m_cda.rc, &q, callName);
}

} // namespace qd
