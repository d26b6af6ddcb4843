#pragma once

// What the engine itself reads from statement text: transaction control, the FOR UPDATE clause
// and the table it locks, RETURNING ... INTO targets, the DML target table and session settings.
// These work on the translated SQLite text, so they hold whatever the dialect layer does.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qdsi::engine {

struct TransactionControl {
    enum Kind { None, Commit, Rollback, Savepoint, RollbackToSavepoint } kind = None;
    std::string savepoint; // upper case unless quoted
};
TransactionControl transactionControl(std::string_view text);

struct LockClause {
    bool present = false;
    bool nowait = false;
    int waitSeconds = -1;
    size_t start = 0; // where "FOR UPDATE" begins; the text from here on is not SQLite's
};
LockClause findForUpdate(std::string_view text);

// The first table of the top-level FROM (its alias when it has one), and where to add a
// select-list item: just after the top-level SELECT keyword.
struct LockTarget {
    std::string table;
    std::string qualifier; // alias, else the table name
    std::string schema; // the schema part of "schema.table"; empty when none
    size_t selectListStart = 0;
    bool found = false;
};
LockTarget lockTarget(std::string_view text);

// Target table of INSERT INTO t / UPDATE t / DELETE [FROM] t.
std::string dmlTable(std::string_view text);

// The WHERE clause of an UPDATE or DELETE up to its end or RETURNING; empty when it has none.
std::string whereClause(std::string_view dml);

// The value of NLS_DATE_FORMAT in ALTER SESSION SET ..., if the statement sets it.
std::optional<std::string> nlsDateFormat(std::string_view text);

} // namespace qdsi::engine
