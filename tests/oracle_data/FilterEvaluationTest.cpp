#include "FilterTestSource.h"
#include "FilterTestSupport.h"

#include "classlib/DateTimeUtils.h"
#include "oracle_data/ColumnExpression.h"

#include <gtest/gtest.h>

using namespace qd;
using qd::test::VectorFieldSource;

namespace {

using K = TExpressionKind;

// EMP-like records: the field leaves read them through the field source interface.
class FilterEvaluation : public qd::test::FixedFilterFormat {
protected:
    FilterEvaluation()
        : emp({ { "EMPNO", K::Integer }, { "ENAME", K::String }, { "SAL", K::Float },
            { "COMM", K::Float }, { "HIREDATE", K::Date }, { "ACTIVE", K::Boolean },
            { "DEPTNO", K::Integer } })
    {
        emp.addRow({ 7369, "SMITH", 800.0, Variant::Null(), day(1980, 12, 17), true, 20 });
        emp.addRow({ 7499, "ALLEN", 1600.0, 300.0, day(1981, 2, 20), true, 30 });
        emp.addRow({ 7788, "SCOTT", 3000.0, Variant::Null(), day(1990, 1, 2), false, 20 });
        emp.addRow({ 7839, "KING", 5000.0, 0.0, day(1989, 12, 31), true, 10 });
        emp.addRow({ 7902, "S*", 1950.0, 100.0, day(1990, 1, 1), false, 20 });
    }

    static Variant day(int y, int m, int d) { return Variant::FromDateTime(EncodeDate(y, m, d)); }

    // Employee numbers of the records that pass the filter text.
    std::vector<int> passing(const QString &text, int options = 0)
    {
        std::unique_ptr<TExpression> filter = ParseDataSetFilter(text, options, emp);
        std::vector<int> result;
        for (int row = 0; row < emp.rowCount(); ++row) {
            emp.setCurrent(row);
            if (FilterAccept(filter.get()))
                result.push_back(static_cast<int>(emp.FieldValue(0).AsInteger()));
        }
        return result;
    }

    VectorFieldSource emp;
};

TEST_F(FilterEvaluation, SelectsRecordsByFieldValues)
{
    struct Case {
        const char *text;
        int options;
        std::vector<int> expected;
    };
    const Case cases[] = {
        { "", 0, { 7369, 7499, 7788, 7839, 7902 } },
        { "[ENAME] = 'S*'", 0, { 7369, 7788, 7902 } },
        { "[ENAME] = 'S*'", FilterParseNoPartialCompare, { 7902 } },
        { "[ENAME] = 's*'", 0, {} },
        { "[ENAME] = 's*'", FilterParseCaseInsensitive, { 7369, 7788, 7902 } },
        { "[ENAME] = '????"
          "?'",
            0, { 7369, 7499, 7788 } },
        { "ENAME = 'SCOTT'", 0, { 7788 } },
        { "ename = 'SCOTT'", 0, { 7788 } },
        { "[ENAME] > 'K'", 0, { 7839, 7369, 7788, 7902 } },
        { "([DEPTNO] = 20) AND ([SAL] > 1000)", 0, { 7788, 7902 } },
        { "([DEPTNO] = 10) OR ([ENAME] = 'A*')", 0, { 7499, 7839 } },
        { "[SAL] * 2 >= 6000", 0, { 7788, 7839 } },
        { "[EMPNO] MOD 2 = 1", 0, { 7369, 7499, 7839 } },
        { "[ACTIVE]", 0, { 7369, 7499, 7839 } },
        { "NOT [ACTIVE] = TRUE", 0, { 7788, 7902 } },
        { "[ACTIVE] AND ([SAL] < 1000)", 0, { 7369 } },
        // Dates: the text is read with the short date format of the settings.
        { "[HIREDATE] > '01.01.1990'", 0, { 7788 } },
        { "[HIREDATE] >= '1.1.1990'", 0, { 7788, 7902 } },
        { "[HIREDATE] < DATE('01.01.1981') + 31", 0, { 7369 } },
        { "[HIREDATE] + 1 = '01.01.1990'", 0, { 7839 } },
        { "COPY(STRING([HIREDATE]), 7, 4) = '1981'", 0, { 7499 } },
        // Nulls: the NULL pseudo-field, and nulls read as 0 inside operators.
        { "[COMM] = NULL", 0, { 7369, 7788 } },
        { "[COMM] = null", 0, { 7369, 7788 } },
        { "[COMM] <> NULL", 0, { 7499, 7839, 7902 } },
        { "NULL = [COMM]", 0, { 7369, 7788 } },
        { "[COMM] < NULL", 0, {} },
        { "[COMM] > 0", 0, { 7499, 7902 } },
        { "[COMM] >= 0", 0, { 7499, 7839, 7902 } },
        { "[SAL] + [COMM] > 2000", 0, { 7788, 7839, 7902 } },
        { "NULL = NULL", 0, { 7369, 7499, 7788, 7839, 7902 } },
        { "LENGTH([COMM]) = 0", 0, { 7369, 7788 } },
        // An unknown word with parameters is a field for the dataset.
        { "DEPTNO(1, 2) = 30", 0, { 7499 } },
        { "IF([DEPTNO] = 20, [SAL], 0) > 1000", 0, { 7788, 7902 } },
    };
    for (const Case &c : cases) {
        std::vector<int> got = passing(QString::fromLatin1(c.text), c.options);
        std::vector<int> expected = c.expected;
        std::sort(got.begin(), got.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected) << c.text << " options " << c.options;
    }
}

TEST_F(FilterEvaluation, LooksFieldsUpByNameAsTheParserDeliversThem)
{
    emp.lookups().clear();
    EXPECT_TRUE(
        passing(QStringLiteral("([ename] = 'X') OR (ename = 'Y') OR (Empno(1) = NULL)")).empty());
    // Bracketed names as written, bare words upper-cased; NULL never touches the dataset.
    EXPECT_TRUE(emp.lookups().contains(QStringLiteral("ename")));
    EXPECT_TRUE(emp.lookups().contains(QStringLiteral("ENAME")));
    EXPECT_TRUE(emp.lookups().contains(QStringLiteral("EMPNO")));
    EXPECT_FALSE(emp.lookups().contains(QStringLiteral("NULL"), Qt::CaseInsensitive));
}

TEST_F(FilterEvaluation, FailsOnAMissingFieldOnlyWhenARecordIsRead)
{
    std::unique_ptr<TExpression> filter;
    ASSERT_NO_THROW(filter = ParseDataSetFilter(QStringLiteral("[MISSING] = 1"), 0, emp));
    ASSERT_TRUE(filter);
    emp.setCurrent(0);
    try {
        FilterAccept(filter.get());
        FAIL() << "a missing field was read";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message().toStdString(), "Field 'MISSING' not found");
    }
    // A bracketed lower-case [null] is a field name like any other.
    auto lowerNull = ParseDataSetFilter(QStringLiteral("[COMM] = [null]"), 0, emp);
    EXPECT_THROW(FilterAccept(lowerNull.get()), EDatabaseError);
    // The tree stays usable after an error.
    auto scott = ParseDataSetFilter(QStringLiteral("[ENAME] = 'SCOTT'"), 0, emp);
    emp.setCurrent(2);
    EXPECT_TRUE(FilterAccept(scott.get()));
}

TEST_F(FilterEvaluation, ReadsFieldsWithTheLanguageConversions)
{
    emp.setCurrent(0);
    struct Case {
        const char *name;
        K kind;
        bool null;
        const char *text;
        double number;
    };
    const Case cases[] = {
        { "EMPNO", K::Integer, false, "7369", 7369 },
        { "ENAME", K::String, false, "SMITH", 0 },
        { "SAL", K::Float, false, "800", 800 },
        { "COMM", K::Float, true, "", 0 },
        { "HIREDATE", K::Date, false, "17.12.1980", 29572 },
        { "ACTIVE", K::Boolean, false, "True", 1 },
        { "NULL", K::String, true, "", 0 },
    };
    for (const Case &c : cases) {
        TColumnExpression leaf(emp, QString::fromLatin1(c.name));
        EXPECT_EQ(leaf.Kind(), c.kind) << c.name;
        EXPECT_EQ(leaf.IsNull(), c.null) << c.name;
        EXPECT_EQ(leaf.AsString().toStdString(), c.text) << c.name;
        if (c.kind != K::String) {
            EXPECT_EQ(leaf.AsFloat(), c.number) << c.name;
        }
    }
    TColumnExpression comm(emp, QStringLiteral("COMM"));
    EXPECT_EQ(comm.AsInteger(), 0);
    EXPECT_EQ(comm.AsDate(), 0);
    EXPECT_FALSE(comm.AsBoolean());
    TColumnExpression hired(emp, QStringLiteral("HIREDATE"));
    EXPECT_EQ(hired.AsDate(), EncodeDate(1980, 12, 17));
    TColumnExpression active(emp, QStringLiteral("ACTIVE"));
    EXPECT_TRUE(active.AsBoolean());
    EXPECT_EQ(active.AsInteger(), 1);
}

TEST_F(FilterEvaluation, KeepsWorkingWhenTheFieldsAreRecreated)
{
    auto filter
        = ParseDataSetFilter(QStringLiteral("([DEPTNO] = 20) AND ([ENAME] = 'SC*')"), 0, emp);
    emp.setCurrent(2);
    EXPECT_TRUE(FilterAccept(filter.get()));
    emp.reverseColumns();
    EXPECT_TRUE(FilterAccept(filter.get()));
    emp.setCurrent(0);
    EXPECT_FALSE(FilterAccept(filter.get()));
}

TEST_F(FilterEvaluation, AcceptsEveryRecordWithoutATree)
{
    EXPECT_TRUE(FilterAccept(nullptr));
    EXPECT_EQ(ParseDataSetFilter(QStringLiteral("  \t "), 0, emp), nullptr);
    // A filter whose root is no boolean fails at the first record.
    auto sum = ParseDataSetFilter(QStringLiteral("[SAL] + 1"), 0, emp);
    EXPECT_EQ(qd::test::expressionError([&] { FilterAccept(sum.get()); }).toStdString(),
        "Internal parser error. Code 13");
}

TEST_F(FilterEvaluation, ReadsIntegerFieldsIn32Bits)
{
    VectorFieldSource wide({ { "N", K::Integer } });
    wide.addRow({ Variant(qint64(1) << 40) });
    wide.addRow({ Variant(-5) });
    auto filter = ParseDataSetFilter(QStringLiteral("[N] < 0"), 0, wide);
    wide.setCurrent(0);
    EXPECT_EQ(qd::test::expressionError([&] { FilterAccept(filter.get()); }).toStdString(),
        "Integer overflow");
    wide.setCurrent(1);
    EXPECT_TRUE(FilterAccept(filter.get()));
}

} // namespace
