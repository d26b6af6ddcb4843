#pragma once

#include <QString>

namespace qd {

// Small text routines the dataset uses to read the user's SELECT statement and to build
// statements of its own.

// Appends Item to a comma list: nothing for an empty Item, Item alone for an empty List, else
// ", " (Spaced) or "," between them.
void AddToList(const QString &item, QString &list, bool spaced);

// Text up to, not including, its first TAB, LF, CR or space.
QString FirstWord(const QString &text);

// Whether two floats agree to a relative 1e-10 (absolute when Y is 0).
bool SameFloat(double x, double y);

// 1-based position of Word in Text as a whole word, ignoring case; 0 when it does not occur.
// Word characters are letters, digits, _ $ # @ . " and every character from #128 up.
int FindWord(const QString &word, const QString &text);

// Splits a SELECT statement, with its comments removed, into the part before its condition
// keyword (Head), the condition (Where), and the ORDER BY or FOR UPDATE clause (Tail). Keyword is
// "having" when the statement groups, else "where". Only the outermost level counts: words inside
// parentheses or string literals are never found.
void SplitStatement(
    const QString &statement, QString &head, QString &where, QString &tail, QString &keyword);

} // namespace qd
