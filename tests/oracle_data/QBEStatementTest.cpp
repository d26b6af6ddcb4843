#include "oracle_data/QBEStatement.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

const QString marker = QStringLiteral("/* Modified for QBE */");
const QString condition = QStringLiteral("(ENAME = 'KING')");

QStringList lines(std::initializer_list<const char *> items)
{
    QStringList result;
    for (const char *item : items)
        result.append(QString::fromUtf8(item));
    return result;
}

TEST(QBEStatement, BuildsTheCombinedCondition)
{
    EXPECT_EQ(BuildQBECondition({}).toStdString(), "");
    EXPECT_EQ(BuildQBECondition({
                                    { "ENAME", "= 'KING'", false },
                                    { "SAL", "", false }, // nothing for this field
                                    { "DEPTNO", "= 10", true },
                                    { "COMM", "is null", true },
                                })
                  .toStdString(),
        "(ENAME = 'KING')\r\nand not (DEPTNO = 10) or DEPTNO is null\r\nand not (COMM is null)");
}

TEST(QBEStatement, MergesTheConditionAtTheOutermostLevel)
{
    struct Case {
        const char *statement;
        QStringList expected;
    };
    const Case cases[] = {
        { "select * from emp", lines({ "select * from emp", "where (ENAME = 'KING')", "" }) },
        { "select * from emp where deptno = 10 order by ename",
            lines({ "select * from emp", "where (deptno = 10)\r\nand\r\n((ENAME = 'KING'))",
                "order by ename" }) },
        { "select * from emp\nwhere sal > 0\nfor update",
            lines({ "select * from emp", "where (sal > 0)\r\nand\r\n((ENAME = 'KING'))",
                "for update" }) },
        // Grouped: the condition goes to HAVING; the WHERE stays in the head.
        { "select deptno, count(*) from emp where sal > 0 group by deptno",
            lines({ "select deptno, count(*) from emp where sal > 0 group by deptno",
                "having (ENAME = 'KING')", "" }) },
        { "select deptno from emp group by deptno having count(*) > 1 order by 1",
            lines({ "select deptno from emp group by deptno",
                "having (count(*) > 1)\r\nand\r\n((ENAME = 'KING'))", "order by 1" }) },
        // A WHERE inside a sub-query is not the statement's own.
        { "select * from (select * from emp where sal > 0) e order by 1",
            lines({ "select * from (select * from emp where sal > 0) e", "where (ENAME = 'KING')",
                "order by 1" }) },
        { "select * from emp e where exists (select 1 from dept d where d.deptno = e.deptno)",
            lines({ "select * from emp e",
                "where (exists (select 1 from dept d where d.deptno = e.deptno))\r\nand\r\n"
                "((ENAME = 'KING'))",
                "" }) },
    };
    for (const Case &c : cases) {
        QStringList expected = c.expected;
        expected.append(marker);
        EXPECT_EQ(MergeQBECondition(QString::fromUtf8(c.statement), condition), expected)
            << c.statement;
    }
}

TEST(QBEStatement, ApplyingTwiceKeepsOneMarkerAndRemovingRestoresExactly)
{
    const QStringList originals[] = {
        lines({ "select * from emp" }),
        lines({ "select *", "  from emp -- all staff", " where deptno = 10", "order by ename" }),
        lines({ "select deptno, count(*)", "from emp", "group by deptno" }),
        lines({ "select * from (select * from emp where sal > 0)", "/* note */ order by 1" }),
    };
    for (const QStringList &original : originals) {
        TQBEStatement qbe;
        QStringList sql = original;
        ASSERT_TRUE(qbe.Apply(sql, condition));
        EXPECT_TRUE(qbe.Applied());
        EXPECT_TRUE(HasQBEMarker(sql));
        const QStringList once = sql;

        ASSERT_TRUE(qbe.Apply(sql, QStringLiteral("(SAL > 100)")));
        EXPECT_EQ(sql.count(marker), 1) << sql.join(u'|').toStdString();
        EXPECT_FALSE(sql.join(u'\n').contains(QStringLiteral("KING")));
        EXPECT_EQ(qbe.SavedSQL(), original);

        EXPECT_TRUE(qbe.Remove(sql));
        EXPECT_FALSE(qbe.Applied());
        EXPECT_EQ(sql, original);
        // Nothing left to remove.
        EXPECT_FALSE(qbe.Remove(sql));
        EXPECT_EQ(sql, original);
        EXPECT_NE(once, original);
    }
}

TEST(QBEStatement, AnEmptyConditionLeavesTheStatementAsWritten)
{
    TQBEStatement qbe;
    const QStringList original = lines({ "select * from emp", "where deptno = 10" });
    QStringList sql = original;
    ASSERT_TRUE(qbe.Apply(sql, condition));
    // Applying nothing removes the previous condition and applies none.
    EXPECT_FALSE(qbe.Apply(sql, QString()));
    EXPECT_FALSE(qbe.Applied());
    EXPECT_EQ(sql, original);
}

TEST(QBEStatement, RemoveLeavesStatementsItDidNotWrite)
{
    TQBEStatement qbe;
    QStringList sql = lines({ "select * from emp" });
    ASSERT_TRUE(qbe.Apply(sql, condition));
    // The user replaced the statement: there is no marker, so it stays.
    QStringList edited = lines({ "select * from dept" });
    EXPECT_FALSE(qbe.Remove(edited));
    EXPECT_EQ(edited, lines({ "select * from dept" }));

    // A statement that ends with the marker but was never rewritten here (saved that way)
    // has nothing to go back to, so it is not emptied.
    TQBEStatement fresh;
    QStringList marked = lines({ "select * from emp", "where (x = 1)", "" });
    marked.append(marker);
    const QStringList kept = marked;
    EXPECT_FALSE(fresh.Remove(marked));
    EXPECT_EQ(marked, kept);
}

TEST(QBEStatement, RewritesTheStatementTheServerSees)
{
    TQBEStatement qbe;
    const QStringList original = lines({ "select * from &table_name" });
    QStringList sql = original;
    QStringList seen;
    ASSERT_TRUE(qbe.Apply(sql, condition, [&](const QStringList &restored) {
        seen = restored;
        return QStringLiteral("select * from emp");
    }));
    EXPECT_EQ(seen, original);
    EXPECT_EQ(sql.first().toStdString(), "select * from emp");
    EXPECT_TRUE(qbe.Remove(sql));
    EXPECT_EQ(sql, original);
}

TEST(QBEStatement, RecognisesQBEVariableNames)
{
    EXPECT_TRUE(IsQBEVariableName(QStringLiteral(":ZEB__QBE")));
    EXPECT_TRUE(IsQBEVariableName(QStringLiteral(":ZEB__QBE_ENAME")));
    EXPECT_FALSE(IsQBEVariableName(QStringLiteral(":zeb__qbe1")));
    EXPECT_FALSE(IsQBEVariableName(QStringLiteral(":ZEB__QB")));
    EXPECT_FALSE(IsQBEVariableName(QStringLiteral("ZEB__QBE1")));
    EXPECT_FALSE(HasQBEMarker({}));
}

} // namespace
