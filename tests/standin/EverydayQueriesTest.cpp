// Queries that reports and scripts write, through the product's query: TO_TIMESTAMP with the
// format models, ROLLUP / CUBE / GROUPING SETS with GROUPING() and GROUPING_ID(), and the
// hierarchical extras (SYS_CONNECT_BY_PATH, CONNECT_BY_ROOT, CONNECT_BY_ISLEAF, ORDER SIBLINGS BY).
#include "ServerFidelityTestSupport.h"

namespace qd::test {
namespace {

using Rows = std::vector<std::string>;
using EverydayQueries = StandinQueryTest;

std::string code(const std::string &error)
{
    return error.substr(0, 9);
}

TEST_F(EverydayQueries, ToTimestampReadsTheFormatModelsWithFractions)
{
    const struct {
        const char *expression;
        const char *text;
    } cases[] = {
        { "to_char(to_timestamp('2024-02-29 13:45:10.123456', 'YYYY-MM-DD HH24:MI:SS.FF'), "
          "'DD.MM.YYYY HH24:MI:SS.FF3')",
            "29.02.2024 13:45:10.123" },
        // The session's timestamp format, with X for the radix and a 12-hour clock.
        { "to_char(to_timestamp('05-MAR-24 01.02.03.5 PM'), 'YYYY-MM-DD HH24:MI:SS.FF2')",
            "2024-03-05 13:02:03.50" },
        { "to_char(to_timestamp('7/1/2023 8:05', 'MM/DD/YYYY HH24:MI'), 'YYYY-MM-DD HH24:MI:SS.FF')",
            "2023-07-01 08:05:00.000000000" },
        { "to_char(to_timestamp('2023-07-01 00:00:00.000000007', 'YYYY-MM-DD HH24:MI:SSXFF9'), "
          "'FF9')",
            "000000007" },
        { "to_char(to_timestamp('20240101', 'YYYYMMDD') + 1.5, 'YYYY-MM-DD HH24:MI')",
            "2024-01-02 12:00" },
        { "nvl(to_char(to_timestamp(null, 'YYYY')), 'null')", "null" },
        { "to_char(trunc(to_timestamp('2024-05-17 10:11:12.9', 'YYYY-MM-DD HH24:MI:SS.FF'), 'MM'), "
          "'YYYY-MM-DD HH24:MI:SS')",
            "2024-05-01 00:00:00" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_EQ(scalar(std::string("select ") + c.expression + " from dual"), c.text);
    }

    const struct {
        const char *expression;
        const char *code;
    } errors[] = {
        { "to_timestamp('2024-13-01', 'YYYY-MM-DD')", "ORA-01843" },
        { "to_timestamp('2024-01-01 10', 'YYYY-MM-DD')", "ORA-01830" },
        { "to_timestamp('abc', 'YYYY')", "ORA-01858" },
        { "to_timestamp('2024', 'YYYY ZZ')", "ORA-01821" },
        // A DATE has no fraction.
        { "to_date('2024-01-01 10:00:00.5', 'YYYY-MM-DD HH24:MI:SS.FF')", "ORA-01821" },
        { "to_char(sysdate, 'FF3')", "ORA-01821" },
    };
    for (const auto &c : errors) {
        SCOPED_TRACE(c.expression);
        EXPECT_EQ(code(error(std::string("select ") + c.expression + " from dual")), c.code);
    }
}

TEST_F(EverydayQueries, ToTimestampValuesStoreCompareAndSort)
{
    runQuietly("drop table TS_EVENTS");
    run("create table TS_EVENTS (id number, at timestamp(6))");
    run("insert into TS_EVENTS values (1, to_timestamp('2024-03-01 10:00:00.250000', "
        "'YYYY-MM-DD HH24:MI:SS.FF'))");
    run("insert into TS_EVENTS values (2, to_timestamp('2024-03-01 10:00:00.125', "
        "'YYYY-MM-DD HH24:MI:SS.FF'))");
    run("insert into TS_EVENTS values (3, to_timestamp('2024-02-28 23:59:59', "
        "'YYYY-MM-DD HH24:MI:SS'))");
    EXPECT_EQ(rows("select id, to_char(at, 'YYYY-MM-DD HH24:MI:SS.FF3') from TS_EVENTS order by at"),
        (Rows { "3|2024-02-28 23:59:59.000", "2|2024-03-01 10:00:00.125",
            "1|2024-03-01 10:00:00.250" }));
    EXPECT_EQ(scalar("select count(*) from TS_EVENTS where at > to_timestamp("
                     "'2024-03-01 10:00:00.2', 'YYYY-MM-DD HH24:MI:SS.FF')"),
        "1");
    // TO_TIMESTAMP is described as a TIMESTAMP: the query shows it as it shows the column.
    const std::string column = scalar("select at from TS_EVENTS where id = 2");
    EXPECT_NE(column.find("2024"), std::string::npos) << column;
    EXPECT_EQ(scalar("select to_timestamp('2024-03-01 10:00:00.125', 'YYYY-MM-DD HH24:MI:SS.FF') "
                     "from dual"),
        column);
    run("drop table TS_EVENTS");
}

class GroupingQueries : public StandinQueryTest {
protected:
    void SetUp() override
    {
        StandinQueryTest::SetUp();
        runQuietly("drop table GS_SALES");
        run("create table GS_SALES (region varchar2(5), product varchar2(5), amount number)");
        for (const char *row : { "'R1', 'A', 10", "'R1', 'B', 20", "'R1', 'A', 5", "'R2', 'A', 7",
                 "'R2', 'C', 3" })
            run(std::string("insert into GS_SALES values (") + row + ")");
    }
    void TearDown() override
    {
        runQuietly("drop table GS_SALES");
        StandinQueryTest::TearDown();
    }
};

TEST_F(GroupingQueries, RollupCubeAndGroupingSetsGiveEachSetsRows)
{
    EXPECT_EQ(rows("select region, product, sum(amount), grouping(region), grouping(product), "
                   "grouping_id(region, product) from GS_SALES "
                   "group by rollup(region, product) order by region, product"),
        (Rows { "R1|A|15|0|0|0", "R1|B|20|0|0|0", "R1|(null)|35|0|1|1", "R2|A|7|0|0|0",
            "R2|C|3|0|0|0", "R2|(null)|10|0|1|1", "(null)|(null)|45|1|1|3" }));
    EXPECT_EQ(rows("select region, product, sum(amount) from GS_SALES "
                   "group by cube(region, product) order by region, product"),
        (Rows { "R1|A|15", "R1|B|20", "R1|(null)|35", "R2|A|7", "R2|C|3", "R2|(null)|10",
            "(null)|A|22", "(null)|B|20", "(null)|C|3", "(null)|(null)|45" }));
    EXPECT_EQ(rows("select region, product, sum(amount) from GS_SALES "
                   "group by grouping sets ((region), (product), ()) order by region, product"),
        (Rows { "R1|(null)|35", "R2|(null)|10", "(null)|A|22", "(null)|B|20", "(null)|C|3",
            "(null)|(null)|45" }));
    // A plain expression combines with every set of the ROLLUP after it.
    EXPECT_EQ(rows("select region, product, sum(amount) from GS_SALES "
                   "group by region, rollup(product) order by 1, 2"),
        (Rows { "R1|A|15", "R1|B|20", "R1|(null)|35", "R2|A|7", "R2|C|3", "R2|(null)|10" }));
    // Aggregates read the rows' own values; a qualified column is the grouped one.
    EXPECT_EQ(rows("select s.region, count(region), count(*) from GS_SALES s "
                   "group by rollup(region) order by s.region"),
        (Rows { "R1|3|3", "R2|2|2", "(null)|5|5" }));
    // HAVING and ORDER BY read the grouping too.
    EXPECT_EQ(rows("select nvl(region, 'ALL'), sum(amount) from GS_SALES "
                   "group by rollup(region, product) having grouping(product) = 1 "
                   "order by grouping(region), region"),
        (Rows { "R1|35", "R2|10", "ALL|45" }));
    // Without a rollup every expression is grouped in every row.
    EXPECT_EQ(rows("select region, grouping(region) from GS_SALES group by region order by 1"),
        (Rows { "R1|0", "R2|0" }));
    EXPECT_EQ(code(error("select region, grouping(amount) from GS_SALES group by rollup(region)")),
        "ORA-00979");
    EXPECT_EQ(code(error("select region, product, sum(amount) from GS_SALES "
                         "group by rollup(region)")),
        "ORA-00979");
}

class TreeQueries : public StandinQueryTest {
protected:
    void SetUp() override
    {
        StandinQueryTest::SetUp();
        runQuietly("drop table CB_ORG");
        run("create table CB_ORG (id number primary key, parent number, name varchar2(10))");
        // Inserted so that rowid order differs from name order among siblings.
        for (const char *row : { "1, null, 'CEO'", "2, 1, 'B'", "3, 1, 'A'", "4, 2, 'X'",
                 "5, 3, 'Z'", "6, 3, 'Y'" })
            run(std::string("insert into CB_ORG values (") + row + ")");
    }
    void TearDown() override
    {
        runQuietly("drop table CB_ORG");
        StandinQueryTest::TearDown();
    }
};

TEST_F(TreeQueries, PathsRootsLeavesAndSiblingOrder)
{
    EXPECT_EQ(rows("select level, sys_connect_by_path(name, '/') path, connect_by_isleaf "
                   "from CB_ORG start with parent is null connect by prior id = parent "
                   "order siblings by name"),
        (Rows { "1|/CEO|0", "2|/CEO/A|0", "3|/CEO/A/Y|1", "3|/CEO/A/Z|1", "2|/CEO/B|0",
            "3|/CEO/B/X|1" }));
    EXPECT_EQ(rows("select name from CB_ORG start with parent is null "
                   "connect by prior id = parent order siblings by name desc"),
        (Rows { "CEO", "B", "X", "A", "Z", "Y" }));
    // Without ORDER SIBLINGS BY siblings come in the order they were stored.
    EXPECT_EQ(rows("select name from CB_ORG start with parent is null connect by prior id = parent"),
        (Rows { "CEO", "B", "X", "A", "Z", "Y" }));
    EXPECT_EQ(rows("select connect_by_root name as root, name, sys_connect_by_path(id, ' > ') "
                   "from CB_ORG start with parent = 1 connect by prior id = parent "
                   "order siblings by id"),
        (Rows { "B|B| > 2", "B|X| > 2 > 4", "A|A| > 3", "A|Z| > 3 > 5", "A|Y| > 3 > 6" }));
    // WHERE filters the tree's rows after it is built; leaves stay leaves.
    EXPECT_EQ(rows("select name from CB_ORG where connect_by_isleaf = 1 "
                   "start with parent is null connect by prior id = parent order by name"),
        (Rows { "X", "Y", "Z" }));
    EXPECT_EQ(rows("select name, connect_by_root name from CB_ORG start with parent = 3 "
                   "connect by prior id = parent order by connect_by_root name, name"),
        (Rows { "Y|Y", "Z|Z" }));

    EXPECT_EQ(code(error("select sys_connect_by_path(name, '/') from CB_ORG")), "ORA-30002");
    EXPECT_EQ(code(error("select name from CB_ORG order siblings by name")), "ORA-30929");
    EXPECT_EQ(code(error("select sys_connect_by_path(name, name) from CB_ORG "
                         "start with parent is null connect by prior id = parent")),
        "ORA-30003");
}

} // namespace
} // namespace qd::test
