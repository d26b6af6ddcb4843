// The object-kind table, the kind conversions and the connect-mode word.
#include "browsers/OracleObjectKinds.h"

#include "classlib/Exception.h"
#include "oracle/QStringPrinter.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>

using namespace qd;

namespace {

struct KindRow {
    TQDOracleObjects kind;
    bool inCatalogue;
    const char *literal, *plural, *singular;
    bool hasSubObjects;
    TQDOracleSubObjects subKind;
    const char *dragWord, *subDragWord;
    bool cacheHint;
};

const KindRow kindRows[] = {
    { ooTable, true, "'TABLE'", "Tables", "Table", true, osoColumn, "TABLE", "COLUMN", true },
    { ooView, true, "'VIEW'", "Views", "View", true, osoColumn, "TABLE", "COLUMN", true },
    { ooMView, true, "'MATERIALIZED VIEW'", "Materialized Views", "Materialized View", true,
        osoColumn, "TABLE", "COLUMN", true },
    { ooPackage, true, "'PACKAGE'", "Packages", "Package", true, osoSubProcedure, "STOREDPROC",
        "SUBPROC", true },
    { ooProcedure, true, "'PROCEDURE'", "Procedures", "Procedure", false, osoNone, "STOREDPROC", "",
        true },
    { ooFunction, true, "'FUNCTION'", "Functions", "Function", false, osoNone, "STOREDPROC", "",
        true },
    { ooTrigger, true, "'TRIGGER'", "Triggers", "Trigger", false, osoNone, "TRIGGER", "", true },
    { ooType, true, "'TYPE'", "Types", "Type", true, osoAttribute, "TYPE", "ATTRIBUTE", true },
    { ooBuiltin, false, "'BUILTIN'", "Built Ins", "Built In", false, osoNone, "BUILTIN", "", true },
    { ooSequence, true, "'SEQUENCE'", "Sequences", "Sequence", false, osoNone, "SEQUENCE", "",
        false },
};

QString messageOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

} // namespace

TEST(OracleObjectKinds, EveryRowHoldsItsKindsWordsAndFlags)
{
    for (const KindRow &r : kindRows) {
        SCOPED_TRACE(OracleObjectToString(r.kind).toStdString());
        const TOracleObjectKind &row = OracleObjectKinds(r.kind);
        EXPECT_EQ(row.InCatalogue, r.inCatalogue);
        EXPECT_EQ(row.ObjectTypeLiteral, QLatin1String(r.literal));
        EXPECT_EQ(row.PluralCaption, QLatin1String(r.plural));
        EXPECT_EQ(row.SingularCaption, QLatin1String(r.singular));
        EXPECT_EQ(row.HasSubObjects, r.hasSubObjects);
        EXPECT_EQ(row.SubObjectKind, r.subKind);
        EXPECT_EQ(row.DragWord, QLatin1String(r.dragWord));
        EXPECT_EQ(row.SubDragWord, QLatin1String(r.subDragWord));
        EXPECT_EQ(row.CacheHint, r.cacheHint);
        // Only kinds with sub-objects have a query for them.
        EXPECT_EQ(row.SubObjectQuery.isEmpty(), !r.hasSubObjects);
    }
}

TEST(OracleObjectKinds, ListQueriesSelectOneOwnersObjects)
{
    EXPECT_EQ(OracleObjectKinds(ooTable).ListQuery,
        "select table_name from all_tables where owner = :obj_owner order by table_name");
    EXPECT_EQ(OracleObjectKinds(ooView).ListQuery,
        "select view_name from all_views where owner = :obj_owner order by view_name");
    EXPECT_EQ(OracleObjectKinds(ooMView).ListQuery,
        "select name from all_snapshots where owner = :obj_owner order by name");
    for (const auto &[kind, literal] : { std::pair { ooPackage, "'PACKAGE'" },
             { ooProcedure, "'PROCEDURE'" }, { ooFunction, "'FUNCTION'" },
             { ooTrigger, "'TRIGGER'" }, { ooType, "'TYPE'" }, { ooSequence, "'SEQUENCE'" } })
        EXPECT_EQ(OracleObjectKinds(kind).ListQuery,
            QStringLiteral("select object_name from all_objects where owner = :obj_owner and "
                           "object_type = %1 order by object_name")
                .arg(QLatin1String(literal)));
    EXPECT_TRUE(OracleObjectKinds(ooBuiltin).ListQuery.isEmpty());
}

TEST(OracleObjectKinds, SubObjectQueriesAreLinesJoinedByCrLfThatBindNamesAsTheyStand)
{
    const QStringList table
        = OracleObjectKinds(ooTable).SubObjectQuery.split(QStringLiteral("\r\n"));
    EXPECT_EQ(table,
        QStringList({ "select column_name ", "  from all_tab_columns ",
            "  where rtrim(owner) = rtrim(:obj_owner) ",
            "    and rtrim(table_name) = rtrim(:obj_name) ", "  order by column_id" }));
    EXPECT_EQ(OracleObjectKinds(ooView).SubObjectQuery, OracleObjectKinds(ooTable).SubObjectQuery);
    EXPECT_EQ(OracleObjectKinds(ooMView).SubObjectQuery.split(QStringLiteral("\r\n")),
        QStringList({ "select column_name ", "  from all_tab_columns tc,", "       all_snapshots s",
            "  where rtrim(s.name) = rtrim(:obj_name) ",
            "    and rtrim(s.owner) = rtrim(:obj_owner) ", "    and s.table_name = tc.table_name ",
            "    and s.owner = tc.owner ", "  order by column_id" }));
    EXPECT_EQ(OracleObjectKinds(ooPackage).SubObjectQuery.split(QStringLiteral("\r\n")),
        QStringList(
            { "select distinct object_name ", "  from all_arguments", "  where owner = :obj_owner",
                "    and package_name = :obj_name", "  order by object_name" }));
    EXPECT_EQ(OracleObjectKinds(ooType).SubObjectQuery.split(QStringLiteral("\r\n")),
        QStringList({ "select attr_name as \"Name\" ", "  from all_type_attrs ",
            "  where owner = :obj_owner ", "    and type_name = :obj_name ",
            "  order by attr_no" }));
    for (int k = 0; k < OracleObjectKindCount; ++k) {
        const TOracleObjectKind &row = OracleObjectKinds(static_cast<TQDOracleObjects>(k));
        EXPECT_FALSE(row.SubObjectQuery.contains(QStringLiteral("upper("), Qt::CaseInsensitive));
        EXPECT_FALSE(row.SubObjectQuery.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    }
}

TEST(OracleObjectKinds, ConversionsRoundTripAndRejectOtherTexts)
{
    const char *objects[] = { "ooTable", "ooView", "ooMView", "ooPackage", "ooProcedure",
        "ooFunction", "ooTrigger", "ooType", "ooBuiltin", "ooSequence" };
    for (int k = 0; k < OracleObjectKindCount; ++k) {
        const auto kind = static_cast<TQDOracleObjects>(k);
        EXPECT_EQ(OracleObjectToString(kind), QLatin1String(objects[k]));
        EXPECT_EQ(StringToOracleObject(QLatin1String(objects[k])), kind);
    }
    const char *subObjects[] = { "osoSubProcedure", "osoAttribute", "osoColumn", "osoNone" };
    for (int k = 0; k <= osoNone; ++k) {
        const auto kind = static_cast<TQDOracleSubObjects>(k);
        EXPECT_EQ(OracleSubObjectToString(kind), QLatin1String(subObjects[k]));
        EXPECT_EQ(StringToOracleSubObject(QLatin1String(subObjects[k])), kind);
    }

    const struct {
        const char *text;
        bool sub;
        const char *message;
    } bad[] = {
        { "Table", false, "Oracle object type Table not recognized." },
        { "oomview", false, "Oracle object type oomview not recognized." },
        { "ooTable ", false, "Oracle object type ooTable  not recognized." },
        { "", false, "Oracle object type  not recognized." },
        { "osoColumn", false, "Oracle object type osoColumn not recognized." },
        { "Column", true, "Oracle sub-object type Column not recognized." },
        { "ooTable", true, "Oracle sub-object type ooTable not recognized." },
    };
    for (const auto &b : bad) {
        const QString text = QLatin1String(b.text);
        EXPECT_EQ(messageOf([&] {
            if (b.sub)
                StringToOracleSubObject(text);
            else
                StringToOracleObject(text);
        }),
            QLatin1String(b.message));
    }
}

TEST(OracleObjectKinds, ModeToConnectAsTakesOnlyTheExactWords)
{
    const std::pair<const char *, TConnectAsOption> cases[] = {
        { "SYSDBA", caSYSDBA },
        { "SYSOPER", caSYSOPER },
        { "sysdba", caNormal },
        { "SysOper", caNormal },
        { "SYSDBA ", caNormal },
        { " SYSOPER", caNormal },
        { "NORMAL", caNormal },
        { "", caNormal },
    };
    for (const auto &[mode, expected] : cases)
        EXPECT_EQ(ModeToConnectAs(QLatin1String(mode)), expected) << '"' << mode << '"';
}
