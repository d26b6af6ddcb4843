// Object tables and REFs in the dialect layer: statements with them are classified without an
// engine behind the translation, REF columns describe as 110 with their type, and only the
// comment that heads an object table's definition names its type.
#include "sql/Dialect.h"

#include <gtest/gtest.h>

namespace qdsi::sql {
namespace {

TEST(ObjectTableDialect, StatementsAreClassifiedWithoutTheEngine)
{
    const struct {
        const char *sql;
        StatementKind kind;
    } cases[] = {
        { "select ref(p), value(p), deref(p.boss) from qd_t p where ref(p) = :r",
            StatementKind::Select },
        { "create table qd_t of qd_type", StatementKind::CreateTable },
        { "create table qd_s (boss ref qd_type scope is qd_t, id number)",
            StatementKind::CreateTable },
        { "insert into qd_s select ref(p), 1 from qd_t p", StatementKind::Insert },
    };
    for (const auto &c : cases) {
        const Translation t = translate(c.sql, SessionContext {});
        EXPECT_EQ(t.kind, c.kind) << c.sql;
        EXPECT_FALSE(t.sqlite.empty()) << c.sql;
    }
}

TEST(ObjectTableDialect, ReferenceColumnsDescribeWithTheirType)
{
    const ColumnDescription d = describeDeclaredType("REF DEMO QD_PERSON");
    EXPECT_EQ(d.dataType, 110);
    EXPECT_EQ(d.typeSchema, "DEMO");
    EXPECT_EQ(d.typeName, "QD_PERSON");
    EXPECT_EQ(describeDeclaredType("REAL").dataType, 2);
}

TEST(ObjectTableDialect, OnlyTheHeadingCommentNamesTheType)
{
    const std::string mark = objectTableMark("DEMO.QD_PERSON");
    EXPECT_EQ(objectTableMarkType("CREATE TABLE T (" + mark + "\"A\" NUMBER)"), "DEMO.QD_PERSON");
    const struct {
        std::string text;
    } cases[] = {
        { "CREATE TABLE T (\"A\" NUMBER DEFAULT (1) /*QD_OF:DEMO.X*/)" }, // not at the head
        { "CREATE TABLE T (/*QD:1*/ /*QD_OF:DEMO.X*/ A)" }, // not the first comment
        { "CREATE TABLE T (/*QD_OF:DEMO.X" }, // unterminated
        { "/*QD_OF:DEMO.X*/" },
        { "" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(objectTableMarkType(c.text), "") << c.text;
}

} // namespace
} // namespace qdsi::sql
