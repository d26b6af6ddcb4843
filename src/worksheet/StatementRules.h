#pragma once

#include "worksheet/KXStatement.h"

namespace qd {

class TScriptLines;

// The rules by which the splitter takes one statement of each kind out of the script lines.
// Each starts at line i (from 0), adds the statement's lines to lines (TScriptLines::Add) and
// returns the number of script lines the statement uses. Where a line of the statement is a
// part of a script line as it stands, it is not copied. A statement that begins behind a
// comment closed on its first line has that line cut there first (TScriptLines::CutStart).

// Statements that end at the first ";" outside quotes and comments (the ";" itself is dropped,
// text behind it on that line stays) or at a line that is only "/" (used up, not added).
int SqlStatementRule(TScriptLines &lines, int i);

// PL/SQL blocks and stored code: lines are taken unchanged up to a line that is only "/".
int PlsqlStatementRule(TScriptLines &lines, int i);

// EXECUTE: the command word is cut off, a "-" at a line's end continues the call on the next
// line, and the call is wrapped into "BEGIN " ... " END;".
int ExecuteRule(TScriptLines &lines, int i, QStringView commandWord);

// Script commands taken as tokens (one line each), with "-" continuing a line: quoted tokens
// keep their text and case, others are upper-cased unless keepCase.
int TokenRule(TScriptLines &lines, int i, bool keepCase);

// PROMPT: the text behind the command word, lines joined where one ends in "-"; one line.
int PromptRule(TScriptLines &lines, int i, QStringView commandWord);

// The name of a nested script on its "@", "@@" or "START" line.
QString ScriptCallName(QStringView line, TKXStatementKind kind);

// The file name of a SPOOL line; a name without a directory part is put into currentDir.
QString SpoolFileName(QStringView line, const QString &currentDir);

// A "/*" comment at the start of line i (behind startColumn, which line i is not cut at): how
// many lines it uses up and, when it closes in the middle of a line, the column behind it where
// the next statement starts (lineCount then stops short of that line).
void BlockCommentRule(const TScriptLines &lines, int i, int &lineCount, int &startColumn);

// dir + name, with one "/" between them when dir does not end with one. An empty dir leaves
// the name as it is.
QString JoinDirectory(const QString &dir, const QString &name);

} // namespace qd
