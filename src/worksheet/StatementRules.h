#pragma once

#include "worksheet/KXStatement.h"

namespace qd {

// The rules by which the splitter takes one statement of each kind out of the script lines.
// Each starts at line i (from 0), fills out with the statement text and returns the number of
// script lines the statement uses.

// Statements that end at the first ";" outside quotes and comments (the ";" itself is dropped,
// text behind it on that line stays) or at a line that is only "/" (used up, not added).
// With startColumn > 0, line i is first cut to the text behind startColumn (written back).
int SqlStatementRule(TStringList &lines, int i, int startColumn, TStringList &out);

// PL/SQL blocks and stored code: lines are taken unchanged up to a line that is only "/".
int PlsqlStatementRule(TStringList &lines, int i, int startColumn, TStringList &out);

// EXECUTE: the command word is cut off, a "-" at a line's end continues the call on the next
// line, and the call is wrapped into "BEGIN " ... " END;".
int ExecuteRule(const TStringList &lines, int i, QStringView commandWord, TStringList &out);

// Script commands taken as tokens (one line each), with "-" continuing a line: quoted tokens
// keep their text and case, others are upper-cased unless keepCase.
int TokenRule(const TStringList &lines, int i, bool keepCase, TStringList &out);

// PROMPT: the text behind the command word, lines joined where one ends in "-"; one line.
int PromptRule(const TStringList &lines, int i, QStringView commandWord, TStringList &out);

// The name of a nested script on its "@", "@@" or "START" line.
QString ScriptCallName(const QString &line, TKXStatementKind kind);

// The file name of a SPOOL line; a name without a directory part is put into currentDir.
QString SpoolFileName(const QString &line, const QString &currentDir);

// A "/*" comment at the start of line i (behind startColumn): how many lines it uses up and,
// when it closes in the middle of a line, the column behind it where the next statement starts
// (lineCount then stops short of that line).
void BlockCommentRule(const TStringList &lines, int i, int &lineCount, int &startColumn);

// dir + name, with one "/" between them when dir does not end with one. An empty dir leaves
// the name as it is.
QString JoinDirectory(const QString &dir, const QString &name);

} // namespace qd
