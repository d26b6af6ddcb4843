// TOracleTimestamp against the stand-in: milliseconds survive the descriptor, binds and
// fetches; the zero date with ZeroDateIsNull; creation needs a connected session.
#include "OracleQueryTestFixture.h"

#include "classlib/DateTimeUtils.h"
#include "oracle/OracleTimestamp.h"

namespace qd::test {
namespace {

struct Parts {
    int year, month, day, hour, minute, second, msec;
    bool operator==(const Parts &) const = default;
};

Parts partsOf(double value)
{
    Parts p {};
    DecodeDateTime(value, p.year, p.month, p.day, p.hour, p.minute, p.second, p.msec);
    return p;
}

std::ostream &operator<<(std::ostream &out, const Parts &p)
{
    return out << p.year << "-" << p.month << "-" << p.day << " " << p.hour << ":" << p.minute
               << ":" << p.second << "." << p.msec;
}

class Timestamps : public OracleQueryFixture { };

const double withMilliseconds = EncodeDateTime(2024, 2, 29, 13, 14, 15, 678);

TEST_P(Timestamps, ValueKeepsItsMilliseconds)
{
    TOracleTimestamp timestamp(session.get(), SQLT_TIMESTAMP);
    EXPECT_TRUE(timestamp.IsNull());
    EXPECT_EQ(timestamp.Value(), 0.0);
    for (double value : { withMilliseconds, EncodeDateTime(1999, 12, 31, 23, 59, 59, 999),
             EncodeDateTime(2000, 1, 1, 0, 0, 0, 1) }) {
        timestamp.SetValue(value);
        EXPECT_FALSE(timestamp.IsNull());
        EXPECT_EQ(partsOf(timestamp.Value()), partsOf(value));
    }
    timestamp.SetComponents(2001, 2, 3, 4, 5, 6, 7000000);
    EXPECT_EQ(partsOf(timestamp.Value()), (Parts { 2001, 2, 3, 4, 5, 6, 7 }));
    timestamp.SetNull();
    EXPECT_TRUE(timestamp.IsNull());
    EXPECT_EQ(timestamp.Value(), 0.0);
}

TEST_P(Timestamps, ZeroIsNullOnlyWithThePreference)
{
    TOracleTimestamp timestamp(session.get(), SQLT_TIMESTAMP);
    session->Preferences().SetZeroDateIsNull(true);
    timestamp.SetValue(withMilliseconds);
    timestamp.SetValue(0.0);
    EXPECT_TRUE(timestamp.IsNull());
    EXPECT_EQ(timestamp.Value(), 0.0);
    session->Preferences().SetZeroDateIsNull(false);
    timestamp.SetValue(0.0);
    EXPECT_FALSE(timestamp.IsNull());
    EXPECT_EQ(partsOf(timestamp.Value()), (Parts { 1899, 12, 30, 0, 0, 0, 0 }));
}

TEST_P(Timestamps, CreationNeedsAConnectedSession)
{
    TOracleSession idle;
    try {
        TOracleTimestamp timestamp(&idle, SQLT_TIMESTAMP);
        FAIL() << "a timestamp was made without a connection";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(),
            QStringLiteral("Can only create TOracleTimestamp instance if Session is connected"));
    }
}

TEST_P(Timestamps, MillisecondsSurviveInsertAndSelect)
{
    createTable(QStringLiteral("ts_rows"), QStringLiteral("id number, t timestamp(3)"));
    // One row through an assigned timestamp, one through a plain date-time value, one null.
    TOracleTimestamp assigned(session.get(), SQLT_TIMESTAMP);
    assigned.SetValue(withMilliseconds);
    query->SQL().SetText(QStringLiteral("insert into ts_rows values (:id, :t)"));
    query->DeclareVariable(QStringLiteral("id"), SQLT_INT);
    query->DeclareVariable(QStringLiteral("t"), SQLT_TIMESTAMP);
    query->SetVariable(QStringLiteral("id"), 1);
    query->SetComplexVariable(QStringLiteral("t"), &assigned);
    query->Execute();
    const double plain = EncodeDateTime(2030, 6, 7, 8, 9, 10, 11);
    query->SetComplexVariable(QStringLiteral("t"), nullptr);
    query->SetVariable(QStringLiteral("id"), 2);
    query->SetVariable(QStringLiteral("t"), Variant::FromDateTime(plain));
    query->Execute();
    EXPECT_EQ(partsOf(query->GetVariable(QStringLiteral("t")).AsDateTime()), partsOf(plain));
    query->SetVariable(QStringLiteral("id"), 3);
    query->SetVariable(QStringLiteral("t"), Variant::Null());
    query->Execute();

    TOracleQuery select;
    select.SetSession(session.get());
    select.SQL().SetText(QStringLiteral("select t from ts_rows order by id"));
    select.Execute();
    ASSERT_FALSE(select.Eof());
    EXPECT_EQ(partsOf(select.Field(0).AsDateTime()), partsOf(withMilliseconds));
    EXPECT_EQ(partsOf(select.FieldAsDate(0)), partsOf(withMilliseconds));
    EXPECT_FALSE(select.FieldAsString(0).isEmpty());
    select.Next();
    EXPECT_EQ(partsOf(select.Field(0).AsDateTime()), partsOf(plain));
    select.Next();
    EXPECT_TRUE(select.FieldIsNull(0));
    EXPECT_TRUE(select.Field(0).IsUnassigned());
    EXPECT_EQ(select.FieldAsString(0), QString());
    select.Next();
    EXPECT_TRUE(select.Eof());
}

TEST_P(Timestamps, OutBindFillsTheTimestamp)
{
    createTable(QStringLiteral("ts_out"), QStringLiteral("t timestamp"));
    TOracleQuery insert;
    insert.SetSession(session.get());
    insert.SQL().SetText(QStringLiteral("insert into ts_out values (:t)"));
    insert.DeclareVariable(QStringLiteral("t"), SQLT_TIMESTAMP);
    insert.SetVariable(
        QStringLiteral("t"), Variant::FromDateTime(EncodeDateTime(2012, 3, 4, 5, 6, 7, 89)));
    insert.Execute();
    TOracleTimestamp out(session.get(), SQLT_TIMESTAMP);
    query->SQL().SetText(QStringLiteral("update ts_out set t = t returning t into :t"));
    query->DeclareVariable(QStringLiteral("t"), SQLT_TIMESTAMP);
    query->SetComplexVariable(QStringLiteral("t"), &out);
    query->Execute();
    EXPECT_FALSE(out.IsNull());
    EXPECT_EQ(partsOf(out.Value()), (Parts { 2012, 3, 4, 5, 6, 7, 89 }));
}

INSTANTIATE_TEST_SUITE_P(HandleMode, Timestamps, ::testing::Values(false));

} // namespace
} // namespace qd::test
