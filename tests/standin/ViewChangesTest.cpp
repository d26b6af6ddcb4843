// INSERT, UPDATE and DELETE through a view: a view over one table that shows its columns under
// their own names changes that table; every other view refuses the change with ORA-01732.
#include "DialectTestSupport.h"

#include "engine/ViewTarget.h"

namespace qdsi::sql::test {
namespace {

class ViewChanges : public DialectDb {
protected:
    void SetUp() override
    {
        DialectDb::SetUp();
        context.viewTarget = [this](const std::string &name) {
            return engine::viewTarget(db, context.user, name);
        };
        run("create table t (id number(4) primary key, name varchar2(10), extra varchar2(5))");
        run("create table d (id number(4), label varchar2(10))");
        run("insert into t values (1, 'one', 'x')");
        run("insert into t values (2, 'two', 'y')");
        run("insert into d values (1, 'first')");
    }
};

TEST_F(ViewChanges, SimpleViewsChangeTheirTable)
{
    run("create view v as select id, name from t");
    run("create view va as select x.id, x.name as name from scott.t x");
    run("create view vs as select * from t");

    EXPECT_EQ(sqlite3_changes(db), 1); // the last insert, before anything ran through a view
    run("update v set name = 'uno' where id = 1");
    EXPECT_EQ(sqlite3_changes(db), 1);
    run("update va q set q.name = q.name || '!' where q.id = 1");
    run("insert into vs (id, name, extra) values (3, 'three', 'z')");
    run("insert into v values (4, 'four')");
    run("delete from v where v.id = 2");
    EXPECT_EQ(rows("select id, name, extra from t order by id"),
        (std::vector<std::vector<std::string>> {
            { "1", "uno!", "x" }, { "3", "three", "z" }, { "4", "four", "<null>" } }));
    // A change that meets no row of the view changes nothing.
    run("update v set name = 'none' where id = 99");
    EXPECT_EQ(sqlite3_changes(db), 0);
}

TEST_F(ViewChanges, OtherViewsRefuseChanges)
{
    run("create view renamed as select id, name as label from t");
    run("create view joined as select t.id, t.name from t, d where t.id = d.id");
    run("create view filtered as select id, name from t where id > 1");
    run("create view distinctive as select distinct name from t");
    run("create view computed as select id, upper(name) name from t");
    run("create view listed (key, name) as select id, name from t");
    run("create view swapped (name, id) as select id, name from t");
    for (const char *sql : { "update renamed set label = 'x'", "delete from joined",
             "insert into filtered (id, name) values (9, 'nine')",
             "update distinctive set name = 'x'", "delete from computed where id = 1",
             "update listed set name = 'x' where key = 1", "delete from swapped where id = 1" }) {
        SCOPED_TRACE(sql);
        const OraError e = error(sql);
        EXPECT_EQ(e.code, 1732);
        EXPECT_NE(
            e.text.find("data manipulation operation not legal on this view"), std::string::npos)
            << e.text;
    }
    EXPECT_EQ(value("select count(*) from t where name in ('one', 'two')"), "2");
}

} // namespace
} // namespace qdsi::sql::test
