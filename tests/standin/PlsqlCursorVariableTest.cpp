// Cursor variables: a block runs "open :c for <query>" on a statement handle the client bound
// with type SQLT_RSET, and the client then describes, defines and fetches from that handle as
// from an executed select.
#include "StandinClient.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace qd::test::standin;

namespace {

constexpr ub2 SQLT_RSET = 116;

class CursorVariable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(db.logon("DEMO", "DEMO"), SUCCESS) << db.errorText();
        db.run("drop table rc_items"); // left by an earlier test of this process, if any
        ASSERT_EQ(db.run("create table rc_items (id number(4), name varchar2(20))"), SUCCESS)
            << db.errorText();
        for (int i = 1; i <= 5; ++i)
            ASSERT_EQ(db.run("insert into rc_items values (" + std::to_string(i) + ", 'item "
                          + std::to_string(i) + "')"),
                SUCCESS)
                << db.errorText();
        ASSERT_EQ(db.commit(), SUCCESS);
    }

    // Binds the handle of `target` as the cursor variable ":c" of `block`, the way the product
    // binds the address of its statement handle with size 0.
    static sword bindCursor(Cursor &block, void **target)
    {
        void *handle = nullptr;
        return api().BindByName(block.stmt, &handle, block.err,
            reinterpret_cast<const text *>(":c"), -1, target, 0, SQLT_RSET, nullptr, nullptr,
            nullptr, 0, nullptr, DEFAULT);
    }

    static sword bindInt(Cursor &block, const char *name, int32_t *value)
    {
        void *handle = nullptr;
        return api().BindByName(block.stmt, &handle, block.err,
            reinterpret_cast<const text *>(name), -1, value, sizeof *value, SQLT_INT, nullptr,
            nullptr, nullptr, 0, nullptr, DEFAULT);
    }

    // Rows of the opened cursor as "id:name".
    static std::vector<std::string> fetchAll(Cursor &cursor)
    {
        int32_t id = 0;
        char name[21] = {};
        sb2 idInd = 0, nameInd = 0;
        void *d1 = nullptr, *d2 = nullptr;
        EXPECT_EQ(api().DefineByPos(cursor.stmt, &d1, cursor.err, 1, &id, sizeof id, SQLT_INT,
                      &idInd, nullptr, nullptr, DEFAULT),
            SUCCESS);
        EXPECT_EQ(api().DefineByPos(cursor.stmt, &d2, cursor.err, 2, name, sizeof name, SQLT_STR,
                      &nameInd, nullptr, nullptr, DEFAULT),
            SUCCESS);
        std::vector<std::string> rows;
        sword status;
        while ((status = cursor.fetch(1)) == SUCCESS)
            rows.push_back(std::to_string(id) + ":" + name);
        EXPECT_EQ(status, NO_DATA) << cursor.errorText();
        return rows;
    }

    Connection db;
};

} // namespace

TEST_F(CursorVariable, BlockOpensTheBoundHandleWithHostAndLocalValues)
{
    Cursor rows(db);
    Cursor block(db,
        "declare\n  v_skip varchar2(20) := 'item 4';\nbegin\n"
        "  open :c for select id, name from rc_items where id > :lo and name <> v_skip "
        "order by id;\nend;");
    int32_t low = 1;
    ASSERT_EQ(bindCursor(block, &rows.stmt), SUCCESS) << block.errorText();
    ASSERT_EQ(bindInt(block, ":lo", &low), SUCCESS) << block.errorText();
    ASSERT_EQ(block.execute(1), SUCCESS) << block.errorText();
    // The values are taken when the cursor opens: changing the bind afterwards changes nothing.
    low = 4;
    EXPECT_EQ(rows.attribute4(ATTR_PARAM_COUNT), 2u);
    void *param = nullptr;
    ASSERT_EQ(api().ParamGet(rows.stmt, HTYPE_STMT, rows.err, &param, 2), SUCCESS);
    text *name = nullptr;
    ub4 nameLength = 0;
    ASSERT_EQ(api().AttrGet(param, DTYPE_PARAM, &name, &nameLength, ATTR_NAME, rows.err), SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(name), nameLength), "NAME");
    EXPECT_EQ(fetchAll(rows), (std::vector<std::string> { "2:item 2", "3:item 3", "5:item 5" }));

    // The block runs again with another value and the same handle opens afresh.
    low = 3;
    ASSERT_EQ(block.execute(1), SUCCESS) << block.errorText();
    EXPECT_EQ(fetchAll(rows), (std::vector<std::string> { "5:item 5" }));
}

TEST_F(CursorVariable, FailuresAreReportedAndLeaveNoChangeBehind)
{
    struct Case {
        const char *block;
        bool validHandle;
        int code;
    };
    const Case cases[] = {
        // The query fails when the cursor opens; the block's insert goes with it.
        { "begin insert into rc_items values (9, 'x'); open :c for select * from no_such_table; "
          "end;",
            true, 942 },
        // The bound value is no statement handle.
        { "begin insert into rc_items values (9, 'x'); open :c for select * from rc_items; end;",
            false, 1001 },
        // A cursor variable takes no scalar value.
        { "begin :c := 1; end;", true, 6550 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.block);
        Cursor rows(db);
        void *notAHandle[8] = {};
        void *target = c.validHandle ? rows.stmt : static_cast<void *>(notAHandle);
        Cursor block(db, c.block);
        ASSERT_EQ(bindCursor(block, &target), SUCCESS) << block.errorText();
        EXPECT_EQ(block.execute(1), ERROR);
        EXPECT_EQ(block.errorCode(), c.code) << block.errorText();
    }
    Cursor count(db, "select count(*) from rc_items");
    int32_t n = 0;
    void *define = nullptr;
    ASSERT_EQ(api().DefineByPos(count.stmt, &define, count.err, 1, &n, sizeof n, SQLT_INT, nullptr,
                  nullptr, nullptr, DEFAULT),
        SUCCESS);
    ASSERT_EQ(count.execute(1), SUCCESS) << count.errorText();
    EXPECT_EQ(n, 5);
}

TEST_F(CursorVariable, OpenForNeedsACursorBindAndAQuery)
{
    Cursor rows(db);
    // A bind of another type cannot be opened.
    Cursor wrongType(db, "begin open :n for select id from rc_items; end;");
    int32_t value = 0;
    ASSERT_EQ(bindInt(wrongType, ":n", &value), SUCCESS);
    EXPECT_EQ(wrongType.execute(1), ERROR);
    EXPECT_EQ(wrongType.errorCode(), 6550) << wrongType.errorText();
    EXPECT_NE(wrongType.errorText().find("PLS-00382"), std::string::npos) << wrongType.errorText();
    // Only a query follows FOR.
    Cursor notAQuery(db, "begin open :c for delete from rc_items; end;");
    ASSERT_EQ(bindCursor(notAQuery, &rows.stmt), SUCCESS);
    EXPECT_EQ(notAQuery.execute(1), ERROR);
    EXPECT_EQ(notAQuery.errorCode(), 6550) << notAQuery.errorText();
}
