#pragma once

// Replaces the substitution variables of one statement before it runs: a name the substitution
// table holds gets its value; any other name is asked for, and an answer to an "&&" occurrence is
// kept in the table so that later occurrences and statements reuse it.

#include "worksheet/KXVars.h"
#include "worksheet/QDSubVar.h"

#include <functional>
#include <optional>

namespace qd {

// Asks for the value of name with the given prompt text; no value means the user cancelled.
using TSubVarAsker
    = std::function<std::optional<QString>(const QString &promptText, const QString &name)>;

// Returns false when an answer was cancelled: then lines and the table are left as they were and
// the caller ends the run, so a statement with an unreplaced "&name" never reaches the server.
bool SubstituteVariables(TStringList &lines, TKXVars &substitutionVars, const TSubVarAsker &ask);

} // namespace qd
