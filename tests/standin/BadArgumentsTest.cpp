// The client interface under wrong arguments: every case ends in an error code, never in a crash
// or a call that runs as if the argument were right.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace qd::test::standin;

namespace {

constexpr sword INVALID_HANDLE = -2;
constexpr ub4 DYNAMIC_FETCH = 2;

class BadArguments : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText();
        db.run("DROP TABLE BAD_ARGS"); // left by an earlier test of the process
        ASSERT_EQ(db.run("CREATE TABLE BAD_ARGS (N NUMBER(6), S VARCHAR2(20))"), SUCCESS)
            << db.errorText();
        ASSERT_EQ(db.run("INSERT INTO BAD_ARGS VALUES (1, 'one')"), SUCCESS) << db.errorText();
    }

    int rowCount()
    {
        Cursor c(db, "SELECT COUNT(*) FROM BAD_ARGS");
        int32_t n = -1;
        void *def = nullptr;
        api().DefineByPos(c.stmt, &def, c.err, 1, &n, 4, SQLT_INT, nullptr, nullptr, nullptr, 0);
        EXPECT_EQ(c.execute(1), SUCCESS) << c.errorText();
        return n;
    }

    Connection db;
};

struct BufferCase {
    const char *name;
    bool define; // else a bind
    bool nullBuffer;
    sb4 size;
    ub4 mode;
    sword expected;
};

} // namespace

TEST_F(BadArguments, BindAndDefineBuffersAreCheckedBeforeUse)
{
    const BufferCase cases[] = {
        { "define without buffer but with a size", true, true, 8, DEFAULT, ERROR },
        { "define with a negative size", true, false, -5, DEFAULT, ERROR },
        { "define without buffer or size", true, true, 0, DEFAULT, SUCCESS },
        { "dynamic define without buffer", true, true, 100, DYNAMIC_FETCH, SUCCESS },
        { "bind without buffer but with a size", false, true, 8, DEFAULT, ERROR },
        { "bind with a negative size", false, false, -1, DEFAULT, ERROR },
        { "bind without buffer or size (a null)", false, true, 0, DEFAULT, SUCCESS },
    };
    for (const BufferCase &c : cases) {
        SCOPED_TRACE(c.name);
        Cursor cursor(db,
            c.define ? "SELECT S FROM BAD_ARGS" : "SELECT S FROM BAD_ARGS WHERE S = :v");
        char buffer[32] = {};
        void *target = c.nullBuffer ? nullptr : buffer;
        void *handle = nullptr;
        const sword status = c.define
            ? api().DefineByPos(cursor.stmt, &handle, cursor.err, 1, target, c.size, SQLT_STR,
                  nullptr, nullptr, nullptr, c.mode)
            : api().BindByPos(cursor.stmt, &handle, cursor.err, 1, target, c.size, SQLT_STR,
                  nullptr, nullptr, nullptr, 0, nullptr, c.mode);
        EXPECT_EQ(status, c.expected);
        if (c.expected == ERROR) {
            EXPECT_EQ(cursor.errorCode(), 21560) << cursor.errorText();
            // The refused buffer is not used: the fetch writes nowhere and the row still comes.
            EXPECT_NE(cursor.execute(c.define ? 1 : 0), INVALID_HANDLE);
        }
    }
}

TEST_F(BadArguments, ExecuteWithoutAUsableErrorHandleRunsNothing)
{
    void *wrongHandles[] = { nullptr, db.svc, db.env };
    for (void *errhp : wrongHandles) {
        Cursor cursor(db, "DELETE FROM BAD_ARGS");
        EXPECT_EQ(api().StmtExecute(db.svc, cursor.stmt, errhp, 1, 0, nullptr, nullptr, DEFAULT),
            INVALID_HANDLE);
        EXPECT_EQ(rowCount(), 1);
    }
    Cursor select(db, "SELECT S FROM BAD_ARGS");
    ASSERT_EQ(select.execute(0), SUCCESS);
    EXPECT_EQ(api().StmtFetch(select.stmt, nullptr, 1, FETCH_NEXT, DEFAULT), INVALID_HANDLE);
}

TEST_F(BadArguments, AttributeReadWithoutValuePointerLeavesAnErrorRecord)
{
    Cursor cursor(db, "SELECT S FROM BAD_ARGS");
    ub4 size = 0;
    EXPECT_EQ(api().AttrGet(cursor.stmt, HTYPE_STMT, nullptr, &size, ATTR_STMT_TYPE, cursor.err),
        ERROR);
    EXPECT_EQ(cursor.errorCode(), 21560) << cursor.errorText();
    EXPECT_EQ(api().AttrGet(db.usr, HTYPE_SESSION, nullptr, &size, ATTR_USERNAME, cursor.err),
        ERROR);
    EXPECT_EQ(cursor.errorCode(), 21560);
}

TEST_F(BadArguments, FreedAndForeignPointersAreRefusedWithoutBeingRead)
{
    void *freed = nullptr;
    ASSERT_EQ(api().HandleAlloc(db.env, &freed, HTYPE_STMT, 0, nullptr), SUCCESS);
    ASSERT_EQ(api().HandleFree(freed, HTYPE_STMT), SUCCESS);

    // Memory that merely looks like a handle's start, and an address no memory stands behind.
    uint64_t lookalike[16] = {};
    for (auto &word : lookalike)
        word = 0x0000000451445349ull;
    void *const unmapped = reinterpret_cast<void *>(static_cast<uintptr_t>(0x10));

    const text sql[] = "SELECT 1 FROM DUAL";
    for (void *stmt : { freed, static_cast<void *>(lookalike), unmapped }) {
        EXPECT_EQ(api().StmtPrepare(stmt, db.err, sql, sizeof sql - 1, NTV_SYNTAX, DEFAULT),
            INVALID_HANDLE);
        EXPECT_EQ(api().StmtExecute(db.svc, stmt, db.err, 1, 0, nullptr, nullptr, DEFAULT),
            INVALID_HANDLE);
        ub4 type = 0;
        EXPECT_EQ(api().AttrGet(stmt, HTYPE_STMT, &type, nullptr, ATTR_STMT_TYPE, db.err),
            INVALID_HANDLE);
        EXPECT_EQ(api().HandleFree(stmt, HTYPE_STMT), INVALID_HANDLE);
    }
    // A live handle of another type is refused as well.
    EXPECT_EQ(api().StmtPrepare(db.svc, db.err, sql, sizeof sql - 1, NTV_SYNTAX, DEFAULT),
        INVALID_HANDLE);
}

TEST_F(BadArguments, StatementsTooDeepOrTooLongGetAServerErrorToActOn)
{
    std::string nested = "SELECT ";
    for (int i = 0; i < 400; ++i)
        nested += "(";
    nested += "1";
    for (int i = 0; i < 400; ++i)
        nested += ")";
    nested += " FROM DUAL";

    std::string chain = "SELECT COUNT(*) FROM BAD_ARGS WHERE N = 0";
    for (int i = 1; i < 3000; ++i)
        chain += " OR N = " + std::to_string(i);

    std::string plsqlNest = "BEGIN NULL; ";
    for (int i = 0; i < 400; ++i)
        plsqlNest += "BEGIN ";
    for (int i = 0; i < 400; ++i)
        plsqlNest += "END; ";
    plsqlNest += "END;";

    const struct {
        const char *name;
        std::string sql;
        ub4 iterations;
        int code;
    } cases[] = {
        { "nested parentheses", nested, 0, 36 },
        { "a long chain of conditions", chain, 0, 36 },
        { "nested blocks", plsqlNest, 1, 6550 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Cursor cursor(db, c.sql);
        EXPECT_EQ(cursor.execute(c.iterations), ERROR);
        EXPECT_EQ(cursor.errorCode(), c.code) << cursor.errorText();
        EXPECT_EQ(cursor.errorText().find("ORA-00600"), std::string::npos);
        EXPECT_EQ(cursor.errorText().find("unimplemented"), std::string::npos);
    }
}

TEST_F(BadArguments, UnknownDoubleQuotedNamesAreNeverStrings)
{
    const struct {
        const char *sql;
        int offset;
    } cases[] = {
        { "SELECT \"NOSUCH\" FROM BAD_ARGS", 7 },
        { "DELETE FROM BAD_ARGS WHERE \"SX\" = 'SX'", 27 },
        { "UPDATE BAD_ARGS SET S = 'x' WHERE \"SX\" = 'SX'", 34 },
        { "INSERT INTO BAD_ARGS (N, S) VALUES (2, \"NOSUCH\")", 39 },
        { "CREATE TABLE DQ_CHECKED (N NUMBER CHECK (\"NX\" > 0))", 41 },
        { "CREATE INDEX DQ_IX ON BAD_ARGS (\"NOSUCH\")", 32 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        Cursor cursor(db, c.sql);
        EXPECT_EQ(cursor.execute(1), ERROR);
        EXPECT_EQ(cursor.errorCode(), 904) << cursor.errorText();
        EXPECT_EQ(cursor.attribute2(129), c.offset);
    }
    EXPECT_EQ(rowCount(), 1);
}
