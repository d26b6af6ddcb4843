#pragma once

// Finds the substitution variables of a statement's lines ("&name" asks each time it occurs,
// "&&name" asks once and keeps the answer) and replaces them one by one with values. Each
// occurrence remembers where it stands in the output lines; replacing one moves only the later
// occurrences of the same line, so occurrences can be replaced in any order and more than once.
// Quotes and comments are not special: an "&" inside a string literal is an occurrence too.
// There is no limit on the number of occurrences.

#include "classlib/StringList.h"

#include <QList>
#include <QString>

namespace qd {

inline constexpr quint8 svkSingle = 0; // "&name"
inline constexpr quint8 svkDouble = 1; // "&&name"

struct TQDSubVarRec {
    quint8 Kind = svkSingle;
    QString Name; // upper case, without the "&" characters and without a closing "."
    int Line = 0; // from 0
    int Column = 0; // from 1: the first "&"
    int EndColumn = 0; // from 1: the last character, the closing "." included
    QString Text; // what the occurrence holds now in Output
};

class TQDSubVar {
public:
    TQDSubVar() = default;

    // Starts afresh: copies lines into Source and Output and records every occurrence, sorted
    // by line, then column.
    void Scan(const TStringList &lines);

    int Count() const { return static_cast<int>(m_occurrences.size()); }
    // Index from 1 to Count; raises Exception outside that range.
    TQDSubVarRec GetOccurrence(int index) const;
    // Puts value in place of occurrence index (1..Count) in Output.
    void Substitute(int index, const QString &value);

    const TStringList &Output() const { return m_output; }
    const TStringList &Source() const { return m_source; }

    // True for the characters that end a variable name.
    static bool isDelimiter(QChar c);

private:
    void checkIndex(int index) const;
    void scanLine(int line, const QString &text);

    TStringList m_output;
    TStringList m_source;
    QList<TQDSubVarRec> m_occurrences;
};

} // namespace qd
