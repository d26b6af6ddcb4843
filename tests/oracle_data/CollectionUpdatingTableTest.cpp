// The text analysis of a collection updating table and the block that makes a master row's
// null collection empty before an element is inserted; no server needed.
#include "oracle_data/CollectionUpdatingTable.h"
#include "oracle/OracleCI.h"

#include <gtest/gtest.h>

namespace qd {
namespace {

struct AnalysisCase {
    const char *table;
    bool valid;
    const char *selectText;
    const char *fromText;
    const char *whereText;
    const char *path;
};

const AnalysisCase analysisCases[] = {
    // What the automatic set-up writes.
    { "table(select m.lines\r\n           from   cd_order m\r\n           where  m.no = :no)", true,
        "m.lines", "cd_order m", "m.no = :no", "LINES" },
    { " THE ( SELECT o.addr.phones FROM scott.customers o WHERE o.id = :id and o.k = 2 ) ", true,
        "o.addr.phones", "scott.customers o", "o.id = :id and o.k = 2", "ADDR.PHONES" },
    // Keywords inside literals, quoted names and nested parentheses do not count.
    { "table(select c.\"Where\" from t c where c.a = ' from x where ' and c.b in "
      "(select b from u where 1 = 1))",
        true, "c.\"Where\"", "t c",
        "c.a = ' from x where ' and c.b in (select b from u where 1 = 1)", "WHERE" },
    { "table(select lines from cd_order where no = 1)", true, "lines", "cd_order", "no = 1",
        "LINES" },
    { "table(select m.lines from cd_order m where m.no = ')')", true, "m.lines", "cd_order m",
        "m.no = ')'", "LINES" },
    { "table(select /* from */ m.lines from cd_order m -- where\n where m.no = 3)", true, "m.lines",
        "cd_order m", "m.no = 3", "LINES" },
    // No select, no WHERE, WHERE before FROM, unbalanced or trailing text: nothing to analyse.
    { "table(x.y)", false, "", "", "", "" },
    { "table(select m.lines from cd_order m)", false, "", "", "", "" },
    { "table(select m.lines where m.no = 1 from cd_order m)", false, "", "", "", "" },
    { "table(select m.lines from cd_order m where m.no = '))", false, "", "", "", "" },
    { "table(select m.lines from cd_order m where m.no = 1) t", false, "", "", "", "" },
    { "table(select m.lines from cd_order m where m.no = 1) + (1)", false, "", "", "", "" },
    { "tables(select m.lines from cd_order m where m.no = 1)", false, "", "", "", "" },
    { "CD_ORDER", false, "", "", "", "" },
    { "", false, "", "", "", "" },
};

TEST(CollectionUpdatingTable, TheInnerSelectIsSplitAtItsOwnKeywords)
{
    for (const AnalysisCase &c : analysisCases) {
        SCOPED_TRACE(c.table);
        const CollectionUpdatingTable t = AnalyseCollectionTable(QString::fromUtf8(c.table));
        EXPECT_EQ(t.valid, c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(t.selectText, QString::fromUtf8(c.selectText));
        EXPECT_EQ(t.fromText, QString::fromUtf8(c.fromText));
        EXPECT_EQ(t.whereText, QString::fromUtf8(c.whereText));
        EXPECT_EQ(t.path, QString::fromUtf8(c.path));
    }
}

TEST(CollectionUpdatingTable, TheConstructorIsTheTypeNameCalledWithoutArguments)
{
    const struct {
        const char *type;
        const char *user;
        const char *constructor;
    } cases[] = {
        { "SCOTT.CD_LINES", "DEMO", "SCOTT.CD_LINES()" }, // another schema's type
        { "DEMO.CD_LINES", "DEMO", "CD_LINES()" }, // the user's own finds it by its bare name
        { "DEMO.CD_LINES", "", "DEMO.CD_LINES()" }, { "CD_LINES", "DEMO", "CD_LINES()" },
        { ".CD_LINES", "DEMO", "CD_LINES()" }, // described without an owner
    };
    for (const auto &c : cases)
        EXPECT_EQ(EmptyCollectionConstructor(QString::fromUtf8(c.type), QString::fromUtf8(c.user)),
            QString::fromUtf8(c.constructor))
            << c.type << " for " << c.user;
}

TEST(CollectionUpdatingTable, TheBlockMakesTheMasterRowsNullCollectionEmpty)
{
    const CollectionUpdatingTable table = AnalyseCollectionTable(
        QStringLiteral("table(select m.lines from cd_order m where m.no = :no and m.k = :K)"));
    ASSERT_TRUE(table.valid);
    const QList<CollectionColumn> columns
        = { { QStringLiteral("m.lines"), QStringLiteral("DEMO.CD_LINES()") } };
    const QList<EditBindVariable> variables = {
        { QStringLiteral("NO"), SQLT_INT, Variant(4), false },
        { QStringLiteral(":k"), SQLT_STR, Variant(QStringLiteral("x")), false },
        // Not in the block: not passed on.
        { QStringLiteral("other"), SQLT_INT, Variant(9), false },
    };
    const EditStatement block = BuildEmptyCollectionBlock(table, columns, variables);
    EXPECT_FALSE(block.nothingToSend);
    EXPECT_EQ(block.lines,
        (QStringList { QStringLiteral("begin"), QStringLiteral("  update cd_order m"),
            QStringLiteral("  set m.lines = DEMO.CD_LINES()"),
            QStringLiteral("  where m.lines is null"),
            QStringLiteral("  and (m.no = :no and m.k = :K);"), QStringLiteral("end;") }));
    ASSERT_EQ(block.variables.size(), 2);
    EXPECT_EQ(block.variables[0].name, QStringLiteral("NO"));
    EXPECT_EQ(block.variables[0].type, SQLT_INT);
    EXPECT_EQ(block.variables[0].value.AsInteger(), 4);
    EXPECT_EQ(block.variables[1].name, QStringLiteral("k"));
    EXPECT_EQ(block.variables[1].type, SQLT_STR);
    EXPECT_EQ(block.variables[1].value.AsString(), QStringLiteral("x"));
    EXPECT_FALSE(block.variables[1].boundLocator);
}

TEST(CollectionUpdatingTable, NoBlockWithoutAnalysedTableOrCollectionColumn)
{
    const QList<CollectionColumn> columns
        = { { QStringLiteral("m.lines"), QStringLiteral("CD_LINES()") } };
    EXPECT_TRUE(
        BuildEmptyCollectionBlock(AnalyseCollectionTable(QStringLiteral("table(x.y)")), columns, {})
            .nothingToSend);
    const CollectionUpdatingTable table = AnalyseCollectionTable(
        QStringLiteral("table(select m.lines from cd_order m where m.no = 1)"));
    ASSERT_TRUE(table.valid);
    const EditStatement none = BuildEmptyCollectionBlock(table, {}, {});
    EXPECT_TRUE(none.nothingToSend);
    EXPECT_TRUE(none.lines.isEmpty());
}

} // namespace
} // namespace qd
