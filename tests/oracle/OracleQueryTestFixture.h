#pragma once

// A session on the stand-in's DEMO database, loaded through the product's own loader, with
// the stand-in's test hooks for the statement trace and the round-trip count.

#include "common/TestSupport.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>

namespace qd::test {

struct QueryStandinHooks {
    int (*traceCount)(void *) = nullptr;
    int (*traceGet)(void *, int, char *, int) = nullptr;
    void (*traceClear)(void *) = nullptr;
    int (*roundTrips)(void *) = nullptr;
    void (*resetRoundTrips)(void *) = nullptr;

    static const QueryStandinHooks &get()
    {
        static const QueryStandinHooks hooks = [] {
            QueryStandinHooks h;
            void *module = dlopen(standinLibraryPath().toLocal8Bit().constData(), RTLD_NOW);
            if (!module)
                return h;
            h.traceCount = reinterpret_cast<int (*)(void *)>(dlsym(module, "qdsi_trace_count"));
            h.traceGet = reinterpret_cast<int (*)(void *, int, char *, int)>(
                dlsym(module, "qdsi_trace_get"));
            h.traceClear = reinterpret_cast<void (*)(void *)>(dlsym(module, "qdsi_trace_clear"));
            h.roundTrips = reinterpret_cast<int (*)(void *)>(dlsym(module, "qdsi_round_trips"));
            h.resetRoundTrips
                = reinterpret_cast<void (*)(void *)>(dlsym(module, "qdsi_reset_round_trips"));
            return h;
        }();
        return hooks;
    }
};

// The client mode a test runs in: true for the older cursor calls.
class OracleQueryFixture : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { logOn(GetParam()); }

    void logOn(bool olderMode)
    {
        SetOCIDLL(standinLibraryPath());
        session = std::make_unique<TOracleSession>();
        session->Preferences().SetUseOCI7(olderMode);
        session->SetLogonUsername(QStringLiteral("DEMO"));
        session->SetLogonPassword(QStringLiteral("DEMO"));
        session->SetLogonDatabase(QStringLiteral("DEMO"));
        try {
            session->LogOn();
            if (olderMode) {
                // The older cursor calls may not be served yet.
                TOracleQuery probe;
                probe.SetSession(session.get());
                probe.SQL().SetText(QStringLiteral("select 1 from dual"));
                probe.Execute();
            }
        } catch (const EOracleError &e) {
            if (olderMode && e.ErrorCode() == 3001)
                GTEST_SKIP() << "the stand-in does not serve the older cursor calls yet";
            throw;
        }
        query = std::make_unique<TOracleQuery>();
        query->SetSession(session.get());
    }

    void TearDown() override
    {
        query.reset();
        if (session) {
            try {
                session->LogOff();
            } catch (...) {
            }
        }
        session.reset();
    }

    bool olderMode() const { return GetParam(); }

    // Runs a statement on a query of its own.
    void run(const QString &sql)
    {
        TOracleQuery q;
        q.SetSession(session.get());
        q.SQL().SetText(sql);
        q.Execute();
    }
    void runIgnoringErrors(const QString &sql)
    {
        try {
            run(sql);
        } catch (const EOracleError &) {
        }
    }
    // Makes a fresh table.
    void createTable(const QString &name, const QString &columns)
    {
        runIgnoringErrors(QStringLiteral("drop table ") + name);
        run(QStringLiteral("create table ") + name + QStringLiteral(" (") + columns
            + QStringLiteral(")"));
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

    void *service() const { return session->ServiceContext(); }
    bool hasHooks() const { return service() && QueryStandinHooks::get().roundTrips; }
    int roundTrips() const { return QueryStandinHooks::get().roundTrips(service()); }
    void resetRoundTrips() const { QueryStandinHooks::get().resetRoundTrips(service()); }
    QStringList trace() const
    {
        QStringList texts;
        const QueryStandinHooks &h = QueryStandinHooks::get();
        const int n = h.traceCount(service());
        for (int i = 0; i < n; ++i) {
            QByteArray buffer(65536, '\0');
            h.traceGet(service(), i, buffer.data(), static_cast<int>(buffer.size()));
            texts.append(QString::fromUtf8(buffer.constData()));
        }
        return texts;
    }
    void clearTrace() const { QueryStandinHooks::get().traceClear(service()); }

    std::unique_ptr<TOracleSession> session;
    std::unique_ptr<TOracleQuery> query;
};

inline std::string modeName(const ::testing::TestParamInfo<bool> &info)
{
    return info.param ? "OlderCursorCalls" : "HandleCalls";
}

} // namespace qd::test
