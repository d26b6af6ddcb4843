// Attaching to an alias, sessions, passwords, server version, break and transactions.
#include "Export.h"
#include "engine/OraErrors.h"
#include "oci/Handles.h"
#include "oci/Logon.h"

#include <cstring>

using namespace qdsi;
using namespace qdsi::oci;
using engine::oraFail;

namespace {

// The logged-on session of a service context; throws ORA-01012 when there is none.
engine::Session &sessionOf(SvcCtxHandle &service)
{
    if (!service.session || !service.session->session)
        throw oraFail(1012);
    return *service.session->session;
}

} // namespace

QDSI_EXPORT sword OCIServerAttach(
    OCIServer *srvhp, OCIError *errhp, const text *dblink, sb4 dblink_len, ub4)
{
    auto *server = handleOf<ServerHandle>(srvhp, OCI_HTYPE_SERVER);
    if (!server)
        return OCI_INVALID_HANDLE;
    return guarded(errhp, [&] {
        std::shared_ptr<engine::Config> config;
        try {
            config = engine::Config::current();
        } catch (const std::runtime_error &e) {
            throw oraFail(600, std::string("stand-in configuration: ") + e.what());
        }
        const engine::AliasEntry *alias = config->findAlias(textOf(dblink, dblink_len));
        if (!alias)
            throw oraFail(12154);
        server->config = config;
        server->alias = alias;
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIServerDetach(OCIServer *srvhp, OCIError *errhp, ub4)
{
    auto *server = handleOf<ServerHandle>(srvhp, OCI_HTYPE_SERVER);
    if (!server)
        return OCI_INVALID_HANDLE;
    clearError(errhp);
    server->alias = nullptr;
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCISessionBegin(
    OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    auto *user = handleOf<SessionHandle>(usrhp, OCI_HTYPE_SESSION);
    if (!service || !user)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(service->callLock);
    return guarded(errhp, [&] {
        if (credt != OCI_CRED_RDBMS)
            throw oraFail(1017); // no operating-system authentication here
        if (user->session)
            throw oraFail(600, "session already begun");
        const int warning = beginSession(*service, *user, user->password, false);
        return warning ? note(errhp, warning, OCI_SUCCESS_WITH_INFO) : OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCISessionEnd(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    if (!service)
        return OCI_INVALID_HANDLE;
    SessionHandle *user
        = usrhp ? handleOf<SessionHandle>(usrhp, OCI_HTYPE_SESSION) : service->session;
    if (!user)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(service->callLock);
    clearError(errhp);
    user->session.reset();
    return OCI_SUCCESS;
}

QDSI_EXPORT sword OCIPasswordChange(OCISvcCtx *svchp, OCIError *errhp, const text *user_name,
    ub4 usernm_len, const text *opasswd, ub4 opasswd_len, const text *npasswd, ub4 npasswd_len,
    ub4 mode)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    if (!service)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(service->callLock);
    return guarded(errhp, [&] {
        ServerHandle *server = service->server;
        if (!server || !server->alias)
            throw oraFail(3114);
        const std::string name = foldUserName(textOf(user_name, static_cast<sb4>(usernm_len)));
        const std::string oldPassword = textOf(opasswd, static_cast<sb4>(opasswd_len));
        const std::string newPassword = textOf(npasswd, static_cast<sb4>(npasswd_len));
        const bool withoutSession = (mode & OCI_AUTH) != 0;
        if (!withoutSession && (!service->session || !service->session->session))
            throw oraFail(1012);
        if (newPassword.empty())
            throw oraFail(988);
        // Check the old password (a logon that may be expired), then store the new one.
        SessionHandle probe;
        probe.userName = name;
        SvcCtxHandle check;
        check.server = server;
        beginSession(check, probe, oldPassword, true);
        probe.session.reset();
        {
            std::lock_guard configLock(server->config->mutex);
            auto &users = const_cast<engine::AliasEntry *>(server->alias)->users;
            auto &entry = users.at(name);
            entry.password = newPassword;
            entry.state = engine::PasswordState::Open;
        }
        // Without a session the call logs the user on with the new password, as the client does.
        if (withoutSession && service->session && !service->session->session) {
            service->session->userName = name;
            service->session->password = newPassword;
            beginSession(*service, *service->session, newPassword, false);
        }
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIServerVersion(
    void *hndlp, OCIError *errhp, text *bufp, ub4 bufsz, ub1 hndltype)
{
    const ServerHandle *server = nullptr;
    if (hndltype == OCI_HTYPE_SERVER)
        server = handleOf<ServerHandle>(hndlp, OCI_HTYPE_SERVER);
    else if (auto *service = handleOf<SvcCtxHandle>(hndlp, OCI_HTYPE_SVCCTX))
        server = service->server;
    if (!server)
        return OCI_INVALID_HANDLE;
    return guarded(errhp, [&] {
        if (!server->alias)
            throw oraFail(3114);
        if (bufp && bufsz > 0) {
            const std::string &banner = server->alias->banner;
            const size_t n = std::min<size_t>(bufsz - 1, banner.size());
            std::memcpy(bufp, banner.data(), n);
            bufp[n] = '\0';
        }
        return OCI_SUCCESS;
    });
}

QDSI_EXPORT sword OCIBreak(void *hndlp, OCIError *errhp)
{
    // Runs without the service context's call lock: another thread holds it while it works.
    auto *service = handleOf<SvcCtxHandle>(hndlp, OCI_HTYPE_SVCCTX);
    if (!service) {
        if (handleOf<ServerHandle>(hndlp, OCI_HTYPE_SERVER))
            return OCI_SUCCESS;
        return OCI_INVALID_HANDLE;
    }
    clearError(errhp);
    SessionHandle *user = service->session;
    if (user && user->session)
        user->session->requestBreak();
    return OCI_SUCCESS;
}

namespace {

template <class F> sword transactionCall(OCISvcCtx *svchp, OCIError *errhp, F &&action)
{
    auto *service = handleOf<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    if (!service)
        return OCI_INVALID_HANDLE;
    std::lock_guard lock(service->callLock);
    return guarded(errhp, [&] {
        engine::Session &session = sessionOf(*service);
        engine::Session::Call call(session, true);
        session.checkConnection();
        action(session);
        return OCI_SUCCESS;
    });
}

} // namespace

QDSI_EXPORT sword OCITransCommit(OCISvcCtx *svchp, OCIError *errhp, ub4)
{
    return transactionCall(svchp, errhp, [](engine::Session &s) { s.commit(); });
}

QDSI_EXPORT sword OCITransRollback(OCISvcCtx *svchp, OCIError *errhp, ub4)
{
    return transactionCall(svchp, errhp, [](engine::Session &s) { s.rollback(); });
}
