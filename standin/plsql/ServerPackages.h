#pragma once

// The server packages the program calls (dbms_output, dbms_application_info, diutil,
// dbms_lock, dbms_lob) and the standard functions evaluated without a round trip to SQL.

#include "plsql/PlsqlHost.h"
#include "plsql/SessionState.h"
#include "plsql/Value.h"

#include <functional>
#include <string>
#include <vector>

namespace qdsi::plsql {

struct BuiltinParam {
    std::string name;
    bool out = false; // OUT or IN OUT: the routine writes args[i]
    bool optional = false;
    Value defaultValue;
    bool inOut = false; // an OUT parameter that also reads the caller's value
};

struct Builtin {
    std::vector<BuiltinParam> params;
    bool isFunction = false;
    bool anyArguments = false; // runs without looking at its arguments (unsupported routines)
    // args has one entry per parameter, defaults filled in; returns the function's result.
    std::function<Value(PlsqlHost &, std::vector<Value> &)> run;
};

bool isServerPackage(const std::string &name);
// Null when the package has no such routine.
const Builtin *findServerRoutine(const std::string &package, const std::string &routine);

// Standard functions computed here; false when "name" is not one of them (the caller then
// hands it to SQL).
bool standardFunction(const std::string &name, const std::vector<Value> &args, Value &result);

// Date arithmetic on ISO text.
std::string addDays(const std::string &isoDate, double days);
double daysBetween(const std::string &a, const std::string &b);

} // namespace qdsi::plsql
