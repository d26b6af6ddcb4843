#include "shell/MenuMerge.h"

#include <QAction>
#include <QMenuBar>

namespace qd {

namespace {

QString menuKey(const QAction *action)
{
    return action->text().remove(QLatin1Char('&')).trimmed().toCaseFolded();
}

} // namespace

TMenuMerge::TMenuMerge(QMenuBar *mainBar)
    : m_main(mainBar)
{
}

void TMenuMerge::Merge(QMenuBar *childBar)
{
    if (childBar == m_child && (childBar || m_inserted.isEmpty()))
        return;
    unmerge();
    if (!childBar)
        return;
    m_child = childBar;
    childBar->setVisible(false);

    const QList<QAction *> mainMenus = m_main->actions();
    // Child menus go before this main menu; null appends them at the end.
    QAction *anchor = mainMenus.isEmpty() ? nullptr : mainMenus.first();
    for (QAction *childMenu : childBar->actions()) {
        if (!childMenu->isVisible())
            continue;
        const QString key = menuKey(childMenu);
        QAction *twin = nullptr;
        for (QAction *mainMenu : mainMenus)
            if (mainMenu->isVisible() && menuKey(mainMenu) == key) {
                twin = mainMenu;
                break;
            }
        if (twin) {
            m_main->insertAction(twin, childMenu);
            twin->setVisible(false);
            m_hidden.append(twin);
            const qsizetype next = mainMenus.indexOf(twin) + 1;
            anchor = next < mainMenus.size() ? mainMenus.at(next) : nullptr;
        } else {
            m_main->insertAction(anchor, childMenu);
        }
        m_inserted.append(childMenu);
    }
}

void TMenuMerge::unmerge()
{
    for (const QPointer<QAction> &action : std::as_const(m_inserted))
        if (action)
            m_main->removeAction(action);
    for (const QPointer<QAction> &action : std::as_const(m_hidden))
        if (action)
            action->setVisible(true);
    m_inserted.clear();
    m_hidden.clear();
    m_child = nullptr;
}

} // namespace qd
