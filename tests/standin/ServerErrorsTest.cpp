// The server's errors for statements a user gets wrong, through the C interface: code, message
// and parse error offset, and what a failed statement leaves behind.
#include "StandinClient.h"
#include "common/ServerErrorCases.h"

#include <gtest/gtest.h>

using namespace qd::test;
using namespace qd::test::standin;

namespace {

constexpr ub4 ATTR_PARSE_ERROR_OFFSET = 129;

class ServerErrors : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText();
        for (const char *sql : serverErrorSetup)
            db.run(sql);
    }

    std::string firstRow(const std::string &sql)
    {
        Cursor c(db, sql);
        char value[256] = {};
        void *def = nullptr;
        api().DefineByPos(
            c.stmt, &def, c.err, 1, value, sizeof value, SQLT_STR, nullptr, nullptr, nullptr, 0);
        const sword status = c.execute(1);
        return status == SUCCESS ? std::string(value) : "(" + c.errorText() + ")";
    }

    Connection db;
};

} // namespace

TEST_F(ServerErrors, EachStatementGetsTheServersCodeMessageAndOffset)
{
    for (const ServerErrorCase &c : serverErrorCases) {
        SCOPED_TRACE(c.sql);
        Cursor cursor(db, c.sql);
        // A query fails at its first fetch at the latest.
        ASSERT_EQ(cursor.execute(1), ERROR);
        EXPECT_EQ(cursor.errorCode(), c.code) << cursor.errorText();
        EXPECT_EQ(cursor.errorText().rfind(c.message, 0), 0u) << cursor.errorText();
        if (c.offset() >= 0) {
            EXPECT_EQ(cursor.attribute2(ATTR_PARSE_ERROR_OFFSET), c.offset());
        }
    }
    // None of them changed anything.
    EXPECT_EQ(firstRow("SELECT COUNT(*) FROM QE_CHILD"), "1");
    EXPECT_EQ(firstRow("SELECT COUNT(*) FROM QE_INT_KEY"), "0");
    EXPECT_EQ(firstRow("SELECT COUNT(*) FROM EMP WHERE ENAME IS NOT NULL"),
        firstRow("SELECT COUNT(*) FROM EMP"));
    EXPECT_EQ(firstRow("SELECT COUNT(*) FROM USER_OBJECTS WHERE OBJECT_NAME IN "
                       "('QE_VIEW', 'QE_ORPHAN')"),
        "0");
}

TEST_F(ServerErrors, GroupedQueriesThatAreRightStillRun)
{
    const char *const fine[] = {
        "SELECT DEPTNO, COUNT(*) FROM EMP GROUP BY DEPTNO",
        "SELECT E.DEPTNO, COUNT(*) FROM EMP E GROUP BY DEPTNO",
        "SELECT DEPTNO D, MAX(SAL) TOP FROM EMP GROUP BY DEPTNO",
        "SELECT COUNT(*), 'x', SYSDATE FROM EMP",
        "SELECT TO_CHAR(HIREDATE, 'YYYY'), COUNT(*) FROM EMP GROUP BY TO_CHAR(HIREDATE, 'YYYY')",
        "SELECT ENAME, COUNT(*) OVER () FROM EMP",
        "SELECT DEPTNO, (SELECT COUNT(*) FROM DEPT) FROM EMP GROUP BY DEPTNO",
        "SELECT COUNT(*) FROM EMP WHERE EMPNO = '104'",
        "SELECT COUNT(*) FROM EMP WHERE JOB > 0 AND 1 = 0",
    };
    for (const char *sql : fine) {
        SCOPED_TRACE(sql);
        Cursor cursor(db, sql);
        EXPECT_EQ(cursor.execute(0), SUCCESS) << cursor.errorText();
    }
    EXPECT_EQ(firstRow("SELECT COUNT(*) FROM EMP WHERE EMPNO = '104'"), "1");
    EXPECT_EQ(firstRow("SELECT COUNT(*) FROM EMP WHERE DEPTNO = ' 20'"), "3");
}

TEST_F(ServerErrors, ForceViewOverAMissingTableIsInvalidUntilTheTableComes)
{
    db.run("DROP VIEW QE_FORCED");
    db.run("DROP TABLE QE_LATER");
    ASSERT_EQ(db.run("CREATE FORCE VIEW QE_FORCED AS SELECT N FROM QE_LATER"), SUCCESS)
        << db.errorText();
    const std::string status
        = "SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'QE_FORCED'";
    EXPECT_EQ(firstRow(status), "INVALID");
    ASSERT_EQ(db.run("CREATE TABLE QE_LATER (N NUMBER)"), SUCCESS) << db.errorText();
    EXPECT_EQ(firstRow(status), "VALID");

    // A replacement that fails leaves the view as it was.
    EXPECT_EQ(db.run("CREATE OR REPLACE VIEW QE_FORCED AS SELECT NX FROM QE_LATER"), ERROR);
    EXPECT_EQ(db.errorCode(), 904);
    EXPECT_EQ(firstRow(status), "VALID");
    EXPECT_EQ(db.run("CREATE OR REPLACE VIEW QE_FORCED AS SELECT N, N + 1 M FROM QE_LATER"),
        SUCCESS)
        << db.errorText();
}
