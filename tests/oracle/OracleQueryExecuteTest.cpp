// Statement execution of TOracleQuery against the stand-in, in both client modes.

#include "OracleQueryTestFixture.h"
#include "QStringPrinter.h"
#include "oracle/OracleCodes.h"

#include <functional>
#include <string>

namespace qd::test {
namespace {

using QueryExecute = OracleQueryFixture;

TEST_P(QueryExecute, EmptyTextSendsOneBlankAndReportsTheServersError)
{
    for (int round = 0; round < 2; ++round) {
        query->SQL().Clear();
        clearTrace();
        try {
            query->Execute();
            FAIL() << "an empty statement ran";
        } catch (const EOracleError &e) {
            EXPECT_NE(e.ErrorCode(), 0);
        }
        const QStringList texts = trace();
        ASSERT_EQ(texts.size(), 1) << "the blank was sent";
        EXPECT_EQ(texts.last(), QStringLiteral(" "));
    }
}

TEST_P(QueryExecute, TraceShowsTheTextSentWithoutCarriageReturnsAndWithSubstitutions)
{
    clearTrace();
    query->SQL().SetText(QStringLiteral("select :col as c\r\nfrom dual :tail"));
    query->DeclareVariable(QStringLiteral("col"), otSubst);
    query->DeclareVariable(QStringLiteral("tail"), otSubst);
    query->SetVariable(QStringLiteral("col"), QStringLiteral("'abc'"));
    query->Execute();
    EXPECT_EQ(query->FieldAsString(0), QStringLiteral("abc"));
    const QStringList texts = trace();
    ASSERT_FALSE(texts.isEmpty());
    // The null substitution variable is simply removed; CR is never sent.
    EXPECT_EQ(texts.last(), QStringLiteral("select 'abc' as c\nfrom dual \n"));
    QString substituted;
    query->SubstitutedSQL(substituted);
    EXPECT_TRUE(substituted.startsWith(QStringLiteral("select 'abc' as c")));
}

TEST_P(QueryExecute, ParseErrorPositionCountsNoCarriageReturns)
{
    int line[2] = {};
    int position[2] = {};
    const QString texts[2] = { QStringLiteral("select 1\r\nfrom dual\r\nwher 1"),
        QStringLiteral("select 1\nfrom dual\nwher 1") };
    for (int i = 0; i < 2; ++i) {
        query->SQL().SetText(texts[i]);
        EXPECT_THROW(query->Execute(), EOracleError);
        line[i] = query->ErrorLine();
        position[i] = query->ErrorPosition();
    }
    // The server stops at the "1" after the misspelt keyword: line 3, column 6.
    EXPECT_EQ(line[0], 3);
    EXPECT_EQ(position[0], 6);
    EXPECT_EQ(line[1], 3);
    EXPECT_EQ(position[1], 6);
    // A fresh parse starts without a position.
    query->SQL().SetText(QStringLiteral("select 1 from dual"));
    query->Execute();
    EXPECT_EQ(query->ErrorLine(), 0);
    EXPECT_EQ(query->ErrorPosition(), 0);
}

TEST_P(QueryExecute, ArrayDmlContinuesAfterTheFailingRowWhenOnArrayErrorSaysSo)
{
    createTable(QStringLiteral("qx_array"), QStringLiteral("n number(5) primary key"));
    run(QStringLiteral("insert into qx_array (n) values (104)"));
    query->SQL().SetText(QStringLiteral("insert into qx_array (n) values (:n)"));
    query->DeclareVariable(QStringLiteral("n"), SQLT_INT);
    VariantArray values;
    for (int i = 101; i <= 110; ++i)
        values.push_back(i);
    query->SetVariable(QStringLiteral("n"), Variant(values));
    std::vector<int> failedRows;
    int failedCode = 0;
    query->OnArrayError = [&](TOracleQuery *sender, int index, int code, const QString &message,
                              bool &continueRun) {
        EXPECT_EQ(sender, query.get());
        EXPECT_FALSE(message.isEmpty());
        EXPECT_TRUE(continueRun);
        failedRows.push_back(index);
        failedCode = code;
    };
    const int processed = query->ExecuteRows(-1, -1);
    EXPECT_EQ(failedRows, std::vector<int>({ 3 }));
    EXPECT_EQ(failedCode, 1); // unique constraint violated
    EXPECT_EQ(processed, 9);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qx_array")), 10);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qx_array where n >= 105")), 6);
}

TEST_P(QueryExecute, ArrayDmlErrorReachesTheCallerWithoutOnArrayError)
{
    createTable(QStringLiteral("qx_array2"), QStringLiteral("n number(5) primary key"));
    run(QStringLiteral("insert into qx_array2 (n) values (3)"));
    query->SQL().SetText(QStringLiteral("insert into qx_array2 (n) values (:n)"));
    query->DeclareVariable(QStringLiteral("n"), SQLT_INT);
    query->SetVariable(QStringLiteral("n"), Variant(VariantArray { 1, 2, 3, 4 }));
    try {
        query->Execute();
        FAIL() << "the duplicate went unnoticed";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 1);
    }
    // A handler that stops ends the run at the failing row.
    run(QStringLiteral("delete from qx_array2 where n <> 3"));
    int calls = 0;
    query->OnArrayError = [&](TOracleQuery *, int, int, const QString &, bool &continueRun) {
        ++calls;
        continueRun = false;
    };
    EXPECT_EQ(query->ExecuteRows(-1, -1), 2);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qx_array2")), 3);
}

TEST_P(QueryExecute, ArraysOfDifferentLengthsAreRefused)
{
    createTable(QStringLiteral("qx_pairs"), QStringLiteral("a number(5), b number(5)"));
    query->SQL().SetText(QStringLiteral("insert into qx_pairs (a, b) values (:a, :b)"));
    query->DeclareVariable(QStringLiteral("a"), SQLT_INT);
    query->DeclareVariable(QStringLiteral("b"), SQLT_INT);
    VariantArray ten(10, Variant(1));
    VariantArray nine(9, Variant(2));
    query->SetVariable(QStringLiteral("a"), Variant(ten));
    query->SetVariable(QStringLiteral("b"), Variant(nine));
    try {
        query->Execute();
        FAIL() << "unequal arrays were bound";
    } catch (const EOracleError &) {
        FAIL() << "the server was asked";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("All arrays must be of equal size for Array DML"));
    }
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qx_pairs")), 0);
}

TEST_P(QueryExecute, StatusAfterDmlAndBeforeAndAfterQueryEvents)
{
    createTable(QStringLiteral("qx_status"), QStringLiteral("n number(5)"));
    fillNumbers(QStringLiteral("qx_status"), 5);
    QStringList events;
    query->BeforeQuery = [&](TOracleQuery *) { events << QStringLiteral("before"); };
    query->AfterQuery = [&](TOracleQuery *) { events << QStringLiteral("after"); };
    query->SQL().SetText(QStringLiteral("update qx_status set n = n + 10 where n > 2"));
    query->Execute();
    EXPECT_EQ(query->RowsProcessed(), 3);
    EXPECT_EQ(query->SQLType(), 5);
    EXPECT_EQ(query->ErrorCode(), 0);
    EXPECT_TRUE(query->Eof());
    EXPECT_EQ(events, QStringList({ QStringLiteral("before"), QStringLiteral("after") }));

    // A select owes its AfterQuery until its last row was passed.
    events.clear();
    query->SQL().SetText(QStringLiteral("select n from qx_status order by n"));
    query->Execute();
    EXPECT_EQ(events, QStringList({ QStringLiteral("before") }));
    while (!query->Eof())
        query->Next();
    EXPECT_EQ(events, QStringList({ QStringLiteral("before"), QStringLiteral("after") }));

    // A select without rows is at Eof at once and has had its AfterQuery.
    events.clear();
    query->SQL().SetText(QStringLiteral("select n from qx_status where n < 0"));
    query->Execute();
    EXPECT_TRUE(query->Eof());
    EXPECT_EQ(events, QStringList({ QStringLiteral("before"), QStringLiteral("after") }));

    // An error fires the pending AfterQuery before it reaches the caller.
    events.clear();
    query->SQL().SetText(QStringLiteral("select nosuchcolumn from qx_status"));
    EXPECT_THROW(query->Execute(), EOracleError);
    EXPECT_EQ(events, QStringList({ QStringLiteral("before"), QStringLiteral("after") }));
}

TEST_P(QueryExecute, DescribeReadsTheSelectListWithoutRowsAndDoesNotRunOtherStatements)
{
    createTable(QStringLiteral("qx_describe"), QStringLiteral("n number(5), s varchar2(10)"));
    fillNumbers(QStringLiteral("qx_describe"), 3);
    query->SQL().SetText(QStringLiteral("select n, s from qx_describe"));
    query->Describe();
    EXPECT_TRUE(query->Eof());
    ASSERT_EQ(query->FieldCount(), 2);
    EXPECT_EQ(query->FieldName(1), QStringLiteral("S"));
    EXPECT_THROW(query->Field(0), Exception);

    query->SQL().SetText(QStringLiteral("delete from qx_describe"));
    query->Describe();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from qx_describe")), 3);
}

TEST_P(QueryExecute, SessionAndConnectionAreRequired)
{
    TOracleQuery lone;
    lone.SQL().SetText(QStringLiteral("select 1 from dual"));
    try {
        lone.Execute();
        FAIL();
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Session undefined"));
    }
    query->SQL().SetText(QStringLiteral("select 1 from dual union all select 2 from dual"));
    query->SetReadBuffer(1);
    query->Execute();
    session->LogOff();
    // The logoff closed the query; a new execute needs a connection.
    try {
        query->Execute();
        FAIL();
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Not logged on"));
    }
    // On a new connection the query starts afresh.
    session->LogOn();
    query->Execute();
    EXPECT_EQ(query->FieldAsInteger(0), 1);
    query->Next();
    EXPECT_EQ(query->FieldAsInteger(0), 2);
}

// With and without the kept parse and the client's statement cache, statements run again and
// selects are read to the end.
TEST_P(QueryExecute, CursorHandlingWithAndWithoutOptimizeAndStatementCache)
{
    createTable(QStringLiteral("qx_cursor"), QStringLiteral("n number(5)"));
    const struct {
        bool optimize;
        bool statementCache;
    } cases[] = { { true, false }, { false, false }, { true, true }, { false, true } };
    int expected = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(
            testing::Message() << "Optimize " << c.optimize << ", cache " << c.statementCache);
        session->LogOff();
        session->SetStatementCache(c.statementCache);
        session->LogOn();
        TOracleQuery q;
        q.SetSession(session.get());
        q.SetOptimize(c.optimize);
        q.SQL().SetText(QStringLiteral("insert into qx_cursor values (:n)"));
        q.DeclareVariable(QStringLiteral("n"), SQLT_INT);
        for (int i = 0; i < 3; ++i) {
            q.SetVariable(QStringLiteral("n"), i);
            q.Execute();
            ++expected;
        }
        q.SQL().SetText(QStringLiteral("select n from qx_cursor"));
        q.DeleteVariables();
        q.SetReadBuffer(2);
        for (int round = 0; round < 2; ++round) {
            q.Execute();
            int rows = 0;
            for (; !q.Eof(); q.Next())
                ++rows;
            EXPECT_EQ(rows, expected);
        }
        session->Commit();
    }
}

TEST_P(QueryExecute, UnchangedTextIsNotParsedAgainAndNewVariablesForceAParse)
{
    createTable(QStringLiteral("qx_reuse"), QStringLiteral("n number(5)"));
    query->SQL().SetText(QStringLiteral("insert into qx_reuse (n) values (:n)"));
    query->DeclareVariable(QStringLiteral("n"), SQLT_INT);
    for (int i = 1; i <= 3; ++i) {
        query->SetVariable(QStringLiteral("n"), i);
        query->Execute();
    }
    EXPECT_EQ(scalar(QStringLiteral("select sum(n) from qx_reuse")), 6);
    query->DeclareVariable(QStringLiteral("n"), SQLT_STR);
    query->SetVariable(QStringLiteral("n"), QStringLiteral("10"));
    query->Execute();
    EXPECT_EQ(scalar(QStringLiteral("select sum(n) from qx_reuse")), 16);
}

TEST_P(QueryExecute, SQLTypeIsTheCommandCodeOfEachKindOfStatement)
{
    createTable(QStringLiteral("qx_kinds"), QStringLiteral("n number(5)"));
    const struct {
        const char *text;
        int sqlType;
    } cases[] = {
        { "insert into qx_kinds values (1)", 3 },
        { "select n from qx_kinds", 4 },
        { "update qx_kinds set n = 2", 5 },
        { "delete from qx_kinds", 9 },
        { "begin null; end;", 34 },
        { "declare x number; begin x := 1; end;", 34 },
    };
    for (const auto &c : cases) {
        // A query of its own for each statement: nothing left from the previous kind.
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(QString::fromLatin1(c.text));
        q.Execute();
        EXPECT_EQ(q.SQLType(), c.sqlType) << c.text;
        // The same query on the next kind reports the new one.
        query->SQL().SetText(QString::fromLatin1(c.text));
        query->Execute();
        EXPECT_EQ(query->SQLType(), c.sqlType) << c.text << " (reused query)";
    }
}

TEST_P(QueryExecute, AFailedCallIsNamedOnTheError)
{
    createTable(QStringLiteral("qx_named"), QStringLiteral("n number(1) not null"));
    const struct {
        const char *text;
        const char *handleCall;
        const char *olderCall;
    } cases[] = {
        // Runs, and fails, at execute.
        { "insert into qx_named values (null)", "OCIStmtExecute", "oexn" },
        { "delete from qx_no_such_table", "OCIStmtExecute", "oexn" },
        // A select of a table that does not exist fails at the execute of the handle calls,
        // and at the first describe of the older calls' deferred parse.
        { "select * from qx_no_such_table", "OCIStmtExecute", "odescr" },
    };
    for (const auto &c : cases) {
        try {
            query->SQL().SetText(QString::fromLatin1(c.text));
            query->Execute();
            ADD_FAILURE() << c.text << " ran";
        } catch (const EOracleError &e) {
            EXPECT_NE(e.ErrorCode(), 0) << c.text;
            EXPECT_STREQ(e.CallName(), olderMode() ? c.olderCall : c.handleCall) << c.text;
        }
    }
}

TEST_P(QueryExecute, AFailedBindOrFetchIsNamedOnTheErrorInEitherFamily)
{
    createTable(QStringLiteral("qx_fetch_named"), QStringLiteral("n number, s varchar2(10)"));
    run(QStringLiteral("insert into qx_fetch_named values (1, '1')"));
    run(QStringLiteral("insert into qx_fetch_named values (2, '2')"));
    run(QStringLiteral("insert into qx_fetch_named values (3, 'x')"));
    // The call named on the error the action raises.
    const auto failedCall = [](const std::function<void()> &action) -> std::string {
        try {
            action();
        } catch (const EOracleError &e) {
            EXPECT_NE(e.ErrorCode(), 0);
            return e.CallName();
        }
        return "(nothing failed)";
    };
    const auto execute = [this] { query->Execute(); };

    // A variable the text does not have.
    query->SQL().SetText(QStringLiteral("select n from qx_fetch_named where n = :a"));
    query->DeclareVariable(QStringLiteral("a"), SQLT_INT);
    query->DeclareVariable(QStringLiteral("b"), SQLT_INT);
    query->SetVariable(QStringLiteral("a"), 1);
    EXPECT_EQ(failedCall(execute), olderMode() ? "obndra" : "OCIBindByName");

    // The third row's value fails to convert: in the first array, and in a later one.
    query->DeleteVariables();
    query->SQL().SetText(QStringLiteral("select to_number(s) from qx_fetch_named"));
    query->SetReadBuffer(10);
    EXPECT_EQ(failedCall(execute), olderMode() ? "oexfet" : "OCIStmtFetch2");
    // A row at a time (the rows per fetch are set when the statement is described).
    TOracleQuery single;
    single.SetSession(session.get());
    single.SetReadBuffer(1);
    single.SQL().SetText(query->SQL().Text());
    ASSERT_EQ(failedCall([&] { single.Execute(); }), "(nothing failed)");
    EXPECT_EQ(single.FieldAsInteger(0), 1);
    ASSERT_EQ(failedCall([&] { single.Next(); }), "(nothing failed)");
    EXPECT_EQ(single.FieldAsInteger(0), 2);
    EXPECT_EQ(failedCall([&] { single.Next(); }), olderMode() ? "ofen" : "OCIStmtFetch2");
}

INSTANTIATE_TEST_SUITE_P(BothModes, QueryExecute, ::testing::Bool(), modeName);

TEST(QueryRowId, ExtendedAndRestrictedForms)
{
    EXPECT_EQ(TOracleQuery::RowIdText(0, 1, 0x10, 2), QStringLiteral("00000010.0002.0001"));
    // Object 1, file 2, block 3, row 4: base-64 digits, most significant first.
    EXPECT_EQ(TOracleQuery::RowIdText(1, 2, 3, 4), QStringLiteral("AAAAABAACAAAAADAAE"));
    EXPECT_EQ(TOracleQuery::RowIdText(64, 63, 4095, 64).size(), 18);
    EXPECT_EQ(TOracleQuery::RowIdText(64, 63, 4095, 64), QStringLiteral("AAAABAAA/AAAA//ABA"));
}

} // namespace
} // namespace qd::test
