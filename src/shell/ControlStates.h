#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <initializer_list>

namespace qd {

// Controls and menu actions whose enabled state a worker thread's window saves before the run
// and restores after it. Each entry names its kind ("TMenuItem" for an action, "TControl"
// otherwise) and keeps its component weakly: a component deleted meanwhile is passed over.
class TControlList {
public:
    struct Entry {
        QString kind;
        QPointer<QObject> component;
    };

    int Count() const { return int(m_entries.size()); }
    const Entry &Entries(int index) const { return m_entries.at(index); }
    void Add(const QString &kind, QObject *component)
    {
        m_entries.append(Entry { kind, component });
    }
    void Clear() { m_entries.clear(); }

private:
    QList<Entry> m_entries;
};

// The enabled state of a widget or action (another object: its "enabled" property).
bool ComponentEnabled(const QObject *component);
void SetComponentEnabled(QObject *component, bool enabled);
// The saved state, kept in the component's "Tag" property: 1 enabled, 0 not.
int ComponentTag(const QObject *component);

// Adds an entry for every component that is not null and stores its enabled state in its Tag.
void SaveControlStates(TControlList &list, std::initializer_list<QObject *> components);
void SaveControlStates(TControlList &list, const QList<QObject *> &components);

// For each entry: with restore, enabled again as the Tag says; otherwise enabled (Enable) or
// disabled (Disable).
void EnableControlList(const TControlList &list, bool restore);
void DisableControlList(const TControlList &list, bool restore);

} // namespace qd
