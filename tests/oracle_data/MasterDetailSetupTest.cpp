// The automatic master/detail set-up: the detail SQL it builds from the dictionary's facts, and
// the reading of those facts on the stand-in.
#include "oracle_data/MasterDetailSetup.h"
#include "common/StandinSession.h"
#include "oracle/OracleCI.h"
#include "oracle_data/UpdatingTable.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace qd;

namespace {

QString crlf(const char *text)
{
    return QString::fromLatin1(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

TEST(MasterDetailSetup, ForeignKeyLinkNamesBothKeysFields)
{
    ForeignKeyFacts facts;
    facts.foreignKeyName = QStringLiteral("FK_LINE_ORDER");
    facts.primaryKeyName = QStringLiteral("PK_ORDER");
    facts.detailColumns = QStringList { QStringLiteral("ORDER_YEAR"), QStringLiteral("ORDER_NO") };
    facts.masterColumns = QStringList { QStringLiteral("YEAR"), QStringLiteral("NO") };

    const MasterDetailLink fieldsOnly = ForeignKeyLink(facts);
    EXPECT_EQ(fieldsOnly.masterFields, "YEAR;NO");
    EXPECT_EQ(fieldsOnly.detailFields, "ORDER_YEAR;ORDER_NO");
    EXPECT_FALSE(fieldsOnly.sqlChanged);
    EXPECT_TRUE(fieldsOnly.variables.empty());

    const MasterDetailLink link = ForeignKeyLink(facts,
        crlf("select * from lines\nwhere qty > 0\norder by line_no\n"),
        { { QStringLiteral("ORDER_YEAR"), SQLT_INT }, { QStringLiteral("ORDER_NO"), SQLT_STR } });
    EXPECT_EQ(link.masterFields, "YEAR;NO");
    EXPECT_EQ(link.detailFields, "ORDER_YEAR;ORDER_NO");
    EXPECT_TRUE(link.sqlChanged);
    EXPECT_EQ(link.sql,
        crlf("select * from lines\nwhere order_year = :order_year and order_no = :order_no\n"
             "order by line_no\n"));
    ASSERT_EQ(link.variables.size(), 2u);
    EXPECT_EQ(link.variables[0].name, "order_year");
    EXPECT_EQ(link.variables[0].variableType, SQLT_INT);
    EXPECT_EQ(link.variables[1].name, "order_no");
    EXPECT_EQ(link.variables[1].variableType, SQLT_STR);
}

TEST(MasterDetailSetup, ConditionReplacesTheStatementsOwnWhereOnly)
{
    struct Case {
        const char *sql;
        const char *expected;
    };
    const Case cases[] = {
        // no condition: on a line of its own, appended or before ORDER BY
        { "select * from emp", "select * from emp\nwhere deptno = :deptno\n" },
        { "select * from emp\n", "select * from emp\nwhere deptno = :deptno\n" },
        { "select * from emp\norder by ename",
            "select * from emp\nwhere deptno = :deptno\norder by ename" },
        // a condition is replaced up to ORDER BY or the end
        { "select * from emp where sal > 0", "select * from emp where deptno = :deptno\n" },
        { "SELECT * FROM EMP WHERE SAL > 0 ORDER BY ENAME",
            "SELECT * FROM EMP where deptno = :deptno\nORDER BY ENAME" },
        // a FOR UPDATE clause is kept like an ORDER BY
        { "select * from emp where sal > 0 for update",
            "select * from emp where deptno = :deptno\nfor update" },
        // words inside sub-queries, literals, quoted names and comments are not the statement's
        { "select e.*, (select max(sal) from emp where deptno = 10 order by 1) m from emp e",
            "select e.*, (select max(sal) from emp where deptno = 10 order by 1) m from emp e\n"
            "where deptno = :deptno\n" },
        { "select 'where' w from emp -- where\nwhere sal > 0",
            "select 'where' w from emp -- where\nwhere deptno = :deptno\n" },
        { "select \"ORDER\" from emp /* order */ where sal > 0",
            "select \"ORDER\" from emp /* order */ where deptno = :deptno\n" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(
            ReplaceDetailCondition(crlf(c.sql), { QStringLiteral("DEPTNO") }), crlf(c.expected))
            << c.sql;
}

TEST(MasterDetailSetup, CollectionLinkReadsTheCollectionOfTheMasterRow)
{
    const MasterDetailLink link
        = CollectionLink(QStringLiteral("ORDERS"), QStringLiteral("ADDRESS.PHONES"), false,
            { { QStringLiteral("YEAR"), SQLT_INT }, { QStringLiteral("NO"), SQLT_STR } });
    EXPECT_EQ(link.sql,
        crlf("select t.*, rowid\n"
             "from table(select m.address.phones\n"
             "           from   orders m\n"
             "           where  m.year = :year\n"
             "           and    m.no = :no) t"));
    EXPECT_EQ(link.masterFields, "YEAR;NO");
    EXPECT_EQ(link.detailFields, "") << "the variables take the master fields of the same names";
    ASSERT_EQ(link.variables.size(), 2u);
    EXPECT_EQ(link.variables[0].name, "year");
    EXPECT_EQ(link.variables[0].variableType, SQLT_INT);
    EXPECT_EQ(link.variables[1].name, "no");

    const MasterDetailLink readOnly = CollectionLink(QStringLiteral("Orders"),
        QStringLiteral("LINES"), true, { { QStringLiteral("ID"), SQLT_INT } });
    EXPECT_EQ(readOnly.sql,
        crlf("select t.*\n"
             "from table(select m.lines\n"
             "           from   orders m\n"
             "           where  m.id = :id) t"));

    EXPECT_THROW(
        CollectionLink(QStringLiteral("ORDERS"), QStringLiteral("LINES"), true, {}), Exception)
        << "without a key the sub-query could meet many master rows";
}

TEST(MasterDetailSetup, CollectionChoicesListCollectionsAndCollectionAttributes)
{
    CollectionColumnFacts lines;
    lines.dataTypeOwner = QStringLiteral("DEMO");
    lines.dataType = QStringLiteral("LINE_LIST");
    lines.columnName = QStringLiteral("LINES");
    lines.typeCode = QStringLiteral("COLLECTION");
    CollectionColumnFacts address;
    address.dataTypeOwner = QStringLiteral("DEMO");
    address.dataType = QStringLiteral("ADDRESS_T");
    address.columnName = QStringLiteral("ADDRESS");
    address.typeCode = QStringLiteral("OBJECT");
    address.collectionAttributes
        = { { QStringLiteral("PHONES"), QStringLiteral("DEMO"), QStringLiteral("PHONE_LIST") },
              { QStringLiteral("EMAILS"), QStringLiteral("MAIL"), QStringLiteral("EMAIL_LIST") } };
    CollectionColumnFacts plainObject = address;
    plainObject.columnName = QStringLiteral("POINT");
    plainObject.collectionAttributes.clear();

    const std::vector<CollectionChoice> choices
        = CollectionChoices({ lines, address, plainObject });
    ASSERT_EQ(choices.size(), 3u);
    EXPECT_EQ(choices[0].path, "LINES");
    EXPECT_EQ(choices[0].entry, "LINES (DEMO.LINE_LIST)");
    EXPECT_EQ(choices[1].path, "ADDRESS.PHONES");
    EXPECT_EQ(choices[1].entry, "ADDRESS.PHONES (DEMO.PHONE_LIST)");
    EXPECT_EQ(choices[2].path, "ADDRESS.EMAILS");
    EXPECT_EQ(choices[2].entry, "ADDRESS.EMAILS (MAIL.EMAIL_LIST)");
}

// A session on the stand-in's DEMO database with tables of the test's own.
class MasterDetailDictionary : public ::testing::Test {
protected:
    void SetUp() override
    {
        session = qd::test::LogOnDemo();
        // Fresh tables also when the tests share one program directory.
        for (const char *table :
            { "md_coll", "md_twice", "md_unique", "md_line", "md_order", "md_alone" })
            qd::test::RunSqlIgnoringErrors(*session, QStringLiteral("drop table ") + table);
        run("create table md_order (year integer, no varchar2(10), note varchar2(20), "
            "constraint md_order_pk primary key (year, no), "
            "constraint md_order_uk unique (note))");
        run("create table md_line (line_no integer primary key, order_year integer, "
            "order_no varchar2(10), "
            "constraint md_line_order_fk foreign key (order_year, order_no) "
            "references md_order (year, no))");
        run("create table md_alone (id integer)");
    }
    void TearDown() override { qd::test::LogOffQuietly(session); }
    void run(const char *sql) { qd::test::RunSql(*session, QString::fromLatin1(sql)); }
    // The message of the Exception fn raises, or "<no error>".
    static QString errorOf(const std::function<void()> &fn)
    {
        try {
            fn();
        } catch (const Exception &e) {
            return e.Message();
        }
        return QStringLiteral("<no error>");
    }

    std::unique_ptr<TOracleSession> session;
    const QString demo = QStringLiteral("DEMO");
};

TEST_F(MasterDetailDictionary, FindsTheKeyOfATablePrimaryFirst)
{
    TOracleQuery query;
    query.SetSession(session.get());
    EXPECT_EQ(FindKeyColumns(query, demo, QStringLiteral("MD_ORDER")),
        (QStringList { QStringLiteral("YEAR"), QStringLiteral("NO") }));
    EXPECT_EQ(FindKeyColumns(query, demo, QStringLiteral("MD_LINE")),
        QStringList { QStringLiteral("LINE_NO") });
    EXPECT_EQ(FindKeyColumns(query, demo, QStringLiteral("MD_ALONE")), QStringList {});

    run("create table md_unique (a integer, b integer, constraint md_unique_uk unique (b, a))");
    EXPECT_EQ(FindKeyColumns(query, demo, QStringLiteral("MD_UNIQUE")),
        (QStringList { QStringLiteral("B"), QStringLiteral("A") }))
        << "a unique key serves when there is no primary key";
}

TEST_F(MasterDetailDictionary, ReadsTheForeignKeyBetweenDetailAndMaster)
{
    const ForeignKeyFacts facts = ReadForeignKey(
        *session, demo, QStringLiteral("MD_LINE"), demo, QStringLiteral("MD_ORDER"));
    EXPECT_EQ(facts.foreignKeyName, "MD_LINE_ORDER_FK");
    EXPECT_EQ(facts.primaryKeyName, "MD_ORDER_PK");
    EXPECT_EQ(facts.detailColumns,
        (QStringList { QStringLiteral("ORDER_YEAR"), QStringLiteral("ORDER_NO") }));
    EXPECT_EQ(facts.masterColumns, (QStringList { QStringLiteral("YEAR"), QStringLiteral("NO") }));

    // Described on the detail table, the columns give the detail's SQL and variables.
    const std::vector<KeyColumn> columns
        = DescribeColumns(*session, facts.detailColumns, QStringLiteral("md_line"));
    ASSERT_EQ(columns.size(), 2u);
    const MasterDetailLink link
        = ForeignKeyLink(facts, QStringLiteral("select * from md_line order by line_no"), columns);
    EXPECT_EQ(link.sql,
        crlf("select * from md_line\nwhere order_year = :order_year and order_no = :order_no\n"
             "order by line_no"));
    EXPECT_EQ(link.variables[0].variableType, columns[0].variableType);
    EXPECT_NE(columns[0].variableType, columns[1].variableType) << "a number and a string";

    // The SQL runs on the server with the master's values bound.
    run("insert into md_order values (2024, 'A1', null)");
    run("insert into md_line values (1, 2024, 'A1')");
    run("insert into md_line values (2, null, null)");
    TOracleQuery detail;
    detail.SetSession(session.get());
    detail.SQL().SetText(link.sql);
    for (const KeyColumn &variable : link.variables)
        detail.DeclareVariable(variable.name, variable.variableType);
    detail.SetVariable(QStringLiteral("order_year"), 2024);
    detail.SetVariable(QStringLiteral("order_no"), QStringLiteral("A1"));
    detail.Execute();
    ASSERT_FALSE(detail.Eof());
    EXPECT_EQ(detail.FieldAsInteger(0), 1);
    detail.Next();
    EXPECT_TRUE(detail.Eof());
}

TEST_F(MasterDetailDictionary, NoOrSeveralForeignKeysRaiseTheSetUpMessages)
{
    EXPECT_EQ(errorOf([&] {
        ReadForeignKey(
            *session, demo, QStringLiteral("MD_ALONE"), demo, QStringLiteral("MD_ORDER"));
    }),
        NoForeignKeyMessage);
    EXPECT_EQ(NoForeignKeyMessage,
        "Automatic Master/Detail configuration is only\r\npossible if a foreign key constraint "
        "exists\r\nbetween the Master and Detail table.");

    run("create table md_twice (id integer, y1 integer, n1 varchar2(10), y2 integer, "
        "n2 varchar2(10), "
        "constraint md_twice_1 foreign key (y1, n1) references md_order (year, no), "
        "constraint md_twice_2 foreign key (y2, n2) references md_order (year, no))");
    EXPECT_EQ(errorOf([&] {
        ReadForeignKey(
            *session, demo, QStringLiteral("MD_TWICE"), demo, QStringLiteral("MD_ORDER"));
    }),
        SeveralForeignKeysMessage);
    EXPECT_EQ(SeveralForeignKeysMessage,
        "Automatic Master/Detail configuration is only\r\npossible if just one foreign key "
        "constraint\r\nexists between the Master and Detail table.");
}

TEST_F(MasterDetailDictionary, ReadsTheCollectionsOfTheMasterTable)
{
    EXPECT_TRUE(ReadCollectionColumns(*session, demo, QStringLiteral("MD_ORDER")).empty())
        << "plain columns only";

    try {
        run("drop table md_coll");
    } catch (const EOracleError &) {
    }
    run("create or replace type md_numbers as varray(5) of number");
    run("create or replace type md_point as object (x number, y number)");
    run("create or replace type md_shape as object (name varchar2(10), corners md_numbers, "
        "origin md_point)");
    run("create table md_coll (id integer primary key, tags md_numbers, shape md_shape, "
        "origin md_point)");
    const std::vector<CollectionColumnFacts> columns
        = ReadCollectionColumns(*session, demo, QStringLiteral("MD_COLL"));
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].columnName, "TAGS");
    EXPECT_EQ(columns[0].typeCode, "COLLECTION");
    EXPECT_EQ(columns[0].dataTypeOwner, "DEMO");
    EXPECT_EQ(columns[0].dataType, "MD_NUMBERS");
    EXPECT_EQ(columns[1].columnName, "SHAPE");
    EXPECT_EQ(columns[1].typeCode, "OBJECT");
    ASSERT_EQ(columns[1].collectionAttributes.size(), 1u) << "only the collection attribute";
    EXPECT_EQ(columns[1].collectionAttributes[0].name, "CORNERS");
    EXPECT_EQ(columns[1].collectionAttributes[0].typeName, "MD_NUMBERS");
    EXPECT_TRUE(columns[2].collectionAttributes.empty());
    const std::vector<CollectionChoice> choices = CollectionChoices(columns);
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[1].entry, "SHAPE.CORNERS (DEMO.MD_NUMBERS)");
}

} // namespace
