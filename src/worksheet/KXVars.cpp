#include "KXVars.h"

namespace qd {

void TKXVars::Assign(const TKXVars &source)
{
    if (&source == this)
        return;
    // Variant is a value type, so the copied values share nothing with the source.
    m_entries = source.m_entries;
    m_index = source.m_index;
}

int TKXVars::indexOf(const QString &name) const
{
    return m_index.value(name.toUpper(), -1);
}

void TKXVars::SetVar(const QString &name, quint8 kind, const Variant &value)
{
    const QString upper = name.toUpper();
    const auto it = m_index.constFind(upper);
    if (it != m_index.constEnd()) {
        TKXVar &entry = m_entries[*it];
        entry.Kind = kind;
        entry.Value = value;
        return;
    }
    m_index.insert(upper, static_cast<int>(m_entries.size()));
    m_entries.append(TKXVar { upper, kind, value });
}

bool TKXVars::Exists(const QString &name) const
{
    return indexOf(name) >= 0;
}

quint8 TKXVars::GetKind(const QString &name) const
{
    const int i = indexOf(name);
    return i < 0 ? 0 : m_entries.at(i).Kind;
}

Variant TKXVars::GetValue(const QString &name) const
{
    const int i = indexOf(name);
    return i < 0 ? Variant() : m_entries.at(i).Value;
}

void TKXVars::SetValue(const QString &name, const Variant &value)
{
    const int i = indexOf(name);
    if (i >= 0)
        m_entries[i].Value = value;
}

void TKXVars::SetKind(const QString &name, quint8 kind)
{
    const int i = indexOf(name);
    if (i >= 0)
        m_entries[i].Kind = kind;
}

} // namespace qd
