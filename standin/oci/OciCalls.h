#pragma once

// Prototypes of the exported handle-based calls that other parts of the stand-in reuse (the
// older cursor calls run over them). They are defined with QDSI_EXPORT in the *Calls.cpp files;
// the signatures here must stay the same as there.

#include "oci/OciTypes.h"

extern "C" {
sword OCIEnvCreate(OCIEnv **envhpp, ub4 mode, void *ctxp, OCIMallocFn, OCIReallocFn, OCIFreeFn,
    size_t xtramem_sz, void **usrmempp);
sword OCIHandleAlloc(
    const void *parenth, void **hndlpp, ub4 type, size_t xtramem_sz, void **usrmempp);
sword OCIHandleFree(void *hndlp, ub4 type);
sword OCIAttrSet(
    void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype, OCIError *errhp);
sword OCIServerAttach(OCIServer *srvhp, OCIError *errhp, const text *dblink, sb4 dblink_len, ub4);
sword OCIServerDetach(OCIServer *srvhp, OCIError *errhp, ub4);
sword OCISessionBegin(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4 mode);
sword OCISessionEnd(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4);
sword OCIBreak(void *hndlp, OCIError *errhp);
sword OCITransCommit(OCISvcCtx *svchp, OCIError *errhp, ub4);
sword OCITransRollback(OCISvcCtx *svchp, OCIError *errhp, ub4);
sword OCIStmtPrepare(OCIStmt *stmtp, OCIError *errhp, const text *stmt, ub4 stmt_len, ub4, ub4);
sword OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff,
    const OCISnapshot *, OCISnapshot *, ub4 mode);
sword OCIStmtFetch(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, ub4);
sword OCIBindByName(OCIStmt *stmtp, OCIBind **bindpp, OCIError *errhp, const text *placeholder,
    sb4 placeh_len, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep,
    ub4 maxarr_len, ub4 *curelep, ub4 mode);
sword OCIDefineByPos(OCIStmt *stmtp, OCIDefine **defnpp, OCIError *errhp, ub4 position,
    void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep, ub4 mode);
}
