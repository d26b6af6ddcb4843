#pragma once

// ALTER TABLE ... ADD / DROP / ENABLE / DISABLE CONSTRAINT. SQLite keeps a table's constraints
// in its CREATE TABLE text and cannot change them in place, so the table is rebuilt under the
// changed definition (rows keep their row numbers; indexes and triggers are made again). A
// disabled constraint leaves the definition, so it is not enforced, and waits in the side table
// QDSI_DISABLED_CONSTRAINTS until it is enabled (and then validated) or dropped.

#include "sql/Dialect.h"

namespace qdsi::engine {

class Session;

// Runs the change of `t.constraintChange` on the table `t.objectName` of the session's own
// schema. Data definition: commits before and after. Throws OraError (ORA-00942, ORA-02264,
// ORA-02260, ORA-02273, ORA-02297, ORA-02431, ORA-02441, ORA-02443, and the validation errors
// ORA-02293, ORA-02298, ORA-02299, ORA-02437).
void changeConstraint(Session &session, const sql::Translation &t);

} // namespace qdsi::engine
