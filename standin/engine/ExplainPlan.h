#pragma once

#include <string>

namespace qdsi::engine {

class Session;

// EXPLAIN PLAN [SET STATEMENT_ID = 'id'] FOR <select | update | delete>: the statement is
// checked as the server would parse it (unknown tables and columns fail) and a plan is written
// into the session's PLAN_TABLE inside the session's transaction, so a rollback removes it. The
// plan is a made-up but stable tree: the statement's root row (POSITION holds its cost, null
// under the /*+ RULE */ hint, which has no cost), one access row per table.
void explainPlan(Session &session, const std::string &text);

// PLAN_TABLE of the session's schema, made when the session begins (outside any transaction,
// so no rollback takes it away). It is the server's, not one of the user's objects: the
// dictionary does not list it.
void ensurePlanTable(Session &session);

} // namespace qdsi::engine
