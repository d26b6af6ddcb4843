#pragma once

#include "worksheet/KXStatement.h"

namespace qd {

// Lists (upper case, in order, repeats included) the names that follow each marker from line
// startLine on: a name runs up to a blank, tab, parenthesis, comma, + - * / = ' " ; % |, a
// comparison sign (< > !) or the end of the line, and up to a full stop too when dotEndsName.
// Unless ignoreQuotes, a marker inside a string literal (after an odd number of single quotes,
// counted from the first line) is passed over. An empty name (":=") is skipped.
void FindVariableRefs(const QString &marker, bool ignoreQuotes, bool dotEndsName,
    TStringList &names, int startLine, const TStringList &lines);

// The name of the object a CREATE statement makes, from its first words (upper case): without
// its owner and without anything from a "(" on. Empty for a statement that creates no stored
// code or view.
QString GetCreatedObjectName(const TStringList &words);

// The object type of a CREATE kind ("PACKAGE BODY", "VIEW", ...); empty for other kinds.
QString GetKindObjectType(TKXStatementKind kind);

// The lines of the statement that holds caretLine in text, split as a run of that statement
// would split it; statementLines is left unchanged when the caret is on no statement.
void GetStatementAtCaret(
    const TStringList &text, TStringList &statementLines, int caretLine, int maxNested);

} // namespace qd
