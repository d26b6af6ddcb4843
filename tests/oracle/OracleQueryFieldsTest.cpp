// The select list, array fetch and field access of TOracleQuery against the stand-in.

#include "OracleQueryTestFixture.h"
#include "QStringPrinter.h"

#include "classlib/DateTimeUtils.h"
#include "oracle/OracleQueryExtensions.h"

namespace qd::test {
namespace {

using QueryFetch = OracleQueryFixture;

// Rows in the table, ReadBuffer, and the fetch calls the array fetch needs: a full last
// array needs one more (empty) fetch, a short one ends the walk by itself.
struct FetchCase {
    int rows;
    int readBuffer;
    int fetchCalls;
};

TEST_P(QueryFetch, WalksEveryRowWithTheFetchesTheArraySizeImplies)
{
    createTable(QStringLiteral("qf_rows"), QStringLiteral("n number(9)"));
    fillNumbers(QStringLiteral("qf_rows"), 1000);
    const FetchCase cases[] = { { 0, 25, 1 }, { 3, 25, 1 }, { 25, 25, 2 }, { 26, 25, 2 },
        { 50, 25, 3 }, { 1000, 100, 11 }, { 7, 1, 8 } };
    for (const FetchCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, ReadBuffer " << c.readBuffer);
        TOracleQuery q;
        q.SetSession(session.get());
        q.SetReadBuffer(c.readBuffer);
        q.SQL().SetText(QStringLiteral("select n from qf_rows where n <= :m order by n"));
        q.DeclareVariable(QStringLiteral("m"), SQLT_INT);
        q.SetVariable(QStringLiteral("m"), c.rows);
        resetRoundTrips();
        q.Execute();
        int seen = 0;
        while (!q.Eof()) {
            ++seen;
            ASSERT_EQ(q.FieldAsInteger(0), seen);
            ASSERT_EQ(q.RowCount(), seen);
            q.Next();
        }
        EXPECT_EQ(seen, c.rows);
        EXPECT_EQ(q.RowCount(), c.rows);
        EXPECT_EQ(q.RowsProcessed(), c.rows);
        EXPECT_EQ(roundTrips(), 1 + c.fetchCalls); // one execute, then the fetches
    }
}

TEST_P(QueryFetch, ReexecutingADescribedSelectFetchesItsFirstArrayInTheExecute)
{
    createTable(QStringLiteral("qf_again"), QStringLiteral("n number(9)"));
    fillNumbers(QStringLiteral("qf_again"), 1000);
    query->SetReadBuffer(100);
    query->SQL().SetText(QStringLiteral("select n from qf_again"));
    query->Execute();
    resetRoundTrips();
    query->Execute();
    int rows = 0;
    for (; !query->Eof(); query->Next())
        ++rows;
    EXPECT_EQ(rows, 1000);
    EXPECT_EQ(
        roundTrips(), 11); // the execute brings 100 rows; 9 more full fetches and an empty one
}

TEST_P(QueryFetch, RowCountInsideTheArray)
{
    createTable(QStringLiteral("qf_count"), QStringLiteral("n number(9)"));
    fillNumbers(QStringLiteral("qf_count"), 30);
    query->SQL().SetText(QStringLiteral("select n from qf_count order by n"));
    query->Execute();
    query->Next();
    query->Next();
    EXPECT_EQ(query->RowCount(), 3);
    EXPECT_EQ(query->FieldAsInteger(0), 3);
}

TEST_P(QueryFetch, NumberRuleAndStringFieldsOnly)
{
    createTable(QStringLiteral("qf_numbers"),
        QStringLiteral("i number(5), f number(12,2), w number(50), d date"));
    run(QStringLiteral("insert into qf_numbers values (12345, 1234567.25, 123, "
                       "to_date('2024-02-29 13:14:15', 'yyyy-mm-dd hh24:mi:ss'))"));
    // Without a float limit every NUMBER that is no integer is a float.
    query->SQL().SetText(QStringLiteral("select i, f, w, d from qf_numbers"));
    query->Execute();
    EXPECT_EQ(query->FieldType(2), SQLT_FLT);
    session->Preferences().SetFloatPrecision(15);
    query->Close();
    query->Execute();
    EXPECT_EQ(query->FieldType(0), SQLT_INT);
    EXPECT_EQ(query->FieldType(1), SQLT_FLT);
    EXPECT_EQ(query->FieldType(2), SQLT_STR);
    EXPECT_EQ(query->FieldSize(2), 51); // a 52-byte buffer
    EXPECT_EQ(query->FieldType(3), SQLT_DAT);
    EXPECT_EQ(query->FieldAsInteger(0), 12345);
    EXPECT_DOUBLE_EQ(query->FieldAsFloat(1), 1234567.25);
    EXPECT_EQ(query->FieldAsInteger(1), 1234567);
    EXPECT_EQ(query->FieldAsString(2), QStringLiteral("123"));
    EXPECT_EQ(query->FieldAsInteger(2), 123);
    EXPECT_DOUBLE_EQ(query->FieldAsDate(3), EncodeDateTime(2024, 2, 29, 13, 14, 15, 0));

    // The switch describes again at the next execute: every NUMBER and DATE is text.
    clearTrace();
    query->SetStringFieldsOnly(true);
    query->Execute();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(query->FieldType(i), SQLT_STR) << i;
    EXPECT_EQ(query->FieldAsString(0), QStringLiteral("12345"));
    EXPECT_EQ(query->FieldAsInteger(0), 12345);
    query->SetStringFieldsOnly(false);
    query->Execute();
    EXPECT_EQ(query->FieldType(0), SQLT_INT);
    EXPECT_EQ(query->FieldType(3), SQLT_DAT);
}

TEST_P(QueryFetch, DateTextHasATimeOnlyWhenTheDateHasOne)
{
    query->SQL().SetText(
        QStringLiteral("select to_date('2024-03-01', 'yyyy-mm-dd'), "
                       "to_date('2024-03-01 10:11:12', 'yyyy-mm-dd hh24:mi:ss') from dual"));
    query->Execute();
    const QString midnight = query->FieldAsString(0);
    const QString withTime = query->FieldAsString(1);
    EXPECT_FALSE(midnight.contains(QLatin1Char(':'))) << midnight.toStdString();
    EXPECT_TRUE(withTime.startsWith(midnight + QLatin1Char(' '))) << withTime.toStdString();
    EXPECT_TRUE(withTime.contains(QStringLiteral("11:12"))) << withTime.toStdString();
    EXPECT_DOUBLE_EQ(query->FieldAsDate(0), EncodeDate(2024, 3, 1));
    EXPECT_EQ(query->FieldAsInteger(1), static_cast<int>(EncodeDate(2024, 3, 1)));
}

TEST_P(QueryFetch, RawIsFetchedAsHexadecimalText)
{
    createTable(QStringLiteral("qf_raw"), QStringLiteral("r raw(16)"));
    QByteArray bytes;
    for (int i = 0; i < 16; ++i)
        bytes.append(static_cast<char>(i * 17));
    TOracleQuery insert;
    insert.SetSession(session.get());
    insert.SQL().SetText(QStringLiteral("insert into qf_raw values (:r)"));
    insert.DeclareVariable(QStringLiteral("r"), SQLT_LBI);
    insert.SetVariable(QStringLiteral("r"), bytes);
    insert.Execute();

    query->SQL().SetText(QStringLiteral("select r from qf_raw"));
    query->Execute();
    EXPECT_EQ(query->FieldInternalType(0), SQLT_BIN);
    EXPECT_EQ(query->FieldType(0), SQLT_STR);
    EXPECT_EQ(query->FieldSize(0), 32); // 33 bytes with the terminator
    EXPECT_EQ(query->FieldAsString(0), QStringLiteral("00112233445566778899AABBCCDDEEFF"));
}

TEST_P(QueryFetch, NullFieldsFollowTheSessionsNullValue)
{
    query->SQL().SetText(QStringLiteral("select null as a, 'x' as b from dual"));
    query->Execute();
    EXPECT_TRUE(query->FieldIsNull(0));
    EXPECT_FALSE(query->FieldIsNull(1));
    EXPECT_TRUE(query->Field(0).IsUnassigned());
    EXPECT_EQ(query->FieldAsString(0), QString());
    EXPECT_EQ(query->FieldAsInteger(0), 0);
    EXPECT_EQ(query->FieldByName(QStringLiteral("b")).AsString(), QStringLiteral("x"));
    session->SetNullValue(nvNull);
    EXPECT_TRUE(query->Field(0).IsNull());
    EXPECT_TRUE(query->FieldByName(QStringLiteral("A")).IsNull());
}

TEST_P(QueryFetch, FieldErrorsNameTheFieldAndTheRow)
{
    query->SQL().SetText(QStringLiteral("select 'abc' as t, 1 as n from dual"));
    query->Execute();
    auto message = [](auto &&call) {
        try {
            call();
        } catch (const Exception &e) {
            return e.Message();
        }
        return QStringLiteral("(no error)");
    };
    EXPECT_EQ(message([&] { query->FieldAsString(2); }), QStringLiteral("Field 2 does not exist"));
    EXPECT_EQ(message([&] { query->FieldType(-1); }), QStringLiteral("Field -1 does not exist"));
    EXPECT_EQ(message([&] { query->FieldByName(QStringLiteral("zz")); }),
        QStringLiteral("Field zz does not exist"));
    EXPECT_EQ(message([&] { query->GetLongField(0, nullptr, 0, 1); }),
        QStringLiteral("Field 0 is not a Long"));
    EXPECT_EQ(message([&] { query->LOBField(0); }), QStringLiteral("Field 0 is not a LOB"));
    EXPECT_EQ(
        message([&] { query->FieldAsObject(0); }), QStringLiteral("Field 0 is not an Object"));
    EXPECT_EQ(message([&] { query->RefField(1); }), QStringLiteral("Field 1 is not a Reference"));
    EXPECT_THROW(query->FieldAsInteger(0), EConvertError);
    EXPECT_EQ(query->FieldIndex(QStringLiteral("N")), 1);
    EXPECT_EQ(query->FieldIndex(QStringLiteral("n")), 1);
    query->Next();
    EXPECT_TRUE(query->Eof());
    EXPECT_EQ(message([&] { query->FieldAsString(0); }),
        QStringLiteral("You cannot access field data beyond Eof"));
    EXPECT_EQ(message([&] { query->Field(0); }),
        QStringLiteral("You cannot access field data beyond Eof"));
    EXPECT_EQ(query->FieldName(0), QStringLiteral("T")); // the description stays
}

TEST_P(QueryFetch, TextWithLineBreaksComesBackWithCrLf)
{
    createTable(QStringLiteral("qf_text"), QStringLiteral("s varchar2(20)"));
    TOracleQuery insert;
    insert.SetSession(session.get());
    insert.SQL().SetText(QStringLiteral("insert into qf_text values (:s)"));
    insert.DeclareVariable(QStringLiteral("s"), SQLT_STR);
    insert.SetVariable(QStringLiteral("s"), QStringLiteral("a\r\nb"));
    insert.Execute();
    query->SQL().SetText(QStringLiteral("select s, length(s) from qf_text"));
    query->Execute();
    EXPECT_EQ(query->FieldAsInteger(1), 3); // stored with LF only
    EXPECT_EQ(query->FieldAsString(0), QStringLiteral("a\r\nb"));
    EXPECT_EQ(query->Field(0).AsString(), QStringLiteral("a\r\nb"));
}

TEST_P(QueryFetch, LongColumnOfOneMegabyteIsReadWhole)
{
    createTable(QStringLiteral("qf_long"), QStringLiteral("id number(5), l long"));
    QString text;
    text.reserve(1 << 20);
    for (int i = 0; text.size() < (1 << 20); ++i)
        text += QStringLiteral("%1;").arg(i);
    text.truncate(1 << 20);
    TOracleQuery insert;
    insert.SetSession(session.get());
    insert.SQL().SetText(QStringLiteral("insert into qf_long values (1, :l)"));
    insert.DeclareVariable(QStringLiteral("l"), SQLT_LNG);
    insert.SetVariable(QStringLiteral("l"), text);
    insert.Execute();

    query->SQL().SetText(QStringLiteral("select id, l from qf_long"));
    query->Execute();
    EXPECT_EQ(query->RowsPerFetch(), 1);
    EXPECT_EQ(query->FieldType(1), SQLT_LNG);
    const QString value = query->FieldAsString(1);
    EXPECT_EQ(value.size(), text.size());
    EXPECT_TRUE(value == text);
    QByteArray part(100, '\0');
    EXPECT_EQ(query->GetLongField(1, part.data(), 1000, 100), 100);
    EXPECT_EQ(QString::fromLatin1(part), text.mid(1000, 100));
    EXPECT_EQ(query->GetLongField(1, part.data(), (1 << 20) + 5, 100), 0);
}

INSTANTIATE_TEST_SUITE_P(BothModes, QueryFetch, ::testing::Bool(), modeName);

// Column kinds served by later handlers fail clearly until a handler is registered, and a
// registered handler is consulted for its kind.
class TextClobHandler : public OracleColumnHandler {
public:
    void describe(TOracleQuery &, TFieldData &field, OCIParam *) override
    {
        field.defineType = SQLT_STR;
        field.elementSize = 101;
        ++described;
    }
    void setUpBuffers(TOracleQuery &, TFieldData &) override { }
    Variant value(TOracleQuery &, TFieldData &field, int row) override
    {
        return BufferToVariant(field.RowAddress(row), field.elementSize, SQLT_STR, 0, nullptr);
    }
    bool asString(TOracleQuery &q, TFieldData &field, int row, QString &text) override
    {
        text = value(q, field, row).AsString();
        return true;
    }
    int described = 0;
};

class QueryColumnKinds : public OracleQueryFixture {
protected:
    // The LOB handler the session layer registers is put back after the test.
    void SetUp() override
    {
        OracleQueryFixture::SetUp();
        m_registered = OracleQueryExtensions::ColumnHandler(SQLT_CLOB);
        OracleQueryExtensions::SetColumnHandler(SQLT_CLOB, nullptr);
    }
    void TearDown() override
    {
        OracleQueryExtensions::SetColumnHandler(SQLT_CLOB, m_registered);
        OracleQueryFixture::TearDown();
    }

private:
    std::shared_ptr<OracleColumnHandler> m_registered;
};

TEST_P(QueryColumnKinds, LobColumnsNeedTheirHandler)
{
    if (olderMode()) {
        // The older cursor calls have no LOB locators: the query says so instead of
        // fetching something else.
        createTable(QStringLiteral("qf_clob"), QStringLiteral("c clob"));
        query->SQL().SetText(QStringLiteral("select c from qf_clob"));
        try {
            query->Execute();
            FAIL() << "a LOB column was fetched through the older cursor calls";
        } catch (const Exception &e) {
            EXPECT_EQ(e.Message(),
                QStringLiteral("A query with LOB's requires OCI8 mode, but OCI7 mode is used."));
        }
        return;
    }
    createTable(QStringLiteral("qf_clob"), QStringLiteral("c clob"));
    run(QStringLiteral("insert into qf_clob values ('text')"));
    query->SQL().SetText(QStringLiteral("select c from qf_clob"));
    try {
        query->Execute();
        FAIL() << "a LOB column was fetched without its handler";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("A query with LOB's is not supported"));
    }
    auto handler = std::make_shared<TextClobHandler>();
    OracleQueryExtensions::SetColumnHandler(SQLT_CLOB, handler);
    query->Execute();
    EXPECT_EQ(handler->described, 1);
    EXPECT_EQ(query->FieldAsString(0), QStringLiteral("text"));
    EXPECT_EQ(query->Field(0).AsString(), QStringLiteral("text"));
    EXPECT_THROW(query->FieldAsInteger(0), Exception);
}

INSTANTIATE_TEST_SUITE_P(BothModes, QueryColumnKinds, ::testing::Bool(), modeName);

TEST(QueryProperties, ReadBufferBelowOneIsStoredAsOne)
{
    TOracleQuery q;
    EXPECT_EQ(q.ReadBuffer(), 25);
    q.SetReadBuffer(0);
    EXPECT_EQ(q.ReadBuffer(), 1);
    q.SetReadBuffer(-5);
    EXPECT_EQ(q.ReadBuffer(), 1);
    EXPECT_TRUE(q.Optimize());
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.FieldCount(), 0);
}

} // namespace
} // namespace qd::test
