// Bind variables of TOracleQuery: declaration rules, values, arrays, PL/SQL tables and OUT values.

#include "OracleQueryTestFixture.h"
#include "QStringPrinter.h"

namespace qd::test {
namespace {

QString messageOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Exception &e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

TEST(QueryVariables, NamesAreNormalisedAndRedeclaringKeepsThePlace)
{
    TOracleQuery q;
    q.DeclareVariable(QStringLiteral("id"), SQLT_INT);
    q.DeclareVariable(QStringLiteral(":Name"), SQLT_STR);
    q.DeclareVariable(QStringLiteral("last"), SQLT_FLT);
    EXPECT_EQ(q.VariableName(0), QStringLiteral(":ID"));
    EXPECT_EQ(q.VariableName(1), QStringLiteral(":NAME"));
    q.SetVariable(QStringLiteral(":id"), 5);
    EXPECT_EQ(q.GetVariable(QStringLiteral("ID")).AsInteger(), 5);
    q.SetVariable(QStringLiteral("name"), QStringLiteral("x"));

    q.DeclareVariable(QStringLiteral("NAME"), SQLT_DAT);
    EXPECT_EQ(q.VariableCount(), 3);
    EXPECT_EQ(q.VariableIndex(QStringLiteral("name")), 1);
    EXPECT_EQ(q.VariableType(1), SQLT_DAT);
    EXPECT_TRUE(q.GetVariable(QStringLiteral("name")).IsUnassigned());

    QString name = QStringLiteral("last");
    EXPECT_EQ(q.FindVariable(name), 2);
    EXPECT_EQ(name, QStringLiteral(":LAST"));
    q.DeleteVariable(QStringLiteral("id"));
    EXPECT_EQ(q.VariableIndex(QStringLiteral("id")), -1);
    q.DeleteVariables();
    EXPECT_EQ(q.VariableCount(), 0);
}

TEST(QueryVariables, MisuseIsReportedWithTheTextsOfTheLayer)
{
    TOracleQuery q;
    QObject notAQuery;
    q.DeclareVariable(QStringLiteral("s"), 1);
    q.DeclareVariable(QStringLiteral("c"), SQLT_CLOB);
    q.DeclareVariable(QStringLiteral("cur"), SQLT_RSET);
    q.DeclareVariable(QStringLiteral("i"), SQLT_INT);
    const struct {
        std::function<void()> call;
        QString message;
    } cases[] = {
        { [&] { q.DeclareVariable(QString(), SQLT_INT); },
            QStringLiteral("You cannot declare a variable with an empty name") },
        { [&] { q.DeclareVariable(QStringLiteral("x"), 77); },
            QStringLiteral("Unsupported variable type") },
        { [&] { q.SetVariable(QStringLiteral("nope"), 1); },
            QStringLiteral("Variable nope not declared") },
        { [&] { q.DeleteVariable(QStringLiteral("nope")); },
            QStringLiteral("Variable nope not declared") },
        { [&] { q.GetVariable(QStringLiteral("nope")); },
            QStringLiteral("Unknown variable: nope") },
        { [&] { q.SetComplexVariable(QStringLiteral("nope"), nullptr); },
            QStringLiteral("Unknown variable: nope") },
        { [&] { q.SetComplexVariable(QStringLiteral("i"), nullptr); },
            QStringLiteral("i is not a complex variable") },
        { [&] { q.SetComplexVariable(QStringLiteral("cur"), &notAQuery); },
            QStringLiteral("Assign TOracleQuery instance to variable cur") },
        { [&] { q.SetComplexVariable(QStringLiteral("c"), &q); },
            QStringLiteral("Assign TLOBLocator instance to variable c") },
        { [&] { q.SetVariable(QStringLiteral("c"), Variant(VariantArray { 1 })); },
            QStringLiteral("c is a complex variable and cannot be an array") },
        { [&] { q.SetVariable(QStringLiteral("s"), Variant(VariantArray { 1 })); },
            QStringLiteral("s is a substitution variable and cannot be an array") },
        { [&] { q.VariableName(4); }, QStringLiteral("Variable 4 does not exist") },
        { [&] { q.VariableType(-1); }, QStringLiteral("Variable -1 does not exist") },
    };
    for (const auto &c : cases)
        EXPECT_EQ(messageOf(c.call), c.message);
}

TEST(QueryVariables, PlsqlTables)
{
    TOracleQuery q;
    q.DeclareVariable(QStringLiteral("t"), SQLT_INT);
    q.DeclareVariable(QStringLiteral("s"), SQLT_STR);
    q.DeclareVariable(QStringLiteral("l"), SQLT_LNG);
    EXPECT_EQ(messageOf([&] { q.DimPLSQLTable(QStringLiteral("l"), 5, 0); }),
        QStringLiteral("Only PL/SQL Tables of strings, integers, floats and dates supported"));
    EXPECT_EQ(messageOf([&] { q.DimPLSQLTable(QStringLiteral("s"), 5, 0); }),
        QStringLiteral("You must specify a string size for a PL/SQL Table of strings"));
    EXPECT_EQ(messageOf([&] { q.DimPLSQLTable(QStringLiteral("t"), 5, 3); }),
        QStringLiteral("You can only specify a string size for a PL/SQL Table of strings"));
    EXPECT_EQ(messageOf([&] { q.DimPLSQLTable(QStringLiteral("t"), 0, 0); }),
        QStringLiteral("You must specify the size of the PL/SQL Table"));

    q.DimPLSQLTable(QStringLiteral("t"), 2, 0);
    EXPECT_EQ(messageOf([&] {
        q.SetVariable(QStringLiteral("t"), Variant(VariantArray { 1, 2, 3 }));
    }),
        QStringLiteral("Array is larger than PL/SQL Table (3 > 2)"));
    EXPECT_EQ(messageOf([&] { q.SetVariable(QStringLiteral("t"), 1); }),
        QStringLiteral("t is a PL/SQL Table, assign a variant array to it"));
    q.SetVariable(QStringLiteral("t"), Variant(VariantArray { 7, Variant::Null() }));
    const Variant value = q.GetVariable(QStringLiteral("t"));
    ASSERT_NE(value.ArrayPtr(), nullptr);
    ASSERT_EQ(value.ArrayPtr()->size(), 2u);
    EXPECT_EQ(value.ArrayPtr()->at(0).AsInteger(), 7);
    EXPECT_TRUE(value.ArrayPtr()->at(1).IsUnassigned());
    q.SetVariable(QStringLiteral("t"), Variant::Null()); // empties it
    EXPECT_TRUE(q.GetVariable(QStringLiteral("t")).IsUnassigned());
}

TEST(QueryVariables, ArraysComeBackAsArraysAndClearVariablesNullsAll)
{
    TOracleQuery q;
    q.DeclareVariable(QStringLiteral("a"), SQLT_STR);
    q.DeclareVariable(QStringLiteral("b"), SQLT_FLT);
    q.SetVariable(QStringLiteral("a"),
        Variant(VariantArray { QStringLiteral("x"), Variant(), QStringLiteral("z") }));
    q.SetVariable(QStringLiteral("b"), 2.5);
    const Variant a = q.GetVariable(QStringLiteral("a"));
    ASSERT_NE(a.ArrayPtr(), nullptr);
    EXPECT_EQ(a.ArrayPtr()->size(), 3u);
    EXPECT_EQ(a.ArrayPtr()->at(2).AsString(), QStringLiteral("z"));
    EXPECT_TRUE(a.ArrayPtr()->at(1).IsUnassigned());
    EXPECT_DOUBLE_EQ(q.GetVariable(QStringLiteral("b")).AsFloat(), 2.5);
    q.ClearVariables();
    EXPECT_TRUE(q.GetVariable(QStringLiteral("b")).IsUnassigned());
    EXPECT_TRUE(q.GetVariable(QStringLiteral("a")).IsUnassigned());
    EXPECT_TRUE(TOracleQuery::IsStringVariant(QStringLiteral("s")));
    EXPECT_FALSE(TOracleQuery::IsStringVariant(1));
}

using QueryBinds = OracleQueryFixture;

TEST_P(QueryBinds, OutValuesOfReturningInto)
{
    createTable(QStringLiteral("qv_returning"), QStringLiteral("n number(9), s varchar2(20)"));
    query->SQL().SetText(QStringLiteral(
        "insert into qv_returning values (:a * 2, 'got ' || :s) returning n, s into :r, :t"));
    query->DeclareVariable(QStringLiteral("a"), SQLT_INT);
    query->DeclareVariable(QStringLiteral("s"), SQLT_STR);
    query->DeclareVariable(QStringLiteral("r"), SQLT_INT);
    query->DeclareVariable(QStringLiteral("t"), SQLT_STR);
    query->SetVariable(QStringLiteral("a"), 21);
    query->SetVariable(QStringLiteral("s"), QStringLiteral("it"));
    query->Execute();
    EXPECT_EQ(query->SQLType(), 3);
    EXPECT_EQ(query->RowsProcessed(), 1);
    EXPECT_EQ(query->GetVariable(QStringLiteral("r")).AsInteger(), 42);
    EXPECT_EQ(query->GetVariable(QStringLiteral("t")).AsString(), QStringLiteral("got it"));
    // New values in the same buffers on the next run.
    query->SetVariable(QStringLiteral("a"), 5);
    query->Execute();
    EXPECT_EQ(query->GetVariable(QStringLiteral("r")).AsInteger(), 10);
}

TEST_P(QueryBinds, OutValuesOfAPlsqlBlock)
{
    query->SQL().SetText(QStringLiteral("begin :r := :a * 2; :t := 'got ' || :s; end;"));
    query->DeclareVariable(QStringLiteral("a"), SQLT_INT);
    query->DeclareVariable(QStringLiteral("r"), SQLT_INT);
    query->DeclareVariable(QStringLiteral("s"), SQLT_STR);
    query->DeclareVariable(QStringLiteral("t"), SQLT_STR);
    query->SetVariable(QStringLiteral("a"), 21);
    query->SetVariable(QStringLiteral("s"), QStringLiteral("it"));
    query->Execute();
    EXPECT_EQ(query->SQLType(), 34);
    EXPECT_EQ(query->GetVariable(QStringLiteral("r")).AsInteger(), 42);
    EXPECT_EQ(query->GetVariable(QStringLiteral("t")).AsString(), QStringLiteral("got it"));
    // New values in the same buffers on the next run.
    query->SetVariable(QStringLiteral("a"), 5);
    query->Execute();
    EXPECT_EQ(query->GetVariable(QStringLiteral("r")).AsInteger(), 10);
}

TEST_P(QueryBinds, NullBindsAndNullOutValues)
{
    query->SQL().SetText(QStringLiteral("select nvl(:v, 'none') from dual"));
    query->DeclareVariable(QStringLiteral("v"), SQLT_STR);
    query->Execute();
    EXPECT_EQ(query->FieldAsString(0), QStringLiteral("none"));
    query->SetVariable(QStringLiteral("v"), QStringLiteral("some"));
    query->Execute();
    EXPECT_EQ(query->FieldAsString(0), QStringLiteral("some"));

    createTable(QStringLiteral("qv_nulls"), QStringLiteral("n number(9)"));
    TOracleQuery block;
    block.SetSession(session.get());
    block.SQL().SetText(QStringLiteral("insert into qv_nulls values (null) returning n into :o"));
    block.DeclareVariable(QStringLiteral("o"), SQLT_INT);
    block.SetVariable(QStringLiteral("o"), 3);
    block.Execute();
    EXPECT_TRUE(block.GetVariable(QStringLiteral("o")).IsUnassigned());
    session->SetNullValue(nvNull);
    EXPECT_TRUE(block.GetVariable(QStringLiteral("o")).IsNull());
}

TEST_P(QueryBinds, ComplexVariablesWithoutValueCannotBeBound)
{
    query->SQL().SetText(QStringLiteral("begin null; end;"));
    query->DeclareVariable(QStringLiteral("c"), SQLT_RSET);
    EXPECT_EQ(
        messageOf([&] { query->Execute(); }), QStringLiteral("Cursor variable :C cannot be nil"));
    query->DeclareVariable(QStringLiteral("c"), SQLT_BLOB);
    query->SetComplexVariable(QStringLiteral("c"), nullptr);
    const QString message = messageOf([&] { query->Execute(); });
    if (olderMode())
        EXPECT_TRUE(message.startsWith(QStringLiteral("A LOB Locator variable requires")))
            << message.toStdString();
    else
        EXPECT_EQ(message, QStringLiteral("LOB variable :C cannot be nil"));
}

INSTANTIATE_TEST_SUITE_P(BothModes, QueryBinds, ::testing::Bool(), modeName);

} // namespace
} // namespace qd::test
