// Entry points of the client interface that the stand-in does not implement yet. Each is
// exported with its published signature so that a full load finds every name; each fails with
// ORA-03001 (unimplemented feature) on the error handle it is given. The older cursor calls
// return -1 and put 3001 into the return code of the logon or cursor area they are given.
#include "Export.h"
#include "oci/Handles.h"

using namespace qdsi::oci;

namespace {

sword unimplemented(OCIError *errhp)
{
    return fail(errhp, 3001);
}

sword unimplemented7(Cda_Def *area)
{
    if (area) {
        area->rc = 3001;
        area->v2_rc = -3001;
    }
    return -1;
}

} // namespace

QDSI_EXPORT sword OCILogon(OCIEnv *, OCIError *errhp, OCISvcCtx **, const text *, ub4, const text *,
    ub4, const text *, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILogoff(OCISvcCtx *, OCIError *errhp)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIBindDynamic(
    OCIBind *, OCIError *errhp, void *, OCICallbackInBind, void *, OCICallbackOutBind)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIStmtGetPieceInfo(
    OCIStmt *, OCIError *errhp, void **, ub4 *, ub1 *, ub4 *, ub4 *, ub1 *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIStmtSetPieceInfo(
    void *, ub4, OCIError *errhp, const void *, ub4 *, ub1, const void *, ub2 *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIStmtGetBindInfo(
    OCIStmt *, OCIError *errhp, ub4, ub4, sb4 *, text **, ub1 *, text **, ub1 *, ub1 *, OCIBind **)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIParamSet(void *, ub4, OCIError *errhp, const void *, ub4, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCITransStart(OCISvcCtx *, OCIError *errhp, uword, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCITransDetach(OCISvcCtx *, OCIError *errhp, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCITransPrepare(OCISvcCtx *, OCIError *errhp, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCITransForget(OCISvcCtx *, OCIError *errhp, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobAppend(OCISvcCtx *, OCIError *errhp, OCILobLocator *, OCILobLocator *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobAssign(OCIEnv *, OCIError *errhp, const OCILobLocator *, OCILobLocator **)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobCharSetForm(OCIEnv *, OCIError *errhp, const OCILobLocator *, ub1 *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobCharSetId(OCIEnv *, OCIError *errhp, const OCILobLocator *, ub2 *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobCopy(
    OCISvcCtx *, OCIError *errhp, OCILobLocator *, OCILobLocator *, ub4, ub4, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobDisableBuffering(OCISvcCtx *, OCIError *errhp, OCILobLocator *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobEnableBuffering(OCISvcCtx *, OCIError *errhp, OCILobLocator *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobErase(OCISvcCtx *, OCIError *errhp, OCILobLocator *, ub4 *, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobFileCloseAll(OCISvcCtx *, OCIError *errhp)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobFileExists(OCISvcCtx *, OCIError *errhp, OCILobLocator *, boolean *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobFileGetName(
    OCIEnv *, OCIError *errhp, const OCILobLocator *, text *, ub2 *, text *, ub2 *)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobFileSetName(
    OCIEnv *, OCIError *errhp, OCILobLocator **, const text *, ub2, const text *, ub2)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobFlushBuffer(OCISvcCtx *, OCIError *errhp, OCILobLocator *, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCILobIsEqual(OCIEnv *, const OCILobLocator *, const OCILobLocator *, boolean *)
{
    return unimplemented(nullptr);
}

QDSI_EXPORT sword OCILobLoadFromFile(
    OCISvcCtx *, OCIError *errhp, OCILobLocator *, OCILobLocator *, ub4, ub4, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIResultSetToStmt(OCIResult *, OCIError *errhp)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIObjectLock(OCIEnv *, OCIError *err, void *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectMarkUpdate(OCIEnv *, OCIError *err, void *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectUnmark(OCIEnv *, OCIError *err, void *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectMarkDelete(OCIEnv *, OCIError *err, void *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectFlush(OCIEnv *, OCIError *err, void *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectCopy(OCIEnv *, OCIError *err, const OCISvcCtx *, void *, void *, void *,
    void *, OCIType *, OCIDuration, ub1)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectGetTypeRef(OCIEnv *, OCIError *err, void *, OCIRef *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectGetObjectRef(OCIEnv *, OCIError *err, void *, OCIRef *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectExists(OCIEnv *, OCIError *err, void *, boolean *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectIsLocked(OCIEnv *, OCIError *err, void *, boolean *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectIsDirty(OCIEnv *, OCIError *err, void *, boolean *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectRefresh(OCIEnv *, OCIError *err, void *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectPinTable(OCIEnv *, OCIError *err, const OCISvcCtx *, const oratext *,
    ub4, const oratext *, ub4, const OCIRef *, OCIDuration, void **)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCITypeByName(OCIEnv *, OCIError *err, const OCISvcCtx *, const oratext *, ub4,
    const oratext *, ub4, const oratext *, ub4, OCIDuration, OCITypeGetOpt, OCIType **)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectGetAttr(OCIEnv *, OCIError *err, void *, void *, OCIType *,
    const oratext **, const ub4 *, const ub4, const ub4 *, const ub4, OCIInd *, void **, void **,
    OCIType **)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIObjectSetAttr(OCIEnv *, OCIError *err, void *, void *, OCIType *,
    const oratext **, const ub4 *, const ub4, const ub4 *, const ub4, const OCIInd, const void *,
    const void *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIStringAssignText(OCIEnv *, OCIError *err, const oratext *, ub4, OCIString **)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCINumberFromInt(OCIError *err, const void *, uword, uword, OCINumber *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCINumberFromReal(OCIError *err, const void *, uword, OCINumber *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCINumberFromText(
    OCIError *err, const oratext *, ub4, const oratext *, ub4, const oratext *, ub4, OCINumber *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIRawAssignBytes(OCIEnv *, OCIError *err, const ub1 *, ub4, OCIRaw **)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIRefFromHex(
    OCIEnv *, OCIError *err, const OCISvcCtx *, const oratext *, ub4, OCIRef **)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCICollTrim(OCIEnv *, OCIError *err, sb4, OCIColl *)
{
    return unimplemented(err);
}

QDSI_EXPORT sb4 OCICollMax(OCIEnv *, const OCIColl *)
{
    return 0;
}

QDSI_EXPORT sword OCICollGetElem(
    OCIEnv *, OCIError *err, const OCIColl *, sb4, boolean *, void **, void **)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCICollAssignElem(
    OCIEnv *, OCIError *err, sb4, const void *, const void *, OCIColl *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCICollAppend(OCIEnv *, OCIError *err, const void *, const void *, OCIColl *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCITableDelete(OCIEnv *, OCIError *err, sb4, OCITable *)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCICacheFlush(OCIEnv *, OCIError *err, const OCISvcCtx *, void *,
    OCIRef *(*)(void *context, ub1 *last), OCIRef **)
{
    return unimplemented(err);
}

QDSI_EXPORT sword OCIDirPathAbort(OCIDirPathCtx *, OCIError *errhp)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIDirPathFinish(OCIDirPathCtx *, OCIError *errhp)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIDirPathPrepare(OCIDirPathCtx *, OCISvcCtx *, OCIError *errhp)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIDirPathColArrayEntrySet(
    OCIDirPathColArray *, OCIError *errhp, ub4, ub2, ub1 *, ub4, ub1)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIDirPathColArrayToStream(
    OCIDirPathColArray *, const OCIDirPathCtx *, OCIDirPathStream *, OCIError *errhp, ub4, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIDirPathLoadStream(OCIDirPathCtx *, OCIDirPathStream *, OCIError *errhp)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCIDirPathStreamReset(OCIDirPathStream *, OCIError *errhp)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCISessionPoolCreate(OCIEnv *, OCIError *errhp, OCISPool *, oratext **, ub4 *,
    const oratext *, ub4, ub4, ub4, ub4, oratext *, ub4, oratext *, ub4, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCISessionPoolDestroy(OCISPool *, OCIError *errhp, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCISessionGet(OCIEnv *, OCIError *errhp, OCISvcCtx **, OCIAuthInfo *, oratext *,
    ub4, const void *, ub4, oratext **, ub4 *, boolean *, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword OCISessionRelease(OCISvcCtx *, OCIError *errhp, oratext *, ub4, ub4)
{
    return unimplemented(errhp);
}

QDSI_EXPORT sword odessp(Lda_Def *cursor, text *, size_t, ub1 *, size_t, ub1 *, size_t, ub2 *,
    ub2 *, ub2 *, text **, ub2 *, ub2 *, ub1 *, ub1 *, ub4 *, sb2 *, sb2 *, ub1 *, ub4 *, ub4 *)
{
    return unimplemented7(cursor);
}

