#pragma once

// A PL/SQL exception while it travels through the interpreter: the Oracle error it stands for
// and the "ORA-06512: at ..." lines collected as it leaves each unit unhandled.

#include <stdexcept>
#include <string>
#include <vector>

namespace qdsi::plsql {

struct PlsqlError : std::runtime_error {
    PlsqlError(int code, std::string message, std::string userException = {})
        : std::runtime_error(message)
        , code(code)
        , message(std::move(message))
        , userException(std::move(userException))
    {
    }
    int code; // Oracle error number; 1 for a user-defined exception
    std::string message; // "ORA-01403: no data found" (what sqlerrm returns)
    std::string userException; // qualified name of a user-defined exception, else empty
    std::vector<std::string> backtrace; // "ORA-06512: at line 3", innermost first
    // Breaks and exhausted budgets end the whole call: no handler may swallow them.
    bool fatal = false;
    // A compile-time kind of error found while running ("identifier must be declared"): it
    // carries its position, gets no ORA-06512 lines, and names the stored unit it is in.
    bool compileTime = false;
    int line = 0;
    int column = 0;
    std::string unit; // "OWNER.NAME"; empty for the anonymous block
    bool unitKnown = false;
};

// The server's standard errors, worded as the server words them.
PlsqlError plsqlError(int code, const std::string &detail = {});
// ORA-06502 with the given detail ("character string buffer too small", ...).
PlsqlError valueError(const std::string &detail);

} // namespace qdsi::plsql
