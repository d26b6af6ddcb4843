#pragma once

// A compile error of PL/SQL source at a line and column, worded as the server lists it in
// user_errors ("PLS-00103: Encountered the symbol ...").

#include <stdexcept>
#include <string>

namespace qdsi::plsql {

struct CompileError : std::runtime_error {
    CompileError(int line, int column, std::string text)
        : std::runtime_error(text)
        , line(line)
        , column(column)
        , text(std::move(text))
    {
    }
    int line;
    int column;
    std::string text;
};

} // namespace qdsi::plsql
