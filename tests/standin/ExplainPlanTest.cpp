// EXPLAIN PLAN on the stand-in: the plan rows it writes, in the session's transaction, and what
// it refuses.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qd::test::standin;

namespace {

class StandinExplainPlan : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText(); }
    void TearDown() override { db.rollback(); }

    // Every row's columns joined with ",", the rows with "|"; "~" for a null.
    std::string rows(const std::string &sql)
    {
        Cursor c(db, sql);
        if (c.execute(0) != SUCCESS)
            return "(" + c.errorText() + ")";
        const FetchedText fetched = fetchAsText(c, 256);
        if (fetched.status != NO_DATA)
            return "(" + c.errorText() + ")";
        std::string out;
        for (const auto &row : fetched.rows) {
            if (!out.empty())
                out += "|";
            for (size_t i = 0; i < row.size(); ++i)
                out += (i ? "," : "") + row[i].value_or("~");
        }
        return out;
    }

    Connection db;
};

} // namespace

TEST_F(StandinExplainPlan, WritesTheTreeUnderTheStatementIdInTheTransaction)
{
    ASSERT_EQ(db.run("EXPLAIN PLAN SET STATEMENT_ID = 'it''s' FOR select * from emp where deptno = 10"),
        SUCCESS)
        << db.errorText();
    EXPECT_EQ(
        rows("select id, parent_id, operation, options, object_name, position from plan_table "
             "where statement_id = 'it''s' order by id"),
        "0,~,SELECT STATEMENT,~,~,3|1,0,TABLE ACCESS,FULL,EMP,1");
    // The user's own tables do not list it.
    EXPECT_EQ(rows("select count(*) from user_tables where table_name = 'PLAN_TABLE'"), "0");
    // A rollback takes the plan away; the table stays.
    ASSERT_EQ(db.rollback(), SUCCESS);
    EXPECT_EQ(rows("select count(*) from plan_table"), "0");
}

TEST_F(StandinExplainPlan, TheRuleHintHasNoCostAndChangesAreExplainedNotRun)
{
    ASSERT_EQ(db.run("explain plan for select /*+ RULE */ ename from emp"), SUCCESS) << db.errorText();
    EXPECT_EQ(rows("select position, optimizer from plan_table where id = 0"), "~,RULE");
    const std::string before = rows("select count(*) from emp");
    ASSERT_NE(before, "0");
    ASSERT_EQ(db.run("explain plan for delete from emp"), SUCCESS) << db.errorText();
    EXPECT_EQ(rows("select count(*) from emp"), before);
    EXPECT_EQ(rows("select operation, object_name from plan_table where id = 1 and "
                   "operation = 'DELETE'"),
        "DELETE,EMP");
}

TEST_F(StandinExplainPlan, RefusesWhatItCannotExplain)
{
    EXPECT_NE(db.run("explain plan for insert into dept values (60, 'A', 'B')"), SUCCESS);
    EXPECT_EQ(db.errorCode(), 905);
    EXPECT_NE(db.run("explain plan for select * from no_such_table"), SUCCESS);
    EXPECT_EQ(db.errorCode(), 942);
    EXPECT_NE(db.run("explain plan select * from emp"), SUCCESS);
    EXPECT_EQ(db.errorCode(), 905);
}
