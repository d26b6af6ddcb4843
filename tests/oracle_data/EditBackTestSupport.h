#pragma once

// Sessions on the stand-in's DEMO database (user DEMO/DEMO, alias DEMO), loaded through the
// product's own loader, with the stand-in's statement trace.

#include "common/StandinSession.h"
#include "oracle/QStringPrinter.h"

#include <gtest/gtest.h>

#include <memory>

namespace qd::test {

class StandinSessionFixture : public ::testing::Test {
protected:
    void SetUp() override { session = LogOnDemo(); }
    void TearDown() override
    {
        LogOffQuietly(other);
        LogOffQuietly(session);
    }

    static std::unique_ptr<TOracleSession> newSession() { return LogOnDemo(); }

    void run(const QString &sql, TOracleSession *on = nullptr) { RunSql(on ? *on : *session, sql); }
    void runIgnoringErrors(const QString &sql) { RunSqlIgnoringErrors(*session, sql); }
    QString scalar(const QString &sql, TOracleSession *on = nullptr)
    {
        return ScalarText(on ? *on : *session, sql);
    }

    QStringList trace() const { return StandinHooks::get().trace(session->ServiceContext()); }
    void clearTrace() const { StandinHooks::get().traceClear(session->ServiceContext()); }

    std::unique_ptr<TOracleSession> session;
    std::unique_ptr<TOracleSession> other;
};

} // namespace qd::test
