#pragma once

// What the tests of the Oracle layer and the datasets share: the stand-in's test hooks,
// resolved from the library the product loads, a logon to its DEMO database, and statements
// run on a query of their own. Header only: the folders that include it link the Oracle layer.

#include "common/TestSupport.h"
#include "oracle/OracleClientLibrary.h"
#include "oracle/OracleError.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"

#include <QLibrary>
#include <QStringList>

#include <memory>

namespace qd::test {

// The stand-in's qdsi_ hooks. Every hook takes a service context; `ServiceOf` gives the one
// behind a session in either client mode.
struct StandinHooks {
    static const StandinHooks &get()
    {
        static const StandinHooks hooks;
        return hooks;
    }

    StandinHooks()
        : library(standinLibraryPath())
    {
        library.load();
        traceCount = resolve<int (*)(void *)>("qdsi_trace_count");
        traceGet = resolve<int (*)(void *, int, char *, int)>("qdsi_trace_get");
        traceClear = resolve<void (*)(void *)>("qdsi_trace_clear");
        roundTripCount = resolve<int (*)(void *)>("qdsi_round_trips");
        resetRoundTripCount = resolve<void (*)(void *)>("qdsi_reset_round_trips");
        callInProgress = resolve<int (*)(void *)>("qdsi_call_in_progress");
        blockNextFetch = resolve<int (*)(void *)>("qdsi_block_next_fetch");
        loseConnection = resolve<int (*)(void *)>("qdsi_lose_connection");
        ldaService = resolve<void *(*)(void *)>("qdsi_lda_service");
    }

    bool complete() const
    {
        return traceCount && traceGet && traceClear && roundTripCount && resetRoundTripCount
            && callInProgress && blockNextFetch && loseConnection && ldaService;
    }

    // The service context of a session that uses handles, or the one the stand-in keeps
    // behind the logon data area of a session on the older calls.
    void *ServiceOf(TOracleSession &session) const
    {
        if (void *svc = session.ServiceContext())
            return svc;
        Lda_Def *lda = session.logonDataArea();
        return lda ? ldaService(lda) : nullptr;
    }

    // The statement texts the session executed, in order.
    QStringList trace(void *svc) const
    {
        QStringList texts;
        const int n = traceCount(svc);
        for (int i = 0; i < n; ++i) {
            QByteArray buffer(65536, '\0');
            traceGet(svc, i, buffer.data(), static_cast<int>(buffer.size()));
            texts.append(QString::fromUtf8(buffer.constData()));
        }
        return texts;
    }
    // The statements sent since the last clear, line breaks as "\n", trimmed; clears the trace.
    QStringList takeTrace(void *svc) const
    {
        QStringList result;
        for (const QString &text : trace(svc))
            result.append(QString(text).remove(u'\r').trimmed());
        traceClear(svc);
        return result;
    }

    QLibrary library;
    int (*traceCount)(void *) = nullptr;
    int (*traceGet)(void *, int, char *, int) = nullptr;
    void (*traceClear)(void *) = nullptr;
    int (*roundTripCount)(void *) = nullptr;
    void (*resetRoundTripCount)(void *) = nullptr;
    int (*callInProgress)(void *) = nullptr;
    int (*blockNextFetch)(void *) = nullptr;
    int (*loseConnection)(void *) = nullptr;
    void *(*ldaService)(void *) = nullptr;

private:
    template <typename F> F resolve(const char *name)
    {
        return reinterpret_cast<F>(library.resolve(name));
    }
};

// A session logged on to the stand-in's DEMO database as DEMO, with the handle calls or,
// when `olderCalls`, with the older cursor calls.
inline std::unique_ptr<TOracleSession> LogOnDemo(bool olderCalls = false)
{
    SetOCIDLL(standinLibraryPath());
    auto session = std::make_unique<TOracleSession>();
    session->Preferences().SetUseOCI7(olderCalls);
    session->SetLogonUsername(QStringLiteral("DEMO"));
    session->SetLogonPassword(QStringLiteral("DEMO"));
    session->SetLogonDatabase(QStringLiteral("DEMO"));
    session->LogOn();
    return session;
}

// Logs a session off for a test's tear-down, whatever state the test left it in.
inline void LogOffQuietly(std::unique_ptr<TOracleSession> &session)
{
    if (session) {
        try {
            session->LogOff();
        } catch (...) {
        }
        session.reset();
    }
}

// Runs a statement on a query of its own.
inline void RunSql(TOracleSession &session, const QString &sql)
{
    TOracleQuery q;
    q.SetSession(&session);
    q.SQL().SetText(sql);
    q.Execute();
}

// Runs a statement whose server error does not matter (a drop of what may not exist).
inline void RunSqlIgnoringErrors(TOracleSession &session, const QString &sql)
{
    try {
        RunSql(session, sql);
    } catch (const EOracleError &) {
    }
}

// A fresh table (dropped first when an earlier run left it).
inline void CreateFreshTable(TOracleSession &session, const QString &name, const QString &columns)
{
    RunSqlIgnoringErrors(session, QStringLiteral("drop table ") + name);
    RunSql(session,
        QStringLiteral("create table ") + name + QStringLiteral(" (") + columns
            + QStringLiteral(")"));
}

// The first column of a query's first row as text, "<no row>" when it has none.
inline QString ScalarText(TOracleSession &session, const QString &sql)
{
    TOracleQuery q;
    q.SetSession(&session);
    q.SQL().SetText(sql);
    q.Execute();
    return q.Eof() ? QStringLiteral("<no row>") : q.FieldAsString(0);
}

} // namespace qd::test
