// The older cursor-style calls (logon data area, cursor data area) over the same sessions and
// statements as the handle-based calls: each older call runs the matching handle-based call and
// reports its outcome in the caller's 64-byte area. OCISvcCtxToLda and OCILdaToSvcCtx switch one
// connection between the two interfaces.
#include "Export.h"
#include "engine/Rowid.h"
#include "oci/Handles.h"
#include "oci/Oci7Area.h"
#include "oci/OciCalls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

using namespace qdsi;
using namespace qdsi::oci;

namespace qdsi::oci {

ub1 warningFlags(int code)
{
    if (code == 0)
        return 0;
    ub1 flags = WARNING_ANY;
    if (code == 1406)
        flags |= WARNING_TRUNCATED;
    if (code == 24344)
        flags |= WARNING_COMPILE_ERRORS;
    return flags;
}

sword reportCode(Cda_Def *area, int code)
{
    if (area) {
        area->rc = static_cast<ub2>(code);
        area->v2_rc = static_cast<sb2>(-code);
    }
    return code == 0 ? 0 : -1;
}

sword reportStatus(Cda_Def *area, sword status, OCIError *errhp)
{
    int code = 0;
    if (auto *err = handleOf<ErrorHandle>(errhp, OCI_HTYPE_ERROR)) {
        std::lock_guard lock(err->mutex);
        code = err->code;
    }
    if (area)
        area->wrn = 0;
    switch (status) {
    case OCI_SUCCESS:
        return reportCode(area, 0);
    case OCI_SUCCESS_WITH_INFO:
        reportCode(area, code);
        if (area)
            area->wrn = warningFlags(code);
        return 0;
    case OCI_NO_DATA:
        return reportCode(area, 1403);
    case OCI_INVALID_HANDLE:
        return reportCode(area, 1001);
    default:
        // A statement never executed is a fetch out of sequence to the older calls.
        return reportCode(area, code == 24338 ? 1002 : code ? code : 600);
    }
}

} // namespace qdsi::oci

namespace {

// A logon data area's connection: the handles made by olog/orlon, or borrowed from a service
// context by OCISvcCtxToLda.
struct Logon {
    OCIEnv *env = nullptr;
    OCIError *err = nullptr;
    OCIServer *srv = nullptr;
    OCISvcCtx *svc = nullptr;
    OCISession *usr = nullptr;
    bool ownsHandles = true;
    bool autoCommit = false;

    Logon() = default;
    Logon(const Logon &) = delete;
    Logon &operator=(const Logon &) = delete;
    ~Logon()
    {
        if (ownsHandles && env)
            OCIHandleFree(env, OCI_HTYPE_ENV); // frees every handle made from it
        else if (err)
            OCIHandleFree(err, OCI_HTYPE_ERROR);
    }
};

// A cursor data area: a statement and error handle of its logon's environment.
struct Cursor {
    std::weak_ptr<Logon> logon;
    OCIStmt *stmt = nullptr;
    OCIError *err = nullptr;

    StmtHandle *statement() const { return handleOf<StmtHandle>(stmt, OCI_HTYPE_STMT); }
};

// Areas are the caller's memory: they are known by address, never trusted by content.
std::mutex registryMutex;
std::map<const void *, std::shared_ptr<Logon>> logons;
std::map<const void *, std::shared_ptr<Cursor>> cursors;

std::shared_ptr<Logon> logonOf(const Lda_Def *lda)
{
    std::lock_guard lock(registryMutex);
    const auto it = logons.find(lda);
    return it == logons.end() ? nullptr : it->second;
}

std::shared_ptr<Cursor> cursorOf(const Cda_Def *cda)
{
    std::lock_guard lock(registryMutex);
    const auto it = cursors.find(cda);
    return it == cursors.end() ? nullptr : it->second;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

struct Credentials {
    std::string user, password, database;
    ub4 mode = OCI_DEFAULT;
};

// "user/password@database [as sysdba|sysoper]"; a password in double quotes may hold "@".
Credentials splitConnectString(std::string text)
{
    Credentials c;
    const std::string folded = lower(text);
    for (const auto &[suffix, mode] :
        { std::pair<std::string, ub4>(" as sysdba", OCI_SYSDBA), { " as sysoper", OCI_SYSOPER } }) {
        const size_t at = folded.rfind(suffix);
        if (at != std::string::npos
            && folded.find_first_not_of(' ', at + suffix.size()) == std::string::npos) {
            c.mode = mode;
            text.resize(at);
            break;
        }
    }
    const size_t slash = text.find('/');
    size_t at;
    if (slash == std::string::npos) {
        at = text.find('@');
        c.user = text.substr(0, at);
    } else {
        c.user = text.substr(0, slash);
        size_t from = slash + 1;
        if (from < text.size() && text[from] == '"') {
            const size_t close = text.find('"', from + 1);
            from = close == std::string::npos ? text.size() : close + 1;
        }
        at = text.find('@', from);
        c.password = text.substr(slash + 1, at == std::string::npos ? at : at - slash - 1);
    }
    if (at != std::string::npos)
        c.database = text.substr(at + 1);
    if (c.password.size() >= 2 && c.password.front() == '"' && c.password.back() == '"')
        c.password = c.password.substr(1, c.password.size() - 2);
    return c;
}

sword logOn(Lda_Def *lda, const Credentials &c)
{
    if (!lda)
        return -1;
    std::memset(lda, 0, sizeof *lda);
    auto logon = std::make_shared<Logon>();
    void *h = nullptr;
    OCIEnvCreate(&logon->env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(logon->env, &h, OCI_HTYPE_ERROR, 0, nullptr);
    logon->err = static_cast<OCIError *>(h);
    OCIHandleAlloc(logon->env, &h, OCI_HTYPE_SERVER, 0, nullptr);
    logon->srv = static_cast<OCIServer *>(h);
    OCIHandleAlloc(logon->env, &h, OCI_HTYPE_SVCCTX, 0, nullptr);
    logon->svc = static_cast<OCISvcCtx *>(h);
    OCIHandleAlloc(logon->env, &h, OCI_HTYPE_SESSION, 0, nullptr);
    logon->usr = static_cast<OCISession *>(h);
    sword status = OCIServerAttach(logon->srv, logon->err,
        reinterpret_cast<const text *>(c.database.data()), static_cast<sb4>(c.database.size()), 0);
    if (status != OCI_SUCCESS)
        return reportStatus(lda, status, logon->err);
    OCIAttrSet(logon->svc, OCI_HTYPE_SVCCTX, logon->srv, 0, OCI_ATTR_SERVER, logon->err);
    OCIAttrSet(logon->usr, OCI_HTYPE_SESSION, const_cast<char *>(c.user.data()),
        static_cast<ub4>(c.user.size()), OCI_ATTR_USERNAME, logon->err);
    OCIAttrSet(logon->usr, OCI_HTYPE_SESSION, const_cast<char *>(c.password.data()),
        static_cast<ub4>(c.password.size()), OCI_ATTR_PASSWORD, logon->err);
    status = OCISessionBegin(logon->svc, logon->err, logon->usr, OCI_CRED_RDBMS, c.mode);
    if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO)
        return reportStatus(lda, status, logon->err);
    OCIAttrSet(logon->svc, OCI_HTYPE_SVCCTX, logon->usr, 0, OCI_ATTR_SESSION, logon->err);
    std::shared_ptr<Logon> previous;
    {
        std::lock_guard lock(registryMutex);
        previous = std::exchange(logons[lda], logon);
    }
    if (previous && previous->ownsHandles)
        OCISessionEnd(previous->svc, previous->err, previous->usr, 0);
    return reportStatus(lda, status, logon->err); // keeps ORA-28002 / 28011 in rc
}

// Runs a call on the logon of an area; ORA-01012 when the area is not logged on.
template <class F> sword onLogon(Lda_Def *lda, F &&body)
{
    const std::shared_ptr<Logon> logon = logonOf(lda);
    if (!logon)
        return reportCode(lda, 1012);
    return body(*logon);
}

// Runs a call on an open cursor; ORA-01001 when the area is not open, ORA-01012 when its logon
// has ended.
template <class F> sword onCursor(Cda_Def *cda, F &&body)
{
    const std::shared_ptr<Cursor> cursor = cursorOf(cda);
    if (!cursor)
        return reportCode(cda, 1001);
    const std::shared_ptr<Logon> logon = cursor->logon.lock();
    if (!logon)
        return reportCode(cda, 1012);
    if (cda)
        cda->wrn = 0;
    return body(*cursor, *logon);
}

// The counts and codes every cursor call leaves in its area.
void noteCounts(Cda_Def *cda, const Cursor &cursor)
{
    if (StmtHandle *s = cursor.statement()) {
        cda->rpc = s->statement.rowCount();
        cda->peo = static_cast<ub2>(s->statement.parseErrorOffset());
        const int code = s->statement.sqlFunctionCode();
        cda->ft = static_cast<ub2>(code ? code : s->statement.lastSqlFunctionCode());
    }
}

// The row address of the row an INSERT added, in the area's binary form (object number; file,
// block and row parts of the ROWID text), from which the client makes the text again. Left zero
// when there is none, or when the row number outgrows the area's 16-bit row part (SQLite rowids
// from 65536 on): the client then has no row address rather than a wrong one.
void noteRowid(Cda_Def *cda, const Cursor &cursor)
{
    std::memset(&cda->rid, 0, sizeof cda->rid);
    StmtHandle *s = cursor.statement();
    if (!s || s->statement.lastRowid().empty())
        return;
    const std::string &text = s->statement.lastRowid();
    const int64_t object = engine::rowidObject(text);
    const int64_t number = engine::rowidNumber(text);
    if (object < 0 || number < 0)
        return;
    const uint64_t r = static_cast<uint64_t>(number);
    const uint64_t file = r >> 54;
    const uint64_t block = (r & ((uint64_t(1) << 54) - 1)) >> 18;
    const uint64_t row = r & ((uint64_t(1) << 18) - 1);
    if (row > 0xFFFF || block > 0xFFFFFFFFu || object > 0xFFFFFFFF)
        return;
    cda->rid.rd.rcs4 = static_cast<ub4>(object);
    cda->rid.rd.rcs5 = static_cast<ub2>(file);
    cda->rid.rcs7 = static_cast<ub4>(block);
    cda->rid.rcs8 = static_cast<ub2>(row);
}

bool runsAtParse(const StmtHandle &s)
{
    // Data definition runs when it is parsed, as the server does for the older calls.
    const int type = s.statement.statementType();
    return type == 5 || type == 6 || type == 7;
}

} // namespace

QDSI_EXPORT sword olog(Lda_Def *lda, ub1 *, text *uid, sword uidl, text *pswd, sword pswdl,
    text *conn, sword connl, ub4 mode)
{
    Credentials c;
    c.user = textOf(uid, uidl);
    c.password = textOf(pswd, pswdl);
    c.database = textOf(conn, connl);
    if (c.password.empty() && c.database.empty())
        c = splitConnectString(c.user); // the whole connect string in the user argument
    else
        c.mode = mode & (OCI_SYSDBA | OCI_SYSOPER);
    return logOn(lda, c);
}

QDSI_EXPORT sword orlon(Lda_Def *lda, ub1 *, text *uid, sword uidl, text *pswd, sword pswdl, sword)
{
    Credentials c;
    c.user = textOf(uid, uidl);
    c.password = textOf(pswd, pswdl);
    if (c.password.empty())
        c = splitConnectString(c.user);
    return logOn(lda, c);
}

QDSI_EXPORT sword ologof(Lda_Def *lda)
{
    std::shared_ptr<Logon> logon;
    {
        std::lock_guard lock(registryMutex);
        const auto it = logons.find(lda);
        if (it != logons.end()) {
            logon = it->second;
            logons.erase(it);
        }
    }
    if (!logon)
        return reportCode(lda, 1012);
    // Ending the session rolls back what was not committed.
    const sword status = OCISessionEnd(logon->svc, logon->err, logon->usr, 0);
    if (logon->ownsHandles)
        OCIServerDetach(logon->srv, logon->err, 0);
    return reportStatus(lda, status, logon->err);
}

QDSI_EXPORT sword ocom(Lda_Def *lda)
{
    return onLogon(
        lda, [&](Logon &l) { return reportStatus(lda, OCITransCommit(l.svc, l.err, 0), l.err); });
}

QDSI_EXPORT sword orol(Lda_Def *lda)
{
    return onLogon(
        lda, [&](Logon &l) { return reportStatus(lda, OCITransRollback(l.svc, l.err, 0), l.err); });
}

QDSI_EXPORT sword ocon(Lda_Def *lda)
{
    return onLogon(lda, [&](Logon &l) {
        l.autoCommit = true;
        return reportCode(lda, 0);
    });
}

QDSI_EXPORT sword ocof(Lda_Def *lda)
{
    return onLogon(lda, [&](Logon &l) {
        l.autoCommit = false;
        return reportCode(lda, 0);
    });
}

QDSI_EXPORT sword obreak(Lda_Def *lda)
{
    // No lock: the call to interrupt holds the connection.
    return onLogon(lda, [&](Logon &l) { return reportStatus(lda, OCIBreak(l.svc, l.err), l.err); });
}

QDSI_EXPORT sword opinit(ub4)
{
    return 0; // the stand-in needs no process initialisation
}

QDSI_EXPORT sword oopen(Cda_Def *cursor, Lda_Def *lda, text *, sword, sword, text *, sword)
{
    if (!cursor)
        return -1;
    const std::shared_ptr<Logon> logon = logonOf(lda);
    std::memset(cursor, 0, sizeof *cursor);
    if (!logon)
        return reportCode(cursor, 1012);
    auto area = std::make_shared<Cursor>();
    area->logon = logon;
    void *h = nullptr;
    if (OCIHandleAlloc(logon->env, &h, OCI_HTYPE_STMT, 0, nullptr) != OCI_SUCCESS)
        return reportCode(cursor, 1001);
    area->stmt = static_cast<OCIStmt *>(h);
    OCIHandleAlloc(logon->env, &h, OCI_HTYPE_ERROR, 0, nullptr);
    area->err = static_cast<OCIError *>(h);
    area->statement()->statement.keepLongValues(true); // for oflng
    std::shared_ptr<Cursor> previous;
    {
        std::lock_guard lock(registryMutex);
        previous = std::exchange(cursors[cursor], area);
    }
    if (previous) {
        if (const auto previousLogon = previous->logon.lock()) {
            OCIHandleFree(previous->stmt, OCI_HTYPE_STMT);
            OCIHandleFree(previous->err, OCI_HTYPE_ERROR);
        }
    }
    return reportCode(cursor, 0);
}

QDSI_EXPORT sword oclose(Cda_Def *cursor)
{
    std::shared_ptr<Cursor> area;
    {
        std::lock_guard lock(registryMutex);
        const auto it = cursors.find(cursor);
        if (it != cursors.end()) {
            area = it->second;
            cursors.erase(it);
        }
    }
    if (!area)
        return reportCode(cursor, 1001);
    // The handles went with the environment when the logon ended first.
    if (const auto logon = area->logon.lock()) {
        OCIHandleFree(area->stmt, OCI_HTYPE_STMT);
        OCIHandleFree(area->err, OCI_HTYPE_ERROR);
    }
    return reportCode(cursor, 0);
}

QDSI_EXPORT sword oparse(Cda_Def *cursor, text *sqlstm, sb4 sqllen, sword defflg, ub4)
{
    return onCursor(cursor, [&](Cursor &c, Logon &l) {
        const std::string sql = textOf(sqlstm, sqllen);
        sword status = OCIStmtPrepare(c.stmt, c.err, reinterpret_cast<const text *>(sql.data()),
            static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (status == OCI_SUCCESS && !defflg) {
            // An immediate parse checks the text now; data definition also runs now.
            const bool run = runsAtParse(*c.statement());
            status = OCIStmtExecute(l.svc, c.stmt, c.err, run ? 1 : 0, 0, nullptr, nullptr,
                run ? OCI_DEFAULT : OCI_DESCRIBE_ONLY);
        }
        noteCounts(cursor, c);
        return reportStatus(cursor, status, c.err);
    });
}

QDSI_EXPORT sword obndra(Cda_Def *cursor, text *sqlvar, sword sqlvl, ub1 *progv, sword progvl,
    sword ftype, sword, sb2 *indp, ub2 *alen, ub2 *arcode, ub4 maxsiz, ub4 *cursiz, text *, sword,
    sword)
{
    return onCursor(cursor, [&](Cursor &c, Logon &) {
        OCIBind *bind = nullptr;
        const sword status = OCIBindByName(c.stmt, &bind, c.err, sqlvar, sqlvl, progv, progvl,
            static_cast<ub2>(ftype), indp, alen, arcode, maxsiz, cursiz, OCI_DEFAULT);
        return reportStatus(cursor, status, c.err);
    });
}

namespace {

sword execute(Cda_Def *cursor, ub4 iterations, ub4 rowOffset, bool fetch)
{
    return onCursor(cursor, [&](Cursor &c, Logon &l) {
        StmtHandle *s = c.statement();
        const bool select = s->statement.isSelect();
        const ub4 mode = l.autoCommit && !select ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT;
        // A query runs without fetching unless rows are asked for (oexfet).
        const ub4 iters = select ? (fetch ? iterations : 0) : iterations;
        const sword status
            = OCIStmtExecute(l.svc, c.stmt, c.err, iters, rowOffset, nullptr, nullptr, mode);
        noteCounts(cursor, c);
        noteRowid(cursor, c);
        return reportStatus(cursor, status, c.err);
    });
}

} // namespace

QDSI_EXPORT sword oexn(Cda_Def *cursor, sword iters, sword rowoff)
{
    if (iters < 0 || rowoff < 0)
        return reportCode(cursor, 24333);
    return execute(cursor, static_cast<ub4>(iters), static_cast<ub4>(rowoff), false);
}

QDSI_EXPORT sword oexec(Cda_Def *cursor)
{
    return execute(cursor, 1, 0, false);
}

QDSI_EXPORT sword oexfet(Cda_Def *cursor, ub4 nrows, sword cancel, sword)
{
    const sword result = execute(cursor, nrows, 0, true);
    if (cancel) {
        // The cursor is done with its rows after this fetch.
        if (const auto c = cursorOf(cursor))
            if (StmtHandle *s = c->statement())
                s->statement.release();
    }
    return result;
}

QDSI_EXPORT sword ofen(Cda_Def *cursor, sword nrows)
{
    return onCursor(cursor, [&](Cursor &c, Logon &) {
        const sword status = OCIStmtFetch(
            c.stmt, c.err, static_cast<ub4>(std::max(nrows, 1)), OCI_FETCH_NEXT, OCI_DEFAULT);
        noteCounts(cursor, c);
        return reportStatus(cursor, status, c.err);
    });
}

QDSI_EXPORT sword odescr(Cda_Def *cursor, sword pos, sb4 *dbsize, sb2 *dbtype, sb1 *cbuf,
    sb4 *cbufl, sb4 *dsize, sb2 *prec, sb2 *scale, sb2 *nullok)
{
    return onCursor(cursor, [&](Cursor &c, Logon &l) {
        StmtHandle *s = c.statement();
        if (s->statement.isSelect() && s->statement.columns().empty()) {
            // A deferred parse: the select list is known once the server has seen the text.
            const sword status
                = OCIStmtExecute(l.svc, c.stmt, c.err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY);
            if (status != OCI_SUCCESS) {
                noteCounts(cursor, c);
                return reportStatus(cursor, status, c.err);
            }
        }
        const auto &columns = s->statement.columns();
        if (pos < 1 || static_cast<size_t>(pos) > columns.size())
            return reportCode(cursor, 1007); // past the last column: the caller's loop ends
        const sql::ColumnDescription &col = columns[static_cast<size_t>(pos) - 1];
        if (dbsize)
            *dbsize = col.dataSize;
        if (dbtype)
            *dbtype = static_cast<sb2>(col.dataType == 104 ? 11 : col.dataType);
        if (cbuf && cbufl) {
            const size_t n = std::min<size_t>(std::max<sb4>(*cbufl, 0), col.name.size());
            std::memcpy(cbuf, col.name.data(), n);
            *cbufl = static_cast<sb4>(n);
        }
        if (dsize) {
            if (col.dataType == 2)
                *dsize = col.precision > 0 ? col.precision + (col.scale > 0 ? 2 : 1) : 40;
            else if (col.dataType == 12)
                *dsize = 9;
            else
                *dsize = col.dataSize;
        }
        if (prec)
            *prec = static_cast<sb2>(col.precision);
        if (scale)
            *scale = static_cast<sb2>(col.scale);
        if (nullok)
            *nullok = col.nullable ? 1 : 0;
        return reportCode(cursor, 0);
    });
}

QDSI_EXPORT sword odefin(Cda_Def *cursor, sword pos, ub1 *buf, sword bufl, sword ftype, sword,
    sb2 *indp, text *, sword, sword, ub2 *rlen, ub2 *rcode)
{
    return onCursor(cursor, [&](Cursor &c, Logon &) {
        if (pos < 1)
            return reportCode(cursor, 1007);
        OCIDefine *define = nullptr;
        const sword status = OCIDefineByPos(c.stmt, &define, c.err, static_cast<ub4>(pos), buf,
            bufl, static_cast<ub2>(ftype), indp, rlen, rcode, OCI_DEFAULT);
        return reportStatus(cursor, status, c.err);
    });
}

QDSI_EXPORT sword oflng(
    Cda_Def *cursor, sword pos, ub1 *buf, sb4 bufl, sword, ub4 *retl, sb4 offset)
{
    return onCursor(cursor, [&](Cursor &c, Logon &) {
        StmtHandle *s = c.statement();
        if (pos < 1 || static_cast<size_t>(pos) > s->statement.columns().size())
            return reportCode(cursor, 1007);
        if (offset < 0 || bufl < 0 || (!buf && bufl > 0))
            return reportCode(cursor, 1010);
        // The current row's whole value, from the byte the caller asks for.
        const std::string *value = s->statement.lastLongValue(static_cast<size_t>(pos) - 1);
        size_t n = 0;
        if (value && static_cast<size_t>(offset) < value->size()) {
            n = std::min<size_t>(static_cast<size_t>(bufl), value->size() - offset);
            std::memcpy(buf, value->data() + offset, n);
        }
        if (retl)
            *retl = static_cast<ub4>(n);
        return reportCode(cursor, 0);
    });
}

// Test hook: the service context behind a logon data area (null for an unknown area), so the
// other hooks reach a session on the older calls.
QDSI_EXPORT void *qdsi_lda_service(void *lda)
{
    const std::shared_ptr<Logon> logon = logonOf(static_cast<const Lda_Def *>(lda));
    return logon ? logon->svc : nullptr;
}

QDSI_EXPORT sword OCISvcCtxToLda(OCISvcCtx *svchp, OCIError *errhp, Lda_Def *ldap)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    if (!service || !ldap)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    if (!service->session || !service->session->session)
        return fail(errhp, 1012);
    auto logon = std::make_shared<Logon>();
    logon->ownsHandles = false;
    logon->env = reinterpret_cast<OCIEnv *>(static_cast<Handle *>(service->env));
    logon->svc = svchp;
    logon->srv = reinterpret_cast<OCIServer *>(static_cast<Handle *>(service->server));
    logon->usr = reinterpret_cast<OCISession *>(static_cast<Handle *>(service->session));
    void *h = nullptr;
    if (OCIHandleAlloc(logon->env, &h, OCI_HTYPE_ERROR, 0, nullptr) != OCI_SUCCESS)
        return OCI_INVALID_HANDLE;
    logon->err = static_cast<OCIError *>(h);
    std::memset(ldap, 0, sizeof *ldap);
    {
        std::lock_guard lock(registryMutex);
        logons[ldap] = logon;
    }
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCILdaToSvcCtx(OCISvcCtx **svchpp, OCIError *errhp, Lda_Def *ldap)
{
    if (!svchpp)
        return OCI_INVALID_HANDLE;
    std::shared_ptr<Logon> logon;
    {
        std::lock_guard lock(registryMutex);
        const auto it = logons.find(ldap);
        if (it != logons.end()) {
            logon = it->second;
            logons.erase(it);
        }
    }
    clearError(errhp);
    if (!logon)
        return fail(errhp, 1012);
    // The service context outlives the area now; its handles are the caller's.
    *svchpp = logon->svc;
    if (logon->ownsHandles) {
        logon->ownsHandles = false;
        logon->err = nullptr;
    }
    return OCI_SUCCESS;
}
