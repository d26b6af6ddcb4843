#pragma once

#include "worksheet/KXStatement.h"

#include <QList>
#include <QStringView>
#include <QVarLengthArray>

namespace qd {

// Collects the first words of the statement that begins on line firstLine (from 0) of lines:
// the first startColumn characters of that line (a comment closed there) are overwritten with
// blanks in lines; then, line by line, tabs count as blanks, the line is trimmed and cut at
// blanks; each word is upper-cased (a to z only) and loses a ";" that is its last and only
// semicolon. wordLineOffset is the number of lines from firstLine to the line of the first word.
//
// Words never reach past the statement's own end: collecting stops behind the word that held
// the ending ";" and at a line that is only "/". After a first word CREATE, the edition words
// (EDITIONABLE, NONEDITIONABLE, EDITIONING) are passed over, so that they neither hide the kind
// of stored code nor take the place of its name. wordLines, when given, receives the line of
// each word.
void GetStatementWords(TStringList &lines, int maxWords, int firstLine, int startColumn,
    TStringList &words, int &wordLineOffset, QList<int> *wordLines = nullptr);

// The kind of a statement from its first words (upper case, as GetStatementWords gives them).
TKXStatementKind ClassifyStatement(const TStringList &words);

// ---- The same without copying words out, for the splitter --------------------------------------

// The first words of a statement as GetStatementWords finds them, read in place: a script mostly
// needs the words only to classify the statement, and copies out those on the statement's own
// lines. The words are views into the lines given to CollectStatementWords: they stay readable
// while those lines live unchanged.
struct TStatementWordSpans {
    struct Span {
        QStringView word; // as written (not upper-cased), without a dropped ";"
        int lineIndex = 0;
    };
    QVarLengthArray<Span, 6> spans;
    int lineOffset = 0;

    int count() const { return int(spans.size()); }
    QStringView word(int k) const { return spans[k].word; }
};

void CollectStatementWords(
    TStringList &lines, int maxWords, int firstLine, int startColumn, TStatementWordSpans &words);
// The same over a script's lines for the splitter, which are not changed: the words of line
// firstLine are read behind startColumn.
class TScriptLines;
void CollectStatementWords(
    TScriptLines &lines, int maxWords, int firstLine, int startColumn, TStatementWordSpans &words);

// ClassifyStatement over words as written: letters compare without regard to case (a to z).
TKXStatementKind ClassifyWords(const QStringView *words, int count);

// A word upper-cased the way statement words are (a to z only).
QString UpperStatementWord(QStringView word);

} // namespace qd
