// The session pool against the stand-in: sessions with Pooling spInternal borrow the pool's
// connections through their own LogOn and LogOff.

#include "QStringPrinter.h"

#include "OracleSessionTestSupport.h"

#include "oracle/OracleSessionPool.h"
#include "platform/LinuxOraclePlatform.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

using namespace qd;
using namespace qd::test;

namespace {

class SessionPool : public ::testing::Test {
protected:
    void SetUp() override { UseSessionStandin(); }

    // A client of the pool with the given logon values.
    std::unique_ptr<TOracleSession> client(const QString &user = QStringLiteral("scott"),
        const QString &password = QStringLiteral("tiger"))
    {
        auto session = std::make_unique<TOracleSession>();
        SetLogon(*session, user, password);
        session->SetPool(&pool);
        return session;
    }
    static QString currentUser(TOracleSession &session)
    {
        session.ExecSQL(QStringLiteral("select user from dual"), false);
        return session.InternalRow().value(0);
    }

    TOracleSessionPool pool;
};

TEST_F(SessionPool, ClientsBorrowAndReturnConnectionsWithTheEvents)
{
    QStringList events;
    pool.OnOpen = [&](TOracleSessionPool *sender) {
        EXPECT_EQ(sender, &pool);
        events << QStringLiteral("Open");
    };
    pool.OnClose = [&](TOracleSessionPool *) { events << QStringLiteral("Close"); };
    pool.AfterReserve = [&](TOracleSessionPool *, TOracleSession *s) {
        events << QStringLiteral("AfterReserve ") + (s->Connected() ? "connected" : "not");
    };
    pool.BeforeRelease = [&](TOracleSessionPool *, TOracleSession *s) {
        events << QStringLiteral("BeforeRelease ") + (s->Connected() ? "connected" : "not");
    };

    auto first = client();
    first->LogOn();
    ASSERT_TRUE(first->Connected());
    EXPECT_TRUE(first->Shared());
    EXPECT_TRUE(pool.Active());
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_EQ(pool.Entries(0)->ReservedBy(), first.get());
    EXPECT_EQ(currentUser(*first), QStringLiteral("SCOTT"));
    const QString connection = first->AUDSID();
    EXPECT_EQ(connection, pool.Entries(0)->Session()->AUDSID());

    first->LogOff();
    EXPECT_FALSE(first->Connected());
    EXPECT_FALSE(first->Shared());
    EXPECT_FALSE(pool.Entries(0)->Reserved());
    EXPECT_TRUE(pool.Entries(0)->Session()->Connected()); // the connection stays in the pool

    // The next client of the same account gets the same connection.
    auto second = client();
    second->LogOn();
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_EQ(second->AUDSID(), connection);
    second->LogOff();

    pool.Close();
    EXPECT_FALSE(pool.Active());
    EXPECT_EQ(events,
        QStringList({ "Open", "AfterReserve connected", "BeforeRelease connected",
            "AfterReserve connected", "BeforeRelease connected", "Close" }));
    try {
        pool.Entries(1);
        ADD_FAILURE() << "no second entry";
    } catch (const Exception &) {
    }
}

TEST_F(SessionPool, AThirdReservationWaitsUntilOneOfTwoIsReleased)
{
    pool.SetMax(2);
    auto first = client();
    auto second = client();
    auto third = client();
    first->LogOn();
    second->LogOn();
    EXPECT_EQ(pool.FreeSlots(), 0);
    const QString firstConnection = first->AUDSID();

    std::atomic<bool> reserved { false };
    std::thread waiter([&] {
        third->LogOn();
        reserved = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(reserved); // still waiting for a free slot
    EXPECT_EQ(pool.Count(), 2);

    first->LogOff();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!reserved && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    waiter.join();
    ASSERT_TRUE(reserved);
    EXPECT_TRUE(third->Connected());
    EXPECT_EQ(third->AUDSID(), firstConnection); // the released connection
    EXPECT_EQ(pool.Count(), 2);
    EXPECT_EQ(pool.FreeSlots(), 0);
    second->LogOff();
    third->LogOff();
    EXPECT_EQ(pool.FreeSlots(), 2);
}

TEST_F(SessionPool, AHomogeneousPoolLogsEveryClientOnWithItsOwnValues)
{
    pool.SetHomogeneous(true);
    pool.SetLogonUsername(QStringLiteral("scott"));
    pool.SetLogonPassword(QStringLiteral("tiger"));
    pool.SetLogonDatabase(QStringLiteral("QDS"));
    auto session = client(QStringLiteral("nobody"), QStringLiteral("wrong"));
    session->SetLogonDatabase(QStringLiteral("NOWHERE"));
    session->LogOn();
    ASSERT_TRUE(session->Connected());
    EXPECT_EQ(session->LogonUsername(), QStringLiteral("scott"));
    EXPECT_EQ(session->LogonPassword(), QStringLiteral("tiger"));
    EXPECT_EQ(session->LogonDatabase(), QStringLiteral("QDS"));
    EXPECT_EQ(currentUser(*session), QStringLiteral("SCOTT"));
    session->LogOff();

    // Without Homogeneous the client's own values count (and fail here).
    TOracleSessionPool own;
    own.SetLogonUsername(QStringLiteral("scott"));
    own.SetLogonPassword(QStringLiteral("tiger"));
    auto stranger = client(QStringLiteral("nobody"), QStringLiteral("wrong"));
    stranger->SetPool(&own);
    EXPECT_THROW(stranger->LogOn(), EOracleError);
    EXPECT_FALSE(stranger->Connected());
    EXPECT_EQ(stranger->LogonUsername(), QStringLiteral("nobody"));
}

TEST_F(SessionPool, AConnectionServesOnlyTheAccountThatLoggedItOn)
{
    pool.SetMax(3);
    auto owner = client();
    owner->LogOn();
    owner->LogOff();
    ASSERT_EQ(pool.Count(), 1);

    // A wrong password is not let in through the free connection of the right one; the
    // entry that failed to log on leaves the pool.
    auto intruder = client(QStringLiteral("scott"), QStringLiteral("not-tiger"));
    try {
        intruder->LogOn();
        ADD_FAILURE() << "the wrong password logged on";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 1017);
    }
    EXPECT_FALSE(intruder->Connected());
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_EQ(pool.FreeSlots(), 3);

    // Another account gets its own connection; the account names compare without case.
    auto other = client(QStringLiteral("DEMO"), QStringLiteral("DEMO"));
    other->SetLogonDatabase(QStringLiteral("DEMO"));
    other->LogOn();
    EXPECT_EQ(currentUser(*other), QStringLiteral("DEMO"));
    auto again = client(QStringLiteral("SCOTT"), QStringLiteral("tiger"));
    again->SetLogonDatabase(QStringLiteral("qds"));
    again->LogOn();
    EXPECT_EQ(pool.Count(), 2);
    EXPECT_EQ(currentUser(*again), QStringLiteral("SCOTT"));
    again->LogOff();
    other->LogOff();
}

TEST_F(SessionPool, ALostConnectionIsReplacedAtTheNextReservation)
{
    StandinHooks hooks;
    ASSERT_TRUE(hooks.complete());
    auto session = client();
    session->LogOn();
    const QString lost = session->AUDSID();
    session->LogOff();
    ASSERT_EQ(hooks.loseConnection(pool.Entries(0)->Session()->ServiceContext()), 0);

    session->LogOn();
    ASSERT_TRUE(session->Connected());
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_NE(session->AUDSID(), lost);
    EXPECT_EQ(currentUser(*session), QStringLiteral("SCOTT"));
    session->LogOff();
}

TEST_F(SessionPool, ReleasedEntriesShrinkToMin)
{
    // Without a time-out a released entry beyond Min goes at once.
    pool.SetMin(1);
    auto a = client();
    auto b = client();
    a->LogOn();
    b->LogOn();
    ASSERT_EQ(pool.Count(), 2);
    a->LogOff();
    EXPECT_EQ(pool.Count(), 1);
    b->LogOff();
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_TRUE(pool.Entries(0)->Session()->Connected());

    // With a time-out idle entries go once it has passed, down to Min.
    TOracleSessionPool timed;
    timed.SetTimeOut(1);
    timed.SetMin(1);
    std::vector<std::unique_ptr<TOracleSession>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(client());
        clients.back()->SetPool(&timed);
        clients.back()->LogOn();
    }
    for (auto &c : clients)
        c->LogOff();
    EXPECT_EQ(timed.Count(), 3); // not yet expired
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    clients[0]->LogOn(); // a reservation expires the idle entries
    EXPECT_EQ(timed.Count(), 1);
    clients[0]->LogOff();
}

TEST_F(SessionPool, ALibraryPoolTheClientRefusesIsReportedAndLeavesNothingBehind)
{
    // The stand-in offers the library's pool calls but answers them with an error.
    pool.SetPoolType(ptOracle);
    pool.SetLogonUsername(QStringLiteral("scott"));
    pool.SetLogonPassword(QStringLiteral("tiger"));
    int opened = 0;
    pool.OnOpen = [&](TOracleSessionPool *) { ++opened; };
    auto session = client();
    try {
        session->LogOn();
        ADD_FAILURE() << "the stand-in has no session pools";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorCode(), 3001);
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("ORA-03001")))
            << e.Message().toStdString();
    }
    EXPECT_FALSE(session->Connected());
    EXPECT_FALSE(pool.Active());
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(pool.PoolName().isEmpty());
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_EQ(pool.LogonDatabase(), QStringLiteral("QDS")); // taken from the first client

    // The program's own pool still serves.
    pool.SetPoolType(ptDefault);
    session->LogOn();
    EXPECT_TRUE(session->Connected());
    EXPECT_EQ(pool.EffectivePoolType(), ptDefault);
    EXPECT_EQ(opened, 1);
    session->LogOff();
}

TEST_F(SessionPool, ALibraryPoolFallsBackToTheOwnPoolWithAClientThatHasNone)
{
    // The stand-in built without the 8.1 additions has none of the later groups either.
    OracleClientLibrary library(std::make_shared<LinuxOraclePlatform>());
    library.SetOCIDLL(
        QFileInfo(standinLibraryPath()).dir().filePath(QStringLiteral("libqdstandin_no81.so")));
    TOracleSessionPool oraclePool(nullptr, &library);
    oraclePool.SetPoolType(ptOracle);
    TOracleSession session(nullptr, &library);
    SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
    session.SetPool(&oraclePool);
    session.LogOn();
    ASSERT_TRUE(session.Connected());
    EXPECT_FALSE(library.OCI10Available());
    EXPECT_EQ(oraclePool.EffectivePoolType(), ptDefault);
    EXPECT_TRUE(oraclePool.PoolName().isEmpty());
    EXPECT_EQ(oraclePool.Count(), 1);
    EXPECT_EQ(currentUser(session), QStringLiteral("SCOTT"));
    session.LogOff();
}

TEST_F(SessionPool, ManyThreadsReservingAndReleasingLeaveThePoolConsistent)
{
    constexpr int Max = 3;
    constexpr int Threads = 8;
    constexpr int Rounds = 6;
    pool.SetMax(Max);
    std::mutex mutex;
    std::set<void *> inUse; // service contexts lent out right now
    int mostAtOnce = 0;
    std::atomic<int> failures { 0 };
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&] {
            TOracleSession session;
            SetLogon(session, QStringLiteral("scott"), QStringLiteral("tiger"));
            session.SetPool(&pool);
            for (int round = 0; round < Rounds; ++round) {
                try {
                    session.LogOn();
                    void *service = session.ServiceContext();
                    {
                        std::lock_guard lock(mutex);
                        if (!inUse.insert(service).second)
                            ++failures; // two clients on one connection
                        mostAtOnce = std::max(mostAtOnce, static_cast<int>(inUse.size()));
                    }
                    if (currentUser(session) != QStringLiteral("SCOTT"))
                        ++failures;
                    {
                        std::lock_guard lock(mutex);
                        inUse.erase(service);
                    }
                    session.LogOff();
                } catch (...) {
                    ++failures;
                }
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_LE(mostAtOnce, Max);
    EXPECT_GE(mostAtOnce, 1);
    EXPECT_LE(pool.Count(), Max);
    EXPECT_EQ(pool.FreeSlots(), Max);
    for (int i = 0; i < pool.Count(); ++i) {
        EXPECT_FALSE(pool.Entries(i)->Reserved());
        EXPECT_TRUE(pool.Entries(i)->Session()->Connected());
    }
}

} // namespace
