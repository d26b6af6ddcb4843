// Statements through the C interface: array fetch with its round trips, binds by name and
// position in both directions, value conversions, row counts, describe and server errors.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace qd::test::standin;

namespace {

class DemoSession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText(); }

    sword bindName(Cursor &c, const char *name, void *value, sb4 size, ub2 type, sb2 *ind = nullptr)
    {
        void *bind = nullptr;
        return api().BindByName(c.stmt, &bind, c.err, reinterpret_cast<const text *>(name), -1,
            value, size, type, ind, nullptr, nullptr, 0, nullptr, DEFAULT);
    }
    sword bindPos(Cursor &c, ub4 position, void *value, sb4 size, ub2 type, sb2 *ind = nullptr)
    {
        void *bind = nullptr;
        return api().BindByPos(c.stmt, &bind, c.err, position, value, size, type, ind, nullptr,
            nullptr, 0, nullptr, DEFAULT);
    }
    sword define(Cursor &c, ub4 position, void *value, sb4 size, ub2 type, sb2 *ind = nullptr,
        ub2 *length = nullptr)
    {
        void *def = nullptr;
        return api().DefineByPos(
            c.stmt, &def, c.err, position, value, size, type, ind, length, nullptr, DEFAULT);
    }

    Connection db;
};

} // namespace

TEST_F(DemoSession, ArrayFetchOfThousandRowsTakesElevenFetchRoundTrips)
{
    ASSERT_EQ(db.run("CREATE TABLE NUMS (N NUMBER(6) PRIMARY KEY, S VARCHAR2(20))"), SUCCESS)
        << db.errorText();
    {
        // One array insert of 1,000 rows.
        Cursor insert(db, "INSERT INTO NUMS (N, S) VALUES (:n, :s)");
        std::vector<int32_t> n(1000);
        std::vector<char> s(1000 * 8);
        for (int i = 0; i < 1000; ++i) {
            n[i] = i + 1;
            std::snprintf(&s[i * 8], 8, "row%d", i + 1);
        }
        ASSERT_EQ(bindName(insert, ":n", n.data(), 4, SQLT_INT), SUCCESS);
        ASSERT_EQ(bindName(insert, ":S", s.data(), 8, SQLT_STR), SUCCESS);
        ASSERT_EQ(insert.execute(1000, 0, COMMIT_ON_SUCCESS), SUCCESS) << insert.errorText();
        EXPECT_EQ(insert.attribute4(ATTR_ROW_COUNT), 1000u);
    }
    Cursor select(db, "SELECT N, S FROM NUMS ORDER BY N");
    ASSERT_EQ(select.execute(0), SUCCESS) << select.errorText();
    int32_t n[100];
    char s[100][21];
    sb2 ind[100];
    ASSERT_EQ(define(select, 1, n, 4, SQLT_INT), SUCCESS);
    ASSERT_EQ(define(select, 2, s, 21, SQLT_STR, ind), SUCCESS);
    api().resetRoundTrips(db.svc);
    int fetches = 0, total = 0;
    sword status = SUCCESS;
    while (status == SUCCESS) {
        status = select.fetch(100);
        ++fetches;
        const ub4 got = select.attribute4(ATTR_ROWS_FETCHED);
        for (ub4 i = 0; i < got; ++i) {
            ASSERT_EQ(n[i], total + 1);
            ASSERT_EQ(std::string(s[i]), "row" + std::to_string(total + 1));
            ++total;
        }
    }
    EXPECT_EQ(status, NO_DATA);
    EXPECT_EQ(select.errorCode(), 1403);
    EXPECT_EQ(fetches, 11);
    EXPECT_EQ(api().roundTrips(db.svc), 11);
    EXPECT_EQ(total, 1000);
    EXPECT_EQ(select.attribute4(ATTR_ROWS_FETCHED), 0u);
    EXPECT_EQ(select.attribute4(ATTR_ROW_COUNT), 1000u);
}

TEST_F(DemoSession, ExecuteWithIterationsDeliversTheFirstRows)
{
    Cursor c(db, "SELECT EMPNO FROM EMP WHERE DEPTNO = 20 ORDER BY EMPNO");
    ASSERT_EQ(c.execute(0, 0, DESCRIBE_ONLY), SUCCESS);
    int32_t empno[2];
    ASSERT_EQ(define(c, 1, empno, 4, SQLT_INT), SUCCESS);
    ASSERT_EQ(c.execute(2), SUCCESS) << c.errorText();
    EXPECT_EQ(c.attribute4(ATTR_ROWS_FETCHED), 2u);
    EXPECT_EQ(empno[0], 102);
    EXPECT_EQ(empno[1], 103);
    EXPECT_EQ(c.fetch(2), NO_DATA); // one row left, then the end
    EXPECT_EQ(c.attribute4(ATTR_ROWS_FETCHED), 1u);
    EXPECT_EQ(empno[0], 106);
    EXPECT_EQ(c.attribute4(ATTR_ROW_COUNT), 3u);
}

TEST_F(DemoSession, BindsByNameAndPositionWithNullIndicators)
{
    Cursor byName(db, "SELECT ENAME FROM EMP WHERE EMPNO = :id");
    int32_t id = 102;
    char name[11];
    ASSERT_EQ(bindName(byName, "ID", &id, 4, SQLT_INT), SUCCESS);
    ASSERT_EQ(byName.execute(0), SUCCESS) << byName.errorText();
    ASSERT_EQ(define(byName, 1, name, sizeof name, SQLT_STR), SUCCESS);
    ASSERT_EQ(byName.fetch(1), SUCCESS);
    EXPECT_STREQ(name, "OKAFOR");

    Cursor insert(db, "INSERT INTO DEPT (DEPTNO, DNAME, LOC) VALUES (:1, :2, :3)");
    int32_t deptno = 50;
    char dname[] = "RESEARCH", loc[] = "ignored";
    sb2 locNull = -1;
    ASSERT_EQ(bindPos(insert, 1, &deptno, 4, SQLT_INT), SUCCESS);
    ASSERT_EQ(bindPos(insert, 2, dname, sizeof dname, SQLT_STR), SUCCESS);
    ASSERT_EQ(bindPos(insert, 3, loc, sizeof loc, SQLT_STR, &locNull), SUCCESS);
    ASSERT_EQ(insert.execute(1), SUCCESS) << insert.errorText();

    Cursor check(db, "SELECT DNAME, LOC FROM DEPT WHERE DEPTNO = 50");
    char gotName[15], gotLoc[14] = "untouched";
    sb2 nameInd = 5, locInd = 5;
    ASSERT_EQ(check.execute(0), SUCCESS);
    define(check, 1, gotName, sizeof gotName, SQLT_STR, &nameInd);
    define(check, 2, gotLoc, sizeof gotLoc, SQLT_STR, &locInd);
    ASSERT_EQ(check.fetch(1), SUCCESS) << check.errorText();
    EXPECT_STREQ(gotName, "RESEARCH");
    EXPECT_EQ(nameInd, 0);
    EXPECT_EQ(locInd, -1);
}

TEST_F(DemoSession, OutBindsOfReturningIntoWithNullIndicator)
{
    Cursor c(db,
        "UPDATE EMP SET SAL = SAL + :inc WHERE EMPNO = :id RETURNING SAL, COMM INTO :sal, :comm");
    double inc = 100.25, sal = 0, comm = 42;
    int32_t id = 102;
    sb2 salInd = 7, commInd = 7;
    ASSERT_EQ(bindName(c, ":inc", &inc, 8, SQLT_FLT), SUCCESS);
    ASSERT_EQ(bindName(c, ":id", &id, 4, SQLT_INT), SUCCESS);
    ASSERT_EQ(bindName(c, ":sal", &sal, 8, SQLT_FLT, &salInd), SUCCESS);
    ASSERT_EQ(bindName(c, ":comm", &comm, 8, SQLT_FLT, &commInd), SUCCESS);
    ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    EXPECT_EQ(c.attribute4(ATTR_ROW_COUNT), 1u);
    EXPECT_DOUBLE_EQ(sal, 3950.75);
    EXPECT_EQ(salInd, 0);
    EXPECT_EQ(commInd, -1);
}

// One name as input and RETURNING target is an IN OUT bind: its value selects the row and the
// returned value comes back into the same buffer.
TEST_F(DemoSession, ReturningIntoABindThatIsAlsoAnInput)
{
    Cursor find(db, "SELECT ROWID FROM EMP WHERE EMPNO = 102");
    char rowid[40] = {};
    ASSERT_EQ(find.execute(0), SUCCESS) << find.errorText();
    define(find, 1, rowid, sizeof rowid, SQLT_STR);
    ASSERT_EQ(find.fetch(1), SUCCESS) << find.errorText();
    const std::string original = rowid;

    Cursor c(db, "UPDATE EMP SET SAL = 1234 WHERE ROWID = :zeb__rowid "
                 "RETURNING ROWID INTO :zeb__rowid");
    sb2 ind = 7;
    ASSERT_EQ(bindName(c, ":zeb__rowid", rowid, sizeof rowid, SQLT_STR, &ind), SUCCESS);
    ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    EXPECT_EQ(c.attribute4(ATTR_ROW_COUNT), 1u);
    EXPECT_EQ(std::string(rowid), original);
    EXPECT_EQ(ind, 0);

    // The returned value replaces the input: read from it, then written back.
    Cursor raise(db, "UPDATE EMP SET SAL = :sal + 1 WHERE EMPNO = 102 RETURNING SAL INTO :sal");
    int32_t sal = 2000;
    ASSERT_EQ(bindName(raise, ":sal", &sal, 4, SQLT_INT), SUCCESS);
    ASSERT_EQ(raise.execute(1), SUCCESS) << raise.errorText();
    EXPECT_EQ(sal, 2001);
    ASSERT_EQ(raise.execute(1), SUCCESS) << raise.errorText();
    EXPECT_EQ(sal, 2002);

    // No row changed: the target comes back NULL.
    std::strcpy(rowid, "AAAAAAAAAAAAAAAAAA");
    ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    EXPECT_EQ(c.attribute4(ATTR_ROW_COUNT), 0u);
    EXPECT_EQ(ind, -1);
}

TEST_F(DemoSession, BindErrors)
{
    Cursor c(db, "SELECT ENAME FROM EMP WHERE EMPNO = :id AND DEPTNO = :dept");
    int32_t id = 101;
    EXPECT_EQ(bindName(c, ":nope", &id, 4, SQLT_INT), ERROR);
    EXPECT_EQ(c.errorText(), "ORA-01036: illegal variable name/number");
    EXPECT_EQ(bindPos(c, 3, &id, 4, SQLT_INT), ERROR);
    EXPECT_EQ(c.errorCode(), 1036);
    ASSERT_EQ(bindName(c, ":id", &id, 4, SQLT_INT), SUCCESS);
    EXPECT_EQ(c.execute(0), ERROR);
    EXPECT_EQ(c.errorText(), "ORA-01008: not all variables bound");
}

TEST_F(DemoSession, NumbersAsIntegersDoublesAndTextDatesAsSevenBytes)
{
    Cursor c(db, "SELECT EMPNO, SAL, SAL, HIREDATE FROM EMP WHERE EMPNO = 105");
    ASSERT_EQ(c.execute(0), SUCCESS) << c.errorText();
    int32_t empno = 0;
    double sal = 0;
    char salText[20];
    unsigned char hired[7] = {};
    define(c, 1, &empno, 4, SQLT_INT);
    define(c, 2, &sal, 8, SQLT_FLT);
    define(c, 3, salText, sizeof salText, SQLT_STR);
    define(c, 4, hired, 7, SQLT_DAT);
    ASSERT_EQ(c.fetch(1), SUCCESS) << c.errorText();
    EXPECT_EQ(empno, 105);
    EXPECT_DOUBLE_EQ(sal, 1900.75);
    EXPECT_STREQ(salText, "1900.75");
    // 2019-05-14 09:30:00: century and year + 100, hour, minute and second + 1
    const unsigned char expected[7] = { 120, 119, 5, 14, 10, 31, 1 };
    EXPECT_EQ(std::memcmp(hired, expected, 7), 0);
}

TEST_F(DemoSession, DateBoundAsSevenBytesRoundTrips)
{
    Cursor insert(db, "INSERT INTO EMP (EMPNO, ENAME, HIREDATE) VALUES (900, 'NEW', :d)");
    unsigned char date[7] = { 119, 199, 12, 31, 24, 60, 60 }; // 1999-12-31 23:59:59
    ASSERT_EQ(bindName(insert, ":d", date, 7, SQLT_DAT), SUCCESS);
    ASSERT_EQ(insert.execute(1), SUCCESS) << insert.errorText();
    Cursor select(db, "SELECT HIREDATE FROM EMP WHERE EMPNO = 900");
    ASSERT_EQ(select.execute(0), SUCCESS);
    unsigned char back[7] = {};
    define(select, 1, back, 7, SQLT_DAT);
    ASSERT_EQ(select.fetch(1), SUCCESS) << select.errorText();
    EXPECT_EQ(std::memcmp(date, back, 7), 0);
}

TEST_F(DemoSession, TruncatedValueStillArrivesWith1406)
{
    Cursor c(db, "SELECT ENAME, EMPNO FROM EMP WHERE EMPNO = 101");
    ASSERT_EQ(c.execute(0), SUCCESS);
    char name[4];
    sb2 ind = 0;
    ub2 length = 0;
    int32_t empno = 0;
    define(c, 1, name, sizeof name, SQLT_STR, &ind, &length);
    define(c, 2, &empno, 4, SQLT_INT);
    EXPECT_EQ(c.fetch(1), SUCCESS_WITH_INFO);
    EXPECT_EQ(c.errorText(), "ORA-01406: fetched column value was truncated");
    EXPECT_STREQ(name, "HAL");
    EXPECT_EQ(ind, 9); // the length the value had
    EXPECT_EQ(length, 3);
    EXPECT_EQ(empno, 101);
    EXPECT_EQ(c.attribute4(ATTR_ROWS_FETCHED), 1u);
}

TEST_F(DemoSession, NullWithoutIndicatorFails)
{
    Cursor c(db, "SELECT COMM FROM EMP WHERE EMPNO = 101");
    ASSERT_EQ(c.execute(0), SUCCESS);
    double comm = 0;
    define(c, 1, &comm, 8, SQLT_FLT);
    EXPECT_EQ(c.fetch(1), ERROR);
    EXPECT_EQ(c.errorCode(), 1405);
}

TEST_F(DemoSession, RowCountsOfDml)
{
    struct Case {
        const char *sql;
        ub4 rows;
    };
    const Case cases[] = {
        { "UPDATE EMP SET SAL = SAL * 1 WHERE DEPTNO = 20", 3 },
        { "UPDATE EMP SET SAL = SAL WHERE DEPTNO = 99", 0 },
        { "INSERT INTO DEPT (DEPTNO, DNAME) VALUES (60, 'NEW')", 1 },
        { "DELETE FROM EMP WHERE DEPTNO = 30", 2 },
        { "DELETE FROM EMP", 6 },
    };
    for (const Case &k : cases) {
        Cursor c(db, k.sql);
        ASSERT_EQ(c.execute(1), SUCCESS) << k.sql << ": " << c.errorText();
        EXPECT_EQ(c.attribute4(ATTR_ROW_COUNT), k.rows) << k.sql;
    }
}

TEST_F(DemoSession, ArrayDmlStopsAtTheFailingRowAndResumesAfterIt)
{
    Cursor c(db, "INSERT INTO DEPT (DEPTNO, DNAME) VALUES (:1, 'D')");
    int32_t deptno[5] = { 51, 52, 10, 53, 54 }; // 10 exists
    ASSERT_EQ(bindPos(c, 1, deptno, 4, SQLT_INT), SUCCESS);
    EXPECT_EQ(c.execute(5), ERROR);
    EXPECT_EQ(c.errorCode(), 1);
    EXPECT_EQ(c.attribute4(ATTR_ROW_COUNT), 2u);
    ASSERT_EQ(c.execute(5, 3), SUCCESS) << c.errorText();
    EXPECT_EQ(c.attribute4(ATTR_ROW_COUNT), 2u);
    Cursor count(db, "SELECT COUNT(*) FROM DEPT WHERE DEPTNO BETWEEN 51 AND 54");
    int32_t n = 0;
    ASSERT_EQ(count.execute(0), SUCCESS);
    define(count, 1, &n, 4, SQLT_INT);
    count.fetch(1);
    EXPECT_EQ(n, 4);
}

TEST_F(DemoSession, UniqueViolationNamesTheConstraint)
{
    ASSERT_EQ(
        db.run("CREATE TABLE CODES (ID NUMBER, CODE VARCHAR2(5), PART VARCHAR2(5))"), SUCCESS);
    ASSERT_EQ(db.run("CREATE UNIQUE INDEX CODES_UK ON CODES (CODE)"), SUCCESS);
    ASSERT_EQ(db.run("CREATE TABLE PLAIN (ID NUMBER PRIMARY KEY)"), SUCCESS);
    ASSERT_EQ(db.run("INSERT INTO CODES VALUES (1, 'A', 'X')"), SUCCESS);
    ASSERT_EQ(db.run("INSERT INTO PLAIN VALUES (1)"), SUCCESS);
    struct Case {
        const char *sql, *constraint;
    };
    const Case cases[] = {
        { "INSERT INTO DEPT (DEPTNO, DNAME) VALUES (10, 'AGAIN')", "DEMO.PK_DEPT" },
        { "UPDATE EMP SET ENAME = 'NOWAK' WHERE EMPNO = 101", "DEMO.UK_EMP_ENAME" },
        { "INSERT INTO CODES VALUES (2, 'A', 'Y')", "DEMO.CODES_UK" },
    };
    for (const Case &k : cases) {
        EXPECT_EQ(db.run(k.sql), ERROR) << k.sql;
        EXPECT_EQ(db.errorText(),
            std::string("ORA-00001: unique constraint (") + k.constraint + ") violated");
    }
    // Without a name in the DDL the server makes one up.
    EXPECT_EQ(db.run("INSERT INTO PLAIN VALUES (1)"), ERROR);
    EXPECT_EQ(db.errorText().substr(0, 42), "ORA-00001: unique constraint (DEMO.SYS_C00");
}

TEST_F(DemoSession, ServerErrorsCarryTheirNumbersAndTexts)
{
    struct Case {
        const char *sql;
        const char *text;
    };
    const Case cases[] = {
        { "SELECT * FROM NO_SUCH_TABLE", "ORA-00942: table or view does not exist" },
        { "SELECT NO_SUCH_COLUMN FROM EMP", "ORA-00904: \"NO_SUCH_COLUMN\": invalid identifier" },
        { "INSERT INTO DEPT (DEPTNO) VALUES (70)",
            "ORA-01400: cannot insert NULL into (\"DEMO\".\"DEPT\".\"DNAME\")" },
        { "   ", "ORA-00900: invalid SQL statement" },
        { "", "ORA-00900: invalid SQL statement" },
    };
    for (const Case &k : cases) {
        EXPECT_EQ(db.run(k.sql), ERROR) << k.sql;
        EXPECT_EQ(db.errorText(), k.text) << k.sql;
    }
}

TEST_F(DemoSession, ForeignKeyViolationsNameTheKey)
{
    EXPECT_EQ(db.run("INSERT INTO EMP (EMPNO, ENAME, DEPTNO) VALUES (500, 'X', 99)"), ERROR);
    EXPECT_EQ(db.errorText(),
        "ORA-02291: integrity constraint (DEMO.FK_EMP_DEPT) violated - parent key not found");
    EXPECT_EQ(db.run("DELETE FROM DEPT WHERE DEPTNO = 10"), ERROR);
    EXPECT_EQ(db.errorText(),
        "ORA-02292: integrity constraint (DEMO.FK_EMP_DEPT) violated - child record found");
}

TEST_F(DemoSession, EmptyResultEndsWithNoData)
{
    Cursor c(db, "SELECT ENAME FROM EMP WHERE EMPNO = -1");
    ASSERT_EQ(c.execute(0), SUCCESS);
    char name[11];
    define(c, 1, name, sizeof name, SQLT_STR);
    EXPECT_EQ(c.fetch(10), NO_DATA);
    EXPECT_EQ(c.errorText(), "ORA-01403: no data found");
    EXPECT_EQ(c.attribute4(ATTR_ROWS_FETCHED), 0u);
}

TEST_F(DemoSession, DescribeOnlyGivesTheSelectListWithoutRunning)
{
    Cursor c(db, "SELECT EMPNO, ENAME FROM EMP");
    EXPECT_EQ(c.attribute2(ATTR_STMT_TYPE), 1);
    EXPECT_EQ(c.attribute2(ATTR_SQLFNCODE), 4);
    ASSERT_EQ(c.execute(0, 0, DESCRIBE_ONLY), SUCCESS) << c.errorText();
    EXPECT_EQ(c.attribute4(ATTR_PARAM_COUNT), 2u);
    EXPECT_EQ(api().traceCount(db.svc), 0);
    const char *names[] = { "EMPNO", "ENAME" };
    for (ub4 i = 1; i <= 2; ++i) {
        void *param = nullptr;
        ASSERT_EQ(api().ParamGet(c.stmt, HTYPE_STMT, c.err, &param, i), SUCCESS);
        char *name = nullptr;
        ub4 length = 0;
        ASSERT_EQ(api().AttrGet(param, DTYPE_PARAM, &name, &length, ATTR_NAME, c.err), SUCCESS);
        EXPECT_EQ(std::string(name, length), names[i - 1]);
    }
    void *param = nullptr;
    ub2 type = 0;
    api().ParamGet(c.stmt, HTYPE_STMT, c.err, &param, 2);
    api().AttrGet(param, DTYPE_PARAM, &type, nullptr, ATTR_DATA_TYPE, c.err);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(api().ParamGet(c.stmt, HTYPE_STMT, c.err, &param, 3), ERROR);
}

TEST_F(DemoSession, StatementTypesAfterPrepare)
{
    const std::pair<const char *, ub2> cases[]
        = { { "select 1 from EMP", 1 }, { "UPDATE EMP SET SAL = 1", 2 }, { "delete from EMP", 3 },
              { "INSERT INTO DEPT VALUES (1, 'A', 'B')", 4 }, { "begin null; end;", 8 } };
    for (const auto &[sql, type] : cases) {
        Cursor c(db, sql);
        EXPECT_EQ(c.attribute2(ATTR_STMT_TYPE), type) << sql;
    }
}

TEST_F(DemoSession, CommitOnSuccessMakesTheChangeVisibleToOtherSessions)
{
    Connection other;
    ASSERT_EQ(other.logon("DEMO", "DEMO"), SUCCESS);
    const auto countOf = [&](Connection &c, const char *sql) {
        Cursor k(c, sql);
        int32_t n = -1;
        k.execute(0);
        define(k, 1, &n, 4, SQLT_INT);
        k.fetch(1);
        return n;
    };
    ASSERT_EQ(db.run("INSERT INTO DEPT (DEPTNO, DNAME) VALUES (91, 'A')"), SUCCESS);
    EXPECT_EQ(countOf(other, "SELECT COUNT(*) FROM DEPT WHERE DEPTNO = 91"), 0);
    ASSERT_EQ(db.rollback(), SUCCESS);
    ASSERT_EQ(
        db.run("INSERT INTO DEPT (DEPTNO, DNAME) VALUES (92, 'B')", COMMIT_ON_SUCCESS), SUCCESS);
    EXPECT_EQ(countOf(other, "SELECT COUNT(*) FROM DEPT WHERE DEPTNO IN (91, 92)"), 1);
}

TEST_F(DemoSession, PreparedThroughTheStatementCacheCalls)
{
    using Prepare2
        = sword (*)(void *, void **, void *, const text *, ub4, const text *, ub4, ub4, ub4);
    using Release = sword (*)(void *, void *, const text *, ub4, ub4);
    auto prepare2 = reinterpret_cast<Prepare2>(symbol("OCIStmtPrepare2"));
    auto release = reinterpret_cast<Release>(symbol("OCIStmtRelease"));
    ASSERT_TRUE(prepare2 && release);
    const std::string sql = "SELECT DNAME FROM DEPT WHERE DEPTNO = 30";
    void *stmt = nullptr;
    ASSERT_EQ(prepare2(db.svc, &stmt, db.err, reinterpret_cast<const text *>(sql.c_str()),
                  static_cast<ub4>(sql.size()), nullptr, 0, NTV_SYNTAX, DEFAULT),
        SUCCESS);
    ub4 zero = 0;
    EXPECT_EQ(api().AttrSet(stmt, HTYPE_STMT, &zero, 4, ATTR_PREFETCH_ROWS, db.err), SUCCESS);
    ASSERT_EQ(api().StmtExecute(db.svc, stmt, db.err, 0, 0, nullptr, nullptr, DEFAULT), SUCCESS);
    char name[15];
    void *def = nullptr;
    api().DefineByPos(
        stmt, &def, db.err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr, DEFAULT);
    ASSERT_EQ(api().StmtFetch(stmt, db.err, 1, FETCH_NEXT, DEFAULT), SUCCESS) << db.errorText();
    EXPECT_STREQ(name, "LOGISTICS");
    EXPECT_EQ(release(stmt, db.err, nullptr, 0, DEFAULT), SUCCESS);
}

TEST_F(DemoSession, SessionHandleKeepsItsUserName)
{
    char *name = nullptr;
    ub4 length = 0;
    ASSERT_EQ(api().AttrGet(db.usr, HTYPE_SESSION, &name, &length, ATTR_USERNAME, db.err), SUCCESS);
    EXPECT_EQ(std::string(name, length), "DEMO");
    void *server = nullptr;
    ASSERT_EQ(api().AttrGet(db.svc, HTYPE_SVCCTX, &server, nullptr, ATTR_SERVER, db.err), SUCCESS);
    EXPECT_EQ(server, db.srv);
}
