#include "plsql/PlsqlError.h"

#include <cstdio>

namespace qdsi::plsql {

PlsqlError plsqlError(int code, const std::string &detail)
{
    std::string text;
    switch (code) {
    case 1403:
        text = "no data found";
        break;
    case 1422:
        text = "exact fetch returns more than requested number of rows";
        break;
    case 1476:
        text = "divisor is equal to zero";
        break;
    case 1722:
        text = "invalid number";
        break;
    case 1001:
        text = "invalid cursor";
        break;
    case 6511:
        text = "PL/SQL: cursor already open";
        break;
    case 6502:
        text = "PL/SQL: numeric or value error";
        break;
    case 6510:
        text = "PL/SQL: unhandled user-defined exception";
        break;
    case 6592:
        text = "CASE not found while executing CASE statement";
        break;
    case 6503:
        text = "PL/SQL: Function returned without value";
        break;
    case 6500:
        text = "PL/SQL: storage error";
        break;
    case 1013:
        text = "user requested cancel of current operation";
        break;
    case 3001:
        text = "unimplemented feature";
        break;
    case 4067:
        text = "not executed, stored procedure does not exist";
        break;
    case 6550:
        text = "";
        break;
    default:
        break;
    }
    if (!detail.empty())
        text = text.empty() ? detail : text + ": " + detail;
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", code);
    return PlsqlError(code, head + text);
}

PlsqlError valueError(const std::string &detail)
{
    return plsqlError(6502, detail);
}

} // namespace qdsi::plsql
