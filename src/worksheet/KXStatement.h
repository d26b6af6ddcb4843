#pragma once

#include "classlib/StringList.h"

#include <QString>

namespace qd {

// The kind of a script statement, decided by its first words; the executors dispatch on it.
enum TKXStatementKind : quint8 {
    skNone = 0,
    skCommand = 1,
    skSelect = 2,
    skUpdate = 3,
    skInsert = 4,
    skDelete = 5,
    skMerge = 6,
    skExecute = 7,
    skOtherSQL = 8,
    skReserved9 = 9,
    skPLSQLBlock = 10,
    skDescribe = 11,
    skRunScript = 12,
    skRunScriptRelative = 13,
    skStartScript = 14,
    skSpool = 15,
    skRunBuffer = 16,
    skCreateProcedure = 17,
    skCreateFunction = 18,
    skCreateTrigger = 19,
    skCreatePackage = 20,
    skCreatePackageBody = 21,
    skCreateType = 22,
    skCreateTypeBody = 23,
    skCreateView = 24,
    skLineComment = 25,
    skBlockComment = 26,
    skShowErrors = 27,
    skRemark = 28,
    skPrompt = 29,
    skVariable = 30,
    skAccept = 31,
    skDefine = 32,
    skConnect = 33,
};

inline constexpr int KXStatementKindCount = 34;

// Kinds whose run writes text feedback ("1 row inserted.", "Package created.").
bool IsCommandKind(TKXStatementKind kind);
// Kinds whose run shows rows (a query, a describe).
bool IsQueryKind(TKXStatementKind kind);
// Kinds that count as real statements of a script (not comments or nested-script calls).
bool IsCountedKind(TKXStatementKind kind);
// The nested-script kinds: "@", "@@" and "START".
inline bool IsScriptCallKind(TKXStatementKind kind)
{
    return kind == skRunScript || kind == skRunScriptRelative || kind == skStartScript;
}

// One statement of a script, as the splitter prepared it.
struct TKXStatement {
    TKXStatementKind Kind = skNone;
    // The statement text, prepared by the rule of its kind.
    TStringList Lines;
    // Its first words (at most 6), upper case.
    TStringList Words;
    // Line (from 0) of the top-level script on which the statement begins; for a statement of a
    // nested script, the line of the top-level "@" statement that led to it.
    int FirstLine = 0;
    // Characters at the start of that line that precede the statement (a comment closed there).
    int StartColumn = 0;
    // The following statement; the script owns every record.
    TKXStatement *Next = nullptr;
    // For the nested-script kinds: the script was read and its statements follow this record.
    bool Loaded = false;
    // The statement was read from a nested script.
    bool Nested = false;
    // Nesting level of the script that holds the statement: 1 for the top-level script.
    int Level = 1;
    // Directory (with a trailing "/", or empty) of the script that holds the statement, against
    // which its "@@" names are read.
    QString ScriptDir;
};

} // namespace qd
