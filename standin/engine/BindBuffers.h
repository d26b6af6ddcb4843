#pragma once

#include "engine/Statement.h"
#include "plsql/PlsqlHost.h"

#include <deque>
#include <string>
#include <vector>

namespace qdsi::engine {

// Caller-style buffers holding the interpreter's bind values, so that changes run through
// engine::Statement like a client's (row locks, RETURNING, DDL, sequences).
class BindBuffers {
public:
    // Adds the value of a bind the statement names; a name it does not have is skipped.
    void add(Statement &statement, const plsql::NamedValue &bind);
    const std::vector<BoundValue> &values() const { return m_values; }

private:
    struct Slot {
        ClientBuffer buffer;
        int16_t indicator = 0;
        int64_t integer = 0;
        double real = 0;
        unsigned char date[7] = {};
        std::string text;
    };
    std::deque<Slot> m_slots; // stable addresses
    std::vector<BoundValue> m_values;
};

} // namespace qdsi::engine
