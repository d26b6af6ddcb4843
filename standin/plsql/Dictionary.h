#pragma once

// What the data dictionary shows of stored units beyond their source: the argument rows of
// all_arguments and the parts of a trigger that all_triggers lists. The engine builds its
// dictionary views from these.

#include "plsql/PlsqlHost.h"

#include <optional>
#include <string>
#include <vector>

namespace qdsi::plsql {

struct ArgumentRow {
    std::string packageName; // empty for a standalone unit
    std::string objectName; // the procedure or function
    std::optional<int> overload; // 1, 2, ... when a package has several of the name
    int position = 0; // 0 = a function's return value; 1.. the arguments
    int sequence = 1; // 1-based order within the overload
    int dataLevel = 0;
    std::string argumentName; // empty for the return value and for "no arguments"
    std::string dataType; // "VARCHAR2", "NUMBER", "DATE", "PL/SQL BOOLEAN", ...; empty
                          // for the row of a procedure without arguments
    std::string inOut; // "IN", "OUT", "IN/OUT"
    bool defaulted = false;
};

// The rows of all_arguments for a valid procedure, function or package header; empty
// for other units or for a unit that does not parse.
std::vector<ArgumentRow> describeArguments(const StoredUnit &unit);

struct TriggerDescription {
    std::string description; // "emp_bi before insert on emp for each row\n"
    std::string body; // from DECLARE or BEGIN to the end
    std::string triggerType; // "BEFORE EACH ROW", "AFTER STATEMENT", "INSTEAD OF"
    std::string triggeringEvent; // "INSERT", "INSERT OR UPDATE", ...
    std::string tableName; // upper case
    std::string whenClause; // the condition inside WHEN ( ), or empty
};

// Null when the unit is no trigger or does not parse.
std::optional<TriggerDescription> describeTrigger(const StoredUnit &unit);

} // namespace qdsi::plsql
