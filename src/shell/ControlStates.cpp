#include "shell/ControlStates.h"

#include <QAction>
#include <QVariant>
#include <QWidget>

namespace qd {

namespace {

const char *const TagProperty = "Tag";

void applyList(const TControlList &list, bool restore, bool enabled)
{
    for (int i = 0; i < list.Count(); ++i) {
        QObject *component = list.Entries(i).component;
        if (!component)
            continue;
        SetComponentEnabled(component, restore ? ComponentTag(component) == 1 : enabled);
    }
}

} // namespace

bool ComponentEnabled(const QObject *component)
{
    if (const auto *widget = qobject_cast<const QWidget *>(component))
        return widget->isEnabled();
    if (const auto *action = qobject_cast<const QAction *>(component))
        return action->isEnabled();
    return component && component->property("enabled").toBool();
}

void SetComponentEnabled(QObject *component, bool enabled)
{
    if (auto *widget = qobject_cast<QWidget *>(component))
        widget->setEnabled(enabled);
    else if (auto *action = qobject_cast<QAction *>(component))
        action->setEnabled(enabled);
    else if (component)
        component->setProperty("enabled", enabled);
}

int ComponentTag(const QObject *component)
{
    return component ? component->property(TagProperty).toInt() : 0;
}

void SaveControlStates(TControlList &list, const QList<QObject *> &components)
{
    for (QObject *component : components) {
        if (!component)
            continue;
        const bool isMenuItem = qobject_cast<QAction *>(component) != nullptr;
        list.Add(isMenuItem ? QStringLiteral("TMenuItem") : QStringLiteral("TControl"), component);
        component->setProperty(TagProperty, ComponentEnabled(component) ? 1 : 0);
    }
}

void SaveControlStates(TControlList &list, std::initializer_list<QObject *> components)
{
    SaveControlStates(list, QList<QObject *>(components));
}

void EnableControlList(const TControlList &list, bool restore)
{
    applyList(list, restore, true);
}

void DisableControlList(const TControlList &list, bool restore)
{
    applyList(list, restore, false);
}

} // namespace qd
