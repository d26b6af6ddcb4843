#pragma once

// The client library's entry points by capability group, as X-macro lists:
// X(name, return type, (parameters)). One list serves the function-pointer types, the
// entry-point table and its binding, so a name and its signature are written once.
// The signatures are those the client library publishes.

#define QD_OCI7_ENTRY_POINTS(X)                                                                    \
    X(orlon, sword,                                                                                \
      (Lda_Def * lda, ub1 * hda, OraText * uid, sword uidl, OraText * pswd, sword pswdl,           \
       sword audit))                                                                               \
    X(ologof, sword, (Lda_Def * lda))                                                              \
    X(oerhms, sword, (Lda_Def * lda, sb2 rcode, OraText * buf, sword bufsiz))                      \
    X(oopen, sword,                                                                                \
      (Cda_Def * cursor, Lda_Def * lda, OraText * dbn, sword dbnl, sword arsize, OraText * uid,    \
       sword uidl))                                                                                \
    X(oparse, sword, (Cda_Def * cursor, OraText * sqlstm, sb4 sqllen, sword defflg, ub4 lngflg))   \
    X(odefin, sword,                                                                               \
      (Cda_Def * cursor, sword pos, ub1 * buf, sword bufl, sword ftype, sword scale, sb2 * indp,   \
       OraText * fmt, sword fmtl, sword fmtt, ub2 * rlen, ub2 * rcode))                            \
    X(oexfet, sword, (Cda_Def * cursor, ub4 nrows, sword cancel, sword exact))                     \
    X(ofen, sword, (Cda_Def * cursor, sword nrows))                                                \
    X(oflng, sword,                                                                                \
      (Cda_Def * cursor, sword pos, ub1 * buf, sb4 bufl, sword dtype, ub4 * retl, sb4 offset))     \
    X(oclose, sword, (Cda_Def * cursor))                                                           \
    X(odescr, sword,                                                                               \
      (Cda_Def * cursor, sword pos, sb4 * dbsize, sb2 * dbtype, sb1 * cbuf, sb4 * cbufl,           \
       sb4 * dsize, sb2 * prec, sb2 * scale, sb2 * nullok))                                        \
    X(oexec, sword, (Cda_Def * cursor))                                                            \
    X(oexn, sword, (Cda_Def * cursor, sword iters, sword rowoff))                                  \
    X(ocom, sword, (Lda_Def * lda))                                                                \
    X(orol, sword, (Lda_Def * lda))                                                                \
    X(ocon, sword, (Lda_Def * lda))                                                                \
    X(ocof, sword, (Lda_Def * lda))                                                                \
    X(obreak, sword, (Lda_Def * lda))                                                              \
    X(obndra, sword,                                                                               \
      (Cda_Def * cursor, OraText * sqlvar, sword sqlvl, ub1 * progv, sword progvl, sword ftype,    \
       sword scale, sb2 * indp, ub2 * alen, ub2 * arcode, ub4 maxsiz, ub4 * cursiz, OraText * fmt, \
       sword fmtl, sword fmtt))                                                                    \
    X(odessp, sword,                                                                               \
      (Lda_Def * lda, OraText * objnam, size_t onlen, ub1 * rsv1, size_t rsv1ln, ub1 * rsv2,       \
       size_t rsv2ln, ub2 * ovrld, ub2 * pos, ub2 * level, OraText * *argnm, ub2 * arnlen,         \
       ub2 * dtype, ub1 * defsup, ub1 * mode, ub4 * dtsiz, sb2 * prec, sb2 * scale, ub1 * radix,   \
       ub4 * spare, ub4 * arrsiz))

#define QD_OCI7_LOG_ENTRY_POINTS(X)                                                                \
    X(olog, sword,                                                                                 \
      (Lda_Def * lda, ub1 * hda, OraText * uid, sword uidl, OraText * pswd, sword pswdl,           \
       OraText * conn, sword connl, ub4 mode))

#define QD_OCI7_INIT_ENTRY_POINTS(X) X(opinit, sword, (ub4 mode))

#define QD_OCI8_ENTRY_POINTS(X)                                                                    \
    X(OCIInitialize, sword,                                                                        \
      (ub4 mode, void *ctxp, OCIMallocCallback malocfp, OCIReallocCallback ralocfp,                \
       OCIFreeCallback mfreefp))                                                                   \
    X(OCIHandleAlloc, sword,                                                                       \
      (const void *parenth, void **hndlpp, ub4 type, size_t xtramem_sz, void **usrmempp))          \
    X(OCIHandleFree, sword, (void *hndlp, ub4 type))                                               \
    X(OCIDescriptorAlloc, sword,                                                                   \
      (const void *parenth, void **descpp, ub4 type, size_t xtramem_sz, void **usrmempp))          \
    X(OCIDescriptorFree, sword, (void *descp, ub4 type))                                           \
    X(OCIEnvInit, sword, (OCIEnv * *envp, ub4 mode, size_t xtramem_sz, void **usrmempp))           \
    X(OCIServerAttach, sword,                                                                      \
      (OCIServer * srvhp, OCIError * errhp, const OraText *dblink, sb4 dblink_len, ub4 mode))      \
    X(OCIServerDetach, sword, (OCIServer * srvhp, OCIError * errhp, ub4 mode))                     \
    X(OCISessionBegin, sword,                                                                      \
      (OCISvcCtx * svchp, OCIError * errhp, OCISession * usrhp, ub4 credt, ub4 mode))              \
    X(OCISessionEnd, sword, (OCISvcCtx * svchp, OCIError * errhp, OCISession * usrhp, ub4 mode))   \
    X(OCILogon, sword,                                                                             \
      (OCIEnv * envhp, OCIError * errhp, OCISvcCtx * *svchp, const OraText *username,              \
       ub4 uname_len, const OraText *password, ub4 passwd_len, const OraText *dbname,              \
       ub4 dbname_len))                                                                            \
    X(OCILogoff, sword, (OCISvcCtx * svchp, OCIError * errhp))                                     \
    X(OCIPasswordChange, sword,                                                                    \
      (OCISvcCtx * svchp, OCIError * errhp, const OraText *user_name, ub4 usernm_len,              \
       const OraText *opasswd, ub4 opasswd_len, const OraText *npasswd, ub4 npasswd_len,           \
       ub4 mode))                                                                                  \
    X(OCIStmtPrepare, sword,                                                                       \
      (OCIStmt * stmtp, OCIError * errhp, const OraText *stmt, ub4 stmt_len, ub4 language,         \
       ub4 mode))                                                                                  \
    X(OCIBindByPos, sword,                                                                         \
      (OCIStmt * stmtp, OCIBind * *bindp, OCIError * errhp, ub4 position, void *valuep,            \
       sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 maxarr_len, ub4 *curelep,   \
       ub4 mode))                                                                                  \
    X(OCIBindByName, sword,                                                                        \
      (OCIStmt * stmtp, OCIBind * *bindp, OCIError * errhp, const OraText *placeholder,            \
       sb4 placeh_len, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep,   \
       ub4 maxarr_len, ub4 *curelep, ub4 mode))                                                    \
    X(OCIBindObject, sword,                                                                        \
      (OCIBind * bindp, OCIError * errhp, const OCIType *type, void **pgvpp, ub4 *pvszsp,          \
       void **indpp, ub4 *indszp))                                                                 \
    X(OCIBindDynamic, sword,                                                                       \
      (OCIBind * bindp, OCIError * errhp, void *ictxp, OCICallbackInBind icbfp, void *octxp,       \
       OCICallbackOutBind ocbfp))                                                                  \
    X(OCIBindArrayOfStruct, sword,                                                                 \
      (OCIBind * bindp, OCIError * errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip))        \
    X(OCIStmtGetPieceInfo, sword,                                                                  \
      (OCIStmt * stmtp, OCIError * errhp, void **hndlpp, ub4 *typep, ub1 *in_outp, ub4 *iterp,     \
       ub4 *idxp, ub1 *piecep))                                                                    \
    X(OCIStmtSetPieceInfo, sword,                                                                  \
      (void *hndlp, ub4 type, OCIError *errhp, const void *bufp, ub4 *alenp, ub1 piece,            \
       const void *indp, ub2 *rcodep))                                                             \
    X(OCIStmtExecute, sword,                                                                       \
      (OCISvcCtx * svchp, OCIStmt * stmtp, OCIError * errhp, ub4 iters, ub4 rowoff,                \
       const OCISnapshot *snap_in, OCISnapshot *snap_out, ub4 mode))                               \
    X(OCIDefineByPos, sword,                                                                       \
      (OCIStmt * stmtp, OCIDefine * *defnp, OCIError * errhp, ub4 position, void *valuep,          \
       sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep, ub4 mode))                      \
    X(OCIDefineObject, sword,                                                                      \
      (OCIDefine * defnp, OCIError * errhp, const OCIType *type, void **pgvpp, ub4 *pvszsp,        \
       void **indpp, ub4 *indszp))                                                                 \
    X(OCIDefineDynamic, sword,                                                                     \
      (OCIDefine * defnp, OCIError * errhp, void *octxp, OCICallbackDefine ocbfp))                 \
    X(OCIDefineArrayOfStruct, sword,                                                               \
      (OCIDefine * defnp, OCIError * errhp, ub4 pvskip, ub4 indskip, ub4 rlskip, ub4 rcskip))      \
    X(OCIStmtFetch, sword,                                                                         \
      (OCIStmt * stmtp, OCIError * errhp, ub4 nrows, ub2 orientation, ub4 mode))                   \
    X(OCIStmtGetBindInfo, sword,                                                                   \
      (OCIStmt * stmtp, OCIError * errhp, ub4 size, ub4 startloc, sb4 * found, OraText * *bvnp,    \
       ub1 * bvnl, OraText * *invp, ub1 * inpl, ub1 * dupl, OCIBind * *hndl))                      \
    X(OCIDescribeAny, sword,                                                                       \
      (OCISvcCtx * svchp, OCIError * errhp, void *objptr, ub4 objnm_len, ub1 objptr_typ,           \
       ub1 info_level, ub1 objtyp, OCIDescribe *dschp))                                            \
    X(OCIParamGet, sword,                                                                          \
      (const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos))                    \
    X(OCIParamSet, sword,                                                                          \
      (void *hdlp, ub4 htyp, OCIError *errhp, const void *dscp, ub4 dtyp, ub4 pos))                \
    X(OCITransStart, sword, (OCISvcCtx * svchp, OCIError * errhp, uword timeout, ub4 flags))       \
    X(OCITransDetach, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags))                     \
    X(OCITransCommit, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags))                     \
    X(OCITransRollback, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags))                   \
    X(OCITransPrepare, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags))                    \
    X(OCITransForget, sword, (OCISvcCtx * svchp, OCIError * errhp, ub4 flags))                     \
    X(OCIErrorGet, sword,                                                                          \
      (void *hndlp, ub4 recordno, OraText *sqlstate, sb4 *errcodep, OraText *bufp, ub4 bufsiz,     \
       ub4 type))                                                                                  \
    X(OCILobAppend, sword,                                                                         \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * dst_locp, OCILobLocator * src_locp))   \
    X(OCILobAssign, sword,                                                                         \
      (OCIEnv * envhp, OCIError * errhp, const OCILobLocator *src_locp,                            \
       OCILobLocator **dst_locpp))                                                                 \
    X(OCILobCharSetForm, sword,                                                                    \
      (OCIEnv * envhp, OCIError * errhp, const OCILobLocator *locp, ub1 *csfrm))                   \
    X(OCILobCharSetId, sword,                                                                      \
      (OCIEnv * envhp, OCIError * errhp, const OCILobLocator *locp, ub2 *csid))                    \
    X(OCILobCopy, sword,                                                                           \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * dst_locp, OCILobLocator * src_locp,    \
       ub4 amount, ub4 dst_offset, ub4 src_offset))                                                \
    X(OCILobDisableBuffering, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp))  \
    X(OCILobEnableBuffering, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp))   \
    X(OCILobErase, sword,                                                                          \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 * amount, ub4 offset))       \
    X(OCILobFileClose, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * filep))        \
    X(OCILobFileCloseAll, sword, (OCISvcCtx * svchp, OCIError * errhp))                            \
    X(OCILobFileExists, sword,                                                                     \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * filep, boolean * flag))                \
    X(OCILobFileGetName, sword,                                                                    \
      (OCIEnv * envhp, OCIError * errhp, const OCILobLocator *filep, OraText *dir_alias,           \
       ub2 *d_length, OraText *filename, ub2 *f_length))                                           \
    X(OCILobFileIsOpen, sword,                                                                     \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * filep, boolean * flag))                \
    X(OCILobFileOpen, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * filep, ub1 mode)) \
    X(OCILobFileSetName, sword,                                                                    \
      (OCIEnv * envhp, OCIError * errhp, OCILobLocator * *filepp, const OraText *dir_alias,        \
       ub2 d_length, const OraText *filename, ub2 f_length))                                       \
    X(OCILobFlushBuffer, sword,                                                                    \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 flag))                       \
    X(OCILobGetLength, sword,                                                                      \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 * lenp))                     \
    X(OCILobIsEqual, sword,                                                                        \
      (OCIEnv * envhp, const OCILobLocator *x, const OCILobLocator *y, boolean *is_equal))         \
    X(OCILobLoadFromFile, sword,                                                                   \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * dst_locp, OCILobLocator * src_filep,   \
       ub4 amount, ub4 dst_offset, ub4 src_offset))                                                \
    X(OCILobLocatorIsInit, sword,                                                                  \
      (OCIEnv * envhp, OCIError * errhp, const OCILobLocator *locp, boolean *is_initialized))      \
    X(OCILobRead, sword,                                                                           \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 * amtp, ub4 offset,          \
       void *bufp, ub4 bufl, void *ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm))            \
    X(OCILobTrim, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 newlen))  \
    X(OCILobWrite, sword,                                                                          \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub4 * amtp, ub4 offset,          \
       void *bufp, ub4 buflen, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp, ub2 csid,          \
       ub1 csfrm))                                                                                 \
    X(OCIBreak, sword, (void *hndlp, OCIError *errhp))                                             \
    X(OCIServerVersion, sword,                                                                     \
      (void *hndlp, OCIError *errhp, OraText *bufp, ub4 bufsz, ub1 hndltype))                      \
    X(OCIAttrGet, sword,                                                                           \
      (const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep, ub4 attrtype,          \
       OCIError *errhp))                                                                           \
    X(OCIAttrSet, sword,                                                                           \
      (void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype,                  \
       OCIError *errhp))                                                                           \
    X(OCISvcCtxToLda, sword, (OCISvcCtx * svchp, OCIError * errhp, Lda_Def * ldap))                \
    X(OCILdaToSvcCtx, sword, (OCISvcCtx * *svchpp, OCIError * errhp, Lda_Def * ldap))              \
    X(OCIResultSetToStmt, sword, (OCIResult * rsetdp, OCIError * errhp))                           \
    X(OCIObjectUnpin, sword, (OCIEnv * env, OCIError * err, void *object))                         \
    X(OCIObjectLock, sword, (OCIEnv * env, OCIError * err, void *object))                          \
    X(OCIObjectMarkUpdate, sword, (OCIEnv * env, OCIError * err, void *object))                    \
    X(OCIObjectUnmark, sword, (OCIEnv * env, OCIError * err, void *object))                        \
    X(OCIObjectMarkDelete, sword, (OCIEnv * env, OCIError * err, void *instance))                  \
    X(OCIObjectFlush, sword, (OCIEnv * env, OCIError * err, void *object))                         \
    X(OCIObjectCopy, sword,                                                                        \
      (OCIEnv * env, OCIError * err, const OCISvcCtx *svc, void *source, void *null_source,        \
       void *target, void *null_target, OCIType *tdo, OCIDuration duration, ub1 option))           \
    X(OCIObjectGetTypeRef, sword, (OCIEnv * env, OCIError * err, void *instance, OCIRef *type_ref)) \
    X(OCIObjectGetObjectRef, sword,                                                                \
      (OCIEnv * env, OCIError * err, void *object, OCIRef *object_ref))                            \
    X(OCIObjectGetInd, sword, (OCIEnv * env, OCIError * err, void *instance, void **null_struct))  \
    X(OCIObjectExists, sword, (OCIEnv * env, OCIError * err, void *ins, boolean *exist))           \
    X(OCIObjectIsLocked, sword, (OCIEnv * env, OCIError * err, void *ins, boolean *lock))          \
    X(OCIObjectIsDirty, sword, (OCIEnv * env, OCIError * err, void *ins, boolean *dirty))          \
    X(OCIObjectRefresh, sword, (OCIEnv * env, OCIError * err, void *object))                       \
    X(OCIObjectPinTable, sword,                                                                    \
      (OCIEnv * env, OCIError * err, const OCISvcCtx *svc, const OraText *schema_name,             \
       ub4 s_n_length, const OraText *object_name, ub4 o_n_length, const OCIRef *scope_obj_ref,    \
       OCIDuration pin_duration, void **object))                                                   \
    X(OCIObjectNew, sword,                                                                         \
      (OCIEnv * env, OCIError * err, const OCISvcCtx *svc, OCITypeCode typecode, OCIType *tdo,     \
       void *table, OCIDuration duration, boolean value, void **instance))                         \
    X(OCIObjectPin, sword,                                                                         \
      (OCIEnv * env, OCIError * err, OCIRef * object_ref, OCIComplexObject * corhdl,               \
       OCIPinOpt pin_option, OCIDuration pin_duration, OCILockOpt lock_option, void **object))     \
    X(OCIObjectFree, sword, (OCIEnv * env, OCIError * err, void *instance, ub2 flags))             \
    X(OCITypeByName, sword,                                                                        \
      (OCIEnv * env, OCIError * err, const OCISvcCtx *svc, const OraText *schema_name,             \
       ub4 s_length, const OraText *type_name, ub4 t_length, const OraText *version_name,          \
       ub4 v_length, OCIDuration pin_duration, OCITypeGetOpt get_option, OCIType **tdo))           \
    X(OCIObjectGetAttr, sword,                                                                     \
      (OCIEnv * env, OCIError * err, void *instance, void *null_struct, OCIType *tdo,              \
       const OraText **names, const ub4 *lengths, const ub4 name_count, const ub4 *indexes,        \
       const ub4 index_count, OCIInd *attr_null_status, void **attr_null_struct,                   \
       void **attr_value, OCIType **attr_tdo))                                                     \
    X(OCIObjectSetAttr, sword,                                                                     \
      (OCIEnv * env, OCIError * err, void *instance, void *null_struct, OCIType *tdo,              \
       const OraText **names, const ub4 *lengths, const ub4 name_count, const ub4 *indexes,        \
       const ub4 index_count, const OCIInd null_status, const void *attr_null_struct,              \
       const void *attr_value))                                                                    \
    X(OCIStringPtr, OraText *, (OCIEnv * env, const OCIString *vs))                                \
    X(OCIStringAssignText, sword,                                                                  \
      (OCIEnv * env, OCIError * err, const OraText *rhs, ub4 rhs_len, OCIString **lhs))            \
    X(OCINumberFromInt, sword,                                                                     \
      (OCIError * err, const void *inum, uword inum_length, uword inum_s_flag, OCINumber *number)) \
    X(OCINumberToInt, sword,                                                                       \
      (OCIError * err, const OCINumber *number, uword rsl_length, uword rsl_flag, void *rsl))      \
    X(OCINumberFromReal, sword,                                                                    \
      (OCIError * err, const void *rnum, uword rnum_length, OCINumber *number))                    \
    X(OCINumberToReal, sword,                                                                      \
      (OCIError * err, const OCINumber *number, uword rsl_length, void *rsl))                      \
    X(OCINumberToText, sword,                                                                      \
      (OCIError * err, const OCINumber *number, const OraText *fmt, ub4 fmt_length,                \
       const OraText *nls_params, ub4 nls_p_length, ub4 *buf_size, OraText *buf))                  \
    X(OCINumberFromText, sword,                                                                    \
      (OCIError * err, const OraText *str, ub4 str_length, const OraText *fmt, ub4 fmt_length,     \
       const OraText *nls_params, ub4 nls_p_length, OCINumber *number))                            \
    X(OCIRawPtr, ub1 *, (OCIEnv * env, const OCIRaw *raw))                                         \
    X(OCIRawSize, ub4, (OCIEnv * env, const OCIRaw *raw))                                          \
    X(OCIRawAssignBytes, sword,                                                                    \
      (OCIEnv * env, OCIError * err, const ub1 *rhs, ub4 rhs_len, OCIRaw **lhs))                   \
    X(OCIRefAssign, sword, (OCIEnv * env, OCIError * err, const OCIRef *source, OCIRef **target))  \
    X(OCIRefClear, void, (OCIEnv * env, OCIRef * ref))                                             \
    X(OCIRefIsNull, boolean, (OCIEnv * env, const OCIRef *ref))                                    \
    X(OCIRefFromHex, sword,                                                                        \
      (OCIEnv * env, OCIError * err, const OCISvcCtx *svc, const OraText *hex, ub4 length,         \
       OCIRef **ref))                                                                              \
    X(OCIRefHexSize, ub4, (OCIEnv * env, const OCIRef *ref))                                       \
    X(OCIRefToHex, sword,                                                                          \
      (OCIEnv * env, OCIError * err, const OCIRef *ref, OraText *hex, ub4 *hex_length))            \
    X(OCICollSize, sword, (OCIEnv * env, OCIError * err, const OCIColl *coll, sb4 *size))          \
    X(OCICollTrim, sword, (OCIEnv * env, OCIError * err, sb4 trim_num, OCIColl * coll))            \
    X(OCICollMax, sb4, (OCIEnv * env, const OCIColl *coll))                                        \
    X(OCICollGetElem, sword,                                                                       \
      (OCIEnv * env, OCIError * err, const OCIColl *coll, sb4 index, boolean *exists,              \
       void **elem, void **elemind))                                                               \
    X(OCICollAssignElem, sword,                                                                    \
      (OCIEnv * env, OCIError * err, sb4 index, const void *elem, const void *elemind,             \
       OCIColl *coll))                                                                             \
    X(OCICollAppend, sword,                                                                        \
      (OCIEnv * env, OCIError * err, const void *elem, const void *elemind, OCIColl *coll))        \
    X(OCITableDelete, sword, (OCIEnv * env, OCIError * err, sb4 index, OCITable * tbl))            \
    X(OCICacheFlush, sword,                                                                        \
      (OCIEnv * env, OCIError * err, const OCISvcCtx *svc, void *context,                          \
       OCICacheFlushCallback get, OCIRef **ref))

#define QD_OCI81_ENTRY_POINTS(X)                                                                   \
    X(OCIEnvCreate, sword,                                                                         \
      (OCIEnv * *envp, ub4 mode, void *ctxp, OCIMallocCallback malocfp,                            \
       OCIReallocCallback ralocfp, OCIFreeCallback mfreefp, size_t xtramem_sz, void **usrmempp))   \
    X(OCIDirPathAbort, sword, (OCIDirPathCtx * dpctx, OCIError * errhp))                           \
    X(OCIDirPathFinish, sword, (OCIDirPathCtx * dpctx, OCIError * errhp))                          \
    X(OCIDirPathPrepare, sword, (OCIDirPathCtx * dpctx, OCISvcCtx * svchp, OCIError * errhp))      \
    X(OCIDirPathColArrayEntrySet, sword,                                                           \
      (OCIDirPathColArray * dpca, OCIError * errhp, ub4 rownum, ub2 colIdx, ub1 * cvalp, ub4 clen, \
       ub1 cflg))                                                                                  \
    X(OCIDirPathColArrayToStream, sword,                                                           \
      (OCIDirPathColArray * dpca, OCIDirPathCtx * dpctx, OCIDirPathStream * dpstr,                 \
       OCIError * errhp, ub4 rowcnt, ub4 rowoff))                                                  \
    X(OCIDirPathLoadStream, sword,                                                                 \
      (OCIDirPathCtx * dpctx, OCIDirPathStream * dpstr, OCIError * errhp))                         \
    X(OCIDirPathStreamReset, sword, (OCIDirPathStream * dpstr, OCIError * errhp))                  \
    X(OCILobCreateTemporary, sword,                                                                \
      (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp, ub2 csid, ub1 csfrm,             \
       ub1 lobtype, boolean cache, OCIDuration duration))                                          \
    X(OCILobFreeTemporary, sword, (OCISvcCtx * svchp, OCIError * errhp, OCILobLocator * locp))     \
    X(OCILobIsTemporary, sword,                                                                    \
      (OCIEnv * envp, OCIError * errhp, OCILobLocator * locp, boolean * is_temporary))             \
    X(OCIDateTimeToText, sword,                                                                    \
      (void *hndl, OCIError *err, const OCIDateTime *date, const OraText *fmt, ub1 fmt_length,     \
       ub1 fsprec, const OraText *lang_name, size_t lang_length, ub4 *buf_size, OraText *buf))     \
    X(OCIDateTimeFromText, sword,                                                                  \
      (void *hndl, OCIError *err, const OraText *date_str, size_t dstr_length,                     \
       const OraText *fmt, ub1 fmt_length, const OraText *lang_name, size_t lang_length,           \
       OCIDateTime *datetime))                                                                     \
    X(OCIDateTimeGetDate, sword,                                                                   \
      (void *hndl, OCIError *err, const OCIDateTime *date, sb2 *yr, ub1 *mnth, ub1 *dy))           \
    X(OCIDateTimeGetTime, sword,                                                                   \
      (void *hndl, OCIError *err, OCIDateTime *datetime, ub1 *hr, ub1 *mm, ub1 *ss, ub4 *fsec))    \
    X(OCIDateTimeConstruct, sword,                                                                 \
      (void *hndl, OCIError *err, OCIDateTime *datetime, sb2 yr, ub1 mnth, ub1 dy, ub1 hr, ub1 mm, \
       ub1 ss, ub4 fsec, OraText *timezone, size_t timezone_length))                               \
    X(OCIDateTimeAssign, sword,                                                                    \
      (void *hndl, OCIError *err, const OCIDateTime *from, OCIDateTime *to))

#define QD_OCI9_ENTRY_POINTS(X)                                                                    \
    X(OCIStmtFetch2, sword,                                                                        \
      (OCIStmt * stmtp, OCIError * errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset, ub4 mode))

#define QD_OCI10_ENTRY_POINTS(X)                                                                   \
    X(OCISessionPoolCreate, sword,                                                                 \
      (OCIEnv * envhp, OCIError * errhp, OCISPool * spoolhp, OraText * *poolName,                  \
       ub4 * poolNameLen, const OraText *connStr, ub4 connStrLen, ub4 sessMin, ub4 sessMax,        \
       ub4 sessIncr, OraText *userid, ub4 useridLen, OraText *password, ub4 passwordLen,           \
       ub4 mode))                                                                                  \
    X(OCISessionPoolDestroy, sword, (OCISPool * spoolhp, OCIError * errhp, ub4 mode))              \
    X(OCISessionGet, sword,                                                                        \
      (OCIEnv * envhp, OCIError * errhp, OCISvcCtx * *svchp, OCIAuthInfo * authhp,                 \
       OraText * poolName, ub4 poolName_len, const OraText *tagInfo, ub4 tagInfo_len,              \
       OraText **retTagInfo, ub4 *retTagInfo_len, boolean *found, ub4 mode))                       \
    X(OCISessionRelease, sword,                                                                    \
      (OCISvcCtx * svchp, OCIError * errhp, OraText * tag, ub4 tag_len, ub4 mode))                 \
    X(OCIStmtPrepare2, sword,                                                                      \
      (OCISvcCtx * svchp, OCIStmt * *stmtp, OCIError * errhp, const OraText *stmt, ub4 stmt_len,   \
       const OraText *key, ub4 key_len, ub4 language, ub4 mode))                                   \
    X(OCIStmtRelease, sword,                                                                       \
      (OCIStmt * stmtp, OCIError * errhp, const OraText *key, ub4 key_len, ub4 mode))

// Bound when present but part of no capability group: the environment with an
// explicit character set, which lets the shared environment be opened in UTF-8.
#define QD_OCI_NLS_ENTRY_POINTS(X)                                                                 \
    X(OCIEnvNlsCreate, sword,                                                                      \
      (OCIEnv * *envp, ub4 mode, void *ctxp, OCIMallocCallback malocfp,                            \
       OCIReallocCallback ralocfp, OCIFreeCallback mfreefp, size_t xtramem_sz, void **usrmempp,    \
       ub2 charset, ub2 ncharset))

// The transaction-enlistment library's entry points.
#define QD_MTS_ENTRY_POINTS(X)                                                                     \
    X(OraMTSSvcGet, ub4,                                                                           \
      (OraText * lpUname, OraText * lpPsswd, OraText * lpDbnam, OCISvcCtx * *pOCISvc,              \
       OCIEnv * *pOCIEnv, ub4 dwFlags))                                                            \
    X(OraMTSSvcRel, ub4, (OCISvcCtx * OCISvc))                                                     \
    X(OraMTSSvcEnlist, ub4, (OCISvcCtx * OCISvc, OCIError * OCIErr, void *lpTrans, ub4 dwFlags))   \
    X(OraMTSSvcEnlistEx, ub4,                                                                      \
      (OCISvcCtx * OCISvc, OCIError * OCIErr, void *lpTrans, ub4 dwFlags, char *lpDBName))         \
    X(OraMTSTransTest, ub4, (void))
