#pragma once

#include <QList>
#include <QPointer>

class QAction;
class QMenuBar;

namespace qd {

// Shows the current MDI child's menus in the main window's menu bar, so the program has one
// menu bar as users of a multiple-document program expect. A child menu whose title matches a
// main menu (ignoring "&" and case) takes that menu's place; the child's other menus follow the
// last one placed, before the main window's remaining menus. The child's own bar stays hidden.
class TMenuMerge {
public:
    explicit TMenuMerge(QMenuBar *mainBar);

    // Merges childBar's menus (null: only the main window's menus are shown). Merging the bar
    // already merged does nothing.
    void Merge(QMenuBar *childBar);
    QMenuBar *MergedBar() const { return m_child; }

private:
    void unmerge();

    QMenuBar *m_main;
    QPointer<QMenuBar> m_child;
    // Main menus hidden while a child menu stands in for them, and the child menus shown.
    QList<QPointer<QAction>> m_hidden;
    QList<QPointer<QAction>> m_inserted;
};

} // namespace qd
