#include "StandinClient.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <dlfcn.h>
#include <thread>

namespace qd::test::standin {

namespace {

template <class F> void bind(void *library, F &pointer, const char *name)
{
    pointer = reinterpret_cast<F>(dlsym(library, name));
    if (!pointer)
        ADD_FAILURE() << "missing export " << name;
}

Api load()
{
    Api a;
    const std::string path = standinLibraryPath().toStdString();
    a.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!a.library) {
        ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
        return a;
    }
    bind(a.library, a.EnvCreate, "OCIEnvCreate");
    bind(a.library, a.HandleAlloc, "OCIHandleAlloc");
    bind(a.library, a.HandleFree, "OCIHandleFree");
    bind(a.library, a.DescriptorAlloc, "OCIDescriptorAlloc");
    bind(a.library, a.DescriptorFree, "OCIDescriptorFree");
    bind(a.library, a.AttrGet, "OCIAttrGet");
    bind(a.library, a.AttrSet, "OCIAttrSet");
    bind(a.library, a.ErrorGet, "OCIErrorGet");
    bind(a.library, a.ServerAttach, "OCIServerAttach");
    bind(a.library, a.ServerDetach, "OCIServerDetach");
    bind(a.library, a.SessionBegin, "OCISessionBegin");
    bind(a.library, a.SessionEnd, "OCISessionEnd");
    bind(a.library, a.PasswordChange, "OCIPasswordChange");
    bind(a.library, a.ServerVersion, "OCIServerVersion");
    bind(a.library, a.Break, "OCIBreak");
    bind(a.library, a.TransCommit, "OCITransCommit");
    bind(a.library, a.TransRollback, "OCITransRollback");
    bind(a.library, a.StmtPrepare, "OCIStmtPrepare");
    bind(a.library, a.StmtExecute, "OCIStmtExecute");
    bind(a.library, a.StmtFetch, "OCIStmtFetch");
    bind(a.library, a.StmtFetch2, "OCIStmtFetch2");
    bind(a.library, a.BindByName, "OCIBindByName");
    bind(a.library, a.BindByPos, "OCIBindByPos");
    bind(a.library, a.DefineByPos, "OCIDefineByPos");
    bind(a.library, a.ParamGet, "OCIParamGet");
    bind(a.library, a.Logon, "OCILogon");
    bind(a.library, a.traceCount, "qdsi_trace_count");
    bind(a.library, a.traceGet, "qdsi_trace_get");
    bind(a.library, a.roundTrips, "qdsi_round_trips");
    bind(a.library, a.resetRoundTrips, "qdsi_reset_round_trips");
    bind(a.library, a.callInProgress, "qdsi_call_in_progress");
    bind(a.library, a.failNextLogon, "qdsi_fail_next_logon");
    bind(a.library, a.loseConnection, "qdsi_lose_connection");
    bind(a.library, a.blockNextFetch, "qdsi_block_next_fetch");
    bind(a.library, a.setRowDelay, "qdsi_set_row_delay");
    return a;
}

int codeOf(void *err)
{
    sb4 code = 0;
    text buffer[4001];
    if (api().ErrorGet(err, 1, nullptr, &code, buffer, sizeof buffer, HTYPE_ERROR) != SUCCESS)
        return 0;
    return code;
}

std::string textOf(void *err)
{
    sb4 code = 0;
    text buffer[4001];
    if (api().ErrorGet(err, 1, nullptr, &code, buffer, sizeof buffer, HTYPE_ERROR) != SUCCESS)
        return {};
    return reinterpret_cast<const char *>(buffer);
}

const text *bytes(const std::string &s)
{
    return reinterpret_cast<const text *>(s.c_str());
}

} // namespace

const Api &api()
{
    static const Api loaded = load();
    return loaded;
}

void *symbol(const char *name)
{
    return api().library ? dlsym(api().library, name) : nullptr;
}

Connection::Connection()
{
    const Api &a = api();
    EXPECT_EQ(a.EnvCreate(&env, THREADED | OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
        SUCCESS);
    a.HandleAlloc(env, &err, HTYPE_ERROR, 0, nullptr);
    a.HandleAlloc(env, &srv, HTYPE_SERVER, 0, nullptr);
    a.HandleAlloc(env, &svc, HTYPE_SVCCTX, 0, nullptr);
    a.HandleAlloc(env, &usr, HTYPE_SESSION, 0, nullptr);
    a.HandleAlloc(env, &stmt, HTYPE_STMT, 0, nullptr);
}

Connection::~Connection()
{
    logoff();
    api().HandleFree(env, HTYPE_ENV);
}

sword Connection::logon(
    const std::string &user, const std::string &password, const std::string &alias)
{
    const Api &a = api();
    sword status = a.ServerAttach(srv, err, bytes(alias), static_cast<sb4>(alias.size()), DEFAULT);
    if (status != SUCCESS)
        return status;
    a.AttrSet(svc, HTYPE_SVCCTX, srv, 0, ATTR_SERVER, err);
    a.AttrSet(svc, HTYPE_SVCCTX, usr, 0, ATTR_SESSION, err);
    a.AttrSet(usr, HTYPE_SESSION, const_cast<char *>(user.c_str()), static_cast<ub4>(user.size()),
        ATTR_USERNAME, err);
    a.AttrSet(usr, HTYPE_SESSION, const_cast<char *>(password.c_str()),
        static_cast<ub4>(password.size()), ATTR_PASSWORD, err);
    status = a.SessionBegin(svc, err, usr, CRED_RDBMS, DEFAULT);
    loggedOn = status == SUCCESS || status == SUCCESS_WITH_INFO;
    return status;
}

void Connection::logoff()
{
    if (loggedOn)
        api().SessionEnd(svc, err, usr, DEFAULT);
    loggedOn = false;
}

int Connection::errorCode() const
{
    return codeOf(err);
}

std::string Connection::errorText() const
{
    return textOf(err);
}

sword Connection::run(const std::string &sql, ub4 mode)
{
    const Api &a = api();
    sword status
        = a.StmtPrepare(stmt, err, bytes(sql), static_cast<ub4>(sql.size()), NTV_SYNTAX, DEFAULT);
    if (status != SUCCESS)
        return status;
    ub2 type = 0;
    a.AttrGet(stmt, HTYPE_STMT, &type, nullptr, ATTR_STMT_TYPE, err);
    return a.StmtExecute(svc, stmt, err, type == 1 ? 0 : 1, 0, nullptr, nullptr, mode);
}

Cursor::Cursor(Connection &c, const std::string &sql)
    : connection(c)
{
    api().HandleAlloc(c.env, &stmt, HTYPE_STMT, 0, nullptr);
    api().HandleAlloc(c.env, &err, HTYPE_ERROR, 0, nullptr);
    if (!sql.empty()) {
        EXPECT_EQ(prepare(sql), SUCCESS) << sql;
    }
}

Cursor::~Cursor()
{
    api().HandleFree(stmt, HTYPE_STMT);
    api().HandleFree(err, HTYPE_ERROR);
}

sword Cursor::prepare(const std::string &sql)
{
    return api().StmtPrepare(
        stmt, err, bytes(sql), static_cast<ub4>(sql.size()), NTV_SYNTAX, DEFAULT);
}

sword Cursor::execute(ub4 iterations, ub4 rowOffset, ub4 mode)
{
    return api().StmtExecute(
        connection.svc, stmt, err, iterations, rowOffset, nullptr, nullptr, mode);
}

sword Cursor::fetch(ub4 rows)
{
    return api().StmtFetch2(stmt, err, rows, FETCH_NEXT, 0, DEFAULT);
}

ub4 Cursor::attribute4(ub4 attr) const
{
    ub4 value = 0;
    api().AttrGet(stmt, HTYPE_STMT, &value, nullptr, attr, err);
    return value;
}

ub2 Cursor::attribute2(ub4 attr) const
{
    ub2 value = 0;
    api().AttrGet(stmt, HTYPE_STMT, &value, nullptr, attr, err);
    return value;
}

int Cursor::errorCode() const
{
    return codeOf(err);
}

std::string Cursor::errorText() const
{
    return textOf(err);
}

FetchedText fetchAsText(Cursor &cursor, size_t width, bool takeTruncated)
{
    FetchedText out;
    const ub4 count = cursor.attribute4(ATTR_PARAM_COUNT);
    std::vector<std::vector<char>> values(count, std::vector<char>(width));
    std::vector<sb2> indicators(count);
    for (ub4 i = 0; i < count; ++i) {
        void *define = nullptr;
        EXPECT_EQ(api().DefineByPos(cursor.stmt, &define, cursor.err, i + 1, values[i].data(),
                      static_cast<sb4>(width), SQLT_STR, &indicators[i], nullptr, nullptr, DEFAULT),
            SUCCESS);
    }
    for (;;) {
        out.status = cursor.fetch(1);
        if (out.status != SUCCESS && !(takeTruncated && out.status == SUCCESS_WITH_INFO))
            return out;
        auto &row = out.rows.emplace_back();
        for (ub4 i = 0; i < count; ++i)
            row.push_back(
                indicators[i] == -1 ? std::nullopt : std::optional<std::string>(values[i].data()));
    }
}

bool waitForCall(void *svc)
{
    for (int i = 0; i < 2000; ++i) {
        if (api().callInProgress(svc) == 1)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace qd::test::standin
