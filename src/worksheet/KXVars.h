#pragma once

// A table of script variables kept by each worksheet window: one for the bind variables
// declared by VARIABLE, one for the substitution values given by DEFINE, ACCEPT and answers to
// "&&" prompts. Names are case-insensitive (stored upper-cased); an entry keeps its place once
// added and is never removed. The table grows as needed, so no variable of a long script is
// dropped.

#include "classlib/Variant.h"

#include <QHash>
#include <QList>
#include <QString>

namespace qd {

// Kinds the callers give their entries.
inline constexpr quint8 kvkBindChar = 1; // VARIABLE ... CHAR
inline constexpr quint8 kvkBindNumber = 2; // VARIABLE ... NUMBER
inline constexpr quint8 kvkSubstitution = 3; // DEFINE, ACCEPT and "&&" answers

struct TKXVar {
    QString Name; // upper case
    quint8 Kind = 0;
    Variant Value;
};

class TKXVars {
public:
    TKXVars() = default;

    // Copies every entry; the copy's values are independent of the source's.
    void Assign(const TKXVars &source);

    // Sets kind and value of the entry, appending it when the name is new.
    void SetVar(const QString &name, quint8 kind, const Variant &value);
    bool Exists(const QString &name) const;
    // 0 when the name is absent.
    quint8 GetKind(const QString &name) const;
    // Unassigned when the name is absent.
    Variant GetValue(const QString &name) const;
    // Both do nothing when the name is absent.
    void SetValue(const QString &name, const Variant &value);
    void SetKind(const QString &name, quint8 kind);

    int Count() const { return static_cast<int>(m_entries.size()); }
    // Entry index (0..Count-1) in the order the names were added.
    const TKXVar &Entry(int index) const { return m_entries.at(index); }

private:
    int indexOf(const QString &name) const;

    QList<TKXVar> m_entries;
    QHash<QString, int> m_index; // upper-cased name -> entry
};

} // namespace qd
