#pragma once

// Codes of the query layer that are not the client library's own: the statement function
// codes TOracleQuery::SQLType reports, the type code that marks a substitution variable and
// the query's run states. The client library's type and attribute codes are in OracleCI.h.

namespace qd {

// Statement function codes (the older interface's cursor function type; the handle calls'
// statement types are mapped onto the same numbers).
namespace SqlFunction {
constexpr int None = 0; // nothing parsed yet
constexpr int Other = -1; // parsed by the handle calls, none of the kinds below
constexpr int Insert = 3;
constexpr int Select = 4;
constexpr int Update = 5;
constexpr int Delete = 9;
constexpr int SetTransaction = 33;
constexpr int PlsqlBlock = 34;
constexpr int LockTable = 35;
constexpr int Commit = 54;
constexpr int Rollback = 55;
constexpr int Savepoint = 56;

// Statements that report rows processed.
constexpr bool IsDml(int code)
{
    return code == Insert || code == Select || code == Update || code == Delete;
}
} // namespace SqlFunction

// Server error codes the query and dataset layers act on.
namespace OraCode {
constexpr int UniqueViolated = 1; // a unique constraint refused the row
constexpr int ResourceBusy = 54; // the row is locked by another session (NOWAIT)
constexpr int NotInSelectList = 1007; // a describe past the last column
constexpr int NoDataFound = 1403; // the end of the rows
constexpr int ValueTruncated = 1406; // a fetched value was cut to fit its buffer
constexpr int CheckViolated = 2290; // a check constraint refused the row
constexpr int ParentKeyNotFound = 2291; // a foreign key found no parent row
constexpr int ChildRecordFound = 2292; // a foreign key's child rows keep the parent
} // namespace OraCode

// The declared type of a variable whose value is pasted into the statement text in place of
// binding it.
inline constexpr int otSubst = 1;

// What a query is doing, as its State reports it.
enum TQueryState : int { qsIdle = 0, qsExecuting = 1, qsFetching = 2 };

} // namespace qd
