#pragma once

#include "editor/ExtHighlighter.h"
#include "editor/NumberHighlighter.h"

#include <QStringList>

namespace qd {

class CodeMemoCore;
class THighlightHost;

// Windows colour values (red in the low byte) the SQL set-up uses.
enum : qint32 {
    clSQLComment = 32768, // green
    clSQLString = 255, // red
    clSQLNumber = 255, // red
    clSQLKeyword = 16711680, // blue
};

// The word separators of a SQL editor: TAB, space, the quotes and ( ) + , - . / : ; < = > [ ] { | }.
QString SQLEditorSeparators();

// The SQL editor's highlighting: the SQL highlighter with the number highlighter as its
// sub-highlighter. Text after "--" to the end of its line, between "/*" and "*/" (over several
// lines) and between two "'" is a range of priority 20 and context 1 (comments green, strings
// red); keywords (scope 0, priority 10) are not coloured inside, and numbers (red) only outside.
// Keywords are coloured as whole words between the SQL highlighter's separators (TAB, space,
// ",", ".", ";"), compared upper-cased.
class TSQLHighlighting {
public:
    TSQLHighlighting();

    TExtHighlighter &Highlighter() { return m_sql; }
    TNumberHighlighter &Numbers() { return m_numbers; }

    // Adds every string of keywords to the SQL highlighter's keyword list, whole-word, without
    // case, in colour (callers add the SQL list and then the PL/SQL list, both blue).
    void AddKeywords(const QStringList &keywords, qint32 color = clSQLKeyword);

    // Attaches the highlighter to an editor and gives it the SQL word separators.
    void AttachTo(CodeMemoCore &editor);
    // The same for a bare highlighting host (a text model without the editor core).
    void AttachTo(THighlightHost &editor);

private:
    TExtHighlighter m_sql;
    TNumberHighlighter m_numbers;
};

// Reserved words of Oracle SQL and PL/SQL, upper-case, for editors that have no keyword files
// loaded.
QStringList BuiltInSQLKeywords();

} // namespace qd
