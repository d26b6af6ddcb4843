// EXPLAIN PLAN on the stand-in: the plan rows it writes, in the session's transaction, and what
// it refuses.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace qd::test::standin;

namespace {

class StandinExplainPlan : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText(); }
    void TearDown() override { db.rollback(); }

    // Every row's columns joined with ",", the rows with "|".
    std::string rows(const std::string &sql, int columns)
    {
        Cursor c(db, sql);
        std::vector<std::array<char, 256>> values(static_cast<size_t>(columns));
        std::vector<sb2> indicator(static_cast<size_t>(columns));
        for (int i = 0; i < columns; ++i) {
            void *def = nullptr;
            api().DefineByPos(c.stmt, &def, c.err, ub4(i + 1), values[size_t(i)].data(), 256,
                SQLT_STR, &indicator[size_t(i)], nullptr, nullptr, 0);
        }
        std::string out;
        sword status = c.execute(1);
        while (status == SUCCESS) {
            if (!out.empty())
                out += "|";
            for (int i = 0; i < columns; ++i)
                out += (i ? "," : "")
                    + std::string(indicator[size_t(i)] < 0 ? "~" : values[size_t(i)].data());
            status = c.fetch(1);
        }
        if (status != NO_DATA)
            return "(" + c.errorText() + ")";
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
    EXPECT_EQ(rows("select id, parent_id, operation, options, object_name, position from plan_table "
                   "where statement_id = 'it''s' order by id",
                  6),
        "0,~,SELECT STATEMENT,~,~,3|1,0,TABLE ACCESS,FULL,EMP,1");
    // The user's own tables do not list it.
    EXPECT_EQ(rows("select count(*) from user_tables where table_name = 'PLAN_TABLE'", 1), "0");
    // A rollback takes the plan away; the table stays.
    ASSERT_EQ(db.rollback(), SUCCESS);
    EXPECT_EQ(rows("select count(*) from plan_table", 1), "0");
}

TEST_F(StandinExplainPlan, TheRuleHintHasNoCostAndChangesAreExplainedNotRun)
{
    ASSERT_EQ(db.run("explain plan for select /*+ RULE */ ename from emp"), SUCCESS) << db.errorText();
    EXPECT_EQ(rows("select position, optimizer from plan_table where id = 0", 2), "~,RULE");
    const std::string before = rows("select count(*) from emp", 1);
    ASSERT_NE(before, "0");
    ASSERT_EQ(db.run("explain plan for delete from emp"), SUCCESS) << db.errorText();
    EXPECT_EQ(rows("select count(*) from emp", 1), before);
    EXPECT_EQ(rows("select operation, object_name from plan_table where id = 1 and "
                   "operation = 'DELETE'",
                  2),
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
