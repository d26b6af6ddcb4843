#include "worksheet/KXStatement.h"

#include "worksheet/StatementClassifier.h"

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

TStringList TKXStatement::Lines() const
{
    TStringList lines;
    lines.Reserve(LineSpanCount);
    for (int k = 0; k < LineSpanCount; ++k)
        lines.Add(Line(k).toString());
    return lines;
}

QString TKXStatement::Word(int index) const
{
    return UpperStatementWord(Text->View(Text->Spans[FirstSpan + LineSpanCount + index]));
}

TStringList TKXStatement::Words() const
{
    TStringList words;
    words.Reserve(WordSpanCount);
    for (int k = 0; k < WordSpanCount; ++k)
        words.Add(Word(k));
    return words;
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
