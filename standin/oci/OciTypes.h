#pragma once

// Our own declarations of the client library's public C interface: scalar types, opaque
// handle types, the constants the stand-in answers to, and every exported entry point with its
// published signature. Written from the public API documentation; no vendor header is used.

#include <cstddef>
#include <cstdint>

extern "C" {

typedef unsigned char ub1;
typedef signed char sb1;
typedef uint16_t ub2;
typedef int16_t sb2;
typedef uint32_t ub4;
typedef int32_t sb4;
typedef int sword;
typedef unsigned int uword;
typedef int boolean;
typedef unsigned char text;
typedef unsigned char oratext;
typedef ub2 OCIDuration;
typedef ub2 OCITypeCode;
typedef sb2 OCIInd;
typedef int OCIPinOpt;
typedef int OCILockOpt;
typedef int OCITypeGetOpt;

struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIDescribe;
struct OCIServer;
struct OCISession;
struct OCISnapshot;
struct OCILobLocator;
struct OCIType;
struct OCIRef;
struct OCIString;
struct OCIRaw;
struct OCINumber;
struct OCIColl;
typedef OCIColl OCITable;
struct OCIDateTime;
struct OCIDirPathCtx;
struct OCIDirPathColArray;
struct OCIDirPathStream;
struct OCIResult;
struct OCIComplexObject;
struct OCISPool;
typedef OCISession OCIAuthInfo;

// The older interface's logon and cursor data areas: 64 bytes with the public fields at their
// published places (return code, function type, rows processed, parse error offset, function
// code, warning byte, ROWID parts); the private tail is the library's own.
struct cda_def {
    sb2 v2_rc; // return code in the version 2 form (negative)
    ub2 ft; // SQL function type of the parsed statement
    ub4 rpc; // rows processed
    ub2 peo; // parse error offset
    ub1 fc; // function code of the last call
    ub1 rcs1;
    ub2 rc; // ORA code of the last call
    ub1 wrn; // warning flags
    ub1 rcs2;
    sword rcs3;
    struct {
        struct {
            ub4 rcs4;
            ub2 rcs5;
            ub1 rcs6;
        } rd;
        ub4 rcs7;
        ub2 rcs8;
    } rid;
    sword ose;
    ub1 chk;
    void *rcsp;
    ub1 rcs9[64 - 56];
};
static_assert(sizeof(cda_def) == 64, "the data areas are 64 bytes");
typedef struct cda_def Cda_Def;
typedef struct cda_def Lda_Def;

typedef sb4 (*OCICallbackInBind)(void *ictxp, OCIBind *bindp, ub4 iter, ub4 index, void **bufpp,
    ub4 *alenp, ub1 *piecep, void **indp);
typedef sb4 (*OCICallbackOutBind)(void *octxp, OCIBind *bindp, ub4 iter, ub4 index, void **bufpp,
    ub4 **alenp, ub1 *piecep, void **indp, ub2 **rcodep);
typedef sb4 (*OCICallbackDefine)(void *octxp, OCIDefine *defnp, ub4 iter, void **bufpp, ub4 **alenp,
    ub1 *piecep, void **indp, ub2 **rcodep);
typedef sb4 (*OCICallbackLobRead)(void *ctxp, const void *bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(void *ctxp, void *bufp, ub4 *lenp, ub1 *piece);
typedef void *(*OCIMallocFn)(void *ctxp, size_t size);
typedef void *(*OCIReallocFn)(void *ctxp, void *memptr, size_t newsize);
typedef void (*OCIFreeFn)(void *ctxp, void *memptr);

} // extern "C"

namespace qdsi::oci {

// Return codes.
constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;
constexpr sword OCI_STILL_EXECUTING = -3123;
constexpr sword OCI_CONTINUE = -24200;

// Handle and descriptor types.
constexpr ub4 OCI_HTYPE_ENV = 1;
constexpr ub4 OCI_HTYPE_ERROR = 2;
constexpr ub4 OCI_HTYPE_SVCCTX = 3;
constexpr ub4 OCI_HTYPE_STMT = 4;
constexpr ub4 OCI_HTYPE_BIND = 5;
constexpr ub4 OCI_HTYPE_DEFINE = 6;
constexpr ub4 OCI_HTYPE_DESCRIBE = 7;
constexpr ub4 OCI_HTYPE_SERVER = 8;
constexpr ub4 OCI_HTYPE_SESSION = 9;
constexpr ub4 OCI_HTYPE_TRANS = 10;
constexpr ub4 OCI_HTYPE_SPOOL = 27;
constexpr ub4 OCI_DTYPE_LOB = 50;
constexpr ub4 OCI_DTYPE_PARAM = 53;
constexpr ub4 OCI_DTYPE_ROWID = 54;
constexpr ub4 OCI_DTYPE_FILE = 56;
constexpr ub4 OCI_DTYPE_INTERVAL_YM = 62;
constexpr ub4 OCI_DTYPE_INTERVAL_DS = 63;
constexpr ub4 OCI_DTYPE_TIMESTAMP = 68;
constexpr ub4 OCI_DTYPE_TIMESTAMP_TZ = 69;
constexpr ub4 OCI_DTYPE_TIMESTAMP_LTZ = 70;

// Attributes (the handle type they are read from decides between double meanings).
constexpr ub4 OCI_ATTR_FNCODE = 1;
constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
constexpr ub4 OCI_ATTR_NAME = 4;
constexpr ub4 OCI_ATTR_ENV = 5;
constexpr ub4 OCI_ATTR_PRECISION = 5;
constexpr ub4 OCI_ATTR_SERVER = 6;
constexpr ub4 OCI_ATTR_SCALE = 6;
constexpr ub4 OCI_ATTR_SESSION = 7;
constexpr ub4 OCI_ATTR_IS_NULL = 7;
constexpr ub4 OCI_ATTR_TRANS = 8;
constexpr ub4 OCI_ATTR_TYPE_NAME = 8;
constexpr ub4 OCI_ATTR_ROW_COUNT = 9;
constexpr ub4 OCI_ATTR_SCHEMA_NAME = 9;
constexpr ub4 OCI_ATTR_SQLFNCODE = 10;
constexpr ub4 OCI_ATTR_PREFETCH_ROWS = 11;
constexpr ub4 OCI_ATTR_PREFETCH_MEMORY = 13;
constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;
constexpr ub4 OCI_ATTR_ROWID = 19;
constexpr ub4 OCI_ATTR_USERNAME = 22;
constexpr ub4 OCI_ATTR_PASSWORD = 23;
constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
constexpr ub4 OCI_ATTR_ROWS_RETURNED = 42;
constexpr ub4 OCI_ATTR_REF_TDO = 110;
constexpr ub4 OCI_ATTR_PARAM = 124;
constexpr ub4 OCI_ATTR_PARSE_ERROR_OFFSET = 129;
constexpr ub4 OCI_ATTR_STMTCACHESIZE = 176;
constexpr ub4 OCI_ATTR_ROWS_FETCHED = 197;
constexpr ub4 OCI_ATTR_TYPECODE = 216;
constexpr ub4 OCI_ATTR_TYPECODE_COLLECTION = 217;
constexpr ub4 OCI_ATTR_COLLECTION_ELEMENT = 227;
constexpr ub4 OCI_ATTR_NUM_TYPE_ATTRS = 228;
constexpr ub4 OCI_ATTR_LIST_TYPE_ATTRS = 229;
constexpr ub4 OCI_ATTR_IS_FINAL_TYPE = 279;
constexpr ub4 OCI_ATTR_CHAR_SIZE = 286;

// Modes and flags.
constexpr ub4 OCI_DEFAULT = 0;
constexpr ub4 OCI_THREADED = 0x1;
constexpr ub4 OCI_OBJECT = 0x2;
constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_CRED_EXT = 2;
constexpr ub4 OCI_SYSDBA = 0x2;
constexpr ub4 OCI_SYSOPER = 0x4;
constexpr ub4 OCI_AUTH = 0x8;
constexpr ub4 OCI_STMT_SCROLLABLE_READONLY = 0x08;
constexpr ub4 OCI_DESCRIBE_ONLY = 0x10;
constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x20;
constexpr ub4 OCI_STMT_CACHE = 0x40;
constexpr ub4 OCI_NTV_SYNTAX = 1;
constexpr ub2 OCI_FETCH_NEXT = 0x02;
constexpr ub4 OCI_DYNAMIC_FETCH = 2;
constexpr ub1 OCI_OTYPE_NAME = 1;
constexpr ub1 OCI_OTYPE_PTR = 3;
constexpr ub1 OCI_PTYPE_TYPE = 6;
constexpr sb2 OCI_IND_NULL = -1;
constexpr sb2 OCI_IND_NOTNULL = 0;

// External datatypes.
constexpr ub2 SQLT_CHR = 1;
constexpr ub2 SQLT_NUM = 2;
constexpr ub2 SQLT_INT = 3;
constexpr ub2 SQLT_FLT = 4;
constexpr ub2 SQLT_STR = 5;
constexpr ub2 SQLT_VNU = 6;
constexpr ub2 SQLT_LNG = 8;
constexpr ub2 SQLT_VCS = 9;
constexpr ub2 SQLT_RID = 11;
constexpr ub2 SQLT_DAT = 12;
constexpr ub2 SQLT_BIN = 23;
constexpr ub2 SQLT_LBI = 24;
constexpr ub2 SQLT_UIN = 68;
constexpr ub2 SQLT_LVC = 94;
constexpr ub2 SQLT_LVB = 95;
constexpr ub2 SQLT_AFC = 96;
constexpr ub2 SQLT_AVC = 97;
constexpr ub2 SQLT_RDD = 104;
constexpr ub2 SQLT_NTY = 108;
constexpr ub2 SQLT_REF = 110;
constexpr ub2 SQLT_CLOB = 112;
constexpr ub2 SQLT_BLOB = 113;
constexpr ub2 SQLT_BFILEE = 114;
constexpr ub2 SQLT_CFILEE = 115;
constexpr ub2 SQLT_RSET = 116;
constexpr ub2 SQLT_TIMESTAMP = 187;
constexpr ub2 SQLT_TIMESTAMP_TZ = 188;
constexpr ub2 SQLT_TIMESTAMP_LTZ = 232;

// Pieces of piecewise transfers.
constexpr ub1 OCI_ONE_PIECE = 0;
constexpr ub1 OCI_FIRST_PIECE = 1;
constexpr ub1 OCI_NEXT_PIECE = 2;
constexpr ub1 OCI_LAST_PIECE = 3;

// Host data area of the older logon calls on 64-bit platforms.
constexpr int HDA_SIZE = 512;

} // namespace qdsi::oci
