#pragma once

// A session on the stand-in's DEMO database, loaded through the product's own loader, in the
// client mode of the test's parameter, with the stand-in's statement trace and round-trip count.

#include "common/StandinSession.h"

#include <gtest/gtest.h>

#include <memory>

namespace qd::test {

// The client mode a test runs in: true for the older cursor calls.
class OracleQueryFixture : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { logOn(GetParam()); }

    void logOn(bool olderMode)
    {
        session = LogOnDemo(olderMode);
        query = std::make_unique<TOracleQuery>();
        query->SetSession(session.get());
    }

    void TearDown() override
    {
        query.reset();
        LogOffQuietly(session);
    }

    bool olderMode() const { return GetParam(); }

    void run(const QString &sql) { RunSql(*session, sql); }
    void runIgnoringErrors(const QString &sql) { RunSqlIgnoringErrors(*session, sql); }
    void createTable(const QString &name, const QString &columns)
    {
        CreateFreshTable(*session, name, columns);
    }
    // The statement fails with the server error `code`.
    void expectServerError(const char *sql, int code)
    {
        try {
            run(QString::fromLatin1(sql));
            ADD_FAILURE() << "accepted: " << sql;
        } catch (const EOracleError &e) {
            EXPECT_EQ(e.ErrorCode(), code) << sql << " " << e.Message().toStdString();
        }
    }
    // Fills table(n) with 1..count through one array insert.
    void fillNumbers(const QString &table, int count)
    {
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(
            QStringLiteral("insert into ") + table + QStringLiteral(" (n) values (:n)"));
        q.DeclareVariable(QStringLiteral("n"), SQLT_INT);
        VariantArray values;
        for (int i = 1; i <= count; ++i)
            values.push_back(i);
        q.SetVariable(QStringLiteral("n"), Variant(values));
        q.Execute();
        ASSERT_EQ(q.RowsProcessed(), count);
    }
    int scalar(const QString &sql)
    {
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(sql);
        q.Execute();
        return q.FieldAsInteger(0);
    }

    // The stand-in's hooks reach the session in either client mode.
    void *service() const { return StandinHooks::get().ServiceOf(*session); }
    int roundTrips() const { return StandinHooks::get().roundTripCount(service()); }
    void resetRoundTrips() const { StandinHooks::get().resetRoundTripCount(service()); }
    QStringList trace() const { return StandinHooks::get().trace(service()); }
    void clearTrace() const { StandinHooks::get().traceClear(service()); }

    std::unique_ptr<TOracleSession> session;
    std::unique_ptr<TOracleQuery> query;
};

inline std::string modeName(const ::testing::TestParamInfo<bool> &info)
{
    return info.param ? "OlderCursorCalls" : "HandleCalls";
}

} // namespace qd::test
