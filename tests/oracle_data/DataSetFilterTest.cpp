// The filter language bound to a class-library dataset: the field source over the dataset's
// fields, and the Filter text filtering the framework's test dataset.
#include "FilterTestSupport.h"
#include "FilteredVectorDataSet.h"

#include "classlib/DateTimeUtils.h"
#include "oracle_data/DataSetFilterSource.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace qd;
using qd::test::FilteredVectorDataSet;

namespace {

using K = TExpressionKind;

Variant day(int y, int m, int d)
{
    return Variant::FromDateTime(EncodeDate(y, m, d));
}

// EMP-like records over the framework's test dataset, with the field types the leaves map.
class DataSetFilterTest : public qd::test::FixedFilterFormat {
protected:
    DataSetFilterTest()
    {
        ds.FieldDefs().Add(QStringLiteral("EMPNO"), ftInteger, 0, true);
        ds.FieldDefs().Add(QStringLiteral("ENAME"), ftString, 20);
        ds.FieldDefs().Add(QStringLiteral("SAL"), ftFloat);
        ds.FieldDefs().Add(QStringLiteral("COMM"), ftFloat);
        ds.FieldDefs().Add(QStringLiteral("HIREDATE"), ftDate);
        ds.FieldDefs().Add(QStringLiteral("ACTIVE"), ftBoolean);
        ds.FieldDefs().Add(QStringLiteral("DEPTNO"), ftSmallint);
        ds.FieldDefs().Add(QStringLiteral("NOTE"), ftMemo);
        const Variant null = Variant::Null();
        ds.SetRows({
            { 7369, "SMITH", 800.0, null, day(1980, 12, 17), true, 20, "clerk" },
            { 7499, "ALLEN", 1600.0, 300.0, day(1981, 2, 20), true, 30, null },
            { 7788, "SCOTT", 3000.0, null, day(1990, 1, 2), false, 20, "analyst" },
            { 7839, "KING", 5000.0, 0.0, day(1989, 12, 31), true, 10, null },
            { 7902, "S*", 1950.0, 100.0, day(1990, 1, 1), false, 20, "note" },
        });
    }

    // Employee numbers of the records the dataset shows, walked from the first.
    std::vector<int> shown()
    {
        std::vector<int> result;
        ds.First();
        while (!ds.Eof()) {
            result.push_back(empno());
            ds.Next();
        }
        return result;
    }
    int empno() { return ds.FieldByName(QStringLiteral("EMPNO"))->AsInteger(); }

    FilteredVectorDataSet ds;
};

const std::vector<int> everyone { 7369, 7499, 7788, 7839, 7902 };

TEST(DataSetFilterSource, MapsFieldTypesToKinds)
{
    struct Case {
        TFieldType type;
        K kind;
    };
    const Case cases[] = {
        { ftSmallint, K::Integer },
        { ftInteger, K::Integer },
        { ftWord, K::Integer },
        { ftLargeint, K::Integer },
        { ftBoolean, K::Boolean },
        { ftFloat, K::Float },
        { ftCurrency, K::Float },
        { ftBCD, K::Float },
        { ftDate, K::Date },
        { ftTime, K::Date },
        { ftDateTime, K::Date },
        { ftString, K::String },
        { ftFixedChar, K::String },
        { ftAutoInc, K::String },
        { ftMemo, K::String },
        { ftBlob, K::String },
        { ftFMTBcd, K::String },
        { ftTimeStamp, K::String },
    };
    for (const Case &c : cases)
        EXPECT_EQ(DataSetFilterSource::KindOfFieldType(c.type), c.kind) << "type " << c.type;
}

TEST_F(DataSetFilterTest, SourceFindsFieldsAndReadsTheCurrentRecord)
{
    ds.Open();
    const DataSetFilterSource source(ds);
    const int comm = source.FieldByName(QStringLiteral("comm"));
    EXPECT_EQ(ds.Fields()[comm]->FieldName(), "COMM") << "lookup ignores letter case";
    EXPECT_EQ(source.FieldKind(comm), K::Float);
    EXPECT_EQ(source.FieldKind(source.FieldByName(QStringLiteral("HIREDATE"))), K::Date);
    EXPECT_EQ(source.FieldKind(source.FieldByName(QStringLiteral("DEPTNO"))), K::Integer);

    EXPECT_TRUE(source.FieldValue(comm).IsNull()) << "SMITH has no commission";
    ds.Next();
    EXPECT_EQ(source.FieldValue(comm).AsFloat(), 300.0);
    const Variant hired = source.FieldValue(source.FieldByName(QStringLiteral("HIREDATE")));
    EXPECT_EQ(hired.Kind(), VariantKind::DateTime);
    EXPECT_EQ(hired.AsDateTime(), EncodeDate(1981, 2, 20));

    try {
        source.FieldByName(QStringLiteral("MISSING"));
        ADD_FAILURE() << "no error for a missing field";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Field 'MISSING' not found");
    }
}

TEST_F(DataSetFilterTest, ShowsTheRecordsTheExpressionAccepts)
{
    struct Case {
        const char *text;
        TFilterOptions options;
        std::vector<int> expected;
    };
    const Case cases[] = {
        { "", 0, everyone },
        { "[ENAME] = 'S*'", 0, { 7369, 7788, 7902 } },
        { "[ENAME] = 'S*'", foNoPartialCompare, { 7902 } },
        { "[ENAME] = 's*'", 0, {} },
        { "[ENAME] = 's*'", foCaseInsensitive, { 7369, 7788, 7902 } },
        { "[ENAME] = 's*'", foCaseInsensitive | foNoPartialCompare, { 7902 } },
        { "ENAME = 'SCOTT'", 0, { 7788 } },
        { "ename = 'SCOTT'", 0, { 7788 } },
        { "[ename] = 'scott'", foCaseInsensitive, { 7788 } },
        { "[ENAME] < 'KING'", 0, { 7499 } },
        { "[COMM] = NULL", 0, { 7369, 7788 } },
        { "[COMM] <> null", 0, { 7499, 7839, 7902 } },
        { "[COMM] = [NULL]", 0, { 7369, 7788 } },
        { "NULL = NULL", 0, everyone },
        { "[COMM] > 0", 0, { 7499, 7902 } },
        { "[COMM] < 1", 0, { 7839 } },
        { "[SAL] + [COMM] > 2000", 0, { 7788, 7839, 7902 } },
        { "[HIREDATE] > '01.01.1990'", 0, { 7788 } },
        { "[HIREDATE] >= '01.01.1990'", 0, { 7788, 7902 } },
        { "[HIREDATE] + 1 = '01.01.1990'", 0, { 7839 } },
        { "[ACTIVE]", 0, { 7369, 7499, 7839 } },
        { "NOT [ACTIVE]", 0, { 7788, 7902 } },
        { "[DEPTNO] MOD 20 = 0", 0, { 7369, 7788, 7902 } },
        { "([DEPTNO] = 20) AND ([SAL] > 1500)", 0, { 7788, 7902 } },
        { "([DEPTNO] = 20) AND ([SAL] > 1500) OR ([ENAME] = 'K*')", 0, { 7788, 7839, 7902 } },
        { "[NOTE] = '*e*'", 0, { 7369, 7902 } },
        { "[NOTE] <> NULL", 0, { 7369, 7788, 7902 } },
        { "LENGTH([ENAME]) = 5", 0, { 7369, 7499, 7788 } },
        { "IF([SAL] > 2000, [DEPTNO], 0) = 10", 0, { 7839 } },
    };
    ds.Open();
    ds.SetFiltered(true);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ds.SetFilterOptions(c.options);
        ds.SetFilter(QString::fromLatin1(c.text));
        EXPECT_EQ(shown(), c.expected);
        EXPECT_EQ(ds.RecordCount(), static_cast<int>(c.expected.size()));
    }
}

TEST_F(DataSetFilterTest, FiltersOnlyWhileFiltered)
{
    ds.SetFilter(QStringLiteral("[DEPTNO] = 20"));
    ds.Open();
    EXPECT_TRUE(ds.HasFilterExpression()) << "parsed at open";
    EXPECT_EQ(shown(), everyone);
    ds.SetFiltered(true);
    EXPECT_EQ(shown(), (std::vector<int> { 7369, 7788, 7902 }));
    ds.SetFiltered(false);
    EXPECT_EQ(shown(), everyone);

    // An unfiltered dataset never reads its filter, so even a missing field does no harm.
    ds.SetFilter(QStringLiteral("[MISSING] = 1"));
    EXPECT_EQ(shown(), everyone);
}

TEST_F(DataSetFilterTest, ChangingTheFilterWhileFilteredFiltersAgainAtOnce)
{
    ds.SetFilter(QStringLiteral("[DEPTNO] = 20"));
    ds.SetFiltered(true);
    ds.Open();
    ds.Next();
    EXPECT_EQ(empno(), 7788);

    // No navigation in between: the setters themselves bring the new set of records.
    ds.SetFilter(QStringLiteral("[DEPTNO] = 30"));
    EXPECT_EQ(empno(), 7499);
    EXPECT_EQ(ds.RecordCount(), 1);

    ds.SetFilter(QStringLiteral("[ENAME] = 'S*'"));
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.SetFilterOptions(foNoPartialCompare);
    EXPECT_EQ(empno(), 7902);
    EXPECT_EQ(ds.RecordCount(), 1);
    ds.SetFilterOptions(0);
    EXPECT_EQ(ds.RecordCount(), 3);

    ds.SetFilter(QString());
    EXPECT_FALSE(ds.HasFilterExpression());
    EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(DataSetFilterTest, OnFilterRecordDecidesFirst)
{
    ds.SetFilter(QStringLiteral("[SAL] > 1000"));
    ds.SetFiltered(true);
    ds.OnFilterRecord = [this](TDataSet *, bool &accept) {
        accept = ds.FieldByName(QStringLiteral("DEPTNO"))->AsInteger() != 20;
    };
    ds.Open();
    EXPECT_EQ(shown(), (std::vector<int> { 7499, 7839 })) << "both must accept";

    // A record the event refuses never reaches the expression: a missing field goes unnoticed.
    ds.SetOnFilterRecord([](TDataSet *, bool &accept) { accept = false; });
    ds.SetFilter(QStringLiteral("[MISSING] = 1"));
    EXPECT_EQ(shown(), std::vector<int> {});

    // An event that lets the record through hands it to the expression.
    EXPECT_THROW(ds.SetOnFilterRecord([](TDataSet *, bool &) {}), EDatabaseError);
}

TEST_F(DataSetFilterTest, BadFilterTextRaisesTheParserMessageAndKeepsTheOldFilter)
{
    struct Case {
        const char *text;
        const char *message;
    };
    const Case cases[] = {
        { "[ENAME] = 'S*' AND [SAL] > 1000", "Syntax error" },
        { "[ENAME] = 'S*", "Unterminated string" },
        { "[ENAME = 'S*'", "Unterminated fieldname" },
        { "[SAL] => 1000", "=> not a valid operator" },
        { "[SAL] > 1000)", ") not appropriate" },
        { "1 + ", "Unexpected end of factor" },
    };
    ds.SetFilter(QStringLiteral("[DEPTNO] = 20"));
    ds.SetFiltered(true);
    ds.Open();
    ds.Next();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(qd::test::expressionError([&] { ds.SetFilter(QString::fromLatin1(c.text)); }),
            QString::fromLatin1(c.message));
        EXPECT_EQ(ds.Filter(), "[DEPTNO] = 20");
        EXPECT_EQ(empno(), 7788) << "the current record stays";
        EXPECT_EQ(ds.RecordCount(), 3) << "the old filter still filters";
    }
    EXPECT_EQ(shown(), (std::vector<int> { 7369, 7788, 7902 }));

    // An unfiltered open dataset parses a new text as well, and refuses a bad one.
    ds.SetFiltered(false);
    EXPECT_EQ(qd::test::expressionError([&] { ds.SetFilter(QStringLiteral("'open")); }),
        "Unterminated string");
    EXPECT_EQ(ds.Filter(), "[DEPTNO] = 20");
    ds.SetFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 3);
}

TEST_F(DataSetFilterTest, EditInProgressIsPostedNotLostByARefusedFilter)
{
    ds.SetFilter(QStringLiteral("[DEPTNO] = 20"));
    ds.SetFiltered(true);
    ds.Open();
    ds.Edit();
    ds.FieldByName(QStringLiteral("SAL"))->SetAsFloat(999);
    EXPECT_THROW(ds.SetFilter(QStringLiteral("[SAL] =")), EExpression);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.StoredValue(0, QStringLiteral("SAL")).AsFloat(), 999.0);
    EXPECT_EQ(ds.Filter(), "[DEPTNO] = 20");
}

TEST_F(DataSetFilterTest, TextSetWhileClosedIsParsedAtOpenOverTheNewFields)
{
    // The sum asks its operands' kinds while it is built, so the fields must exist by then.
    ds.SetFilter(QStringLiteral("[SAL] + [COMM] > 2000"));
    ds.SetFiltered(true);
    ds.Open();
    EXPECT_EQ(shown(), (std::vector<int> { 7788, 7839, 7902 }));
    // Closing destroys the fields, opening creates new ones: the filter follows them.
    ds.Close();
    ds.Open();
    EXPECT_EQ(shown(), (std::vector<int> { 7788, 7839, 7902 }));
}

TEST_F(DataSetFilterTest, BadTextSetWhileClosedFailsTheOpen)
{
    ds.SetFilter(QStringLiteral("[DEPTNO] = 'open"));
    EXPECT_EQ(ds.Filter(), "[DEPTNO] = 'open") << "a closed dataset only stores the text";
    ds.SetFiltered(true);
    EXPECT_EQ(qd::test::expressionError([&] { ds.Open(); }), "Unterminated string");
    EXPECT_FALSE(ds.Active());

    ds.SetFilter(QStringLiteral("[DEPTNO] = 10"));
    ds.Open();
    EXPECT_EQ(shown(), std::vector<int> { 7839 });
}

TEST_F(DataSetFilterTest, NameMatchingNoFieldFailsWhenRecordsAreFiltered)
{
    const char *const texts[] = {
        "[MISSING] = 1", // bracketed
        "MISSING = 1", // a bare word reaches the dataset upper-cased
        "FOO(1) = 1", // an unknown call is a field too
        "[null] = 1", // only the upper-case NULL is the null pseudo-field
    };
    const char *const missing[] = { "MISSING", "MISSING", "FOO", "null" };
    ds.Open();
    for (size_t i = 0; i < std::size(texts); ++i) {
        SCOPED_TRACE(texts[i]);
        ds.SetFiltered(false);
        ds.SetFilter(QString::fromLatin1(texts[i])); // parses: names are looked up only when read
        try {
            ds.SetFiltered(true);
            ADD_FAILURE() << "no error";
        } catch (const EDatabaseError &e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Field '%1' not found").arg(missing[i]));
        }
        // A good filter brings the dataset back.
        ds.SetFilter(QStringLiteral("[DEPTNO] = 30"));
        EXPECT_EQ(shown(), std::vector<int> { 7499 });
    }

    // Under an arithmetic operator the field's kind is asked while the tree is built, so the
    // text is refused at once and the filter in force stays.
    try {
        ds.SetFilter(QStringLiteral("[MISSING] + 1 = 2"));
        ADD_FAILURE() << "no error";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), "Field 'MISSING' not found");
    }
    EXPECT_EQ(ds.Filter(), "[DEPTNO] = 30");
    EXPECT_EQ(shown(), std::vector<int> { 7499 });
}

TEST_F(DataSetFilterTest, EvaluationErrorsReachTheCallerAndTheDataSetRecovers)
{
    ds.Open();
    ds.SetFilter(QStringLiteral("[ENAME] * 2 = 1"));
    EXPECT_EQ(qd::test::expressionError([&] { ds.SetFiltered(true); }),
        "Operator opMult incompatible with String");
    // Filtered now: the new text filters at once, and the first record has DEPTNO 20.
    EXPECT_EQ(qd::test::expressionError(
                  [&] { ds.SetFilter(QStringLiteral("[EMPNO] DIV ([DEPTNO] - 20) = 1")); }),
        "Division by zero");
    EXPECT_EQ(ds.Filter(), "[EMPNO] DIV ([DEPTNO] - 20) = 1") << "it parsed; only reading failed";
    EXPECT_EQ(qd::test::expressionError([&] { ds.Last(); }), "Division by zero");
    ds.SetFilter(QStringLiteral("[EMPNO] > 7800"));
    EXPECT_EQ(shown(), (std::vector<int> { 7839, 7902 }));
}

} // namespace
