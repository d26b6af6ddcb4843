#pragma once

namespace qd {

// Registers the column and bind-variable handlers of the value classes (LOB locators,
// timestamps, objects, references) with the query. Safe to call more than once.
void RegisterOracleValueHandlers();

} // namespace qd
