// Feeds arbitrary statement text through the stand-in's prepare, translation and SQLite
// preparation (describe-only execute, so nothing is changed): it must never crash or hang, and
// every failure must be an ORA error on the error handle.
#include "oci/OciTypes.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
sword OCIEnvCreate(OCIEnv **, ub4, void *, OCIMallocFn, OCIReallocFn, OCIFreeFn, size_t, void **);
sword OCIHandleAlloc(const void *, void **, ub4, size_t, void **);
sword OCIAttrSet(void *, ub4, void *, ub4, ub4, OCIError *);
sword OCIServerAttach(OCIServer *, OCIError *, const text *, sb4, ub4);
sword OCISessionBegin(OCISvcCtx *, OCIError *, OCISession *, ub4, ub4);
sword OCIStmtPrepare(OCIStmt *, OCIError *, const text *, ub4, ub4, ub4);
sword OCIStmtExecute(
    OCISvcCtx *, OCIStmt *, OCIError *, ub4, ub4, const OCISnapshot *, OCISnapshot *, ub4);
sword OCIErrorGet(void *, ub4, text *, sb4 *, text *, ub4, ub4);
}

namespace {

void *env, *err, *srv, *svc, *usr, *stmt;

void logOn()
{
    char dir[] = "/tmp/qdsi-fuzz-XXXXXX";
    if (!mkdtemp(dir))
        std::abort();
    setenv("QD_HOME", dir, 1);
    unsetenv("QD_STANDIN_CONFIG");
    OCIEnvCreate(
        reinterpret_cast<OCIEnv **>(&env), 1, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, &err, 2, 0, nullptr);
    OCIHandleAlloc(env, &srv, 8, 0, nullptr);
    OCIHandleAlloc(env, &svc, 3, 0, nullptr);
    OCIHandleAlloc(env, &usr, 9, 0, nullptr);
    OCIHandleAlloc(env, &stmt, 4, 0, nullptr);
    auto *e = static_cast<OCIError *>(err);
    OCIServerAttach(static_cast<OCIServer *>(srv), e, reinterpret_cast<const text *>("DEMO"), 4, 0);
    OCIAttrSet(svc, 3, srv, 0, 6, e);
    OCIAttrSet(svc, 3, usr, 0, 7, e);
    OCIAttrSet(usr, 9, const_cast<char *>("DEMO"), 4, 22, e);
    OCIAttrSet(usr, 9, const_cast<char *>("DEMO"), 4, 23, e);
    if (OCISessionBegin(static_cast<OCISvcCtx *>(svc), e, static_cast<OCISession *>(usr), 1, 0)
        != 0)
        std::abort();
}

void checkOraError(sword status)
{
    if (status == 0 || status == 1)
        return;
    if (status != -1)
        std::abort();
    text message[1024] = {};
    sb4 code = 0;
    if (OCIErrorGet(err, 1, nullptr, &code, message, sizeof message, 2) != 0 || code <= 0
        || std::strncmp(reinterpret_cast<char *>(message), "ORA-", 4) != 0) {
        std::fprintf(stderr, "not an ORA error: %d %s\n", code, message);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = (logOn(), true);
    (void)ready;
    auto *e = static_cast<OCIError *>(err);
    checkOraError(
        OCIStmtPrepare(static_cast<OCIStmt *>(stmt), e, data, static_cast<ub4>(size), 1, 0));
    checkOraError(OCIStmtExecute(static_cast<OCISvcCtx *>(svc), static_cast<OCIStmt *>(stmt), e, 0,
        0, nullptr, nullptr, 0x10));
    return 0;
}
