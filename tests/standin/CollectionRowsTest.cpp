// TABLE(subquery) in a FROM clause: the rows of the one collection a subquery returns, through
// the client library as the product reads them.
#include "StandinClient.h"

#include <gtest/gtest.h>

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
        std::vector<std::vector<char>> values(count, std::vector<char>(200));
        std::vector<sb2> ind(count);
        for (ub4 i = 0; i < count; ++i) {
            void *define = nullptr;
            EXPECT_EQ(api().DefineByPos(c.stmt, &define, c.err, i + 1, values[i].data(), 200,
                          SQLT_STR, &ind[i], nullptr, nullptr, DEFAULT),
                SUCCESS);
            if (names) {
                void *param = nullptr;
                api().ParamGet(c.stmt, HTYPE_STMT, c.err, &param, i + 1);
                text *name = nullptr;
                ub4 size = 0;
                api().AttrGet(param, DTYPE_PARAM, &name, &size, ATTR_NAME, c.err);
                names->emplace_back(reinterpret_cast<char *>(name), size);
            }
        }
        sword status;
        while ((status = c.fetch(1)) == SUCCESS) {
            std::string row;
            for (ub4 i = 0; i < count; ++i)
                row += (i ? "|" : "") + std::string(ind[i] == -1 ? "<null>" : values[i].data());
            out.push_back(row);
        }
        return status == NO_DATA ? 0 : c.errorCode();
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
        { "insert into table(select items from cr_master where id = 1) values ('x', 1, 1, null)",
            3001 },
        { "select t.* from cr_master m, table(m.items) t", 3001 },
        { "delete from table(select items from cr_master where id = 1)", 3001 },
        { "update the(select items from cr_master where id = 1) set qty = 0", 3001 },
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

} // namespace
} // namespace qd::test::standin
