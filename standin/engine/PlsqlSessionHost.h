#pragma once

// The PL/SQL interpreter's view of one engine session: its SQL runs in the session's
// transaction through the dialect, its stored units live in the schema's side tables
// (StoredCode), OCIBreak reaches it through the session's break flag, and the interpreter's
// per-session state (package instances, server output, application info) lives here as long
// as the session.

#include "plsql/PlsqlHost.h"
#include "plsql/SessionState.h"
#include "sql/Dialect.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>

namespace qdsi::engine {

class Session;

class PlsqlSessionHost : public plsql::PlsqlHost {
public:
    explicit PlsqlSessionHost(Session &session);
    ~PlsqlSessionHost() override;

    plsql::SqlResult executeSql(
        const std::string &oracleSql, const std::vector<plsql::NamedValue> &binds) override;
    void commit() override;
    void rollback() override;
    std::string currentUser() override;
    std::shared_ptr<const plsql::StoredUnit> loadUnit(
        const std::string &owner, const std::string &name, plsql::UnitType type) override;
    void storeUnit(const plsql::StoredUnit &unit) override;
    bool dropUnit(const std::string &owner, const std::string &name, plsql::UnitType type) override;
    bool breakRequested() override;
    plsql::SessionState &sessionState() override { return m_state; }

private:
    plsql::SqlResult runQuery(
        const sql::Translation &t, const std::vector<plsql::NamedValue> &binds);

    Session &m_session;
    plsql::SessionState m_state;
    // Units read before, by owner, name and type: reused while their version is unchanged.
    std::map<std::tuple<std::string, std::string, int>, std::shared_ptr<const plsql::StoredUnit>>
        m_units;
};

} // namespace qdsi::engine
