// SQL that install scripts and users write: what the stand-in takes as a server does, and what
// it refuses with ORA-03001 naming the feature instead of misreading it.
#include "StandinClient.h"

#include <gtest/gtest.h>

using namespace qd::test::standin;

namespace {

class EverydaySql : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText(); }

    // Every row's first column, joined with "|".
    std::string column(const std::string &sql)
    {
        Cursor c(db, sql);
        if (c.execute(0) != SUCCESS)
            return "(" + c.errorText() + ")";
        const FetchedText fetched = fetchAsText(c, 4001);
        if (fetched.status != NO_DATA)
            return "(" + c.errorText() + ")";
        std::string out;
        for (const auto &row : fetched.rows)
            out += (out.empty() ? "" : "|") + row[0].value_or("(null)");
        return out;
    }

    Connection db;
};

} // namespace

TEST_F(EverydaySql, ListaggJoinsEachGroupsValuesInTheGivenOrder)
{
    EXPECT_EQ(column("SELECT LISTAGG(ENAME, ',') WITHIN GROUP (ORDER BY ENAME)\n"
                     "  FROM EMP\n WHERE DEPTNO IS NOT NULL\n GROUP BY DEPTNO\n ORDER BY DEPTNO"),
        "DUBOIS,HALVORSEN|MORETTI,OKAFOR,TANAKA|NOWAK,SILVA");
    EXPECT_EQ(column("SELECT LISTAGG(ENAME, '/') WITHIN GROUP (ORDER BY SAL DESC) FROM EMP "
                     "WHERE DEPTNO = 20"),
        "OKAFOR/TANAKA/MORETTI");
    // Nulls are left out; no value at all is null; without a separator the values touch.
    EXPECT_EQ(column("SELECT LISTAGG(COMM) WITHIN GROUP (ORDER BY COMM) FROM EMP"), "0120350");
    EXPECT_EQ(column("SELECT LISTAGG(ENAME, ',') WITHIN GROUP (ORDER BY ENAME) FROM EMP "
                     "WHERE 1 = 0"),
        "(null)");
    // A plain column beside it must be grouped.
    EXPECT_EQ(column("SELECT JOB, LISTAGG(ENAME, ',') WITHIN GROUP (ORDER BY ENAME) FROM EMP")
                  .find("ORA-00937"),
        1u);
}

TEST_F(EverydaySql, WhatIsOutOfReachFailsNamingTheFeature)
{
    const struct {
        const char *sql;
        const char *feature;
    } cases[] = {
        { "SELECT JSON_VALUE('{\"a\":1}', '$.a') FROM DUAL", "JSON_VALUE" },
        { "SELECT ENAME, CONNECT_BY_ISCYCLE FROM EMP START WITH MGR IS NULL "
          "CONNECT BY NOCYCLE PRIOR EMPNO = MGR",
            "CONNECT_BY_ISCYCLE" },
        { "SELECT TO_TIMESTAMP_TZ('2024-01-02 +01:00', 'YYYY-MM-DD TZH:TZM') FROM DUAL",
            "TO_TIMESTAMP_TZ" },
        { "SELECT MEDIAN(SAL) FROM EMP", "MEDIAN" },
        { "SELECT * FROM (SELECT DEPTNO, SAL FROM EMP) PIVOT (SUM(SAL) FOR DEPTNO IN (10, 20))",
            "PIVOT" },
        { "CREATE TABLE ED_VIRTUAL (N NUMBER, M NUMBER GENERATED ALWAYS AS (N * 2) VIRTUAL)",
            "virtual column" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        Cursor cursor(db, c.sql);
        EXPECT_EQ(cursor.execute(1), ERROR);
        EXPECT_EQ(cursor.errorCode(), 3001);
        EXPECT_EQ(cursor.errorText(), std::string("ORA-03001: unimplemented feature: ") + c.feature);
    }
}

TEST_F(EverydaySql, CommentsAreStoredAndShownInTheDictionary)
{
    db.run("DROP TABLE ED_COMMENTED");
    ASSERT_EQ(db.run("CREATE TABLE ED_COMMENTED (ID NUMBER, NAME VARCHAR2(10))"), SUCCESS);
    ASSERT_EQ(db.run("COMMENT ON TABLE ED_COMMENTED IS 'People''s names'"), SUCCESS)
        << db.errorText();
    ASSERT_EQ(db.run("COMMENT ON COLUMN DEMO.ED_COMMENTED.NAME IS 'The name'"), SUCCESS)
        << db.errorText();
    EXPECT_EQ(column("SELECT COMMENTS FROM USER_TAB_COMMENTS WHERE TABLE_NAME = 'ED_COMMENTED'"),
        "People's names");
    EXPECT_EQ(column("SELECT COMMENTS FROM ALL_COL_COMMENTS WHERE TABLE_NAME = 'ED_COMMENTED' "
                     "ORDER BY COLUMN_NAME"),
        "(null)|The name");
    ASSERT_EQ(db.run("COMMENT ON TABLE ED_COMMENTED IS ''"), SUCCESS);
    EXPECT_EQ(column("SELECT COMMENTS FROM DBA_TAB_COMMENTS WHERE TABLE_NAME = 'ED_COMMENTED'"),
        "(null)");
    EXPECT_EQ(db.run("COMMENT ON COLUMN ED_COMMENTED.NOSUCH IS 'x'"), ERROR);
    EXPECT_EQ(db.errorCode(), 904);
    EXPECT_EQ(db.run("COMMENT ON TABLE ED_NOSUCH IS 'x'"), ERROR);
    EXPECT_EQ(db.errorCode(), 942);
}
