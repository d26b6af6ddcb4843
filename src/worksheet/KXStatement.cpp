#include "worksheet/KXStatement.h"

namespace qd {

bool IsCommandKind(TKXStatementKind kind)
{
    switch (kind) {
    case skUpdate:
    case skInsert:
    case skDelete:
    case skMerge:
    case skExecute:
    case skOtherSQL:
    case skPLSQLBlock:
    case skSpool:
    case skRunBuffer:
    case skCreateProcedure:
    case skCreateFunction:
    case skCreateTrigger:
    case skCreatePackage:
    case skCreatePackageBody:
    case skCreateType:
    case skCreateTypeBody:
    case skCreateView:
    case skShowErrors:
    case skPrompt:
    case skConnect:
        return true;
    default:
        return false;
    }
}

bool IsQueryKind(TKXStatementKind kind)
{
    return kind == skSelect || kind == skDescribe;
}

bool IsCountedKind(TKXStatementKind kind)
{
    switch (kind) {
    case skNone:
    case skRunScript:
    case skRunScriptRelative:
    case skStartScript:
    case skLineComment:
    case skBlockComment:
    case skRemark:
        return false;
    default:
        return true;
    }
}

} // namespace qd
