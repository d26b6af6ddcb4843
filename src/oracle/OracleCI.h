#pragma once

// Our declarations of the Oracle client library's public interface: its scalar types,
// handle types, constants and entry points. Written from the published API so that the
// product can load the real client library (or the stand-in) at run time without any
// header of the vendor. Plain C++ (no Qt), so test doubles of the library can use it too.

#include "oracle/OracleEntryPointList.h"

#include <cstddef>
#include <cstdint>

namespace qd {

// ---- Scalar types -------------------------------------------------------------------
using sword = int;
using eword = int;
using uword = unsigned int;
using sb8 = std::int64_t;
using ub8 = std::uint64_t;
using sb4 = std::int32_t;
using ub4 = std::uint32_t;
using sb2 = std::int16_t;
using ub2 = std::uint16_t;
using sb1 = signed char;
using ub1 = unsigned char;
using OraText = unsigned char;
using text = OraText;
using boolean = int;
using dvoid = void;

// ---- Opaque handles and descriptors ---------------------------------------------------
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIDescribe;
struct OCIServer;
struct OCISession;
struct OCITrans;
struct OCIComplexObject;
struct OCISPool;
struct OCIAuthInfo;
struct OCISnapshot;
struct OCIResult;
struct OCILobLocator;
struct OCIParam;
struct OCIRowid;
struct OCIDateTime;
struct OCIInterval;
struct OCIType;
struct OCIString;
struct OCIRaw;
struct OCIRef;
struct OCIColl;
struct OCIDirPathCtx;
struct OCIDirPathColArray;
struct OCIDirPathStream;
using OCIClobLocator = OCILobLocator;
using OCIBlobLocator = OCILobLocator;
using OCIBFileLocator = OCILobLocator;
using OCIArray = OCIColl;
using OCITable = OCIColl;

// Oracle NUMBER in its 22-byte internal form.
struct OCINumber {
    ub1 OCINumberPart[22];
};

struct OCITime {
    ub1 OCITimeHH;
    ub1 OCITimeMI;
    ub1 OCITimeSS;
};

struct OCIDate {
    sb2 OCIDateYYYY;
    ub1 OCIDateMM;
    ub1 OCIDateDD;
    OCITime OCIDateTime;
};

using OCIInd = sb2;
using OCITypeCode = ub2;
using OCIDuration = ub2;

// Options passed as C enums (int-sized).
enum OCITypeGetOpt { OCI_TYPEGET_HEADER = 0, OCI_TYPEGET_ALL = 1 };
enum OCIPinOpt { OCI_PIN_DEFAULT = 1, OCI_PIN_ANY = 3, OCI_PIN_RECENT = 4, OCI_PIN_LATEST = 5 };
enum OCILockOpt { OCI_LOCK_NONE = 1, OCI_LOCK_X = 2, OCI_LOCK_X_NOWAIT = 3 };

// ---- Older cursor interface: logon and cursor data areas --------------------------------
// The layout the library writes into: return codes and row counts at fixed offsets,
// then private space up to 64 bytes.
struct cda_def {
    sb2 v2_rc;
    ub2 ft;
    ub4 rpc;
    ub2 peo;
    ub1 fc;
    ub1 rcs1;
    ub2 rc;
    ub1 wrn;
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
using Cda_Def = cda_def;
using Lda_Def = cda_def;
static_assert(sizeof(cda_def) == 64, "the cursor data area is 64 bytes");

// Host data area handed to the older logon calls (64-bit size).
constexpr int HDA_SIZE = 512;

// ---- Callbacks ----------------------------------------------------------------------------
using OCIMallocCallback = void *(*)(void *ctxp, size_t size);
using OCIReallocCallback = void *(*)(void *ctxp, void *memptr, size_t newsize);
using OCIFreeCallback = void (*)(void *ctxp, void *memptr);
using OCICallbackInBind = sb4 (*)(void *ictxp, OCIBind *bindp, ub4 iter, ub4 index, void **bufpp,
    ub4 *alenp, ub1 *piecep, void **indp);
using OCICallbackOutBind = sb4 (*)(void *octxp, OCIBind *bindp, ub4 iter, ub4 index, void **bufpp,
    ub4 **alenp, ub1 *piecep, void **indp, ub2 **rcodep);
using OCICallbackDefine = sb4 (*)(void *octxp, OCIDefine *defnp, ub4 iter, void **bufpp,
    ub4 **alenp, ub1 *piecep, void **indp, ub2 **rcodep);
using OCICallbackLobRead = sb4 (*)(void *ctxp, const void *bufp, ub4 len, ub1 piece);
using OCICallbackLobWrite = sb4 (*)(void *ctxp, void *bufp, ub4 *lenp, ub1 *piece);
using OCICacheFlushCallback = OCIRef *(*)(void *context, ub1 *last);

// ---- Return codes ---------------------------------------------------------------------------
constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;
constexpr sword OCI_STILL_EXECUTING = -3123;
constexpr sword OCI_CONTINUE = -24200;

// ---- Handle and descriptor types --------------------------------------------------------------
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

// ---- Attributes (some numbers mean different things on different handle types) -----------------
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
constexpr ub4 OCI_ATTR_CHAR_SIZE = 286;

// ---- Modes and flags ----------------------------------------------------------------------------
constexpr ub4 OCI_DEFAULT = 0;
constexpr ub4 OCI_THREADED = 0x1;
constexpr ub4 OCI_OBJECT = 0x2;
constexpr ub4 OCI_STMT_SCROLLABLE_READONLY = 0x08;
constexpr ub4 OCI_DESCRIBE_ONLY = 0x10;
constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x20;
constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_CRED_EXT = 2;
constexpr ub4 OCI_SYSDBA = 0x2;
constexpr ub4 OCI_SYSOPER = 0x4;
constexpr ub4 OCI_AUTH = 0x8;
constexpr ub4 OCI_CPW_SYSDBA = 0x10;
constexpr ub4 OCI_CPW_SYSOPER = 0x20;
constexpr ub4 OCI_STMT_CACHE = 0x40;
constexpr ub4 OCI_NTV_SYNTAX = 1;
constexpr ub2 OCI_FETCH_NEXT = 0x02;
constexpr ub4 OCI_DYNAMIC_FETCH = 2;
constexpr ub4 OCI_DATA_AT_EXEC = 2;
constexpr ub1 OCI_ONE_PIECE = 0;
constexpr ub1 OCI_FIRST_PIECE = 1;
constexpr ub1 OCI_NEXT_PIECE = 2;
constexpr ub1 OCI_LAST_PIECE = 3;
constexpr ub1 OCI_OTYPE_NAME = 1;
constexpr ub1 OCI_OTYPE_PTR = 3;
constexpr ub1 OCI_PTYPE_TYPE = 6;
constexpr OCIDuration OCI_DURATION_SESSION = 10;
constexpr OCIInd OCI_IND_NOTNULL = 0;
constexpr OCIInd OCI_IND_NULL = -1;

// ---- LOBs and the object cache ------------------------------------------------------------------
constexpr ub1 OCI_TEMP_BLOB = 1;
constexpr ub1 OCI_TEMP_CLOB = 2;
constexpr ub1 OCI_FILE_READONLY = 1;
constexpr ub4 OCI_LOB_BUFFER_NOFREE = 2;
constexpr ub1 SQLCS_IMPLICIT = 1;
constexpr ub2 OCI_OBJECTFREE_FORCE = 0x0001;
constexpr OCITypeCode OCI_TYPECODE_REF = 110;
constexpr OCITypeCode OCI_TYPECODE_NAMEDCOLLECTION = 122;
constexpr ub4 OCI_ATTR_TYPECODE_COLLECTION = 217;
constexpr ub4 OCI_ATTR_COLLECTION_ELEMENT = 227;
constexpr ub4 OCI_ATTR_NUM_TYPE_ATTRS = 228;
constexpr ub4 OCI_ATTR_LIST_TYPE_ATTRS = 229;
constexpr ub4 OCI_ATTR_IS_FINAL_TYPE = 279;

// Character set id of AL32UTF8; the shared environment is opened in it.
constexpr ub2 AL32UTF8_CHARSET_ID = 873;

// ---- Statement types (OCI_ATTR_STMT_TYPE) -----------------------------------------------------
constexpr ub2 OCI_STMT_SELECT = 1;
constexpr ub2 OCI_STMT_UPDATE = 2;
constexpr ub2 OCI_STMT_DELETE = 3;
constexpr ub2 OCI_STMT_INSERT = 4;
constexpr ub2 OCI_STMT_CREATE = 5;
constexpr ub2 OCI_STMT_DROP = 6;
constexpr ub2 OCI_STMT_ALTER = 7;
constexpr ub2 OCI_STMT_BEGIN = 8;
constexpr ub2 OCI_STMT_DECLARE = 9;
constexpr ub2 OCI_STMT_CALL = 10;
constexpr ub2 OCI_STMT_EXPLAIN = 15;
constexpr ub2 OCI_STMT_MERGE = 16;
constexpr ub2 OCI_STMT_ROLLBACK = 17;
constexpr ub2 OCI_STMT_COMMIT = 21;

// ---- External datatypes -------------------------------------------------------------------------
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
constexpr ub2 SQLT_BFLOAT = 21;
constexpr ub2 SQLT_BDOUBLE = 22;
constexpr ub2 SQLT_BIN = 23;
constexpr ub2 SQLT_LBI = 24;
constexpr ub2 SQLT_UIN = 68;
constexpr ub2 SQLT_LVC = 94;
constexpr ub2 SQLT_LVB = 95;
constexpr ub2 SQLT_AFC = 96;
constexpr ub2 SQLT_AVC = 97;
constexpr ub2 SQLT_IBFLOAT = 100;
constexpr ub2 SQLT_IBDOUBLE = 101;
constexpr ub2 SQLT_CUR = 102;
constexpr ub2 SQLT_RDD = 104;
constexpr ub2 SQLT_OSL = 106; // MLSLABEL
constexpr ub2 SQLT_NTY = 108;
constexpr ub2 SQLT_REF = 110;
constexpr ub2 SQLT_CLOB = 112;
constexpr ub2 SQLT_BLOB = 113;
constexpr ub2 SQLT_BFILEE = 114;
constexpr ub2 SQLT_CFILEE = 115;
constexpr ub2 SQLT_RSET = 116;
constexpr ub2 SQLT_NCO = 122;
constexpr ub2 SQLT_VST = 155;
constexpr ub2 SQLT_ODT = 156;
constexpr ub2 SQLT_DATE = 184;
constexpr ub2 SQLT_TIMESTAMP = 187;
constexpr ub2 SQLT_TIMESTAMP_TZ = 188;
constexpr ub2 SQLT_INTERVAL_YM = 189;
constexpr ub2 SQLT_INTERVAL_DS = 190;
constexpr ub2 SQLT_TIMESTAMP_LTZ = 232;
constexpr ub2 SQLT_REC = 250;
constexpr ub2 SQLT_TAB = 251;
constexpr ub2 SQLT_BOL = 252;

// ---- Entry points ---------------------------------------------------------------------------
// One function-pointer type per entry point: T<name>, e.g. TOCIHandleAlloc.
#define QD_OCI_DECLARE_TYPE(name, ret, params) using T##name = ret(*) params;
QD_OCI7_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
QD_OCI7_LOG_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
QD_OCI7_INIT_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
QD_OCI8_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
QD_OCI81_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
QD_OCI9_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
QD_OCI10_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
QD_OCI_NLS_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
QD_MTS_ENTRY_POINTS(QD_OCI_DECLARE_TYPE)
#undef QD_OCI_DECLARE_TYPE

#define QD_OCI_DECLARE_POINTER(name, ret, params) T##name name = nullptr;

// The client library's entry points, each member named after the entry point it holds.
// Null until bound; a group whose capability flag is off may be partly bound.
struct OracleEntryPoints {
    QD_OCI7_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
    QD_OCI7_LOG_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
    QD_OCI7_INIT_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
    QD_OCI8_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
    QD_OCI81_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
    QD_OCI9_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
    QD_OCI10_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
    QD_OCI_NLS_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
};

// The transaction-enlistment library's entry points.
struct MtsEntryPoints {
    QD_MTS_ENTRY_POINTS(QD_OCI_DECLARE_POINTER)
};
#undef QD_OCI_DECLARE_POINTER

// What the loaded client library offers; all false until a load.
struct OracleCapabilities {
    bool OCI7Available = false;
    bool OCI7LogAvailable = false;
    bool OCI7InitAvailable = false;
    bool OCI8Available = false;
    bool OCI81Available = false;
    bool OCI9Available = false;
    bool OCI10Available = false;
    bool MtsAvailable = false;
};

} // namespace qd
