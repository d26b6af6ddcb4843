// Column tables, key, check and index listings and column hints, compared with golden files,
// and the statements they send.
#include "DescribeTestSupport.h"

#include "browsers/OracleDescribe.h"
#include "oracle/OracleError.h"

#include <functional>

using namespace qd;
using namespace qd::test;

namespace {

QStringList linesOf(const TStringList &list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out << list[i];
    return out;
}

using Describer
    = std::function<void(TOracleSession &, const QString &, const QString &, TStringList &)>;

struct DescribeCase {
    const char *golden;
    Describer describe;
    const char *owner, *name;
};

} // namespace

class DescribeTables : public DescribeFixture {
protected:
    // Each describer clears the list it is given, then writes the listing its golden file
    // holds.
    template <size_t N>
    void expectListings(const DescribeCase (&cases)[N])
    {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.golden);
            TStringList lines;
            lines.Add(QStringLiteral("cleared first"));
            c.describe(*session, QLatin1String(c.owner), QLatin1String(c.name), lines);
            expectGolden(QLatin1String(c.golden), linesOf(lines));
        }
    }
};

TEST_F(DescribeTables, ColumnTablesOfEveryForm)
{
    const DescribeCase cases[] = {
        { "columns-table-order-lines.txt", DescribeTableColumns, "DEMO", "ORDER_LINES" },
        { "columns-table-emp.txt", DescribeTableColumns, "DEMO", "EMP" },
        { "columns-table-no-key.txt", DescribeTableColumns, "DEMO", "BARE" },
        { "columns-table-quoted.txt", DescribeTableColumns, "Dev", "Orders" },
        { "columns-table-missing.txt", DescribeTableColumns, "DEMO", "NO_SUCH_TABLE" },
        { "columns-view.txt", DescribeViewColumns, "DEMO", "EMP_DEPT" },
        { "columns-view-missing.txt", DescribeViewColumns, "DEMO", "NO_SUCH_VIEW" },
        { "columns-mview.txt", DescribeMViewColumns, "DEMO", "DEPT_SUMMARY" },
    };
    expectListings(cases);
}

TEST_F(DescribeTables, KeyPositionsFollowTheColumnsAndEveryFieldHasItsWidth)
{
    TStringList lines;
    DescribeTableColumns(*session, QStringLiteral("DEMO"), QStringLiteral("ORDER_LINES"), lines);
    ASSERT_EQ(lines.Count(), 2 + 6);
    // " Primary Key" (11) " Column Name" (32) " Data Type" (30) " Not Null?" (9)
    for (int i = 0; i < lines.Count(); ++i)
        EXPECT_EQ(lines[i].size(), 1 + 11 + 1 + 32 + 1 + 30 + 1 + 9) << i;
    EXPECT_EQ(lines[2].left(13), QStringLiteral("           2 ")); // ORDER_ID
    EXPECT_EQ(lines[3].left(13), QStringLiteral("           1 ")); // LINE_NO
    EXPECT_EQ(lines[4].left(13), QStringLiteral("             ")); // AMOUNT
    EXPECT_TRUE(lines[4].contains(QStringLiteral(" NUMBER    "))); // no precision
    EXPECT_TRUE(lines[5].contains(QStringLiteral(" DATE ")));
    // The long column name is cut to 32 characters.
    EXPECT_TRUE(lines[6].contains(QStringLiteral(" A_COLUMN_NAME_LONGER_THAN_THIRTY ")));
}

TEST_F(DescribeTables, KeyCheckAndIndexListings)
{
    const DescribeCase cases[] = {
        { "foreign-keys-shipments.txt", DescribeForeignKeys, "DEMO", "SHIPMENTS" },
        { "foreign-keys-emp.txt", DescribeForeignKeys, "DEMO", "EMP" },
        { "foreign-keys-none.txt", DescribeForeignKeys, "DEMO", "BARE" },
        { "checks-order-lines.txt", DescribeCheckConstraints, "DEMO", "ORDER_LINES" },
        { "checks-none.txt", DescribeCheckConstraints, "DEMO", "BARE" },
        { "indexes-order-lines.txt", DescribeIndexes, "DEMO", "ORDER_LINES" },
        { "indexes-quoted.txt", DescribeIndexes, "Dev", "Orders" },
        { "indexes-none.txt", DescribeIndexes, "DEMO", "BARE" },
    };
    expectListings(cases);
    // A table with nothing of the three, or none at all, gives one line in each.
    for (const char *table : { "BARE", "NO_SUCH_TABLE" }) {
        for (const Describer &d : { Describer(DescribeForeignKeys),
                 Describer(DescribeCheckConstraints), Describer(DescribeIndexes) }) {
            TStringList lines;
            d(*session, QStringLiteral("DEMO"), QLatin1String(table), lines);
            EXPECT_EQ(lines.Count(), 1) << table;
        }
    }
}

TEST_F(DescribeTables, ColumnHints)
{
    const struct {
        const char *owner, *table, *column;
    } cases[] = {
        { "DEMO", "ORDER_LINES", "ORDER_ID" },
        { "DEMO", "ORDER_LINES", "LINE_NO" },
        { "DEMO", "ORDER_LINES", "AMOUNT" },
        { "DEMO", "ORDER_LINES", "SHIPPED" },
        { "DEMO", "ORDER_LINES", "STATUS" },
        { "DEMO", "EMP", "ENAME" },
        { "DEMO", "EMP_DEPT", "DNAME" },
        { "Dev", "Orders", "Id" },
        { "Dev", "Orders", "ID" },
        { "DEMO", "ORDER_LINES", "NO_SUCH_COLUMN" },
    };
    QStringList hints;
    for (const auto &c : cases) {
        QString hint = QStringLiteral("<unchanged>");
        GetColumnHint(*session, QLatin1String(c.owner), QLatin1String(c.table),
            QLatin1String(c.column), hint);
        hints << QStringLiteral("%1.%2.%3: %4")
                     .arg(QLatin1String(c.owner), QLatin1String(c.table), QLatin1String(c.column),
                         hint);
    }
    expectGolden(QStringLiteral("column-hints.txt"), hints);

    // The node hint of a column is the column hint; other nodes get none yet, and the hint is
    // replaced in every case.
    QString hint = QStringLiteral("old");
    GetObjectHint(*session, QStringLiteral("DEMO"), QStringLiteral("ORDER_LINES"),
        QStringLiteral("LINE_NO"), ooTable, osoColumn, hint);
    EXPECT_EQ(hint, hints[1].section(QStringLiteral(": "), 1));
    GetObjectHint(*session, QStringLiteral("DEMO"), QStringLiteral("ORDER_LINES"),
        QStringLiteral("NO_SUCH_COLUMN"), ooTable, osoColumn, hint);
    EXPECT_EQ(hint, QString());
    hint = QStringLiteral("old");
    GetObjectHint(*session, QStringLiteral("DEMO"), QStringLiteral("ORDER_LINES"),
        QStringLiteral("LINE_NO"), ooTable, osoNone, hint);
    EXPECT_EQ(hint, QString());
}

TEST_F(DescribeTables, StatementsSent)
{
    TStringList lines;
    QString owner, object, sub, link, hint;
    bool isQuery = false;
    GetObjectDescription(
        *session, QStringLiteral("staff"), false, true, lines, isQuery, owner, object, sub, link);
    DescribeForeignKeys(*session, QStringLiteral("DEMO"), QStringLiteral("SHIPMENTS"), lines);
    DescribeCheckConstraints(
        *session, QStringLiteral("DEMO"), QStringLiteral("ORDER_LINES"), lines);
    DescribeIndexes(*session, QStringLiteral("DEMO"), QStringLiteral("ORDER_LINES"), lines);
    GetColumnHint(
        *session, QStringLiteral("DEMO"), QStringLiteral("EMP"), QStringLiteral("EMPNO"), hint);
    expectGolden(QStringLiteral("statements-table.sql"), trace.take(*session));

    ResolveObjectName(*session, QStringLiteral("hr.jobs"), owner, object, sub, link);
    ResolveObjectName(*session, QStringLiteral("emp.ename"), owner, object, sub, link);
    owner.clear(), object.clear(), sub.clear(), link.clear();
    ResolveObjectName(*session, QStringLiteral("a.b.c"), owner, object, sub, link);
    DescribeViewColumns(*session, QStringLiteral("DEMO"), QStringLiteral("EMP_DEPT"), lines);
    DescribeMViewColumns(*session, QStringLiteral("DEMO"), QStringLiteral("DEPT_SUMMARY"), lines);
    expectGolden(QStringLiteral("statements-names-views.sql"), trace.take(*session));
}

TEST_F(DescribeTables, ColumnQueriesHandedOutByTheDescription)
{
    const struct {
        const char *name;
        bool withPrimaryKey;
        const char *golden;
    } cases[] = {
        { "order_lines", true, "query-table-key.txt" },
        { "order_lines", false, "query-table-plain.txt" },
        { "\"Dev\".\"Orders\"", false, "query-table-plain-quoted.txt" },
        { "emp_dept", true, "query-view.txt" },
        { "dept_summary", true, "query-mview.txt" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TStringList sql;
        bool isQuery = false;
        QString owner, object, sub, link;
        GetObjectDescription(*session, QLatin1String(c.name), true, c.withPrimaryKey, sql, isQuery,
            owner, object, sub, link);
        ASSERT_TRUE(isQuery);
        // The query runs with the resolved names bound.
        const auto query = NewDictionaryQuery(*session, sql.Text());
        SetStringVariable(*query, QStringLiteral("obj_owner"), owner);
        SetStringVariable(*query, QStringLiteral("obj_name"), object);
        TStringList table;
        QueryToLines(*query, true, table);
        EXPECT_GT(table.Count(), 2);
        expectGolden(
            QLatin1String(c.golden), linesOf(sql) << QStringLiteral("----") << linesOf(table));
    }
}

TEST_F(DescribeTables, QueryToLinesWithoutRowsWritesTheHeaderOnly)
{
    const auto query = NewDictionaryQuery(*session,
        QStringLiteral("select substr(ename, 1, 5) as \"Name\", rpad(job, 3) as \"J\" from emp "
                       "where 1 = 0"));
    TStringList lines;
    lines.Add(QStringLiteral("before"));
    QueryToLines(*query, true, lines);
    EXPECT_EQ(linesOf(lines), QStringList({ "before", " Name  J  ", " ----- ---" }));
    lines.Clear();
    QueryToLines(*query, false, lines);
    EXPECT_EQ(lines.Count(), 0);
}

TEST_F(DescribeTables, QueryToLinesPadsAndCutsEveryField)
{
    const auto query = NewDictionaryQuery(*session,
        QStringLiteral("select substr(ename, 1, 3) as \"Long Header\", rpad(to_char(empno), 6) "
                       "as \"No\", substr(comm, 1, 4) as \"C\" from emp where empno in (101, 104) "
                       "order by empno"));
    TStringList lines;
    QueryToLines(*query, true, lines);
    EXPECT_EQ(linesOf(lines),
        QStringList(
            { " Lon No     C   ", " --- ------ ----", " HAL 101        ", " NOW 104    350 " }));
}

TEST_F(DescribeTables, QueryToLinesClosesTheQueryWhenAnErrorPassesOn)
{
    const auto query
        = NewDictionaryQuery(*session, QStringLiteral("select to_number(ename) from emp"));
    TStringList lines;
    EXPECT_THROW(QueryToLines(*query, true, lines), EOracleError);
    EXPECT_TRUE(query->Eof());
    EXPECT_EQ(lines.Count(), 0);
}

TEST_F(DescribeTables, FetchColumnListsFlagsExactlyTheKeyColumns)
{
    TStringList keyed;
    keyed.SetText(TableColumnsQuery(true));
    TStringList names, notNulls, types;
    FetchColumnLists(*session, QStringLiteral("DEMO"), QStringLiteral("ORDER_LINES"), keyed, names,
        notNulls, types);
    ASSERT_EQ(names.Count(), 6);
    ASSERT_EQ(notNulls.Count(), 6);
    ASSERT_EQ(types.Count(), 6);
    QStringList flagged;
    for (int i = 0; i < names.Count(); ++i)
        flagged << names[i] + u'=' + QString::number(names.Integers(i));
    EXPECT_EQ(flagged,
        QStringList({ "ORDER_ID=1", "LINE_NO=1", "AMOUNT=0", "SHIPPED=0",
            "A_COLUMN_NAME_LONGER_THAN_THIRTY=0", "STATUS=0" }));
    EXPECT_EQ(notNulls[0].trimmed(), "Y");
    EXPECT_EQ(notNulls[2].trimmed(), "");
    EXPECT_EQ(types[0].trimmed(), "NUMBER (9,0)");
    EXPECT_EQ(types[3].trimmed(), "DATE");

    // The plain form: three fields, no flags; lists are appended to.
    TStringList plain;
    plain.SetText(TableColumnsQuery(false));
    FetchColumnLists(
        *session, QStringLiteral("DEMO"), QStringLiteral("BARE"), plain, names, notNulls, types);
    ASSERT_EQ(names.Count(), 7);
    EXPECT_EQ(names[6], "X");
    EXPECT_EQ(names.Integers(6), 0);
    EXPECT_EQ(types[6].trimmed(), "NUMBER");

    TStringList broken;
    broken.SetText(QStringLiteral("select no_such_column from all_tab_columns"));
    EXPECT_THROW(FetchColumnLists(*session, QStringLiteral("DEMO"), QStringLiteral("BARE"), broken,
                     names, notNulls, types),
        EOracleError);
}

TEST_F(DescribeTables, DescribersSwallowErrorsAndKeepWhatTheyWrote)
{
    session->LogOff();
    for (const Describer &d : { Describer(DescribeTableColumns), Describer(DescribeViewColumns),
             Describer(DescribeMViewColumns), Describer(DescribeForeignKeys),
             Describer(DescribeCheckConstraints), Describer(DescribeIndexes) }) {
        TStringList lines;
        lines.Add(QStringLiteral("old"));
        EXPECT_NO_THROW(d(*session, QStringLiteral("DEMO"), QStringLiteral("EMP"), lines));
        EXPECT_EQ(lines.Count(), 0);
    }
    QString hint = QStringLiteral("kept");
    EXPECT_NO_THROW(GetColumnHint(
        *session, QStringLiteral("DEMO"), QStringLiteral("EMP"), QStringLiteral("EMPNO"), hint));
    EXPECT_EQ(hint, "kept");
}
