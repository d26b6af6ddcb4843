#pragma once

// Test-side access to the stand-in client library: it is loaded by path with dlopen and driven
// only through its exported C entry points, as the product's loader will drive it. The
// constants are the published values of the client interface.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qd::test::standin {

using ub2 = uint16_t;
using ub4 = uint32_t;
using sb2 = int16_t;
using sb4 = int32_t;
using sword = int;
using text = unsigned char;

constexpr sword SUCCESS = 0, SUCCESS_WITH_INFO = 1, NO_DATA = 100, ERROR = -1;
constexpr ub4 HTYPE_ENV = 1, HTYPE_ERROR = 2, HTYPE_SVCCTX = 3, HTYPE_STMT = 4, HTYPE_SERVER = 8,
              HTYPE_SESSION = 9, DTYPE_PARAM = 53, DTYPE_ROWID = 54;
constexpr ub4 ATTR_DATA_SIZE = 1, ATTR_DATA_TYPE = 2, ATTR_NAME = 4, ATTR_SERVER = 6,
              ATTR_SESSION = 7, ATTR_ROW_COUNT = 9, ATTR_SQLFNCODE = 10, ATTR_PREFETCH_ROWS = 11,
              ATTR_PARAM_COUNT = 18, ATTR_ROWID = 19, ATTR_USERNAME = 22, ATTR_PASSWORD = 23,
              ATTR_STMT_TYPE = 24, ATTR_ROWS_FETCHED = 197;
constexpr ub4 DEFAULT = 0, THREADED = 1, OBJECT = 2, CRED_RDBMS = 1, AUTH = 8, DESCRIBE_ONLY = 0x10,
              COMMIT_ON_SUCCESS = 0x20, NTV_SYNTAX = 1;
constexpr ub2 FETCH_NEXT = 2;
constexpr ub2 SQLT_INT = 3, SQLT_FLT = 4, SQLT_STR = 5, SQLT_DAT = 12;

struct Api {
    void *library = nullptr;
    sword (*EnvCreate)(void **, ub4, void *, void *, void *, void *, size_t, void **);
    sword (*HandleAlloc)(const void *, void **, ub4, size_t, void **);
    sword (*HandleFree)(void *, ub4);
    sword (*DescriptorAlloc)(const void *, void **, ub4, size_t, void **);
    sword (*DescriptorFree)(void *, ub4);
    sword (*AttrGet)(const void *, ub4, void *, ub4 *, ub4, void *);
    sword (*AttrSet)(void *, ub4, void *, ub4, ub4, void *);
    sword (*ErrorGet)(void *, ub4, text *, sb4 *, text *, ub4, ub4);
    sword (*ServerAttach)(void *, void *, const text *, sb4, ub4);
    sword (*ServerDetach)(void *, void *, ub4);
    sword (*SessionBegin)(void *, void *, void *, ub4, ub4);
    sword (*SessionEnd)(void *, void *, void *, ub4);
    sword (*PasswordChange)(
        void *, void *, const text *, ub4, const text *, ub4, const text *, ub4, ub4);
    sword (*ServerVersion)(void *, void *, text *, ub4, unsigned char);
    sword (*Break)(void *, void *);
    sword (*TransCommit)(void *, void *, ub4);
    sword (*TransRollback)(void *, void *, ub4);
    sword (*StmtPrepare)(void *, void *, const text *, ub4, ub4, ub4);
    sword (*StmtExecute)(void *, void *, void *, ub4, ub4, const void *, void *, ub4);
    sword (*StmtFetch)(void *, void *, ub4, ub2, ub4);
    sword (*StmtFetch2)(void *, void *, ub4, ub2, sb4, ub4);
    sword (*BindByName)(void *, void **, void *, const text *, sb4, void *, sb4, ub2, void *, ub2 *,
        ub2 *, ub4, ub4 *, ub4);
    sword (*BindByPos)(
        void *, void **, void *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *, ub4, ub4 *, ub4);
    sword (*DefineByPos)(void *, void **, void *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *, ub4);
    sword (*ParamGet)(const void *, ub4, void *, void **, ub4);
    sword (*Logon)(
        void *, void *, void **, const text *, ub4, const text *, ub4, const text *, ub4);
    int (*traceCount)(void *);
    int (*traceGet)(void *, int, char *, int);
    int (*roundTrips)(void *);
    void (*resetRoundTrips)(void *);
    int (*callInProgress)(void *);
    void (*failNextLogon)(int);
    int (*loseConnection)(void *);
    int (*blockNextFetch)(void *);
    int (*setRowDelay)(void *, int);
};

// The library, loaded once per process; a load failure fails the calling test.
const Api &api();

// Address of an exported name, or nullptr.
void *symbol(const char *name);

// One logon: environment, error, server, service context and session handles.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Attach and begin the session; returns the status of the failing or last call.
    sword logon(
        const std::string &user, const std::string &password, const std::string &alias = "DEMO");
    void logoff();

    // ORA code and text of the last error recorded on the error handle (0, "" when none).
    int errorCode() const;
    std::string errorText() const;

    // Prepares and runs a statement without binds (iterations 1, or 0 for a select).
    sword run(const std::string &sql, ub4 mode = DEFAULT);
    sword commit() { return api().TransCommit(svc, err, 0); }
    sword rollback() { return api().TransRollback(svc, err, 0); }

    void *env = nullptr, *err = nullptr, *srv = nullptr, *svc = nullptr, *usr = nullptr;
    void *stmt = nullptr; // used by run()
    bool loggedOn = false;
};

// A statement handle of a connection with its own error handle, for one test step.
class Cursor {
public:
    explicit Cursor(Connection &connection, const std::string &sql = {});
    ~Cursor();
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;

    sword prepare(const std::string &sql);
    sword execute(ub4 iterations, ub4 rowOffset = 0, ub4 mode = DEFAULT);
    sword fetch(ub4 rows);
    ub4 attribute4(ub4 attr) const;
    ub2 attribute2(ub4 attr) const;
    int errorCode() const;
    std::string errorText() const;

    Connection &connection;
    void *stmt = nullptr;
    void *err = nullptr;
};

// The rows a cursor fetches after its execute, one at a time, with every column of the select
// list defined as text of up to `width` bytes (nullopt for NULL). The fetch stops at the first
// status other than SUCCESS, or other than SUCCESS and SUCCESS_WITH_INFO when `takeTruncated`
// (a value cut to the width is then kept); `status` is that status, NO_DATA when every row came.
struct FetchedText {
    std::vector<std::vector<std::optional<std::string>>> rows;
    sword status = NO_DATA;
};
FetchedText fetchAsText(Cursor &cursor, size_t width, bool takeTruncated = false);

// Waits (bounded) until a call is running on the service context.
bool waitForCall(void *svc);

} // namespace qd::test::standin
