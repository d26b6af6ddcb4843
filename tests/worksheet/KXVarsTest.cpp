#include "worksheet/KXVars.h"

#include <gtest/gtest.h>

using namespace qd;

TEST(KXVars, NamesAreCaseInsensitiveAndStoredUpperCase)
{
    TKXVars vars;
    vars.SetVar(QStringLiteral("x"), kvkSubstitution, Variant(QStringLiteral("v")));
    EXPECT_TRUE(vars.Exists(QStringLiteral("X")));
    EXPECT_EQ(vars.GetValue(QStringLiteral("X")).AsString(), QStringLiteral("v"));
    EXPECT_EQ(vars.GetKind(QStringLiteral("x")), kvkSubstitution);
    ASSERT_EQ(vars.Count(), 1);
    EXPECT_EQ(vars.Entry(0).Name, QStringLiteral("X"));
}

TEST(KXVars, SetVarOfExistingNameChangesInPlace)
{
    TKXVars vars;
    vars.SetVar(QStringLiteral("a"), kvkBindChar, Variant(QStringLiteral("1")));
    vars.SetVar(QStringLiteral("b"), kvkBindChar, Variant(QStringLiteral("2")));
    vars.SetVar(QStringLiteral("A"), kvkBindNumber, Variant(7.5));
    EXPECT_EQ(vars.Count(), 2);
    EXPECT_EQ(vars.Entry(0).Name, QStringLiteral("A"));
    EXPECT_EQ(vars.GetKind(QStringLiteral("a")), kvkBindNumber);
    EXPECT_DOUBLE_EQ(vars.GetValue(QStringLiteral("a")).AsFloat(), 7.5);
}

TEST(KXVars, AbsentNamesAreNotAddedByReadsOrSetters)
{
    TKXVars vars;
    EXPECT_FALSE(vars.Exists(QStringLiteral("NONE")));
    EXPECT_EQ(vars.GetKind(QStringLiteral("NONE")), 0);
    EXPECT_EQ(vars.GetValue(QStringLiteral("NONE")).Kind(), VariantKind::Unassigned);
    vars.SetValue(QStringLiteral("none"), Variant(QStringLiteral("x")));
    vars.SetKind(QStringLiteral("none"), kvkBindChar);
    EXPECT_EQ(vars.Count(), 0);
    EXPECT_FALSE(vars.Exists(QStringLiteral("none")));
}

TEST(KXVars, SetValueAndSetKindChangeOnlyTheirField)
{
    TKXVars vars;
    vars.SetVar(QStringLiteral("n"), kvkBindNumber, Variant(1.0));
    vars.SetValue(QStringLiteral("N"), Variant(2.0));
    EXPECT_EQ(vars.GetKind(QStringLiteral("n")), kvkBindNumber);
    EXPECT_DOUBLE_EQ(vars.GetValue(QStringLiteral("n")).AsFloat(), 2.0);
    vars.SetKind(QStringLiteral("N"), kvkBindChar);
    EXPECT_EQ(vars.GetKind(QStringLiteral("n")), kvkBindChar);
    EXPECT_DOUBLE_EQ(vars.GetValue(QStringLiteral("n")).AsFloat(), 2.0);
    vars.SetValue(QStringLiteral("n"), Variant::Null());
    EXPECT_EQ(vars.GetValue(QStringLiteral("n")).Kind(), VariantKind::Null);
}

// A script may define far more variables than a small fixed table would hold: none is lost.
TEST(KXVars, TwoHundredDistinctNamesAreAllKept)
{
    TKXVars vars;
    for (int i = 0; i < 200; ++i)
        vars.SetVar(QStringLiteral("v%1").arg(i), kvkSubstitution, Variant(QString::number(i * 3)));
    ASSERT_EQ(vars.Count(), 200);
    for (int i = 0; i < 200; ++i) {
        const QString name = QStringLiteral("V%1").arg(i);
        ASSERT_TRUE(vars.Exists(name)) << name.toStdString();
        EXPECT_EQ(vars.GetValue(name).AsString(), QString::number(i * 3));
        EXPECT_EQ(vars.Entry(i).Name, name);
    }
    vars.SetVar(QStringLiteral("v199"), kvkSubstitution, Variant(QStringLiteral("last")));
    EXPECT_EQ(vars.Count(), 200);
    EXPECT_EQ(vars.GetValue(QStringLiteral("V199")).AsString(), QStringLiteral("last"));
}

TEST(KXVars, AssignCopiesIndependentValues)
{
    TKXVars source;
    source.SetVar(QStringLiteral("a"), kvkBindChar, Variant(QStringLiteral("one")));
    source.SetVar(QStringLiteral("b"), kvkBindNumber, Variant(2.0));
    TKXVars copy;
    copy.SetVar(QStringLiteral("old"), kvkSubstitution, Variant(QStringLiteral("gone")));
    copy.Assign(source);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_FALSE(copy.Exists(QStringLiteral("OLD")));
    EXPECT_EQ(copy.GetValue(QStringLiteral("A")).AsString(), QStringLiteral("one"));

    copy.SetValue(QStringLiteral("a"), Variant(QStringLiteral("changed")));
    copy.SetKind(QStringLiteral("b"), kvkBindChar);
    copy.SetVar(QStringLiteral("c"), kvkSubstitution, Variant(QStringLiteral("new")));
    EXPECT_EQ(source.GetValue(QStringLiteral("A")).AsString(), QStringLiteral("one"));
    EXPECT_EQ(source.GetKind(QStringLiteral("B")), kvkBindNumber);
    EXPECT_FALSE(source.Exists(QStringLiteral("C")));

    copy.Assign(copy); // self-assignment keeps the table
    EXPECT_EQ(copy.Count(), 3);
}
