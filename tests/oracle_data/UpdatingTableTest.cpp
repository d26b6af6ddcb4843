#include "oracle_data/UpdatingTable.h"
#include "EditBackTestSupport.h"

#include "classlib/Exception.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

struct TableCase {
    const char *sql;
    const char *name; // resolved updating table
    const char *alias;
    const char *rowReference; // what "alias.rowid" and "of alias.COL" use
};

const TableCase tableCases[] = {
    { "select T.rowid, T.* from O.T", "O.T", "", "O.T" },
    { "select e.* from emp e", "EMP", "E", "E" },
    { "select e.*\r\n  from emp\r\n  e\r\n where e.sal > 0", "EMP", "E", "E" },
    { "select * from emp where deptno = 10", "EMP", "", "emp" },
    { "select * from emp order by 1", "EMP", "", "emp" },
    { "select * from emp for update", "EMP", "", "emp" },
    // A second table of the FROM list is no alias of the first.
    { "select * from emp, dept where emp.deptno = dept.deptno", "EMP", "", "emp" },
    { "select * from emp e, dept d", "EMP", "E", "E" },
    { "select /* from x */ * from emp e -- from y", "EMP", "E", "E" },
    { "select * from (select * from emp)", "EMP", "", "EMP" },
    { "select * from (select * from emp) v", "EMP", "V", "V" },
    { "select x.rowid, x.* from \"Scott\".\"Emp\" x", "SCOTT.EMP", "X", "X" },
    { "select * from \"Scott\".\"Emp\"", "SCOTT.EMP", "", "\"Scott\".\"Emp\"" },
    // A collection expression is named with its word, as written; its alias follows the
    // parenthesis that closes it.
    { "select * from TABLE(x.y)", "TABLE(x.y)", "", "TABLE(x.y)" },
    { "select * from the ( select c from t where c = ')' ) z",
        "the ( select c from t where c = ')' )", "Z", "Z" },
    { "select t.*, rowid\r\nfrom table(select m.lines\r\n           from   cd_order m\r\n"
      "           where  m.no = :no) t",
        "table(select m.lines\r\n           from   cd_order m\r\n           where  m.no = :no)",
        "T", "T" },
    { "select * from table(select m.lines from cd_order m where m.no = :no) t\r\n"
      "where t.qty > 1 order by 1",
        "table(select m.lines from cd_order m where m.no = :no)", "T", "T" },
    { "select * from table (x.y) order by 1", "table (x.y)", "", "table (x.y)" },
    { "select * from TABLE(x.y", "", "", "" },
    { "select sysdate", "", "", "" },
    { "select 'from x' from dual", "DUAL", "", "dual" },
};

TEST(UpdatingTable, NameAliasAndRowReferenceFollowTheFromClause)
{
    for (const TableCase &c : tableCases) {
        const QString sql = QString::fromUtf8(c.sql);
        SCOPED_TRACE(c.sql);
        const QString name = UpdatingTableNameOf(sql, QString(), false);
        EXPECT_EQ(name, QString::fromUtf8(c.name));
        const UpdatingTableReference reference = UpdatingTableAliasOf(sql, name);
        EXPECT_EQ(reference.alias, QString::fromUtf8(c.alias));
        EXPECT_EQ(RowReference(reference, name), QString::fromUtf8(c.rowReference));
    }
}

TEST(UpdatingTable, PropertyWinsUpperCasedWithoutQuotes)
{
    EXPECT_EQ(UpdatingTableNameOf(
                  QStringLiteral("select * from emp"), QStringLiteral("scott.\"Emp\""), false),
        QStringLiteral("SCOTT.EMP"));
    // A collection expression stands as written: upper-cased, m.code = 'a' would name
    // another master row.
    const QString collection
        = QStringLiteral("table(select m.\"Lines\" from orders m where m.code = 'a')");
    EXPECT_EQ(UpdatingTableNameOf(QStringLiteral("select * from emp"), u' ' + collection, false),
        collection);
    // A cursor dataset has nothing else to go by.
    EXPECT_EQ(UpdatingTableNameOf(QStringLiteral("begin open :c for select * from emp; end;"),
                  QStringLiteral("emp"), true),
        QStringLiteral("EMP"));
    try {
        UpdatingTableNameOf(QStringLiteral("begin open :c for select * from emp; end;"),
            QStringLiteral("  "), true);
        FAIL() << "a cursor dataset without UpdatingTable resolved a table";
    } catch (const Exception &e) {
        EXPECT_EQ(
            e.Message(), QStringLiteral("UpdatingTable property required for cursor dataset"));
    }
}

TEST(UpdatingTable, CollectionTablesAreTableOrTheExpressions)
{
    EXPECT_TRUE(IsCollectionTable(QStringLiteral(" table(select c from t)")));
    EXPECT_TRUE(IsCollectionTable(QStringLiteral("THE(x.y) ")));
    EXPECT_FALSE(IsCollectionTable(QStringLiteral("EMP")));
    EXPECT_FALSE(IsCollectionTable(QStringLiteral("TABLE(x.y")));
    // What the FROM clause resolves to is recognised; a table named like the word is not.
    EXPECT_TRUE(IsCollectionTable(UpdatingTableNameOf(
        QStringLiteral("select * from the(select m.c from t m where m.k = 1) e"), QString(),
        false)));
    EXPECT_FALSE(IsCollectionTable(
        UpdatingTableNameOf(QStringLiteral("select * from tables t"), QString(), false)));
}

class UpdatingTableDictionary : public test::StandinSessionFixture { };

TEST_F(UpdatingTableDictionary, SplitTableNameResolvesTablesViewsAndSynonyms)
{
    struct {
        const char *name;
        const char *owner;
        const char *table;
    } const cases[] = {
        { "EMP", "DEMO", "EMP" },
        { "emp", "DEMO", "EMP" },
        { "EMP_DEPT", "DEMO", "EMP_DEPT" },
        { "STAFF", "DEMO", "EMP" },
        { "NO_SUCH_TABLE", "", "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString owner = QStringLiteral("junk");
        QString table = QStringLiteral("junk");
        SplitTableName(*session, QString::fromUtf8(c.name), owner, table);
        EXPECT_EQ(owner, QString::fromUtf8(c.owner));
        EXPECT_EQ(table, QString::fromUtf8(c.table));
    }
}

TEST_F(UpdatingTableDictionary, QualifiedNameIsSplitWithoutAskingTheServer)
{
    ASSERT_TRUE(test::StandinHooks::get().complete());
    clearTrace();
    QString owner;
    QString table;
    SplitTableName(*session, QStringLiteral("scott.emp"), owner, table);
    EXPECT_EQ(owner, QStringLiteral("SCOTT"));
    EXPECT_EQ(table, QStringLiteral("EMP"));
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(UpdatingTableDictionary, ACollectionExpressionNamesNoTable)
{
    // Its dots are no owner prefix: the dictionary is not asked for "TABLE(SELECT M".
    clearTrace();
    QString owner = QStringLiteral("junk");
    QString table = QStringLiteral("junk");
    SplitTableName(*session, QStringLiteral("table(select m.lines from cd_order m where m.no = 1)"),
        owner, table);
    EXPECT_TRUE(owner.isEmpty());
    EXPECT_TRUE(table.isEmpty());
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(UpdatingTableDictionary, KeyFieldsComeFromUniqueFieldsOrThePrimaryKey)
{
    EXPECT_EQ(DetermineKeyFields(*session, QStringLiteral("A; B ;"), QStringLiteral("EMP")),
        (QStringList { QStringLiteral("A"), QStringLiteral("B") }));
    EXPECT_EQ(DetermineKeyFields(*session, QString(), QStringLiteral("EMP")),
        QStringList { QStringLiteral("EMPNO") });

    // A unique key serves when there is no primary key; the primary key wins over it.
    runIgnoringErrors(QStringLiteral("drop table EB_KEYS"));
    run(QStringLiteral("create table EB_KEYS (a number, b varchar2(10), c number, "
                       "constraint UK_EB_KEYS unique (b, c))"));
    EXPECT_EQ(DetermineKeyFields(*session, QString(), QStringLiteral("EB_KEYS")),
        (QStringList { QStringLiteral("B"), QStringLiteral("C") }));

    runIgnoringErrors(QStringLiteral("drop table EB_NOKEY"));
    run(QStringLiteral("create table EB_NOKEY (a number)"));
    for (const QString &table : { QStringLiteral("EB_NOKEY"), QStringLiteral("NO_SUCH_TABLE") }) {
        try {
            DetermineKeyFields(*session, QString(), table);
            ADD_FAILURE() << "no key for " << table.toStdString();
        } catch (const EDatabaseError &e) {
            EXPECT_EQ(
                e.Message(), QStringLiteral("Primary or Unique key columns must be included"));
        }
    }
}

} // namespace
} // namespace qd
