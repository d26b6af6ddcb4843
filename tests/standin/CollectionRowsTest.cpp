// TABLE(subquery): the rows of the one collection a subquery returns, read in a FROM clause and
// changed by INSERT, UPDATE and DELETE, through the client library as the product uses them.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace qd::test::standin {
namespace {

class CollectionRows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText();
        for (const char *sql : {
                 "create or replace type cr_item as object (name varchar2(20), qty number(6), "
                 "price number(8,2), made date)",
                 "create or replace type cr_items as table of cr_item",
                 "create or replace type cr_tags as varray(5) of varchar2(10)",
                 "create table cr_master (id number(6) primary key, items cr_items, tags cr_tags)",
                 "insert into cr_master values (1, cr_items(cr_item('bolt', 3, 1.5, "
                 "to_date('2024-03-05', 'YYYY-MM-DD')), cr_item('nut', 7, null, null), null), "
                 "cr_tags('a', 'b'))",
                 "insert into cr_master values (2, cr_items(), null)",
                 "insert into cr_master values (3, null, cr_tags())",
             })
            ASSERT_EQ(db.run(sql), SUCCESS) << sql << "\n" << db.errorText();
    }
    void TearDown() override
    {
        db.rollback();
        db.run("drop table cr_master");
    }

    // Rows of a query as "a|b|c" texts (<null> for a null); the error code (0 when none).
    int rows(const std::string &query, std::vector<std::string> &out,
        std::vector<std::string> *names = nullptr)
    {
        Cursor c(db, query);
        if (c.execute(0) != SUCCESS)
            return c.errorCode();
        const ub4 count = c.attribute4(ATTR_PARAM_COUNT);
        for (ub4 i = 0; names && i < count; ++i) {
            void *param = nullptr;
            api().ParamGet(c.stmt, HTYPE_STMT, c.err, &param, i + 1);
            text *name = nullptr;
            ub4 size = 0;
            api().AttrGet(param, DTYPE_PARAM, &name, &size, ATTR_NAME, c.err);
            names->emplace_back(reinterpret_cast<char *>(name), size);
        }
        const FetchedText fetched = fetchAsText(c, 200);
        for (const auto &values : fetched.rows) {
            std::string row;
            for (size_t i = 0; i < values.size(); ++i)
                row += (i ? "|" : "") + values[i].value_or("<null>");
            out.push_back(row);
        }
        return fetched.status == NO_DATA ? 0 : c.errorCode();
    }

    Connection db;
};

TEST_F(CollectionRows, ObjectElementsGiveOneColumnPerAttribute)
{
    std::vector<std::string> out, names;
    ASSERT_EQ(rows("select t.* from table(select m.items from cr_master m where m.id = 1) t", out,
                  &names),
        0);
    EXPECT_EQ(names, (std::vector<std::string> { "NAME", "QTY", "PRICE", "MADE" }));
    // A null element is a row of nulls.
    EXPECT_EQ(out,
        (std::vector<std::string> {
            "bolt|3|1.5|05-MAR-24", "nut|7|<null>|<null>", "<null>|<null>|<null>|<null>" }));

    // Attributes are columns of the alias: filtered, ordered and computed with.
    out.clear();
    ASSERT_EQ(rows("select name, qty * 2 from the(select items from cr_master where id = 1) x "
                   "where x.qty > 3 order by name",
                  out),
        0);
    EXPECT_EQ(out, (std::vector<std::string> { "nut|14" }));
}

TEST_F(CollectionRows, ScalarElementsAreColumnValue)
{
    std::vector<std::string> out, names;
    ASSERT_EQ(rows("select * from table(select tags from cr_master where id = 1)", out, &names), 0);
    EXPECT_EQ(names, (std::vector<std::string> { "COLUMN_VALUE" }));
    EXPECT_EQ(out, (std::vector<std::string> { "a", "b" }));
}

TEST_F(CollectionRows, RawElementsReadAsTheirBytes)
{
    ASSERT_EQ(db.run("create or replace type cr_bytes as varray(3) of raw(4)"), SUCCESS)
        << db.errorText();
    ASSERT_EQ(db.run("create table cr_raw (id number, b cr_bytes)"), SUCCESS) << db.errorText();
    ASSERT_EQ(db.run("insert into cr_raw values (1, cr_bytes('0a0B', 'ff', null))"), SUCCESS)
        << db.errorText();
    std::vector<std::string> out;
    EXPECT_EQ(rows("select column_value, length(column_value) from "
                   "table(select b from cr_raw where id = 1)",
                  out),
        0);
    // Hexadecimal text, its length counted in hex digits as the server converts a RAW.
    EXPECT_EQ(out, (std::vector<std::string> { "0A0B|4", "FF|2", "<null>|<null>" }));
    db.run("drop table cr_raw");
}

TEST_F(CollectionRows, EmptyNullAndMissingCollectionsGiveNoRows)
{
    const char *cases[] = {
        "select * from table(select items from cr_master where id = 2)", // empty
        "select * from table(select items from cr_master where id = 3)", // null
        "select * from table(select items from cr_master where id = 99)", // no row
        "select * from table(select tags from cr_master where id = 3)", // empty varray
    };
    for (const char *sql : cases) {
        std::vector<std::string> out;
        EXPECT_EQ(rows(sql, out), 0) << sql;
        EXPECT_TRUE(out.empty()) << sql;
    }
}

TEST_F(CollectionRows, ErrorsAreTheServers)
{
    const struct {
        const char *sql;
        int code;
    } cases[] = {
        { "select * from table(select id from cr_master where id = 1)", 22905 },
        { "select * from table(select items from cr_master)", 1427 },
        { "select * from table(select id, items from cr_master where id = 1)", 913 },
        { "select t.* from cr_master m, table(m.items) t", 3001 },
    };
    for (const auto &c : cases) {
        std::vector<std::string> out;
        EXPECT_EQ(rows(c.sql, out), c.code) << c.sql;
    }
}

TEST_F(CollectionRows, StoredTextThatIsNoCollectionIsRefused)
{
    // The column takes any text; reading its elements must fail cleanly.
    ASSERT_EQ(db.run("update cr_master set items = 'garbage' where id = 2"), SUCCESS)
        << db.errorText();
    std::vector<std::string> out;
    EXPECT_EQ(rows("select * from table(select items from cr_master where id = 2)", out), 932);
    EXPECT_TRUE(out.empty());
}

TEST_F(CollectionRows, TheKeyIsABindVariable)
{
    Cursor c(db, "select name from table(select m.items from cr_master m where m.id = :id) t");
    int id = 1;
    void *bind = nullptr;
    ASSERT_EQ(api().BindByName(c.stmt, &bind, c.err, reinterpret_cast<const text *>(":id"), -1, &id,
                  sizeof id, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, DEFAULT),
        SUCCESS)
        << c.errorText();
    char value[40];
    sb2 ind = 0;
    void *define = nullptr;
    ASSERT_EQ(api().DefineByPos(c.stmt, &define, c.err, 1, value, sizeof value, SQLT_STR, &ind,
                  nullptr, nullptr, DEFAULT),
        SUCCESS);
    std::vector<std::string> names;
    for (int key : { 1, 2, 1 }) {
        id = key;
        ASSERT_EQ(c.execute(0), SUCCESS) << c.errorText();
        while (c.fetch(1) == SUCCESS)
            names.push_back(ind == -1 ? "<null>" : value);
        names.push_back("/");
    }
    EXPECT_EQ(names,
        (std::vector<std::string> {
            "bolt", "nut", "<null>", "/", "/", "bolt", "nut", "<null>", "/" }));
}


// Changes through TABLE(subquery) -------------------------------------------------------------

class CollectionChanges : public CollectionRows {
protected:
    // Runs a change and gives the rows it processed (-code for an error).
    int change(const std::string &sql)
    {
        Cursor c(db, sql);
        if (c.execute(1) != SUCCESS)
            return -c.errorCode();
        return static_cast<int>(c.attribute4(ATTR_ROW_COUNT));
    }
    // The elements of master row id as "name qty" texts.
    std::vector<std::string> items(int id)
    {
        std::vector<std::string> out;
        EXPECT_EQ(rows("select name || ' ' || qty from table(select items from cr_master "
                       "where id = " + std::to_string(id) + ")",
                      out),
            0);
        return out;
    }
    // "rowid name" of every element of master row 1.
    std::vector<std::pair<std::string, std::string>> rowids()
    {
        std::vector<std::string> out;
        EXPECT_EQ(rows("select rowid || ' ' || name from table(select items from cr_master "
                       "where id = 1)",
                      out),
            0);
        std::vector<std::pair<std::string, std::string>> pairs;
        for (const std::string &row : out)
            pairs.emplace_back(row.substr(0, row.find(' ')), row.substr(row.find(' ') + 1));
        return pairs;
    }
    std::string rowidOf(const std::string &name)
    {
        for (const auto &[rowid, n] : rowids())
            if (n == name)
                return rowid;
        return {};
    }
};

TEST_F(CollectionChanges, InsertUpdateAndDeleteChangeOnlyTheAddressedCollection)
{
    EXPECT_EQ(change("update table(select m.items from cr_master m where m.id = 1) t "
                     "set t.qty = t.qty + 1, price = 2 where name = 'bolt'"),
        1);
    EXPECT_EQ(change("insert into the(select items from cr_master where id = 1) "
                     "values ('washer', 2, null, to_date('2024-04-01', 'YYYY-MM-DD'))"),
        1);
    EXPECT_EQ(change("insert into table(select items from cr_master where id = 1) (qty, name) "
                     "values (5, 'pin')"),
        1);
    EXPECT_EQ(change("delete from table(select items from cr_master where id = 1) "
                     "where name = 'nut'"),
        1);
    EXPECT_EQ(change("update table(select items from cr_master where id = 1) "
                     "set qty = 0 where name = 'none'"),
        0);
    // The null element stays null.
    EXPECT_EQ(items(1), (std::vector<std::string> { "bolt 4", " ", "washer 2", "pin 5" }));
    std::vector<std::string> out;
    ASSERT_EQ(rows("select price, made from table(select items from cr_master where id = 1)", out),
        0);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].substr(0, 2), "2|");
    EXPECT_EQ(out[1], "<null>|<null>");
    EXPECT_NE(out[2].find("01-APR-24"), std::string::npos) << out[2];
    // The rest of the row and the other rows are untouched.
    EXPECT_EQ(items(2), std::vector<std::string> {});
    out.clear();
    ASSERT_EQ(rows("select column_value from table(select tags from cr_master where id = 1)", out),
        0);
    EXPECT_EQ(out, (std::vector<std::string> { "a", "b" }));
    // An empty collection takes elements; deleting them all leaves it empty, not null.
    EXPECT_EQ(change("insert into table(select items from cr_master where id = 2) "
                     "values ('x', 1, null, null)"),
        1);
    EXPECT_EQ(items(2), std::vector<std::string> { "x 1" });
    EXPECT_EQ(change("delete from table(select items from cr_master where id = 2)"), 1);
    out.clear();
    ASSERT_EQ(rows("select count(*) from cr_master where id = 2 and items is not null", out), 0);
    EXPECT_EQ(out, std::vector<std::string> { "1" });
}

TEST_F(CollectionChanges, AnElementKeepsItsRowidAndADeletedOneIsNotGivenAgain)
{
    const std::string bolt = rowidOf("bolt"), nut = rowidOf("nut");
    ASSERT_EQ(bolt.size(), 18u);
    ASSERT_NE(bolt, nut);
    EXPECT_EQ(change("delete from table(select items from cr_master where id = 1) "
                     "where rowid = '" + bolt + "'"),
        1);
    EXPECT_EQ(rowidOf("nut"), nut); // the remaining element is still found by its rowid
    EXPECT_EQ(change("insert into table(select items from cr_master where id = 1) "
                     "values ('new', 1, null, null)"),
        1);
    const std::string fresh = rowidOf("new");
    EXPECT_NE(fresh, bolt);
    EXPECT_NE(fresh, nut);
    // The deleted element's rowid finds nothing; the others find their element.
    EXPECT_EQ(change("update table(select items from cr_master where id = 1) set qty = 9 "
                     "where rowid = '" + bolt + "'"),
        0);
    EXPECT_EQ(change("update table(select items from cr_master where id = 1) set qty = 8 "
                     "where rowid = '" + nut + "'"),
        1);
    EXPECT_EQ(change("delete from table(select items from cr_master where id = 1) "
                     "where rowid = '" + nut + "'"),
        1);
    EXPECT_EQ(change("insert into table(select items from cr_master where id = 1) "
                     "values ('newer', 1, null, null)"),
        1);
    EXPECT_NE(rowidOf("newer"), nut); // not even the highest one deleted
    EXPECT_EQ(rowidOf("new"), fresh);
    EXPECT_EQ(items(1), (std::vector<std::string> { " ", "new 1", "newer 1" }));
}

TEST_F(CollectionChanges, ReturningRowidFindsTheNewElement)
{
    Cursor insert(db,
        "insert into table(select items from cr_master where id = :id) (name) values (:name) "
        "returning rowid into :rid");
    int id = 1;
    char name[20] = "spring";
    char rid[40] = {};
    sb2 ridInd = 0;
    void *b1 = nullptr, *b2 = nullptr, *b3 = nullptr;
    ASSERT_EQ(api().BindByName(insert.stmt, &b1, insert.err, reinterpret_cast<const text *>(":id"),
                  -1, &id, sizeof id, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, DEFAULT),
        SUCCESS);
    ASSERT_EQ(api().BindByName(insert.stmt, &b2, insert.err,
                  reinterpret_cast<const text *>(":name"), -1, name, sizeof name, SQLT_STR,
                  nullptr, nullptr, nullptr, 0, nullptr, DEFAULT),
        SUCCESS);
    ASSERT_EQ(api().BindByName(insert.stmt, &b3, insert.err, reinterpret_cast<const text *>(":rid"),
                  -1, rid, sizeof rid, SQLT_STR, &ridInd, nullptr, nullptr, 0, nullptr, DEFAULT),
        SUCCESS);
    ASSERT_EQ(insert.execute(1), SUCCESS) << insert.errorText();
    ASSERT_EQ(ridInd, 0);
    EXPECT_EQ(std::string(rid), rowidOf("spring"));
    // The same statement again (its SQLite form prepared once) adds one more.
    std::strcpy(name, "clip");
    ASSERT_EQ(insert.execute(1), SUCCESS) << insert.errorText();
    EXPECT_EQ(std::string(rid), rowidOf("clip"));
    EXPECT_EQ(items(1).size(), 5u);
}

TEST_F(CollectionChanges, RefusalsLeaveTheCollectionAsItWas)
{
    const struct {
        const char *sql;
        int code;
    } cases[] = {
        { "insert into table(select items from cr_master where id = 3) (name) values ('x')",
            22908 }, // a null collection
        { "update table(select items from cr_master where id = 99) set qty = 1", 22908 },
        { "delete from table(select items from cr_master)", 1427 },
        { "insert into table(select tags from cr_master where id = 1) values ('c')", 22906 },
        { "delete from table(select id from cr_master where id = 1)", 22905 },
        { "insert into table(select items from cr_master where id = 1) (name) "
          "values ('a name far longer than twenty')",
            12899 },
        { "update table(select items from cr_master where id = 1) set missing = 1", 904 },
        { "delete from table(select m.items from cr_master m, cr_master n where m.id = 1)", 3001 },
        { "delete from table(select x.items from cr_master m where m.id = 1)", 904 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(change(c.sql), -c.code) << c.sql;
    EXPECT_EQ(items(1), (std::vector<std::string> { "bolt 3", "nut 7", " " }));
    std::vector<std::string> out;
    ASSERT_EQ(rows("select count(*) from cr_master where id = 3 and items is null", out), 0);
    EXPECT_EQ(out, std::vector<std::string> { "1" });
}

TEST_F(CollectionChanges, RollbackUndoesAndCommitShowsToOthers)
{
    ASSERT_EQ(db.commit(), SUCCESS);
    EXPECT_EQ(change("delete from table(select items from cr_master where id = 1) "
                     "where name = 'bolt'"),
        1);
    ASSERT_EQ(db.rollback(), SUCCESS);
    EXPECT_EQ(items(1).size(), 3u);
    EXPECT_EQ(change("update table(select items from cr_master where id = 1) set qty = 70 "
                     "where name = 'nut'"),
        1);
    ASSERT_EQ(db.commit(), SUCCESS);
    Connection other;
    ASSERT_EQ(other.logon("DEMO", "DEMO"), SUCCESS) << other.errorText();
    Cursor c(other, "select qty from table(select items from cr_master where id = 1) "
                    "where name = 'nut'");
    char qty[20] = {};
    void *define = nullptr;
    ASSERT_EQ(api().DefineByPos(c.stmt, &define, c.err, 1, qty, sizeof qty, SQLT_STR, nullptr,
                  nullptr, nullptr, DEFAULT),
        SUCCESS);
    ASSERT_EQ(c.execute(1), SUCCESS) << c.errorText();
    EXPECT_STREQ(qty, "70");
    other.logoff();
    db.run("delete from cr_master"); // committed rows: the fixture's teardown drops the table
    db.commit();
}


TEST_F(CollectionChanges, ABlockGivesANullCollectionItsEmptyValueAndALockedReadFindsElements)
{
    // What a detail over the collection runs before inserting into a row whose collection is
    // still null.
    ASSERT_GE(change("begin\n  update cr_master m\n  set m.items = cr_items()\n"
                     "  where m.items is null\n  and (m.id = 3);\nend;"),
        0);
    // The constructor named with its owner, as a server takes it too.
    ASSERT_GE(change("update cr_master set items = demo.cr_items(demo.cr_item('x', 1, null, "
                     "null)) where id = 2"),
        0);
    EXPECT_EQ(items(2), std::vector<std::string> { "x 1" });
    EXPECT_EQ(change("insert into table(select m.items from cr_master m where m.id = 3) (name) "
                     "values ('first')"),
        1);
    EXPECT_EQ(items(3), std::vector<std::string> { "first " });
    const std::string bolt = rowidOf("bolt");
    std::vector<std::string> out;
    EXPECT_EQ(rows("select name from table(select items from cr_master where id = 1) "
                   "where rowid = '" + bolt + "' for update nowait",
                  out),
        0);
    EXPECT_EQ(out, std::vector<std::string> { "bolt" });
}

} // namespace
} // namespace qd::test::standin
