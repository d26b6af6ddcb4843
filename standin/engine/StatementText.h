#pragma once

// What the engine itself reads from the translated SQLite text of a change: its target table
// and its WHERE clause (for the rows it will meet locked).

#include <string>
#include <string_view>
#include <vector>

namespace qdsi::engine {

// Target table of INSERT INTO t / UPDATE t / DELETE [FROM] t.
std::string dmlTable(std::string_view text);

// The WHERE clause of an UPDATE or DELETE up to its end or RETURNING; empty when it has none.
std::string whereClause(std::string_view dml);

} // namespace qdsi::engine
