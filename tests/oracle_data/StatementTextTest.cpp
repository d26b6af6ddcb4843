#include "oracle_data/DataSetStatementText.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

TEST(StatementText, AddsItemsToCommaLists)
{
    struct Case {
        const char *item;
        const char *list;
        bool spaced;
        const char *expected;
    };
    const Case cases[] = {
        { "", "A, B", true, "A, B" },
        { "", "", false, "" },
        { "A", "", true, "A" },
        { "C", "A, B", true, "A, B, C" },
        { "C", "A,B", false, "A,B,C" },
    };
    for (const Case &c : cases) {
        QString list = QString::fromLatin1(c.list);
        AddToList(QString::fromLatin1(c.item), list, c.spaced);
        EXPECT_EQ(list.toStdString(), c.expected) << c.item << " + " << c.list;
    }
}

TEST(StatementText, TakesTheFirstWordAndComparesFloats)
{
    EXPECT_EQ(FirstWord(QStringLiteral("select * from dual")).toStdString(), "select");
    EXPECT_EQ(FirstWord(QStringLiteral("update\tt")).toStdString(), "update");
    EXPECT_EQ(FirstWord(QStringLiteral("delete\r\nfrom t")).toStdString(), "delete");
    EXPECT_EQ(FirstWord(QStringLiteral("begin\nnull; end;")).toStdString(), "begin");
    EXPECT_EQ(FirstWord(QStringLiteral("commit")).toStdString(), "commit");
    EXPECT_EQ(FirstWord(QStringLiteral(" lead")).toStdString(), "");

    EXPECT_TRUE(SameFloat(0, 0));
    EXPECT_TRUE(SameFloat(1e-11, 0));
    EXPECT_FALSE(SameFloat(1e-9, 0));
    EXPECT_FALSE(SameFloat(1.0, 1.0000001));
    EXPECT_TRUE(SameFloat(1.0, 1.0 + 1e-12));
    EXPECT_TRUE(SameFloat(-5e20, -5e20 * (1 + 1e-11)));
    EXPECT_FALSE(SameFloat(1, -1));
}

TEST(StatementText, FindsWholeWordsOnly)
{
    struct Case {
        const char *word;
        const char *text;
        int position;
    };
    const Case cases[] = {
        { "ORDER", "select recorder from t", 0 },
        { "ORDER", "select a from t order by a", 17 },
        { "order", "ORDER BY 1", 1 },
        { "ORDER", "x ORDER", 3 },
        { "ORDER", "t.order by", 0 },
        { "ORDER", "x$order", 0 },
        { "ORDER", "\"order\"", 0 },
        { "ORDER", "(order)", 2 },
        { "ORDER", "a,order", 3 },
        { "ORDER", "a\norder", 3 },
        { "ORDER", "\u00e9order", 0 },
        { "FOR", "select 1 from dual for update", 20 },
        { "WHERE", "", 0 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(FindWord(QString::fromLatin1(c.word), QString::fromUtf8(c.text)), c.position)
            << c.word << " in " << c.text;
}

TEST(StatementText, SplitsASelectAtItsOutermostCondition)
{
    struct Case {
        const char *statement;
        const char *head;
        const char *where;
        const char *tail;
        const char *keyword;
    };
    const Case cases[] = {
        { "select * from emp", "select * from emp", "", "", "where" },
        { "select * from emp where sal > 1000 order by ename", "select * from emp", "sal > 1000",
            "order by ename", "where" },
        { "SELECT * FROM EMP WHERE DEPTNO = 10", "SELECT * FROM EMP", "DEPTNO = 10", "", "where" },
        { "select * from emp for update nowait", "select * from emp", "", "for update nowait",
            "where" },
        { "select * from emp where empno = 1 for update", "select * from emp", "empno = 1",
            "for update", "where" },
        // A WHERE inside a sub-query is masked.
        { "select * from (select * from emp where sal > 1) order by 1",
            "select * from (select * from emp where sal > 1)", "", "order by 1", "where" },
        { "select * from emp e where exists (select 1 from dept d where d.deptno = e.deptno "
          "order by 1)",
            "select * from emp e",
            "exists (select 1 from dept d where d.deptno = e.deptno "
            "order by 1)",
            "", "where" },
        // Grouped statements are split at HAVING.
        { "select deptno, count(*) from emp where sal > 0 group by deptno having count(*) > 2 "
          "order by deptno",
            "select deptno, count(*) from emp where sal > 0 group by deptno", "count(*) > 2",
            "order by deptno", "having" },
        { "select deptno from emp group by deptno", "select deptno from emp group by deptno", "",
            "", "having" },
        // Words inside literals and comments do not count, nor do parentheses in a literal.
        { "select 'where' w from emp", "select 'where' w from emp", "", "", "where" },
        { "select * from emp where ename = '(' order by 1", "select * from emp", "ename = '('",
            "order by 1", "where" },
        { "select * /* where x order */ from emp -- where\r\nwhere a = 1", "select *  from emp",
            "a = 1", "", "where" },
        { "  select\n*\nfrom emp\nwhere\ta=1\n", "select\n*\nfrom emp", "a=1", "", "where" },
        { "select recorder from t where forward = 1", "select recorder from t", "forward = 1", "",
            "where" },
        // A WHERE after the ORDER BY belongs to the tail: no text goes to two pieces.
        { "select * from emp order by ename where sal > 1", "select * from emp", "",
            "order by ename where sal > 1", "where" },
        { "select * from emp for update where x = 1", "select * from emp", "",
            "for update where x = 1", "where" },
    };
    for (const Case &c : cases) {
        QString head = QStringLiteral("old"), where = head, tail = head, keyword = head;
        SplitStatement(QString::fromLatin1(c.statement), head, where, tail, keyword);
        EXPECT_EQ(head.toStdString(), c.head) << c.statement;
        EXPECT_EQ(where.toStdString(), c.where) << c.statement;
        EXPECT_EQ(tail.toStdString(), c.tail) << c.statement;
        EXPECT_EQ(keyword.toStdString(), c.keyword) << c.statement;
    }
}

} // namespace
