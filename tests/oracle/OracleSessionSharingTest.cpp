// Pooled and cached connections of TOracleSession, and what it reports to an activity
// monitor, against the stand-in client library.

#include "OracleSessionTestSupport.h"
#include "QStringPrinter.h"

#include "oracle/OracleMonitor.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qd;
using namespace qd::test;

namespace {

// A pool with one connection that it lends to every client session.
class OneConnectionPool : public TOracleSessionPoolBase {
public:
    OneConnectionPool() { SetLogon(entry, QStringLiteral("scott"), QStringLiteral("tiger")); }
    void ReserveSession(TOracleSession &session) override
    {
        log << QStringLiteral("reserve");
        if (!entry.Connected())
            entry.LogOn();
        TOracleSession::ShareConnection(entry, session);
    }
    bool ReleaseSession(TOracleSession &session) override
    {
        log << QStringLiteral("release");
        session.SetExternalSVC(nullptr);
        return true;
    }
    void FireAfterReserve(TOracleSession &) override
    {
        log << QStringLiteral("afterReserve");
        throw Exception(QStringLiteral("a failing event handler"));
    }
    void FireBeforeRelease(TOracleSession &) override
    {
        log << QStringLiteral("beforeRelease");
        throw Exception(QStringLiteral("a failing event handler"));
    }
    bool StatementCache() const override { return cache; }

    TOracleSession entry;
    QStringList log;
    bool cache = false;
};

ub4 statementCacheSize(TOracleSession &session)
{
    ub4 size = 0;
    const sword status = session.entryPoints().OCIAttrGet(session.ServiceContext(),
        OCI_HTYPE_SVCCTX, &size, nullptr, OCI_ATTR_STMTCACHESIZE, session.errorHandle());
    EXPECT_EQ(status, OCI_SUCCESS);
    return size;
}

class SessionSharing : public ::testing::Test {
protected:
    void SetUp() override { UseSessionStandin(); }
};

TEST_F(SessionSharing, APooledSessionBorrowsAndReturnsTheConnection)
{
    auto pool = std::make_unique<OneConnectionPool>();
    TOracleSession client;
    client.SetPool(pool.get());
    EXPECT_EQ(client.Pooling(), spInternal);

    client.LogOn(); // the pool's failing event does not undo the reservation
    EXPECT_EQ(pool->log, QStringList({ "reserve", "afterReserve" }));
    ASSERT_TRUE(client.Connected());
    EXPECT_TRUE(client.Shared());
    EXPECT_EQ(client.AUDSID(), pool->entry.AUDSID());

    pool->log.clear();
    client.LogOff();
    EXPECT_EQ(pool->log, QStringList({ "beforeRelease", "release" }));
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Shared());
    ASSERT_TRUE(pool->entry.Connected()); // the pool's connection stays
    EXPECT_FALSE(pool->entry.AUDSID().isEmpty());

    // The pool's statement-cache setting decides for its clients.
    pool->cache = true;
    client.LogOn();
    EXPECT_TRUE(client.UsesStatementCache());
    EXPECT_EQ(statementCacheSize(client), 20u);
    client.LogOff();

    // Pooling other than internal forgets the pool; a pool that goes away is forgotten too.
    client.SetPooling(spNone);
    EXPECT_EQ(client.Pool(), nullptr);
    client.SetPool(pool.get());
    pool.reset();
    EXPECT_EQ(client.Pool(), nullptr);
    // The layer's start-up made a default pool; without it there is nothing to reserve from.
    TOracleSessionPoolBase *defaultPool = TOracleSessionPoolBase::DefaultPool();
    ASSERT_NE(defaultPool, nullptr);
    TOracleSessionPoolBase::SetDefaultPool(nullptr);
    struct RestoreDefault {
        TOracleSessionPoolBase *pool;
        ~RestoreDefault() { TOracleSessionPoolBase::SetDefaultPool(pool); }
    } restoreDefault { defaultPool };
    try {
        client.LogOn(); // internal pooling without any pool
        FAIL() << "no pool to reserve from";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No session pool to reserve a connection from"));
    }
    EXPECT_FALSE(client.Connected());
}

TEST_F(SessionSharing, OwnStatementCache)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.SetStatementCache(true);
    session.SetStatementCacheSize(12);
    session.LogOn();
    ASSERT_TRUE(session.UsesStatementCache());
    EXPECT_EQ(statementCacheSize(session), 12u);
    session.SetStatementCacheSize(35);
    EXPECT_EQ(statementCacheSize(session), 35u);
    EXPECT_EQ(session.StatementCacheSize(), 35);
    session.ExecSQL(QStringLiteral("select 'x' from dual"));
    EXPECT_EQ(session.InternalRow().value(0), QStringLiteral("x"));
}

TEST_F(SessionSharing, ActivityMonitorSeesLogonTransactionsAndLogoff)
{
    struct Report {
        bool starting;
        int sessionId;
        int callId;
        QString text;
    };
    std::vector<Report> reports;
    OracleMonitorHooks hooks;
    hooks.callReport = [&](int kind, int sessionId, int callId, const VariantArray &values) {
        EXPECT_EQ(kind, OracleMonitor::KindSession);
        reports.push_back({ sessionId != 0, sessionId, callId,
            values.empty() ? QString() : values.front().AsString() });
    };
    hooks.tracingEnabled = [] { return true; };
    hooks.activityEnabled = [] { return true; };
    OracleMonitor::SetHooks(hooks);

    {
        TOracleSession session;
        SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
        session.LogOn();
        session.Commit();
        session.Rollback();
        session.LogOff();
        const int id = session.MonitorId();
        EXPECT_NE(id, 0);

        QStringList starts;
        int ends = 0;
        for (const Report &r : reports) {
            if (r.starting) {
                EXPECT_EQ(r.sessionId, id);
                starts << r.text;
            } else {
                EXPECT_LT(r.callId, 0);
                ++ends;
            }
        }
        // The logon report never carries the password.
        EXPECT_EQ(starts,
            QStringList({ "Session.LogOn as scott@QDS", "Session.Commit", "Session.Rollback",
                "Session.LogOff" }));
        EXPECT_EQ(ends, 4);
    }
    OracleMonitor::SetHooks({});
}

TEST_F(SessionSharing, ServerMessageTextThroughPlsql)
{
    TOracleSession session;
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    EXPECT_THROW(session.serverErrorText(1017), Exception);
    session.LogOn();
    const QString text = session.serverErrorText(1017);
    EXPECT_TRUE(text.contains(QStringLiteral("01017"))) << text.toStdString();
}

} // namespace
